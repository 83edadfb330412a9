#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// An IPv4 address set (address, netmask, gateway, two name servers), as the
// network service reports it and as the Ethernet settings screen edits it.
class IPv4 : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString address READ address WRITE setAddress NOTIFY addressChanged)
    Q_PROPERTY(QString gateway READ gateway WRITE setGateway NOTIFY gatewayChanged)
    Q_PROPERTY(QString mask READ mask WRITE setMask NOTIFY maskChanged)
    Q_PROPERTY(QString dns0 READ dns0 WRITE setDns0 NOTIFY dns0Changed)
    Q_PROPERTY(QString dns1 READ dns1 WRITE setDns1 NOTIFY dns1Changed)

public:
    explicit IPv4(QObject *parent = nullptr);

    QString address() const;
    QString gateway() const;
    QString mask() const;
    QString dns0() const;
    QString dns1() const;

    void setAddress(const QString &address);
    void setGateway(const QString &gateway);
    void setMask(const QString &mask);
    void setDns0(const QString &dns0);
    void setDns1(const QString &dns1);

    // The five keys "address", "netmask", "gateway", "dns0", "dns1".
    Q_INVOKABLE QVariantMap toMap() const;
    // Missing keys read as empty strings.
    Q_INVOKABLE void fromMap(const QVariantMap &map);

    // map reduced to the five keys of toMap(), as strings; what fromMap()
    // would leave behind, so that it compares equal to toMap().
    static QVariantMap normalized(const QVariantMap &map);

signals:
    void addressChanged();
    void gatewayChanged();
    void maskChanged();
    void dns0Changed();
    void dns1Changed();

private:
    bool setValue(const QString &key, const QString &value);

    QVariantMap m_data;
};

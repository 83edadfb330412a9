#pragma once

#include "IPv4.h"
#include "ServiceDispatcher.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

namespace manager {

class MqttClient;

// The wired interface as the network service reports it: live state and
// addresses, and the stored configuration that the Ethernet settings screen
// edits and saves. The configuration changes only when the service publishes
// what it stored.
class Ethernet : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString interface READ interface NOTIFY interfaceChanged)
    Q_PROPERTY(QString type READ type NOTIFY typeChanged)
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(QString mac READ mac NOTIFY macChanged)
    Q_PROPERTY(QString method READ method WRITE setMethod NOTIFY methodChanged)
    Q_PROPERTY(IPv4 *ipv4 READ ipv4 NOTIFY ipv4Changed)
    Q_PROPERTY(IPv4 *config READ config NOTIFY configChanged)

public:
    // base is the network service's base; the interface lives under
    // base + "/ethernet".
    Ethernet(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QString interface() const;
    QString type() const;
    QString state() const;
    QString reason() const;
    QString mac() const;
    QString method() const;
    IPv4 *ipv4();
    IPv4 *config();

    void setMethod(const QString &method);

signals:
    void interfaceChanged();
    void typeChanged();
    void stateChanged();
    void reasonChanged();
    void macChanged();
    void methodChanged();
    void ipv4Changed();
    void configChanged();

public slots:
    void save();
    void reset();

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    void subscribe();
    void onStateReceived(const QJsonObject &object, const QString &topic);
    void onConfigReceived(const QJsonObject &object, const QString &topic);

    MqttClient &m_mqtt;
    QString m_base;
    QString m_interface;
    QString m_type;
    QString m_state;
    QString m_reason;
    QString m_mac;
    QString m_method;
    IPv4 m_ipv4;
    IPv4 m_config;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

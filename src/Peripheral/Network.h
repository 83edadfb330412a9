#pragma once

#include "Connection.h"
#include "Ethernet.h"
#include "ServiceDispatcher.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

namespace manager {

class MqttClient;

// Client of the network manager service: overall connection state, host name
// and the primary connection, plus the wired interface (Ethernet) under the
// same base. The service pushes its state; nothing is asked for.
class Network : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(QString connectionState READ connectionState NOTIFY connectionStateChanged)
    Q_PROPERTY(QString connectivity READ connectivity NOTIFY connectivityChanged)
    Q_PROPERTY(QString hostname READ hostname NOTIFY hostnameChanged)
    Q_PROPERTY(manager::Connection *primaryConnection READ primaryConnection NOTIFY primaryConnectionChanged)
    Q_PROPERTY(manager::Ethernet *ethernet READ ethernet NOTIFY ethernetChanged)

public:
    Network(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    bool isConnected() const;
    QString connectionState() const;
    QString connectivity() const;
    QString hostname() const;
    Connection *primaryConnection();
    Ethernet *ethernet() const;

    // The service's version, from its info message.
    QString version() const;

signals:
    void isConnectedChanged();
    void connectionStateChanged();
    void connectivityChanged();
    void hostnameChanged();
    void primaryConnectionChanged();
    void ethernetChanged();

public slots:
    void refresh();
    void monitor(int msec);

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    void subscribe();
    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);

    MqttClient &m_mqtt;
    QString m_base;
    QTimer m_timer;
    bool m_isConnected = false;
    QString m_status;
    QString m_connectionState;
    QString m_connectivity;
    QString m_version;
    QString m_hostname;
    Connection m_primary;
    Ethernet *m_ethernet = nullptr;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

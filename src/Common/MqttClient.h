#pragma once

#include "MqttTransport.h"

#include <deferred.h>

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPair>

class QTimer;

namespace manager {

// The program's one connection to the broker. Keeps itself connected (connect
// time-out, reconnect after a fixed delay), renews every subscription after
// each reconnect, forwards every message as one signal, and offers the
// request/response calls the device services answer.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    explicit MqttClient(QObject *parent = nullptr);
    ~MqttClient() override;

    void setHostname(const QString &hostname);
    void setPort(unsigned int port);
    void setUsername(const QString &username);
    void setPassword(const QString &password);
    void setRetryMillis(unsigned int millis);
    void setEncrypted(bool encrypted);
    void setCleanSession(bool cleanSession);
    void setClientId(const QString &clientId);
    void setKeepAlive(unsigned char seconds);
    void setWillMessage(const QByteArray &message);
    void setWillQoS(unsigned char qos);
    void setWillRetain(bool retain);
    void setWillTopic(const QString &topic);

    // Connection state of the transport; Disconnected before the first connect().
    MqttTransport::ClientState state() const;

signals:
    void connected();
    void disconnected();
    void received(const QByteArray &data, const QByteArray &from);
    void error(const QString &error);

public slots:
    void connect();
    void disconnect();
    void subscribe(const QString &topic, uchar qos = 0);
    bool publish(const QByteArray &data, const QString &topic, uchar qos = 0, bool retain = false);
    Deferred<QJsonValue> executeRpc(const QString &topic, const QString &rpcId, const QJsonObject &request,
                                     int msec = 3000);
    Deferred<QJsonValue> waitTopic(const QString &topic, int msec = 3000);

private slots:
    void onConnected();
    void onDisconnected();
    void onStateChanged(manager::MqttTransport::ClientState state);
    void onTimeout();
    void onReconnect();
    void onReceived(const QByteArray &message, const QString &topic);
    void onError(manager::MqttTransport::ClientError e);

private:
    void doSubscribe(const QString &filter, int qos);
    bool isConnected() const;

    MqttTransport *client = nullptr;
    QTimer *connectionTimer = nullptr;
    QList<QPair<QString, int>> subsTopics;
    QString hostname = QStringLiteral("127.0.0.1");
    quint32 port = 1883;
    QString username;
    QString password;
    quint32 retryMillis = 3000;
    bool encrypted = false;
    bool cleanSession = true;
    QString clientId;
    quint8 keepAlive = 5;
    QByteArray willMessage;
    quint8 willQos = 2;
    bool willRetain = true;
    QString willTopic;
};

} // namespace manager

#pragma once

#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVector>
#include <QWaitCondition>

#include <functional>
#include <optional>

struct mosquitto;

// An MQTT 3.1.1 peer on plain libmosquitto with its own network thread, to
// play the other side of the code under test (a service, an observer).
// connectToBroker(), subscribe() and publish() block until the broker has
// answered (CONNACK, SUBACK, PUBACK or sent for QoS 0) without running the Qt
// event loop. Every received message is recorded; waitForMessage() runs the
// event loop while it waits and takes the oldest message not yet taken whose
// topic matches. messages() and messageCount() see all of them, taken or not.
// After a lost connection it reconnects and subscribes again by itself;
// isConnected() is true again once the broker has acknowledged that.
class MqttPeer
{
public:
    struct Message {
        QString topic;
        QByteArray payload;
        bool retain = false;
    };
    // Runs on the network thread; returns the answer to publish, if any.
    using Responder = std::function<std::optional<QByteArray>(const QString &topic, const QByteArray &payload)>;

    ~MqttPeer() { disconnectFromBroker(); }

    // Before connectToBroker().
    void setCredentials(const QString &username, const QString &password)
    {
        m_username = username;
        m_password = password;
    }

    bool connectToBroker(const QString &host, quint16 port, const QString &clientId = {});
    void disconnectFromBroker();
    bool isConnected() const;

    bool subscribe(const QString &filter, int qos = 1);
    bool publish(const QString &topic, const QByteArray &payload, int qos = 1, bool retain = false);

    // Subscribes to filter and answers each message there with QoS 1 on its
    // topic with the first "/request/" made "/response/". Set again for the
    // same filter, it replaces the earlier responder.
    bool setResponder(const QString &filter, const Responder &responder);

    QList<Message> messages() const;
    int messageCount(const QString &filter) const;
    void clear();
    std::optional<Message> waitForMessage(const QString &filter, int timeoutMs = 10000);

private:
    void received(const Message &message);
    void acknowledged(int mid);
    // Waits on the network thread's callbacks until done() holds.
    bool waitUntil(const std::function<bool()> &done);

    struct mosquitto *m_mosq = nullptr;
    QString m_username;
    QString m_password;

    mutable QMutex m_mutex;
    QWaitCondition m_condition;
    bool m_connected = false;
    bool m_connackReceived = false;
    QSet<int> m_acknowledged;
    QSet<int> m_unawaited; // responders' own publishes
    QSet<int> m_renewals; // subscriptions renewed after a reconnect, not yet acknowledged
    QVector<QPair<QString, int>> m_subscriptions;
    QMap<QString, Responder> m_responders;
    QVector<Message> m_messages;
    QVector<bool> m_taken;
};

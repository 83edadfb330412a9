#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVector>
#include <QWaitCondition>

#include <functional>
#include <optional>

struct mosquitto;
struct mosquitto_message;

/*
 * An MQTT 3.1.1 peer on plain libmosquitto with its own network thread, to
 * play the other side of the code under test (a service, an observer).
 *
 * connectToBroker(), subscribe() and publish() block until the broker has
 * answered (CONNACK, SUBACK, PUBACK or sent for QoS 0); they do not run the
 * Qt event loop. Every received message is recorded; waitForMessage() runs
 * the Qt event loop while it waits, so code on the GUI thread keeps working.
 *
 * Each recorded message can be taken once by waitForMessage(): it returns the
 * oldest not yet taken message whose topic matches the filter and marks it
 * taken. messages() and messageCount() see all recorded messages, taken or
 * not; clear() forgets them all.
 *
 * After a lost connection the peer reconnects by itself and subscribes again
 * to every filter it was subscribed to; isConnected() is true again once the
 * broker has acknowledged those subscriptions.
 */
class MqttPeer
{
public:
    struct Message {
        QString topic;
        QByteArray payload;
        int qos = 0;
        bool retain = false;
    };
    // Runs on the peer's network thread. Returns the answer to publish, or
    // nullopt for none.
    using Responder = std::function<std::optional<QByteArray>(const QString &topic, const QByteArray &payload)>;

    MqttPeer();
    ~MqttPeer();

    MqttPeer(const MqttPeer &) = delete;
    MqttPeer &operator=(const MqttPeer &) = delete;

    // Before connectToBroker().
    void setCredentials(const QString &username, const QString &password);

    bool connectToBroker(const QString &host, quint16 port, const QString &clientId = {});
    void disconnectFromBroker();
    bool isConnected() const;

    bool subscribe(const QString &filter, int qos = 1);
    bool publish(const QString &topic, const QByteArray &payload, int qos = 1, bool retain = false);

    // Answers every message on `filter` (which it subscribes to with QoS 1)
    // by publishing the responder's result with QoS 1 to the message's topic
    // with its first "/request/" replaced by "/response/". A responder set
    // again for the same filter replaces the earlier one.
    bool setResponder(const QString &filter, const Responder &responder);

    QList<Message> messages() const;
    int messageCount(const QString &filter) const;
    void clear();
    std::optional<Message> waitForMessage(const QString &filter, int timeoutMs = 10000);

private:
    static void onConnect(struct mosquitto *mosq, void *userdata, int code);
    static void onDisconnect(struct mosquitto *mosq, void *userdata, int reason);
    static void onAcknowledged(struct mosquitto *mosq, void *userdata, int mid);
    static void onSubscribe(struct mosquitto *mosq, void *userdata, int mid, int count, const int *grantedQos);
    static void onMessage(struct mosquitto *mosq, void *userdata, const struct mosquitto_message *message);
    static bool matches(const QString &filter, const QString &topic);
    bool waitForAck(int mid);

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
    QVector<QPair<QString, Responder>> m_responders;
    QVector<Message> m_messages;
    QVector<bool> m_taken;
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

#include <deque>

#include "MqttSubscription.h"

struct mosquitto;
struct mosquitto_message;

class QHostInfo;
class QSocketNotifier;

namespace manager {

/*
 * MQTT 3.1.1 client connection on libmosquitto, driven by the Qt event loop
 * of the thread it lives in (socket notifiers and a timer; no threads of its
 * own). It offers what the rest of the program would take from QMqttClient.
 *
 * libmosquitto's callbacks only queue what happened; the queue is turned into
 * signals once libmosquitto has returned, in arrival order. Handlers may call
 * any method of this class (and deleteLater() subscriptions) from any signal.
 */
class MqttTransport : public QObject
{
    Q_OBJECT
public:
    enum ClientState { Disconnected = 0, Connecting, Connected };
    Q_ENUM(ClientState)

    enum ClientError {
        NoError = 0,
        InvalidProtocolVersion = 1,
        IdRejected = 2,
        ServerUnavailable = 3,
        BadUsernameOrPassword = 4,
        NotAuthorized = 5,
        TransportInvalid = 256,
        ProtocolViolation = 257,
        UnknownError = 258,
        Mqtt5SpecificError = 259
    };
    Q_ENUM(ClientError)

    explicit MqttTransport(QObject *parent = nullptr);
    ~MqttTransport() override;

    // Settings, applied at the next connectToHost().
    void setHostname(const QString &hostname);
    QString hostname() const;
    void setPort(quint16 port);
    quint16 port() const;
    void setUsername(const QString &username);
    QString username() const;
    void setPassword(const QString &password);
    QString password() const;
    void setCleanSession(bool cleanSession);
    bool cleanSession() const;
    void setClientId(const QString &clientId);
    QString clientId() const;
    // libmosquitto refuses 1..4 s; such values are raised to 5 s.
    void setKeepAlive(quint16 seconds);
    quint16 keepAlive() const;
    void setWillTopic(const QString &willTopic);
    QString willTopic() const;
    void setWillMessage(const QByteArray &willMessage);
    QByteArray willMessage() const;
    void setWillQoS(quint8 willQoS);
    quint8 willQoS() const;
    void setWillRetain(bool willRetain);
    bool willRetain() const;

    int protocolVersion() const;
    ClientState state() const;
    ClientError error() const;

    // Only while Disconnected. A failure to even start the attempt (refused
    // on the loopback, bad settings) is reported from the event loop, after
    // stateChanged(Connecting).
    void connectToHost();
    // Sends DISCONNECT: the broker drops the will.
    void disconnectFromHost();
    // Drops the socket without DISCONNECT (the broker publishes the will);
    // ends a hanging attempt. Reports no error.
    void closeTransport();

    // nullptr unless Connected, or for an invalid filter or QoS. A filter that
    // already has a pending or active subscription returns that one, which
    // then counts one more user.
    MqttSubscription *subscribe(const QString &filter, quint8 qos = 0);
    // Lets go of one use of the filter; the broker is told when none is left.
    void unsubscribe(const QString &filter);
    // The same for one use of this very subscription: once a lost connection
    // has ended it, a later subscription of the same filter is not touched.
    void release(MqttSubscription *subscription);
    // The message id (> 0), or -1 unless Connected or if refused.
    qint32 publish(const QString &topic, const QByteArray &payload, quint8 qos = 0, bool retain = false);

signals:
    // On CONNACK: stateChanged(Connected), then connected(). On any end of a
    // connection or attempt: errorChanged() for each error (even when the
    // value repeats), every subscription goes Unsubscribed, then
    // stateChanged(Disconnected), then disconnected() if it was Connected.
    void stateChanged(manager::MqttTransport::ClientState state);
    void connected();
    void disconnected();
    void errorChanged(manager::MqttTransport::ClientError error);
    void messageReceived(const QByteArray &message, const QString &topic);

private:
    friend class MqttSubscription;

    // What a libmosquitto callback reported, waiting to be signalled.
    struct MosquittoEvent {
        enum Kind { Connack, Disconnect, Message, Suback, Unsuback };
        Kind kind = Connack;
        int code = 0; // CONNACK code, disconnect reason or granted QoS
        int mid = 0;
        QString topic;
        QByteArray payload;
    };

    static void onMosquittoConnect(struct mosquitto *mosq, void *userdata, int code);
    static void onMosquittoDisconnect(struct mosquitto *mosq, void *userdata, int reason);
    static void onMosquittoMessage(struct mosquitto *mosq, void *userdata, const struct mosquitto_message *message);
    static void onMosquittoSubscribe(struct mosquitto *mosq, void *userdata, int mid, int count, const int *grantedQos);
    static void onMosquittoUnsubscribe(struct mosquitto *mosq, void *userdata, int mid);
    static ClientError errorFromMosquitto(int code);

    void onReadActivated();
    void onWriteActivated();
    void onMiscTimeout();

    ClientError createHandle();
    void connectToAddress(const QHostInfo &host);
    void releaseHandle();
    void dropNotifiers();
    void syncSocket();
    void afterApiCall();
    void afterLoop(int code);
    void dispatchEvents();
    void scheduleDispatch();
    void handleEvent(const MosquittoEvent &event);
    void handleConnack(int code);
    void handleMessage(const QString &topic, const QByteArray &payload);
    void handleSuback(int mid, int grantedQos);
    void handleUnsuback(int mid);
    void closeConnection(ClientError error);
    void unsubscribeSubscription(MqttSubscription *subscription);
    void forgetSubscription(MqttSubscription *subscription);
    MqttSubscription *liveSubscription(const QString &filter) const;

    QString m_hostname;
    quint16 m_port = 1883;
    QString m_username;
    QString m_password;
    bool m_cleanSession = true;
    QString m_clientId;
    quint16 m_keepAlive = 60;
    QString m_willTopic;
    QByteArray m_willMessage;
    quint8 m_willQoS = 0;
    bool m_willRetain = false;

    ClientState m_state = Disconnected;
    ClientError m_error = NoError;

    struct mosquitto *m_mosq = nullptr;
    int m_socket = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_miscTimer;
    // Bumped whenever a connection starts or ends, so that queued events,
    // deferred failures and half-finished emissions of an old one are dropped.
    quint64 m_generation = 0;
    int m_dispatchDepth = 0;
    bool m_dispatchScheduled = false;
    bool m_disconnecting = false;
    std::deque<MosquittoEvent> m_events;

    QVector<QPointer<MqttSubscription>> m_subscriptions; // live: pending or subscribed
    QHash<int, QPointer<MqttSubscription>> m_subscribeMids;
    QHash<int, QPointer<MqttSubscription>> m_unsubscribeMids;
};

} // namespace manager

#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

struct mosquitto;
struct mosquitto_message;

/*
 * The simulator's one broker connection, on plain libmosquitto with its own
 * network thread. Callbacks of that thread are handed to the Qt event loop,
 * so connected() and received() are emitted on the thread that owns this
 * object. libmosquitto reconnects by itself; connected() comes again after
 * every (re)connection.
 */
class SimMqtt : public QObject
{
    Q_OBJECT

public:
    explicit SimMqtt(QObject *parent = nullptr);
    ~SimMqtt() override;

    bool start(const QString &host, int port, const QString &clientId);
    // Waits (at most 2 s) until what was published has left, says goodbye
    // and joins the network thread.
    void stop();

    void setVerbose(bool verbose);

    bool subscribe(const QString &filter, int qos = 1);
    bool publish(const QString &topic, const QByteArray &payload, int qos = 0, bool retain = false);
    bool publish(const QString &topic, const QJsonObject &object, int qos = 0, bool retain = false);

Q_SIGNALS:
    void connected();
    void disconnected();
    void received(const QString &topic, const QByteArray &payload);

private:
    static void onConnect(struct mosquitto *mosq, void *userdata, int code);
    static void onDisconnect(struct mosquitto *mosq, void *userdata, int reason);
    static void onPublish(struct mosquitto *mosq, void *userdata, int mid);
    static void onMessage(struct mosquitto *mosq, void *userdata, const struct mosquitto_message *message);

    struct mosquitto *m_mosq = nullptr;
    bool m_running = false;
    bool m_verbose = false;

    QMutex m_mutex;
    QWaitCondition m_allSent;
    int m_unsent = 0; // publications not yet reported sent (QoS 0) or acknowledged
};

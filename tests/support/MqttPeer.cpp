#include "MqttPeer.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QTest>

#include <mosquitto.h>

#include <algorithm>
#include <mutex>

namespace {

constexpr int AckTimeoutMs = 10000;
constexpr int KeepAliveSeconds = 60;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttPeer::MqttPeer()
{
    initLibrary();
}

MqttPeer::~MqttPeer()
{
    disconnectFromBroker();
}

void MqttPeer::setCredentials(const QString &username, const QString &password)
{
    m_username = username;
    m_password = password;
}

bool MqttPeer::connectToBroker(const QString &host, quint16 port, const QString &clientId)
{
    disconnectFromBroker();
    {
        QMutexLocker locker(&m_mutex);
        m_connected = false;
        m_connackReceived = false;
        m_acknowledged.clear();
        m_unawaited.clear();
        m_renewals.clear();
        m_subscriptions.clear();
    }

    const QByteArray id = clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq)
        return false;
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_mosq, &MqttPeer::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttPeer::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &MqttPeer::onAcknowledged);
    mosquitto_subscribe_callback_set(m_mosq, &MqttPeer::onSubscribe);
    mosquitto_message_callback_set(m_mosq, &MqttPeer::onMessage);
    if (!m_username.isEmpty()) {
        mosquitto_username_pw_set(m_mosq, m_username.toUtf8().constData(),
                                  m_password.isEmpty() ? nullptr : m_password.toUtf8().constData());
    }

    if (mosquitto_connect(m_mosq, host.toUtf8().constData(), port, KeepAliveSeconds) != MOSQ_ERR_SUCCESS
            || mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
        return false;
    }

    bool connected = false;
    {
        QMutexLocker locker(&m_mutex);
        const QDeadlineTimer deadline(AckTimeoutMs);
        while (!m_connackReceived && m_condition.wait(&m_mutex, deadline)) { }
        connected = m_connected;
    }
    if (!connected)
        disconnectFromBroker();
    return connected;
}

void MqttPeer::disconnectFromBroker()
{
    if (!m_mosq)
        return;
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
    QMutexLocker locker(&m_mutex);
    m_connected = false;
}

bool MqttPeer::isConnected() const
{
    QMutexLocker locker(&m_mutex);
    return m_connected && m_renewals.isEmpty();
}

bool MqttPeer::subscribe(const QString &filter, int qos)
{
    if (!m_mosq)
        return false;
    int mid = 0;
    if (mosquitto_subscribe(m_mosq, &mid, filter.toUtf8().constData(), qos) != MOSQ_ERR_SUCCESS)
        return false;
    if (!waitForAck(mid))
        return false;
    QMutexLocker locker(&m_mutex);
    m_subscriptions.append({ filter, qos });
    return true;
}

bool MqttPeer::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    if (!m_mosq)
        return false;
    int mid = 0;
    if (mosquitto_publish(m_mosq, &mid, topic.toUtf8().constData(), payload.size(), payload.constData(), qos, retain)
            != MOSQ_ERR_SUCCESS)
        return false;
    return waitForAck(mid);
}

bool MqttPeer::setResponder(const QString &filter, const Responder &responder)
{
    {
        QMutexLocker locker(&m_mutex);
        auto it = std::find_if(m_responders.begin(), m_responders.end(),
                               [&filter](const QPair<QString, Responder> &entry) { return entry.first == filter; });
        if (it != m_responders.end())
            it->second = responder;
        else
            m_responders.append({ filter, responder });
    }
    return subscribe(filter, 1);
}

QList<MqttPeer::Message> MqttPeer::messages() const
{
    QMutexLocker locker(&m_mutex);
    return QList<Message>(m_messages.cbegin(), m_messages.cend());
}

int MqttPeer::messageCount(const QString &filter) const
{
    QMutexLocker locker(&m_mutex);
    return int(std::count_if(m_messages.cbegin(), m_messages.cend(),
                             [&filter](const Message &message) { return matches(filter, message.topic); }));
}

void MqttPeer::clear()
{
    QMutexLocker locker(&m_mutex);
    m_messages.clear();
    m_taken.clear();
}

std::optional<MqttPeer::Message> MqttPeer::waitForMessage(const QString &filter, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        {
            QMutexLocker locker(&m_mutex);
            for (int i = 0; i < m_messages.size(); ++i) {
                if (!m_taken.at(i) && matches(filter, m_messages.at(i).topic)) {
                    m_taken[i] = true;
                    return m_messages.at(i);
                }
            }
        }
        if (deadline.hasExpired())
            return std::nullopt;
        QTest::qWait(10);
    }
}

void MqttPeer::onConnect(struct mosquitto *mosq, void *userdata, int code)
{
    auto *self = static_cast<MqttPeer *>(userdata);
    QMutexLocker locker(&self->m_mutex);
    self->m_connackReceived = true;
    self->m_connected = code == 0;
    self->m_renewals.clear();
    // After a reconnect (the first connection has no subscriptions yet). The
    // SUBACKs come on this thread after we return, so the ids are known by then.
    if (code == 0) {
        for (const auto &subscription : qAsConst(self->m_subscriptions)) {
            int mid = 0;
            if (mosquitto_subscribe(mosq, &mid, subscription.first.toUtf8().constData(), subscription.second)
                    == MOSQ_ERR_SUCCESS)
                self->m_renewals.insert(mid);
        }
    }
    locker.unlock();
    self->m_condition.wakeAll();
}

void MqttPeer::onDisconnect(struct mosquitto *, void *userdata, int)
{
    auto *self = static_cast<MqttPeer *>(userdata);
    {
        QMutexLocker locker(&self->m_mutex);
        self->m_connected = false;
    }
    self->m_condition.wakeAll();
}

void MqttPeer::onAcknowledged(struct mosquitto *, void *userdata, int mid)
{
    auto *self = static_cast<MqttPeer *>(userdata);
    {
        QMutexLocker locker(&self->m_mutex);
        if (self->m_unawaited.remove(mid))
            return;
        self->m_acknowledged.insert(mid);
    }
    self->m_condition.wakeAll();
}

void MqttPeer::onSubscribe(struct mosquitto *mosq, void *userdata, int mid, int, const int *)
{
    auto *self = static_cast<MqttPeer *>(userdata);
    {
        QMutexLocker locker(&self->m_mutex);
        if (self->m_renewals.remove(mid))
            return;
    }
    onAcknowledged(mosq, userdata, mid);
}

void MqttPeer::onMessage(struct mosquitto *mosq, void *userdata, const struct mosquitto_message *message)
{
    auto *self = static_cast<MqttPeer *>(userdata);
    Message received;
    received.topic = QString::fromUtf8(message->topic);
    received.payload = QByteArray(static_cast<const char *>(message->payload), message->payloadlen);
    received.qos = message->qos;
    received.retain = message->retain;

    Responder responder;
    {
        QMutexLocker locker(&self->m_mutex);
        self->m_messages.append(received);
        self->m_taken.append(false);
        for (const auto &entry : qAsConst(self->m_responders)) {
            if (matches(entry.first, received.topic)) {
                responder = entry.second;
                break;
            }
        }
    }
    self->m_condition.wakeAll();

    const int requestAt = received.topic.indexOf(QLatin1String("/request/"));
    if (!responder || requestAt < 0)
        return;
    const std::optional<QByteArray> answer = responder(received.topic, received.payload);
    if (!answer)
        return;
    const QString responseTopic = received.topic.left(requestAt) + QLatin1String("/response/")
        + received.topic.mid(requestAt + int(qstrlen("/request/")));
    int mid = 0;
    if (mosquitto_publish(mosq, &mid, responseTopic.toUtf8().constData(), answer->size(), answer->constData(), 1,
                          false)
        == MOSQ_ERR_SUCCESS) {
        // Nobody waits for an answer's PUBACK; it must not pile up. The ack
        // is handled on this same network thread, after this returns.
        QMutexLocker locker(&self->m_mutex);
        self->m_unawaited.insert(mid);
    }
}

bool MqttPeer::matches(const QString &filter, const QString &topic)
{
    bool result = false;
    return mosquitto_topic_matches_sub(filter.toUtf8().constData(), topic.toUtf8().constData(), &result)
               == MOSQ_ERR_SUCCESS
        && result;
}

bool MqttPeer::waitForAck(int mid)
{
    QMutexLocker locker(&m_mutex);
    const QDeadlineTimer deadline(AckTimeoutMs);
    while (!m_acknowledged.contains(mid)) {
        if (!m_condition.wait(&m_mutex, deadline))
            return false;
    }
    m_acknowledged.remove(mid);
    return true;
}

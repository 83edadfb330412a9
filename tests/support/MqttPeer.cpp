#include "MqttPeer.h"

#include <QDeadlineTimer>
#include <QTest>

#include <mosquitto.h>

#include <algorithm>

namespace {

MqttPeer *peerOf(void *userdata)
{
    return static_cast<MqttPeer *>(userdata);
}

bool matches(const QString &filter, const QString &topic)
{
    bool result = false;
    return mosquitto_topic_matches_sub(filter.toUtf8().constData(), topic.toUtf8().constData(), &result)
            == MOSQ_ERR_SUCCESS
        && result;
}

} // namespace

bool MqttPeer::connectToBroker(const QString &host, quint16 port, const QString &clientId)
{
    [[maybe_unused]] static const int initialised = mosquitto_lib_init();
    disconnectFromBroker();
    const QByteArray id = clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq)
        return false;
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    // The callbacks run on the network thread.
    mosquitto_connect_callback_set(m_mosq, [](mosquitto *mosq, void *userdata, int code) {
        MqttPeer *self = peerOf(userdata);
        QMutexLocker locker(&self->m_mutex);
        self->m_connackReceived = true;
        self->m_connected = code == 0;
        self->m_renewals.clear();
        // After a reconnect: the SUBACKs come on this thread after we return,
        // so their ids are known by then.
        for (const auto &subscription : qAsConst(self->m_subscriptions)) {
            int mid = 0;
            if (code == 0
                && mosquitto_subscribe(mosq, &mid, subscription.first.toUtf8().constData(), subscription.second)
                    == MOSQ_ERR_SUCCESS)
                self->m_renewals.insert(mid);
        }
        self->m_condition.wakeAll();
    });
    mosquitto_disconnect_callback_set(m_mosq, [](mosquitto *, void *userdata, int) {
        QMutexLocker locker(&peerOf(userdata)->m_mutex);
        peerOf(userdata)->m_connected = false;
        peerOf(userdata)->m_condition.wakeAll();
    });
    mosquitto_publish_callback_set(m_mosq, [](mosquitto *, void *userdata, int mid) { peerOf(userdata)->acknowledged(mid); });
    mosquitto_subscribe_callback_set(
        m_mosq, [](mosquitto *, void *userdata, int mid, int, const int *) { peerOf(userdata)->acknowledged(mid); });
    mosquitto_message_callback_set(m_mosq, [](mosquitto *, void *userdata, const mosquitto_message *message) {
        peerOf(userdata)->received({ QString::fromUtf8(message->topic),
                                     QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
                                     message->retain });
    });
    if (!m_username.isEmpty()) {
        mosquitto_username_pw_set(m_mosq, m_username.toUtf8().constData(),
                                  m_password.isEmpty() ? nullptr : m_password.toUtf8().constData());
    }
    const bool connected = mosquitto_connect(m_mosq, host.toUtf8().constData(), port, 60) == MOSQ_ERR_SUCCESS
        && mosquitto_loop_start(m_mosq) == MOSQ_ERR_SUCCESS && waitUntil([this] { return m_connackReceived; })
        && isConnected();
    if (!connected)
        disconnectFromBroker();
    return connected;
}

void MqttPeer::disconnectFromBroker()
{
    if (m_mosq) {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
    }
    QMutexLocker locker(&m_mutex);
    m_connected = m_connackReceived = false;
    m_acknowledged.clear();
    m_unawaited.clear();
    m_renewals.clear();
    m_subscriptions.clear();
}

bool MqttPeer::isConnected() const
{
    QMutexLocker locker(&m_mutex);
    return m_connected && m_renewals.isEmpty();
}

bool MqttPeer::subscribe(const QString &filter, int qos)
{
    int mid = 0;
    if (!m_mosq || mosquitto_subscribe(m_mosq, &mid, filter.toUtf8().constData(), qos) != MOSQ_ERR_SUCCESS
        || !waitUntil([&] { return m_acknowledged.remove(mid); }))
        return false;
    QMutexLocker locker(&m_mutex);
    m_subscriptions.append({ filter, qos });
    return true;
}

bool MqttPeer::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    int mid = 0;
    return m_mosq
        && mosquitto_publish(m_mosq, &mid, topic.toUtf8().constData(), payload.size(), payload.constData(), qos, retain)
            == MOSQ_ERR_SUCCESS
        && waitUntil([&] { return m_acknowledged.remove(mid); });
}

bool MqttPeer::setResponder(const QString &filter, const Responder &responder)
{
    {
        QMutexLocker locker(&m_mutex);
        m_responders.insert(filter, responder);
    }
    return subscribe(filter, 1);
}

QList<MqttPeer::Message> MqttPeer::messages() const
{
    QMutexLocker locker(&m_mutex);
    return m_messages.toList();
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
    std::optional<Message> found;
    (void)QTest::qWaitFor(
        [&] {
            QMutexLocker locker(&m_mutex);
            for (int i = 0; i < m_messages.size() && !found; ++i) {
                if (!m_taken.at(i) && matches(filter, m_messages.at(i).topic)) {
                    m_taken[i] = true;
                    found = m_messages.at(i);
                }
            }
            return found.has_value();
        },
        timeoutMs);
    return found;
}

void MqttPeer::received(const Message &message)
{
    Responder responder;
    {
        QMutexLocker locker(&m_mutex);
        m_messages.append(message);
        m_taken.append(false);
        for (auto it = m_responders.cbegin(); it != m_responders.cend() && !responder; ++it)
            responder = matches(it.key(), message.topic) ? it.value() : nullptr;
    }
    m_condition.wakeAll();

    const int at = message.topic.indexOf(QLatin1String("/request/"));
    const auto answer = responder && at >= 0 ? responder(message.topic, message.payload) : std::nullopt;
    if (!answer)
        return;
    const QByteArray topic = (message.topic.left(at) + "/response/" + message.topic.mid(at + 9)).toUtf8();
    int mid = 0;
    if (mosquitto_publish(m_mosq, &mid, topic.constData(), answer->size(), answer->constData(), 1, false)
            == MOSQ_ERR_SUCCESS) {
        // Nobody waits for an answer's PUBACK, so it must not pile up. It is
        // handled on this same thread, after we return.
        QMutexLocker locker(&m_mutex);
        m_unawaited.insert(mid);
    }
}

void MqttPeer::acknowledged(int mid)
{
    QMutexLocker locker(&m_mutex);
    if (!m_unawaited.remove(mid) && !m_renewals.remove(mid))
        m_acknowledged.insert(mid);
    m_condition.wakeAll();
}

bool MqttPeer::waitUntil(const std::function<bool()> &done)
{
    QMutexLocker locker(&m_mutex);
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (!m_condition.wait(&m_mutex, deadline))
            return done();
    }
    return true;
}

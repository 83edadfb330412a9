#include "MqttTransport.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QVarLengthArray>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

namespace manager {

namespace {

constexpr int MiscIntervalMs = 1000;
constexpr int MaxPacketsPerLoop = 10;
// Packets read in one go when the socket turns readable; bounded, so that a
// flood still leaves the event loop room for input and painting.
constexpr int MaxReadsPerActivation = 64;
constexpr int DisconnectGraceMs = 3000;
// libmosquitto refuses keep-alive values between 1 and 4 seconds.
constexpr quint16 MinKeepAlive = 5;

void initMosquittoLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttTransport::MqttTransport(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<manager::MqttTransport::ClientState>("manager::MqttTransport::ClientState");
    qRegisterMetaType<manager::MqttTransport::ClientError>("manager::MqttTransport::ClientError");
    qRegisterMetaType<manager::MqttSubscription::SubscriptionState>("manager::MqttSubscription::SubscriptionState");
    initMosquittoLibrary();
    m_miscTimer.setInterval(MiscIntervalMs);
    connect(&m_miscTimer, &QTimer::timeout, this, &MqttTransport::onMiscTimeout);
}

MqttTransport::~MqttTransport()
{
    ++m_generation;
    m_events.clear();
    const auto subscriptions = findChildren<MqttSubscription *>(QString(), Qt::FindDirectChildrenOnly);
    for (MqttSubscription *subscription : subscriptions)
        subscription->m_transport = nullptr;
    dropNotifiers();
    m_miscTimer.stop();
    if (struct mosquitto *mosq = m_mosq) {
        // Detached first, so that callbacks fired from here are ignored.
        m_mosq = nullptr;
        if (m_state == Connected && !m_disconnecting) {
            // Say goodbye so that the broker does not publish the will.
            mosquitto_disconnect(mosq);
        }
        if (mosquitto_socket(mosq) >= 0 && mosquitto_want_write(mosq))
            mosquitto_loop_write(mosq, MaxPacketsPerLoop);
        mosquitto_destroy(mosq);
    }
}

void MqttTransport::setHostname(const QString &hostname) { m_hostname = hostname; }
QString MqttTransport::hostname() const { return m_hostname; }
void MqttTransport::setPort(quint16 port) { m_port = port; }
quint16 MqttTransport::port() const { return m_port; }
void MqttTransport::setUsername(const QString &username) { m_username = username; }
QString MqttTransport::username() const { return m_username; }
void MqttTransport::setPassword(const QString &password) { m_password = password; }
QString MqttTransport::password() const { return m_password; }
void MqttTransport::setCleanSession(bool cleanSession) { m_cleanSession = cleanSession; }
bool MqttTransport::cleanSession() const { return m_cleanSession; }
void MqttTransport::setClientId(const QString &clientId) { m_clientId = clientId; }
QString MqttTransport::clientId() const { return m_clientId; }
void MqttTransport::setKeepAlive(quint16 seconds) { m_keepAlive = seconds; }
quint16 MqttTransport::keepAlive() const { return m_keepAlive; }
void MqttTransport::setWillTopic(const QString &willTopic) { m_willTopic = willTopic; }
QString MqttTransport::willTopic() const { return m_willTopic; }
void MqttTransport::setWillMessage(const QByteArray &willMessage) { m_willMessage = willMessage; }
QByteArray MqttTransport::willMessage() const { return m_willMessage; }
void MqttTransport::setWillQoS(quint8 willQoS) { m_willQoS = willQoS; }
quint8 MqttTransport::willQoS() const { return m_willQoS; }
void MqttTransport::setWillRetain(bool willRetain) { m_willRetain = willRetain; }
bool MqttTransport::willRetain() const { return m_willRetain; }

int MqttTransport::protocolVersion() const
{
    return MQTT_PROTOCOL_V311;
}

MqttTransport::ClientState MqttTransport::state() const
{
    return m_state;
}

MqttTransport::ClientError MqttTransport::error() const
{
    return m_error;
}

void MqttTransport::connectToHost()
{
    if (m_state != Disconnected)
        return;

    // A new attempt starts without error; no signal, as nothing went wrong.
    m_error = NoError;
    ++m_generation;
    m_events.clear();
    m_disconnecting = false;
    releaseHandle();

    const ClientError failure = m_hostname.isEmpty() ? TransportInvalid : createHandle();
    m_state = Connecting;
    const quint64 generation = m_generation;
    if (failure == NoError) {
        // A name lookup can take seconds (a slow or absent DNS server): it
        // runs on Qt's lookup thread, and the TCP connect itself does not block.
        QHostInfo::lookupHost(m_hostname, this, [this, generation](const QHostInfo &host) {
            if (generation == m_generation && m_state == Connecting)
                connectToAddress(host);
        });
    } else {
        // Finish the attempt from the event loop, so that the caller sees
        // Connecting first.
        QMetaObject::invokeMethod(this, [this, generation, failure] {
            if (generation == m_generation && m_state == Connecting)
                closeConnection(failure);
        }, Qt::QueuedConnection);
    }
    emit stateChanged(m_state);
}

void MqttTransport::connectToAddress(const QHostInfo &host)
{
    if (host.error() != QHostInfo::NoError || host.addresses().isEmpty()) {
        closeConnection(TransportInvalid);
        return;
    }
    const quint16 keepAlive = m_keepAlive == 0 ? 0 : std::max(m_keepAlive, MinKeepAlive);
    // Each address in turn, as the resolver ordered them: a refusal (the
    // broker on the loopback listens on IPv4 only, say) shows up at once.
    int rc = MOSQ_ERR_EAI;
    for (const QHostAddress &address : host.addresses()) {
        rc = mosquitto_connect_async(m_mosq, address.toString().toUtf8().constData(), m_port, keepAlive);
        if (rc == MOSQ_ERR_SUCCESS) {
            syncSocket();
            m_miscTimer.start();
            return;
        }
    }
    closeConnection(errorFromMosquitto(rc));
}

void MqttTransport::disconnectFromHost()
{
    if (m_state == Disconnected)
        return;
    if (m_state == Connecting || !m_mosq) {
        closeConnection(NoError);
        return;
    }
    if (m_disconnecting)
        return;

    m_disconnecting = true;
    if (mosquitto_disconnect(m_mosq) != MOSQ_ERR_SUCCESS) {
        closeConnection(NoError);
        return;
    }
    const quint64 generation = m_generation;
    afterApiCall();
    if (generation != m_generation || m_state == Disconnected)
        return;
    if (!m_mosq || mosquitto_socket(m_mosq) < 0) {
        closeConnection(NoError);
        return;
    }
    // The DISCONNECT is still queued; do not wait for a stuck broker forever.
    QTimer::singleShot(DisconnectGraceMs, this, [this, generation] {
        if (generation == m_generation && m_state != Disconnected)
            closeConnection(NoError);
    });
}

void MqttTransport::closeTransport()
{
    if (m_state == Disconnected) {
        releaseHandle();
        return;
    }
    closeConnection(NoError);
}

MqttSubscription *MqttTransport::subscribe(const QString &filter, quint8 qos)
{
    if (m_state != Connected || !m_mosq || m_disconnecting || qos > 2)
        return nullptr;
    const QByteArray filterUtf8 = filter.toUtf8();
    if (filterUtf8.isEmpty() || mosquitto_sub_topic_check(filterUtf8.constData()) != MOSQ_ERR_SUCCESS)
        return nullptr;
    if (MqttSubscription *existing = liveSubscription(filter)) {
        ++existing->m_users;
        return existing;
    }

    auto *subscription = new MqttSubscription(filter, qos, this);
    subscription->m_state = MqttSubscription::SubscriptionPending;
    int mid = 0;
    if (mosquitto_subscribe(m_mosq, &mid, filterUtf8.constData(), qos) != MOSQ_ERR_SUCCESS) {
        subscription->m_transport = nullptr;
        delete subscription;
        afterApiCall();
        return nullptr;
    }
    m_subscriptions.append(subscription);
    m_subscribeMids.insert(mid, subscription);
    afterApiCall();
    return subscription;
}

void MqttTransport::unsubscribe(const QString &filter)
{
    release(liveSubscription(filter));
}

void MqttTransport::release(MqttSubscription *subscription)
{
    if (!subscription || !m_subscriptions.contains(subscription))
        return;
    // A one-off wait on a topic that a service client also listens to must
    // not take the client's subscription away.
    if (subscription->m_users > 1) {
        --subscription->m_users;
        return;
    }
    unsubscribeSubscription(subscription);
}

qint32 MqttTransport::publish(const QString &topic, const QByteArray &payload, quint8 qos, bool retain)
{
    if (m_state != Connected || !m_mosq || m_disconnecting || qos > 2)
        return -1;
    const QByteArray topicUtf8 = topic.toUtf8();
    if (topicUtf8.isEmpty())
        return -1;
    int mid = 0;
    const int rc = mosquitto_publish(m_mosq, &mid, topicUtf8.constData(), payload.size(),
                                     payload.constData(), qos, retain);
    afterApiCall();
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void MqttTransport::onMosquittoConnect(struct mosquitto *mosq, void *userdata, int code)
{
    auto *self = static_cast<MqttTransport *>(userdata);
    if (mosq != self->m_mosq)
        return;
    MosquittoEvent event;
    event.kind = MosquittoEvent::Connack;
    event.code = code;
    self->m_events.push_back(std::move(event));
}

void MqttTransport::onMosquittoDisconnect(struct mosquitto *mosq, void *userdata, int reason)
{
    auto *self = static_cast<MqttTransport *>(userdata);
    if (mosq != self->m_mosq)
        return;
    MosquittoEvent event;
    event.kind = MosquittoEvent::Disconnect;
    event.code = reason;
    self->m_events.push_back(std::move(event));
}

void MqttTransport::onMosquittoMessage(struct mosquitto *mosq, void *userdata, const struct mosquitto_message *message)
{
    auto *self = static_cast<MqttTransport *>(userdata);
    if (mosq != self->m_mosq || !message)
        return;
    MosquittoEvent event;
    event.kind = MosquittoEvent::Message;
    event.topic = QString::fromUtf8(message->topic);
    event.payload = QByteArray(static_cast<const char *>(message->payload), message->payloadlen);
    self->m_events.push_back(std::move(event));
}

void MqttTransport::onMosquittoSubscribe(struct mosquitto *mosq, void *userdata, int mid, int count, const int *grantedQos)
{
    auto *self = static_cast<MqttTransport *>(userdata);
    if (mosq != self->m_mosq)
        return;
    MosquittoEvent event;
    event.kind = MosquittoEvent::Suback;
    event.mid = mid;
    // One filter per SUBSCRIBE; 0x80 is the broker's refusal.
    event.code = (count > 0 && grantedQos) ? grantedQos[0] : 0x80;
    self->m_events.push_back(std::move(event));
}

void MqttTransport::onMosquittoUnsubscribe(struct mosquitto *mosq, void *userdata, int mid)
{
    auto *self = static_cast<MqttTransport *>(userdata);
    if (mosq != self->m_mosq)
        return;
    MosquittoEvent event;
    event.kind = MosquittoEvent::Unsuback;
    event.mid = mid;
    self->m_events.push_back(std::move(event));
}

MqttTransport::ClientError MqttTransport::errorFromMosquitto(int code)
{
    switch (code) {
    case MOSQ_ERR_NO_CONN:
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_ERRNO:
    case MOSQ_ERR_EAI:
    case MOSQ_ERR_LOOKUP:
    case MOSQ_ERR_KEEPALIVE:
    case MOSQ_ERR_TIMEOUT:
        return TransportInvalid;
    case MOSQ_ERR_PROTOCOL:
    case MOSQ_ERR_MALFORMED_PACKET:
    case MOSQ_ERR_MALFORMED_UTF8:
        return ProtocolViolation;
    default:
        return UnknownError;
    }
}

void MqttTransport::onReadActivated()
{
    if (!m_mosq || m_socket < 0)
        return;
    // libmosquitto reads a single packet per call while nothing waits at
    // QoS 1 or 2: go on reading what the socket holds, instead of one trip
    // through the event loop and one poll per message.
    int code = MOSQ_ERR_SUCCESS;
    for (int i = 0; i < MaxReadsPerActivation && code == MOSQ_ERR_SUCCESS; ++i) {
        errno = 0;
        code = mosquitto_loop_read(m_mosq, MaxPacketsPerLoop);
        if (errno == EAGAIN || errno == EWOULDBLOCK || mosquitto_socket(m_mosq) < 0)
            break;
    }
    afterLoop(code);
}

void MqttTransport::onWriteActivated()
{
    if (!m_mosq || m_socket < 0)
        return;
    afterLoop(mosquitto_loop_write(m_mosq, MaxPacketsPerLoop));
}

void MqttTransport::onMiscTimeout()
{
    if (!m_mosq)
        return;
    // With no socket, libmosquitto would only report the same loss again.
    afterLoop(m_socket >= 0 ? mosquitto_loop_misc(m_mosq) : MOSQ_ERR_NO_CONN);
}

MqttTransport::ClientError MqttTransport::createHandle()
{
    const QByteArray id = m_clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), m_cleanSession, this);
    if (!m_mosq) {
        // An empty id needs a clean session; the broker would refuse it too.
        return errno == EINVAL ? IdRejected : UnknownError;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_mosq, &MqttTransport::onMosquittoConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttTransport::onMosquittoDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttTransport::onMosquittoMessage);
    mosquitto_subscribe_callback_set(m_mosq, &MqttTransport::onMosquittoSubscribe);
    mosquitto_unsubscribe_callback_set(m_mosq, &MqttTransport::onMosquittoUnsubscribe);

    if (!m_username.isEmpty()) {
        const QByteArray username = m_username.toUtf8();
        const QByteArray password = m_password.toUtf8();
        if (mosquitto_username_pw_set(m_mosq, username.constData(),
                                      password.isEmpty() ? nullptr : password.constData()) != MOSQ_ERR_SUCCESS)
            return UnknownError;
    }
    if (!m_willTopic.isEmpty()) {
        const int rc = mosquitto_will_set(m_mosq, m_willTopic.toUtf8().constData(), m_willMessage.size(),
                                          m_willMessage.constData(), m_willQoS, m_willRetain);
        if (rc != MOSQ_ERR_SUCCESS)
            return rc == MOSQ_ERR_INVAL ? ProtocolViolation : UnknownError;
    }
    return NoError;
}

void MqttTransport::releaseHandle()
{
    dropNotifiers();
    m_miscTimer.stop();
    if (struct mosquitto *mosq = m_mosq) {
        // Closes the socket without DISCONNECT. Never called from inside
        // libmosquitto: its callbacks only queue events.
        m_mosq = nullptr;
        mosquitto_destroy(mosq);
    }
}

void MqttTransport::dropNotifiers()
{
    // Possibly inside the notifier's own activated(): disable now, delete later.
    for (QSocketNotifier *notifier : { m_readNotifier, m_writeNotifier }) {
        if (!notifier)
            continue;
        notifier->setEnabled(false);
        disconnect(notifier, nullptr, this, nullptr);
        notifier->deleteLater();
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_socket = -1;
}

void MqttTransport::syncSocket()
{
    // libmosquitto may have closed or replaced its socket in any call.
    const int socket = m_mosq ? mosquitto_socket(m_mosq) : -1;
    if (socket != m_socket || (socket >= 0 && !m_readNotifier)) {
        dropNotifiers();
        if (socket >= 0) {
            m_socket = socket;
            m_readNotifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
            connect(m_readNotifier, &QSocketNotifier::activated, this, &MqttTransport::onReadActivated);
            m_writeNotifier = new QSocketNotifier(socket, QSocketNotifier::Write, this);
            m_writeNotifier->setEnabled(false);
            connect(m_writeNotifier, &QSocketNotifier::activated, this, &MqttTransport::onWriteActivated);
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttTransport::afterApiCall()
{
    const quint64 generation = m_generation;
    // Called by a handler: events it caused wait for the running dispatch,
    // which keeps them in arrival order.
    if (m_dispatchDepth == 0)
        dispatchEvents();
    else if (!m_events.empty())
        scheduleDispatch();
    if (generation == m_generation)
        syncSocket();
}

void MqttTransport::afterLoop(int code)
{
    const quint64 generation = m_generation;
    dispatchEvents();
    if (generation != m_generation)
        return;
    syncSocket();
    // The socket is gone without a disconnect callback: a loss as well.
    if (m_mosq && m_socket < 0 && m_state != Disconnected && m_events.empty()) {
        if (m_disconnecting)
            closeConnection(NoError);
        else
            closeConnection(errorFromMosquitto(code == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : code));
    }
}

void MqttTransport::dispatchEvents()
{
    // Nested only when a handler runs an event loop of its own; the events
    // are still taken in arrival order.
    ++m_dispatchDepth;
    const QPointer<MqttTransport> self(this);
    while (!m_events.empty()) {
        const MosquittoEvent event = std::move(m_events.front());
        m_events.pop_front();
        if (!m_events.empty())
            scheduleDispatch();
        handleEvent(event);
        if (!self)
            return;
    }
    --m_dispatchDepth;
}

void MqttTransport::scheduleDispatch()
{
    // Only does something when a handler spins an event loop of its own while
    // events are still queued; otherwise the running dispatch has emptied the
    // queue by then.
    if (m_dispatchScheduled)
        return;
    m_dispatchScheduled = true;
    QMetaObject::invokeMethod(this, [this] {
        m_dispatchScheduled = false;
        if (m_events.empty())
            return;
        const quint64 generation = m_generation;
        dispatchEvents();
        if (generation == m_generation)
            syncSocket();
    }, Qt::QueuedConnection);
}

void MqttTransport::handleEvent(const MosquittoEvent &event)
{
    switch (event.kind) {
    case MosquittoEvent::Connack:
        handleConnack(event.code);
        break;
    case MosquittoEvent::Disconnect:
        if (m_state != Disconnected)
            closeConnection((m_disconnecting || event.code == MOSQ_ERR_SUCCESS) ? NoError : errorFromMosquitto(event.code));
        break;
    case MosquittoEvent::Message:
        handleMessage(event.topic, event.payload);
        break;
    case MosquittoEvent::Suback:
        handleSuback(event.mid, event.code);
        break;
    case MosquittoEvent::Unsuback:
        handleUnsuback(event.mid);
        break;
    }
}

void MqttTransport::handleConnack(int code)
{
    if (m_state != Connecting)
        return;
    if (code != 0) {
        // CONNACK return codes 1..5 are the first values of ClientError.
        closeConnection(code <= NotAuthorized ? ClientError(code) : ProtocolViolation);
        return;
    }
    const QPointer<MqttTransport> self(this);
    const quint64 generation = m_generation;
    m_state = Connected;
    emit stateChanged(m_state);
    if (self && generation == m_generation)
        emit connected();
}

void MqttTransport::handleMessage(const QString &topic, const QByteArray &payload)
{
    if (m_state != Connected)
        return;
    const QPointer<MqttTransport> self(this);
    const quint64 generation = m_generation;
    emit messageReceived(payload, topic);

    if (!self || generation != m_generation)
        return;

    // The subscriptions whose filter matches, taken before any handler runs:
    // a handler may subscribe or unsubscribe. Most filters name one topic
    // exactly, and a message matches one or two of them.
    const QByteArray topicUtf8 = topic.toUtf8();
    QVarLengthArray<QPointer<MqttSubscription>, 4> matching;
    for (const QPointer<MqttSubscription> &subscription : qAsConst(m_subscriptions)) {
        if (!subscription)
            continue;
        bool matches = subscription->m_filter == topicUtf8;
        if (!matches && subscription->m_wildcard
            && mosquitto_topic_matches_sub2(subscription->m_filter.constData(), size_t(subscription->m_filter.size()),
                                            topicUtf8.constData(), size_t(topicUtf8.size()), &matches)
                != MOSQ_ERR_SUCCESS)
            matches = false;
        if (matches)
            matching.append(subscription);
    }
    for (const QPointer<MqttSubscription> &subscription : qAsConst(matching)) {
        if (!self || generation != m_generation)
            return;
        // A handler may have unsubscribed it meanwhile.
        if (!subscription || !m_subscriptions.contains(subscription))
            continue;
        emit subscription->messageReceived(payload, topic);
    }
}

void MqttTransport::handleSuback(int mid, int grantedQos)
{
    const QPointer<MqttSubscription> subscription = m_subscribeMids.take(mid);
    if (!subscription || subscription->m_state != MqttSubscription::SubscriptionPending)
        return;
    if (grantedQos < 0 || grantedQos > 2) {
        m_subscriptions.removeAll(subscription);
        subscription->setState(MqttSubscription::Error);
        if (subscription)
            subscription->deleteLater();
        return;
    }
    subscription->setQos(quint8(grantedQos));
    subscription->setState(MqttSubscription::Subscribed);
}

void MqttTransport::handleUnsuback(int mid)
{
    const QPointer<MqttSubscription> subscription = m_unsubscribeMids.take(mid);
    if (!subscription)
        return;
    subscription->setState(MqttSubscription::Unsubscribed);
    if (subscription)
        subscription->deleteLater();
}

void MqttTransport::closeConnection(ClientError error)
{
    const bool wasConnected = m_state == Connected;
    const bool wasActive = m_state != Disconnected;
    ++m_generation;
    const quint64 generation = m_generation;
    m_events.clear();
    m_disconnecting = false;
    releaseHandle();
    m_state = Disconnected;

    QVector<QPointer<MqttSubscription>> subscriptions = m_subscriptions;
    for (const QPointer<MqttSubscription> &subscription : qAsConst(m_unsubscribeMids)) {
        if (!subscriptions.contains(subscription))
            subscriptions.append(subscription);
    }
    m_subscriptions.clear();
    m_subscribeMids.clear();
    m_unsubscribeMids.clear();

    const QPointer<MqttTransport> self(this);
    auto stillCurrent = [&self, generation, this] { return self && generation == m_generation; };

    if (error != NoError) {
        m_error = error;
        emit errorChanged(error);
    }
    for (const QPointer<MqttSubscription> &subscription : qAsConst(subscriptions)) {
        if (!self)
            return;
        if (!subscription)
            continue;
        subscription->setState(MqttSubscription::Unsubscribed);
        if (subscription)
            subscription->deleteLater();
    }
    if (!stillCurrent())
        return;
    if (wasActive)
        emit stateChanged(Disconnected);
    if (wasConnected && stillCurrent())
        emit disconnected();
}

void MqttTransport::unsubscribeSubscription(MqttSubscription *subscription)
{
    const QPointer<MqttSubscription> guard(subscription);
    switch (subscription->m_state) {
    case MqttSubscription::Unsubscribed:
    case MqttSubscription::UnsubscriptionPending:
        return;
    case MqttSubscription::Error:
        subscription->setState(MqttSubscription::Unsubscribed);
        return;
    case MqttSubscription::SubscriptionPending:
    case MqttSubscription::Subscribed:
        break;
    }

    m_subscriptions.removeAll(guard);
    for (auto it = m_subscribeMids.begin(); it != m_subscribeMids.end();) {
        if (it.value() == guard)
            it = m_subscribeMids.erase(it);
        else
            ++it;
    }

    int mid = 0;
    if (m_state == Connected && m_mosq && !m_disconnecting
            && mosquitto_unsubscribe(m_mosq, &mid, subscription->m_topic.toUtf8().constData()) == MOSQ_ERR_SUCCESS) {
        m_unsubscribeMids.insert(mid, guard);
        subscription->setState(MqttSubscription::UnsubscriptionPending);
        afterApiCall();
        return;
    }
    subscription->setState(MqttSubscription::Unsubscribed);
    if (guard)
        guard->deleteLater();
}

void MqttTransport::forgetSubscription(MqttSubscription *subscription)
{
    // Called from the subscription's destructor: no signals from here.
    const bool live = m_subscriptions.removeAll(subscription) > 0;
    for (auto *mids : { &m_subscribeMids, &m_unsubscribeMids }) {
        for (auto it = mids->begin(); it != mids->end();) {
            if (it.value() == subscription)
                it = mids->erase(it);
            else
                ++it;
        }
    }
    if (live && m_state == Connected && m_mosq && !m_disconnecting
            && !liveSubscription(subscription->m_topic)) {
        mosquitto_unsubscribe(m_mosq, nullptr, subscription->m_topic.toUtf8().constData());
        syncSocket();
    }
}

MqttSubscription *MqttTransport::liveSubscription(const QString &filter) const
{
    for (const QPointer<MqttSubscription> &subscription : m_subscriptions) {
        if (subscription && subscription->m_topic == filter)
            return subscription;
    }
    return nullptr;
}

} // namespace manager

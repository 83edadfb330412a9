#include "SimMqtt.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QMetaObject>
#include <QTextStream>

#include <mosquitto.h>

namespace {

struct LibraryInit
{
    LibraryInit() { mosquitto_lib_init(); }
    ~LibraryInit() { mosquitto_lib_cleanup(); }
};

void ensureLibrary()
{
    static LibraryInit init;
}

} // namespace

SimMqtt::SimMqtt(QObject *parent)
    : QObject(parent)
{
    ensureLibrary();
}

SimMqtt::~SimMqtt()
{
    stop();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

void SimMqtt::setVerbose(bool verbose)
{
    m_verbose = verbose;
}

bool SimMqtt::start(const QString &host, int port, const QString &clientId)
{
    if (m_mosq)
        return false;
    m_mosq = mosquitto_new(clientId.toUtf8().constData(), true, this);
    if (!m_mosq)
        return false;
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &SimMqtt::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &SimMqtt::onDisconnect);
    mosquitto_message_callback_set(m_mosq, &SimMqtt::onMessage);
    mosquitto_publish_callback_set(m_mosq, &SimMqtt::onPublish);
    mosquitto_reconnect_delay_set(m_mosq, 1, 5, false);
    // An unreachable broker at start is not fatal: the network thread keeps
    // trying, as the device services do.
    const int rc = mosquitto_connect_async(m_mosq, host.toUtf8().constData(), port, 30);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO)
        return false;
    if (mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
        return false;
    m_running = true;
    return true;
}

void SimMqtt::stop()
{
    if (!m_running)
        return;
    m_running = false;
    // The goodbye statuses must reach the broker before the connection ends.
    {
        QMutexLocker lock(&m_mutex);
        QDeadlineTimer deadline(2000);
        while (m_unsent > 0 && !deadline.hasExpired())
            m_allSent.wait(&m_mutex, deadline);
    }
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
}

bool SimMqtt::subscribe(const QString &filter, int qos)
{
    if (!m_mosq)
        return false;
    return mosquitto_subscribe(m_mosq, nullptr, filter.toUtf8().constData(), qos) == MOSQ_ERR_SUCCESS;
}

bool SimMqtt::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    if (!m_mosq)
        return false;
    if (m_verbose)
        QTextStream(stdout) << "  >> " << topic << " " << payload << Qt::endl;
    {
        QMutexLocker lock(&m_mutex);
        ++m_unsent;
    }
    const int rc = mosquitto_publish(m_mosq, nullptr, topic.toUtf8().constData(), payload.size(),
                                     payload.constData(), qos, retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        QMutexLocker lock(&m_mutex);
        --m_unsent;
        m_allSent.wakeAll();
    }
    return rc == MOSQ_ERR_SUCCESS;
}

bool SimMqtt::publish(const QString &topic, const QJsonObject &object, int qos, bool retain)
{
    return publish(topic, QJsonDocument(object).toJson(QJsonDocument::Compact), qos, retain);
}

void SimMqtt::onConnect(struct mosquitto *, void *userdata, int code)
{
    auto *self = static_cast<SimMqtt *>(userdata);
    if (code != 0)
        return;
    QMetaObject::invokeMethod(self, [self] { Q_EMIT self->connected(); }, Qt::QueuedConnection);
}

void SimMqtt::onDisconnect(struct mosquitto *, void *userdata, int)
{
    auto *self = static_cast<SimMqtt *>(userdata);
    QMetaObject::invokeMethod(self, [self] { Q_EMIT self->disconnected(); }, Qt::QueuedConnection);
}

void SimMqtt::onPublish(struct mosquitto *, void *userdata, int)
{
    auto *self = static_cast<SimMqtt *>(userdata);
    QMutexLocker lock(&self->m_mutex);
    self->m_unsent = qMax(0, self->m_unsent - 1);
    self->m_allSent.wakeAll();
}

void SimMqtt::onMessage(struct mosquitto *, void *userdata, const struct mosquitto_message *message)
{
    auto *self = static_cast<SimMqtt *>(userdata);
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    QMetaObject::invokeMethod(
        self, [self, topic, payload] { Q_EMIT self->received(topic, payload); }, Qt::QueuedConnection);
}

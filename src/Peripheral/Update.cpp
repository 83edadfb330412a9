#include "Update.h"

#include "MqttClient.h"

#include <QDebug>
#include <QJsonObject>

namespace manager {

namespace {

const QString Tag = QStringLiteral("[Update] ");

// How long a check may go without any progress from the service.
constexpr int CheckTimeoutMsec = 5000;

} // namespace

Update::Update(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base)
    , m_status(QStringLiteral("Disconnected"))
    , m_checkTimer(this)
    , m_dispatcher(Tag, base)
{
    m_checkTimer.setObjectName(QStringLiteral("checkTimer"));
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setInterval(CheckTimeoutMsec);
    connect(&m_checkTimer, &QTimer::timeout, this, &Update::checkTimerExpired);

    using namespace std::placeholders;
    m_dispatcher.addHandler(QStringLiteral("/status"), std::bind(&Update::onStatusReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/update/software/status"),
                            std::bind(&Update::onSoftwareStatusReceived, this, _1, _2));
    // The service has published progress under both spellings.
    m_dispatcher.addHandler(QStringLiteral("/update/software/progress"),
                            std::bind(&Update::onProgressReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/update/software/progess"),
                            std::bind(&Update::onProgressReceived, this, _1, _2));

    connect(&m_mqtt, &MqttClient::connected, this, &Update::refresh);
    connect(&m_mqtt, &MqttClient::disconnected, this, &Update::onMqttDisconnected);
    m_dispatcher.forward(m_mqtt, this, &Update::onMqttReceived);

    for (const char *suffix :
         {"/status", "/update/software/status", "/update/software/progress", "/update/software/progess"})
        m_mqtt.subscribe(m_base + QLatin1String(suffix), 0);
}

QString Update::status() const
{
    return m_status;
}

QString Update::current() const
{
    return m_current;
}

QString Update::pending() const
{
    return m_pending;
}

QString Update::progressMessage() const
{
    return m_progressMessage;
}

int Update::progressPercent() const
{
    return m_progressPercent;
}

void Update::check()
{
    qInfo().noquote().nospace() << Tag << "Checking for updates";
    setStatus(QStringLiteral("Checking for updates"));
    m_checkTimer.start(CheckTimeoutMsec);
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/software/check"), 0, false);
}

void Update::install()
{
    if (m_pending.isEmpty()) {
        qWarning().noquote().nospace() << Tag << "WARN: Cannot install. There are no pending versions";
        return;
    }
    qInfo().noquote().nospace() << Tag << "Installing pending update : " << m_pending;
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/update/software/install"), 0, false);
}

void Update::refresh()
{
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/status/get"), 0, false);
}

void Update::onMqttDisconnected()
{
    setStatus(QStringLiteral("Disconnected"));
}

void Update::checkTimerExpired()
{
    qInfo().noquote().nospace() << Tag << "No pedning updates";
    setStatus(m_pending.isEmpty() ? QStringLiteral("No pending updates") : QStringLiteral("Ready to install"));
}

void Update::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    m_dispatcher.dispatch(payload, topic);
}

void Update::setStatus(const QString &status)
{
    if (assignIfChanged(m_status, status))
        emit statusChanged();
}

void Update::setCurrent(const QString &current)
{
    if (assignIfChanged(m_current, current))
        emit currentChanged();
}

void Update::setPending(const QString &pending)
{
    if (assignIfChanged(m_pending, pending))
        emit pendingChanged();
}

void Update::setProgressMessage(const QString &message)
{
    if (assignIfChanged(m_progressMessage, message))
        emit progressMessageChanged();
}

void Update::setProgressPercent(int percent)
{
    if (assignIfChanged(m_progressPercent, percent))
        emit progressPercentChanged();
}

void Update::onStatusReceived(const QJsonObject &object, const QString &)
{
    const QJsonValue software =
        object.value(QStringLiteral("update")).toObject().value(QStringLiteral("software"));
    if (software.isString()) {
        setCurrent(software.toString());
    } else if (software.isObject()) {
        const QJsonObject versions = software.toObject();
        setCurrent(versions.value(QStringLiteral("current")).toString());
        setPending(versions.value(QStringLiteral("pending")).toString());
        setStatus(m_pending.isEmpty() ? QStringLiteral("No pending updates") : QStringLiteral("Ready to install"));
        setProgressMessage(QStringLiteral("Idle"));
        setProgressPercent(0);
    }
}

void Update::onSoftwareStatusReceived(const QJsonObject &object, const QString &)
{
    setCurrent(object.value(QStringLiteral("current")).toString());
    setPending(object.value(QStringLiteral("pending")).toString());
}

void Update::onProgressReceived(const QJsonObject &object, const QString &)
{
    setProgressMessage(object.value(QStringLiteral("message")).toString());
    setProgressPercent(object.value(QStringLiteral("progress")).toInt());
    setPending(object.value(QStringLiteral("version")).toString());
    m_checkTimer.stop();
    setStatus(m_progressMessage.contains(QLatin1Char('/')) ? QStringLiteral("Downloading")
                                                           : QStringLiteral("Installing"));
}

} // namespace manager

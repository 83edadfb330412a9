#include "Inspector.h"

#include "MqttClient.h"
#include "ServiceMonitor.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>

#include <limits>

namespace manager {

namespace {

const QString Tag = QStringLiteral("[Inspector] ");

// The pause between announcing a reboot or power-off and requesting it, so
// that the screens can show it first.
constexpr int PowerRequestDelayMsec = 2000;

} // namespace

Inspector::Inspector(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base)
    , m_timer(this)
    , m_shutdownTimer(this)
    , m_dispatcher(Tag, base)
{
    m_timer.setObjectName(QStringLiteral("monitorTimer"));
    m_shutdownTimer.setObjectName(QStringLiteral("shutdownTimer"));
    m_shutdownTimer.setSingleShot(true);

    using namespace std::placeholders;
    m_dispatcher.addHandler(QStringLiteral("/info"), std::bind(&Inspector::onInfoReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/status"), std::bind(&Inspector::onStatusReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/audio"), std::bind(&Inspector::onAudioReceived, this, _1, _2));

    m_dispatcher.forward(m_mqtt, this, &Inspector::onMqttReceived);
    connect(&m_mqtt, &MqttClient::connected, this, &Inspector::refresh);
    connect(&m_timer, &QTimer::timeout, this, &Inspector::refresh);
    connect(&m_shutdownTimer, &QTimer::timeout, this, &Inspector::systemShutdown);
    subscribe();
}

QVariantMap Inspector::info() const
{
    return m_info;
}

QString Inspector::status() const
{
    return m_status;
}

QVariantMap Inspector::memory() const
{
    return m_memory;
}

QVariantMap Inspector::cpu() const
{
    return m_cpu;
}

QVariantMap Inspector::disks() const
{
    return m_disks;
}

int Inspector::audioVolume() const
{
    return m_audio.value(QStringLiteral("internal")).toInt();
}

void Inspector::refresh()
{
    qInfo().noquote().nospace() << Tag << "Refreshing data";
    for (const char *suffix : {"/audio/get", "/stats/memory/get", "/stats/disk/get", "/stats/cpu/get"})
        publish(QLatin1String(suffix), QByteArrayLiteral("{}"));
}

void Inspector::monitor(int msec)
{
    if (applyMonitor(m_timer, Tag, msec))
        refresh();
}

void Inspector::setAudioVolume(int value)
{
    qInfo().noquote().nospace() << Tag << "Setting 'internal' audio volume : " << value << "%";
    const QJsonObject request{
        {QStringLiteral("internal"), QJsonObject{{QStringLiteral("volume"), value}}}};
    publish(QStringLiteral("/audio/set"), QJsonDocument(request).toJson());
}

void Inspector::audioPlay(const QString &file)
{
    qInfo().noquote().nospace() << Tag << "Playing audio file (card='internal') : " << file;
    const QJsonObject request{{QStringLiteral("device"), QStringLiteral("internal")},
                              {QStringLiteral("filepath"), file}};
    publish(QStringLiteral("/audio/play"), QJsonDocument(request).toJson());
}

void Inspector::systemReboot()
{
    qInfo().noquote().nospace() << Tag << "Requesting System reboot";
    emit systemRebootStarted();
    QTimer::singleShot(PowerRequestDelayMsec, this,
                       [this] { publish(QStringLiteral("/power/reboot/request/1"), QByteArray()); });
}

void Inspector::systemShutdown()
{
    qInfo().noquote().nospace() << Tag << "Requesting System shutdown";
    emit systemShutdownStarted();
    QTimer::singleShot(PowerRequestDelayMsec, this,
                       [this] { publish(QStringLiteral("/power/shutdown/request/1"), QByteArray()); });
}

void Inspector::scheduleShutdown(int sec)
{
    if (m_shutdownTimer.isActive())
        return;
    qInfo().noquote().nospace() << Tag << "Scheduling System shutdown in : " << sec << " sec(s)";
    // Kept within what a timer can run: a negative delay means at once, and a
    // huge one must not wrap around into a timer that never fires.
    const qint64 msec = qBound<qint64>(0, qint64(sec) * 1000, std::numeric_limits<int>::max());
    m_shutdownTimer.start(int(msec));
}

void Inspector::abortShutdown()
{
    if (!m_shutdownTimer.isActive())
        return;
    qInfo().noquote().nospace() << Tag << "Aborting System shutdown";
    m_shutdownTimer.stop();
}

void Inspector::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    m_dispatcher.dispatch(payload, topic);
}

void Inspector::subscribe()
{
    qInfo().noquote().nospace() << Tag << "Subscribing to topics";
    for (const char *suffix : {"/info", "/status", "/audio", "/stats/cpu", "/stats/memory", "/stats/disk"})
        m_mqtt.subscribe(m_base + QLatin1String(suffix), 0);
}

void Inspector::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    qInfo().noquote().nospace() << Tag << "Status changed : " << status;
    m_status = status;
    emit statusChanged();
}

void Inspector::publish(const QString &suffix, const QByteArray &payload)
{
    m_mqtt.publish(payload, m_base + suffix, 0, false);
}

void Inspector::onInfoReceived(const QJsonObject &object, const QString &topic)
{
    qInfo().noquote().nospace() << Tag << "Processing info topic " << topic;
    m_info.insert(QStringLiteral("version"),
                  object.value(QStringLiteral("service")).toObject().value(QStringLiteral("version")).toString());
    emit infoChanged();
}

void Inspector::onStatusReceived(const QJsonObject &object, const QString &topic)
{
    qInfo().noquote().nospace() << Tag << "Processing status topic " << topic;
    setStatus(object.value(QStringLiteral("service")).toBool() ? QStringLiteral("online")
                                                                : QStringLiteral("offline"));
}

void Inspector::onAudioReceived(const QJsonObject &object, const QString &)
{
    const int volume =
        object.value(QStringLiteral("internal")).toObject().value(QStringLiteral("volume")).toInt();
    if (volume == audioVolume())
        return;
    m_audio.insert(QStringLiteral("internal"), volume);
    emit audioVolumeChanged();
}

} // namespace manager

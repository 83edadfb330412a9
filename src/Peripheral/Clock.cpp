#include "Clock.h"

#include "MqttClient.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

namespace manager {

namespace {

// How long one timedatectl run may hold up the user interface.
constexpr int kCommandLimitMsec = 1000;

const QString kStatusRoute = QStringLiteral("/status");
const QString kConfigRoute = QStringLiteral("/config");

} // namespace

Clock::Clock(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base + QStringLiteral("/clock/ntp"))
    , m_dispatcher(QString(), m_base, ServiceDispatcher::EmptyIsParseError, ServiceDispatcher::rawPayloadText)
{
    m_dispatcher.addHandler(kStatusRoute, [this](const QJsonObject &object, const QString &topic) {
        onStatusReceived(object, topic);
    });
    m_dispatcher.addHandler(kConfigRoute, [this](const QJsonObject &object, const QString &topic) {
        onConfigReceived(object, topic);
    });

    connect(&m_mqtt, &MqttClient::connected, this, &Clock::refresh);
    m_dispatcher.forward(m_mqtt, this, &Clock::onMqttReceived);
    m_mqtt.subscribe(m_base + QStringLiteral("/status"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/config"), 0);
    startTimezoneList();
}

Clock::~Clock()
{
    // A list command still running is stopped; nobody needs its list now.
    if (m_timezoneRun) {
        m_timezoneRun->disconnect();
        m_timezoneRun->kill();
        m_timezoneRun->waitForFinished(kCommandLimitMsec);
    }
}

QByteArray Clock::timedatectl(const QStringList &arguments)
{
    QElapsedTimer started;
    started.start();
    QProcess process;
    startRun(process, arguments);
    return finishRun(process, started);
}

void Clock::startRun(QProcess &process, const QStringList &arguments)
{
    // Program and arguments go separately to the system: no shell parses
    // them, and the program is found through PATH.
    process.setProgram(QStringLiteral("timedatectl"));
    process.setArguments(arguments);
    process.start(QIODevice::ReadOnly);
}

QByteArray Clock::finishRun(QProcess &process, const QElapsedTimer &started)
{
    const auto remaining = [&started] { return qMax(0, kCommandLimitMsec - int(started.elapsed())); };
    if (process.error() == QProcess::FailedToStart
        || (process.state() == QProcess::Starting && !process.waitForStarted(remaining()))) {
        qWarning().noquote().nospace() << "WARN: timedatectl did not start : " << process.errorString();
        return {};
    }
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(remaining())) {
        // Abandoned with whatever it wrote so far.
        qWarning().noquote().nospace() << "WARN: timedatectl did not finish within " << kCommandLimitMsec
                                       << " msec(s)";
        const QByteArray output = process.readAllStandardOutput();
        process.kill();
        process.waitForFinished(kCommandLimitMsec);
        return output;
    }
    return process.readAllStandardOutput();
}

void Clock::startTimezoneList()
{
    // The list takes a child process some tens of milliseconds: it runs while
    // the user interface starts, instead of before.
    m_timezoneRun = new QProcess(this);
    m_timezoneRunStarted.start();
    const auto taken = [this] {
        if (!m_timezoneRun)
            return;
        takeTimezoneList();
        emit timezonesChanged();
    };
    connect(m_timezoneRun, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, taken);
    connect(m_timezoneRun, &QProcess::errorOccurred, this, taken);
    QTimer::singleShot(kCommandLimitMsec, m_timezoneRun, taken);
    startRun(*m_timezoneRun, { QStringLiteral("--no-pager"), QStringLiteral("list-timezones") });
}

void Clock::takeTimezoneList() const
{
    if (!m_timezoneRun)
        return;
    QProcess *run = m_timezoneRun;
    m_timezoneRun = nullptr;
    run->disconnect();
    m_timezones = QString::fromUtf8(finishRun(*run, m_timezoneRunStarted)).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    run->deleteLater();
}

QStringList Clock::timezones() const
{
    // Read before the command has ended: wait for it here, within its limit.
    takeTimezoneList();
    return m_timezones;
}

QString Clock::timezone() const
{
    static const QRegularExpression pattern(QStringLiteral("Time zone:\\s(.+)\\s\\("));
    const QString output = QString::fromUtf8(timedatectl({ QStringLiteral("status") }));
    const QRegularExpressionMatch match = pattern.match(output);
    return match.hasMatch() ? match.captured(1) : QString();
}

void Clock::setTimezone(const QString &timezone)
{
    if (this->timezone() == timezone)
        return;
    // "--" ends the options: a zone name beginning with a dash stays a zone
    // name and cannot pass as an option (such as another host to act on).
    timedatectl({ QStringLiteral("set-timezone"), QStringLiteral("--"), timezone });
    emit timezoneChanged();
}

QString Clock::ntpServer() const
{
    return m_ntpServer;
}

bool Clock::ntpEnabled() const
{
    return m_ntpEnabled;
}

bool Clock::ntpSynced() const
{
    return m_ntpSynced;
}

void Clock::publishConfig(bool enabled, const QString &server)
{
    QJsonObject object;
    object.insert(QStringLiteral("enabled"), enabled);
    object.insert(QStringLiteral("server"), server);
    m_mqtt.publish(QJsonDocument(object).toJson(QJsonDocument::Indented), m_base + QStringLiteral("/config/set"), 0,
                   false);
}

void Clock::setNtpServer(const QString &server)
{
    if (server == m_ntpServer)
        return;
    qInfo().noquote().nospace() << "Setting NTP server : " << server;
    publishConfig(m_ntpEnabled, server);
}

void Clock::setNtpEnabled(bool enabled)
{
    if (enabled == m_ntpEnabled)
        return;
    qInfo().noquote().nospace() << "Setting NTP : " << (enabled ? "enabled" : "disabled");
    publishConfig(enabled, m_ntpServer);
}

void Clock::ntpSync()
{
    qInfo().noquote().nospace() << "Requesting NTP sync";
    m_ntpSynced = false;
    emit ntpSyncedChanged();
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/sync"), 0, false);
}

void Clock::refresh()
{
    qInfo().noquote().nospace() << "Refreshing Clock status and config";
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/status/get"), 0, false);
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/config/get"), 0, false);
}

void Clock::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    if (!topic.contains(m_base))
        return;
    // The time service's topics are told apart by what they contain, not by
    // exact name: route them onto the dispatcher's two handlers. Any other
    // topic under the base is still parsed (and a bad payload logged), then
    // dropped.
    QString route = topic;
    if (topic.contains(QLatin1String("/ntp/status")))
        route = m_base + kStatusRoute;
    else if (topic.contains(QLatin1String("/ntp/config")))
        route = m_base + kConfigRoute;
    m_dispatcher.dispatch(payload, route);
}

void Clock::onStatusReceived(const QJsonObject &object, const QString &)
{
    if (assignIfChanged(m_ntpEnabled, object.value(QStringLiteral("enabled")).toBool()))
        emit ntpEnabledChanged();
    if (assignIfChanged(m_ntpSynced, object.value(QStringLiteral("synced")).toBool()))
        emit ntpSyncedChanged();
}

void Clock::onConfigReceived(const QJsonObject &object, const QString &)
{
    if (assignIfChanged(m_ntpEnabled, object.value(QStringLiteral("enabled")).toBool()))
        emit ntpEnabledChanged();
    if (assignIfChanged(m_ntpServer, object.value(QStringLiteral("server")).toString()))
        emit ntpServerChanged();
}

} // namespace manager

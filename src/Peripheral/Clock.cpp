#include "Clock.h"

#include "MqttClient.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <memory>
#include <utility>

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
    queryTimezone();
}

Clock::~Clock()
{
    // Commands still running are stopped: nobody needs their answers now, and
    // none may report to an object being taken down.
    const QList<QProcess *> runs = findChildren<QProcess *>(QString(), Qt::FindDirectChildrenOnly);
    for (QProcess *run : runs) {
        run->disconnect();
        run->kill();
        run->waitForFinished(kCommandLimitMsec);
    }
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

QProcess *Clock::runInBackground(const QStringList &arguments, const Finished &done)
{
    auto *process = new QProcess(this);
    auto settled = std::make_shared<bool>(false);
    const auto settle = [process, done, settled](const QString &failure) {
        if (std::exchange(*settled, true))
            return;
        QString reason = failure;
        if (reason.isEmpty() && (process->exitStatus() != QProcess::NormalExit || process->exitCode() != 0)) {
            reason = QString::fromUtf8(process->readAllStandardError()).trimmed();
            if (reason.isEmpty())
                reason = QStringLiteral("exit status %1").arg(process->exitCode());
        }
        const QByteArray output = process->readAllStandardOutput();
        process->disconnect();
        // An abandoned run is ended; its output so far is still used.
        process->kill();
        process->deleteLater();
        done(output, reason);
    };
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, [settle] { settle({}); });
    connect(process, &QProcess::errorOccurred, this, [process, settle](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            settle(QStringLiteral("did not start : ") + process->errorString());
    });
    QTimer::singleShot(kCommandLimitMsec, process, [settle] {
        settle(QStringLiteral("did not finish within %1 msec(s)").arg(kCommandLimitMsec));
    });
    startRun(*process, arguments);
    return process;
}

void Clock::queryTimezone()
{
    // One query at a time; one asked for meanwhile runs after it, since the
    // zone may have changed since it started.
    if (m_statusRun) {
        m_queryAgain = true;
        return;
    }
    static const QRegularExpression pattern(QStringLiteral("Time zone:\\s(.+)\\s\\("));
    m_statusRun = runInBackground({ QStringLiteral("status") }, [this](const QByteArray &output, const QString &failure) {
        m_statusRun = nullptr;
        if (!failure.isEmpty())
            qWarning().noquote().nospace() << "WARN: timedatectl " << failure;
        const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(output));
        setKnownTimezone(match.hasMatch() ? match.captured(1) : QString());
        if (std::exchange(m_queryAgain, false))
            queryTimezone();
    });
}

void Clock::setKnownTimezone(const QString &timezone)
{
    if (assignIfChanged(m_timezone, timezone))
        emit timezoneChanged();
}

QString Clock::timezone() const
{
    // A read never waits for the system: the answer comes by timezoneChanged.
    // Reading while a query runs asks for nothing more.
    if (!m_statusRun)
        const_cast<Clock *>(this)->queryTimezone();
    return m_timezone;
}

void Clock::setTimezone(const QString &timezone)
{
    if (m_timezone == timezone)
        return;
    // "--" ends the options: a zone name beginning with a dash stays a zone
    // name and cannot pass as an option (such as another host to act on).
    runInBackground({ QStringLiteral("set-timezone"), QStringLiteral("--"), timezone },
                    [this, timezone](const QByteArray &, const QString &failure) {
                        if (!failure.isEmpty()) {
                            qCritical().noquote().nospace()
                                << "ERROR: Cannot set the time zone to " << timezone << " : " << failure;
                            emit timezoneError(failure);
                        }
                        // What the system says now, refused or not.
                        queryTimezone();
                    });
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

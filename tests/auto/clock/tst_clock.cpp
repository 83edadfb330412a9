#include "Clock.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "ServiceTestBed.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using manager::Clock;
using manager::MqttClient;

namespace {

const QString DeviceBase = QStringLiteral("test/device");
const QString Base = DeviceBase + QStringLiteral("/clock/ntp");

// Stands in for timedatectl: records each call as one line (its arguments
// separated by the unit separator, written at once: runs may overlap), keeps
// the zone in a file, and hangs when the zone file says so.
const char FakeTimedatectl[] = R"(#!/bin/sh
dir=$(dirname "$0")
line=$(printf '%s\037' "$@")
printf '%s\n' "$line" >> "$dir/calls"
case "$1" in
--no-pager)
    zone=$(cat "$dir/zone")
    if [ "$zone" = "HANG" ]; then
        printf 'Africa/Abidjan\n'
        exec sleep 10
    fi
    printf 'Africa/Abidjan\nAmerica/Argentina/Buenos_Aires\nEurope/Berlin\n'
    ;;
status)
    zone=$(cat "$dir/zone")
    if [ "$zone" = "HANG" ]; then
        printf '                Time zone: '
        exec sleep 10
    fi
    printf '               Local time: Sun 2026-12-06 10:00:00 CET\n'
    printf '                Time zone: %s (CET, +0100)\n' "$zone"
    printf 'System clock synchronized: yes\n'
    ;;
set-timezone)
    shift
    [ "$1" = "--" ] && shift
    if [ "$1" = "Refused/Zone" ]; then
        echo "Failed to set time zone: Access denied" >&2
        exit 1
    fi
    printf '%s' "$1" > "$dir/zone"
    ;;
esac
)";

} // namespace

// The clock client: the time zone through a fake timedatectl first on PATH,
// network time against a real broker with a peer playing the device service.
class tst_Clock : public QObject
{
    Q_OBJECT

private:
    void serve(const QString &topic, const QByteArray &payload)
    {
        QVERIFY(m_bed.serve(*m_mqtt, topic, payload));
    }

    // Every timedatectl call so far, each as its argument list.
    QList<QStringList> calls() const
    {
        QFile file(m_dir.filePath("calls"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QStringList> result;
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        for (const QString &line : lines)
            result.append(line.split(QChar(0x1f), Qt::SkipEmptyParts));
        return result;
    }

    void setSystemZone(const QByteArray &zone)
    {
        QFile file(m_dir.filePath("zone"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(zone);
    }

    void forgetCalls() { QFile::remove(m_dir.filePath("calls")); }

    QTemporaryDir m_dir;
    QByteArray m_path;
    ServiceTestBed m_bed;
    MqttPeer &m_peer = m_bed.peer();
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<LogRecorder> m_log;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile fake(m_dir.filePath("timedatectl"));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write(FakeTimedatectl);
        fake.close();
        QVERIFY(fake.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        m_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_path);

        QVERIFY2(m_bed.start("device-service", DeviceBase), qPrintable(m_bed.broker().log()));
    }

    void cleanupTestCase() { qputenv("PATH", m_path); }

    void init()
    {
        setSystemZone("Europe/Berlin");
        forgetCalls();
        m_log = std::make_unique<LogRecorder>();
        m_mqtt = m_bed.makeClient("clock-client");
        m_clock = std::make_unique<Clock>(*m_mqtt, DeviceBase);
        QVERIFY(m_bed.connectClient(*m_mqtt));
        QVERIFY(m_bed.waitUntilLive(*m_mqtt, Base + "/config", "probe"));
        m_log->clear();
    }

    void cleanup()
    {
        m_clock.reset();
        m_mqtt.reset();
        m_log.reset();
    }

    void timezoneListReadOnce()
    {
        const QStringList zones = m_clock->timezones();
        QVERIFY(zones.size() >= 3);
        QCOMPARE(zones.mid(0, 3),
                 QStringList({ "Africa/Abidjan", "America/Argentina/Buenos_Aires", "Europe/Berlin" }));
        m_clock->timezones();
        m_clock->timezone();
        // The construction's list query is the only one.
        int listCalls = 0;
        for (const QStringList &call : calls())
            listCalls += call == QStringList({ "--no-pager", "list-timezones" });
        QCOMPARE(listCalls, 1);
    }

    void timezoneListArrivesByItself()
    {
        {
            Clock clock(*m_mqtt, DeviceBase);
            QSignalSpy listed(&clock, &Clock::timezonesChanged);
            QVERIFY(listed.wait(10000));
            QCOMPARE(clock.timezones().size(), 4);
            QCOMPARE(listed.size(), 1);
        }

        // A list command that hangs holds up neither the construction nor
        // the user interface past its limit; what it wrote is kept.
        setSystemZone("HANG");
        Clock clock(*m_mqtt, DeviceBase);
        QSignalSpy listed(&clock, &Clock::timezonesChanged);
        QCOMPARE(listed.size(), 0);
        QVERIFY(listed.wait(10000));
        QCOMPARE(clock.timezones(), QStringList({ "Africa/Abidjan", "" }));
        QVERIFY(m_log->contains("WARN: timedatectl did not finish"));
    }

    // Reads and writes never wait for the system: its answers come as
    // signals, and a change is signalled only when the zone really changed.
    void timezoneReadAndSet()
    {
        QTRY_COMPARE(m_clock->timezone(), QString("Europe/Berlin"));
        QSignalSpy changed(m_clock.get(), &Clock::timezoneChanged);
        QSignalSpy refused(m_clock.get(), &Clock::timezoneError);
        const auto sets = [this] {
            int count = 0;
            for (const QStringList &call : calls())
                count += call.value(0) == QLatin1String("set-timezone");
            return count;
        };
        m_clock->setTimezone("Europe/Berlin");
        QTest::qWait(300);
        QCOMPARE(sets(), 0);
        QCOMPARE(changed.size(), 0);

        // A name with blanks and dashes, even one that looks like options,
        // reaches the command as one argument after the end of the options.
        const QString odd = QStringLiteral("-H evil --machine=x Zone-Name");
        m_clock->setTimezone(odd);
        QVERIFY(changed.wait(10000));
        QVERIFY(calls().contains(QStringList({ "set-timezone", "--", odd })));
        QCOMPARE(m_clock->timezone(), odd);

        // Refused: said with the system's own reason, and nothing changes.
        m_clock->setTimezone("Refused/Zone");
        QVERIFY(refused.wait(10000));
        QCOMPARE(refused.first().first().toString(), QStringLiteral("Failed to set time zone: Access denied"));
        QVERIFY(m_log->contains("ERROR: Cannot set the time zone to Refused/Zone : Failed to set time zone: Access denied"));
        QTest::qWait(500);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(m_clock->timezone(), odd);
    }

    void hangingOrMissingCommand()
    {
        // A command that hangs is abandoned after its limit, well before the
        // fake's ten seconds; what it wrote is kept.
        setSystemZone("HANG");
        {
            Clock clock(*m_mqtt, DeviceBase);
            QCOMPARE(clock.timezone(), QString());
            QTRY_VERIFY_WITH_TIMEOUT(m_log->contains("WARN: timedatectl did not finish"), 8000);
            QCOMPARE(clock.timezone(), QString());
        }
        // None at all: empty values, said once.
        qputenv("PATH", QFile::encodeName(m_dir.filePath("nowhere")));
        Clock clock(*m_mqtt, DeviceBase);
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_path);
        QTRY_VERIFY_WITH_TIMEOUT(m_log->contains("WARN: timedatectl did not start"), 8000);
        QCOMPARE(clock.timezone(), QString());
        QVERIFY(clock.timezones().join(QString()).isEmpty());
    }

    void refreshOnConnect()
    {
        LogRecorder log;
        MqttClient mqtt;
        m_bed.configure(mqtt, "clock-client-2");
        Clock clock(mqtt, DeviceBase);
        mqtt.connect();
        for (const QString suffix : { "/status/get", "/config/get" }) {
            const auto message = m_peer.waitForMessage(DeviceBase + "/#");
            QVERIFY(message);
            QCOMPARE(message->topic, Base + suffix);
            QCOMPARE(message->payload, QByteArray());
            QCOMPARE(message->qos, 0);
            QCOMPARE(message->retain, false);
        }
        QVERIFY(log.lines(QtInfoMsg).contains("Refreshing Clock status and config"));
    }

    void ntpSettingsGoThroughTheService()
    {
        QSignalSpy server(m_clock.get(), &Clock::ntpServerChanged);
        QSignalSpy enabled(m_clock.get(), &Clock::ntpEnabledChanged);
        serve(Base + "/config", R"({"enabled": true, "server": "pool.example"})");
        QCOMPARE(m_clock->ntpServer(), QString("pool.example"));
        QCOMPARE(m_clock->ntpEnabled(), true);
        QCOMPARE(server.size(), 1);
        QCOMPARE(enabled.size(), 1);

        // The current values send nothing: the first request the service
        // sees is the one that changes something.
        m_clock->setNtpServer("pool.example");
        m_clock->setNtpEnabled(true);
        m_clock->setNtpServer("time.example");
        auto message = m_peer.waitForMessage(Base + "/config/set");
        QVERIFY(message);
        QCOMPARE(QJsonDocument::fromJson(message->payload).object(),
                 QJsonObject({ { "enabled", true }, { "server", "time.example" } }));
        QVERIFY(m_log->contains("Setting NTP server : time.example"));
        // Unchanged until the service reports it.
        QCOMPARE(m_clock->ntpServer(), QString("pool.example"));

        m_clock->setNtpEnabled(false);
        message = m_peer.waitForMessage(Base + "/config/set");
        QVERIFY(message);
        QCOMPARE(m_peer.messageCount(Base + "/config/set"), 2);
        QCOMPARE(QJsonDocument::fromJson(message->payload).object(),
                 QJsonObject({ { "enabled", false }, { "server", "pool.example" } }));
        QVERIFY(m_log->lines(QtInfoMsg).contains("Setting NTP : disabled"));
        QCOMPARE(m_clock->ntpEnabled(), true);
        QCOMPARE(server.size(), 1);
        QCOMPARE(enabled.size(), 1);
    }

    void syncAndStatus()
    {
        QSignalSpy synced(m_clock.get(), &Clock::ntpSyncedChanged);
        serve(Base + "/status", R"({"enabled": true, "synced": true})");
        QCOMPARE(m_clock->ntpSynced(), true);
        QCOMPARE(m_clock->ntpEnabled(), true);
        QCOMPARE(synced.size(), 1);

        m_clock->ntpSync();
        QCOMPARE(m_clock->ntpSynced(), false);
        QCOMPARE(synced.size(), 2);
        const auto message = m_peer.waitForMessage(Base + "/sync");
        QVERIFY(message);
        QCOMPARE(message->payload, QByteArray());
        QVERIFY(m_log->lines(QtInfoMsg).contains("Requesting NTP sync"));

        serve(Base + "/status", R"({"enabled": true, "synced": false})");
        QCOMPARE(synced.size(), 2);
        serve(Base + "/status", R"({"enabled": true, "synced": true})");
        QCOMPARE(m_clock->ntpSynced(), true);
        QCOMPARE(synced.size(), 3);
    }

    void badInputAndOtherTopics()
    {
        serve(Base + "/config", R"({"enabled": true, "server": "pool.example"})");
        QSignalSpy server(m_clock.get(), &Clock::ntpServerChanged);
        QSignalSpy enabled(m_clock.get(), &Clock::ntpEnabledChanged);
        m_log->clear();

        serve(Base + "/config", "{\"server\": ");
        serve(Base + "/config", QByteArray());
        QCOMPARE(m_log->lines(QtCriticalMsg),
                 QStringList({ "Failed to parse JSON message: {\"server\": ", "Failed to parse JSON message: " }));
        QCOMPARE(m_clock->ntpServer(), QString("pool.example"));

        // Under the base but neither status nor configuration: parsed, then dropped.
        m_mqtt->subscribe(Base + "/other", 0);
        QSignalSpy received(m_mqtt.get(), &MqttClient::received);
        QTRY_VERIFY_WITH_TIMEOUT((m_peer.publish(Base + "/other", "{}"), !received.isEmpty()), 10000);
        serve(Base + "/other", R"({"enabled": false, "server": "other.example"})");
        QCOMPARE(m_clock->ntpServer(), QString("pool.example"));
        QCOMPARE(m_clock->ntpEnabled(), true);
        QCOMPARE(server.size(), 0);
        QCOMPARE(enabled.size(), 0);

        // Missing keys read as their defaults.
        serve(Base + "/config", "{}");
        QCOMPARE(m_clock->ntpServer(), QString());
        QCOMPARE(m_clock->ntpEnabled(), false);
    }
};

QTEST_GUILESS_MAIN(tst_Clock)
#include "tst_clock.moc"

#include "Inspector.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "ServiceTestBed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QtTest>

#include <limits>

using manager::Inspector;
using manager::MqttClient;

namespace {

const QString Base = QStringLiteral("test/inspector");

bool isRequest(const QString &topic)
{
    return topic.endsWith("/get") || topic.endsWith("/set") || topic.contains("/request/")
        || topic.endsWith("/audio/play");
}

} // namespace

// The inspector client against a real broker, with a peer playing the service.
class tst_Inspector : public QObject
{
    Q_OBJECT

private:
    void serve(const QString &suffix, const QByteArray &payload)
    {
        QVERIFY(m_bed.serve(*m_mqtt, Base + suffix, payload));
    }

    // The next request the client published; the peer's own messages are skipped.
    std::optional<MqttPeer::Message> next()
    {
        auto message = m_peer.waitForMessage(Base + "/#");
        while (message && !isRequest(message->topic))
            message = m_peer.waitForMessage(Base + "/#");
        return message;
    }

    QTimer *timer(const char *name) const { return m_inspector->findChild<QTimer *>(name); }

    ServiceTestBed m_bed;
    MqttPeer &m_peer = m_bed.peer();
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<Inspector> m_inspector;
    std::unique_ptr<LogRecorder> m_log;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_bed.start("inspector-service", Base), qPrintable(m_bed.broker().log()));
    }

    void init()
    {
        m_log = std::make_unique<LogRecorder>();
        m_mqtt = m_bed.makeClient("inspector-client");
        m_inspector = std::make_unique<Inspector>(*m_mqtt, Base);
        QVERIFY(m_bed.connectClient(*m_mqtt));
        QVERIFY(m_bed.waitUntilLive(*m_mqtt, Base + "/stats/disk", "{}"));
        m_log->clear();
    }

    void cleanup()
    {
        m_inspector.reset();
        m_mqtt.reset();
        m_log.reset();
    }

    void refreshAndMonitor()
    {
        QTimer *monitor = timer("monitorTimer");
        QVERIFY(monitor);
        QVERIFY(!monitor->isActive());

        m_inspector->monitor(1000);
        QVERIFY(m_log->contains("[Inspector] Monitor started : 1000 msec(s)"));
        QVERIFY(monitor->isActive());
        QCOMPARE(monitor->interval(), 1000);
        QVERIFY(!monitor->isSingleShot());
        for (const char *suffix : {"/audio/get", "/stats/memory/get", "/stats/disk/get", "/stats/cpu/get"}) {
            const auto message = next();
            QVERIFY(message);
            QCOMPARE(message->topic, Base + suffix);
            QCOMPARE(message->payload, QByteArray("{}"));
            QCOMPARE(message->retain, false);
        }
        QVERIFY(m_log->contains("[Inspector] Refreshing data"));

        m_peer.clear();
        m_inspector->monitor(20);
        QTRY_VERIFY_WITH_TIMEOUT(m_peer.messageCount(Base + "/stats/cpu/get") >= 3, 10000);
        m_inspector->monitor(0);
        QVERIFY(!monitor->isActive());
        QVERIFY(m_log->contains("[Inspector] Monitor stopped"));
    }

    void stateMessages()
    {
        QSignalSpy info(m_inspector.get(), &Inspector::infoChanged);
        QSignalSpy status(m_inspector.get(), &Inspector::statusChanged);
        QSignalSpy volume(m_inspector.get(), &Inspector::audioVolumeChanged);

        serve("/info", R"({"service": {"version": "3.2.0"}})");
        QCOMPARE(m_inspector->info().value("version").toString(), QString("3.2.0"));
        serve("/info", "{}");
        QCOMPARE(m_inspector->info().value("version").toString(), QString());
        QCOMPARE(info.size(), 2);
        QVERIFY(m_log->contains(QString("[Inspector] Processing info topic %1/info").arg(Base)));

        serve("/status", R"({"service": true})");
        serve("/status", R"({"service": true})");
        QCOMPARE(m_inspector->status(), QString("online"));
        QCOMPARE(status.size(), 1);
        serve("/status", R"({"other": 1})");
        QCOMPARE(m_inspector->status(), QString("offline"));
        QCOMPARE(m_log->matching("[Inspector] Status changed : ").size(), 2);

        serve("/audio", R"({"internal": {"volume": 40}})");
        serve("/audio", R"({"internal": {"volume": 40}})");
        QCOMPARE(m_inspector->audioVolume(), 40);
        QCOMPARE(volume.size(), 1);

        // Statistics are accepted and not read; bad JSON is logged and dropped.
        serve("/stats/cpu", R"({"load": 99})");
        QCOMPARE(m_inspector->cpu(), QVariantMap());
        serve("/audio", R"({"internal": )");
        const QStringList errors = m_log->lines(QtCriticalMsg);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().startsWith("[Inspector] Failed to parse JSON message: "));
        QCOMPARE(m_inspector->audioVolume(), 40);
        QCOMPARE(volume.size(), 1);
    }

    void audioCommands()
    {
        m_inspector->setAudioVolume(55);
        auto message = next();
        QVERIFY(message);
        QCOMPARE(message->topic, Base + "/audio/set");
        QCOMPARE(QJsonDocument::fromJson(message->payload).object(),
                 (QJsonObject{{"internal", QJsonObject{{"volume", 55}}}}));
        QVERIFY(m_log->contains("[Inspector] Setting 'internal' audio volume : 55%"));
        QCOMPARE(m_inspector->audioVolume(), 0);

        m_inspector->audioPlay("/usr/share/sounds/valid.wav");
        message = next();
        QVERIFY(message);
        QCOMPARE(message->topic, Base + "/audio/play");
        QCOMPARE(QJsonDocument::fromJson(message->payload).object(),
                 (QJsonObject{{"device", "internal"}, {"filepath", "/usr/share/sounds/valid.wav"}}));
        QVERIFY(m_log->contains("[Inspector] Playing audio file (card='internal') : /usr/share/sounds/valid.wav"));
    }

    void scheduledShutdown()
    {
        QTimer *shutdown = timer("shutdownTimer");
        QVERIFY(shutdown);

        m_inspector->abortShutdown();
        QCOMPARE(m_log->count(), 0);

        m_inspector->scheduleShutdown(30);
        m_inspector->scheduleShutdown(45);
        QCOMPARE(m_log->matching("[Inspector] Scheduling System shutdown in : ").size(), 1);
        QVERIFY(m_log->contains("[Inspector] Scheduling System shutdown in : 30 sec(s)"));
        QVERIFY(shutdown->isActive());
        QVERIFY(shutdown->isSingleShot());
        QCOMPARE(shutdown->interval(), 30000);

        m_inspector->abortShutdown();
        QVERIFY(!shutdown->isActive());
        m_inspector->abortShutdown();
        QCOMPARE(m_log->matching("[Inspector] Aborting System shutdown").size(), 1);

        // A delay too long for a timer is capped instead of wrapping around.
        m_inspector->scheduleShutdown(3000000);
        QVERIFY(shutdown->isActive());
        QCOMPARE(shutdown->interval(), std::numeric_limits<int>::max());
        m_inspector->abortShutdown();

        // On expiry: announced at once, requested after the pause.
        QSignalSpy started(m_inspector.get(), &Inspector::systemShutdownStarted);
        m_inspector->scheduleShutdown(0);
        QVERIFY(started.wait(10000));
        QVERIFY(m_log->contains("[Inspector] Requesting System shutdown"));
        QCOMPARE(m_peer.messageCount(Base + "/power/shutdown/request/1"), 0);
        const auto request = m_peer.waitForMessage(Base + "/power/shutdown/request/1", 15000);
        QVERIFY(request);
        QCOMPARE(request->payload, QByteArray());
        QCOMPARE(started.size(), 1);
        QVERIFY(!shutdown->isActive());
    }

    void rebootAfterPause()
    {
        QSignalSpy started(m_inspector.get(), &Inspector::systemRebootStarted);
        m_inspector->systemReboot();
        QCOMPARE(started.size(), 1);
        QVERIFY(m_log->contains("[Inspector] Requesting System reboot"));
        QCOMPARE(m_peer.messageCount(Base + "/power/reboot/request/1"), 0);
        const auto request = m_peer.waitForMessage(Base + "/power/reboot/request/1", 15000);
        QVERIFY(request);
        QCOMPARE(request->payload, QByteArray());
        QCOMPARE(m_peer.messageCount(Base + "/power/shutdown/request/1"), 0);
    }
};

QTEST_MAIN(tst_Inspector)
#include "tst_inspector.moc"

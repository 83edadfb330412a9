#include "LogRecorder.h"
#include "MqttClient.h"
#include "ServiceTestBed.h"
#include "Update.h"

#include <QTimer>
#include <QtTest>

using manager::MqttClient;
using manager::Update;

namespace {

const QString Base = QStringLiteral("test/device");

} // namespace

// The update client against a real broker, with a peer playing the device service.
class tst_Update : public QObject
{
    Q_OBJECT

private:
    void serve(const QString &suffix, const QByteArray &payload)
    {
        QVERIFY(m_bed.serve(*m_mqtt, Base + suffix, payload));
    }

    QTimer *checkTimer() const { return m_update->findChild<QTimer *>("checkTimer"); }

    ServiceTestBed m_bed;
    MqttPeer &m_peer = m_bed.peer();
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<Update> m_update;
    std::unique_ptr<LogRecorder> m_log;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_bed.start("device-service", Base), qPrintable(m_bed.broker().log()));
    }

    void init()
    {
        m_log = std::make_unique<LogRecorder>();
        m_mqtt = m_bed.makeClient("update-client");
        m_update = std::make_unique<Update>(*m_mqtt, Base);
        QCOMPARE(m_update->status(), QString("Disconnected"));
        QVERIFY(m_bed.connectClient(*m_mqtt));
        // The device status is asked for on every connection.
        const auto get = m_peer.waitForMessage(Base + "/status/get");
        QVERIFY(get);
        QCOMPARE(get->payload, QByteArray());
        QVERIFY(m_bed.waitUntilLive(*m_mqtt, Base + "/update/software/progess", "probe"));
        QCOMPARE(m_update->status(), QString("Disconnected"));
        m_log->clear();
    }

    void cleanup()
    {
        m_update.reset();
        m_mqtt.reset();
        m_log.reset();
    }

    void deviceStatus()
    {
        serve("/status", R"({"update": {"software": {"current": "1.0", "pending": "1.1"}}})");
        QCOMPARE(m_update->current(), QString("1.0"));
        QCOMPARE(m_update->pending(), QString("1.1"));
        QCOMPARE(m_update->status(), QString("Ready to install"));
        QCOMPARE(m_update->progressMessage(), QString("Idle"));
        QCOMPARE(m_update->progressPercent(), 0);

        // A plain string is the installed version only.
        QSignalSpy status(m_update.get(), &Update::statusChanged);
        QSignalSpy current(m_update.get(), &Update::currentChanged);
        serve("/status", R"({"update": {"software": "1.0.7"}})");
        QCOMPARE(m_update->current(), QString("1.0.7"));
        QCOMPARE(m_update->pending(), QString("1.1"));
        QCOMPARE(status.size(), 0);
        serve("/status", R"({"update": {"software": "1.0.7"}})");
        QCOMPARE(current.size(), 1);

        serve("/update/software/status", R"({"current": "1.1"})");
        QCOMPARE(m_update->current(), QString("1.1"));
        QCOMPARE(m_update->pending(), QString());
        serve("/status", R"({"update": {"software": {"current": "1.1"}}})");
        QCOMPARE(m_update->status(), QString("No pending updates"));

        // Malformed JSON is logged and changes nothing.
        serve("/update/software/status", R"({"current": "9.9")");
        QCOMPARE(m_log->lines(QtCriticalMsg).size(), 1);
        QVERIFY(m_log->lines(QtCriticalMsg).first().startsWith("[Update] Failed to parse JSON message: "));
        QCOMPARE(m_update->current(), QString("1.1"));

        QSignalSpy disconnected(m_mqtt.get(), &MqttClient::disconnected);
        m_mqtt->disconnect();
        QTRY_VERIFY_WITH_TIMEOUT(!disconnected.isEmpty(), 10000);
        QCOMPARE(m_update->status(), QString("Disconnected"));
    }

    void checkAndProgress()
    {
        QTimer *timer = checkTimer();
        QVERIFY(timer);

        m_update->check();
        QCOMPARE(m_update->status(), QString("Checking for updates"));
        QVERIFY(m_log->contains("[Update] Checking for updates"));
        QVERIFY(timer->isActive());
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->interval(), 5000);
        const auto request = m_peer.waitForMessage(Base + "/software/check");
        QVERIFY(request);
        QCOMPARE(request->payload, QByteArray());

        // Progress ends the check: no time-out line follows.
        serve("/update/software/progress", R"({"message": "12/40 MB", "progress": 30, "version": "2.0"})");
        QVERIFY(!timer->isActive());
        QCOMPARE(m_update->status(), QString("Downloading"));
        QCOMPARE(m_update->progressMessage(), QString("12/40 MB"));
        QCOMPARE(m_update->progressPercent(), 30);
        QCOMPARE(m_update->pending(), QString("2.0"));

        serve("/update/software/progess", R"({"message": "Writing image", "progress": 80, "version": "2.0"})");
        QCOMPARE(m_update->status(), QString("Installing"));
        QCOMPARE(m_update->progressPercent(), 80);
        QVERIFY(!m_log->contains("No pedning updates"));

        // A check with no progress ends by its timer (run short here).
        QSignalSpy status(m_update.get(), &Update::statusChanged);
        m_update->check();
        timer->start(20);
        QTRY_COMPARE_WITH_TIMEOUT(m_update->status(), QString("Ready to install"), 10000);
        QVERIFY(m_log->contains("[Update] No pedning updates"));
        QCOMPARE(status.size(), 2);

        serve("/update/software/status", R"({"current": "2.0"})");
        m_update->check();
        timer->start(20);
        QTRY_COMPARE_WITH_TIMEOUT(m_update->status(), QString("No pending updates"), 10000);
    }

    void installNeedsPendingVersion()
    {
        m_update->install();
        const QStringList warnings = m_log->lines(QtWarningMsg);
        QVERIFY(warnings.contains("[Update] WARN: Cannot install. There are no pending versions"));
        // Whatever was sent before the next request would be seen first.
        m_update->check();
        QVERIFY(m_peer.waitForMessage(Base + "/software/check"));
        QCOMPARE(m_peer.messageCount(Base + "/update/software/install"), 0);

        serve("/update/software/status", R"({"current": "1.0", "pending": "1.2"})");
        m_update->install();
        QVERIFY(m_log->contains("[Update] Installing pending update : 1.2"));
        const auto install = m_peer.waitForMessage(Base + "/update/software/install");
        QVERIFY(install);
        QCOMPARE(install->payload, QByteArray());
        QCOMPARE(install->retain, false);
    }
};

QTEST_MAIN(tst_Update)
#include "tst_update.moc"

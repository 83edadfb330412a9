#include "Config.h"
#include "GUIManager.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"
#include "Resources.h"
#include "logger.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray BlmOnline = R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})";
const QByteArray BlmNoRoute = R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": false}})";
const QByteArray IgnitionOn = R"({"service": true, "device": {"active": true, "ignition": true}})";
const QByteArray IgnitionOff = R"({"service": true, "device": {"active": true, "ignition": false}})";
const QByteArray Valid = R"({"transaction": {"result": true, "type": 0}})";
const QByteArray Invalid = R"({"transaction": {"result": false, "type": 0}})";

QByteArray payload(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject json(const std::optional<MqttPeer::Message> &message)
{
    return message ? QJsonDocument::fromJson(message->payload).object() : QJsonObject();
}

} // namespace

// The real GUI manager on a real broker, with a peer playing the services and
// watching the UI's own topics. What a user sees of it runs in the serving and
// endtoend suites; here is what the services see. The slots run in order on
// one manager.
class tst_GUIManager : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    MosquittoBroker m_broker;
    MqttPeer m_peer;
    std::unique_ptr<LogRecorder> m_log;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<GUIManager> m_gui; // destroyed first

    // The event log as saved: what survives a power cut.
    bool eventSaved(const QString &name)
    {
        return QTest::qWaitFor([&] {
            QFile file(m_dir.filePath("events.ini"));
            return file.open(QIODevice::ReadOnly) && QString::fromUtf8(file.readAll()).contains(name);
        }, 10000);
    }

    bool logged(const QString &line) { return QTest::qWaitFor([&] { return m_log->contains(line); }, 10000); }

    bool technician() { return json(m_peer.waitForMessage("kivo/ui/status")).value("technician").toBool(); }
    QString sound() { return json(m_peer.waitForMessage("kivo/inspector/audio/play")).value("filepath").toString(); }

private slots:
    void initTestCase()
    {
        Resources::init();
        QCoreApplication::setApplicationName("LTXGTerminalUI");
        manager::Logger::instance(); // installed once; the recorder takes over from it
        m_log = std::make_unique<LogRecorder>();
        QVERIFY(ProgramProcess::writeFile(m_dir.filePath("serialnumber"), "C12345678\n"));
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), "services"));
        QVERIFY(m_peer.subscribe("kivo/#"));
        m_config = std::make_unique<Config>(m_dir.filePath("gui.conf"), GUIManager::Defaults);
        for (const auto &setting : QVariantMap{{"log/syslog", false}, {"log/stderr", false}, {"mqtt/host", m_broker.host()},
                                               {"mqtt/port", int(m_broker.port())}, {"mqtt/password", "hunter2"},
                                               {"gui/deviceId", m_dir.filePath("serialnumber")}}.toStdMap())
            m_config->set(setting.first, setting.second); // the test broker takes any password
        // Connected once every service subscription (the dispenser's go out
        // last) is in place at the broker.
        m_gui = std::make_unique<GUIManager>(*m_config, m_dir.filePath("events.ini"));
        QVERIFY(m_peer.waitForMessage("kivo/ui/config", 15000));
        QVERIFY(QTest::qWaitFor([this] { return m_broker.log().contains("kivo/dispenser/"); }, 10000));
        QTest::qWait(300);
        m_peer.publish("kivo/board/status", IgnitionOn);
        QVERIFY(eventSaved("Ignition on"));
    }

    void passengerPage()
    {
        m_gui->setIdleScreen();
        QCOMPARE(m_gui->screen(), QStringLiteral("OutOfOrder")); // no status yet from the validation service
        m_peer.publish("kivo/blm/status", BlmNoRoute);
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("OutOfService"), 10000);
        // The display goes off when its timer runs out; any other screen
        // brings it back.
        m_peer.clear();
        QVERIFY(QMetaObject::invokeMethod(m_gui.get(), "onDisplayOffTimeout"));
        QCOMPARE(json(m_peer.waitForMessage("kivo/board/power/set")), (QJsonObject{{"display", false}}));
        m_gui->setScreen("Busy", 200); // falls back through the idle rule
        QCOMPARE(json(m_peer.waitForMessage("kivo/board/power/set")), (QJsonObject{{"display", true}}));
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("OutOfService"), 10000);
        QSignalSpy finished(m_gui.get(), &GUIManager::processFinished);
        QSignalSpy reset(m_gui.get(), &GUIManager::resetInitialScreen);
        m_peer.publish("kivo/blm/status", BlmOnline);
        QVERIFY(reset.wait(10000));
        m_peer.publish("kivo/blm/rfid/scanned", Valid);
        QVERIFY(finished.wait(10000));
        QCOMPARE(sound(), QStringLiteral("/opt/kivo/ltxgterminalui/Valid.wav"));
        // Refused: shown over the entry gate until its time-out.
        m_peer.publish("kivo/blm/rfid/scanned", Invalid);
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("Invalid"), 10000);
        QCOMPARE(sound(), QStringLiteral("/opt/kivo/ltxgterminalui/Invalid.wav"));
        QVERIFY(reset.wait(10000));
        QCOMPARE(m_gui->screen(), QStringLiteral("EntryGate"));
    }

    void session()
    {
        QSignalSpy granted(m_gui.get(), &GUIManager::settingsAccessGranted);
        m_gui->settingsLoginRequest("3917");
        QVERIFY(granted.count() == 1 || granted.wait(5000));
        QVERIFY(technician());
        // A ticket during a session: no sound and no signal.
        QSignalSpy finished(m_gui.get(), &GUIManager::processFinished);
        m_peer.clear();
        m_log->clear();
        m_peer.publish("kivo/blm/rfid/scanned", Valid);
        QVERIFY(logged("ticket validated"));
        QTest::qWait(300);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_peer.messageCount("kivo/inspector/audio/play"), 0);
    }

    void ignitionOffAndOn()
    {
        // Off: the session ends and the shutdown is asked for once the event
        // is on disk.
        m_peer.publish("kivo/board/status", IgnitionOff);
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("ScreenSaver"), 10000);
        QVERIFY(logged("[Inspector] Scheduling System shutdown in : 60 sec(s)"));
        QVERIFY(eventSaved("Ignition off"));
        QVERIFY(!technician());
        // Back on: the shutdown is called off and the passenger page is back.
        QSignalSpy reset(m_gui.get(), &GUIManager::resetInitialScreen);
        m_peer.publish("kivo/board/status", IgnitionOn);
        QVERIFY(reset.wait(10000));
        QVERIFY(m_log->contains("[Inspector] Aborting System shutdown"));
        // The board keeps power 60 s longer than the system, asked for once.
        m_peer.clear();
        const auto delay = [](int sec) { return QJsonObject{{"device", QJsonObject{{"delayShutdownFor", sec}}}}; };
        m_peer.publish("kivo/board/config", payload(delay(30)));
        QCOMPARE(json(m_peer.waitForMessage("kivo/board/config/set")), delay(120));
        m_peer.publish("kivo/board/config", payload(delay(120)));
        QVERIFY(logged("Board shutdown delay changed : 120"));
        m_gui->setShutdownDelaySec(90);
        QCOMPARE(json(m_peer.waitForMessage("kivo/board/config/set")), delay(150));
        QCOMPARE(m_peer.messageCount("kivo/board/config/set"), 2);
    }

    void configurationOverMqtt()
    {
        // Secrets go out masked; the mask written back changes none of them.
        m_peer.clear();
        QVERIFY(m_peer.publish("kivo/ui/config/get", "{}"));
        QJsonObject config = json(m_peer.waitForMessage("kivo/ui/config"));
        QCOMPARE(config.value("mqtt").toObject().value("password").toString(), QStringLiteral("********"));
        QJsonObject gui = config.value("gui").toObject();
        QCOMPARE(gui.value("settingsPin").toString(), QStringLiteral("********"));
        gui.insert("showCursor", false);
        config.insert("gui", gui);
        QSignalSpy cursor(m_gui.get(), &GUIManager::showCursorChanged);
        QVERIFY(m_peer.publish("kivo/ui/config/set", payload(config)));
        QVERIFY(cursor.wait(10000));
        QVERIFY(m_peer.waitForMessage("kivo/ui/config")); // the new configuration, published
        QCOMPARE(m_config->get("gui/showCursor").toBool(), false);
        QCOMPARE(m_config->get("mqtt/password").toString(), QStringLiteral("hunter2"));
        QCOMPARE(m_config->get("gui/settingsPin").toString(), QStringLiteral("3917"));
        // Bad input changes nothing and is said so.
        m_peer.clear();
        const auto contents = [this] {
            QFile file(m_config->filename());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = contents();
        for (const QByteArray &payload : {QByteArray("not json"), QByteArray("[1, 2]")})
            QVERIFY(m_peer.publish("kivo/ui/config/set", payload));
        QTRY_COMPARE_WITH_TIMEOUT(m_log->matching("WARN: Configuration is not a JSON object. Ignoring").size(), 2,
                                  30000);
        QCOMPARE(m_peer.messageCount("kivo/ui/config"), 0);
        QCOMPARE(contents(), before);
    }

    void powerRequests()
    {
        m_gui->rebootRequest();
        QCOMPARE(m_gui->screen(), QStringLiteral("Busy"));
        QCOMPARE(m_gui->message(), QStringLiteral("Rebooting"));
        QVERIFY(m_peer.waitForMessage("kivo/inspector/power/reboot/request/+"));
        m_gui->shutdownRequest();
        QCOMPARE(m_gui->message(), QStringLiteral("Shutting down"));
        QVERIFY(m_peer.waitForMessage("kivo/inspector/power/shutdown/request/+"));
    }
};

QTEST_MAIN(tst_GUIManager)
#include "tst_guimanager.moc"

#include "Config.h"
#include "GUIManager.h"
#include "Resources.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"
#include "logger.h"

#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray BlmOnline = R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})";
const QByteArray BlmNoRoute = R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": false}})";

QByteArray boardStatus(bool ignition)
{
    return QJsonDocument(QJsonObject{{"service", true}, {"device", QJsonObject{{"active", true}, {"ignition", ignition}}}})
        .toJson();
}

QByteArray boardDelay(int sec)
{
    return QJsonDocument(QJsonObject{{"device", QJsonObject{{"delayShutdownFor", sec}}}}).toJson();
}

QByteArray ticket(bool valid)
{
    return QJsonDocument(QJsonObject{{"transaction", QJsonObject{{"result", valid}, {"type", 0}}}}).toJson();
}

QJsonObject json(const std::optional<MqttPeer::Message> &message)
{
    return message ? QJsonDocument::fromJson(message->payload).object() : QJsonObject();
}

} // namespace

// The real GUI manager on a real broker, with a peer playing the services and
// watching the UI's own topics. What a user sees of it runs in the serving and
// endtoend suites; here is what only the services see.
class tst_GUIManager : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<MqttPeer> m_peer;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<LogRecorder> m_log;
    std::unique_ptr<GUIManager> m_gui;

    QString eventsPath() const { return m_dir->filePath("events.ini"); }

    // Waits until the manager is connected and every service subscription
    // (the dispenser's go out last) is in place at the broker.
    bool startManager()
    {
        m_gui = std::make_unique<GUIManager>(*m_config, eventsPath());
        if (!m_peer->waitForMessage("kivo/ui/config", 15000)
            || !QTest::qWaitFor([this] { return m_broker->log().contains("kivo/dispenser/"); }, 10000))
            return false;
        QTest::qWait(300);
        m_peer->clear();
        return true;
    }

    // The event log as saved: what survives a power cut.
    bool eventSaved(const QString &name)
    {
        return QTest::qWaitFor([&] {
            QFile file(eventsPath());
            return file.open(QIODevice::ReadOnly) && QString::fromUtf8(file.readAll()).contains(name);
        }, 10000);
    }

    bool ignitionOn()
    {
        m_peer->publish("kivo/board/status", boardStatus(true));
        return eventSaved("Ignition on");
    }

    bool login()
    {
        QSignalSpy granted(m_gui.get(), &GUIManager::settingsAccessGranted);
        m_gui->settingsLoginRequest("3917");
        return granted.count() == 1 || granted.wait(5000);
    }

    bool technician() { return json(m_peer->waitForMessage("kivo/ui/status")).value("technician").toBool(); }

private slots:
    void initTestCase()
    {
        Resources::init();
        QCoreApplication::setApplicationName("LTXGTerminalUI");
        QCoreApplication::setApplicationVersion("050fccb");
        manager::Logger::instance(); // installed once; each test records on top of it
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(ProgramProcess::writeFile(m_dir->filePath("serialnumber"), "C12345678\n"));
        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY2(m_broker->start(), qPrintable(m_broker->log()));
        m_peer = std::make_unique<MqttPeer>();
        QVERIFY(m_peer->connectToBroker(m_broker->host(), m_broker->port(), "services"));
        QVERIFY(m_peer->subscribe("kivo/#"));
        m_log = std::make_unique<LogRecorder>();
        m_config = std::make_unique<Config>(m_dir->filePath("gui.conf"), GUIManager::Defaults);
        for (const auto &setting : QVariantMap{{"log/syslog", false}, {"log/stderr", false}, {"mqtt/host", m_broker->host()},
                                               {"mqtt/port", int(m_broker->port())}, {"gui/deviceId", m_dir->filePath("serialnumber")}}.toStdMap())
            m_config->set(setting.first, setting.second);
    }

    void cleanup()
    {
        m_gui.reset();
        m_config.reset();
        m_log.reset();
        m_peer.reset();
        m_broker.reset();
        m_dir.reset();
    }

    void configurationOverMqtt()
    {
        m_config->set("mqtt/password", "hunter2"); // the test broker takes anyone
        QVERIFY(startManager());
        QSignalSpy cursor(m_gui.get(), &GUIManager::showCursorChanged);
        QVERIFY(m_peer->publish("kivo/ui/config/set", R"({"gui": {"showCursor": false}})"));
        QVERIFY(cursor.wait(10000));
        QVERIFY(!m_gui->showCursor());
        QCOMPARE(QSettings(m_config->filename(), QSettings::IniFormat).value("gui/showCursor").toString(),
                 QStringLiteral("false"));
        QCOMPARE(json(m_peer->waitForMessage("kivo/ui/config")).value("gui").toObject().value("showCursor"),
                 QJsonValue(false));

        // Secrets go out masked; the mask written back changes none of them.
        m_peer->clear();
        QVERIFY(m_peer->publish("kivo/ui/config/get", "{}"));
        QJsonObject config = json(m_peer->waitForMessage("kivo/ui/config"));
        QCOMPARE(config.value("mqtt").toObject().value("password").toString(), QStringLiteral("********"));
        QJsonObject gui = config.value("gui").toObject();
        QCOMPARE(gui.value("settingsPin").toString(), QStringLiteral("********"));
        gui.insert("displayOffMin", 7);
        config.insert("gui", gui);
        QVERIFY(m_peer->publish("kivo/ui/config/set", QJsonDocument(config).toJson()));
        QTRY_COMPARE(m_config->get("gui/displayOffMin").toInt(), 7);
        QCOMPARE(m_config->get("mqtt/password").toString(), QStringLiteral("hunter2"));
        QCOMPARE(m_config->get("gui/settingsPin").toString(), QStringLiteral("3917"));

        // Bad input changes nothing and is said so.
        m_peer->clear();
        const auto contents = [this] {
            QFile file(m_config->filename());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = contents();
        for (const QByteArray &payload : {QByteArray("not json"), QByteArray("[1, 2]")})
            QVERIFY(m_peer->publish("kivo/ui/config/set", payload));
        QTRY_COMPARE(m_log->matching("WARN: Configuration is not a JSON object. Ignoring").size(), 2);
        QCOMPARE(m_peer->messageCount("kivo/ui/config"), 0);
        QCOMPARE(contents(), before);

        // A new base: the manager reconnects and answers under it.
        m_config->set("mqtt/base", "kivo/ui2");
        QVERIFY(m_peer->waitForMessage("kivo/ui2/config", 15000));
        QTest::qWait(500);
        QVERIFY(m_peer->publish("kivo/ui2/info/get", ""));
        QVERIFY(m_peer->waitForMessage("kivo/ui2/info"));
    }

    void ignitionOffAndOn()
    {
        m_config->set("gui/shutdownDelaySec", 60);
        QVERIFY(startManager());
        QVERIFY(ignitionOn());
        m_peer->publish("kivo/blm/status", BlmOnline);
        QVERIFY(login());
        QVERIFY(technician());

        // Off: the session ends and the shutdown is asked for once the event
        // is on disk.
        m_peer->publish("kivo/board/status", boardStatus(false));
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("ScreenSaver"), 10000);
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("[Inspector] Scheduling System shutdown in : 60 sec(s)"); }, 10000));
        QVERIFY(eventSaved("Ignition off"));
        QVERIFY(!technician());

        // Back on: the shutdown is called off and the passenger page is back.
        QSignalSpy reset(m_gui.get(), &GUIManager::resetInitialScreen);
        m_peer->publish("kivo/board/status", boardStatus(true));
        QVERIFY(reset.wait(10000));
        QVERIFY(m_log->contains("[Inspector] Aborting System shutdown"));

        // The board keeps power 60 s longer than the system, asked for once.
        m_peer->clear();
        m_peer->publish("kivo/board/config", boardDelay(30));
        QCOMPARE(json(m_peer->waitForMessage("kivo/board/config/set")), (QJsonObject{{"device", QJsonObject{{"delayShutdownFor", 120}}}}));
        m_peer->publish("kivo/board/config", boardDelay(120));
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("Board shutdown delay changed : 120"); }, 10000));
        m_gui->setShutdownDelaySec(90);
        QCOMPARE(json(m_peer->waitForMessage("kivo/board/config/set")), (QJsonObject{{"device", QJsonObject{{"delayShutdownFor", 150}}}}));
        QCOMPARE(m_peer->messageCount("kivo/board/config/set"), 2);
    }

    void passengerPage()
    {
        QVERIFY(startManager());
        QVERIFY(ignitionOn());
        m_gui->setIdleScreen();
        QCOMPARE(m_gui->screen(), QStringLiteral("OutOfOrder")); // no status yet from the validation service
        m_peer->publish("kivo/blm/status", BlmNoRoute);
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("OutOfService"), 10000);

        // The display goes off when its timer runs out; any other screen
        // brings it back.
        m_peer->clear();
        QVERIFY(QMetaObject::invokeMethod(m_gui.get(), "onDisplayOffTimeout"));
        QCOMPARE(json(m_peer->waitForMessage("kivo/board/power/set")), (QJsonObject{{"display", false}}));
        m_gui->setScreen("Busy", 200); // falls back through the idle rule
        QCOMPARE(json(m_peer->waitForMessage("kivo/board/power/set")), (QJsonObject{{"display", true}}));
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("OutOfService"), 10000);

        QSignalSpy finished(m_gui.get(), &GUIManager::processFinished);
        QSignalSpy reset(m_gui.get(), &GUIManager::resetInitialScreen);
        m_peer->publish("kivo/blm/status", BlmOnline);
        QVERIFY(reset.wait(10000));
        const auto sound = [this] { return json(m_peer->waitForMessage("kivo/inspector/audio/play")).value("filepath").toString(); };
        m_peer->publish("kivo/blm/rfid/scanned", ticket(true));
        QVERIFY(finished.wait(10000));
        QCOMPARE(sound(), QStringLiteral("/opt/kivo/ltxgterminalui/Valid.wav"));
        // Refused: shown over the entry gate until its time-out.
        m_peer->publish("kivo/blm/rfid/scanned", ticket(false));
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("Invalid"), 10000);
        QCOMPARE(sound(), QStringLiteral("/opt/kivo/ltxgterminalui/Invalid.wav"));
        QVERIFY(reset.wait(10000));
        QCOMPARE(m_gui->screen(), QStringLiteral("EntryGate"));

        // During a session: no sound and no signal.
        QVERIFY(login());
        finished.clear();
        m_peer->clear();
        m_log->clear();
        m_peer->publish("kivo/blm/rfid/scanned", ticket(true));
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("ticket validated"); }, 10000));
        QTest::qWait(300);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_peer->messageCount("kivo/inspector/audio/play"), 0);

        m_gui->rebootRequest();
        QCOMPARE(m_gui->screen(), QStringLiteral("Busy"));
        QCOMPARE(m_gui->message(), QStringLiteral("Rebooting"));
        QVERIFY(m_peer->waitForMessage("kivo/inspector/power/reboot/request/1"));
        m_gui->shutdownRequest();
        QCOMPARE(m_gui->message(), QStringLiteral("Shutting down"));
        QVERIFY(m_peer->waitForMessage("kivo/inspector/power/shutdown/request/1"));
    }
};

QTEST_MAIN(tst_GUIManager)
#include "tst_guimanager.moc"

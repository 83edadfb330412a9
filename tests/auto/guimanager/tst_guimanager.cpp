#include "Config.h"
#include "GUIManager.h"
#include "Resources.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"
#include "logger.h"

#include <QJsonDocument>
#include <QProcess>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray BlmInit = R"({"service": true, "state": {"init": true}})";
const QByteArray BlmOnline = R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})";
const QByteArray BlmNoRoute = R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": false}})";

QByteArray boardStatus(bool ignition)
{
    return QJsonDocument(QJsonObject{{"service", true},
                                     {"device", QJsonObject{{"active", true}, {"ignition", ignition}}}})
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
// watching the UI's own topics.
class tst_GUIManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<MqttPeer> m_peer;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<LogRecorder> m_log;
    std::unique_ptr<GUIManager> m_gui;

    QString serialPath() const { return m_dir->filePath("serialnumber"); }
    QString eventsPath() const { return m_dir->filePath("events.ini"); }

    // The store the program would build, pointed at the test broker and the
    // temporary directory.
    void makeConfig()
    {
        m_config = std::make_unique<Config>(m_dir->filePath("gui.conf"), GUIManager::Defaults);
        m_config->set("log/syslog", false);
        m_config->set("log/stderr", false);
        m_config->set("mqtt/host", m_broker->host());
        m_config->set("mqtt/port", int(m_broker->port()));
        m_config->set("gui/deviceId", serialPath());
    }

    // Creates the manager and waits until it is connected and every service
    // subscription is in place at the broker.
    bool startManager()
    {
        m_gui = std::make_unique<GUIManager>(*m_config, eventsPath());
        if (!m_peer->waitForMessage("kivo/ui/config", 15000))
            return false;
        // The service clients' subscriptions go out together after the
        // connection, the dispenser's last.
        if (!QTest::qWaitFor([this] { return m_broker->log().contains("kivo/dispenser/"); }, 10000))
            return false;
        QTest::qWait(300);
        m_peer->clear();
        return true;
    }

    bool ignitionOn()
    {
        m_peer->publish("kivo/board/status", boardStatus(true));
        return QTest::qWaitFor([this] { return eventsText().contains("Ignition on"); }, 10000);
    }

    QString eventsText() const
    {
        QFile file(eventsPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    bool login()
    {
        QSignalSpy granted(m_gui.get(), &GUIManager::settingsAccessGranted);
        m_gui->settingsLoginRequest("3917");
        return granted.count() == 1 || granted.wait(5000);
    }

private slots:
    void initTestCase()
    {
        Resources::init();
        QCoreApplication::setApplicationName("LTXGTerminalUI");
        QCoreApplication::setApplicationVersion("050fccb");
        // The program's log handler is installed once; each test records on
        // top of it.
        manager::Logger::instance();
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QFile serial(serialPath());
        QVERIFY(serial.open(QIODevice::WriteOnly));
        serial.write("\n   C12345678  \nK00000000\n");
        serial.close();

        m_broker = std::make_unique<MosquittoBroker>();
        QVERIFY2(m_broker->start(), qPrintable(m_broker->log()));
        m_peer = std::make_unique<MqttPeer>();
        QVERIFY(m_peer->connectToBroker(m_broker->host(), m_broker->port(), "services"));
        QVERIFY(m_peer->subscribe("kivo/#"));
        m_log = std::make_unique<LogRecorder>();
        makeConfig();
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

    void ownTopics()
    {
        m_gui = std::make_unique<GUIManager>(*m_config, eventsPath());
        QCOMPARE(m_gui->deviceId(), QStringLiteral("C12345678"));
        QCOMPARE(m_gui->screen(), QStringLiteral("Busy"));

        // On connection: info, status, config, in that order.
        const auto info = m_peer->waitForMessage("kivo/ui/info", 15000);
        QVERIFY(info);
        QCOMPARE(json(info).value("version").toString(), QStringLiteral("050fccb"));
        QVERIFY(!info->retain);
        const auto status = m_peer->waitForMessage("kivo/ui/status");
        QCOMPARE(json(status), (QJsonObject{{"technician", false}, {"service", true}}));
        const auto config = m_peer->waitForMessage("kivo/ui/config");
        QCOMPARE(json(config).value("mqtt").toObject().value("base").toString(), QStringLiteral("kivo/ui"));
        QCOMPARE(m_gui->message(), QStringLiteral("Connected"));
        QVERIFY(m_log->contains("[GUIManager] Connected to MQTT broker"));
        QVERIFY(QTest::qWaitFor([this] { return m_broker->log().contains("kivo/dispenser/"); }, 10000));
        QTest::qWait(300);

        // On request, each one alone.
        m_peer->clear();
        QVERIFY(m_peer->publish("kivo/ui/status/get", "{}"));
        QVERIFY(m_peer->waitForMessage("kivo/ui/status"));
        QVERIFY(m_peer->publish("kivo/ui/info/get", ""));
        QVERIFY(m_peer->waitForMessage("kivo/ui/info"));
        QVERIFY(m_peer->publish("kivo/ui/config/get", "x"));
        QVERIFY(m_peer->waitForMessage("kivo/ui/config"));
        QTest::qWait(300);
        QCOMPARE(m_peer->messageCount("kivo/ui/+"), 3);
        QVERIFY(m_log->contains("[GUIManager] Message received : kivo/ui/config/get"));

        // A session shows in the status.
        QVERIFY(login());
        QCOMPARE(json(m_peer->waitForMessage("kivo/ui/status")).value("technician").toBool(), true);
        QVERIFY(QTest::qWaitFor([this] { return eventsText().contains("Maintenance login"); }, 5000));
        m_gui->setMaintenanceScreen();
        QCOMPARE(m_gui->screen(), QStringLiteral("Settings"));
        m_gui->settingsLogoutRequest();
        // Nothing reported yet by any service: the maintenance area still
        // closes, onto the fault page.
        QCOMPARE(m_gui->screen(), QStringLiteral("OutOfOrder"));
        QCOMPARE(json(m_peer->waitForMessage("kivo/ui/status")).value("technician").toBool(), false);
        QVERIFY(QTest::qWaitFor([this] { return eventsText().contains("Maintenance logout"); }, 5000));
    }

    void configurationOverMqtt()
    {
        m_config->set("mqtt/password", "hunter2"); // the test broker takes anyone
        QVERIFY(startManager());
        QSignalSpy cursor(m_gui.get(), &GUIManager::showCursorChanged);
        QSignalSpy language(m_gui.get(), &GUIManager::languageChanged);
        QVERIFY(m_gui->showCursor());

        QVERIFY(m_peer->publish("kivo/ui/config/set", R"({"gui": {"showCursor": false}})"));
        QVERIFY(cursor.wait(10000));
        QVERIFY(!m_gui->showCursor());
        QVERIFY(m_log->contains("[GUIManager] Cursor changed : hidden"));
        QCOMPARE(QSettings(m_config->filename(), QSettings::IniFormat).value("gui/showCursor").toString(),
                 QStringLiteral("false"));
        const auto published = m_peer->waitForMessage("kivo/ui/config");
        QCOMPARE(json(published).value("gui").toObject().value("showCursor").toBool(), false);

        // Several keys: only the first of the list is acted on, and the
        // configuration goes out once.
        m_peer->clear();
        QVERIFY(m_peer->publish("kivo/ui/config/set", R"({"gui": {"locale": "en_US", "showCursor": true}})"));
        QVERIFY(cursor.wait(10000));
        QVERIFY(m_peer->waitForMessage("kivo/ui/config"));
        QTest::qWait(300);
        QCOMPARE(m_peer->messageCount("kivo/ui/config"), 1);
        QCOMPARE(language.count(), 0);
        QVERIFY(!m_log->contains("Language changed"));
        QCOMPARE(m_config->get("gui/locale").toString(), QStringLiteral("en_US"));

        // Logging and MQTT together: logging only.
        QVERIFY(m_peer->publish("kivo/ui/config/set", R"({"log": {"level": 3}, "mqtt": {"keepAlive": 1, "port": 1}})"));
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("Log configuration changed. Applying."); }, 10000));
        QVERIFY(!m_log->contains("MQTT configuration changed"));
        QCOMPARE(m_config->get("mqtt/port").toInt(), 1);

        // Secrets go out masked; the mask written back changes none of them.
        m_peer->clear();
        QVERIFY(m_peer->publish("kivo/ui/config/get", "{}"));
        QJsonObject config = json(m_peer->waitForMessage("kivo/ui/config"));
        QCOMPARE(config.value("mqtt").toObject().value("password").toString(), QStringLiteral("********"));
        QCOMPARE(config.value("gui").toObject().value("settingsPin").toString(), QStringLiteral("********"));
        QJsonObject gui = config.value("gui").toObject();
        gui.insert("displayOffMin", 7);
        config.insert("gui", gui);
        QVERIFY(m_peer->publish("kivo/ui/config/set", QJsonDocument(config).toJson()));
        QTRY_COMPARE(m_config->get("gui/displayOffMin").toInt(), 7);
        QCOMPARE(m_config->get("mqtt/password").toString(), QStringLiteral("hunter2"));
        QCOMPARE(m_config->get("gui/settingsPin").toString(), QStringLiteral("3917"));

        // Bad input changes nothing and is said so.
        m_config->set("log/level", 2);
        m_log->clear();
        m_peer->clear();
        const QByteArray before = [this] {
            QFile f(m_config->filename());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(m_peer->publish("kivo/ui/config/set", "not json"));
        QVERIFY(m_peer->publish("kivo/ui/config/set", "[1, 2]"));
        QVERIFY(m_peer->publish("kivo/ui/config/set", R"({"gui": {"bogus": 1}, "nogroup": 5})"));
        QVERIFY(m_peer->publish("kivo/ui/status/get", ""));
        QVERIFY(m_peer->waitForMessage("kivo/ui/status"));
        QCOMPARE(m_log->matching("WARN: Configuration is not a JSON object. Ignoring").size(), 2);
        QCOMPARE(m_log->matching("[GUIManager] Message received : kivo/ui/config/set").size(), 3);
        QCOMPARE(m_peer->messageCount("kivo/ui/config"), 0);
        QFile after(m_config->filename());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }

    void mqttSettingsReconnect()
    {
        QVERIFY(startManager());
        // A new base: the manager reconnects and answers under it.
        m_config->set("mqtt/base", "kivo/ui2");
        QVERIFY(m_log->contains("MQTT configuration changed. Applying."));
        QVERIFY(m_peer->waitForMessage("kivo/ui2/info", 15000));
        QVERIFY(m_peer->waitForMessage("kivo/ui2/config", 15000));
        QTest::qWait(500);
        m_peer->clear();
        QVERIFY(m_peer->publish("kivo/ui2/info/get", ""));
        QVERIFY(m_peer->waitForMessage("kivo/ui2/info"));
    }

    void idleRule()
    {
        QVERIFY(startManager());
        QVERIFY(ignitionOn());

        // No status yet from the validation service: out of order.
        m_gui->setIdleScreen();
        QCOMPARE(m_gui->screen(), QStringLiteral("OutOfOrder"));

        m_peer->publish("kivo/blm/status", BlmNoRoute);
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("OutOfService"), 10000);
        QVERIFY(m_log->contains("[GUIManager] Staring Display OFF timer : 3 min(s)"));

        // The display goes off when the timer runs out; any other screen
        // brings it back.
        m_peer->clear();
        QVERIFY(QMetaObject::invokeMethod(m_gui.get(), "onDisplayOffTimeout"));
        QCOMPARE(json(m_peer->waitForMessage("kivo/board/power/set")), (QJsonObject{{"display", false}}));
        m_gui->setScreen("Settings");
        QVERIFY(m_log->contains("[GUIManager] Stopping Display OFF timer."));
        QCOMPARE(json(m_peer->waitForMessage("kivo/board/power/set")), (QJsonObject{{"display", true}}));

        // Display timer disabled: nothing started, nothing switched.
        m_gui->setDisplayOffMin(0);
        m_log->clear();
        m_peer->clear();
        m_gui->setScreen("OutOfOrder");
        m_gui->setScreen("Settings");
        QVERIFY(!m_log->contains("Display OFF"));
        QVERIFY(!m_log->contains("Turning on Display."));

        // Temporary screens fall back through the idle rule.
        m_gui->setMaintenanceScreen();
        QCOMPARE(m_gui->screen(), QStringLiteral("Login"));
        m_gui->setMaintenanceScreen();
        QCOMPARE(m_gui->screen(), QStringLiteral("OutOfService"));
        m_gui->setScreen("Busy", 200);
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("OutOfService"), 10000);
        QVERIFY(m_log->contains("[GUIManager] Screen timeout : Busy"));
    }

    void noDeviceId()
    {
        QFile::remove(serialPath());
        m_config->set("gui/deviceId", m_dir->filePath("missing/serialnumber"));
        QVERIFY(startManager());
        QVERIFY(m_log->contains("[GUIManager] ERROR: Could not load device S/N from file : "
                                + m_dir->filePath("missing/serialnumber") + " ("));
        QCOMPARE(m_gui->deviceId(), QString());
        m_peer->publish("kivo/blm/status", BlmInit);
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("LTXGTerminal status changed : init"); }, 10000));
        QTRY_COMPARE(m_gui->screen(), QStringLiteral("InitPage"));

        // Cannot be written: reported, and the id is kept for this run.
        QSignalSpy error(m_gui.get(), QOverload<const QString &>::of(&GUIManager::errorOccured));
        m_gui->saveDeviceIdRequest("C00000001");
        QCOMPARE(error.count(), 1);
        // The system's reason, which the pop-up shows in the interface's Greek.
        const QString reason = error.first().first().toString();
        QCOMPARE(reason, QStringLiteral("No such file or directory"));
        m_gui->setLanguage("el_GR");
        QCOMPARE(QCoreApplication::translate("GUIManager", qPrintable(reason)),
                 QString::fromUtf8("Το αρχείο ή ο φάκελος δεν υπάρχει"));
        QVERIFY(m_log->contains("[GUIManager] ERROR: Could not save device S/N to file : "));
        QCOMPARE(m_gui->deviceId(), QStringLiteral("C00000001"));
        QCOMPARE(m_gui->screen(), QStringLiteral("Busy"));
        m_gui->setScreen("InitPage");

        // A writable place: saved without a line end, read back on a change.
        m_config->set("gui/deviceId", serialPath());
        QVERIFY(m_log->contains("[GUIManager] Device id changed. Re-loading"));
        m_gui->saveDeviceIdRequest("K12345678");
        QFile saved(serialPath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("K12345678"));
        QCOMPARE(m_gui->deviceId(), QStringLiteral("K12345678"));
        QCOMPARE(m_gui->screen(), QStringLiteral("Busy"));
    }

    void ignitionOffAndOn()
    {
        m_config->set("gui/shutdownDelaySec", 60);
        QVERIFY(startManager());
        QVERIFY(ignitionOn());
        m_peer->publish("kivo/blm/status", BlmOnline);
        QVERIFY(login());
        QVERIFY(m_gui->screen() != QStringLiteral("ScreenSaver"));
        QCOMPARE(json(m_peer->waitForMessage("kivo/ui/status")).value("technician").toBool(), true);

        m_peer->publish("kivo/board/status", boardStatus(false));
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("ScreenSaver"), 10000);
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("[Inspector] Scheduling System shutdown in : 60 sec(s)"); }, 5000));
        // The shutdown is asked for once the event is on disk.
        QVERIFY(eventsText().contains("Ignition off"));
        QCOMPARE(json(m_peer->waitForMessage("kivo/ui/status")).value("technician").toBool(), false);

        // Ignition back on: the shutdown is called off and the idle rule
        // brings the normal page back.
        QSignalSpy reset(m_gui.get(), &GUIManager::resetInitialScreen);
        m_peer->publish("kivo/board/status", boardStatus(true));
        QVERIFY(reset.wait(10000));
        QVERIFY(m_log->contains("[Inspector] Aborting System shutdown"));
        QVERIFY(eventsText().contains("Ignition on"));

        // The board keeps power 60 s longer than the system.
        m_peer->clear();
        m_peer->publish("kivo/board/config", boardDelay(30));
        const auto set = m_peer->waitForMessage("kivo/board/config/set");
        QCOMPARE(json(set), QJsonObject({{"device", QJsonObject{{"delayShutdownFor", 120}}}}));
        QVERIFY(m_log->contains("[GUIManager] WARN: Updating board shutdown delay to : 120 sec(s) (prev=30)"));
        m_peer->publish("kivo/board/config", boardDelay(120));
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("Board shutdown delay changed : 120"); }, 10000));
        QTest::qWait(300);
        QCOMPARE(m_peer->messageCount("kivo/board/config/set"), 1);

        QSignalSpy delay(m_gui.get(), &GUIManager::shutdownDelaySecChanged);
        m_gui->setShutdownDelaySec(90);
        QCOMPARE(delay.count(), 1);
        QCOMPARE(json(m_peer->waitForMessage("kivo/board/config/set")),
                 QJsonObject({{"device", QJsonObject{{"delayShutdownFor", 150}}}}));
    }

    void powerRequests()
    {
        QVERIFY(startManager());
        m_gui->rebootRequest();
        QCOMPARE(m_gui->screen(), QStringLiteral("Busy"));
        QCOMPARE(m_gui->message(), QStringLiteral("Rebooting"));
        QVERIFY(m_log->contains("[GUIManager] Setting screen : Busy (timeout=30000 msec)"));
        QVERIFY(m_peer->waitForMessage("kivo/inspector/power/reboot/request/1"));

        m_gui->shutdownRequest();
        QCOMPARE(m_gui->message(), QStringLiteral("Shutting down"));
        QVERIFY(m_peer->waitForMessage("kivo/inspector/power/shutdown/request/1"));
    }

    void validation()
    {
        QVERIFY(startManager());
        QVERIFY(ignitionOn());
        m_peer->publish("kivo/blm/status", BlmOnline);
        QSignalSpy finished(m_gui.get(), &GUIManager::processFinished);
        QSignalSpy reset(m_gui.get(), &GUIManager::resetInitialScreen);
        QVERIFY(reset.wait(10000));

        m_peer->publish("kivo/blm/rfid/scanned", ticket(true));
        QVERIFY(finished.wait(10000));
        QCOMPARE(json(m_peer->waitForMessage("kivo/inspector/audio/play")).value("filepath").toString(),
                 QStringLiteral("/opt/kivo/ltxgterminalui/Valid.wav"));
        QVERIFY(m_log->contains("[GUIManager] ExitGate : true"));

        reset.clear();
        m_peer->publish("kivo/blm/rfid/scanned", ticket(false));
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("Invalid"), 10000);
        QCOMPARE(json(m_peer->waitForMessage("kivo/inspector/audio/play")).value("filepath").toString(),
                 QStringLiteral("/opt/kivo/ltxgterminalui/Invalid.wav"));
        QVERIFY(m_log->contains("[GUIManager] Setting screen : Invalid (timeout=3000 msec)"));
        // After the time-out the idle rule brings the normal page back.
        QVERIFY(reset.wait(10000));
        QVERIFY(m_log->contains("[GUIManager] Screen timeout : Invalid"));

        // During a session: shown to QML, but no sound and no signal.
        QVERIFY(login());
        finished.clear();
        m_peer->clear();
        m_log->clear();
        m_peer->publish("kivo/blm/rfid/scanned", ticket(true));
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("ticket validated"); }, 10000));
        QTest::qWait(300);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_peer->messageCount("kivo/inspector/audio/play"), 0);
    }

    void maintenanceBarcode()
    {
        QVERIFY(startManager());
        QSignalSpy applied(m_gui.get(), &GUIManager::barcodeConfigurationApplied);
        const QJsonObject code{{"validator", QJsonObject{{"obc", "mqtt://10.0.0.5:1883"}}},
                               {"network", QJsonObject{{"wlan0", QJsonObject{}}}}};
        m_gui->onMaintenanceBarcodeScanned(code);
        QVERIFY(m_log->contains("WARN: Maintenance session is not active. Ignoring."));
        QCOMPARE(applied.count(), 0);

        QVERIFY(login());
        m_gui->onMaintenanceBarcodeScanned(code);
        QCOMPARE(applied.count(), 1);
        QCOMPARE(applied.first().first().toStringList(), QStringList{"OBC : mqtt://10.0.0.5:1883"});
        QVERIFY(m_peer->waitForMessage("kivo/blm/config/set"));
        QVERIFY(m_peer->waitForMessage("kivo/inspector/audio/play"));

        m_gui->onMaintenanceBarcodeScanned(QJsonObject{{"validator", QJsonObject{{"obc", ""}}}});
        QCOMPARE(applied.count(), 1);
        QVERIFY(m_log->contains("WARN: OBC URL is not valid : "));
    }

    void issuing()
    {
        const QString writes = QStringLiteral("kivo/rfid/card/write/request/+");
        QVERIFY(startManager());
        // Cards go to passengers at a working entry gate only.
        m_gui->issueCard();
        QVERIFY(m_log->contains("WARN: Not serving passengers. Ignoring card request."));
        // The card services are the simulator's; it reports the ignition on too.
        QProcess simulator;
        ProgramProcess::start(simulator, QStringLiteral(LTXG_SIMULATOR),
                              {"--host", m_broker->host(), "--port", QString::number(m_broker->port()), "--no-console",
                               "--take-after", "300"});
        QVERIFY2(simulator.waitForStarted(10000), qPrintable(simulator.errorString()));
        const auto stopSimulator = qScopeGuard([&simulator] {
            simulator.kill();
            simulator.waitForFinished(5000);
        });
        QVERIFY(ignitionOn());
        m_peer->publish("kivo/blm/status", BlmOnline);
        QTRY_COMPARE_WITH_TIMEOUT(m_gui->screen(), QStringLiteral("EntryGate"), 10000);
        QVERIFY(QTest::qWaitFor([this] { return m_log->contains("[CardIssuer] State changed : (2)"); }, 15000));

        QStringList messages;
        connect(m_gui.get(), &GUIManager::messageChanged, this, [&] { messages << m_gui->message(); });

        m_gui->issueCard();
        QCOMPARE(m_gui->message(), QStringLiteral("Issuing card"));
        // Further taps while the cycle and the preparation of the next card
        // run change nothing.
        m_gui->issueCard();
        QVERIFY(QTest::qWaitFor([&] { return m_gui->message() == QLatin1String("Card collected"); }, 30000));
        m_gui->issueCard();
        QVERIFY(QTest::qWaitFor([&] { return m_gui->message() == QLatin1String("Ready to issue card"); }, 30000));
        QCOMPARE(messages, (QStringList{"Issuing card", "Card collected", "Preparing next card", "Ready to issue card"}));
        QCOMPARE(m_log->matching("[GUIManager] WARN: Card issuing already in progress. Ignoring.").size(), 2);
        QCOMPARE(m_log->matching("[GUIManager] Card issued successfully : ").size(), 1);
        QCOMPARE(m_peer->messageCount(writes), 1);

        // After settling, a tap starts the next cycle; a refused write fails it.
        QVERIFY(m_peer->publish("sim/control", "badcard"));
        messages.clear();
        m_gui->issueCard();
        QVERIFY(QTest::qWaitFor([&] { return m_gui->message().startsWith("FAILED: "); }, 30000));
        QVERIFY(m_log->contains("[GUIManager] ERROR: Failed to issue card : "));
        QCOMPARE(m_peer->messageCount(writes), 2);

        // The failure settled the cycle: the next tap is taken.
        m_log->clear();
        m_gui->issueCard();
        QCOMPARE(m_gui->message(), QStringLiteral("Issuing card"));
        QVERIFY(!m_log->contains("already in progress"));
        QVERIFY(QTest::qWaitFor([&] { return m_gui->message() == QLatin1String("Ready to issue card"); }, 30000));
    }

    void languageAndLoad()
    {
        QVERIFY(startManager());
        QSignalSpy language(m_gui.get(), &GUIManager::languageChanged);
        m_gui->setLanguage("en_US");
        QCOMPARE(language.count(), 1);
        QCOMPARE(m_gui->language(), QStringLiteral("en_US"));
        QCOMPARE(QLocale().language(), QLocale::English);
        m_gui->setLanguage("en_US");
        QCOMPARE(language.count(), 1);

        // Greek comes from the translation compiled into the resources; the
        // refusal texts follow it, and English comes back without it.
        m_gui->setLanguage("el_GR");
        QVERIFY(!m_log->contains("Failed to load translation file"));
        QCOMPARE(language.count(), 2);
        QCOMPARE(m_config->get("gui/locale").toString(), QStringLiteral("el_GR"));
        QCOMPARE(QCoreApplication::translate("Transaction", "The ticket has expired"), QStringLiteral("\u03a4\u03bf \u03b5\u03b9\u03c3\u03b9\u03c4\u03ae\u03c1\u03b9\u03bf \u03ad\u03c7\u03b5\u03b9 \u03bb\u03ae\u03be\u03b5\u03b9"));
        m_gui->setLanguage("en_US");
        QCOMPARE(language.count(), 3);
        QCOMPARE(QCoreApplication::translate("Transaction", "The ticket has expired"), QStringLiteral("The ticket has expired"));

        // The window comes up on the manager and the start is logged.
        m_gui->load();
        auto *window = qobject_cast<QQuickWindow *>(m_gui->parent());
        QVERIFY(window);
        QCOMPARE(window->title(), QStringLiteral("LTXGTerminal"));
        QVERIFY(QTest::qWaitFor([this] { return eventsText().contains("Application started"); }, 5000));
    }

    void errorTexts()
    {
        QVERIFY(startManager());
        m_gui->errorMessage(GUIManager::ErrorAvailableCards);
        QCOMPARE(m_gui->errorMessageScreen(),
                 QStringLiteral("There are no cards available \n Please wait for assistance"));
        QVERIFY(m_log->contains("[GUIManager] Error : 1"));
        m_gui->errorMessage(GUIManager::ErrorUnregisteredDevice);
        QCOMPARE(m_gui->errorMessageScreen(), QStringLiteral("Unregistered device"));
        m_gui->errorMessage(42);
        QCOMPARE(m_gui->errorMessageScreen(), QString());
    }
};

QTEST_MAIN(tst_GUIManager)
#include "tst_guimanager.moc"

#include "Board.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "ServiceTestBed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QtTest>

using manager::Board;
using manager::MqttClient;

namespace {

const QString Base = QStringLiteral("test/board");

QJsonObject parse(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

QByteArray text(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool isRequest(const QString &topic)
{
    return topic.endsWith("/get") || topic.endsWith("/set") || topic.contains("/request/");
}

QJsonObject step(int r, int g, int b, int duration)
{
    return QJsonObject{{"color", QJsonObject{{"r", r}, {"g", g}, {"b", b}}}, {"duration", duration}};
}

} // namespace

// The board client against a real broker, with a peer playing the board service.
class tst_Board : public QObject
{
    Q_OBJECT

private:
    // Sends one message as the board service and waits until the client has it.
    void serve(const QString &suffix, const QByteArray &payload)
    {
        QVERIFY(m_bed.serve(*m_mqtt, Base + suffix, payload));
    }

    // The next message the client published under the base, with its topic checked.
    // The peer hears its own state messages too; those are skipped.
    QJsonObject next(const QString &suffix)
    {
        auto message = m_peer.waitForMessage(Base + "/#");
        while (message && !isRequest(message->topic))
            message = m_peer.waitForMessage(Base + "/#");
        if (!message)
            return {{"missing", suffix}};
        if (message->topic != Base + suffix || message->qos != 0 || message->retain)
            return {{"unexpected", message->topic}};
        return parse(message->payload);
    }

    QTimer *monitorTimer() const { return m_board->findChild<QTimer *>("monitorTimer"); }

    ServiceTestBed m_bed;
    MqttPeer &m_peer = m_bed.peer();
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<Board> m_board;
    std::unique_ptr<LogRecorder> m_log;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_bed.start("board-service", Base), qPrintable(m_bed.broker().log()));
    }

    void init()
    {
        m_log = std::make_unique<LogRecorder>();
        m_mqtt = m_bed.makeClient("board-client");
        m_board = std::make_unique<Board>(*m_mqtt, Base);
        QVERIFY(m_bed.connectClient(*m_mqtt));
        QVERIFY(m_bed.waitUntilLive(*m_mqtt, Base + "/event", "probe"));
        m_log->clear();
    }

    void cleanup()
    {
        m_board.reset();
        m_mqtt.reset();
        m_log.reset();
    }

    void subscribesOnceAndRefreshesOnConnect()
    {
        LogRecorder log;
        MqttClient mqtt;
        m_bed.configure(mqtt, "board-client-2");
        Board board(mqtt, Base);
        QCOMPARE(log.matching("[Board] Subscribing to topics").size(), 1);
        QCOMPARE(board.status(), QString());
        QCOMPARE(board.audioEnabled(), true);
        QCOMPARE(board.peripherals(), QVariantList());

        mqtt.connect();
        const QStringList gets{"/status/get", "/display/get", "/power/get", "/audio/get"};
        for (const QString &suffix : gets) {
            const auto message = m_peer.waitForMessage(Base + "/#");
            QVERIFY(message);
            QCOMPARE(message->topic, Base + suffix);
            QCOMPARE(message->payload, QByteArray("{}"));
        }
        QVERIFY(log.contains("[Board] Refreshing data"));
        QCOMPARE(log.matching("Subscribing to topics").size(), 1);
    }

    void statusMessagesAndDefaults()
    {
        QSignalSpy status(m_board.get(), &Board::statusChanged);
        QStringList changes;
        const auto record = [&](const char *name) { return [&changes, name] { changes << name; }; };
        connect(m_board.get(), &Board::ignitionChanged, this, record("ignition"));
        connect(m_board.get(), &Board::poleIdChanged, this, record("poleId"));
        connect(m_board.get(), &Board::temperatureChanged, this, record("temperature"));
        connect(m_board.get(), &Board::voltageChanged, this, record("voltage"));
        connect(m_board.get(), &Board::uptimeChanged, this, record("uptime"));
        connect(m_board.get(), &Board::rtcFailedChanged, this, record("rtcFailed"));

        // An empty payload reads as an empty object: no service.
        serve("/status", QByteArray());
        QCOMPARE(m_board->status(), QString("offline"));

        const QJsonObject full{
            {"service", true},
            {"device", QJsonObject{{"active", true}, {"ignition", true}, {"poleId", "P-17"}, {"temperature", 41.5},
                                   {"voltage", 12.25}, {"uptime", 360},
                                   {"hardwareStatus", QJsonObject{{"rtcFailed", true}}}}}};
        serve("/status", text(full));
        QCOMPARE(m_board->status(), QString("online"));
        QCOMPARE(changes, (QStringList{"ignition", "poleId", "temperature", "voltage", "uptime", "rtcFailed"}));
        QCOMPARE(m_board->ignition(), true);
        QCOMPARE(m_board->poleId(), QString("P-17"));
        QCOMPARE(m_board->temperature(), 41.5);
        QCOMPARE(m_board->voltage(), 12.25);
        QCOMPARE(m_board->uptime(), 360);
        QCOMPARE(m_board->rtcFailed(), true);
        QVERIFY(m_log->contains("[Board] RTC Status changed : FAIL"));
        QVERIFY(m_log->contains("[Board] Ignition changed : true"));

        // The same again: no change, and the status is not announced twice.
        changes.clear();
        serve("/status", text(full));
        QCOMPARE(changes, QStringList());
        QCOMPARE(status.size(), 2);
        QCOMPARE(m_log->matching("Status changed : online").size(), 1);

        // An inactive board is an error; the rest of that message is not read.
        serve("/status", text({{"service", true}, {"device", QJsonObject{{"active", false}, {"poleId", "X"}}}}));
        QCOMPARE(m_board->status(), QString("error"));
        serve("/status", text({{"service", true}}));
        QCOMPARE(m_board->status(), QString("error"));
        QCOMPARE(m_board->poleId(), QString("P-17"));
        QCOMPARE(changes, QStringList());

        // Keys left out read as their defaults and so reset every value.
        m_log->clear();
        serve("/status", text({{"service", true}, {"device", QJsonObject{{"active", true}}}}));
        QCOMPARE(m_board->status(), QString("online"));
        QCOMPARE(changes, (QStringList{"ignition", "poleId", "temperature", "voltage", "uptime", "rtcFailed"}));
        QCOMPARE(m_board->ignition(), false);
        QCOMPARE(m_board->poleId(), QString());
        QCOMPARE(m_board->temperature(), 0.0);
        QCOMPARE(m_board->voltage(), 0.0);
        QCOMPARE(m_board->uptime(), 0);
        QCOMPARE(m_board->rtcFailed(), false);
        QVERIFY(m_log->contains("[Board] Ignition changed : false"));
        QVERIFY(m_log->contains("[Board] Pole Id changed : "));
        QVERIFY(m_log->contains("[Board] Uptime changed : 0"));
        QVERIFY(m_log->contains("[Board] RTC Status changed : OK"));
    }

    void ignitionEventAlwaysSignals()
    {
        QSignalSpy ignition(m_board.get(), &Board::ignitionChanged);
        const auto event = [this](const QJsonValue &data) {
            serve("/event", text({{"name", "IgnitionChanged"}, {"data", data}}));
        };

        event(1);
        QCOMPARE(m_board->ignition(), true);
        QVERIFY(m_log->contains("[Board] Event received : IgnitionChanged [1]"));
        event(0);
        QCOMPARE(m_board->ignition(), false);
        event("0");
        QCOMPARE(m_board->ignition(), false);
        QCOMPARE(ignition.size(), 3); // even when already off
        event("1");
        QCOMPARE(m_board->ignition(), true);
        event(0);
        event(false); // text form "false", not "0"
        QCOMPARE(m_board->ignition(), true);
        QVERIFY(m_log->contains("[Board] Event received : IgnitionChanged [false]"));
        QCOMPARE(ignition.size(), 6);

        // Other events and a differently spelt name leave the ignition alone.
        serve("/event", text({{"name", "ignitionchanged"}, {"data", 0}}));
        serve("/event", text({{"name", "DoorOpened"}, {"data", QJsonObject{{"door", 1}}}}));
        QVERIFY(m_log->contains("[Board] Event received : DoorOpened [{\"door\":1}]"));
        QCOMPARE(m_board->ignition(), true);
        QCOMPARE(ignition.size(), 6);

        // The status message writes the same value and signals only on change.
        serve("/status", text({{"service", true}, {"device", QJsonObject{{"active", true}, {"ignition", true}}}}));
        QCOMPARE(ignition.size(), 6);
    }

    void powerMessagesAndPeripherals()
    {
        QStringList order;
        connect(m_board.get(), &Board::peripheralPowerChanged, this,
                [&order](const QString &id, bool value) { order << id + (value ? "=on" : "=off"); });
        connect(m_board.get(), &Board::peripheralsChanged, this, [&order] { order << "list"; });

        serve("/power", R"({"usbHub": true, "display": false})");
        QCOMPARE(order, (QStringList{"display=off", "usbHub=on", "list"}));
        QVERIFY(m_log->contains("[Board] Peripheral power changed 'display' : false"));
        const QVariantList expected{
            QVariantMap{{"item", "display"}, {"descr", "Display"}, {"value", false}},
            QVariantMap{{"item", "usbHub"}, {"descr", "USB Hub"}, {"value", true}}};
        QCOMPARE(m_board->peripherals(), expected);
        QCOMPARE(m_board->peripheralPower("usbHub"), true);
        QCOMPARE(m_board->peripheralPower("touch"), false);

        order.clear();
        serve("/power", R"({"display": false, "usbHub": true})");
        QCOMPARE(order, QStringList());

        // null leaves a key alone; an unknown id is kept with an empty label.
        serve("/power", R"({"usbHub": null, "zzz": true, "mPCIe1": true})");
        QCOMPARE(order, (QStringList{"mPCIe1=on", "zzz=on", "list"}));
        QCOMPARE(m_board->peripheralPower("usbHub"), true);
        const QVariantList list = m_board->peripherals();
        QCOMPARE(list.size(), 4);
        QCOMPARE(list.at(1).toMap().value("descr").toString(), QString("mPCIe #1"));
        QCOMPARE(list.at(3).toMap().value("item").toString(), QString("zzz"));
        QCOMPARE(list.at(3).toMap().value("descr").toString(), QString());

        // Writing the list is refused with a warning.
        m_board->setPeripherals({});
        QCOMPARE(m_log->matching("[Board] --- SET PERIPHERALS : ").size(), 1);
        QCOMPARE(m_board->peripherals().size(), 4);
    }

    void settersPublishWithoutChangingState()
    {
        QSignalSpy delay(m_board.get(), &Board::delayShutdownForChanged);
        QSignalSpy audio(m_board.get(), &Board::audioEnabledChanged);

        m_board->setDelayShutdownFor(120);
        QCOMPARE(next("/config/set"), (QJsonObject{{"device", QJsonObject{{"delayShutdownFor", 120}}}}));
        QVERIFY(m_log->contains("[Board] Setting board shutdown delay : 120 sec(s)"));
        QCOMPARE(m_board->delayShutdownFor(), 0);
        serve("/config", R"({"device": {"delayShutdownFor": 120}})");
        QCOMPARE(m_board->delayShutdownFor(), 120);
        QCOMPARE(delay.size(), 1);
        QVERIFY(m_log->contains("[Board] Board shutdown delay changed : 120 sec(s)"));
        // The value the board already has is not sent again.
        m_board->setDelayShutdownFor(120);
        m_board->setPeripheralPower("touch", false);
        QCOMPARE(next("/power/set"), (QJsonObject{{"touch", false}}));
        QVERIFY(m_log->contains("[Board] Setting peripheral power: touch (false)"));
        QCOMPARE(m_peer.messageCount(Base + "/config/set"), 1);

        // First audio message with "mute" false changes nothing.
        serve("/audio", R"({"mute": false})");
        QCOMPARE(audio.size(), 0);
        m_board->setAudioEnabled(false);
        QCOMPARE(next("/audio/set"), (QJsonObject{{"mute", true}}));
        QCOMPARE(m_board->audioEnabled(), true);
        serve("/audio", R"({"mute": true})");
        QCOMPARE(m_board->audioEnabled(), false);
        QCOMPARE(audio.size(), 1);
        serve("/audio", "{}");
        QCOMPARE(m_board->audioEnabled(), true);

        m_board->setDisplayBrightness(70);
        QCOMPARE(next("/display/set"), (QJsonObject{{"brightness", 70}}));
        m_board->setDisplayBrightnessMode("auto");
        QCOMPARE(next("/display/set"), (QJsonObject{{"mode", "auto"}}));
        QCOMPARE(m_board->displayBrightness(), 0);
        QCOMPARE(m_board->displayBrightnessMode(), QString());

        QSignalSpy brightness(m_board.get(), &Board::displayBrightnessChanged);
        QSignalSpy sensor(m_board.get(), &Board::ambientLightSensorChanged);
        QSignalSpy mode(m_board.get(), &Board::displayBrightnessModeChanged);
        serve("/display", R"({"brightness": 70, "sensor": 33, "mode": "auto"})");
        QCOMPARE(m_board->displayBrightness(), 70);
        QCOMPARE(m_board->ambientLightSensor(), 33);
        QCOMPARE(m_board->displayBrightnessMode(), QString("auto"));
        serve("/display", R"({"brightness": 70, "sensor": 33, "mode": "auto"})");
        QCOMPARE(brightness.size() + sensor.size() + mode.size(), 3);

        m_board->playBuzzer(100, 200, 3);
        QCOMPARE(next("/buzzer/play/request/1"), (QJsonObject{{"onMsec", 100}, {"offMsec", 200}, {"repeat", 3}}));
        QVERIFY(m_log->contains("[Board] Playing buzzer : on=100 msec, off=200 msec, repeat=3"));
        m_board->playBuzzer(100, 200);
        QCOMPARE(next("/buzzer/play/request/1"), (QJsonObject{{"onMsec", 100}, {"offMsec", 200}, {"repeat", 0}}));
    }

    void ledPatterns()
    {
        m_board->setLedValid();
        QCOMPARE(next("/led/play/request/1"),
                 (QJsonObject{{"repeat", 3}, {"steps", QJsonArray{step(0, 255, 0, 100), step(0, 0, 0, 50)}}}));
        m_board->setLedInvalid();
        QCOMPARE(next("/led/play/request/1"),
                 (QJsonObject{{"repeat", 3}, {"steps", QJsonArray{step(255, 0, 0, 100), step(0, 0, 0, 50)}}}));
        m_board->setLedTestPattern();
        QCOMPARE(next("/led/play/request/1"),
                 (QJsonObject{{"repeat", 30},
                              {"steps", QJsonArray{step(255, 0, 0, 1000), step(0, 0, 0, 200), step(0, 255, 0, 1000),
                                                   step(0, 0, 0, 200)}}}));
        QCOMPARE(m_log->matching("[Board] Setting LEDs to : ").size(), 3);
        QVERIFY(m_log->contains("[Board] Setting LEDs to : TEST"));

        m_log->clear();
        m_board->setLedOff();
        const auto off = m_peer.waitForMessage(Base + "/#");
        QVERIFY(off);
        QCOMPARE(off->topic, Base + "/led/off/request/1");
        QCOMPARE(off->payload, QByteArray());
        QCOMPARE(m_log->matching("[Board] ").size(), 0);
    }

    void monitorDrivesRefresh()
    {
        QTimer *timer = monitorTimer();
        QVERIFY(timer);
        QVERIFY(!timer->isActive());

        m_board->monitor(1000);
        QVERIFY(m_log->contains("[Board] Monitor started : 1000 msec(s)"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(!timer->isSingleShot());
        // The first refresh does not wait for the timer.
        const auto first = m_peer.waitForMessage(Base + "/#", 10000);
        QVERIFY(first);
        QCOMPARE(first->topic, Base + "/status/get");

        m_board->monitor(2000);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 2000);

        // Each expiry refreshes again.
        m_peer.clear();
        m_board->monitor(20);
        QTRY_VERIFY_WITH_TIMEOUT(m_peer.messageCount(Base + "/audio/get") >= 3, 10000);

        m_board->monitor(0);
        QVERIFY(m_log->contains("[Board] Monitor stopped"));
        QVERIFY(!timer->isActive());

        // A negative interval cannot run a timer: it stops monitoring as well.
        m_board->monitor(500);
        m_board->monitor(-5);
        QVERIFY(!timer->isActive());
        QCOMPARE(m_log->matching("Monitor stopped").size(), 2);
    }

    void badInputChangesNothing()
    {
        serve("/status", R"({"service": true, "device": {"active": true, "poleId": "P-1"}})");
        QSignalSpy status(m_board.get(), &Board::statusChanged);
        QSignalSpy poleId(m_board.get(), &Board::poleIdChanged);
        QSignalSpy power(m_board.get(), &Board::peripheralsChanged);

        serve("/status", R"({"service": false, "device": )");
        serve("/power", "not json");
        const QStringList errors = m_log->lines(QtCriticalMsg);
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.at(0).startsWith("[Board] Failed to parse JSON message: "));
        QVERIFY(errors.at(0).size() > QString("[Board] Failed to parse JSON message: ").size());
        QCOMPARE(m_board->status(), QString("online"));
        QCOMPARE(m_board->poleId(), QString("P-1"));

        // Topics outside the base, or not handled under it, are dropped.
        emit m_mqtt->received(R"({"service": false})", "other/board/status");
        emit m_mqtt->received(R"({"service": false})", (Base + "/statusx").toUtf8());
        emit m_mqtt->received(R"({"display": true})", (Base + "/power/get").toUtf8());
        QCOMPARE(m_board->status(), QString("online"));
        QCOMPARE(status.size() + poleId.size() + power.size(), 0);

        // The info message is announced every time; missing keys read as empty.
        QSignalSpy info(m_board.get(), &Board::infoChanged);
        const QByteArray message =
            R"({"device": {"firmwareVersion": "1.4", "hardwareId": "HW9", "hardwareVersion": "B"},
                "service": {"version": "2.0.1"}})";
        serve("/info", message);
        serve("/info", message);
        QCOMPARE(info.size(), 2);
        QCOMPARE(m_board->info(),
                 (QVariantMap{{"firmware", "1.4"}, {"hardwareId", "HW9"}, {"hardware", "B"}, {"version", "2.0.1"}}));
        QVERIFY(m_log->contains(QString("[Board] Processing info topic %1/info").arg(Base)));
        serve("/info", "");
        QCOMPARE(m_board->info().value("firmware").toString(), QString());
        QCOMPARE(info.size(), 3);
    }
};

QTEST_MAIN(tst_Board)
#include "tst_board.moc"

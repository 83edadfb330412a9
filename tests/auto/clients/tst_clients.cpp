#include "Barcode.h"
#include "Board.h"
#include "Clock.h"
#include "Dispenser.h"
#include "Ethernet.h"
#include "IPv4.h"
#include "Inspector.h"
#include "JsonState.h"
#include "LTXGTerminal.h"
#include "LTXGv1Card.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "Network.h"
#include "RFID.h"
#include "ServiceTestBed.h"
#include "Update.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <limits>

using namespace manager;

// What a row does to the client under test. (moc misreads "//" and "#" in
// raw strings: URLs below are written with "\/", fault codes through arg().)
using Action = std::function<void(QObject *client)>;
Q_DECLARE_METATYPE(Action)

namespace {

template<class T>
Action on(const std::function<void(T &)> &action)
{
    return [action](QObject *client) { action(*static_cast<T *>(client)); };
}

bool running(const QObject &object, const char *timer)
{
    return object.findChild<QTimer *>(timer)->isActive();
}

QString tagText(const Tag::Ptr &tag)
{
    return tag ? QString("%1:%2").arg(tag->uid()).arg(int(tag->type())) : "none";
}

// Stands in for timedatectl: records each call as one line (its arguments
// separated by the unit separator), keeps the zone in a file, and hangs when
// the zone file says so.
const char FakeTimedatectl[] =
    "#!/bin/sh\n"
    "dir=$(dirname \"$0\")\n"
    "printf '%s\\n' \"$(printf '%s\\037' \"$@\")\" >> \"$dir/calls\"\n"
    "zone=$(cat \"$dir/zone\")\n"
    "case \"$1\" in\n"
    "--no-pager)\n"
    "    printf 'Africa/Abidjan\\n'\n"
    "    [ \"$zone\" = \"HANG\" ] && exec sleep 10\n"
    "    printf 'America/Argentina/Buenos_Aires\\nEurope/Berlin\\n' ;;\n"
    "status)\n"
    "    printf '                Time zone: '\n"
    "    [ \"$zone\" = \"HANG\" ] && exec sleep 10\n"
    "    printf '%s (CET, +0100)\\n' \"$zone\" ;;\n"
    "set-timezone)\n"
    "    [ \"$2\" = \"--\" ] && shift\n"
    "    [ \"$2\" = \"Refused/Zone\" ] && { echo \"Failed to set time zone: Access denied\" >&2; exit 1; }\n"
    "    printf '%s' \"$2\" > \"$dir/zone\" ;;\n"
    "esac\n";

} // namespace

// Every service client against a real broker, with a peer playing the
// services. Each row starts a new client, sends it the row's messages as the
// service, acts on it, and checks what it published and what it shows.
class tst_Clients : public QObject
{
    Q_OBJECT

private:
    ServiceTestBed m_bed;
    MqttPeer &m_peer = m_bed.peer();
    std::unique_ptr<LogRecorder> m_log;
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<QObject> m_client;
    QString m_base;
    std::function<QJsonObject()> m_state;
    QJsonArray m_events;
    QJsonArray m_outcomes;
    QList<MqttPeer::Message> m_connecting; // what the client published while it connected
    QTemporaryDir m_dir;
    QByteArray m_path;
    int m_clients = 0;

    QString where(const QString &topic) const { return topic.startsWith('/') ? m_base + topic : topic; }

    // The client is live once a probe on its last subscription came through
    // (its payload one it ignores); one more, told apart by a blank, shows
    // that every earlier probe has been handled. Its state: its properties
    // and what `more` adds.
    template<class T>
    T *start(const QString &base, const QString &probe, const std::function<QJsonObject(T &)> &more = {},
             const QByteArray &payload = "{}")
    {
        m_log = std::make_unique<LogRecorder>();
        m_mqtt = m_bed.makeClient(QString("ui-%1").arg(++m_clients));
        auto *client = new T(*m_mqtt, base);
        m_client.reset(client);
        m_base = base;
        const QString topic = where(probe);
        QSignalSpy received(m_mqtt.get(), &MqttClient::received);
        const auto live = [&] { return m_peer.publish(topic, payload) && !received.isEmpty(); };
        if (!m_bed.connectClient(*m_mqtt) || !QTest::qWaitFor(live, 10000) || !m_bed.serve(*m_mqtt, topic, payload + ' ')) {
            QTest::qFail("the client did not come up", __FILE__, __LINE__);
            return nullptr;
        }
        m_connecting = m_peer.messages();
        m_peer.clear();
        m_log->clear();
        m_events = m_outcomes = QJsonArray();
        m_state = [client, more] {
            QJsonObject state = jsonProperties(client);
            const QJsonObject extra = more ? more(*client) : QJsonObject();
            for (auto it = extra.begin(); it != extra.end(); ++it)
                state.insert(it.key(), it.value());
            return state;
        };
        return client;
    }

    void event(const QString &text) { m_events.append(text); }

    // "topic payload", the topic under the client's base when it starts with "/".
    bool feed(const QString &message)
    {
        const int space = message.indexOf(' ');
        return m_bed.serve(*m_mqtt, where(message.left(space)), space < 0 ? QByteArray() : message.mid(space + 1).toUtf8());
    }

    // "topic payload": the next message the client published on the topic;
    // "@topic payload": one it published while connecting; "!topic": none
    // (listed after a request sent later).
    void expectRequest(const QString &request)
    {
        const QChar kind = request.at(0);
        const int space = request.indexOf(' ');
        const QString topic = where(request.left(space).mid(kind == '@' || kind == '!' ? 1 : 0));
        if (kind == '!') {
            QCOMPARE(m_peer.messageCount(topic), 0);
            return;
        }
        const auto connecting = std::find_if(m_connecting.cbegin(), m_connecting.cend(), [&](const auto &m) { return m.topic == topic; });
        const std::optional<MqttPeer::Message> message = kind != '@'            ? m_peer.waitForMessage(topic)
                                                         : connecting != m_connecting.cend() ? std::make_optional(*connecting)
                                                                                               : std::nullopt;
        QVERIFY2(message && !message->retain, qPrintable(request));
        const auto normal = [](const QByteArray &p) { return p.startsWith('{') ? QJsonDocument::fromJson(p).toJson(QJsonDocument::Compact) : p; };
        QCOMPARE(normal(message->payload), normal(space < 0 ? QByteArray() : request.mid(space + 1).toUtf8()));
    }

    QJsonObject state()
    {
        QJsonObject state = m_state();
        state.insert("events", m_events);
        state.insert("outcomes", m_outcomes);
        return state;
    }

    void expectState(const QByteArray &expected)
    {
        const QJsonObject want = QJsonDocument::fromJson(expected).object();
        QVERIFY2(!want.isEmpty(), expected.constData());
        QTRY_COMPARE_WITH_TIMEOUT(jsonText(jsonSubset(state(), want)), jsonText(want), 10000);
    }

    // A row: messages sent as the service, an action on the client, the
    // requests it then published, and what it shows afterwards (as JSON, only
    // what the row names; "events" and "outcomes" are what it signalled).
    static void columns()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<Action>("act");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<QString>("error");
    }

    static void row(const char *name, const QStringList &messages, const QByteArray &state,
                    const QStringList &requests = {}, const Action &act = {})
    {
        QTest::newRow(name) << messages << act << requests << state << QString();
    }

    // Bad input: the last message (or the action) logs the errors named (in
    // the order of their text, one a line), if any, and changes nothing.
    static void bad(const char *name, const QStringList &messages, const QString &error, const Action &act = {})
    {
        QTest::newRow(name) << messages << act << QStringList() << QByteArray("same") << error;
    }

    void exchange()
    {
        QFETCH(QStringList, messages);
        QFETCH(Action, act);
        QFETCH(QStringList, requests);
        QFETCH(QByteArray, state);
        QFETCH(QString, error);
        QJsonObject before;
        for (int i = 0; i < messages.size(); ++i) {
            if (i == messages.size() - 1) {
                before = this->state();
                m_log->clear();
            }
            QVERIFY2(feed(messages.at(i)), qPrintable(messages.at(i)));
        }
        if (act) {
            before = this->state();
            act(m_client.get());
            if (QTest::currentTestFailed())
                return;
        }
        for (const QString &request : qAsConst(requests))
            expectRequest(request);
        if (state == "same") {
            QStringList errors = m_log->lines(QtCriticalMsg);
            const QStringList expected = error.split('\n', Qt::SkipEmptyParts);
            errors.sort();
            QCOMPARE(errors.size(), expected.size());
            for (int i = 0; i < errors.size(); ++i)
                QVERIFY2(errors.at(i).startsWith(expected.at(i)), qPrintable(errors.join('\n')));
            QCOMPARE(jsonText(this->state()), jsonText(before));
        } else if (!state.isEmpty()) {
            expectState(state);
        }
    }

    // Calls: the service answers `answer` ("-": not at all), and the
    // outcome of the call goes to "outcomes" ("done ..." or "fail ...").
    void outcome(Deferred<RFID::Result> call)
    {
        call.done([this](const RFID::Result &r) { m_outcomes.append(QString("done " + (r.card ? r.card->uid() : "none"))); })
            .fail([this](const RFID::Result &r) { m_outcomes.append(QString("fail " + r.error)); });
    }

    void outcome(Deferred<Dispenser::Result> call)
    {
        call.done([this](const Dispenser::Result &) { m_outcomes.append("done"); }).fail([this](const Dispenser::Result &r) {
            m_outcomes.append(QString("fail %1 %2").arg(r.code).arg(r.error).trimmed());
        });
    }

    template<class T, class F>
    Action ask(const QByteArray &answer, F method)
    {
        return [this, answer, method](QObject *client) {
            QVERIFY(m_peer.setResponder(m_base + "/#", [answer](const QString &, const QByteArray &) {
                return answer == "-" ? std::optional<QByteArray>() : std::optional<QByteArray>(answer);
            }));
            outcome(method(*static_cast<T *>(client)));
        };
    }

    // Whether a call waits with this time-out.
    bool waiting(int msec) const
    {
        const auto timers = m_mqtt->findChildren<QTimer *>();
        return std::any_of(timers.begin(), timers.end(), [msec](QTimer *t) { return t->isActive() && t->interval() == msec; });
    }

    // Sends a message as the service until the call has settled.
    void until(const QString &message)
    {
        QTRY_VERIFY_WITH_TIMEOUT((feed(message), !m_outcomes.isEmpty()), 10000);
    }

    Board *startBoard()
    {
        auto *board = start<Board>("test/board", "/event", [](Board &b) {
            return QJsonObject{{"status", b.status()}, {"uptime", b.uptime()}, {"monitoring", running(b, "monitorTimer")},
                               {"displayPower", b.peripheralPower("display")}};
        });
        if (board)
            connect(board, &Board::ignitionChanged, this, [this] { event("ignition"); });
        return board;
    }

    RFID *startRfid()
    {
        auto *rfid = start<RFID>("test/rfid", "/probe", [](RFID &r) {
            return QJsonObject{{"uid", r.uid()}, {"model", r.model()}, {"software", r.software()}, {"state", int(r.state())},
                               {"error", r.error()}, {"active", r.active()}, {"tag", tagText(r.activeCard())}};
        });
        if (!rfid)
            return nullptr;
        connect(rfid, &RFID::cardFound, this, [this](Tag::Ptr tag) { event("found " + tagText(tag)); });
        connect(rfid, &RFID::cardRemoved, this, [this](Tag::Ptr tag) { event("removed " + tagText(tag)); });
        connect(rfid, &RFID::cardAutoreadFailed, this, [this](const QString &error) { event("autoread failed: " + error); });
        connect(rfid, &RFID::cardAutoread, this, [this](Card::Ptr card) {
            const auto ltxg = card.dynamicCast<LTXGv1Card>();
            event(ltxg ? QString("autoread %1 customs %2 uses %3").arg(ltxg->uid()).arg(ltxg->customsId()).arg(ltxg->usageCounter())
                       : "autoread none");
        });
        return rfid;
    }

    Dispenser *startDispenser()
    {
        auto *dispenser = start<Dispenser>("test/dispenser", "/card/disposed", [](Dispenser &d) {
            return QJsonObject{{"manufacturer", d.manufacturer()}, {"model", d.model()}, {"firmware", d.firmware()},
                               {"software", d.software()}, {"active", d.active()}, {"jammed", d.isJammed()},
                               {"doorOpen", d.isDoorOpen()}, {"cardInMouth", d.cardInMouth()}, {"cardInRfid", d.cardInRfid()}};
        });
        if (!dispenser)
            return nullptr;
        connect(dispenser, &Dispenser::cardAccepted, this, [this] { event("accepted"); });
        connect(dispenser, &Dispenser::cardRemoved, this, [this] { event("removed"); });
        connect(dispenser, &Dispenser::cardDisposed, this, [this] { event("disposed"); });
        return dispenser;
    }

    BarcodeManager *startBarcode()
    {
        auto *barcode = start<BarcodeManager>("test/barcode", "/probe", [](BarcodeManager &b) {
            const BarcodeManager::Info i = b.info();
            return QJsonObject{{"status", b.status()}, {"info", QJsonObject{{"firmware", i.firmware}, {"manufacturer", i.manufacturer},
                                                                              {"model", i.model}, {"version", i.version}, {"type", i.type}}}};
        });
        if (barcode)
            connect(barcode, &BarcodeManager::barcodeScanned, this, [this](const QString &data) { event(data); });
        return barcode;
    }

    Network *startNetwork()
    {
        return start<Network>("test/network", "/status", [](Network &n) { return QJsonObject{{"version", n.version()}}; });
    }

    Clock *startClock()
    {
        auto *clock = start<Clock>("test/device", "/clock/ntp/config");
        // Not the time zone: reading it runs timedatectl.
        if (clock)
            m_state = [clock] {
                return QJsonObject{{"ntpServer", clock->ntpServer()}, {"ntpEnabled", clock->ntpEnabled()}, {"ntpSynced", clock->ntpSynced()}};
            };
        return clock;
    }

    Update *startUpdate()
    {
        return start<Update>("test/update", "/update/software/progess",
                             [](Update &u) { return QJsonObject{{"checking", running(u, "checkTimer")}}; }, "probe");
    }

    Inspector *startInspector()
    {
        auto *inspector = start<Inspector>("test/inspector", "/stats/disk", [](Inspector &i) {
            const QTimer *shutdown = i.findChild<QTimer *>("shutdownTimer");
            return QJsonObject{{"shutdownIn", shutdown->isActive() ? shutdown->interval() : -1},
                               {"monitoring", running(i, "monitorTimer")}};
        });
        if (!inspector)
            return nullptr;
        connect(inspector, &Inspector::systemShutdownStarted, this, [this] { event("shutdown"); });
        connect(inspector, &Inspector::systemRebootStarted, this, [this] { event("reboot"); });
        return inspector;
    }

    LTXGTerminal *startTerminal()
    {
        auto *terminal = start<LTXGTerminal>("kivo/blm", "kivo/rfid/card/found",
                                             [](LTXGTerminal &t) { return QJsonObject{{"reasonCode", t.reasonCode()}}; });
        if (!terminal)
            return nullptr;
        connect(terminal, &LTXGTerminal::statusChanged, this, [this, terminal] { event("status " + terminal->status()); });
        connect(terminal, &LTXGTerminal::cardDetected, this,
                [this](const QString &uid, const QString &type) { event("detected " + uid + " " + type); });
        connect(terminal, &LTXGTerminal::cardRemoved, this, [this] { event("removed"); });
        connect(terminal, &LTXGTerminal::cardRetry, this, [this] { event("retry"); });
        connect(terminal, &LTXGTerminal::ticketValidated, this, [this](const Transaction &t) {
            event(QString("validated %1 %2 %3 %4 %5").arg(t.valid() ? "true" : "false").arg(t.type()).arg(t.denyReason())
                      .arg(t.details().value("deducted").toDouble()).arg(t.details().value("remaining").toDouble()));
        });
        connect(terminal, &LTXGTerminal::maintenanceBarcodeScanned, this,
                [this](const QJsonObject &data) { m_events.append(QJsonObject{{"maintenance", data}}); });
        return terminal;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_bed.start("services", "test"), qPrintable(m_bed.broker().log()));
        QVERIFY(m_peer.subscribe("kivo/#"));
        QFile fake(m_dir.filePath("timedatectl"));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write(FakeTimedatectl);
        fake.close();
        QVERIFY(fake.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        m_path = qgetenv("PATH");
    }

    void init()
    {
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_path);
        QFile::remove(m_dir.filePath("zone"));
        QFile::remove(m_dir.filePath("calls"));
    }

    void cleanup()
    {
        m_client.reset(); // before its broker connection
        m_mqtt.reset();
        m_log.reset();
    }

    void cleanupTestCase() { qputenv("PATH", m_path); }

    void board_data()
    {
        columns();
        const QString full = R"(/status {"service": true, "device": {"active": true, "ignition": true, "poleId": "P-17",
            "temperature": 41.5, "voltage": 12.25, "uptime": 360, "hardwareStatus": {"rtcFailed": true}}})";
        const auto ignition = [](const char *data) { return QString(R"(/event {"name": "IgnitionChanged", "data": %1})").arg(data); };
        const auto led = [](int repeat, const QStringList &steps) {
            return QString(R"(/led/play/request/1 {"repeat": %1, "steps": [%2]})").arg(repeat).arg(steps.join(", "));
        };
        const auto step = [](int r, int g, int ms) { return QString(R"({"color": {"r": %1, "g": %2, "b": 0}, "duration": %3})").arg(r).arg(g).arg(ms); };
        row("status", {full}, R"({"status": "online", "ignition": true, "poleId": "P-17", "temperature": 41.5,
            "voltage": 12.25, "uptime": 360, "rtcFailed": true})");
        row("status, board inactive: the rest unread", {R"(/status {"service": true, "device": {"active": false, "poleId": "X"}})"},
            R"({"status": "error", "poleId": ""})");
        row("ignition event 1", {ignition("1")}, R"({"ignition": true, "events": ["ignition"]})");
        row("ignition event \"0\"", {ignition("1"), ignition("\"0\"")}, R"({"ignition": false})");
        row("ignition event 0 signalled even when already off", {ignition("0"), ignition("0")},
            R"({"ignition": false, "events": ["ignition", "ignition"]})");
        row("ignition event false: its text is not \"0\"", {ignition("false")}, R"({"ignition": true})");
        row("other events leave the ignition alone",
            {R"(/event {"name": "ignitionchanged", "data": 1})", R"(/event {"name": "DoorOpened", "data": {"door": 1}})"},
            R"({"ignition": false, "events": []})");
        row("peripheral power: null leaves a key alone, unknown ids kept unlabelled",
            {R"(/power {"usbHub": true, "display": true})", R"(/power {"usbHub": null, "zzz": true})"},
            R"({"displayPower": true, "peripherals": [{"item": "display", "descr": "Display", "value": true},
                {"item": "usbHub", "descr": "USB Hub", "value": true}, {"item": "zzz", "descr": "", "value": true}]})");
        row("display", {R"(/display {"brightness": 70, "sensor": 33, "mode": "auto"})"},
            R"({"displayBrightness": 70, "ambientLightSensor": 33, "displayBrightnessMode": "auto"})");
        row("shutdown delay", {R"(/config {"device": {"delayShutdownFor": 120}})"}, R"({"delayShutdownFor": 120})");
        row("info", {R"(/info {"device": {"firmwareVersion": "1.4", "hardwareId": "HW9", "hardwareVersion": "B"},
            "service": {"version": "2.0.1"}})"},
            R"({"info": {"firmware": "1.4", "hardwareId": "HW9", "hardware": "B", "version": "2.0.1"}})");
        row("defaults; refreshed on connect", {}, R"({"status": "", "ignition": false, "audioEnabled": true, "peripherals": [],
            "delayShutdownFor": 0})", {"@/status/get {}", "@/display/get {}", "@/power/get {}", "@/audio/get {}"});
        row("audio on and off; the board's answer decides", {R"(/audio {"mute": true})"}, R"({"audioEnabled": false})",
            {R"(/audio/set {"mute": false})", R"(/audio/set {"mute": true})"},
            on<Board>([](Board &b) { b.setAudioEnabled(true); b.setAudioEnabled(false); }));
        row("shutdown delay, not the one in force, and peripheral power", {R"(/config {"device": {"delayShutdownFor": 120}})"},
            R"({"delayShutdownFor": 120})", {R"(/config/set {"device": {"delayShutdownFor": 90}})", R"(/power/set {"touch": false})"},
            on<Board>([](Board &b) { b.setDelayShutdownFor(120); b.setDelayShutdownFor(90); b.setPeripheralPower("touch", false); }));
        row("display brightness and mode", {}, R"({"displayBrightness": 0, "displayBrightnessMode": ""})",
            {R"(/display/set {"brightness": 70})", R"(/display/set {"mode": "auto"})"},
            on<Board>([](Board &b) { b.setDisplayBrightness(70); b.setDisplayBrightnessMode("auto"); }));
        row("buzzer", {}, "",
            {R"(/buzzer/play/request/1 {"onMsec": 100, "offMsec": 200, "repeat": 3})",
             R"(/buzzer/play/request/1 {"onMsec": 100, "offMsec": 200, "repeat": 0})"},
            on<Board>([](Board &b) { b.playBuzzer(100, 200, 3); b.playBuzzer(100, 200); }));
        row("LEDs", {}, "",
            {led(3, {step(0, 255, 100), step(0, 0, 50)}), led(3, {step(255, 0, 100), step(0, 0, 50)}),
             led(30, {step(255, 0, 1000), step(0, 0, 200), step(0, 255, 1000), step(0, 0, 200)}), "/led/off/request/1"},
            on<Board>([](Board &b) { b.setLedValid(); b.setLedInvalid(); b.setLedTestPattern(); b.setLedOff(); }));
        row("monitor refreshes until stopped", {}, R"({"monitoring": false})", {"/status/get {}", "/power/get {}"},
            [this](QObject *client) {
                static_cast<Board *>(client)->monitor(20);
                QTRY_VERIFY_WITH_TIMEOUT(m_peer.messageCount(m_base + "/audio/get") >= 3, 10000);
                static_cast<Board *>(client)->monitor(0);
            });
    }
    void board() { QVERIFY(startBoard()); exchange(); }

    void boardBadInput_data()
    {
        columns();
        row("status, empty payload: no service", {"/status"}, R"({"status": "offline"})");
        row("status, keys left out reset their values", {R"(/status {"service": true, "device": {"active": true, "poleId": "P-1", "uptime": 3}})", R"(/status {"service": true, "device": {"active": true}})"},
            R"({"status": "online", "ignition": false, "poleId": "", "temperature": 0, "voltage": 0, "uptime": 0, "rtcFailed": false})");
        row("status, wrong types read as defaults", {R"(/status {"service": "yes", "device": {"active": true}})"},
            R"({"status": "offline"})");
        row("audio: no mute key unmutes", {R"(/audio {"mute": true})", "/audio {}"}, R"({"audioEnabled": true})");
        bad("truncated JSON", {R"(/status {"service": true, "device": {"active": true, "poleId": "P-1"}})",
                               R"(/status {"service": false, "device": )"}, "[Board] Failed to parse JSON message: ");
        bad("not JSON", {R"(/power {"usbHub": true})", "/power not json"}, "[Board] Failed to parse JSON message: ");
        bad("topics outside the base or not handled", {R"(/status {"service": true, "device": {"active": true}})"}, "",
            [this](QObject *) {
                emit m_mqtt->received(R"({"service": false})", "other/board/status");
                emit m_mqtt->received(R"({"service": false})", "test/board/statusx");
                emit m_mqtt->received(R"({"display": true})", "test/board/power/get");
            });
    }
    void boardBadInput() { QVERIFY(startBoard()); exchange(); }

    void rfid_data()
    {
        columns();
        const QString found = R"(/card/found {"uid": "04A1", "type": 4})";
        row("info", {R"(/info {"device": {"uid": "R1", "model": "M5"}, "service": {"version": "2.1"}})"},
            R"({"uid": "R1", "model": "M5", "software": "2.1", "state": 0, "active": false, "tag": "none"})");
        row("a card in the field", {R"(/status {"service": true, "device": {"state": 3, "error": "antenna"}})"},
            R"({"state": 3, "error": "antenna", "active": true})");
        row("card found", {found}, R"({"tag": "04A1:4", "events": ["found 04A1:4"]})");
        row("radio off clears the card", {found, R"(/status {"service": true, "device": {"state": 1}})"},
            R"({"state": 1, "error": "", "active": true, "tag": "none"})");
        row("service offline keeps the card", {found, R"(/status {"service": false, "device": {"state": 3}})"},
            R"({"state": 5, "error": "Service is offline", "active": false, "tag": "04A1:4"})");
        row("card removed", {found, "/card/removed {}"}, R"({"tag": "none", "events": ["found 04A1:4", "removed 04A1:4"]})");
        row("autoread failed keeps the card", {found, R"(/card/autoread {"error": {"what": "Authentication failed"}})"},
            R"({"tag": "04A1:4", "events": ["found 04A1:4", "autoread failed: Authentication failed"]})");
        row("autoread", {R"(/card/autoread {"uid": "04C3", "type": 4, "template": "LTXGv1",
            "data": {"info": {"customsId": 9, "status": "active"}, "usageCounter": 3}})"},
            R"({"tag": "04C3:4", "events": ["autoread 04C3 customs 9 uses 3"]})");
        row("autoread of a template not known here", {found, R"(/card/autoread {"uid": "04C3", "type": 4, "template": "LTXGv2"})"},
            R"({"tag": "none", "events": ["found 04A1:4", "autoread none"]})");

        row("beeps", {}, "", {"/beep/valid", "/beep/invalid"}, on<RFID>([](RFID &r) { r.beepValid(); r.beepInvalid(); }));
        const QByteArray created = R"({"completed": true, "data": {"uid": "04E5", "type": 8, "template": "LTXGv1", "data": {}}})";
        const QByteArray completed = R"({"completed": true})";
        auto card = LTXGv1Card::Ptr::create();
        card->setUid("04E5");
        card->setType(Tag::MIFARE_Classic_4K);
        card->setCustomsId(1);
        card->incrUsageCounter(1);
        LTXGv1Card::Usage entry{"entry", "DEV1", "kivo-rnd", QDateTime(QDate(2024, 5, 1), QTime(8, 0)), 1};
        card->addUsageLog(entry);
        const auto wait = [this](int msec) { return ask<RFID>("-", [msec](RFID &r) { return r.waitCardFound(msec); }); };
        const auto status = [](int state) { return QString(R"(/status {"service": true, "device": {"state": %1}})").arg(state); };
        row("enable", {}, R"({"outcomes": ["done none"]})", {R"(/enable/request/1 {"autoread": true})"},
            ask<RFID>(completed, [](RFID &r) { return r.enable(true); }));
        row("create a card", {}, R"({"outcomes": ["done 04E5"], "tag": "04E5:8"})", {R"(/card/create/request/1 {"template": "LTXGv1"})"},
            ask<RFID>(created, [](RFID &r) { return r.createCard(LTXGv1Card::Name); }));
        row("write a card", {}, R"({"outcomes": ["done none"]})",
            {R"(/card/write/request/1 {"uid": "04E5", "type": 8, "template": "LTXGv1", "data": {"info": {"version": 0,
                "customsId": 1, "status": "available"}, "usageCounter": 1, "usageLog": [{"timestamp": "2024-05-01T08:00:00",
                "type": "entry", "usageCounter": 1, "deviceId": "DEV1", "locationId": "kivo-rnd"}]}})"},
            ask<RFID>(completed, [card](RFID &r) { return r.writeCard(card); }));
        row("nothing to write", {}, R"({"outcomes": ["fail No card to write"]})", {},
            ask<RFID>("-", [](RFID &r) { return r.writeCard({}); }));
        row("read refused: the card stays", {found}, R"({"outcomes": ["fail Card not readable"], "tag": "04A1:4"})",
            {R"(/card/read/request/1 {"template": "LTXGv1", "usageLogs": 5, "topupLogs": 0})"},
            ask<RFID>(R"({"completed": false, "error": {"what": "Card not readable"}})",
                      [](RFID &r) { return r.readCard(LTXGv1Card::Name, 5); }));
        row("disable: a card not built here clears the tag", {found}, R"({"outcomes": ["done none"], "tag": "none"})",
            {"/disable/request/1 {}"},
            ask<RFID>(R"({"completed": true, "data": {"uid": "04E5", "type": 8, "template": "Foreign"}})",
                      [](RFID &r) { return r.disable(); }));
        row("each call has its own id", {}, R"({"outcomes": ["done 04E5"]})",
            {R"(/card/create/request/1 {"template": "LTXGv1"})", R"(/enable/request/2 {"autoread": false})"},
            ask<RFID>(created, [](RFID &r) { r.createCard(LTXGv1Card::Name); return r.enable(false); }));
        row("not connected", {}, R"({"outcomes": ["fail Not connected"]})", {}, ask<RFID>("-", [this](RFID &r) {
                m_mqtt->disconnect();
                (void)QTest::qWaitFor([this] { return m_mqtt->state() != MqttTransport::Connected; });
                return r.enable(true);
            }));
        row("answered after the client is gone", {}, R"({"outcomes": ["done 04E5"]})", {},
            [this, call = ask<RFID>(created, [](RFID &r) { return r.enable(false); })](QObject *client) {
                call(client);
                m_client.reset();
                m_state = [] { return QJsonObject(); };
            });
        row("wait for a card, radio off", {status(1)}, R"({"outcomes": ["fail RF is disabled"]})", {}, wait(3000));
        row("wait for a card, searching", {status(2)}, R"({"outcomes": ["done 04F6"], "tag": "04F6:2"})", {},
            [this, wait](QObject *client) {
                wait(10000)(client);
                QVERIFY(waiting(10000));
                until(R"(/card/found {"uid": "04F6", "type": 2})");
            });
        row("wait for a card, none comes", {status(2)}, R"({"outcomes": ["fail Timeout"]})", {}, wait(200));
        row("wait for a card, one in the field", {found, status(3)}, R"({"outcomes": ["done 04A1"]})", {}, wait(3000));
    }
    void rfid() { QVERIFY(startRfid()); exchange(); }

    void rfidBadInput_data()
    {
        columns();
        const QString found = R"(/card/found {"uid": "04A1", "type": 4})";
        row("a state not in the list is kept", {R"(/status {"service": true, "device": {"state": 42}})"},
            R"({"state": 42, "active": false})");
        bad("empty payload", {found, "/card/removed"}, "[RFID] Failed to parse JSON message: ");
        bad("truncated JSON", {found, R"(/status {"service": tru)"}, R"([RFID] Failed to parse JSON message: {"service": tru)");
    }
    void rfidBadInput() { QVERIFY(startRfid()); exchange(); }

    void dispenser_data()
    {
        columns();
        const QString all = R"(/status {"service": true, "device": {"active": true, "isJammed": true,
            "isCartridgeDoorOpen": true, "cardInMouth": true, "cardInRfid": true}})";
        row("info", {R"(/info {"device": {"manufacturer": "ACME", "model": "M1", "firmware": "9"}, "service": {"version": "1.4"}})"},
            R"({"manufacturer": "ACME", "model": "M1", "firmware": "9", "software": "1.4"})");
        row("status", {all}, R"({"active": true, "jammed": true, "doorOpen": true, "cardInMouth": true, "cardInRfid": true})");
        row("service offline: only active drops", {all, R"(/status {"service": false, "device": {"isJammed": false}})"},
            R"({"active": false, "jammed": true, "doorOpen": true, "cardInMouth": true, "cardInRfid": true})");
        row("card events, with or without payload", {"/card/inserted", "/card/removed", R"(/card/disposed {"reason": "bad"})"},
            R"({"events": ["accepted", "removed", "disposed"]})");

        using Move = Deferred<Dispenser::Result> (Dispenser::*)();
        const auto move = [this](const QByteArray &answer, Move m) { return ask<Dispenser>(answer, [m](Dispenser &d) { return (d.*m)(); }); };
        const auto collect = [this](int sec) { return ask<Dispenser>("-", [sec](Dispenser &d) { return d.waitCollect(sec); }); };
        const QByteArray completed = R"({"completed": true})";
        row("issue", {}, R"({"outcomes": ["done"]})", {"/issue/request/1 {}"}, move(completed, &Dispenser::issue));
        row("accept refused", {}, R"({"outcomes": ["fail 17 Mouth empty"]})", {"/accept/request/1 {}"},
            move(R"({"completed": false, "error": {"code": 17, "description": "Mouth empty"}})", &Dispenser::accept));
        row("eject refused without a code", {}, R"({"outcomes": ["fail 0 Transport blocked"]})", {"/eject/request/1 {}"},
            move(R"({"completed": false, "error": {"description": "Transport blocked"}})", &Dispenser::eject));
        row("dispose, an answer that is no object", {}, R"({"outcomes": ["fail -1 Invalid response"]})",
            {"/dispose/request/1 {}"}, move("[1]", &Dispenser::dispose));
        row("collect", {}, R"({"outcomes": ["done"]})", {"/collect/request/1 {}"}, move(completed, &Dispenser::collect));
        row("enable accepting", {}, R"({"outcomes": ["done"]})", {"/accept/enable/request/1 {}"},
            move(completed, &Dispenser::enableAccept));
        row("disable accepting, an empty answer is a refusal", {}, R"({"outcomes": ["fail 0"]})",
            {"/accept/disable/request/1 {}"}, move("", &Dispenser::disableAccept));
        row("a move waits long for its answer", {}, R"({"outcomes": []})", {}, [this, move](QObject *client) {
            move("-", &Dispenser::issue)(client);
            QVERIFY(waiting(20000));
        });
        row("waiting for the card to be taken, in seconds", {}, R"({"outcomes": ["done"]})", {}, [this, collect](QObject *client) {
            collect(60)(client);
            QVERIFY(waiting(60000));
            until("/card/removed");
        });
        row("card not taken", {}, R"({"outcomes": ["fail -1 Timeout"]})", {}, collect(0));
        row("a wait too long for a timer is capped", {}, R"({"outcomes": []})", {}, [this, collect](QObject *client) {
            collect(3000000)(client);
            QVERIFY(waiting(std::numeric_limits<int>::max()));
        });
        row("not connected", {}, R"({"outcomes": ["fail -1 Not connected"]})", {}, ask<Dispenser>("-", [this](Dispenser &d) {
                m_mqtt->disconnect();
                (void)QTest::qWaitFor([this] { return m_mqtt->state() != MqttTransport::Connected; });
                return d.waitCollect(60);
            }));
    }
    void dispenser() { QVERIFY(startDispenser()); exchange(); }

    void dispenserBadInput_data()
    {
        columns();
        row("a key left out reads as false",
            {R"(/status {"service": true, "device": {"isCartridgeDoorOpen": true}})", R"(/status {"service": true, "device": {"active": true, "isJammed": true, "cardInMouth": true, "cardInRfid": true}})"},
            R"({"active": true, "jammed": true, "doorOpen": false, "cardInMouth": true, "cardInRfid": true})");
        bad("truncated JSON", {R"(/status {"service": true, "device": {"active": true}})", R"(/status {"service": true, "device": {"active": tr)"},
            "[Dispenser] ERROR: Failed to parse JSON message (topic=test/dispenser/status) :"
            R"({"service": true, "device": {"active": tr)" " )");
    }
    void dispenserBadInput() { QVERIFY(startDispenser()); exchange(); }

    void barcode_data()
    {
        columns();
        const auto status = [](const char *status) -> QString { return QString("/status ") + status; };
        row("enabled", {status(R"({"service": true, "device": {"active": true, "enabled": true}})")}, R"({"status": "enabled"})");
        row("disabled", {status(R"({"service": true, "device": {"active": true}})")}, R"({"status": "disabled"})");
        row("reader inactive", {status(R"({"service": true, "device": {"active": false, "enabled": true}})")},
            R"({"status": "error"})");
        row("info", {R"(/info {"device": {"firmware": "1.2", "manufacturer": "Acme", "model": "S1"},
            "service": {"version": "3.0", "type": "qr"}})"},
            R"({"info": {"firmware": "1.2", "manufacturer": "Acme", "model": "S1", "version": "3.0", "type": "qr"}})");
        row("scans, not below the scan topic", {R"(/barcode {"data": "TICKET-42"})", R"(/barcode/extra {"data": "DEEPER"})", "/barcode {}"},
            R"({"events": ["TICKET-42", ""]})");
        row("enable and disable; the service reports the status", {}, R"({"status": ""})", {"/enable", "/disable"},
            on<BarcodeManager>([](BarcodeManager &b) { b.enable(); b.disable(); }));
    }
    void barcode() { QVERIFY(startBarcode()); exchange(); }

    void barcodeBadInput_data()
    {
        columns();
        row("no service", {R"(/status {"device": {"active": true, "enabled": true}})"}, R"({"status": "offline"})");
        row("no device", {R"(/status {"service": true})"}, R"({"status": "error"})");
        bad("empty payload", {R"(/barcode {"data": "T"})", "/barcode"}, "Failed to parse JSON message: ");
        bad("truncated JSON", {R"(/status {"service": true})", R"(/status {"service": tru)"},
            R"(Failed to parse JSON message: {"service": tru)");
    }
    void barcodeBadInput() { QVERIFY(startBarcode()); exchange(); }

    void network_data()
    {
        columns();
        const QString ipv4 = R"({"address": "10.0.0.5", "netmask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "8.8.8.8", "dns1": "8.8.4.4"})";
        const QByteArray shown = R"({"address": "10.0.0.5", "mask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "8.8.8.8", "dns1": "8.8.4.4"})";
        const QString status = QString(R"(/status {"stateStr": "connected", "connectivityStr": "full", "hostname": "terminal-7",
            "primaryConnection": {"interface": "eth0", "stateStr": "activated", "typeStr": "ethernet", "ipv4": %1}})").arg(ipv4);
        const QString ethernet = QString(R"(/ethernet/state {"interface": "eth0", "typeStr": "ethernet", "stateStr": "connected",
            "reasonStr": "none", "mac": "00:11:22:33:44:55", "ipv4": %1})").arg(ipv4);
        const auto config = [](const char *interface, const char *method, const char *address, const char *dns1) {
            return QString(R"(/ethernet/config {"interface": "%1", "method": "%2", "address": "%3", "netmask": "255.255.255.0",
                "gateway": "10.0.0.1", "dns0": "8.8.8.8", "dns1": "%4"})").arg(interface, method, address, dns1);
        };
        const QString manual = config("eth0", "manual", "10.0.0.5", "8.8.4.4");
        row("asks the Ethernet state on connect", {}, "", {"@/ethernet/state/get {}", "@/ethernet/config/get {}"});
        row("status", {status}, R"({"connectionState": "connected", "connectivity": "full", "hostname": "terminal-7",
            "primaryConnection": {"interface": "eth0", "state": "activated", "type": "ethernet", "ipv4": )" + shown + "}}");
        row("info", {R"(/info {"service": {"version": "2.4.1"}})"}, R"({"version": "2.4.1"})");
        row("Ethernet state and configuration; the USB link's are not the wired one's",
            {ethernet, manual, R"(/ethernet/state {"interface": "usb0", "stateStr": "disconnected", "mac": "aa:bb:cc:dd:ee:ff",
                "ipv4": {"address": "192.0.2.1"}})", config("usb0", "auto", "192.0.2.1", "9.9.9.9")},
            R"({"ethernet": {"interface": "eth0", "type": "ethernet", "state": "connected", "reason": "none",
                "mac": "00:11:22:33:44:55", "ipv4": )" + shown + R"(, "method": "manual", "config": )" + shown + "}}");
        row("a changed name server", {manual, config("eth0", "manual", "10.0.0.5", "1.1.1.1")},
            R"({"ethernet": {"config": {"address": "10.0.0.5", "dns1": "1.1.1.1"}}})");
        row("a manual configuration is saved with its addresses, an automatic one without", {ethernet, manual}, "",
            {R"(/ethernet/config/set {"interface": "eth0", "method": "manual", "address": "10.0.0.77", "netmask": "255.255.255.0",
                "gateway": "10.0.0.1", "dns0": "8.8.8.8", "dns1": "1.0.0.1"})",
             R"(/ethernet/config/set {"interface": "eth0", "method": "auto", "address": "", "netmask": "", "gateway": "",
                "dns0": "", "dns1": ""})"},
            on<Network>([](Network &n) {
                n.ethernet()->config()->setAddress("10.0.0.77"), n.ethernet()->config()->setDns1("1.0.0.1"), n.ethernet()->save();
                n.ethernet()->setMethod("auto"), n.ethernet()->save();
            }));
    }
    void network() { QVERIFY(startNetwork()); exchange(); }

    void networkBadInput_data()
    {
        columns();
        row("a key left out clears its value", {R"(/status {"stateStr": "connected", "hostname": "terminal-7"})",
            R"(/status {"stateStr": "connected"})"}, R"({"hostname": "", "connectionState": "connected"})");
        bad("truncated JSON", {R"(/status {"stateStr": "connected", "hostname": "terminal-7"})", R"(/status {"hostname": )"},
            "[Network] Failed to parse JSON message: ");
        bad("not JSON", {R"(/ethernet/config {"interface": "eth0", "method": "manual", "address": "10.0.0.5"})",
                         "/ethernet/config not json"},
            "[Network] Failed to parse JSON message: \n[Network][Ethernet] Failed to parse JSON message: ");
    }
    void networkBadInput() { QVERIFY(startNetwork()); exchange(); }

    void clock_data()
    {
        columns();
        const QString config = R"(/clock/ntp/config {"enabled": true, "server": "pool.example"})";
        const QString synced = R"(/clock/ntp/status {"enabled": true, "synced": true})";
        row("asks status and configuration on connect", {}, "", {"@/clock/ntp/status/get", "@/clock/ntp/config/get"});
        row("configuration", {config}, R"({"ntpEnabled": true, "ntpServer": "pool.example"})");
        row("status", {synced}, R"({"ntpEnabled": true, "ntpSynced": true})");
        row("a new server goes to the service, values in force do not", {config}, R"({"ntpServer": "pool.example"})",
            {R"(/clock/ntp/config/set {"enabled": true, "server": "time.example"})"},
            on<Clock>([](Clock &c) { c.setNtpServer("pool.example"), c.setNtpEnabled(true), c.setNtpServer("time.example"); }));
        row("switching network time off", {config}, R"({"ntpEnabled": true})",
            {R"(/clock/ntp/config/set {"enabled": false, "server": "pool.example"})"},
            on<Clock>([](Clock &c) { c.setNtpEnabled(false); }));
        row("sync", {synced}, R"({"ntpSynced": false})", {"/clock/ntp/sync"}, on<Clock>([](Clock &c) { c.ntpSync(); }));
    }
    void clock() { QVERIFY(startClock()); exchange(); }

    void clockBadInput_data()
    {
        columns();
        const QString config = R"(/clock/ntp/config {"enabled": true, "server": "pool.example"})";
        row("keys left out read as defaults", {config, "/clock/ntp/config {}"}, R"({"ntpEnabled": false, "ntpServer": ""})");
        bad("truncated JSON", {config, R"(/clock/ntp/config {"server": )"}, R"(Failed to parse JSON message: {"server": )");
        bad("empty payload", {config, "/clock/ntp/config"}, "Failed to parse JSON message: ");
    }
    void clockBadInput() { QVERIFY(startClock()); exchange(); }

    // The time zone goes through timedatectl (a fake, first on PATH); reads
    // and writes never wait for it: its answers come as signals.
    void timezone_data()
    {
        QTest::addColumn<QByteArray>("system"); // the zone the system has; "HANG": hangs; empty: no timedatectl
        QTest::addColumn<QString>("set");
        QTest::addColumn<QStringList>("zones");
        QTest::addColumn<QString>("timezone");
        QTest::addColumn<QStringList>("run"); // the set-timezone command run, if any
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("log");
        const QStringList zones{"Africa/Abidjan", "America/Argentina/Buenos_Aires", "Europe/Berlin"};
        const QString odd = "-H evil --machine=x Zone-Name", berlin = "Europe/Berlin", refusal = "Failed to set time zone: Access denied";
        QTest::newRow("read") << berlin.toUtf8() << QString() << zones << berlin << QStringList() << "" << "";
        QTest::newRow("command hangs: what it wrote is kept") << QByteArray("HANG") << QString() << QStringList{"Africa/Abidjan", ""}
                                                              << "" << QStringList() << "" << "WARN: timedatectl did not finish";
        QTest::newRow("no command") << QByteArray() << QString() << QStringList{""} << "" << QStringList() << ""
                                    << "WARN: timedatectl did not start";
        QTest::newRow("the zone in force is not set again") << berlin.toUtf8() << berlin << zones << berlin << QStringList() << "" << "";
        QTest::newRow("a name like options stays one zone name") << berlin.toUtf8() << odd << zones << odd
                                                                 << QStringList{"set-timezone", "--", odd} << "" << "";
        QTest::newRow("refused") << berlin.toUtf8() << "Refused/Zone" << zones << berlin
                                 << QStringList{"set-timezone", "--", "Refused/Zone"} << refusal
                                 << "ERROR: Cannot set the time zone to Refused/Zone : " + refusal;
    }

    void timezone()
    {
        QFETCH(QByteArray, system);
        QFETCH(QString, set);
        QFETCH(QStringList, zones);
        QFETCH(QString, timezone);
        QFETCH(QStringList, run);
        QFETCH(QString, error);
        QFETCH(QString, log);
        QFile zone(m_dir.filePath("zone"));
        QVERIFY(zone.open(QIODevice::WriteOnly | QIODevice::Truncate));
        zone.write(system);
        zone.close();
        if (system.isEmpty())
            qputenv("PATH", QFile::encodeName(m_dir.filePath("nowhere")));
        LogRecorder logged;
        MqttClient offline;
        Clock clock(offline, "test/device");
        QSignalSpy listed(&clock, &Clock::timezonesChanged);
        QSignalSpy refused(&clock, &Clock::timezoneError);
        QVERIFY(listed.wait(10000));
        QCOMPARE(clock.timezones().mid(0, zones.size()), zones);
        clock.timezones();
        if (!set.isNull()) {
            QTRY_COMPARE_WITH_TIMEOUT(clock.timezone(), QString("Europe/Berlin"), 10000);
            clock.setTimezone(set);
            const auto runs = clock.findChildren<QProcess *>();
            QCOMPARE(std::count_if(runs.begin(), runs.end(), [](QProcess *p) { return p->arguments().value(0) == "set-timezone"; }),
                     run.isEmpty() ? 0 : 1);
        }
        QVERIFY(error.isEmpty() || refused.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(clock.timezone(), timezone, 10000);
        QCOMPARE(refused.isEmpty() ? QString() : refused.first().first().toString(), error);
        QVERIFY(log.isEmpty() || QTest::qWaitFor([&] { return logged.contains(log); }, 10000));
        QFile file(m_dir.filePath("calls"));
        QList<QStringList> calls;
        for (const QString &line : QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "").split('\n', Qt::SkipEmptyParts))
            calls.append(line.split(QChar(0x1f), Qt::SkipEmptyParts));
        QVERIFY(calls.count(QStringList{"--no-pager", "list-timezones"}) <= 1);
        QVERIFY(run.isEmpty() || calls.contains(run));
    }

    void update_data()
    {
        columns();
        const QString versions = R"(/status {"update": {"software": {"current": "1.0", "pending": "1.1"}}})";
        const QString pending = R"(/update/software/status {"current": "1.0", "pending": "1.2"})";
        const Action unanswered = [](QObject *client) {
            static_cast<Update *>(client)->check();
            auto *timer = client->findChild<QTimer *>("checkTimer");
            QVERIFY(timer->isActive());
            QCOMPARE(timer->interval(), 5000);
            timer->start(20); // rather than wait
        };
        row("asks the device status on connect", {}, R"({"status": "Disconnected"})", {"@/status/get"});
        row("device status", {versions}, R"({"current": "1.0", "pending": "1.1", "status": "Ready to install",
            "progressMessage": "Idle", "progressPercent": 0})");
        row("a plain string is the installed version only", {versions, R"(/status {"update": {"software": "1.0.7"}})"},
            R"({"current": "1.0.7", "pending": "1.1", "status": "Ready to install"})");
        row("nothing pending", {R"(/status {"update": {"software": {"current": "1.1"}}})"},
            R"({"current": "1.1", "pending": "", "status": "No pending updates"})");
        row("software status", {pending}, R"({"current": "1.0", "pending": "1.2"})");
        row("broker lost", {versions}, R"({"status": "Disconnected"})", {}, [this](QObject *) { m_mqtt->disconnect(); });
        row("check", {}, R"({"status": "Checking for updates"})", {"/software/check"}, on<Update>([](Update &u) { u.check(); }));
        row("download progress ends the check", {},
            R"({"status": "Downloading", "progressMessage": "12/40 MB", "progressPercent": 30, "pending": "2.0", "checking": false})",
            {}, [this](QObject *client) {
                static_cast<Update *>(client)->check();
                QVERIFY(feed(R"(/update/software/progress {"message": "12/40 MB", "progress": 30, "version": "2.0"})"));
            });
        row("install progress, under either spelling",
            {R"(/update/software/progess {"message": "Writing image", "progress": 80, "version": "2.0"})"},
            R"({"status": "Installing", "progressMessage": "Writing image", "progressPercent": 80})");
        row("a check left unanswered ends, ready to install", {pending}, R"({"status": "Ready to install"})", {}, unanswered);
        row("a check left unanswered ends, nothing pending", {}, R"({"status": "No pending updates"})", {}, unanswered);
        row("install needs a pending version", {}, "", {"/software/check", "!/update/software/install"},
            on<Update>([](Update &u) { u.install(); u.check(); }));
        row("install", {pending}, "", {"/update/software/install"}, on<Update>([](Update &u) { u.install(); }));
    }
    void update() { QVERIFY(startUpdate()); exchange(); }

    void updateBadInput_data()
    {
        columns();
        bad("truncated JSON", {R"(/update/software/status {"current": "1.1"})", R"(/update/software/status {"current": "9.9")"},
            "[Update] Failed to parse JSON message: ");
    }
    void updateBadInput() { QVERIFY(startUpdate()); exchange(); }

    void inspector_data()
    {
        columns();
        const QStringList refresh{"/audio/get {}", "/stats/memory/get {}", "/stats/disk/get {}", "/stats/cpu/get {}"};
        const auto schedule = [](int first, int second) {
            return on<Inspector>([first, second](Inspector &i) { i.scheduleShutdown(first); i.scheduleShutdown(second); });
        };
        row("refreshed on connect", {}, "", {"@/audio/get {}", "@/stats/memory/get {}", "@/stats/disk/get {}", "@/stats/cpu/get {}"});
        row("info", {R"(/info {"service": {"version": "3.2.0"}})"}, R"({"info": {"version": "3.2.0"}})");
        row("online", {R"(/status {"service": true})"}, R"({"status": "online"})");
        row("offline", {R"(/status {"service": true})", R"(/status {"other": 1})"}, R"({"status": "offline"})");
        row("audio volume", {R"(/audio {"internal": {"volume": 40}})"}, R"({"audioVolume": 40})");
        row("monitor refreshes until stopped", {}, R"({"monitoring": false})", refresh, [this](QObject *client) {
            static_cast<Inspector *>(client)->monitor(20);
            QTRY_VERIFY_WITH_TIMEOUT(m_peer.messageCount(m_base + "/stats/cpu/get") >= 3, 10000);
            static_cast<Inspector *>(client)->monitor(0);
        });
        row("volume set through the service", {}, R"({"audioVolume": 0})", {R"(/audio/set {"internal": {"volume": 55}})"},
            on<Inspector>([](Inspector &i) { i.setAudioVolume(55); }));
        row("sound played", {}, "", {R"(/audio/play {"device": "internal", "filepath": "/usr/share/sounds/valid.wav"})"},
            on<Inspector>([](Inspector &i) { i.audioPlay("/usr/share/sounds/valid.wav"); }));
        row("shutdown scheduled once, in seconds", {}, R"({"shutdownIn": 30000})", {}, schedule(30, 45));
        row("a delay too long for a timer is capped", {}, R"({"shutdownIn": 2147483647})", {}, schedule(3000000, 1));
        row("shutdown aborted", {}, R"({"shutdownIn": -1})", {},
            on<Inspector>([](Inspector &i) { i.scheduleShutdown(30); i.abortShutdown(); }));
        row("shutdown when due, requested after a pause", {}, R"({"shutdownIn": -1, "events": ["shutdown"]})",
            {"/power/shutdown/request/1"}, [this](QObject *client) {
                static_cast<Inspector *>(client)->scheduleShutdown(0);
                QTRY_COMPARE_WITH_TIMEOUT(m_events.size(), 1, 10000);
                QCOMPARE(m_peer.messageCount(m_base + "/power/shutdown/request/1"), 0);
            });
        row("reboot, requested after a pause", {}, R"({"events": ["reboot"]})",
            {"/power/reboot/request/1", "!/power/shutdown/request/1"}, [this](QObject *client) {
                static_cast<Inspector *>(client)->systemReboot();
                QCOMPARE(m_peer.messageCount(m_base + "/power/reboot/request/1"), 0);
            });
    }
    void inspector() { QVERIFY(startInspector()); exchange(); }

    void inspectorBadInput_data()
    {
        columns();
        bad("truncated JSON", {R"(/audio {"internal": {"volume": 40}})", R"(/audio {"internal": )"},
            "[Inspector] Failed to parse JSON message: ");
    }
    void inspectorBadInput() { QVERIFY(startInspector()); exchange(); }

    void terminal_data()
    {
        columns();
        const QString good = R"(/status {"service": true, "obu": {"vehicleUuid": "bus-17"}, "route": {"axisName": "X96"},
            "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})";
        const QString down = R"(/status {"service": false})";
        const auto fault = [](const char *name, const char *status, const char *code, const char *reason) {
            row(name, {QString("/status ") + status},
                QString(R"({"status": "online", "reasonCode": "%1", "reason": "%2", "events": ["status offline", "status online"]})")
                    .arg(code, reason).toUtf8());
        };
        fault("service down", R"({"service": false, "state": {"hasRfid": true}})", "#0002", "BLM service down");
        fault("RFID firmware updating",
              R"({"service": true, "device": {"rfid": {"state": 4}}, "state": {"hasRfid": false}})", "#0003",
              "RFID firmware is updating");
        fault("RFID not operational", R"({"service": true, "device": {"rfid": {"state": 1}}, "state": {"hasObu": true}})",
              "#0004", "RFID is not operational");
        fault("no OBU", R"({"service": true, "state": {"hasRfid": true, "hasObu": false}})", "#0005", "Disconnected from OBC");
        fault("no network time", R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasNtp": false, "hasRoute": true}})",
              "#0007", "NTP not synchronized");
        row("no route", {R"(/status {"service": true, "state": {"hasRfid": true, "hasObu": true, "hasNtp": true, "hasRoute": false}})"},
            QString(R"({"status": "out-of-service", "reasonCode": "%1", "reason": "No route", "events": ["status out-of-service"]})")
                .arg("#0006").toUtf8());
        row("all well, network time not reported", {R"(/status {"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})"},
            R"({"status": "online", "reasonCode": "", "reason": "", "events": ["status online"]})");
        row("a fault again dips again; vehicle and route stay", {good, down, down},
            QString(R"({"vehicle": "bus-17", "route": "X96", "reasonCode": "%1", "events": ["status online", "status offline",
                "status online", "status offline", "status online"]})").arg("#0002").toUtf8());
        row("starting up", {good, down, R"(/status {"service": true, "state": {"init": true}})"},
            QString(R"({"status": "init", "reasonCode": "%1", "vehicle": "", "route": ""})").arg("#0002").toUtf8());
        row("broker lost", {good}, QString(R"({"status": "offline", "reasonCode": "%1", "reason": "MQTT Disconnected"})").arg("#0001").toUtf8(), {},
            [this](QObject *) { m_mqtt->disconnect(); });
        const QString credentials = R"(/config {"blm": {"obu_host": "10.0.0.9", "obu_username": "op@x", "obu_password": "s3cr:t/pw",
            "obu_port": "none"}, "validator": {"passbackTime": 45, "qr_passback": "true"}})";
        row("configuration, values as text", {R"(/config {"blm": {"obu_host": "obu.local", "obu_username": "", "obu_port": "1883"},
            "validator": {"passbackTime": "30", "qr_passback": "True"}})"},
            R"({"config": {"obuUrl": "mqtt:\/\/obu.local:1883", "passbackSecs": 30, "passbackQrEnabled": false}})");
        row("credentials, never logged; a number where text is due; saved with a port", {credentials},
            R"({"config": {"obuUrl": "mqtt:\/\/op%40x:s3cr:t%2Fpw@10.0.0.9:8883", "passbackSecs": 0, "passbackQrEnabled": true}})",
            {R"(/config/set {"blm": {"obu_username": "op@x", "obu_password": "s3cr:t/pw", "obu_host": "10.0.0.9",
                "obu_port": 8883}, "validator": {"passbackTime": 0, "qr_passback": true}})"},
            [this](QObject *client) {
                QCOMPARE(m_log->matching("s3cr"), QStringList());
                LTGXTerminalConfig *config = static_cast<LTXGTerminal *>(client)->config();
                QUrl url = config->obuUrl();
                url.setPort(8883);
                config->setObuUrl(url);
                static_cast<LTXGTerminal *>(client)->saveConfig();
            });
        const QString info = R"(/info {"service": {"version": "2.4.1"}, "device": {
            "rfid": {"firmware": "fw-7", "model": "R9", "manufacturer": "Acme", "uid": "04AA"},
            "barcode": {"firmware": "bc-3", "model": "B2", "manufacturer": "Scan"}}})";
        const QString enabled = R"(/status {"service": true, "device": {"rfid": {"state": 2, "active": true, "slots": [true, false],
            "sams": [{"slot": 1, "name": "SAM-AV3", "production": "2023-11-02"}]}, "barcode": {"enabled": true, "active": true}},
            "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})";
        const Action toggle = on<LTXGTerminal>(
            [](LTXGTerminal &t) { t.enableRfid(), t.enableBarcode(), t.disableRfid(), t.disableBarcode(), t.refreshConfig(); });
        row("reader identities", {info}, R"({"version": "2.4.1", "rfid": {"firmware": "fw-7", "model": "R9", "deviceUid": "04AA",
            "state": ""}, "barcode": {"model": "B2", "firmware": "bc-3"}})");
        row("readers off: enabling asks the services", {}, "",
            {R"(kivo/rfid/enable {"autoread": true})", "kivo/barcode/enable", "/config/get {}", "!kivo/rfid/disable",
             "!kivo/barcode/disable"}, toggle);
        row("readers on: disabling asks the services", {info, enabled},
            R"({"rfid": {"enabled": true, "numberOfSlots": 2, "firmware": "fw-7", "sam": {"name": "SAM-AV3", "production": "2023-11-02"}},
                "barcode": {"enabled": true, "firmware": "bc-3"}})",
            {"kivo/rfid/disable", "kivo/barcode/disable", "/config/get {}", "!kivo/rfid/enable", "!kivo/barcode/enable"}, toggle);
        row("cards and tickets",
            {R"(kivo/rfid/card/found {"uid": "04A1B2C3", "type": 8})", R"(kivo/rfid/card/found {"uid": "04FFFF", "type": 3})",
             R"(kivo/rfid/card/found {"uid": "05"})", "kivo/rfid/card/removed gone",
             R"(/rfid/scanned {"transaction": {"result": false, "type": 2, "denyReason": {"id": 205},
                "card": {"balanceBefore": 1250, "balanceAfter": 1100}}})",
             R"(/barcode/maintenance/scanned {"obu": {"host": "h"}, "pin": "1234"})", R"(/barcode/scanned {"code": "x"})",
             "/rfid/removed", "/rfid/retry"},
            R"({"events": ["detected 04A1B2C3 MIFARE Classic 4K", "detected 04FFFF Unknown", "detected 05 Unknown", "removed",
                "validated false 2 The card does not have sufficient balance 1.5 11",
                {"maintenance": {"obu": {"host": "h"}, "pin": "1234"}}, "retry"]})");
    }
    void terminal() { QVERIFY(startTerminal()); exchange(); }

    void terminalBadInput_data()
    {
        columns();
        row("empty payload: service down", {"/status"}, QString(R"({"status": "online", "reasonCode": "%1", "reason": "BLM service down"})")
            .arg("#0002").toUtf8());
        row("a port out of range is dropped, not the address", {R"(/config {"blm": {"obu_host": "obu.local",
            "obu_username": "op", "obu_password": "pw", "obu_port": "70000"}})"}, R"({"config": {"obuUrl": "mqtt:\/\/op:pw@obu.local"}})");
        bad("truncated JSON", {R"(/status {"service": true, "state": {"init": true}})", R"(/status {"service": tru)"},
            "[LTXGTerminal] Failed to parse JSON message: ");
    }
    void terminalBadInput() { QVERIFY(startTerminal()); exchange(); }
};

QTEST_GUILESS_MAIN(tst_Clients)
#include "tst_clients.moc"

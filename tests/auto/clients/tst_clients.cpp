#include "Barcode.h"
#include "Board.h"
#include "Clock.h"
#include "Ethernet.h"
#include "IPv4.h"
#include "Inspector.h"
#include "JsonState.h"
#include "LTXGTerminal.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "Network.h"
#include "ServiceTestBed.h"
#include "Update.h"

#include <QtTest>

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

// Stands in for timedatectl: records each call as one line (its arguments
// separated by the unit separator) and keeps the zone in a file.
const char FakeTimedatectl[] =
    "#!/bin/sh\n"
    "dir=$(dirname \"$0\")\n"
    "printf '%s\\n' \"$(printf '%s\\037' \"$@\")\" >> \"$dir/calls\"\n"
    "zone=$(cat \"$dir/zone\")\n"
    "case \"$1\" in\n"
    "--no-pager)\n"
    "    printf 'Africa/Abidjan\\nAmerica/Argentina/Buenos_Aires\\nEurope/Berlin\\n' ;;\n"
    "status)\n"
    "    printf '                Time zone: %s (CET, +0100)\\n' \"$zone\" ;;\n"
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
        if (!m_bed.connectClient(*m_mqtt) || !QTest::qWaitFor(live, 10000) || !m_bed.serve(*m_mqtt, topic, payload + ' '))
            QTest::qFail("the client did not come up", __FILE__, __LINE__);
        m_peer.clear();
        m_log->clear();
        m_events = QJsonArray();
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
    // "!topic": none (listed after a request sent later).
    void expectRequest(const QString &request)
    {
        const int space = request.indexOf(' ');
        if (request.startsWith('!')) {
            QCOMPARE(m_peer.messageCount(where(request.mid(1))), 0);
            return;
        }
        const auto message = m_peer.waitForMessage(where(request.left(space)));
        QVERIFY2(message && !message->retain, qPrintable(request));
        const auto normal = [](const QByteArray &p) { return p.startsWith('{') ? QJsonDocument::fromJson(p).toJson(QJsonDocument::Compact) : p; };
        QCOMPARE(normal(message->payload), normal(space < 0 ? QByteArray() : request.mid(space + 1).toUtf8()));
    }

    QJsonObject state()
    {
        QJsonObject state = m_state();
        state.insert("events", m_events);
        return state;
    }

    static void row(const char *name, const QStringList &messages, const QByteArray &state,
                    const QStringList &requests = {}, const Action &act = {})
    {
        QTest::newRow(name) << messages << act << requests << state << QString();
    }

    // Bad input: the last message logs the errors named (in the order of
    // their text, one a line) and changes nothing.
    static void bad(const char *name, const QStringList &messages, const QString &error)
    {
        QTest::newRow(name) << messages << Action() << QStringList() << QByteArray("same") << error;
    }

    void startBoard()
    {
        auto *board = start<Board>("test/board", "/event", [](Board &b) { return QJsonObject{{"status", b.status()}}; });
        connect(board, &Board::ignitionChanged, this, [this] { event("ignition"); });
    }

    void startBarcode()
    {
        auto *barcode = start<BarcodeManager>("test/barcode", "/probe", [](BarcodeManager &b) { return QJsonObject{{"status", b.status()}}; });
        connect(barcode, &BarcodeManager::barcodeScanned, this, [this](const QString &data) { event(data); });
    }

    void startNetwork() { start<Network>("test/network", "/status"); }

    void startUpdate() { start<Update>("test/update", "/update/software/progess", {}, "probe"); }

    void startInspector()
    {
        start<Inspector>("test/inspector", "/stats/disk", [](Inspector &i) {
            const QTimer *shutdown = i.findChild<QTimer *>("shutdownTimer");
            return QJsonObject{{"shutdownIn", shutdown->isActive() ? shutdown->interval() : -1}};
        });
    }

    void startTerminal()
    {
        auto *terminal = start<LTXGTerminal>("kivo/blm", "kivo/rfid/card/found",
                                             [](LTXGTerminal &t) { return QJsonObject{{"reasonCode", t.reasonCode()}}; });
        connect(terminal, &LTXGTerminal::statusChanged, this, [this, terminal] { event("status " + terminal->status()); });
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

    // One table for every client, its name first in a row's tag. A row:
    // messages sent as the service, an action on the client, the requests it
    // then published, and what it shows afterwards (as JSON, only what the
    // row names; "events" is what it signalled).
    void clients_data()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<Action>("act");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<QString>("error");
        const auto ignition = [](const char *data) { return QString(R"(/event {"name": "IgnitionChanged", "data": %1})").arg(data); };
        row("board: status", {R"(/status {"service": true, "device": {"active": true, "ignition": true, "poleId": "P-17",
            "temperature": 41.5, "voltage": 12.25, "hardwareStatus": {"rtcFailed": true}}})"},
            R"({"status": "online", "ignition": true, "poleId": "P-17", "temperature": 41.5, "voltage": 12.25, "rtcFailed": true})");
        row("board: ignition event 1, then \"0\"", {ignition("1"), ignition("\"0\"")}, R"({"ignition": false, "events": ["ignition", "ignition"]})");
        row("board: audio on and off; the board's answer decides", {R"(/audio {"mute": true})"}, R"({"audioEnabled": false})",
            {R"(/audio/set {"mute": false})", R"(/audio/set {"mute": true})"}, on<Board>([](Board &b) { b.setAudioEnabled(true), b.setAudioEnabled(false); }));
        row("board: status, empty payload: no service", {"/status"}, R"({"status": "offline"})");
        bad("board: truncated JSON", {R"(/status {"service": true, "device": {"active": true, "poleId": "P-1"}})",
                               R"(/status {"service": false, "device": )"}, "[Board] Failed to parse JSON message: ");
        const auto status = [](const char *status) -> QString { return QString("/status ") + status; };
        row("barcode: enabled", {status(R"({"service": true, "device": {"active": true, "enabled": true}})")}, R"({"status": "enabled"})");
        row("barcode: scans, not below the scan topic", {R"(/barcode {"data": "TICKET-42"})", R"(/barcode/extra {"data": "DEEPER"})", "/barcode {}"},
            R"({"events": ["TICKET-42", ""]})");
        row("barcode: enable and disable; the service reports the status", {}, R"({"status": ""})", {"/enable", "/disable"},
            on<BarcodeManager>([](BarcodeManager &b) { b.enable(); b.disable(); }));
        bad("barcode: empty payload", {R"(/barcode {"data": "T"})", "/barcode"}, "Failed to parse JSON message: ");
        const QString ipv4 = R"({"address": "10.0.0.5", "netmask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "8.8.8.8", "dns1": "8.8.4.4"})";
        const QByteArray shown = R"({"address": "10.0.0.5", "mask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "8.8.8.8", "dns1": "8.8.4.4"})";
        const QString ethernet = QString(R"(/ethernet/state {"interface": "eth0", "stateStr": "connected", "mac": "00:11:22:33:44:55",
            "ipv4": %1})").arg(ipv4);
        const QString manual = R"(/ethernet/config {"interface": "eth0", "method": "manual", "address": "10.0.0.5",
            "netmask": "255.255.255.0", "gateway": "10.0.0.1", "dns0": "8.8.8.8", "dns1": "8.8.4.4"})";
        row("network: status", {QString(R"(/status {"stateStr": "connected", "connectivityStr": "full", "hostname": "terminal-7",
            "primaryConnection": {"interface": "eth0", "stateStr": "activated", "typeStr": "ethernet", "ipv4": %1}})").arg(ipv4)},
            R"({"connectionState": "connected", "connectivity": "full", "hostname": "terminal-7",
            "primaryConnection": {"interface": "eth0", "state": "activated", "type": "ethernet", "ipv4": )" + shown + "}}");
        row("network: a manual configuration is saved with its addresses, an automatic one without", {ethernet, manual}, "",
            {R"(/ethernet/config/set {"interface": "eth0", "method": "manual", "address": "10.0.0.77", "netmask": "255.255.255.0",
                "gateway": "10.0.0.1", "dns0": "8.8.8.8", "dns1": "1.0.0.1"})",
             R"(/ethernet/config/set {"interface": "eth0", "method": "auto", "address": "", "netmask": "", "gateway": "",
                "dns0": "", "dns1": ""})"},
            on<Network>([](Network &n) {
                n.ethernet()->config()->setAddress("10.0.0.77"), n.ethernet()->config()->setDns1("1.0.0.1"), n.ethernet()->save();
                n.ethernet()->setMethod("auto"), n.ethernet()->save();
            }));
        bad("network: not JSON", {manual, "/ethernet/config not json"},
            "[Network] Failed to parse JSON message: \n[Network][Ethernet] Failed to parse JSON message: ");
        const QString pending = R"(/update/software/status {"current": "1.0", "pending": "1.2"})";
        const Action unanswered = [](QObject *client) {
            static_cast<Update *>(client)->check();
            auto *timer = client->findChild<QTimer *>("checkTimer");
            QVERIFY(timer->isActive());
            QCOMPARE(timer->interval(), 5000);
            timer->start(20); // rather than wait
        };
        row("update: a check left unanswered ends, ready to install", {pending}, R"({"status": "Ready to install"})", {}, unanswered);
        row("update: a check left unanswered ends, nothing pending", {}, R"({"status": "No pending updates"})", {}, unanswered);
        const auto schedule = [](int first, int second) {
            return on<Inspector>([first, second](Inspector &i) { i.scheduleShutdown(first); i.scheduleShutdown(second); });
        };
        row("inspector: shutdown scheduled once, in seconds", {}, R"({"shutdownIn": 30000})", {}, schedule(30, 45));
        // A fault shows online with its code: the screens dip to offline and back.
        const char *const faults[][3]{
            {R"({"service": false, "state": {"hasRfid": true}})", "#0002", "BLM service down"},
            {R"({"service": true, "device": {"rfid": {"state": 4}}, "state": {"hasRfid": false}})", "#0003", "RFID firmware is updating"},
            {R"({"service": true, "device": {"rfid": {"state": 1}}, "state": {"hasObu": true}})", "#0004", "RFID is not operational"},
            {R"({"service": true, "state": {"hasRfid": true, "hasObu": false}})", "#0005", "Disconnected from OBC"},
            {R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasNtp": false, "hasRoute": true}})", "#0007",
             "NTP not synchronized"}};
        for (const auto &fault : faults)
            row(qPrintable(QString("terminal: ") + fault[2]), {QString("/status ") + fault[0]},
                QString(R"({"status": "online", "reasonCode": "%1", "reason": "%2", "events": ["status offline", "status online"]})")
                    .arg(fault[1], fault[2]).toUtf8());
        row("terminal: no route", {R"(/status {"service": true, "state": {"hasRfid": true, "hasObu": true, "hasNtp": true, "hasRoute": false}})"},
            QString(R"({"status": "out-of-service", "reasonCode": "%1", "reason": "No route", "events": ["status out-of-service"]})")
                .arg("#0006").toUtf8());
        row("terminal: broker lost", {}, QString(R"({"status": "offline", "reasonCode": "%1", "reason": "MQTT Disconnected"})").arg("#0001").toUtf8(), {},
            [this](QObject *) { m_mqtt->disconnect(); });
        row("terminal: readers off: enabling asks the services", {}, "",
            {R"(kivo/rfid/enable {"autoread": true})", "kivo/barcode/enable", "!kivo/rfid/disable", "!kivo/barcode/disable"},
            on<LTXGTerminal>([](LTXGTerminal &t) { t.enableRfid(), t.enableBarcode(), t.disableRfid(), t.disableBarcode(); }));
        row("terminal: empty payload: service down", {"/status"}, QString(R"({"status": "online", "reasonCode": "%1"})").arg("#0002").toUtf8());
        row("terminal: a port out of range is dropped, not the address", {R"(/config {"blm": {"obu_host": "obu.local",
            "obu_username": "op", "obu_password": "pw", "obu_port": "70000"}})"}, R"({"config": {"obuUrl": "mqtt:\/\/op:pw@obu.local"}})");
        bad("terminal: truncated JSON", {R"(/status {"service": true, "state": {"init": true}})", R"(/status {"service": tru)"},
            "[LTXGTerminal] Failed to parse JSON message: ");
    }

    void clients()
    {
        const QHash<QString, void (tst_Clients::*)()> starts{
            {"board", &tst_Clients::startBoard}, {"barcode", &tst_Clients::startBarcode}, {"network", &tst_Clients::startNetwork},
            {"update", &tst_Clients::startUpdate}, {"inspector", &tst_Clients::startInspector}, {"terminal", &tst_Clients::startTerminal}};
        (this->*starts.value(QString(QTest::currentDataTag()).section(':', 0, 0)))();
        if (QTest::currentTestFailed())
            return;
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
            const QJsonObject want = QJsonDocument::fromJson(state).object();
            QVERIFY2(!want.isEmpty(), state.constData());
            QTRY_COMPARE_WITH_TIMEOUT(jsonText(jsonSubset(this->state(), want)), jsonText(want), 10000);
        }
    }

    // The time zone goes through timedatectl (a fake, first on PATH); reads
    // and writes never wait for it: its answers come as signals.
    void timezone_data()
    {
        QTest::addColumn<QString>("set");
        QTest::addColumn<QString>("timezone");
        QTest::addColumn<QStringList>("run"); // the set-timezone command run, if any
        QTest::addColumn<QString>("error");
        const QString odd = "-H evil --machine=x Zone-Name", berlin = "Europe/Berlin", refusal = "Failed to set time zone: Access denied";
        QTest::newRow("a name like options stays one zone name") << odd << odd << QStringList{"set-timezone", "--", odd} << "";
        QTest::newRow("refused") << "Refused/Zone" << berlin << QStringList{"set-timezone", "--", "Refused/Zone"} << refusal;
    }

    void timezone()
    {
        QFETCH(QString, set);
        QFETCH(QString, timezone);
        QFETCH(QStringList, run);
        QFETCH(QString, error);
        QFile zone(m_dir.filePath("zone"));
        QVERIFY(zone.open(QIODevice::WriteOnly) && zone.write("Europe/Berlin") > 0);
        zone.close();
        LogRecorder logged;
        MqttClient offline;
        Clock clock(offline, "test/device");
        QSignalSpy listed(&clock, &Clock::timezonesChanged);
        QSignalSpy refused(&clock, &Clock::timezoneError);
        QVERIFY(listed.wait(10000));
        QCOMPARE(clock.timezones().mid(0, 3), (QStringList{"Africa/Abidjan", "America/Argentina/Buenos_Aires", "Europe/Berlin"}));
        QTRY_COMPARE_WITH_TIMEOUT(clock.timezone(), QString("Europe/Berlin"), 10000);
        clock.setTimezone(set);
        QVERIFY(error.isEmpty() || refused.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(clock.timezone(), timezone, 10000);
        QCOMPARE(refused.isEmpty() ? QString() : refused.first().first().toString(), error);
        QTRY_VERIFY_WITH_TIMEOUT(error.isEmpty() || logged.contains("ERROR: Cannot set the time zone to Refused/Zone : " + error), 10000);
        QFile file(m_dir.filePath("calls"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList calls = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(calls.filter("set-timezone").size(), run.isEmpty() ? 0 : 1);
        QVERIFY(run.isEmpty() || calls.contains(run.join(QChar(0x1f)) + QChar(0x1f)));
    }

};

QTEST_GUILESS_MAIN(tst_Clients)
#include "tst_clients.moc"

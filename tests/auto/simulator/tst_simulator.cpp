#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

// The device-service simulator, run as its own process against a real broker
// and observed by an independent peer. The rows run in order on one
// simulator: each sends its messages and waits for the answer it names.
class tst_Simulator : public QObject
{
    Q_OBJECT

    MosquittoBroker m_broker;
    MqttPeer m_peer;
    QProcess m_simulator;

    // "a.b=value": value is JSON ("1884" a text, 1884 a number) or else a
    // plain text; "*" is anything but missing, null, false, 0 or "".
    static bool holds(const QJsonObject &object, const QString &check)
    {
        QJsonValue value = object;
        for (const QString &key : check.section('=', 0, 0).split('.'))
            value = value.toObject().value(key);
        const QString expected = check.section('=', 1);
        if (expected == QLatin1String("*"))
            return !(value.isUndefined() || value.isNull() || value == QJsonValue(false) || value == QJsonValue(0)
                     || value == QJsonValue(QString()));
        const QJsonDocument literal = QJsonDocument::fromJson('[' + expected.toUtf8() + ']');
        return value == (literal.isArray() ? literal.array().at(0) : QJsonValue(expected));
    }

    // Whether a message on `topic` holds every check.
    bool waitFor(const QString &topic, const QStringList &checks, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (const auto message = m_peer.waitForMessage(topic, int(qMax<qint64>(1, deadline.remainingTime())))) {
            const QJsonObject object = QJsonDocument::fromJson(message->payload).object();
            if (std::all_of(checks.begin(), checks.end(), [&](const QString &check) { return holds(object, check); }))
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), QStringLiteral("observer")));
        QVERIFY(m_peer.subscribe(QStringLiteral("kivo/#")));
        QVERIFY(ProgramProcess::startSimulator(m_simulator, m_broker.host(), m_broker.port(), {"--take-after", "300"}));
    }

    void protocol_data()
    {
        QTest::addColumn<QStringList>("send"); // "kivo/<topic> <payload>", or else a command of the simulator's
        QTest::addColumn<QString>("topic"); // the answer; "!topic": none within 2 s
        QTest::addColumn<QString>("checks"); // ";" between them
        const auto row = [](const char *name, const QStringList &send, const QString &topic, const QString &checks = {}) {
            QTest::newRow(name) << send << "kivo/" + topic << checks;
        };
        row("board up at start", {}, "board/status", "service=true;device.active=true;device.ignition=true");
        row("validation service up at start", {}, "blm/status", "service=true;state.hasRfid=true;state.hasObu=true;"
            "state.hasNtp=true;state.hasRoute=true;state.init=false;device.rfid.state=1;device.rfid.sams=*");
        row("a fault turns one flag off", {"fault 6"}, "blm/status", "state.hasRoute=false");
        row("fault 0 clears it", {"fault 0"}, "blm/status", "state.hasRoute=true");
        // The terminal switches the validator's reader with plain publications.
        row("reader on", {R"(kivo/rfid/enable {"autoread": true})"}, "blm/status", "device.rfid.state=2");
        row("reader off", {"kivo/rfid/disable "}, "blm/status", "device.rfid.state=1");
        row("a call to switch off is answered", {"kivo/rfid/disable/request/6 {}", R"(kivo/rfid/enable {"autoread": true})"},
            "rfid/disable/response/6", "completed=true");
        row("the later switch stays", {"status"}, "blm/status", "device.rfid.state=2");
        row("reader call", {R"(kivo/rfid/enable/request/7 {"autoread":false})"}, "rfid/enable/response/7", "completed=true");
        row("reader call shown", {"status"}, "rfid/status", "device.state=2");
        row("no card to create", {R"(kivo/rfid/card/create/request/8 {"template":"LTXGv1"})"}, "rfid/card/create/response/8",
            "completed=false;error.what=*");
        row("malformed request answered", {"kivo/rfid/card/write/request/9 {oops"}, "rfid/card/write/response/9",
            "completed=false;error.what=Invalid request");
        row("issue", {"kivo/dispenser/issue/request/1 {}"}, "dispenser/issue/response/1", "completed=true");
        row("issued card on the reader", {}, "rfid/card/found", "uid=*");
        row("create", {R"(kivo/rfid/card/create/request/10 {"template":"LTXGv1"})"}, "rfid/card/create/response/10",
            "completed=true;data.uid=*");
        row("eject", {"kivo/dispenser/eject/request/2 {}"}, "dispenser/eject/response/2", "completed=true");
        row("taken after --take-after", {}, "dispenser/card/removed");
        row("nothing left to eject", {"kivo/dispenser/eject/request/3 {}"}, "dispenser/eject/response/3", "completed=false;error.code=*");
        row("ticket refused", {"ticket invalid expired"}, "blm/rfid/scanned",
            "transaction.result=false;transaction.denyReason.id=101;transaction.type=0;transaction.barcode=*");
        row("an unknown command changes nothing", {"bogus command", "ignition off"}, "board/event", "name=IgnitionChanged;data=0");
        row("ignition off in the status", {}, "board/status", "device.ignition=false");
        row("a set is answered, a malformed one ignored", {"kivo/board/display/set {bad", R"(kivo/board/display/set {"brightness":30})"},
            "board/display", "brightness=30;mode=auto");
        row("validator configuration kept as texts",
            {R"(kivo/blm/config/set {"blm":{"obu_host":"10.1.1.1","obu_port":1884},"validator":{"passbackTime":45,"qr_passback":false}})"},
            "blm/config", R"(blm.obu_host=10.1.1.1;blm.obu_port="1884";validator.passbackTime="45";validator.qr_passback="false")");
        row("jam", {"jam on"}, "dispenser/status", "device.isJammed=true");
        row("jammed refuses", {"kivo/dispenser/issue/request/4 {}"}, "dispenser/issue/response/4", "completed=false;error.description=*");
        row("unjammed issues", {"jam off", "kivo/dispenser/issue/request/5 {}"}, "dispenser/issue/response/5", "completed=true");
        // "refuse" and "silent" script the next request of a method only.
        row("rfid refused", {"refuse rfid card/read Antenna fault", "kivo/rfid/card/read/request/11 {}"}, "rfid/card/read/response/11",
            "completed=false;error.what=Antenna fault");
        row("rfid answered after", {"kivo/rfid/card/read/request/12 {}"}, "rfid/card/read/response/12");
        row("dispenser refused", {"refuse dispenser collect Mouth blocked", "kivo/dispenser/collect/request/13 {}"},
            "dispenser/collect/response/13", "completed=false;error.description=Mouth blocked;error.code=*");
        row("dispenser answered after", {"kivo/dispenser/collect/request/14 {}"}, "dispenser/collect/response/14");
        row("rfid silent", {"silent rfid card/read", "kivo/rfid/card/read/request/15 {}"}, "!rfid/card/read/response/15");
        row("rfid answered after silence", {"kivo/rfid/card/read/request/16 {}"}, "rfid/card/read/response/16");
        row("dispenser silent", {"silent dispenser collect", "kivo/dispenser/collect/request/17 {}"}, "!dispenser/collect/response/17");
        row("dispenser answered after silence", {"kivo/dispenser/collect/request/18 {}"}, "dispenser/collect/response/18");
    }

    void protocol()
    {
        QFETCH(QStringList, send);
        QFETCH(QString, topic);
        QFETCH(QString, checks);
        if (!send.isEmpty())
            m_peer.clear(); // only answers to this row's messages
        for (const QString &message : qAsConst(send)) {
            if (message.startsWith("kivo/"))
                QVERIFY(m_peer.publish(message.section(' ', 0, 0), message.section(' ', 1).toUtf8()));
            else
                QVERIFY(m_peer.publish("sim/control", message.toUtf8()));
        }
        const bool none = topic.startsWith("kivo/!");
        QVERIFY(waitFor(topic.remove('!'), checks.split(';', Qt::SkipEmptyParts), none ? 2000 : 10000) != none);
    }

    void quitsOnCommand()
    {
        QVERIFY(m_peer.publish("sim/control", "quit"));
        QVERIFY(m_simulator.waitForFinished(10000) && m_simulator.exitStatus() == QProcess::NormalExit);
        QCOMPARE(m_simulator.exitCode(), 0);
        // The services leave a "down" status behind for late listeners.
        QVERIFY(waitFor("kivo/blm/status", {"service=false"}, 10000));
    }
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"

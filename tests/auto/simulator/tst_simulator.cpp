#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <functional>

// The device-service simulator, run as its own process against a real broker
// and observed by an independent peer.
class tst_Simulator : public QObject
{
    Q_OBJECT

private:
    // The first message on `filter` whose object satisfies `accept`; others
    // on the same filter are consumed while waiting.
    QJsonObject waitFor(const QString &filter, const std::function<bool(const QJsonObject &)> &accept = {},
                        int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            const auto message = m_peer.waitForMessage(filter, int(qMax<qint64>(1, deadline.remainingTime())));
            if (!message)
                break;
            const QJsonObject object = QJsonDocument::fromJson(message->payload).object();
            if (!accept || accept(object))
                return object;
        }
        return {{QStringLiteral("timeout"), filter}};
    }

    void control(const QString &command) { QVERIFY(m_peer.publish(QStringLiteral("sim/control"), command.toUtf8())); }

    MosquittoBroker m_broker;
    MqttPeer m_peer;
    QProcess m_simulator;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), QStringLiteral("observer")));
        QVERIFY(m_peer.subscribe(QStringLiteral("kivo/#")));
        m_simulator.setProcessChannelMode(QProcess::MergedChannels);
        ProgramProcess::start(m_simulator, QStringLiteral(LTXG_SIMULATOR),
                          {QStringLiteral("--host"), m_broker.host(), QStringLiteral("--port"),
                           QString::number(m_broker.port()), QStringLiteral("--no-console"),
                           QStringLiteral("--take-after"), QStringLiteral("300")});
        QVERIFY2(m_simulator.waitForStarted(10000), qPrintable(m_simulator.errorString()));
    }

    void cleanupTestCase()
    {
        if (m_simulator.state() != QProcess::NotRunning) {
            m_simulator.kill();
            m_simulator.waitForFinished(5000);
        }
    }

    void publishesStatusOnStart()
    {
        const QJsonObject board = waitFor(QStringLiteral("kivo/board/status"));
        QCOMPARE(board.value(QStringLiteral("service")).toBool(), true);
        const QJsonObject device = board.value(QStringLiteral("device")).toObject();
        QCOMPARE(device.value(QStringLiteral("active")).toBool(), true);
        QCOMPARE(device.value(QStringLiteral("ignition")).toBool(), true);

        const QJsonObject blm = waitFor(QStringLiteral("kivo/blm/status"));
        QCOMPARE(blm.value(QStringLiteral("service")).toBool(), true);
        const QJsonObject state = blm.value(QStringLiteral("state")).toObject();
        for (const char *flag : {"hasRfid", "hasObu", "hasNtp", "hasRoute"})
            QVERIFY2(state.value(QLatin1String(flag)).toBool(), flag);
        QCOMPARE(state.value(QStringLiteral("init")).toBool(), false);
        const QJsonObject rfid = blm.value(QStringLiteral("device")).toObject().value(QStringLiteral("rfid")).toObject();
        QCOMPARE(rfid.value(QStringLiteral("sams")).toArray().size(), 1);
        QCOMPARE(rfid.value(QStringLiteral("state")).toInt(), 1);

        // A fault turns one flag off; fault 0 clears it again.
        control(QStringLiteral("fault 6"));
        QVERIFY(!waitFor(QStringLiteral("kivo/blm/status"), [](const QJsonObject &o) {
                    return o.value(QStringLiteral("state")).toObject().contains(QStringLiteral("hasRoute"))
                        && !o.value(QStringLiteral("state")).toObject().value(QStringLiteral("hasRoute")).toBool();
                }).contains(QStringLiteral("timeout")));
        control(QStringLiteral("fault 0"));
        QVERIFY(!waitFor(QStringLiteral("kivo/blm/status"), [](const QJsonObject &o) {
                    return o.value(QStringLiteral("state")).toObject().value(QStringLiteral("hasRoute")).toBool();
                }).contains(QStringLiteral("timeout")));
    }

    // The terminal switches the validator's reader with plain publications;
    // the validation service's status follows each switch.
    void validatorReaderFollowsEnableAndDisable()
    {
        const auto readerState = [](const QJsonObject &o) {
            return o.value(QStringLiteral("device")).toObject().value(QStringLiteral("rfid")).toObject().value(QStringLiteral("state")).toInt(-1);
        };
        QVERIFY(m_peer.publish(QStringLiteral("kivo/rfid/enable"), "{\"autoread\": true}"));
        QCOMPARE(readerState(waitFor(QStringLiteral("kivo/blm/status"), [&](const QJsonObject &o) { return readerState(o) != 1; })), 2);
        QVERIFY(m_peer.publish(QStringLiteral("kivo/rfid/disable"), QByteArray()));
        QCOMPARE(readerState(waitFor(QStringLiteral("kivo/blm/status"), [&](const QJsonObject &o) { return readerState(o) != 2; })), 1);

        // A call to switch it off, and right behind it the terminal's plain
        // switch on: the later switch is the one that stays.
        QVERIFY(m_peer.publish(QStringLiteral("kivo/rfid/disable/request/6"), "{}"));
        QVERIFY(m_peer.publish(QStringLiteral("kivo/rfid/enable"), "{\"autoread\": true}"));
        QCOMPARE(waitFor(QStringLiteral("kivo/rfid/disable/response/6")).value(QStringLiteral("completed")).toBool(), true);
        QTest::qWait(500);
        int last = -1;
        const auto messages = m_peer.messages();
        for (const auto &m : messages) {
            if (m.topic == QLatin1String("kivo/blm/status"))
                last = readerState(QJsonDocument::fromJson(m.payload).object());
        }
        QCOMPARE(last, 2);
    }

    void answersRfidRequests()
    {
        QVERIFY(m_peer.publish(QStringLiteral("kivo/rfid/enable/request/7"), R"({"autoread":false})"));
        const QJsonObject enabled = waitFor(QStringLiteral("kivo/rfid/enable/response/7"));
        QCOMPARE(enabled.value(QStringLiteral("completed")).toBool(), true);
        QVERIFY(!waitFor(QStringLiteral("kivo/rfid/status"), [](const QJsonObject &o) {
                    return o.value(QStringLiteral("device")).toObject().value(QStringLiteral("state")).toInt() == 2;
                }).contains(QStringLiteral("timeout")));

        // No card lies on the reader: the service refuses to create one.
        QVERIFY(m_peer.publish(QStringLiteral("kivo/rfid/card/create/request/8"), R"({"template":"LTXGv1"})"));
        const QJsonObject refused = waitFor(QStringLiteral("kivo/rfid/card/create/response/8"));
        QCOMPARE(refused.value(QStringLiteral("completed")).toBool(), false);
        QVERIFY(!refused.value(QStringLiteral("error")).toObject().value(QStringLiteral("what")).toString().isEmpty());

        // A malformed request is answered, not dropped, and the simulator goes on.
        QVERIFY(m_peer.publish(QStringLiteral("kivo/rfid/card/write/request/9"), "{oops"));
        const QJsonObject invalid = waitFor(QStringLiteral("kivo/rfid/card/write/response/9"));
        QCOMPARE(invalid.value(QStringLiteral("completed")).toBool(), false);
        QCOMPARE(invalid.value(QStringLiteral("error")).toObject().value(QStringLiteral("what")).toString(),
                 QStringLiteral("Invalid request"));
        QCOMPARE(m_simulator.state(), QProcess::Running);
    }

    void issuesAndPresentsCard()
    {
        // The radio is on (previous test): an issued card is found on the reader.
        QVERIFY(m_peer.publish(QStringLiteral("kivo/dispenser/issue/request/1"), "{}"));
        QCOMPARE(waitFor(QStringLiteral("kivo/dispenser/issue/response/1")).value(QStringLiteral("completed")).toBool(), true);
        const QJsonObject found = waitFor(QStringLiteral("kivo/rfid/card/found"));
        QVERIFY(!found.value(QStringLiteral("uid")).toString().isEmpty());

        QVERIFY(m_peer.publish(QStringLiteral("kivo/rfid/card/create/request/10"), R"({"template":"LTXGv1"})"));
        const QJsonObject created = waitFor(QStringLiteral("kivo/rfid/card/create/response/10"));
        QCOMPARE(created.value(QStringLiteral("completed")).toBool(), true);
        QCOMPARE(created.value(QStringLiteral("data")).toObject().value(QStringLiteral("uid")), found.value(QStringLiteral("uid")));

        QVERIFY(m_peer.publish(QStringLiteral("kivo/dispenser/eject/request/2"), "{}"));
        QCOMPARE(waitFor(QStringLiteral("kivo/dispenser/eject/response/2")).value(QStringLiteral("completed")).toBool(), true);
        // The person takes it by himself after --take-after.
        QVERIFY(!waitFor(QStringLiteral("kivo/dispenser/card/removed")).contains(QStringLiteral("timeout")));

        // Nothing left at the reader: a second eject is refused with a code.
        QVERIFY(m_peer.publish(QStringLiteral("kivo/dispenser/eject/request/3"), "{}"));
        const QJsonObject refused = waitFor(QStringLiteral("kivo/dispenser/eject/response/3"));
        QCOMPARE(refused.value(QStringLiteral("completed")).toBool(), false);
        QVERIFY(refused.value(QStringLiteral("error")).toObject().value(QStringLiteral("code")).toInt() > 0);
    }

    void injectsEventsFromControlTopic()
    {
        control(QStringLiteral("ticket invalid 205"));
        const QJsonObject card = waitFor(QStringLiteral("kivo/blm/rfid/scanned")).value(QStringLiteral("transaction")).toObject();
        QCOMPARE(card.value(QStringLiteral("result")).toBool(), false);
        QCOMPARE(card.value(QStringLiteral("denyReason")).toObject().value(QStringLiteral("id")).toInt(), 205);
        QCOMPARE(card.value(QStringLiteral("type")).toInt(), 2);

        control(QStringLiteral("ticket invalid expired"));
        const QJsonObject ticket = waitFor(QStringLiteral("kivo/blm/rfid/scanned")).value(QStringLiteral("transaction")).toObject();
        QCOMPARE(ticket.value(QStringLiteral("denyReason")).toObject().value(QStringLiteral("id")).toInt(), 101);
        QCOMPARE(ticket.value(QStringLiteral("type")).toInt(), 0);
        QVERIFY(ticket.contains(QStringLiteral("barcode")));

        // An unknown command is refused and the next one still works.
        control(QStringLiteral("bogus command"));
        control(QStringLiteral("ignition off"));
        const QJsonObject event = waitFor(QStringLiteral("kivo/board/event"));
        QCOMPARE(event.value(QStringLiteral("name")).toString(), QStringLiteral("IgnitionChanged"));
        QCOMPARE(event.value(QStringLiteral("data")).toInt(-1), 0);
        QVERIFY(!waitFor(QStringLiteral("kivo/board/status"), [](const QJsonObject &o) {
                    const QJsonObject device = o.value(QStringLiteral("device")).toObject();
                    return device.contains(QStringLiteral("ignition")) && !device.value(QStringLiteral("ignition")).toBool();
                }).contains(QStringLiteral("timeout")));
    }

    void answersSetsAndRefusesWhenJammed()
    {
        // A set is answered with the new state; a malformed one changes nothing.
        QVERIFY(m_peer.publish(QStringLiteral("kivo/board/display/set"), "{bad"));
        QVERIFY(m_peer.publish(QStringLiteral("kivo/board/display/set"), R"({"brightness":30})"));
        const QJsonObject display = waitFor(QStringLiteral("kivo/board/display"), [](const QJsonObject &o) {
            return o.value(QStringLiteral("brightness")).toInt() != 80; // the start value
        });
        QCOMPARE(display.value(QStringLiteral("brightness")).toInt(), 30);
        QCOMPARE(display.value(QStringLiteral("mode")).toString(), QStringLiteral("auto"));

        // The validation service keeps its configuration as texts.
        QVERIFY(m_peer.publish(QStringLiteral("kivo/blm/config/set"),
                               R"({"blm":{"obu_host":"10.1.1.1","obu_port":1884,"obu_username":"u","obu_password":"p"},)"
                               R"("validator":{"passbackTime":45,"qr_passback":false}})"));
        const QJsonObject config = waitFor(QStringLiteral("kivo/blm/config"), [](const QJsonObject &o) {
            return o.value(QStringLiteral("blm")).toObject().value(QStringLiteral("obu_host")).toString() == QLatin1String("10.1.1.1");
        });
        QCOMPARE(config.value(QStringLiteral("blm")).toObject().value(QStringLiteral("obu_port")).toString(), QStringLiteral("1884"));
        const QJsonObject validator = config.value(QStringLiteral("validator")).toObject();
        QCOMPARE(validator.value(QStringLiteral("passbackTime")).toString(), QStringLiteral("45"));
        QCOMPARE(validator.value(QStringLiteral("qr_passback")).toString(), QStringLiteral("false"));

        control(QStringLiteral("jam on"));
        QVERIFY(!waitFor(QStringLiteral("kivo/dispenser/status"), [](const QJsonObject &o) {
                    return o.value(QStringLiteral("device")).toObject().value(QStringLiteral("isJammed")).toBool();
                }).contains(QStringLiteral("timeout")));
        QVERIFY(m_peer.publish(QStringLiteral("kivo/dispenser/issue/request/4"), "{}"));
        const QJsonObject refused = waitFor(QStringLiteral("kivo/dispenser/issue/response/4"));
        QCOMPARE(refused.value(QStringLiteral("completed")).toBool(), false);
        QVERIFY(!refused.value(QStringLiteral("error")).toObject().value(QStringLiteral("description")).toString().isEmpty());
        control(QStringLiteral("jam off"));
        QVERIFY(m_peer.publish(QStringLiteral("kivo/dispenser/issue/request/5"), "{}"));
        QCOMPARE(waitFor(QStringLiteral("kivo/dispenser/issue/response/5")).value(QStringLiteral("completed")).toBool(), true);
    }

    void scriptsTheNextRequest_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("refusal"); // empty: no answer
        QTest::newRow("rfid refused") << "refuse rfid card/read Antenna fault" << "rfid/card/read" << "Antenna fault";
        QTest::newRow("dispenser refused") << "refuse dispenser collect Mouth blocked" << "dispenser/collect" << "Mouth blocked";
        QTest::newRow("rfid silent") << "silent rfid card/read" << "rfid/card/read" << QString();
        QTest::newRow("dispenser silent") << "silent dispenser collect" << "dispenser/collect" << QString();
    }

    // Only the next request of that method is scripted; the one after it is
    // answered as usual.
    void scriptsTheNextRequest()
    {
        QFETCH(QString, command);
        QFETCH(QString, method);
        QFETCH(QString, refusal);
        static int id = 100;
        const auto call = [&](int n) {
            m_peer.publish(QStringLiteral("kivo/%1/request/%2").arg(method).arg(n), "{}");
            return waitFor(QStringLiteral("kivo/%1/response/%2").arg(method).arg(n), {}, refusal.isEmpty() ? 2000 : 10000);
        };
        control(command);
        const QJsonObject first = call(++id);
        if (refusal.isEmpty()) {
            QVERIFY(first.contains(QStringLiteral("timeout")));
        } else {
            QCOMPARE(first.value(QStringLiteral("completed")).toBool(), false);
            const QJsonObject error = first.value(QStringLiteral("error")).toObject();
            QCOMPARE(error.value(error.contains(QStringLiteral("what")) ? QStringLiteral("what") : QStringLiteral("description")).toString(), refusal);
            if (method.startsWith(QLatin1String("dispenser")))
                QVERIFY(error.value(QStringLiteral("code")).toInt() > 0);
        }
        QVERIFY(!call(++id).contains(QStringLiteral("timeout")));
    }

    void quitsOnCommand()
    {
        control(QStringLiteral("quit"));
        QVERIFY(m_simulator.waitForFinished(10000));
        QCOMPARE(m_simulator.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_simulator.exitCode(), 0);
        // The services leave a "down" status behind for late listeners.
        QVERIFY(!waitFor(QStringLiteral("kivo/blm/status"), [](const QJsonObject &o) {
                    return o.contains(QStringLiteral("service")) && !o.value(QStringLiteral("service")).toBool();
                }).contains(QStringLiteral("timeout")));
    }
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"

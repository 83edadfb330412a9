#include "Dispenser.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"

#include <QJsonDocument>
#include <QTimer>
#include <QtTest>

using manager::Dispenser;
using manager::MqttClient;

namespace {

struct Outcome
{
    int resolved = 0;
    int rejected = 0;
    Dispenser::Result result;
};

std::shared_ptr<Outcome> observe(Deferred<Dispenser::Result> deferred)
{
    auto outcome = std::make_shared<Outcome>();
    deferred
        .done([outcome](const Dispenser::Result &r) {
            ++outcome->resolved;
            outcome->result = r;
        })
        .fail([outcome](const Dispenser::Result &r) {
            ++outcome->rejected;
            outcome->result = r;
        });
    return outcome;
}

bool settled(const std::shared_ptr<Outcome> &o)
{
    return o->resolved + o->rejected > 0;
}

} // namespace

// The dispenser service client against a real broker; the peer plays the
// service.
class tst_Dispenser : public QObject
{
    Q_OBJECT

private:
    // Messages of one publisher arrive in order: once the info message with a
    // new model is seen, everything published before it has been handled.
    bool flush()
    {
        const QString model = QStringLiteral("M%1").arg(++m_counter);
        const QByteArray info = "{\"device\":{\"manufacturer\":\"ACME\",\"model\":\"" + model.toUtf8()
            + "\"},\"service\":{\"version\":\"1.4\"}}";
        // Repeated until the subscriptions are live.
        return QTest::qWaitFor([&] { return m_peer.publish(m_base + "/info", info), m_dispenser->model() == model; },
                               10000);
    }

    bool hasTimer(int interval) const
    {
        const auto timers = m_mqtt->findChildren<QTimer *>();
        return std::any_of(timers.begin(), timers.end(),
                           [interval](QTimer *t) { return t->isActive() && t->interval() == interval; });
    }

    MosquittoBroker m_broker;
    MqttPeer m_peer;
    int m_counter = 0;
    QString m_base;
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<Dispenser> m_dispenser;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), QStringLiteral("service")));
    }

    // Each test has its own connection and topic base.
    void init()
    {
        m_base = QStringLiteral("t%1/dispenser").arg(++m_counter);
        m_mqtt = std::make_unique<MqttClient>();
        m_mqtt->setHostname(m_broker.host());
        m_mqtt->setPort(m_broker.port());
        m_mqtt->setClientId(m_base);
        m_dispenser = std::make_unique<Dispenser>(*m_mqtt, m_base);
        QSignalSpy connected(m_mqtt.get(), &MqttClient::connected);
        m_mqtt->connect();
        QVERIFY(connected.wait(10000));
        QVERIFY(flush());
    }

    void cleanup()
    {
        m_dispenser.reset();
        m_mqtt.reset();
    }

    void statusFlags()
    {
        Dispenser &d = *m_dispenser;
        QCOMPARE(d.manufacturer(), QStringLiteral("ACME"));
        QCOMPARE(d.software(), QStringLiteral("1.4"));
        QCOMPARE(d.firmware(), QString());

        QStringList order;
        connect(&d, &Dispenser::activeChanged, this, [&] { order << "active"; });
        connect(&d, &Dispenser::isJammedChanged, this, [&] { order << "jammed"; });
        connect(&d, &Dispenser::isDoorOpenChanged, this, [&] { order << "door"; });
        connect(&d, &Dispenser::cardInMouthChanged, this, [&] { order << "mouth"; });
        connect(&d, &Dispenser::cardInRfidChanged, this, [&] { order << "rfid"; });
        LogRecorder log;

        const QByteArray all = R"({"service":true,"device":{"active":true,"isJammed":true,)"
                               R"("isCartridgeDoorOpen":true,"cardInMouth":true,"cardInRfid":true}})";
        m_peer.publish(m_base + "/status", all);
        QTRY_VERIFY_WITH_TIMEOUT(d.cardInRfid(), 10000);
        QCOMPARE(order, QStringList({"active", "jammed", "door", "mouth", "rfid"}));
        QVERIFY(d.active() && d.isJammed() && d.isDoorOpen() && d.cardInMouth());
        QCOMPARE(log.matching("[Dispenser] "),
                 QStringList({"[Dispenser] Active changed : true", "[Dispenser] Jammed changed : true",
                              "[Dispenser] Door state changed : Open", "[Dispenser] Card in Mouth changed true",
                              "[Dispenser] Card in RFID changed true"}));
        QCOMPARE(log.lines(QtWarningMsg),
                 QStringList({"[Dispenser] Card in Mouth changed true", "[Dispenser] Card in RFID changed true"}));

        // The same state again changes nothing.
        order.clear();
        m_peer.publish(m_base + "/status", all);
        QVERIFY(flush());
        QCOMPARE(order, QStringList());

        // Offline: only "active" drops, the last positions are kept.
        log.clear();
        m_peer.publish(m_base + "/status", R"({"service":false,"device":{"isJammed":false}})");
        QTRY_VERIFY_WITH_TIMEOUT(!d.active(), 10000);
        QCOMPARE(order, QStringList({"active"}));
        QVERIFY(d.isJammed() && d.isDoorOpen() && d.cardInMouth() && d.cardInRfid());
        QCOMPARE(log.matching("[Dispenser] "), QStringList({"[Dispenser] Active changed : false"}));

        // A missing key reads as false.
        order.clear();
        log.clear();
        m_peer.publish(m_base + "/status", R"({"service":true,"device":{"active":true,"isJammed":true,)"
                                             R"("cardInMouth":true,"cardInRfid":true}})");
        QTRY_VERIFY_WITH_TIMEOUT(!d.isDoorOpen(), 10000);
        QCOMPARE(order, QStringList({"active", "door"}));
        QCOMPARE(log.matching("[Dispenser] "),
                 QStringList({"[Dispenser] Active changed : true", "[Dispenser] Door state changed : Closed"}));
    }

    void cardEventsAndBadInput()
    {
        Dispenser &d = *m_dispenser;
        QSignalSpy accepted(&d, &Dispenser::cardAccepted);
        QSignalSpy removed(&d, &Dispenser::cardRemoved);
        QSignalSpy disposed(&d, &Dispenser::cardDisposed);
        QSignalSpy active(&d, &Dispenser::activeChanged);
        LogRecorder log;

        // The service announces card events with empty payloads.
        m_peer.publish(m_base + "/card/inserted", QByteArray());
        m_peer.publish(m_base + "/card/removed", QByteArray());
        m_peer.publish(m_base + "/card/disposed", "{\"reason\":\"bad\"}");
        m_peer.publish(m_base + "/status", "{\"service\": true, \"device\": {\"active\": tr");
        QVERIFY(flush());
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(disposed.size(), 1);
        QCOMPARE(active.size(), 0);
        QCOMPARE(log.lines(QtCriticalMsg),
                 QStringList({"[Dispenser] ERROR: Failed to parse JSON message (topic=" + m_base
                              + "/status) :{\"service\": true, \"device\": {\"active\": tr )"}));
    }

    void moves()
    {
        Dispenser &d = *m_dispenser;
        const QString base = m_base;
        QVERIFY(m_peer.setResponder(base + "/#", [base](const QString &topic, const QByteArray &)
                                        -> std::optional<QByteArray> {
            const QString method = topic.mid(base.size()).section("/request/", 0, 0);
            if (method == "/issue" || method == "/collect" || method == "/accept/enable")
                return QByteArray(R"({"completed":true})");
            if (method == "/accept")
                return QByteArray(R"({"completed":false,"error":{"code":17,"description":"Mouth empty"}})");
            if (method == "/eject")
                return QByteArray(R"({"completed":false,"error":{"description":"Transport blocked"}})");
            if (method == "/dispose")
                return QByteArray("[1]");
            if (method == "/accept/disable")
                return QByteArray();
            return std::nullopt;
        }));

        struct Call
        {
            Deferred<Dispenser::Result> (Dispenser::*operation)();
            bool success;
            Dispenser::Result result;
        };
        // An answer without "completed" is a refusal, even with nothing to say.
        const QList<Call> calls = {
            {&Dispenser::issue, true, {0, ""}},
            {&Dispenser::accept, false, {17, "Mouth empty"}},
            {&Dispenser::eject, false, {0, "Transport blocked"}},
            {&Dispenser::dispose, false, {-1, "Invalid response"}},
            {&Dispenser::collect, true, {0, ""}},
            {&Dispenser::enableAccept, true, {0, ""}},
            {&Dispenser::disableAccept, false, {0, ""}},
        };
        for (const Call &call : calls) {
            auto outcome = observe((d.*call.operation)());
            QTRY_VERIFY_WITH_TIMEOUT(settled(outcome), 10000);
            QCOMPARE(outcome->resolved, call.success ? 1 : 0);
            QCOMPARE(outcome->result.code, call.result.code);
            QCOMPARE(outcome->result.error, call.result.error);
        }

        QStringList requests;
        for (const auto &m : m_peer.messages()) {
            if (m.topic.startsWith(base) && m.topic.contains("/request/")) {
                requests << m.topic.mid(base.size());
                QCOMPARE(QJsonDocument::fromJson(m.payload).object(), QJsonObject());
            }
        }
        QCOMPARE(requests, QStringList({"/issue/request/1", "/accept/request/2", "/eject/request/3",
                                        "/dispose/request/4", "/collect/request/5", "/accept/enable/request/6",
                                        "/accept/disable/request/7"}));
        // Moves get the long time-out; the timer of the pending call shows it.
        m_peer.setResponder(base + "/#", [](const QString &, const QByteArray &) { return std::nullopt; });
        auto pending = observe(d.issue());
        QVERIFY(hasTimer(20000));
        QVERIFY(!settled(pending));
    }

    void waitCollect()
    {
        Dispenser &d = *m_dispenser;
        QSignalSpy removed(&d, &Dispenser::cardRemoved);

        // Seconds, not milliseconds.
        auto collected = observe(d.waitCollect(60));
        QVERIFY(hasTimer(60000));
        QVERIFY(!settled(collected));
        // The dispenser's own subscription to the topic is already live.
        QVERIFY(m_peer.publish(m_base + "/card/removed", QByteArray()));
        QTRY_VERIFY_WITH_TIMEOUT(settled(collected), 10000);
        QCOMPARE(collected->resolved, 1);
        QCOMPARE(collected->result.code, 0);
        QVERIFY(!removed.isEmpty());

        auto notTaken = observe(d.waitCollect(0));
        QTRY_VERIFY_WITH_TIMEOUT(settled(notTaken), 10000);
        QCOMPARE(notTaken->rejected, 1);
        QCOMPARE(notTaken->result.code, -1);
        QCOMPARE(notTaken->result.error, QStringLiteral("Timeout"));

        // Far beyond what a timer takes: clamped, not wrapped round.
        auto huge = observe(d.waitCollect(3000000));
        QVERIFY(hasTimer(std::numeric_limits<int>::max()));
        QVERIFY(!settled(huge));

        m_mqtt->disconnect();
        QTRY_VERIFY_WITH_TIMEOUT(m_mqtt->state() != manager::MqttTransport::Connected, 10000);
        auto offline = observe(d.waitCollect(60));
        QCOMPARE(offline->rejected, 1);
        QCOMPARE(offline->result.code, -1);
        QCOMPARE(offline->result.error, QStringLiteral("Not connected"));
    }
};

QTEST_GUILESS_MAIN(tst_Dispenser)
#include "tst_dispenser.moc"

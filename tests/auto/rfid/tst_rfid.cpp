#include "LTXGv1Card.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"
#include "RFID.h"

#include <QJsonDocument>
#include <QtTest>

using manager::MqttClient;
using manager::RFID;

namespace {

struct Outcome
{
    int resolved = 0;
    int rejected = 0;
    RFID::Result result;
};

std::shared_ptr<Outcome> observe(Deferred<RFID::Result> deferred)
{
    auto outcome = std::make_shared<Outcome>();
    deferred
        .done([outcome](const RFID::Result &r) {
            ++outcome->resolved;
            outcome->result = r;
        })
        .fail([outcome](const RFID::Result &r) {
            ++outcome->rejected;
            outcome->result = r;
        });
    return outcome;
}

bool settled(const std::shared_ptr<Outcome> &o)
{
    return o->resolved + o->rejected > 0;
}

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

// The RFID service client against a real broker; the peer plays the service.
class tst_RFID : public QObject
{
    Q_OBJECT

private:
    // Messages of one publisher arrive in order: once the info message with a
    // new model is seen, everything published before it has been handled.
    bool flush()
    {
        const QString model = QStringLiteral("M%1").arg(++m_counter);
        const QByteArray info = "{\"device\":{\"uid\":\"R1\",\"model\":\"" + model.toUtf8()
            + "\"},\"service\":{\"version\":\"2.1\"}}";
        // Repeated until the wildcard subscription is live.
        return QTest::qWaitFor([&] { return m_peer.publish(m_base + "/info", info), m_rfid->model() == model; },
                               10000);
    }

    void setState(int state)
    {
        m_peer.publish(m_base + "/status", json({{"service", true}, {"device", QJsonObject{{"state", state}}}}));
        QTRY_COMPARE_WITH_TIMEOUT(int(m_rfid->state()), state, 10000);
    }

    MosquittoBroker m_broker;
    MqttPeer m_peer;
    int m_counter = 0;
    QString m_base;
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<RFID> m_rfid;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), QStringLiteral("service")));
    }

    // Each test has its own connection and topic base.
    void init()
    {
        m_base = QStringLiteral("t%1/rfid").arg(++m_counter);
        m_mqtt = std::make_unique<MqttClient>();
        m_mqtt->setHostname(m_broker.host());
        m_mqtt->setPort(m_broker.port());
        m_mqtt->setClientId(m_base);
        m_rfid = std::make_unique<RFID>(*m_mqtt, m_base);
        QSignalSpy connected(m_mqtt.get(), &MqttClient::connected);
        m_mqtt->connect();
        QVERIFY(connected.wait(10000));
        QVERIFY(flush());
    }

    void cleanup()
    {
        m_rfid.reset();
        m_mqtt.reset();
    }

    void statusAndActiveTag()
    {
        RFID &rfid = *m_rfid;
        QCOMPARE(rfid.software(), QStringLiteral("2.1"));
        QCOMPARE(rfid.state(), RFID::Init);
        QVERIFY(!rfid.active());
        QSignalSpy found(&rfid, &RFID::cardFound);
        QSignalSpy activeChanged(&rfid, &RFID::activeCardChanged);
        LogRecorder log;

        m_peer.publish(m_base + "/status", R"({"service":true,"device":{"state":3,"error":"antenna"}})");
        QTRY_COMPARE_WITH_TIMEOUT(rfid.state(), RFID::CardFound, 10000);
        QCOMPARE(rfid.error(), QStringLiteral("antenna"));
        QVERIFY(rfid.active());
        QVERIFY(log.contains("[RFID] State changed : CardFound"));

        // The same tag object twice builds two records, both announced.
        m_peer.publish(m_base + "/card/found", R"({"uid":"04A1","type":4})");
        m_peer.publish(m_base + "/card/found", R"({"uid":"04A1","type":4})");
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 2, 10000);
        const auto first = found.at(0).at(0).value<Tag::Ptr>();
        const auto second = found.at(1).at(0).value<Tag::Ptr>();
        QVERIFY(first && second && first != second);
        QCOMPARE(second, rfid.activeCard());
        QCOMPARE(second->uid(), QStringLiteral("04A1"));
        QCOMPARE(second->type(), Tag::MIFARE_Classic_1K);
        QCOMPARE(activeChanged.size(), 2);
        QCOMPARE(log.matching("Active tag changed"),
                 QStringList({"[RFID] Active tag changed : old=<none> new=04A1",
                              "[RFID] Active tag changed : old=04A1 new=04A1"}));

        // Radio off: the tag can no longer be in the field.
        log.clear();
        m_peer.publish(m_base + "/status", R"({"service":true,"device":{"state":1}})");
        QTRY_VERIFY_WITH_TIMEOUT(!rfid.activeCard(), 10000);
        QCOMPARE(rfid.state(), RFID::Idle);
        QCOMPARE(rfid.error(), QString());
        QCOMPARE(log.matching("[RFID] "), QStringList({"[RFID] State changed : Idle",
                                           "[RFID] WARN: RF disabled. Clearing active card",
                                           "[RFID] Active tag changed : old=04A1 new=<none>"}));
        QCOMPARE(log.lines(QtWarningMsg), QStringList({"[RFID] WARN: RF disabled. Clearing active card"}));

        // Offline: "device" is not read, the tag is kept.
        m_peer.publish(m_base + "/card/found", R"({"uid":"04B2","type":1})");
        m_peer.publish(m_base + "/status", R"({"service":false,"device":{"state":3,"error":"x"}})");
        QTRY_COMPARE_WITH_TIMEOUT(rfid.state(), RFID::Error, 10000);
        QCOMPARE(rfid.error(), QStringLiteral("Service is offline"));
        QVERIFY(!rfid.active());
        QCOMPARE(rfid.activeCard()->uid(), QStringLiteral("04B2"));

        // A state the table does not know is kept as it comes.
        setState(42);
        QVERIFY(!rfid.active());
        QVERIFY(log.contains("[RFID] State changed : Unknown"));
    }

    void cardEventsAndBadInput()
    {
        RFID &rfid = *m_rfid;
        QSignalSpy removed(&rfid, &RFID::cardRemoved);
        QSignalSpy autoread(&rfid, &RFID::cardAutoread);
        QSignalSpy autoreadFailed(&rfid, &RFID::cardAutoreadFailed);
        QSignalSpy stateChanged(&rfid, &RFID::stateChanged);
        m_peer.publish(m_base + "/card/found", R"({"uid":"04A1","type":4})");
        QTRY_VERIFY_WITH_TIMEOUT(rfid.activeCard(), 10000);
        const Tag::Ptr tag = rfid.activeCard();
        LogRecorder log;

        // Empty and malformed payloads are logged with the raw text, nothing else.
        m_peer.publish(m_base + "/card/removed", QByteArray());
        m_peer.publish(m_base + "/status", "{\"service\": tru");
        QVERIFY(flush());
        QCOMPARE(log.lines(QtCriticalMsg), QStringList({"[RFID] Failed to parse JSON message: ",
                                                        "[RFID] Failed to parse JSON message: {\"service\": tru"}));
        QCOMPARE(removed.size(), 0);
        QCOMPARE(stateChanged.size(), 0);
        QCOMPARE(rfid.activeCard(), tag);

        m_peer.publish(m_base + "/card/removed", "{}");
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 10000);
        QCOMPARE(removed.first().first().value<Tag::Ptr>(), tag);
        QVERIFY(!rfid.activeCard());

        // A failed autoread leaves the active tag alone.
        m_peer.publish(m_base + "/card/found", R"({"uid":"04C3","type":4})");
        m_peer.publish(m_base + "/card/autoread", R"({"error":{"what":"Authentication failed"}})");
        QTRY_COMPARE_WITH_TIMEOUT(autoreadFailed.size(), 1, 10000);
        QCOMPARE(autoreadFailed.first().first().toString(), QStringLiteral("Authentication failed"));
        QCOMPARE(autoread.size(), 0);
        QCOMPARE(rfid.activeCard()->uid(), QStringLiteral("04C3"));

        m_peer.publish(m_base + "/card/autoread",
                       R"({"uid":"04C3","type":4,"template":"LTXGv1","data":{"info":{"customsId":9,"status":"active"},"usageCounter":3}})");
        QTRY_COMPARE_WITH_TIMEOUT(autoread.size(), 1, 10000);
        const auto card = autoread.first().first().value<Card::Ptr>().staticCast<LTXGv1Card>();
        QVERIFY(card);
        QCOMPARE(Tag::Ptr(card), rfid.activeCard());
        QCOMPARE(card->customsId(), 9);
        QCOMPARE(card->usageCounter(), 3);

        // A template this terminal does not know gives no record.
        m_peer.publish(m_base + "/card/autoread", R"({"uid":"04C3","type":4,"template":"LTXGv2"})");
        QTRY_COMPARE_WITH_TIMEOUT(autoread.size(), 2, 10000);
        QVERIFY(!autoread.at(1).first().value<Card::Ptr>());
        QVERIFY(!rfid.activeCard());
    }

    void calls()
    {
        RFID &rfid = *m_rfid;
        const QString base = m_base;
        QVERIFY(m_peer.setResponder(base + "/#", [base](const QString &topic, const QByteArray &payload)
                                        -> std::optional<QByteArray> {
            const QString method = topic.mid(base.size()).section("/request/", 0, 0);
            if (method == "/enable")
                return QByteArray(R"({"completed":true})");
            if (method == "/card/create")
                return QByteArray(R"({"completed":true,"data":{"uid":"04E5","type":8,"template":"LTXGv1","data":{}}})");
            if (method == "/card/write") // echoes the card as written
                return "{\"completed\":true,\"data\":" + payload + "}";
            if (method == "/card/read")
                return QByteArray(R"({"completed":false,"error":{"what":"Card not readable"}})");
            if (method == "/disable")
                return QByteArray(R"({"completed":true,"data":{"uid":"04E5","type":8,"template":"Foreign"}})");
            return std::nullopt;
        }));

        // Nothing to write is refused here, without a request.
        auto nothing = observe(rfid.writeCard(Card::Ptr()));
        QCOMPARE(nothing->rejected, 1);
        QCOMPARE(nothing->result.error, QStringLiteral("No card to write"));

        auto enabled = observe(rfid.enable(true));
        QTRY_VERIFY_WITH_TIMEOUT(settled(enabled), 10000);
        QCOMPARE(enabled->resolved, 1);
        QVERIFY(!enabled->result.card);

        auto created = observe(rfid.createCard(LTXGv1Card::Name));
        QTRY_VERIFY_WITH_TIMEOUT(settled(created), 10000);
        QCOMPARE(created->resolved, 1);
        QCOMPARE(created->result.card->uid(), QStringLiteral("04E5"));
        QCOMPARE(rfid.activeCard(), created->result.card);

        auto card = LTXGv1Card::Ptr::create();
        card->setUid("04E5");
        card->setCustomsId(1);
        card->incrUsageCounter(1);
        card->addUsageLog("entry", "DEV1", "kivo-rnd");
        auto written = observe(rfid.writeCard(card));
        QTRY_VERIFY_WITH_TIMEOUT(settled(written), 10000);
        QCOMPARE(written->resolved, 1);
        const auto echoed = written->result.card.staticCast<LTXGv1Card>();
        QCOMPARE(echoed->customsId(), 1);
        QCOMPARE(echoed->usageLogs().size(), 1);

        auto read = observe(rfid.readCard(LTXGv1Card::Name, 5));
        QTRY_VERIFY_WITH_TIMEOUT(settled(read), 10000);
        QCOMPARE(read->rejected, 1);
        QCOMPARE(read->result.error, QStringLiteral("Card not readable"));
        QVERIFY(!read->result.card);
        QCOMPARE(rfid.activeCard(), written->result.card); // a refused call changes nothing

        // A card the factory cannot build resolves empty and clears the tag.
        auto disabled = observe(rfid.disable());
        QTRY_VERIFY_WITH_TIMEOUT(settled(disabled), 10000);
        QCOMPARE(disabled->resolved, 1);
        QVERIFY(!disabled->result.card);
        QVERIFY(!rfid.activeCard());

        // One counter across all operations, starting at 1.
        QStringList requests;
        QList<QJsonObject> params;
        for (const auto &m : m_peer.messages()) {
            if (m.topic.startsWith(base) && m.topic.contains("/request/")) {
                requests << m.topic.mid(base.size());
                params << QJsonDocument::fromJson(m.payload).object();
            }
        }
        QCOMPARE(requests, QStringList({"/enable/request/1", "/card/create/request/2", "/card/write/request/3",
                                        "/card/read/request/4", "/disable/request/5"}));
        QCOMPARE(params.at(0), QJsonObject({{"autoread", true}}));
        QCOMPARE(params.at(1), QJsonObject({{"template", "LTXGv1"}}));
        QCOMPARE(params.at(2).value("uid").toString(), QStringLiteral("04E5"));
        QCOMPARE(params.at(2).value("template").toString(), QStringLiteral("LTXGv1"));
        QCOMPARE(params.at(2).value("data").toObject(), card->data());
        QCOMPARE(params.at(3), QJsonObject({{"template", "LTXGv1"}, {"usageLogs", 5}, {"topupLogs", 0}}));
        QCOMPARE(params.at(4), QJsonObject());

        // An answer that comes after the client is gone still settles the call.
        m_peer.setResponder(base + "/#", [](const QString &, const QByteArray &) -> std::optional<QByteArray> {
            QThread::msleep(300);
            return QByteArray(R"({"completed":true,"data":{"uid":"04E5","type":8,"template":"LTXGv1"}})");
        });
        auto late = observe(rfid.enable(false));
        m_rfid.reset();
        QTRY_VERIFY_WITH_TIMEOUT(settled(late), 10000);
        QCOMPARE(late->result.card->uid(), QStringLiteral("04E5"));

        // A failure of the messaging layer comes through as the error text.
        m_rfid = std::make_unique<RFID>(*m_mqtt, base);
        m_mqtt->disconnect();
        QTRY_VERIFY_WITH_TIMEOUT(m_mqtt->state() != manager::MqttTransport::Connected, 10000);
        auto offline = observe(m_rfid->enable(false));
        QCOMPARE(offline->rejected, 1);
        QCOMPARE(offline->result.error, QStringLiteral("Not connected"));
        QVERIFY(!m_rfid->beepValid());
    }

    void waitCardFoundAndBeeps()
    {
        RFID &rfid = *m_rfid;

        // Radio off (or not yet reported): refused without waiting.
        auto init = observe(rfid.waitCardFound(3000));
        QCOMPARE(init->rejected, 1);
        QCOMPARE(init->result.error, QStringLiteral("RF is disabled"));
        setState(RFID::Idle);
        auto idle = observe(rfid.waitCardFound(3000));
        QCOMPARE(idle->rejected, 1);
        QCOMPARE(idle->result.error, QStringLiteral("RF is disabled"));

        // Searching: the next "/card/found" settles it.
        setState(RFID::Searching);
        QSignalSpy found(&rfid, &RFID::cardFound);
        auto searching = observe(rfid.waitCardFound(10000));
        QVERIFY(!settled(searching));
        QTRY_VERIFY_WITH_TIMEOUT((m_peer.publish(m_base + "/card/found", R"({"uid":"04F6","type":2})"),
                                  settled(searching)),
                                 10000);
        QCOMPARE(searching->resolved, 1);
        QCOMPARE(searching->result.card->uid(), QStringLiteral("04F6"));
        QCOMPARE(searching->result.card->type(), Tag::ISO14443_4B);
        QTRY_VERIFY_WITH_TIMEOUT(!found.isEmpty(), 10000);

        QVERIFY(flush()); // the extra copies published above
        auto none = observe(rfid.waitCardFound(200));
        QTRY_VERIFY_WITH_TIMEOUT(settled(none), 10000);
        QCOMPARE(none->rejected, 1);
        QCOMPARE(none->result.error, QStringLiteral("Timeout"));

        // A tag in the field: answered at once with the active tag.
        setState(RFID::CardFound);
        QVERIFY(rfid.activeCard());
        auto present = observe(rfid.waitCardFound(3000));
        QCOMPARE(present->resolved, 1);
        QCOMPARE(present->result.card, rfid.activeCard());

        QVERIFY(m_peer.subscribe(m_base + "/beep/#"));
        QVERIFY(rfid.beepValid());
        QVERIFY(rfid.beepInvalid());
        for (const char *sound : {"/beep/valid", "/beep/invalid"}) {
            const auto beep = m_peer.waitForMessage(m_base + sound);
            QVERIFY(beep);
            QVERIFY(beep->payload.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(tst_RFID)
#include "tst_rfid.moc"

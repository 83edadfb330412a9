#include "CardIssuer.h"
#include "Dispenser.h"
#include "FakeCardService.h"
#include "LTXGv1Card.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "RFID.h"

#include <QJsonArray>
#include <QtTest>

#include <functional>
#include <memory>

using manager::CardIssuer;
using Reply = FakeCardService::Reply;
using Setup = std::function<void(FakeCardService &)>;
Q_DECLARE_METATYPE(Setup)

namespace {

// What an issuer call settled with, observed from outside.
struct Outcome
{
    int resolved = 0;
    int rejected = 0;
    CardIssuer::Result result;
    bool settled() const { return resolved + rejected > 0; }
};

std::shared_ptr<Outcome> observe(Deferred<CardIssuer::Result> deferred)
{
    auto outcome = std::make_shared<Outcome>();
    deferred
        .done([outcome](const CardIssuer::Result &r) {
            ++outcome->resolved;
            outcome->result = r;
        })
        .fail([outcome](const CardIssuer::Result &r) {
            ++outcome->rejected;
            outcome->result = r;
        });
    return outcome;
}

Card::Ptr entryCard()
{
    auto card = LTXGv1Card::Ptr::create();
    card->setCustomsId(1);
    card->setStatus(QStringLiteral("active"));
    card->incrUsageCounter(1);
    card->addUsageLog(QStringLiteral("entry"), QStringLiteral("dev-17"), QStringLiteral("kivo-rnd"));
    return card;
}

// The issuer's own lines, less the state evaluation and its changes.
QStringList cycleLines(const LogRecorder &log)
{
    QStringList lines;
    for (const QString &line : log.matching(QStringLiteral("[CardIssuer] "))) {
        if (!line.contains(QLatin1String("checkState()")) && !line.contains(QLatin1String("State changed")))
            lines << line;
    }
    return lines;
}

// A broker, the fake services and the issuer on its own connection.
struct Rig
{
    MosquittoBroker broker;
    std::unique_ptr<FakeCardService> fake;
    std::unique_ptr<manager::MqttClient> mqtt;
    std::unique_ptr<manager::RFID> rfid;
    std::unique_ptr<manager::Dispenser> dispenser;
    std::unique_ptr<CardIssuer> issuer;

    ~Rig()
    {
        issuer.reset();
        dispenser.reset();
        rfid.reset();
        mqtt.reset();
        fake.reset();
    }
};

} // namespace

class tst_CardIssuer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Rig> m_rig;

    FakeCardService &fake() { return *m_rig->fake; }
    CardIssuer &issuer() { return *m_rig->issuer; }

    // Waits for the call to settle, then a little longer so that a second
    // settlement would show.
    static bool settle(const std::shared_ptr<Outcome> &outcome, int ms = 15000)
    {
        if (!QTest::qWaitFor([&] { return outcome->settled(); }, ms))
            return false;
        QTest::qWait(100);
        return outcome->resolved + outcome->rejected == 1;
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<Rig>();
        QVERIFY2(m_rig->broker.start(), qPrintable(m_rig->broker.log()));
        m_rig->fake = std::make_unique<FakeCardService>(m_rig->broker);
        QVERIFY(m_rig->fake->start());
        m_rig->mqtt = std::make_unique<manager::MqttClient>();
        m_rig->mqtt->setHostname(m_rig->broker.host());
        m_rig->mqtt->setPort(m_rig->broker.port());
        m_rig->mqtt->setClientId(QStringLiteral("ui_under_test"));
        m_rig->rfid = std::make_unique<manager::RFID>(*m_rig->mqtt, QStringLiteral("kivo/rfid"));
        m_rig->dispenser = std::make_unique<manager::Dispenser>(*m_rig->mqtt, QStringLiteral("kivo/dispenser"));
        m_rig->issuer = std::make_unique<CardIssuer>(*m_rig->rfid, *m_rig->dispenser);
        QCOMPARE(m_rig->issuer->state(), CardIssuer::Init);
        QSignalSpy connected(m_rig->mqtt.get(), &manager::MqttClient::connected);
        m_rig->mqtt->connect();
        QVERIFY(connected.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(m_rig->issuer->state(), CardIssuer::Ready, 10000);
    }

    void cleanup() { m_rig.reset(); }

    void successfulCycleFromEmptyTerminal()
    {
        LogRecorder log;
        QSignalSpy collected(&issuer(), &CardIssuer::cardCollected);
        const auto outcome = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(outcome));
        QCOMPARE(outcome->resolved, 1);
        QCOMPARE(outcome->result.error, QString());
        QVERIFY(!outcome->result.card);

        const QString uid = fake().cardUid();
        QVERIFY(!uid.isEmpty());
        const QStringList expected = {
            "[CardIssuer] WARN: Card not present. Preparing.",
            "[CardIssuer] Moving card on RFID",
            "[CardIssuer] Reading card UID",
            "[CardIssuer] RFID enabled.",
            "[CardIssuer] Card found : " + uid,
            "[CardIssuer] RFID disabled",
            "[CardIssuer] Creating card : LTXGv1",
            "[CardIssuer] RFID enabled.",
            "[CardIssuer] Card found : " + uid,
            "[CardIssuer] Writing card : " + uid,
            "[CardIssuer] Card written successfully : " + uid,
            "[CardIssuer] RFID disabled",
            "[CardIssuer] Ejecting card",
            "[CardIssuer] Card ejected successfully",
            "[CardIssuer] Waiting for card to be collected (timeout=60 sec)",
            "[CardIssuer] Card collected successfully",
        };
        QCOMPARE(cycleLines(log), expected);
        QCOMPARE(fake().calls(),
                 QStringList({ "dispenser/issue", "rfid/enable", "rfid/disable", "rfid/enable", "rfid/card/create",
                               "rfid/card/write", "rfid/disable", "dispenser/eject" }));

        // The caller's payload reached the reader untouched.
        const QJsonObject written = fake().lastWritten();
        QCOMPARE(written.value("template").toString(), QStringLiteral("LTXGv1"));
        const QJsonObject data = written.value("data").toObject();
        QCOMPARE(data.value("usageCounter").toInt(), 1);
        QCOMPARE(data.value("info").toObject().value("status").toString(), QStringLiteral("active"));
        QCOMPARE(data.value("usageLog").toArray().size(), 1);

        QCOMPARE(collected.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(issuer().state(), CardIssuer::Ready, 5000);
        QVERIFY(!issuer().currCard());
        QVERIFY(log.lines(QtCriticalMsg).isEmpty());
        // The states went through, the last with an empty reason.
        QVERIFY(log.contains("[CardIssuer] State changed : (1) Busy (reason=Card on RFID)"));
        QVERIFY(log.contains("[CardIssuer] State changed : (1) Busy (reason=Card in Mouth)"));
        QVERIFY(!log.matching("State changed : (2)").isEmpty());
        QCOMPARE(log.matching("State changed : (2)").last(), QStringLiteral("[CardIssuer] State changed : (2) Ready "));
        QVERIFY(log.contains("[CardIssuer] checkState() : Dispenser(true) RFID(Idle) cardInRfid(false) "
                             "cardInMouth(false)"));
    }

    void failedStep_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("disposed");

        const QStringList read = { "dispenser/issue", "rfid/enable", "rfid/disable" };
        QTest::newRow("issue refused")
            << Setup([](FakeCardService &f) { f.script(FakeCardService::Dispenser, "/issue", Reply::refuse("Cartridge empty", 7)); })
            << "Issue failed : Cartridge empty" << QStringList{ "dispenser/issue" } << false;
        QTest::newRow("accept refused")
            << Setup([](FakeCardService &f) {
                   f.setAutoCollect(false); // nobody takes it
                   f.placeCardInMouth();
                   f.script(FakeCardService::Dispenser, "/accept", Reply::refuse("Motor fault", 6));
               })
            << "Accept failed : Motor fault" << QStringList{ "dispenser/accept" } << false;
        QTest::newRow("read: enable refused")
            << Setup([](FakeCardService &f) { f.script(FakeCardService::Rfid, "/enable", Reply::refuse("Reader busy")); })
            << "RFID enable failed : Reader busy" << QStringList{ "dispenser/issue", "rfid/enable", "dispenser/dispose" }
            << true;
        // No card comes: the search times out, and the disposal that follows
        // fails too without changing the reason.
        QTest::newRow("read: no card found")
            << Setup([](FakeCardService &f) {
                   f.script(FakeCardService::Dispenser, "/issue", Reply::answer({ { "completed", true } }));
               })
            << "Failed to find card : Timeout" << QStringList{ "dispenser/issue", "rfid/enable", "dispenser/dispose" }
            << true;
        QTest::newRow("create: enable refused")
            << Setup([](FakeCardService &f) {
                   f.script(FakeCardService::Rfid, "/enable", Reply());
                   f.script(FakeCardService::Rfid, "/enable", Reply::refuse("Reader busy"));
               })
            << "RFID enable failed : Reader busy" << (read + QStringList{ "rfid/enable", "dispenser/dispose" })
            << true;
        QTest::newRow("create: radio not searching")
            << Setup([](FakeCardService &f) {
                   f.script(FakeCardService::Rfid, "/enable", Reply());
                   f.script(FakeCardService::Rfid, "/enable", Reply::answer({ { "completed", true } }));
               })
            << "Card search failed : RF is disabled" << (read + QStringList{ "rfid/enable", "dispenser/dispose" })
            << true;
        QTest::newRow("create refused")
            << Setup([](FakeCardService &f) {
                   f.script(FakeCardService::Rfid, "/card/create", Reply::refuse("Unknown template"));
               })
            << "Create card failed : Unknown template"
            << (read + QStringList{ "rfid/enable", "rfid/card/create", "dispenser/dispose" }) << true;
        QTest::newRow("write refused")
            << Setup([](FakeCardService &f) { f.script(FakeCardService::Rfid, "/card/write", Reply::refuse("Auth error")); })
            << "Write card failed : Auth error"
            << (read + QStringList{ "rfid/enable", "rfid/card/create", "rfid/card/write", "dispenser/dispose" }) << true;
        QTest::newRow("write unanswered")
            << Setup([](FakeCardService &f) { f.script(FakeCardService::Rfid, "/card/write", Reply::never()); })
            << "Write card failed : Timeout"
            << (read + QStringList{ "rfid/enable", "rfid/card/create", "rfid/card/write", "dispenser/dispose" }) << true;
        QTest::newRow("eject refused")
            << Setup([](FakeCardService &f) {
                   f.script(FakeCardService::Dispenser, "/eject", Reply::refuse("Mouth blocked", 9));
               })
            << "Failed to eject card : Mouth blocked"
            << (read + QStringList{ "rfid/enable", "rfid/card/create", "rfid/card/write", "rfid/disable", "dispenser/eject" })
            << false;
    }

    // One failing step per row: the chain stops there, the caller gets the
    // step's reason once, and a bad card goes to the bin and is counted.
    void failedStep()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, error);
        QFETCH(QStringList, calls);
        QFETCH(bool, disposed);

        setup(fake());
        QTRY_COMPARE_WITH_TIMEOUT(m_rig->dispenser->cardInMouth(), fake().cardInMouth(), 5000);
        LogRecorder log;
        QSignalSpy disposedSpy(&issuer(), &CardIssuer::cardDisposed);
        const auto outcome = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(outcome));
        QCOMPARE(outcome->rejected, 1);
        QCOMPARE(outcome->result.error, error);
        QVERIFY(!outcome->result.card);
        QVERIFY(log.contains("[CardIssuer] ERROR: " + error));

        QTest::qWait(200); // nothing more may go out
        QCOMPARE(fake().calls(), calls);
        QCOMPARE(log.contains("[CardIssuer] Disposing card : "), disposed);
        QCOMPARE(log.matching("Incremented fail counter").size(), disposed ? 1 : 0);
        if (disposed && !error.startsWith("Failed to find card : Timeout"))
            QTRY_COMPARE_WITH_TIMEOUT(disposedSpy.size(), 1, 5000);
        QVERIFY(!log.contains("Retracting card"));
        QVERIFY(!log.contains("already processed"));
    }

    void fourFailuresThenDoorOpen()
    {
        LogRecorder log;
        fake().script(FakeCardService::Rfid, "/enable", Reply::refuse("Reader busy"), -1);
        for (int i = 1; i <= 4; ++i) {
            const auto outcome = observe(issuer().prepareCard());
            QVERIFY(settle(outcome));
            QCOMPARE(outcome->result.error, QStringLiteral("RFID enable failed : Reader busy"));
            QVERIFY(log.contains("[CardIssuer] Incremented fail counter : " + QString::number(i)));
        }
        QCOMPARE(issuer().state(), CardIssuer::Error);
        QCOMPARE(issuer().reason(), QStringLiteral("Too many failures"));
        QVERIFY(log.contains("[CardIssuer] State changed : (3) Error (reason=Too many failures)"));

        // Refused at once, without a word to the devices.
        fake().clearRequests();
        log.clear();
        const auto refused = observe(issuer().prepareCard());
        QCOMPARE(refused->rejected, 1);
        QCOMPARE(refused->result.error, QStringLiteral("Too many failures"));

        // A card staged by hand still goes through issueCard, which does not
        // look at the state; its disposal is the fifth and counts no more.
        fake().placeCardOnReader();
        fake().setRfidState(FakeCardService::Searching);
        QTRY_COMPARE_WITH_TIMEOUT(m_rig->rfid->state(), manager::RFID::Searching, 5000);
        QSignalSpy found(m_rig->rfid.get(), &manager::RFID::cardFound);
        m_rig->mqtt->waitTopic("kivo/rfid/card/found", 5000); // the reader announces to listeners only
        QVERIFY(found.wait(5000));
        QVERIFY(issuer().currCard());
        const auto fifth = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(fifth));
        QCOMPARE(fifth->rejected, 1);
        QVERIFY(log.contains("[CardIssuer] Card present. Issuing."));
        QVERIFY(log.contains("[CardIssuer] Disposing card : "));
        QVERIFY(!log.contains("Incremented fail counter"));
        QCOMPARE(issuer().reason(), QStringLiteral("Too many failures"));
        QVERIFY(fake().calls().endsWith("dispenser/dispose"));

        // The reader in error wins over the open door and keeps the count.
        log.clear();
        fake().setRfidState(FakeCardService::Error, "Antenna");
        QTRY_COMPARE_WITH_TIMEOUT(issuer().reason(), QStringLiteral("RFID error"), 5000);
        fake().setDoorOpen(true);
        QTRY_VERIFY_WITH_TIMEOUT(m_rig->dispenser->isDoorOpen(), 5000);
        QCOMPARE(issuer().reason(), QStringLiteral("RFID error"));
        QVERIFY(!log.contains("Reset fail counter"));

        // Then the open door wins over a count of 4 and clears it.
        fake().setRfidState(FakeCardService::Idle);
        QTRY_COMPARE_WITH_TIMEOUT(issuer().reason(), QStringLiteral("Cartridge door open"), 5000);
        QCOMPARE(issuer().state(), CardIssuer::Error);
        QVERIFY(log.contains("[CardIssuer] Reset fail counter : 0"));
        fake().setDoorOpen(false);
        QTRY_COMPARE_WITH_TIMEOUT(issuer().state(), CardIssuer::Ready, 5000);
        QCOMPARE(log.matching("[CardIssuer] State changed : (2) Ready ").size(), 1);
    }

    void prepareInErrorSendsNothing()
    {
        fake().setJammed(true);
        QTRY_COMPARE_WITH_TIMEOUT(issuer().reason(), QStringLiteral("Dispenser jammed"), 5000);
        QCOMPARE(issuer().state(), CardIssuer::Error);
        fake().clearRequests();
        LogRecorder log;
        const auto outcome = observe(issuer().prepareCard());
        QCOMPARE(outcome->rejected, 1); // at once
        QCOMPARE(outcome->result.error, QStringLiteral("Dispenser jammed"));
        QTest::qWait(300);
        QVERIFY(fake().calls().isEmpty());
        QVERIFY(log.matching("[CardIssuer] ").isEmpty());

        // The dispenser dropping out is an error too, and clears the count.
        fake().setJammed(false);
        fake().setDispenserActive(false);
        QTRY_COMPARE_WITH_TIMEOUT(issuer().reason(), QStringLiteral("Dispenser error"), 5000);
    }

    void cardNotCollectedIsPulledBack()
    {
        fake().setAutoCollect(false);
        LogRecorder log;
        QSignalSpy collected(&issuer(), &CardIssuer::cardCollected);
        const auto outcome = observe(issuer().issueCard(entryCard(), 1));
        QVERIFY(settle(outcome));
        QCOMPARE(outcome->rejected, 1);
        QCOMPARE(outcome->result.error, QStringLiteral("Card was not collected"));
        // The card was pulled back before the caller heard of it.
        QCOMPARE(fake().calls().last(), QStringLiteral("dispenser/accept"));
        QVERIFY(fake().cardOnReader());
        QVERIFY(log.contains("[CardIssuer] Waiting for card to be collected (timeout=1 sec)"));
        QVERIFY(log.contains("[CardIssuer] Retracting card : "));
        QCOMPARE(collected.size(), 0);
        QVERIFY(!log.contains("Incremented fail counter"));

        // The next cycle works on that card instead of taking a new one.
        fake().setAutoCollect(true);
        fake().clearRequests();
        const auto next = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(next));
        QCOMPARE(next->resolved, 1);
        QVERIFY(!fake().calls().contains("dispenser/issue"));
        QCOMPARE(collected.size(), 1);
    }

    void enableAnsweredBeforeSearching()
    {
        fake().setEnableAnswerFirst(true);
        LogRecorder log;
        const auto outcome = observe(issuer().prepareCard());
        QVERIFY(settle(outcome));
        QCOMPARE(outcome->result.error, QStringLiteral("Failed to find card : RF is disabled"));
        QCOMPARE(fake().calls(), QStringList({ "dispenser/issue", "rfid/enable", "dispenser/dispose" }));
        QVERIFY(log.contains("[CardIssuer] Incremented fail counter : 1"));
    }

    // A radio that will not switch off must not hold up the gate: the card
    // was found or written already.
    void disableFailureStillSettles()
    {
        LogRecorder log;
        fake().script(FakeCardService::Rfid, "/disable", Reply::refuse("Radio stuck"));
        const auto prepared = observe(issuer().prepareCard());
        QVERIFY(settle(prepared));
        QCOMPARE(prepared->resolved, 1);
        QVERIFY(prepared->result.card);
        QCOMPARE(prepared->result.card->uid(), fake().cardUid());
        QVERIFY(log.contains("[CardIssuer] WARN: RFID disable failed : Radio stuck"));
        QVERIFY(!log.contains("[CardIssuer] RFID disabled"));

        log.clear();
        fake().script(FakeCardService::Rfid, "/disable", Reply::never());
        const auto issued = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(issued));
        QCOMPARE(issued->resolved, 1);
        QVERIFY(log.contains("[CardIssuer] WARN: RFID disable failed : Timeout"));
        QVERIFY(log.contains("[CardIssuer] Card collected successfully"));
        QVERIFY(log.lines(QtCriticalMsg).filter("[CardIssuer]").isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_CardIssuer)
#include "tst_cardissuer.moc"

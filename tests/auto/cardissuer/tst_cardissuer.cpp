#include "CardIssuer.h"
#include "Dispenser.h"
#include "LTXGv1Card.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"
#include "ProgramProcess.h"
#include "RFID.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#include <memory>

using manager::CardIssuer;

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

// A broker, the simulator playing the card services, an observer of their
// requests and the issuer with its clients on its own connection.
struct Rig
{
    MosquittoBroker broker;
    QProcess simulator;
    MqttPeer peer;
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
        simulator.kill();
        simulator.waitForFinished(5000);
    }
};

} // namespace

class tst_CardIssuer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Rig> m_rig;

    CardIssuer &issuer() { return *m_rig->issuer; }

    void control(const QByteArray &command) { QVERIFY(m_rig->peer.publish(QStringLiteral("sim/control"), command)); }

    // The requests the services received, as "rfid/card/write".
    QStringList calls() const
    {
        QStringList calls;
        for (const MqttPeer::Message &m : m_rig->peer.messages())
            calls << m.topic.section(QLatin1Char('/'), 1).section(QStringLiteral("/request/"), 0, 0);
        return calls;
    }

    // Waits for the call to settle, then a little longer so that a second
    // settlement would show.
    static bool settle(const std::shared_ptr<Outcome> &outcome, int ms = 30000)
    {
        if (!QTest::qWaitFor([&] { return outcome->settled(); }, ms))
            return false;
        QTest::qWait(200);
        return outcome->resolved + outcome->rejected == 1;
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<Rig>();
        QVERIFY2(m_rig->broker.start(), qPrintable(m_rig->broker.log()));
        QVERIFY(m_rig->peer.connectToBroker(m_rig->broker.host(), m_rig->broker.port(), QStringLiteral("observer")));
        for (const char *filter : { "kivo/rfid/+/request/+", "kivo/rfid/card/+/request/+", "kivo/dispenser/+/request/+" })
            QVERIFY(m_rig->peer.subscribe(QLatin1String(filter)));
        m_rig->simulator.setProcessChannelMode(QProcess::MergedChannels);
        ProgramProcess::start(m_rig->simulator, QStringLiteral(LTXG_SIMULATOR),
                              { "--host", m_rig->broker.host(), "--port", QString::number(m_rig->broker.port()),
                                "--no-console", "--take-after", "300" });
        QVERIFY2(m_rig->simulator.waitForStarted(10000), qPrintable(m_rig->simulator.errorString()));
        m_rig->mqtt = std::make_unique<manager::MqttClient>();
        m_rig->mqtt->setHostname(m_rig->broker.host());
        m_rig->mqtt->setPort(m_rig->broker.port());
        m_rig->mqtt->setClientId(QStringLiteral("ui_under_test"));
        m_rig->rfid = std::make_unique<manager::RFID>(*m_rig->mqtt, QStringLiteral("kivo/rfid"));
        m_rig->dispenser = std::make_unique<manager::Dispenser>(*m_rig->mqtt, QStringLiteral("kivo/dispenser"));
        m_rig->issuer = std::make_unique<CardIssuer>(*m_rig->rfid, *m_rig->dispenser);
        QSignalSpy connected(m_rig->mqtt.get(), &manager::MqttClient::connected);
        m_rig->mqtt->connect();
        QVERIFY(connected.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(m_rig->issuer->state(), CardIssuer::Ready, 15000);
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            qDebug().noquote() << m_rig->simulator.readAll();
        m_rig.reset();
    }

    void successfulCycle()
    {
        LogRecorder log;
        QSignalSpy collected(&issuer(), &CardIssuer::cardCollected);
        const auto outcome = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(outcome));
        QCOMPARE(outcome->resolved, 1);
        QCOMPARE(outcome->result.error, QString());
        QCOMPARE(calls(), QStringList({ "dispenser/issue", "rfid/enable", "rfid/disable", "rfid/enable",
                                        "rfid/card/create", "rfid/card/write", "rfid/disable", "dispenser/eject" }));

        // The caller's payload reached the reader untouched.
        const auto write = m_rig->peer.waitForMessage(QStringLiteral("kivo/rfid/card/write/request/+"), 0);
        QVERIFY(write);
        const QJsonObject written = QJsonDocument::fromJson(write->payload).object();
        QCOMPARE(written.value("template").toString(), QStringLiteral("LTXGv1"));
        const QJsonObject data = written.value("data").toObject();
        QCOMPARE(data.value("usageCounter").toInt(), 1);
        QCOMPARE(data.value("info").toObject().value("status").toString(), QStringLiteral("active"));
        QCOMPARE(data.value("usageLog").toArray().size(), 1);

        QCOMPARE(collected.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(issuer().state(), CardIssuer::Ready, 10000);
        QVERIFY(!issuer().currCard());
        QVERIFY(log.lines(QtCriticalMsg).isEmpty());
    }

    void failedStep_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("lastCall");
        QTest::addColumn<bool>("disposed");

        QTest::newRow("issue refused") << QByteArray("refuse dispenser issue Cartridge empty")
                                       << "Issue failed : Cartridge empty" << "dispenser/issue" << false;
        QTest::newRow("enable refused") << QByteArray("refuse rfid enable Reader busy")
                                        << "RFID enable failed : Reader busy" << "rfid/enable" << true;
        QTest::newRow("card not found") << QByteArray("silent rfid card/found") << "Failed to find card : Timeout"
                                        << "rfid/enable" << true;
        QTest::newRow("create refused") << QByteArray("refuse rfid card/create Unknown template")
                                        << "Create card failed : Unknown template" << "rfid/card/create" << true;
        QTest::newRow("write refused") << QByteArray("refuse rfid card/write Auth error")
                                       << "Write card failed : Auth error" << "rfid/card/write" << true;
        QTest::newRow("write unanswered") << QByteArray("silent rfid card/write") << "Write card failed : Timeout"
                                          << "rfid/card/write" << true;
        QTest::newRow("eject refused") << QByteArray("refuse dispenser eject Mouth blocked")
                                       << "Failed to eject card : Mouth blocked" << "dispenser/eject" << false;
    }

    // One failing step per row: the chain stops there, the caller gets the
    // step's reason once, and a bad card goes to the bin and is counted.
    void failedStep()
    {
        QFETCH(QByteArray, command);
        QFETCH(QString, error);
        QFETCH(QString, lastCall);
        QFETCH(bool, disposed);

        control(command);
        LogRecorder log;
        QSignalSpy disposedSpy(&issuer(), &CardIssuer::cardDisposed);
        const auto outcome = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(outcome));
        QCOMPARE(outcome->rejected, 1);
        QCOMPARE(outcome->result.error, error);
        QVERIFY(!outcome->result.card);

        QTest::qWait(300); // nothing more may go out
        const QStringList sent = calls();
        QCOMPARE(sent.last(), disposed ? QStringLiteral("dispenser/dispose") : lastCall);
        if (disposed)
            QCOMPARE(sent.at(sent.size() - 2), lastCall);
        QCOMPARE(log.matching("Incremented fail counter").size(), disposed ? 1 : 0);
        if (disposed)
            QTRY_COMPARE_WITH_TIMEOUT(disposedSpy.size(), 1, 10000);
        QVERIFY(!sent.contains("dispenser/accept"));
    }

    void fourFailuresThenDoorOpen()
    {
        LogRecorder log;
        for (int i = 1; i <= 4; ++i) {
            control("refuse rfid enable Reader busy");
            const auto outcome = observe(issuer().prepareCard());
            QVERIFY(settle(outcome));
            QCOMPARE(outcome->result.error, QStringLiteral("RFID enable failed : Reader busy"));
            QVERIFY(log.contains("[CardIssuer] Incremented fail counter : " + QString::number(i)));
        }
        QCOMPARE(issuer().state(), CardIssuer::Error);
        QCOMPARE(issuer().reason(), QStringLiteral("Too many failures"));

        // Refused at once, without a word to the devices.
        m_rig->peer.clear();
        const auto refused = observe(issuer().prepareCard());
        QCOMPARE(refused->rejected, 1);
        QCOMPARE(refused->result.error, QStringLiteral("Too many failures"));

        // The open door wins over the count and clears it.
        control("door open");
        QTRY_COMPARE_WITH_TIMEOUT(issuer().reason(), QStringLiteral("Cartridge door open"), 10000);
        QVERIFY(log.contains("[CardIssuer] Reset fail counter : 0"));
        control("door closed");
        QTRY_COMPARE_WITH_TIMEOUT(issuer().state(), CardIssuer::Ready, 10000);
        QVERIFY(calls().isEmpty());
    }

    void cardNotCollectedIsPulledBack()
    {
        control("notake");
        LogRecorder log;
        QSignalSpy collected(&issuer(), &CardIssuer::cardCollected);
        const auto outcome = observe(issuer().issueCard(entryCard(), 1));
        QVERIFY(settle(outcome));
        QCOMPARE(outcome->rejected, 1);
        QCOMPARE(outcome->result.error, QStringLiteral("Card was not collected"));
        // The card was pulled back before the caller heard of it.
        QCOMPARE(calls().last(), QStringLiteral("dispenser/accept"));
        QTRY_VERIFY_WITH_TIMEOUT(m_rig->dispenser->cardInRfid(), 10000);
        QCOMPARE(collected.size(), 0);
        QVERIFY(!log.contains("Incremented fail counter"));

        // The next cycle works on that card instead of taking a new one.
        control("take");
        m_rig->peer.clear();
        const auto next = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(next));
        QCOMPARE(next->resolved, 1);
        QVERIFY(!calls().contains("dispenser/issue"));
        QCOMPARE(collected.size(), 1);
    }

    // A radio that will not switch off must not hold up the gate: the card
    // was found or written already.
    void disableFailureStillSettles()
    {
        LogRecorder log;
        control("refuse rfid disable Radio stuck");
        const auto prepared = observe(issuer().prepareCard());
        QVERIFY(settle(prepared));
        QCOMPARE(prepared->resolved, 1);
        QVERIFY(prepared->result.card);
        QVERIFY(log.contains("[CardIssuer] WARN: RFID disable failed : Radio stuck"));

        control("silent rfid disable");
        const auto issued = observe(issuer().issueCard(entryCard(), 60));
        QVERIFY(settle(issued));
        QCOMPARE(issued->resolved, 1);
        QVERIFY(log.contains("[CardIssuer] WARN: RFID disable failed : Timeout"));
        QVERIFY(log.lines(QtCriticalMsg).filter("[CardIssuer]").isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_CardIssuer)
#include "tst_cardissuer.moc"

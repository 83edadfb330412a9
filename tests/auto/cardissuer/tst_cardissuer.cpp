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
#include <QtTest>

using manager::CardIssuer;

namespace {

// How an issuer call settled, seen from its caller.
struct Outcome { int done = 0, failed = 0; CardIssuer::Result result; };

std::shared_ptr<Outcome> observe(Deferred<CardIssuer::Result> deferred)
{
    auto outcome = std::make_shared<Outcome>();
    deferred.done([outcome](const CardIssuer::Result &r) { ++outcome->done, outcome->result = r; })
        .fail([outcome](const CardIssuer::Result &r) { ++outcome->failed, outcome->result = r; });
    return outcome;
}

// Settled, and only once.
bool settled(const std::shared_ptr<Outcome> &outcome)
{
    return QTest::qWaitFor([&] { return outcome->done + outcome->failed > 0; }, 30000)
        && outcome->done + outcome->failed == 1;
}

Card::Ptr entryCard()
{
    auto card = LTXGv1Card::Ptr::create();
    card->incrUsageCounter(1);
    card->addUsageLog(QStringLiteral("entry"), QStringLiteral("dev-17"), QStringLiteral("kivo-rnd"));
    return card;
}

// A broker, the simulator playing the card services, a peer recording their
// requests, and the issuer with its clients on a connection of its own.
struct Rig
{
    MosquittoBroker broker;
    QProcess simulator;
    MqttPeer peer;
    manager::MqttClient mqtt;
    manager::RFID rfid{ mqtt, QStringLiteral("kivo/rfid") };
    manager::Dispenser dispenser{ mqtt, QStringLiteral("kivo/dispenser") };
    CardIssuer issuer{ rfid, dispenser };
};

} // namespace

class tst_CardIssuer : public QObject
{
    Q_OBJECT

    std::unique_ptr<Rig> m_rig;

    void control(const QByteArray &command) { QVERIFY(m_rig->peer.publish(QStringLiteral("sim/control"), command)); }

    // The requests the services received, as "dispenser/issue rfid/enable ...".
    QString calls() const
    {
        QStringList calls;
        for (const MqttPeer::Message &m : m_rig->peer.messages())
            calls << m.topic.section(QLatin1Char('/'), 1).section(QStringLiteral("/request/"), 0, 0);
        return calls.join(QLatin1Char(' '));
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<Rig>();
        Rig &rig = *m_rig;
        QVERIFY2(rig.broker.start(), qPrintable(rig.broker.log()));
        QVERIFY(rig.peer.connectToBroker(rig.broker.host(), rig.broker.port(), QStringLiteral("observer")));
        for (const char *filter : { "kivo/rfid/+/request/+", "kivo/rfid/card/+/request/+", "kivo/dispenser/+/request/+" })
            QVERIFY(rig.peer.subscribe(QLatin1String(filter)));
        rig.simulator.setProcessChannelMode(QProcess::ForwardedChannels); // shows how a failing case went
        QVERIFY2(ProgramProcess::startSimulator(rig.simulator, rig.broker.host(), rig.broker.port(), {"--take-after", "300"}),
                 qPrintable(rig.simulator.errorString()));
        rig.mqtt.setHostname(rig.broker.host());
        rig.mqtt.setPort(rig.broker.port());
        rig.mqtt.setClientId(QStringLiteral("ui_under_test"));
        QSignalSpy connected(&rig.mqtt, &manager::MqttClient::connected);
        rig.mqtt.connect();
        QVERIFY(connected.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(rig.issuer.state(), CardIssuer::Ready, 15000);
    }

    void issueCard_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("calls");
        const QString found = "dispenser/issue rfid/enable rfid/disable rfid/enable ";
        const QString written = found + "rfid/card/create rfid/card/write rfid/disable dispenser/eject";
        QTest::newRow("issued") << QByteArray() << 60 << QString() << written;
        // The card is found or written already: a radio left on must not hold up the gate.
        QTest::newRow("disable refused") << QByteArray("refuse rfid disable Radio stuck") << 60 << QString() << written;
        QTest::newRow("not collected") << QByteArray("notake") << 1 << "Card was not collected" << written + " dispenser/accept";
        QTest::newRow("issue refused") << QByteArray("refuse dispenser issue Empty") << 60 << "Issue failed : Empty" << "dispenser/issue";
        const QString binned = "dispenser/issue rfid/enable dispenser/dispose";
        QTest::newRow("enable refused") << QByteArray("refuse rfid enable Busy") << 60 << "RFID enable failed : Busy" << binned;
        QTest::newRow("card not found") << QByteArray("silent rfid card/found") << 60 << "Failed to find card : Timeout" << binned;
        QTest::newRow("create refused") << QByteArray("refuse rfid card/create Bad") << 60 << "Create card failed : Bad"
                                        << found + "rfid/card/create dispenser/dispose";
        QTest::newRow("write refused") << QByteArray("refuse rfid card/write Auth") << 60 << "Write card failed : Auth"
                                       << found + "rfid/card/create rfid/card/write dispenser/dispose";
        QTest::newRow("eject refused") << QByteArray("refuse dispenser eject Blocked") << 60 << "Failed to eject card : Blocked" << written;
    }

    // One cycle per row: the requests stop where a step fails, the caller
    // hears once and only after the last of them, with the step's reason; a
    // card that could not be made goes to the bin and counts as a failure.
    void issueCard()
    {
        QFETCH(QByteArray, command);
        QFETCH(int, timeout);
        QFETCH(QString, error);
        QFETCH(QString, calls);
        CardIssuer &issuer = m_rig->issuer;
        if (!command.isEmpty())
            control(command);
        LogRecorder log;
        QSignalSpy collected(&issuer, &CardIssuer::cardCollected);
        QSignalSpy disposed(&issuer, &CardIssuer::cardDisposed);
        const auto outcome = observe(issuer.issueCard(entryCard(), timeout));
        QVERIFY(settled(outcome));
        QCOMPARE(this->calls(), calls);
        QCOMPARE(outcome->result.error, error);
        QCOMPARE(outcome->done, int(error.isEmpty()));
        QCOMPARE(collected.size(), int(error.isEmpty()));
        QCOMPARE(log.lines(QtCriticalMsg).filter("[CardIssuer]"),
                 error.isEmpty() ? QStringList() : QStringList{ "[CardIssuer] ERROR: " + error });
        const bool bin = calls.endsWith("dispose");
        QTRY_COMPARE_WITH_TIMEOUT(disposed.size(), int(bin), 10000);

        if (calls.endsWith("eject")) {
            // What the caller asked for reached the reader, under the card's template.
            const auto write = m_rig->peer.waitForMessage(QStringLiteral("kivo/rfid/card/write/request/+"), 0);
            QVERIFY(write);
            const QJsonDocument written = QJsonDocument::fromJson(write->payload);
            QCOMPARE(written["template"].toString(), QStringLiteral("LTXGv1"));
            QCOMPARE(written["data"]["usageLog"].toArray().size(), 1);
        }
    }

    // Four cards binned in a row stop the issuer until the cartridge door is opened.
    void fourFailuresThenDoorOpen()
    {
        CardIssuer &issuer = m_rig->issuer;
        for (int i = 0; i < 4; ++i) {
            control("refuse rfid enable Busy");
            QVERIFY(settled(observe(issuer.prepareCard())));
        }
        QCOMPARE(issuer.reason(), QStringLiteral("Too many failures"));

        // Refused at once, once, and without a word to the devices.
        m_rig->peer.clear();
        const auto refused = observe(issuer.issueCard(entryCard(), 60));
        QVERIFY(settled(refused));
        QCOMPARE(refused->result.error, QStringLiteral("Too many failures"));

        // The open door wins over the count and clears it.
        control("door open");
        QTRY_COMPARE_WITH_TIMEOUT(issuer.reason(), QStringLiteral("Cartridge door open"), 10000);
        control("door closed");
        QTRY_COMPARE_WITH_TIMEOUT(issuer.state(), CardIssuer::Ready, 10000);
        QCOMPARE(calls(), QString());
    }
};

QTEST_GUILESS_MAIN(tst_CardIssuer)
#include "tst_cardissuer.moc"

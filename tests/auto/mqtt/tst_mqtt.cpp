#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"
#include "MqttSubscription.h"
#include "MqttTransport.h"
#include "SilentListener.h"

#include <QtTest>

using manager::MqttClient;
using manager::MqttSubscription;
using manager::MqttTransport;

namespace {

constexpr int Timeout = 10000;

// What a deferred call settled with, observed from outside.
struct Outcome
{
    int resolved = 0, rejected = 0;
    QJsonValue value;
    bool settled() const { return resolved + rejected > 0; }
};

std::shared_ptr<Outcome> observe(Deferred<QJsonValue> deferred)
{
    auto outcome = std::make_shared<Outcome>();
    deferred.done([outcome](const QJsonValue &v) { ++outcome->resolved, outcome->value = v; })
        .fail([outcome](const QJsonValue &v) { ++outcome->rejected, outcome->value = v; });
    return outcome;
}

} // namespace

// The broker connection (the client and the transport under it) against
// real mosquitto brokers, with an independent peer.
class tst_Mqtt : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MqttClient> makeClient(quint16 port, unsigned retryMillis = 1000)
    {
        auto client = std::make_unique<MqttClient>();
        client->setHostname(QStringLiteral("localhost")); // looked up, its addresses tried in turn
        client->setPort(port);
        client->setRetryMillis(retryMillis);
        client->setClientId(QStringLiteral("ui_under_test"));
        return client;
    }

    static bool connectClient(MqttClient &client)
    {
        QSignalSpy spy(&client, &MqttClient::connected);
        client.connect();
        return spy.wait(Timeout);
    }

    MosquittoBroker m_broker;
    MqttPeer m_peer;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), QStringLiteral("tst-peer")));
        // A service answering calls: echoes the call id, so that crossed answers show.
        QVERIFY(m_peer.setResponder("rpc/#", [](const QString &topic, const QByteArray &) -> std::optional<QByteArray> {
            const QString id = topic.section('/', -1);
            if (id == QLatin1String("silent"))
                return std::nullopt;
            const QMap<QString, QByteArray> odd{ { "empty", "" }, { "text", "not json {" } };
            return odd.value(id, "{\"status\":\"completed\",\"id\":\"" + id.toUtf8() + "\"}");
        }));
    }

    void init() { m_peer.clear(); }

    // Subscriptions asked for before any connection, and a one-off wait
    // sharing one of them, survive a broker that hangs and one that restarts.
    void subscriptionsRenewedAfterBrokerHangsOrRestarts()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.log()));
        MqttPeer peer;
        QVERIFY(peer.connectToBroker(broker.host(), broker.port()));
        auto client = makeClient(broker.port(), 500);
        QSignalSpy received(client.get(), &MqttClient::received);
        QSignalSpy connected(client.get(), &MqttClient::connected);
        QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
        client->subscribe(QStringLiteral("svc/a/#"), 1);
        client->subscribe(QStringLiteral("svc/b"), 0);
        client->connect();
        QTRY_VERIFY_WITH_TIMEOUT((peer.publish("svc/a/1", "one"), received.size() > 0), Timeout);
        auto waited = observe(client->waitTopic(QStringLiteral("svc/b"), Timeout));
        QTRY_VERIFY_WITH_TIMEOUT((peer.publish("svc/b", "{}"), waited->resolved == 1), Timeout);
        // Keep-alive pings hold an idle connection.
        QTRY_VERIFY_WITH_TIMEOUT(broker.log().contains("Received PINGREQ from ui_under_test"), 15000);
        QVERIFY(disconnected.isEmpty());
        // A broker that hangs keeps the socket open: only the missing ping response tells.
        broker.suspend();
        QVERIFY(disconnected.wait(30000));
        broker.resume();
        QTRY_VERIFY_WITH_TIMEOUT(connected.count() >= 2, 20000);

        // The wait ends after the renewal and must not take the renewed subscription with it.
        waited = observe(client->waitTopic(QStringLiteral("svc/b"), 4000));
        connected.clear();
        broker.stop();
        QVERIFY2(broker.restart(), qPrintable(broker.log()));
        QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(waited->settled(), Timeout);
        QTRY_VERIFY_WITH_TIMEOUT(peer.isConnected(), 20000);
        received.clear();
        for (const char *topic : { "svc/a/deep/topic", "svc/b" })
            QVERIFY(peer.publish(topic, topic));
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2, Timeout);
        QCOMPARE(received.at(0).at(0).toByteArray() + received.at(1).at(0).toByteArray(), QByteArray("svc/a/deep/topicsvc/b"));
    }

    void publishesAndReceives()
    {
        QVERIFY(m_peer.subscribe(QStringLiteral("out/#"), 1));
        auto client = makeClient(m_broker.port());
        client->setKeepAlive(60); // no ping may push a stuck message out
        QVERIFY(connectClient(*client));
        // Retained: a subscriber that comes later gets it.
        QVERIFY(client->publish("{\"service\": true}", QStringLiteral("ui/status"), 1, true));
        MqttPeer late;
        QVERIFY(late.connectToBroker(m_broker.host(), m_broker.port()) && late.subscribe(QStringLiteral("ui/status")));
        const auto retained = late.waitForMessage(QStringLiteral("ui/status"));
        QVERIFY(retained && retained->retain && retained->payload == "{\"service\": true}");

        // Binary payloads arrive whole; an answer published from the handler goes out at once.
        QSignalSpy received(client.get(), &MqttClient::received);
        connect(client.get(), &MqttClient::received, this,
                [&](const QByteArray &payload) { client->publish(payload + "-pong", QStringLiteral("out/pong"), 1); });
        client->subscribe(QStringLiteral("cmd/+"), 1);
        const QByteArray binary("\x00\x01\xff{}", 5);
        QTRY_VERIFY_WITH_TIMEOUT((m_peer.publish("cmd/go", binary), received.size() > 0), Timeout);
        QCOMPARE(received.first().at(0).toByteArray(), binary);
        QCOMPARE(received.first().at(1).toByteArray(), QByteArray("cmd/go"));
        const auto pong = m_peer.waitForMessage(QStringLiteral("out/pong"));
        QVERIFY(pong);
        QCOMPARE(pong->payload, binary + "-pong");

        // Larger than the socket buffers: the rest goes out as the socket drains.
        const QByteArray large(32 * 1024 * 1024, 'L');
        QVERIFY(client->publish(large, QStringLiteral("out/large"), 1));
        const auto message = m_peer.waitForMessage(QStringLiteral("out/large"));
        QVERIFY(message && message->payload == large);
    }

    // A broker that cannot be found, is not there yet, or accepts and never
    // answers: the client tries again until one answers. Meanwhile calls
    // fail before they return.
    void retriesUntilBrokerAnswers()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.log()));
        broker.stop();
        for (const QString &host : { QStringLiteral("no-such-broker.invalid"), QStringLiteral("localhost") }) {
            auto client = makeClient(broker.port(), 300);
            client->setHostname(host);
            QSignalSpy errors(client.get(), &MqttClient::error);
            QSignalSpy connected(client.get(), &MqttClient::connected);
            client->connect();
            QTRY_VERIFY_WITH_TIMEOUT(errors.size() >= 2, Timeout);
            const auto rpc = observe(client->executeRpc(QStringLiteral("offline/rfid"), QStringLiteral("1"), QJsonObject{}));
            QVERIFY(rpc->rejected == 1 && rpc->value == QJsonValue("Not connected"));
            if (host == QLatin1String("localhost")) {
                QVERIFY2(broker.restart(), qPrintable(broker.log()));
                QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, Timeout);
            }
        }
        SilentListener listener;
        QVERIFY(listener.listen());
        auto client = makeClient(listener.port(), 500);
        client->connect();
        QTRY_VERIFY_WITH_TIMEOUT(listener.acceptedCount() >= 3, 20000);
    }

    void rpcOutcome_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("resolved");
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("answer") << "7" << true << QJsonValue(QJsonObject{ { "status", "completed" }, { "id", "7" } });
        QTest::newRow("empty answer") << "empty" << true << QJsonValue(QJsonObject());
        QTest::newRow("not JSON") << "text" << false << QJsonValue("Invalid response");
        QTest::newRow("no answer") << "silent" << false << QJsonValue("Timeout");
    }

    void rpcOutcome()
    {
        QFETCH(QString, id);
        QFETCH(bool, resolved);
        QFETCH(QJsonValue, value);
        auto client = makeClient(m_broker.port());
        QVERIFY(connectClient(*client));
        // The request goes out as the compact JSON the caller built, nothing added.
        const QJsonObject request{ { "method", "write" }, { "params", QJsonObject{ { "block", 4 } } } };
        auto outcome = observe(client->executeRpc(QStringLiteral("rpc/rfid"), id, request, 1000));
        // A call at the same time sees its own answer.
        auto other = observe(client->executeRpc(QStringLiteral("rpc/rfid"), QStringLiteral("other"), {}, 1000));
        const auto sent = m_peer.waitForMessage("rpc/rfid/request/" + id);
        QVERIFY(sent);
        QCOMPARE(sent->payload, QJsonDocument(request).toJson(QJsonDocument::Compact));
        QTRY_VERIFY_WITH_TIMEOUT(outcome->settled() && other->settled(), Timeout);
        QCOMPARE(other->value.toObject().value("id").toString(), QStringLiteral("other"));
        QCOMPARE(outcome->resolved, resolved ? 1 : 0);
        QCOMPARE(outcome->rejected, resolved ? 0 : 1);
        QCOMPARE(outcome->value, value);
        // Nothing is left behind.
        QTRY_VERIFY_WITH_TIMEOUT(client->findChild<MqttTransport *>()->findChildren<MqttSubscription *>().isEmpty(), Timeout);
        QCOMPARE(client->findChildren<QTimer *>().size(), 1); // the connection timer
    }

};

QTEST_GUILESS_MAIN(tst_Mqtt)
#include "tst_mqtt.moc"

#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"
#include "MqttSubscription.h"
#include "SilentListener.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using manager::MqttClient;
using manager::MqttSubscription;
using manager::MqttTransport;

namespace {

// What a deferred call settled with, observed from outside.
struct Outcome
{
    int resolved = 0;
    int rejected = 0;
    QJsonValue value;
};

std::shared_ptr<Outcome> observe(Deferred<QJsonValue> deferred)
{
    auto outcome = std::make_shared<Outcome>();
    deferred
        .done([outcome](const QJsonValue &v) {
            ++outcome->resolved;
            outcome->value = v;
        })
        .fail([outcome](const QJsonValue &v) {
            ++outcome->rejected;
            outcome->value = v;
        });
    return outcome;
}

bool settled(const std::shared_ptr<Outcome> &o)
{
    return o->resolved + o->rejected > 0;
}

} // namespace

// The broker connection against a real mosquitto, with an independent peer.
class tst_MqttClient : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MqttClient> makeClient(quint16 port, unsigned retryMillis = 1000)
    {
        auto client = std::make_unique<MqttClient>();
        client->setHostname(QStringLiteral("127.0.0.1"));
        client->setPort(port);
        client->setRetryMillis(retryMillis);
        client->setClientId(QStringLiteral("ui_under_test"));
        return client;
    }

    bool connectClient(MqttClient &client)
    {
        QSignalSpy spy(&client, &MqttClient::connected);
        client.connect();
        return spy.wait(10000);
    }

    int liveSubscriptions(MqttClient &client)
    {
        auto *transport = client.findChild<MqttTransport *>();
        return transport ? transport->findChildren<MqttSubscription *>().size() : 0;
    }

    MosquittoBroker m_broker;
    MqttPeer m_peer;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), QStringLiteral("peer")));
    }

    void init() { m_peer.clear(); }

    void subscriptionsMadeOnConnectAndRenewedInOrder()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.log()));
        MqttPeer peer;
        QVERIFY(peer.connectToBroker(broker.host(), broker.port()));

        LogRecorder log;
        auto client = makeClient(broker.port(), 500);
        QSignalSpy received(client.get(), &MqttClient::received);
        // Asked for before there is any connection: nothing is sent yet.
        client->subscribe(QStringLiteral("svc/a/#"), 1);
        client->subscribe(QStringLiteral("svc/b"), 0);
        client->subscribe(QStringLiteral("svc/c/+/x"), 2);
        QVERIFY(log.matching("Subscribing to").isEmpty());

        QVERIFY(connectClient(*client));
        const QStringList expected = { "[MqttClient] Subscribing to 'svc/a/#' with QoS = 1",
                                       "[MqttClient] Subscribing to 'svc/b' with QoS = 0",
                                       "[MqttClient] Subscribing to 'svc/c/+/x' with QoS = 2" };
        QCOMPARE(log.matching("Subscribing to"), expected);
        QVERIFY(log.contains("[MqttClient] Connected to broker 127.0.0.1"));

        // A subscription is active once the broker delivers on it.
        QTRY_VERIFY_WITH_TIMEOUT((peer.publish("svc/a/1", "one"), received.size() > 0), 10000);

        // The broker goes away and comes back on the same port, while a
        // one-off wait shares a subscription; the wait ends after the renewal
        // and must not take the renewed subscription with it.
        auto waited = observe(client->waitTopic(QStringLiteral("svc/b"), 4000));
        QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
        QSignalSpy connected(client.get(), &MqttClient::connected);
        log.clear();
        broker.stop();
        QVERIFY(disconnected.wait(10000));
        QVERIFY(log.contains("[MqttClient] Disconnected from broker 127.0.0.1"));
        QVERIFY2(broker.restart(), qPrintable(broker.log()));
        QVERIFY(connected.wait(20000));
        QCOMPARE(log.matching("Subscribing to"), expected);
        QTRY_VERIFY_WITH_TIMEOUT(settled(waited), 10000);

        // Every renewed subscription delivers again.
        QTRY_VERIFY_WITH_TIMEOUT(peer.isConnected(), 20000);
        received.clear();
        QVERIFY(peer.publish("svc/a/deep/topic", "A"));
        QVERIFY(peer.publish("svc/b", "B"));
        QVERIFY(peer.publish("svc/c/7/x", "C"));
        QVERIFY(peer.publish("svc/unsubscribed", "no"));
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 3, 10000);
        QSet<QByteArray> topics;
        for (const auto &args : received)
            topics.insert(args.at(1).toByteArray());
        QCOMPARE(topics, (QSet<QByteArray>{ "svc/a/deep/topic", "svc/b", "svc/c/7/x" }));
        QCOMPARE(received.at(0).at(0).toByteArray() + received.at(1).at(0).toByteArray()
                     + received.at(2).at(0).toByteArray(),
                 QByteArray("ABC"));
    }

    void publishAndReceive()
    {
        LogRecorder log;
        auto client = makeClient(m_broker.port());
        // Not connected yet: refused, silently.
        QVERIFY(!client->publish("x", "ui/early"));
        QCOMPARE(log.count(), 0);

        QVERIFY(m_peer.subscribe("ui/#", 1));
        QVERIFY(connectClient(*client));
        QVERIFY(client->publish("{\"service\": true}", "ui/status", 1, true));
        auto message = m_peer.waitForMessage("ui/status");
        QVERIFY(message);
        QCOMPARE(message->payload, QByteArray("{\"service\": true}"));
        QVERIFY(log.contains("[MqttClient] Publishing to topic 'ui/status' with Qos = 1 and Retain = true:\n{\"service\": true}"));

        // Messages arrive as one signal with payload and topic.
        QSignalSpy received(client.get(), &MqttClient::received);
        client->subscribe("cmd/+", 1);
        QTRY_VERIFY_WITH_TIMEOUT((m_peer.publish("cmd/go", "payload"), received.size() > 0), 10000);
        QCOMPARE(received.first().at(0).toByteArray(), QByteArray("payload"));
        QCOMPARE(received.first().at(1).toByteArray(), QByteArray("cmd/go"));

        // A filter the broker cannot take is reported, not logged as an error.
        QSignalSpy errors(client.get(), &MqttClient::error);
        client->subscribe("bad/#/filter", 0);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first().toString(), QStringLiteral("Subscription to bad/#/filter failed."));

        // Retained status left on the broker would leak into other tests.
        m_peer.publish("ui/status", QByteArray(), 1, true);
    }

    void hangingConnectIsCutAndRetried()
    {
        SilentListener listener;
        QVERIFY(listener.listen());
        auto client = makeClient(listener.port(), 500);
        QSignalSpy errors(client.get(), &MqttClient::error);
        client->connect();
        // Every attempt that never sees CONNACK is closed and a new one made.
        QTRY_VERIFY_WITH_TIMEOUT(listener.acceptedCount() >= 3, 20000);
        QCOMPARE(client->state() == MqttTransport::Connected, false);
    }

    void brokerDownRetriesAndWarns()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.log()));
        const quint16 port = broker.port();
        broker.stop();

        LogRecorder log;
        auto client = makeClient(port, 300);
        QSignalSpy errors(client.get(), &MqttClient::error);
        client->setEncrypted(true);
        client->connect();
        QVERIFY(log.contains("[MqttClient] Encryption not yet supported"));
        QTRY_VERIFY_WITH_TIMEOUT(errors.size() >= 2, 10000);
        QCOMPARE(errors.first().first().toString(), QStringLiteral("Mqtt client error"));
        QVERIFY(log.contains("[MqttClient] Transport invalid: The underlying transport caused an error. For example, "
                             "the connection might have been interrupted unexpectedly."));
        QVERIFY(log.matching("Connecting to host").size() >= 2);

        // When the broker comes back the next attempt gets through, in the clear.
        QSignalSpy connected(client.get(), &MqttClient::connected);
        QVERIFY2(broker.restart(), qPrintable(broker.log()));
        QVERIFY(connected.wait(10000));
    }

    void lastWillOnDeadConnection()
    {
        QVERIFY(m_peer.subscribe("will/ui/status", 1));
        {
            auto client = makeClient(m_broker.port());
            client->setWillTopic("will/ui/status");
            client->setWillMessage("{\"service\": false}");
            QVERIFY(connectClient(*client));
            // A clean disconnect does not publish the will.
            QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
            client->disconnect();
            QTRY_VERIFY_WITH_TIMEOUT(!disconnected.isEmpty(), 10000);
            QTest::qWait(300);
            QCOMPARE(m_peer.messageCount("will/ui/status"), 0);

            QVERIFY(QSignalSpy(client.get(), &MqttClient::connected).wait(10000));
            // The connection dies without a goodbye.
            client->findChild<MqttTransport *>()->closeTransport();
            auto will = m_peer.waitForMessage("will/ui/status");
            QVERIFY(will);
            QCOMPARE(will->payload, QByteArray("{\"service\": false}"));
            client.reset();
        }
        // Qos 2, retained by default: a newcomer still sees it.
        MqttPeer late;
        QVERIFY(late.connectToBroker(m_broker.host(), m_broker.port()));
        QVERIFY(late.subscribe("will/ui/status", 1));
        auto retained = late.waitForMessage("will/ui/status");
        QVERIFY(retained);
        QVERIFY(retained->retain);
        m_peer.publish("will/ui/status", QByteArray(), 1, true);
    }

    void badCredentials()
    {
        MosquittoBroker broker;
        broker.setCredentials("terminal", "right");
        QVERIFY2(broker.start(), qPrintable(broker.log()));

        LogRecorder log;
        auto client = makeClient(broker.port(), 5000);
        client->setUsername("terminal");
        client->setPassword("wrong-password");
        QSignalSpy errors(client.get(), &MqttClient::error);
        client->connect();
        QVERIFY(errors.wait(10000));
        QCOMPARE(errors.first().first().toString(), QStringLiteral("Mqtt client error"));
        const QStringList warnings = log.lines(QtWarningMsg);
        QVERIFY2(warnings.contains("[MqttClient] Not authorized: ui_under_test. The client is not authorized to connect.")
                     || warnings.contains("[MqttClient] Bad username or password. The data in the username or "
                                          "password is malformed."),
                 qPrintable(warnings.join('\n')));
        // The password never reaches the log, not even at debug level.
        QVERIFY(!log.lines().join('\n').contains("wrong-password"));
        QVERIFY(log.contains("[MqttClient] Username: terminal"));

        // The right password gets in at the next attempt.
        client->setPassword("right");
        QVERIFY(QSignalSpy(client.get(), &MqttClient::connected).wait(15000));
    }

    void rpcNotConnected()
    {
        QVERIFY(m_peer.subscribe("svc/#", 1));
        // Never connected: no client at all.
        auto fresh = makeClient(m_broker.port());
        auto never = observe(fresh->executeRpc("svc/rfid", "1", QJsonObject{ { "method", "enable" } }));
        QCOMPARE(never->rejected, 1);
        QCOMPARE(never->value, QJsonValue("Not connected"));

        // Connected once, now disconnected: rejected before returning, nothing sent.
        auto client = makeClient(m_broker.port(), 60000);
        QVERIFY(connectClient(*client));
        QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
        client->disconnect();
        QTRY_VERIFY_WITH_TIMEOUT(!disconnected.isEmpty(), 10000);
        LogRecorder log;
        auto offline = observe(client->executeRpc("svc/rfid", "2", QJsonObject{}));
        QCOMPARE(offline->rejected, 1);
        QCOMPARE(offline->value, QJsonValue("Not connected"));
        QVERIFY(log.contains("[MqttClient] [RPC] ERROR : Not connected"));
        auto waited = observe(client->waitTopic("svc/event"));
        QCOMPARE(waited->value, QJsonValue("Not connected"));
        QTest::qWait(300);
        QCOMPARE(m_peer.messageCount("svc/#"), 0);
    }

    void rpcAnswers()
    {
        auto client = makeClient(m_broker.port());
        QVERIFY(connectClient(*client));

        QByteArray seenRequest;
        QMutex mutex;
        QVERIFY(m_peer.setResponder("rpc/#", [&](const QString &topic, const QByteArray &payload)
                                                  -> std::optional<QByteArray> {
            {
                QMutexLocker locker(&mutex);
                seenRequest = payload;
            }
            if (topic.endsWith("/empty"))
                return QByteArray();
            if (topic.endsWith("/array"))
                return QByteArray("[1,2]");
            if (topic.endsWith("/text"))
                return QByteArray("not json {");
            if (topic.endsWith("/silent"))
                return std::nullopt;
            // Echo the call id so that crossed answers show.
            return QByteArray("{\"status\":\"completed\",\"id\":\"" + topic.section('/', -1).toUtf8() + "\"}");
        }));

        LogRecorder log;
        // The request goes out as the compact JSON the caller built, nothing added.
        const QJsonObject request{ { "method", "write" }, { "params", QJsonObject{ { "block", 4 } } } };
        auto ok = observe(client->executeRpc("rpc/rfid", "7", request));
        QTRY_VERIFY_WITH_TIMEOUT(settled(ok), 10000);
        QCOMPARE(ok->resolved, 1);
        QCOMPARE(ok->value.toObject().value("id").toString(), QStringLiteral("7"));
        {
            QMutexLocker locker(&mutex);
            QCOMPARE(seenRequest, QJsonDocument(request).toJson(QJsonDocument::Compact));
        }
        QVERIFY(log.contains("[MqttClient] [RPC] Sending : rpc/rfid/request/7"));
        QVERIFY(log.contains(QString("[MqttClient] [RPC] Data    : ")
                             + QJsonDocument(request).toJson(QJsonDocument::Compact)));
        QVERIFY(log.contains("[MqttClient] [RPC] Data     : {\"id\":\"7\",\"status\":\"completed\"}"));
        QVERIFY(log.matching("Publishing to topic").isEmpty());

        auto empty = observe(client->executeRpc("rpc/rfid", "empty", {}));
        QTRY_VERIFY_WITH_TIMEOUT(settled(empty), 10000);
        QCOMPARE(empty->resolved, 1);
        QCOMPARE(empty->value, QJsonValue(QJsonObject()));

        for (const char *kind : { "array", "text" }) {
            log.clear();
            auto bad = observe(client->executeRpc("rpc/rfid", kind, {}));
            QTRY_VERIFY_WITH_TIMEOUT(settled(bad), 10000);
            QCOMPARE(bad->rejected, 1);
            QCOMPARE(bad->value, QJsonValue("Invalid response"));
            QVERIFY(log.contains("[MqttClient] [RPC] ERROR : Invalid response"));
        }

        // Two calls in a row, each sees its own answer only.
        auto first = observe(client->executeRpc("rpc/dispenser", "1", {}));
        auto second = observe(client->executeRpc("rpc/dispenser", "2", {}));
        QTRY_VERIFY_WITH_TIMEOUT(settled(first) && settled(second), 10000);
        QCOMPARE(first->value.toObject().value("id").toString(), QStringLiteral("1"));
        QCOMPARE(second->value.toObject().value("id").toString(), QStringLiteral("2"));
        QCOMPARE(first->resolved + second->resolved, 2);

        // An instant answer is never missed, and no call leaves anything behind.
        // A generous limit: on a loaded machine (or an instrumented build) the
        // last of 200 calls may well wait longer than the default 3 s.
        QList<std::shared_ptr<Outcome>> burst;
        for (int i = 0; i < 200; ++i)
            burst << observe(client->executeRpc("rpc/burst", QString::number(i), QJsonObject{ { "n", i } }, 30000));
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(burst.cbegin(), burst.cend(), settled), 20000);
        for (int i = 0; i < burst.size(); ++i) {
            QCOMPARE(burst.at(i)->resolved, 1);
            QCOMPARE(burst.at(i)->value.toObject().value("id").toString(), QString::number(i));
        }
        QTRY_COMPARE_WITH_TIMEOUT(liveSubscriptions(*client), 0, 10000);
        QCOMPARE(client->findChildren<QTimer *>().size(), 1); // the connection timer
    }

    void rpcTimeoutIgnoresLateAnswer()
    {
        auto client = makeClient(m_broker.port());
        QVERIFY(connectClient(*client));
        QVERIFY(m_peer.subscribe("late/+/request/+", 1));

        LogRecorder log;
        QSignalSpy received(client.get(), &MqttClient::received);
        auto late = observe(client->executeRpc("late/svc", "1", {}, 300));
        auto request = m_peer.waitForMessage("late/svc/request/1");
        QVERIFY(request);
        QTRY_VERIFY_WITH_TIMEOUT(settled(late), 10000);
        QCOMPARE(late->rejected, 1);
        QCOMPARE(late->value, QJsonValue("Timeout"));
        QVERIFY(log.contains("[MqttClient] [RPC] ERROR : Timeout"));

        // The answer comes after all: dropped without a second settlement.
        QVERIFY(m_peer.publish("late/svc/response/1", "{\"status\":\"completed\"}"));
        QTest::qWait(500);
        QCOMPARE(late->resolved, 0);
        QCOMPARE(late->rejected, 1);
        QVERIFY(log.matching("already processed").isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(liveSubscriptions(*client), 0, 10000);
    }

    void waitTopicSettlesOnce()
    {
        auto client = makeClient(m_broker.port());
        QVERIFY(connectClient(*client));
        auto waited = observe(client->waitTopic("event/card/taken", 10000));
        QTest::qWait(200);
        QVERIFY(!settled(waited));
        QVERIFY(m_peer.publish("event/card/taken", "{\"card\":\"04A1\"}"));
        QVERIFY(m_peer.publish("event/card/taken", "{\"card\":\"second\"}"));
        QTRY_VERIFY_WITH_TIMEOUT(settled(waited), 10000);
        QTest::qWait(300);
        QCOMPARE(waited->resolved, 1);
        QCOMPARE(waited->value.toObject().value("card").toString(), QStringLiteral("04A1"));

        // A wait on a topic that is also subscribed for good leaves that
        // subscription in place, however often it is repeated.
        QSignalSpy received(client.get(), &MqttClient::received);
        client->subscribe("event/card/removed", 0);
        for (int round = 0; round < 3; ++round) {
            auto removed = observe(client->waitTopic("event/card/removed", 10000));
            QTRY_VERIFY_WITH_TIMEOUT((m_peer.publish("event/card/removed", "{}"), settled(removed)), 10000);
            QCOMPARE(removed->resolved, 1);
        }
        QTest::qWait(300);
        received.clear();
        QVERIFY(m_peer.publish("event/card/removed", "{\"later\":true}"));
        QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 10000);
        QCOMPARE(received.last().at(0).toByteArray(), QByteArray("{\"later\":true}"));
    }
};

QTEST_GUILESS_MAIN(tst_MqttClient)
#include "tst_mqttclient.moc"

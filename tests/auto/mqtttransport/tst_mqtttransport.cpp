#include "MqttSubscription.h"
#include "MqttTransport.h"

#include "MosquittoBroker.h"
#include "MqttPeer.h"
#include "SilentListener.h"

#include <QMetaEnum>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <memory>

using manager::MqttSubscription;
using manager::MqttTransport;

namespace {

constexpr int Timeout = 10000;

template<typename Enum>
QString keyOf(Enum value)
{
    return QString::fromLatin1(QMetaEnum::fromType<Enum>().valueToKey(int(value)));
}

// Records the signals of a transport and its subscriptions as text, in order.
class SignalLog
{
public:
    void watch(MqttTransport *transport)
    {
        QObject::connect(transport, &MqttTransport::stateChanged, transport,
                         [this](MqttTransport::ClientState state) { entries << "state:" + keyOf(state); });
        QObject::connect(transport, &MqttTransport::connected, transport, [this] { entries << "connected"; });
        QObject::connect(transport, &MqttTransport::disconnected, transport, [this] { entries << "disconnected"; });
        QObject::connect(transport, &MqttTransport::errorChanged, transport,
                         [this](MqttTransport::ClientError error) { entries << "error:" + keyOf(error); });
        QObject::connect(transport, &MqttTransport::messageReceived, transport,
                         [this](const QByteArray &message, const QString &topic) {
                             entries << "msg:" + topic + ":" + QString::fromLatin1(message.toHex());
                         });
    }
    void watch(MqttSubscription *subscription)
    {
        const QString filter = subscription->topic();
        QObject::connect(subscription, &MqttSubscription::stateChanged, subscription,
                         [this, filter](MqttSubscription::SubscriptionState state) {
                             entries << "sub:" + filter + ":" + keyOf(state);
                         });
        QObject::connect(subscription, &MqttSubscription::messageReceived, subscription,
                         [this, filter](const QByteArray &message, const QString &topic) {
                             entries << "submsg:" + filter + ":" + topic + ":" + QString::fromLatin1(message.toHex());
                         });
    }

    QStringList entries;
};

QString hex(const QByteArray &data)
{
    return QString::fromLatin1(data.toHex());
}

quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace

class tst_MqttTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void connectsInOrderAndAppliesSettings();
    void deliversMessagesToMatchingSubscriptions();
    void publishesToPeerIncludingFromHandlers();
    void refusesInvalidCalls();
    void unsubscribeStopsDelivery();
    void handlersMayReenter();
    void brokerLossEndsConnectionAndSubscriptions();
    void refusedConnectionEndsDisconnected();
    void badCredentialsAreReported();
    void closeTransportEndsHangingConnect();
    void willOnlyOnUncleanLoss();
    void keepAliveHoldsIdleConnectionAndFindsFrozenBroker();

private:
    void configure(MqttTransport &transport, const QString &clientId, const MosquittoBroker &broker);
    bool connectTo(MqttTransport &transport, const QString &clientId, const MosquittoBroker &broker);

    MosquittoBroker m_broker;
    MqttPeer m_peer;
};

void tst_MqttTransport::configure(MqttTransport &transport, const QString &clientId, const MosquittoBroker &broker)
{
    transport.setHostname(broker.host());
    transport.setPort(broker.port());
    transport.setClientId(clientId);
}

bool tst_MqttTransport::connectTo(MqttTransport &transport, const QString &clientId, const MosquittoBroker &broker)
{
    configure(transport, clientId, broker);
    transport.connectToHost();
    return QTest::qWaitFor([&transport] { return transport.state() == MqttTransport::Connected; }, Timeout);
}

void tst_MqttTransport::initTestCase()
{
    QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
    QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), QStringLiteral("tst-peer")));
}

void tst_MqttTransport::connectsInOrderAndAppliesSettings()
{
    SignalLog log;
    MqttTransport transport;
    log.watch(&transport);
    QCOMPARE(transport.protocolVersion(), 4);
    QCOMPARE(transport.state(), MqttTransport::Disconnected);

    // Subscribing from connected() works: the state is already Connected.
    QPointer<MqttSubscription> fromHandler;
    connect(&transport, &MqttTransport::connected, this, [&] {
        fromHandler = transport.subscribe(QStringLiteral("order/inside"), 1);
    });

    configure(transport, QStringLiteral("tst-order-a"), m_broker);
    transport.setKeepAlive(2); // below libmosquitto's minimum: raised to 5
    transport.connectToHost();
    QCOMPARE(transport.state(), MqttTransport::Connecting);
    QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Connected, Timeout);
    QCOMPARE(log.entries, QStringList({ "state:Connecting", "state:Connected", "connected" }));
    QCOMPARE(transport.error(), MqttTransport::NoError);
    QVERIFY(fromHandler);
    QTRY_COMPARE_WITH_TIMEOUT(fromHandler->state(), MqttSubscription::Subscribed, Timeout);
    // MQTT 3.1.1 (p2), clean session, keep-alive 5 s
    QTRY_VERIFY2_WITH_TIMEOUT(m_broker.log().contains("as tst-order-a (p2, c1, k5)"), qPrintable(m_broker.log()), Timeout);

    // Connecting again while connected changes nothing.
    transport.connectToHost();
    QCOMPARE(transport.state(), MqttTransport::Connected);

    log.entries.clear();
    transport.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Disconnected, Timeout);
    QCOMPARE(log.entries, QStringList({ "state:Disconnected", "disconnected" }));
    QTRY_VERIFY(fromHandler.isNull() || fromHandler->state() == MqttSubscription::Unsubscribed);

    // Changed settings apply at the next connect.
    transport.setClientId(QStringLiteral("tst-order-b"));
    transport.setCleanSession(false);
    transport.setKeepAlive(7);
    transport.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Connected, Timeout);
    QTRY_VERIFY2_WITH_TIMEOUT(m_broker.log().contains("as tst-order-b (p2, c0, k7)"), qPrintable(m_broker.log()), Timeout);
}

void tst_MqttTransport::deliversMessagesToMatchingSubscriptions()
{
    SignalLog log;
    MqttTransport transport;
    QVERIFY(connectTo(transport, QStringLiteral("tst-deliver"), m_broker));

    MqttSubscription *wildcard = transport.subscribe(QStringLiteral("deliver/+/data"), 1);
    QVERIFY(wildcard);
    QCOMPARE(wildcard->topic(), QStringLiteral("deliver/+/data"));
    QCOMPARE(wildcard->state(), MqttSubscription::SubscriptionPending);
    QCOMPARE(transport.subscribe(QStringLiteral("deliver/+/data"), 0), wildcard);
    MqttSubscription *all = transport.subscribe(QStringLiteral("deliver/#"), 0);
    QVERIFY(all);
    QVERIFY(all != wildcard);
    QTRY_COMPARE_WITH_TIMEOUT(wildcard->state(), MqttSubscription::Subscribed, Timeout);
    QTRY_COMPARE_WITH_TIMEOUT(all->state(), MqttSubscription::Subscribed, Timeout);
    QCOMPARE(wildcard->qos(), quint8(1));
    QCOMPARE(all->qos(), quint8(0));

    log.watch(&transport);
    log.watch(wildcard);
    log.watch(all);
    const QByteArray binary("\x00\x01\xff{}", 5);
    const QString utf8Topic = QStringLiteral("deliver/gr\u00fc\u00dfe/data");
    QVERIFY(m_peer.publish(QStringLiteral("deliver/a/data"), binary, 1));
    QVERIFY(m_peer.publish(QStringLiteral("deliver/b/other"), "two", 1));
    QVERIFY(m_peer.publish(utf8Topic, QByteArray(), 1));

    // The transport first, then each matching subscription in creation order.
    const QStringList expected {
        "msg:deliver/a/data:" + hex(binary),
        "submsg:deliver/+/data:deliver/a/data:" + hex(binary),
        "submsg:deliver/#:deliver/a/data:" + hex(binary),
        "msg:deliver/b/other:" + hex("two"),
        "submsg:deliver/#:deliver/b/other:" + hex("two"),
        "msg:" + utf8Topic + ":",
        "submsg:deliver/+/data:" + utf8Topic + ":",
        "submsg:deliver/#:" + utf8Topic + ":",
    };
    QTRY_COMPARE_WITH_TIMEOUT(log.entries, expected, Timeout);
}

void tst_MqttTransport::publishesToPeerIncludingFromHandlers()
{
    QVERIFY(m_peer.subscribe(QStringLiteral("out/#"), 1));
    MqttTransport transport;
    // A long keep-alive: no ping may push a stuck message out.
    transport.setKeepAlive(60);
    QVERIFY(connectTo(transport, QStringLiteral("tst-publish"), m_broker));

    QVERIFY(transport.publish(QStringLiteral("out/plain"), "hello", 1) > 0);
    auto message = m_peer.waitForMessage(QStringLiteral("out/plain"));
    QVERIFY(message);
    QCOMPARE(message->payload, QByteArray("hello"));
    QCOMPARE(message->qos, 1);
    QCOMPARE(message->retain, false);

    // Larger than the socket buffers: the rest goes out as the socket drains.
    const QByteArray large(32 * 1024 * 1024, 'L');
    QVERIFY(transport.publish(QStringLiteral("out/large"), large, 1) > 0);
    message = m_peer.waitForMessage(QStringLiteral("out/large"));
    QVERIFY(message);
    QCOMPARE(message->payload.size(), large.size());
    QVERIFY(message->payload == large);

    // Retained: a subscriber that comes later gets it.
    QVERIFY(transport.publish(QStringLiteral("out/retained"), "kept", 0, true) > 0);
    QVERIFY(m_peer.waitForMessage(QStringLiteral("out/retained")));
    {
        MqttPeer late;
        QVERIFY(late.connectToBroker(m_broker.host(), m_broker.port()));
        QVERIFY(late.subscribe(QStringLiteral("out/retained")));
        message = late.waitForMessage(QStringLiteral("out/retained"));
        QVERIFY(message);
        QCOMPARE(message->payload, QByteArray("kept"));
        QCOMPARE(message->retain, true);
    }
    QVERIFY(transport.publish(QStringLiteral("out/retained"), QByteArray(), 0, true) > 0);

    // Answers published from inside handlers go out at once.
    connect(&transport, &MqttTransport::messageReceived, this, [&](const QByteArray &payload, const QString &topic) {
        if (topic == QLatin1String("in/ping"))
            transport.publish(QStringLiteral("out/pong1"), payload + "-pong", 1);
    });
    MqttSubscription *ping = transport.subscribe(QStringLiteral("in/ping"), 1);
    QVERIFY(ping);
    connect(ping, &MqttSubscription::messageReceived, this, [&](const QByteArray &payload) {
        transport.publish(QStringLiteral("out/pong0"), payload + "-sub", 0);
    });
    QTRY_COMPARE_WITH_TIMEOUT(ping->state(), MqttSubscription::Subscribed, Timeout);
    QVERIFY(m_peer.publish(QStringLiteral("in/ping"), "p1", 1));
    message = m_peer.waitForMessage(QStringLiteral("out/pong1"));
    QVERIFY(message);
    QCOMPARE(message->payload, QByteArray("p1-pong"));
    message = m_peer.waitForMessage(QStringLiteral("out/pong0"));
    QVERIFY(message);
    QCOMPARE(message->payload, QByteArray("p1-sub"));
}

void tst_MqttTransport::refusesInvalidCalls()
{
    SignalLog log;
    MqttTransport transport;
    log.watch(&transport);
    QCOMPARE(transport.subscribe(QStringLiteral("idle/topic")), nullptr);
    QCOMPARE(transport.publish(QStringLiteral("idle/topic"), "x"), -1);
    transport.unsubscribe(QStringLiteral("idle/topic"));
    transport.disconnectFromHost();
    transport.closeTransport();
    QCOMPARE(transport.state(), MqttTransport::Disconnected);
    QVERIFY(log.entries.isEmpty());

    QVERIFY(connectTo(transport, QStringLiteral("tst-invalid"), m_broker));
    for (const QString &filter : { QString(), QStringLiteral("bad/#/filter"), QStringLiteral("bad+/x"),
                                   QStringLiteral("bad/x#") })
        QVERIFY2(!transport.subscribe(filter), qPrintable(filter));
    QCOMPARE(transport.subscribe(QStringLiteral("valid/qos"), 3), nullptr);
    QCOMPARE(transport.publish(QStringLiteral("bad/+/topic"), "x"), -1);
    QCOMPARE(transport.publish(QStringLiteral("bad/#"), "x"), -1);
    QCOMPARE(transport.publish(QString(), "x"), -1);
    QCOMPARE(transport.publish(QStringLiteral("valid/qos"), "x", 3), -1);

    // The connection is not harmed.
    QCOMPARE(transport.state(), MqttTransport::Connected);
    QVERIFY(m_peer.subscribe(QStringLiteral("valid/after")));
    QVERIFY(transport.publish(QStringLiteral("valid/after"), "ok", 1) > 0);
    QVERIFY(m_peer.waitForMessage(QStringLiteral("valid/after")));

    transport.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Disconnected, Timeout);
    QCOMPARE(transport.publish(QStringLiteral("valid/after"), "late"), -1);
    QCOMPARE(transport.subscribe(QStringLiteral("valid/after")), nullptr);
}

void tst_MqttTransport::unsubscribeStopsDelivery()
{
    SignalLog log;
    MqttTransport transport;
    QVERIFY(connectTo(transport, QStringLiteral("tst-unsub"), m_broker));
    QPointer<MqttSubscription> first = transport.subscribe(QStringLiteral("unsub/a"), 1);
    MqttSubscription *marker = transport.subscribe(QStringLiteral("unsub/marker"), 1);
    QVERIFY(first && marker);
    QTRY_COMPARE_WITH_TIMEOUT(first->state(), MqttSubscription::Subscribed, Timeout);
    QTRY_COMPARE_WITH_TIMEOUT(marker->state(), MqttSubscription::Subscribed, Timeout);
    log.watch(&transport);
    log.watch(first);

    first->unsubscribe();
    QCOMPARE(first->state(), MqttSubscription::UnsubscriptionPending);
    QTRY_COMPARE_WITH_TIMEOUT(log.entries,
                              QStringList({ "sub:unsub/a:UnsubscriptionPending", "sub:unsub/a:Unsubscribed" }), Timeout);
    if (first)
        first->unsubscribe(); // no effect once unsubscribed

    // The broker no longer sends it; the marker proves the later message came through.
    QVERIFY(m_peer.publish(QStringLiteral("unsub/a"), "after", 1));
    QVERIFY(m_peer.publish(QStringLiteral("unsub/marker"), "m", 1));
    QTRY_VERIFY_WITH_TIMEOUT(log.entries.contains("msg:unsub/marker:" + hex("m")), Timeout);
    QCOMPARE(log.entries.size(), 3);
    // Forgotten subscriptions are deleted by the transport.
    QTRY_VERIFY(first.isNull());

    // The same filter can be subscribed again; unsubscribe by filter ends it.
    QPointer<MqttSubscription> again = transport.subscribe(QStringLiteral("unsub/a"), 1);
    QVERIFY(again);
    QTRY_COMPARE_WITH_TIMEOUT(again->state(), MqttSubscription::Subscribed, Timeout);
    QSignalSpy received(again.data(), &MqttSubscription::messageReceived);
    QVERIFY(m_peer.publish(QStringLiteral("unsub/a"), "again", 1));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, Timeout);
    transport.unsubscribe(QStringLiteral("unsub/a"));
    QTRY_VERIFY_WITH_TIMEOUT(again.isNull() || again->state() == MqttSubscription::Unsubscribed, Timeout);
    QCOMPARE(transport.state(), MqttTransport::Connected);
}

void tst_MqttTransport::handlersMayReenter()
{
    auto *transport = new MqttTransport;
    QPointer<MqttTransport> guard(transport);
    QVERIFY(connectTo(*transport, QStringLiteral("tst-reenter"), m_broker));

    // A handler deletes its own subscription and unsubscribes the next one,
    // which then no longer gets the message.
    QPointer<MqttSubscription> first = transport->subscribe(QStringLiteral("re/#"));
    QPointer<MqttSubscription> second = transport->subscribe(QStringLiteral("re/+"));
    QVERIFY(first && second);
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), MqttSubscription::Subscribed, Timeout);
    QTRY_COMPARE_WITH_TIMEOUT(first->state(), MqttSubscription::Subscribed, Timeout);
    connect(first, &MqttSubscription::messageReceived, this, [&] {
        first->deleteLater();
        transport->unsubscribe(QStringLiteral("re/+"));
    });
    QSignalSpy secondReceived(second.data(), &MqttSubscription::messageReceived);
    QSignalSpy transportReceived(transport, &MqttTransport::messageReceived);
    QVERIFY(m_peer.publish(QStringLiteral("re/x"), "1", 1));
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull() || second->state() == MqttSubscription::Unsubscribed, Timeout);
    QCOMPARE(secondReceived.count(), 0);
    QCOMPARE(transportReceived.count(), 1);

    // A handler that waits in an event loop of its own still gets the next
    // message, though both arrived together.
    MqttSubscription *nest = transport->subscribe(QStringLiteral("nest/#"), 1);
    QVERIFY(nest);
    QTRY_COMPARE_WITH_TIMEOUT(nest->state(), MqttSubscription::Subscribed, Timeout);
    bool nestedSawSecond = false;
    const auto nesting = connect(transport, &MqttTransport::messageReceived, this,
                                 [&](const QByteArray &, const QString &topic) {
                                     if (topic != QLatin1String("nest/first"))
                                         return;
                                     QSignalSpy next(transport, &MqttTransport::messageReceived);
                                     nestedSawSecond = next.wait(Timeout);
                                 });
    QVERIFY(m_peer.publish(QStringLiteral("nest/first"), "1", 1));
    QVERIFY(m_peer.publish(QStringLiteral("nest/second"), "2", 1));
    QTRY_VERIFY_WITH_TIMEOUT(nestedSawSecond, 2 * Timeout);
    disconnect(nesting);

    // Closing from inside messageReceived: nothing is delivered afterwards,
    // and reconnecting from inside disconnected() works.
    QPointer<MqttSubscription> a = transport->subscribe(QStringLiteral("re2/a"), 1);
    QVERIFY(a);
    QTRY_COMPARE_WITH_TIMEOUT(a->state(), MqttSubscription::Subscribed, Timeout);
    QSignalSpy aReceived(a.data(), &MqttSubscription::messageReceived);
    const auto closing = connect(transport, &MqttTransport::messageReceived, this, [&] { transport->closeTransport(); });
    const auto reconnecting = connect(transport, &MqttTransport::disconnected, this, [&] { transport->connectToHost(); });
    QSignalSpy connectedSpy(transport, &MqttTransport::connected);
    QVERIFY(m_peer.publish(QStringLiteral("re2/a"), "2", 1));
    QVERIFY(connectedSpy.wait(Timeout));
    QCOMPARE(transport->state(), MqttTransport::Connected);
    QCOMPARE(aReceived.count(), 0);
    QTRY_VERIFY(a.isNull());
    disconnect(closing);
    disconnect(reconnecting);

    // The transport may be deleted later from its own signal.
    MqttSubscription *b = transport->subscribe(QStringLiteral("re3/b"), 1);
    QVERIFY(b);
    QTRY_COMPARE_WITH_TIMEOUT(b->state(), MqttSubscription::Subscribed, Timeout);
    connect(transport, &MqttTransport::messageReceived, transport, &QObject::deleteLater);
    QVERIFY(m_peer.publish(QStringLiteral("re3/b"), "3", 1));
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), Timeout);
}

void tst_MqttTransport::brokerLossEndsConnectionAndSubscriptions()
{
    MosquittoBroker broker;
    QVERIFY2(broker.start(), qPrintable(broker.log()));
    SignalLog log;
    MqttTransport transport;
    QVERIFY(connectTo(transport, QStringLiteral("tst-loss"), broker));
    QPointer<MqttSubscription> subscription = transport.subscribe(QStringLiteral("loss/a"), 1);
    QVERIFY(subscription);
    QTRY_COMPARE_WITH_TIMEOUT(subscription->state(), MqttSubscription::Subscribed, Timeout);
    MqttPeer peer;
    QVERIFY(peer.connectToBroker(broker.host(), broker.port()));
    QVERIFY(peer.subscribe(QStringLiteral("loss/#")));
    log.watch(&transport);
    log.watch(subscription);

    broker.stop();
    QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Disconnected, Timeout);
    QCOMPARE(log.entries, QStringList({ "error:TransportInvalid", "sub:loss/a:Unsubscribed", "state:Disconnected",
                                        "disconnected" }));
    QCOMPARE(transport.error(), MqttTransport::TransportInvalid);
    QCOMPARE(transport.publish(QStringLiteral("loss/a"), "x"), -1);
    QTRY_VERIFY(subscription.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(!peer.isConnected(), Timeout);

    // A new connection after the restart gets a working socket again.
    QVERIFY2(broker.restart(), qPrintable(broker.log()));
    log.entries.clear();
    transport.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Connected, Timeout);
    QCOMPARE(transport.error(), MqttTransport::NoError);
    MqttSubscription *renewed = transport.subscribe(QStringLiteral("loss/a"), 1);
    QVERIFY(renewed);
    QTRY_COMPARE_WITH_TIMEOUT(renewed->state(), MqttSubscription::Subscribed, Timeout);
    // The peer is back by itself, with its subscription.
    QTRY_VERIFY_WITH_TIMEOUT(peer.isConnected(), Timeout);
    QVERIFY(peer.publish(QStringLiteral("loss/a"), "back", 1));
    QTRY_VERIFY_WITH_TIMEOUT(log.entries.contains("msg:loss/a:" + hex("back")), Timeout);
    QVERIFY(transport.publish(QStringLiteral("loss/out"), "out", 1) > 0);
    QVERIFY(peer.waitForMessage(QStringLiteral("loss/out")));
}

void tst_MqttTransport::refusedConnectionEndsDisconnected()
{
    SignalLog log;
    MqttTransport transport;
    log.watch(&transport);
    transport.setHostname(QStringLiteral("127.0.0.1"));
    transport.setPort(closedPort());

    // The failure is reported from the event loop, after Connecting.
    transport.connectToHost();
    QCOMPARE(log.entries, QStringList({ "state:Connecting" }));
    const QStringList attempt { "state:Connecting", "error:TransportInvalid", "state:Disconnected" };
    QTRY_COMPARE_WITH_TIMEOUT(log.entries, attempt, Timeout);
    QCOMPARE(transport.error(), MqttTransport::TransportInvalid);

    // Each attempt reports its error again, though the value is the same.
    transport.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(log.entries, attempt + attempt, Timeout);

    // A name that does not resolve fails the same way, from the event loop.
    log.entries.clear();
    transport.setHostname(QStringLiteral("no-such-broker.invalid"));
    transport.connectToHost();
    QCOMPARE(log.entries, QStringList({ "state:Connecting" }));
    QTRY_COMPARE_WITH_TIMEOUT(log.entries, attempt, Timeout);

    // A name is looked up, and its addresses tried in turn.
    log.entries.clear();
    transport.setHostname(QStringLiteral("localhost"));
    transport.setPort(m_broker.port());
    transport.connectToHost();
    QCOMPARE(log.entries, QStringList({ "state:Connecting" }));
    QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Connected, Timeout);
}

void tst_MqttTransport::badCredentialsAreReported()
{
    MosquittoBroker broker;
    broker.setCredentials(QStringLiteral("ltxg"), QStringLiteral("secret"));
    QVERIFY2(broker.start(), qPrintable(broker.log()));
    SignalLog log;
    MqttTransport transport;
    log.watch(&transport);
    configure(transport, QStringLiteral("tst-credentials"), broker);

    // mosquitto 2.0 answers a wrong password, and a missing user, with
    // "not authorized" on MQTT 3.1.1.
    const QStringList refused { "state:Connecting", "error:NotAuthorized", "state:Disconnected" };
    transport.setUsername(QStringLiteral("ltxg"));
    transport.setPassword(QStringLiteral("wrong"));
    transport.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(log.entries, refused, Timeout);
    QCOMPARE(transport.error(), MqttTransport::NotAuthorized);

    log.entries.clear();
    transport.setUsername(QString());
    transport.setPassword(QString());
    transport.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(log.entries, refused, Timeout);

    log.entries.clear();
    transport.setUsername(QStringLiteral("ltxg"));
    transport.setPassword(QStringLiteral("secret"));
    transport.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(log.entries, QStringList({ "state:Connecting", "state:Connected", "connected" }), Timeout);
}

void tst_MqttTransport::closeTransportEndsHangingConnect()
{
    SilentListener listener;
    QVERIFY(listener.listen());
    SignalLog log;
    MqttTransport transport;
    log.watch(&transport);
    transport.setHostname(listener.host());
    transport.setPort(listener.port());
    transport.setKeepAlive(60);

    for (int attempt = 1; attempt <= 2; ++attempt) {
        log.entries.clear();
        transport.connectToHost();
        QTRY_COMPARE_WITH_TIMEOUT(listener.acceptedCount(), attempt, Timeout);
        QTest::qWait(200);
        QCOMPARE(transport.state(), MqttTransport::Connecting);
        transport.closeTransport();
        QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Disconnected, Timeout);
        // Asked for, so no error; never connected, so no disconnected().
        QCOMPARE(log.entries, QStringList({ "state:Connecting", "state:Disconnected" }));
        QCOMPARE(transport.error(), MqttTransport::NoError);
    }

    QVERIFY(connectTo(transport, QStringLiteral("tst-hanging"), m_broker));
}

void tst_MqttTransport::willOnlyOnUncleanLoss()
{
    QVERIFY(m_peer.subscribe(QStringLiteral("will/#"), 1));
    auto setWill = [](MqttTransport &transport, const QString &topic) {
        transport.setWillTopic(topic);
        transport.setWillMessage("gone");
        transport.setWillQoS(1);
        transport.setWillRetain(false);
    };

    MqttTransport aborted;
    setWill(aborted, QStringLiteral("will/aborted"));
    QVERIFY(connectTo(aborted, QStringLiteral("tst-will-aborted"), m_broker));
    QSignalSpy disconnectedSpy(&aborted, &MqttTransport::disconnected);
    aborted.closeTransport();
    QCOMPARE(aborted.state(), MqttTransport::Disconnected);
    QCOMPARE(disconnectedSpy.count(), 1);
    const auto will = m_peer.waitForMessage(QStringLiteral("will/aborted"));
    QVERIFY(will);
    QCOMPARE(will->payload, QByteArray("gone"));
    QCOMPARE(will->qos, 1);

    MqttTransport clean;
    setWill(clean, QStringLiteral("will/clean"));
    QVERIFY(connectTo(clean, QStringLiteral("tst-will-clean"), m_broker));
    clean.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(clean.state(), MqttTransport::Disconnected, Timeout);

    auto destroyed = std::make_unique<MqttTransport>();
    setWill(*destroyed, QStringLiteral("will/destroyed"));
    QVERIFY(connectTo(*destroyed, QStringLiteral("tst-will-destroyed"), m_broker));
    destroyed.reset();

    // A will would go out as soon as the broker sees the socket close, before
    // it forwards the marker sent afterwards.
    QVERIFY(m_peer.publish(QStringLiteral("will/marker"), "m", 1));
    QVERIFY(m_peer.waitForMessage(QStringLiteral("will/marker")));
    QTest::qWait(500);
    QCOMPARE(m_peer.messageCount(QStringLiteral("will/clean")), 0);
    QCOMPARE(m_peer.messageCount(QStringLiteral("will/destroyed")), 0);
}

void tst_MqttTransport::keepAliveHoldsIdleConnectionAndFindsFrozenBroker()
{
    MosquittoBroker broker;
    QVERIFY2(broker.start(), qPrintable(broker.log()));
    MqttPeer peer;
    QVERIFY(peer.connectToBroker(broker.host(), broker.port()));
    QVERIFY(peer.subscribe(QStringLiteral("ka/#")));

    MqttTransport transport;
    transport.setKeepAlive(5);
    QVERIFY(connectTo(transport, QStringLiteral("tst-keepalive"), broker));
    QSignalSpy stateSpy(&transport, &MqttTransport::stateChanged);
    // The broker drops a client silent for 1.5 x keep-alive.
    QVERIFY(!stateSpy.wait(12000));
    QCOMPARE(transport.state(), MqttTransport::Connected);
    QVERIFY(transport.publish(QStringLiteral("ka/alive"), "yes", 1) > 0);
    QVERIFY(peer.waitForMessage(QStringLiteral("ka/alive")));

    // A broker that hangs keeps the socket open: only the missing ping
    // response tells.
    broker.suspend();
    QTRY_COMPARE_WITH_TIMEOUT(transport.state(), MqttTransport::Disconnected, 30000);
    QCOMPARE(transport.error(), MqttTransport::TransportInvalid);
    broker.resume();
}

QTEST_GUILESS_MAIN(tst_MqttTransport)

#include "tst_mqtttransport.moc"

#include "Ethernet.h"
#include "IPv4.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "Network.h"
#include "ServiceTestBed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using manager::Connection;
using manager::Ethernet;
using manager::MqttClient;
using manager::Network;

namespace {

const QString Base = QStringLiteral("test/network");
const QString EthBase = Base + QStringLiteral("/ethernet");

QByteArray text(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject addresses(const QString &address, const QString &dns1 = QStringLiteral("8.8.4.4"))
{
    return { { "address", address },
             { "netmask", "255.255.255.0" },
             { "gateway", "10.0.0.1" },
             { "dns0", "8.8.8.8" },
             { "dns1", dns1 } };
}

QJsonObject ethernetConfig(const QString &interface, const QString &method, const QString &dns1)
{
    QJsonObject config = addresses("10.0.0.5", dns1);
    config.insert("interface", interface);
    config.insert("method", method);
    return config;
}

} // namespace

// The network and Ethernet clients against a real broker, with a peer playing
// the network manager service.
class tst_Network : public QObject
{
    Q_OBJECT

private:
    // Sends one message as the service and waits until the client has handled it.
    void serve(const QString &topic, const QByteArray &payload)
    {
        QVERIFY(m_bed.serve(*m_mqtt, topic, payload));
    }

    Ethernet *ethernet() const { return m_network->ethernet(); }

    ServiceTestBed m_bed;
    MqttPeer &m_peer = m_bed.peer();
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<Network> m_network;
    std::unique_ptr<LogRecorder> m_log;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_bed.start("network-service", Base), qPrintable(m_bed.broker().log()));
    }

    void init()
    {
        m_log = std::make_unique<LogRecorder>();
        m_mqtt = m_bed.makeClient("network-client");
        m_network = std::make_unique<Network>(*m_mqtt, Base);
        QVERIFY(m_bed.connectClient(*m_mqtt));
        QVERIFY(m_bed.waitUntilLive(*m_mqtt, Base + "/status", "probe"));
        m_log->clear();
    }

    void cleanup()
    {
        m_network.reset();
        m_mqtt.reset();
        m_log.reset();
    }

    void subscribesAndAsksTheEthernetStateOnConnect()
    {
        LogRecorder log;
        MqttClient mqtt;
        m_bed.configure(mqtt, "network-client-2");
        Network network(mqtt, Base);
        QCOMPARE(log.matching("[Network] Subscribing to topics").size(), 1);
        QCOMPARE(log.matching("[Network][Ethernet] Subscribing to topics").size(), 1);
        QCOMPARE(network.isConnected(), false);
        QCOMPARE(network.primaryConnection()->ipv4()->address(), QString());

        mqtt.connect();
        for (const QString suffix : { "/state/get", "/config/get" }) {
            const auto message = m_peer.waitForMessage(Base + "/#");
            QVERIFY(message);
            QCOMPARE(message->topic, EthBase + suffix);
            QCOMPARE(message->payload, QByteArray("{}"));
            QCOMPARE(message->qos, 0);
            QCOMPARE(message->retain, false);
        }
        QVERIFY(log.contains("[Network] Refreshing data"));
        QVERIFY(log.contains("[Network][Ethernet] Refreshing data"));
        // The network service is never asked: it pushes its state.
        QTest::qWait(200);
        QCOMPARE(m_peer.messageCount(Base + "/#"), 2);
    }

    void statusAndPrimaryConnection()
    {
        QSignalSpy state(m_network.get(), &Network::connectionStateChanged);
        QSignalSpy connectivity(m_network.get(), &Network::connectivityChanged);
        QSignalSpy hostname(m_network.get(), &Network::hostnameChanged);
        QSignalSpy primary(m_network.get(), &Network::primaryConnectionChanged);
        Connection *connection = m_network->primaryConnection();
        QSignalSpy interface(connection, &Connection::interfaceChanged);
        QSignalSpy connectionIpv4(connection, &Connection::ipv4Changed);

        const QJsonObject status{ { "stateStr", "connected" },
                                  { "connectivityStr", "full" },
                                  { "hostname", "terminal-7" },
                                  { "primaryConnection",
                                    QJsonObject{ { "interface", "eth0" },
                                                 { "stateStr", "activated" },
                                                 { "typeStr", "ethernet" },
                                                 { "ipv4", addresses("10.0.0.5") } } } };
        serve(Base + "/status", text(status));
        QCOMPARE(m_network->connectionState(), QString("connected"));
        QCOMPARE(m_network->connectivity(), QString("full"));
        QCOMPARE(m_network->hostname(), QString("terminal-7"));
        QCOMPARE(connection->interface(), QString("eth0"));
        QCOMPARE(connection->state(), QString("activated"));
        QCOMPARE(connection->type(), QString("ethernet"));
        QCOMPARE(connection->ipv4()->address(), QString("10.0.0.5"));
        QCOMPARE(connection->ipv4()->mask(), QString("255.255.255.0"));
        QCOMPARE(primary.size(), 1);
        QVERIFY(m_log->contains("[Network] Processing status topic " + Base + "/status"));

        // Nothing new: only the primary connection is signalled again.
        serve(Base + "/status", text(status));
        QCOMPARE(primary.size(), 2);
        QCOMPARE(state.size(), 1);
        QCOMPARE(connectivity.size(), 1);
        QCOMPARE(hostname.size(), 1);
        QCOMPARE(interface.size(), 1);
        QCOMPARE(connectionIpv4.size(), 1);

        // A missing key reads as empty and clears the value.
        QJsonObject withoutHost = status;
        withoutHost.remove("hostname");
        serve(Base + "/status", text(withoutHost));
        QCOMPARE(m_network->hostname(), QString());
        QCOMPARE(hostname.size(), 2);
        QCOMPARE(primary.size(), 3);

        serve(Base + "/info", R"({"service": {"version": "2.4.1"}})");
        QCOMPARE(m_network->version(), QString("2.4.1"));
        QVERIFY(m_log->contains("[Network] Processing info topic " + Base + "/info"));
    }

    void ethernetStateIgnoresUsb0()
    {
        Ethernet *eth = ethernet();
        QSignalSpy interface(eth, &Ethernet::interfaceChanged);
        QSignalSpy mac(eth, &Ethernet::macChanged);
        QSignalSpy ipv4(eth, &Ethernet::ipv4Changed);

        const QJsonObject state{ { "interface", "eth0" },   { "typeStr", "ethernet" },
                                 { "stateStr", "connected" }, { "reasonStr", "none" },
                                 { "mac", "00:11:22:33:44:55" }, { "ipv4", addresses("10.0.0.5") } };
        serve(EthBase + "/state", text(state));
        QCOMPARE(eth->interface(), QString("eth0"));
        QCOMPARE(eth->type(), QString("ethernet"));
        QCOMPARE(eth->state(), QString("connected"));
        QCOMPARE(eth->reason(), QString("none"));
        QCOMPARE(eth->mac(), QString("00:11:22:33:44:55"));
        QCOMPARE(eth->ipv4()->address(), QString("10.0.0.5"));
        QCOMPARE(eth->ipv4()->dns1(), QString("8.8.4.4"));
        QVERIFY(m_log->contains("[Network][Ethernet] Interface changed : eth0"));
        QVERIFY(m_log->contains("[Network][Ethernet] MAC changed : 00:11:22:33:44:55"));
        QCOMPARE(m_log->matching("[Network][Ethernet] IPv4 changed : ").size(), 1);
        QCOMPARE(ipv4.size(), 1);

        // The USB link's state, whatever it holds, leaves the wired one alone.
        const QJsonObject usb{ { "interface", "usb0" }, { "stateStr", "disconnected" },
                               { "mac", "aa:bb:cc:dd:ee:ff" }, { "ipv4", addresses("192.0.2.1") } };
        serve(EthBase + "/state", text(usb));
        QCOMPARE(eth->interface(), QString("eth0"));
        QCOMPARE(eth->state(), QString("connected"));
        QCOMPARE(eth->mac(), QString("00:11:22:33:44:55"));
        QCOMPARE(eth->ipv4()->address(), QString("10.0.0.5"));
        QCOMPARE(interface.size(), 1);
        QCOMPARE(mac.size(), 1);
        QCOMPARE(ipv4.size(), 1);

        // The same state again changes nothing.
        m_log->clear();
        serve(EthBase + "/state", text(state));
        QCOMPARE(ipv4.size(), 1);
        QCOMPARE(m_log->matching(" changed : ").size(), 0);
    }

    void ethernetConfigChangesOnlyOnDifference()
    {
        Ethernet *eth = ethernet();
        QSignalSpy config(eth, &Ethernet::configChanged);
        QSignalSpy method(eth, &Ethernet::methodChanged);
        QSignalSpy dns1(eth->config(), &IPv4::dns1Changed);
        QSignalSpy address(eth->config(), &IPv4::addressChanged);

        serve(EthBase + "/config", text(ethernetConfig("eth0", "manual", "8.8.4.4")));
        QCOMPARE(eth->method(), QString("manual"));
        QCOMPARE(eth->config()->address(), QString("10.0.0.5"));
        QCOMPARE(eth->config()->mask(), QString("255.255.255.0"));
        QCOMPARE(eth->config()->gateway(), QString("10.0.0.1"));
        QCOMPARE(eth->config()->dns0(), QString("8.8.8.8"));
        QCOMPARE(eth->config()->dns1(), QString("8.8.4.4"));
        QCOMPARE(config.size(), 1);
        QCOMPARE(method.size(), 1);
        QVERIFY(m_log->contains("[Network][Ethernet] Method changed : manual"));
        QVERIFY(m_log->contains("[Network][Ethernet] Processing config topic " + EthBase + "/config"));

        // Identical configuration: no signal.
        serve(EthBase + "/config", text(ethernetConfig("eth0", "manual", "8.8.4.4")));
        QCOMPARE(config.size(), 1);
        QCOMPARE(method.size(), 1);

        // Only the second name server differs: one signal for it.
        serve(EthBase + "/config", text(ethernetConfig("eth0", "manual", "1.1.1.1")));
        QCOMPARE(config.size(), 2);
        QCOMPARE(dns1.size(), 2);
        QCOMPARE(address.size(), 1);
        QCOMPARE(eth->config()->dns1(), QString("1.1.1.1"));

        // The USB link's configuration is not the wired one.
        QJsonObject usb = ethernetConfig("usb0", "auto", "9.9.9.9");
        usb.insert("address", "192.0.2.1");
        serve(EthBase + "/config", text(usb));
        QCOMPARE(eth->method(), QString("manual"));
        QCOMPARE(eth->config()->address(), QString("10.0.0.5"));
        QCOMPARE(config.size(), 2);
        QCOMPARE(method.size(), 1);
    }

    void saveSendsAddressesOnlyForManual()
    {
        Ethernet *eth = ethernet();
        serve(EthBase + "/state", R"({"interface": "eth0", "stateStr": "connected"})");
        serve(EthBase + "/config", text(ethernetConfig("eth0", "manual", "8.8.4.4")));
        m_peer.clear();

        // The settings screen edits the record and the method, then saves.
        eth->config()->setAddress("10.0.0.77");
        eth->config()->setDns1("1.0.0.1");
        eth->setMethod("auto");
        QSignalSpy config(eth, &Ethernet::configChanged);
        eth->save();
        auto message = m_peer.waitForMessage(EthBase + "/config/set");
        QVERIFY(message);
        QCOMPARE(message->qos, 0);
        QCOMPARE(message->retain, false);
        const QJsonObject automatic{ { "interface", "eth0" }, { "method", "auto" }, { "address", "" },
                                     { "netmask", "" },       { "gateway", "" },    { "dns0", "" },
                                     { "dns1", "" } };
        QCOMPARE(QJsonDocument::fromJson(message->payload).object(), automatic);
        QVERIFY(m_log->contains("[Network][Ethernet] Saving configuration"));
        QVERIFY(m_log->contains("[Network][Ethernet] Address : 10.0.0.77"));
        QVERIFY(m_log->contains("[Network][Ethernet] DNS     : 8.8.8.8, 1.0.0.1"));

        eth->setMethod("manual");
        eth->save();
        message = m_peer.waitForMessage(EthBase + "/config/set");
        QVERIFY(message);
        QJsonObject manual = addresses("10.0.0.77", "1.0.0.1");
        manual.insert("interface", "eth0");
        manual.insert("method", "manual");
        QCOMPARE(QJsonDocument::fromJson(message->payload).object(), manual);

        // Saving changes nothing locally; the service's answer does.
        QCOMPARE(config.size(), 0);
        QJsonObject stored = manual;
        stored.insert("gateway", "10.0.0.254");
        serve(EthBase + "/config", text(stored));
        QCOMPARE(config.size(), 1);
        QCOMPARE(eth->config()->gateway(), QString("10.0.0.254"));
        QCOMPARE(eth->config()->address(), QString("10.0.0.77"));
    }

    void badInputIsLoggedAndChangesNothing()
    {
        serve(Base + "/status", R"({"stateStr": "connected", "hostname": "terminal-7"})");
        serve(EthBase + "/config", text(ethernetConfig("eth0", "manual", "8.8.4.4")));
        QSignalSpy hostname(m_network.get(), &Network::hostnameChanged);
        QSignalSpy primary(m_network.get(), &Network::primaryConnectionChanged);
        QSignalSpy config(ethernet(), &Ethernet::configChanged);
        m_log->clear();

        serve(Base + "/status", "{\"hostname\": ");
        QCOMPARE(m_log->lines(QtCriticalMsg).size(), 1);
        QVERIFY(m_log->lines(QtCriticalMsg).first().startsWith("[Network] Failed to parse JSON message: "));
        QCOMPARE(m_network->hostname(), QString("terminal-7"));
        QCOMPARE(primary.size(), 0);

        serve(EthBase + "/config", "not json");
        QVERIFY(m_log->contains("[Network][Ethernet] Failed to parse JSON message: "));
        QCOMPARE(ethernet()->method(), QString("manual"));
        QCOMPARE(ethernet()->config()->address(), QString("10.0.0.5"));
        QCOMPARE(config.size(), 0);
        QCOMPARE(hostname.size(), 0);

        // An empty payload is an empty object: every value falls back to empty.
        serve(Base + "/status", QByteArray());
        QCOMPARE(m_network->connectionState(), QString());
        QCOMPARE(m_network->hostname(), QString());
        QCOMPARE(hostname.size(), 1);
        QCOMPARE(primary.size(), 1);
    }

    void monitorRefreshesUntilStopped()
    {
        m_network->monitor(50);
        QVERIFY(m_log->contains("[Network] Monitor started : 50 msec(s)"));
        QTRY_VERIFY_WITH_TIMEOUT(m_log->matching("[Network] Refreshing data").size() >= 3, 10000);

        m_network->monitor(0);
        QVERIFY(m_log->contains("[Network] Monitor stopped"));
        const int refreshes = m_log->matching("[Network] Refreshing data").size();
        QTest::qWait(300);
        QCOMPARE(m_log->matching("[Network] Refreshing data").size(), refreshes);
    }
};

QTEST_GUILESS_MAIN(tst_Network)
#include "tst_network.moc"

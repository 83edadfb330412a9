#pragma once

#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

// What every service-client test sets up: a broker, a peer playing the
// service (subscribed to everything under base) and clients of the code under
// test on that broker.
class ServiceTestBed
{
public:
    bool start(const QString &peerId, const QString &base)
    {
        return m_broker.start() && m_peer.connectToBroker(m_broker.host(), m_broker.port(), peerId)
            && m_peer.subscribe(base + "/#", 1);
    }

    MosquittoBroker &broker() { return m_broker; }
    MqttPeer &peer() { return m_peer; }

    // Pointed at the broker, not connected yet.
    std::unique_ptr<manager::MqttClient> makeClient(const QString &clientId) const
    {
        auto client = std::make_unique<manager::MqttClient>();
        client->setHostname(m_broker.host());
        client->setPort(m_broker.port());
        client->setClientId(clientId);
        return client;
    }

    // Connects and waits until the broker has accepted the client.
    static bool connectClient(manager::MqttClient &client)
    {
        QSignalSpy connected(&client, &manager::MqttClient::connected);
        client.connect();
        return connected.wait(Timeout);
    }

    // The peer publishes payload on topic; true once the client has received
    // that very message (not a straggler of an earlier one).
    bool serve(manager::MqttClient &client, const QString &topic, const QByteArray &payload)
    {
        QSignalSpy received(&client, &manager::MqttClient::received);
        if (!m_peer.publish(topic, payload))
            return false;
        const auto arrived = [&] {
            return std::any_of(received.cbegin(), received.cend(), [&](const QList<QVariant> &message) {
                return message.at(1).toByteArray() == topic.toUtf8() && message.at(0).toByteArray() == payload;
            });
        };
        // Waits in the same 50 ms steps as QTRY_VERIFY, which lets a
        // stimulus's stragglers arrive before the test goes on.
        if (!arrived())
            QTest::qWait(0);
        for (int waited = 0; waited < Timeout && !arrived(); waited += 50)
            QTest::qWait(50);
        return arrived();
    }

private:
    static constexpr int Timeout = 10000;
    MosquittoBroker m_broker;
    MqttPeer m_peer;
};

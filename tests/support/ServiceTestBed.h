#pragma once

#include "MosquittoBroker.h"
#include "MqttPeer.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace manager {
class MqttClient;
}

/*
 * What every service-client test sets up: a broker, a peer playing the
 * service (subscribed to everything under the service's base) and clients
 * of the code under test connected to that broker.
 *
 *     QVERIFY2(m_bed.start("board-service", Base), qPrintable(m_bed.broker().log()));
 *     m_mqtt = m_bed.makeClient("board-client");
 *     m_board = std::make_unique<Board>(*m_mqtt, Base);
 *     QVERIFY(m_bed.connectClient(*m_mqtt));
 *     QVERIFY(m_bed.waitUntilLive(*m_mqtt, Base + "/event", "probe"));
 */
class ServiceTestBed
{
public:
    // Starts the broker and connects the peer, subscribed to base + "/#".
    bool start(const QString &peerId, const QString &base);

    MosquittoBroker &broker() { return m_broker; }
    MqttPeer &peer() { return m_peer; }

    // Points a client at the broker; it is not connected yet.
    void configure(manager::MqttClient &client, const QString &clientId) const;
    std::unique_ptr<manager::MqttClient> makeClient(const QString &clientId) const;
    // Connects and waits until the broker has accepted the client.
    static bool connectClient(manager::MqttClient &client);

    // The client's subscriptions are live once a probe on the last of them
    // comes through, so the peer publishes it until one does (pick a probe
    // the client ignores). Then the peer forgets everything it has heard.
    bool waitUntilLive(manager::MqttClient &client, const QString &topic, const QByteArray &probe);
    // The peer publishes payload on topic; true once the client has received
    // that message.
    bool serve(manager::MqttClient &client, const QString &topic, const QByteArray &payload);

private:
    MosquittoBroker m_broker;
    MqttPeer m_peer;
};

#include "ServiceTestBed.h"

#include "MqttClient.h"

#include <QSignalSpy>
#include <QTest>

using manager::MqttClient;

namespace {
const int Timeout = 10000;
}

bool ServiceTestBed::start(const QString &peerId, const QString &base)
{
    return m_broker.start() && m_peer.connectToBroker(m_broker.host(), m_broker.port(), peerId)
        && m_peer.subscribe(base + "/#", 1);
}

void ServiceTestBed::configure(MqttClient &client, const QString &clientId) const
{
    client.setHostname(m_broker.host());
    client.setPort(m_broker.port());
    client.setClientId(clientId);
}

std::unique_ptr<MqttClient> ServiceTestBed::makeClient(const QString &clientId) const
{
    auto client = std::make_unique<MqttClient>();
    configure(*client, clientId);
    return client;
}

bool ServiceTestBed::connectClient(MqttClient &client)
{
    QSignalSpy connected(&client, &MqttClient::connected);
    client.connect();
    return connected.wait(Timeout);
}

bool ServiceTestBed::waitUntilLive(MqttClient &client, const QString &topic, const QByteArray &probe)
{
    QSignalSpy received(&client, &MqttClient::received);
    const bool live = QTest::qWaitFor(
        [&] {
            m_peer.publish(topic, probe);
            return !received.isEmpty();
        },
        Timeout);
    // Let a probe still on its way arrive before the peer forgets.
    QTest::qWait(50);
    m_peer.clear();
    return live;
}

bool ServiceTestBed::serve(MqttClient &client, const QString &topic, const QByteArray &payload)
{
    QSignalSpy received(&client, &MqttClient::received);
    if (!m_peer.publish(topic, payload))
        return false;
    // Only this very message will do: a straggler of an earlier stimulus
    // (a probe published until one came through) must not stand in for it.
    const QByteArray wanted = topic.toUtf8();
    const auto arrived = [&] {
        for (const QList<QVariant> &message : qAsConst(received)) {
            if (message.at(1).toByteArray() == wanted && message.at(0).toByteArray() == payload)
                return true;
        }
        return false;
    };
    // Waits in the same 50 ms steps as QTRY_VERIFY, which lets a stimulus's
    // stragglers arrive before the test goes on.
    if (!arrived())
        QTest::qWait(0);
    for (int waited = 0; waited < Timeout && !arrived(); waited += 50)
        QTest::qWait(50);
    return arrived();
}

#include "MqttSubscription.h"

#include "MqttTransport.h"

namespace manager {

MqttSubscription::MqttSubscription(const QString &topic, quint8 qos, MqttTransport *transport)
    : QObject(transport)
    , m_topic(topic)
    , m_filter(topic.toUtf8())
    , m_wildcard(m_filter.contains('+') || m_filter.contains('#'))
    , m_qos(qos)
    , m_transport(transport)
{
}

MqttSubscription::~MqttSubscription()
{
    // A subscription deleted while still active stops the broker's deliveries,
    // as Qt's client does.
    if (m_transport)
        m_transport->forgetSubscription(this);
}

QString MqttSubscription::topic() const
{
    return m_topic;
}

quint8 MqttSubscription::qos() const
{
    return m_qos;
}

MqttSubscription::SubscriptionState MqttSubscription::state() const
{
    return m_state;
}

void MqttSubscription::unsubscribe()
{
    if (m_transport) {
        m_transport->unsubscribeSubscription(this);
        return;
    }
    if (m_state != Unsubscribed)
        setState(Unsubscribed);
}

void MqttSubscription::setState(SubscriptionState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(m_state);
}

void MqttSubscription::setQos(quint8 qos)
{
    m_qos = qos;
}

} // namespace manager

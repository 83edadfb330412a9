#include "Network.h"

#include "Ethernet.h"
#include "MqttClient.h"
#include "ServiceMonitor.h"

#include <QDebug>

namespace manager {

namespace {

const QString kTag = QStringLiteral("[Network] ");

} // namespace

Network::Network(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base)
    , m_timer(this)
    , m_primary(this)
    , m_ethernet(new Ethernet(mqtt, base, this))
    , m_dispatcher(kTag, m_base)
{
    m_dispatcher.addHandler(QStringLiteral("/info"),
                            [this](const QJsonObject &object, const QString &topic) { onInfoReceived(object, topic); });
    m_dispatcher.addHandler(QStringLiteral("/status"), [this](const QJsonObject &object, const QString &topic) {
        onStatusReceived(object, topic);
    });

    m_dispatcher.forward(m_mqtt, this, &Network::onMqttReceived);
    connect(&m_mqtt, &MqttClient::connected, this, &Network::refresh);
    connect(&m_timer, &QTimer::timeout, this, &Network::refresh);
    subscribe();
}

bool Network::isConnected() const
{
    return m_isConnected;
}

QString Network::connectionState() const
{
    return m_connectionState;
}

QString Network::connectivity() const
{
    return m_connectivity;
}

QString Network::hostname() const
{
    return m_hostname;
}

Connection *Network::primaryConnection()
{
    return &m_primary;
}

Ethernet *Network::ethernet() const
{
    return m_ethernet;
}

QString Network::version() const
{
    return m_version;
}

void Network::subscribe()
{
    qInfo().noquote().nospace() << kTag << "Subscribing to topics";
    m_mqtt.subscribe(m_base + QStringLiteral("/info"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/status"), 0);
}

void Network::refresh()
{
    // The service publishes its state by itself; there is nothing to ask for.
    qDebug().noquote().nospace() << kTag << "Refreshing data";
}

void Network::monitor(int msec)
{
    if (applyMonitor(m_timer, kTag, msec))
        refresh();
}

void Network::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    m_dispatcher.dispatch(payload, topic);
}

void Network::onInfoReceived(const QJsonObject &object, const QString &topic)
{
    qInfo().noquote().nospace() << kTag << "Processing info topic " << topic;
    m_version = object.value(QStringLiteral("service")).toObject().value(QStringLiteral("version")).toString();
}

void Network::onStatusReceived(const QJsonObject &object, const QString &topic)
{
    qInfo().noquote().nospace() << kTag << "Processing status topic " << topic;
    if (assignIfChanged(m_connectionState, object.value(QStringLiteral("stateStr")).toString()))
        emit connectionStateChanged();
    if (assignIfChanged(m_connectivity, object.value(QStringLiteral("connectivityStr")).toString()))
        emit connectivityChanged();
    if (assignIfChanged(m_hostname, object.value(QStringLiteral("hostname")).toString()))
        emit hostnameChanged();

    m_primary.fromMap(object.value(QStringLiteral("primaryConnection")).toObject().toVariantMap());
    emit primaryConnectionChanged();
}

} // namespace manager

#include "Ethernet.h"

#include "MqttClient.h"

#include <QDebug>
#include <QJsonDocument>

namespace manager {

namespace {

const QString kTag = QStringLiteral("[Network][Ethernet] ");
// The USB gadget link to a service laptop; the settings screens are about the
// wired interface only.
const QString kIgnoredInterface = QStringLiteral("usb0");

} // namespace

Ethernet::Ethernet(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base + QStringLiteral("/ethernet"))
    , m_ipv4(this)
    , m_config(this)
    , m_dispatcher(kTag, m_base)
{
    m_dispatcher.addHandler(QStringLiteral("/state"), [this](const QJsonObject &object, const QString &topic) {
        onStateReceived(object, topic);
    });
    m_dispatcher.addHandler(QStringLiteral("/config"), [this](const QJsonObject &object, const QString &topic) {
        onConfigReceived(object, topic);
    });

    m_dispatcher.forward(m_mqtt, this, &Ethernet::onMqttReceived);
    connect(&m_mqtt, &MqttClient::connected, this, &Ethernet::reset);
    subscribe();
}

QString Ethernet::interface() const
{
    return m_interface;
}

QString Ethernet::type() const
{
    return m_type;
}

QString Ethernet::state() const
{
    return m_state;
}

QString Ethernet::reason() const
{
    return m_reason;
}

QString Ethernet::mac() const
{
    return m_mac;
}

QString Ethernet::method() const
{
    return m_method;
}

IPv4 *Ethernet::ipv4()
{
    return &m_ipv4;
}

IPv4 *Ethernet::config()
{
    return &m_config;
}

void Ethernet::setMethod(const QString &method)
{
    if (method == m_method)
        return;
    qInfo().noquote().nospace() << kTag << "Method changed : " << method;
    m_method = method;
    emit methodChanged();
}

void Ethernet::subscribe()
{
    qInfo().noquote().nospace() << kTag << "Subscribing to topics";
    m_mqtt.subscribe(m_base + QStringLiteral("/state"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/config"), 0);
}

void Ethernet::reset()
{
    qDebug().noquote().nospace() << kTag << "Refreshing data";
    m_mqtt.publish(QByteArrayLiteral("{}"), m_base + QStringLiteral("/state/get"), 0, false);
    m_mqtt.publish(QByteArrayLiteral("{}"), m_base + QStringLiteral("/config/get"), 0, false);
}

void Ethernet::save()
{
    qInfo().noquote().nospace() << kTag << "Saving configuration";
    qInfo().noquote().nospace() << kTag << "-------------------------";
    qInfo().noquote().nospace() << kTag << "Method  : " << m_method;
    qInfo().noquote().nospace() << kTag << "Address : " << m_config.address();
    qInfo().noquote().nospace() << kTag << "Netmask : " << m_config.mask();
    qInfo().noquote().nospace() << kTag << "Gateway : " << m_config.gateway();
    qInfo().noquote().nospace() << kTag << "DNS     : " << m_config.dns0() << ", " << m_config.dns1();
    qInfo().noquote().nospace() << kTag << "-------------------------";

    // Any method but a manual one has the service find the addresses itself,
    // so stale edited values must not travel with it.
    const bool manual = m_method == QLatin1String("manual");
    QJsonObject object;
    object.insert(QStringLiteral("interface"), m_interface);
    object.insert(QStringLiteral("method"), m_method);
    object.insert(QStringLiteral("address"), manual ? m_config.address() : QString());
    object.insert(QStringLiteral("netmask"), manual ? m_config.mask() : QString());
    object.insert(QStringLiteral("gateway"), manual ? m_config.gateway() : QString());
    object.insert(QStringLiteral("dns0"), manual ? m_config.dns0() : QString());
    object.insert(QStringLiteral("dns1"), manual ? m_config.dns1() : QString());
    m_mqtt.publish(QJsonDocument(object).toJson(QJsonDocument::Indented), m_base + QStringLiteral("/config/set"), 0,
                   false);
}

void Ethernet::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    m_dispatcher.dispatch(payload, topic);
}

void Ethernet::onStateReceived(const QJsonObject &object, const QString &topic)
{
    qInfo().noquote().nospace() << kTag << "Processing state topic " << topic;
    const QString interface = object.value(QStringLiteral("interface")).toString();
    if (interface == kIgnoredInterface)
        return;

    if (assignIfChanged(m_interface, interface)) {
        qInfo().noquote().nospace() << kTag << "Interface changed : " << m_interface;
        emit interfaceChanged();
    }
    if (assignIfChanged(m_type, object.value(QStringLiteral("typeStr")).toString())) {
        qInfo().noquote().nospace() << kTag << "Type changed : " << m_type;
        emit typeChanged();
    }
    if (assignIfChanged(m_state, object.value(QStringLiteral("stateStr")).toString())) {
        qInfo().noquote().nospace() << kTag << "State changed : " << m_state;
        emit stateChanged();
    }
    if (assignIfChanged(m_reason, object.value(QStringLiteral("reasonStr")).toString())) {
        qInfo().noquote().nospace() << kTag << "Reason changed : " << m_reason;
        emit reasonChanged();
    }
    if (assignIfChanged(m_mac, object.value(QStringLiteral("mac")).toString())) {
        qInfo().noquote().nospace() << kTag << "MAC changed : " << m_mac;
        emit macChanged();
    }

    const QVariantMap ipv4 = IPv4::normalized(object.value(QStringLiteral("ipv4")).toObject().toVariantMap());
    if (ipv4 != m_ipv4.toMap()) {
        qInfo().noquote().nospace() << kTag << "IPv4 changed : " << ipv4;
        m_ipv4.fromMap(ipv4);
        emit ipv4Changed();
    }
}

void Ethernet::onConfigReceived(const QJsonObject &object, const QString &topic)
{
    qInfo().noquote().nospace() << kTag << "Processing config topic " << topic;
    if (object.value(QStringLiteral("interface")).toString() == kIgnoredInterface)
        return;

    setMethod(object.value(QStringLiteral("method")).toString());

    // The addresses sit at the top level of the message next to "interface"
    // and "method"; only they make up the configuration record.
    const QVariantMap config = IPv4::normalized(object.toVariantMap());
    if (config != m_config.toMap()) {
        qInfo().noquote().nospace() << kTag << "IPv4 changed : " << config;
        m_config.fromMap(config);
        emit configChanged();
    }
}

} // namespace manager

#include "Barcode.h"

#include "MqttClient.h"

#include <QDebug>

namespace manager {

BarcodeManager::BarcodeManager(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base)
    , m_dispatcher(QString(), m_base, ServiceDispatcher::EmptyIsParseError, ServiceDispatcher::rawPayloadText)
{
    m_dispatcher.addHandler(QStringLiteral("/info"),
                            [this](const QJsonObject &object, const QString &topic) { onInfoReceived(object, topic); });
    m_dispatcher.addHandler(QStringLiteral("/status"), [this](const QJsonObject &object, const QString &topic) {
        onStatusReceived(object, topic);
    });
    m_dispatcher.addHandler(QStringLiteral("/barcode"), [this](const QJsonObject &object, const QString &topic) {
        onBarcodeReceived(object, topic);
    });

    m_dispatcher.forward(m_mqtt, this, &BarcodeManager::onMqttReceived);
    m_mqtt.subscribe(m_base + QStringLiteral("/#"), 0);
}

BarcodeManager::Info BarcodeManager::info() const
{
    return m_info;
}

QString BarcodeManager::status() const
{
    return m_status;
}

void BarcodeManager::enable()
{
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/enable"), 0, false);
}

void BarcodeManager::disable()
{
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/disable"), 0, false);
}

void BarcodeManager::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    m_dispatcher.dispatch(payload, topic);
}

void BarcodeManager::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    qWarning().noquote().nospace() << "Barcode status is : " << status;
    m_status = status;
    emit statusChanged(status);
}

void BarcodeManager::onStatusReceived(const QJsonObject &object, const QString &)
{
    if (!object.value(QStringLiteral("service")).toBool()) {
        setStatus(QStringLiteral("offline"));
        return;
    }
    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    if (!device.value(QStringLiteral("active")).toBool()) {
        setStatus(QStringLiteral("error"));
        return;
    }
    if (!device.value(QStringLiteral("enabled")).toBool()) {
        setStatus(QStringLiteral("disabled"));
        return;
    }
    setStatus(QStringLiteral("enabled"));
}

void BarcodeManager::onInfoReceived(const QJsonObject &object, const QString &)
{
    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    const QJsonObject service = object.value(QStringLiteral("service")).toObject();
    m_info.firmware = device.value(QStringLiteral("firmware")).toString();
    m_info.manufacturer = device.value(QStringLiteral("manufacturer")).toString();
    m_info.model = device.value(QStringLiteral("model")).toString();
    m_info.version = service.value(QStringLiteral("version")).toString();
    m_info.type = service.value(QStringLiteral("type")).toString();
}

void BarcodeManager::onBarcodeReceived(const QJsonObject &object, const QString &)
{
    emit barcodeScanned(object.value(QStringLiteral("data")).toString());
}

} // namespace manager

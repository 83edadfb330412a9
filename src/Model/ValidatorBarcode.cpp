#include "ValidatorBarcode.h"

#include "ServiceDispatcher.h"

ValidatorBarcode::ValidatorBarcode(QObject *parent)
    : QObject(parent)
{
}

void ValidatorBarcode::fromJson(const QJsonObject &json)
{
    if (json.contains(QStringLiteral("active")))
        setActive(json.value(QStringLiteral("active")).toBool());
    if (json.contains(QStringLiteral("enabled")))
        setEnabled(json.value(QStringLiteral("enabled")).toBool());
    if (json.contains(QStringLiteral("firmware")))
        setFirmware(json.value(QStringLiteral("firmware")).toString());
    if (json.contains(QStringLiteral("manufacturer")))
        setManufacturer(json.value(QStringLiteral("manufacturer")).toString());
    if (json.contains(QStringLiteral("model")))
        setModel(json.value(QStringLiteral("model")).toString());
}

void ValidatorBarcode::setActive(bool active)
{
    if (manager::assignIfChanged(m_active, active))
        emit activeChanged();
}

void ValidatorBarcode::setEnabled(bool enabled)
{
    if (manager::assignIfChanged(m_enabled, enabled))
        emit enabledChanged();
}

void ValidatorBarcode::setFirmware(const QString &firmware)
{
    if (manager::assignIfChanged(m_firmware, firmware))
        emit firmwareChanged();
}

void ValidatorBarcode::setVersion(const QString &version)
{
    if (manager::assignIfChanged(m_version, version))
        emit versionChanged();
}

void ValidatorBarcode::setManufacturer(const QString &manufacturer)
{
    if (manager::assignIfChanged(m_manufacturer, manufacturer))
        emit manufacturerChanged();
}

void ValidatorBarcode::setModel(const QString &model)
{
    if (manager::assignIfChanged(m_model, model))
        emit modelChanged();
}

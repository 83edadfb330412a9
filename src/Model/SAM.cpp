#include "SAM.h"

#include "ServiceDispatcher.h"

SAM::SAM(QObject *parent)
    : QObject(parent)
{
}

SAM::SAM(const QJsonObject &json, QObject *parent)
    : QObject(parent)
{
    fromJson(json);
}

void SAM::fromJson(const QJsonObject &json)
{
    if (manager::assignIfChanged(m_slot, json.value(QStringLiteral("slot")).toInt()))
        emit slotChanged();
    if (manager::assignIfChanged(m_enabled, json.value(QStringLiteral("enabled")).toBool()))
        emit enabledChanged();
    if (manager::assignIfChanged(m_unlocked, json.value(QStringLiteral("unlocked")).toBool()))
        emit unlockedChanged();
    if (manager::assignIfChanged(m_atr, json.value(QStringLiteral("atr")).toString()))
        emit atrChanged();
    if (manager::assignIfChanged(m_batch, json.value(QStringLiteral("batch")).toString()))
        emit batchChanged();
    if (manager::assignIfChanged(m_mode, json.value(QStringLiteral("mode")).toString()))
        emit modeChanged();
    if (manager::assignIfChanged(m_name, json.value(QStringLiteral("name")).toString()))
        emit nameChanged();
    // Anything but year-month-day reads as a null date.
    const QDate production = QDate::fromString(json.value(QStringLiteral("production")).toString(),
                                               QStringLiteral("yyyy-MM-dd"));
    if (manager::assignIfChanged(m_production, production))
        emit productionChanged();
    if (manager::assignIfChanged(m_uid, json.value(QStringLiteral("uid")).toString()))
        emit uidChanged();
    if (manager::assignIfChanged(m_vendor, json.value(QStringLiteral("vendor")).toString()))
        emit vendorChanged();
    if (manager::assignIfChanged(m_version, json.value(QStringLiteral("version")).toString()))
        emit versionChanged();
}

#include "ValidatorRfid.h"

#include "SAM.h"
#include "ServiceDispatcher.h"

#include <QHash>
#include <QJsonArray>

ValidatorRfid::ValidatorRfid(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<SAM *>("SAM*");
}

void ValidatorRfid::fromJson(const QJsonObject &json)
{
    if (json.contains(QStringLiteral("firmware"))) {
        setFirmware(json.value(QStringLiteral("firmware")).toString());
        setModel(json.value(QStringLiteral("model")).toString());
        setManufacturer(json.value(QStringLiteral("manufacturer")).toString());
        setDeviceUid(json.value(QStringLiteral("uid")).toString());
    }

    if (json.contains(QStringLiteral("state"))) {
        setActive(json.value(QStringLiteral("active")).toBool());
        setError(json.value(QStringLiteral("error")).toString());
        setState(stateName(json.value(QStringLiteral("state")).toInt(-1)));

        m_slots.clear();
        const QJsonArray slotArray = json.value(QStringLiteral("slots")).toArray();
        for (const QJsonValue &slot : slotArray)
            m_slots.append(slot.toBool());

        replaceSams(json.value(QStringLiteral("sams")).toArray());
    }
}

bool ValidatorRfid::enabled() const
{
    return m_state == QLatin1String("Searching") || m_state == QLatin1String("CardFound");
}

void ValidatorRfid::replaceSams(const QJsonArray &sams)
{
    // QML may still be bound to the old records: let them live until the
    // event loop runs again.
    for (SAM *sam : qAsConst(m_sams))
        sam->deleteLater();
    m_sams.clear();
    for (const QJsonValue &sam : sams)
        m_sams.append(new SAM(sam.toObject(), this));
    emit samChanged();
}

QString ValidatorRfid::stateName(int state)
{
    static const QHash<int, QString> names = {
        {0, QStringLiteral("Init")},      {1, QStringLiteral("Idle")},     {2, QStringLiteral("Searching")},
        {3, QStringLiteral("CardFound")}, {4, QStringLiteral("Updating")}, {5, QStringLiteral("Error")},
    };
    return names.value(state, QStringLiteral("Unknown"));
}

void ValidatorRfid::setActive(bool active)
{
    if (manager::assignIfChanged(m_active, active))
        emit activeChanged();
}

void ValidatorRfid::setFirmware(const QString &firmware)
{
    if (manager::assignIfChanged(m_firmware, firmware))
        emit firmwareChanged();
}

void ValidatorRfid::setVersion(const QString &version)
{
    if (manager::assignIfChanged(m_version, version))
        emit versionChanged();
}

void ValidatorRfid::setManufacturer(const QString &manufacturer)
{
    if (manager::assignIfChanged(m_manufacturer, manufacturer))
        emit manufacturerChanged();
}

void ValidatorRfid::setModel(const QString &model)
{
    if (manager::assignIfChanged(m_model, model))
        emit modelChanged();
}

void ValidatorRfid::setDeviceUid(const QString &deviceUid)
{
    if (manager::assignIfChanged(m_deviceUid, deviceUid))
        emit deviceUidChanged();
}

void ValidatorRfid::setError(const QString &error)
{
    if (manager::assignIfChanged(m_error, error))
        emit errorChanged();
}

void ValidatorRfid::setState(const QString &state)
{
    if (!manager::assignIfChanged(m_state, state))
        return;
    emit stateChanged();
    // enabled is derived from the state; QML re-reads it on every state change.
    emit enabledChanged();
}

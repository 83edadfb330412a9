#include "SAM.h"

#include "ServiceDispatcher.h"

namespace {

// The same strict reading as QDate::fromString(text, "yyyy-MM-dd"), without
// its parser's local-time conversions: each of those looks the time zone up
// on disk, and every validator status carries the date again.
QDate dateFromText(const QString &text)
{
    if (text.size() != 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return {};
    const auto number = [&text](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    if (year < 0 || month < 0 || day < 0)
        return {};
    // A day that does not exist gives a null date too.
    return QDate(year, month, day);
}

} // namespace

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
    const QDate production = dateFromText(json.value(QStringLiteral("production")).toString());
    if (manager::assignIfChanged(m_production, production))
        emit productionChanged();
    if (manager::assignIfChanged(m_uid, json.value(QStringLiteral("uid")).toString()))
        emit uidChanged();
    if (manager::assignIfChanged(m_vendor, json.value(QStringLiteral("vendor")).toString()))
        emit vendorChanged();
    if (manager::assignIfChanged(m_version, json.value(QStringLiteral("version")).toString()))
        emit versionChanged();
}

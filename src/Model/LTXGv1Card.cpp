#include "LTXGv1Card.h"

#include <QJsonArray>

namespace {

// Local time, no zone designator. Parsing is strict: any other shape, or a
// date or time that does not exist, gives an invalid date-time.
const QString TimestampFormat = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss");

} // namespace

const QString LTXGv1Card::Name = QStringLiteral("LTXGv1");

QJsonObject LTXGv1Card::_Usage::toJson() const
{
    return QJsonObject{
        {QStringLiteral("timestamp"),
         timestamp.isValid() ? timestamp.toLocalTime().toString(TimestampFormat) : QString()},
        {QStringLiteral("type"), type},
        {QStringLiteral("usageCounter"), usageCounter},
        {QStringLiteral("deviceId"), deviceId},
        {QStringLiteral("locationId"), locationId},
    };
}

LTXGv1Card::_Usage &LTXGv1Card::_Usage::fromJson(const QJsonObject &object)
{
    type = object.value(QStringLiteral("type")).toString();
    deviceId = object.value(QStringLiteral("deviceId")).toString();
    locationId = object.value(QStringLiteral("locationId")).toString();
    timestamp = QDateTime::fromString(object.value(QStringLiteral("timestamp")).toString(), TimestampFormat);
    usageCounter = object.value(QStringLiteral("usageCounter")).toInt(0);
    return *this;
}

LTXGv1Card::LTXGv1Card()
    : m_status(QStringLiteral("available"))
{
    setName(Name);
}

LTXGv1Card::~LTXGv1Card() = default;

QString LTXGv1Card::status() const
{
    return m_status;
}

int LTXGv1Card::customsId() const
{
    return m_customsId;
}

int LTXGv1Card::usageCounter() const
{
    return m_usageCounter;
}

void LTXGv1Card::setStatus(const QString &status)
{
    m_status = status;
}

void LTXGv1Card::setCustomsId(int customsId)
{
    m_customsId = customsId;
}

void LTXGv1Card::incrUsageCounter(int n)
{
    // The counter is unbounded: let it wrap instead of overflowing (undefined
    // for signed integers).
    m_usageCounter = int(unsigned(m_usageCounter) + unsigned(n));
}

const LTXGv1Card::Usage *LTXGv1Card::lastUsage() const
{
    return m_usageLog.isEmpty() ? nullptr : &m_usageLog.constLast();
}

QList<LTXGv1Card::Usage> LTXGv1Card::usageLogs() const
{
    return m_usageLog;
}

void LTXGv1Card::addUsageLog(const Usage &usage)
{
    m_newUsageLog.append(usage);
}

void LTXGv1Card::addUsageLog(const QString &type, const QString &deviceId, const QString &locationId)
{
    Usage usage;
    usage.type = type;
    usage.deviceId = deviceId;
    usage.locationId = locationId;
    usage.timestamp = QDateTime::currentDateTime();
    usage.usageCounter = m_usageCounter;
    m_newUsageLog.append(usage);
}

QJsonObject LTXGv1Card::data() const
{
    QJsonArray log;
    for (const Usage &usage : m_newUsageLog)
        log.append(usage.toJson());

    return QJsonObject{
        {QStringLiteral("info"),
         QJsonObject{
             {QStringLiteral("version"), 0},
             {QStringLiteral("customsId"), m_customsId},
             {QStringLiteral("status"), m_status},
         }},
        {QStringLiteral("usageCounter"), m_usageCounter},
        {QStringLiteral("usageLog"), log},
    };
}

void LTXGv1Card::setData(const QJsonObject &data)
{
    const QJsonObject info = data.value(QStringLiteral("info")).toObject();
    m_customsId = info.value(QStringLiteral("customsId")).toInt(0);
    m_status = info.value(QStringLiteral("status")).toString();
    m_usageCounter = data.value(QStringLiteral("usageCounter")).toInt(0);

    const QJsonArray log = data.value(QStringLiteral("usageLog")).toArray();
    for (const QJsonValue &entry : log)
        m_usageLog.append(Usage().fromJson(entry.toObject()));
}

LTXGv1Card::Ptr LTXGv1Card::fromJson(const QJsonObject &object)
{
    auto card = LTXGv1Card::Ptr::create();
    card->setUid(object.value(QStringLiteral("uid")).toString());
    card->setName(object.value(QStringLiteral("template")).toString());
    card->setType(Tag::Type(object.value(QStringLiteral("type")).toInt(0)));
    card->setData(object.value(QStringLiteral("data")).toObject());
    return card;
}

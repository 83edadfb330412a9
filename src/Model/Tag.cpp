#include "Tag.h"

#include <QHash>

Tag::Tag() = default;

Tag::Tag(const QString &uid, Tag::Type type)
    : m_uid(uid)
    , m_type(type)
{
}

Tag::~Tag() = default;

QString Tag::uid() const
{
    return m_uid;
}

Tag::Type Tag::type() const
{
    return m_type;
}

void Tag::setUid(const QString &uid)
{
    m_uid = uid;
}

void Tag::setType(Tag::Type type)
{
    m_type = type;
}

QJsonObject Tag::toJson() const
{
    return QJsonObject{
        {QStringLiteral("uid"), m_uid},
        {QStringLiteral("type"), int(m_type)},
    };
}

Tag::Ptr Tag::fromJson(const QJsonObject &object)
{
    // toInt() yields 0 for anything but an integral number in int range.
    return Tag::Ptr::create(object.value(QStringLiteral("uid")).toString(),
                            Tag::Type(object.value(QStringLiteral("type")).toInt(0)));
}

QString Tag::typeToStr(Tag::Type type)
{
    static const QHash<int, QString> names{
        {None, QStringLiteral("Unknown")},
        {ISO14443_4A, QStringLiteral("ISO14443-4A")},
        {ISO14443_4B, QStringLiteral("ISO14443-4B")},
        {MIFARE_Classic_1K, QStringLiteral("MIFARE Classic 1K")},
        {MIFARE_Classic_4K, QStringLiteral("MIFARE Classic 4K")},
        {MIFARE_Plus_2K, QStringLiteral("MIFARE Plus 2K")},
        {MIFARE_Plus_4K, QStringLiteral("MIFARE Plus 4K")},
        {MIFARE_Ultralight, QStringLiteral("MIFARE Ultralight")},
        {MIFARE_Mini, QStringLiteral("MIFARE Mini")},
        {MIFARE_DESFire, QStringLiteral("MIFARE DESFire")},
        {EMV, QStringLiteral("EMV")},
        {Other, QStringLiteral("Other")},
    };
    return names.value(int(type), QStringLiteral("Unknown"));
}

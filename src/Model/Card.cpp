#include "Card.h"

Card::Card() = default;

Card::Card(const QString &uid, Tag::Type type)
    : Tag(uid, type)
{
}

Card::~Card() = default;

QString Card::name() const
{
    return m_name;
}

void Card::setName(const QString &name)
{
    m_name = name;
}

QJsonObject Card::toJson() const
{
    QJsonObject object = Tag::toJson();
    object.insert(QStringLiteral("template"), m_name);
    const QJsonObject payload = data();
    object.insert(QStringLiteral("data"), payload.isEmpty() ? QJsonValue() : QJsonValue(payload));
    return object;
}

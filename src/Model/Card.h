#pragma once

#include "Tag.h"

// A tag whose memory holds a payload laid out after a named template. Each
// template derives from this class and defines its payload.
class Card : public Tag
{
public:
    using Ptr = QSharedPointer<Card>;

    Card();
    Card(const QString &uid, Tag::Type type);
    ~Card() override;
    Card(const Card &) = default;
    Card &operator=(const Card &) = default;

    QString name() const;
    void setName(const QString &name);

    QJsonObject toJson() const override;
    virtual QJsonObject data() const = 0;
    virtual void setData(const QJsonObject &data) = 0;

private:
    QString m_name;
};

Q_DECLARE_METATYPE(Card::Ptr)

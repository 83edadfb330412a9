#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QSharedPointer>
#include <QString>

// Anything the RFID reader detected: a UID and a technology. Cards derive
// from it; records are passed around through shared pointers and converted
// between kinds by static casts, so a holder must know what it built.
class Tag
{
public:
    using Ptr = QSharedPointer<Tag>;

    // Single-bit values as the RFID service sends them. The underlying type
    // is fixed so that any integer from the wire, listed or not, can be kept.
    enum Type : int {
        None = 0,
        ISO14443_4A = 1,
        ISO14443_4B = 2,
        MIFARE_Classic_1K = 4,
        MIFARE_Classic_4K = 8,
        MIFARE_Plus_2K = 16,
        MIFARE_Plus_4K = 32,
        MIFARE_Ultralight = 64,
        MIFARE_Mini = 128,
        MIFARE_DESFire = 256,
        EMV = 512,
        Other = 32768,
    };

    Tag();
    Tag(const QString &uid, Tag::Type type);
    virtual ~Tag();
    Tag(const Tag &) = default;
    Tag &operator=(const Tag &) = default;

    QString uid() const;
    Tag::Type type() const;
    void setUid(const QString &uid);
    void setType(Tag::Type type);

    virtual QJsonObject toJson() const;

    static Tag::Ptr fromJson(const QJsonObject &object);
    static QString typeToStr(Tag::Type type);

private:
    QString m_uid;
    Tag::Type m_type = None;
};

Q_DECLARE_METATYPE(Tag::Ptr)

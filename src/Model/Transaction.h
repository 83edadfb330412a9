#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantMap>

// The validation service's answer for one presented ticket or card. Keeps the
// object as received and works out each value when asked.
class Transaction : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool valid READ valid CONSTANT)
    Q_PROPERTY(Type type READ type CONSTANT)
    Q_PROPERTY(int denyReasonId READ denyReasonId CONSTANT)
    Q_PROPERTY(QString denyReason READ denyReason CONSTANT)
    Q_PROPERTY(QString ticketId READ ticketId CONSTANT)
    Q_PROPERTY(QString fareProduct READ fareProduct CONSTANT)
    Q_PROPERTY(QString passengerType READ passengerType CONSTANT)
    Q_PROPERTY(QVariantMap details READ details CONSTANT)
    Q_PROPERTY(QVariantMap ticket READ ticket CONSTANT)

public:
    enum Type {
        Barcode = 0,
        CardEPurse = 2,
        CardStoredJourneys = 5,
        CardPeriodPass = 8,
        CardEMV = 10,
        CardTransfer = 12,
        CardPassengerTypeUpdate = 13,
        CardTransferEPurse = 14,
        CardCappingEPurse = 15,
        CardCappingStoredJourneys = 16,
    };
    Q_ENUM(Type)

    explicit Transaction(QObject *parent = nullptr);
    explicit Transaction(const QJsonObject &json, QObject *parent = nullptr);
    // Records travel by value through signals; a copy has no parent.
    Transaction(const Transaction &other);
    Transaction &operator=(const Transaction &other);

    bool valid() const;
    Type type() const;
    int denyReasonId() const;
    QString denyReason() const;
    static const char *denyReasonText(int id);
    QString ticketId() const;
    QString fareProduct() const;
    QString passengerType() const;
    QVariantMap details() const;
    QVariantMap ticket() const;

    QVariantMap toMap() const;
    static QVariantMap defaultDetails();
    // "yyyy-MM-ddTHH:mm:ssZ" (UTC) in local time; invalid for any other form.
    static QDateTime convertTimestamp(const QString &text);

private:
    QJsonObject m_data;
};

Q_DECLARE_METATYPE(Transaction)

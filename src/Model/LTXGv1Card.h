#pragma once

#include "Card.h"

#include <QDateTime>
#include <QList>

// The card issued at an entry gate: customs identifier, status, usage counter
// and usage log.
class LTXGv1Card : public Card
{
public:
    using Ptr = QSharedPointer<LTXGv1Card>;

    static const QString Name;

    struct _Usage
    {
        QString type;
        QString deviceId;
        QString locationId;
        QDateTime timestamp; // local time
        int usageCounter = 0;

        QJsonObject toJson() const;
        _Usage &fromJson(const QJsonObject &object);
    };
    using Usage = _Usage;

    LTXGv1Card();
    LTXGv1Card(const LTXGv1Card &) = default;
    LTXGv1Card &operator=(const LTXGv1Card &) = default;
    ~LTXGv1Card() override;

    QString status() const;
    int customsId() const;
    int usageCounter() const;
    void setStatus(const QString &status);
    void setCustomsId(int customsId);
    void incrUsageCounter(int n);

    // The most recent entry read from the card, or null. Valid until the
    // card's usage log changes (setData) or the card is destroyed.
    const Usage *lastUsage() const;
    QList<Usage> usageLogs() const;
    void addUsageLog(const Usage &usage);
    void addUsageLog(const QString &type, const QString &deviceId, const QString &locationId);

    QJsonObject data() const override;
    void setData(const QJsonObject &data) override;

    static LTXGv1Card::Ptr fromJson(const QJsonObject &object);

private:
    QString m_status;
    int m_customsId = 0;
    int m_usageCounter = 0;
    QList<Usage> m_usageLog;    // read from the card, never written back
    QList<Usage> m_newUsageLog; // added here, the only entries a write carries
};

Q_DECLARE_METATYPE(LTXGv1Card::Ptr)

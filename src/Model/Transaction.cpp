#include "Transaction.h"

#include <QHash>
#include <QRegularExpression>

Transaction::Transaction(QObject *parent)
    : QObject(parent)
{
}

Transaction::Transaction(const QJsonObject &json, QObject *parent)
    : QObject(parent)
    , m_data(json)
{
}

Transaction::Transaction(const Transaction &other)
    : QObject()
    , m_data(other.m_data)
{
}

Transaction &Transaction::operator=(const Transaction &other)
{
    m_data = other.m_data;
    return *this;
}

bool Transaction::valid() const
{
    return m_data.value(QStringLiteral("result")).toBool();
}

Transaction::Type Transaction::type() const
{
    return static_cast<Type>(m_data.value(QStringLiteral("type")).toInt());
}

int Transaction::denyReasonId() const
{
    return m_data.value(QStringLiteral("denyReason")).toObject().value(QStringLiteral("id")).toInt();
}

// The refusal in English, as logs and peers see it; the screens translate
// it (context "Transaction") where they show it, so it follows the language.
const char *Transaction::denyReasonText(int id)
{
    static const QHash<int, const char *> texts = {
        {100, QT_TR_NOOP("The ticket is invalid")},
        {101, QT_TR_NOOP("The ticket has expired")},
        {102, QT_TR_NOOP("The ticket is not allowed in this route")},
        {103, QT_TR_NOOP("The ticket has already been validated")},
        {104, QT_TR_NOOP("The ticket is not yet active")},
        {105, QT_TR_NOOP("Please try again")},
        {106, QT_TR_NOOP("The ticket does not belong to this operator")},
        {107, QT_TR_NOOP("The ticket has an invalid passenger profile")},
        {108, QT_TR_NOOP("The ticket is not allowed in this axis")},
        {109, QT_TR_NOOP("The ticket is not allowed in this zone")},
        {110, QT_TR_NOOP("The ticket has invalid timestamp")},
        {200, QT_TR_NOOP("The card is invalid")},
        {201, QT_TR_NOOP("The card has expired")},
        {202, QT_TR_NOOP("The card is not allowed in this route")},
        {203, QT_TR_NOOP("The card has already been validated")},
        {204, QT_TR_NOOP("The card does not have enough trips")},
        {205, QT_TR_NOOP("The card does not have sufficient balance")},
        {206, QT_TR_NOOP("This card can no longer be used")},
        {207, QT_TR_NOOP("The card has already been validated")},
        {208, QT_TR_NOOP("The card is not active")},
        {209, QT_TR_NOOP("The card does not belong to this operator")},
        {250, QT_TR_NOOP("The card is blocked")},
        {251, QT_TR_NOOP("The card is blocked")},
        {252, QT_TR_NOOP("The card is blocked")},
        {253, QT_TR_NOOP("The card is blocked")},
        {254, QT_TR_NOOP("The card is blocked")},
        {255, QT_TR_NOOP("The card is blocked")},
        {300, QT_TR_NOOP("The product is blocked")},
        {301, QT_TR_NOOP("The product is not yet active")},
        {500, QT_TR_NOOP("Internal Error")},
    };
    return texts.value(id, QT_TR_NOOP("Unknown Error"));
}

QString Transaction::denyReason() const
{
    return tr(denyReasonText(denyReasonId()));
}

QString Transaction::ticketId() const
{
    return m_data.value(QStringLiteral("ticketId")).toString();
}

QString Transaction::fareProduct() const
{
    return m_data.value(QStringLiteral("fareProductName")).toString();
}

QString Transaction::passengerType() const
{
    return m_data.value(QStringLiteral("passengerTypeName")).toString();
}

QVariantMap Transaction::defaultDetails()
{
    return {
        {QStringLiteral("fromStopGroupName"), QString()},
        {QStringLiteral("toStopGroupName"), QString()},
        {QStringLiteral("deducted"), 0.0},
        {QStringLiteral("remaining"), 0.0},
        {QStringLiteral("activationTimestamp"), QDateTime()},
        {QStringLiteral("expires"), QDateTime()},
        {QStringLiteral("transferRemainingMin"), 0},
    };
}

QVariantMap Transaction::details() const
{
    QVariantMap details = defaultDetails();
    const QJsonObject card = m_data.value(QStringLiteral("card")).toObject();

    const auto fillStoredJourneys = [&details, &card]() {
        const QJsonObject journeys = card.value(QStringLiteral("storedJourneys")).toObject();
        details[QStringLiteral("activationTimestamp")] =
            convertTimestamp(journeys.value(QStringLiteral("activationTimestamp")).toString());
        details[QStringLiteral("remaining")] = journeys.value(QStringLiteral("after")).toInt();
        details[QStringLiteral("transferRemainingMin")] =
            journeys.value(QStringLiteral("transferRemainingMin")).toInt();
    };

    switch (type()) {
    case Barcode: {
        const QJsonObject barcode = m_data.value(QStringLiteral("barcode")).toObject();
        details[QStringLiteral("fromStopGroupName")] = barcode.value(QStringLiteral("fromStopGroupName")).toString();
        details[QStringLiteral("toStopGroupName")] = barcode.value(QStringLiteral("toStopGroupName")).toString();
        details[QStringLiteral("transferRemainingMin")] =
            barcode.value(QStringLiteral("transferRemainingMin")).toInt();
        break;
    }
    case CardEPurse:
    case CardCappingEPurse: {
        // Balances come in cents; subtract before scaling so no rounding creeps in.
        const int before = card.value(QStringLiteral("balanceBefore")).toInt();
        const int after = card.value(QStringLiteral("balanceAfter")).toInt();
        details[QStringLiteral("deducted")] = (qint64(before) - after) / 100.0;
        details[QStringLiteral("remaining")] = after / 100.0;
        break;
    }
    case CardPeriodPass: {
        const QJsonObject pass = card.value(QStringLiteral("periodPass")).toObject();
        const QJsonValue minutesValue = pass.value(QStringLiteral("remainingMinutes"));
        // 64-bit: a pass valid for years must not wrap around.
        const qint64 minutes = (minutesValue.isUndefined() || minutesValue.isNull())
            ? qint64(pass.value(QStringLiteral("remainingDays")).toInt()) * 1440
            : qint64(minutesValue.toInt());
        details[QStringLiteral("activationTimestamp")] =
            convertTimestamp(pass.value(QStringLiteral("activationTimestamp")).toString());
        details[QStringLiteral("remaining")] = minutes;
        details[QStringLiteral("expires")] = QDateTime::currentDateTime().addSecs(minutes * 60);
        break;
    }
    case CardStoredJourneys:
    case CardCappingStoredJourneys:
    case CardTransfer:
        fillStoredJourneys();
        break;
    case CardTransferEPurse:
        details[QStringLiteral("deducted")] = 0;
        details[QStringLiteral("remaining")] = card.value(QStringLiteral("balanceAfter")).toInt() / 100.0;
        details[QStringLiteral("transferRemainingMin")] = card.value(QStringLiteral("ePurse"))
                                                              .toObject()
                                                              .value(QStringLiteral("transferRemainingMin"))
                                                              .toInt();
        break;
    case CardEMV:
    case CardPassengerTypeUpdate:
        break;
    }
    return details;
}

QVariantMap Transaction::ticket() const
{
    return {};
}

QVariantMap Transaction::toMap() const
{
    return {
        {QStringLiteral("valid"), valid()},
        {QStringLiteral("type"), int(type())},
        {QStringLiteral("denyReason"), QString::fromLatin1(denyReasonText(denyReasonId()))},
        {QStringLiteral("denyReasonId"), denyReasonId()},
        {QStringLiteral("fareProduct"), fareProduct()},
        // The key is spelt this way in the screens that read it.
        {QStringLiteral("passengeType"), passengerType()},
        {QStringLiteral("details"), details()},
    };
}

QDateTime Transaction::convertTimestamp(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})T(\\d{2}:\\d{2}:\\d{2})Z$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(match.captured(2), QStringLiteral("HH:mm:ss"));
    // A bad time would silently read as midnight.
    if (!date.isValid() || !time.isValid())
        return {};
    // Built as UTC directly, so a local daylight-saving gap cannot shift it.
    return QDateTime(date, time, Qt::UTC).toLocalTime();
}

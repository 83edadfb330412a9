#include "JsonState.h"
#include "LTXGv1Card.h"
#include "SAM.h"
#include "Tag.h"
#include "Transaction.h"
#include "ValidatorRfid.h"

#include <QPointer>
#include <QtTest>

#include <ctime>

namespace {

QJsonObject parse(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// A validation result as the screens read it; "expires" in minutes from now.
QJsonObject shown(const Transaction &t)
{
    QVariantMap map = t.toMap();
    const QVariantMap details = map.take("details").toMap();
    QJsonObject result = QJsonObject::fromVariantMap(map);
    QJsonObject shownDetails;
    for (auto it = details.begin(); it != details.end(); ++it) {
        const QDateTime at = it.value().toDateTime();
        if (it.value().type() != QVariant::DateTime)
            shownDetails.insert(it.key(), QJsonValue::fromVariant(it.value()));
        else if (!at.isValid())
            shownDetails.insert(it.key(), "");
        else if (it.key() == "expires")
            shownDetails.insert(it.key(), qRound64(QDateTime::currentDateTime().secsTo(at) / 60.0));
        else
            shownDetails.insert(it.key(), QString(at.toString("yyyy-MM-dd'T'HH:mm:ss") + (at.timeSpec() == Qt::LocalTime ? "" : " not local")));
    }
    result.insert("details", shownDetails);
    result.insert("ticketId", t.ticketId());
    return result;
}

// A card: what a write would carry, how many usages were read and the last.
QJsonObject shown(const LTXGv1Card &card)
{
    QJsonObject result = card.toJson();
    result.insert("reads", card.usageLogs().size());
    result.insert("last", card.lastUsage() ? card.lastUsage()->toJson() : QJsonObject());
    return result;
}

void row(const char *name, const char *kind, const QStringList &inputs, const QString &expected)
{
    QTest::newRow(name) << QString(kind) << inputs << expected;
}

const char Entries[] = R"({"uid": "04A1B2C3", "type": 64, "template": "LTXGv1", "data": {
    "info": {"version": 0, "customsId": 42, "status": "active"}, "usageCounter": 2, "usageLog": [
    {"timestamp": "2024-01-10T08:00:00", "type": "entry", "usageCounter": 1, "deviceId": "dev-1", "locationId": "gate-a"},
    {"timestamp": "2024-01-11T09:30:15", "type": "exit", "usageCounter": 2, "deviceId": "dev-2", "locationId": "gate-b"}]}})";

const char NoDetails[] = R"({"fromStopGroupName": "", "toStopGroupName": "", "deducted": 0, "remaining": 0,
    "activationTimestamp": "", "expires": "", "transferRemainingMin": 0})";

} // namespace

// The records read from and written to the services: the validation result,
// tags and cards, the validator's reader. Runs at UTC+05:30 so that UTC
// taken for local time shows.
class tst_Records : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "IST-5:30");
        tzset();
        QCOMPARE(QDateTime(QDate(2024, 3, 5), QTime(12, 0)).offsetFromUtc(), 5 * 3600 + 1800);
    }

    // Each row reads its inputs (JSON) into a record of its kind, one after
    // the other, and names what the record then shows.
    void records_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QString>("expected");
        const auto refusal = [](const char *name, const char *json, int id, const char *text) {
            row(name, "transaction", {json}, QString(R"({"valid": false, "denyReasonId": %1, "denyReason": "%2"})").arg(id).arg(text));
        };
        row("empty result", "transaction", {"{}"}, R"({"valid": false, "type": 0, "denyReason": "Unknown Error", "denyReasonId": 0,
            "fareProduct": "", "passengeType": "", "ticketId": "", "details": )" + QString(NoDetails) + "}");
        row("ticket", "transaction", {R"({"result": true, "type": 0, "ticketId": "T-9", "fareProductName": "Single",
            "passengerTypeName": "Student", "barcode": {"fromStopGroupName": "Port", "toStopGroupName": "Airport", "transferRemainingMin": 45}})"},
            R"({"valid": true, "ticketId": "T-9", "fareProduct": "Single", "passengeType": "Student", "details": {"fromStopGroupName":
            "Port", "toStopGroupName": "Airport", "transferRemainingMin": 45, "deducted": 0, "remaining": 0, "expires": ""}})");
        refusal("refused 205", R"({"result": false, "denyReason": {"id": 205}})", 205, "The card does not have sufficient balance");
        refusal("207 reads as 203", R"({"denyReason": {"id": 207}})", 207, "The card has already been validated");
        refusal("refused, id not listed", R"({"denyReason": {"id": 999}})", 999, "Unknown Error");
        refusal("refused, id as text", R"({"denyReason": {"id": "205"}})", 0, "Unknown Error");
        row("e-purse", "transaction", {R"({"result": true, "type": 2, "card": {"balanceBefore": 1250, "balanceAfter": 1100}})"},
            R"({"details": {"deducted": 1.5, "remaining": 11}})");
        row("e-purse transfer", "transaction", {R"({"type": 14, "card": {"balanceBefore": 900, "balanceAfter": 725,
            "ePurse": {"transferRemainingMin": 12}}})"}, R"({"details": {"deducted": 0, "remaining": 7.25, "transferRemainingMin": 12}})");
        row("period pass in days", "transaction", {R"({"type": 8, "card": {"periodPass": {"remainingDays": 2,
            "activationTimestamp": "2024-03-01T00:00:00Z"}}})"},
            R"({"details": {"remaining": 2880, "expires": 2880, "activationTimestamp": "2024-03-01T05:30:00"}})");
        row("period pass: minutes win, even none", "transaction",
            {R"({"type": 8, "card": {"periodPass": {"remainingMinutes": 0, "remainingDays": 5}}})"},
            R"({"details": {"remaining": 0, "expires": 0}})");
        row("journeys", "transaction", {R"({"type": 16, "card": {"storedJourneys": {"after": 7, "transferRemainingMin": 30,
            "activationTimestamp": "2024-05-09T20:00:00Z"}}})"},
            R"({"details": {"remaining": 7, "transferRemainingMin": 30, "activationTimestamp": "2024-05-10T01:30:00"}})");
        for (const char *time : {"2024-05-10T00:00:00", "2024-13-10T00:00:00Z"})
            row(time, "transaction", {QString(R"({"type": 5, "card": {"storedJourneys": {"activationTimestamp": "%1"}}})").arg(time)},
                R"({"details": {"activationTimestamp": ""}})");
        row("nothing to show", "transaction", {R"({"type": 10, "card": {"balanceBefore": 500, "balanceAfter": 100,
            "storedJourneys": {"after": 3}, "periodPass": {"remainingDays": 3}}})"}, R"({"details": )" + QString(NoDetails) + "}");
        row("result, wrong types", "transaction", {R"({"result": "yes", "type": "2", "card": {"balanceAfter": "100"}})"},
            R"({"valid": false, "type": 0, "details": )" + QString(NoDetails) + "}");

        row("tag type as text", "tag", {R"({"uid": "AA", "type": "4"})"}, R"({"uid": "AA", "type": 0})");
        row("a card read as a tag is only a tag", "tag", {Entries}, R"({"uid": "04A1B2C3", "type": 64})");

        row("new card", "card", {}, R"({"uid": "", "type": 0, "template": "LTXGv1", "data": {"info": {"version": 0, "customsId": 0,
            "status": "available"}, "usageCounter": 0, "usageLog": []}, "reads": 0, "last": {}})");
        row("card read; what was read is not written back", "card", {Entries}, R"({"uid": "04A1B2C3", "type": 64, "data": {"info":
            {"customsId": 42, "status": "active"}, "usageCounter": 2, "usageLog": []}, "reads": 2, "last": {"timestamp":
            "2024-01-11T09:30:15", "type": "exit", "usageCounter": 2, "deviceId": "dev-2", "locationId": "gate-b"}})");
        for (const char *data : {R"("x")", "null"})
            row(data, "card", {QString(R"({"uid": "U2", "template": "LTXGv1", "data": %1})").arg(data)},
                R"({"data": {"info": {"status": ""}, "usageCounter": 0}, "reads": 0})");
        row("card fields of the wrong type", "card", {R"({"data": {"info": {"customsId": "9", "status": 3}, "usageCounter": "7",
            "usageLog": ["junk", {}]}})"}, R"({"template": "", "data": {"info": {"customsId": 0, "status": ""}, "usageCounter": 0},
            "reads": 2, "last": {"timestamp": "", "type": "", "usageCounter": 0, "deviceId": "", "locationId": ""}})");
        row("usage on a day that never was", "usage", {R"({"timestamp": "2023-02-30T10:00:00"})"}, R"({"timestamp": ""})");

        row("reader searching", "rfid", {R"({"state": 2, "active": true, "slots": [true, false], "sams": []})"},
            R"({"state": "Searching", "enabled": true, "active": true, "numberOfSlots": 2})");
        row("the first SAM is shown", "rfid", {R"({"state": 1, "sams": [{"slot": 2, "production": "2022-01-31"}, {"slot": 3}]})"},
            R"({"sam": {"slot": 2, "production": "2022-01-31"}})");
        row("SAM made on a day that never was", "sam", {R"({"production": "2024-02-29"})", R"({"production": "2023-02-29"})"},
            R"({"production": null})");
    }

    void records()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, inputs);
        QFETCH(QString, expected);
        const QJsonObject input = parse(inputs.value(0));
        LTXGv1Card::Usage usage;
        usage.timestamp = QDateTime::currentDateTime();
        ValidatorRfid rfid;
        SAM sam;
        for (const QString &update : inputs) {
            usage.fromJson(parse(update));
            rfid.fromJson(parse(update));
            sam.fromJson(parse(update));
        }
        const QHash<QString, std::function<QJsonObject()>> shows{
            {"transaction", [&] { return shown(Transaction(input)); }},
            {"tag", [&] { return Tag::fromJson(input)->toJson(); }},
            {"card", [&] { return shown(inputs.isEmpty() ? LTXGv1Card() : *LTXGv1Card::fromJson(input)); }},
            {"usage", [&] { return usage.toJson(); }},
            {"rfid", [&] { return jsonProperties(&rfid); }},
            {"sam", [&] { return jsonProperties(&sam); }}};
        const QJsonObject want = parse(expected);
        QVERIFY(!want.isEmpty());
        QCOMPARE(jsonText(jsonSubset(shows.value(kind)(), want)), jsonText(want));
    }

    void usageInLocalTime()
    {
        LTXGv1Card::Usage usage;
        usage.timestamp = QDateTime(QDate(2024, 3, 5), QTime(1, 2, 3), Qt::UTC);
        QCOMPARE(usage.toJson().value("timestamp").toString(), QString("2024-03-05T06:32:03"));
        LTXGv1Card::Usage read;
        read.fromJson({{"timestamp", "2024-03-05T06:32:03"}});
        QCOMPARE(read.timestamp.toUTC(), QDateTime(QDate(2024, 3, 5), QTime(1, 2, 3), Qt::UTC));
    }

    // Screens may still be bound to the SAMs a status replaces: they go on
    // the next pass of the event loop, not at once.
    void replacedSamsLiveUntilTheEventLoop()
    {
        ValidatorRfid rfid;
        const QJsonObject status = parse(R"({"state": 1, "sams": [{"slot": 2}, {"slot": 3}]})");
        rfid.fromJson(status);
        QPointer<SAM> first = rfid.sam();
        rfid.fromJson(status);
        QVERIFY(first && rfid.sam() != first);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QCOMPARE(rfid.findChildren<SAM *>().size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_Records)
#include "tst_records.moc"

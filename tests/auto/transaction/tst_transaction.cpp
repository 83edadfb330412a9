#include "Transaction.h"

#include <QJsonDocument>
#include <QtTest>

#include <ctime>

namespace {

QJsonObject parse(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

void setTimeZone(const QByteArray &tz)
{
    qputenv("TZ", tz);
    tzset();
}

} // namespace

// The validation result record: values read lazily from the service's JSON.
class tst_Transaction : public QObject
{
    Q_OBJECT

private:
    QByteArray m_savedTz;
    bool m_hadTz = false;

private slots:
    void initTestCase()
    {
        m_hadTz = qEnvironmentVariableIsSet("TZ");
        m_savedTz = qgetenv("TZ");
    }

    void cleanupTestCase()
    {
        if (m_hadTz)
            qputenv("TZ", m_savedTz);
        else
            qunsetenv("TZ");
        tzset();
    }

    void defaultRecord()
    {
        const Transaction empty;
        QCOMPARE(empty.valid(), false);
        QCOMPARE(empty.type(), Transaction::Barcode);
        QVERIFY(empty.ticketId().isEmpty());
        QVERIFY(empty.ticket().isEmpty());

        const QVariantMap map = empty.toMap();
        QCOMPARE(map.keys(),
                 (QStringList{"denyReason", "denyReasonId", "details", "fareProduct", "passengeType", "type", "valid"}));
        QCOMPARE(map.value("valid"), QVariant(false));
        QCOMPARE(map.value("type").toInt(), 0);
        QCOMPARE(map.value("denyReason").toString(), QStringLiteral("Unknown Error"));
        QCOMPARE(map.value("denyReasonId").toInt(), 0);
        QVERIFY(map.value("fareProduct").toString().isEmpty());
        QVERIFY(map.value("passengeType").toString().isEmpty());
        QCOMPARE(map.value("details").toMap(), Transaction::defaultDetails());
    }

    void barcodeTicket()
    {
        const Transaction t(parse(R"({"result": true, "type": 0, "ticketId": "T-9",
            "fareProductName": "Single", "passengerTypeName": "Student",
            "barcode": {"fromStopGroupName": "Port", "toStopGroupName": "Airport", "transferRemainingMin": 45}})"));
        QVERIFY(t.valid());
        QCOMPARE(t.ticketId(), QStringLiteral("T-9"));
        const QVariantMap d = t.details();
        QCOMPARE(d.value("fromStopGroupName").toString(), QStringLiteral("Port"));
        QCOMPARE(d.value("toStopGroupName").toString(), QStringLiteral("Airport"));
        QCOMPARE(d.value("transferRemainingMin").toInt(), 45);
        QCOMPARE(d.value("deducted").toDouble(), 0.0);
        QCOMPARE(d.value("remaining").toDouble(), 0.0);
        QVERIFY(!d.value("expires").toDateTime().isValid());

        const QVariantMap map = t.toMap();
        QCOMPARE(map.value("fareProduct").toString(), QStringLiteral("Single"));
        QCOMPARE(map.value("passengeType").toString(), QStringLiteral("Student"));
        QVERIFY(!map.contains("passengerType"));
        QVERIFY(!map.contains("ticketId"));
    }

    void refusalTexts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("205") << QByteArray(R"({"result": false, "denyReason": {"id": 205}})") << 205
                             << "The card does not have sufficient balance";
        QTest::newRow("105") << QByteArray(R"({"denyReason": {"id": 105}})") << 105 << "Please try again";
        QTest::newRow("0") << QByteArray(R"({"denyReason": {"id": 0}})") << 0 << "Unknown Error";
        QTest::newRow("999") << QByteArray(R"({"denyReason": {"id": 999}})") << 999 << "Unknown Error";
        QTest::newRow("no denyReason") << QByteArray(R"({"result": false})") << 0 << "Unknown Error";
        QTest::newRow("id as text") << QByteArray(R"({"denyReason": {"id": "205"}})") << 0 << "Unknown Error";
        QTest::newRow("203") << QByteArray(R"({"denyReason": {"id": 203}})") << 203
                             << "The card has already been validated";
        QTest::newRow("207 shares 203") << QByteArray(R"({"denyReason": {"id": 207}})") << 207
                                        << "The card has already been validated";
        QTest::newRow("253 blocked") << QByteArray(R"({"denyReason": {"id": 253}})") << 253 << "The card is blocked";
        QTest::newRow("500") << QByteArray(R"({"denyReason": {"id": 500}})") << 500 << "Internal Error";
    }

    void refusalTexts()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, id);
        QFETCH(QString, text);
        const Transaction t(QJsonDocument::fromJson(json).object());
        QCOMPARE(t.denyReasonId(), id);
        QCOMPARE(t.denyReason(), text);
        QCOMPARE(t.toMap().value("denyReason").toString(), text);
    }

    void purseDetails()
    {
        for (int type : {2, 15}) {
            QJsonObject json = parse(R"({"result": true, "card": {"balanceBefore": 1250, "balanceAfter": 1100}})");
            json["type"] = type;
            const QVariantMap d = Transaction(json).details();
            QCOMPARE(d.value("deducted").toDouble(), 1.5);
            QCOMPARE(d.value("remaining").toDouble(), 11.0);
        }

        const QVariantMap transfer = Transaction(parse(R"({"type": 14, "card": {"balanceBefore": 900,
            "balanceAfter": 725, "ePurse": {"transferRemainingMin": 12}}})")).details();
        QCOMPARE(transfer.value("deducted").toDouble(), 0.0);
        QCOMPARE(transfer.value("remaining").toDouble(), 7.25);
        QCOMPARE(transfer.value("transferRemainingMin").toInt(), 12);
    }

    void periodPass()
    {
        const Transaction days(parse(R"({"type": 8, "card": {"periodPass": {"remainingDays": 2,
            "activationTimestamp": "2024-03-01T00:00:00Z"}}})"));
        const QDateTime before = QDateTime::currentDateTime();
        const QVariantMap d = days.details();
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(d.value("remaining").toLongLong(), 2880);
        const QDateTime expires = d.value("expires").toDateTime();
        QVERIFY(expires >= before.addSecs(2880 * 60));
        QVERIFY(expires <= after.addSecs(2880 * 60));
        QCOMPARE(d.value("activationTimestamp").toDateTime().toUTC(),
                 QDateTime(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC));

        // Minutes win over days when present, even when zero.
        const Transaction zero(parse(R"({"type": 8, "card": {"periodPass": {"remainingMinutes": 0,
            "remainingDays": 5}}})"));
        const QDateTime zeroBefore = QDateTime::currentDateTime();
        const QVariantMap z = zero.details();
        QCOMPARE(z.value("remaining").toLongLong(), 0);
        QVERIFY(z.value("expires").toDateTime() >= zeroBefore);
        QVERIFY(z.value("expires").toDateTime() <= QDateTime::currentDateTime());

        const Transaction nullMinutes(parse(R"({"type": 8, "card": {"periodPass": {"remainingMinutes": null,
            "remainingDays": 1}}})"));
        QCOMPARE(nullMinutes.details().value("remaining").toLongLong(), 1440);

        // Years of validity must not wrap around a 32-bit minute count.
        const Transaction longPass(parse(R"({"type": 8, "card": {"periodPass": {"remainingDays": 2000000}}})"));
        QCOMPARE(longPass.details().value("remaining").toLongLong(), 2000000LL * 1440);
        QVERIFY(longPass.details().value("expires").toDateTime() > QDateTime::currentDateTime());
    }

    void storedJourneys_data()
    {
        QTest::addColumn<QByteArray>("tz");
        QTest::addColumn<QDate>("localDate");
        QTest::addColumn<QTime>("localTime");
        // POSIX zone strings: no zone database needed.
        QTest::newRow("UTC+3") << QByteArray("XST-3") << QDate(2024, 5, 10) << QTime(3, 0);
        QTest::newRow("UTC-5") << QByteArray("YST5") << QDate(2024, 5, 9) << QTime(19, 0);
    }

    void storedJourneys()
    {
        QFETCH(QByteArray, tz);
        QFETCH(QDate, localDate);
        QFETCH(QTime, localTime);
        setTimeZone(tz);

        for (int type : {5, 12, 16}) {
            QJsonObject json = parse(R"({"card": {"storedJourneys": {"after": 7, "transferRemainingMin": 30,
                "activationTimestamp": "2024-05-10T00:00:00Z"}}})");
            json["type"] = type;
            const QVariantMap d = Transaction(json).details();
            QCOMPARE(d.value("remaining").toInt(), 7);
            QCOMPARE(d.value("transferRemainingMin").toInt(), 30);
            const QDateTime activation = d.value("activationTimestamp").toDateTime();
            QCOMPARE(activation.timeSpec(), Qt::LocalTime);
            QCOMPARE(activation.date(), localDate);
            QCOMPARE(activation.time(), localTime);
        }
    }

    void convertTimestamp()
    {
        setTimeZone("XST-3");
        QCOMPARE(Transaction::convertTimestamp("2024-12-31T22:30:15Z").toUTC(),
                 QDateTime(QDate(2024, 12, 31), QTime(22, 30, 15), Qt::UTC));
        for (const char *bad : {"", "2024-05-10 00:00:00", "2024-05-10T00:00:00", "2024-05-10T00:00:00+02:00",
                                "24-05-10T00:00:00Z", "2024-13-10T00:00:00Z", "2024-05-10T25:00:00Z",
                                "x2024-05-10T00:00:00Z"})
            QVERIFY2(!Transaction::convertTimestamp(bad).isValid(), bad);
    }

    void detailsWithoutRow()
    {
        // EMV and passenger-type updates carry nothing the screens show.
        const QByteArray card = R"("card": {"balanceBefore": 500, "balanceAfter": 100,
            "storedJourneys": {"after": 3}, "periodPass": {"remainingDays": 3}})";
        for (int type : {10, 13, 99}) {
            const QJsonObject json =
                QJsonDocument::fromJson("{\"type\": " + QByteArray::number(type) + ", " + card + "}").object();
            QCOMPARE(Transaction(json).details(), Transaction::defaultDetails());
        }
        // Keys of the wrong type read as defaults.
        const Transaction odd(parse(R"({"result": "yes", "type": "2", "card": {"balanceAfter": "100"}})"));
        QCOMPARE(odd.valid(), false);
        QCOMPARE(odd.type(), Transaction::Barcode);
        QCOMPARE(odd.details(), Transaction::defaultDetails());
    }
};

QTEST_GUILESS_MAIN(tst_Transaction)
#include "tst_transaction.moc"

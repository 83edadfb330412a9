#include "Card.h"
#include "LTXGv1Card.h"
#include "Tag.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <climits>
#include <ctime>

namespace {

// A template without payload, for the "data" null branch of Card::toJson().
class EmptyCard : public Card
{
public:
    QJsonObject data() const override { return {}; }
    void setData(const QJsonObject &) override {}
};

QJsonObject entry(const QString &timestamp, const QString &type, int counter,
                  const QString &deviceId, const QString &locationId)
{
    return QJsonObject{{"timestamp", timestamp}, {"type", type}, {"usageCounter", counter},
                       {"deviceId", deviceId}, {"locationId", locationId}};
}

QJsonObject twoEntryCard()
{
    return QJsonObject{
        {"uid", "04A1B2C3"},
        {"type", int(Tag::MIFARE_Ultralight)},
        {"template", "LTXGv1"},
        {"data", QJsonObject{
             {"info", QJsonObject{{"version", 0}, {"customsId", 42}, {"status", "active"}}},
             {"usageCounter", 2},
             {"usageLog", QJsonArray{
                  entry("2024-01-10T08:00:00", "entry", 1, "dev-1", "gate-a"),
                  entry("2024-01-11T09:30:15", "exit", 2, "dev-2", "gate-b")}}}},
    };
}

} // namespace

// The card and tag records and their wire form. Runs at UTC+05:30 so that
// writing or reading timestamps in UTC instead of local time shows.
class tst_CardRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void typeNames();
    void tagWireForm();
    void freshCardPayload();
    void issuedCardPayload();
    void readingPayload();
    void usageLists();
    void invalidTimestamps();
    void localTime();
    void roundTrip();
    void pointerCasts();
};

void tst_CardRecords::initTestCase()
{
    qputenv("TZ", "IST-5:30");
    tzset();
    QCOMPARE(QDateTime(QDate(2024, 3, 5), QTime(12, 0)).offsetFromUtc(), 5 * 3600 + 1800);
}

void tst_CardRecords::typeNames()
{
    QCOMPARE(Tag::typeToStr(Tag::None), QStringLiteral("Unknown"));
    QCOMPARE(Tag::typeToStr(Tag::Type(3)), QStringLiteral("Unknown"));
    QCOMPARE(Tag::typeToStr(Tag::Type(1024)), QStringLiteral("Unknown"));
    QCOMPARE(Tag::typeToStr(Tag::Type(-1)), QStringLiteral("Unknown"));
    QCOMPARE(Tag::typeToStr(Tag::Type(65536 + 512)), QStringLiteral("Unknown"));
    QCOMPARE(Tag::typeToStr(Tag::Type(512 + 1)), QStringLiteral("Unknown"));

    QCOMPARE(Tag::typeToStr(Tag::EMV), QStringLiteral("EMV"));
    QCOMPARE(Tag::typeToStr(Tag::ISO14443_4A), QStringLiteral("ISO14443-4A"));
    QCOMPARE(Tag::typeToStr(Tag::MIFARE_Classic_1K), QStringLiteral("MIFARE Classic 1K"));
    QCOMPARE(Tag::typeToStr(Tag::Other), QStringLiteral("Other"));
}

void tst_CardRecords::tagWireForm()
{
    const Tag::Ptr empty = Tag::fromJson({});
    QVERIFY(empty);
    QCOMPARE(empty->uid(), QString());
    QCOMPARE(int(empty->type()), 0);

    QCOMPARE(int(Tag::fromJson({{"uid", "AA"}, {"type", "4"}})->type()), 0);
    QCOMPARE(int(Tag::fromJson({{"uid", "AA"}, {"type", 2.5}})->type()), 0);
    QCOMPARE(Tag::fromJson({{"uid", 7}, {"type", 4}})->uid(), QString());

    // Unlisted values and bit combinations are kept as they come.
    const Tag::Ptr odd = Tag::fromJson({{"uid", "04:11:22:33"}, {"type", 3}});
    QCOMPARE(odd->uid(), QStringLiteral("04:11:22:33"));
    QCOMPARE(int(odd->type()), 3);
    QCOMPARE(odd->toJson(), (QJsonObject{{"uid", "04:11:22:33"}, {"type", 3}}));
    QCOMPARE(int(Tag::fromJson({{"type", 65536 + 512}})->type()), 65536 + 512);

    // A bare tag, even one carrying card keys, is never built as a card.
    const Tag::Ptr tag = Tag::fromJson(twoEntryCard());
    QVERIFY(!dynamic_cast<Card *>(tag.data()));
    QCOMPARE(tag->toJson(), (QJsonObject{{"uid", "04A1B2C3"}, {"type", 64}}));
}

void tst_CardRecords::freshCardPayload()
{
    LTXGv1Card card;
    QCOMPARE(LTXGv1Card::Name, QStringLiteral("LTXGv1"));
    QCOMPARE(card.name(), LTXGv1Card::Name);
    QCOMPARE(card.status(), QStringLiteral("available"));
    QVERIFY(!card.lastUsage());

    const QJsonObject expected{
        {"info", QJsonObject{{"version", 0}, {"customsId", 0}, {"status", "available"}}},
        {"usageCounter", 0},
        {"usageLog", QJsonArray()}};
    QCOMPARE(card.data(), expected);

    const QJsonObject json = card.toJson();
    QCOMPARE(json, (QJsonObject{{"uid", ""}, {"type", 0}, {"template", "LTXGv1"}, {"data", expected}}));
    QVERIFY(json.value("data").isObject());

    // Only a template with an empty payload serialises "data" as null.
    EmptyCard empty;
    empty.setName(QStringLiteral("Blank"));
    const QJsonObject emptyJson = empty.toJson();
    QVERIFY(emptyJson.contains("data"));
    QVERIFY(emptyJson.value("data").isNull());
}

void tst_CardRecords::issuedCardPayload()
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    auto card = LTXGv1Card::Ptr::create();
    card->setCustomsId(1);
    card->setStatus(QStringLiteral("active"));
    card->incrUsageCounter(1);
    card->addUsageLog(QStringLiteral("entry"), QStringLiteral("DEV-0042"), QStringLiteral("kivo-rnd"));
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QJsonObject data = card->data();
    QCOMPARE(data.value("info").toObject(),
             (QJsonObject{{"version", 0}, {"customsId", 1}, {"status", "active"}}));
    QCOMPARE(data.value("usageCounter").toInt(), 1);
    const QJsonArray log = data.value("usageLog").toArray();
    QCOMPARE(log.size(), 1);
    const QJsonObject written = log.at(0).toObject();
    const QString stamp = written.value("timestamp").toString();
    QCOMPARE(written, entry(stamp, "entry", 1, "DEV-0042", "kivo-rnd"));

    // Current local time, to the second, with no zone designator.
    const QDateTime parsed = QDateTime::fromString(stamp, "yyyy-MM-dd'T'HH:mm:ss");
    QVERIFY2(parsed >= before.addMSecs(-before.time().msec()) && parsed <= after, qPrintable(stamp));

    // New entries are not part of what was read.
    QVERIFY(card->usageLogs().isEmpty());
    QVERIFY(!card->lastUsage());

    // The counter has no bound: it wraps instead of overflowing.
    LTXGv1Card wrap;
    wrap.incrUsageCounter(INT_MAX);
    wrap.incrUsageCounter(1);
    QCOMPARE(wrap.usageCounter(), INT_MIN);
}

void tst_CardRecords::readingPayload()
{
    // No "info": status comes back empty, not the constructor's "available".
    const LTXGv1Card::Ptr noInfo = LTXGv1Card::fromJson(
        {{"uid", "U1"}, {"type", 4}, {"template", "LTXGv1"},
         {"data", QJsonObject{{"usageCounter", 5}}}});
    QCOMPARE(noInfo->status(), QString());
    QCOMPARE(noInfo->customsId(), 0);
    QCOMPARE(noInfo->usageCounter(), 5);

    // "data" missing or not an object reads as an empty payload.
    for (const QJsonValue &data : {QJsonValue(), QJsonValue("x"), QJsonValue(QJsonArray{1})}) {
        QJsonObject object{{"uid", "U2"}, {"template", "LTXGv1"}};
        if (!data.isUndefined())
            object.insert("data", data);
        const LTXGv1Card::Ptr card = LTXGv1Card::fromJson(object);
        QCOMPARE(card->status(), QString());
        QCOMPARE(card->usageCounter(), 0);
        QVERIFY(card->usageLogs().isEmpty());
    }

    // The name follows the object, whatever it says; without one it is empty.
    QCOMPARE(LTXGv1Card::fromJson({{"template", "Other"}})->name(), QStringLiteral("Other"));
    QCOMPARE(LTXGv1Card::fromJson({})->name(), QString());

    // Bad fields read as their defaults.
    const LTXGv1Card::Ptr bad = LTXGv1Card::fromJson(
        {{"data", QJsonObject{{"info", QJsonObject{{"customsId", "9"}, {"status", 3}}},
                              {"usageCounter", "7"},
                              {"usageLog", QJsonArray{"junk", QJsonObject{}}}}}});
    QCOMPARE(bad->customsId(), 0);
    QCOMPARE(bad->status(), QString());
    QCOMPARE(bad->usageCounter(), 0);
    QCOMPARE(bad->usageLogs().size(), 2);
    const LTXGv1Card::Usage *last = bad->lastUsage();
    QVERIFY(last);
    QCOMPARE(last->type, QString());
    QCOMPARE(last->usageCounter, 0);
    QVERIFY(!last->timestamp.isValid());
}

void tst_CardRecords::usageLists()
{
    const LTXGv1Card::Ptr card = LTXGv1Card::fromJson(twoEntryCard());
    QCOMPARE(card->customsId(), 42);
    QCOMPARE(card->status(), QStringLiteral("active"));
    QCOMPARE(card->usageCounter(), 2);

    const QList<LTXGv1Card::Usage> read = card->usageLogs();
    QCOMPARE(read.size(), 2);
    QCOMPARE(read.at(0).toJson(), entry("2024-01-10T08:00:00", "entry", 1, "dev-1", "gate-a"));

    card->incrUsageCounter(1);
    card->addUsageLog(QStringLiteral("entry"), QStringLiteral("dev-9"), QStringLiteral("kivo-rnd"));
    LTXGv1Card::Usage manual;
    manual.type = QStringLiteral("exit");
    manual.usageCounter = 11;
    manual.timestamp = QDateTime(QDate(2024, 2, 1), QTime(23, 59, 59));
    card->addUsageLog(manual);

    // The write carries the new entries only, oldest first.
    const QJsonArray written = card->data().value("usageLog").toArray();
    QCOMPARE(written.size(), 2);
    QCOMPARE(written.at(0).toObject().value("deviceId").toString(), QStringLiteral("dev-9"));
    QCOMPARE(written.at(0).toObject().value("usageCounter").toInt(), 3);
    QCOMPARE(written.at(1).toObject(), entry("2024-02-01T23:59:59", "exit", 11, "", ""));
    QCOMPARE(card->toJson().value("data").toObject().value("usageLog").toArray(), written);

    // What was read is untouched by what was added.
    QCOMPARE(card->usageLogs().size(), 2);
    const LTXGv1Card::Usage *last = card->lastUsage();
    QVERIFY(last);
    QCOMPARE(last->toJson(), entry("2024-01-11T09:30:15", "exit", 2, "dev-2", "gate-b"));

    // Each read appends.
    const QJsonObject payload = twoEntryCard().value("data").toObject();
    LTXGv1Card twice;
    twice.setData(payload);
    twice.setData(payload);
    QCOMPARE(twice.usageLogs().size(), 4);
    QCOMPARE(twice.lastUsage()->deviceId, QStringLiteral("dev-2"));
    QCOMPARE(twice.data().value("usageLog").toArray(), QJsonArray());
}

void tst_CardRecords::invalidTimestamps()
{
    const QStringList bad{
        "2023-02-30T10:00:00", // no such day
        "2024-01-10 08:00:00", // blank instead of T
        "2024-01-10T24:00:00",
        "2024-1-10T08:00:00",
        "2024-01-10T08:00:00Z",
        "2024-01-10T08:00:00+05:30",
        "2024-01-10T08:00",
        "2024-01-10t08:00:00",
        "2024-01-10T8:00:00",
        " 2024-01-10T08:00:00",
        "",
    };
    for (const QString &text : bad) {
        LTXGv1Card::Usage usage;
        usage.timestamp = QDateTime::currentDateTime();
        usage.fromJson(entry(text, "entry", 1, "d", "l"));
        QVERIFY2(!usage.timestamp.isValid(), qPrintable(text));
        QCOMPARE(usage.toJson().value("timestamp"), QJsonValue(QString()));
    }

    // fromJson fills in place and hands back the same entry.
    LTXGv1Card::Usage usage;
    QCOMPARE(&usage.fromJson({}), &usage);
    QCOMPARE(usage.toJson(), entry("", "", 0, "", ""));

    LTXGv1Card::Usage leap;
    leap.fromJson(entry("2024-02-29T00:00:00", "entry", 1, "d", "l"));
    QCOMPARE(leap.timestamp, QDateTime(QDate(2024, 2, 29), QTime(0, 0)));
}

void tst_CardRecords::localTime()
{
    // Written in local time whatever the zone the value was made in.
    LTXGv1Card::Usage usage;
    usage.timestamp = QDateTime(QDate(2024, 3, 5), QTime(1, 2, 3), Qt::UTC);
    QCOMPARE(usage.toJson().value("timestamp").toString(), QStringLiteral("2024-03-05T06:32:03"));

    // and read as local time.
    LTXGv1Card::Usage read;
    read.fromJson(entry("2024-03-05T06:32:03", "entry", 1, "d", "l"));
    QCOMPARE(read.timestamp.toUTC(), QDateTime(QDate(2024, 3, 5), QTime(1, 2, 3), Qt::UTC));
}

void tst_CardRecords::roundTrip()
{
    LTXGv1Card card;
    card.setUid(QStringLiteral("04:AB:CD:EF:01:02:03"));
    card.setType(Tag::MIFARE_DESFire);
    card.setCustomsId(-7);
    card.setStatus(QStringLiteral("blocked"));
    card.incrUsageCounter(12);
    card.addUsageLog(QStringLiteral("entry"), QStringLiteral("dev-a"), QStringLiteral("loc-a"));
    card.incrUsageCounter(1);
    card.addUsageLog(QStringLiteral("exit"), QStringLiteral("dev-b"), QStringLiteral("loc-b"));

    const QJsonObject json = card.toJson();
    // Through text, as it goes over the wire.
    const QJsonObject wire = QJsonDocument::fromJson(QJsonDocument(json).toJson()).object();
    const LTXGv1Card::Ptr back = LTXGv1Card::fromJson(wire);
    QCOMPARE(back->uid(), card.uid());
    QCOMPARE(back->type(), Tag::MIFARE_DESFire);
    QCOMPARE(back->name(), LTXGv1Card::Name);
    QCOMPARE(back->customsId(), -7);
    QCOMPARE(back->status(), QStringLiteral("blocked"));
    QCOMPARE(back->usageCounter(), 13);

    // What was written comes back as what was read, in the same order.
    const QList<LTXGv1Card::Usage> logs = back->usageLogs();
    QCOMPARE(logs.size(), 2);
    QCOMPARE(logs.at(0).toJson(), json.value("data")["usageLog"][0].toObject());
    QCOMPARE(logs.at(1).toJson(), json.value("data")["usageLog"][1].toObject());
    QCOMPARE(logs.at(1).usageCounter, 13);
    QVERIFY(qAbs(logs.at(1).timestamp.secsTo(QDateTime::currentDateTime())) < 60);

    // Reading does not make entries writable again.
    QCOMPARE(back->data().value("usageLog").toArray(), QJsonArray());
}

void tst_CardRecords::pointerCasts()
{
    const LTXGv1Card::Ptr card = LTXGv1Card::fromJson(twoEntryCard());
    const Tag::Ptr tag = card;
    QCOMPARE(tag.data(), static_cast<Tag *>(card.data()));
    QCOMPARE(tag->toJson().value("template").toString(), QStringLiteral("LTXGv1"));

    const Card::Ptr asCard = tag.staticCast<Card>();
    QCOMPARE(asCard->data().value("info").toObject().value("customsId").toInt(), 42);
    QCOMPARE(asCard.staticCast<LTXGv1Card>()->lastUsage()->deviceId, QStringLiteral("dev-2"));

    const QVariant variant = QVariant::fromValue(tag);
    QCOMPARE(variant.value<Tag::Ptr>(), tag);
}

QTEST_GUILESS_MAIN(tst_CardRecords)
#include "tst_cardrecords.moc"

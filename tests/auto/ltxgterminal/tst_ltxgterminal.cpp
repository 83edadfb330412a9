#include "LTXGTerminal.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttClient.h"
#include "MqttPeer.h"
#include "MqttSubscription.h"
#include "SAM.h"

#include <QJsonDocument>
#include <QPointer>
#include <QtTest>

#include <memory>

using manager::LTXGTerminal;
using manager::MqttClient;
using manager::MqttSubscription;
using manager::MqttTransport;

namespace {

const QString Base = QStringLiteral("kivo/blm");

QJsonObject parse(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

// The terminal UI side: a broker connection and the client under test.
struct Ui
{
    MqttClient mqtt;
    std::unique_ptr<LTXGTerminal> terminal;
    QStringList statuses; // the status at each statusChanged
    QStringList reasons;  // the code at each reasonChanged

    Ui()
    {
        terminal = std::make_unique<LTXGTerminal>(mqtt, Base);
        QObject::connect(terminal.get(), &LTXGTerminal::statusChanged, terminal.get(),
                         [this] { statuses << terminal->status(); });
        QObject::connect(terminal.get(), &LTXGTerminal::reasonChanged, terminal.get(),
                         [this] { reasons << terminal->reasonCode(); });
    }

    QList<MqttSubscription *> subscriptions()
    {
        auto *transport = mqtt.findChild<MqttTransport *>();
        return transport ? transport->findChildren<MqttSubscription *>() : QList<MqttSubscription *>();
    }

    bool subscribed()
    {
        const auto subs = subscriptions();
        return subs.size() == 10 && std::all_of(subs.cbegin(), subs.cend(), [](MqttSubscription *s) {
                   return s->state() == MqttSubscription::Subscribed;
               });
    }
};

} // namespace

// The validation service client against a real broker, with a peer playing
// the validation and RFID services.
class tst_LTXGTerminal : public QObject
{
    Q_OBJECT

private:
    MosquittoBroker m_broker;
    MqttPeer m_peer;

    std::unique_ptr<Ui> makeUi()
    {
        auto ui = std::make_unique<Ui>();
        ui->mqtt.setHostname(m_broker.host());
        ui->mqtt.setPort(m_broker.port());
        ui->mqtt.setRetryMillis(500);
        ui->mqtt.setClientId(QStringLiteral("ui_under_test"));
        ui->mqtt.connect();
        if (!QTest::qWaitFor([&] { return ui->subscribed(); }, 10000))
            return nullptr;
        m_peer.clear();
        return ui;
    }

    // Publishes as the service, then waits until a marker sent after it has
    // come through: the message has been handled, whatever it did.
    bool send(Ui &ui, const QString &topic, const QByteArray &payload)
    {
        QSignalSpy marker(ui.terminal.get(), &LTXGTerminal::cardRetry);
        if (!m_peer.publish(topic, payload) || !m_peer.publish(Base + "/rfid/retry", QByteArray()))
            return false;
        return QTest::qWaitFor([&] { return !marker.isEmpty(); }, 10000);
    }

    bool sendStatus(Ui &ui, const QByteArray &payload) { return send(ui, Base + "/status", payload); }

    // Whatever the UI publishes to the service side before a marker request.
    bool flushUiPublishes(Ui &ui)
    {
        ui.terminal->refreshConfig();
        return m_peer.waitForMessage(Base + "/config/get").has_value();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.log()));
        QVERIFY(m_peer.connectToBroker(m_broker.host(), m_broker.port(), QStringLiteral("services")));
        QVERIFY(m_peer.subscribe(QStringLiteral("kivo/#"), 1));
    }

    void subscriptionsAndRefresh()
    {
        auto ui = makeUi();
        QVERIFY(ui);
        QStringList topics;
        for (auto *s : ui->subscriptions()) {
            topics << s->topic();
            QCOMPARE(s->qos(), quint8(0));
        }
        QCOMPARE(topics, (QStringList{Base + "/info", Base + "/status", Base + "/config", Base + "/rfid/retry",
                                      Base + "/rfid/removed", Base + "/rfid/scanned", Base + "/barcode/scanned",
                                      Base + "/barcode/maintenance/scanned", "kivo/rfid/card/removed",
                                      "kivo/rfid/card/found"}));

        ui->terminal->refreshConfig();
        const auto request = m_peer.waitForMessage(Base + "/config/get");
        QVERIFY(request);
        QCOMPARE(request->payload, QByteArray("{ }"));
        QCOMPARE(request->retain, false);
    }

    void faultCodes_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("reason");

        const QStringList dip{"offline", "online"};
        QTest::newRow("service false") << QByteArray(R"({"service": false, "state": {"hasRfid": true}})") << dip
                                       << "#0002" << "BLM service down";
        QTest::newRow("empty payload") << QByteArray() << dip << "#0002" << "BLM service down";
        QTest::newRow("rfid updating")
            << QByteArray(R"({"service": true, "device": {"rfid": {"state": 4}}, "state": {"hasRfid": false}})")
            << dip << "#0003" << "RFID firmware is updating";
        QTest::newRow("rfid idle") << QByteArray(R"({"service": true, "device": {"rfid": {"state": 1}},
            "state": {"hasObu": true}})") << dip << "#0004" << "RFID is not operational";
        QTest::newRow("obu") << QByteArray(R"({"service": true, "state": {"hasRfid": true, "hasObu": false}})")
                             << dip << "#0005" << "Disconnected from OBC";
        QTest::newRow("ntp") << QByteArray(R"({"service": true, "state": {"hasRfid": true, "hasObu": true,
            "hasNtp": false, "hasRoute": true}})") << dip << "#0007" << "NTP not synchronized";
        QTest::newRow("no route") << QByteArray(R"({"service": true, "state": {"hasRfid": true, "hasObu": true,
            "hasNtp": true, "hasRoute": false}})") << QStringList{"out-of-service"} << "#0006" << "No route";
        QTest::newRow("no hasNtp, all well") << QByteArray(R"({"service": true, "state": {"hasRfid": true,
            "hasObu": true, "hasRoute": true}})") << QStringList{"online"} << "" << "";
    }

    void faultCodes()
    {
        QFETCH(QByteArray, status);
        QFETCH(QStringList, statuses);
        QFETCH(QString, code);
        QFETCH(QString, reason);

        auto ui = makeUi();
        QVERIFY(ui);
        QVERIFY(sendStatus(*ui, status));
        QCOMPARE(ui->statuses, statuses);
        QCOMPARE(ui->terminal->reasonCode(), code);
        QCOMPARE(ui->terminal->reason(), reason);
        // From an empty start an all-clear reason is no change.
        QCOMPARE(ui->reasons.size(), code.isEmpty() ? 0 : 1);
    }

    void repeatedFaultsAndInit()
    {
        auto ui = makeUi();
        QVERIFY(ui);
        LogRecorder log;
        QVERIFY(sendStatus(*ui, R"({"service": true, "obu": {"vehicleUuid": "bus-17"},
            "route": {"axisName": "X96"}, "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})"));
        QCOMPARE(ui->statuses, QStringList{"online"});
        QCOMPARE(ui->terminal->vehicle(), QStringLiteral("bus-17"));
        QCOMPARE(ui->terminal->route(), QStringLiteral("X96"));
        QVERIFY(log.contains("[LTXGTerminal] LTGXTerminal status is : online"));

        QVERIFY(sendStatus(*ui, R"({"service": false})"));
        QCOMPARE(ui->statuses, (QStringList{"online", "offline", "online"}));
        QCOMPARE(ui->reasons, QStringList{"#0002"});

        // The same fault again: the status dips once more, the reason stays.
        QVERIFY(sendStatus(*ui, R"({"service": false})"));
        QCOMPARE(ui->statuses, (QStringList{"online", "offline", "online", "offline", "online"}));
        QCOMPARE(ui->reasons, QStringList{"#0002"});
        // The service-down message carries no vehicle or route: they stay.
        QCOMPARE(ui->terminal->vehicle(), QStringLiteral("bus-17"));

        QSignalSpy vehicleChanged(ui->terminal.get(), &LTXGTerminal::vehicleChanged);
        QVERIFY(sendStatus(*ui, R"({"service": true, "state": {"init": true}})"));
        QCOMPARE(ui->terminal->status(), QStringLiteral("init"));
        QCOMPARE(ui->terminal->reasonCode(), QStringLiteral("#0002"));
        QCOMPARE(ui->reasons.size(), 1);
        QCOMPARE(vehicleChanged.size(), 1);
        QVERIFY(ui->terminal->vehicle().isEmpty());

        // Malformed JSON: logged, nothing else.
        log.clear();
        QVERIFY(sendStatus(*ui, "{\"service\": tru"));
        QCOMPARE(ui->terminal->status(), QStringLiteral("init"));
        const QStringList errors = log.lines(QtCriticalMsg);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith("[LTXGTerminal] Failed to parse JSON message: "), qPrintable(errors.first()));

        // Other services' traffic is not this client's to parse.
        log.clear();
        ui->mqtt.subscribe(QStringLiteral("kivo/board/#"), 0);
        QVERIFY(QTest::qWaitFor([&] { return ui->subscriptions().size() == 11; }, 5000));
        QSignalSpy raw(&ui->mqtt, &MqttClient::received);
        QVERIFY(QTest::qWaitFor([&] { return m_peer.publish("kivo/board/status", "not json") && raw.wait(500); },
                                10000));
        QVERIFY(log.lines(QtCriticalMsg).isEmpty());
    }

    void configuration()
    {
        auto ui = makeUi();
        QVERIFY(ui);
        LogRecorder log;
        QSignalSpy configChanged(ui->terminal.get(), &LTXGTerminal::configChanged);
        LTGXTerminalConfig *config = ui->terminal->config();

        QVERIFY(send(*ui, Base + "/config", R"({"blm": {"obu_host": "obu.local", "obu_username": "",
            "obu_port": "1883"}, "validator": {"passbackTime": "30", "qr_passback": "True"}})"));
        QCOMPARE(configChanged.size(), 1);
        QCOMPARE(config->obuUrl().scheme(), QStringLiteral("mqtt"));
        QCOMPARE(config->obuUrl().host(), QStringLiteral("obu.local"));
        QVERIFY(config->obuUrl().userInfo().isEmpty());
        QCOMPARE(config->obuUrl().port(), 1883);
        QCOMPARE(config->passbackSecs(), 30);
        QCOMPARE(config->passbackQrEnabled(), false);
        QCOMPARE(log.lines(QtWarningMsg),
                 (QStringList{"[LTXGTerminal] Config received : ", "[LTXGTerminal] OBU URL         : mqtt://obu.local:1883",
                              "[LTXGTerminal] Passback Time   : 30 sec(s)", "[LTXGTerminal] Passback QR En  : false"}));

        // Credentials: the password is kept and saved, never logged.
        log.clear();
        QVERIFY(send(*ui, Base + "/config", R"({"blm": {"obu_host": "10.0.0.9", "obu_username": "op@x",
            "obu_password": "s3cr:t/pw", "obu_port": "none"}, "validator": {"passbackTime": 45, "qr_passback": "true"}})"));
        QCOMPARE(configChanged.size(), 2);
        QCOMPARE(config->obuUrl().userName(), QStringLiteral("op@x"));
        QCOMPARE(config->obuUrl().password(), QStringLiteral("s3cr:t/pw"));
        QCOMPARE(config->obuUrl().port(), -1);
        QCOMPARE(config->passbackSecs(), 0); // a number where the service sends text
        QCOMPARE(config->passbackQrEnabled(), true);
        const QStringList urlLines = log.matching("OBU URL         : ");
        QCOMPARE(urlLines.size(), 1);
        QVERIFY2(urlLines.first().contains("10.0.0.9") && urlLines.first().contains("op%40x"),
                 qPrintable(urlLines.first()));
        // (The broker connection's own debug echo of raw payloads is not this client's line.)
        QStringList ownLines = log.matching("[LTXGTerminal]");
        for (QtMsgType type : {QtInfoMsg, QtWarningMsg, QtCriticalMsg})
            ownLines << log.lines(type);
        QVERIFY(ownLines.size() >= 4);
        for (const QString &line : qAsConst(ownLines))
            QVERIFY2(!line.contains("s3cr"), qPrintable(line));

        m_peer.clear();
        ui->terminal->saveConfig();
        auto saved = m_peer.waitForMessage(Base + "/config/set");
        QVERIFY(saved);
        QCOMPARE(saved->retain, false);
        QCOMPARE(parse(saved->payload), parse(R"({"blm": {"obu_username": "op@x", "obu_password": "s3cr:t/pw",
            "obu_host": "10.0.0.9", "obu_port": -1}, "validator": {"passbackTime": 0, "qr_passback": true}})"));

        // A port out of range is dropped; the rest of the URL is kept.
        QVERIFY(send(*ui, Base + "/config", R"({"blm": {"obu_host": "obu.local", "obu_username": "op",
            "obu_password": "pw", "obu_port": "70000"}})"));
        QVERIFY(config->obuUrl().isValid());
        QCOMPARE(config->obuUrl().host(), QStringLiteral("obu.local"));
        QCOMPARE(config->obuUrl().userName(), QStringLiteral("op"));
        QCOMPARE(config->obuUrl().port(), -1);

        // Edited locally before saving.
        config->setObuUrl(QUrl("mqtt://obu.local:8883"));
        config->setPassbackSecs(120);
        config->setPassbackQrEnabled(true);
        ui->terminal->saveConfig();
        saved = m_peer.waitForMessage(Base + "/config/set");
        QVERIFY(saved);
        QCOMPARE(parse(saved->payload), parse(R"({"blm": {"obu_username": "", "obu_password": "",
            "obu_host": "obu.local", "obu_port": 8883}, "validator": {"passbackTime": 120, "qr_passback": true}})"));
    }

    void readersAndRequests()
    {
        auto ui = makeUi();
        QVERIFY(ui);
        ValidatorRfid *rfid = ui->terminal->rfid();
        ValidatorBarcode *barcode = ui->terminal->barcode();
        QSignalSpy versionChanged(ui->terminal.get(), &LTXGTerminal::versionChanged);

        QVERIFY(send(*ui, Base + "/info", R"({"service": {"version": "2.4.1"}, "device": {
            "rfid": {"firmware": "fw-7", "model": "R9", "manufacturer": "Acme", "uid": "04AA"},
            "barcode": {"firmware": "bc-3", "model": "B2", "manufacturer": "Scan"}}})"));
        QCOMPARE(ui->terminal->version(), QStringLiteral("2.4.1"));
        QCOMPARE(versionChanged.size(), 1);
        QCOMPARE(rfid->firmware(), QStringLiteral("fw-7"));
        QCOMPARE(rfid->deviceUid(), QStringLiteral("04AA"));
        QVERIFY(rfid->state().isEmpty());
        QCOMPARE(barcode->model(), QStringLiteral("B2"));

        // Readers not enabled yet: enabling asks the RFID and barcode services.
        ui->terminal->enableRfid();
        ui->terminal->enableBarcode();
        ui->terminal->disableRfid();
        ui->terminal->disableBarcode();
        QVERIFY(flushUiPublishes(*ui));
        auto enable = m_peer.waitForMessage("kivo/rfid/enable", 0);
        QVERIFY(enable);
        QCOMPARE(parse(enable->payload), parse(R"({"autoread": true})"));
        auto barcodeEnable = m_peer.waitForMessage("kivo/barcode/enable", 0);
        QVERIFY(barcodeEnable);
        QVERIFY(barcodeEnable->payload.isEmpty());
        QCOMPARE(m_peer.messageCount("kivo/rfid/disable") + m_peer.messageCount("kivo/barcode/disable"), 0);

        // The service reports both readers enabled.
        m_peer.clear();
        QVERIFY(sendStatus(*ui, R"({"service": true, "device": {
            "rfid": {"state": 2, "active": true, "error": "", "slots": [true, false],
                     "sams": [{"slot": 1, "name": "SAM-AV3", "production": "2023-11-02", "unlocked": true}]},
            "barcode": {"enabled": true, "active": true}}, "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})"));
        QVERIFY(rfid->enabled());
        QCOMPARE(rfid->numberOfSlots(), 2);
        QCOMPARE(rfid->firmware(), QStringLiteral("fw-7")); // status carries no identity
        QVERIFY(rfid->sam());
        QCOMPARE(rfid->sam()->name(), QStringLiteral("SAM-AV3"));
        QCOMPARE(rfid->sam()->production(), QDate(2023, 11, 2));
        QVERIFY(barcode->enabled());
        QCOMPARE(barcode->firmware(), QStringLiteral("bc-3"));

        ui->terminal->enableRfid();
        ui->terminal->enableBarcode();
        ui->terminal->disableRfid();
        ui->terminal->disableBarcode();
        QVERIFY(flushUiPublishes(*ui));
        QCOMPARE(m_peer.messageCount("kivo/rfid/enable"), 0);
        QCOMPARE(m_peer.messageCount("kivo/barcode/enable"), 0);
        QVERIFY(m_peer.waitForMessage("kivo/rfid/disable", 0));
        QVERIFY(m_peer.waitForMessage("kivo/barcode/disable", 0));
    }

    void cardsAndTickets()
    {
        auto ui = makeUi();
        QVERIFY(ui);
        LogRecorder log;
        QSignalSpy detected(ui->terminal.get(), &LTXGTerminal::cardDetected);
        QSignalSpy removed(ui->terminal.get(), &LTXGTerminal::cardRemoved);
        QSignalSpy validated(ui->terminal.get(), &LTXGTerminal::ticketValidated);
        QSignalSpy maintenance(ui->terminal.get(), &LTXGTerminal::maintenanceBarcodeScanned);

        QVERIFY(send(*ui, "kivo/rfid/card/found", R"({"uid": "04A1B2C3", "type": 8})"));
        QVERIFY(send(*ui, "kivo/rfid/card/found", R"({"uid": "04FFFF", "type": 3})"));
        QVERIFY(send(*ui, "kivo/rfid/card/found", R"({"uid": "05"})"));
        QCOMPARE(detected.size(), 3);
        QCOMPARE(detected.at(0), (QVariantList{"04A1B2C3", "MIFARE Classic 4K"}));
        QCOMPARE(detected.at(1), (QVariantList{"04FFFF", "Unknown"}));
        QCOMPARE(detected.at(2), (QVariantList{"05", "Unknown"}));

        // Not parsed: a non-JSON payload is fine.
        QVERIFY(send(*ui, "kivo/rfid/card/removed", "gone"));
        QCOMPARE(removed.size(), 1);

        QVERIFY(send(*ui, Base + "/rfid/scanned", R"({"transaction": {"result": false, "type": 2,
            "denyReason": {"id": 205}, "card": {"balanceBefore": 1250, "balanceAfter": 1100}}})"));
        QCOMPARE(validated.size(), 1);
        const Transaction t = validated.at(0).at(0).value<Transaction>();
        QCOMPARE(t.valid(), false);
        QCOMPARE(t.type(), Transaction::CardEPurse);
        QCOMPARE(t.denyReason(), QStringLiteral("The card does not have sufficient balance"));
        QCOMPARE(t.details().value("deducted").toDouble(), 1.5);

        QVERIFY(send(*ui, Base + "/barcode/maintenance/scanned", R"({"obu": {"host": "h"}, "pin": "1234"})"));
        QCOMPARE(maintenance.size(), 1);
        QCOMPARE(maintenance.at(0).at(0).value<QJsonObject>(), parse(R"({"obu": {"host": "h"}, "pin": "1234"})"));

        QVERIFY(send(*ui, Base + "/barcode/scanned", R"({"code": "x"})"));
        QVERIFY(send(*ui, Base + "/rfid/removed", ""));
        QCOMPARE(detected.size() + removed.size() + validated.size() + maintenance.size(), 6);
        QVERIFY(log.lines(QtCriticalMsg).isEmpty());
    }

    void readerRecords()
    {
        ValidatorRfid rfid;
        QSignalSpy state(&rfid, &ValidatorRfid::stateChanged);
        QSignalSpy enabled(&rfid, &ValidatorRfid::enabledChanged);
        QSignalSpy active(&rfid, &ValidatorRfid::activeChanged);
        QSignalSpy sam(&rfid, &ValidatorRfid::samChanged);
        QSignalSpy slotCount(&rfid, &ValidatorRfid::numberOfSlotsChanged);
        QSignalSpy firmware(&rfid, &ValidatorRfid::firmwareChanged);
        QStringList order;
        for (const char *name : {"stateChanged", "enabledChanged"}) {
            const QByteArray signal = QByteArray("2") + name + "()";
            connect(&rfid, signal.constData(), this, SLOT(recordSignal()));
        }
        m_order = &order;

        rfid.fromJson(parse(R"({"state": 2, "active": true, "slots": [true, false], "sams": []})"));
        QCOMPARE(rfid.state(), QStringLiteral("Searching"));
        QVERIFY(rfid.enabled());
        QCOMPARE(rfid.numberOfSlots(), 2);
        QVERIFY(!rfid.sam());
        QCOMPARE(order, (QStringList{"stateChanged()", "enabledChanged()"}));
        QCOMPARE(active.size(), 1);
        QCOMPARE(sam.size(), 1);
        QCOMPARE(slotCount.size(), 0);
        QCOMPARE(firmware.size(), 0);

        // Searching to CardFound: enabled stays true but is signalled again.
        rfid.fromJson(parse(R"({"state": 3, "active": true})"));
        QCOMPARE(enabled.size(), 2);
        QVERIFY(rfid.enabled());
        QCOMPARE(rfid.numberOfSlots(), 0);
        rfid.fromJson(parse(R"({"state": 7})"));
        QCOMPARE(rfid.state(), QStringLiteral("Unknown"));
        QVERIFY(!rfid.enabled());
        QCOMPARE(state.size(), 3);

        // Identity only: status untouched.
        rfid.fromJson(parse(R"({"firmware": "1.2", "model": "M"})"));
        QCOMPARE(rfid.firmware(), QStringLiteral("1.2"));
        QCOMPARE(rfid.state(), QStringLiteral("Unknown"));
        QCOMPARE(state.size(), 3);
        rfid.fromJson(parse(R"({"something": 1})"));
        QCOMPARE(state.size(), 3);
        QCOMPARE(sam.size(), 3);

        // Every status replaces the SAMs; the old ones go on the next event-loop pass.
        const QByteArray sams = R"({"state": 1, "sams": [{"slot": 2, "production": "2022-01-31"}, {"slot": 3}]})";
        rfid.fromJson(parse(sams));
        QPointer<SAM> first = rfid.sam();
        QVERIFY(first);
        QCOMPARE(first->slot(), 2);
        QCOMPARE(first->parent(), &rfid);
        rfid.fromJson(parse(sams));
        QCOMPARE(sam.size(), 5);
        QVERIFY(rfid.sam() != first);
        QVERIFY(first); // still readable by bindings until the loop runs
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QCOMPARE(rfid.findChildren<SAM *>().size(), 2);
        m_order = nullptr;
    }

    void samAndBarcodeRecords()
    {
        SAM sam(parse(R"({"slot": 1, "production": "2021-06-15", "uid": "u1"})"));
        QCOMPARE(sam.production(), QDate(2021, 6, 15));
        QSignalSpy production(&sam, &SAM::productionChanged);
        QSignalSpy uid(&sam, &SAM::uidChanged);
        sam.fromJson(parse(R"({"slot": 1, "production": "15/06/2021", "uid": "u1"})"));
        QVERIFY(sam.production().isNull());
        QCOMPARE(production.size(), 1);
        sam.fromJson(parse(R"({"slot": 1, "production": "2021-15-06", "uid": "u1"})"));
        QCOMPARE(production.size(), 1); // already null: no signal
        QCOMPARE(uid.size(), 0);
        const QVector<QPair<const char *, QDate>> dates {
            { "2024-02-29", QDate(2024, 2, 29) }, { "0999-01-01", QDate(999, 1, 1) }, { "2023-02-29", QDate() },
            { "2023-4-17", QDate() },  { " 2023-04-17", QDate() }, { "2023-04-17Z", QDate() },
            { "+023-04-17", QDate() }, { "2023/04/17", QDate() }, { "", QDate() },
        };
        for (const auto &date : dates) {
            sam.fromJson(parse(QByteArray(R"({"uid": "u1", "production": ")") + date.first + "\"}"));
            QVERIFY2(sam.production() == date.second && sam.production().isNull() == date.second.isNull(), date.first);
        }
        sam.fromJson(parse(R"({"slot": 1})"));
        QCOMPARE(uid.size(), 1); // absent reads as empty
        QVERIFY(sam.uid().isEmpty());

        ValidatorBarcode barcode;
        barcode.fromJson(parse(R"({"active": true, "firmware": "f", "manufacturer": "m", "model": "x"})"));
        QSignalSpy active(&barcode, &ValidatorBarcode::activeChanged);
        QSignalSpy enabled(&barcode, &ValidatorBarcode::enabledChanged);
        barcode.fromJson(parse(R"({"enabled": true})"));
        QCOMPARE(enabled.size(), 1);
        QCOMPARE(active.size(), 0);
        QVERIFY(barcode.active());
        QCOMPARE(barcode.firmware(), QStringLiteral("f"));
        QCOMPARE(barcode.manufacturer(), QStringLiteral("m"));
        QCOMPARE(barcode.model(), QStringLiteral("x"));
    }

    // Last: restarts the broker.
    void brokerLoss()
    {
        auto ui = makeUi();
        QVERIFY(ui);
        QVERIFY(sendStatus(*ui, R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})"));
        QCOMPARE(ui->terminal->status(), QStringLiteral("online"));

        m_broker.stop();
        QTRY_COMPARE_WITH_TIMEOUT(ui->terminal->status(), QStringLiteral("offline"), 15000);
        QCOMPARE(ui->terminal->reasonCode(), QStringLiteral("#0001"));
        QCOMPARE(ui->terminal->reason(), QStringLiteral("MQTT Disconnected"));
        QCOMPARE(ui->statuses, (QStringList{"online", "offline"}));

        QVERIFY2(m_broker.restart(), qPrintable(m_broker.log()));
        QVERIFY(QTest::qWaitFor([&] { return ui->subscribed() && m_peer.isConnected(); }, 20000));
        QVERIFY(sendStatus(*ui, R"({"service": true, "state": {"hasRfid": true, "hasObu": true, "hasRoute": true}})"));
        QCOMPARE(ui->terminal->status(), QStringLiteral("online"));
        QVERIFY(ui->terminal->reasonCode().isEmpty());
    }

public slots:
    void recordSignal()
    {
        if (m_order)
            *m_order << QString::fromLatin1(
                sender()->metaObject()->method(senderSignalIndex()).methodSignature());
    }

private:
    QStringList *m_order = nullptr;
};

QTEST_GUILESS_MAIN(tst_LTXGTerminal)
#include "tst_ltxgterminal.moc"

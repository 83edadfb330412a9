#include "Barcode.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "ServiceTestBed.h"

#include <QtTest>

using manager::BarcodeManager;
using manager::MqttClient;

namespace {

const QString Base = QStringLiteral("test/barcode");

} // namespace

// The barcode client against a real broker, with a peer playing the barcode
// reader service.
class tst_Barcode : public QObject
{
    Q_OBJECT

private:
    void serve(const QString &topic, const QByteArray &payload)
    {
        QVERIFY(m_bed.serve(*m_mqtt, topic, payload));
    }

    ServiceTestBed m_bed;
    MqttPeer &m_peer = m_bed.peer();
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<BarcodeManager> m_barcode;
    std::unique_ptr<LogRecorder> m_log;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_bed.start("barcode-service", Base), qPrintable(m_bed.broker().log()));
    }

    void init()
    {
        m_log = std::make_unique<LogRecorder>();
        m_mqtt = m_bed.makeClient("barcode-client");
        m_barcode = std::make_unique<BarcodeManager>(*m_mqtt, Base);
        QVERIFY(m_bed.connectClient(*m_mqtt));
        QVERIFY(m_bed.waitUntilLive(*m_mqtt, Base + "/probe", "{}"));
        m_log->clear();
    }

    void cleanup()
    {
        m_barcode.reset();
        m_mqtt.reset();
        m_log.reset();
    }

    void statusFollowsTheService()
    {
        QCOMPARE(m_barcode->status(), QString());
        QSignalSpy status(m_barcode.get(), &BarcodeManager::statusChanged);

        serve(Base + "/status", R"({"service": true, "device": {"active": true}})");
        QCOMPARE(m_barcode->status(), QString("disabled"));
        serve(Base + "/status", R"({"service": true, "device": {"active": true}})");
        QCOMPARE(status.size(), 1);
        QVERIFY(m_log->lines(QtWarningMsg).contains("Barcode status is : disabled"));

        serve(Base + "/status", R"({"service": true, "device": {"active": true, "enabled": true}})");
        serve(Base + "/status", R"({"service": true, "device": {"active": false, "enabled": true}})");
        serve(Base + "/status", R"({"device": {"active": true, "enabled": true}})");
        serve(Base + "/status", R"({"service": true})");
        const QStringList expected{ "disabled", "enabled", "error", "offline", "error" };
        QStringList seen;
        for (const QList<QVariant> &args : qAsConst(status))
            seen.append(args.first().toString());
        QCOMPARE(seen, expected);
        QCOMPARE(m_barcode->status(), QString("error"));
    }

    void infoAndScans()
    {
        serve(Base + "/info",
              R"({"device": {"firmware": "1.2", "manufacturer": "Acme", "model": "S1"},
                  "service": {"version": "3.0", "type": "qr"}})");
        const BarcodeManager::Info info = m_barcode->info();
        QCOMPARE(info.firmware, QString("1.2"));
        QCOMPARE(info.manufacturer, QString("Acme"));
        QCOMPARE(info.model, QString("S1"));
        QCOMPARE(info.version, QString("3.0"));
        QCOMPARE(info.type, QString("qr"));

        QSignalSpy scanned(m_barcode.get(), &BarcodeManager::barcodeScanned);
        serve(Base + "/barcode", R"({"data": "TICKET-42"})");
        QCOMPARE(scanned.size(), 1);
        QCOMPARE(scanned.first().first().toString(), QString("TICKET-42"));

        // Deeper than the scan topic: no handler takes it.
        serve(Base + "/barcode/extra", R"({"data": "DEEPER"})");
        serve(Base + "/barcode", "{}");
        QCOMPARE(scanned.size(), 2);
        QCOMPARE(scanned.last().first().toString(), QString());
    }

    void badInputIsLoggedWithItsBytes()
    {
        QSignalSpy scanned(m_barcode.get(), &BarcodeManager::barcodeScanned);
        QSignalSpy status(m_barcode.get(), &BarcodeManager::statusChanged);
        serve(Base + "/barcode", QByteArray());
        serve(Base + "/status", "{\"service\": tru");
        QCOMPARE(m_log->lines(QtCriticalMsg),
                 QStringList({ "Failed to parse JSON message: ", "Failed to parse JSON message: {\"service\": tru" }));
        QCOMPARE(scanned.size(), 0);
        QCOMPARE(status.size(), 0);
        QCOMPARE(m_barcode->status(), QString());
    }

    void enableAndDisableArePlainRequests()
    {
        QSignalSpy status(m_barcode.get(), &BarcodeManager::statusChanged);
        m_barcode->enable();
        auto message = m_peer.waitForMessage(Base + "/enable");
        QVERIFY(message);
        QCOMPARE(message->payload, QByteArray());
        QCOMPARE(message->qos, 0);
        QCOMPARE(message->retain, false);
        m_barcode->disable();
        message = m_peer.waitForMessage(Base + "/disable");
        QVERIFY(message);
        QCOMPARE(message->payload, QByteArray());
        // The status waits for the service; an empty request is not a status.
        QCOMPARE(status.size(), 0);
        QCOMPARE(m_barcode->status(), QString());
    }
};

QTEST_GUILESS_MAIN(tst_Barcode)
#include "tst_barcode.moc"

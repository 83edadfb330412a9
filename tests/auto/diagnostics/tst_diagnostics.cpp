#include "Board.h"
#include "Diagnostics.h"
#include "LTXGTerminal.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "Network.h"
#include "ProgramProcess.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtTest>

namespace {

const QString Base = QStringLiteral("test/diag");

// Now, away from the end of a minute: time-stamped results must not straddle one.
QDateTime settledNow()
{
    while (QTime::currentTime().second() >= 55)
        QTest::qWait(500);
    return QDateTime::currentDateTime();
}

} // namespace

// Diagnostics over a made-up sysfs tree. The services' messages reach their
// clients as the MQTT client hands them over; the validator's records are
// set directly.
class tst_Diagnostics : public QObject
{
    Q_OBJECT

    // Made and dropped in order.
    struct Services
    {
        manager::MqttClient mqtt;
        manager::Board board{ mqtt, Base + "/board" };
        manager::Network network{ mqtt, Base + "/network" };
        manager::LTXGTerminal terminal{ mqtt, Base + "/blm" };
    };

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_deviceId = QStringLiteral("DEV-0001");
    std::unique_ptr<Services> m_services;
    std::unique_ptr<Diagnostics> m_diag;

    QString results(const QStringList &properties) const
    {
        QStringList values;
        for (const QString &property : properties)
            values << m_diag->property(qPrintable(property)).toString();
        return values.join(' ');
    }

    void receive(const QString &topic, const QJsonObject &object)
    {
        emit m_services->mqtt.received(QJsonDocument(object).toJson(), (Base + topic).toUtf8());
    }

    void boardStatus(double temperature, double voltage, bool ignition, bool rtcFailed)
    {
        const QJsonObject device{ { "active", true }, { "ignition", ignition }, { "temperature", temperature },
                                  { "voltage", voltage }, { "hardwareStatus", QJsonObject{ { "rtcFailed", rtcFailed } } } };
        receive("/board/status", { { "service", true }, { "device", device } });
    }

    void setReader(bool active, const QJsonArray &sams)
    {
        m_services->terminal.rfid()->fromJson({ { "state", active ? 2 : 5 }, { "active", active }, { "sams", sams } });
    }

    // A USB device as the kernel lays it out: a directory (no id files when
    // its ids cannot be read) and a link to it under the devices path.
    void addUsbDevice(const QString &name, const QByteArray &id = QByteArray())
    {
        QVERIFY(QDir(m_tmp->path()).mkpath(name));
        QVERIFY(id.isNull() || ProgramProcess::writeFile(m_tmp->filePath(name + "/idVendor"), id.left(4) + "\n"));
        QVERIFY(id.isNull() || ProgramProcess::writeFile(m_tmp->filePath(name + "/idProduct"), id.mid(5) + "\n"));
        QVERIFY(QFile::link(m_tmp->filePath(name), m_tmp->filePath("usb/" + name)));
    }

private slots:
    void init()
    {
        QCoreApplication::setApplicationVersion("1.2.3");
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid() && QDir(m_tmp->path()).mkpath("usb"));
        m_diag.reset();
        m_services = std::make_unique<Services>();
        m_diag = std::make_unique<Diagnostics>(m_deviceId, m_services->board, m_services->network, m_services->terminal);
        m_diag->setUsbDevicesPath(m_tmp->filePath("usb"));
        m_diag->setSdCardPath(m_tmp->filePath("mmcblk1p1"));
        m_diag->setReportDirectory(m_tmp->path());
    }

    // Checked again every second: a change shows, an unreadable file is
    // logged once.
    void usbAndSdCard()
    {
        addUsbDevice("1-1", "0451:2077");
        addUsbDevice("1-1.2"); // mPCIe: any device, even one without ids
        LogRecorder log;
        m_diag->start(1);
        const QStringList properties{ "usbHub", "mPCIe1", "sdCard" };
        QCOMPARE(results(properties), "OK OK MISSING");
        QSignalSpy hub(m_diag.get(), &Diagnostics::usbHubChanged);
        QSignalSpy sdCard(m_diag.get(), &Diagnostics::sdCardChanged);
        QVERIFY(ProgramProcess::writeFile(m_tmp->filePath("mmcblk1p1"), ""));
        QVERIFY(QFile::remove(m_tmp->filePath("usb/1-1")));
        QTRY_VERIFY_WITH_TIMEOUT(hub.count() == 1 && sdCard.count() == 1, 10000);
        QCOMPARE(results(properties), "MISSING OK OK");
        QCOMPARE(log.matching("ERROR: Failed to open fle : " + m_tmp->filePath("usb/1-1.2/idVendor")).size(), 1);
    }

    // The limits themselves are out of range.
    void boardAndReader()
    {
        const QStringList board{ "temperature", "voltage", "ignition", "rtc", "boardService" };
        QCOMPARE(results(board), "ERROR ERROR ERROR OK ERROR");
        boardStatus(15.0, 9.0, true, false);
        QCOMPARE(results(board), "ERROR ERROR OK OK OK");
        boardStatus(15.1, 39.9, true, false);
        QCOMPARE(results(board), "OK OK OK OK OK");
        boardStatus(70.0, 40.0, false, true);
        QCOMPARE(results(board), "ERROR ERROR ERROR ERROR OK");

        // A SAM without an answer to reset is no working SAM.
        setReader(true, { QJsonObject{ { "uid", "SAM-77" } } });
        QCOMPARE(results({ "sam", "rfidService" }), "ERROR OK");
        setReader(false, { QJsonObject{ { "uid", "SAM-77" }, { "atr", "3B8F" } } });
        QCOMPARE(results({ "sam", "rfidService" }), "ERROR ERROR");
    }

    // Every result at once: the QR code a technician scans, and the report saved.
    void qrCodeAndReport()
    {
        boardStatus(30.0, 12.0, true, true);
        receive("/board/info", { { "device", QJsonObject{ { "firmwareVersion", "B1.0" } } } });
        receive("/network/ethernet/state", { { "interface", "eth0" }, { "stateStr", "Connected" } });
        addUsbDevice("1-1.2", "1234:5678");
        addUsbDevice("1-1.3", "0ab1:0070");
        addUsbDevice("1-1.5", "0403:6015");
        QVERIFY(ProgramProcess::writeFile(m_tmp->filePath("mmcblk1p1"), ""));
        m_diag->start(0);
        setReader(true, { QJsonObject{ { "uid", "SAM-77" }, { "atr", "3B" } } });
        m_services->terminal.rfid()->setFirmware("RF-1");
        m_services->terminal.barcode()->setFirmware("BC-2");
        m_services->terminal.barcode()->setActive(true);
        // Distinct manual results pin their order.
        for (const char *name : { "buzzer", "leds", "speaker", "barcodeScan", "cardScan", "lightSensor", "rgbTest" })
            QVERIFY(m_diag->setProperty(name, QString::fromLatin1(name).left(3)));

        const QString date = settledNow().toString("yyyy-MM-dd hh:mm");
        QSvgRenderer renderer(m_diag->generateQr().mid(15).toUtf8());
        QImage image(renderer.defaultSize() * 8, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        QVERIFY(image.save(m_tmp->filePath("qr.png")));
        QProcess zbar;
        zbar.start("zbarimg", { "--raw", "-q", m_tmp->filePath("qr.png") });
        QVERIFY(zbar.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(),
                 "DEV-0001;" + date + ";SAM-77;BC-2;RF-1;B1.0;1.2.3;ERROR;OK;MISSING;ERROR;MISSING;OK;MISSING;MISSING;OK;"
                                      "buz;led;OK;OK;OK;OK;spe;bar;car;OK;OK;OK;lig;rgb");

        QSignalSpy finished(m_diag.get(), &Diagnostics::saveReportFinished);
        m_diag->saveReport();
        QCOMPARE(finished.count(), 1);
        QFile file(finished.at(0).at(1).toString().section("Test report saved successfully:\n", 1));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(file.readAll()).split('\n').contains(" RTC              " + QString(30, ' ') + "ERROR"));

        // Too much to encode: refused and logged, and the next one works.
        LogRecorder log;
        m_deviceId = QString(3000, 'x');
        QCOMPARE(m_diag->generateQr(), QString());
        m_deviceId = QStringLiteral("DEV-0001");
        QVERIFY(log.lines(QtCriticalMsg).first().startsWith("[QrCodeGenerator] ERROR: Could not encode QR code : "));
        QVERIFY(m_diag->generateQr().startsWith("data:image/svg,<?xml"));
    }

    // A full disk shows only when writing: no success either.
    void reportOnFullDisk()
    {
        QVERIFY(QFile::link("/dev/full", m_tmp->filePath("TestReport_" + settledNow().toString("yyyyMMdd_hhmm") + ".txt")));
        LogRecorder log;
        QSignalSpy finished(m_diag.get(), &Diagnostics::saveReportFinished);
        m_diag->saveReport();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        const QString error = finished.at(0).at(1).toString().section("Could not save Test Report\nERROR: ", 1);
        QVERIFY(!error.isEmpty());
        QVERIFY(log.lines(QtCriticalMsg).contains("[Diagnostics] ERROR: Could not save file : " + error));
    }
};

QTEST_MAIN(tst_Diagnostics)
#include "tst_diagnostics.moc"

#include "Board.h"
#include "Diagnostics.h"
#include "LTXGTerminal.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "Network.h"
#include "QrCodeGenerator.h"
#include "SAM.h"
#include "ServiceTestBed.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using manager::Board;
using manager::LTXGTerminal;
using manager::MqttClient;
using manager::Network;

namespace {

const QString Base = QStringLiteral("test/diag");
const QString BoardBase = Base + "/board";
const QString NetworkBase = Base + "/network";
const QString BlmBase = Base + "/blm";

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(data);
}

// A USB device directory as the kernel lays it out (values end in a line feed).
void addUsbDevice(const QString &root, const QString &name, const QByteArray &vendor, const QByteArray &product)
{
    QVERIFY(QDir(root).mkpath(name));
    if (!vendor.isNull())
        writeFile(root + "/" + name + "/idVendor", vendor + "\n");
    if (!product.isNull())
        writeFile(root + "/" + name + "/idProduct", product + "\n");
    writeFile(root + "/" + name + "/product", "Device " + name.toLatin1() + "\n");
}

QString reportLine(const QString &label, const QString &value)
{
    return QStringLiteral(" %1").arg(label, -17) + QString(qMax(0, 35 - value.size()), ' ') + value;
}

// Time-stamped results must not straddle a minute.
void awayFromMinuteEnd()
{
    while (QTime::currentTime().second() >= 55)
        QTest::qWait(500);
}

QString minute(const char *format)
{
    return QDateTime::currentDateTime().toString(QLatin1String(format));
}

} // namespace

// Diagnostics over a made-up sysfs tree, with the board and network services
// played by a peer on a real broker and the validator's records set directly.
class tst_Diagnostics : public QObject
{
    Q_OBJECT

private:
    // Publishes as a service until the client shows the effect.
    bool serve(const QString &topic, const QJsonObject &object, const std::function<bool()> &done)
    {
        QElapsedTimer since;
        return QTest::qWaitFor(
            [&] {
                if (done())
                    return true;
                if (!since.isValid() || since.elapsed() > 300) {
                    m_peer.publish(topic, QJsonDocument(object).toJson(QJsonDocument::Compact));
                    since.start();
                }
                return false;
            },
            10000);
    }

    bool serveBoard(double temperature, double voltage, bool ignition = true, bool rtcFailed = false)
    {
        const QJsonObject device{{"active", true},
                                 {"ignition", ignition},
                                 {"temperature", temperature},
                                 {"voltage", voltage},
                                 {"hardwareStatus", QJsonObject{{"rtcFailed", rtcFailed}}}};
        return serve(BoardBase + "/status", {{"service", true}, {"device", device}}, [=] {
            return m_board->temperature() == temperature && m_board->voltage() == voltage
                && m_board->ignition() == ignition && m_board->rtcFailed() == rtcFailed;
        });
    }

    ServiceTestBed m_bed;
    MqttPeer &m_peer = m_bed.peer();
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_deviceId = QStringLiteral("DEV-0001");
    std::unique_ptr<MqttClient> m_mqtt;
    std::unique_ptr<Board> m_board;
    std::unique_ptr<Network> m_network;
    std::unique_ptr<LTXGTerminal> m_terminal;
    std::unique_ptr<Diagnostics> m_diag;

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationVersion("1.2.3");
        QVERIFY2(m_bed.start("diag-services", Base), qPrintable(m_bed.broker().log()));
    }

    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
        m_mqtt = m_bed.makeClient("diag-client");
        m_board = std::make_unique<Board>(*m_mqtt, BoardBase);
        m_network = std::make_unique<Network>(*m_mqtt, NetworkBase);
        m_terminal = std::make_unique<LTXGTerminal>(*m_mqtt, BlmBase);
        m_diag = std::make_unique<Diagnostics>(m_deviceId, *m_board, *m_network, *m_terminal);
        QCOMPARE(m_diag->usbDevicesPath(), QString("/sys/bus/usb/devices"));
        QCOMPARE(m_diag->sdCardPath(), QString("/dev/mmcblk1p1"));
        QCOMPARE(m_diag->reportDirectory(), QString("."));
        m_diag->setUsbDevicesPath(m_tmp->filePath("usb"));
        m_diag->setSdCardPath(m_tmp->filePath("mmcblk1p1"));
        m_diag->setReportDirectory(m_tmp->path());
        QVERIFY(QDir(m_tmp->path()).mkpath("usb"));
    }

    void cleanup()
    {
        m_diag.reset();
        m_terminal.reset();
        m_network.reset();
        m_board.reset();
        m_mqtt.reset();
        m_tmp.reset();
    }

    void usbAndSdChecks()
    {
        const QString usb = m_tmp->filePath("usb");
        addUsbDevice(usb, "1-1", "0451", "2077");                   // hub: right id
        addUsbDevice(usb, "1-1.2", QByteArray(), QByteArray());     // "*", id files unreadable
        addUsbDevice(usb, "1-1.3", "0ab1", "0008");                 // RFID: wrong product
        addUsbDevice(usb, "1-1.5", "0403", "6015");                 // FTDI
        addUsbDevice(m_tmp->path(), "barcode", "05F9", "4204");     // upper case: no match
        QVERIFY(QFile::link(m_tmp->filePath("barcode"), usb + "/1-1.6")); // sysfs entries are links
        // 1-1.4 ("*") and 1-1.7 are absent.

        QStringList changed;
        const auto track = [&](void (Diagnostics::*signal)(), const char *name) {
            connect(m_diag.get(), signal, this, [&changed, name] { changed << name; });
        };
        track(&Diagnostics::usbHubChanged, "usbHub");
        track(&Diagnostics::mPCIe1Changed, "mPCIe1");
        track(&Diagnostics::rfidUsbChanged, "rfidUsb");
        track(&Diagnostics::barcodeUsbChanged, "barcodeUsb");
        track(&Diagnostics::ftdiChanged, "ftdi");
        track(&Diagnostics::usbHostChanged, "usbHost");
        track(&Diagnostics::touchChanged, "touch");
        track(&Diagnostics::sdCardChanged, "sdCard");

        LogRecorder log;
        m_diag->start(0);
        QVERIFY(log.contains("[Diagnostics] Starting Diagnostic check (interval=0 sec)"));
        QCOMPARE(m_diag->usbHub(), QString("OK"));
        QCOMPARE(m_diag->mPCIe1(), QString("OK"));
        QCOMPARE(m_diag->rfidUsb(), QString("ERROR"));
        QCOMPARE(m_diag->usbHost(), QString("MISSING"));
        QCOMPARE(m_diag->ftdi(), QString("OK"));
        QCOMPARE(m_diag->barcodeUsb(), QString("ERROR"));
        QCOMPARE(m_diag->touch(), QString("MISSING"));
        QCOMPARE(m_diag->sdCard(), QString("MISSING"));
        QCOMPARE(changed, (QStringList{"usbHub", "mPCIe1", "rfidUsb", "usbHost", "ftdi", "barcodeUsb", "touch",
                                       "sdCard"}));
        QVERIFY(log.contains("[Diagnostics] name=RFID deviceId=0ab1:0008 expected=0ab1:0007 product=Device 1-1.3"));
        QVERIFY(log.contains("[Diagnostics] name=mPCIE #1 deviceId=: expected=* product=Device 1-1.2"));
        QVERIFY(log.lines(QtCriticalMsg).contains("[Diagnostics] ERROR: Failed to open fle : " + usb
                                                  + "/1-1.2/idVendor"));
        QVERIFY(!m_diag->findChild<QTimer *>("checkTimer")->isActive());

        // Unchanged results stay quiet; a repeating check sees what changes.
        changed.clear();
        m_diag->start(1);
        QVERIFY(changed.isEmpty());
        QVERIFY(m_diag->findChild<QTimer *>("checkTimer")->isActive());
        writeFile(m_tmp->filePath("mmcblk1p1"), "");
        QVERIFY(QDir(usb + "/1-1").removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 2, 10000);
        QCOMPARE(changed, (QStringList{"usbHub", "sdCard"}));
        QCOMPARE(m_diag->usbHub(), QString("MISSING"));
        QCOMPARE(m_diag->sdCard(), QString("OK"));
        // Checked every second, an unreadable file is reported once.
        QCOMPARE(log.matching("Failed to open fle : " + usb + "/1-1.2/idVendor").size(), 1);

        m_diag->stop();
        QVERIFY(log.contains("[Diagnostics] Stopping Diagnostic check"));
        QVERIFY(!m_diag->findChild<QTimer *>("checkTimer")->isActive());
    }

    void manualChecks()
    {
        const QStringList writable{"buzzer", "leds", "speaker", "barcodeScan", "cardScan", "lightSensor", "rgbTest"};
        const QMetaObject *meta = m_diag->metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            QCOMPARE(property.isWritable(), writable.contains(property.name()));
            if (!property.isWritable())
                continue;
            QSignalSpy spy(m_diag.get(), property.notifySignal());
            QCOMPARE(property.read(m_diag.get()).toString(), QString());
            QVERIFY(property.write(m_diag.get(), "OK"));
            QVERIFY(property.write(m_diag.get(), "OK"));
            QCOMPARE(spy.count(), 1);
            QVERIFY(property.write(m_diag.get(), "ERROR"));
            QCOMPARE(spy.count(), 2);
            QCOMPARE(property.read(m_diag.get()).toString(), QString("ERROR"));
        }
    }

    void liveResults()
    {
        QVERIFY(m_bed.connectClient(*m_mqtt));
        QCOMPARE(m_diag->boardService(), QString("ERROR"));
        QCOMPARE(m_diag->rtc(), QString("OK"));

        QSignalSpy temperature(m_diag.get(), &Diagnostics::temperatureChanged);
        QSignalSpy voltage(m_diag.get(), &Diagnostics::voltageChanged);
        QSignalSpy ignition(m_diag.get(), &Diagnostics::ignitionChanged);
        QSignalSpy boardService(m_diag.get(), &Diagnostics::boardServiceChanged);
        QSignalSpy rtc(m_diag.get(), &Diagnostics::rtcChanged);
        QVERIFY(serveBoard(15.0, 9.0));
        QCOMPARE(m_diag->temperature(), QString("ERROR"));
        QCOMPARE(m_diag->voltage(), QString("ERROR"));
        QCOMPARE(m_diag->ignition(), QString("OK"));
        QCOMPARE(m_diag->boardService(), QString("OK"));
        QCOMPARE(temperature.count(), 1);
        QCOMPARE(voltage.count(), 1);
        QCOMPARE(ignition.count(), 1);
        QCOMPARE(boardService.count(), 1);

        QVERIFY(serveBoard(15.1, 9.1));
        QCOMPARE(m_diag->temperature(), QString("OK"));
        QCOMPARE(m_diag->voltage(), QString("OK"));
        QVERIFY(serveBoard(69.9, 39.9));
        QCOMPARE(m_diag->temperature(), QString("OK"));
        QCOMPARE(m_diag->voltage(), QString("OK"));
        QVERIFY(serveBoard(70.0, 40.0, false, true));
        QCOMPARE(m_diag->temperature(), QString("ERROR"));
        QCOMPARE(m_diag->voltage(), QString("ERROR"));
        QCOMPARE(m_diag->ignition(), QString("ERROR"));
        QCOMPARE(m_diag->rtc(), QString("ERROR"));
        QCOMPARE(rtc.count(), 1);
        QCOMPARE(temperature.count(), 4);

        QSignalSpy ethernet(m_diag.get(), &Diagnostics::ethernetChanged);
        QCOMPARE(m_diag->ethernet(), QString("ERROR"));
        QVERIFY(serve(NetworkBase + "/ethernet/state", {{"interface", "eth0"}, {"stateStr", "Connected"}},
                      [this] { return m_diag->ethernet() == "OK"; }));
        QCOMPARE(ethernet.count(), 1);

        // The validator's reader records, as the validation service fills them.
        ValidatorRfid *rfid = m_terminal->rfid();
        QSignalSpy sam(m_diag.get(), &Diagnostics::samChanged);
        QSignalSpy rfidService(m_diag.get(), &Diagnostics::rfidServiceChanged);
        QSignalSpy barcodeService(m_diag.get(), &Diagnostics::barcodeServiceChanged);
        const QJsonArray sams{QJsonObject{{"uid", "SAM-77"}, {"atr", "3B8F"}}};
        rfid->fromJson({{"state", 2}, {"active", true}, {"sams", sams}});
        QCOMPARE(m_diag->sam(), QString("OK"));
        QCOMPARE(m_diag->rfidService(), QString("OK"));
        QCOMPARE(sam.count(), 1);
        QCOMPARE(rfidService.count(), 1);
        rfid->fromJson({{"state", 2}, {"active", true}, {"sams", QJsonArray{QJsonObject{{"uid", "SAM-77"}}}}});
        QCOMPARE(m_diag->sam(), QString("ERROR")); // no ATR
        rfid->fromJson({{"state", 5}, {"active", false}, {"sams", sams}});
        QCOMPARE(m_diag->sam(), QString("ERROR"));
        QCOMPARE(m_diag->rfidService(), QString("ERROR"));
        rfid->fromJson({{"state", 2}, {"active", true}, {"sams", QJsonArray()}});
        QCOMPARE(m_diag->sam(), QString("ERROR"));
        QCOMPARE(sam.count(), 4);

        QCOMPARE(m_diag->barcodeService(), QString("ERROR"));
        m_terminal->barcode()->setActive(true);
        QCOMPARE(m_diag->barcodeService(), QString("OK"));
        QCOMPARE(barcodeService.count(), 1);
    }

    void reportText()
    {
        QVERIFY(m_bed.connectClient(*m_mqtt));
        QVERIFY(serveBoard(20.0, 24.0));
        QVERIFY(serve(BoardBase + "/info", {{"device", QJsonObject{{"firmwareVersion", "B1.0"}}}},
                      [this] { return m_board->info().value("firmware") == "B1.0"; }));
        addUsbDevice(m_tmp->filePath("usb"), "1-1.5", "0403", "6015");
        m_diag->start(0);
        const QString longFirmware = QStringLiteral("RF-").append(QString(40, 'x'));
        m_terminal->rfid()->setFirmware(longFirmware);
        m_terminal->barcode()->setFirmware("BC-2");
        m_diag->setBuzzer("OK");
        m_diag->setLeds("ERROR");
        m_diag->setSpeaker("ERROR");

        LogRecorder log;
        awayFromMinuteEnd();
        QSignalSpy finished(m_diag.get(), &Diagnostics::saveReportFinished);
        m_diag->saveReport();
        QCOMPARE(finished.count(), 1);
        const QString fileName = m_tmp->path() + "/TestReport_" + minute("yyyyMMdd_hhmm") + ".txt";
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(finished.at(0).at(1).toString(), "Test report saved successfully:\n" + fileName);

        const QString separator(53, '-');
        const QStringList expected{
            separator,
            " DEVICE TEST REPORT",
            separator,
            reportLine("Device UID", "DEV-0001"),
            reportLine("Date", minute("yyyy-MM-dd hh:mm")),
            reportLine("SAM", "SAM not present"),
            reportLine("Barcode Firmware", "BC-2"),
            " RFID Firmware    " + longFirmware,
            reportLine("Board Firmware", "B1.0"),
            reportLine("App Version", "1.2.3"),
            reportLine("Bundle Version", "<null>"),
            reportLine("Image Version", "<null>"),
            separator,
            reportLine("RTC", "OK"),
            reportLine("Ethernet", "ERROR"),
            reportLine("USB Hub", "MISSING"),
            reportLine("USB Host", "MISSING"),
            reportLine("FTDI", "OK"),
            reportLine("mPCIe #1", "MISSING"),
            reportLine("Touch", "MISSING"),
            reportLine("SD Card", "MISSING"),
            reportLine("Ignition", "OK"),
            reportLine("Temperature", "OK"),
            reportLine("Voltage", "OK"),
            reportLine("RFID", "MISSING"),
            reportLine("Barcode", "MISSING"),
            reportLine("SAM", "ERROR"),
            reportLine("Buzzer", "OK"),
            reportLine("Front LEDs", "ERROR"),
            reportLine("Barcode Scan", ""),
            reportLine("Card Scan", ""),
            reportLine("RFID Manager", "ERROR"),
            reportLine("Barcode Manager", "ERROR"),
            reportLine("Board Manager", "OK"),
            reportLine("Light Sensor", ""),
            reportLine("Display RGB Test", ""),
            separator,
        };
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QCOMPARE(text.split('\n'), expected);
        QVERIFY(!text.endsWith('\n'));
        for (const QString &line : text.split('\n')) {
            if (line != " DEVICE TEST REPORT")
                QCOMPARE(line.size(), line.contains("RFID Firmware") ? 18 + longFirmware.size() : 53);
        }
        QVERIFY(log.contains("[Diagnostics] \n" + text));
        QVERIFY(log.contains("[Diagnostics] Saving Diagnostics report to : " + fileName));
    }

    void reportsInOneMinuteOverwrite()
    {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_tmp->path()));
        m_diag->setReportDirectory(".");
        awayFromMinuteEnd();
        QSignalSpy finished(m_diag.get(), &Diagnostics::saveReportFinished);
        m_diag->setBuzzer("ERROR");
        m_diag->saveReport();
        m_diag->setBuzzer("OK");
        m_diag->saveReport();
        QDir::setCurrent(previous);

        const QString name = "TestReport_" + minute("yyyyMMdd_hhmm") + ".txt";
        QCOMPARE(finished.count(), 2);
        QCOMPARE(finished.at(1).at(1).toString(), "Test report saved successfully:\n./" + name);
        QCOMPARE(QDir(m_tmp->path()).entryList({"TestReport_*"}), QStringList{name});
        QFile file(m_tmp->filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(reportLine("Buzzer", "OK").toUtf8() + "\n"));
    }

    void unsavedReportIsAFailure()
    {
        writeFile(m_tmp->filePath("file"), "not a directory");
        m_diag->setReportDirectory(m_tmp->filePath("file/sub"));
        LogRecorder log;
        QSignalSpy finished(m_diag.get(), &Diagnostics::saveReportFinished);
        m_diag->saveReport();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        const QString message = finished.at(0).at(1).toString();
        QVERIFY2(message.startsWith("Could not save Test Report\nERROR: ") && message.size() > 35, qPrintable(message));
        const QString error = message.mid(message.indexOf("ERROR: ") + 7);
        QVERIFY(log.lines(QtCriticalMsg).contains("[Diagnostics] ERROR: Could not save file : " + error));

        // A full disk shows only when writing: the report is not saved either.
        m_diag->setReportDirectory(m_tmp->path());
        awayFromMinuteEnd();
        QVERIFY(QFile::link("/dev/full", m_tmp->filePath("TestReport_" + minute("yyyyMMdd_hhmm") + ".txt")));
        m_diag->saveReport();
        QCOMPARE(finished.count(), 2);
        QCOMPARE(finished.at(1).at(0).toBool(), false);
        QVERIFY2(finished.at(1).at(1).toString().startsWith("Could not save Test Report\nERROR: "),
                 qPrintable(finished.at(1).at(1).toString()));
    }

    void qrCodeDecodesToTheResults()
    {
        QVERIFY(m_bed.connectClient(*m_mqtt));
        QVERIFY(serveBoard(30.0, 12.0, true, true));
        QVERIFY(serve(BoardBase + "/info", {{"device", QJsonObject{{"firmwareVersion", "B1.0"}}}},
                      [this] { return m_board->info().value("firmware") == "B1.0"; }));
        addUsbDevice(m_tmp->filePath("usb"), "1-1.2", "1234", "5678"); // mPCIe1 OK, not in the code
        addUsbDevice(m_tmp->filePath("usb"), "1-1.3", "0ab1", "0070");
        addUsbDevice(m_tmp->filePath("usb"), "1-1.4", "abcd", "0001");
        addUsbDevice(m_tmp->filePath("usb"), "1-1.6", "05f9", "4204");
        writeFile(m_tmp->filePath("mmcblk1p1"), "");
        m_diag->start(0);
        m_terminal->rfid()->fromJson({{"state", 2}, {"active", true},
                                      {"sams", QJsonArray{QJsonObject{{"uid", "SAM-77"}, {"atr", "3B"}}}}});
        m_terminal->rfid()->setFirmware("RF-1");
        m_terminal->barcode()->setFirmware("BC-2");
        // Distinct manual results pin their order.
        m_diag->setBuzzer("bz");
        m_diag->setLeds("ld");
        m_diag->setSpeaker("sp");
        m_diag->setBarcodeScan("bs");
        m_diag->setCardScan("cs");
        m_diag->setLightSensor("ls");
        m_diag->setRgbTest("rgb");

        awayFromMinuteEnd();
        const QString source = m_diag->generateQr();
        const QString expected = "DEV-0001;" + minute("yyyy-MM-dd hh:mm")
            + ";SAM-77;BC-2;RF-1;B1.0;1.2.3;ERROR;ERROR;MISSING;ERROR;OK;MISSING;OK;MISSING;OK;bz;ld;OK;OK;OK;"
              "OK;sp;bs;cs;OK;ERROR;OK;ls;rgb";

        QVERIFY(source.startsWith("data:image/svg,"));
        const QString svg = source.mid(15);
        QVERIFY(svg.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE svg PUBLIC "));
        const qrcodegen::QrCode reference =
            qrcodegen::QrCode::encodeText(expected.toUtf8().constData(), qrcodegen::QrCode::Ecc::MEDIUM);
        const int width = reference.getSize() + 2;
        QVERIFY(svg.contains(QString("viewBox=\"0 0 %1 %1\"").arg(width)));
        QVERIFY(svg.contains("d=\"M1,1h1v1h-1z M2,1h1v1h-1z "));

        QSvgRenderer renderer(svg.toUtf8());
        QVERIFY(renderer.isValid());
        QImage image(width * 8, width * 8, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        const QString png = m_tmp->filePath("qr.png");
        QVERIFY(image.save(png));

        QProcess zbar;
        zbar.start("zbarimg", {"--raw", "-q", png});
        QVERIFY(zbar.waitForFinished(30000));
        QCOMPARE(zbar.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), expected);
    }

    void oversizedQrCodeIsRefused()
    {
        LogRecorder log;
        m_deviceId = QString(3000, 'x');
        QCOMPARE(m_diag->generateQr(), QString());
        m_deviceId = QStringLiteral("DEV-0001");
        QVERIFY(log.lines(QtCriticalMsg).first().startsWith("[QrCodeGenerator] ERROR: Could not encode QR code : "));
        QVERIFY(m_diag->generateQr().startsWith("data:image/svg,<?xml"));
    }

};

QTEST_MAIN(tst_Diagnostics)
#include "tst_diagnostics.moc"

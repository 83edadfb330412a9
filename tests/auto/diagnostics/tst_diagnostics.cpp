#include "Board.h"
#include "Diagnostics.h"
#include "LTXGTerminal.h"
#include "LogRecorder.h"
#include "MqttClient.h"
#include "Network.h"
#include "ServiceTestBed.h"

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
        return QTest::qWaitFor([&] {
            if (!done() && (!since.isValid() || since.elapsed() > 300)) {
                m_bed.peer().publish(topic, QJsonDocument(object).toJson(QJsonDocument::Compact));
                since.start();
            }
            return done();
        }, 10000);
    }

    bool serveBoard(double temperature, double voltage, bool ignition = true, bool rtcFailed = false)
    {
        const QJsonObject device{ { "active", true }, { "ignition", ignition }, { "temperature", temperature },
                                  { "voltage", voltage }, { "hardwareStatus", QJsonObject{ { "rtcFailed", rtcFailed } } } };
        const manager::Board &b = m_services->board;
        return serve(Base + "/board/status", { { "service", true }, { "device", device } }, [=, &b] {
            return b.temperature() == temperature && b.voltage() == voltage && b.ignition() == ignition && b.rtcFailed() == rtcFailed;
        });
    }

    void writeFile(const QString &name, const QByteArray &data)
    {
        QFile file(m_tmp->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    }

    // A USB device as the kernel lays it out: a directory (values end in a
    // line feed; none at all when its ids cannot be read) and a link to it
    // under the devices path.
    void addUsbDevice(const QString &name, const QByteArray &id = QByteArray())
    {
        QVERIFY(QDir(m_tmp->path()).mkpath(name));
        if (!id.isNull()) {
            writeFile(name + "/idVendor", id.split(':').first() + "\n");
            writeFile(name + "/idProduct", id.split(':').last() + "\n");
        }
        QVERIFY(QFile::link(m_tmp->filePath(name), m_tmp->filePath("usb/" + name)));
    }

    // The services' clients the diagnostics read, made and dropped in order.
    struct Services
    {
        std::unique_ptr<manager::MqttClient> mqtt;
        manager::Board board{ *mqtt, Base + "/board" };
        manager::Network network{ *mqtt, Base + "/network" };
        manager::LTXGTerminal terminal{ *mqtt, Base + "/blm" };
    };

    ServiceTestBed m_bed;
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_deviceId = QStringLiteral("DEV-0001");
    std::unique_ptr<Services> m_services;
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
        QVERIFY(m_tmp->isValid() && QDir(m_tmp->path()).mkpath("usb"));
        m_diag.reset();
        m_services.reset(new Services{ m_bed.makeClient("diag-client") });
        m_diag = std::make_unique<Diagnostics>(m_deviceId, m_services->board, m_services->network, m_services->terminal);
        m_diag->setUsbDevicesPath(m_tmp->filePath("usb"));
        m_diag->setSdCardPath(m_tmp->filePath("mmcblk1p1"));
        m_diag->setReportDirectory(m_tmp->path());
    }

    void usbCheck_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("result");
        QTest::newRow("hub") << "1-1" << QByteArray("0451:2077") << "usbHub" << "OK";
        QTest::newRow("hub absent") << "1-9" << QByteArray("0451:2077") << "usbHub" << "MISSING";
        QTest::newRow("mPCIe, no id files") << "1-1.2" << QByteArray() << "mPCIe1" << "OK";
        QTest::newRow("RFID, wrong product") << "1-1.3" << QByteArray("0ab1:0008") << "rfidUsb" << "ERROR";
        QTest::newRow("USB host, any id") << "1-1.4" << QByteArray("abcd:0001") << "usbHost" << "OK";
        QTest::newRow("FTDI") << "1-1.5" << QByteArray("0403:6015") << "ftdi" << "OK";
        QTest::newRow("barcode, upper case") << "1-1.6" << QByteArray("05F9:4204") << "barcodeUsb" << "ERROR";
    }

    void usbCheck()
    {
        QFETCH(QString, device);
        QFETCH(QByteArray, id);
        QFETCH(QString, property);
        QFETCH(QString, result);
        addUsbDevice(device, id);
        m_diag->start(0);
        QCOMPARE(m_diag->property(qPrintable(property)).toString(), result);
    }

    void repeatedCheckSeesChanges()
    {
        addUsbDevice("1-1", "0451:2077");
        addUsbDevice("1-1.2");
        LogRecorder log;
        m_diag->start(1);
        QCOMPARE(QStringList({ m_diag->usbHub(), m_diag->sdCard() }), QStringList({ "OK", "MISSING" }));
        QSignalSpy hub(m_diag.get(), &Diagnostics::usbHubChanged);
        QSignalSpy sdCard(m_diag.get(), &Diagnostics::sdCardChanged);
        writeFile("mmcblk1p1", "");
        QVERIFY(QFile::remove(m_tmp->filePath("usb/1-1")));
        QTRY_VERIFY_WITH_TIMEOUT(hub.count() == 1 && sdCard.count() == 1, 10000);
        QCOMPARE(QStringList({ m_diag->usbHub(), m_diag->sdCard() }), QStringList({ "MISSING", "OK" }));
        // Checked every second, an unreadable file is reported once.
        QCOMPARE(log.matching("[Diagnostics] ERROR: Failed to open fle : " + m_tmp->filePath("usb/1-1.2/idVendor")).size(), 1);
    }

    void boardResults_data()
    {
        QTest::addColumn<double>("temperature");
        QTest::addColumn<double>("voltage");
        QTest::addColumn<bool>("ignition");
        QTest::addColumn<bool>("rtcFailed");
        QTest::addColumn<QStringList>("results"); // temperature, voltage, ignition, RTC
        QTest::newRow("low limits") << 15.0 << 9.0 << true << false << QStringList{ "ERROR", "ERROR", "OK", "OK" };
        QTest::newRow("just above") << 15.1 << 9.1 << true << false << QStringList{ "OK", "OK", "OK", "OK" };
        QTest::newRow("just below") << 69.9 << 39.9 << true << false << QStringList{ "OK", "OK", "OK", "OK" };
        QTest::newRow("high limits, off, RTC failed") << 70.0 << 40.0 << false << true
                                                      << QStringList{ "ERROR", "ERROR", "ERROR", "ERROR" };
    }

    void boardResults()
    {
        QFETCH(double, temperature);
        QFETCH(double, voltage);
        QFETCH(bool, ignition);
        QFETCH(bool, rtcFailed);
        QFETCH(QStringList, results);
        QVERIFY(m_bed.connectClient(*m_services->mqtt));
        QCOMPARE(m_diag->boardService(), QString("ERROR"));
        QSignalSpy temperatureChanged(m_diag.get(), &Diagnostics::temperatureChanged);
        QVERIFY(serveBoard(temperature, voltage, ignition, rtcFailed));
        QCOMPARE(QStringList({ m_diag->temperature(), m_diag->voltage(), m_diag->ignition(), m_diag->rtc() }), results);
        QCOMPARE(m_diag->boardService(), QString("OK"));
        QCOMPARE(temperatureChanged.count(), 1);
    }

    void readerResults_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<QJsonArray>("sams");
        QTest::addColumn<QString>("sam");
        const QJsonObject sam{ { "uid", "SAM-77" }, { "atr", "3B8F" } };
        QTest::newRow("SAM with ATR") << true << QJsonArray{ sam } << "OK";
        QTest::newRow("SAM without ATR") << true << QJsonArray{ QJsonObject{ { "uid", "SAM-77" } } } << "ERROR";
        QTest::newRow("no SAM") << true << QJsonArray() << "ERROR";
        QTest::newRow("reader inactive") << false << QJsonArray{ sam } << "ERROR";
    }

    // The validator's reader records, as the validation service fills them.
    void readerResults()
    {
        QFETCH(bool, active);
        QFETCH(QJsonArray, sams);
        QFETCH(QString, sam);
        QSignalSpy samChanged(m_diag.get(), &Diagnostics::samChanged);
        m_services->terminal.rfid()->fromJson({ { "state", active ? 2 : 5 }, { "active", active }, { "sams", sams } });
        QCOMPARE(m_diag->sam(), sam);
        QCOMPARE(m_diag->rfidService(), QString(active ? "OK" : "ERROR"));
        QVERIFY(samChanged.count() > 0);
    }

    // Every result at once: the QR code a technician scans, and the report saved.
    void qrCodeAndReport()
    {
        QVERIFY(m_bed.connectClient(*m_services->mqtt));
        QVERIFY(serveBoard(30.0, 12.0, true, true));
        QVERIFY(serve(Base + "/board/info", { { "device", QJsonObject{ { "firmwareVersion", "B1.0" } } } },
                      [this] { return m_services->board.info().value("firmware") == "B1.0"; }));
        QSignalSpy ethernet(m_diag.get(), &Diagnostics::ethernetChanged);
        QVERIFY(serve(Base + "/network/ethernet/state", { { "interface", "eth0" }, { "stateStr", "Connected" } },
                      [this] { return m_diag->ethernet() == "OK"; }));
        QCOMPARE(ethernet.count(), 1);
        addUsbDevice("1-1.2", "1234:5678"); // mPCIe1 OK, not in the code
        addUsbDevice("1-1.3", "0ab1:0070");
        addUsbDevice("1-1.5", "0403:6015");
        writeFile("mmcblk1p1", "");
        m_diag->start(0);
        m_services->terminal.rfid()->fromJson({ { "state", 2 }, { "active", true },
                                       { "sams", QJsonArray{ QJsonObject{ { "uid", "SAM-77" }, { "atr", "3B" } } } } });
        const QString longFirmware = QStringLiteral("RF-").append(QString(40, 'x'));
        m_services->terminal.rfid()->setFirmware(longFirmware);
        m_services->terminal.barcode()->setFirmware("BC-2");
        m_services->terminal.barcode()->setActive(true);
        // Distinct manual results pin their order.
        for (const char *name : { "buzzer", "leds", "speaker", "barcodeScan", "cardScan", "lightSensor", "rgbTest" })
            QVERIFY(m_diag->setProperty(name, QString::fromLatin1(name).left(3)));

        QString date = settledNow().toString("yyyy-MM-dd hh:mm");
        const QString source = m_diag->generateQr();
        QSvgRenderer renderer(source.mid(15).toUtf8());
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
                 "DEV-0001;" + date + ";SAM-77;BC-2;" + longFirmware
                     + ";B1.0;1.2.3;ERROR;OK;MISSING;ERROR;MISSING;OK;MISSING;MISSING;OK;buz;led;OK;OK;OK;OK;spe;bar;car;OK;OK;OK;lig;rgb");

        QSignalSpy finished(m_diag.get(), &Diagnostics::saveReportFinished);
        const QDateTime now = settledNow();
        m_diag->saveReport();
        const QString fileName = m_tmp->path() + "/TestReport_" + now.toString("yyyyMMdd_hhmm") + ".txt";
        date = now.toString("yyyy-MM-dd hh:mm");
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(finished.at(0).at(1).toString(), "Test report saved successfully:\n" + fileName);
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        QCOMPARE(lines.size(), 37);
        // The values right-aligned in 53 columns, a longer one as it is.
        const auto line = [](const QString &label, const QString &value) -> QString {
            return QStringLiteral(" %1").arg(label, -17) + QString(qMax(0, 35 - value.size()), ' ') + value;
        };
        for (const QString &expected : QStringList{ line("Device UID", "DEV-0001"), line("Date", date), line("SAM", "SAM-77"),
                                                    " RFID Firmware    " + longFirmware, line("RTC", "ERROR"), line("Buzzer", "buz") })
            QVERIFY2(lines.contains(expected), qPrintable(expected));
        for (const QString &text : lines)
            QVERIFY2(text.size() == 53 || text == " DEVICE TEST REPORT" || text.contains(longFirmware), qPrintable(text));

        // Too much to encode: refused and logged, and the next one works.
        LogRecorder log;
        m_deviceId = QString(3000, 'x');
        QCOMPARE(m_diag->generateQr(), QString());
        m_deviceId = QStringLiteral("DEV-0001");
        QVERIFY(log.lines(QtCriticalMsg).first().startsWith("[QrCodeGenerator] ERROR: Could not encode QR code : "));
        QVERIFY(m_diag->generateQr().startsWith("data:image/svg,<?xml"));
    }

    void unsavedReport_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("no directory") << false;
        QTest::newRow("full disk") << true; // shows only when writing
    }

    void unsavedReport()
    {
        QFETCH(bool, fullDisk);
        if (fullDisk) {
            QVERIFY(QFile::link("/dev/full", m_tmp->filePath("TestReport_" + settledNow().toString("yyyyMMdd_hhmm") + ".txt")));
        } else {
            writeFile("file", "not a directory");
            m_diag->setReportDirectory(m_tmp->filePath("file/sub"));
        }
        LogRecorder log;
        QSignalSpy finished(m_diag.get(), &Diagnostics::saveReportFinished);
        m_diag->saveReport();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        const QString message = finished.at(0).at(1).toString();
        QVERIFY2(message.startsWith("Could not save Test Report\nERROR: ") && message.size() > 35, qPrintable(message));
        QVERIFY(log.lines(QtCriticalMsg).contains("[Diagnostics] ERROR: Could not save file : " + message.section("ERROR: ", 1)));
    }
};

QTEST_MAIN(tst_Diagnostics)
#include "tst_diagnostics.moc"

#include "Diagnostics.h"

#include "Board.h"
#include "LTXGTerminal.h"
#include "Network.h"
#include "QrCodeGenerator.h"
#include "SAM.h"
#include "ServiceDispatcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStringList>

namespace {

const QString Tag = QStringLiteral("[Diagnostics] ");
const QString Ok = QStringLiteral("OK");
const QString Error = QStringLiteral("ERROR");
const QString Missing = QStringLiteral("MISSING");

QString okOrError(bool ok)
{
    return ok ? Ok : Error;
}

// A file read whole and trimmed; empty when it cannot be opened.
// A file that cannot be read is logged the first time only: the checks run
// every second.
QString readTrimmed(const QString &path, QSet<QString> &reported)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (!reported.contains(path)) {
            reported.insert(path);
            qCritical().noquote().nospace() << Tag << "ERROR: Failed to open fle : " << path;
        }
        return QString();
    }
    return QString::fromUtf8(file.readAll()).trimmed();
}

} // namespace

const QList<Diagnostics::UsbDevice> Diagnostics::m_usbDevices = {
    {QStringLiteral("USB Hub #1"), QStringLiteral("0451:2077"), QStringLiteral("1-1")},
    {QStringLiteral("mPCIE #1"), QStringLiteral("*"), QStringLiteral("1-1.2")},
    {QStringLiteral("RFID"), QStringLiteral("0ab1:0007"), QStringLiteral("1-1.3")},
    {QStringLiteral("USB Host"), QStringLiteral("*"), QStringLiteral("1-1.4")},
    {QStringLiteral("FTDI"), QStringLiteral("0403:6015"), QStringLiteral("1-1.5")},
    {QStringLiteral("Barcode"), QStringLiteral("05f9:4204"), QStringLiteral("1-1.6")},
    {QStringLiteral("Touch"), QStringLiteral("222a:0001"), QStringLiteral("1-1.7")},
};

const QString Diagnostics::DefaultUsbDevicesPath = QStringLiteral("/sys/bus/usb/devices");
const QString Diagnostics::DefaultSdCardPath = QStringLiteral("/dev/mmcblk1p1");

Diagnostics::Diagnostics(const QString &deviceId, manager::Board &board, manager::Network &network,
                         manager::LTXGTerminal &terminal, QObject *parent)
    : QObject(parent)
    , m_timer(this)
    , m_deviceId(deviceId)
    , m_board(board)
    , m_network(network)
    , m_ltxgTerminal(terminal)
    , m_usbDevicesPath(DefaultUsbDevicesPath)
    , m_sdCardPath(DefaultSdCardPath)
    , m_reportDirectory(QStringLiteral("."))
{
    m_timer.setObjectName(QStringLiteral("checkTimer"));
    connect(&m_timer, &QTimer::timeout, this, &Diagnostics::check);

    connect(&m_network, &manager::Network::ethernetChanged, this, &Diagnostics::ethernetChanged);
    // The interface object stays the same; its state is what changes.
    if (manager::Ethernet *ethernet = m_network.ethernet())
        connect(ethernet, &manager::Ethernet::stateChanged, this, &Diagnostics::ethernetChanged);

    connect(&m_board, &manager::Board::ignitionChanged, this, &Diagnostics::ignitionChanged);
    connect(&m_board, &manager::Board::temperatureChanged, this, &Diagnostics::temperatureChanged);
    connect(&m_board, &manager::Board::rtcFailedChanged, this, &Diagnostics::rtcChanged);
    connect(&m_board, &manager::Board::voltageChanged, this, &Diagnostics::voltageChanged);
    connect(&m_board, &manager::Board::statusChanged, this, &Diagnostics::boardServiceChanged);

    ValidatorRfid *rfid = m_ltxgTerminal.rfid();
    connect(rfid, &ValidatorRfid::samChanged, this, &Diagnostics::samChanged);
    connect(rfid, &ValidatorRfid::activeChanged, this, &Diagnostics::rfidServiceChanged);
    connect(m_ltxgTerminal.barcode(), &ValidatorBarcode::activeChanged, this, &Diagnostics::barcodeServiceChanged);
}

QString Diagnostics::rtc() const
{
    return okOrError(!m_board.rtcFailed());
}

QString Diagnostics::ethernet() const
{
    const manager::Ethernet *ethernet = m_network.ethernet();
    return okOrError(ethernet && ethernet->state() == QLatin1String("Connected"));
}

QString Diagnostics::ignition() const
{
    return okOrError(m_board.ignition());
}

QString Diagnostics::temperature() const
{
    const double value = m_board.temperature();
    return okOrError(value > 15.0 && value < 70.0);
}

QString Diagnostics::voltage() const
{
    const double value = m_board.voltage();
    return okOrError(value > 9.0 && value < 40.0);
}

QString Diagnostics::sam() const
{
    const ValidatorRfid *rfid = m_ltxgTerminal.rfid();
    const SAM *sam = rfid->sam();
    return okOrError(rfid->active() && sam && !sam->atr().isEmpty());
}

QString Diagnostics::rfidService() const
{
    return okOrError(m_ltxgTerminal.rfid()->active());
}

QString Diagnostics::barcodeService() const
{
    return okOrError(m_ltxgTerminal.barcode()->active());
}

QString Diagnostics::boardService() const
{
    return okOrError(m_board.status() == QLatin1String("online"));
}

void Diagnostics::setBuzzer(const QString &value)
{
    if (manager::assignIfChanged(m_buzzer, value))
        emit buzzerChanged();
}

void Diagnostics::setLeds(const QString &value)
{
    if (manager::assignIfChanged(m_leds, value))
        emit ledsChanged();
}

void Diagnostics::setSpeaker(const QString &value)
{
    if (manager::assignIfChanged(m_speaker, value))
        emit speakerChanged();
}

void Diagnostics::setBarcodeScan(const QString &value)
{
    if (manager::assignIfChanged(m_barcodeScan, value))
        emit barcodeScanChanged();
}

void Diagnostics::setCardScan(const QString &value)
{
    if (manager::assignIfChanged(m_cardScan, value))
        emit cardScanChanged();
}

void Diagnostics::setLightSensor(const QString &value)
{
    if (manager::assignIfChanged(m_lightSensor, value))
        emit lightSensorChanged();
}

void Diagnostics::setRgbTest(const QString &value)
{
    if (manager::assignIfChanged(m_rgbTest, value))
        emit rgbTestChanged();
}

void Diagnostics::setUsbDevicesPath(const QString &path)
{
    m_usbDevicesPath = path;
}

void Diagnostics::setSdCardPath(const QString &path)
{
    m_sdCardPath = path;
}

void Diagnostics::setReportDirectory(const QString &directory)
{
    m_reportDirectory = directory;
}

void Diagnostics::start(int intervalSec)
{
    qInfo().noquote().nospace() << Tag << QStringLiteral("Starting Diagnostic check (interval=%1 sec)").arg(intervalSec);
    check();
    // A negative interval cannot run a timer; it checks once, like 0.
    if (intervalSec > 0)
        m_timer.start(intervalSec * 1000);
}

void Diagnostics::stop()
{
    qInfo().noquote().nospace() << Tag << "Stopping Diagnostic check";
    m_timer.stop();
}

void Diagnostics::check()
{
    // One entry per row of the USB table, in the same order.
    using Member = QString Diagnostics::*;
    using Signal = void (Diagnostics::*)();
    static const QList<QPair<Member, Signal>> targets = {
        {&Diagnostics::m_usbHub, &Diagnostics::usbHubChanged},
        {&Diagnostics::m_mPCIe1, &Diagnostics::mPCIe1Changed},
        {&Diagnostics::m_rfidUsb, &Diagnostics::rfidUsbChanged},
        {&Diagnostics::m_usbHost, &Diagnostics::usbHostChanged},
        {&Diagnostics::m_ftdi, &Diagnostics::ftdiChanged},
        {&Diagnostics::m_barcodeUsb, &Diagnostics::barcodeUsbChanged},
        {&Diagnostics::m_touch, &Diagnostics::touchChanged},
    };
    Q_ASSERT(targets.size() == m_usbDevices.size());

    for (int i = 0; i < m_usbDevices.size(); ++i) {
        if (manager::assignIfChanged(this->*targets.at(i).first, testUsb(m_usbDevices.at(i))))
            emit(this->*targets.at(i).second)();
    }
    if (manager::assignIfChanged(m_sdCard, testSdCard()))
        emit sdCardChanged();
}

QString Diagnostics::testUsb(const UsbDevice &device) const
{
    const QString directory = m_usbDevicesPath + QLatin1Char('/') + device.path;
    if (!QDir(directory).exists())
        return Missing;

    const QString vendor = readTrimmed(directory + QStringLiteral("/idVendor"), m_unreadable);
    const QString productId = readTrimmed(directory + QStringLiteral("/idProduct"), m_unreadable);
    const QString product = readTrimmed(directory + QStringLiteral("/product"), m_unreadable);
    const QString found = vendor + QLatin1Char(':') + productId;
    qDebug().noquote().nospace() << Tag << "name=" << device.name << " deviceId=" << found
                                 << " expected=" << device.id << " product=" << product;

    if (device.id == QLatin1String("any") || device.id == QLatin1String("*"))
        return Ok;
    return okOrError(found.contains(device.id));
}

QString Diagnostics::testSdCard() const
{
    return QFile::exists(m_sdCardPath) ? Ok : Missing;
}

QString Diagnostics::samUid() const
{
    const SAM *sam = m_ltxgTerminal.rfid()->sam();
    return sam ? sam->uid() : QStringLiteral("SAM not present");
}

QString Diagnostics::boardFirmware() const
{
    return m_board.info().value(QStringLiteral("firmware")).toString();
}

void Diagnostics::saveReport()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString separator(53, QLatin1Char('-'));
    const auto line = [](const char *label, const QString &value) {
        return QString::fromLatin1(label).arg(value, 35);
    };

    const QStringList lines = {
        separator,
        QStringLiteral(" DEVICE TEST REPORT"),
        separator,
        line(" Device UID       %1", m_deviceId),
        line(" Date             %1", now.toString(QStringLiteral("yyyy-MM-dd hh:mm"))),
        line(" SAM              %1", samUid()),
        line(" Barcode Firmware %1", m_ltxgTerminal.barcode()->firmware()),
        line(" RFID Firmware    %1", m_ltxgTerminal.rfid()->firmware()),
        line(" Board Firmware   %1", boardFirmware()),
        line(" App Version      %1", QCoreApplication::applicationVersion()),
        line(" Bundle Version   %1", QStringLiteral("<null>")),
        line(" Image Version    %1", QStringLiteral("<null>")),
        separator,
        line(" RTC              %1", rtc()),
        line(" Ethernet         %1", ethernet()),
        line(" USB Hub          %1", usbHub()),
        line(" USB Host         %1", usbHost()),
        line(" FTDI             %1", ftdi()),
        line(" mPCIe #1         %1", mPCIe1()),
        line(" Touch            %1", touch()),
        line(" SD Card          %1", sdCard()),
        line(" Ignition         %1", ignition()),
        line(" Temperature      %1", temperature()),
        line(" Voltage          %1", voltage()),
        line(" RFID             %1", rfidUsb()),
        line(" Barcode          %1", barcodeUsb()),
        line(" SAM              %1", sam()),
        line(" Buzzer           %1", buzzer()),
        line(" Front LEDs       %1", leds()),
        line(" Barcode Scan     %1", barcodeScan()),
        line(" Card Scan        %1", cardScan()),
        line(" RFID Manager     %1", rfidService()),
        line(" Barcode Manager  %1", barcodeService()),
        line(" Board Manager    %1", boardService()),
        line(" Light Sensor     %1", lightSensor()),
        line(" Display RGB Test %1", rgbTest()),
        separator,
    };
    const QString report = lines.join(QLatin1Char('\n'));
    const QString fileName = m_reportDirectory + QStringLiteral("/%1_%2.txt").arg(
                                 QStringLiteral("TestReport"), now.toString(QStringLiteral("yyyyMMdd_hhmm")));

    qInfo().noquote().nospace() << Tag << "\n" << report;
    qInfo().noquote().nospace() << Tag << "Saving Diagnostics report to : " << fileName;

    QFile file(fileName);
    bool saved = file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    if (saved) {
        // A full disk shows only on writing or flushing; that is no success either.
        const QByteArray data = report.toUtf8();
        saved = file.write(data) == data.size() && file.flush();
    }
    if (!saved) {
        const QString error = file.errorString();
        file.close();
        qCritical().noquote().nospace() << Tag << "ERROR: Could not save file : " << error;
        emit saveReportFinished(false, QStringLiteral("Could not save Test Report\nERROR: ") + error);
        return;
    }
    file.close();
    emit saveReportFinished(true, QStringLiteral("Test report saved successfully:\n") + fileName);
}

QString Diagnostics::generateQr()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList values = {
        m_deviceId,
        now.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
        samUid(),
        m_ltxgTerminal.barcode()->firmware(),
        m_ltxgTerminal.rfid()->firmware(),
        boardFirmware(),
        QCoreApplication::applicationVersion(),
        rtc(),
        ethernet(),
        usbHub(),
        rfidUsb(),
        barcodeUsb(),
        ftdi(),
        usbHost(),
        touch(),
        sdCard(),
        buzzer(),
        leds(),
        ignition(),
        temperature(),
        voltage(),
        sam(),
        speaker(),
        barcodeScan(),
        cardScan(),
        rfidService(),
        barcodeService(),
        boardService(),
        lightSensor(),
        rgbTest(),
    };
    const QString svg = QrCodeGenerator::generateSvgQr(values.join(QLatin1Char(';')), 1, qrcodegen::QrCode::Ecc::MEDIUM);
    if (svg.isEmpty())
        return QString();
    return QStringLiteral("data:image/svg,") + svg;
}

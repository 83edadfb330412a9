#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QSet>
#include <QTimer>

namespace manager {
class Board;
class LTXGTerminal;
class Network;
} // namespace manager

// The terminal's self-test for the maintenance diagnostics page: USB
// peripherals on their fixed bus positions, the SD card, the live state the
// board, network and validation services report, and the checks the
// technician confirms on screen. Writes a fixed-layout test report and
// encodes the results as a QR code.
class Diagnostics : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString rtc READ rtc NOTIFY rtcChanged)
    Q_PROPERTY(QString ethernet READ ethernet NOTIFY ethernetChanged)
    Q_PROPERTY(QString usbHub READ usbHub NOTIFY usbHubChanged)
    Q_PROPERTY(QString mPCIe1 READ mPCIe1 NOTIFY mPCIe1Changed)
    Q_PROPERTY(QString rfidUsb READ rfidUsb NOTIFY rfidUsbChanged)
    Q_PROPERTY(QString barcodeUsb READ barcodeUsb NOTIFY barcodeUsbChanged)
    Q_PROPERTY(QString ftdi READ ftdi NOTIFY ftdiChanged)
    Q_PROPERTY(QString usbHost READ usbHost NOTIFY usbHostChanged)
    Q_PROPERTY(QString touch READ touch NOTIFY touchChanged)
    Q_PROPERTY(QString sdCard READ sdCard NOTIFY sdCardChanged)
    Q_PROPERTY(QString buzzer READ buzzer WRITE setBuzzer NOTIFY buzzerChanged)
    Q_PROPERTY(QString leds READ leds WRITE setLeds NOTIFY ledsChanged)
    Q_PROPERTY(QString ignition READ ignition NOTIFY ignitionChanged)
    Q_PROPERTY(QString temperature READ temperature NOTIFY temperatureChanged)
    Q_PROPERTY(QString voltage READ voltage NOTIFY voltageChanged)
    Q_PROPERTY(QString sam READ sam NOTIFY samChanged)
    Q_PROPERTY(QString speaker READ speaker WRITE setSpeaker NOTIFY speakerChanged)
    Q_PROPERTY(QString barcodeScan READ barcodeScan WRITE setBarcodeScan NOTIFY barcodeScanChanged)
    Q_PROPERTY(QString cardScan READ cardScan WRITE setCardScan NOTIFY cardScanChanged)
    Q_PROPERTY(QString rfidService READ rfidService NOTIFY rfidServiceChanged)
    Q_PROPERTY(QString barcodeService READ barcodeService NOTIFY barcodeServiceChanged)
    Q_PROPERTY(QString boardService READ boardService NOTIFY boardServiceChanged)
    Q_PROPERTY(QString lightSensor READ lightSensor WRITE setLightSensor NOTIFY lightSensorChanged)
    Q_PROPERTY(QString rgbTest READ rgbTest WRITE setRgbTest NOTIFY rgbTestChanged)

public:
    struct UsbDevice
    {
        QString name;
        // vendor:product as the kernel prints them, or "*"/"any".
        QString id;
        // The kernel's device name under the USB devices directory.
        QString path;
    };

    static const QList<UsbDevice> m_usbDevices;

    static const QString DefaultUsbDevicesPath;
    static const QString DefaultSdCardPath;

    Diagnostics(const QString &deviceId, manager::Board &board, manager::Network &network,
                manager::LTXGTerminal &terminal, QObject *parent = nullptr);

    QString rtc() const;
    QString ethernet() const;
    QString usbHub() const { return m_usbHub; }
    QString mPCIe1() const { return m_mPCIe1; }
    QString rfidUsb() const { return m_rfidUsb; }
    QString barcodeUsb() const { return m_barcodeUsb; }
    QString ftdi() const { return m_ftdi; }
    QString usbHost() const { return m_usbHost; }
    QString touch() const { return m_touch; }
    QString sdCard() const { return m_sdCard; }
    QString buzzer() const { return m_buzzer; }
    QString leds() const { return m_leds; }
    QString ignition() const;
    QString temperature() const;
    QString voltage() const;
    QString sam() const;
    QString speaker() const { return m_speaker; }
    QString barcodeScan() const { return m_barcodeScan; }
    QString cardScan() const { return m_cardScan; }
    QString rfidService() const;
    QString barcodeService() const;
    QString boardService() const;
    QString lightSensor() const { return m_lightSensor; }
    QString rgbTest() const { return m_rgbTest; }

    void setBuzzer(const QString &value);
    void setLeds(const QString &value);
    void setSpeaker(const QString &value);
    void setBarcodeScan(const QString &value);
    void setCardScan(const QString &value);
    void setLightSensor(const QString &value);
    void setRgbTest(const QString &value);

    // Where the checks and the report look; the defaults are the device's own.
    QString usbDevicesPath() const { return m_usbDevicesPath; }
    void setUsbDevicesPath(const QString &path);
    QString sdCardPath() const { return m_sdCardPath; }
    void setSdCardPath(const QString &path);
    // Directory the report is written to, "." (the working directory) by default.
    QString reportDirectory() const { return m_reportDirectory; }
    void setReportDirectory(const QString &directory);

signals:
    void rtcChanged();
    void ethernetChanged();
    void usbHubChanged();
    void mPCIe1Changed();
    void rfidUsbChanged();
    void barcodeUsbChanged();
    void ftdiChanged();
    void usbHostChanged();
    void touchChanged();
    void sdCardChanged();
    void buzzerChanged();
    void ledsChanged();
    void ignitionChanged();
    void temperatureChanged();
    void voltageChanged();
    void samChanged();
    void speakerChanged();
    void barcodeScanChanged();
    void cardScanChanged();
    void saveReportFinished(bool result, const QString &message);
    void rfidServiceChanged();
    void barcodeServiceChanged();
    void boardServiceChanged();
    void lightSensorChanged();
    void rgbTestChanged();

public slots:
    void start(int intervalSec = 1);
    void stop();
    void saveReport();
    QString generateQr();

private:
    void check();
    QString testUsb(const UsbDevice &device) const;
    QString testSdCard() const;
    // SAM UID for the report header, or "SAM not present".
    QString samUid() const;
    QString boardFirmware() const;

    QString m_rtc;
    QString m_ethernet;
    QString m_usbHub;
    QString m_mPCIe1;
    QString m_rfidUsb;
    QString m_barcodeUsb;
    QString m_ftdi;
    QString m_usbHost;
    QString m_touch;
    QString m_sdCard;
    QString m_buzzer;
    QString m_leds;
    QString m_ignition;
    QString m_speaker;
    QString m_barcodeScan;
    QString m_cardScan;
    QString m_lightSensor;
    QString m_rgbTest;
    QTimer m_timer;
    // Files already reported as unreadable.
    mutable QSet<QString> m_unreadable;
    const QString &m_deviceId;
    manager::Board &m_board;
    manager::Network &m_network;
    manager::LTXGTerminal &m_ltxgTerminal;

    QString m_usbDevicesPath;
    QString m_sdCardPath;
    QString m_reportDirectory;
};

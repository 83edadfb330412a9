#pragma once

#include "SimMqtt.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

/*
 * Plays every sibling device service of the terminal on one broker
 * connection: board, validation service (with its barcode reader), RFID
 * reader, card dispenser, inspector, network manager and device service
 * (clock, software update).
 * Each service publishes its info and status when the simulator connects
 * (retained, so a terminal started later sees them at once), answers the
 * get/set topics and the request/response calls of its clients with
 * realistic delays, and the console or the "sim/control" topic inject the
 * events a person or a fault would cause.
 */
class Simulator : public QObject
{
    Q_OBJECT

public:
    explicit Simulator(QObject *parent = nullptr);

    void setTakeAfter(int msec);
    void setVerbose(bool verbose);
    bool start(const QString &host, int port);

    // One command line; false when it is not understood.
    bool runCommand(const QString &line);

    static QString helpText();

Q_SIGNALS:
    void quitRequested();

private:
    void onConnected();
    void onReceived(const QString &topic, const QByteArray &payload);
    void onStatusTimer();

    void say(const QString &text) const;
    bool isUp(const QString &service) const;
    void publishAll();
    void shutdown();
    bool setServiceUp(const QString &service, bool up);
    bool scriptNext(const QStringList &words);
    // The scripted answer for the next request of a method, if any: true
    // with *refusal set to the text to refuse with (empty: no answer at all).
    bool takeScripted(const QString &service, const QString &method, QString *refusal);
    void publishServiceStatus(const QString &service);

    // The validation service and the reader share one radio.
    void setRfidState(int state);

    void onBoardMessage(const QString &suffix, const QJsonObject &json);
    void publishBoardInfo();
    void publishBoardStatus();
    void publishBoardConfig();
    void publishBoardDisplay();
    void publishBoardPower();
    void publishBoardAudio();
    void setIgnition(bool on);

    void onValidationMessage(const QString &suffix, const QJsonObject &json);
    void publishValidationInfo();
    void publishValidationStatus();
    void publishValidationConfig();
    void publishBarcodeInfo();
    void publishBarcodeStatus();
    bool setFault(const QString &fault);
    bool presentTicket(bool valid, const QString &what);
    void publishMaintenanceBarcode();

    void onRfidMessage(const QString &suffix, const QByteArray &payload);
    void onRfidRequest(const QString &method, const QString &id, const QJsonObject &params, bool parsed);
    void switchRadio(bool on);
    void publishRfidInfo();
    void publishRfidStatus();
    void cardEntersField(const QString &uid, int type);
    void scheduleDetection();
    void cardLeavesField();
    QJsonObject fieldCard() const;

    void onDispenserRequest(const QString &method, const QString &id, const QJsonObject &params, bool parsed);
    void publishDispenserInfo();
    void publishDispenserStatus();
    void dispenserRespond(const QString &method, const QString &id, int code, const QString &description);
    void takeCard();
    void armAutoTake();

    void onInspectorMessage(const QString &suffix, const QJsonObject &json);
    void publishInspectorInfo();
    void publishInspectorStatus();
    void publishInspectorAudio();

    void onNetworkMessage(const QString &suffix, const QJsonObject &json);
    void publishNetworkInfo();
    void publishNetworkStatus();
    void publishEthernetState();
    void publishEthernetConfig();
    QJsonObject liveIpv4() const;

    void onDeviceMessage(const QString &suffix, const QJsonObject &json);
    void publishDeviceStatus();
    void publishNtpStatus();
    void publishNtpConfig();
    void runUpdateSteps(const QString &kind, int step);

    SimMqtt m_mqtt;
    QElapsedTimer m_uptime;
    QTimer m_statusTimer;
    QTimer m_takeTimer;
    int m_takeAfter = 2000;
    bool m_verbose = false;
    QSet<QString> m_down;
    // "service method" -> refusal text, empty for no answer; used once.
    QHash<QString, QString> m_scripted;

    // board
    bool m_ignition = true;
    double m_temperature = 41.5;
    int m_delayShutdownFor = 120;
    QJsonObject m_display;
    QJsonObject m_power;
    bool m_mute = false;

    // validation service
    QString m_fault;
    bool m_barcodeEnabled = false;
    QJsonObject m_blmConfig;
    int m_ticketCount = 0;

    // RFID reader
    int m_rfidState = 1;
    QString m_fieldUid;
    int m_fieldType = 0;
    QString m_fieldTemplate;
    QJsonObject m_fieldData;
    bool m_badCard = false;

    // dispenser
    bool m_jammed = false;
    bool m_doorOpen = false;
    bool m_cardInMouth = false;
    bool m_cardInRfid = false;
    bool m_busy = false;
    bool m_acceptEnabled = true;
    bool m_autoTake = true;
    int m_cartridge = 100;
    int m_cardSerial = 0;
    QString m_mouthUid;

    // inspector, network, device
    int m_volume = 70;
    QJsonObject m_ethConfig;
    bool m_ntpEnabled = true;
    bool m_ntpSynced = true;
    QString m_ntpServer = QStringLiteral("pool.ntp.org");
    QString m_swCurrent = QStringLiteral("1.4.2");
    QString m_swPending;
    bool m_updating = false;
};

#pragma once

#include "Board.h"
#include "CardIssuer.h"
#include "Clock.h"
#include "Diagnostics.h"
#include "Dispenser.h"
#include "EventManager.h"
#include "Inspector.h"
#include "LTXGTerminal.h"
#include "MqttClient.h"
#include "Network.h"
#include "RFID.h"
#include "SessionManager.h"
#include "Transaction.h"
#include "Update.h"

#include <QColor>
#include <QJsonObject>
#include <QObject>
#include <QQmlApplicationEngine>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <QVariantMap>

class Config;
class QQmlContext;

// The terminal UI's controller: owns the QML engine, the broker connection,
// every service client, the card issuer, the maintenance session and the
// event log; picks the screen QML shows and answers the UI's own MQTT topics.
// It also owns the complete table of configuration keys with their defaults,
// which main() hands to the configuration store.
class GUIManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString screen READ screen WRITE setScreen NOTIFY screenChanged)
    Q_PROPERTY(QString deviceId READ deviceId WRITE setDeviceId NOTIFY deviceIdChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(QString dynTr READ dynTr NOTIFY languageChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(bool showCursor READ showCursor WRITE setShowCursor NOTIFY showCursorChanged)
    Q_PROPERTY(bool showErrorDesc READ showErrorDesc WRITE setShowErrorDesc NOTIFY showErrorDescChanged)
    Q_PROPERTY(int displayOffMin READ displayOffMin WRITE setDisplayOffMin NOTIFY displayOffMinChanged)
    Q_PROPERTY(int shutdownDelaySec READ shutdownDelaySec WRITE setShutdownDelaySec NOTIFY shutdownDelaySecChanged)
    Q_PROPERTY(QColor screenSaverBg READ screenSaverBg NOTIFY screenSaverBgChanged)
    Q_PROPERTY(QString screenSaverImg READ screenSaverImg NOTIFY screenSaverImgChanged)
    Q_PROPERTY(Diagnostics *diagnostics READ diagnostics NOTIFY diagnosticsChanged)
    Q_PROPERTY(manager::Update *update READ update NOTIFY updateChanged)
    Q_PROPERTY(manager::Clock *clock READ clock NOTIFY clockChanged)
    Q_PROPERTY(int animSwitchSec READ animSwitchSec WRITE setAnimSwitchSec NOTIFY animSwitchSecChanged)
    Q_PROPERTY(bool isEntryGate READ isEntryGate WRITE setIsEntryGate NOTIFY isEntryGateChanged)
    Q_PROPERTY(bool errorOccured READ errorOccured WRITE setErrorOccured NOTIFY errorOccuredChanged)
    Q_PROPERTY(int currentErrorScreen READ currentErrorScreen WRITE setCurrentErrorScreen NOTIFY
                   currentErrorScreenChanged)
    Q_PROPERTY(QString errorMessageScreen READ errorMessageScreen WRITE setErrorMessageScreen NOTIFY
                   errorMessageScreenChanged)

public:
    enum ErrorScreen {
        ErrorScannedoDcuments = 0,
        ErrorAvailableCards = 1,
        ErrorRepeatAction = 2,
        ErrorOutOfService = 3,
        ErrorInvalidCard = 4,
        ErrorBarrier = 5,
        ErrorCameraData = 6,
        ErrorOutOfOrder = 7,
        ErrorUnregisteredDevice = 8,
    };
    Q_ENUM(ErrorScreen)

    static const QVariantMap Defaults;

    // The event log lives in "events.ini" next to the executable.
    explicit GUIManager(Config &config, QObject *parent = nullptr);
    // The same, with the event log in eventsFile (tests, other layouts).
    GUIManager(Config &config, const QString &eventsFile, QObject *parent = nullptr);
    ~GUIManager() override;

    QString screen() const;
    void setScreen(const QString &value);
    QString deviceId() const;
    void setDeviceId(const QString &deviceId);
    QString language() const;
    void setLanguage(const QString &name);
    QString dynTr() const;
    QString message() const;
    void setMessage(const QString &message);

    bool showCursor() const;
    void setShowCursor(bool value);
    bool showErrorDesc() const;
    void setShowErrorDesc(bool value);
    int displayOffMin() const;
    void setDisplayOffMin(int value);
    int shutdownDelaySec() const;
    void setShutdownDelaySec(int value);
    QColor screenSaverBg() const;
    QString screenSaverImg() const;
    Diagnostics *diagnostics();
    manager::Update *update();
    manager::Clock *clock();
    int animSwitchSec() const;
    void setAnimSwitchSec(int value);
    bool isEntryGate() const;
    void setIsEntryGate(bool value);
    bool errorOccured() const;
    void setErrorOccured(bool value);
    int currentErrorScreen() const;
    void setCurrentErrorScreen(int value);
    QString errorMessageScreen() const;
    void setErrorMessageScreen(const QString &text);

    void errorMessage(const int &code);
    QString ltxgTerminalReason() const;

    void load();

signals:
    void screenChanged();
    void deviceIdChanged();
    void languageChanged();
    void errorMessageScreenChanged();
    void settingsAccessGranted();
    void settingsAccessDenied();
    void messageChanged();
    void showCursorChanged();
    void isEntryGateChanged();
    void errorOccuredChanged();
    void showErrorDescChanged();
    void displayOffMinChanged();
    void shutdownDelaySecChanged();
    void errorOccured(const QString &error);
    void diagnosticsChanged();
    void updateChanged();
    void clockChanged();
    void barcodeConfigurationApplied(const QStringList &configList);
    void screenSaverBgChanged();
    void screenSaverImgChanged();
    void animSwitchSecChanged();
    void currentErrorScreenChanged();
    void processStarted();
    void processFinished();
    void resetInitialScreen();

public slots:
    void settingsLoginRequest(const QString &pin);
    void settingsLogoutRequest();
    void setIdleScreen();
    void setOutOfOrderScreen(const QString &message);
    void setScreen(const QString &value, int timeout);
    void saveDeviceIdRequest(const QString &deviceId);
    void setMaintenanceScreen();
    void shutdownRequest();
    void rebootRequest();
    void exitRequest();
    void issueCard();
    void onMaintenanceBarcodeScanned(const QJsonObject &json);

private slots:
    void onConfigChanged(const QVariantMap &changes);
    void onConfigFileChanged();
    void onScreenTimeout();
    void onScreenChanged();
    void onDisplayOffTimeout();
    void onIgnitionChanged();
    void updateBoardShutdownDelay();
    void onLTGXTerminalStatusChanged();
    void onLTGXTerminalReasonChanged();
    void onTicketValidated(const Transaction &transaction);
    void onSessionActiveChanged();
    void onMqttConnected();
    void onMqttDisconnected();
    void onMqttError(const QString &error);
    void processMqttMessage(const QByteArray &data, const QString &topic);

private:
    void init();
    void initLog();
    void initConfig();
    void initQml();
    void initMqtt();
    void initManagers();

    void loadDeviceId();
    void saveDeviceId();

    QString base() const;
    void publish(const QJsonObject &object, const QString &suffix);
    void publishInfo();
    void publishStatus();
    void publishConfig();

    // Writes key only when the value differs; the store's change
    // notification does the rest.
    void setConfigValue(const QString &key, const QVariant &value);

    QString m_screen;
    QString m_deviceId;
    QString m_errorMessageScreen;
    QString m_language;
    QString m_message;
    QQmlApplicationEngine m_engine;
    QQmlContext *m_qmlContext = nullptr;
    QTranslator m_translator;
    Config &m_config;
    manager::MqttClient m_mqtt;
    manager::LTXGTerminal m_ltxgTerminal;
    manager::Board m_board;
    manager::Inspector m_inspector;
    manager::Network m_network;
    manager::Update m_update;
    manager::Clock m_clock;
    manager::RFID m_rfid;
    manager::Dispenser m_dispenser;
    manager::CardIssuer m_cardIssuer;
    QTimer m_screenTimer;
    QTimer m_displayOffTimer;
    SessionManager m_session;
    EventManager m_eventLog;
    Diagnostics m_diagnostics;
    // A tap while a cycle (with its preparation of the next card) is still
    // running would start a second cycle moving the same cards.
    bool m_issuing = false;
    // Base whose request topics are subscribed.
    QString m_subscribedBase;
};

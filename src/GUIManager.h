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
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QQmlApplicationEngine>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <QVariantMap>

#include <optional>

class Config;

// The properties kept in the configuration store, one row each: type,
// getter, setter, key and the QVariant conversion that reads it.
#define GUIMANAGER_CONFIG_PROPERTIES(X)                                                                            \
    X(bool, showCursor, setShowCursor, "gui/showCursor", toBool)                                                   \
    X(bool, showErrorDesc, setShowErrorDesc, "gui/showErrorDesc", toBool)                                          \
    X(int, displayOffMin, setDisplayOffMin, "gui/displayOffMin", toInt)                                            \
    X(int, shutdownDelaySec, setShutdownDelaySec, "gui/shutdownDelaySec", toInt)                                   \
    X(int, animSwitchSec, setAnimSwitchSec, "gui/animSwitchSec", toInt)                                            \
    X(bool, isEntryGate, setIsEntryGate, "gui/isEntryGate", toBool)                                                \
    X(bool, errorOccured, setErrorOccured, "gui/errorOccured", toBool)                                             \
    X(int, currentErrorScreen, setCurrentErrorScreen, "gui/currentErrorScreen", toInt)

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

    // The event log lives in EventManager::defaultFileName().
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

#define GUIMANAGER_DECLARE(Type, getter, setter, key, conversion)                                                   \
    Type getter() const;                                                                                           \
    void setter(Type value);
    GUIMANAGER_CONFIG_PROPERTIES(GUIMANAGER_DECLARE)
#undef GUIMANAGER_DECLARE
    QColor screenSaverBg() const;
    QString screenSaverImg() const;
    Diagnostics *diagnostics();
    manager::Update *update();
    manager::Clock *clock();
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
    // Maintenance pages that read cards or codes (diagnostics, the scan
    // pop-up) say so here instead of switching the readers themselves; while
    // a session lasts a reader reads only while some page holds it.
    void holdReaders(const QString &holder, bool rfid, bool barcode);
    void releaseReaders(const QString &holder);

private slots:
    void onConfigChanged(const QVariantMap &changes);
    void onConfigFileChanged();
    void onScreenTimeout();
    void onScreenChanged();
    void onDisplayOffTimeout();
    void onIgnitionChanged();
    void onSettled();
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
    enum class Ignition { Unknown, On, Off };

    // What the terminal should be doing, from everything it knows now. An
    // empty screen (a session's) means "leave it as it is".
    struct Duty {
        QString screen;
        std::optional<QString> message;
        bool rfid = false;
        bool barcode = false;
    };
    Duty duty() const;
    // Brings the screen (unless only the readers are due) and the readers in
    // line with duty().
    void serve(bool screenToo);
    void applyReaders(const Duty &duty);
    // Acts once the message being handled, or the batch of them, is done, on
    // the state it leaves rather than on steps inside it.
    void scheduleServe(bool screenDue);
    // A PIN entry or a shutdown in progress keeps its page against status
    // changes until its time-out.
    bool screenHeld() const;
    // "Busy" for a reboot, shutdown or exit, held for its 30 s.
    void showGoingDown(const QString &message);
    // Commands still waiting for a report are taken as lost.
    void forgetReaderCommands();
    void onCardInMouthChanged();

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
    // The current cycle's card was shown in the mouth (processFinished sent).
    bool m_cardPresented = false;
    Ignition m_ignition = Ignition::Unknown;
    // Reboot, shutdown or exit under way.
    bool m_goingDown = false;
    QTimer m_settleTimer;
    bool m_screenDue = false;
    // A reader command waits for a report that shows the reader changed:
    // the reported state when it was sent, while it waits.
    std::optional<bool> m_rfidPending;
    std::optional<bool> m_barcodePending;
    QByteArray m_validatorStatusTopic; // each message on it is a report of the readers
    struct ReaderHold {
        bool rfid = false;
        bool barcode = false;
    };
    QHash<QString, ReaderHold> m_readerHolds;
    // Base whose request topics are subscribed.
    QString m_subscribedBase;
};

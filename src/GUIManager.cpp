#include "GUIManager.h"

#include "Config.h"
#include "Connection.h"
#include "Event.h"
#include "EventLogin.h"
#include "EventLogout.h"
#include "IPv4.h"
#include "LTXGv1Card.h"
#include "Secrets.h"
#include "logger.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QLocale>
#include <QPointer>
#include <QQmlContext>
#include <QQuickStyle>
#include <QRegularExpression>
#include <QUrl>
#include <QtQml>

#include <algorithm>
#include <functional>

namespace {

const char *const LogTag = "[GUIManager] ";
const QString TranslationFile = QStringLiteral(":/qml/translations/LTXGTerminalUI_el_GR.qm");
const QString ValidSound = QStringLiteral("/opt/kivo/ltxgterminalui/Valid.wav");
const QString InvalidSound = QStringLiteral("/opt/kivo/ltxgterminalui/Invalid.wav");

// The reasons the system gives when the serial number cannot be saved. The
// pop-up shows the reason it is given in the language of the interface;
// these make the usual ones translatable.
[[maybe_unused]] const char *const SaveFailureReasons[] = {
    QT_TRANSLATE_NOOP("GUIManager", "Permission denied"),
    QT_TRANSLATE_NOOP("GUIManager", "No such file or directory"),
    QT_TRANSLATE_NOOP("GUIManager", "Read-only file system"),
    QT_TRANSLATE_NOOP("GUIManager", "No space left on device"),
    QT_TRANSLATE_NOOP("GUIManager", "Is a directory"),
    QT_TRANSLATE_NOOP("GUIManager", "Input/output error"),
};

} // namespace

// Every configuration key of the program with its typed default value.
const QVariantMap GUIManager::Defaults = {
    { QStringLiteral("log/level"), 2 },
    { QStringLiteral("log/syslog"), true },
    { QStringLiteral("log/stderr"), true },
    { QStringLiteral("log/color"), false },
    { QStringLiteral("mqtt/host"), QStringLiteral("localhost") },
    { QStringLiteral("mqtt/port"), 1883 },
    { QStringLiteral("mqtt/username"), QString() },
    { QStringLiteral("mqtt/password"), QString() },
    { QStringLiteral("mqtt/base"), QStringLiteral("kivo/ui") },
    { QStringLiteral("gui/settingsPin"), QStringLiteral("3917") },
    { QStringLiteral("gui/showCursor"), true },
    { QStringLiteral("gui/isEntryGate"), true },
    { QStringLiteral("gui/errorOccured"), false },
    { QStringLiteral("gui/deviceId"), QStringLiteral("/etc/serialnumber") },
    { QStringLiteral("gui/errorMessageScreen"), QString() },
    { QStringLiteral("gui/locale"), QStringLiteral("el_GR") },
    { QStringLiteral("gui/displayOffMin"), 3 },
    { QStringLiteral("gui/shutdownDelaySec"), 60 },
    { QStringLiteral("gui/showErrorDesc"), false },
    { QStringLiteral("gui/screenSaverBg"), QStringLiteral("black") },
    { QStringLiteral("gui/screenSaverImg"), QStringLiteral("qrc:/qml/images/Icons/kivo-logo-top-gr.svg") },
    { QStringLiteral("gui/animSwitchSec"), 0 },
    { QStringLiteral("gui/currentErrorScreen"), 0 },
    { QStringLiteral("topics/barcode"), QStringLiteral("kivo/barcode") },
    { QStringLiteral("topics/blm"), QStringLiteral("kivo/blm") },
    { QStringLiteral("topics/board"), QStringLiteral("kivo/board") },
    { QStringLiteral("topics/inspector"), QStringLiteral("kivo/inspector") },
    { QStringLiteral("topics/network"), QStringLiteral("kivo/network") },
    { QStringLiteral("topics/device"), QStringLiteral("kivo/device") },
    { QStringLiteral("topics/rfid"), QStringLiteral("kivo/rfid") },
    { QStringLiteral("topics/dispenser"), QStringLiteral("kivo/dispenser") },
};

GUIManager::GUIManager(Config &config, QObject *parent)
    : GUIManager(config, EventManager::defaultFileName(), parent)
{
}

GUIManager::GUIManager(Config &config, const QString &eventsFile, QObject *parent)
    : QObject(parent)
    , m_qmlContext(m_engine.rootContext())
    , m_config(config)
    , m_ltxgTerminal(m_mqtt, config.get(QStringLiteral("topics/blm")).toString())
    , m_board(m_mqtt, config.get(QStringLiteral("topics/board")).toString())
    , m_inspector(m_mqtt, config.get(QStringLiteral("topics/inspector")).toString())
    , m_network(m_mqtt, config.get(QStringLiteral("topics/network")).toString())
    , m_update(m_mqtt, config.get(QStringLiteral("topics/device")).toString())
    , m_clock(m_mqtt, config.get(QStringLiteral("topics/device")).toString())
    , m_rfid(m_mqtt, config.get(QStringLiteral("topics/rfid")).toString())
    , m_dispenser(m_mqtt, config.get(QStringLiteral("topics/dispenser")).toString())
    , m_cardIssuer(m_rfid, m_dispenser)
    , m_session(config)
    , m_eventLog(config, eventsFile)
    , m_diagnostics(m_deviceId, m_board, m_network, m_ltxgTerminal)
    , m_validatorStatusTopic(config.get(QStringLiteral("topics/blm")).toString().toUtf8() + "/status")
{
    init();
}

GUIManager::~GUIManager()
{
    // load() made the QML root our parent; the engine (a member) deletes that
    // root, which must not then try to delete us a second time.
    setParent(nullptr);
    // The pages bind to the clients and the event log, which are destroyed
    // before the engine; take the pages down while those still exist.
    qDeleteAll(m_engine.rootObjects());
}

void GUIManager::init()
{
    loadDeviceId();
    initLog();
    initConfig();
    initQml();
    initMqtt();
    initManagers();
}

void GUIManager::initLog()
{
    manager::Logger *logger = manager::Logger::instance();
    logger->setLevel(m_config.get(QStringLiteral("log/level")).toInt());
    logger->setStderr(m_config.get(QStringLiteral("log/stderr")).toBool());
    logger->setSyslog(m_config.get(QStringLiteral("log/syslog")).toBool());
    logger->setColor(m_config.get(QStringLiteral("log/color")).toBool());
}

void GUIManager::initConfig()
{
    connect(&m_config, &Config::configChanged, this, &GUIManager::onConfigChanged);
    connect(&m_config, &Config::configFileChanged, this, &GUIManager::onConfigFileChanged);
    m_config.print();
}

void GUIManager::initQml()
{
    QQuickStyle::setStyle(QStringLiteral("Material"));
    qInfo().noquote().nospace() << LogTag << "QtQuick Style name is : " << QQuickStyle::name();

    qmlRegisterType<Transaction>("com.kivo.ticketing.transaction", 1, 0, "Transaction");
    qmlRegisterType<manager::Connection>("com.kivo.network.connection", 1, 0, "Connection");
    qmlRegisterType<IPv4>("com.kivo.network.ipv4", 1, 0, "IPv4");

    m_qmlContext->setContextProperty(QStringLiteral("manager"), this);
    m_qmlContext->setContextProperty(QStringLiteral("board"), &m_board);
    m_qmlContext->setContextProperty(QStringLiteral("inspector"), &m_inspector);
    m_qmlContext->setContextProperty(QStringLiteral("transaction"), Transaction().toMap());
    m_qmlContext->setContextProperty(QStringLiteral("eventLogManager"), &m_eventLog);
    m_qmlContext->setContextProperty(QStringLiteral("network"), &m_network);
    m_qmlContext->setContextProperty(QStringLiteral("validatorManager"), &m_ltxgTerminal);
    // Qt's virtual keyboard needs its panel in the window; another input
    // method brings its own.
    m_qmlContext->setContextProperty(QStringLiteral("qtVirtualKeyboard"),
                                     qgetenv("QT_IM_MODULE") == QByteArrayLiteral("qtvirtualkeyboard"));

    connect(&m_screenTimer, &QTimer::timeout, this, &GUIManager::onScreenTimeout);

    setScreen(QStringLiteral("Busy"), 10000);
    setMessage(QStringLiteral(QT_TR_NOOP("Initializing")));
}

void GUIManager::initMqtt()
{
    disconnect(&m_mqtt, nullptr, this, nullptr);
    connect(&m_mqtt, &manager::MqttClient::connected, this, &GUIManager::onMqttConnected);
    connect(&m_mqtt, &manager::MqttClient::disconnected, this, &GUIManager::onMqttDisconnected);
    connect(&m_mqtt, &manager::MqttClient::error, this, &GUIManager::onMqttError);
    connect(&m_mqtt, &manager::MqttClient::received, this,
            [this](const QByteArray &data, const QByteArray &from) {
                // The validation service's client has read the report by now.
                if (from == m_validatorStatusTopic)
                    scheduleServe(false);
                // Most messages are the service clients': only the UI's own
                // topics are worth a QString.
                else if (from.contains(base().toUtf8()))
                    processMqttMessage(data, QString::fromUtf8(from));
            });

    m_mqtt.setClientId(QStringLiteral("%1_%2").arg(QCoreApplication::applicationName()).arg(QCoreApplication::applicationPid()));
    m_mqtt.setWillTopic(base() + QStringLiteral("/status"));
    m_mqtt.setWillMessage(QByteArrayLiteral("{\"service\": false}"));
    m_mqtt.setHostname(m_config.get(QStringLiteral("mqtt/host")).toString());
    m_mqtt.setPort(m_config.get(QStringLiteral("mqtt/port")).toUInt());
    m_mqtt.setUsername(m_config.get(QStringLiteral("mqtt/username")).toString());
    m_mqtt.setPassword(m_config.get(QStringLiteral("mqtt/password")).toString());

    // A live connection keeps its old settings until it is made again: drop
    // it, and the client reconnects by itself with the new ones.
    if (m_mqtt.state() == manager::MqttTransport::Disconnected)
        m_mqtt.connect();
    else
        m_mqtt.disconnect();
    setMessage(QStringLiteral(QT_TR_NOOP("Connecting")));
}

void GUIManager::initManagers()
{
    connect(&m_ltxgTerminal, &manager::LTXGTerminal::statusChanged, this, &GUIManager::onLTGXTerminalStatusChanged);
    connect(&m_ltxgTerminal, &manager::LTXGTerminal::cardDetected, this, [](const QString &uid, const QString &type) {
        qWarning().noquote().nospace() << LogTag
                                       << QStringLiteral("LTGXTerminal card detected : uid=%1, type=%2").arg(uid, type);
    });
    connect(&m_ltxgTerminal, &manager::LTXGTerminal::cardRemoved, this,
            [] { qWarning().noquote().nospace() << LogTag << "LTGXTerminal card removed"; });
    connect(&m_ltxgTerminal, &manager::LTXGTerminal::reasonChanged, this, &GUIManager::onLTGXTerminalReasonChanged);
    connect(&m_ltxgTerminal, &manager::LTXGTerminal::ticketValidated, this, &GUIManager::onTicketValidated);
    connect(&m_ltxgTerminal, &manager::LTXGTerminal::maintenanceBarcodeScanned, this,
            &GUIManager::onMaintenanceBarcodeScanned);
    connect(&m_board, &manager::Board::ignitionChanged, this, &GUIManager::onIgnitionChanged);
    connect(&m_board, &manager::Board::delayShutdownForChanged, this, &GUIManager::updateBoardShutdownDelay);
    connect(&m_session, &SessionManager::accessGranted, this, &GUIManager::settingsAccessGranted);
    connect(&m_session, &SessionManager::accessDenied, this, &GUIManager::settingsAccessDenied);
    connect(&m_session, &SessionManager::expired, this, &GUIManager::setIdleScreen);
    connect(&m_session, &SessionManager::sessionActiveChanged, this, &GUIManager::onSessionActiveChanged);
    connect(&m_displayOffTimer, &QTimer::timeout, this, &GUIManager::onDisplayOffTimeout);
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(0);
    connect(&m_settleTimer, &QTimer::timeout, this, &GUIManager::onSettled);
    connect(&m_dispenser, &manager::Dispenser::cardInMouthChanged, this, &GUIManager::onCardInMouthChanged);
    connect(this, &GUIManager::screenChanged, this, &GUIManager::onScreenChanged);
    connect(&m_inspector, &manager::Inspector::systemRebootStarted, this, [this] {
        showGoingDown(QStringLiteral(QT_TR_NOOP("Rebooting")));
    });
    connect(&m_inspector, &manager::Inspector::systemShutdownStarted, this, [this] {
        showGoingDown(QStringLiteral(QT_TR_NOOP("Shutting down")));
    });
}

void GUIManager::load()
{
    m_engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    const QList<QObject *> roots = m_engine.rootObjects();
    if (!roots.isEmpty())
        setParent(roots.first());

    setLanguage(m_config.get(QStringLiteral("gui/locale")).toString());

    m_eventLog.push(new Event(QStringLiteral("General"), QStringLiteral("Application started"), QString(),
                              QDateTime::currentDateTime()));
}

// --- MQTT -----------------------------------------------------------------

QString GUIManager::base() const
{
    return m_config.get(QStringLiteral("mqtt/base")).toString();
}

void GUIManager::publish(const QJsonObject &object, const QString &suffix)
{
    m_mqtt.publish(QJsonDocument(object).toJson(), base() + suffix, 0, false);
}

void GUIManager::publishInfo()
{
    publish(QJsonObject{{QStringLiteral("version"), QCoreApplication::applicationVersion()}}, QStringLiteral("/info"));
}

void GUIManager::publishStatus()
{
    publish(QJsonObject{{QStringLiteral("technician"), m_session.sessionActive()}, {QStringLiteral("service"), true}},
            QStringLiteral("/status"));
}

void GUIManager::publishConfig()
{
    publish(manager::maskSecrets(m_config.toJson()), QStringLiteral("/config"));
}

void GUIManager::onMqttConnected()
{
    qInfo().noquote().nospace() << LogTag << "Connected to MQTT broker";
    setMessage(QStringLiteral(QT_TR_NOOP("Connected")));
    // The client renews its subscriptions after every reconnect by itself;
    // subscribing again each time would only grow its list.
    const QString b = base();
    if (b != m_subscribedBase) {
        m_subscribedBase = b;
        m_mqtt.subscribe(b + QStringLiteral("/info/get"), 0);
        m_mqtt.subscribe(b + QStringLiteral("/status/get"), 0);
        m_mqtt.subscribe(b + QStringLiteral("/config/get"), 0);
        m_mqtt.subscribe(b + QStringLiteral("/config/set"), 0);
    }
    publishInfo();
    publishStatus();
    publishConfig();
}

void GUIManager::onMqttDisconnected()
{
    // Commands may have been lost with the connection.
    forgetReaderCommands();
    qWarning().noquote().nospace() << LogTag << "WARN: Disconnected from MQTT broker";
    setOutOfOrderScreen(QStringLiteral("Disconnected"));
}

void GUIManager::onMqttError(const QString &error)
{
    qCritical().noquote().nospace() << LogTag << "ERROR: " << error;
}

void GUIManager::processMqttMessage(const QByteArray &data, const QString &topic)
{
    if (!topic.toUtf8().contains(base().toUtf8()))
        return;
    qInfo().noquote().nospace() << LogTag << "Message received : " << topic;
    qDebug().noquote().nospace() << LogTag << "Data : " << manager::maskSecrets(data);

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);

    if (topic.contains(QLatin1String("/info/get"))) {
        publishInfo();
    } else if (topic.contains(QLatin1String("/status/get"))) {
        publishStatus();
    } else if (topic.contains(QLatin1String("/config/get"))) {
        publishConfig();
    } else if (topic.contains(QLatin1String("/config/set"))) {
        // Anything but an object would read as an empty one; say why nothing
        // changed instead of changing nothing silently.
        if (!document.isObject()) {
            qWarning().noquote().nospace() << LogTag << "WARN: Configuration is not a JSON object. Ignoring : "
                                           << (parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                                            : QStringLiteral("not an object"));
            return;
        }
        m_config.fromJson(manager::withoutMaskedSecrets(document.object()));
    }
}

// --- Screens --------------------------------------------------------------

QString GUIManager::screen() const
{
    return m_screen;
}

void GUIManager::setScreen(const QString &value)
{
    if (value == m_screen)
        return;
    qInfo().noquote().nospace() << LogTag << "Setting screen : " << value;
    m_screen = value;
    m_screenTimer.stop();
    emit screenChanged();
}

void GUIManager::setScreen(const QString &value, int timeout)
{
    qInfo().noquote().nospace() << LogTag << "Setting screen : " << value << " (timeout=" << timeout << " msec)";
    m_screenTimer.setSingleShot(true);
    m_screenTimer.start(timeout);
    m_screen = value;
    emit screenChanged();
}

void GUIManager::onScreenTimeout()
{
    qInfo().noquote().nospace() << LogTag << "Screen timeout : " << m_screen;
    setIdleScreen();
}

void GUIManager::setIdleScreen()
{
    m_screenTimer.stop();
    m_goingDown = false;
    serve(true);
}

GUIManager::Duty GUIManager::duty() const
{
    Duty duty;
    if (m_ignition == Ignition::Off) {
        duty.screen = QStringLiteral("ScreenSaver");
        return duty;
    }
    if (m_deviceId.isEmpty()) {
        duty.screen = QStringLiteral("InitPage");
        return duty;
    }
    if (m_session.sessionActive()) {
        // The screen is the technician's; a reader reads only for a page that
        // needs it, never for a passenger nobody answers.
        for (const ReaderHold &hold : m_readerHolds) {
            duty.rfid = duty.rfid || hold.rfid;
            duty.barcode = duty.barcode || hold.barcode;
        }
        return duty;
    }
    const QString status = m_ltxgTerminal.status();
    if (status == QLatin1String("init")) {
        duty.screen = QStringLiteral("Busy");
        duty.message = QStringLiteral(QT_TR_NOOP("Please Wait"));
    } else if (status == QLatin1String("out-of-service")) {
        duty.screen = QStringLiteral("OutOfService");
    } else if (status == QLatin1String("online") && m_ltxgTerminal.reasonCode().isEmpty()) {
        duty.screen = QStringLiteral("EntryGate");
        duty.rfid = duty.barcode = true;
    } else {
        // A fault of the service, its readers, the OBU link or the clock is
        // reported as "online" with a reason code: the terminal cannot serve.
        duty.screen = QStringLiteral("OutOfOrder");
        duty.message = m_mqtt.state() == manager::MqttTransport::Connected ? ltxgTerminalReason() : QStringLiteral("Disconnected");
    }
    return duty;
}

void GUIManager::serve(bool screenToo)
{
    const Duty target = duty();
    if (screenToo && !target.screen.isEmpty()) {
        const bool backToPassengers = target.screen == QLatin1String("EntryGate") && m_screen != target.screen;
        setScreen(target.screen);
        if (target.message)
            setMessage(*target.message);
        if (backToPassengers)
            emit resetInitialScreen();
    }
    applyReaders(target);
}

void GUIManager::applyReaders(const Duty &target)
{
    // A command stays pending until a report shows the reader changed: a
    // report the service wrote before it read the command is no reason to
    // send it again, and neither is one from a service that is down.
    const auto apply = [](bool wanted, bool reported, std::optional<bool> &pendingSince,
                          const std::function<void()> &enable, const std::function<void()> &disable) {
        if (wanted == reported) {
            pendingSince.reset();
            return;
        }
        if (pendingSince == reported)
            return;
        pendingSince = reported;
        wanted ? enable() : disable();
    };
    apply(target.rfid, m_ltxgTerminal.rfid()->enabled(), m_rfidPending, [this] { m_ltxgTerminal.enableRfid(); },
          [this] { m_ltxgTerminal.disableRfid(); });
    apply(target.barcode, m_ltxgTerminal.barcode()->enabled(), m_barcodePending,
          [this] { m_ltxgTerminal.enableBarcode(); }, [this] { m_ltxgTerminal.disableBarcode(); });
}

void GUIManager::scheduleServe(bool screenDue)
{
    m_screenDue = m_screenDue || screenDue;
    m_settleTimer.start();
}

void GUIManager::onSettled()
{
    const bool screenToo = m_screenDue && !screenHeld();
    m_screenDue = false;
    if (screenToo)
        m_screenTimer.stop();
    serve(screenToo);
}

bool GUIManager::screenHeld() const
{
    if (!m_screenTimer.isActive() || m_ignition == Ignition::Off)
        return false;
    // The start-up page waits for the validation service's first word.
    return m_screen == QLatin1String("Login") || m_goingDown
        || (m_screen == QLatin1String("Busy") && m_ltxgTerminal.status().isEmpty());
}

void GUIManager::showGoingDown(const QString &message)
{
    m_goingDown = true;
    setScreen(QStringLiteral("Busy"), 30000);
    setMessage(message);
}

void GUIManager::forgetReaderCommands()
{
    m_rfidPending.reset();
    m_barcodePending.reset();
}

void GUIManager::setOutOfOrderScreen(const QString &message)
{
    if (m_screen == QLatin1String("Login") || m_ignition == Ignition::Off || m_session.sessionActive() || screenHeld())
        return;
    setScreen(QStringLiteral("OutOfOrder"));
    setMessage(message);
}

QString GUIManager::ltxgTerminalReason() const
{
    QString reason = m_ltxgTerminal.reasonCode();
    if (showErrorDesc())
        reason += QLatin1Char('\n') + m_ltxgTerminal.reason();
    return reason;
}

void GUIManager::onLTGXTerminalStatusChanged()
{
    qInfo().noquote().nospace() << LogTag << "LTXGTerminal status changed : " << m_ltxgTerminal.status();
    scheduleServe(true);
}

void GUIManager::onLTGXTerminalReasonChanged()
{
    qWarning().noquote().nospace() << LogTag << "LTXGTerminal reason changed : " << m_ltxgTerminal.reasonCode() << ' '
                                   << m_ltxgTerminal.reason();
    setMessage(ltxgTerminalReason());
    // A fault comes and goes as a reason code while the status stays. A new
    // reason is a new state of the service (back from down, say): what it
    // reports of its readers is worth acting on again.
    forgetReaderCommands();
    scheduleServe(true);
}

void GUIManager::setMaintenanceScreen()
{
    // Asleep with the ignition off: the terminal is about to power down.
    if (m_ignition == Ignition::Off)
        return;
    if (m_session.sessionActive())
        setScreen(QStringLiteral("Settings"));
    else if (m_screen == QLatin1String("Login"))
        setIdleScreen();
    else
        setScreen(QStringLiteral("Login"), 15000);
}

void GUIManager::settingsLoginRequest(const QString &pin)
{
    m_session.loginRequest(pin);
}

void GUIManager::settingsLogoutRequest()
{
    m_session.logoutRequest();
}

void GUIManager::shutdownRequest()
{
    showGoingDown(QStringLiteral(QT_TR_NOOP("Shutting down")));
    m_eventLog.whenSaved(this, [this] { m_inspector.systemShutdown(); });
}

void GUIManager::rebootRequest()
{
    showGoingDown(QStringLiteral(QT_TR_NOOP("Rebooting")));
    m_eventLog.whenSaved(this, [this] { m_inspector.systemReboot(); });
}

void GUIManager::exitRequest()
{
    showGoingDown(QStringLiteral(QT_TR_NOOP("Exiting")));
    QTimer::singleShot(2000, this, [] { QCoreApplication::exit(0); });
}

void GUIManager::onScreenChanged()
{
    const int minutes = displayOffMin();
    if (minutes == 0)
        return;
    if (m_screen == QLatin1String("OutOfOrder") || m_screen == QLatin1String("OutOfService")) {
        qInfo().noquote().nospace() << LogTag << "Staring Display OFF timer : " << minutes << " min(s)";
        m_displayOffTimer.setSingleShot(true);
        m_displayOffTimer.start(minutes * 60000);
        return;
    }
    if (m_displayOffTimer.isActive()) {
        qInfo().noquote().nospace() << LogTag << "Stopping Display OFF timer.";
        m_displayOffTimer.stop();
    }
    if (!m_board.peripheralPower(QStringLiteral("display"))) {
        qInfo().noquote().nospace() << LogTag << "Turning on Display.";
        m_board.setPeripheralPower(QStringLiteral("display"), true);
    }
}

void GUIManager::onDisplayOffTimeout()
{
    qWarning().noquote().nospace() << LogTag << "WARN: Turning off Display due to inactivity.";
    m_board.setPeripheralPower(QStringLiteral("display"), false);
}

void GUIManager::onIgnitionChanged()
{
    // The board repeats its ignition event; only a change is news.
    const Ignition now = !m_board.ignitionKnown() ? Ignition::Unknown
                         : m_board.ignition()    ? Ignition::On
                                                 : Ignition::Off;
    if (now == m_ignition)
        return;
    m_ignition = now;
    if (now == Ignition::On) {
        m_eventLog.push(new Event(QStringLiteral("Board"), QStringLiteral("Ignition on"), QString(),
                                  QDateTime::currentDateTime()));
        m_inspector.abortShutdown();
        scheduleServe(true);
    } else if (now == Ignition::Off) {
        m_eventLog.push(new Event(QStringLiteral("Board"), QStringLiteral("Ignition off"), QString(),
                                  QDateTime::currentDateTime()));
        m_session.logoutRequest();
        // The board may cut the power when the shutdown is done: the events
        // go to disk first.
        m_eventLog.whenSaved(this, [this] {
            if (m_ignition == Ignition::Off)
                m_inspector.scheduleShutdown(shutdownDelaySec());
        });
        m_screenTimer.stop();
        m_goingDown = false;
        serve(true);
    }
}

void GUIManager::updateBoardShutdownDelay()
{
    const int target = shutdownDelaySec() + 60;
    const int previous = m_board.delayShutdownFor();
    if (previous == target)
        return;
    qWarning().noquote().nospace() << LogTag << "WARN: Updating board shutdown delay to : " << target
                                   << " sec(s) (prev=" << previous << ")";
    m_board.setDelayShutdownFor(target);
}

// --- Language ---------------------------------------------------------------

QString GUIManager::language() const
{
    return m_language;
}

QString GUIManager::dynTr() const
{
    return QString();
}

void GUIManager::setLanguage(const QString &name)
{
    if (name == m_language)
        return;
    qInfo().noquote().nospace() << LogTag << "Language changed : " << name;

    const QLocale locale(name);
    if (locale.language() != QLocale::English) {
        // Only the Greek file exists; every other language uses it too.
        if (m_translator.isEmpty()) {
            qInfo().noquote().nospace() << LogTag << "Loading translation file : " << TranslationFile;
            if (!m_translator.load(TranslationFile)) {
                qCritical().noquote().nospace() << LogTag << "ERROR: Failed to load translation file";
                return;
            }
        }
        if (!QCoreApplication::installTranslator(&m_translator)) {
            qCritical().noquote().nospace() << LogTag << "ERROR: Failed to install translator";
            return;
        }
    } else {
        QCoreApplication::removeTranslator(&m_translator);
    }

    QLocale::setDefault(locale);
    m_language = name;
    setConfigValue(QStringLiteral("gui/locale"), name);
    emit languageChanged();
}

// --- Device id --------------------------------------------------------------

QString GUIManager::deviceId() const
{
    return m_deviceId;
}

void GUIManager::setDeviceId(const QString &deviceId)
{
    if (deviceId == m_deviceId)
        return;
    qInfo().noquote().nospace() << LogTag << "Device ID changed : " << deviceId;
    m_deviceId = deviceId;
    saveDeviceId();
    emit deviceIdChanged();
}

void GUIManager::loadDeviceId()
{
    const QString path = m_config.get(QStringLiteral("gui/deviceId")).toString();
    qInfo().noquote().nospace() << LogTag << "Loading device id from : " << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical().noquote().nospace() << LogTag << "ERROR: Could not load device S/N from file : " << path << " ("
                                        << file.errorString() << ")";
        return;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty())
            continue;
        m_deviceId = line;
        emit deviceIdChanged();
        return;
    }
}

void GUIManager::saveDeviceId()
{
    const QString path = m_config.get(QStringLiteral("gui/deviceId")).toString();
    qInfo().noquote().nospace() << LogTag << "Saving device id to : " << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate) || file.write(m_deviceId.toUtf8()) != m_deviceId.toUtf8().size()
        || !file.flush()) {
        const QString error = file.errorString();
        qCritical().noquote().nospace() << LogTag << "ERROR: Could not save device S/N to file : " << path << " (" << error
                                        << ")";
        emit errorOccured(error);
    }
}

void GUIManager::saveDeviceIdRequest(const QString &deviceId)
{
    qInfo().noquote().nospace() << LogTag << "Save Device Id request : " << deviceId;
    setDeviceId(deviceId);
    setIdleScreen();
}

// --- Message and error screen -----------------------------------------------

QString GUIManager::message() const
{
    return m_message;
}

void GUIManager::setMessage(const QString &message)
{
    if (message == m_message)
        return;
    m_message = message;
    emit messageChanged();
}

QString GUIManager::errorMessageScreen() const
{
    return m_errorMessageScreen;
}

void GUIManager::setErrorMessageScreen(const QString &text)
{
    if (text == m_errorMessageScreen)
        return;
    m_errorMessageScreen = text;
    emit errorMessageScreenChanged();
}

void GUIManager::errorMessage(const int &code)
{
    qWarning().noquote().nospace() << LogTag << "Error : " << code;
    QString text;
    switch (code) {
    case ErrorScannedoDcuments:
        text = QStringLiteral(QT_TR_NOOP("Please scan your documents \n Unable to issue a card due to an error in the previous step"));
        break;
    case ErrorAvailableCards:
        text = QStringLiteral(QT_TR_NOOP("There are no cards available \n Please wait for assistance"));
        break;
    case ErrorRepeatAction:
        text = QStringLiteral(QT_TR_NOOP("Please try again"));
        break;
    case ErrorOutOfService:
        text = QStringLiteral(QT_TR_NOOP("The device is currently Out Of Service \n Please wait for assistance"));
        break;
    case ErrorInvalidCard:
        text = QStringLiteral(QT_TR_NOOP("Invalid Card \n Please insert the correct card"));
        break;
    case ErrorBarrier:
        text = QStringLiteral(QT_TR_NOOP("Barrier Error \n Please wait for assistance"));
        break;
    case ErrorCameraData:
        text = QStringLiteral(QT_TR_NOOP("Camera Error \n Please wait for assistance"));
        break;
    case ErrorOutOfOrder:
        text = QStringLiteral(QT_TR_NOOP("The device is Out Of Order"));
        break;
    case ErrorUnregisteredDevice:
        text = QStringLiteral(QT_TR_NOOP("Unregistered device"));
        break;
    default:
        break;
    }
    setErrorMessageScreen(text);
}

// --- Configuration-backed properties ----------------------------------------

void GUIManager::setConfigValue(const QString &key, const QVariant &value)
{
    if (m_config.get(key) == value)
        return;
    m_config.set(key, value);
}

#define GUIMANAGER_DEFINE(Type, getter, setter, key, conversion)                                                    \
    Type GUIManager::getter() const                                                                                \
    {                                                                                                              \
        return m_config.get(QStringLiteral(key)).conversion();                                                     \
    }                                                                                                              \
    void GUIManager::setter(Type value)                                                                            \
    {                                                                                                              \
        setConfigValue(QStringLiteral(key), value);                                                                \
    }
GUIMANAGER_CONFIG_PROPERTIES(GUIMANAGER_DEFINE)
#undef GUIMANAGER_DEFINE

QColor GUIManager::screenSaverBg() const
{
    return QColor(m_config.get(QStringLiteral("gui/screenSaverBg")).toString());
}

QString GUIManager::screenSaverImg() const
{
    return m_config.get(QStringLiteral("gui/screenSaverImg")).toString();
}

Diagnostics *GUIManager::diagnostics()
{
    return &m_diagnostics;
}

manager::Update *GUIManager::update()
{
    return &m_update;
}

manager::Clock *GUIManager::clock()
{
    return &m_clock;
}

void GUIManager::onConfigChanged(const QVariantMap &changes)
{
    qDebug().noquote().nospace() << LogTag << "Config changed : "
                                 << manager::maskSecrets(
                                        QJsonDocument(QJsonObject::fromVariantMap(changes)).toJson(QJsonDocument::Compact));

    // The keys with a reaction of their own, in the order that decides which
    // one a change of several keys gets.
    using Reaction = void (*)(GUIManager &, const QVariant &);
    static const std::pair<const char *, Reaction> reactions[] = {
        { "gui/deviceId",
          [](GUIManager &m, const QVariant &) {
              qInfo().noquote().nospace() << LogTag << "Device id changed. Re-loading";
              m.loadDeviceId();
          } },
        { "gui/showCursor",
          [](GUIManager &m, const QVariant &v) {
              qInfo().noquote().nospace() << LogTag << "Cursor changed : " << (v.toBool() ? "visible" : "hidden");
              emit m.showCursorChanged();
          } },
        { "gui/displayOffMin",
          [](GUIManager &m, const QVariant &v) {
              qInfo().noquote().nospace() << LogTag << "Display OFF interval changed : " << v.toInt() << " min(s)";
              emit m.displayOffMinChanged();
          } },
        { "gui/shutdownDelaySec",
          [](GUIManager &m, const QVariant &v) {
              qInfo().noquote().nospace() << LogTag << "Shutdown delay changed : " << v.toInt() << " sec(s)";
              m.updateBoardShutdownDelay();
              emit m.shutdownDelaySecChanged();
          } },
        { "gui/locale", [](GUIManager &m, const QVariant &v) { m.setLanguage(v.toString()); } },
        { "gui/showErrorDesc",
          [](GUIManager &m, const QVariant &v) {
              qInfo().noquote().nospace() << LogTag << "Show Error description changed : " << (v.toBool() ? "YES" : "NO");
              m.setMessage(m.ltxgTerminalReason());
              emit m.showErrorDescChanged();
          } },
        { "gui/screenSaverBg",
          [](GUIManager &m, const QVariant &v) {
              qInfo().noquote().nospace() << LogTag << "Screen-saver background changed : " << v.toString();
              emit m.screenSaverBgChanged();
          } },
        { "gui/screenSaverImg",
          [](GUIManager &m, const QVariant &v) {
              qInfo().noquote().nospace() << LogTag << "Screen-saver image changed : " << v.toString();
              emit m.screenSaverImgChanged();
          } },
        { "gui/animSwitchSec",
          [](GUIManager &m, const QVariant &v) {
              qInfo().noquote().nospace() << LogTag << "GIFs animation changed : " << v.toInt() << " msec(s)";
              emit m.animSwitchSecChanged();
          } },
    };

    const auto reaction = std::find_if(std::begin(reactions), std::end(reactions), [&changes](const auto &row) {
        return changes.contains(QLatin1String(row.first));
    });
    if (reaction != std::end(reactions)) {
        reaction->second(*this, changes.value(QLatin1String(reaction->first)));
    } else {
        const QStringList keys = changes.keys();
        if (!keys.filter(QRegularExpression(QStringLiteral("log\\/.+"))).isEmpty()) {
            qInfo().noquote().nospace() << LogTag << "Log configuration changed. Applying.";
            initLog();
        } else if (!keys.filter(QRegularExpression(QStringLiteral("mqtt\\/.+"))).isEmpty()) {
            qInfo().noquote().nospace() << LogTag << "MQTT configuration changed. Applying.";
            initMqtt();
        }
    }

    publishConfig();
}

void GUIManager::onConfigFileChanged()
{
    qWarning().noquote().nospace() << LogTag << "WARN: Configuration file changed!";
    m_config.print();
}

// --- Issuing, validation, maintenance barcode, sessions ---------------------

void GUIManager::issueCard()
{
    // Only a passenger at a working entry gate gets a card: not over a busy,
    // fault or maintenance page, and never while the terminal goes down.
    if (!isEntryGate() || m_screen != QLatin1String("EntryGate") || m_session.sessionActive()) {
        qWarning().noquote().nospace() << LogTag << "WARN: Not serving passengers. Ignoring card request.";
        return;
    }
    if (m_issuing) {
        qWarning().noquote().nospace() << LogTag << "WARN: Card issuing already in progress. Ignoring.";
        return;
    }
    m_issuing = true;
    m_cardPresented = false;

    auto card = LTXGv1Card::Ptr::create();
    card->setCustomsId(1);
    card->setStatus(QStringLiteral("active"));
    card->incrUsageCounter(1);
    card->addUsageLog(QStringLiteral("entry"), deviceId(), QStringLiteral("kivo-rnd"));

    setMessage(QStringLiteral(QT_TR_NOOP("Issuing card")));
    setErrorMessageScreen(QString());
    emit processStarted();

    QPointer<GUIManager> self(this);
    m_cardIssuer.issueCard(card, 60)
        .fail([self](const manager::CardIssuer::Result &r) {
            if (!self)
                return;
            self->m_issuing = false;
            self->setMessage(QStringLiteral("FAILED: ") + r.error);
            qCritical().noquote().nospace() << LogTag << "ERROR: Failed to issue card : " << r.error;
            // The passenger page shows a text it can translate, not the
            // devices' own words.
            const manager::Dispenser &dispenser = self->m_dispenser;
            const bool noCards = dispenser.isJammed() || dispenser.isDoorOpen() || !dispenser.active();
            self->errorMessage(noCards ? ErrorAvailableCards : ErrorRepeatAction);
            emit self->processFinished();
        })
        .done([self](const manager::CardIssuer::Result &r) {
            if (!self)
                return;
            self->setMessage(QStringLiteral(QT_TR_NOOP("Card collected")));
            qInfo().noquote().nospace() << LogTag << "Card issued successfully : "
                                        << (r.card ? r.card->uid() : QStringLiteral("<null>"));
            // The page goes through "collect your card" to "successful".
            if (!self->m_cardPresented)
                emit self->processFinished();
            emit self->processFinished();
            QTimer::singleShot(2000, self, [self] {
                qInfo().noquote().nospace() << LogTag << "Preparing next card";
                self->setMessage(QStringLiteral(QT_TR_NOOP("Preparing next card")));
                self->m_cardIssuer.prepareCard()
                    .done([self](const manager::CardIssuer::Result &) {
                        if (!self)
                            return;
                        self->m_issuing = false;
                        self->setMessage(QStringLiteral(QT_TR_NOOP("Ready to issue card")));
                    })
                    .fail([self](const manager::CardIssuer::Result &) {
                        if (self)
                            self->m_issuing = false;
                    });
            });
        });
}

void GUIManager::onCardInMouthChanged()
{
    if (!m_issuing || m_cardPresented || !m_dispenser.cardInMouth())
        return;
    m_cardPresented = true;
    emit processFinished();
}

void GUIManager::onTicketValidated(const Transaction &transaction)
{
    qWarning().noquote().nospace() << LogTag << "LTGXTerminal ticket validated : " << int(transaction.type());
    qWarning().noquote().nospace() << LogTag << "ExitGate : " << (transaction.valid() ? "true" : "false");
    qWarning().noquote().nospace() << LogTag << "Contents : " << transaction.toMap();

    m_qmlContext->setContextProperty(QStringLiteral("transaction"), transaction.toMap());

    if (m_session.sessionActive())
        return;

    if (transaction.valid()) {
        m_inspector.audioPlay(ValidSound);
        emit processFinished();
    } else {
        m_inspector.audioPlay(InvalidSound);
        // The refusal is shown over the passenger page only: a fault page, the
        // screen saver or a PIN entry stays.
        if (m_screen == QLatin1String("EntryGate") || m_screen == QLatin1String("Invalid"))
            setScreen(QStringLiteral("Invalid"), 3000);
    }
}

void GUIManager::onMaintenanceBarcodeScanned(const QJsonObject &json)
{
    qInfo().noquote().nospace() << LogTag << "Maintenance Barcode scanned";
    if (!m_session.sessionActive()) {
        qWarning().noquote().nospace() << LogTag << "WARN: Maintenance session is not active. Ignoring.";
        return;
    }

    QStringList applied;

    if (json.contains(QStringLiteral("validator"))) {
        const QString obc = json.value(QStringLiteral("validator")).toObject().value(QStringLiteral("obc")).toString();
        const QUrl url(obc, QUrl::TolerantMode);
        if (url.isValid() && !url.isEmpty()) {
            qInfo().noquote().nospace() << LogTag << "Applying LTXGTerminal configuration";
            applied << QStringLiteral("OBC : %1").arg(url.toString());
            m_ltxgTerminal.config()->setObuUrl(url);
            m_ltxgTerminal.saveConfig();
        } else {
            qWarning().noquote().nospace() << LogTag << "WARN: OBC URL is not valid : " << obc;
        }
    }

    const QJsonObject network = json.value(QStringLiteral("network")).toObject();
    if (network.contains(QStringLiteral("eth0"))) {
        const QJsonObject eth0 = network.value(QStringLiteral("eth0")).toObject();
        const auto text = [&eth0](const char *key) { return eth0.value(QLatin1String(key)).toString(); };
        const QString method = text("method");
        const QString address = text("address");
        const QString netmask = text("netmask");
        const QString gateway = text("gateway");
        const QString dns0 = text("dns0");
        const QString dns1 = text("dns1");

        manager::Ethernet *ethernet = m_network.ethernet();
        const QString interface = ethernet ? ethernet->interface() : QString();
        if (ethernet && interface == QLatin1String("eth0")) {
            applied << QStringLiteral("Method : %1").arg(method) << QStringLiteral("Address : %1").arg(address)
                    << QStringLiteral("Netmask : %1").arg(netmask) << QStringLiteral("Gateway : %1").arg(gateway)
                    << QStringLiteral("DNS #0 : %1").arg(dns0) << QStringLiteral("DNS #1 : %1").arg(dns1);
            IPv4 *config = ethernet->config();
            const bool manual = method == QLatin1String("manual");
            ethernet->setMethod(manual ? QStringLiteral("manual") : QStringLiteral("auto"));
            config->setAddress(manual ? address : QString());
            config->setMask(manual ? netmask : QString());
            config->setGateway(manual ? gateway : QString());
            config->setDns0(manual ? dns0 : QString());
            config->setDns1(manual ? dns1 : QString());
            qInfo().noquote().nospace() << LogTag << "Applying Ethernet configuration to eth0";
            ethernet->save();
        } else {
            qWarning().noquote().nospace() << LogTag << "WARN: Active ethernet interface is not 'eth0' : " << interface;
        }
    }

    if (applied.isEmpty())
        return;
    m_inspector.audioPlay(ValidSound);
    m_board.setLedValid();
    emit barcodeConfigurationApplied(applied);
}

void GUIManager::onSessionActiveChanged()
{
    if (m_session.sessionActive()) {
        m_eventLog.push(new EventLogin(m_session.user()));
        // Passengers are not answered during maintenance: readers off.
        serve(false);
    } else {
        m_readerHolds.clear();
        setIdleScreen();
        m_eventLog.push(new EventLogout());
    }
    publishStatus();
}

void GUIManager::holdReaders(const QString &holder, bool rfid, bool barcode)
{
    m_readerHolds.insert(holder, ReaderHold{ rfid, barcode });
    serve(false);
}

void GUIManager::releaseReaders(const QString &holder)
{
    if (m_readerHolds.remove(holder))
        serve(false);
}

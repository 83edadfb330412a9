#include "Board.h"

#include "MqttClient.h"
#include "ServiceMonitor.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>

namespace manager {

namespace {

const QString Tag = QStringLiteral("[Board] ");

QJsonObject ledStep(int r, int g, int b, int duration)
{
    return QJsonObject{{QStringLiteral("color"),
                        QJsonObject{{QStringLiteral("r"), r}, {QStringLiteral("g"), g}, {QStringLiteral("b"), b}}},
                       {QStringLiteral("duration"), duration}};
}

QJsonObject ledPattern(int repeat, const QJsonArray &steps)
{
    return QJsonObject{{QStringLiteral("repeat"), repeat}, {QStringLiteral("steps"), steps}};
}

// The event's data as text: scalars as they read, objects and arrays as
// compact JSON.
QString textForm(const QJsonValue &value)
{
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    return value.toVariant().toString();
}

// Peripheral id to its label, left untranslated here so that the label
// follows the language in force when the list is read.
const QMap<QString, const char *> &peripheralLabels()
{
    static const QMap<QString, const char *> labels{
        {QStringLiteral("display"), QT_TRANSLATE_NOOP("manager::Board", "Display")},
        {QStringLiteral("ftdi"), QT_TRANSLATE_NOOP("manager::Board", "FTDI")},
        {QStringLiteral("mPCIe1"), QT_TRANSLATE_NOOP("manager::Board", "mPCIe #1")},
        {QStringLiteral("mPCIe2"), QT_TRANSLATE_NOOP("manager::Board", "mPCIe #2")},
        {QStringLiteral("qrReader"), QT_TRANSLATE_NOOP("manager::Board", "QR Reader")},
        {QStringLiteral("rfidReader"), QT_TRANSLATE_NOOP("manager::Board", "RFID Reader")},
        {QStringLiteral("touch"), QT_TRANSLATE_NOOP("manager::Board", "Touch")},
        {QStringLiteral("usbHost1"), QT_TRANSLATE_NOOP("manager::Board", "USB Host")},
        {QStringLiteral("usbHub"), QT_TRANSLATE_NOOP("manager::Board", "USB Hub")},
    };
    return labels;
}

} // namespace

Board::Board(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base)
    , m_timer(this)
    , m_dispatcher(Tag, base)
{
    m_timer.setObjectName(QStringLiteral("monitorTimer"));

    using namespace std::placeholders;
    m_dispatcher.addHandler(QStringLiteral("/info"), std::bind(&Board::onInfoReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/status"), std::bind(&Board::onStatusReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/config"), std::bind(&Board::onConfigReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/display"), std::bind(&Board::onDisplayReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/power"), std::bind(&Board::onPowerReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/event"), std::bind(&Board::onEventReceived, this, _1, _2));
    m_dispatcher.addHandler(QStringLiteral("/audio"), std::bind(&Board::onAudioReceived, this, _1, _2));

    m_dispatcher.forward(m_mqtt, this, &Board::onMqttReceived);
    connect(&m_mqtt, &MqttClient::connected, this, &Board::refresh);
    connect(&m_timer, &QTimer::timeout, this, &Board::refresh);
    subscribe();
}

bool Board::ignition() const
{
    return m_device.value(QStringLiteral("ignition")).toBool();
}

bool Board::ignitionKnown() const
{
    return m_device.contains(QStringLiteral("ignition"));
}

QString Board::poleId() const
{
    return m_device.value(QStringLiteral("poleId")).toString();
}

double Board::temperature() const
{
    return m_device.value(QStringLiteral("temperature")).toDouble();
}

double Board::voltage() const
{
    return m_device.value(QStringLiteral("voltage")).toDouble();
}

int Board::displayBrightness() const
{
    return m_display.value(QStringLiteral("brightness")).toInt();
}

QString Board::displayBrightnessMode() const
{
    return m_display.value(QStringLiteral("mode")).toString();
}

int Board::ambientLightSensor() const
{
    return m_display.value(QStringLiteral("sensor")).toInt();
}

QVariantMap Board::info() const
{
    return m_info;
}

bool Board::audioEnabled() const
{
    return !m_audio.value(QStringLiteral("mute")).toBool();
}

QVariantList Board::peripherals() const
{
    QVariantList list;
    const auto &labels = peripheralLabels();
    for (auto it = m_power.constBegin(); it != m_power.constEnd(); ++it) {
        const char *label = labels.value(it.key(), nullptr);
        list.append(QVariantMap{{QStringLiteral("item"), it.key()},
                                {QStringLiteral("descr"), label ? tr(label) : QString()},
                                {QStringLiteral("value"), it.value().toBool()}});
    }
    return list;
}

bool Board::rtcFailed() const
{
    return m_device.value(QStringLiteral("rtcFailed")).toBool();
}

int Board::delayShutdownFor() const
{
    return m_delayShutdownFor;
}

QString Board::status() const
{
    return m_status;
}

int Board::uptime() const
{
    return m_device.value(QStringLiteral("uptime")).toInt();
}

void Board::setDelayShutdownFor(int sec)
{
    if (sec == delayShutdownFor())
        return;
    qInfo().noquote().nospace() << Tag << "Setting board shutdown delay : " << sec << " sec(s)";
    publish(QStringLiteral("/config/set"),
            QJsonObject{{QStringLiteral("device"), QJsonObject{{QStringLiteral("delayShutdownFor"), sec}}}});
}

void Board::setPeripherals(const QVariantList &list)
{
    // The list is read-only in effect: power goes through setPeripheralPower.
    qWarning().noquote().nospace() << Tag << "--- SET PERIPHERALS : " << list;
}

void Board::refresh()
{
    qDebug().noquote().nospace() << Tag << "Refreshing data";
    for (const char *suffix : {"/status/get", "/display/get", "/power/get", "/audio/get"})
        m_mqtt.publish(QByteArrayLiteral("{}"), m_base + QLatin1String(suffix));
}

void Board::monitor(int msec)
{
    if (applyMonitor(m_timer, Tag, msec))
        refresh();
}

void Board::setPeripheralPower(const QString &peripheral, bool value)
{
    qInfo().noquote().nospace() << Tag << "Setting peripheral power: " << peripheral << " (" << value << ")";
    publish(QStringLiteral("/power/set"), QJsonObject{{peripheral, value}});
}

void Board::setLedValid()
{
    qInfo().noquote().nospace() << Tag << "Setting LEDs to : VALID";
    playLeds(ledPattern(3, {ledStep(0, 255, 0, 100), ledStep(0, 0, 0, 50)}));
}

void Board::setLedInvalid()
{
    qInfo().noquote().nospace() << Tag << "Setting LEDs to : INVALID";
    playLeds(ledPattern(3, {ledStep(255, 0, 0, 100), ledStep(0, 0, 0, 50)}));
}

void Board::setLedTestPattern()
{
    qInfo().noquote().nospace() << Tag << "Setting LEDs to : TEST";
    playLeds(ledPattern(30, {ledStep(255, 0, 0, 1000), ledStep(0, 0, 0, 200), ledStep(0, 255, 0, 1000),
                             ledStep(0, 0, 0, 200)}));
}

void Board::setLedOff()
{
    m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/led/off/request/1"));
}

void Board::setDisplayBrightness(int value)
{
    qInfo().noquote().nospace() << Tag << "Setting display brightness : " << value;
    publish(QStringLiteral("/display/set"), QJsonObject{{QStringLiteral("brightness"), value}});
}

void Board::setDisplayBrightnessMode(const QString &value)
{
    qInfo().noquote().nospace() << Tag << "Setting display brightness mode : " << value;
    publish(QStringLiteral("/display/set"), QJsonObject{{QStringLiteral("mode"), value}});
}

void Board::setAudioEnabled(bool value)
{
    qInfo().noquote().nospace() << Tag << "Setting audio enabled : " << value;
    publish(QStringLiteral("/audio/set"), QJsonObject{{QStringLiteral("mute"), !value}});
}

bool Board::peripheralPower(const QString &peripheral) const
{
    return m_power.value(peripheral).toBool();
}

void Board::playBuzzer(int onMsec, int offMsec, int repeat)
{
    qInfo().noquote().nospace()
        << Tag << QStringLiteral("Playing buzzer : on=%1 msec, off=%2 msec, repeat=%3").arg(onMsec).arg(offMsec).arg(repeat);
    publish(QStringLiteral("/buzzer/play/request/1"),
            QJsonObject{{QStringLiteral("onMsec"), onMsec},
                        {QStringLiteral("offMsec"), offMsec},
                        {QStringLiteral("repeat"), repeat}});
}

void Board::playBuzzer(int onMsec, int offMsec)
{
    playBuzzer(onMsec, offMsec, 0);
}

void Board::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    m_dispatcher.dispatch(payload, topic);
}

void Board::subscribe()
{
    qInfo().noquote().nospace() << Tag << "Subscribing to topics";
    for (const char *suffix : {"/info", "/status", "/config", "/display", "/power", "/audio", "/event"})
        m_mqtt.subscribe(m_base + QLatin1String(suffix), 0);
}

void Board::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    qInfo().noquote().nospace() << Tag << "Status changed : " << status;
    m_status = status;
    emit statusChanged();
}

void Board::publish(const QString &suffix, const QJsonObject &object)
{
    m_mqtt.publish(QJsonDocument(object).toJson(), m_base + suffix, 0, false);
}

void Board::playLeds(const QJsonObject &pattern)
{
    publish(QStringLiteral("/led/play/request/1"), pattern);
}

void Board::onInfoReceived(const QJsonObject &object, const QString &topic)
{
    qInfo().noquote().nospace() << Tag << "Processing info topic " << topic;
    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    const QJsonObject service = object.value(QStringLiteral("service")).toObject();
    m_info.insert(QStringLiteral("firmware"), device.value(QStringLiteral("firmwareVersion")).toString());
    m_info.insert(QStringLiteral("hardwareId"), device.value(QStringLiteral("hardwareId")).toString());
    m_info.insert(QStringLiteral("hardware"), device.value(QStringLiteral("hardwareVersion")).toString());
    m_info.insert(QStringLiteral("version"), service.value(QStringLiteral("version")).toString());
    emit infoChanged();
}

void Board::onStatusReceived(const QJsonObject &object, const QString &topic)
{
    qDebug().noquote().nospace() << Tag << "Processing status topic " << topic;
    if (!object.value(QStringLiteral("service")).toBool()) {
        setStatus(QStringLiteral("offline"));
        return;
    }
    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    if (!device.value(QStringLiteral("active")).toBool()) {
        setStatus(QStringLiteral("error"));
        return;
    }
    setStatus(QStringLiteral("online"));

    // The first report is news even when it says "off": until then the
    // ignition was not known at all.
    const bool ignition = device.value(QStringLiteral("ignition")).toBool();
    const bool firstReport = !ignitionKnown() && device.contains(QStringLiteral("ignition"));
    if (ignition != this->ignition() || firstReport) {
        qDebug().noquote().nospace() << Tag << "Ignition changed : " << ignition;
        m_device.insert(QStringLiteral("ignition"), ignition);
        emit ignitionChanged();
    }
    const QString poleId = device.value(QStringLiteral("poleId")).toString();
    if (poleId != this->poleId()) {
        qDebug().noquote().nospace() << Tag << "Pole Id changed : " << poleId;
        m_device.insert(QStringLiteral("poleId"), poleId);
        emit poleIdChanged();
    }
    const double temperature = device.value(QStringLiteral("temperature")).toDouble();
    if (temperature != this->temperature()) {
        qDebug().noquote().nospace() << Tag << "Temperature changed : " << temperature;
        m_device.insert(QStringLiteral("temperature"), temperature);
        emit temperatureChanged();
    }
    const double voltage = device.value(QStringLiteral("voltage")).toDouble();
    if (voltage != this->voltage()) {
        qDebug().noquote().nospace() << Tag << "Voltage changed : " << voltage;
        m_device.insert(QStringLiteral("voltage"), voltage);
        emit voltageChanged();
    }
    const int uptime = device.value(QStringLiteral("uptime")).toInt();
    if (uptime != this->uptime()) {
        qDebug().noquote().nospace() << Tag << "Uptime changed : " << uptime;
        m_device.insert(QStringLiteral("uptime"), uptime);
        emit uptimeChanged();
    }
    const bool rtcFailed =
        device.value(QStringLiteral("hardwareStatus")).toObject().value(QStringLiteral("rtcFailed")).toBool();
    if (rtcFailed != this->rtcFailed()) {
        qDebug().noquote().nospace() << Tag << "RTC Status changed : " << (rtcFailed ? "FAIL" : "OK");
        m_device.insert(QStringLiteral("rtcFailed"), rtcFailed);
        emit rtcFailedChanged();
    }
}

void Board::onConfigReceived(const QJsonObject &object, const QString &topic)
{
    qInfo().noquote().nospace() << Tag << "Processing config topic " << topic;
    const int delay =
        object.value(QStringLiteral("device")).toObject().value(QStringLiteral("delayShutdownFor")).toInt();
    if (delay == m_delayShutdownFor)
        return;
    qInfo().noquote().nospace() << Tag << "Board shutdown delay changed : " << delay << " sec(s)";
    m_delayShutdownFor = delay;
    emit delayShutdownForChanged();
}

void Board::onDisplayReceived(const QJsonObject &object, const QString &)
{
    const int brightness = object.value(QStringLiteral("brightness")).toInt();
    if (brightness != displayBrightness()) {
        qDebug().noquote().nospace() << Tag << "Display brightness changed : " << brightness;
        m_display.insert(QStringLiteral("brightness"), brightness);
        emit displayBrightnessChanged();
    }
    const int sensor = object.value(QStringLiteral("sensor")).toInt();
    if (sensor != ambientLightSensor()) {
        qDebug().noquote().nospace() << Tag << "Display sensor changed : " << sensor;
        m_display.insert(QStringLiteral("sensor"), sensor);
        emit ambientLightSensorChanged();
    }
    const QString mode = object.value(QStringLiteral("mode")).toString();
    if (mode != displayBrightnessMode()) {
        qDebug().noquote().nospace() << Tag << "Display brightness mode changed : " << mode;
        m_display.insert(QStringLiteral("mode"), mode);
        emit displayBrightnessModeChanged();
    }
}

void Board::onPowerReceived(const QJsonObject &object, const QString &)
{
    bool changed = false;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const QJsonValue value = it.value();
        if (value.isNull() || value == m_power.value(it.key()))
            continue;
        qInfo().noquote().nospace() << Tag << "Peripheral power changed '" << it.key() << "' : " << value.toBool();
        m_power.insert(it.key(), value);
        emit peripheralPowerChanged(it.key(), value.toBool());
        changed = true;
    }
    if (changed)
        emit peripheralsChanged();
}

void Board::onAudioReceived(const QJsonObject &object, const QString &)
{
    const bool mute = object.value(QStringLiteral("mute")).toBool();
    if (mute == m_audio.value(QStringLiteral("mute")).toBool())
        return;
    m_audio.insert(QStringLiteral("mute"), mute);
    emit audioEnabledChanged();
}

void Board::onEventReceived(const QJsonObject &object, const QString &)
{
    const QString name = object.value(QStringLiteral("name")).toString();
    const QString data = textForm(object.value(QStringLiteral("data")));
    qInfo().noquote().nospace() << Tag << "Event received : " << name << " [" << data << "]";
    if (name != QLatin1String("IgnitionChanged"))
        return;
    m_device.insert(QStringLiteral("ignition"), data != QLatin1String("0"));
    emit ignitionChanged();
}

} // namespace manager

#include "LTXGTerminal.h"

#include "MqttClient.h"

#include <QDebug>
#include <QHash>
#include <QJsonDocument>
#include <QUrl>

namespace manager {

namespace {

const QString CardRemovedTopic = QStringLiteral("kivo/rfid/card/removed");
const QString CardFoundTopic = QStringLiteral("kivo/rfid/card/found");

} // namespace

LTXGTerminal::LTXGTerminal(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base)
    , m_config(this)
    , m_barcode(this)
    , m_rfid(this)
    , m_dispatcher(QStringLiteral("[LTXGTerminal] "), base, ServiceDispatcher::EmptyIsObject)
{
    qRegisterMetaType<LTGXTerminalConfig *>("LTGXTerminalConfig*");
    qRegisterMetaType<ValidatorBarcode *>("ValidatorBarcode*");
    qRegisterMetaType<ValidatorRfid *>("ValidatorRfid*");
    qRegisterMetaType<Transaction>("Transaction");

    m_dispatcher.addHandler(QStringLiteral("/info"), [this](const QJsonObject &json, const QString &) {
        onInfoReceived(json);
    });
    m_dispatcher.addHandler(QStringLiteral("/status"), [this](const QJsonObject &json, const QString &) {
        onStatusReceived(json);
    });
    m_dispatcher.addHandler(QStringLiteral("/config"), [this](const QJsonObject &json, const QString &) {
        onConfigReceived(json);
    });
    m_dispatcher.addHandler(QStringLiteral("/rfid/retry"), [this](const QJsonObject &, const QString &) {
        emit cardRetry();
    });
    m_dispatcher.addAbsoluteHandler(CardFoundTopic, [this](const QJsonObject &json, const QString &) {
        onCardFound(json);
    });
    m_dispatcher.addHandler(QStringLiteral("/rfid/scanned"), [this](const QJsonObject &json, const QString &) {
        onCardScannedReceived(json);
    });
    m_dispatcher.addHandler(QStringLiteral("/barcode/scanned"), [](const QJsonObject &, const QString &) {});
    m_dispatcher.addHandler(QStringLiteral("/barcode/maintenance/scanned"),
                            [this](const QJsonObject &json, const QString &) {
                                emit maintenanceBarcodeScanned(json);
                            });
    m_dispatcher.addHandler(QStringLiteral("/rfid/removed"), [](const QJsonObject &, const QString &) {});

    m_dispatcher.acceptTopic(CardRemovedTopic);
    m_dispatcher.forward(m_mqtt, this, &LTXGTerminal::onMqttReceived);
    QObject::connect(&m_mqtt, &MqttClient::disconnected, this, &LTXGTerminal::onMqttDisconnected);

    m_mqtt.subscribe(m_base + QStringLiteral("/info"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/status"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/config"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/rfid/retry"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/rfid/removed"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/rfid/scanned"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/barcode/scanned"), 0);
    m_mqtt.subscribe(m_base + QStringLiteral("/barcode/maintenance/scanned"), 0);
    m_mqtt.subscribe(CardRemovedTopic, 0);
    m_mqtt.subscribe(CardFoundTopic, 0);
}

QString LTXGTerminal::cardTypeName(int type)
{
    static const QHash<int, QString> names = {
        {0, QStringLiteral("Unknown")},
        {1, QStringLiteral("ISO14443-4A")},
        {2, QStringLiteral("ISO14443-4B")},
        {4, QStringLiteral("MIFARE Classic 1K")},
        {8, QStringLiteral("MIFARE Classic 4K")},
        {16, QStringLiteral("MIFARE Plus 2K")},
        {32, QStringLiteral("MIFARE Plus 4K")},
        {64, QStringLiteral("MIFARE Ultralight")},
        {128, QStringLiteral("MIFARE Mini")},
        {256, QStringLiteral("MIFARE DESFire")},
        {512, QStringLiteral("EMV")},
        {32768, QStringLiteral("Other")},
    };
    return names.value(type, QStringLiteral("Unknown"));
}

void LTXGTerminal::enableBarcode()
{
    if (m_barcode.enabled())
        return;
    m_mqtt.publish(QByteArray(), QStringLiteral("kivo/barcode/enable"), 0, false);
}

void LTXGTerminal::disableBarcode()
{
    if (!m_barcode.enabled())
        return;
    m_mqtt.publish(QByteArray(), QStringLiteral("kivo/barcode/disable"), 0, false);
}

void LTXGTerminal::enableRfid()
{
    if (m_rfid.enabled())
        return;
    publish(QJsonObject{{QStringLiteral("autoread"), true}}, QStringLiteral("kivo/rfid/enable"));
}

void LTXGTerminal::disableRfid()
{
    if (!m_rfid.enabled())
        return;
    m_mqtt.publish(QByteArray(), QStringLiteral("kivo/rfid/disable"), 0, false);
}

void LTXGTerminal::saveConfig()
{
    const QUrl url = m_config.obuUrl();
    const QJsonObject blm{
        {QStringLiteral("obu_username"), url.userName(QUrl::FullyDecoded)},
        {QStringLiteral("obu_password"), url.password(QUrl::FullyDecoded)},
        {QStringLiteral("obu_host"), url.host(QUrl::FullyDecoded)},
        {QStringLiteral("obu_port"), url.port(-1)},
    };
    const QJsonObject validator{
        {QStringLiteral("passbackTime"), m_config.passbackSecs()},
        {QStringLiteral("qr_passback"), m_config.passbackQrEnabled()},
    };
    publish(QJsonObject{{QStringLiteral("blm"), blm}, {QStringLiteral("validator"), validator}},
            m_base + QStringLiteral("/config/set"));
}

void LTXGTerminal::refreshConfig()
{
    m_mqtt.publish(QByteArrayLiteral("{ }"), m_base + QStringLiteral("/config/get"), 0, false);
}

void LTXGTerminal::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    // The RFID service's removal notice carries nothing worth parsing.
    if (topic == CardRemovedTopic) {
        emit cardRemoved();
        return;
    }
    m_dispatcher.dispatch(payload, topic);
}

void LTXGTerminal::onMqttDisconnected()
{
    setStatus(QStringLiteral("offline"));
    setReason(QStringLiteral("MQTT Disconnected"), QStringLiteral("#0001"));
}

void LTXGTerminal::onInfoReceived(const QJsonObject &json)
{
    const QJsonObject device = json.value(QStringLiteral("device")).toObject();
    m_barcode.fromJson(device.value(QStringLiteral("barcode")).toObject());
    m_rfid.fromJson(device.value(QStringLiteral("rfid")).toObject());

    const QString version =
        json.value(QStringLiteral("service")).toObject().value(QStringLiteral("version")).toString();
    if (assignIfChanged(m_version, version))
        emit versionChanged();
}

void LTXGTerminal::onStatusReceived(const QJsonObject &json)
{
    const QJsonObject device = json.value(QStringLiteral("device")).toObject();
    m_rfid.fromJson(device.value(QStringLiteral("rfid")).toObject());
    m_barcode.fromJson(device.value(QStringLiteral("barcode")).toObject());

    // Faults of the service and its links keep the terminal "online" and are
    // carried by the reason code; the status dips to "offline" so watchers
    // see each fault report.
    const auto fault = [this](const QString &reason, const QString &code) {
        setStatus(QStringLiteral("offline"));
        setStatus(QStringLiteral("online"));
        setReason(reason, code);
    };

    if (!json.value(QStringLiteral("service")).toBool()) {
        fault(QStringLiteral("BLM service down"), QStringLiteral("#0002"));
        return;
    }

    const QString vehicle =
        json.value(QStringLiteral("obu")).toObject().value(QStringLiteral("vehicleUuid")).toString();
    if (assignIfChanged(m_vehicle, vehicle))
        emit vehicleChanged();

    const QString route =
        json.value(QStringLiteral("route")).toObject().value(QStringLiteral("axisName")).toString();
    if (assignIfChanged(m_route, route))
        emit routeChanged();

    const QJsonObject state = json.value(QStringLiteral("state")).toObject();
    if (state.value(QStringLiteral("init")).toBool()) {
        setStatus(QStringLiteral("init"));
        return;
    }
    if (!state.value(QStringLiteral("hasRfid")).toBool()) {
        if (m_rfid.state() == QLatin1String("Updating"))
            fault(QStringLiteral("RFID firmware is updating"), QStringLiteral("#0003"));
        else
            fault(QStringLiteral("RFID is not operational"), QStringLiteral("#0004"));
        return;
    }
    if (!state.value(QStringLiteral("hasObu")).toBool()) {
        fault(QStringLiteral("Disconnected from OBC"), QStringLiteral("#0005"));
        return;
    }
    if (state.contains(QStringLiteral("hasNtp")) && !state.value(QStringLiteral("hasNtp")).toBool()) {
        fault(QStringLiteral("NTP not synchronized"), QStringLiteral("#0007"));
        return;
    }
    if (!state.value(QStringLiteral("hasRoute")).toBool()) {
        setStatus(QStringLiteral("out-of-service"));
        setReason(QStringLiteral("No route"), QStringLiteral("#0006"));
        return;
    }
    setStatus(QStringLiteral("online"));
    setReason(QString(), QString());
}

void LTXGTerminal::onConfigReceived(const QJsonObject &json)
{
    // The service sends every value as text.
    const QJsonObject blm = json.value(QStringLiteral("blm")).toObject();
    QUrl url;
    url.setScheme(QStringLiteral("mqtt"));
    url.setHost(blm.value(QStringLiteral("obu_host")).toString());
    const QString username = blm.value(QStringLiteral("obu_username")).toString();
    if (!username.isEmpty())
        url.setUserName(username, QUrl::DecodedMode);
    const QString password = blm.value(QStringLiteral("obu_password")).toString();
    if (!password.isEmpty())
        url.setPassword(password, QUrl::DecodedMode);
    const int port = blm.value(QStringLiteral("obu_port")).toString().toInt(nullptr, 10);
    // Out of range would make QUrl drop the whole URL, host and credentials included.
    if (port > 0 && port <= 65535)
        url.setPort(port);
    m_config.setObuUrl(url);

    const QJsonObject validator = json.value(QStringLiteral("validator")).toObject();
    m_config.setPassbackSecs(validator.value(QStringLiteral("passbackTime")).toString().toInt());
    m_config.setPassbackQrEnabled(validator.value(QStringLiteral("qr_passback")).toString()
                                  == QLatin1String("true"));

    qWarning().noquote().nospace() << "[LTXGTerminal] " << "Config received : ";
    // The password stays out of the system log.
    qWarning().noquote().nospace() << "[LTXGTerminal] " << "OBU URL         : "
                                   << m_config.obuUrl().toString(QUrl::RemovePassword);
    qWarning().noquote().nospace() << "[LTXGTerminal] " << "Passback Time   : " << m_config.passbackSecs()
                                   << " sec(s)";
    qWarning().noquote().nospace() << "[LTXGTerminal] " << "Passback QR En  : "
                                   << (m_config.passbackQrEnabled() ? "true" : "false");

    emit configChanged();
}

void LTXGTerminal::onCardFound(const QJsonObject &json)
{
    emit cardDetected(json.value(QStringLiteral("uid")).toString(),
                      cardTypeName(json.value(QStringLiteral("type")).toInt()));
}

void LTXGTerminal::onCardScannedReceived(const QJsonObject &json)
{
    const Transaction transaction(json.value(QStringLiteral("transaction")).toObject());
    emit ticketValidated(transaction);
}

void LTXGTerminal::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    qWarning().noquote().nospace() << "[LTXGTerminal] " << "LTGXTerminal status is : " << status;
    m_status = status;
    emit statusChanged();
}

void LTXGTerminal::setReason(const QString &reason, const QString &code)
{
    if (reason == m_reason && code == m_reasonCode)
        return;
    m_reason = reason;
    m_reasonCode = code;
    emit reasonChanged();
}

void LTXGTerminal::publish(const QJsonObject &object, const QString &topic)
{
    m_mqtt.publish(QJsonDocument(object).toJson(QJsonDocument::Indented), topic, 0, false);
}

} // namespace manager

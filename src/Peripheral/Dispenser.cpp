#include "Dispenser.h"

#include "MqttClient.h"

#include <QDebug>
#include <QJsonValue>

#include <limits>

namespace manager {

namespace {

const QString LogTag = QStringLiteral("[Dispenser] ");
const int MoveTimeout = 20000;

QString parseErrorLine(const QString &topic, const QByteArray &payload, const QJsonParseError &)
{
    return QStringLiteral("ERROR: Failed to parse JSON message (topic=%1) :%2 )")
        .arg(topic, QString::fromUtf8(payload));
}

const char *boolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace

Dispenser::Dispenser(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base)
    , m_dispatcher(LogTag, base, ServiceDispatcher::EmptyIsObject, parseErrorLine)
{
    m_dispatcher.addHandler(QStringLiteral("/info"), [this](const QJsonObject &o, const QString &) {
        onInfoReceived(o);
    });
    m_dispatcher.addHandler(QStringLiteral("/status"), [this](const QJsonObject &o, const QString &) {
        onStatusReceived(o);
    });
    m_dispatcher.addHandler(QStringLiteral("/card/inserted"), [this](const QJsonObject &, const QString &) {
        emit cardAccepted();
    });
    m_dispatcher.addHandler(QStringLiteral("/card/removed"), [this](const QJsonObject &, const QString &) {
        emit cardRemoved();
    });
    m_dispatcher.addHandler(QStringLiteral("/card/disposed"), [this](const QJsonObject &, const QString &) {
        emit cardDisposed();
    });

    m_dispatcher.forward(m_mqtt, this, &Dispenser::onMqttReceived);
    // The MQTT client renews these after each reconnect.
    for (const char *suffix : {"/info", "/status", "/card/inserted", "/card/removed", "/card/disposed"})
        m_mqtt.subscribe(m_base + QLatin1String(suffix), 0);
}

Deferred<Dispenser::Result> Dispenser::issue()
{
    return executeRpc(QStringLiteral("/issue"), QJsonObject(), MoveTimeout);
}

Deferred<Dispenser::Result> Dispenser::accept()
{
    return executeRpc(QStringLiteral("/accept"), QJsonObject(), MoveTimeout);
}

Deferred<Dispenser::Result> Dispenser::eject()
{
    return executeRpc(QStringLiteral("/eject"), QJsonObject(), MoveTimeout);
}

Deferred<Dispenser::Result> Dispenser::dispose()
{
    return executeRpc(QStringLiteral("/dispose"), QJsonObject(), MoveTimeout);
}

Deferred<Dispenser::Result> Dispenser::collect()
{
    return executeRpc(QStringLiteral("/collect"), QJsonObject(), MoveTimeout);
}

Deferred<Dispenser::Result> Dispenser::enableAccept()
{
    return executeRpc(QStringLiteral("/accept/enable"), QJsonObject(), MoveTimeout);
}

Deferred<Dispenser::Result> Dispenser::disableAccept()
{
    return executeRpc(QStringLiteral("/accept/disable"), QJsonObject(), MoveTimeout);
}

Deferred<Dispenser::Result> Dispenser::waitCollect(int seconds)
{
    // Kept within what a timer can take, so a large or negative argument
    // neither overflows nor leaves a wait that never ends.
    const qint64 msec = qBound<qint64>(0, qint64(seconds) * 1000, std::numeric_limits<int>::max());

    Deferred<Result> d;
    // The same message also takes the ordinary receive path and emits
    // cardRemoved().
    m_mqtt.waitTopic(m_base + QStringLiteral("/card/removed"), int(msec))
        .done([d](const QJsonValue &) mutable {
            d.resolve(Result{0, QString()});
        })
        .fail([d](const QJsonValue &value) mutable {
            d.reject(Result{-1, value.toString()});
        });
    return d;
}

void Dispenser::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    m_dispatcher.dispatch(payload, topic);
}

void Dispenser::onInfoReceived(const QJsonObject &object)
{
    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    setFirmware(device.value(QStringLiteral("firmware")).toString());
    setManufacturer(device.value(QStringLiteral("manufacturer")).toString());
    setModel(device.value(QStringLiteral("model")).toString());
    setSoftware(object.value(QStringLiteral("service")).toObject().value(QStringLiteral("version")).toString());
}

void Dispenser::onStatusReceived(const QJsonObject &object)
{
    // While the service is offline the last known positions are kept.
    if (!object.value(QStringLiteral("service")).toBool()) {
        setActive(false);
        return;
    }

    // One flag at a time: listeners may see a mix of old and new values.
    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    setActive(device.value(QStringLiteral("active")).toBool());
    setIsJammed(device.value(QStringLiteral("isJammed")).toBool());
    setIsDoorOpen(device.value(QStringLiteral("isCartridgeDoorOpen")).toBool());
    setCardInMouth(device.value(QStringLiteral("cardInMouth")).toBool());
    setCardInRfid(device.value(QStringLiteral("cardInRfid")).toBool());
}

void Dispenser::setManufacturer(const QString &manufacturer)
{
    if (assignIfChanged(m_manufacturer, manufacturer))
        emit manufacturerChanged();
}

void Dispenser::setModel(const QString &model)
{
    if (assignIfChanged(m_model, model))
        emit modelChanged();
}

void Dispenser::setFirmware(const QString &firmware)
{
    if (assignIfChanged(m_firmware, firmware))
        emit firmwareChanged();
}

void Dispenser::setSoftware(const QString &software)
{
    if (assignIfChanged(m_software, software))
        emit softwareChanged();
}

void Dispenser::setActive(bool active)
{
    if (active == m_active)
        return;
    qInfo().noquote().nospace() << LogTag << "Active changed : " << boolText(active);
    m_active = active;
    emit activeChanged();
}

void Dispenser::setIsJammed(bool jammed)
{
    if (jammed == m_jammed)
        return;
    qInfo().noquote().nospace() << LogTag << "Jammed changed : " << boolText(jammed);
    m_jammed = jammed;
    emit isJammedChanged();
}

void Dispenser::setIsDoorOpen(bool doorOpen)
{
    if (doorOpen == m_doorOpen)
        return;
    qInfo().noquote().nospace() << LogTag << "Door state changed : " << (doorOpen ? "Open" : "Closed");
    m_doorOpen = doorOpen;
    emit isDoorOpenChanged();
}

void Dispenser::setCardInMouth(bool cardInMouth)
{
    if (cardInMouth == m_cardInMouth)
        return;
    qWarning().noquote().nospace() << LogTag << "Card in Mouth changed " << boolText(cardInMouth);
    m_cardInMouth = cardInMouth;
    emit cardInMouthChanged();
}

void Dispenser::setCardInRfid(bool cardInRfid)
{
    if (cardInRfid == m_cardInRfid)
        return;
    qWarning().noquote().nospace() << LogTag << "Card in RFID changed " << boolText(cardInRfid);
    m_cardInRfid = cardInRfid;
    emit cardInRfidChanged();
}

Deferred<Dispenser::Result> Dispenser::executeRpc(const QString &method, const QJsonObject &params, int timeout)
{
    Deferred<Result> d;
    ++m_rpcId;
    m_mqtt.executeRpc(m_base + method, QString::number(m_rpcId), params, timeout)
        .done([d](const QJsonValue &value) mutable {
            const QJsonObject response = value.toObject();
            if (response.value(QStringLiteral("completed")).toBool()) {
                d.resolve(Result{0, QString()});
                return;
            }
            const QJsonObject error = response.value(QStringLiteral("error")).toObject();
            d.reject(Result{error.value(QStringLiteral("code")).toInt(),
                            error.value(QStringLiteral("description")).toString()});
        })
        .fail([d](const QJsonValue &value) mutable {
            d.reject(Result{-1, value.toString()});
        });
    return d;
}

} // namespace manager

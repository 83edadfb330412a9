#include "RFID.h"

#include "LTXGv1Card.h"
#include "MqttClient.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonValue>
#include <QPointer>

namespace manager {

namespace {

const QString LogTag = QStringLiteral("[RFID] ");

QString uidOrNone(const Tag::Ptr &tag)
{
    return tag ? tag->uid() : QStringLiteral("<none>");
}

} // namespace

RFID::RFID(MqttClient &mqtt, const QString &base, QObject *parent)
    : QObject(parent)
    , m_mqtt(mqtt)
    , m_base(base)
    , m_dispatcher(LogTag, base, ServiceDispatcher::EmptyIsParseError, ServiceDispatcher::rawPayloadText)
{
    m_dispatcher.addHandler(QStringLiteral("/info"), [this](const QJsonObject &o, const QString &) {
        onInfoReceived(o);
    });
    m_dispatcher.addHandler(QStringLiteral("/status"), [this](const QJsonObject &o, const QString &) {
        onStatusReceived(o);
    });
    m_dispatcher.addHandler(QStringLiteral("/card/found"), [this](const QJsonObject &o, const QString &) {
        onCardFoundReceived(o);
    });
    m_dispatcher.addHandler(QStringLiteral("/card/removed"), [this](const QJsonObject &o, const QString &) {
        onCardRemovedReceived(o);
    });
    m_dispatcher.addHandler(QStringLiteral("/card/autoread"), [this](const QJsonObject &o, const QString &) {
        onCardAutoreadReceived(o);
    });

    m_dispatcher.forward(m_mqtt, this, &RFID::onMqttReceived);
    // One wildcard for everything the service publishes; the MQTT client
    // renews it after each reconnect.
    m_mqtt.subscribe(m_base + QStringLiteral("/#"), 0);
}

bool RFID::active() const
{
    return m_state == Idle || m_state == Searching || m_state == CardFound;
}

QString RFID::stateToStr(State state)
{
    switch (state) {
    case Init:
        return QStringLiteral("Init");
    case Idle:
        return QStringLiteral("Idle");
    case Searching:
        return QStringLiteral("Searching");
    case CardFound:
        return QStringLiteral("CardFound");
    case Update:
        return QStringLiteral("Updating");
    case Error:
        return QStringLiteral("Error");
    }
    return QStringLiteral("Unknown");
}

Deferred<RFID::Result> RFID::enable(bool autoread)
{
    return executeRpc(QStringLiteral("/enable"), QJsonObject{{QStringLiteral("autoread"), autoread}}, 3000);
}

Deferred<RFID::Result> RFID::disable()
{
    return executeRpc(QStringLiteral("/disable"), QJsonObject(), 3000);
}

Deferred<RFID::Result> RFID::createCard(const QString &name)
{
    return executeRpc(QStringLiteral("/card/create"), QJsonObject{{QStringLiteral("template"), name}}, 3000);
}

Deferred<RFID::Result> RFID::readCard(const QString &name, int usageLogs)
{
    const QJsonObject params{
        {QStringLiteral("template"), name},
        {QStringLiteral("usageLogs"), usageLogs},
        {QStringLiteral("topupLogs"), 0},
    };
    return executeRpc(QStringLiteral("/card/read"), params, 3000);
}

Deferred<RFID::Result> RFID::writeCard(const Card::Ptr &card)
{
    if (!card) {
        Deferred<Result> d;
        d.reject(Result{Tag::Ptr(), QStringLiteral("No card to write")});
        return d;
    }
    // Unlike Card::toJson(), "data" is always an object here.
    const QJsonObject params{
        {QStringLiteral("uid"), card->uid()},
        {QStringLiteral("type"), static_cast<int>(card->type())},
        {QStringLiteral("template"), card->name()},
        {QStringLiteral("data"), card->data()},
    };
    return executeRpc(QStringLiteral("/card/write"), params, 3000);
}

Deferred<RFID::Result> RFID::waitCardFound(int msec)
{
    Deferred<Result> d;
    if (m_state == CardFound) {
        d.resolve(Result{m_activeTag, QString()});
        return d;
    }
    if (m_state != Searching) {
        d.reject(Result{Tag::Ptr(), QStringLiteral("RF is disabled")});
        return d;
    }
    // The same message also takes the ordinary receive path, which sets the
    // active tag and emits cardFound().
    m_mqtt.waitTopic(m_base + QStringLiteral("/card/found"), msec)
        .done([d](const QJsonValue &value) mutable {
            d.resolve(Result{Tag::fromJson(value.toObject()), QString()});
        })
        .fail([d](const QJsonValue &value) mutable {
            d.reject(Result{Tag::Ptr(), value.toString()});
        });
    return d;
}

bool RFID::beepValid()
{
    return m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/beep/valid"), 0, false);
}

bool RFID::beepInvalid()
{
    return m_mqtt.publish(QByteArray(), m_base + QStringLiteral("/beep/invalid"), 0, false);
}

void RFID::onMqttReceived(const QByteArray &payload, const QString &topic)
{
    m_dispatcher.dispatch(payload, topic);
}

void RFID::onInfoReceived(const QJsonObject &object)
{
    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    setUid(device.value(QStringLiteral("uid")).toString());
    setFirmware(device.value(QStringLiteral("firmware")).toString());
    setManufacturer(device.value(QStringLiteral("manufacturer")).toString());
    setModel(device.value(QStringLiteral("model")).toString());
    setSoftware(object.value(QStringLiteral("service")).toObject().value(QStringLiteral("version")).toString());
}

void RFID::onStatusReceived(const QJsonObject &object)
{
    if (!object.value(QStringLiteral("service")).toBool()) {
        setState(Error);
        setError(QStringLiteral("Service is offline"));
        return;
    }

    const QJsonObject device = object.value(QStringLiteral("device")).toObject();
    setState(static_cast<State>(device.value(QStringLiteral("state")).toInt()));

    const QJsonValue error = device.value(QStringLiteral("error"));
    setError(error.isUndefined() || error.isNull() ? QString() : error.toVariant().toString());

    if (m_state == Idle && m_activeTag) {
        qWarning().noquote().nospace() << LogTag << "WARN: RF disabled. Clearing active card";
        setActiveCard(Tag::Ptr());
    }
}

void RFID::onCardFoundReceived(const QJsonObject &object)
{
    setActiveCard(Tag::fromJson(object));
    emit cardFound(activeCard());
}

void RFID::onCardRemovedReceived(const QJsonObject &)
{
    emit cardRemoved(activeCard());
    setActiveCard(Tag::Ptr());
}

void RFID::onCardAutoreadReceived(const QJsonObject &object)
{
    if (object.contains(QStringLiteral("error"))) {
        emit cardAutoreadFailed(
            object.value(QStringLiteral("error")).toObject().value(QStringLiteral("what")).toString());
        return;
    }
    // The active tag and the emitted card are the same object.
    const Card::Ptr card = cardFactory(object);
    setActiveCard(card);
    emit cardAutoread(card);
}

void RFID::setUid(const QString &uid)
{
    if (assignIfChanged(m_uid, uid))
        emit uidChanged();
}

void RFID::setManufacturer(const QString &manufacturer)
{
    if (assignIfChanged(m_manufacturer, manufacturer))
        emit manufacturerChanged();
}

void RFID::setModel(const QString &model)
{
    if (assignIfChanged(m_model, model))
        emit modelChanged();
}

void RFID::setFirmware(const QString &firmware)
{
    if (assignIfChanged(m_firmware, firmware))
        emit firmwareChanged();
}

void RFID::setSoftware(const QString &software)
{
    if (assignIfChanged(m_software, software))
        emit softwareChanged();
}

void RFID::setState(State state)
{
    if (state == m_state)
        return;
    qInfo().noquote().nospace() << LogTag << "State changed : " << stateToStr(state);
    m_state = state;
    emit stateChanged();
}

void RFID::setError(const QString &error)
{
    if (assignIfChanged(m_error, error))
        emit errorChanged();
}

void RFID::setActiveCard(const Tag::Ptr &tag)
{
    if (tag == m_activeTag)
        return;
    qInfo().noquote().nospace() << LogTag
                                << QStringLiteral("Active tag changed : old=%1 new=%2")
                                       .arg(uidOrNone(m_activeTag), uidOrNone(tag));
    m_activeTag = tag;
    emit activeCardChanged();
}

Card::Ptr RFID::cardFactory(const QJsonObject &object)
{
    if (object.value(QStringLiteral("template")).toString() == LTXGv1Card::Name)
        return LTXGv1Card::fromJson(object);
    return Card::Ptr();
}

Deferred<RFID::Result> RFID::executeRpc(const QString &method, const QJsonObject &params, int timeout)
{
    Deferred<Result> d;
    ++m_rpcId;
    // The answer may come after this client is gone.
    QPointer<RFID> self(this);
    m_mqtt.executeRpc(m_base + method, QString::number(m_rpcId), params, timeout)
        .done([self, d](const QJsonValue &value) mutable {
            const QJsonObject response = value.toObject();
            if (response.value(QStringLiteral("completed")).toBool()) {
                const Card::Ptr card = cardFactory(response.value(QStringLiteral("data")).toObject());
                if (self)
                    self->setActiveCard(card);
                d.resolve(Result{card, QString()});
            } else {
                d.reject(Result{Tag::Ptr(),
                                response.value(QStringLiteral("error")).toObject().value(QStringLiteral("what")).toString()});
            }
        })
        .fail([d](const QJsonValue &value) mutable {
            d.reject(Result{Tag::Ptr(), value.toString()});
        });
    return d;
}

} // namespace manager

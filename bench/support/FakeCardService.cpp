#include "FakeCardService.h"

#include "MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileSystemWatcher>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>
#include <QUuid>

#include <mosquitto.h>

namespace {

const QString RequestMark = QStringLiteral("/request/");
// The tag type the reader reports for the blank cards (MIFARE DESFire).
const int CardType = 256;

} // namespace

FakeCardService::Reply FakeCardService::Reply::answer(const QJsonObject &object)
{
    Reply r;
    r.kind = Answer;
    r.object = object;
    return r;
}

FakeCardService::Reply FakeCardService::Reply::refuse(const QString &description, int code)
{
    Reply r;
    r.kind = Refuse;
    r.description = description;
    r.code = code;
    return r;
}

FakeCardService::Reply FakeCardService::Reply::late(int delayMs)
{
    Reply r;
    r.kind = Late;
    r.delayMs = delayMs;
    return r;
}

FakeCardService::Reply FakeCardService::Reply::never()
{
    Reply r;
    r.kind = Never;
    return r;
}

FakeCardService::FakeCardService(const MosquittoBroker &broker, const QString &rfidBase,
                                 const QString &dispenserBase, QObject *parent)
    : QObject(parent)
    , m_broker(broker)
    , m_rfidBase(rfidBase)
    , m_dispenserBase(dispenserBase)
{
}

FakeCardService::~FakeCardService()
{
    if (m_mosq) {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }
}

bool FakeCardService::start()
{
    mosquitto_lib_init();

    // Follow the broker's log from its present end: it names every new
    // subscription once the broker has made it.
    m_logOffset = QFile(m_broker.logPath()).size();
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &FakeCardService::onLogChanged);
    m_poll = new QTimer(this);
    m_poll->setInterval(100); // in case file notifications are unavailable
    connect(m_poll, &QTimer::timeout, this, &FakeCardService::onLogChanged);

    const QByteArray id = "fake-card-service-" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces).left(8);
    m_mosq = mosquitto_new(id.constData(), true, this);
    if (!m_mosq)
        return false;
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_mosq, &FakeCardService::onConnect);
    mosquitto_subscribe_callback_set(m_mosq, &FakeCardService::onSubscribe);
    mosquitto_message_callback_set(m_mosq, &FakeCardService::onMessage);
    if (mosquitto_connect(m_mosq, m_broker.host().toUtf8().constData(), m_broker.port(), 30) != MOSQ_ERR_SUCCESS)
        return false;
    if (mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
        return false;

    QDeadlineTimer deadline(10000);
    QMutexLocker locker(&m_mutex);
    while (!m_connected) {
        if (!m_condition.wait(&m_mutex, deadline))
            return false;
    }
    const QStringList filters = { m_rfidBase + "/+/request/+", m_rfidBase + "/+/+/request/+",
                                  m_dispenserBase + "/+/request/+", m_dispenserBase + "/+/+/request/+" };
    for (const QString &filter : filters) {
        if (mosquitto_subscribe(m_mosq, nullptr, filter.toUtf8().constData(), 1) != MOSQ_ERR_SUCCESS)
            return false;
    }
    while (m_subacks < filters.size()) {
        if (!m_condition.wait(&m_mutex, deadline))
            return false;
    }
    publishRfidStatus();
    publishDispenserStatus();
    return true;
}

void FakeCardService::script(Service service, const QString &method, const Reply &reply, int count)
{
    QMutexLocker locker(&m_mutex);
    const QString key = (service == Rfid ? QStringLiteral("rfid") : QStringLiteral("dispenser")) + method;
    m_scripts[key].append(Script{ reply, count });
}

QList<FakeCardService::Request> FakeCardService::requests() const
{
    QMutexLocker locker(&m_mutex);
    return m_requests;
}

QStringList FakeCardService::calls() const
{
    QMutexLocker locker(&m_mutex);
    return m_calls;
}

void FakeCardService::clearRequests()
{
    QMutexLocker locker(&m_mutex);
    m_requests.clear();
    m_calls.clear();
}

QJsonObject FakeCardService::lastWritten() const
{
    QMutexLocker locker(&m_mutex);
    return m_lastWritten;
}

void FakeCardService::setDoorOpen(bool open)
{
    QMutexLocker locker(&m_mutex);
    m_doorOpen = open;
    publishDispenserStatus();
}

void FakeCardService::setJammed(bool jammed)
{
    QMutexLocker locker(&m_mutex);
    m_jammed = jammed;
    publishDispenserStatus();
}

void FakeCardService::setDispenserActive(bool active)
{
    QMutexLocker locker(&m_mutex);
    m_dispenserActive = active;
    publishDispenserStatus();
}

void FakeCardService::setRfidState(int state, const QString &error)
{
    QMutexLocker locker(&m_mutex);
    m_rfidError = error;
    setRfidStateLocked(state);
    watchLogLocked();
}

void FakeCardService::placeCardOnReader()
{
    QMutexLocker locker(&m_mutex);
    newCard();
    m_cardOnReader = true;
    m_cardInMouth = false;
    publishDispenserStatus();
    watchLogLocked();
}

void FakeCardService::placeCardInMouth()
{
    QMutexLocker locker(&m_mutex);
    newCard();
    m_cardOnReader = false;
    m_cardInMouth = true;
    publishDispenserStatus();
    watchLogLocked();
}

void FakeCardService::takeCard()
{
    QMutexLocker locker(&m_mutex);
    collectCard();
}

bool FakeCardService::cardOnReader() const
{
    QMutexLocker locker(&m_mutex);
    return m_cardOnReader;
}

bool FakeCardService::cardInMouth() const
{
    QMutexLocker locker(&m_mutex);
    return m_cardInMouth;
}

int FakeCardService::rfidState() const
{
    QMutexLocker locker(&m_mutex);
    return m_rfidState;
}

QString FakeCardService::cardUid() const
{
    QMutexLocker locker(&m_mutex);
    return m_cardUid;
}

void FakeCardService::setAutoCollect(bool autoCollect)
{
    QMutexLocker locker(&m_mutex);
    m_autoCollect = autoCollect;
    watchLogLocked();
}

void FakeCardService::setEnableAnswerFirst(bool answerFirst)
{
    QMutexLocker locker(&m_mutex);
    m_enableAnswerFirst = answerFirst;
}

void FakeCardService::setEventsWithoutListener(bool immediate)
{
    QMutexLocker locker(&m_mutex);
    m_eventsWithoutListener = immediate;
}

void FakeCardService::onConnect(struct mosquitto *, void *userdata, int code)
{
    auto *self = static_cast<FakeCardService *>(userdata);
    QMutexLocker locker(&self->m_mutex);
    self->m_connected = code == 0;
    self->m_condition.wakeAll();
}

void FakeCardService::onSubscribe(struct mosquitto *, void *userdata, int, int, const int *)
{
    auto *self = static_cast<FakeCardService *>(userdata);
    QMutexLocker locker(&self->m_mutex);
    ++self->m_subacks;
    self->m_condition.wakeAll();
}

void FakeCardService::onMessage(struct mosquitto *, void *userdata, const struct mosquitto_message *message)
{
    auto *self = static_cast<FakeCardService *>(userdata);
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    QMutexLocker locker(&self->m_mutex);
    self->handleRequest(topic, payload);
}

void FakeCardService::handleRequest(const QString &topic, const QByteArray &payload)
{
    const int mark = topic.lastIndexOf(RequestMark);
    if (mark < 0)
        return;
    const QString callTopic = topic.left(mark);
    const QString responseTopic = callTopic + "/response/" + topic.mid(mark + RequestMark.size());
    Service service;
    QString method;
    if (callTopic.startsWith(m_rfidBase + '/')) {
        service = Rfid;
        method = callTopic.mid(m_rfidBase.size());
    } else if (callTopic.startsWith(m_dispenserBase + '/')) {
        service = Dispenser;
        method = callTopic.mid(m_dispenserBase.size());
    } else {
        return;
    }
    const QString call = (service == Rfid ? QStringLiteral("rfid") : QStringLiteral("dispenser")) + method;
    m_requests.append(Request{ topic, payload });
    m_calls.append(call);
    QMetaObject::invokeMethod(this, [this, call] { emit requestReceived(call); }, Qt::QueuedConnection);

    Reply reply;
    auto it = m_scripts.find(call);
    if (it != m_scripts.end() && !it->isEmpty()) {
        Script &next = it->first();
        reply = next.reply;
        if (next.count > 0 && --next.count == 0)
            it->removeFirst();
    }
    switch (reply.kind) {
    case Reply::Default:
        handleDefault(service, method, responseTopic, payload);
        break;
    case Reply::Answer:
        respond(responseTopic, reply.object);
        break;
    case Reply::Refuse:
        refuse(service, responseTopic, reply.description, reply.code);
        break;
    case Reply::Late: {
        const int delay = reply.delayMs;
        QMetaObject::invokeMethod(
            this,
            [this, service, method, responseTopic, payload, delay] {
                QTimer::singleShot(delay, this, [this, service, method, responseTopic, payload] {
                    QMutexLocker locker(&m_mutex);
                    handleDefault(service, method, responseTopic, payload);
                });
            },
            Qt::QueuedConnection);
        break;
    }
    case Reply::Never:
        break;
    }
}

void FakeCardService::handleDefault(Service service, const QString &method, const QString &responseTopic,
                                    const QByteArray &payload)
{
    if (service == Rfid)
        handleRfid(method, responseTopic, QJsonDocument::fromJson(payload).object());
    else
        handleDispenser(method, responseTopic);
}

void FakeCardService::handleRfid(const QString &method, const QString &responseTopic, const QJsonObject &params)
{
    const QJsonObject done{ { "completed", true } };
    if (method == "/enable") {
        const int state = m_rfidState == CardFound ? CardFound : Searching;
        if (m_enableAnswerFirst) {
            respond(responseTopic, done);
            setRfidStateLocked(state);
        } else {
            setRfidStateLocked(state);
            respond(responseTopic, done);
        }
        // A listener that was there already sees the card after the answer.
        if (m_eventsWithoutListener)
            announceCard();
        else
            watchLogLocked();
    } else if (method == "/disable") {
        respond(responseTopic, done);
        setRfidStateLocked(Idle);
    } else if (method == "/card/create" || method == "/card/write") {
        if (m_rfidState != CardFound || !m_cardOnReader) {
            refuse(Rfid, responseTopic, QStringLiteral("No card in field"), 0);
            return;
        }
        QJsonObject card{ { "uid", m_cardUid }, { "type", CardType }, { "template", params.value("template") } };
        if (method == "/card/write") {
            card.insert("data", params.value("data"));
            m_lastWritten = params;
        } else {
            card.insert("data", QJsonObject());
        }
        respond(responseTopic, QJsonObject{ { "completed", true }, { "data", card } });
    } else if (method == "/card/read") {
        respond(responseTopic, QJsonObject{ { "completed", true }, { "data", m_lastWritten } });
    } else {
        respond(responseTopic, done);
    }
}

void FakeCardService::handleDispenser(const QString &method, const QString &responseTopic)
{
    const QJsonObject done{ { "completed", true } };
    if (!m_dispenserActive || m_jammed || m_doorOpen) {
        refuse(Dispenser, responseTopic, QStringLiteral("Dispenser not ready"), 2);
        return;
    }
    if (method == "/issue") {
        if (m_cardOnReader || m_cardInMouth) {
            refuse(Dispenser, responseTopic, QStringLiteral("Transport not empty"), 3);
            return;
        }
        newCard();
        m_cardOnReader = true;
        publishDispenserStatus();
    } else if (method == "/accept") {
        if (!m_cardInMouth) {
            refuse(Dispenser, responseTopic, QStringLiteral("No card in mouth"), 4);
            return;
        }
        m_cardInMouth = false;
        m_cardOnReader = true;
        publish(m_dispenserBase + "/card/inserted", QJsonObject());
        publishDispenserStatus();
    } else if (method == "/eject" || method == "/dispose") {
        if (!m_cardOnReader) {
            refuse(Dispenser, responseTopic, QStringLiteral("No card at reader"), 5);
            return;
        }
        m_cardOnReader = false;
        if (m_rfidState == CardFound) {
            publish(m_rfidBase + "/card/removed", QJsonObject{ { "uid", m_cardUid } });
            setRfidStateLocked(Searching);
        }
        if (method == "/eject") {
            m_cardInMouth = true;
        } else {
            publish(m_dispenserBase + "/card/disposed", QJsonObject());
        }
        publishDispenserStatus();
    }
    respond(responseTopic, done);
    // The person reaches for the card once it is out, if anybody waits.
    if (method == "/eject") {
        if (m_eventsWithoutListener) {
            if (m_autoCollect)
                collectCard();
        } else {
            watchLogLocked();
        }
    }
}

void FakeCardService::respond(const QString &topic, const QJsonObject &object)
{
    publish(topic, object);
}

void FakeCardService::refuse(Service service, const QString &topic, const QString &description, int code)
{
    const QJsonObject error = service == Rfid
        ? QJsonObject{ { "what", description } }
        : QJsonObject{ { "code", code }, { "description", description } };
    publish(topic, QJsonObject{ { "completed", false }, { "error", error } });
}

void FakeCardService::publish(const QString &topic, const QJsonObject &object, bool retain)
{
    const QByteArray payload = QJsonDocument(object).toJson(QJsonDocument::Compact);
    mosquitto_publish(m_mosq, nullptr, topic.toUtf8().constData(), payload.size(), payload.constData(), 1, retain);
}

void FakeCardService::publishRfidStatus()
{
    const QJsonObject device{ { "state", m_rfidState },
                              { "error", m_rfidError.isEmpty() ? QJsonValue() : QJsonValue(m_rfidError) } };
    publish(m_rfidBase + "/status", QJsonObject{ { "service", true }, { "device", device } }, true);
}

void FakeCardService::publishDispenserStatus()
{
    const QJsonObject device{ { "active", m_dispenserActive },
                              { "isJammed", m_jammed },
                              { "isCartridgeDoorOpen", m_doorOpen },
                              { "cardInMouth", m_cardInMouth },
                              { "cardInRfid", m_cardOnReader } };
    publish(m_dispenserBase + "/status", QJsonObject{ { "service", true }, { "device", device } }, true);
}

void FakeCardService::setRfidStateLocked(int state)
{
    if (state == m_rfidState)
        return;
    m_rfidState = state;
    publishRfidStatus();
}

void FakeCardService::newCard()
{
    m_cardUid = QStringLiteral("04A3%1").arg(++m_cardSerial, 8, 16, QLatin1Char('0')).toUpper();
}

void FakeCardService::announceCard()
{
    if (m_rfidState != Searching || !m_cardOnReader)
        return;
    publish(m_rfidBase + "/card/found", QJsonObject{ { "uid", m_cardUid }, { "type", CardType } });
    setRfidStateLocked(CardFound);
}

void FakeCardService::collectCard()
{
    if (!m_cardInMouth)
        return;
    m_cardInMouth = false;
    publish(m_dispenserBase + "/card/removed", QJsonObject());
    publishDispenserStatus();
}

void FakeCardService::onLogChanged()
{
    QMutexLocker locker(&m_mutex);
    if (!serveListenersLocked() && !m_watcher->files().isEmpty()) {
        m_watcher->removePath(m_broker.logPath());
        m_poll->stop();
    }
}

void FakeCardService::readLogLocked()
{
    QFile file(m_broker.logPath());
    if (!file.open(QIODevice::ReadOnly) || file.size() <= m_logOffset)
        return;
    file.seek(m_logOffset);
    const QByteArray chunk = file.readAll();
    m_logOffset += chunk.size();
    m_logRest += chunk;
    const int end = m_logRest.lastIndexOf('\n');
    if (end < 0)
        return;
    const QList<QByteArray> lines = m_logRest.left(end).split('\n');
    m_logRest.remove(0, end + 1);

    // The broker writes "<client> <qos> <filter>" once a subscription is in
    // place, "<client> <filter>" once it is gone, and "Client <client> ..."
    // when a client leaves (its subscriptions go with it: clean sessions).
    static const QRegularExpression subscribed(QStringLiteral("^\\d+: (\\S+) [012] (\\S+)$"));
    static const QRegularExpression unsubscribed(QStringLiteral("^\\d+: (\\S+) (\\S+)$"));
    static const QRegularExpression left(QStringLiteral("^\\d+: Client (\\S+) "));
    const QString found = m_rfidBase + "/card/found";
    const QString removed = m_dispenserBase + "/card/removed";
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw);
        QRegularExpressionMatch match = subscribed.match(line);
        if (match.hasMatch()) {
            if (match.captured(2) == found || match.captured(2) == removed)
                m_listeners[match.captured(2)].insert(match.captured(1));
            continue;
        }
        match = unsubscribed.match(line);
        if (match.hasMatch()) {
            m_listeners[match.captured(2)].remove(match.captured(1));
            continue;
        }
        match = left.match(line);
        if (match.hasMatch()) {
            for (auto it = m_listeners.begin(); it != m_listeners.end(); ++it)
                it->remove(match.captured(1));
        }
    }
}

bool FakeCardService::serveListenersLocked()
{
    // The broker logs a request's subscriptions before it passes the request
    // on, so after this the picture of who listens is complete up to the
    // request being handled.
    readLogLocked();
    if (!m_listeners.value(m_rfidBase + "/card/found").isEmpty())
        announceCard();
    if (m_autoCollect && !m_listeners.value(m_dispenserBase + "/card/removed").isEmpty())
        collectCard();
    return (m_rfidState == Searching && m_cardOnReader) || (m_autoCollect && m_cardInMouth);
}

void FakeCardService::watchLogLocked()
{
    if (!serveListenersLocked())
        return;
    // Following the log costs a wake-up per line the broker writes: only
    // while a card event waits for its listener.
    auto arm = [this] {
        QMutexLocker locker(&m_mutex);
        if (serveListenersLocked() && m_watcher->files().isEmpty()) {
            m_watcher->addPath(m_broker.logPath());
            m_poll->start();
        }
    };
    QMetaObject::invokeMethod(this, arm, Qt::QueuedConnection);
}

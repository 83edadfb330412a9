#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWaitCondition>

class MosquittoBroker;
class QFileSystemWatcher;
class QTimer;
struct mosquitto;
struct mosquitto_message;

/*
 * Plays the RFID service and the card-dispenser service of an entry gate on a
 * real broker, on plain libmosquitto, for the card-issuing benchmarks.
 *
 * It keeps one physical picture (a card at the reader position, a card in the
 * mouth, the door, the radio) and answers every request the way the devices
 * would, publishing the status changes before the answer, as the services do.
 * Each method can be scripted per run: answer with a given object, refuse,
 * answer late, never answer.
 *
 * Card events need a listener: the reader announces a card ("/card/found")
 * and the person takes a presented card ("/card/removed", with autoCollect)
 * only once somebody has subscribed to that exact topic. The fake learns of
 * subscriptions from the broker's log, so an announcement can never overtake
 * the subscription that waits for it.
 *
 * Requests are answered on the fake's network thread; everything else
 * (setters, late answers, announcements) runs on the thread that owns it.
 */
class FakeCardService : public QObject
{
    Q_OBJECT

public:
    enum Service { Rfid, Dispenser };

    struct Request {
        QString topic;
        QByteArray payload;
    };

    struct Reply {
        enum Kind { Default, Answer, Refuse, Late, Never };
        Kind kind = Default;
        QJsonObject object; // Answer
        int code = 0;       // Refuse (dispenser)
        QString description; // Refuse: the dispenser's description, the reader's "what"
        int delayMs = 0;    // Late: the default handling after this delay

        static Reply answer(const QJsonObject &object);
        static Reply refuse(const QString &description, int code = 1);
        static Reply late(int delayMs);
        static Reply never();
    };

    // Reader states as the RFID service reports them.
    enum RfidState { Init = 0, Idle = 1, Searching = 2, CardFound = 3, Update = 4, Error = 5 };

    explicit FakeCardService(const MosquittoBroker &broker, const QString &rfidBase = QStringLiteral("kivo/rfid"),
                             const QString &dispenserBase = QStringLiteral("kivo/dispenser"),
                             QObject *parent = nullptr);
    ~FakeCardService() override;

    // Connects, subscribes to the requests and publishes both statuses
    // (retained). Blocks until the broker has acknowledged.
    bool start();

    // The next `count` requests of method ("/enable", "/card/write",
    // "/issue"...) get `reply`; count < 0 means every one from now on.
    void script(Service service, const QString &method, const Reply &reply, int count = 1);

    // Every request in the order received.
    QList<Request> requests() const;
    // The same as "rfid/enable", "dispenser/issue"..., in order.
    QStringList calls() const;
    void clearRequests();
    // The last "/card/write" parameters that were answered by default.
    QJsonObject lastWritten() const;

    // The physical picture; each change publishes the status it affects.
    void setDoorOpen(bool open);
    void setJammed(bool jammed);
    void setDispenserActive(bool active);
    void setRfidState(int state, const QString &error = QString());
    void placeCardOnReader(); // a fresh card at the reader position
    void placeCardInMouth();  // a fresh card in the mouth
    void takeCard();          // the person takes the card in the mouth
    bool cardOnReader() const;
    bool cardInMouth() const;
    int rfidState() const;
    QString cardUid() const; // the latest card put into the transport

    // A presented card is taken as soon as somebody waits for it (default
    // true).
    void setAutoCollect(bool autoCollect);
    // "/enable" is answered before the reader reports Searching (default
    // false: Searching first, as the service does).
    void setEnableAnswerFirst(bool answerFirst);
    // Card events follow the answer that makes them possible at once ("/card/found"
    // after "/enable", "/card/removed" after "/eject" with autoCollect), without
    // waiting to see a listener in the broker's log. Only for a client that is
    // already subscribed to those topics through its own wildcard or permanent
    // subscriptions, such as the benchmark (default false).
    void setEventsWithoutListener(bool immediate);

signals:
    // On the owning thread, for each request, after it was recorded.
    void requestReceived(const QString &call);

private:
    struct Script {
        Reply reply;
        int count = 1;
    };

    static void onConnect(struct mosquitto *mosq, void *userdata, int code);
    static void onSubscribe(struct mosquitto *mosq, void *userdata, int mid, int count, const int *granted);
    static void onMessage(struct mosquitto *mosq, void *userdata, const struct mosquitto_message *message);

    // Under m_mutex.
    void handleRequest(const QString &topic, const QByteArray &payload);
    void handleDefault(Service service, const QString &method, const QString &responseTopic,
                       const QByteArray &payload);
    void handleRfid(const QString &method, const QString &responseTopic, const QJsonObject &params);
    void handleDispenser(const QString &method, const QString &responseTopic);
    void respond(const QString &topic, const QJsonObject &object);
    void refuse(Service service, const QString &topic, const QString &description, int code);
    void publish(const QString &topic, const QJsonObject &object, bool retain = false);
    void publishRfidStatus();
    void publishDispenserStatus();
    void setRfidStateLocked(int state);
    void newCard();
    void announceCard();
    void collectCard();

    void onLogChanged();
    void readLogLocked();
    bool serveListenersLocked(); // true while a card event still waits for a listener
    void watchLogLocked();

    const MosquittoBroker &m_broker;
    QString m_rfidBase;
    QString m_dispenserBase;
    struct mosquitto *m_mosq = nullptr;

    mutable QMutex m_mutex;
    QWaitCondition m_condition;
    bool m_connected = false;
    int m_subacks = 0;

    QHash<QString, QList<Script>> m_scripts; // key: "rfid/enable"
    QList<Request> m_requests;
    QStringList m_calls;
    QJsonObject m_lastWritten;

    bool m_doorOpen = false;
    bool m_jammed = false;
    bool m_dispenserActive = true;
    bool m_cardOnReader = false;
    bool m_cardInMouth = false;
    int m_rfidState = Idle;
    QString m_rfidError;
    QString m_cardUid;
    int m_cardSerial = 0;
    bool m_autoCollect = true;
    bool m_eventsWithoutListener = false;
    bool m_enableAnswerFirst = false;

    // Broker log tail, on the owning thread.
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_poll = nullptr;
    qint64 m_logOffset = 0;
    QByteArray m_logRest;
    QHash<QString, QSet<QString>> m_listeners; // watched topic -> client ids
};

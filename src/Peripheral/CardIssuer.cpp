#include "CardIssuer.h"

#include <QDebug>
#include <QPointer>

namespace manager {

namespace {

const char LogTag[] = "[CardIssuer] ";

QString uidOf(const Tag::Ptr &tag)
{
    return tag ? tag->uid() : QStringLiteral("<none>");
}

// Passes another step's result on unchanged, without logging.
void passOnDone(Deferred<CardIssuer::Result> d, const CardIssuer::Result &result)
{
    d.resolve(result);
}

void passOnFail(Deferred<CardIssuer::Result> d, const CardIssuer::Result &result)
{
    d.reject(result);
}

} // namespace

template<typename T>
void CardIssuer::when(Deferred<T> step, const std::function<void(const T &)> &onDone,
                      const std::function<void(const T &)> &onFail)
{
    const QPointer<CardIssuer> self(this);
    step.done([self, onDone](const T &value) {
        if (self)
            onDone(value);
    });
    step.fail([self, onFail](const T &value) {
        if (self)
            onFail(value);
    });
}

CardIssuer::CardIssuer(RFID &rfid, Dispenser &dispenser, QObject *parent)
    : QObject(parent)
    , m_rfid(rfid)
    , m_dispenser(dispenser)
{
    connect(&m_rfid, &RFID::stateChanged, this, &CardIssuer::checkState, Qt::DirectConnection);
    connect(&m_rfid, &RFID::cardFound, this, &CardIssuer::onCardFound, Qt::DirectConnection);
    connect(&m_dispenser, &Dispenser::activeChanged, this, &CardIssuer::checkState, Qt::DirectConnection);
    connect(&m_dispenser, &Dispenser::isJammedChanged, this, &CardIssuer::checkState, Qt::DirectConnection);
    connect(&m_dispenser, &Dispenser::isDoorOpenChanged, this, &CardIssuer::checkState, Qt::DirectConnection);
    connect(&m_dispenser, &Dispenser::cardInMouthChanged, this, &CardIssuer::checkState, Qt::DirectConnection);
    connect(&m_dispenser, &Dispenser::cardInRfidChanged, this, &CardIssuer::checkState, Qt::DirectConnection);
    connect(&m_dispenser, &Dispenser::cardRemoved, this, &CardIssuer::onCardRemoved, Qt::DirectConnection);
    connect(&m_dispenser, &Dispenser::cardDisposed, this, &CardIssuer::onCardDisposed, Qt::DirectConnection);
}

QString CardIssuer::stateToStr(State state)
{
    switch (state) {
    case Init:
        return QStringLiteral("Init");
    case Busy:
        return QStringLiteral("Busy");
    case Ready:
        return QStringLiteral("Ready");
    case Error:
        return QStringLiteral("Error");
    }
    return QStringLiteral("Unknown");
}

Deferred<CardIssuer::Result> CardIssuer::prepareCard()
{
    Deferred<Result> d;
    if (m_state == Error) {
        d.reject(Result{ Tag::Ptr(), m_reason });
        return d;
    }
    when<Result>(
        moveCardOnRfid(),
        [this, d](const Result &) {
            when<Result>(
                readCardUid(), [d](const Result &read) { passOnDone(d, read); },
                [this, d](const Result &read) {
                    // The caller learns why the read failed, not how the
                    // disposal went.
                    when<Result>(
                        dispose(), [d, read](const Result &) { passOnFail(d, read); },
                        [d, read](const Result &) { passOnFail(d, read); });
                });
        },
        [d](const Result &moved) { passOnFail(d, moved); });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::issueCard(const Card::Ptr &card, int timeout)
{
    Deferred<Result> d;
    if (!card) {
        reject(d, QStringLiteral("No card to issue"));
        return d;
    }
    if (currCard()) {
        qInfo().noquote().nospace() << LogTag << "Card present. Issuing.";
        when<Result>(
            createAndEject(card, timeout), [d](const Result &r) { passOnDone(d, r); },
            [d](const Result &r) { passOnFail(d, r); });
        return d;
    }
    qWarning().noquote().nospace() << LogTag << "WARN: Card not present. Preparing.";
    when<Result>(
        prepareCard(),
        [this, d, card, timeout](const Result &) {
            when<Result>(
                createAndEject(card, timeout), [d](const Result &r) { passOnDone(d, r); },
                [d](const Result &r) { passOnFail(d, r); });
        },
        [d](const Result &r) { passOnFail(d, r); });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::moveCardOnRfid()
{
    Deferred<Result> d;
    qInfo().noquote().nospace() << LogTag << "Moving card on RFID";
    if (m_dispenser.cardInRfid()) {
        qWarning().noquote().nospace() << LogTag << "WARN: Card alaready present. Skipping.";
        resolve(d, Tag::Ptr());
        return d;
    }
    if (m_dispenser.cardInMouth()) {
        qWarning().noquote().nospace() << LogTag << "WARN: Card in mouth. Retracting.";
        when<Dispenser::Result>(
            m_dispenser.accept(), [this, d](const Dispenser::Result &) { resolve(d, Tag::Ptr()); },
            [this, d](const Dispenser::Result &r) { reject(d, QStringLiteral("Accept failed : ") + r.error); });
        return d;
    }
    when<Dispenser::Result>(
        m_dispenser.issue(), [this, d](const Dispenser::Result &) { resolve(d, Tag::Ptr()); },
        [this, d](const Dispenser::Result &r) { reject(d, QStringLiteral("Issue failed : ") + r.error); });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::readCardUid()
{
    Deferred<Result> d;
    qInfo().noquote().nospace() << LogTag << "Reading card UID";
    if (m_rfid.state() == RFID::CardFound) {
        const Tag::Ptr tag = m_rfid.activeCard();
        qInfo().noquote().nospace() << LogTag << "Card already present : " << uidOf(tag);
        disableAndSettle(d, [tag] { return tag; });
        return d;
    }
    when<RFID::Result>(
        m_rfid.enable(false),
        [this, d](const RFID::Result &) {
            qInfo().noquote().nospace() << LogTag << "RFID enabled.";
            when<RFID::Result>(
                m_rfid.waitCardFound(3000),
                [this, d](const RFID::Result &found) {
                    qInfo().noquote().nospace() << LogTag << "Card found : " << uidOf(found.card);
                    setCurrCard(found.card);
                    // Read at the end: the card may have left meanwhile.
                    disableAndSettle(d, [this] { return currCard(); });
                },
                [this, d](const RFID::Result &r) { reject(d, QStringLiteral("Failed to find card : ") + r.error); });
        },
        [this, d](const RFID::Result &r) { reject(d, QStringLiteral("RFID enable failed : ") + r.error); });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::createCard(const Card::Ptr &card)
{
    Deferred<Result> d;
    qInfo().noquote().nospace() << LogTag << QStringLiteral("Creating card : %1").arg(card->name());
    when<RFID::Result>(
        m_rfid.enable(false),
        [this, d, card](const RFID::Result &) {
            qInfo().noquote().nospace() << LogTag << "RFID enabled.";
            when<RFID::Result>(
                m_rfid.waitCardFound(5000),
                [this, d, card](const RFID::Result &found) {
                    qInfo().noquote().nospace() << LogTag << "Card found : " << uidOf(found.card);
                    when<RFID::Result>(
                        m_rfid.createCard(card->name()),
                        [this, d, card](const RFID::Result &created) {
                            qInfo().noquote().nospace() << LogTag << "Writing card : " << uidOf(created.card);
                            when<RFID::Result>(
                                m_rfid.writeCard(card),
                                [this, d](const RFID::Result &written) {
                                    qInfo().noquote().nospace()
                                        << LogTag << "Card written successfully : " << uidOf(written.card);
                                    setCurrCard(written.card);
                                    resetFailCount();
                                    disableAndSettle(d, [this] { return currCard(); });
                                },
                                [this, d](const RFID::Result &r) {
                                    reject(d, QStringLiteral("Write card failed : ") + r.error);
                                });
                        },
                        [this, d](const RFID::Result &r) {
                            reject(d, QStringLiteral("Create card failed : ") + r.error);
                        });
                },
                [this, d](const RFID::Result &r) { reject(d, QStringLiteral("Card search failed : ") + r.error); });
        },
        [this, d](const RFID::Result &r) { reject(d, QStringLiteral("RFID enable failed : ") + r.error); });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::createAndEject(const Card::Ptr &card, int seconds)
{
    Deferred<Result> d;
    when<Result>(
        createCard(card),
        [this, d, seconds](const Result &) {
            when<Result>(
                eject(),
                [this, d, seconds](const Result &) {
                    when<Result>(
                        waitCollect(seconds), [d](const Result &r) { passOnDone(d, r); },
                        [this, d](const Result &notCollected) {
                            when<Result>(
                                retract(), [d, notCollected](const Result &) { passOnFail(d, notCollected); },
                                [d, notCollected](const Result &) { passOnFail(d, notCollected); });
                        });
                },
                [d](const Result &r) { passOnFail(d, r); });
        },
        [this, d](const Result &failed) {
            when<Result>(
                dispose(), [d, failed](const Result &) { passOnFail(d, failed); },
                [d, failed](const Result &) { passOnFail(d, failed); });
        });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::eject()
{
    Deferred<Result> d;
    qInfo().noquote().nospace() << LogTag << "Ejecting card";
    when<Dispenser::Result>(
        m_dispenser.eject(),
        [this, d](const Dispenser::Result &) {
            qInfo().noquote().nospace() << LogTag << "Card ejected successfully";
            resolve(d, currCard());
        },
        [this, d](const Dispenser::Result &r) { reject(d, QStringLiteral("Failed to eject card : ") + r.error); });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::retract()
{
    Deferred<Result> d;
    qInfo().noquote().nospace() << LogTag << "Retracting card : " << uidOf(currCard());
    when<Dispenser::Result>(
        m_dispenser.accept(), [this, d](const Dispenser::Result &) { resolve(d, Tag::Ptr()); },
        [this, d](const Dispenser::Result &r) { reject(d, QStringLiteral("Accept failed : ") + r.error); });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::dispose()
{
    Deferred<Result> d;
    qInfo().noquote().nospace() << LogTag << "Disposing card : " << uidOf(currCard());
    incrFailCount();
    // The current card is cleared when the dispenser reports it disposed.
    when<Dispenser::Result>(
        m_dispenser.dispose(), [this, d](const Dispenser::Result &) { resolve(d, Tag::Ptr()); },
        [this, d](const Dispenser::Result &r) { reject(d, QStringLiteral("Dispose failed : ") + r.error); });
    return d;
}

Deferred<CardIssuer::Result> CardIssuer::waitCollect(int seconds)
{
    Deferred<Result> d;
    qInfo().noquote().nospace() << LogTag
                                << QStringLiteral("Waiting for card to be collected (timeout=%1 sec)").arg(seconds);
    when<Dispenser::Result>(
        m_dispenser.waitCollect(seconds),
        [this, d](const Dispenser::Result &) {
            qInfo().noquote().nospace() << LogTag << "Card collected successfully";
            resolve(d, Tag::Ptr());
        },
        [this, d](const Dispenser::Result &) { reject(d, QStringLiteral("Card was not collected")); });
    return d;
}

void CardIssuer::disableAndSettle(Deferred<Result> d, const std::function<Tag::Ptr()> &card)
{
    when<RFID::Result>(
        m_rfid.disable(),
        [this, d, card](const RFID::Result &) {
            qInfo().noquote().nospace() << LogTag << "RFID disabled";
            resolve(d, card());
        },
        [this, d, card](const RFID::Result &r) {
            // The card was found or written before: a radio left on must not
            // hold up the cycle.
            qWarning().noquote().nospace() << LogTag << "WARN: RFID disable failed : " << r.error;
            resolve(d, card());
        });
}

void CardIssuer::resolve(Deferred<Result> d, const Tag::Ptr &card)
{
    d.resolve(Result{ card, QString() });
}

void CardIssuer::reject(Deferred<Result> d, const QString &text)
{
    qCritical().noquote().nospace() << LogTag << "ERROR: " << text;
    d.reject(Result{ Tag::Ptr(), text });
}

void CardIssuer::checkState()
{
    const RFID::State rfidState = m_rfid.state();
    qDebug().noquote().nospace() << LogTag << "checkState() :"
                                 << " Dispenser(" << m_dispenser.active() << ")"
                                 << " RFID(" << RFID::stateToStr(rfidState) << ")"
                                 << " cardInRfid(" << m_dispenser.cardInRfid() << ")"
                                 << " cardInMouth(" << m_dispenser.cardInMouth() << ")";

    if (rfidState == RFID::Error) {
        setState(Error, QStringLiteral("RFID error"));
    } else if (rfidState == RFID::Update) {
        setState(Init, QStringLiteral("RFID updating"));
    } else if (m_dispenser.isDoorOpen()) {
        setState(Error, QStringLiteral("Cartridge door open"));
        resetFailCount();
    } else if (!m_dispenser.active()) {
        setState(Error, QStringLiteral("Dispenser error"));
        resetFailCount();
    } else if (m_dispenser.isJammed()) {
        setState(Error, QStringLiteral("Dispenser jammed"));
    } else if (m_failCount > 3) {
        setState(Error, QStringLiteral("Too many failures"));
    } else if (rfidState == RFID::CardFound || m_dispenser.cardInRfid()) {
        setState(Busy, QStringLiteral("Card on RFID"));
    } else if (m_dispenser.cardInMouth()) {
        setState(Busy, QStringLiteral("Card in Mouth"));
    } else {
        setState(Ready, QString());
    }

    // Keep the current card in line with the reader.
    if (m_rfid.state() == RFID::CardFound) {
        if (!m_card)
            setCurrCard(m_rfid.activeCard());
    } else if (m_rfid.state() == RFID::Idle && m_card) {
        setCurrCard(Tag::Ptr());
    }
}

void CardIssuer::setState(State state, const QString &reason)
{
    if (state == m_state && reason == m_reason)
        return;
    const QString detail = reason.isEmpty() ? QString() : QStringLiteral("(reason=") + reason + QStringLiteral(")");
    qInfo().noquote().nospace() << LogTag
                                << QStringLiteral("State changed : (%1) %2 %3")
                                       .arg(QString::number(state), stateToStr(state), detail);
    m_state = state;
    m_reason = reason;
    emit stateChanged();
}

void CardIssuer::setCurrCard(const Tag::Ptr &card)
{
    if (m_card != card)
        m_card = card;
}

void CardIssuer::incrFailCount()
{
    if (m_failCount > 3)
        return;
    ++m_failCount;
    qInfo().noquote().nospace() << LogTag << "Incremented fail counter : " << m_failCount;
    checkState();
}

void CardIssuer::resetFailCount()
{
    if (m_failCount == 0)
        return;
    m_failCount = 0;
    qInfo().noquote().nospace() << LogTag << "Reset fail counter : " << m_failCount;
    checkState();
}

void CardIssuer::onCardFound(const Tag::Ptr &tag)
{
    setCurrCard(tag);
}

void CardIssuer::onCardRemoved()
{
    emit cardCollected(currCard());
    setCurrCard(Tag::Ptr());
}

void CardIssuer::onCardDisposed()
{
    emit cardDisposed(currCard());
    setCurrCard(Tag::Ptr());
}

} // namespace manager

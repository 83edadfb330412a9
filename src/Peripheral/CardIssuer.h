#pragma once

#include "Card.h"
#include "Dispenser.h"
#include "RFID.h"
#include "Tag.h"

#include <deferred.h>

#include <QObject>
#include <QString>

#include <functional>

namespace manager {

// Drives the dispenser and the RFID reader through one issuing cycle: stage a
// blank card on the reader, write the caller's payload onto it, present it in
// the mouth and wait for it to be taken. Bad cards go to the reject bin and
// are counted; cards nobody takes are pulled back in.
class CardIssuer : public QObject
{
    Q_OBJECT

public:
    enum State : int {
        Init = 0,
        Busy = 1,
        Ready = 2,
        Error = 3,
    };
    Q_ENUM(State)

    struct Result
    {
        Tag::Ptr card;
        QString error; // empty on success
    };

    CardIssuer(RFID &rfid, Dispenser &dispenser, QObject *parent = nullptr);

    State state() const { return m_state; }
    QString reason() const { return m_reason; }
    Tag::Ptr currCard() const { return m_card; }

    static QString stateToStr(State state);

    // Stages a card on the reader and reads its UID; resolves with its tag.
    Deferred<Result> prepareCard();
    // Writes card's payload onto the staged card (staging one first when
    // there is none), ejects it and waits up to timeout seconds for it to be
    // taken.
    Deferred<Result> issueCard(const Card::Ptr &card, int timeout);

signals:
    void stateChanged();
    void cardDisposed(Tag::Ptr card);
    void cardCollected(Tag::Ptr card);

private:
    void checkState();
    void onCardFound(const Tag::Ptr &tag);
    void onCardRemoved();
    void onCardDisposed();

    Deferred<Result> moveCardOnRfid();
    Deferred<Result> readCardUid();
    Deferred<Result> createCard(const Card::Ptr &card);
    Deferred<Result> eject();
    Deferred<Result> retract();
    Deferred<Result> dispose();
    Deferred<Result> waitCollect(int seconds);
    Deferred<Result> createAndEject(const Card::Ptr &card, int seconds);

    // Switches the radio off and settles d with the card `card` gives at
    // that moment; a failed switch-off is only warned about, since the card
    // was already found or written.
    void disableAndSettle(Deferred<Result> d, const std::function<Tag::Ptr()> &card);

    // Runs onDone or onFail with the step's value once it settles, unless
    // this issuer is gone by then.
    template<typename T>
    void when(Deferred<T> step, const std::function<void(const T &)> &onDone,
              const std::function<void(const T &)> &onFail);

    void resolve(Deferred<Result> d, const Tag::Ptr &card);
    void reject(Deferred<Result> d, const QString &text);

    void setState(State state, const QString &reason);
    void setCurrCard(const Tag::Ptr &card);
    void incrFailCount();
    void resetFailCount();

    RFID &m_rfid;
    Dispenser &m_dispenser;
    State m_state = Init;
    QString m_reason;
    Tag::Ptr m_card;
    qint32 m_failCount = 0;
};

} // namespace manager

Q_DECLARE_METATYPE(manager::CardIssuer::Result)

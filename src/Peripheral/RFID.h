#pragma once

#include "Card.h"
#include "ServiceDispatcher.h"
#include "Tag.h"

#include <deferred.h>

#include <QJsonObject>
#include <QObject>
#include <QString>

namespace manager {

class MqttClient;

// Client of the RFID service: mirrors the reader's identity and state, tracks
// the tag in the reader's field and offers the calls the card issuer needs.
class RFID : public QObject
{
    Q_OBJECT

public:
    // The service sends the state as an integer; values outside the list are
    // kept as they come.
    enum State : int {
        Init = 0,
        Idle = 1,
        Searching = 2,
        CardFound = 3,
        Update = 4,
        Error = 5,
    };
    Q_ENUM(State)

    struct Result
    {
        Tag::Ptr card;
        QString error;
    };

    RFID(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QString uid() const { return m_uid; }
    QString manufacturer() const { return m_manufacturer; }
    QString model() const { return m_model; }
    QString firmware() const { return m_firmware; }
    QString software() const { return m_software; }
    State state() const { return m_state; }
    QString error() const { return m_error; }
    Tag::Ptr activeCard() const { return m_activeTag; }
    bool active() const;

    static QString stateToStr(State state);

    Deferred<Result> enable(bool autoread);
    Deferred<Result> disable();
    Deferred<Result> createCard(const QString &name);
    Deferred<Result> readCard(const QString &name, int usageLogs);
    Deferred<Result> writeCard(const Card::Ptr &card);
    Deferred<Result> waitCardFound(int msec);

    bool beepValid();
    bool beepInvalid();

signals:
    void uidChanged();
    void manufacturerChanged();
    void modelChanged();
    void firmwareChanged();
    void softwareChanged();
    void stateChanged();
    void errorChanged();
    void activeCardChanged();
    void cardFound(Tag::Ptr tag);
    void cardRemoved(Tag::Ptr tag);
    void cardAutoread(Card::Ptr card);
    void cardAutoreadFailed(QString error);

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    void onInfoReceived(const QJsonObject &object);
    void onStatusReceived(const QJsonObject &object);
    void onCardFoundReceived(const QJsonObject &object);
    void onCardRemovedReceived(const QJsonObject &object);
    void onCardAutoreadReceived(const QJsonObject &object);

    void setUid(const QString &uid);
    void setManufacturer(const QString &manufacturer);
    void setModel(const QString &model);
    void setFirmware(const QString &firmware);
    void setSoftware(const QString &software);
    void setState(State state);
    void setError(const QString &error);
    void setActiveCard(const Tag::Ptr &tag);

    static Card::Ptr cardFactory(const QJsonObject &object);
    Deferred<Result> executeRpc(const QString &method, const QJsonObject &params, int timeout);

    MqttClient &m_mqtt;
    QString m_base;
    QString m_uid;
    QString m_manufacturer;
    QString m_model;
    QString m_firmware;
    QString m_software;
    State m_state = Init;
    QString m_error;
    qint32 m_rpcId = 0;
    Tag::Ptr m_activeTag;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

Q_DECLARE_METATYPE(manager::RFID::Result)

#pragma once

#include "ServiceDispatcher.h"

#include <deferred.h>

#include <QJsonObject>
#include <QObject>
#include <QString>

namespace manager {

class MqttClient;

// Client of the card-dispenser service: mirrors the dispenser's sensors,
// relays its card events and offers the calls that move a card.
class Dispenser : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        // 0 on success, the service's code on a refused move, -1 when no
        // answer came.
        qint32 code = 0;
        QString error;
    };

    Dispenser(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QString manufacturer() const { return m_manufacturer; }
    QString model() const { return m_model; }
    QString firmware() const { return m_firmware; }
    QString software() const { return m_software; }
    bool active() const { return m_active; }
    bool isJammed() const { return m_jammed; }
    bool isDoorOpen() const { return m_doorOpen; }
    bool cardInMouth() const { return m_cardInMouth; }
    bool cardInRfid() const { return m_cardInRfid; }

    Deferred<Result> issue();
    Deferred<Result> accept();
    Deferred<Result> eject();
    Deferred<Result> dispose();
    Deferred<Result> collect();
    Deferred<Result> enableAccept();
    Deferred<Result> disableAccept();
    // In seconds, unlike the other time-outs.
    Deferred<Result> waitCollect(int seconds);

signals:
    void manufacturerChanged();
    void modelChanged();
    void firmwareChanged();
    void softwareChanged();
    void activeChanged();
    void isJammedChanged();
    void isDoorOpenChanged();
    void cardInMouthChanged();
    void cardInRfidChanged();
    void cardAccepted();
    void cardRemoved();
    void cardDisposed();

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    void onInfoReceived(const QJsonObject &object);
    void onStatusReceived(const QJsonObject &object);

    void setManufacturer(const QString &manufacturer);
    void setModel(const QString &model);
    void setFirmware(const QString &firmware);
    void setSoftware(const QString &software);
    void setActive(bool active);
    void setIsJammed(bool jammed);
    void setIsDoorOpen(bool doorOpen);
    void setCardInMouth(bool cardInMouth);
    void setCardInRfid(bool cardInRfid);

    Deferred<Result> executeRpc(const QString &method, const QJsonObject &params, int timeout);

    MqttClient &m_mqtt;
    QString m_base;
    QString m_manufacturer;
    QString m_model;
    QString m_firmware;
    QString m_software;
    bool m_active = false;
    bool m_jammed = false;
    bool m_doorOpen = false;
    bool m_cardInMouth = false;
    bool m_cardInRfid = false;
    qint32 m_rpcId = 0;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

Q_DECLARE_METATYPE(manager::Dispenser::Result)

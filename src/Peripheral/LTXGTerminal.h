#pragma once

#include "LTGXTerminalConfig.h"
#include "ServiceDispatcher.h"
#include "Transaction.h"
#include "ValidatorBarcode.h"
#include "ValidatorRfid.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

namespace manager {

class MqttClient;

// Client of the validation service: turns its messages into a health status
// with a coded fault reason, the vehicle and route, the reader records, card
// presence, validation results and maintenance barcodes; writes the
// service's configuration. Validation itself happens in the service.
class LTXGTerminal : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(QString version READ version NOTIFY versionChanged)
    Q_PROPERTY(QString route READ route NOTIFY routeChanged)
    Q_PROPERTY(QString vehicle READ vehicle NOTIFY vehicleChanged)
    Q_PROPERTY(LTGXTerminalConfig *config READ config NOTIFY configChanged)
    Q_PROPERTY(ValidatorBarcode *barcode READ barcode NOTIFY barcodeChanged)
    Q_PROPERTY(ValidatorRfid *rfid READ rfid NOTIFY rfidChanged)

public:
    LTXGTerminal(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QString status() const { return m_status; }
    QString reason() const { return m_reason; }
    QString reasonCode() const { return m_reasonCode; }
    QString version() const { return m_version; }
    QString route() const { return m_route; }
    QString vehicle() const { return m_vehicle; }
    LTGXTerminalConfig *config() { return &m_config; }
    ValidatorBarcode *barcode() { return &m_barcode; }
    ValidatorRfid *rfid() { return &m_rfid; }

    static QString cardTypeName(int type);

signals:
    void statusChanged();
    void reasonChanged();
    void versionChanged();
    void routeChanged();
    void vehicleChanged();
    void configChanged();
    void barcodeChanged();
    void rfidChanged();
    void cardDetected(const QString &uid, const QString &type);
    void cardRemoved();
    void cardRetry();
    void ticketValidated(const Transaction &transaction);
    void maintenanceBarcodeScanned(const QJsonObject &data);

public slots:
    void enableBarcode();
    void disableBarcode();
    void enableRfid();
    void disableRfid();
    void saveConfig();
    void refreshConfig();

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);
    void onMqttDisconnected();

private:
    void onInfoReceived(const QJsonObject &json);
    void onStatusReceived(const QJsonObject &json);
    void onConfigReceived(const QJsonObject &json);
    void onCardFound(const QJsonObject &json);
    void onCardScannedReceived(const QJsonObject &json);

    void setStatus(const QString &status);
    void setReason(const QString &reason, const QString &code);
    void publish(const QJsonObject &object, const QString &topic);

    MqttClient &m_mqtt;
    QString m_base;
    QString m_status;
    QString m_reason;
    QString m_reasonCode;
    QString m_version;
    QString m_route;
    QString m_vehicle;
    LTGXTerminalConfig m_config;
    ValidatorBarcode m_barcode;
    ValidatorRfid m_rfid;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

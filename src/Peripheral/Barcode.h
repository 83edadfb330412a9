#pragma once

#include "ServiceDispatcher.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

namespace manager {

class MqttClient;

// Client of a stand-alone barcode reader service: the reader's status and
// identity, scanning on and off, and every scanned code as a signal.
class BarcodeManager : public QObject
{
    Q_OBJECT

public:
    struct Info
    {
        QString firmware;
        QString manufacturer;
        QString model;
        QString type;
        QString version;
    };

    BarcodeManager(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    Info info() const;
    // "offline", "error", "disabled" or "enabled"; empty until the service
    // first reports.
    QString status() const;

signals:
    void statusChanged(const QString &status);
    void barcodeScanned(const QString &data);
    void deviceError(const QString &descr);

public slots:
    void enable();
    void disable();

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    void setStatus(const QString &status);
    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onBarcodeReceived(const QJsonObject &object, const QString &topic);

    MqttClient &m_mqtt;
    QString m_base;
    QString m_status;
    Info m_info;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

#pragma once

#include "ServiceDispatcher.h"

#include <QObject>
#include <QTimer>

namespace manager {

class MqttClient;

// Client of the device service's software updater: shows the installed and
// pending versions, asks the service to look for updates and to install the
// pending one, and mirrors its progress.
class Update : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString current READ current NOTIFY currentChanged)
    Q_PROPERTY(QString pending READ pending NOTIFY pendingChanged)
    Q_PROPERTY(QString progressMessage READ progressMessage NOTIFY progressMessageChanged)
    Q_PROPERTY(int progressPercent READ progressPercent NOTIFY progressPercentChanged)

public:
    Update(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QString status() const;
    QString current() const;
    QString pending() const;
    QString progressMessage() const;
    int progressPercent() const;

signals:
    void statusChanged();
    void currentChanged();
    void pendingChanged();
    void progressMessageChanged();
    void progressPercentChanged();
    void checkFinished();
    void installFinished();

public slots:
    void check();
    void install();

private slots:
    void refresh();
    void onMqttDisconnected();
    void checkTimerExpired();
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    void setStatus(const QString &status);
    void setCurrent(const QString &current);
    void setPending(const QString &pending);
    void setProgressMessage(const QString &message);
    void setProgressPercent(int percent);

    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onSoftwareStatusReceived(const QJsonObject &object, const QString &topic);
    void onProgressReceived(const QJsonObject &object, const QString &topic);

    MqttClient &m_mqtt;
    QString m_base;
    QString m_status;
    QString m_current;
    QString m_pending;
    QString m_progressMessage;
    int m_progressPercent = 0;
    QTimer m_checkTimer;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

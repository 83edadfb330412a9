#pragma once

#include "ServiceDispatcher.h"

#include <QObject>
#include <QTimer>
#include <QVariantMap>

namespace manager {

class MqttClient;

// Client of the system inspector service: sound (volume, playing files),
// power-off and reboot, immediate or scheduled, and the service's identity
// and state for the settings screens.
class Inspector : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap info READ info NOTIFY infoChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QVariantMap memory READ memory NOTIFY memoryChanged)
    Q_PROPERTY(QVariantMap cpu READ cpu NOTIFY cpuChanged)
    Q_PROPERTY(QVariantMap disks READ disks NOTIFY disksChanged)
    Q_PROPERTY(int audioVolume READ audioVolume WRITE setAudioVolume NOTIFY audioVolumeChanged)

public:
    Inspector(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    QVariantMap info() const;
    QString status() const;
    QVariantMap memory() const;
    QVariantMap cpu() const;
    QVariantMap disks() const;
    int audioVolume() const;

signals:
    void infoChanged();
    void statusChanged();
    void memoryChanged();
    void cpuChanged();
    void disksChanged();
    void audioVolumeChanged();
    void systemRebootStarted();
    void systemShutdownStarted();

public slots:
    void refresh();
    void monitor(int msec);
    void setAudioVolume(int value);
    void audioPlay(const QString &file);
    void systemReboot();
    void systemShutdown();
    void scheduleShutdown(int sec);
    void abortShutdown();

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    void subscribe();
    void setStatus(const QString &status);
    void publish(const QString &suffix, const QByteArray &payload);

    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onAudioReceived(const QJsonObject &object, const QString &topic);

    MqttClient &m_mqtt;
    QString m_base;
    QVariantMap m_info;
    QString m_status;
    QVariantMap m_memory;
    QVariantMap m_cpu;
    QVariantMap m_disks;
    QVariantMap m_audio;
    QTimer m_timer;
    QTimer m_shutdownTimer;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

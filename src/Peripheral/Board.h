#pragma once

#include "ServiceDispatcher.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

namespace manager {

class MqttClient;

// Client of the board service: mirrors the main board's state (ignition,
// display, peripheral power, audio, shutdown delay) and sends it the user
// interface's requests (LEDs, buzzer, brightness, audio, power). Requests are
// plain publishes; the state changes only when the board reports it back.
class Board : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool ignition READ ignition NOTIFY ignitionChanged)
    Q_PROPERTY(QString poleId READ poleId NOTIFY poleIdChanged)
    Q_PROPERTY(double temperature READ temperature NOTIFY temperatureChanged)
    Q_PROPERTY(double voltage READ voltage NOTIFY voltageChanged)
    Q_PROPERTY(int displayBrightness READ displayBrightness WRITE setDisplayBrightness NOTIFY displayBrightnessChanged)
    Q_PROPERTY(QString displayBrightnessMode READ displayBrightnessMode WRITE setDisplayBrightnessMode NOTIFY
                   displayBrightnessModeChanged)
    Q_PROPERTY(int ambientLightSensor READ ambientLightSensor NOTIFY ambientLightSensorChanged)
    Q_PROPERTY(QVariantMap info READ info NOTIFY infoChanged)
    Q_PROPERTY(bool audioEnabled READ audioEnabled WRITE setAudioEnabled NOTIFY audioEnabledChanged)
    Q_PROPERTY(QVariantList peripherals READ peripherals WRITE setPeripherals NOTIFY peripheralsChanged)
    Q_PROPERTY(bool rtcFailed READ rtcFailed NOTIFY rtcFailedChanged)
    Q_PROPERTY(int delayShutdownFor READ delayShutdownFor WRITE setDelayShutdownFor NOTIFY delayShutdownForChanged)

public:
    Board(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);

    bool ignition() const;
    // False until the board has named the ignition state once.
    bool ignitionKnown() const;
    QString poleId() const;
    double temperature() const;
    double voltage() const;
    int displayBrightness() const;
    QString displayBrightnessMode() const;
    int ambientLightSensor() const;
    QVariantMap info() const;
    bool audioEnabled() const;
    QVariantList peripherals() const;
    bool rtcFailed() const;
    int delayShutdownFor() const;

    QString status() const;
    int uptime() const;

    void setDelayShutdownFor(int sec);
    void setPeripherals(const QVariantList &list);

signals:
    void infoChanged();
    void statusChanged();
    void ignitionChanged();
    void poleIdChanged();
    void temperatureChanged();
    void voltageChanged();
    void uptimeChanged();
    void peripheralPowerChanged(const QString &peripheral, bool value);
    void audioEnabledChanged();
    void rtcFailedChanged();
    void displayBrightnessChanged();
    void displayBrightnessModeChanged();
    void ambientLightSensorChanged();
    void peripheralsChanged();
    void delayShutdownForChanged();

public slots:
    void refresh();
    void monitor(int msec);
    void setPeripheralPower(const QString &peripheral, bool value);
    void setLedValid();
    void setLedInvalid();
    void setLedTestPattern();
    void setLedOff();
    void setDisplayBrightness(int value);
    void setDisplayBrightnessMode(const QString &value);
    void setAudioEnabled(bool value);
    bool peripheralPower(const QString &peripheral) const;
    void playBuzzer(int onMsec, int offMsec, int repeat);
    void playBuzzer(int onMsec, int offMsec);

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    void subscribe();
    void setStatus(const QString &status);
    void publish(const QString &suffix, const QJsonObject &object);
    void playLeds(const QJsonObject &pattern);

    void onInfoReceived(const QJsonObject &object, const QString &topic);
    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onConfigReceived(const QJsonObject &object, const QString &topic);
    void onDisplayReceived(const QJsonObject &object, const QString &topic);
    void onPowerReceived(const QJsonObject &object, const QString &topic);
    void onAudioReceived(const QJsonObject &object, const QString &topic);
    void onEventReceived(const QJsonObject &object, const QString &topic);

    MqttClient &m_mqtt;
    QString m_base;
    QVariantMap m_info;
    QString m_status;
    QJsonObject m_device;
    QJsonObject m_display;
    QJsonObject m_power;
    QVariantMap m_audio;
    qint32 m_delayShutdownFor = 0;
    QTimer m_timer;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

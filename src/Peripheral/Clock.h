#pragma once

#include "ServiceDispatcher.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

namespace manager {

class MqttClient;

// Time zone and network time for the clock settings screen. The time zone is
// read and set on the local system with timedatectl; network time (server,
// enabled, synchronised) belongs to the device service.
class Clock : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList timezones READ timezones NOTIFY timezonesChanged)
    Q_PROPERTY(QString timezone READ timezone WRITE setTimezone NOTIFY timezoneChanged)
    Q_PROPERTY(QString ntpServer READ ntpServer WRITE setNtpServer NOTIFY ntpServerChanged)
    Q_PROPERTY(bool ntpEnabled READ ntpEnabled WRITE setNtpEnabled NOTIFY ntpEnabledChanged)
    Q_PROPERTY(bool ntpSynced READ ntpSynced NOTIFY ntpSyncedChanged)

public:
    // base is the device service's base; network time lives under
    // base + "/clock/ntp".
    Clock(MqttClient &mqtt, const QString &base, QObject *parent = nullptr);
    ~Clock() override;

    QStringList timezones() const;
    // The zone as the system last told it; every read asks the system again
    // in the background, and timezoneChanged tells when the answer differs.
    QString timezone() const;
    QString ntpServer() const;
    bool ntpEnabled() const;
    bool ntpSynced() const;

    void setTimezone(const QString &timezone);
    void setNtpServer(const QString &server);
    void setNtpEnabled(bool enabled);

signals:
    void timezonesChanged();
    void timezoneChanged();
    void ntpServerChanged();
    void ntpEnabledChanged();
    void ntpSyncedChanged();
    // The system refused or failed to set the zone; reason is its own words.
    void timezoneError(const QString &reason);

public slots:
    void ntpSync();
    void refresh();

private slots:
    void onMqttReceived(const QByteArray &payload, const QString &topic);

private:
    // Starts timedatectl with arguments (no shell involved); finishRun()
    // waits for it.
    static void startRun(QProcess &process, const QStringList &arguments);
    // What a started run wrote within the time limit counted from started.
    static QByteArray finishRun(QProcess &process, const QElapsedTimer &started);

    // Runs timedatectl with arguments without waiting for it; done gets what
    // it wrote and, if it failed or ran out of time, the reason.
    using Finished = std::function<void(const QByteArray &output, const QString &failure)>;
    QProcess *runInBackground(const QStringList &arguments, const Finished &done);
    void queryTimezone();
    void setKnownTimezone(const QString &timezone);

    // The time-zone list is asked for at construction and taken when the
    // command ends, or when the list is read before that.
    void startTimezoneList();
    void takeTimezoneList() const;

    void publishConfig(bool enabled, const QString &server);
    void onStatusReceived(const QJsonObject &object, const QString &topic);
    void onConfigReceived(const QJsonObject &object, const QString &topic);

    MqttClient &m_mqtt;
    QString m_base;
    mutable QStringList m_timezones;
    mutable QProcess *m_timezoneRun = nullptr;
    QElapsedTimer m_timezoneRunStarted;
    QString m_timezone;
    QPointer<QProcess> m_statusRun;
    bool m_queryAgain = false;
    QString m_ntpServer;
    bool m_ntpEnabled = false;
    bool m_ntpSynced = false;
    ServiceDispatcher m_dispatcher;
};

} // namespace manager

#pragma once

#include "User.h"

#include <QObject>
#include <QTimer>
#include <QVector>

class Config;

// Guards the maintenance settings area with a PIN. A session lasts a fixed
// time from login; activity does not extend it.
class SessionManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool sessionActive READ sessionActive NOTIFY sessionActiveChanged)

public:
    static constexpr int DefaultSessionLength = 600000;

    explicit SessionManager(Config &config, QObject *parent = nullptr);

    bool sessionActive() const;
    int remainingTime() const;
    const User *user() const;
    void loadUsers();

    // Session length in milliseconds, applied at the next login; shortened
    // only where ten minutes are impractical (tests).
    int sessionLength() const;
    void setSessionLength(int msec);

signals:
    void sessionActiveChanged();
    void accessGranted();
    void accessDenied();
    void expired();

public slots:
    void loginRequest(const QString &pin);
    void logoutRequest();
    void resetTimer();

private slots:
    void onExpired();

private:
    Config &m_config;
    QTimer m_timer;
    const User *m_activeUser = nullptr;
    QVector<User> m_users;
    int m_sessionLength = DefaultSessionLength;
};

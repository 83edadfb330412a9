#include "SessionManager.h"

#include "Config.h"

#include <QDebug>

SessionManager::SessionManager(Config &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_timer(this)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SessionManager::onExpired);
    connect(&m_config, &Config::configChanged, this, &SessionManager::loadUsers);
    loadUsers();
}

bool SessionManager::sessionActive() const
{
    return m_activeUser != nullptr;
}

int SessionManager::remainingTime() const
{
    return m_timer.remainingTime();
}

const User *SessionManager::user() const
{
    return m_activeUser;
}

void SessionManager::loadUsers()
{
    // The active user points into the list, so find it again after the rebuild.
    const int activeId = m_activeUser ? m_activeUser->id : -1;
    m_activeUser = nullptr;

    m_users.clear();
    m_users.append(User(0, QStringLiteral("KIVO"), QStringLiteral("Admin"),
                        m_config.get(QStringLiteral("gui/settingsPin")).toString()));

    if (activeId < 0)
        return;
    for (const User &user : qAsConst(m_users)) {
        if (user.id == activeId) {
            m_activeUser = &user;
            return;
        }
    }
    // The logged-in user is gone from the list: the session cannot go on.
    m_timer.stop();
    emit sessionActiveChanged();
}

int SessionManager::sessionLength() const
{
    return m_sessionLength;
}

void SessionManager::setSessionLength(int msec)
{
    m_sessionLength = msec;
}

void SessionManager::loginRequest(const QString &pin)
{
    qInfo().noquote().nospace() << "[SessionManager] Login requested with PIN";
    // Never the PIN itself: debug output ends up in the system log.
    qDebug().noquote().nospace() << "[SessionManager] Entered PIN    : " << QString(pin.size(), QLatin1Char('*'));

    const User *match = nullptr;
    for (const User &user : qAsConst(m_users)) {
        if (user.pin == pin) {
            match = &user;
            break;
        }
    }

    if (!match) {
        qWarning().noquote().nospace() << "[SessionManager] WARN: User entered wrong pin";
        emit accessDenied();
        return;
    }

    m_timer.setInterval(m_sessionLength);
    m_timer.setSingleShot(true);
    m_timer.start();
    m_activeUser = match;
    qInfo().noquote().nospace() << "[SessionManager] User logged-in : " << match->name << ", " << match->surname;
    emit accessGranted();
    emit sessionActiveChanged();
}

void SessionManager::logoutRequest()
{
    if (!m_activeUser)
        return;
    qInfo().noquote().nospace() << "[SessionManager] User logged-out : " << m_activeUser->name << ", "
                                << m_activeUser->surname;
    m_timer.stop();
    m_activeUser = nullptr;
    emit sessionActiveChanged();
}

void SessionManager::resetTimer()
{
    // Without a session a running timer would only report a phantom expiry.
    if (m_activeUser)
        m_timer.start();
}

void SessionManager::onExpired()
{
    qWarning().noquote().nospace() << "[SessionManager] Session expired";
    logoutRequest();
}

#include "LogRecorder.h"

#include <QMutexLocker>

#include <cstdio>

LogRecorder *LogRecorder::s_current = nullptr;

LogRecorder::LogRecorder()
{
    s_current = this;
    m_previous = qInstallMessageHandler(&LogRecorder::handler);
}

LogRecorder::~LogRecorder()
{
    qInstallMessageHandler(m_previous);
    s_current = nullptr;
}

void LogRecorder::handler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (qEnvironmentVariableIsSet("LTXG_TEST_LOG"))
        std::fprintf(stderr, "LOG: %s\n", qPrintable(message));
    if (LogRecorder *recorder = s_current) {
        QMutexLocker locker(&recorder->m_mutex);
        recorder->m_messages.append(qMakePair(type, message));
    }
}

QStringList LogRecorder::lines() const
{
    QMutexLocker locker(&m_mutex);
    QStringList result;
    for (const auto &m : m_messages)
        result << m.second;
    return result;
}

QStringList LogRecorder::lines(QtMsgType type) const
{
    QMutexLocker locker(&m_mutex);
    QStringList result;
    for (const auto &m : m_messages) {
        if (m.first == type)
            result << m.second;
    }
    return result;
}

QStringList LogRecorder::matching(const QString &text) const
{
    QMutexLocker locker(&m_mutex);
    QStringList result;
    for (const auto &m : m_messages) {
        if (m.second.contains(text))
            result << m.second;
    }
    return result;
}

int LogRecorder::count() const
{
    QMutexLocker locker(&m_mutex);
    return m_messages.size();
}

void LogRecorder::clear()
{
    QMutexLocker locker(&m_mutex);
    m_messages.clear();
}

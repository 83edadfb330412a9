#pragma once

#include <QList>
#include <QMutex>
#include <QPair>
#include <QStringList>

#include <cstdio>

// Records the text and type of every log message while it exists, in place
// of the message handler in force (which it restores). LTXG_TEST_LOG=1 also
// prints them.
class LogRecorder
{
public:
    LogRecorder()
    {
        s_current = this;
        m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (qEnvironmentVariableIsSet("LTXG_TEST_LOG"))
                std::fprintf(stderr, "LOG: %s\n", qPrintable(message));
            if (LogRecorder *recorder = s_current) {
                QMutexLocker locker(&recorder->m_mutex);
                recorder->m_messages.append({ type, message });
            }
        });
    }
    ~LogRecorder()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }

    QStringList lines() const { return select(-1, {}); }
    QStringList lines(QtMsgType type) const { return select(type, {}); }
    // Lines that contain text, in order.
    QStringList matching(const QString &text) const { return select(-1, text); }
    bool contains(const QString &text) const { return !matching(text).isEmpty(); }
    void clear()
    {
        QMutexLocker locker(&m_mutex);
        m_messages.clear();
    }

private:
    QStringList select(int type, const QString &text) const
    {
        QMutexLocker locker(&m_mutex);
        QStringList result;
        for (const auto &message : m_messages) {
            if ((type < 0 || message.first == type) && message.second.contains(text))
                result << message.second;
        }
        return result;
    }

    inline static LogRecorder *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QList<QPair<QtMsgType, QString>> m_messages;
};

#pragma once

#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Records every log message while it exists, in place of the message handler
// in force (which it restores). Messages are kept as the message text alone,
// with their type.
class LogRecorder
{
public:
    LogRecorder();
    ~LogRecorder();

    QStringList lines() const;
    QStringList lines(QtMsgType type) const;
    // Lines that contain text, in order.
    QStringList matching(const QString &text) const;
    bool contains(const QString &text) const { return !matching(text).isEmpty(); }
    int count() const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static LogRecorder *s_current;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QList<QPair<QtMsgType, QString>> m_messages;
};

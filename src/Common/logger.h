#pragma once

#include <QMutex>
#include <QtGlobal>

namespace manager {

// Process-wide sink for qDebug()/qInfo()/qWarning()/qCritical()/qFatal():
// filters by level, formats with the message pattern and writes every line,
// stamped with the seconds since start-up, to syslog and/or standard error.
class Logger
{
public:
    enum Level : qint32 {
        ERROR = 0,
        WARNING = 1,
        INFO = 2,
        DEBUG = 3,
        TRACE = 4,
    };

    // Message patterns installed by setColor().
    static constexpr const char *PlainPattern =
        "%{if-fatal}%{function} at %{file}:%{line} (%{pid}:%{threadid}:%{qthreadptr}) - %{endif}%{message}";
    static constexpr const char *ColorPattern =
        "%{if-category}[%{category}] %{endif}"
        "%{if-info}%{message}%{endif}"
        "%{if-warning}\033[33m%{message}\033[39m%{endif}"
        "%{if-debug}\033[35m%{message}\033[39m%{endif}"
        "%{if-critical}\033[31m%{message}\033[39m%{endif}"
        "%{if-fatal}%{function} at %{file}:%{line} (%{pid}:%{threadid}:%{qthreadptr}) - \033[31m%{message}\033[39m%{endif}";

    // Not safe against two threads racing on the very first call; the first
    // call is made on the main thread during start-up.
    static Logger *instance();

    QMutex *getMutex();
    bool getSyslog() const;
    bool getStderr() const;
    double getStartTime() const;

    void setSyslog(bool enable);
    void setStderr(bool enable);
    void setColor(bool enable);
    void setLevel(Level level);
    void setLevel(int level);

private:
    Logger();
    Q_DISABLE_COPY(Logger)

    static void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QMutex mMutex;
    bool mSyslog = true;
    bool mStderr = false;
    double mStartTime = 0.0;

    static Logger *mInstance;
};

} // namespace manager

#include "logger.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <syslog.h>

namespace manager {

Logger *Logger::mInstance = nullptr;

namespace {

double nowMillis()
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (double(ts.tv_nsec) + double(ts.tv_sec) * 1e9) / 1e6;
}

} // namespace

Logger::Logger()
    : mStartTime(nowMillis())
{
    setColor(false);
    setLevel(INFO);
    qInstallMessageHandler(&Logger::messageHandler);
}

Logger *Logger::instance()
{
    // Never destroyed: messages may still arrive while statics are torn down.
    if (!mInstance)
        mInstance = new Logger;
    return mInstance;
}

QMutex *Logger::getMutex()
{
    return &mMutex;
}

bool Logger::getSyslog() const
{
    return mSyslog;
}

bool Logger::getStderr() const
{
    return mStderr;
}

double Logger::getStartTime() const
{
    return mStartTime;
}

void Logger::setSyslog(bool enable)
{
    QMutexLocker locker(&mMutex);
    mSyslog = enable;
}

void Logger::setStderr(bool enable)
{
    QMutexLocker locker(&mMutex);
    mStderr = enable;
}

void Logger::setColor(bool enable)
{
    QMutexLocker locker(&mMutex);
    qSetMessagePattern(QString::fromLatin1(enable ? ColorPattern : PlainPattern));
}

void Logger::setLevel(Level level)
{
    const char *rules = nullptr;
    switch (level) {
    case ERROR:
        rules = "*=true\n*.warning=false\n*.info=false\n*.debug=false\nqt.*=false";
        break;
    case WARNING:
        rules = "*=true\n*.info=false\n*.debug=false\nqt.*=false";
        break;
    case INFO:
        rules = "*=true\n*.debug=false\nqt.*=false";
        break;
    case DEBUG:
        rules = "*=true\nqt.*=false";
        break;
    case TRACE:
        rules = "*=true";
        break;
    }
    if (!rules)
        return;

    QMutexLocker locker(&mMutex);
    QLoggingCategory::setFilterRules(QString::fromLatin1(rules));
}

void Logger::setLevel(int level)
{
    switch (level) {
    case 0:
        setLevel(ERROR);
        break;
    case 1:
        setLevel(WARNING);
        break;
    case 3:
        setLevel(DEBUG);
        break;
    case 4:
        setLevel(TRACE);
        break;
    default:
        setLevel(INFO);
        break;
    }
}

// Runs on whichever thread logged. Must not log itself: mMutex is not
// recursive.
void Logger::messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Logger *logger = instance();
    QMutexLocker locker(&logger->mMutex);

    const QByteArray text = qFormatLogMessage(type, context, message).toUtf8();
    const double elapsed = (nowMillis() - logger->mStartTime) / 1000.0;

    if (logger->mSyslog) {
        switch (type) {
        case QtDebugMsg:
            syslog(LOG_DEBUG, "[%9.03f] [debug] %s", elapsed, text.constData());
            break;
        case QtInfoMsg:
            syslog(LOG_INFO, "[%9.03f] %s", elapsed, text.constData());
            break;
        case QtWarningMsg:
            syslog(LOG_WARNING, "[%9.03f] [warning] %s", elapsed, text.constData());
            break;
        case QtCriticalMsg:
            syslog(LOG_CRIT, "[%9.03f] [error] %s", elapsed, text.constData());
            break;
        case QtFatalMsg:
            syslog(LOG_ERR, "[%9.03f] [fatal] %s", elapsed, text.constData());
            break;
        }
    }

    if (logger->mStderr) {
        fprintf(stderr, "[%9.03f] %s\n", elapsed, text.constData());
        fflush(stderr);
    }

    if (type == QtFatalMsg)
        abort();
}

} // namespace manager

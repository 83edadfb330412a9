#include "MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtDebug>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr int StartAttempts = 5;
constexpr int RestartAttempts = 40;
constexpr int RestartRetryDelayMs = 250;
constexpr int ReadyTimeoutMs = 20000;

QByteArray readFrom(const QString &path, qint64 offset = 0)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    file.seek(offset);
    return file.readAll();
}

} // namespace

MosquittoBroker::MosquittoBroker() = default;

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

void MosquittoBroker::setCredentials(const QString &username, const QString &password)
{
    m_username = username;
    m_password = password;
}

bool MosquittoBroker::start()
{
    stop();
    if (!m_dir.isValid())
        return false;
    // A free port may be taken by someone else before mosquitto binds it.
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        m_port = findFreePort();
        if (m_port != 0 && writeConfig() && launch())
            return true;
        stop();
    }
    qWarning().noquote() << "mosquitto did not start:" << log();
    return false;
}

bool MosquittoBroker::restart()
{
    stop();
    if (m_port == 0)
        return start();
    // The port may be busy for a moment after the kill.
    for (int attempt = 0; attempt < RestartAttempts; ++attempt) {
        if (launch())
            return true;
        stop();
        QThread::msleep(RestartRetryDelayMs);
    }
    qWarning().noquote() << "mosquitto did not restart:" << log();
    return false;
}

void MosquittoBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill(); // SIGKILL also ends a suspended process
    m_process.waitForFinished(10000);
    m_suspended = false;
}

bool MosquittoBroker::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

void MosquittoBroker::suspend()
{
    if (isRunning() && !m_suspended) {
        ::kill(pid_t(m_process.processId()), SIGSTOP);
        m_suspended = true;
    }
}

void MosquittoBroker::resume()
{
    if (isRunning() && m_suspended) {
        ::kill(pid_t(m_process.processId()), SIGCONT);
        m_suspended = false;
    }
}

QString MosquittoBroker::host() const
{
    return QStringLiteral("127.0.0.1");
}

quint16 MosquittoBroker::port() const
{
    return m_port;
}

QString MosquittoBroker::logPath() const
{
    return m_dir.filePath(QStringLiteral("mosquitto.log"));
}

void MosquittoBroker::setQuiet(bool quiet)
{
    m_quiet = quiet;
}

QString MosquittoBroker::log() const
{
    return QString::fromUtf8(readFrom(logPath()) + readFrom(m_dir.filePath(QStringLiteral("mosquitto.out"))));
}

bool MosquittoBroker::writeConfig()
{
    QByteArray config;
    config += "listener " + QByteArray::number(m_port) + " 127.0.0.1\n";
    config += "persistence false\n";
    // Without it Nagle's algorithm meets delayed ACKs and every small
    // message waits tens of milliseconds.
    config += "set_tcp_nodelay true\n";
    config += "log_dest file " + logPath().toUtf8() + "\n";
    config += m_quiet ? "log_type error\nlog_type warning\nlog_type notice\nlog_type information\n" : "log_type all\n";
    config += m_quiet ? "connection_messages false\n" : "connection_messages true\n";
    // As root, mosquitto would switch to its own user, who cannot read our
    // temporary directory.
    if (::geteuid() == 0)
        config += "user root\n";

    if (m_username.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        const QString passwordFile = m_dir.filePath(QStringLiteral("passwords"));
        QProcess passwd;
        passwd.setProcessChannelMode(QProcess::MergedChannels);
        passwd.start(QStringLiteral(MOSQUITTO_PASSWD_EXECUTABLE),
                     { QStringLiteral("-c"), QStringLiteral("-b"), passwordFile, m_username, m_password });
        if (!passwd.waitForFinished(30000) || passwd.exitStatus() != QProcess::NormalExit || passwd.exitCode() != 0) {
            qWarning().noquote() << "mosquitto_passwd failed:" << passwd.readAll();
            return false;
        }
        config += "allow_anonymous false\n";
        config += "password_file " + passwordFile.toUtf8() + "\n";
    }

    QFile file(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(config) == config.size();
}

bool MosquittoBroker::launch()
{
    const qint64 logOffset = QFile(logPath()).size();
    m_process.setProgram(QStringLiteral(MOSQUITTO_EXECUTABLE));
    m_process.setArguments({ QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf")) });
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("mosquitto.out")), QIODevice::Append);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return false;
    return waitUntilReady(logOffset);
}

bool MosquittoBroker::waitUntilReady(qint64 logOffset)
{
    const QDeadlineTimer deadline(ReadyTimeoutMs);
    while (!deadline.hasExpired()) {
        // Exits at once when its port is taken.
        if (m_process.state() != QProcess::Running)
            return false;
        // "running" is logged once the listener is open; it tells our
        // broker apart from anything else that may answer on the port.
        if (readFrom(logPath(), logOffset).contains(" running")) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(1000)) {
                probe.abort();
                return true;
            }
        }
        QThread::msleep(20);
    }
    return false;
}

quint16 MosquittoBroker::findFreePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

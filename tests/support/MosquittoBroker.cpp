#include "MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtDebug>

#include <csignal>
#include <unistd.h>

namespace {

QByteArray readFrom(const QString &path, qint64 offset = 0)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.seek(offset) ? file.readAll() : QByteArray();
}

} // namespace

bool MosquittoBroker::start()
{
    stop();
    // A free port may be taken by someone else before mosquitto binds it.
    for (int attempt = 0; m_dir.isValid() && attempt < 5; ++attempt) {
        QTcpServer probe;
        m_port = probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
        probe.close();
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
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (launch())
            return true;
        stop();
        QThread::msleep(250);
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
}

void MosquittoBroker::suspend()
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void MosquittoBroker::resume()
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), SIGCONT);
}

QString MosquittoBroker::log() const
{
    return QString::fromUtf8(readFrom(logPath()) + readFrom(m_dir.filePath(QStringLiteral("mosquitto.out"))));
}

bool MosquittoBroker::writeConfig()
{
    QByteArray config = "listener " + QByteArray::number(m_port) + " 127.0.0.1\npersistence false\n"
        // Without it Nagle's algorithm meets delayed ACKs and every small
        // message waits tens of milliseconds.
        + "set_tcp_nodelay true\nlog_dest file " + logPath().toUtf8() + "\n"
        + (m_quiet ? "log_type error\nlog_type warning\nlog_type notice\nlog_type information\n"
                     "connection_messages false\n"
                   : "log_type all\nconnection_messages true\n");
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
        config += "allow_anonymous false\npassword_file " + passwordFile.toUtf8() + "\n";
    }
    QFile file(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(config) == config.size();
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
    // It exits at once when its port is taken. "running" is logged once the
    // listener is open: it tells our broker apart from anything else that
    // may answer on the port.
    for (const QDeadlineTimer deadline(20000); !deadline.hasExpired() && m_process.state() == QProcess::Running;
         QThread::msleep(20)) {
        if (readFrom(logPath(), logOffset).contains(" running")) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(1000))
                return true;
        }
    }
    return false;
}

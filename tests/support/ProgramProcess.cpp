#include "ProgramProcess.h"

#include "MqttPeer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

static QByteArray elfMachine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray header = file.read(20);
    return header.startsWith("\x7f" "ELF") ? header.mid(18, 2) : QByteArray();
}

QStringList ProgramProcess::command(const QString &program)
{
    const QString emulator = QStringLiteral(LTXG_EMULATOR);
    const QByteArray machine = elfMachine(program);
    const bool native = emulator.isEmpty() || machine.isEmpty() || machine != elfMachine(QCoreApplication::applicationFilePath());
    return native ? QStringList{program} : QStringList{emulator, program};
}

void ProgramProcess::start(QProcess &process, const QString &program, const QStringList &arguments)
{
    const QStringList line = command(program);
    process.start(line.first(), line.mid(1) + arguments);
}

ProgramProcess::ProgramProcess(const QString &program)
    : m_command(command(program))
{
    m_process.setProgram(m_command.takeFirst());
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process, [this] { read(); });
}

bool ProgramProcess::writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

bool ProgramProcess::start(const QString &workingDirectory, const QStringList &arguments)
{
    m_lines.clear();
    m_partial.clear();
    m_process.setWorkingDirectory(workingDirectory);
    m_process.setArguments(m_command + arguments);
    m_process.start();
    return m_process.waitForStarted(10000);
}

void ProgramProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000))
        kill();
    read();
}

void ProgramProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(10000);
}

qint64 ProgramProcess::residentKb() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
    if (!isRunning() || !status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

int ProgramProcess::findLine(const QString &text, int from) const
{
    const auto it = std::find_if(m_lines.begin() + qBound(0, from, int(m_lines.size())), m_lines.end(),
                                 [&](const QString &line) { return line.contains(text); });
    return it == m_lines.end() ? -1 : int(it - m_lines.begin());
}

int ProgramProcess::waitForLine(const QString &text, int from, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (findLine(text, from) < 0 && !deadline.hasExpired() && isRunning())
        QTest::qWait(50);
    read(); // lines written just before the program ended are still in the pipe
    return findLine(text, from);
}

bool ProgramProcess::publishUntil(MqttPeer &peer, const QString &topic, const QByteArray &payload, const QString &line)
{
    const int from = m_lines.size();
    const QDeadlineTimer deadline(Long);
    while (!deadline.hasExpired() && isRunning()) {
        peer.publish(topic, payload);
        if (waitForLine(line, from, 500) >= 0)
            return true;
    }
    return false;
}

QString ProgramProcess::output() const
{
    const QString end = m_process.state() != QProcess::NotRunning ? QString()
        : QStringLiteral("\n[%1, exit code %2]").arg(m_process.exitStatus() == QProcess::CrashExit ? "crashed" : "exited").arg(m_process.exitCode());
    return m_lines.mid(m_lines.size() - 40).join(QLatin1Char('\n')) + QLatin1Char('\n') + QString::fromUtf8(m_partial) + end;
}

void ProgramProcess::read()
{
    m_partial += m_process.readAllStandardError();
    int end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromUtf8(m_partial.left(end)));
        m_partial.remove(0, end + 1);
    }
}

#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class MqttPeer;

// The real program as a child process, run in a directory of its own (its
// settings and serial-number files), with its standard error kept line by
// line for waiting on log lines. The destructor stops it.
class ProgramProcess
{
public:
    static constexpr int Long = 30000; // generous: a loaded 2-core machine

    explicit ProgramProcess(const QString &program);
    ~ProgramProcess() { stop(); }
    ProgramProcess(const ProgramProcess &) = delete;
    ProgramProcess &operator=(const ProgramProcess &) = delete;

    // The command line that starts `program`: in a cross build's tests (user-mode
    // emulation without binfmt_misc), one built for the target runs in the emulator.
    static QStringList command(const QString &program);
    // Starts `program` in `process` by that command line.
    static void start(QProcess &process, const QString &program, const QStringList &arguments);
#ifdef LTXG_SIMULATOR
    // The device-service simulator on a broker, without its console.
    static bool startSimulator(QProcess &process, const QString &host, quint16 port, const QStringList &more = {})
    {
        start(process, QStringLiteral(LTXG_SIMULATOR),
              QStringList{QStringLiteral("--host"), host, QStringLiteral("--port"), QString::number(port),
                          QStringLiteral("--no-console")} + more);
        return process.waitForStarted(10000);
    }
#endif
    static bool writeFile(const QString &path, const QByteArray &contents);

    void setEnvironment(const QProcessEnvironment &environment) { m_process.setProcessEnvironment(environment); }
    bool start(const QString &workingDirectory, const QStringList &arguments);
    void stop(); // SIGTERM, then SIGKILL if it lingers
    void kill(); // SIGKILL at once, then reaped
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    qint64 residentKb() const; // VmRSS, or -1

    const QStringList &lines() const { return m_lines; }
    // Index of the first line at or after `from` that contains `text`, or -1.
    int findLine(const QString &text, int from = 0) const;
    // The same, waiting for it while the event loop runs.
    int waitForLine(const QString &text, int from = 0, int timeoutMs = Long);
    // Has the peer publish until the program logs `line`: a message sent
    // before the program has (re)subscribed is lost.
    bool publishUntil(MqttPeer &peer, const QString &topic, const QByteArray &payload, const QString &line);
    QString output() const; // the last lines and how it ended, for failure messages

private:
    void read();

    QProcess m_process;
    QStringList m_command;
    QStringList m_lines;
    QByteArray m_partial;
};

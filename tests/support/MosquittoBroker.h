#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real mosquitto broker for one test on a free port of 127.0.0.1, with its
// configuration and log in a temporary directory. start() and restart() block
// until it accepts TCP connections; the destructor stops it.
class MosquittoBroker
{
public:
    ~MosquittoBroker() { stop(); }

    // Before start(): only this user is let in (no anonymous clients).
    void setCredentials(const QString &username, const QString &password)
    {
        m_username = username;
        m_password = password;
    }
    // Before start(): no line per message or connection, as on a terminal;
    // tests that read log() need the default, which logs everything.
    void setQuiet(bool quiet) { m_quiet = quiet; }

    bool start();   // on a new free port
    bool restart(); // killed if running, then started again on the same port
    void stop();    // killed at once (no goodbye to the clients), then reaped

    // Freeze and thaw the process (SIGSTOP / SIGCONT): a broker that hangs
    // with its sockets open.
    void suspend();
    void resume();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString logPath() const { return m_dir.filePath(QStringLiteral("mosquitto.log")); }
    QString log() const; // the broker's log and its own output, for failure messages

private:
    bool writeConfig();
    bool launch();

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_username;
    QString m_password;
    bool m_quiet = false;
};

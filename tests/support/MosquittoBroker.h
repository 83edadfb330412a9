#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

/*
 * A real mosquitto broker for one test, listening on 127.0.0.1 on a free
 * port, with its configuration and log in a temporary directory.
 *
 *     MosquittoBroker broker;
 *     QVERIFY2(broker.start(), qPrintable(broker.log()));
 *
 * start() and restart() block until the broker accepts TCP connections.
 * The destructor stops it.
 */
class MosquittoBroker
{
public:
    MosquittoBroker();
    ~MosquittoBroker();

    MosquittoBroker(const MosquittoBroker &) = delete;
    MosquittoBroker &operator=(const MosquittoBroker &) = delete;

    // Before start(): only this user is let in (no anonymous clients).
    void setCredentials(const QString &username, const QString &password);
    // Before start(): log errors and warnings only, as a terminal's broker
    // does; tests that read log() need the default, every message.
    void setQuiet(bool quiet);

    bool start();   // on a new free port
    bool restart(); // killed if running, then started again on the same port
    void stop();    // killed at once (no goodbye to the clients), then reaped
    bool isRunning() const;

    // Freeze and thaw the process (SIGSTOP / SIGCONT): a broker that hangs
    // with its sockets open.
    void suspend();
    void resume();

    QString host() const;
    quint16 port() const;
    QString logPath() const;
    QString log() const; // the broker's log and its own output, for failure messages

private:
    bool writeConfig();
    bool launch();
    bool waitUntilReady(qint64 logOffset);
    static quint16 findFreePort();

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_username;
    QString m_password;
    bool m_quiet = false;
    bool m_suspended = false;
};

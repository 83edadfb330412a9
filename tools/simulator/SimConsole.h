#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

/*
 * Reads commands from standard input, one per line, without blocking the
 * event loop. At the end of the input the console closes; the simulator goes
 * on (it may run detached from a terminal).
 */
class SimConsole : public QObject
{
    Q_OBJECT

public:
    explicit SimConsole(QObject *parent = nullptr);

Q_SIGNALS:
    void commandEntered(const QString &line);
    void closed();

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_buffer;
};

#include "SimConsole.h"

#include <QSocketNotifier>
#include <QString>

#include <cerrno>
#include <unistd.h>

SimConsole::SimConsole(QObject *parent)
    : QObject(parent)
    , m_notifier(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &SimConsole::onReadable);
}

void SimConsole::onReadable()
{
    char chunk[1024];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        m_notifier->setEnabled(false);
        if (!m_buffer.trimmed().isEmpty())
            Q_EMIT commandEntered(QString::fromUtf8(m_buffer).trimmed());
        m_buffer.clear();
        Q_EMIT closed();
        return;
    }
    m_buffer.append(chunk, int(n));
    int end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_buffer.left(end)).trimmed();
        m_buffer.remove(0, end + 1);
        Q_EMIT commandEntered(line);
    }
}

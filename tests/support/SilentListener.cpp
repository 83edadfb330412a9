#include "SilentListener.h"

#include <QHostAddress>
#include <QTcpSocket>

SilentListener::SilentListener()
{
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        // The sockets stay children of the server, open and unread.
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            Q_UNUSED(socket)
            ++m_accepted;
        }
    });
}

SilentListener::~SilentListener() = default;

bool SilentListener::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString SilentListener::host() const
{
    return QStringLiteral("127.0.0.1");
}

quint16 SilentListener::port() const
{
    return m_server.serverPort();
}

int SilentListener::acceptedCount() const
{
    return m_accepted;
}

#pragma once

#include <QTcpServer>
#include <QTcpSocket>

/*
 * Accepts TCP connections on 127.0.0.1 and never answers: a broker that
 * hangs before CONNACK. Connections are counted (from the Qt event loop) and
 * kept open, unread, as children of the server until it is destroyed.
 */
class SilentListener
{
public:
    SilentListener()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (m_server.nextPendingConnection())
                ++m_accepted;
        });
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); } // on a free port
    quint16 port() const { return m_server.serverPort(); }
    int acceptedCount() const { return m_accepted; }

private:
    QTcpServer m_server;
    int m_accepted = 0;
};

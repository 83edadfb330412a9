#pragma once

#include <QString>
#include <QTcpServer>

/*
 * Accepts TCP connections on 127.0.0.1 and never answers: a broker that
 * hangs before CONNACK. Connections are counted (from the Qt event loop) and
 * kept open until the listener is destroyed.
 */
class SilentListener
{
public:
    SilentListener();
    ~SilentListener();

    SilentListener(const SilentListener &) = delete;
    SilentListener &operator=(const SilentListener &) = delete;

    bool listen(); // on a free port
    QString host() const;
    quint16 port() const;
    int acceptedCount() const;

private:
    QTcpServer m_server;
    int m_accepted = 0;
};

#pragma once

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>

// Pointer input for a program that draws on Qt's VNC platform (headless like
// the offscreen one, but it takes input from its clients): a minimal blocking
// RFB 3.3 client without authentication.
class VncPointer
{
public:
    // Retries until the server listens (it starts with the program's
    // application object), then completes the handshake.
    bool connectToServer(quint16 port, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            m_socket.connectToHost(QHostAddress::LocalHost, port);
            if (m_socket.waitForConnected(5000))
                break;
            m_socket.abort();
            if (deadline.hasExpired())
                return false;
            QThread::msleep(100);
        }
        // Version 3.3: the server picks the security type, Qt's none (1).
        // The client shares the screen; the server describes it, name last.
        QByteArray version, security, init, name;
        return read(12, &version) && version.startsWith("RFB ") && send("RFB 003.003\n") && read(4, &security)
            && qFromBigEndian<quint32>(security.constData()) == 1 && send(QByteArray(1, 1)) && read(24, &init)
            && read(int(qFromBigEndian<quint32>(init.constData() + 20)), &name);
    }

    // Moves there, presses and releases the left button.
    bool tap(int x, int y)
    {
        for (const char buttons : {0, 1, 0}) {
            QByteArray event(6, '\0');
            event[0] = 5; // pointer event
            event[1] = buttons;
            qToBigEndian<quint16>(quint16(x), event.data() + 2);
            qToBigEndian<quint16>(quint16(y), event.data() + 4);
            if (!send(event))
                return false;
        }
        return true;
    }

private:
    bool read(int size, QByteArray *data)
    {
        data->clear();
        while (data->size() < size) {
            if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(5000))
                return false;
            data->append(m_socket.read(size - data->size()));
        }
        return true;
    }

    bool send(const QByteArray &data)
    {
        if (m_socket.write(data) != data.size())
            return false;
        while (m_socket.bytesToWrite() > 0) {
            if (!m_socket.waitForBytesWritten(5000))
                return false;
        }
        return true;
    }

    QTcpSocket m_socket;
};

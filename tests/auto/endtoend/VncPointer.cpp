#include "VncPointer.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QThread>
#include <QtEndian>

namespace {

const int StepMs = 5000;
const char ProtocolVersion[] = "RFB 003.003\n";
const quint32 SecurityNone = 1;
const quint8 PointerEventMessage = 5;
const int LeftButton = 1;

} // namespace

bool VncPointer::connectToServer(quint16 port, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        if (m_socket.waitForConnected(StepMs))
            break;
        m_socket.abort();
        if (deadline.hasExpired())
            return fail(QStringLiteral("no VNC server on port %1").arg(port));
        QThread::msleep(100);
    }

    QByteArray version;
    if (!read(12, &version) || !version.startsWith("RFB "))
        return fail(QStringLiteral("not an RFB server: %1").arg(QString::fromLatin1(version.toHex())));
    // Version 3.3: the server picks the security type, and Qt's picks none.
    if (!send(QByteArray(ProtocolVersion, 12)))
        return false;
    QByteArray security;
    if (!read(4, &security) || qFromBigEndian<quint32>(security.constData()) != SecurityNone)
        return fail(QStringLiteral("server wants authentication: %1").arg(QString::fromLatin1(security.toHex())));

    QByteArray init; // size, pixel format, length of the name
    if (!send(QByteArray(1, char(1))) || !read(24, &init)) // shared: other clients may stay
        return false;
    m_width = qFromBigEndian<quint16>(init.constData());
    m_height = qFromBigEndian<quint16>(init.constData() + 2);
    QByteArray name;
    return read(int(qFromBigEndian<quint32>(init.constData() + 20)), &name);
}

bool VncPointer::tap(int x, int y)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return fail(QStringLiteral("(%1, %2) is outside the %3x%4 screen").arg(x).arg(y).arg(m_width).arg(m_height));
    for (const int buttons : {0, LeftButton, 0}) {
        QByteArray message(6, '\0');
        message[0] = char(PointerEventMessage);
        message[1] = char(buttons);
        qToBigEndian<quint16>(quint16(x), message.data() + 2);
        qToBigEndian<quint16>(quint16(y), message.data() + 4);
        if (!send(message))
            return false;
    }
    return true;
}

bool VncPointer::read(int size, QByteArray *data)
{
    data->clear();
    while (data->size() < size) {
        if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(StepMs))
            return fail(QStringLiteral("VNC server silent: %1").arg(m_socket.errorString()));
        data->append(m_socket.read(size - data->size()));
    }
    return true;
}

bool VncPointer::send(const QByteArray &data)
{
    if (m_socket.write(data) != data.size())
        return fail(QStringLiteral("not sent: %1").arg(m_socket.errorString()));
    while (m_socket.bytesToWrite() > 0) {
        if (!m_socket.waitForBytesWritten(StepMs))
            return fail(QStringLiteral("not sent: %1").arg(m_socket.errorString()));
    }
    return true;
}

bool VncPointer::fail(const QString &error)
{
    m_error = error;
    return false;
}

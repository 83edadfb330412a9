#pragma once

#include <QByteArray>
#include <QString>
#include <QTcpSocket>

/*
 * Pointer input for a program of its own process that draws on Qt's VNC
 * platform (QT_QPA_PLATFORM=vnc:size=<w>x<h>:port=<n>), which runs headless
 * like the offscreen platform but takes input from its clients. A minimal
 * RFB 3.3 client without authentication: the server hands each pointer event
 * to the window under the pointer as ordinary mouse input.
 *
 *     VncPointer pointer;
 *     QVERIFY2(pointer.connectToServer(port, 30000), qPrintable(pointer.errorString()));
 *     QVERIFY(pointer.tap(512, 400));
 *
 * Blocking: the calls do not run the caller's event loop.
 */
class VncPointer
{
public:
    // Retries until the server listens (it starts with the program's
    // application object), then completes the handshake.
    bool connectToServer(quint16 port, int timeoutMs);
    // Moves there, presses and releases the left button.
    bool tap(int x, int y);
    QString errorString() const { return m_error; }

private:
    bool read(int size, QByteArray *data);
    bool send(const QByteArray &data);
    bool fail(const QString &error);

    QTcpSocket m_socket;
    QString m_error;
    int m_width = 0;
    int m_height = 0;
};

#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QWindow>

#include <cstdio>
#include <memory>

// Start-up measurements: with the environment variable
// LTXG_FIRST_FRAME_MARKER set, the first frame the first Qt Quick window puts
// on screen writes the variable's value as one line on standard error. Unset,
// nothing is connected. Header only, so that the bare window the start-up
// benchmark compares with reports the same way without linking the program.
class FirstFrameMarker
{
public:
    // After the window exists, before the event loop runs.
    static void install()
    {
        const QByteArray marker = qgetenv("LTXG_FIRST_FRAME_MARKER");
        if (marker.isEmpty())
            return;
        const QWindowList windows = QGuiApplication::topLevelWindows();
        for (QWindow *window : windows) {
            auto *quick = qobject_cast<QQuickWindow *>(window);
            if (!quick)
                continue;
            auto connection = std::make_shared<QMetaObject::Connection>();
            // Direct: a threaded render loop swaps on its own thread.
            *connection = QObject::connect(
                quick, &QQuickWindow::frameSwapped, quick,
                [marker, connection] {
                    QObject::disconnect(*connection);
                    std::fprintf(stderr, "%s\n", marker.constData());
                    std::fflush(stderr);
                },
                Qt::DirectConnection);
            return;
        }
    }
};

// Saves the whole X screen named by DISPLAY as a PNG: the demo uses it to
// keep pictures of a UI that runs on a virtual display.
//
//   ltxg-screengrab OUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ltxg-screengrab OUT.png\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "ltxg-screengrab: could not grab the screen into %s\n", argv[1]);
        return 1;
    }
    return 0;
}

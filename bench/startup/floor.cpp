// The least a Qt Quick Controls 2 program does before its first frame: the
// floor of the start-up benchmark.
#include "FirstFrameMarker.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QUrl>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Material"));
    QQmlApplicationEngine engine;
    engine.load(QUrl(QStringLiteral("qrc:/floor/Floor.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    FirstFrameMarker::install();
    return app.exec();
}

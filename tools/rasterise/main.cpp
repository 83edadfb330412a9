// Draws an SVG picture into a PNG file at build time, so that the passenger
// screens show their pictures without loading Qt's SVG support (and QtWidgets
// behind it) when the program starts.
//
//   ltxg-rasterise INPUT.svg OUTPUT.png SIDE
//
// SIDE is the longer side of the PNG in pixels; the picture keeps its aspect.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    // Text in a picture needs the fonts, hence a GUI application.
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    bool ok = false;
    const int side = arguments.size() == 4 ? arguments.at(3).toInt(&ok) : 0;
    if (!ok || side <= 0) {
        std::fprintf(stderr, "usage: ltxg-rasterise INPUT.svg OUTPUT.png SIDE\n");
        return 2;
    }

    QSvgRenderer renderer(arguments.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "ltxg-rasterise: cannot read %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    QSize size = renderer.defaultSize();
    size.scale(side, side, Qt::KeepAspectRatio);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!image.save(arguments.at(2), "PNG")) {
        std::fprintf(stderr, "ltxg-rasterise: cannot write %s\n", qPrintable(arguments.at(2)));
        return 1;
    }
    return 0;
}

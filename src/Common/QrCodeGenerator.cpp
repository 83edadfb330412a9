#include "QrCodeGenerator.h"

#include <QDebug>
#include <QStringList>

QString QrCodeGenerator::toSvgString(const qrcodegen::QrCode &qr, int border)
{
    border = qMax(border, 0);
    const int size = qr.getSize();
    const QString width = QString::number(size + 2 * border);

    QStringList modules;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (qr.getModule(x, y))
                modules << QStringLiteral("M%1,%2h1v1h-1z").arg(x + border).arg(y + border);
        }
    }

    QString svg;
    svg += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    svg += QLatin1String("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                         "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n");
    svg += QLatin1String("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 ") + width
        + QLatin1Char(' ') + width + QLatin1String("\" stroke=\"none\">\n");
    svg += QLatin1String("\t<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>\n");
    svg += QLatin1String("\t<path d=\"") + modules.join(QLatin1Char(' ')) + QLatin1String("\" fill=\"#000000\"/>\n");
    svg += QLatin1String("</svg>\n");
    return svg;
}

QString QrCodeGenerator::generateSvgQr(const QString &text, int border, qrcodegen::QrCode::Ecc ecc)
{
    // The library reports an oversized text by throwing; keep that from
    // reaching the event loop.
    try {
        const qrcodegen::QrCode qr = qrcodegen::QrCode::encodeText(text.toUtf8().constData(), ecc);
        return toSvgString(qr, border);
    } catch (const qrcodegen::data_too_long &error) {
        qCritical().noquote().nospace() << "[QrCodeGenerator] ERROR: Could not encode QR code : " << error.what();
    }
    return QString();
}

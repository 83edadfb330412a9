#pragma once

#include <QString>

#include <qrcodegen/qrcodegen.hpp>

// Renders QR codes as SVG text, in the layout of the qrcodegen library's own
// SVG example, so that QML can show them as an image source.
class QrCodeGenerator
{
public:
    // The symbol as an SVG document with a quiet zone of border modules
    // (a negative border counts as none).
    static QString toSvgString(const qrcodegen::QrCode &qr, int border);

    // Encodes the UTF-8 form of text in the smallest version that fits and
    // renders it; an empty string when the text does not fit any version.
    static QString generateSvgQr(const QString &text, int border, qrcodegen::QrCode::Ecc ecc);
};

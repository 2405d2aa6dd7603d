#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// Tile colours the tests tell apart, and the canvas background.
namespace testcolors {
inline const QColor kRed(220, 30, 30);
inline const QColor kGreen(30, 200, 60);
inline const QColor kBlue(30, 40, 220);
inline const QColor kBackground(128, 128, 128);
}  // namespace testcolors

// Writes a picture of one colour (or of a pattern) to `path` in the given format; true on success.
inline bool writeSolidImage(const QString& path, const QColor& color, QSize size = QSize(400, 300),
                            const char* format = "JPG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image.save(path, format, 95);
}

// Whether two colours agree within `tolerance` per channel (JPEG is lossy).
inline bool near(QRgb actual, const QColor& expected, int tolerance = 10)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance
        && std::abs(qGreen(actual) - expected.green()) <= tolerance
        && std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

#pragma once

#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>

#include <turbojpeg.h>

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

// A PNG whose left third is clear, the middle third red at half opacity and the rest opaque blue.
inline bool writeClearBandPng(const QString& path, QSize size = QSize(400, 300))
{
    using namespace testcolors;
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, x < size.width() / 3          ? qRgba(0, 0, 0, 0)
                                 : x < 2 * size.width() / 3 ? qRgba(kRed.red(), kRed.green(), kRed.blue(), 128)
                                                            : kBlue.rgb());
    return image.save(path, "PNG");
}

// What that half-clear red shows over `under`.
inline QColor halfRedOver(const QColor& under)
{
    using namespace testcolors;
    const auto over = [](int top, int below) { return (top * 128 + below * 127) / 255; };
    return QColor(over(kRed.red(), under.red()), over(kRed.green(), under.green()), over(kRed.blue(), under.blue()));
}

// A flat colour as a 1-bit palette PNG, as ImageMagick writes one.
inline bool writeMonoPng(const QString& path, const QColor& color, QSize size = QSize(400, 300))
{
    QImage image(size, QImage::Format_Mono);
    image.setColorTable({color.rgb(), qRgb(255, 255, 255)});
    image.fill(0);
    return image.save(path, "PNG");
}

// A flat colour as a CMYK JPEG with inverted inks, as paint programs export one.
inline bool writeCmykJpeg(const QString& path, const QColor& color, QSize size = QSize(400, 300))
{
    QByteArray inks(qsizetype(size.width()) * size.height() * 4, char(255));
    for (qsizetype i = 0; i < inks.size(); i += 4) {
        inks[i] = char(color.red());
        inks[i + 1] = char(color.green());
        inks[i + 2] = char(color.blue());
    }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long length = 0;
    const bool ok = tjCompress2(tj, reinterpret_cast<const unsigned char*>(inks.constData()), size.width(), 0,
                                size.height(), TJPF_CMYK, &out, &length, TJSAMP_444, 95, 0)
        == 0;
    QFile file(path);
    const bool written = ok && file.open(QIODevice::WriteOnly)
        && file.write(reinterpret_cast<const char*>(out), static_cast<qint64>(length)) == qint64(length);
    tjFree(out);
    tjDestroy(tj);
    return written;
}

// Whether two colours agree within `tolerance` per channel (JPEG is lossy).
inline bool near(QRgb actual, const QColor& expected, int tolerance = 10)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance
        && std::abs(qGreen(actual) - expected.green()) <= tolerance
        && std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

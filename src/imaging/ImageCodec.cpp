#include "imaging/ImageCodec.h"

#include "imaging/TurboJpeg.h"

#include <QBuffer>
#include <QImageReader>

#include <memory>

namespace tessera {
namespace {

QImage finish(const QImage& decoded, QSize size)
{
    if (decoded.isNull())
        return {};
    // Qt scales 1-bit and palette pictures without smoothing their colours: widen them first.
    const QImage wide = decoded.depth() >= 32
        ? decoded
        : decoded.convertToFormat(decoded.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QImage scaled = wide.size() == size ? wide : wide.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return scaled.convertToFormat(QImage::Format_RGB32);
}

// CMYK JPEGs store inverted inks (the Adobe convention, as Qt's reader assumes too), so each
// channel is the ink value times the black value.
void cmykToRgb(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            uchar* p = line + 4 * x;
            const int k = p[3];
            reinterpret_cast<QRgb*>(line)[x] = qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
        }
    }
}

QImage decodeJpeg(QByteArrayView bytes, QSize size)
{
    TjHandle& handle = decompressor();
    tjhandle tj = handle.handle;
    if (!tj)
        return {};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto length = static_cast<unsigned long>(bytes.size());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(tj, data, length, &width, &height, &subsampling, &colorspace) != 0) {
        handle.renew();
        return {};
    }
    if (width <= 0 || height <= 0 || static_cast<qint64>(width) * height > kMaxTilePixels)
        return {};
    // The smallest scaling factor whose result still covers the tile size.
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    int bestWidth = width, bestHeight = height;
    for (int i = 0; i < count; ++i) {
        const int w = TJSCALED(width, factors[i]);
        const int h = TJSCALED(height, factors[i]);
        if (w >= size.width() && h >= size.height() && static_cast<qint64>(w) * h < static_cast<qint64>(bestWidth) * bestHeight) {
            bestWidth = w;
            bestHeight = h;
        }
    }
    QImage decoded(bestWidth, bestHeight, QImage::Format_RGB32);
    if (decoded.isNull())
        return {};
    // libjpeg does not turn CMYK into RGB: take the inks and convert them here.
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    if (tjDecompress2(tj, data, length, decoded.bits(), bestWidth, static_cast<int>(decoded.bytesPerLine()),
                      bestHeight, cmyk ? TJPF_CMYK : TJPF_BGRX, TJFLAG_STOPONWARNING)
        != 0) {
        handle.renew();
        return {};  // broken or truncated data draws nothing
    }
    if (cmyk)
        cmykToRgb(decoded);
    return finish(decoded, size);
}

QImage decodeOther(QByteArrayView bytes, QSize size)
{
    QByteArray copy = bytes.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (!full.isValid() || static_cast<qint64>(full.width()) * full.height() > kMaxTilePixels)
        return {};
    return finish(reader.read(), size);
}

}  // namespace

QImage decodeTileImage(QByteArrayView bytes, QSize size)
{
    if (bytes.isEmpty() || size.isEmpty())
        return {};
    return isJpeg(bytes) ? decodeJpeg(bytes, size) : decodeOther(bytes, size);
}

QByteArray encodeJpeg(const QImage& image, int quality)
{
    if (image.isNull())
        return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    tjhandle tj = tjInitCompress();
    if (!tj)
        return {};
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int failed = tjCompress2(tj, rgb.constBits(), rgb.width(), static_cast<int>(rgb.bytesPerLine()),
                                   rgb.height(), TJPF_BGRX, &out, &size, TJSAMP_420, quality, 0);
    QByteArray bytes;
    if (!failed && out)
        bytes = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

}  // namespace tessera

#include "imaging/ImageCodec.h"

#include "imaging/MemoryBudget.h"
#include "imaging/TurboJpeg.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <memory>

namespace tessera {
namespace {

QImage finish(QImage decoded, QSize size)
{
    if (decoded.isNull())
        return {};
    // Qt scales 1-bit and palette pictures without smoothing their colours: widen them first.
    if (decoded.depth() < 32)
        decoded = decoded.convertToFormat(decoded.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                    : QImage::Format_RGB32);
    // Smooth scaling works on premultiplied pixels: convert in place rather than into a copy.
    if (decoded.hasAlphaChannel())
        decoded.convertTo(decoded.depth() > 32 ? QImage::Format_RGBA64_Premultiplied
                                               : QImage::Format_ARGB32_Premultiplied);
    if (decoded.size() != size)
        decoded = decoded.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return decoded.convertToFormat(decoded.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                             : QImage::Format_RGB32);
}

qint64 ceilDiv(qint64 a, qint64 b)
{
    return (a + b - 1) / b;
}

// What libjpeg holds of the whole picture while decoding it at any scale: every DCT coefficient
// (64 of 2 bytes a block) of a picture that comes in several scans (progressive, or components
// in scans of their own); nothing for one that is decoded a row of blocks at a time.
qint64 wholePictureCoefficientBytes(QByteArrayView jpeg)
{
    const auto* p = reinterpret_cast<const uchar*>(jpeg.data());
    const qsizetype n = jpeg.size();
    constexpr int kMaxComponents = 10;  // libjpeg's own limit
    int sampling[kMaxComponents][2] = {};
    int components = 0, width = 0, height = 0;
    bool progressive = false;
    for (qsizetype i = 2; i + 4 <= n;) {
        if (p[i] != 0xFF)
            return 0;  // libjpeg reports the broken stream
        const uchar marker = p[i + 1];
        if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            i += marker == 0xFF ? 1 : 2;  // a fill byte, or a marker without a segment
            continue;
        }
        const int length = p[i + 2] << 8 | p[i + 3];
        const uchar* segment = p + i + 4;
        if (length < 2 || i + 2 + length > n)
            return 0;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            components = length >= 8 ? segment[5] : 0;
            if (components < 1 || components > kMaxComponents || length < 8 + 3 * components)
                return 0;
            progressive = (marker & 0x03) == 0x02;
            height = segment[1] << 8 | segment[2];
            width = segment[3] << 8 | segment[4];
            for (int c = 0; c < components; ++c) {
                sampling[c][0] = std::max(1, segment[7 + 3 * c] >> 4);
                sampling[c][1] = std::max(1, segment[7 + 3 * c] & 0x0F);
            }
        } else if (marker == 0xDA) {
            if (components == 0 || length < 3 || (!progressive && segment[0] >= components))
                return 0;
            int hMax = 1, vMax = 1;
            for (int c = 0; c < components; ++c) {
                hMax = std::max(hMax, sampling[c][0]);
                vMax = std::max(vMax, sampling[c][1]);
            }
            qint64 blocks = 0;
            for (int c = 0; c < components; ++c) {
                const int h = sampling[c][0], v = sampling[c][1];
                const qint64 across = ceilDiv(ceilDiv(qint64(width) * h, hMax), 8);
                const qint64 down = ceilDiv(ceilDiv(qint64(height) * v, vMax), 8);
                blocks += ceilDiv(across, h) * h * ceilDiv(down, v) * v;
            }
            return blocks * 64 * 2;
        }
        i += 2 + length;
    }
    return 0;
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
    const MemoryBudget::Lease lease =
        tileDecodeBudget().take(wholePictureCoefficientBytes(bytes) + qint64(bestWidth) * bestHeight * 4);
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
    return finish(std::move(decoded), size);
}

}  // namespace

void admitLargePictures()
{
    // The decode budget bounds what tiles hold, not Qt's limit.
    static const bool admitted = [] {
        const int megabytes = static_cast<int>(kMaxTilePixels * 8 / (1024 * 1024));
        if (QImageReader::allocationLimit() > 0 && QImageReader::allocationLimit() < megabytes)
            QImageReader::setAllocationLimit(megabytes);
        return true;
    }();
    Q_UNUSED(admitted);
}

namespace {

QImage decodeOther(QByteArrayView bytes, QSize size)
{
    admitLargePictures();
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    const qint64 pixels = static_cast<qint64>(full.width()) * full.height();
    if (!full.isValid() || pixels > kMaxTilePixels)
        return {};
    // The picture at full size, and once more at 4 bytes a pixel if `finish` must widen it.
    const QImage::Format format = reader.imageFormat();
    const int bits = format == QImage::Format_Invalid ? 64 : QImage::toPixelFormat(format).bitsPerPixel();
    const MemoryBudget::Lease lease = tileDecodeBudget().take(pixels * bits / 8 + (bits < 32 ? pixels * 4 : 0));
    return finish(reader.read(), size);
}

}  // namespace

QImage decodeTileImage(QByteArrayView bytes, QSize size)
{
    if (bytes.isEmpty() || size.isEmpty())
        return {};
    return isJpeg(bytes) ? decodeJpeg(bytes, size) : decodeOther(bytes, size);
}

namespace {

// Takes what TurboJPEG wrote (or nothing, on failure).
QByteArray takeJpeg(int failed, unsigned char* out, unsigned long size)
{
    QByteArray bytes;
    if (!failed && out)
        bytes = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    tjFree(out);
    return bytes;
}

}  // namespace

QByteArray encodeJpegPlanes(const unsigned char* const planes[3], const int strides[3], QSize size, int quality)
{
    if (size.isEmpty() || !compressor().handle)
        return {};
    unsigned char* out = nullptr;
    unsigned long bytes = 0;
    const unsigned char* source[3] = {planes[0], planes[1], planes[2]};
    const int failed = tjCompressFromYUVPlanes(compressor().handle, source, size.width(), strides, size.height(),
                                               TJSAMP_420, &out, &bytes, quality, 0);
    return takeJpeg(failed, out, bytes);
}

QByteArray encodeJpeg(const QImage& image, int quality)
{
    if (image.isNull() || !compressor().handle)
        return {};
    // Packed RGB as it is (a band's pixels, wrapped without a copy); anything else as 32-bit.
    const bool packed = image.format() == QImage::Format_RGB888;
    const QImage source = packed ? image : image.convertToFormat(QImage::Format_RGB32);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int failed = tjCompress2(compressor().handle, source.constBits(), source.width(),
                                   static_cast<int>(source.bytesPerLine()), source.height(),
                                   packed ? TJPF_RGB : TJPF_BGRX, &out, &size, TJSAMP_420, quality, 0);
    return takeJpeg(failed, out, size);
}

}  // namespace tessera

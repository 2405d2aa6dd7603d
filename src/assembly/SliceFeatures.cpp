#include "assembly/SliceFeatures.h"

#include "imaging/ImageCodec.h"
#include "imaging/TurboJpeg.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace tessera {
namespace {

struct JpegHeader {
    int width = 0;
    int height = 0;
    bool cmyk = false;
};

bool readJpegHeader(QByteArrayView bytes, JpegHeader& header, qint64 maxPixels)
{
    TjHandle& handle = decompressor();
    if (!handle.handle)
        return false;
    int subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.handle, reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<unsigned long>(bytes.size()), &header.width, &header.height, &subsampling,
                            &colorspace)
        != 0) {
        handle.renew();
        return false;
    }
    header.cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    return header.width > 0 && header.height > 0 && static_cast<qint64>(header.width) * header.height <= maxPixels;
}

// Decodes to RGB at the scaling factor `factor`; CMYK pictures are refused (slices and references
// are photographs in RGB).
bool decodeJpegScaled(QByteArrayView bytes, const JpegHeader& header, tjscalingfactor factor, ReducedPicture& out)
{
    if (header.cmyk)
        return false;
    const int w = TJSCALED(header.width, factor), h = TJSCALED(header.height, factor);
    out.full = QSize(header.width, header.height);
    out.size = QSize(w, h);
    out.stepX = out.stepY = static_cast<double>(factor.denom) / factor.num;
    out.rgb.assign(static_cast<std::size_t>(w) * h * 3, 0);
    TjHandle& handle = decompressor();
    if (tjDecompress2(handle.handle, reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<unsigned long>(bytes.size()), out.rgb.data(), w, w * 3, h, TJPF_RGB,
                      TJFLAG_STOPONWARNING)
        != 0) {
        handle.renew();
        out.rgb.clear();
        return false;
    }
    return true;
}

// The source pixels under [start, end) of one axis: [first, last], each weighted by its overlap.
struct Span {
    int first = 0;
    int last = 0;
    double start = 0;
    double end = 0;
    double step = 1;
    int full = 0;
    double weight(int i) const
    {
        const double lo = i * step, hi = std::min<double>((i + 1) * step, full);
        return std::max(0.0, std::min(hi, end) - std::max(lo, start));
    }
};

Span spanOf(double start, double end, double step, int count, int full)
{
    Span span{std::clamp(static_cast<int>(std::floor(start / step)), 0, count - 1), 0, start, end, step, full};
    span.last = span.first;
    while (span.last + 1 < count && (span.last + 1) * step < end)
        ++span.last;
    // A rectangle before the picture takes its first pixel whole.
    if (span.first * step >= end) {
        span.start = span.first * step;
        span.end = std::min<double>((span.first + 1) * step, full);
    }
    return span;
}

// [1 2 1] along one axis of channel `c` (edges repeated): `count` values `step` apart, in `lines`
// lines `lineStep` apart.
void blurChannel(double* values, int c, int count, int lines, int step, int lineStep)
{
    double line[64];
    for (int l = 0; l < lines; ++l) {
        double* v = values + l * lineStep + c;
        for (int i = 0; i < count; ++i)
            line[i] = v[i * step];
        for (int i = 0; i < count; ++i)
            v[i * step] = (line[std::max(i - 1, 0)] + 2 * line[i] + line[std::min(i + 1, count - 1)]) / 4;
    }
}

// `image`, decoded reduced from a picture of `full` pixels.
ReducedPicture reducedOf(const QImage& decoded, QSize full)
{
    ReducedPicture out;
    if (decoded.isNull())
        return out;
    const QImage image = decoded.convertToFormat(QImage::Format_RGB888);
    const QSize size = image.size();
    out.full = full;
    out.size = size;
    out.stepX = static_cast<double>(full.width()) / size.width();
    out.stepY = static_cast<double>(full.height()) / size.height();
    out.rgb.resize(static_cast<std::size_t>(size.width()) * size.height() * 3);
    for (int y = 0; y < size.height(); ++y)
        std::copy_n(image.constScanLine(y), size.width() * 3, out.rgb.data() + static_cast<std::size_t>(y) * size.width() * 3);
    return out;
}

}  // namespace

QSize pictureSize(QByteArrayView bytes, qint64 maxPixels)
{
    if (isJpeg(bytes)) {
        JpegHeader header;
        return readJpegHeader(bytes, header, maxPixels) && !header.cmyk ? QSize(header.width, header.height) : QSize();
    }
    QByteArray copy = bytes.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "png" && format != "bmp")
        return {};
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || static_cast<qint64>(size.width()) * size.height() > maxPixels)
        return {};
    return size;
}

ReducedPicture decodeReduced(QByteArrayView bytes, QSize minimum, qint64 maxPixels)
{
    ReducedPicture out;
    if (isJpeg(bytes)) {
        JpegHeader header;
        if (!readJpegHeader(bytes, header, maxPixels))
            return out;
        int count = 0;
        const tjscalingfactor* factors = tjGetScalingFactors(&count);
        // The strongest reduction that covers `minimum`; failing that, the weakest one within the
        // memory budget.
        tjscalingfactor covering{0, 0}, largest{0, 0};
        qint64 coveringPixels = 0, largestPixels = 0;
        for (int i = 0; i < count; ++i) {
            const int w = TJSCALED(header.width, factors[i]), h = TJSCALED(header.height, factors[i]);
            const qint64 pixels = static_cast<qint64>(w) * h;
            if (factors[i].num > factors[i].denom || pixels > kMaxReducedPixels)
                continue;
            if (w >= minimum.width() && h >= minimum.height() && (covering.num == 0 || pixels < coveringPixels)) {
                covering = factors[i];
                coveringPixels = pixels;
            }
            if (largest.num == 0 || pixels > largestPixels) {
                largest = factors[i];
                largestPixels = pixels;
            }
        }
        const tjscalingfactor best = covering.num > 0 ? covering : largest;
        if (best.num == 0)
            return out;
        decodeJpegScaled(bytes, header, best, out);
        return out;
    }
    const QSize full = pictureSize(bytes, maxPixels);
    if (!full.isValid())
        return out;
    QByteArray copy = bytes.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    int reduction = std::max(1, std::min(full.width() / std::max(1, minimum.width()),
                                         full.height() / std::max(1, minimum.height())));
    while (static_cast<qint64>(full.width() / reduction) * (full.height() / reduction) > kMaxReducedPixels)
        ++reduction;
    const QSize size((full.width() + reduction - 1) / reduction, (full.height() + reduction - 1) / reduction);
    if (size != full)
        reader.setScaledSize(size);
    const QImage image = reader.read();
    return image.size() == size ? reducedOf(image, full) : out;
}

void averageFeature(const ReducedPicture& picture, const QRectF& rect, Feature& out, Feature* colours)
{
    const double cw = rect.width() / kFeatureColumns, ch = rect.height() / kFeatureRows;
    Span columns[kFeatureColumns];
    for (int k = 0; k < kFeatureColumns; ++k)
        columns[k] = spanOf(rect.left() + k * cw, rect.left() + (k + 1) * cw, picture.stepX, picture.size.width(),
                            picture.full.width());
    // The columns' weights, laid end to end; each line is summed across the columns first, then
    // the lines of each row of feature cells are summed.
    thread_local std::vector<double> weights;
    weights.clear();
    int offsets[kFeatureColumns];
    double columnTotals[kFeatureColumns];
    for (int kx = 0; kx < kFeatureColumns; ++kx) {
        offsets[kx] = static_cast<int>(weights.size());
        columnTotals[kx] = 0;
        for (int x = columns[kx].first; x <= columns[kx].last; ++x) {
            weights.push_back(columns[kx].weight(x));
            columnTotals[kx] += weights.back();
        }
    }
    const int stride = picture.size.width() * 3;
    double plain[kFeatureBytes];
    for (int ky = 0; ky < kFeatureRows; ++ky) {
        const Span rows = spanOf(rect.top() + ky * ch, rect.top() + (ky + 1) * ch, picture.stepY,
                                 picture.size.height(), picture.full.height());
        double* sums = plain + ky * kFeatureColumns * 3;
        std::fill_n(sums, kFeatureColumns * 3, 0.0);
        double rowTotal = 0;
        for (int y = rows.first; y <= rows.last; ++y) {
            const std::uint8_t* line = picture.rgb.data() + static_cast<std::size_t>(y) * stride;
            const double rowWeight = rows.weight(y);
            rowTotal += rowWeight;
            for (int kx = 0; kx < kFeatureColumns; ++kx) {
                const double* w = weights.data() + offsets[kx];
                const std::uint8_t* p = line + columns[kx].first * 3;
                double r = 0, g = 0, b = 0;
                for (int i = 0, n = columns[kx].last - columns[kx].first; i <= n; ++i, p += 3) {
                    r += w[i] * p[0];
                    g += w[i] * p[1];
                    b += w[i] * p[2];
                }
                sums[kx * 3] += rowWeight * r;
                sums[kx * 3 + 1] += rowWeight * g;
                sums[kx * 3 + 2] += rowWeight * b;
            }
        }
        for (int kx = 0; kx < kFeatureColumns; ++kx) {
            const double total = rowTotal * columnTotals[kx];
            for (int c = 0; c < 3; ++c)
                sums[kx * 3 + c] = total > 0 ? sums[kx * 3 + c] / total : 0;
        }
    }
    if (colours)
        for (int i = 0; i < kFeatureBytes; ++i)
            colours->bytes[i] = static_cast<std::uint8_t>(std::clamp(plain[i], 0.0, 255.0) + 0.5);
    // Luma and chroma as JPEG stores them; luma blurred by [1 2 1] across the cells, chroma, which
    // JPEG keeps at half resolution, by [1 4 6 4 1]: what survives the reference's reduction and
    // recompression.
    double ycc[kFeatureBytes];
    for (int i = 0; i < kFeatureColumns * kFeatureRows; ++i) {
        const double r = plain[i * 3], g = plain[i * 3 + 1], b = plain[i * 3 + 2];
        ycc[i * 3] = 0.299 * r + 0.587 * g + 0.114 * b;
        ycc[i * 3 + 1] = 128 - 0.168736 * r - 0.331264 * g + 0.5 * b;
        ycc[i * 3 + 2] = 128 + 0.5 * r - 0.418688 * g - 0.081312 * b;
    }
    for (int c = 0; c < 3; ++c) {
        const int passes = c == 0 ? 1 : 2;
        for (int pass = 0; pass < passes; ++pass) {
            blurChannel(ycc, c, kFeatureColumns, kFeatureRows, 3, kFeatureColumns * 3);
            blurChannel(ycc, c, kFeatureRows, kFeatureColumns, kFeatureColumns * 3, 3);
        }
    }
    for (int i = 0; i < kFeatureBytes; ++i)
        out.bytes[i] = static_cast<std::uint8_t>(std::clamp(ycc[i], 0.0, 255.0) + 0.5);
}

bool sliceFeature(QByteArrayView bytes, QSize& size, Feature& out, Feature* colours)
{
    ReducedPicture picture;
    if (isJpeg(bytes)) {
        JpegHeader header;
        if (!readJpegHeader(bytes, header, kMaxTilePixels) || !decodeJpegScaled(bytes, header, tjscalingfactor{1, 8}, picture))
            return false;
    } else {
        // PNG and BMP through the canvas's decoder, scaled to an eighth as JPEG's are.
        const QSize full = pictureSize(bytes, kMaxTilePixels);
        if (!full.isValid())
            return false;
        picture = reducedOf(decodeTileImage(bytes, QSize((full.width() + 7) / 8, (full.height() + 7) / 8)), full);
        if (picture.isNull())
            return false;
    }
    size = picture.full;
    averageFeature(picture, QRectF(0, 0, size.width(), size.height()), out, colours);
    return true;
}

}  // namespace tessera

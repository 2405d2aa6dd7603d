#include "slicing/ReferenceScaler.h"

#include <algorithm>
#include <cmath>

namespace tessera {
namespace {

int scaledSide(int side, double scale)
{
    return std::max(1, static_cast<int>(std::lround(side * scale)));
}

// Which of `to` parts the index `i` of `from` falls into.
int partOf(qint64 i, int from, int to)
{
    return static_cast<int>(i * to / from);
}

}  // namespace

ReferenceScaler::ReferenceScaler(QSize picture, QSize bound) : picture_(picture)
{
    const double scale = std::min({1.0, double(bound.width()) / picture.width(), double(bound.height()) / picture.height()});
    image_ = QImage(scaledSide(picture.width(), scale), scaledSide(picture.height(), scale), QImage::Format_RGB888);
    columnOf_.resize(static_cast<std::size_t>(picture.width()));
    columnWidth_.assign(static_cast<std::size_t>(image_.width()), 0);
    for (int x = 0; x < picture.width(); ++x) {
        columnOf_[static_cast<std::size_t>(x)] = partOf(x, picture.width(), image_.width());
        ++columnWidth_[static_cast<std::size_t>(columnOf_[static_cast<std::size_t>(x)])];
    }
    sums_.assign(static_cast<std::size_t>(picture.width()) * 3, 0);
}

void ReferenceScaler::addRows(const unsigned char* rows, int count)
{
    const std::size_t stride = static_cast<std::size_t>(picture_.width()) * 3;
    for (int i = 0; i < count; ++i, ++nextPictureRow_) {
        if (partOf(nextPictureRow_, picture_.height(), image_.height()) != row_)
            finishRow();
        const unsigned char* source = rows + static_cast<std::size_t>(i) * stride;
        std::uint32_t* sums = sums_.data();
        for (std::size_t k = 0; k < stride; ++k)
            sums[k] += source[k];
        ++rowsSummed_;
    }
    if (nextPictureRow_ == picture_.height())
        finishRow();
}

void ReferenceScaler::addPlanes(const unsigned char* y, const unsigned char* cb, const unsigned char* cr, int count)
{
    planar_ = true;
    const std::size_t width = static_cast<std::size_t>(picture_.width()), chroma = (width + 1) / 2;
    for (int i = 0; i < count; ++i, ++nextPictureRow_) {
        if (partOf(nextPictureRow_, picture_.height(), image_.height()) != row_)
            finishRow();
        const unsigned char* luma = y + static_cast<std::size_t>(i) * width;
        const unsigned char* blue = cb + static_cast<std::size_t>(i / 2) * chroma;
        const unsigned char* red = cr + static_cast<std::size_t>(i / 2) * chroma;
        // Planes apart, each contiguous: Y per column, then Cb and Cr per chroma column.
        std::uint32_t* sums = sums_.data();
        std::uint32_t* blueSums = sums + width;
        std::uint32_t* redSums = blueSums + chroma;
        for (std::size_t x = 0; x < width; ++x)
            sums[x] += luma[x];
        for (std::size_t x = 0; x < chroma; ++x) {
            blueSums[x] += blue[x];
            redSums[x] += red[x];
        }
        ++rowsSummed_;
    }
    if (nextPictureRow_ == picture_.height())
        finishRow();
}

void ReferenceScaler::finishRow()
{
    if (rowsSummed_ == 0 || row_ >= image_.height())
        return;
    unsigned char* out = image_.scanLine(row_);
    std::uint64_t total[3] = {};
    int column = 0;
    const auto flush = [&] {
        const std::uint64_t count = std::uint64_t(columnWidth_[static_cast<std::size_t>(column)]) * rowsSummed_;
        double mean[3];
        for (int c = 0; c < 3; ++c) {
            mean[c] = double(total[c]) / double(count);
            total[c] = 0;
        }
        if (planar_) {
            // JFIF's YCbCr to RGB.
            const double luma = mean[0], blue = mean[1] - 128, red = mean[2] - 128;
            mean[0] = luma + 1.402 * red;
            mean[1] = luma - 0.344136 * blue - 0.714136 * red;
            mean[2] = luma + 1.772 * blue;
        }
        for (int c = 0; c < 3; ++c)
            out[column * 3 + c] = static_cast<unsigned char>(std::clamp(std::lround(mean[c]), 0L, 255L));
    };
    const std::size_t width = static_cast<std::size_t>(picture_.width()), chroma = (width + 1) / 2;
    for (std::size_t x = 0; x < width; ++x) {
        if (columnOf_[x] != column) {
            flush();
            column = columnOf_[x];
        }
        if (planar_) {
            // Each chroma sum counts for both Y columns it covers.
            total[0] += sums_[x];
            total[1] += sums_[width + x / 2];
            total[2] += sums_[width + chroma + x / 2];
        } else {
            for (std::size_t c = 0; c < 3; ++c)
                total[c] += sums_[x * 3 + c];
        }
    }
    flush();
    std::fill(sums_.begin(), sums_.end(), 0);
    rowsSummed_ = 0;
    ++row_;
}

}  // namespace tessera

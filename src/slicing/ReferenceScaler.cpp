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

void ReferenceScaler::finishRow()
{
    if (rowsSummed_ == 0 || row_ >= image_.height())
        return;
    unsigned char* out = image_.scanLine(row_);
    std::uint64_t total[3] = {};
    int column = 0;
    const auto flush = [&] {
        const std::uint64_t count = std::uint64_t(columnWidth_[static_cast<std::size_t>(column)]) * rowsSummed_;
        for (int c = 0; c < 3; ++c) {
            out[column * 3 + c] = static_cast<unsigned char>((total[c] + count / 2) / count);
            total[c] = 0;
        }
    };
    for (int x = 0; x < picture_.width(); ++x) {
        if (columnOf_[static_cast<std::size_t>(x)] != column) {
            flush();
            column = columnOf_[static_cast<std::size_t>(x)];
        }
        for (int c = 0; c < 3; ++c)
            total[c] += sums_[static_cast<std::size_t>(x) * 3 + c];
    }
    flush();
    std::fill(sums_.begin(), sums_.end(), 0);
    rowsSummed_ = 0;
    ++row_;
}

}  // namespace tessera

#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

namespace tessera {

// The whole picture scaled down to fit `bound` (never up), built from its rows as they are decoded:
// each reference pixel the mean of the source pixels that fall into it (a box filter). Holds the
// column sums of one reference row and the reference itself, whatever the picture's size.
class ReferenceScaler {
public:
    ReferenceScaler(QSize picture, QSize bound);

    QSize size() const { return image_.size(); }
    // Adds the next `count` rows (RGB, width × 3 bytes each, packed), in order from the top.
    void addRows(const unsigned char* rows, int count);
    // The same from planes (see PictureRows::Planes), from an even row: each Cb and Cr sample
    // counts for the Y samples it covers, and the means are turned into RGB at the end of a row.
    void addPlanes(const unsigned char* y, const unsigned char* cb, const unsigned char* cr, int count);
    // The reference, once every row was added.
    const QImage& image() const { return image_; }

private:
    void finishRow();

    QSize picture_;
    QImage image_;                     // RGB888
    std::vector<int> columnOf_;        // reference column of each picture column
    std::vector<int> columnWidth_;     // picture columns in each reference column
    // Over the current row's rows: per picture column and channel; planar, per column of each plane.
    std::vector<std::uint32_t> sums_;
    int row_ = 0;                      // the reference row being summed
    int rowsSummed_ = 0;               // picture rows summed into it
    int nextPictureRow_ = 0;
    bool planar_ = false;
};

}  // namespace tessera

#pragma once

#include "files/Failure.h"

#include <QSize>
#include <QString>

#include <memory>

namespace tessera {

// Largest PNG, BMP or TIFF picture cut at all: those are read whole (4 bytes a pixel); a JPEG is
// read row by row at any size.
inline constexpr qint64 kMaxWholePicturePixels = 50'000'000;

// A picture read from the top down, a run of rows at a time, as 8-bit RGB (3 bytes a pixel, rows
// packed). JPEG through libjpeg's scanline interface, so that only the rows asked for are in
// memory; the other formats through Qt, whole, up to kMaxWholePicturePixels.
class PictureRows {
public:
    virtual ~PictureRows() = default;

    QSize size() const { return size_; }
    int rowsRead() const { return rowsRead_; }
    // Reads the next `count` rows into `rows` (width × 3 bytes each). False when the picture ends
    // before them (truncated, or a header that claims more than the file holds): `rowsRead` says
    // how far it got.
    virtual bool read(unsigned char* rows, int count) = 0;

protected:
    QSize size_;
    int rowsRead_ = 0;
};

// The picture's size from its header; empty when it is no picture.
QSize readPictureSize(const QString& path);

// Opens the picture and reads its header; null with `failure` set when it cannot be cut.
std::unique_ptr<PictureRows> openPictureRows(const QString& path, Failure& failure);

}  // namespace tessera

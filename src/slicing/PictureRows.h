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
// memory; the other formats through Qt, whole, up to kMaxWholePicturePixels, as does a JPEG whose
// EXIF orientation turns it (turned or mirrored rows cannot be streamed).
//
// A 4:2:0 JPEG may be read planar instead: its own Y plane, and its Cb and Cr planes at half width
// and height, as libjpeg holds them before upsampling and colour conversion. Cut at even rows and
// columns, those planes are a slice's own, encoded without converting back and forth.
class PictureRows {
public:
    // Where planar rows go: the rows of each plane, `width` and `chromaWidth` bytes apart.
    struct Planes {
        unsigned char* y;
        unsigned char* cb;
        unsigned char* cr;
    };

    virtual ~PictureRows() = default;

    QSize size() const { return size_; }
    int rowsRead() const { return rowsRead_; }
    bool planar() const { return planar_; }
    // Turned or mirrored as its EXIF orientation says: the rows are what a viewer shows.
    bool turned() const { return turned_; }
    int chromaWidth() const { return (size_.width() + 1) / 2; }

    // Reads the next `count` rows into `rows` (width × 3 bytes each). False when the picture ends
    // before them (truncated, or a header that claims more than the file holds): `rowsRead` says
    // how far it got.
    virtual bool read(unsigned char* rows, int count) = 0;
    // The same for a planar picture, from an even row: `count` rows of Y, (count + 1) / 2 of each
    // of Cb and Cr.
    virtual bool readPlanes(Planes, int) { return false; }

protected:
    QSize size_;
    int rowsRead_ = 0;
    bool planar_ = false;
    bool turned_ = false;
};

// Opens the picture and reads its header; null with `failure` set when it cannot be cut. With
// `planarIfAble`, a 4:2:0 JPEG is read planar.
std::unique_ptr<PictureRows> openPictureRows(const QString& path, Failure& failure, bool planarIfAble = false);

}  // namespace tessera

#pragma once

#include "files/Failure.h"

#include <QImage>
#include <QIODevice>
#include <QSize>
#include <QString>

#include <memory>

namespace tessera {

// The picture formats a map can be exported to.
enum class PictureFormat { Png, Jpeg };

// libjpeg refuses a picture wider or higher than this (the format itself would take 65,535).
inline constexpr int kMaxJpegSide = 65500;

// Streams a picture row by row into a device: `begin` once, then `writeRows` with bands of rows
// from the top down (ARGB32 images as wide as the picture), then `finish`. After any failure,
// `failure()` says why (Unwritable with the device's own reason when writing to it failed) and
// nothing more is written.
class PictureWriter {
public:
    virtual ~PictureWriter() = default;
    virtual bool begin(QIODevice& device, QSize size) = 0;
    virtual bool writeRows(const QImage& band, int rows) = 0;
    virtual bool finish() = 0;
    const Failure& failure() const { return failure_; }

    // PNG with an alpha channel (deflated on every core, see PngWriter.h), or baseline JPEG
    // (libjpeg-turbo scanlines).
    static std::unique_ptr<PictureWriter> create(PictureFormat format);

protected:
    Failure failure_;
};

}  // namespace tessera

#pragma once

// Decoding tile pictures to their drawn size and encoding JPEG, with libjpeg-turbo.
#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>

namespace tessera {

// Largest picture a tile file may claim; larger headers are refused before any pixel is decoded.
inline constexpr qint64 kMaxTilePixels = 8192LL * 8192LL;
// Largest tile file read at all.
inline constexpr qint64 kMaxTileFileBytes = 256LL * 1024 * 1024;

// Raises Qt's image allocation limit (128 MB by default) so that its readers admit the largest
// picture this program reads whole: a tile of kMaxTilePixels at 8 bytes a pixel. Called once at
// start-up by every entry point; calling it again does nothing.
void admitLargePictures();

// Decodes image bytes to exactly `size` pixels: premultiplied ARGB32 for a picture with an alpha
// channel or a transparent colour, RGB32 otherwise. JPEG goes through libjpeg-turbo at the
// smallest scaling factor that still covers `size`; BMP, PNG and GIF through Qt. The format is
// sniffed from the bytes. Anything unreadable gives a null image. Thread-safe; a decode that needs
// much memory (a progressive JPEG, or a picture that Qt reads whole) first waits for its share of
// `tileDecodeBudget()`.
QImage decodeTileImage(QByteArrayView bytes, QSize size);

// JPEG bytes of `image` (libjpeg-turbo, 4:2:0); empty on failure. RGB888 is read in place: a
// picture's rows wrapped in a QImage are encoded without a copy. Thread-safe.
QByteArray encodeJpeg(const QImage& image, int quality = 85);

// JPEG bytes (4:2:0) of a picture given as its Y plane and its Cb and Cr planes at half width and
// height (rounded up), each row `strides` bytes after the one before; empty on failure. Thread-safe.
QByteArray encodeJpegPlanes(const unsigned char* const planes[3], const int strides[3], QSize size, int quality);

// The top-left `size` pixels of the picture in a regular file (less when it is smaller), decoded
// straight from the file without reading it whole; null when it is no picture. Thread-safe.
QImage readPictureCorner(const QString& path, QSize size);

// The width and height of the picture in a regular file, read from its header (the first few
// kilobytes; past them, Qt's reader seeks to the frame); invalid when it is no picture.
// Thread-safe.
QSize readPictureSize(const QString& path);

}  // namespace tessera

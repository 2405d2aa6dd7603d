// A picture's size from its header, without decoding a pixel.
#include "imaging/ImageCodec.h"
#include "imaging/TurboJpeg.h"

#include "files/Files.h"

#include <QBuffer>
#include <QImageReader>

namespace tessera {
namespace {

// Enough for the headers of nearly every tile; then enough for a JPEG's largest EXIF block.
constexpr qint64 kHeadBytes[] = {4 * 1024, 72 * 1024};

QSize sizeOf(const QByteArray& bytes)
{
    if (isJpeg(bytes)) {
        TjHandle& tj = decompressor();
        int width = 0, height = 0, subsampling = 0, colorspace = 0;
        if (!tj.handle
            || tjDecompressHeader3(tj.handle, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                   static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling,
                                   &colorspace)
                   != 0) {
            tj.renew();
            return {};
        }
        // A header cut before its frame reads as 0 × 0.
        return width > 0 && height > 0 ? QSize(width, height) : QSize();
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    return size.isEmpty() ? QSize() : size;
}

}  // namespace

QSize readPictureSize(const QString& path)
{
    for (const qint64 head : kHeadBytes) {
        const ReadResult read = readRegularFile(path, kMaxTileFileBytes, head);
        if (!read.ok)
            return {};
        if (const QSize size = sizeOf(read.data); size.isValid())
            return size;
        if (read.data.size() < head)
            return {};  // the whole file, and no picture
    }
    // A regular file with more before its frame (large ICC or XMP blocks): Qt's reader seeks
    // through it without holding the file.
    const QSize size = QImageReader(path).size();
    return size.isEmpty() ? QSize() : size;
}

}  // namespace tessera

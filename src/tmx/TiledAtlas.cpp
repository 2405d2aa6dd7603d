// The atlas: every distinct tile decoded at the cell's size on every core, copied into its place
// in a sheet, and each sheet encoded as a PNG picture.
#include "tmx/TiledAtlas.h"

#include "files/Files.h"
#include "work/HelperThreads.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <atomic>
#include <cstring>

namespace tessera::tiled {

bool buildAtlas(const QStringList& files, QSize cell, const QString& baseName, Progress& progress, AtlasPictures& atlas)
{
    const int columns = std::max(1, kMaxAtlasSide / cell.width());
    const int capacity = columns * std::max(1, kMaxAtlasSide / cell.height());
    const int count = static_cast<int>(files.size());
    std::vector<QImage> pictures;
    for (int first = 0, k = 1; first < count; first += capacity, ++k) {
        AtlasSheet sheet;
        sheet.count = std::min(capacity, count - first);
        sheet.columns = std::min(columns, sheet.count);
        sheet.size = QSize(sheet.columns * cell.width(), (sheet.count + sheet.columns - 1) / sheet.columns * cell.height());
        sheet.name = QStringLiteral("%1-atlas-%2").arg(baseName).arg(k);
        sheet.source = sheet.name + QStringLiteral(".png");
        pictures.emplace_back(sheet.size, QImage::Format_ARGB32_Premultiplied);
        pictures.back().fill(Qt::transparent);
        atlas.sheets.push_back(sheet);
    }
    std::atomic<int> unreadable{0};
    std::vector<std::atomic<char>> translucent(pictures.size());
    progress.start(count + static_cast<std::int64_t>(pictures.size()));
    // Each tile writes its own rectangle of its sheet's pixels, detached before.
    std::vector<uchar*> bits;
    for (QImage& picture : pictures)
        bits.push_back(picture.bits());
    const bool placed = forEachOnAllCores(count, progress, [&](int i) {
        const ReadResult read = readRegularFile(files[i], kMaxTileFileBytes);
        QImage tile = read.ok ? decodeTileImage(read.data, cell) : QImage();
        if (tile.isNull()) {
            ++unreadable;
            return;
        }
        const std::size_t k = static_cast<std::size_t>(i / capacity);
        if (tile.hasAlphaChannel())
            translucent[k] = 1;
        tile = tile.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const int place = i % capacity, columnsHere = atlas.sheets[k].columns;
        const qsizetype stride = pictures[k].bytesPerLine();
        uchar* corner = bits[k] + (place / columnsHere * cell.height()) * stride + place % columnsHere * cell.width() * 4;
        for (int y = 0; y < cell.height(); ++y)
            std::memcpy(corner + y * stride, tile.constScanLine(y), static_cast<std::size_t>(cell.width()) * 4);
    });
    if (!placed)
        return false;
    // A sheet is opaque when every place in it holds a tile with no transparent pixel.
    std::vector<char> opaque(pictures.size());
    for (std::size_t k = 0; k < pictures.size(); ++k)
        opaque[k] = unreadable == 0 && atlas.sheets[k].count % atlas.sheets[k].columns == 0 && !translucent[k];
    atlas.unreadable = unreadable;
    atlas.png.resize(pictures.size());
    return forEachOnAllCores(static_cast<int>(pictures.size()), progress, [&](int k) {
        QBuffer buffer(&atlas.png[static_cast<std::size_t>(k)]);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setCompression(1);
        // An atlas of opaque tiles only is written without an alpha channel: a quarter less to deflate.
        const QImage& picture = pictures[static_cast<std::size_t>(k)];
        writer.write(picture.convertToFormat(opaque[static_cast<std::size_t>(k)] ? QImage::Format_RGB888 : QImage::Format_ARGB32));
    });
}

}  // namespace tessera::tiled

// The atlas: every distinct tile decoded at the cell's size on every core, copied into its place
// in a sheet, and each sheet encoded as a PNG picture deflated on every core.
#include "tmx/TiledAtlas.h"

#include "files/Files.h"
#include "render/PngWriter.h"
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
        tile = tile.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const int place = i % capacity, columnsHere = atlas.sheets[k].columns;
        const qsizetype stride = pictures[k].bytesPerLine();
        uchar* corner = bits[k] + (place / columnsHere * cell.height()) * stride + place % columnsHere * cell.width() * 4;
        for (int y = 0; y < cell.height(); ++y)
            std::memcpy(corner + y * stride, tile.constScanLine(y), static_cast<std::size_t>(cell.width()) * 4);
    });
    if (!placed)
        return false;
    atlas.unreadable = unreadable;
    atlas.png.resize(pictures.size());
    // One sheet after another, each deflated on every core.
    for (std::size_t k = 0; k < pictures.size(); ++k) {
        if (progress.cancelled())
            return false;
        QBuffer buffer(&atlas.png[k]);
        buffer.open(QIODevice::WriteOnly);
        const QImage picture = pictures[k].convertToFormat(QImage::Format_ARGB32);
        const std::unique_ptr<PictureWriter> writer = createPngWriter();
        if (!writer->begin(buffer, picture.size()) || !writer->writeRows(picture, picture.height()) || !writer->finish())
            return false;
        progress.advance(1);
    }
    return true;
}

}  // namespace tessera::tiled

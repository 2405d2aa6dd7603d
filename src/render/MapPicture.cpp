#include "render/MapPicture.h"

#include "render/TileImages.h"
#include "work/HelperThreads.h"
#include "files/OutputFile.h"
#include "files/Progress.h"

#include <QFileInfo>
#include <QHash>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace tessera {
namespace {

// Pixels composed per band, at least one cell row: about 16 MB; and the most one cell row may have.
constexpr qint64 kBandPixels = 4LL * 1024 * 1024;
constexpr qint64 kMaxBandPixels = 64LL * 1024 * 1024;
constexpr QRgb kCanvasGrey = 0xFF808080;

// Asks the kernel to start reading files that are about to be decoded, all at once, so that a
// cold disk works on many of them together instead of one per decoding thread. Each path once.
class Prefetch {
public:
    void ask(const QString* first, const QString* last)
    {
#ifdef POSIX_FADV_WILLNEED
        if (asked_.size() > kRemembered)
            asked_.clear();
        for (const QString* path = first; path != last; ++path) {
            if (path->isEmpty() || asked_.contains(*path))
                continue;
            asked_.insert(*path);
            const int fd = ::open(QFile::encodeName(*path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0)
                continue;
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
            ::close(fd);
        }
#else
        Q_UNUSED(first);
        Q_UNUSED(last);
#endif
    }

private:
    static constexpr qsizetype kRemembered = 100000;
    QSet<QString> asked_;
};

// A row of premultiplied tile pixels drawn over `background`, stored straight as the writers take
// them.
void drawRowOver(const QRgb* tile, QRgb* row, int width, QRgb background)
{
    const QRgb below = qPremultiply(background);
    const auto over = [](int top, int under, int keep) { return top + (under * keep + 127) / 255; };
    for (int x = 0; x < width; ++x) {
        const QRgb p = tile[x];
        const int keep = 255 - qAlpha(p);
        row[x] = qUnpremultiply(qRgba(over(qRed(p), qRed(below), keep), over(qGreen(p), qGreen(below), keep),
                                      over(qBlue(p), qBlue(below), keep), over(qAlpha(p), qAlpha(below), keep)));
    }
}

// Composes bands of cell rows from the decoded tiles.
class BandComposer {
public:
    BandComposer(const CellTexts& cells, int mapSize, QSize cell, QRgb background, TileImageCache& cache)
        : cells_(cells), n_(mapSize), cell_(cell), background_(background), cache_(cache)
    {
    }

    // Cell rows first .. first + count - 1 (from 0) as one picture as wide as the map; the tiles
    // are decoded on `helpers` and the calling thread.
    QImage compose(int first, int count, HelperThreads& helpers) const
    {
        QImage band(n_ * cell_.width(), count * cell_.height(), QImage::Format_ARGB32);
        if (band.isNull())
            return band;
        band.fill(background_);
        // The files of this band and of the next one, so that the disk is already busy with those
        // while this band decodes.
        const std::size_t begin = static_cast<std::size_t>(first) * static_cast<std::size_t>(n_);
        const std::size_t end = std::min(cells_.size(), begin + 2 * static_cast<std::size_t>(count) * static_cast<std::size_t>(n_));
        prefetch_.ask(cells_.data() + begin, cells_.data() + end);
        // Each distinct file of the band once.
        QHash<QString, int> slotOf;
        QList<TileKey> keys;
        std::vector<int> tileOfCell(static_cast<std::size_t>(count) * static_cast<std::size_t>(n_), -1);
        for (int r = 0; r < count; ++r) {
            for (int c = 0; c < n_; ++c) {
                const QString& path = cells_[static_cast<std::size_t>(first + r) * static_cast<std::size_t>(n_)
                                             + static_cast<std::size_t>(c)];
                if (path.isEmpty())
                    continue;
                auto it = slotOf.constFind(path);
                if (it == slotOf.constEnd()) {
                    it = slotOf.insert(path, static_cast<int>(keys.size()));
                    keys.append(tileKeyFor(path, cell_));
                }
                tileOfCell[static_cast<std::size_t>(r) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(c)] = *it;
            }
        }
        const QList<QImage> tiles = cache_.images(keys, helpers);
        const qsizetype rowBytes = qsizetype(cell_.width()) * 4;
        for (int r = 0; r < count; ++r) {
            for (int c = 0; c < n_; ++c) {
                const int slot = tileOfCell[static_cast<std::size_t>(r) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(c)];
                if (slot < 0 || tiles[slot].isNull() || tiles[slot].size() != cell_)
                    continue;
                const QImage& tile = tiles[slot];
                for (int y = 0; y < cell_.height(); ++y) {
                    uchar* row = band.scanLine(r * cell_.height() + y) + qsizetype(c) * rowBytes;
                    if (tile.hasAlphaChannel())
                        drawRowOver(reinterpret_cast<const QRgb*>(tile.constScanLine(y)), reinterpret_cast<QRgb*>(row),
                                    cell_.width(), background_);
                    else
                        std::memcpy(row, tile.constScanLine(y), static_cast<std::size_t>(rowBytes));
                }
            }
        }
        return band;
    }

private:
    const CellTexts& cells_;
    int n_;
    QSize cell_;
    QRgb background_;
    TileImageCache& cache_;
    mutable Prefetch prefetch_;  // used by one composing thread at a time
};

// The tile files a picture of `cells` reads, each once.
QStringList tileFiles(const CellTexts& cells)
{
    QSet<QString> seen;
    QStringList files;
    for (const QString& cell : cells)
        if (!cell.isEmpty() && !seen.contains(cell)) {
            seen.insert(cell);
            files << cell;
        }
    return files;
}

MapPictureResult failed(const QString& path, Failure why)
{
    why.work = FailedWork::MapPicture;
    why.files.prepend(path);
    return {why, {}, 0};
}

}  // namespace

PictureFormat pictureFormatFor(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"jpg" || suffix == u"jpeg" ? PictureFormat::Jpeg : PictureFormat::Png;
}

MapPictureResult writeMapPicture(const CellTexts& cells, int mapSize, QSize cell, const QString& path,
                                 TileImageCache& cache, Progress& progress, const QStringList& otherInputs)
{
    if (mapSize <= 0 || cells.size() != static_cast<std::size_t>(mapSize) * static_cast<std::size_t>(mapSize))
        return failed(path, {FailureKind::EmptyMap});
    if (cell.width() < 1 || cell.height() < 1 || cell.width() > kMaxPictureCellSide
        || cell.height() > kMaxPictureCellSide)
        return failed(path, {FailureKind::CellSizeOutOfRange, {}, {}, {kMaxPictureCellSide}});
    const QSize pixels(mapSize * cell.width(), mapSize * cell.height());
    const PictureFormat format = pictureFormatFor(path);
    if (format == PictureFormat::Jpeg && (pixels.width() > kMaxJpegSide || pixels.height() > kMaxJpegSide))
        return failed(path, {FailureKind::JpegTooLarge, {}, {}, {pixels.width(), pixels.height(), kMaxJpegSide}});

    const qint64 rowPixels = qint64(pixels.width()) * cell.height();
    if (rowPixels > kMaxBandPixels)
        return failed(path, {FailureKind::BandTooLarge, {}, {}, {pixels.width(), cell.height()}});

    OutputFile file(path);
    file.setInputs([&] { return otherInputs + tileFiles(cells); });
    if (!file.open())
        return failed(path, {FailureKind::Unwritable, {}, file.errorString()});
    const std::unique_ptr<PictureWriter> writer = PictureWriter::create(format);
    if (!writer->begin(file, pixels))
        return failed(path, writer->failure());

    // At least eight bands where the map allows, so that encoding overlaps decoding on small maps.
    const int bandRows =
        static_cast<int>(std::clamp<qint64>(std::min<qint64>(kBandPixels / rowPixels, (mapSize + 7) / 8), 1, mapSize));
    const BandComposer composer(cells, mapSize, cell, format == PictureFormat::Png ? 0 : kCanvasGrey, cache);
    // One band is composed (its tiles decoded on every core) while the one before is encoded here;
    // each band is one job of the picture's own helpers, joined before this returns. The composing
    // thread decodes too, beside one helper per core, so that cold reads overlap decoding.
    HelperThreads helpers(1);
    auto composeFrom = [&](int first) {
        return helpers.start([&composer, &helpers, first, count = std::min(bandRows, mapSize - first)] {
            return composer.compose(first, count, helpers);
        });
    };
    progress.start(qint64(mapSize) * mapSize);
    Failure why;
    QFuture<QImage> next = composeFrom(0);
    for (int first = 0; first < mapSize && why.ok(); first += bandRows) {
        const QImage band = next.takeResult();
        if (progress.cancelled()) {
            why.kind = FailureKind::Cancelled;
            break;
        }
        if (first + bandRows < mapSize)
            next = composeFrom(first + bandRows);
        if (band.isNull())
            why.kind = FailureKind::OutOfMemory;
        else if (!writer->writeRows(band, band.height()))
            why = writer->failure();
        progress.advance(qint64(band.height() / cell.height()) * mapSize);
    }
    if (next.isValid() && !next.isFinished())
        next.waitForFinished();
    if (why.ok() && !writer->finish())
        why = writer->failure();
    if (why.ok() && !file.commit())
        why = {FailureKind::Unwritable, {}, file.errorString()};
    if (!why.ok())
        return failed(path, why);  // the partial file goes with `file`
    MapPictureResult result;
    result.pixels = pixels;
    result.fileBytes = file.written();
    return result;
}

QString describePicture(const MapPictureResult& result)
{
    const double bytes = static_cast<double>(result.fileBytes);
    const QString size = bytes >= 1024.0 * 1024.0 ? QStringLiteral("%1 MB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1)
        : bytes >= 1024.0                          ? QStringLiteral("%1 KB").arg(bytes / 1024.0, 0, 'f', 1)
                                                   : QStringLiteral("%1 字节").arg(result.fileBytes);
    return QStringLiteral("%1 × %2 像素，%3").arg(result.pixels.width()).arg(result.pixels.height()).arg(size);
}

}  // namespace tessera

// Tiles cut from spritesheets and flipped tiles, each written once as a PNG file of its own.
#include "tmx/TileCutter.h"

#include "files/Files.h"
#include "work/HelperThreads.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <atomic>
#include <mutex>

namespace tessera::tiled {
namespace {

// Numbered names tried for one tile before giving up.
constexpr int kNameTries = 100;
// The most memory one picture decoded whole may take: a sheet of 8192 × 8192.
constexpr int kMaxPictureMb = 256;
// Threads beyond one per core that write the tiles.
constexpr int kExtraWriters = 6;

QImage decodeWhole(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    reader.setAllocationLimit(kMaxPictureMb);
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

// The picture with the pixels of the `trans` colour transparent.
void clearColour(QImage& image, const QString& trans)
{
    QString name = trans.trimmed();
    if (name.isEmpty())
        return;
    if (!name.startsWith(u'#'))
        name.prepend(u'#');
    const QColor colour = QColor::fromString(name);
    if (!colour.isValid())
        return;
    const QRgb key = colour.rgb() & 0xFFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
    }
}

// The rectangle of tile `id` in a sheet of `size`; empty when the sheet does not hold it.
QRect tileRect(const SheetData& layout, QSize size, int id)
{
    const QSize tile = layout.tile;
    if (layout.margin < 0 || layout.spacing < 0)
        return {};
    const int columns = (size.width() - layout.margin + layout.spacing) / (tile.width() + layout.spacing);
    const int rows = (size.height() - layout.margin + layout.spacing) / (tile.height() + layout.spacing);
    if (id < 0 || columns < 1 || id / columns >= rows)
        return {};
    return {layout.margin + id % columns * (tile.width() + layout.spacing),
            layout.margin + id / columns * (tile.height() + layout.spacing), tile.width(), tile.height()};
}

// The flips in the formats' order: the diagonal (x and y exchanged) first, then across and down.
QImage flipped(const QImage& image, quint32 flips)
{
    QImage result = image;
    if (flips & kFlipDiagonal) {
        result = QImage(image.height(), image.width(), image.format());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                reinterpret_cast<QRgb*>(result.scanLine(x))[y] = line[x];
        }
    }
    if (flips & (kFlipAcross | kFlipDown))
        result = result.mirrored((flips & kFlipAcross) != 0, (flips & kFlipDown) != 0);
    return result;
}

bool opaque(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

QByteArray encodePng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(1);
    writer.write(opaque(image) ? image.convertToFormat(QImage::Format_RGB32) : image);
    return bytes;
}

QString numbered(const QString& name, int n)
{
    if (n == 1)
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    return name.left(dot) + QStringLiteral("~%1").arg(n) + name.mid(dot);
}

}  // namespace

QString fileNamePart(const QString& text)
{
    QString name = text.trimmed();
    for (QChar& c : name)
        if (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|[]").contains(c))
            c = u'_';
    return name.isEmpty() || name.startsWith(u'.') ? u'_' + name : name;
}

CutResult cutTiles(Files& files, const std::vector<CutSource>& sources, std::vector<TileCut>& cuts,
                   const QString& folder, Progress& progress)
{
    CutResult result;
    if (cuts.empty())
        return result;
    std::mutex failing;
    std::atomic<bool> failed{false};
    auto fail = [&](FailureKind kind, const QString& file, FailureCause cause, const QString& why = {}) {
        const std::lock_guard lock(failing);
        if (!failed.exchange(true)) {
            result.failure = Failure(kind, {file}, why);
            result.failure.cause = cause;
        }
    };
    std::vector<QImage> pictures(sources.size());
    progress.start(static_cast<std::int64_t>(sources.size() + cuts.size()));
    const bool decoded = forEachOnAllCores(static_cast<int>(sources.size()), progress, [&](int i) {
        const CutSource& source = sources[static_cast<std::size_t>(i)];
        const ReadResult read = files.readFile(source.path, kMaxTileFileBytes);
        QImage& picture = pictures[static_cast<std::size_t>(i)];
        if (read.ok)
            picture = decodeWhole(read.data);
        // A tile's own picture that cannot be read stays as it is, unflipped; a sheet is needed.
        if (picture.isNull() && source.sheet)
            return read.ok ? fail(FailureKind::FileUnreadable, source.path, FailureCause::NoPicture)
                           : fail(FailureKind::FileUnreadable, source.path, FailureCause::Detail, read.error);
        if (source.sheet)
            clearColour(picture, source.layout.trans);
    });
    if (!decoded)
        return {Failure(FailureKind::Cancelled)};
    if (failed)
        return result;
    if (!QDir().mkpath(folder)) {
        fail(FailureKind::TileUnwritable, folder, FailureCause::TileFolderNotMade);
        return result;
    }

    // Each file is synced as it is written: more threads than cores keep the disk busy.
    HelperThreads writers(kExtraWriters);
    std::atomic<int> written{0}, reused{0};
    const bool done = writers.forEach(static_cast<int>(cuts.size()), progress, [&](int i) {
        if (failed)
            return;
        TileCut& cut = cuts[static_cast<std::size_t>(i)];
        const CutSource& source = sources[static_cast<std::size_t>(cut.source)];
        const QImage& picture = pictures[static_cast<std::size_t>(cut.source)];
        QImage tile = picture;
        if (tile.isNull())
            return;
        if (source.sheet) {
            const QRect rect = tileRect(source.layout, picture.size(), cut.id);
            if (rect.isEmpty())
                return;
            tile = picture.copy(rect);
        }
        tile = flipped(tile, cut.flips);
        const QByteArray png = encodePng(tile);
        for (int n = 1; n <= kNameTries; ++n) {
            const QString path = QDir::toNativeSeparators(QDir(folder).filePath(numbered(cut.name, n)));
            if (files.isFile(path)) {
                const ReadResult there = files.readFile(path, kMaxTileFileBytes);
                if (there.ok && (there.data == png || decodeWhole(there.data) == tile)) {
                    cut.path = path;
                    ++reused;
                    return;
                }
                continue;
            }
            const FileResult write = files.writeNewFile(path, png);
            if (write.ok) {
                cut.path = path;
                ++written;
                return;
            }
            if (!files.fileStatus(path).present)
                return fail(FailureKind::TileUnwritable, path, FailureCause::Detail, write.error);
        }
        fail(FailureKind::TileUnwritable, QDir(folder).filePath(cut.name), FailureCause::NamesTaken);
    });
    if (!done)
        return {Failure(FailureKind::Cancelled)};
    result.written = written;
    result.reused = reused;
    return result;
}

}  // namespace tessera::tiled

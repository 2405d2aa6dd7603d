// The map written as a TMX or TMJ map with one image collection, or with an atlas.
#include "tmx/TileCutter.h"
#include "tmx/TiledAtlas.h"
#include "tmx/TiledData.h"
#include "tmx/TiledMap.h"

#include "files/Files.h"
#include "work/HelperThreads.h"
#include "files/OutputFile.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <memory>
#include <optional>
#include <unordered_map>

#include <unistd.h>

namespace tessera {

using namespace tiled;

namespace {

// Tiles looked at for the default cell size when the first ones cannot be read.
constexpr int kCellSizeTries = 16;

// A tileset (or an atlas picture) about to be replaced together with its map. The old regular file stays linked under a
// partial name (which the next writer clears, should this one be killed) until the map is in
// place; when the map cannot be, it is put back, and a new tileset is removed: the pair is
// replaced whole or not at all. A FIFO or device is written through and left alone.
class TilesetPair {
public:
    explicit TilesetPair(const QString& path)
    {
        const QFileInfo old(path);
        if (old.exists() && !old.isFile())
            return;
        target_ = QFile::encodeName(old.exists() ? old.canonicalFilePath() : old.absoluteFilePath());
        const QString folder = QFileInfo(QFile::decodeName(target_)).absolutePath();
        kept_ = QFile::encodeName(QDir(folder).filePath(partialFileName(old.fileName())));
        if (!old.exists() || ::link(target_.constData(), kept_.constData()) != 0)
            kept_.clear();
    }
    ~TilesetPair()
    {
        if (!kept_.isEmpty())
            ::unlink(kept_.constData());
    }
    // The map could not replace its own: the tileset goes back to what it was.
    void takeBack()
    {
        if (target_.isEmpty())
            return;
        if (kept_.isEmpty() ? ::unlink(target_.constData()) == 0 : ::rename(kept_.constData(), target_.constData()) == 0)
            kept_.clear();
    }

private:
    QByteArray target_, kept_;
};

// A cell's file as the file system finds it (a relative text is relative to the working folder).
QString absoluteTile(const QString& text)
{
    return QDir::isAbsolutePath(text) ? text : QFileInfo(text).absoluteFilePath();
}

// XML 1.0 cannot hold control characters other than tab, line feed and carriage return, nor
// unpaired surrogates.
bool storableInXml(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            return false;
        if (c == 0xFFFE || c == 0xFFFF)
            return false;
        if (QChar::isHighSurrogate(c) && (i + 1 == text.size() || !QChar::isLowSurrogate(text[i + 1].unicode())))
            return false;
        if (QChar::isLowSurrogate(c) && (i == 0 || !QChar::isHighSurrogate(text[i - 1].unicode())))
            return false;
    }
    return true;
}

TiledExportResult failed(const QString& path, Failure why)
{
    why.work = FailedWork::TiledExport;
    why.files.prepend(path);
    TiledExportResult result;
    result.failure = std::move(why);
    return result;
}

// The distinct texts of the cells in the order met, and each cell's gid.
void numberTiles(const CellTexts& cells, std::vector<QString>& texts, std::vector<quint32>& gids)
{
    gids.assign(cells.size(), 0);
    // Cells of one tile mostly share one string: its data pointer decides before its text does.
    std::unordered_map<const QChar*, quint32> byData;
    QHash<QString, quint32> byText;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const QString& cell = cells[i];
        if (cell.isEmpty())
            continue;
        const auto known = byData.find(cell.constData());
        if (known != byData.end()) {
            gids[i] = known->second;
            continue;
        }
        auto& gid = byText[cell];
        if (gid == 0) {
            texts.push_back(cell);
            gid = static_cast<quint32>(texts.size());
        }
        byData.emplace(cell.constData(), gid);
        gids[i] = gid;
    }
}

// Writes `bytes` to `file`, opened; false with the failure in `why`.
bool writeWhole(OutputFile& file, const QByteArray& bytes, Failure& why)
{
    if (!file.open() || file.write(bytes) != bytes.size() || file.failed()) {
        why = {FailureKind::Unwritable, {}, file.errorString()};
        return false;
    }
    return true;
}

}  // namespace

QSize defaultTiledCell(const CellTexts& cells)
{
    int tries = 0;
    for (const QString& cell : cells) {
        if (cell.isEmpty())
            continue;
        if (const QSize size = readPictureSize(absoluteTile(cell)); size.isValid())
            return size;
        if (++tries == kCellSizeTries)
            break;
    }
    return kDefaultTiledCell;
}

TiledExportResult writeTiledMap(const CellTexts& cells, int mapSize, const QString& path,
                                const TiledExportOptions& options, Progress& progress, const QStringList& otherInputs)
{
    const TiledFormat format = tiledFormatOf(path);
    const QFileInfo target(path);
    const QDir folder(target.absolutePath());
    ExportData data;
    data.mapSize = mapSize;
    data.cell = options.cell;
    data.tilesetName = target.completeBaseName();
    std::vector<QString> texts;
    numberTiles(cells, texts, data.gids);

    // The tiles' files, their names as written, and their sizes from their headers on every core;
    // or, for an atlas, their pictures at the cell's size.
    QStringList files;
    data.tiles.resize(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        files << absoluteTile(texts[i]);
        data.tiles[i].source = QDir::fromNativeSeparators(folder.relativeFilePath(files.constLast()));
        if (format == TiledFormat::Tmx && !options.atlas && !storableInXml(data.tiles[i].source))
            return failed(path, {FailureKind::UnstorablePath, {texts[i]}});
    }
    TiledExportResult result;
    result.tiles = static_cast<int>(texts.size());
    AtlasPictures atlas;
    if (options.atlas) {
        if (!buildAtlas(files, options.cell, fileNamePart(data.tilesetName), progress, atlas))
            return failed(path, {FailureKind::Cancelled});
        data.atlas = atlas.sheets;
        result.sizesUnknown = atlas.unreadable;
    } else {
        progress.start(static_cast<std::int64_t>(texts.size()));
        if (!forEachOnAllCores(static_cast<int>(texts.size()), progress,
                               [&](int i) { data.tiles[static_cast<std::size_t>(i)].size = readPictureSize(files[i]); }))
            return failed(path, {FailureKind::Cancelled});
        for (const ExportTile& tile : data.tiles) {
            result.sizesUnknown += !tile.size.isValid();
            result.sizesOther += tile.size.isValid() && tile.size != options.cell;
        }
    }

    const QStringList inputs = otherInputs + files;
    const QString tilesetName = data.tilesetName + (format == TiledFormat::Tmx ? QStringLiteral(".tsx") : QStringLiteral(".tsj"));
    OutputFile tilesetFile(folder.filePath(tilesetName));
    if (options.externalTileset) {
        result.tilesetPath = QDir::toNativeSeparators(folder.filePath(tilesetName));
        data.tilesetSource = tilesetName;
        tilesetFile.setInputs([&] { return inputs + QStringList{path}; });
    }
    OutputFile mapFile(path);
    mapFile.setInputs([&] { return inputs; });
    Failure why;
    std::vector<std::unique_ptr<OutputFile>> sheetFiles;
    for (std::size_t k = 0; k < atlas.sheets.size(); ++k) {
        const QString sheetPath = folder.filePath(atlas.sheets[k].source);
        result.atlasPaths << QDir::toNativeSeparators(sheetPath);
        sheetFiles.push_back(std::make_unique<OutputFile>(sheetPath));
        sheetFiles.back()->setInputs([&] { return inputs + QStringList{path}; });
        if (!writeWhole(*sheetFiles.back(), atlas.png[k], why) || !sheetFiles.back()->prepare())
            return failed(sheetPath, why.ok() ? Failure{FailureKind::Unwritable, {}, sheetFiles.back()->errorString()} : why);
    }
    if (options.externalTileset
        && !writeWhole(tilesetFile, format == TiledFormat::Tmx ? tsxTileset(data) : tsjTileset(data), why))
        return failed(result.tilesetPath, why);
    if (!writeWhole(mapFile, format == TiledFormat::Tmx ? tmxMap(data) : tmjMap(data), why))
        return failed(path, why);
    if (progress.cancelled())
        return failed(path, {FailureKind::Cancelled});
    // Both whole and synced before either replaces its old file; then the tileset first, so that
    // a map is never left naming a tileset that is not there.
    if (options.externalTileset && !tilesetFile.prepare())
        return failed(result.tilesetPath, {FailureKind::Unwritable, {}, tilesetFile.errorString()});
    if (!mapFile.prepare())
        return failed(path, {FailureKind::Unwritable, {}, mapFile.errorString()});
    // Every atlas picture is whole before the map that names them replaces its old one; all go
    // back should the map's rename fail.
    std::vector<std::unique_ptr<TilesetPair>> sheetPairs;
    auto takeBackSheets = [&] {
        for (auto& sheet : sheetPairs)
            sheet->takeBack();
    };
    for (std::size_t k = 0; k < sheetFiles.size(); ++k) {
        sheetPairs.push_back(std::make_unique<TilesetPair>(result.atlasPaths[qsizetype(k)]));
        if (!sheetFiles[k]->commit()) {
            sheetPairs.pop_back();
            takeBackSheets();
            return failed(result.atlasPaths[qsizetype(k)], {FailureKind::Unwritable, {}, sheetFiles[k]->errorString()});
        }
    }
    std::optional<TilesetPair> pair;
    if (options.externalTileset) {
        pair.emplace(folder.filePath(tilesetName));
        if (!tilesetFile.commit())
            return failed(result.tilesetPath, {FailureKind::Unwritable, {}, tilesetFile.errorString()});
    }
    if (!mapFile.commit()) {
        if (pair)
            pair->takeBack();
        takeBackSheets();
        return failed(path, {FailureKind::Unwritable, {}, mapFile.errorString()});
    }
    return result;
}

}  // namespace tessera

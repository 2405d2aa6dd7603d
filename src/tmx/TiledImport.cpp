// A TMX or TMJ map into the cells of a map: one tile layer through its tilesets, the tiles cut
// from spritesheets and the flipped ones written as pictures of their own.
#include "tmx/TileCutter.h"
#include "tmx/TiledData.h"
#include "tmx/TiledMap.h"

#include "files/Files.h"
#include "files/Progress.h"
#include "model/MapPathFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace tessera {

using namespace tiled;

namespace {

// The largest tileset file read.
constexpr qint64 kMaxTilesetBytes = 256LL * 1024 * 1024;

bool isJsonName(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"tmj" || suffix == u"tsj" || suffix == u"json";
}

// A file named in the map: relative to the folder of the file that names it.
QString resolved(const QString& folder, const QString& source)
{
    QString path = QDir::cleanPath(QDir::isAbsolutePath(source) ? source : folder + u'/' + source);
    // Above the root is the root, as the system resolves it.
    while (path.startsWith(u"/../"))
        path.remove(0, 3);
    if (path == u"/..")
        path = QStringLiteral("/");
    return QDir::toNativeSeparators(path);
}

void sortImages(TilesetData& tileset)
{
    std::stable_sort(tileset.images.begin(), tileset.images.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

// What a distinct gid of the layer becomes: a picture as it is, or a file cut for it.
struct Placement {
    QString path;
    int cut = -1;
};

class Importer {
public:
    Importer(Files& files, const QString& path, const TiledImportOptions& options, TiledImportResult& result)
        : files_(files), path_(path), options_(options), result_(result)
    {
    }

    bool fail(FailureKind kind, QStringList files = {}, QString detail = {}, QList<qint64> figures = {})
    {
        result_.failure = Failure(kind, QStringList{path_} + files, std::move(detail), std::move(figures));
        result_.failure.work = FailedWork::TiledImport;
        return false;
    }

    bool read(Progress& progress);

private:
    bool parse(const QByteArray& bytes, MapData& map);
    const LayerData* chooseLayer(const MapData& map);
    // The external tileset that `tileset` names, read once however many entries name it; null
    // after a failure.
    const TilesetData* externalTileset(const TilesetData& tileset);
    // What `gid` (its flags in `raw`) becomes; an empty placement when no tileset holds it.
    bool place(const std::vector<TilesetData>& tilesets, quint32 raw, Placement& placement);
    // The name the files cut from `entry` begin with: its tileset's, another for a second of that name.
    QString setName(const TilesetData& entry, const TilesetData& tileset);
    int cutSource(const QString& path, const TilesetData* sheet);

    Files& files_;
    QString path_;
    QString folder_;
    QByteArray bytes_;  // the map's, which a TMJ map's layers refer to
    const TiledImportOptions& options_;
    TiledImportResult& result_;
    std::unordered_map<QString, std::unique_ptr<TilesetData>> external_;  // by file
    std::unordered_map<const TilesetData*, QString> setNames_;
    QSet<QString> takenSetNames_;
    std::unordered_map<QString, int> sourceOf_;  // by the picture's path
    QSize cell_;                                 // the map's
    QStringList largeSets_;                      // sheets whose tiles are not the cell's size
    std::vector<CutSource> sources_;
    std::vector<TileCut> cuts_;
};

bool Importer::parse(const QByteArray& file, MapData& map)
{
    bytes_ = file;
    QString error;
    if (file.startsWith("\x1F\x8B") && !gunzipFile(file, bytes_, kMaxMapFileBytes, error))
        return fail(FailureKind::NotTiledMap, {path_}, error);
    QByteArrayView start(bytes_);
    if (start.startsWith("\xEF\xBB\xBF"))
        start = start.sliced(3);
    const QString name = path_.endsWith(u".gz", Qt::CaseInsensitive) ? path_.chopped(3) : path_;
    const bool json = hasTiledMapExtension(name) ? tiledFormatOf(name) == TiledFormat::Tmj : start.trimmed().startsWith('{');
    if (!(json ? parseTmjMap(bytes_, map, error) : parseTmxMap(bytes_, map, error)))
        return fail(FailureKind::NotTiledMap, {path_}, error);
    if (map.orientation != u"orthogonal")
        return fail(FailureKind::UnsupportedMap, {},
                    map.orientation.isEmpty() ? QStringLiteral("没有注明方向的地图")
                                              : QStringLiteral("“%1”方向的地图").arg(map.orientation));
    if (map.infinite)
        return fail(FailureKind::UnsupportedMap, {}, QStringLiteral("无限（infinite）地图"));
    if (map.width < 1 || map.height < 1)
        return fail(FailureKind::NotTiledMap, {path_}, QStringLiteral("地图的宽或高不是正数"));
    if (map.width > kMaxMapSize || map.height > kMaxMapSize)
        return fail(FailureKind::TiledMapTooLarge, {}, {}, {map.width, map.height, kMaxMapSize});
    for (const TilesetData& tileset : map.tilesets)
        if (tileset.firstGid < 1)
            return fail(FailureKind::NotTiledMap, {path_},
                        QStringLiteral("图块集“%1”的 firstgid 不是正数").arg(tileset.name.isEmpty() ? tileset.source : tileset.name));
    return true;
}

const LayerData* Importer::chooseLayer(const MapData& map)
{
    if (map.layers.empty()) {
        fail(FailureKind::NoTileLayer);
        return nullptr;
    }
    for (const LayerData& layer : map.layers)
        result_.layers << layer.name;
    auto chosen = std::find_if(map.layers.begin(), map.layers.end(), [](const LayerData& l) { return l.visible; });
    const bool noneVisible = chosen == map.layers.end();
    if (noneVisible)
        chosen = map.layers.begin();
    if (options_.layerIndex >= 0 && options_.layerIndex < qsizetype(map.layers.size()))
        chosen = map.layers.begin() + options_.layerIndex;
    else if (!options_.layerName.isEmpty())
        chosen = std::find_if(map.layers.begin(), map.layers.end(),
                              [&](const LayerData& l) { return l.name == options_.layerName; });
    if (chosen == map.layers.end()) {
        fail(FailureKind::NoSuchLayer, result_.layers, options_.layerName);
        return nullptr;
    }
    result_.layer = static_cast<int>(chosen - map.layers.begin());
    QStringList skipped;
    for (const LayerData& layer : map.layers)
        if (&layer != &*chosen)
            skipped << QStringLiteral("“%1”").arg(layer.name);
    if (noneVisible && chosen == map.layers.begin())
        result_.notes << QStringLiteral("没有可见的图块图层，导入了第一个图层“%1”。").arg(chosen->name);
    else if (!skipped.isEmpty())
        result_.notes << QStringLiteral("只导入了图层“%1”，跳过了其他图块图层：%2。").arg(chosen->name, skipped.join(u'、'));
    if (chosen->chunked) {
        fail(FailureKind::UnsupportedMap, {}, QStringLiteral("无限（infinite）地图"));
        return nullptr;
    }
    return &*chosen;
}

const TilesetData* Importer::externalTileset(const TilesetData& tileset)
{
    const QString file = resolved(folder_, tileset.source);
    std::unique_ptr<TilesetData>& loaded = external_[file];
    if (loaded)
        return loaded.get();
    // A path that climbs out of the map's folder is shown as written too.
    const QStringList named = file.endsWith(tileset.source) ? QStringList{file}
                                                            : QStringList{QStringLiteral("%1（写作“%2”）").arg(file, tileset.source)};
    const ReadResult read = files_.readFile(file, kMaxTilesetBytes);
    if (!read.ok) {
        fail(FailureKind::FileUnreadable, named, read.error);
        return nullptr;
    }
    auto body = std::make_unique<TilesetData>();
    body->source = tileset.source;
    body->folder = QFileInfo(file).absolutePath();
    QString error;
    if (!(isJsonName(file) ? parseTsjTileset(read.data, *body, error) : parseTsxTileset(read.data, *body, error))) {
        fail(FailureKind::NotTiledMap, named, error);
        return nullptr;
    }
    sortImages(*body);
    loaded = std::move(body);
    return loaded.get();
}

QString Importer::setName(const TilesetData& entry, const TilesetData& tileset)
{
    QString& name = setNames_[&entry];
    if (name.isEmpty()) {
        const QString base = fileNamePart(tileset.name.isEmpty() ? QFileInfo(tileset.sheet.image).completeBaseName()
                                                                 : tileset.name);
        name = base;
        for (int n = 2; takenSetNames_.contains(name); ++n)
            name = QStringLiteral("%1~%2").arg(base).arg(n);
        takenSetNames_.insert(name);
    }
    return name;
}

int Importer::cutSource(const QString& path, const TilesetData* sheet)
{
    const auto [known, added] = sourceOf_.emplace(path, static_cast<int>(sources_.size()));
    if (added)
        sources_.push_back({path, sheet != nullptr, sheet ? sheet->sheet : SheetData{}});
    return known->second;
}

bool Importer::place(const std::vector<TilesetData>& tilesets, quint32 raw, Placement& placement)
{
    const quint32 gid = raw & ~kFlipFlags;
    const quint32 flips = raw & (kFlipAcross | kFlipDown | kFlipDiagonal);
    // The tileset with the largest first gid not above `gid`.
    auto it = std::upper_bound(tilesets.begin(), tilesets.end(), gid,
                               [](quint32 g, const TilesetData& t) { return g < static_cast<quint32>(t.firstGid); });
    if (it == tilesets.begin())
        return true;
    const TilesetData& entry = *--it;
    const TilesetData* tileset = entry.source.isEmpty() ? &entry : externalTileset(entry);
    if (!tileset)
        return false;
    const QString folder = tileset->folder.isEmpty() ? folder_ : tileset->folder;
    const int id = static_cast<int>(gid - static_cast<quint32>(entry.firstGid));
    int source = -1;
    if (tileset->spritesheet) {
        if (tileset->sheet.image.isEmpty() || tileset->sheet.tile.width() < 1 || tileset->sheet.tile.height() < 1)
            return fail(FailureKind::SpritesheetTileset, {tileset->name});
        source = cutSource(resolved(folder, tileset->sheet.image), tileset);
        const QSize tile = tileset->sheet.tile;
        const QString said = QStringLiteral("“%1”（%2 × %3）").arg(tileset->name).arg(tile.width()).arg(tile.height());
        if (tile != cell_ && !largeSets_.contains(said))
            largeSets_ << said;
    } else {
        const auto image = std::lower_bound(tileset->images.begin(), tileset->images.end(), id,
                                            [](const auto& candidate, int wanted) { return candidate.first < wanted; });
        if (image == tileset->images.end() || image->first != id)
            return true;
        placement.path = resolved(folder, image->second);
        if (flips == 0)
            return true;
        source = cutSource(placement.path, nullptr);
    }
    QString name = QStringLiteral("%1-%2").arg(setName(entry, *tileset)).arg(id);
    if (flips != 0) {
        name += u'-';
        for (const auto& [flag, letter] : {std::pair{kFlipAcross, u'h'}, {kFlipDown, u'v'}, {kFlipDiagonal, u'd'}})
            if (flips & flag)
                name += letter;
    }
    placement.cut = static_cast<int>(cuts_.size());
    cuts_.push_back({source, tileset->spritesheet ? id : -1, flips, name + QStringLiteral(".png"), {}});
    return true;
}

bool Importer::read(Progress& progress)
{
    const ReadResult read = files_.readFile(path_, kMaxMapFileBytes);
    if (!read.ok)
        return fail(FailureKind::FileUnreadable, {path_}, read.error);
    folder_ = QFileInfo(path_).absolutePath();
    MapData map;
    if (!parse(read.data, map))
        return false;
    const LayerData* layer = chooseLayer(map);
    if (!layer)
        return false;
    cell_ = map.tile;
    // The layer's own size decides how much its data holds: never more than the largest map.
    if (layer->width < 1 || layer->height < 1 || layer->width > kMaxMapSize || layer->height > kMaxMapSize)
        return fail(FailureKind::NotTiledMap, {path_},
                    QStringLiteral("图层“%1”的大小 %2 × %3 不对").arg(layer->name).arg(layer->width).arg(layer->height));
    std::vector<quint32> gids;
    QString error;
    if (!decodeLayerData(*layer, gids, error))
        return fail(FailureKind::NotTiledMap, {path_}, error);
    std::sort(map.tilesets.begin(), map.tilesets.end(),
              [](const TilesetData& a, const TilesetData& b) { return a.firstGid < b.firstGid; });
    for (TilesetData& tileset : map.tilesets)
        sortImages(tileset);

    // Each distinct id (with its flips; the hexagonal rotation means nothing here) placed once.
    const int n = std::max(map.width, map.height);
    const int rows = std::min(layer->height, n), columns = std::min(layer->width, n);
    // Ids below 65,536 (with any flips) find their placement in a table, larger ones in a map.
    constexpr quint32 kTableIds = 1u << 16;
    std::vector<int> table(8 * kTableIds, -1);
    std::unordered_map<quint32, int> distinct;
    std::vector<Placement> placements;
    std::vector<int> cellPlacement(static_cast<std::size_t>(rows) * columns, -1);
    qsizetype flipped = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const quint32 raw = gids[static_cast<std::size_t>(r) * layer->width + c] & ~0x10000000u;
            if ((raw & ~kFlipFlags) == 0)
                continue;
            flipped += (raw & kFlipFlags) != 0;
            const quint32 id = raw & ~kFlipFlags;
            int& known = id < kTableIds ? table[(raw >> 29) * kTableIds + id] : distinct.try_emplace(raw, -1).first->second;
            if (known < 0) {
                known = static_cast<int>(placements.size());
                placements.emplace_back();
                if (!place(map.tilesets, raw, placements.back()))
                    return false;
            }
            cellPlacement[static_cast<std::size_t>(r) * columns + c] = known;
        }
    }
    if (progress.cancelled())
        return fail(FailureKind::Cancelled);
    result_.tilesNeeded = static_cast<int>(cuts_.size());
    int unflipped = 0;
    if (!cuts_.empty()) {
        if (options_.tilesFolder.isEmpty()) {
            result_.needsTilesFolder = true;
            return false;
        }
        const CutResult cut = cutTiles(files_, sources_, cuts_, options_.tilesFolder, progress);
        if (!cut.failure.ok()) {
            fail(cut.failure.kind, cut.failure.files, cut.failure.detail);
            result_.failure.cause = cut.failure.cause;
            return false;
        }
        result_.tilesWritten = cut.written;
        result_.tilesReused = cut.reused;
        for (Placement& placement : placements) {
            if (placement.cut < 0)
                continue;
            const TileCut& cut = cuts_[static_cast<std::size_t>(placement.cut)];
            if (cut.path.isEmpty() && !sources_[static_cast<std::size_t>(cut.source)].sheet)
                ++unflipped;  // its own picture, which could not be read, stays unflipped
            else
                placement.path = cut.path;
        }
    }

    result_.mapSize = n;
    result_.cells.assign(static_cast<std::size_t>(n) * n, QString());
    qsizetype unknown = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            if (const int p = cellPlacement[static_cast<std::size_t>(r) * columns + c]; p >= 0) {
                const QString& path = placements[static_cast<std::size_t>(p)].path;
                unknown += path.isEmpty();
                result_.cells[static_cast<std::size_t>(r) * n + c] = path;
            }
    if (flipped > 0)
        result_.notes << QStringLiteral("%1 个单元格的图块经过翻转或旋转，已按翻转后的样子另存为图片。").arg(flipped);
    if (unflipped > 0)
        result_.notes << QStringLiteral("%1 个翻转或旋转的图块的图片无法读取，按原样放置。").arg(unflipped);
    if (!largeSets_.isEmpty())
        result_.notes << QStringLiteral("图块集%1的图块与地图的单元格（%2 × %3）大小不同：Tiled 和游戏引擎按图块原大从单元格的"
                                        "左下角画起，会盖到相邻的单元格上；导入后每个图块缩放到自己的单元格中。")
                             .arg(largeSets_.join(u'、'))
                             .arg(cell_.width())
                             .arg(cell_.height());
    if (unknown > 0)
        result_.notes << QStringLiteral("%1 个单元格的图块不在任何图块集中或没有图片，已留空。").arg(unknown);
    if (map.width != map.height)
        result_.notes << QStringLiteral("地图为 %1 × %2，导入为 %3 × %3 的地图，多出的单元格为空。")
                             .arg(map.width)
                             .arg(map.height)
                             .arg(n);
    return true;
}

}  // namespace

TiledFormat tiledFormatOf(const QString& path)
{
    return isJsonName(path) ? TiledFormat::Tmj : TiledFormat::Tmx;
}

bool hasTiledMapExtension(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"tmx" || suffix == u"tmj";
}

bool looksLikeTiledMap(QByteArrayView head)
{
    QByteArrayView text = head.trimmed();
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3).trimmed();
    if (text.startsWith("<?xml") || text.startsWith("<map"))
        return text.indexOf("<map") >= 0;
    // A JSON object: its first key's quote after the brace. Tiled writes its keys in alphabetical
    // order, so the orientation may come megabytes later; the reader tells a map from other JSON.
    return text.startsWith('{') && text.sliced(1).trimmed().startsWith('"');
}

QString defaultTilesFolder(const QString& mapPath, const QString& besideFolder)
{
    QString base = QFileInfo(mapPath).fileName();
    for (const QString& suffix : {QStringLiteral(".gz"), QStringLiteral(".tmx"), QStringLiteral(".tmj"), QStringLiteral(".json")})
        if (base.endsWith(suffix, Qt::CaseInsensitive))
            base.chop(suffix.size());
    return QDir::toNativeSeparators(QDir(besideFolder).filePath(fileNamePart(base) + QStringLiteral(" 图块")));
}

bool isTiledMapInput(const QString& path)
{
    return hasTiledMapExtension(path.endsWith(u".gz", Qt::CaseInsensitive) ? path.chopped(3) : path);
}

TiledImportResult readTiledMap(Files& files, const QString& path, const TiledImportOptions& options, Progress& progress)
{
    TiledImportResult result;
    Importer(files, path, options, result).read(progress);
    if (!result.ok())
        result.cells.clear();
    return result;
}

}  // namespace tessera

// A TMX or TMJ map into the cells of a map: its first visible tile layer through its image
// collections.
#include "tmx/TiledData.h"
#include "tmx/TiledMap.h"

#include "files/Files.h"
#include "files/Progress.h"
#include "model/MapPathFile.h"

#include <QDir>
#include <QFileInfo>

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

class Importer {
public:
    Importer(Files& files, const QString& path, TiledImportResult& result) : files_(files), path_(path), result_(result) {}

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
    // The picture of `gid` (flags cleared), empty when no tileset holds it; false on a failure.
    bool tilePath(const std::vector<TilesetData>& tilesets, quint32 gid, QString& path);

    Files& files_;
    QString path_;
    QString folder_;
    TiledImportResult& result_;
    std::unordered_map<QString, std::unique_ptr<TilesetData>> external_;  // by file
};

bool Importer::parse(const QByteArray& bytes, MapData& map)
{
    QByteArrayView start(bytes);
    if (start.startsWith("\xEF\xBB\xBF"))
        start = start.sliced(3);
    const bool json = hasTiledMapExtension(path_) ? tiledFormatOf(path_) == TiledFormat::Tmj
                                                   : start.trimmed().startsWith('{');
    QString error;
    if (!(json ? parseTmjMap(bytes, map, error) : parseTmxMap(bytes, map, error)))
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
    const auto visible = std::find_if(map.layers.begin(), map.layers.end(), [](const LayerData& l) { return l.visible; });
    const LayerData& chosen = visible != map.layers.end() ? *visible : map.layers.front();
    QStringList skipped;
    for (const LayerData& layer : map.layers)
        if (&layer != &chosen)
            skipped << QStringLiteral("“%1”").arg(layer.name);
    if (visible == map.layers.end())
        result_.notes << QStringLiteral("没有可见的图块图层，导入了第一个图层“%1”。").arg(chosen.name);
    else if (!skipped.isEmpty())
        result_.notes << QStringLiteral("只导入了图层“%1”，跳过了其他图块图层：%2。").arg(chosen.name, skipped.join(u'、'));
    if (chosen.chunked) {
        fail(FailureKind::UnsupportedMap, {}, QStringLiteral("无限（infinite）地图"));
        return nullptr;
    }
    return &chosen;
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

bool Importer::tilePath(const std::vector<TilesetData>& tilesets, quint32 gid, QString& path)
{
    // The tileset with the largest first gid not above `gid`.
    auto it = std::upper_bound(tilesets.begin(), tilesets.end(), gid,
                               [](quint32 g, const TilesetData& t) { return g < static_cast<quint32>(t.firstGid); });
    if (it == tilesets.begin())
        return true;
    const TilesetData& entry = *--it;
    const TilesetData* tileset = entry.source.isEmpty() ? &entry : externalTileset(entry);
    if (!tileset)
        return false;
    if (tileset->spritesheet)
        return fail(FailureKind::SpritesheetTileset, {tileset->name});
    const int id = static_cast<int>(gid - static_cast<quint32>(entry.firstGid));
    const auto image = std::lower_bound(tileset->images.begin(), tileset->images.end(), id,
                                        [](const auto& candidate, int wanted) { return candidate.first < wanted; });
    if (image != tileset->images.end() && image->first == id)
        path = resolved(tileset->folder.isEmpty() ? folder_ : tileset->folder, image->second);
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

    const int n = std::max(map.width, map.height);
    const int rows = std::min(layer->height, n), columns = std::min(layer->width, n);
    result_.mapSize = n;
    result_.cells.assign(static_cast<std::size_t>(n) * n, QString());
    std::unordered_map<quint32, QString> paths;  // each picture's text shared by its cells
    qsizetype flipped = 0, unknown = 0;
    progress.start(rows);
    for (int r = 0; r < rows; ++r) {
        if (progress.cancelled())
            return fail(FailureKind::Cancelled);
        for (int c = 0; c < columns; ++c) {
            const quint32 raw = gids[static_cast<std::size_t>(r) * layer->width + c];
            const quint32 gid = raw & ~kFlipFlags;
            flipped += raw != gid;
            if (gid == 0)
                continue;
            auto found = paths.find(gid);
            if (found == paths.end()) {
                QString path;
                if (!tilePath(map.tilesets, gid, path))
                    return false;
                found = paths.emplace(gid, path).first;
            }
            unknown += found->second.isEmpty();
            result_.cells[static_cast<std::size_t>(r) * n + c] = found->second;
        }
        progress.advance(1);
    }
    if (flipped > 0)
        result_.notes << QStringLiteral("%1 个单元格的翻转或旋转标志被忽略，图块按原样放置。").arg(flipped);
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

TiledImportResult readTiledMap(Files& files, const QString& path, Progress& progress)
{
    TiledImportResult result;
    Importer(files, path, result).read(progress);
    if (!result.ok())
        result.cells.clear();
    return result;
}

}  // namespace tessera

// Reading TMJ maps and TSJ tilesets with QJsonDocument.
#include "tmx/TiledData.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tessera::tiled {
namespace {

void readTilesetBody(const QJsonObject& o, TilesetData& tileset)
{
    tileset.name = o.value(u"name").toString();
    tileset.spritesheet = o.contains(u"image");
    SheetData& sheet = tileset.sheet;
    sheet.image = o.value(u"image").toString();
    sheet.tile = QSize(o.value(u"tilewidth").toInt(), o.value(u"tileheight").toInt());
    sheet.margin = o.value(u"margin").toInt();
    sheet.spacing = o.value(u"spacing").toInt();
    sheet.columns = o.value(u"columns").toInt();
    sheet.trans = o.value(u"transparentcolor").toString();
    for (const QJsonValue& tile : o.value(u"tiles").toArray()) {
        const QJsonObject t = tile.toObject();
        if (!t.value(u"image").toString().isEmpty() && t.value(u"id").isDouble())
            tileset.images.emplace_back(t.value(u"id").toInt(), t.value(u"image").toString());
    }
}

void readLayers(const JsonCut& cut, const QJsonArray& layers, MapData& map, bool visible)
{
    for (const QJsonValue& value : layers) {
        const QJsonObject o = value.toObject();
        const bool shown = visible && o.value(u"visible").toBool(true);
        const QString type = o.value(u"type").toString();
        if (type == u"group") {
            readLayers(cut, o.value(u"layers").toArray(), map, shown);
            continue;
        }
        if (type != u"tilelayer")
            continue;
        LayerData layer;
        layer.name = o.value(u"name").toString();
        layer.visible = shown;
        layer.width = o.value(u"width").toInt();
        layer.height = o.value(u"height").toInt();
        layer.chunked = o.contains(u"chunks");
        layer.compression = o.value(u"compression").toString();
        const QJsonValue data = o.value(u"data");
        if (data.isString()) {
            layer.encoding = o.value(u"encoding").toString(QStringLiteral("base64"));
            layer.text = data.toString().toLatin1();
        } else if (data.isArray()) {
            // The ids were checked and cut out before the parse: [N] names the array.
            const QJsonArray place = data.toArray();
            const qint64 n = place.size() == 1 ? place.first().toInteger(-1) : -1;
            layer.encoding = QStringLiteral("csv");
            if (n >= 0 && n < qint64(cut.arrays.size()))
                layer.text = QByteArray::fromRawData(cut.arrays[std::size_t(n)].data(), cut.arrays[std::size_t(n)].size());
        }
        map.layers.push_back(std::move(layer));
    }
}

bool readObject(const QByteArray& bytes, JsonCut& cut, QJsonObject& object, QString& error)
{
    if (!cutDataArrays(bytes, cut, error))
        return false;
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(cut.skeleton, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = QStringLiteral("第 %1 个字节处：JSON 格式有误（%2）").arg(cut.originalOffset(parse.offset)).arg(parse.errorString());
        return false;
    }
    if (!document.isObject()) {
        error = QStringLiteral("最外层不是 JSON 对象");
        return false;
    }
    object = document.object();
    return true;
}

}  // namespace

bool parseTmjMap(const QByteArray& bytes, MapData& map, QString& error)
{
    JsonCut cut;
    QJsonObject o;
    if (!readObject(bytes, cut, o, error))
        return false;
    if (o.contains(u"type") && o.value(u"type").toString() != u"map") {
        error = QStringLiteral("这是“%1”，不是地图").arg(o.value(u"type").toString());
        return false;
    }
    map.orientation = o.value(u"orientation").toString();
    map.infinite = o.value(u"infinite").toBool();
    map.width = o.value(u"width").toInt();
    map.height = o.value(u"height").toInt();
    map.tile = QSize(o.value(u"tilewidth").toInt(), o.value(u"tileheight").toInt());
    for (const QJsonValue& value : o.value(u"tilesets").toArray()) {
        const QJsonObject t = value.toObject();
        TilesetData tileset;
        tileset.firstGid = t.value(u"firstgid").toInt();
        tileset.source = t.value(u"source").toString();
        if (tileset.source.isEmpty())
            readTilesetBody(t, tileset);
        map.tilesets.push_back(std::move(tileset));
    }
    readLayers(cut, o.value(u"layers").toArray(), map, true);
    return true;
}

bool parseTsjTileset(const QByteArray& bytes, TilesetData& tileset, QString& error)
{
    JsonCut cut;
    QJsonObject o;
    if (!readObject(bytes, cut, o, error))
        return false;
    readTilesetBody(o, tileset);
    return true;
}

}  // namespace tessera::tiled

// The TMX, TSX, TMJ and TSJ bytes of an exported map, in the shapes the formats document.
#include "tmx/TiledData.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

#include <algorithm>
#include <charconv>

namespace tessera::tiled {
namespace {

// The version of the formats written.
constexpr auto kFormatVersion = "1.8";
const QString kLayerName = QStringLiteral("地图");

// The tileset's tile size: the largest tile, or the cell when no size is known.
QSize tilesetTileSize(const ExportData& data)
{
    QSize largest;
    for (const ExportTile& tile : data.tiles)
        if (tile.size.isValid())
            largest = largest.isValid() ? largest.expandedTo(tile.size) : tile.size;
    return largest.isValid() ? largest : data.cell;
}

// The global tile ids, comma-separated, one line per row (as the CSV layer data is written),
// or all on one line for a JSON array.
QByteArray gidList(const ExportData& data, bool lines)
{
    QByteArray out;
    out.resize(static_cast<qsizetype>(data.gids.size()) * 12 + data.mapSize + 2);
    char* p = out.data();
    if (lines)
        *p++ = '\n';
    const auto n = static_cast<std::size_t>(data.mapSize);
    for (std::size_t i = 0; i < data.gids.size(); ++i) {
        p = std::to_chars(p, p + 11, data.gids[i]).ptr;
        const bool rowEnd = (i + 1) % n == 0;
        if (i + 1 < data.gids.size())
            *p++ = ',';
        if (lines && rowEnd)
            *p++ = '\n';
    }
    out.truncate(p - out.data());
    return out;
}

void writeTilesetBody(QXmlStreamWriter& xml, const ExportData& data)
{
    const QSize tile = tilesetTileSize(data);
    xml.writeAttribute(QStringLiteral("name"), data.tilesetName);
    xml.writeAttribute(QStringLiteral("tilewidth"), QString::number(tile.width()));
    xml.writeAttribute(QStringLiteral("tileheight"), QString::number(tile.height()));
    xml.writeAttribute(QStringLiteral("tilecount"), QString::number(data.tiles.size()));
    xml.writeAttribute(QStringLiteral("columns"), QStringLiteral("0"));
    xml.writeEmptyElement(QStringLiteral("grid"));
    xml.writeAttribute(QStringLiteral("orientation"), QStringLiteral("orthogonal"));
    xml.writeAttribute(QStringLiteral("width"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("height"), QStringLiteral("1"));
    for (std::size_t i = 0; i < data.tiles.size(); ++i) {
        const ExportTile& t = data.tiles[i];
        xml.writeStartElement(QStringLiteral("tile"));
        xml.writeAttribute(QStringLiteral("id"), QString::number(i));
        xml.writeEmptyElement(QStringLiteral("image"));
        if (t.size.isValid()) {
            xml.writeAttribute(QStringLiteral("width"), QString::number(t.size.width()));
            xml.writeAttribute(QStringLiteral("height"), QString::number(t.size.height()));
        }
        xml.writeAttribute(QStringLiteral("source"), t.source);
        xml.writeEndElement();
    }
}

template <typename Write>
QByteArray xmlBytes(Write write)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter xml(&buffer);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    write(xml);
    xml.writeEndDocument();
    return bytes;
}

QJsonObject tilesetObject(const ExportData& data)
{
    const QSize tile = tilesetTileSize(data);
    QJsonArray tiles;
    for (std::size_t i = 0; i < data.tiles.size(); ++i) {
        const ExportTile& t = data.tiles[i];
        QJsonObject o{{QStringLiteral("id"), static_cast<qint64>(i)}, {QStringLiteral("image"), t.source}};
        if (t.size.isValid()) {
            o.insert(QStringLiteral("imagewidth"), t.size.width());
            o.insert(QStringLiteral("imageheight"), t.size.height());
        }
        tiles.append(o);
    }
    return {{QStringLiteral("name"), data.tilesetName},
            {QStringLiteral("tilewidth"), tile.width()},
            {QStringLiteral("tileheight"), tile.height()},
            {QStringLiteral("tilecount"), static_cast<qint64>(data.tiles.size())},
            {QStringLiteral("columns"), 0},
            {QStringLiteral("margin"), 0},
            {QStringLiteral("spacing"), 0},
            {QStringLiteral("grid"), QJsonObject{{QStringLiteral("orientation"), QStringLiteral("orthogonal")},
                                                 {QStringLiteral("width"), 1},
                                                 {QStringLiteral("height"), 1}}},
            {QStringLiteral("tiles"), tiles}};
}

// A JSON object's text without its closing brace, to go on with more members.
QByteArray openObject(const QJsonObject& object)
{
    QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact);
    text.chop(1);
    return text;
}

}  // namespace

QByteArray tmxMap(const ExportData& data)
{
    return xmlBytes([&](QXmlStreamWriter& xml) {
        const QString side = QString::number(data.mapSize);
        xml.writeStartElement(QStringLiteral("map"));
        xml.writeAttribute(QStringLiteral("version"), QLatin1String(kFormatVersion));
        xml.writeAttribute(QStringLiteral("orientation"), QStringLiteral("orthogonal"));
        xml.writeAttribute(QStringLiteral("renderorder"), QStringLiteral("right-down"));
        xml.writeAttribute(QStringLiteral("width"), side);
        xml.writeAttribute(QStringLiteral("height"), side);
        xml.writeAttribute(QStringLiteral("tilewidth"), QString::number(data.cell.width()));
        xml.writeAttribute(QStringLiteral("tileheight"), QString::number(data.cell.height()));
        xml.writeAttribute(QStringLiteral("infinite"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("nextlayerid"), QStringLiteral("2"));
        xml.writeAttribute(QStringLiteral("nextobjectid"), QStringLiteral("1"));
        int firstGid = 1;
        for (const AtlasSheet& sheet : data.atlas) {
            xml.writeStartElement(QStringLiteral("tileset"));
            xml.writeAttribute(QStringLiteral("firstgid"), QString::number(firstGid));
            xml.writeAttribute(QStringLiteral("name"), sheet.name);
            xml.writeAttribute(QStringLiteral("tilewidth"), QString::number(data.cell.width()));
            xml.writeAttribute(QStringLiteral("tileheight"), QString::number(data.cell.height()));
            xml.writeAttribute(QStringLiteral("tilecount"), QString::number(sheet.count));
            xml.writeAttribute(QStringLiteral("columns"), QString::number(sheet.columns));
            xml.writeEmptyElement(QStringLiteral("image"));
            xml.writeAttribute(QStringLiteral("source"), sheet.source);
            xml.writeAttribute(QStringLiteral("width"), QString::number(sheet.size.width()));
            xml.writeAttribute(QStringLiteral("height"), QString::number(sheet.size.height()));
            xml.writeEndElement();
            firstGid += sheet.count;
        }
        if (!data.atlas.empty()) {
            // The atlas's tilesets only.
        } else if (!data.tilesetSource.isEmpty()) {
            xml.writeEmptyElement(QStringLiteral("tileset"));
            xml.writeAttribute(QStringLiteral("firstgid"), QStringLiteral("1"));
            xml.writeAttribute(QStringLiteral("source"), data.tilesetSource);
        } else {
            xml.writeStartElement(QStringLiteral("tileset"));
            xml.writeAttribute(QStringLiteral("firstgid"), QStringLiteral("1"));
            writeTilesetBody(xml, data);
            xml.writeEndElement();
        }
        xml.writeStartElement(QStringLiteral("layer"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("1"));
        xml.writeAttribute(QStringLiteral("name"), kLayerName);
        xml.writeAttribute(QStringLiteral("width"), side);
        xml.writeAttribute(QStringLiteral("height"), side);
        xml.writeStartElement(QStringLiteral("data"));
        xml.writeAttribute(QStringLiteral("encoding"), QStringLiteral("csv"));
        xml.writeCharacters(QString::fromLatin1(gidList(data, true)));
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeEndElement();
    });
}

QByteArray tsxTileset(const ExportData& data)
{
    return xmlBytes([&](QXmlStreamWriter& xml) {
        xml.writeStartElement(QStringLiteral("tileset"));
        xml.writeAttribute(QStringLiteral("version"), QLatin1String(kFormatVersion));
        writeTilesetBody(xml, data);
        xml.writeEndElement();
    });
}

QByteArray tmjMap(const ExportData& data)
{
    QJsonArray tilesets;
    int firstGid = 1;
    for (const AtlasSheet& sheet : data.atlas) {
        tilesets.append(QJsonObject{{QStringLiteral("firstgid"), firstGid},
                                    {QStringLiteral("name"), sheet.name},
                                    {QStringLiteral("image"), sheet.source},
                                    {QStringLiteral("imagewidth"), sheet.size.width()},
                                    {QStringLiteral("imageheight"), sheet.size.height()},
                                    {QStringLiteral("tilewidth"), data.cell.width()},
                                    {QStringLiteral("tileheight"), data.cell.height()},
                                    {QStringLiteral("tilecount"), sheet.count},
                                    {QStringLiteral("columns"), sheet.columns},
                                    {QStringLiteral("margin"), 0},
                                    {QStringLiteral("spacing"), 0}});
        firstGid += sheet.count;
    }
    QJsonObject tileset{{QStringLiteral("firstgid"), 1}};
    if (!data.tilesetSource.isEmpty())
        tileset.insert(QStringLiteral("source"), data.tilesetSource);
    else {
        const QJsonObject body = tilesetObject(data);
        for (auto it = body.constBegin(); it != body.constEnd(); ++it)
            tileset.insert(it.key(), it.value());
    }
    if (data.atlas.empty())
        tilesets.append(tileset);
    const QJsonObject map{{QStringLiteral("type"), QStringLiteral("map")},
                          {QStringLiteral("version"), QLatin1String(kFormatVersion)},
                          {QStringLiteral("orientation"), QStringLiteral("orthogonal")},
                          {QStringLiteral("renderorder"), QStringLiteral("right-down")},
                          {QStringLiteral("width"), data.mapSize},
                          {QStringLiteral("height"), data.mapSize},
                          {QStringLiteral("tilewidth"), data.cell.width()},
                          {QStringLiteral("tileheight"), data.cell.height()},
                          {QStringLiteral("infinite"), false},
                          {QStringLiteral("compressionlevel"), -1},
                          {QStringLiteral("nextlayerid"), 2},
                          {QStringLiteral("nextobjectid"), 1},
                          {QStringLiteral("tilesets"), tilesets}};
    const QJsonObject layer{{QStringLiteral("type"), QStringLiteral("tilelayer")},
                            {QStringLiteral("id"), 1},
                            {QStringLiteral("name"), kLayerName},
                            {QStringLiteral("width"), data.mapSize},
                            {QStringLiteral("height"), data.mapSize},
                            {QStringLiteral("x"), 0},
                            {QStringLiteral("y"), 0},
                            {QStringLiteral("opacity"), 1},
                            {QStringLiteral("visible"), true}};
    // The layer's million ids are written straight, not as a million JSON values.
    return openObject(map) + ",\"layers\":[" + openObject(layer) + ",\"data\":[" + gidList(data, false) + "]}]}\n";
}

QByteArray tsjTileset(const ExportData& data)
{
    QJsonObject tileset = tilesetObject(data);
    tileset.insert(QStringLiteral("type"), QStringLiteral("tileset"));
    tileset.insert(QStringLiteral("version"), QLatin1String(kFormatVersion));
    return QJsonDocument(tileset).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace tessera::tiled

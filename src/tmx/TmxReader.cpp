// Reading TMX maps and TSX tilesets with QXmlStreamReader.
#include "tmx/TiledData.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <vector>

namespace tessera::tiled {
namespace {

QStringView attribute(const QXmlStreamReader& xml, const char* name)
{
    return xml.attributes().value(QLatin1StringView(name));
}

int intAttribute(const QXmlStreamReader& xml, const char* name, int otherwise = 0)
{
    bool ok = false;
    const int value = attribute(xml, name).toInt(&ok);
    return ok ? value : otherwise;
}

// The attributes and children of a <tileset> that holds its tiles (embedded, or a TSX file's root).
void readTilesetBody(QXmlStreamReader& xml, TilesetData& tileset)
{
    tileset.name = attribute(xml, "name").toString();
    SheetData& sheet = tileset.sheet;
    sheet.tile = QSize(intAttribute(xml, "tilewidth"), intAttribute(xml, "tileheight"));
    sheet.margin = intAttribute(xml, "margin");
    sheet.spacing = intAttribute(xml, "spacing");
    sheet.columns = intAttribute(xml, "columns");
    while (xml.readNextStartElement()) {
        if (xml.name() == u"image") {
            tileset.spritesheet = true;
            sheet.image = attribute(xml, "source").toString();
            sheet.trans = attribute(xml, "trans").toString();
            xml.skipCurrentElement();
        } else if (xml.name() == u"tile") {
            const int id = intAttribute(xml, "id", -1);
            while (xml.readNextStartElement()) {
                // An image without a source names no file: the tile stays without a picture.
                if (xml.name() == u"image" && id >= 0 && !attribute(xml, "source").isEmpty())
                    tileset.images.emplace_back(id, attribute(xml, "source").toString());
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

// <data>: its text (CSV or base64), its <tile> elements, or an infinite map's <chunk>s. What is
// more than the layer's size can need (16 characters or one element a tile, and some room for
// blanks) is refused while it is read.
void readLayerData(QXmlStreamReader& xml, LayerData& layer)
{
    layer.encoding = attribute(xml, "encoding").toString();
    layer.compression = attribute(xml, "compression").toString();
    const qint64 tiles = qint64(std::max(layer.width, 0)) * std::max(layer.height, 0);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            break;
        if (token == QXmlStreamReader::Characters) {
            layer.text += xml.text().toLatin1();
        } else if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"chunk")
                layer.chunked = true;
            else if (xml.name() == u"tile")
                layer.gids.push_back(attribute(xml, "gid").toUInt());
            xml.skipCurrentElement();
        }
        if (layer.text.size() > tiles * 16 + 65536 || qint64(layer.gids.size()) > tiles) {
            xml.raiseError(QStringLiteral("图层“%1”的数据超过了它的 %2 × %3 个图块所需")
                               .arg(layer.name).arg(layer.width).arg(layer.height));
            break;
        }
    }
}

// The map's tilesets and tile layers, through groups of any depth without recursion.
void readLayers(QXmlStreamReader& xml, MapData& map)
{
    std::vector<char> shown{1};  // whether each open <group> is visible, the map's own first
    while (!shown.empty() && !xml.atEnd()) {
        if (!xml.readNextStartElement()) {
            shown.pop_back();  // the end of a group or of the map
            continue;
        }
        const bool visible = shown.back() && attribute(xml, "visible") != u"0";
        if (xml.name() == u"tileset") {
            TilesetData tileset;
            tileset.firstGid = intAttribute(xml, "firstgid");
            tileset.source = attribute(xml, "source").toString();
            if (tileset.source.isEmpty())
                readTilesetBody(xml, tileset);
            else
                xml.skipCurrentElement();
            map.tilesets.push_back(std::move(tileset));
        } else if (xml.name() == u"layer") {
            LayerData layer;
            layer.name = attribute(xml, "name").toString();
            layer.visible = visible;
            layer.width = intAttribute(xml, "width");
            layer.height = intAttribute(xml, "height");
            while (xml.readNextStartElement()) {
                if (xml.name() == u"data")
                    readLayerData(xml, layer);
                else
                    xml.skipCurrentElement();
            }
            map.layers.push_back(std::move(layer));
        } else if (xml.name() == u"group") {
            shown.push_back(visible);
        } else {
            xml.skipCurrentElement();
        }
    }
}

bool readError(const QXmlStreamReader& xml, QString& error)
{
    if (!xml.hasError())
        return false;
    const QString where = QStringLiteral("第 %1 行第 %2 列：").arg(xml.lineNumber()).arg(xml.columnNumber());
    if (xml.error() == QXmlStreamReader::CustomError)
        error = where + xml.errorString();
    else if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
        error = where + QStringLiteral("文件在中途结束（%1）").arg(xml.errorString());
    else
        error = where + QStringLiteral("XML 格式有误（%1）").arg(xml.errorString());
    return true;
}

// Reads up to the root element, which must be <root>. A document type that declares entities is
// refused: their expansion inside the data could grow without bound.
bool openRoot(QXmlStreamReader& xml, const char* root, QString& error)
{
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
        if (xml.tokenType() == QXmlStreamReader::DTD && xml.text().contains(u"<!ENTITY")) {
            xml.raiseError(QStringLiteral("文件声明了 XML 实体（<!ENTITY>），不予读取"));
            break;
        }
    }
    if (!xml.hasError() && xml.isStartElement() && xml.name() == QLatin1StringView(root))
        return true;
    if (!readError(xml, error))
        error = QStringLiteral("最外层的元素不是 <%1>").arg(QLatin1StringView(root));
    return false;
}

}  // namespace

bool parseTmxMap(const QByteArray& bytes, MapData& map, QString& error)
{
    QXmlStreamReader xml(bytes);
    if (!openRoot(xml, "map", error))
        return false;
    map.orientation = attribute(xml, "orientation").toString();
    map.infinite = attribute(xml, "infinite") == u"1";
    map.width = intAttribute(xml, "width");
    map.height = intAttribute(xml, "height");
    map.tile = QSize(intAttribute(xml, "tilewidth"), intAttribute(xml, "tileheight"));
    readLayers(xml, map);
    return !readError(xml, error);
}

bool parseTsxTileset(const QByteArray& bytes, TilesetData& tileset, QString& error)
{
    QXmlStreamReader xml(bytes);
    if (!openRoot(xml, "tileset", error))
        return false;
    readTilesetBody(xml, tileset);
    return !readError(xml, error);
}

}  // namespace tessera::tiled

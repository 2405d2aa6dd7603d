// Reading TMX maps and TSX tilesets with QXmlStreamReader.
#include "tmx/TiledData.h"

#include <QXmlStreamReader>

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
    while (xml.readNextStartElement()) {
        if (xml.name() == u"image") {
            tileset.spritesheet = true;
            xml.skipCurrentElement();
        } else if (xml.name() == u"tile") {
            const int id = intAttribute(xml, "id", -1);
            while (xml.readNextStartElement()) {
                if (xml.name() == u"image" && id >= 0)
                    tileset.images.emplace_back(id, attribute(xml, "source").toString());
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

// <data>: its text (CSV or base64), its <tile> elements, or an infinite map's <chunk>s.
void readLayerData(QXmlStreamReader& xml, LayerData& layer)
{
    layer.encoding = attribute(xml, "encoding").toString();
    layer.compression = attribute(xml, "compression").toString();
    QString text;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            break;
        if (token == QXmlStreamReader::Characters) {
            text += xml.text();
        } else if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"chunk")
                layer.chunked = true;
            else if (xml.name() == u"tile")
                layer.gids.push_back(attribute(xml, "gid").toUInt());
            xml.skipCurrentElement();
        }
    }
    layer.text = text.toLatin1();
}

void readLayers(QXmlStreamReader& xml, MapData& map, bool visible)
{
    while (xml.readNextStartElement()) {
        const bool shown = visible && attribute(xml, "visible") != u"0";
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
            layer.visible = shown;
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
            readLayers(xml, map, shown);
        } else {
            xml.skipCurrentElement();
        }
    }
}

bool readError(const QXmlStreamReader& xml, QString& error)
{
    if (!xml.hasError())
        return false;
    error = QStringLiteral("第 %1 行第 %2 列：%3").arg(xml.lineNumber()).arg(xml.columnNumber()).arg(xml.errorString());
    return true;
}

bool openRoot(QXmlStreamReader& xml, const char* root, QString& error)
{
    if (xml.readNextStartElement() && xml.name() == QLatin1StringView(root))
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
    readLayers(xml, map, true);
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

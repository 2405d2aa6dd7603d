#pragma once

// What the readers make of a TMX or TMJ file and what the writers write, in the formats' own terms.
#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <utility>
#include <vector>

namespace tessera::tiled {

// The flags a global tile id carries in its top bits: flipped across, down, diagonally, rotated.
inline constexpr quint32 kFlipFlags = 0xF0000000u;
inline constexpr quint32 kFlipAcross = 0x80000000u;
inline constexpr quint32 kFlipDown = 0x40000000u;
inline constexpr quint32 kFlipDiagonal = 0x20000000u;

// A spritesheet tileset's picture and how its tiles lie in it.
struct SheetData {
    QString image;  // as written
    QSize tile;
    int margin = 0;
    int spacing = 0;
    int columns = 0;    // as written; the picture's own width decides
    QString trans;      // the colour shown transparent, "rrggbb" (with or without "#"); empty for none
};

struct TilesetData {
    int firstGid = 0;
    QString source;  // an external tileset's file as written; empty when embedded
    QString folder;  // an external tileset's folder once it is read: its images are relative to it
    QString name;
    bool spritesheet = false;                     // the tiles are cut from one image
    SheetData sheet;                              // when `spritesheet`
    std::vector<std::pair<int, QString>> images;  // tile id, image source as written
};

struct LayerData {
    QString name;
    bool visible = true;  // its own flag and its groups'
    int width = 0;
    int height = 0;
    QString encoding;     // "csv", "base64", or empty: `gids` hold the tiles
    QString compression;  // with base64: empty, "zlib", "gzip" or "zstd"
    QByteArray text;      // the data as written, for csv and base64
    std::vector<quint32> gids;
    bool chunked = false;  // an infinite map's data in chunks
};

struct MapData {
    QString orientation;
    bool infinite = false;
    int width = 0;
    int height = 0;
    QSize tile;  // the cell's size
    std::vector<TilesetData> tilesets;
    std::vector<LayerData> layers;  // the tile layers, in the file's order
};

// A TMJ document with the tile ids of its "data" arrays cut out (cutDataArrays): each array is
// [N] in `skeleton`, N its place in `arrays`, which are views into the document's bytes.
struct JsonCut {
    QByteArray skeleton;
    std::vector<QByteArrayView> arrays;
    std::vector<std::pair<qsizetype, qsizetype>> cuts;  // where in the skeleton, how many bytes fewer

    // The place in the document of a place in the skeleton.
    qsizetype originalOffset(qsizetype skeletonOffset) const;
};
// Checks in one pass that every "data" array holds tile ids only (unsigned integers below 2³²), no
// more than the largest map has, and that the rest holds a bounded number of values; false with
// the reason in `error`, before anything is parsed.
bool cutDataArrays(const QByteArray& bytes, JsonCut& cut, QString& error);

// False with the reader's words (where and what) in `error`. A TMJ map's layers refer to `bytes`,
// which must outlive `map`.
bool parseTmxMap(const QByteArray& bytes, MapData& map, QString& error);
bool parseTsxTileset(const QByteArray& bytes, TilesetData& tileset, QString& error);
bool parseTmjMap(const QByteArray& bytes, MapData& map, QString& error);
bool parseTsjTileset(const QByteArray& bytes, TilesetData& tileset, QString& error);

// A gzip-compressed map, at most `maxBytes` once inflated; false with why in `error`.
bool gunzipFile(const QByteArray& in, QByteArray& out, qint64 maxBytes, QString& error);

// The layer's width × height global tile ids, from whichever form it was written in.
bool decodeLayerData(const LayerData& layer, std::vector<quint32>& gids, QString& error);

// What the writers write: one image collection, tile i having gid i + 1.
struct ExportTile {
    QString source;  // relative to the file that names it when it can be
    QSize size;      // invalid when the picture's header could not be read
};

// A spritesheet of the atlas: `count` tiles of the cell's size, `columns` a row, from the top left.
struct AtlasSheet {
    QString name;    // the tileset's
    QString source;  // the picture's file name, beside the map
    QSize size;
    int columns = 0;
    int count = 0;
};

struct ExportData {
    int mapSize = 0;
    QSize cell;
    QString tilesetName;
    QString tilesetSource;  // the external tileset's file name; empty when embedded
    std::vector<ExportTile> tiles;
    std::vector<AtlasSheet> atlas;  // when not empty, the tilesets, in place of the collection
    std::vector<quint32> gids;  // mapSize², row by row; 0 for an empty cell
};

QByteArray tmxMap(const ExportData& data);
QByteArray tsxTileset(const ExportData& data);
QByteArray tmjMap(const ExportData& data);
QByteArray tsjTileset(const ExportData& data);

}  // namespace tessera::tiled

#pragma once

// Maps in the TMX (XML) and TMJ (JSON) formats that game engines and their importers read: an
// orthogonal map and one tile layer; written with a collection of images or an atlas, read from
// either kind of tileset.
#include "files/Failure.h"
#include "model/TileGrid.h"

#include <QByteArrayView>
#include <QSize>
#include <QString>
#include <QStringList>

namespace tessera {

class Files;
class Progress;

enum class TiledFormat { Tmx, Tmj };

// TMJ for ".tmj" and ".json", TMX otherwise.
TiledFormat tiledFormatOf(const QString& path);
// A name ending in ".tmx" or ".tmj".
bool hasTiledMapExtension(const QString& path);
// A name a map read is known by: hasTiledMapExtension, or such a name with ".gz" after it.
bool isTiledMapInput(const QString& path);
// Bytes that begin like a TMX map (an XML declaration or <map>) or a TMJ map (a JSON object).
bool looksLikeTiledMap(QByteArrayView head);

// The cell size when none is asked for.
inline constexpr QSize kDefaultTiledCell{400, 300};
// The size of the map's first tile picture (row by row), else kDefaultTiledCell.
QSize defaultTiledCell(const CellTexts& cells);

struct TiledExportOptions {
    QSize cell = kDefaultTiledCell;
    bool externalTileset = false;  // the tileset in a .tsx or .tsj file beside the map
    // The distinct tiles resized to the cell and packed into spritesheet pictures beside the map
    // ("<map>-atlas-N.png", at most 4096 × 4096 each), one tileset each, embedded: what game
    // engines draw with one call per tileset.
    bool atlas = false;
};

struct TiledExportResult {
    Failure failure;          // work: TiledExport
    int tiles = 0;            // distinct tile files
    int sizesUnknown = 0;     // tile files whose header could not be read: written without a size
                              // (with the atlas: left transparent)
    int sizesOther = 0;       // tile pictures of another size than the cell (without the atlas)
    QString tilesetPath;      // the external tileset written, if any
    QStringList atlasPaths;   // the atlas pictures written

    bool ok() const { return failure.ok(); }
};

// Writes the map of `cells` (mapSize² texts) to `path` in the format of its extension, whole or
// not at all (the atlas pictures, then the tileset, when external, first), never over one of
// `otherInputs` or a tile file.
// Reads each distinct tile's size from its header, on every core. Thread-safe.
TiledExportResult writeTiledMap(const CellTexts& cells, int mapSize, const QString& path,
                                const TiledExportOptions& options, Progress& progress,
                                const QStringList& otherInputs = {});

struct TiledImportOptions {
    int layerIndex = -1;  // the tile layer read, by its place among the map's tile layers; or
    QString layerName;    // by its name; neither: the first visible one, else the first
    // Where the tiles cut from spritesheets and flipped tiles are written (made when missing). When
    // empty and the layer needs such tiles, the import stops before writing and says how many.
    QString tilesFolder;
};

// The folder proposed for a map's cut tiles: named after the map, in `besideFolder`.
QString defaultTilesFolder(const QString& mapPath, const QString& besideFolder);

struct TiledImportResult {
    Failure failure;     // work: TiledImport
    int mapSize = 0;     // the larger of the map's width and height
    CellTexts cells;     // mapSize² texts, row by row
    QStringList notes;   // what was left out or changed, in words for the user
    QStringList layers;  // the map's tile layers, in the file's order
    int layer = -1;      // the one read
    int tilesNeeded = 0;            // tile pictures the layer needs cut or flipped
    bool needsTilesFolder = false;  // stopped before writing them: no folder was given
    int tilesWritten = 0;           // new files
    int tilesReused = 0;            // identical files already there

    bool ok() const { return failure.ok() && !needsTilesFolder; }
};

// Reads the TMX or TMJ map at `path` (told by its extension, else by its content; gzip-compressed
// too) into cells: a tile layer through the tilesets it uses (embedded or external). A tile of an
// image collection is its own picture; a tile cut from a spritesheet, and every flipped or rotated
// tile, is written as a PNG file of its own (see TiledImportOptions). Shows nothing; thread-safe.
TiledImportResult readTiledMap(Files& files, const QString& path, const TiledImportOptions& options,
                               Progress& progress);

}  // namespace tessera

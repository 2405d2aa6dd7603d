#pragma once

// Maps in the TMX (XML) and TMJ (JSON) formats that game engines and their importers read: an
// orthogonal map, one tile layer, one tileset that is a collection of images, one per tile file.
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
// Bytes that begin like a TMX map (an XML declaration or <map>) or a TMJ map (a JSON object).
bool looksLikeTiledMap(QByteArrayView head);

// The cell size when none is asked for.
inline constexpr QSize kDefaultTiledCell{400, 300};
// The size of the map's first tile picture (row by row), else kDefaultTiledCell.
QSize defaultTiledCell(const CellTexts& cells);

struct TiledExportOptions {
    QSize cell = kDefaultTiledCell;
    bool externalTileset = false;  // the tileset in a .tsx or .tsj file beside the map
};

struct TiledExportResult {
    Failure failure;          // work: TiledExport
    int tiles = 0;            // distinct tile files
    int sizesUnknown = 0;     // tile files whose header could not be read: written without a size
    QString tilesetPath;      // the external tileset written, if any

    bool ok() const { return failure.ok(); }
};

// Writes the map of `cells` (mapSize² texts) to `path` in the format of its extension, whole or
// not at all (the tileset first, when external), never over one of `otherInputs` or a tile file.
// Reads each distinct tile's size from its header, on every core. Thread-safe.
TiledExportResult writeTiledMap(const CellTexts& cells, int mapSize, const QString& path,
                                const TiledExportOptions& options, Progress& progress,
                                const QStringList& otherInputs = {});

struct TiledImportResult {
    Failure failure;     // work: TiledImport
    int mapSize = 0;     // the larger of the map's width and height
    CellTexts cells;     // mapSize² texts, row by row
    QStringList notes;   // what was left out or changed, in words for the user

    bool ok() const { return failure.ok(); }
};

// Reads the TMX or TMJ map at `path` (told by its extension, else by its content) into cells: the
// first visible tile layer, through the image collections it uses (embedded or external). Shows
// nothing; thread-safe.
TiledImportResult readTiledMap(Files& files, const QString& path, Progress& progress);

}  // namespace tessera

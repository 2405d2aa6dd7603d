#pragma once

#include "model/TileGrid.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace tessera {

// A map named on the command line.
struct CommandMap {
    int size = 0;
    CellTexts cells;
    QStringList notes;  // what a TMX or TMJ map's import left out
};

// How a command reads a TMX or TMJ map: --layer and --tiles, and the file it writes.
struct TiledInputOptions {
    QString layer;
    QString tilesFolder;  // empty: defaultTilesFolder beside `output`
    QString output;
};

// Reads a map path file (its size the larger of its line count and its widest line) or a TMX or
// TMJ map (told by its name, else by its first bytes). On failure says why on `err`; the tile
// pictures a TMX or TMJ map's import wrote are said on `out`.
std::optional<CommandMap> readCommandMap(const QString& path, const TiledInputOptions& tiled, QTextStream& out,
                                         QTextStream& err);

// The usage lines of --layer and --tiles.
QString tiledInputUsage();

}  // namespace tessera

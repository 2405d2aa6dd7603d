#pragma once

#include "files/Files.h"
#include "model/MapText.h"
#include "model/TileGrid.h"

namespace tessera {

class Progress;

// Largest map path file read: far beyond any 1000 × 1000 map of real paths.
inline constexpr qint64 kMaxMapFileBytes = 1024LL * 1024 * 1024;

// What reading or writing a map path file gave: success, or why not (the editor's words; a
// command sets its own work).
struct MapFileResult {
    Failure failure;
    CellTexts cells;             // the cells read, for an import
    int mapSize = 0;             // the map's size they were read at
    bool lineFeedsOnly = false;  // read as one line: see lineFeedsOnlyNote

    bool ok() const { return failure.ok(); }
};

// Reads `path` as the cells of a map of `mapSize`; with `mapSize` 0, of the size the file itself
// asks for: the larger of its number of lines and its widest line (0 for an empty file; a failure
// past the largest map). Shows nothing; thread-safe.
MapFileResult readMapPathFile(Files& files, const QString& path, int mapSize, Progress& progress);
// Writes the map path file of `cells` to `path` atomically, never over one of `inputs` (the files it
// was made from); nothing is written once `progress` is cancelled. Shows nothing; thread-safe.
MapFileResult writeMapPathFile(Files& files, const QString& path, const CellTexts& cells, int mapSize,
                               Progress& progress, const QStringList& inputs = {});

}  // namespace tessera

#pragma once

#include "gui/Platform.h"
#include "model/TileGrid.h"

#include <functional>

namespace tessera {

class LongWork;
class Progress;

// Largest map path file read: far beyond any 1000 × 1000 map of real paths.
inline constexpr qint64 kMaxMapFileBytes = 1024LL * 1024 * 1024;

// What reading or writing a map path file gave: success, or the message that says why not.
struct MapFileResult {
    bool ok = false;
    QString failure;
    CellTexts cells;  // the cells read, for an import
};

// Reads `path` as the cells of a map of `mapSize`. Shows nothing; thread-safe.
MapFileResult readMapPathFile(Platform& platform, const QString& path, int mapSize, Progress& progress);
// Writes the grid text of `cells` to `path` atomically; nothing is written once `progress` is
// cancelled. Shows nothing; thread-safe.
MapFileResult writeMapPathFile(Platform& platform, const QString& path, const CellTexts& cells, int mapSize,
                               Progress& progress);

// Export and import of the map path file with their dialogs and messages. With a `LongWork` the
// reading, writing and encoding run in the background and the grid changes when they are done.
class MapPathFile {
public:
    static const FileDialogOptions kDialogOptions;

    MapPathFile(TileGrid& grid, Platform& platform, Progress& progress)
        : grid_(grid), platform_(platform), progress_(progress)
    {
    }

    void setLongWork(LongWork* work) { work_ = work; }
    // The full redraw that ends an import.
    void setRedrawCanvas(std::function<void()> redraw) { redrawCanvas_ = std::move(redraw); }

    // Asks for a file and writes the grid into it atomically.
    bool exportGrid();
    // Asks for a file and replaces the grid's content with it; an unreadable or unsuitable file
    // leaves the grid as it was.
    bool importGrid();

    // Without a `LongWork`: true when written or read. With one: true when the work has started.
    // The same holds for the two above.
    bool exportTo(const QString& path);
    bool importFrom(const QString& path);

private:
    bool confirmUnfitCells();
    bool finishExport(const MapFileResult& result);
    bool finishImport(MapFileResult result);

    TileGrid& grid_;
    Platform& platform_;
    Progress& progress_;
    LongWork* work_ = nullptr;
    std::function<void()> redrawCanvas_;
};

}  // namespace tessera

#pragma once

#include "gui/Platform.h"

#include <functional>

namespace tessera {

class Progress;
class TileGrid;

// Export and import of the map path file with their dialogs and messages.
class MapPathFile {
public:
    static const FileDialogOptions kDialogOptions;

    MapPathFile(TileGrid& grid, Platform& platform, Progress& progress)
        : grid_(grid), platform_(platform), progress_(progress)
    {
    }

    // The full redraw that ends an import.
    void setRedrawCanvas(std::function<void()> redraw) { redrawCanvas_ = std::move(redraw); }

    // Asks for a file and writes the grid into it atomically. True when written.
    bool exportGrid();
    // Asks for a file and replaces the grid's content with it. True when read; an unreadable or
    // unsuitable file leaves the grid as it was.
    bool importGrid();

    bool exportTo(const QString& path);
    bool importFrom(const QString& path);

private:
    bool confirmUnfitCells();

    TileGrid& grid_;
    Platform& platform_;
    Progress& progress_;
    std::function<void()> redrawCanvas_;
};

}  // namespace tessera

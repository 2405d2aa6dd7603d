#pragma once

#include <QImage>
#include <QString>

#include "tiles/BatchSupport.h"

#include <functional>

namespace tessera {

class Platform;
class Progress;
class BatchReport;
class TileGrid;

// "批量更名": every tile file of the map is renamed after its cell (r-c.jpg) into a chosen folder,
// and the grid is pointed at the new names. Nothing is ever overwritten or lost: a file used by
// several cells is copied for the later ones, renames that would collide go through temporary
// names, and every step that fails keeps its cell naming the file that is really there.
class BatchRename {
public:
    struct Hooks {
        std::function<bool()> fillBlanks;                   // write placeholders for empty cells
        std::function<void(const QImage&)> showPlaceholder; // the scratch board
        std::function<void()> redrawCanvas;
        std::function<void()> refreshFiles;
    };

    BatchRename(TileGrid& grid, Platform& platform, Progress& progress, BatchReport& report, Hooks hooks);

    // The opening questions: whether to rename, and into which folder.
    static BatchStart askStart(Platform& platform, const TileGrid& grid);
    // The whole command: question, folder, the renames.
    void run();
    // The renames into `folder`, with their report.
    void renameInto(const QString& folder);

    int failures() const { return failures_; }

private:
    TileGrid& grid_;
    Platform& platform_;
    Progress& progress_;
    BatchReport& report_;
    Hooks hooks_;
    int failures_ = 0;
};

}  // namespace tessera

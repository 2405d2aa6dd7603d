#pragma once

#include "batch/BatchSupport.h"

#include <QString>

namespace tessera {

class Files;
class Progress;
class BatchReport;
class TileGrid;

// "批量更名": every tile file of the map is renamed after its cell (r-c.jpg) into a chosen folder,
// and the grid is pointed at the new names. Nothing is ever overwritten or lost: a file used by
// several cells is copied for the later ones, renames that would collide go through temporary
// names, and every step that fails keeps its cell naming the file that is really there.
class BatchRename {
public:
    // With `fillBlanks`, a placeholder picture is written for every empty cell too.
    BatchRename(TileGrid& grid, Files& files, Progress& progress, BatchReport& report, bool fillBlanks);

    // The renames into `folder`, with their report.
    void renameInto(const QString& folder);

    int failures() const { return failures_; }

private:
    TileGrid& grid_;
    Files& files_;
    Progress& progress_;
    BatchReport& report_;
    bool fillBlanks_;
    int failures_ = 0;
};

}  // namespace tessera

#pragma once

#include "batch/BatchSupport.h"

#include <QHash>
#include <QString>

namespace tessera {

class Files;
class Progress;
class BatchReport;
class TileGrid;

// "移动文件位置": every tile file of the map is moved into a chosen folder under its own name, and
// the grid is pointed there. An existing file is never overwritten, a tile already in the folder
// stays where it is, and a move that fails keeps its cell naming the file where it still is.
class BatchMove {
public:
    BatchMove(TileGrid& grid, Files& files, Progress& progress, BatchReport& report);

    void moveInto(const QString& folder);

    int failures() const { return failures_; }

private:
    // Removes what an interrupted move left in `folder`; returns the failures to count.
    int tidy(const QString& folder);
    // Moves the cell's file into `folder`; `movedTo` holds where files already moved went.
    void moveCell(int row, int column, const QString& folder, QHash<QString, QString>& movedTo);

    TileGrid& grid_;
    Files& files_;
    Progress& progress_;
    BatchReport& report_;
    int failures_ = 0;
};

}  // namespace tessera

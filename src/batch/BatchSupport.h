#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace tessera {

class Files;
class BatchReport;
class TileGrid;

// A cell's file name as 批量更名 writes it: "3-12.jpg" for row 3, column 12.
QString cellFileName(int row, int column);
// Back: the index ((row - 1) × mapSize + column - 1) of the cell of a map of that size whose
// name `name` is exactly, or -1.
int cellOfFileName(QStringView name, int mapSize);

// The text after the path's last native separator; the whole text when there is none.
QString fileNamePart(const QString& path);

// Whether the file's first bytes are those of a JPEG, PNG, GIF or BMP picture. The batch
// operations touch nothing else, so that a map naming ~/.bashrc cannot rename it.
bool looksLikeImage(Files& files, const QString& path);
bool looksLikeImage(QByteArrayView head);

// The visible name next to `path` under which a tile waits while a cycle of renames turns:
// "1-2.批量更名暂存.jpg", with "-serial" before ".jpg" for a serial above 1.
QString asideName(const QString& path, int serial);

// Before a batch into `folder`: puts files left under aside names by an interrupted run back under
// their own names, and removes partial copies (see partialFileName) whose target name `wanted`
// accepts and whose writer is gone (see removeAbandonedPartial). Reports what it did; returns how
// many aside files could not be put back.
int tidyFolder(Files& files, BatchReport& report, const QString& folder,
               const std::function<bool(const QString& name)>& wanted);

// After a batch was stopped half-way: says how many cells were left as they were; returns that count.
int reportStopped(BatchReport& report, int stopped);

}  // namespace tessera

#pragma once

#include <QString>

namespace tessera {

class Platform;
class TileGrid;

// How the opening questions of a batch command ended.
struct BatchStart {
    enum Outcome { Declined, Cancelled, NoMap, Go } outcome;
    QString folder;
};
// Asks `question` (Yes/No), then for a folder titled `folderTitle`; without a map says
// "行数不能小于1，请重新输入！".
BatchStart askBatchStart(Platform& platform, const TileGrid& grid, const QString& question,
                         const QString& folderTitle);

// The text after the path's last native separator; the whole text when there is none.
QString fileNamePart(const QString& path);

// The absolute, cleaned form of a path, for telling whether two texts name the same file.
QString normalizedPath(const QString& path);

// Whether the file's first bytes are those of a JPEG, PNG, GIF or BMP picture. The batch
// operations touch nothing else, so that a map naming ~/.bashrc cannot rename it.
bool looksLikeImage(Platform& platform, const QString& path);

// A free name next to `path` for moving a file out of the way.
QString asideName(const QString& path, int serial);

}  // namespace tessera

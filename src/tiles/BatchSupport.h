#pragma once

#include <QString>

namespace tessera {

class Platform;

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

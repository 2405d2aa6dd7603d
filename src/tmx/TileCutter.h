#pragma once

// The tile pictures an import writes: tiles cut from spritesheets, and flipped tiles, each its own
// PNG file in a folder, new files only.
#include "files/Failure.h"
#include "tmx/TiledData.h"

#include <QString>

#include <vector>

namespace tessera {

class Files;
class Progress;

namespace tiled {

// A picture that tiles come from: a spritesheet, or one tile's own picture.
struct CutSource {
    QString path;
    bool sheet = false;
    SheetData layout;  // when `sheet`
};

// One file to write: tile `id` of a sheet (or a whole picture) with the gid's flips.
struct TileCut {
    int source = 0;
    int id = 0;
    quint32 flips = 0;
    QString name;  // the file's name in the folder, ".png" included
    QString path;  // after cutTiles: the file written or reused; empty when the sheet lacks the tile
                   // or the picture cannot be read
};

struct CutResult {
    Failure failure;  // FileUnreadable or TileUnwritable (files: the file, then why), Cancelled
    int written = 0;
    int reused = 0;
};

// Decodes the sources (a sheet that cannot be read fails the cut, another picture is left out) and
// writes each cut into `folder` (made when missing) on every core. A file
// of that name already there is reused when it holds the same picture; otherwise the name gets a
// number ("name~2.png"). Nothing is ever replaced.
CutResult cutTiles(Files& files, const std::vector<CutSource>& sources, std::vector<TileCut>& cuts,
                   const QString& folder, Progress& progress);

// A file name made of `text`: characters that file systems or wildcards treat specially become "_".
QString fileNamePart(const QString& text);

}  // namespace tiled
}  // namespace tessera

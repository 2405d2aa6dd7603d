#pragma once

// The atlas of an exported map: its distinct tiles, each resized to the cell, packed into as few
// spritesheet pictures as hold them.
#include "tmx/TiledData.h"

#include <QByteArray>
#include <QSize>
#include <QStringList>

#include <vector>

namespace tessera {

class Progress;

namespace tiled {

// The largest side of an atlas picture.
inline constexpr int kMaxAtlasSide = 4096;

struct AtlasPictures {
    std::vector<AtlasSheet> sheets;
    std::vector<QByteArray> png;  // each sheet's file
    int unreadable = 0;           // tiles left transparent: their files could not be read or decoded
};

// Tile i of `files` becomes tile i of the sheets, in order; each sheet named `baseName` and its
// number. False when cancelled.
bool buildAtlas(const QStringList& files, QSize cell, const QString& baseName, Progress& progress,
                AtlasPictures& atlas);

}  // namespace tiled
}  // namespace tessera

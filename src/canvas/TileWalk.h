#pragma once

#include "canvas/TileImages.h"

#include <cstdint>
#include <functional>

namespace tessera {

class Progress;

// Visits the cells of an n × n map column by column (rows within), as the full redraw draws
// them: each distinct path is decoded once, a batch of files on every core, and `draw` is called
// for every cell whose tile loads. `textOf` gives a cell's path; `addImage` registers a loaded
// image and returns the handle that `draw` receives. Advances `progress` once per cell.
void walkTiles(int mapSize, const std::function<const QString&(int row, int column)>& textOf, QSize tileSize,
               TileImageCache& cache, Progress& progress,
               const std::function<std::uint32_t(const TileKey&, const QImage&)>& addImage,
               const std::function<void(int row, int column, std::uint32_t image)>& draw);

}  // namespace tessera

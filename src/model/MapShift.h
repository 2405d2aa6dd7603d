#pragma once

#include "model/TileGrid.h"

#include <QString>

#include <optional>

namespace tessera {

class Progress;

enum class ShiftDirection { Left, Right, Up, Down };

// Moves every tile `distance` cells; what crosses an edge is lost. A distance below 1 moves
// nothing. Drives `progress` over every cell.
void shiftGrid(TileGrid& grid, ShiftDirection direction, int distance, Progress& progress);
// The same on a snapshot of the cells, for work away from the GUI thread.
void shiftMapCells(CellTexts& cells, int mapSize, ShiftDirection direction, int distance, Progress& progress);

}  // namespace tessera

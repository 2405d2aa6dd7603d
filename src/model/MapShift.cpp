#include "model/MapShift.h"

#include "files/Progress.h"
#include "model/TileGrid.h"

namespace tessera {

namespace {

// Rows down and columns right for a shift; beyond the map's edge everything is lost alike.
std::pair<int, int> shiftOffset(ShiftDirection direction, int distance, int mapSize)
{
    const int d = static_cast<int>(std::min<long long>(distance, static_cast<long long>(mapSize) + 1));
    switch (direction) {
    case ShiftDirection::Left:
        return {0, -d};
    case ShiftDirection::Right:
        return {0, d};
    case ShiftDirection::Up:
        return {-d, 0};
    case ShiftDirection::Down:
        break;
    }
    return {d, 0};
}

}  // namespace

void shiftMapCells(CellTexts& cells, int mapSize, ShiftDirection direction, int distance, Progress& progress)
{
    const long long n = mapSize;
    if (distance < 1) {
        progress.start(n * n);
        progress.advance(n * n);
        return;
    }
    const auto [rows, columns] = shiftOffset(direction, distance, mapSize);
    shiftCellTexts(cells, mapSize, rows, columns, progress);
}

void shiftGrid(TileGrid& grid, ShiftDirection direction, int distance, Progress& progress)
{
    CellTexts cells = grid.cells();
    shiftMapCells(cells, grid.mapSize(), direction, distance, progress);
    if (distance >= 1) {
        [[maybe_unused]] const bool replaced = grid.replaceCells(std::move(cells));  // the grid's own size
        Q_ASSERT(replaced);
    }
}

}  // namespace tessera

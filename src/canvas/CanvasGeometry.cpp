#include "canvas/CanvasGeometry.h"

#include <algorithm>
#include <cmath>

namespace tessera {
namespace {

constexpr double kTolerance = 1e-7;

// The lowest 1-based index i with (i-1)·pitch ≤ v ≤ i·pitch (within the tolerance), or 0.
int firstSpan(double v, int pitch, int count)
{
    if (v < -kTolerance || v - static_cast<double>(count) * pitch > kTolerance)
        return 0;
    const int i = static_cast<int>(std::ceil((v - kTolerance) / pitch));
    return std::clamp(i, 1, count);
}

}  // namespace

std::optional<Cell> cellAt(double x, double y, int mapSize)
{
    if (mapSize < 1)
        return std::nullopt;
    const int column = firstSpan(x, kCellWidth, mapSize);
    const int row = firstSpan(y, kCellHeight, mapSize);
    if (column == 0 || row == 0)
        return std::nullopt;
    return Cell{row, column};
}

CellRange cellsMeeting(const QRect& area, int mapSize)
{
    CellRange range;
    if (area.isEmpty() || mapSize < 1)
        return range;
    range.firstColumn = std::max(1, area.left() / kCellWidth + 1);
    range.lastColumn = std::min(mapSize, area.right() / kCellWidth + 1);
    range.firstRow = std::max(1, area.top() / kCellHeight + 1);
    range.lastRow = std::min(mapSize, area.bottom() / kCellHeight + 1);
    if (area.right() < 0 || area.bottom() < 0)
        range = CellRange{};
    return range;
}

}  // namespace tessera

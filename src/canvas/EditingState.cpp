#include "canvas/EditingState.h"

#include "canvas/CanvasGeometry.h"

namespace tessera {

void PlacementHistory::append(int left, int top, int row, int column)
{
    entries_.append({left, top, row, column});
}

void PlacementHistory::appendSwap(int row, int column, int otherRow, int otherColumn)
{
    const QPoint origin = cellRect(row, column).topLeft();
    entries_.append({origin.x(), origin.y(), row, column, Kind::Swap, otherRow, otherColumn});
}

void PlacementHistory::removeNewest()
{
    if (!entries_.isEmpty())
        entries_.removeLast();
}

}  // namespace tessera

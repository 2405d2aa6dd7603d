#include "canvas/EditingState.h"

namespace tessera {

void PlacementHistory::append(int row, int column, quint64 serial)
{
    entries_.append({row, column, Kind::Placement, 0, 0, serial});
}

void PlacementHistory::appendSwap(int row, int column, int otherRow, int otherColumn, quint64 serial)
{
    entries_.append({row, column, Kind::Swap, otherRow, otherColumn, serial});
}

void PlacementHistory::removeNewest()
{
    if (!entries_.isEmpty())
        entries_.removeLast();
}

std::optional<PlacementHistory::Entry> PlacementHistory::take(quint64 serial)
{
    for (qsizetype i = entries_.size() - 1; i >= 0; --i) {
        if (entries_[i].serial == serial)
            return entries_.takeAt(i);
    }
    return std::nullopt;
}

}  // namespace tessera

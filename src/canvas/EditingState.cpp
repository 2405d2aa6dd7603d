#include "canvas/EditingState.h"

namespace tessera {

void PlacementHistory::append(int left, int top, int row, int column)
{
    lefts_.append(left);
    tops_.append(top);
    rows_.append(row);
    columns_.append(column);
}

void PlacementHistory::clear()
{
    lefts_.clear();
    tops_.clear();
    rows_.clear();
    columns_.clear();
}

PlacementHistory::Entry PlacementHistory::newest() const
{
    return {lefts_.constLast(), tops_.constLast(), rows_.constLast(), columns_.constLast()};
}

void PlacementHistory::removeNewest()
{
    if (isEmpty())
        return;
    lefts_.removeLast();
    tops_.removeLast();
    rows_.removeLast();
    columns_.removeLast();
}

}  // namespace tessera

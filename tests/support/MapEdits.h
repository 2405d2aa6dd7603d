#pragma once

#include "document/MapDocument.h"

namespace tessera {

// A cell of the document's map set through its history, as an edit in the tile list sets it.
inline void setCell(MapDocument& document, int row, int column, const QString& text)
{
    document.history().changeCells(MapCommandKind::EditCell, {{row, column, document.grid().cellText(row, column), text}});
}

// Every cell at the map's size, in one step of its history; false when `cells` does not fit.
inline bool setCells(MapDocument& document, CellTexts cells)
{
    if (cells.size() != document.grid().cells().size())
        return false;
    document.history().replaceMap(MapCommandKind::Import, document.grid().mapSize(), std::move(cells));
    return true;
}

// Imports straight into a grid of the test's own, as a map's history would take them.
inline MapFileCommands::Takers takersInto(TileGrid& grid)
{
    const auto sized = [&grid](int mapSize, CellTexts cells) { grid.exchangeCells(mapSize, std::move(cells)); };
    return {[&grid](CellTexts cells) { return grid.replaceCells(std::move(cells)); }, sized, sized};
}

}  // namespace tessera

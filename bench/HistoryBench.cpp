// Undo and redo on a full 1000 × 1000 map: a whole-map command (an import) each way, a shift taken
// back, and the memory a hundred shifts keep in the history.
#include "BenchSupport.h"

#include "files/Progress.h"
#include "model/MapHistory.h"

#include <cstdio>

namespace tessera::bench {

void runHistory1000Bench(const TileGrid& filled, const CellTexts& otherMap)
{
    const int n = filled.mapSize();
    MapHistory history;
    history.startMap(n);
    history.replaceMap(MapCommandKind::Import, n, filled.cells());
    history.clear();
    const TileGrid& grid = history.grid();
    history.replaceMap(MapCommandKind::Import, n, otherMap);
    double undo = 1e300, redo = 1e300;
    for (int run = 0; run < 5; ++run) {
        undo = std::min(undo, timeMs([&] { history.stack().undo(); }));
        redo = std::min(redo, timeMs([&] { history.stack().redo(); }));
    }
    if (grid.cells() != otherMap)
        std::fprintf(stderr, "undo and redo of the import went wrong\n");
    report("undo_import_1000_ms", undo, "ms");
    report("redo_import_1000_ms", redo, "ms");

    NullProgress none;
    const auto pushShift = [&](ShiftDirection direction) {
        CellTexts cells = grid.cells();
        std::vector<LostCell> lost = shiftLosses(cells, n, direction, 1);
        shiftMapCells(cells, n, direction, 1, none);
        history.shift(direction, 1, std::move(cells), std::move(lost));
    };
    double undoShift = 1e300;
    for (int run = 0; run < 3; ++run) {
        pushShift(ShiftDirection::Left);
        undoShift = std::min(undoShift, timeMs([&] { history.stack().undo(); }));
    }
    if (grid.cells() != otherMap)
        std::fprintf(stderr, "the shift's undo went wrong\n");
    report("undo_shift_1000_ms", undoShift, "ms");

    history.clear();
    const double before = residentMb();
    const ShiftDirection directions[] = {ShiftDirection::Left, ShiftDirection::Down, ShiftDirection::Right,
                                         ShiftDirection::Up};
    for (int i = 0; i < 100; ++i)
        pushShift(directions[i % 4]);
    report("history_100_shifts_1000_mb", residentMb() - before, "MB");
}

}  // namespace tessera::bench

#include "files/Progress.h"
#include "model/MapHistory.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

struct MapState {
    int size = 0;
    CellTexts cells;
    bool operator==(const MapState&) const = default;
};

MapState stateOf(const TileGrid& grid)
{
    return {grid.mapSize(), grid.cells()};
}

// A grid rebuilt only from what the history says it applied, as a record of the changes would.
class Replica {
public:
    explicit Replica(MapHistory& history) : history_(history)
    {
        QObject::connect(&history, &MapHistory::cellsSet, [this](const std::vector<CellChange>& changes) {
            for (const CellChange& c : changes)
                grid.setCellText(c.row, c.column, c.after);
        });
        QObject::connect(&history, &MapHistory::mapSet, [this] {
            grid.resize(history_.grid().mapSize());
            [[maybe_unused]] const bool same = grid.replaceCells(history_.grid().cells());
        });
        QObject::connect(&history, &MapHistory::shifted, [this](ShiftDirection direction, int distance) {
            NullProgress none;
            shiftGrid(grid, direction, distance, none);
        });
    }
    TileGrid grid;

private:
    MapHistory& history_;
};

}  // namespace

// Random commands, undos and redos against the list of the states the map went through: every undo
// and redo gives back exactly the state it should, and the applied changes alone rebuild the map.
TEST(MapHistory, RandomCommandsUndoAndRedoToTheExactStatesBefore)
{
    QRandomGenerator random(7);
    const QStringList texts{QString(), QStringLiteral("空"), QStringLiteral("/a.jpg"), QStringLiteral("/b.jpg"),
                            QStringLiteral("/地图/c.jpg"), QStringLiteral("d|e.jpg")};
    const auto text = [&] { return texts[random.bounded(texts.size())]; };
    for (int run = 0; run < 20; ++run) {
        TileGrid grid;
        grid.resize(5);
        MapHistory history(grid);
        Replica replica(history);
        replica.grid.resize(5);
        std::vector<MapState> states{stateOf(grid)};
        std::size_t at = 0;  // states[at] is the map now
        for (int step = 0; step < 300; ++step) {
            const int n = grid.mapSize();
            const int what = random.bounded(10);
            const auto recordNew = [&] {
                states.resize(at + 1);
                states.push_back(stateOf(grid));
                at = states.size() - 1;
            };
            if (what < 3) {
                std::vector<CellChange> changes;
                for (int k = random.bounded(1, 4); k > 0; --k) {
                    const int r = random.bounded(1, n + 1), c = random.bounded(1, n + 1);
                    changes.push_back({r, c, grid.cellText(r, c), text()});
                    grid.setCellText(r, c, changes.back().after);  // later changes see earlier ones
                }
                for (auto it = changes.rbegin(); it != changes.rend(); ++it)
                    grid.setCellText(it->row, it->column, it->before);
                const bool changesSomething = std::any_of(changes.begin(), changes.end(),
                                                          [](const CellChange& c) { return c.before != c.after; });
                const quint64 before = history.newestSerial();
                history.changeCells(MapCommandKind::Place, changes);
                if (changesSomething) {
                    EXPECT_NE(history.newestSerial(), before);
                    recordNew();
                }
            } else if (what < 5) {
                const auto direction = static_cast<ShiftDirection>(random.bounded(4));
                const int distance = random.bounded(0, n + 2);
                CellTexts cells = grid.cells();
                std::vector<LostCell> lost = shiftLosses(cells, n, direction, distance);
                NullProgress none;
                shiftMapCells(cells, n, direction, distance, none);
                history.shift(direction, distance, std::move(cells), std::move(lost));
                if (distance >= 1)
                    recordNew();
            } else if (what < 6) {
                const int size = random.bounded(2, 7);
                CellTexts cells(static_cast<std::size_t>(size * size));
                for (QString& cell : cells)
                    cell = text();
                history.replaceMap(MapCommandKind::Import, size, std::move(cells));
                recordNew();
            } else if (what < 8) {
                ASSERT_EQ(history.stack().canUndo(), at > 0);
                if (at > 0) {
                    history.stack().undo();
                    --at;
                }
            } else {
                ASSERT_EQ(history.stack().canRedo(), at + 1 < states.size());
                if (at + 1 < states.size()) {
                    history.stack().redo();
                    ++at;
                }
            }
            ASSERT_EQ(stateOf(grid), states[at]) << "run " << run << " step " << step;
            ASSERT_EQ(stateOf(replica.grid), states[at]) << "run " << run << " step " << step;
        }
    }
}

// A move opens with its pick-up and closes with its drop: one command, gone when the tile went back.
TEST(MapHistory, APickUpAndItsDropAreOneMoveAndABackDropIsNone)
{
    TileGrid grid;
    grid.resize(3);
    grid.setCellText(1, 1, QStringLiteral("/a.jpg"));
    grid.setCellText(2, 2, QStringLiteral("/b.jpg"));
    MapHistory history(grid);
    history.changeCells(MapCommandKind::Move, {{1, 1, QStringLiteral("/a.jpg"), QString()}}, true);
    history.changeCells(MapCommandKind::Move, {{2, 2, QStringLiteral("/b.jpg"), QStringLiteral("/a.jpg")}});
    ASSERT_EQ(history.stack().count(), 1);
    EXPECT_EQ(history.stack().undoText(), QStringLiteral("移动"));
    history.stack().undo();
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("/a.jpg"));
    EXPECT_EQ(grid.cellText(2, 2), QStringLiteral("/b.jpg"));

    history.stack().redo();
    history.changeCells(MapCommandKind::Move, {{2, 2, QStringLiteral("/a.jpg"), QString()}}, true);
    history.changeCells(MapCommandKind::Move, {{2, 2, QString(), QStringLiteral("/a.jpg")}});
    EXPECT_EQ(history.stack().count(), 1);  // picked up and put back: nothing to undo for it
    history.shift(ShiftDirection::Left, 3, CellTexts(9), shiftLosses(grid.cells(), 3, ShiftDirection::Left, 3));
    EXPECT_EQ(history.stack().undoText(), QStringLiteral("向左移动 3 格"));
}

#include "files/Progress.h"
#include "model/MapHistory.h"

#include <QRandomGenerator>

#include <tuple>

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
        MapHistory history;
        history.startMap(5);
        const TileGrid& grid = history.grid();
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
                CellTexts scratch = grid.cells();  // later changes see earlier ones
                for (int k = random.bounded(1, 4); k > 0; --k) {
                    const int r = random.bounded(1, n + 1), c = random.bounded(1, n + 1);
                    QString& at = scratch[static_cast<std::size_t>((r - 1) * n + c - 1)];
                    changes.push_back({r, c, at, text()});
                    at = changes.back().after;
                }
                const bool changesSomething = std::any_of(changes.begin(), changes.end(),
                                                          [](const CellChange& c) { return c.before != c.after; });
                const int before = history.stack().index();
                history.changeCells(MapCommandKind::Place, changes);
                if (changesSomething) {
                    EXPECT_EQ(history.stack().index(), before + 1);
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
    MapHistory history;
    history.startMap(3);
    history.replaceMap(MapCommandKind::Import, 3,
                       {QStringLiteral("/a.jpg"), {}, {}, {}, QStringLiteral("/b.jpg"), {}, {}, {}, {}});
    history.clear();
    const TileGrid& grid = history.grid();
    history.takeUp(1, 1);
    ASSERT_TRUE(history.carried());
    EXPECT_EQ(history.carried()->path, QStringLiteral("/a.jpg"));
    history.undo();  // the menu waits for the drop
    EXPECT_TRUE(grid.cellText(1, 1).isEmpty());
    history.putDown(2, 2);
    EXPECT_FALSE(history.carried());
    ASSERT_EQ(history.stack().count(), 1);
    EXPECT_EQ(history.stack().undoText(), QStringLiteral("移动"));
    history.undo();
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("/a.jpg"));
    EXPECT_EQ(grid.cellText(2, 2), QStringLiteral("/b.jpg"));

    history.redo();
    history.takeUp(2, 2);
    history.putDown(2, 2);
    EXPECT_EQ(history.stack().count(), 1);  // picked up and put back: nothing to undo for it
    history.shift(ShiftDirection::Left, 3, CellTexts(9), shiftLosses(grid.cells(), 3, ShiftDirection::Left, 3));
    EXPECT_EQ(history.stack().undoText(), QStringLiteral("向左移动 3 格"));

    // A map of another size ends the carry; one of the same size keeps it.
    history.replaceMap(MapCommandKind::Import, 3, {QStringLiteral("/c.jpg"), {}, {}, {}, {}, {}, {}, {}, {}});
    history.takeUp(1, 1);
    history.replaceMap(MapCommandKind::Import, 3, CellTexts(9));
    EXPECT_TRUE(history.carried());
    history.replaceMap(MapCommandKind::Import, 2, CellTexts(4));
    EXPECT_FALSE(history.carried());
}

// The undo button's rule over random placements, swaps, other edits, full redraws, menu undos and
// redos, New maps and presses, against a list of what the button may take back: while the menu is
// unused, the newest placement or swap since the last redraw not yet taken back; after, only the
// newest command when it is one of those. A press empties a placement's cell or swaps back.
TEST(MapHistory, TheUndoButtonTakesBackWhatItsRuleSays)
{
    struct Op {
        MapCommandKind kind;
        int row, column, otherRow, otherColumn;
        bool undoes;  // undoing it does what the button does
        bool button;  // the button may take it back
    };
    QRandomGenerator random(11);
    const QStringList texts{QString(), QStringLiteral("/a.jpg"), QStringLiteral("/b.jpg")};
    for (int run = 0; run < 30; ++run) {
        MapHistory history;
        history.startMap(4);
        std::vector<Op> ops;  // as the stack holds them
        std::size_t top = 0;
        bool menuUsed = false;
        const auto at = [&](int r, int c) { return history.grid().cellText(r, c); };
        const auto record = [&](Op op) {
            ops.resize(top);
            ops.push_back(op);
            ++top;
        };
        const auto push = [&](Op op, std::vector<CellChange> changes) {
            history.changeCells(op.kind, std::move(changes));
            record(op);
        };
        for (int step = 0; step < 200; ++step) {
            const int r = random.bounded(1, 5), c = random.bounded(1, 5);
            const int r2 = random.bounded(1, 5), c2 = random.bounded(1, 5);
            const QString text = texts[random.bounded(texts.size())];
            const int what = random.bounded(100);
            if (what < 30 && !text.isEmpty() && text != at(r, c)) {
                push({MapCommandKind::Place, r, c, 0, 0, at(r, c).isEmpty(), true}, {{r, c, at(r, c), text}});
            } else if (what < 45 && at(r, c) != at(r2, c2)) {
                push({MapCommandKind::Swap, r, c, r2, c2, true, true}, {{r, c, at(r, c), at(r2, c2)}, {r2, c2, at(r2, c2), at(r, c)}});
            } else if (what < 55 && text != at(r, c)) {
                push({MapCommandKind::EditCell, r, c, 0, 0, false, false}, {{r, c, at(r, c), text}});
            } else if (what < 60) {
                history.markRedrawn();
                for (Op& op : ops)
                    op.button = false;
            } else if (what < 70 && top > 0) {
                history.undo();
                --top;
                menuUsed = true;
            } else if (what < 78 && top < ops.size()) {
                history.redo();
                ++top;
                menuUsed = true;
            } else if (what < 81) {
                history.startMap(4);
                ops.clear();
                top = 0;
                menuUsed = false;
            } else {
                std::optional<std::size_t> expected;
                for (std::size_t i = top; i-- > 0 && !expected;) {
                    if (ops[i].button)
                        expected = i;
                    else if (menuUsed)
                        break;
                }
                const std::optional<ButtonStep> got = history.buttonStep();
                ASSERT_EQ(got.has_value(), expected.has_value()) << run << " " << step;
                if (!got)
                    continue;
                const Op op = ops[*expected];
                ASSERT_EQ(std::tuple(got->kind, got->row, got->column), std::tuple(op.kind, op.row, op.column));
                const QString a = at(op.row, op.column), b = at(op.otherRow, op.otherColumn);
                const bool pushes = !(op.undoes && *expected + 1 == top);
                const bool changes = op.kind == MapCommandKind::Swap ? a != b : !a.isEmpty();
                history.takeBack(*got);
                if (!pushes) {
                    --top;  // undone: a redo brings it back as it was
                } else {
                    ops[*expected].button = false;
                    if (changes)
                        record({MapCommandKind::ClearCell, 0, 0, 0, 0, false, false});  // the button's own
                }
                EXPECT_EQ(at(op.row, op.column), op.kind == MapCommandKind::Swap ? b : QString());
                if (op.kind == MapCommandKind::Swap) {
                    EXPECT_EQ(at(op.otherRow, op.otherColumn), a);
                }
            }
            ASSERT_EQ(std::pair(history.stack().index(), history.stack().count()),
                      std::pair(static_cast<int>(top), static_cast<int>(ops.size()))) << run << " " << step;
        }
    }
}

#include "files/Progress.h"
#include "model/MapShift.h"
#include "model/TileGrid.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

using Cells = std::vector<std::vector<QString>>;

Cells cellsOf(const TileGrid& grid)
{
    const int n = grid.mapSize();
    Cells cells(static_cast<std::size_t>(n), std::vector<QString>(static_cast<std::size_t>(n)));
    for (int r = 1; r <= n; ++r)
        for (int c = 1; c <= n; ++c)
            cells[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c - 1)] = grid.cellText(r, c);
    return cells;
}

// What a shift must give, worked out the plain way.
Cells reference(const Cells& before, ShiftDirection direction, int d)
{
    const int n = static_cast<int>(before.size());
    if (d < 1)
        return before;
    const int dr = direction == ShiftDirection::Down ? d : direction == ShiftDirection::Up ? -d : 0;
    const int dc = direction == ShiftDirection::Right ? d : direction == ShiftDirection::Left ? -d : 0;
    Cells after(before.size(), std::vector<QString>(before.size()));
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const long long fr = static_cast<long long>(r) - dr, fc = static_cast<long long>(c) - dc;
            if (fr >= 0 && fr < n && fc >= 0 && fc < n) {
                const QString& text = before[static_cast<std::size_t>(fr)][static_cast<std::size_t>(fc)];
                after[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = text == QStringLiteral("空") ? QString() : text;
            }
        }
    return after;
}

struct ShiftTest : testing::Test {
    void single(int n, int r, int c)
    {
        grid.resize(n);
        grid.setCellText(r, c, QStringLiteral("/t.jpg"));
    }
    QString at(int r, int c) const { return grid.cellText(r, c); }
    int filled() const
    {
        int count = 0;
        for (int r = 1; r <= grid.mapSize(); ++r)
            for (int c = 1; c <= grid.mapSize(); ++c)
                count += !at(r, c).isEmpty();
        return count;
    }

    TileGrid grid;
    CountingProgress progress;
};

}  // namespace

TEST_F(ShiftTest, MovesASingleTileAsExpected)
{
    single(3, 1, 1);
    shiftGrid(grid, ShiftDirection::Down, 1, progress);
    EXPECT_EQ(at(2, 1), QStringLiteral("/t.jpg"));
    EXPECT_EQ(filled(), 1);
    single(3, 1, 1);
    shiftGrid(grid, ShiftDirection::Right, 2, progress);
    EXPECT_EQ(at(1, 3), QStringLiteral("/t.jpg"));
    EXPECT_EQ(filled(), 1);
    for (ShiftDirection lost : {ShiftDirection::Up, ShiftDirection::Left}) {
        single(3, 1, 1);
        shiftGrid(grid, lost, 1, progress);
        EXPECT_EQ(filled(), 0);
    }
    EXPECT_EQ(progress.maximum(), 9);
    EXPECT_EQ(progress.position(), 9);
}

TEST_F(ShiftTest, EdgesLoseTilesAndLeaveNoCopies)
{
    grid.resize(4);
    for (int c = 1; c <= 4; ++c)
        grid.setCellText(4, c, QStringLiteral("bottom%1").arg(c));
    shiftGrid(grid, ShiftDirection::Down, 1, progress);
    EXPECT_EQ(filled(), 0);

    grid.resize(4);
    for (int r = 1; r <= 4; ++r)
        grid.setCellText(r, 4, QStringLiteral("right%1").arg(r));
    shiftGrid(grid, ShiftDirection::Left, 1, progress);
    EXPECT_EQ(filled(), 4);
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(at(r, 3), QStringLiteral("right%1").arg(r));
        EXPECT_EQ(at(r, 4), QString());
    }
}

TEST_F(ShiftTest, DistancesBelowOneMoveNothingAndLargeOnesEmptyTheMap)
{
    single(5, 2, 2);
    grid.setCellText(3, 3, QStringLiteral("空"));
    shiftGrid(grid, ShiftDirection::Right, 0, progress);
    shiftGrid(grid, ShiftDirection::Up, -4, progress);
    EXPECT_EQ(at(2, 2), QStringLiteral("/t.jpg"));
    EXPECT_EQ(progress.maximum(), 25);
    shiftGrid(grid, ShiftDirection::Right, 5, progress);
    EXPECT_EQ(filled(), 0);
    single(5, 2, 2);
    shiftGrid(grid, ShiftDirection::Down, 2147483647, progress);
    EXPECT_EQ(filled(), 0);
}

TEST_F(ShiftTest, CellsMoveWholeAndTheMarkerTextBecomesEmpty)
{
    grid.resize(3);
    grid.setCellText(1, 1, QStringLiteral("a|b.jpg"));
    grid.setCellText(1, 2, QStringLiteral("空"));
    grid.setCellText(2, 1, QStringLiteral("line\r\nbreak"));
    shiftGrid(grid, ShiftDirection::Down, 1, progress);
    EXPECT_EQ(at(2, 1), QStringLiteral("a|b.jpg"));
    EXPECT_EQ(at(2, 2), QString());
    EXPECT_EQ(at(3, 1), QStringLiteral("line\r\nbreak"));
}

TEST_F(ShiftTest, AgreesWithThePlainWayOnRandomMaps)
{
    QRandomGenerator random(20261207);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + static_cast<int>(random.bounded(9));
        grid.resize(n);
        for (int r = 1; r <= n; ++r)
            for (int c = 1; c <= n; ++c) {
                const quint32 pick = random.bounded(4);
                grid.setCellText(r, c, pick == 0 ? QString() : pick == 1 ? QStringLiteral("空")
                                                                 : QStringLiteral("/t/%1-%2.jpg").arg(r).arg(c));
            }
        const auto direction = static_cast<ShiftDirection>(random.bounded(4));
        const int d = static_cast<int>(random.bounded(n + 3)) - 1;
        const Cells expected = reference(cellsOf(grid), direction, d);
        shiftGrid(grid, direction, d, progress);
        ASSERT_EQ(cellsOf(grid), expected) << "n=" << n << " d=" << d << " dir=" << static_cast<int>(direction);
    }
}

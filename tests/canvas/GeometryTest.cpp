#include "canvas/CanvasGeometry.h"

#include <gtest/gtest.h>

using namespace tessera;

namespace {
// The hit test as a straightforward double loop, for comparison.
std::optional<Cell> reference(double x, double y, int n)
{
    for (int c = 1; c <= n; ++c)
        for (int r = 1; r <= n; ++r)
            if (x - (c - 1) * 40.0 >= -1e-7 && x - c * 40.0 <= 1e-7 && y - (r - 1) * 30.0 >= -1e-7
                && y - r * 30.0 <= 1e-7)
                return Cell{r, c};
    return std::nullopt;
}
}  // namespace

TEST(CellAt, SharedEdgesGoToTheLowerColumnAndRow)
{
    EXPECT_EQ(cellAt(80, 10, 5), (Cell{1, 2}));
    EXPECT_EQ(cellAt(10, 60, 5), (Cell{2, 1}));
    EXPECT_EQ(cellAt(80, 60, 5), (Cell{2, 2}));
    EXPECT_EQ(cellAt(0, 0, 5), (Cell{1, 1}));
    EXPECT_EQ(cellAt(80.5, 60.5, 5), (Cell{3, 3}));
    EXPECT_EQ(cellAt(200, 150, 5), (Cell{5, 5}));  // the outer corner is still inside
}

TEST(CellAt, NothingOutsideTheMap)
{
    EXPECT_FALSE(cellAt(-1, 5, 5));
    EXPECT_FALSE(cellAt(5, -0.5, 5));
    EXPECT_FALSE(cellAt(201, 5, 5));
    EXPECT_FALSE(cellAt(5, 151, 5));
    EXPECT_FALSE(cellAt(0, 0, 0));
}

TEST(CellAt, AgreesWithTheDoubleLoopEverywhere)
{
    const int n = 7;
    for (double x = -2; x <= n * 40 + 2; x += 0.5)
        for (double y = -2; y <= n * 30 + 2; y += 1.5)
            ASSERT_EQ(cellAt(x, y, n), reference(x, y, n)) << x << "," << y;
    // Within the tolerance of an edge.
    EXPECT_EQ(cellAt(80 + 5e-8, 1, n), reference(80 + 5e-8, 1, n));
    EXPECT_EQ(cellAt(80 + 5e-7, 1, n), (Cell{1, 3}));
}

TEST(CellsMeeting, CoversExactlyTheTouchedCells)
{
    const CellRange r = cellsMeeting(QRect(39, 29, 2, 2), 10);
    EXPECT_EQ(r.firstColumn, 1);
    EXPECT_EQ(r.lastColumn, 2);
    EXPECT_EQ(r.firstRow, 1);
    EXPECT_EQ(r.lastRow, 2);
    EXPECT_TRUE(cellsMeeting(QRect(400, 0, 10, 10), 10).isEmpty());
    EXPECT_TRUE(cellsMeeting(QRect(-20, -20, 10, 10), 10).isEmpty());
}

TEST(ScrollRanges, FollowTheCanvasAndViewportSizes)
{
    // A 25 × 25 map in a 911 × 376 viewport.
    EXPECT_EQ(horizontalScrollMaximum(1000, 911), 131);
    EXPECT_EQ(verticalScrollMaximum(750, 376), 412);
    EXPECT_EQ(canvasPosition(1, 1), QPoint(20, 20));
    EXPECT_EQ(canvasPosition(131, 412), QPoint(-110, -391));
    // At the maximum the canvas's right edge is 21 pixels left of the viewport's.
    EXPECT_EQ(911 - (canvasPosition(131, 1).x() + 1000), 21);
    EXPECT_EQ(376 - (canvasPosition(1, 412).y() + 750), 17);
}

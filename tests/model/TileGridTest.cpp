#include "files/Progress.h"
#include "model/TileGrid.h"
#include "model/TileGridModel.h"

#include <QSignalSpy>
#include <QSize>

#include <gtest/gtest.h>

using namespace tessera;

TEST(TileGrid, StartsWithoutAMap)
{
    TileGrid grid;
    EXPECT_EQ(grid.mapSize(), 0);
    EXPECT_TRUE(grid.cells().empty());
    grid.setCellText(1, 1, QStringLiteral("x"));  // no map: ignored
    EXPECT_EQ(grid.cellText(1, 1), QString());
}

TEST(TileGrid, RebuildEmptiesEveryCellAndKeepsTheSize)
{
    TileGrid grid;
    grid.resize(3);
    grid.setCellText(3, 3, QStringLiteral("/t/a.jpg"));
    grid.rebuild();
    EXPECT_EQ(grid.mapSize(), 3);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c)
            EXPECT_TRUE(grid.cellText(r, c).isEmpty());
}

TEST(TileGrid, PositionsOutsideTheMapAreIgnored)
{
    TileGrid grid;
    grid.resize(3);
    const CellTexts before = grid.cells();
    for (auto [r, c] : {std::pair{4, 1}, {1, 4}, {0, 1}, {1, 0}, {-1, 2}, {2, -7}})
        grid.setCellText(r, c, QStringLiteral("x"));
    EXPECT_EQ(grid.cells(), before);
}

TEST(TileGrid, NotifiesEachChangeOrOneBulkChange)
{
    TileGrid grid;
    grid.resize(4);
    QSignalSpy single(&grid, &TileGrid::cellChanged);
    QSignalSpy bulk(&grid, &TileGrid::cellsChanged);
    grid.setCellText(2, 3, QStringLiteral("x"));
    ASSERT_EQ(single.size(), 1);
    EXPECT_EQ(single[0][0].toInt(), 2);
    EXPECT_EQ(single[0][1].toInt(), 3);
    {
        TileGrid::BulkChange outer(grid);
        {
            TileGrid::BulkChange inner(grid);
            grid.setCellText(1, 1, QStringLiteral("y"));
        }
        grid.setCellText(4, 4, QStringLiteral("z"));
        EXPECT_EQ(bulk.size(), 0);
    }
    EXPECT_EQ(single.size(), 1);
    EXPECT_EQ(bulk.size(), 1);
}

TEST(TileGridModel, ShowsTheGridWithNumberedHeadersAndEditableCells)
{
    TileGrid grid;
    TileGridModel model(grid);
    grid.resize(3);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(TileGridModel::kCornerText, QStringLiteral("地图分片文件名"));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("1"));
    EXPECT_EQ(model.headerData(2, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("3"));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::SizeHintRole).toSize().width(), 120);

    QSignalSpy changed(&model, &TileGridModel::dataChanged);
    grid.setCellText(2, 3, QStringLiteral("/m/a.jpg"));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex(), model.index(1, 2));
    EXPECT_EQ(model.data(model.index(1, 2), Qt::DisplayRole).toString(), QStringLiteral("/m/a.jpg"));

    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("typed"), Qt::EditRole));  // no editor: no writer
    model.setCellEditor([&](int row, int column, const QString& text) { grid.setCellText(row, column, text); });
    EXPECT_TRUE(model.setData(model.index(0, 0), QStringLiteral("typed"), Qt::EditRole));
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("typed"));

    QSignalSpy reset(&model, &TileGridModel::modelReset);
    grid.resize(5);
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(model.rowCount(), 5);
}

TEST(TileGrid, ReplacesEveryCellOnlyWithAWholeMap)
{
    TileGrid grid;
    grid.resize(2);
    QSignalSpy changed(&grid, &TileGrid::cellsChanged);
    EXPECT_FALSE(grid.replaceCells(CellTexts(3, QStringLiteral("x"))));
    EXPECT_EQ(grid.cells(), CellTexts(4));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(grid.replaceCells(CellTexts(4, QStringLiteral("x"))));
    EXPECT_EQ(grid.cellText(2, 2), QStringLiteral("x"));
    EXPECT_EQ(changed.count(), 1);
}

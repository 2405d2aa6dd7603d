#include "gui/Progress.h"
#include "model/TileGrid.h"
#include "model/TileGridModel.h"

#include <QSignalSpy>
#include <QSize>

#include <gtest/gtest.h>

using namespace tessera;

TEST(TileGrid, StartsWithoutAMap)
{
    TileGrid grid;
    CountingProgress progress;
    EXPECT_EQ(grid.mapSize(), 0);
    EXPECT_EQ(grid.gridText(progress), QString());
    EXPECT_EQ(progress.maximum(), 0);
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
    CountingProgress progress;
    const QString before = grid.gridText(progress);
    for (auto [r, c] : {std::pair{4, 1}, {1, 4}, {0, 1}, {1, 0}, {-1, 2}, {2, -7}})
        grid.setCellText(r, c, QStringLiteral("x"));
    EXPECT_EQ(grid.gridText(progress), before);
}

TEST(TileGrid, GridTextMarksEmptyCellsAndEndsEveryLine)
{
    TileGrid grid;
    CountingProgress progress;
    grid.resize(1);
    EXPECT_EQ(grid.gridText(progress), QStringLiteral("空\r\n"));
    grid.resize(3);
    EXPECT_EQ(grid.gridText(progress), QStringLiteral("空|空|空\r\n空|空|空\r\n空|空|空\r\n"));
    EXPECT_EQ(progress.maximum(), 9);
    EXPECT_EQ(progress.position(), 9);
    grid.resize(2);
    grid.setCellText(1, 2, QStringLiteral("C:\\t\\b.jpg"));
    EXPECT_EQ(grid.gridText(progress), QStringLiteral("空|C:\\t\\b.jpg\r\n空|空\r\n"));
}

TEST(TileGrid, StoreFieldsWritesOnlyTheGivenColumns)
{
    TileGrid grid;
    grid.resize(3);
    grid.setCellText(2, 2, QStringLiteral("old2"));
    grid.setCellText(2, 3, QStringLiteral("old3"));
    grid.storeFields(2, {QStringLiteral("a"), QStringLiteral("空")});
    EXPECT_EQ(grid.cellText(2, 1), QStringLiteral("a"));
    EXPECT_EQ(grid.cellText(2, 2), QString());
    EXPECT_EQ(grid.cellText(2, 3), QStringLiteral("old3"));
    grid.storeFields(1, {QString(), QStringLiteral(" 空 "), QStringLiteral("b"), QStringLiteral("dropped")});
    EXPECT_EQ(grid.cellText(1, 1), QString());
    EXPECT_EQ(grid.cellText(1, 2), QStringLiteral(" 空 "));  // blanks make it a path
    EXPECT_EQ(grid.cellText(1, 3), QStringLiteral("b"));
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
    EXPECT_TRUE(model.setData(model.index(0, 0), QStringLiteral("typed"), Qt::EditRole));
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("typed"));

    QSignalSpy reset(&model, &TileGridModel::modelReset);
    grid.resize(5);
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(model.rowCount(), 5);
}

// The background loading of a full redraw's tiles.
#include "canvas/TileFill.h"
#include "gui/Tasks.h"
#include "render/TileImages.h"
#include "support/TestImages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

struct RecordingSink : TileSink {
    std::vector<std::vector<int>> batches;  // the cells of each batch
    void drawLoaded(const std::vector<LoadedTile>& batch) override
    {
        std::vector<int> cells;
        for (const LoadedTile& tile : batch)
            cells.insert(cells.end(), tile.cells.begin(), tile.cells.end());
        batches.push_back(cells);
    }
};

}  // namespace

TEST(TileFill, LoadsTheCellsInViewFirstThenTheirNeighbourhood)
{
    QTemporaryDir dir;
    constexpr int n = 12;
    CellTexts cells;
    for (int i = 0; i < n * n; ++i) {
        const QString path = dir.filePath(QStringLiteral("%1.jpg").arg(i));
        ASSERT_TRUE(writeSolidImage(path, QColor(i, 0, 0), QSize(40, 30)));
        cells.push_back(path);
    }
    TaskGroup tasks;
    RecordingSink sink;
    TileFill fill(tasks, std::make_shared<TileImageCache>(), sink);
    fill.setVisible(CellRange{10, 12, 10, 12});
    fill.start(cells, n, QSize(40, 30));
    fill.waitForDone();
    ASSERT_GE(sink.batches.size(), 2u);
    auto rowOf = [](int cell) { return cell / n + 1; };
    auto columnOf = [](int cell) { return cell % n + 1; };
    ASSERT_EQ(sink.batches[0].size(), 9u);
    for (const int cell : sink.batches[0])
        EXPECT_TRUE(rowOf(cell) >= 10 && columnOf(cell) >= 10) << cell;
    for (const int cell : sink.batches[1])
        EXPECT_TRUE(rowOf(cell) >= 7 && columnOf(cell) >= 7) << cell;
    std::size_t total = 0;
    for (const auto& batch : sink.batches)
        total += batch.size();
    EXPECT_EQ(total, static_cast<std::size_t>(n * n));
}

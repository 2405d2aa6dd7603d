// The background loading of a full redraw's tiles.
#include "canvas/TileFill.h"
#include "work/Tasks.h"
#include "render/TileImages.h"
#include "support/TestImages.h"
#include "files/Files.h"

#include <QFileInfo>
#include <QMutex>
#include <QTemporaryDir>

#include <algorithm>

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
    TaskGroup tasks(1);  // one loader: files are read in the order the fill asks for them
    RecordingSink sink;
    auto cache = std::make_shared<TileImageCache>();
    // The order in which the files are read.
    QMutex mutex;
    std::vector<int> reads;
    cache->setReader([&](const QString& path) {
        const QMutexLocker lock(&mutex);
        reads.push_back(QFileInfo(path).baseName().toInt());
        return readRegularFile(path);
    });
    TileFill fill(tasks, cache, sink);
    fill.setVisible(CellRange{10, 12, 10, 12});
    fill.start(cells, n, QSize(40, 30));
    fill.waitForDone();
    auto rowOf = [](int cell) { return cell / n + 1; };
    auto columnOf = [](int cell) { return cell % n + 1; };
    // Every file in view is read before any file beyond their neighbourhood.
    const auto inView = [&](int cell) { return rowOf(cell) >= 10 && columnOf(cell) >= 10; };
    const auto beyond = std::find_if(reads.begin(), reads.end(), [&](int cell) { return rowOf(cell) < 7 || columnOf(cell) < 7; });
    EXPECT_EQ(std::count_if(reads.begin(), beyond, inView), 9);
    std::size_t total = 0;
    for (const auto& batch : sink.batches)
        total += batch.size();
    EXPECT_EQ(total, static_cast<std::size_t>(n * n));
}

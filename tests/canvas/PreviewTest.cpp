#include "canvas/CanvasGeometry.h"
#include "canvas/PreviewWindow.h"
#include "render/TileImages.h"
#include "files/Progress.h"
#include "model/TileGrid.h"
#include "support/TestImages.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

using testcolors::kRed;
const QColor kLight(192, 192, 192);
const QColor kLine(128, 128, 128);

struct PreviewTest : testing::Test {
    PreviewTest() { EXPECT_TRUE(writeSolidImage(dir.filePath(QStringLiteral("red.jpg")), kRed)); }

    PreviewWindow* open(int size, QSize tileSize = QSize(40, 30))
    {
        if (grid.mapSize() != size)
            grid.resize(size);
        auto* window = new PreviewWindow(tasks, grid, tileSize, cache);
        QObject::connect(&window->fill(), &TileFill::started, [this](std::shared_ptr<const WorkProgress> p) {
            progress = std::move(p);
            ++fills;
        });
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        windows.emplace_back(window);
        window->show();
        return window;
    }
    QImage shot(PreviewWindow* window) { return window->image()->grab().toImage(); }
    QString red() const { return dir.filePath(QStringLiteral("red.jpg")); }

    QTemporaryDir dir;
    TaskGroup tasks;
    TileGrid grid;
    std::shared_ptr<TileImageCache> cache = std::make_shared<TileImageCache>();
    std::shared_ptr<const WorkProgress> progress;
    int fills = 0;
    std::vector<std::unique_ptr<PreviewWindow>> windows;
};

}  // namespace

TEST_F(PreviewTest, SizesFollowTheMap)
{
    PreviewWindow* one = open(1);
    EXPECT_EQ(one->size(), QSize(52, 42));
    EXPECT_EQ(one->frame()->geometry(), QRect(1, 1, 46, 36));
    EXPECT_EQ(one->image()->geometry(), QRect(1, 1, 42, 32));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(one->frameGeometry().topLeft(), area.topLeft());

    PreviewWindow* none = open(0);
    EXPECT_EQ(none->size(), QSize(12, 12));
    none->drawPreview();
    none->fill().waitForDone();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->maximum(), 0);

    PreviewWindow* big = open(25);
    EXPECT_EQ(big->image()->size(), QSize(1002, 752));
    // Never beyond the screen's free area, frame and all.
    const QSize frame = big->frameGeometry().size() - big->size();
    EXPECT_EQ(big->size(), QSize(1012, 762).boundedTo(area.size() - frame));
    EXPECT_EQ(big->frameGeometry().topLeft(), area.topLeft());
}

TEST_F(PreviewTest, DrawsOnceAfterTheDelayFromTheMapAsItWasOpened)
{
    grid.resize(3);
    grid.setCellText(2, 3, red());
    PreviewWindow* window = open(3);
    EXPECT_EQ(window->previewState(), PreviewWindow::State::DrawScheduled);
    EXPECT_FALSE(window->picture().isDrawn());
    EXPECT_EQ(QColor(shot(window).pixel(100, 45)), kLight);
    grid.setCellText(2, 3, QString());  // later edits are not followed
    grid.setCellText(1, 1, red());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->picture().isDrawn(); }, 3000));
    window->fill().waitForDone();
    const QImage image = shot(window);
    EXPECT_TRUE(near(image.pixel(80, 30), kRed));  // the tile at (2, 3) has its corner at (80, 30)
    EXPECT_TRUE(near(image.pixel(119, 59), kRed));
    EXPECT_EQ(QColor(image.pixel(20, 15)), kLight);
    EXPECT_EQ(progress->maximum(), 9);
    // Lines between cells, none on the outer edge, drawn over the whole height.
    EXPECT_EQ(QColor(image.pixel(40, 5)), kLine);
    EXPECT_EQ(QColor(image.pixel(40, 91)), kLine);
    EXPECT_EQ(QColor(image.pixel(0, 5)), kLight);
    EXPECT_EQ(QColor(image.pixel(5, 30)), kLine);
}

TEST_F(PreviewTest, NarrowTilesLeaveTheLowerBandEmpty)
{
    grid.resize(2);
    grid.setCellText(1, 1, red());
    PreviewWindow* window = open(2, QSize(40, 16));
    window->drawPreview();
    window->fill().waitForDone();
    const QImage image = shot(window);
    EXPECT_TRUE(near(image.pixel(20, 8), kRed));
    EXPECT_EQ(QColor(image.pixel(20, 20)), kLight);
}

TEST_F(PreviewTest, TheTimerDrawsOnlyOnce)
{
    PreviewWindow* window = open(2);
    window->drawPreview();
    const int starts = fills;
    window->layoutPreview();
    window->resize(100, 100);
    QTest::qWait(50);
    EXPECT_FALSE(window->findChild<QTimer*>(QStringLiteral("PreviewTimer"))->isActive());
    EXPECT_EQ(fills, starts);
}

TEST(PreviewLifetime, ThePreviewOutlivesTheCacheItWasGiven)
{
    // The canvas that lent its tile cache may go first: the preview's loaders and its painting
    // keep using the cache.
    QTemporaryDir dir;
    constexpr int kSide = 16;
    TileGrid grid;
    grid.resize(kSide);
    CellTexts cells;
    for (int i = 0; i < kSide * kSide; ++i) {
        cells.push_back(dir.filePath(QStringLiteral("%1.jpg").arg(i)));
        ASSERT_TRUE(writeSolidImage(cells.back(), QColor::fromHsv(i % 360, 200, 200)));
    }
    ASSERT_TRUE(grid.replaceCells(cells));
    TaskGroup tasks;
    auto cache = std::make_shared<TileImageCache>(0);  // keeps nothing: painting decodes again
    PreviewWindow preview(tasks, grid, QSize(40, 30), cache);
    preview.show();
    preview.drawPreview();
    cache.reset();
    preview.fill().waitForDone();
    EXPECT_FALSE(preview.image()->grab().toImage().isNull());
}

#include "canvas/Canvas.h"
#include "canvas/CanvasWidgets.h"
#include "canvas/EditingState.h"
#include "files/Progress.h"
#include "model/TileGrid.h"
#include "support/TestImages.h"

#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>
#include <QTemporaryDir>

#include <map>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

using namespace testcolors;
const QColor kLine(96, 96, 96);

class CanvasTest : public testing::Test {
protected:
    CanvasTest() : canvas(tasks, grid, editing, &viewport)
    {
        QObject::connect(&canvas.fill(), &TileFill::started,
                         [this](std::shared_ptr<const WorkProgress> p) { progress = std::move(p); });
        EXPECT_TRUE(writeSolidImage(tile("red.jpg"), kRed));
        EXPECT_TRUE(writeSolidImage(tile("green.jpg"), kGreen));
        EXPECT_TRUE(writeSolidImage(tile("blue.jpg"), kBlue));
    }

    QString tile(const QString& name) const { return dir.filePath(name); }

    void newMap(int size)
    {
        canvas.setOptions(options);
        grid.resize(size);
        canvas.resizeForMap();
        canvas.drawRulersAndGrid();
    }

    // The picture once the tiles that editing steps asked for are drawn.
    QImage render() const
    {
        const_cast<Canvas&>(canvas).waitForCells();
        QImage image(canvasSize(grid.mapSize()), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        canvas.picture().paint(painter, image.rect(), const_cast<Canvas&>(canvas).cache());
        return image;
    }

    QImage renderRuler() const
    {
        QImage image(rulerBoardSize(grid.mapSize()), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        canvas.rulerPicture().paint(painter, image.rect());
        return image;
    }

    // A full redraw, with every tile loaded.
    void redraw()
    {
        canvas.redrawCanvas();
        canvas.waitForTiles();
    }

    static QPoint centre(int row, int column) { return cellRect(row, column).center(); }

    QTemporaryDir dir;
    TaskGroup tasks;
    TileGrid grid;
    EditingState editing;
    std::shared_ptr<const WorkProgress> progress;
    QWidget viewport;
    Canvas::Options options;
    Canvas canvas;
};

}  // namespace

TEST_F(CanvasTest, FullRedrawDrawsTilesOverTheGrid)
{
    newMap(3);
    grid.setCellText(1, 1, tile("red.jpg"));
    grid.setCellText(2, 3, tile("green.jpg"));
    grid.setCellText(3, 2, tile("missing.jpg"));
    grid.setCellText(3, 3, dir.path());  // a folder draws nothing either
    redraw();

    const QImage image = render();
    EXPECT_TRUE(near(image.pixel(centre(1, 1)), kRed));
    EXPECT_TRUE(near(image.pixel(centre(2, 3)), kGreen));
    EXPECT_EQ(QColor(image.pixel(centre(1, 2))), kBackground);
    EXPECT_EQ(QColor(image.pixel(centre(3, 2))), kBackground);  // missing file: nothing
    EXPECT_EQ(QColor(image.pixel(centre(3, 3))), kBackground);
    // Dotted inner grid lines: every other pixel, starting with the first.
    EXPECT_EQ(QColor(image.pixel(40, 40)), kLine);
    EXPECT_EQ(QColor(image.pixel(40, 41)), kBackground);
    EXPECT_EQ(QColor(image.pixel(50, 60)), kLine);
    EXPECT_EQ(QColor(image.pixel(51, 60)), kBackground);
    // No line on the outer edge.
    for (QPoint p : {QPoint(0, 70), QPoint(119, 70), QPoint(70, 0), QPoint(70, 89)})
        EXPECT_EQ(QColor(image.pixel(p)), kBackground) << p.x() << "," << p.y();
    // The tile covers its own top and left lines, not the next cell's.
    EXPECT_TRUE(near(image.pixel(0, 0), kRed));
    EXPECT_EQ(QColor(image.pixel(40, 2)), kLine);

    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->maximum(), 9);
    EXPECT_EQ(progress->position(), 9);
}

TEST_F(CanvasTest, TransparentTilesShowTheCanvasBackgroundThroughThem)
{
    ASSERT_TRUE(writeClearBandPng(tile("clear.png")));
    newMap(2);
    grid.setCellText(1, 1, tile("red.jpg"));
    redraw();
    grid.setCellText(1, 1, tile("clear.png"));
    grid.setCellText(2, 2, tile("clear.png"));
    redraw();
    const QImage image = render();
    for (const int row : {1, 2}) {
        const QPoint origin = cellRect(row, row).topLeft();
        EXPECT_EQ(QColor(image.pixel(origin + QPoint(6, 15))), kBackground) << "row " << row;
        EXPECT_TRUE(near(image.pixel(origin + QPoint(20, 15)), halfRedOver(kBackground), 2)) << "row " << row;
        EXPECT_TRUE(near(image.pixel(origin + QPoint(34, 15)), kBlue, 2)) << "row " << row;
    }
}

TEST_F(CanvasTest, TilesDrawnAt40x16LeaveTheLowerBandEmpty)
{
    newMap(2);
    grid.setCellText(1, 1, tile("red.jpg"));
    editing.tileHeight = 16;
    canvas.drawTiles();
    canvas.waitForTiles();
    QImage image = render();
    EXPECT_TRUE(near(image.pixel(20, 15), kRed));
    EXPECT_EQ(QColor(image.pixel(20, 16)), kBackground);
    EXPECT_EQ(QColor(image.pixel(20, 29)), kBackground);
}

TEST_F(CanvasTest, DrawnTilesKeepTheirSizeUntilTheNextRedraw)
{
    newMap(2);
    canvas.drawTileAt(1, 1, tile("red.jpg"));
    editing.tileHeight = 16;
    EXPECT_TRUE(near(render().pixel(20, 25), kRed));  // still 40 × 30
    grid.setCellText(1, 1, tile("red.jpg"));
    redraw();
    EXPECT_EQ(QColor(render().pixel(20, 25)), kBackground);
}

TEST_F(CanvasTest, TheCanvasDoesNotFollowTheGridUntilARedraw)
{
    newMap(2);
    grid.setCellText(2, 2, tile("blue.jpg"));
    EXPECT_EQ(QColor(render().pixel(centre(2, 2))), kBackground);
    redraw();
    EXPECT_TRUE(near(render().pixel(centre(2, 2)), kBlue));
    // A tile whose file goes away stays until the next redraw.
    ASSERT_TRUE(QFile::remove(tile("blue.jpg")));
    canvas.cache().clear();
    EXPECT_TRUE(near(render().pixel(centre(2, 2)), kBlue));
    redraw();
    EXPECT_EQ(QColor(render().pixel(centre(2, 2))), kBackground);
}

TEST_F(CanvasTest, PlacingOverATileDrawsOverItWithoutErasing)
{
    newMap(2);
    canvas.drawTileAt(1, 1, tile("red.jpg"));
    editing.tileHeight = 16;
    canvas.drawTileAt(1, 1, tile("green.jpg"));
    const QImage image = render();
    EXPECT_TRUE(near(image.pixel(20, 5), kGreen));
    EXPECT_TRUE(near(image.pixel(20, 25), kRed));  // the old tile's lower part shows
}

TEST_F(CanvasTest, CellPatchErasesItsSizeAndDrawsTopAndLeftEdges)
{
    newMap(3);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c)
            grid.setCellText(r, c, tile("red.jpg"));
    redraw();
    canvas.repaintCellPatch(2, 2, QSize(40, 16), canvas.currentPen());
    const QImage image = render();
    EXPECT_EQ(QColor(image.pixel(61, 40)), kBackground);  // erased upper band
    EXPECT_TRUE(near(image.pixel(61, 50), kRed));         // lower band kept
    EXPECT_EQ(QColor(image.pixel(40, 30)), kLine);        // dotted top-left corner
    EXPECT_EQ(QColor(image.pixel(42, 30)), kLine);
    EXPECT_EQ(QColor(image.pixel(41, 30)), kBackground);
    EXPECT_TRUE(near(image.pixel(80, 40), kRed));  // the right neighbour's edge is untouched
}

TEST_F(CanvasTest, WithoutAGridTheEdgesUseTheSolidPen)
{
    options.showGrid = false;
    newMap(2);
    EXPECT_EQ(canvas.currentPen(), EdgePen::Solid);
    canvas.repaintCellPatch(2, 2, QSize(40, 30), canvas.currentPen());
    const QImage image = render();
    EXPECT_EQ(QColor(image.pixel(41, 31)), kLine);
    EXPECT_EQ(QColor(image.pixel(60, 40)), kBackground);
    EXPECT_EQ(QColor(image.pixel(40, 10)), kBackground);  // no grid elsewhere
    canvas.selectDottedPen();
    EXPECT_EQ(canvas.currentPen(), EdgePen::Dotted);
}

TEST_F(CanvasTest, MoveMarkerIsARedDottedOutlineOverLightGrey)
{
    newMap(2);
    canvas.drawTileAt(1, 2, tile("blue.jpg"));
    canvas.drawMoveMarker(1, 2);
    const QImage image = render();
    EXPECT_EQ(QColor(image.pixel(60, 15)), QColor(192, 192, 192));
    EXPECT_TRUE(near(image.pixel(41, 1), kBlue));  // the 3-pixel rim of the tile shows
    EXPECT_EQ(QColor(image.pixel(43, 3)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(44, 3)), QColor(192, 192, 192));
}

TEST_F(CanvasTest, OneByOneMapHasNoCanvasGridButRulerTicks)
{
    newMap(1);
    const QImage image = render();
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 30; ++y)
            ASSERT_EQ(QColor(image.pixel(x, y)), kBackground);
    const QImage ruler = renderRuler();
    ASSERT_EQ(ruler.size(), QSize(80, 70));
    EXPECT_EQ(QColor(ruler.pixel(20, 0)), kLine);  // column 1's left edge
    EXPECT_EQ(QColor(ruler.pixel(20, 1)), Qt::black);
    EXPECT_EQ(QColor(ruler.pixel(60, 2)), kLine);  // the canvas's right edge
    EXPECT_EQ(QColor(ruler.pixel(0, 20)), kLine);  // row 1's top edge
    EXPECT_EQ(QColor(ruler.pixel(2, 50)), kLine);  // the canvas's bottom edge
}

TEST_F(CanvasTest, RulerNumbersAndTicksFollowTheirCheckBoxes)
{
    auto inkIn = [](const QImage& image, QRect area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += QColor(image.pixel(x, y)) != QColor(Qt::black);
        return count;
    };
    newMap(5);
    const QRect numberOne(40, 4, 8, 12);  // "1" starts at (40, 4), between the ticks at 20 and 60
    EXPECT_GT(inkIn(renderRuler(), numberOne), 3);
    options.showRuler = false;
    canvas.setOptions(options);
    canvas.drawRulersAndGrid();
    EXPECT_EQ(inkIn(renderRuler(), numberOne), 0);
    EXPECT_EQ(QColor(renderRuler().pixel(20, 0)), kLine);
    options.showGrid = false;
    options.showRuler = true;
    canvas.setOptions(options);
    canvas.drawRulersAndGrid();
    EXPECT_EQ(QColor(renderRuler().pixel(20, 0)), Qt::black);
    EXPECT_GT(inkIn(renderRuler(), numberOne), 3);
    EXPECT_EQ(QColor(render().pixel(40, 40)), kBackground);  // no canvas grid either

    // Three-digit row numbers fit left of the canvas, which covers the board from x = 20.
    options.showGrid = true;
    newMap(100);
    const QImage ruler = renderRuler();
    for (int row : {9, 99, 100}) {
        const int top = row * kCellHeight;
        EXPECT_GT(inkIn(ruler, QRect(1, top, 18, 14)), 6) << row;
        EXPECT_EQ(inkIn(ruler, QRect(21, top, 19, 14)), 0) << row;
    }
}

TEST_F(CanvasTest, RefreshRestoresAnErasedCell)
{
    newMap(2);
    grid.setCellText(1, 2, tile("green.jpg"));
    redraw();
    canvas.repaintCellPatch(1, 2, QSize(40, 30), EdgePen::Dotted);
    EXPECT_EQ(QColor(render().pixel(centre(1, 2))), kBackground);
    canvas.redrawCanvas();
    canvas.waitForTiles();
    EXPECT_TRUE(near(render().pixel(centre(1, 2)), kGreen));
}

TEST_F(CanvasTest, SecondRedrawDecodesNothing)
{
    newMap(4);
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            grid.setCellText(r, c, tile((r + c) % 2 ? "red.jpg" : "green.jpg"));
    redraw();
    EXPECT_EQ(canvas.cache().decodeCount(), 2);
    redraw();
    EXPECT_EQ(canvas.cache().decodeCount(), 2);
}

TEST_F(CanvasTest, TheWidgetPaintsThePicture)
{
    newMap(2);
    grid.setCellText(2, 1, tile("blue.jpg"));
    redraw();
    const QImage shot = canvas.canvasWidget()->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(80, 60));
    EXPECT_TRUE(near(shot.pixel(centre(2, 1)), kBlue));
    EXPECT_EQ(QColor(shot.pixel(centre(1, 2))), kBackground);
}

TEST_F(CanvasTest, PipesFoldersAndNonPicturesInCellsDrawNothingAndNeverBlock)
{
    newMap(3);
    const QString fifo = dir.filePath(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile text(dir.filePath(QStringLiteral("notes.jpg")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some words");
    text.close();
    QFile empty(dir.filePath(QStringLiteral("empty.jpg")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    ASSERT_TRUE(writeSolidImage(dir.filePath(QStringLiteral("png.jpg")), kGreen, QSize(60, 40), "PNG"));
    grid.setCellText(1, 1, fifo);
    grid.setCellText(1, 2, dir.path());
    grid.setCellText(1, 3, text.fileName());
    grid.setCellText(2, 1, empty.fileName());
    grid.setCellText(2, 2, dir.filePath(QStringLiteral("png.jpg")));
    grid.setCellText(2, 3, QStringLiteral("relative/missing.jpg"));
    redraw();  // returns: nothing waits for a writer on the pipe
    const QImage image = render();
    for (QPoint cell : {QPoint(1, 1), QPoint(2, 1), QPoint(3, 1), QPoint(1, 2), QPoint(3, 2)})
        EXPECT_EQ(QColor(image.pixel(centre(cell.y(), cell.x()))), kBackground);
    EXPECT_TRUE(near(image.pixel(centre(2, 2)), kGreen, 0));  // a PNG under a ".jpg" name is drawn
}

TEST_F(CanvasTest, EditsDuringARedrawKeepWhatTheyDrew)
{
    newMap(3);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c)
            grid.setCellText(r, c, tile("red.jpg"));
    canvas.redrawCanvas();  // the tiles load in the background
    canvas.drawTileAt(2, 2, tile("green.jpg"));
    canvas.repaintCellPatch(1, 1, QSize(40, 30), EdgePen::Dotted);
    canvas.waitForTiles();
    const QImage image = render();
    EXPECT_TRUE(near(image.pixel(centre(2, 2)), kGreen));
    EXPECT_EQ(QColor(image.pixel(centre(1, 1))), kBackground);
    EXPECT_TRUE(near(image.pixel(centre(3, 3)), kRed));
}

TEST_F(CanvasTest, ARedrawStartedAgainDrawsOnlyTheNewMap)
{
    newMap(2);
    grid.setCellText(1, 1, tile("red.jpg"));
    canvas.redrawCanvas();
    grid.setCellText(1, 1, QString());
    grid.setCellText(2, 2, tile("blue.jpg"));
    redraw();
    QTest::qWait(20);  // whatever the first redraw still hands over arrives, and is dropped
    const QImage image = render();
    EXPECT_EQ(QColor(image.pixel(centre(1, 1))), kBackground);
    EXPECT_TRUE(near(image.pixel(centre(2, 2)), kBlue));
}

TEST_F(CanvasTest, MarkedCellsAreFramedOverThePictureUntilTakenAway)
{
    newMap(3);
    grid.setCellText(2, 2, tile("red.jpg"));
    grid.setCellText(1, 3, tile("blue.jpg"));
    redraw();
    canvas.markCells({{2, 2}, {3, 1}, {4, 1}});  // the last is outside the map
    EXPECT_EQ(canvas.markedCells(), 2u);

    QWidget* widget = canvas.canvasWidget();
    const QImage shown = widget->grab().toImage();
    const QRect marked = cellRect(2, 2);
    for (QPoint p : {marked.topLeft(), marked.bottomRight(), marked.topLeft() + QPoint(1, 15),
                     marked.topRight() + QPoint(-1, 15), QPoint(marked.center().x(), marked.bottom() - 1)})
        EXPECT_EQ(QColor(shown.pixel(p)), CellMarks::kFrameColor) << p.x() << "," << p.y();
    EXPECT_TRUE(near(shown.pixel(marked.topLeft() + QPoint(2, 2)), kRed));  // a thin frame
    EXPECT_TRUE(near(shown.pixel(marked.center()), kRed));
    EXPECT_EQ(QColor(shown.pixel(cellRect(3, 1).topLeft() + QPoint(0, 10))), CellMarks::kFrameColor);
    EXPECT_TRUE(near(shown.pixel(cellRect(1, 3).topLeft()), kBlue));  // unmarked
    // Painted over the picture, not drawn into it.
    EXPECT_TRUE(near(render().pixel(marked.topLeft()), kRed));

    redraw();
    EXPECT_EQ(canvas.markedCells(), 2u);  // a redraw keeps them
    canvas.unmarkCells({{2, 2}});
    EXPECT_EQ(canvas.markedCells(), 1u);
    canvas.clearMarks();
    const QImage after = widget->grab().toImage();
    EXPECT_TRUE(near(after.pixel(marked.topLeft()), kRed));
    EXPECT_NE(QColor(after.pixel(cellRect(3, 1).topLeft() + QPoint(0, 10))), CellMarks::kFrameColor);
}

// Tiles of editing steps load in the background, in any order; once all have come, the picture is
// what drawing each at once would have made. Random steps on a few cells against that model.
TEST_F(CanvasTest, TilesLoadingInTheBackgroundEndAsIfDrawnAtOnce)
{
    newMap(3);
    const QStringList files{tile("red.jpg"), tile("green.jpg"), tile("blue.jpg"), tile("missing.jpg")};
    QRandomGenerator random(24);
    for (int round = 0; round < 40; ++round) {
        std::map<std::pair<int, int>, QString> shown;  // the newest tile of each cell, the model
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 3; ++c)
                shown[{r, c}] = canvas.picture().newestTile(r, c);
        for (int step = 0; step < 30; ++step) {
            const int r = random.bounded(1, 4), c = random.bounded(1, 4);
            switch (random.bounded(10)) {
            case 0:
                canvas.repaintCellPatch(r, c, QSize(40, 30), EdgePen::Dotted);
                shown[{r, c}].clear();
                break;
            case 1:
                canvas.drawMoveMarker(r, c);
                shown[{r, c}].clear();
                break;
            case 2:
                QCoreApplication::processEvents();  // some loads answered in between
                break;
            case 3:
                canvas.clearBoards();  // nothing loading yet is drawn
                for (auto& cellShown : shown)
                    cellShown.second.clear();
                break;
            default: {
                const QString& file = files[random.bounded(static_cast<int>(files.size()))];
                canvas.drawTileAt(r, c, file);
                if (QFile::exists(file))
                    shown[{r, c}] = file;
            }
            }
        }
        canvas.waitForCells();
        for (const auto& [cell, file] : shown)
            ASSERT_EQ(canvas.picture().newestTile(cell.first, cell.second), file)
                << "round " << round << " cell " << cell.first << "," << cell.second;
    }
}

// The main window's long work: import, export, shifts and the batch operations run in the
// background while commands that would change the map wait; editing is held meanwhile.
#include "app/MainWindow.h"

#include "app/StatusBar.h"
#include "canvas/Canvas.h"
#include "canvas/TileChooser.h"
#include "gui/LongWork.h"
#include "gui/Platform.h"
#include "model/MapShift.h"
#include "tiles/BatchMove.h"
#include "tiles/BatchRename.h"
#include "tiles/ResultWindow.h"
#include "tiles/TileListWindow.h"

#include <QCheckBox>
#include <QLabel>

namespace tessera {

// What a batch run in the background hands back: the map's cells after it, its report, and the
// last placeholder it drew.
struct MainWindow::BatchOutcome {
    CellTexts cells;
    RecordedReport report;
    QImage placeholder;
};

void MainWindow::waitForWork()
{
    work_->waitForIdle();
    canvas_->waitForTiles();
}

void MainWindow::bindLongWork()
{
    connect(work_.get(), &LongWork::started, progressBar_, &ProgressBar::follow);
    connect(&canvas_->fill(), &TileFill::started, progressBar_, &ProgressBar::follow);
    connect(work_.get(), &LongWork::busyChanged, this, &MainWindow::holdEditing);
}

void MainWindow::holdEditing(bool hold)
{
    editCanvas_->setEnabled(!hold);
    followImage_->setEnabled(!hold);
    gridModel_.setEditable(!hold);
    setAcceptDrops(!hold && grid_.mapSize() > 0);
}

void MainWindow::shift(ShiftDirection direction)
{
    const std::optional<int> distance = askShiftDistance(platform_, direction);
    if (!distance)
        return;
    // The shift runs on a snapshot; the map changes when it is done.
    work_->run<CellTexts>(
        [cells = grid_.cells(), n = grid_.mapSize(), direction, d = *distance](Progress& progress) mutable {
            shiftMapCells(cells, n, direction, d, progress);
            return std::move(cells);
        },
        [this](CellTexts cells) {
            grid_.replaceCells(std::move(cells));
            redrawCanvas();
        });
}

void MainWindow::batchRename()
{
    const BatchStart start = BatchRename::askStart(platform_, grid_);
    if (start.outcome != BatchStart::Go) {
        if (start.outcome == BatchStart::NoMap)
            chooser_->refreshFiles();
        return;
    }
    const bool fill = tileList_ && tileList_->fillBlanksCheck()->isChecked();
    runBatch(
        [folder = start.folder, fill](TileGrid& grid, Platform& platform, Progress& progress, BatchOutcome& out) {
            BatchRename::Hooks hooks;
            hooks.fillBlanks = [fill] { return fill; };
            hooks.showPlaceholder = [&out](const QImage& picture) { out.placeholder = picture; };
            BatchRename(grid, platform, progress, out.report, std::move(hooks)).renameInto(folder);
        },
        true);
}

void MainWindow::batchMove()
{
    const BatchStart start = BatchMove::askStart(platform_, grid_);
    if (start.outcome != BatchStart::Go) {
        if (start.outcome != BatchStart::Declined)
            chooser_->refreshFiles();  // also after a cancelled folder choice
        return;
    }
    runBatch(
        [folder = start.folder](TileGrid& grid, Platform& platform, Progress& progress, BatchOutcome& out) {
            BatchMove(grid, platform, progress, out.report, nullptr).moveInto(folder);
        },
        false);
}

void MainWindow::runBatch(std::function<void(TileGrid&, Platform&, Progress&, BatchOutcome&)> batch, bool redraw)
{
    // The batch works on its own copy of the map; the map takes its result when it is done, or
    // when it was stopped between two files.
    work_->run<std::shared_ptr<BatchOutcome>>(
        [batch = std::move(batch), &platform = platform_, cells = grid_.cells(),
         n = grid_.mapSize()](Progress& progress) {
            auto out = std::make_shared<BatchOutcome>();
            TileGrid grid;
            grid.resize(n);
            grid.replaceCells(cells);
            batch(grid, platform, progress, *out);
            out->cells = grid.cells();
            return out;
        },
        [this, redraw](std::shared_ptr<BatchOutcome> out) {
            grid_.replaceCells(std::move(out->cells));
            if (!out->placeholder.isNull() && tileList_) {
                tileList_->scratchBoard()->picture() = out->placeholder;
                tileList_->scratchBoard()->update();
            }
            out->report.replayInto(*results_);
            if (redraw)
                redrawCanvas();
            chooser_->refreshFiles();
        },
        LongWork::WhenCancelled::Apply);
}

}  // namespace tessera

// The main window's side of long work: the document's operations started from the window, its
// results shown, the progress bar following the work, and editing held while it runs.
#include "app/MainWindow.h"

#include "app/AutoAssemblyCommand.h"
#include "app/MapDocument.h"
#include "app/StatusBar.h"
#include "canvas/Canvas.h"
#include "canvas/TileChooser.h"
#include "gui/LongWork.h"
#include "app/ResultWindow.h"
#include "app/TileListWindow.h"

#include <QCheckBox>
#include <QLabel>

namespace tessera {

void MainWindow::waitForWork()
{
    work_->waitForIdle();
    canvas_->waitForTiles();
}

void MainWindow::bindLongWork()
{
    connect(work_, &LongWork::started, progressBar_, &ProgressBar::follow);
    connect(&canvas_->fill(), &TileFill::started, progressBar_, &ProgressBar::follow);
    connect(work_, &LongWork::busyChanged, this, &MainWindow::holdEditing);
}

void MainWindow::holdEditing(bool hold)
{
    editCanvas_->setEnabled(!hold);
    followImage_->setEnabled(!hold);
    gridModel_.setEditable(!hold);
    setAcceptDrops(!hold && grid_.mapSize() > 0);
}

void MainWindow::bindDocument()
{
    connect(doc_.get(), &MapDocument::mapReplaced, this, &MainWindow::redrawCanvas);
    connect(doc_.get(), &MapDocument::filesChanged, chooser_, &TileChooser::refreshFiles);
    connect(doc_.get(), &MapDocument::batchDone, this,
            [this](std::shared_ptr<const RecordedReport> report) {
                if (!report->placeholder().isNull() && tileList_) {
                    tileList_->scratchBoard()->picture() = report->placeholder();
                    tileList_->scratchBoard()->update();
                }
                report->replayInto(*results_);
            });
    connect(doc_.get(), &MapDocument::mapResized, this, [this] {
        canvas_->resizeForMap();
        updateScrollRanges();
    });
    connect(assembly_.get(), &AutoAssemblyCommand::doubtfulCells, this,
            [this](const std::vector<Cell>& cells) { canvas_->markCells(cells); });
}

void MainWindow::autoAssemble()
{
    assembly_->start(mapPicturePath_);
}

void MainWindow::shift(ShiftDirection direction)
{
    doc_->shift(direction);
}

void MainWindow::batchRename()
{
    doc_->batchRename(tileList_ && tileList_->fillBlanksCheck()->isChecked());
}

void MainWindow::batchMove()
{
    doc_->batchMove();
}

}  // namespace tessera

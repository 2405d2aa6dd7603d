// The main window's side of long work: the document's operations started from the window, its
// results shown, the progress bar following the work, editing held while it runs, and the exit,
// which settles every task.
#include "app/MainWindow.h"

#include "app/AutoAssemblyCommand.h"
#include "app/MapDocument.h"
#include "app/StatusBar.h"
#include "canvas/Canvas.h"
#include "canvas/TileChooser.h"
#include "gui/LongWork.h"
#include "app/ResultWindow.h"
#include "app/Texts.h"
#include "gui/Platform.h"
#include "app/TileListWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
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

void MainWindow::confirmExit()
{
    // Work that ends while the question is open is applied after it, not over it.
    work_->hold(true);
    const bool yes = platform_.messageBox(texts::kExitQuestion, MessageButtons::YesNoInfo) == MessageResult::Yes;
    if (!yes) {
        work_->hold(false);
        return;
    }
    // Every task stops at its next step: an export that has not begun writing writes nothing, and
    // one that has completes its atomic write first. Only a stopped batch's result is applied (its
    // files have moved): the cells and the report, with no redraw.
    closing_ = true;
    doc_->tasks().cancelAll();
    work_->cancelAndWait();
    doc_->tasks().join();
    quit_(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The close itself is always refused: after Yes the program has already ended.
    event->ignore();
    confirmExit();
}

void MainWindow::bindDocument()
{
    connect(doc_.get(), &MapDocument::mapReplaced, this, [this] {
        if (!closing_)
            redrawCanvas();
    });
    connect(doc_.get(), &MapDocument::filesChanged, this, [this] {
        if (!closing_)
            chooser_->refreshFiles();
    });
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

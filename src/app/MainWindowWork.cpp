// The window's side of the document: its signals, the progress bar, editing held, the exit.
#include "app/MainWindow.h"

#include "app/AutoAssemblyCommand.h"
#include "app/CanvasScrolling.h"
#include "document/MapDocument.h"
#include "app/ResultWindow.h"
#include "app/StatusBar.h"
#include "app/Texts.h"
#include "app/TileListWindow.h"
#include "canvas/Canvas.h"
#include "canvas/TileChooser.h"
#include "work/LongWork.h"
#include "files/Platform.h"

#include <QCloseEvent>
#include <QLabel>

namespace tessera {

TileListWindow* MainWindow::tileListWindow() const
{
    return tileList_;
}

void MainWindow::waitForWork()
{
    doc_->work().waitForIdle();
    canvas_->waitForTiles();
}

void MainWindow::holdEditing(bool hold)
{
    controls_.editCanvas->setEnabled(!hold);
    controls_.followImage->setEnabled(!hold);
    doc_->model().setEditable(!hold);
    setAcceptDrops(!hold && doc_->grid().mapSize() > 0);
}

void MainWindow::confirmExit()
{
    // Work that ends while the question is open is applied after it, not over it.
    doc_->work().hold(true);
    const QString unsaved = doc_->modified() ? texts::kUnsavedChanges : QString();
    const bool yes = dialogs_.messageBox(texts::kExitQuestion, MessageButtons::YesNoInfo, kDefaultMessageTitle,
                                          unsaved)
        == MessageResult::Yes;
    if (!yes) {
        doc_->work().hold(false);
        return;
    }
    // Every task stops at its next step: an export that has not begun writing writes nothing, and
    // one that has completes its atomic write first. Only a stopped batch's result is applied (its
    // files have moved): the cells and the report, with no redraw. A read that never returns
    // cannot be interrupted: what has not ended within the grace is left to end with the process.
    closing_ = true;
    doc_->tasks().cancelAll();
    const bool ended = doc_->tasks().joinWithin(kExitTasksMs, kExitReadsMs);
    if (doc_->work().ended())
        doc_->work().cancelAndWait();
    doc_->endCleanly();
    (ended ? quit_ : leave_)(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The close itself is always refused: after Yes the program has already ended.
    event->ignore();
    confirmExit();
}

void MainWindow::bindDocument()
{
    connect(&doc_->work(), &LongWork::started, controls_.progressBar, &ProgressBar::follow);
    connect(&canvas_->fill(), &TileFill::started, controls_.progressBar, &ProgressBar::follow);
    // A full redraw: the undo button takes back nothing made before it.
    connect(&canvas_->fill(), &TileFill::started, doc_, [this] { doc_->history().markRedrawn(); });
    connect(&doc_->work(), &LongWork::busyChanged, this, &MainWindow::holdEditing);
    connect(doc_, &MapDocument::mapReplaced, this, [this] {
        if (!closing_)
            canvas_->redrawCanvas();
    });
    connect(doc_, &MapDocument::modifiedChanged, this, &MainWindow::setWindowModified);
    connect(doc_, &MapDocument::mapStarted, this, &MainWindow::showMapControls);
    connect(doc_, &MapDocument::filesChanged, this, [this] {
        if (!closing_)
            chooser_->refreshFiles();
    });
    connect(doc_, &MapDocument::batchDone, this,
            [this](std::shared_ptr<const RecordedReport> report) {
                if (!report->placeholder().isNull() && tileList_) {
                    tileList_->scratchBoard()->picture() = report->placeholder();
                    tileList_->scratchBoard()->update();
                }
                report->replayInto(*results_);
            });
    connect(doc_, &MapDocument::mapStarted, this, [this] { tools_->mapStarted(); });
    connect(doc_, &MapDocument::notice, this,
            [this](const QString& text) { controls_.statusBar->setPanelText(1, text); });
    connect(doc_, &MapDocument::mapResized, this, [this] {
        toolsStartOver();
        tools_->mapStarted();  // a carried tile went with the old size
        canvas_->resizeForMap();
        scrolling_->updateRanges();
    });
    connect(assembly_.get(), &AutoAssemblyCommand::doubtfulCells, this,
            [this](const std::vector<Cell>& cells) { canvas_->markCells(cells); });
    // A doubtful cell's mark goes when the cell changes; a shift or another map takes them all.
    MapHistory& history = doc_->history();
    connect(&history, &MapHistory::cellsSet, this, [this](const std::vector<CellChange>& changes) {
        std::vector<Cell> cells;
        for (const CellChange& c : changes)
            cells.push_back({c.row, c.column});
        canvas_->unmarkCells(cells);
    });
    connect(&history, &MapHistory::shifted, this, [this] { canvas_->clearMarks(); });
    connect(&history, &MapHistory::mapSet, this, [this] { canvas_->clearMarks(); });
    // A result line that names a cell leads to it.
    results_->setLineChosen([this](const QString& line) {
        if (const std::optional<Cell> cell = cellNamedIn(line, doc_->grid())) {
            scrolling_->centreOn(cellRect(cell->row, cell->column));
            canvas_->flashCell(*cell);
            raise();
            activateWindow();
        }
    });
}

}  // namespace tessera

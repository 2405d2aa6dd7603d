#include "document/MapDocument.h"

#include "document/DocumentJournal.h"
#include "files/Platform.h"
#include "document/MapQuestions.h"
#include "batch/BatchMove.h"
#include "batch/BatchRename.h"

namespace tessera {

// What a batch run in the background hands back: the map's cells after it and its report.
struct MapDocument::BatchOutcome {
    CellTexts cells;
    std::shared_ptr<RecordedReport> report = std::make_shared<RecordedReport>();
};

MapDocument::MapDocument(Platform& platform, QObject* parent)
    : QObject(parent), dialogs_(platform.dialogs()), files_(platform.files()),
      file_(history_.grid(), dialogs_, files_, noProgress_,
            {[this](CellTexts cells) {
                 if (cells.size() != grid().cells().size())
                     return false;
                 history_.replaceMap(MapCommandKind::Import, grid().mapSize(), std::move(cells));
                 return true;
             },
             // A TMX or TMJ map is a change of the map, undoable; it does not become the map's path file.
             [this](int n, CellTexts cells) { replaceMap(MapCommandKind::Import, n, std::move(cells)); },
             // A map opened starts over with its cells and nothing to undo.
             [this](int n, CellTexts cells) {
                 startOver(n);
                 history_.replaceMap(MapCommandKind::Import, n, std::move(cells));
                 history_.clear();
             }})
{
    file_.setLongWork(&work_);
    connect(&file_, &MapFileCommands::opened, this, [this](const QString& path, bool pathFile) {
        if (pathFile)
            savedAs(path);
        else
            emit fileUsed(path);
        emit mapReplaced();
    });
    connect(&file_, &MapFileCommands::importedTiledMap, this, &MapDocument::fileUsed);
    connect(&file_, &MapFileCommands::imported, this, [this](const QString& path) {
        savedAs(path);
        emit mapReplaced();
    });
    connect(&file_, &MapFileCommands::exported, this, &MapDocument::savedAs);
    connect(&file_, &MapFileCommands::notice, this, &MapDocument::notice);
    model_.setCellEditor([this](int row, int column, const QString& text) {
        history_.changeCells(MapCommandKind::EditCell, {{row, column, grid().cellText(row, column), text}});
    });
    connect(&history_.stack(), &QUndoStack::cleanChanged, this, [this] { emit modifiedChanged(modified()); });
    // Undo and redo of whole-map commands: the map redraws, after taking its size when that changed.
    connect(&history_, &MapHistory::mapRestored, this, [this](bool resized) {
        if (resized)
            emit mapResized();
        emit mapReplaced();
    });
}

MapDocument::~MapDocument() = default;

bool MapDocument::newMap()
{
    const std::optional<int> size = askNewMapSize(dialogs_);
    if (!size)
        return false;
    startOver(*size);
    return true;
}

void MapDocument::startOver(int mapSize, const QString& mapPath)
{
    history_.startMap(mapSize);
    mapPath_ = mapPath;
    setChangedOutsideHistory(false);
    emit mapStarted();
}

void MapDocument::restore(int mapSize, CellTexts cells, const QString& mapPath)
{
    startOver(mapSize, mapPath);
    history_.replaceMap(MapCommandKind::Import, mapSize, std::move(cells));
    history_.clear();
    setChangedOutsideHistory(true);
    emit mapResized();
    emit mapReplaced();
}

void MapDocument::keepJournal(const QString& folder)
{
    delete journal_;
    journal_ = new DocumentJournal(*this, folder);
}

void MapDocument::endCleanly()
{
    if (journal_)
        journal_->discard();
}

void MapDocument::replaceMap(MapCommandKind kind, int mapSize, CellTexts cells)
{
    const bool resized = mapSize != grid().mapSize();
    history_.replaceMap(kind, mapSize, std::move(cells));
    if (resized)
        emit mapResized();
    emit mapReplaced();
}

void MapDocument::openMap(const QString& path)
{
    const auto open = [this, path] {
        if (path.isEmpty())
            file_.openMap();
        else
            file_.openFrom(path);
    };
    if (modified()) {
        const MessageResult answer =
            dialogs_.messageBox(QStringLiteral("当前地图有未保存的修改，是否先保存？"), MessageButtons::YesNoCancel);
        if (answer == MessageResult::Cancel)
            return;
        if (answer == MessageResult::Yes) {
            save();
            // Once written; a save that failed or was cancelled leaves the map open as it is.
            work_.whenIdle([this, open] {
                if (!modified())
                    open();
            });
            return;
        }
    }
    open();
}

void MapDocument::save()
{
    if (mapPath_.isEmpty())
        file_.exportGrid(false);
    else
        file_.exportTo(mapPath_, false);
}

void MapDocument::savedAs(const QString& path)
{
    mapPath_ = path;
    history_.stack().setClean();
    setChangedOutsideHistory(false);
    emit modifiedChanged(modified());
    emit saved(path);
    emit fileUsed(path);
}

void MapDocument::setChangedOutsideHistory(bool changed)
{
    const bool was = modified();
    changedOutsideHistory_ = changed;
    if (modified() != was)
        emit modifiedChanged(modified());
}

void MapDocument::sayResizedMeanwhile()
{
    dialogs_.messageBox(QStringLiteral("地图的大小在处理期间改变了，处理结果没有放入地图。"), MessageButtons::OkExclamation);
}

void MapDocument::shift(ShiftDirection direction)
{
    const std::optional<int> distance = askShiftDistance(dialogs_, direction);
    if (!distance)
        return;
    // The shift runs on a snapshot, which also tells what it loses; the map changes when it is done.
    struct Shifted {
        CellTexts cells;
        std::vector<LostCell> lost;
    };
    work_.run<std::shared_ptr<Shifted>>(
        [cells = grid().cells(), n = grid().mapSize(), direction, d = *distance](Progress& progress) mutable {
            auto out = std::make_shared<Shifted>();
            out->lost = shiftLosses(cells, n, direction, d);
            shiftMapCells(cells, n, direction, d, progress);
            out->cells = std::move(cells);
            return out;
        },
        [this, direction, d = *distance](std::shared_ptr<Shifted> out) {
            if (out->cells.size() != grid().cells().size()) {
                sayResizedMeanwhile();
                return;
            }
            history_.shift(direction, d, std::move(out->cells), std::move(out->lost));
            emit mapReplaced();
        });
}

void MapDocument::batchRename(bool fillBlanks)
{
    const BatchStart start = askBatchRenameStart(dialogs_, grid());
    if (start.outcome != BatchStart::Go) {
        if (start.outcome == BatchStart::NoMap)
            emit filesChanged();
        return;
    }
    runBatch(
        [folder = start.folder, fillBlanks](TileGrid& grid, Files& files, Progress& progress, BatchOutcome& out) {
            BatchRename(grid, files, progress, *out.report, fillBlanks).renameInto(folder);
        },
        true);
}

void MapDocument::batchMove()
{
    const BatchStart start = askBatchMoveStart(dialogs_, grid());
    if (start.outcome != BatchStart::Go) {
        if (start.outcome != BatchStart::Declined)
            emit filesChanged();  // also after a cancelled folder choice
        return;
    }
    runBatch(
        [folder = start.folder](TileGrid& grid, Files& files, Progress& progress, BatchOutcome& out) {
            BatchMove(grid, files, progress, *out.report).moveInto(folder);
        },
        false);
}

void MapDocument::runBatch(Batch batch, bool redraw)
{
    // The batch works on its own copy of the map; the map takes its result when it is done, or
    // when it was stopped between two files.
    work_.run<std::shared_ptr<BatchOutcome>>(
        [batch = std::move(batch), &files = files_, cells = grid().cells(),
         n = grid().mapSize()](Progress& progress) {
            auto out = std::make_shared<BatchOutcome>();
            TileGrid grid;
            grid.resize(n);
            [[maybe_unused]] const bool copied = grid.replaceCells(cells);
            Q_ASSERT(copied);
            batch(grid, files, progress, *out);
            out->cells = grid.cells();
            return out;
        },
        [this, redraw](std::shared_ptr<BatchOutcome> out) {
            if (out->cells.size() != grid().cells().size()) {
                sayResizedMeanwhile();
                return;
            }
            // The files have moved: the history before the batch no longer fits them.
            history_.replaceMap(MapCommandKind::Import, grid().mapSize(), std::move(out->cells));
            history_.clear();
            setChangedOutsideHistory(true);
            emit batchDone(out->report);
            emit notice(kHistoryEnded);
            if (redraw)
                emit mapReplaced();
            emit filesChanged();
        },
        LongWork::WhenCancelled::Apply);
}

}  // namespace tessera

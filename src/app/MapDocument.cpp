#include "app/MapDocument.h"

#include "gui/Platform.h"
#include "app/MapQuestions.h"
#include "batch/BatchMove.h"
#include "batch/BatchRename.h"

namespace tessera {

// What a batch run in the background hands back: the map's cells after it and its report.
struct MapDocument::BatchOutcome {
    CellTexts cells;
    std::shared_ptr<RecordedReport> report = std::make_shared<RecordedReport>();
};

MapDocument::MapDocument(Platform& platform, QObject* parent)
    : QObject(parent), platform_(platform), model_(grid_), file_(grid_, platform, noProgress_)
{
    file_.setLongWork(&work_);
    connect(&file_, &MapFileCommands::imported, this, &MapDocument::mapReplaced);
}

MapDocument::~MapDocument() = default;

bool MapDocument::newMap()
{
    const std::optional<int> size = askNewMapSize(platform_);
    if (!size)
        return false;
    startOver(*size);
    return true;
}

void MapDocument::startOver(int mapSize)
{
    grid_.resize(mapSize);
    editing_.moveState = MoveState::Idle;
    editing_.tileWidth = 40;
    editing_.tileHeight = 30;
    editing_.history.clear();
}

void MapDocument::replaceMap(int mapSize, CellTexts cells)
{
    if (mapSize != grid_.mapSize()) {
        startOver(mapSize);
        emit mapResized();
    }
    if (takeCells(std::move(cells)))
        emit mapReplaced();
}

bool MapDocument::takeCells(CellTexts cells)
{
    if (grid_.replaceCells(std::move(cells)))
        return true;
    platform_.messageBox(QStringLiteral("地图的大小在处理期间改变了，处理结果没有放入地图。"), MessageButtons::OkExclamation);
    return false;
}

void MapDocument::shift(ShiftDirection direction)
{
    const std::optional<int> distance = askShiftDistance(platform_, direction);
    if (!distance)
        return;
    // The shift runs on a snapshot; the map changes when it is done.
    work_.run<CellTexts>(
        [cells = grid_.cells(), n = grid_.mapSize(), direction, d = *distance](Progress& progress) mutable {
            shiftMapCells(cells, n, direction, d, progress);
            return std::move(cells);
        },
        [this](CellTexts cells) {
            if (takeCells(std::move(cells)))
                emit mapReplaced();
        });
}

void MapDocument::batchRename(bool fillBlanks)
{
    const BatchStart start = askBatchRenameStart(platform_, grid_);
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
    const BatchStart start = askBatchMoveStart(platform_, grid_);
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
        [batch = std::move(batch), &files = platform_.files(), cells = grid_.cells(),
         n = grid_.mapSize()](Progress& progress) {
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
            if (!takeCells(std::move(out->cells)))
                return;
            emit batchDone(out->report);
            if (redraw)
                emit mapReplaced();
            emit filesChanged();
        },
        LongWork::WhenCancelled::Apply);
}

}  // namespace tessera

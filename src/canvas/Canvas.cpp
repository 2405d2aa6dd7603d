#include "canvas/Canvas.h"

#include "canvas/CanvasWidgets.h"
#include "canvas/EditingState.h"
#include "model/TileGrid.h"

#include <algorithm>


namespace tessera {

Canvas::Canvas(TaskGroup& tasks, const TileGrid& grid, EditingState& editing, QWidget* viewport)
    : grid_(grid), editing_(editing), fill_(std::make_unique<TileFill>(tasks, cache_, static_cast<TileSink&>(*this))),
      cellLoads_(std::make_unique<CellLoads>(tasks, cache_)),
      canvas_(new EditCanvas(picture_, cache_, viewport)), ruler_(new RulerBoard(rulerPicture_, viewport))
{
    canvas_->installEventFilter(fill_.get());
    ruler_->setGeometry(0, 0, 64, 64);
    canvas_->setGeometry(20, 20, 40, 30);
    canvas_->raise();
    ruler_->hide();
    canvas_->hide();
}

Canvas::~Canvas() = default;

QSize Canvas::tileSize() const
{
    return QSize(editing_.tileWidth, editing_.tileHeight);
}

void Canvas::resizeForMap()
{
    const int n = grid_.mapSize();
    fill_->cancel();
    loading_.clear();
    canvas_->resize(canvasSize(n));
    ruler_->resize(rulerBoardSize(n));
    picture_.reset(n);
    canvas_->marks().clear();
    cache_->forgetKept();
    rulerPicture_.reset(n);
}

void Canvas::clearBoards()
{
    fill_->cancel();
    loading_.clear();
    picture_.clear();
    cache_->forgetKept();
    rulerPicture_.clear();
    canvas_->update();
    ruler_->update();
}

void Canvas::drawRulersAndGrid()
{
    clearBoards();
    const Options options = options_;
    if (options.showRuler)
        rulerPicture_.drawNumbers();
    if (options.showGrid) {
        dottedPen_ = true;
        picture_.drawGrid();
        rulerPicture_.drawTicks();
    }
}

void Canvas::drawTiles()
{
    fill_->setVisible(cellsMeeting(canvas_->visibleRegion().boundingRect(), grid_.mapSize()));
    fill_->start(grid_.cells(), grid_.mapSize(), tileSize());
}

void Canvas::drawLoaded(const std::vector<LoadedTile>& batch)
{
    const int n = picture_.mapSize();
    QRect dirty;
    for (const LoadedTile& tile : batch) {
        if (tile.image.isNull() || tile.cells.empty())
            continue;
        const std::uint32_t handle = picture_.addTileImage(tile.key, tile.image);
        if (picture_.holds(handle))
            cache_->keep(tile.key, tile.image);  // the preview finds it without decoding it again
        for (const int cell : tile.cells) {
            const int row = cell / n + 1;
            const int column = cell % n + 1;
            picture_.drawTile(row, column, handle);
            dirty |= cellRect(row, column);
        }
    }
    if (!dirty.isEmpty())
        canvas_->update(dirty);
}

void Canvas::redrawCanvas()
{
    drawRulersAndGrid();  // clears both boards first
    drawTiles();
}

void Canvas::drawTileAt(int row, int column, const QString& path)
{
    fill_->markEdited(row, column);
    if (cellIndex(row, column) < 0)
        return;
    const quint64 load = ++lastLoad_;
    loading_[cellIndex(row, column)].push_back({LaterStep::Kind::Tile, {}, {}, load, false, {}, {}});
    cellLoads_->request(path, tileSize(), [this, row, column, load](const TileKey& key, const QImage& image) {
        tileLoaded(row, column, load, key, image);
    });
}

QImage Canvas::shownTile(int row, int column, const QString& path)
{
    return picture_.newestTile(row, column) == path ? picture_.newestTileImage(row, column, *cache_) : QImage();
}

void Canvas::logStep(int row, int column, LaterStep step)
{
    if (loading_.isEmpty())
        return;
    if (const auto it = loading_.find(cellIndex(row, column)); it != loading_.end())
        it->push_back(std::move(step));
}

void Canvas::tileLoaded(int row, int column, quint64 load, const TileKey& key, const QImage& image)
{
    const auto it = loading_.find(cellIndex(row, column));
    if (it == loading_.end())
        return;  // cleared since
    std::vector<LaterStep>& steps = *it;
    const auto self = std::find_if(steps.begin(), steps.end(), [load](const LaterStep& s) { return s.load == load; });
    if (self == steps.end())
        return;
    self->loaded = true;
    self->key = key;
    self->image = image;
    if (!image.isNull()) {
        for (auto step = self; step != steps.end(); ++step)
            drawStep(row, column, *step);
        repaintCell(row, column);
    }
    if (std::all_of(steps.begin(), steps.end(), [](const LaterStep& s) { return s.kind != LaterStep::Kind::Tile || s.loaded; }))
        loading_.erase(it);
}

void Canvas::drawStep(int row, int column, const LaterStep& step)
{
    switch (step.kind) {
    case LaterStep::Kind::Patch:
        picture_.erase(row, column, step.size);
        picture_.drawEdges(row, column, step.pen);
        break;
    case LaterStep::Kind::Marker:
        picture_.drawMarker(row, column);
        break;
    case LaterStep::Kind::Tile:
        if (step.loaded)
            picture_.drawTile(row, column, step.key, step.image);  // a null image draws nothing
        break;
    }
}

int Canvas::cellIndex(int row, int column) const
{
    const int n = picture_.mapSize();
    return row < 1 || column < 1 || row > n || column > n ? -1 : (row - 1) * n + column - 1;
}

void Canvas::repaintCellPatch(int row, int column, QSize size, EdgePen pen)
{
    fill_->markEdited(row, column);
    const LaterStep patch{LaterStep::Kind::Patch, size, pen, 0, false, {}, {}};
    drawStep(row, column, patch);
    logStep(row, column, patch);
    repaintCell(row, column);
}

void Canvas::drawMoveMarker(int row, int column)
{
    fill_->markEdited(row, column);
    picture_.drawMarker(row, column);
    logStep(row, column, {LaterStep::Kind::Marker, {}, {}, 0, false, {}, {}});
    repaintCell(row, column);
}

void Canvas::markCells(const std::vector<Cell>& cells)
{
    canvas_->marks().set(cells, picture_.mapSize());
    canvas_->update();
}

void Canvas::unmarkCells(const std::vector<Cell>& cells)
{
    if (canvas_->marks().isEmpty())
        return;
    canvas_->marks().remove(cells);
    for (const Cell& cell : cells)
        repaintCell(cell.row, cell.column);
}

void Canvas::clearMarks()
{
    canvas_->marks().clear();
    canvas_->update();
}

void Canvas::flashCell(const Cell& cell)
{
    canvas_->flash(cell);
}

std::size_t Canvas::markedCells() const
{
    return canvas_->marks().count();
}

void Canvas::repaintCell(int row, int column)
{
    canvas_->update(cellRect(row, column));
}

}  // namespace tessera

#include "canvas/Canvas.h"

#include "canvas/CanvasWidgets.h"
#include "canvas/EditingState.h"
#include "model/TileGrid.h"


namespace tessera {

Canvas::Canvas(TaskGroup& tasks, TileGrid& grid, EditingState& editing, QWidget* viewport)
    : grid_(grid), editing_(editing), fill_(std::make_unique<TileFill>(tasks, cache_, static_cast<TileSink&>(*this))),
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
    picture_.clear();
    canvas_->marks().clear();
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
    editing_.history.clear();
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

bool Canvas::drawTileAt(int row, int column, const QString& path)
{
    fill_->markEdited(row, column);
    const TileKey key = tileKeyFor(path, tileSize());
    const QImage image = cache_->image(key);
    if (image.isNull())
        return false;
    picture_.drawTile(row, column, key, image);
    repaintCell(row, column);
    return true;
}

void Canvas::repaintCellPatch(int row, int column, QSize size, EdgePen pen)
{
    fill_->markEdited(row, column);
    picture_.erase(row, column, size);
    picture_.drawEdges(row, column, pen);
    repaintCell(row, column);
}

void Canvas::drawMoveMarker(int row, int column)
{
    fill_->markEdited(row, column);
    picture_.drawMarker(row, column);
    repaintCell(row, column);
}

void Canvas::markCells(const std::vector<Cell>& cells)
{
    canvas_->marks().set(cells, picture_.mapSize());
    canvas_->update();
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

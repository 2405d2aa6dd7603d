#include "canvas/Canvas.h"

#include "canvas/CanvasWidgets.h"
#include "canvas/EditingState.h"
#include "canvas/TileWalk.h"
#include "gui/Progress.h"
#include "model/TileGrid.h"


namespace tessera {

Canvas::Canvas(TileGrid& grid, EditingState& editing, Progress& progress, QWidget* viewport)
    : grid_(grid), editing_(editing), progress_(progress), options_([] { return Options{}; }),
      canvas_(new EditCanvas(picture_, cache_, viewport)), ruler_(new RulerBoard(rulerPicture_, viewport))
{
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
    canvas_->resize(canvasSize(n));
    ruler_->resize(rulerBoardSize(n));
    picture_.reset(n);
    rulerPicture_.reset(n);
}

void Canvas::clearBoards()
{
    picture_.clear();
    rulerPicture_.clear();
    canvas_->update();
    ruler_->update();
}

void Canvas::drawRulersAndGrid()
{
    clearBoards();
    const Options options = options_();
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
    walkTiles(
        grid_.mapSize(), [this](int r, int c) -> const QString& { return grid_.cellText(r, c); }, tileSize(), cache_,
        progress_, [this](const TileKey& key, const QImage& image) { return picture_.addTileImage(key, image); },
        [this](int r, int c, std::uint32_t tile) { picture_.drawTile(r, c, tile); });
    editing_.history.clear();
    canvas_->update();
}

void Canvas::redrawCanvas()
{
    drawRulersAndGrid();  // clears both boards first
    drawTiles();
}

void Canvas::refresh()
{
    // Erasing the canvas alone first makes no difference once both boards are cleared.
    redrawCanvas();
}

bool Canvas::drawTileAt(int row, int column, const QString& path)
{
    const TileKey key = tileKeyFor(path, tileSize());
    const QImage image = cache_.image(key);
    if (image.isNull())
        return false;
    picture_.drawTile(row, column, key, image);
    repaintCell(row, column);
    return true;
}

void Canvas::repaintCellPatch(int row, int column, QSize size, EdgePen pen)
{
    picture_.erase(row, column, size);
    picture_.drawEdges(row, column, pen);
    repaintCell(row, column);
}

void Canvas::drawMoveMarker(int row, int column)
{
    picture_.drawMarker(row, column);
    repaintCell(row, column);
}

void Canvas::repaintCell(int row, int column)
{
    canvas_->update(cellRect(row, column));
}

}  // namespace tessera

#include "canvas/Canvas.h"

#include "canvas/CanvasWidgets.h"
#include "canvas/EditingState.h"
#include "gui/Progress.h"
#include "model/TileGrid.h"

#include <QHash>

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
    const int n = grid_.mapSize();
    progress_.start(static_cast<std::int64_t>(n) * n);
    const QSize size = tileSize();

    // Cells are visited column by column; each distinct file is decoded once, the files of a
    // batch in parallel, and the batch drawn before the next one is read.
    struct Pending {
        int row;
        int column;
        int slot;
    };
    QHash<QString, int> slotOf;
    QList<TileKey> keys;
    std::vector<std::uint32_t> tileOfSlot;  // picture index, or UINT32_MAX for nothing to draw
    QList<int> unresolved;
    std::vector<Pending> pending;
    std::int64_t visited = 0;
    constexpr qsizetype kDecodeBatch = 64;
    constexpr std::int64_t kCellBatch = 8192;

    auto flush = [&] {
        if (!unresolved.isEmpty()) {
            QList<TileKey> batch;
            for (int slot : unresolved)
                batch.append(keys[slot]);
            const QList<QImage> images = cache_.images(batch);
            for (qsizetype i = 0; i < unresolved.size(); ++i) {
                tileOfSlot[static_cast<std::size_t>(unresolved[i])] = images[i].isNull()
                    ? UINT32_MAX
                    : picture_.addTileImage(batch[i], images[i]);
            }
            unresolved.clear();
        }
        for (const Pending& p : pending) {
            const std::uint32_t tile = tileOfSlot[static_cast<std::size_t>(p.slot)];
            if (tile != UINT32_MAX)
                picture_.drawTile(p.row, p.column, tile);
        }
        pending.clear();
        progress_.advance(visited);
        visited = 0;
    };

    for (int c = 1; c <= n; ++c) {
        for (int r = 1; r <= n; ++r) {
            ++visited;
            const QString& text = grid_.cellText(r, c);
            if (!text.isEmpty()) {
                auto it = slotOf.constFind(text);
                if (it == slotOf.constEnd()) {
                    it = slotOf.insert(text, static_cast<int>(keys.size()));
                    keys.append(tileKeyFor(text, size));
                    tileOfSlot.push_back(UINT32_MAX);
                    unresolved.append(*it);
                }
                pending.push_back({r, c, *it});
            }
            if (unresolved.size() >= kDecodeBatch || visited >= kCellBatch)
                flush();
        }
    }
    flush();
    editing_.history.clear();
    canvas_->update();
}

void Canvas::redrawCanvas()
{
    clearBoards();
    drawRulersAndGrid();
    drawTiles();
}

void Canvas::refresh()
{
    picture_.clear();
    drawRulersAndGrid();
    drawTiles();
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

#pragma once

#include "canvas/CanvasGeometry.h"
#include "canvas/CanvasPicture.h"
#include "canvas/CellLoads.h"
#include "canvas/TileFill.h"
#include "render/TileImages.h"

#include <QHash>

#include <memory>
#include <vector>

namespace tessera {

class EditCanvas;
class Progress;
class RulerBoard;
class TileGrid;
struct EditingState;

// The edit canvas and the ruler board: drawing the map, its grid and rulers, and the small
// drawing steps of the editing tools. Works like a drawing surface: nothing follows the grid
// until a full redraw.
class Canvas : private TileSink {
public:
    struct Options {
        bool showRuler = true;
        bool showGrid = true;
    };

    // Its tiles load in tasks of `tasks`, which outlives it.
    Canvas(TaskGroup& tasks, const TileGrid& grid, EditingState& editing, QWidget* viewport);
    ~Canvas();

    // Where the rulers and grid check boxes are read.
    // What the next full redraw shows besides the tiles.
    void setOptions(Options options) { options_ = options; }

    EditCanvas* canvasWidget() const { return canvas_; }
    RulerBoard* rulerWidget() const { return ruler_; }
    const CanvasPicture& picture() const { return picture_; }
    const RulerPicture& rulerPicture() const { return rulerPicture_; }
    TileImageCache& cache() { return *cache_; }
    // The cache, shared with whatever reads it beyond the canvas's life: the preview, the tasks.
    const std::shared_ptr<TileImageCache>& sharedCache() const { return cache_; }
    // The background loading of a full redraw's tiles.
    TileFill& fill() { return *fill_; }
    // Blocks until every tile of the last full redraw is drawn.
    void waitForTiles() { fill_->waitForDone(); }
    // Blocks until the tiles that editing steps asked for are drawn. For tests and benchmarks.
    void waitForCells() { cellLoads_->deliver(true); }

    // Sizes both surfaces for the grid's current map size and erases them.
    void resizeForMap();
    void clearBoards();
    void drawRulersAndGrid();
    // Every cell's tile at the current tile size, loaded in the background (those in view first);
    // the fill's `started` tells that a full redraw began.
    void drawTiles();
    // The full redraw: both boards cleared, rulers and grid as the options say, then every tile. It
    // is what the refresh button, the check boxes, import, the shifts and batch rename run.
    void redrawCanvas();

    // The tile of `path` at the cell, at the current tile size, as soon as it is loaded in the
    // background. Once every load has come, the picture is what drawing each tile at once would
    // have made: a tile is not drawn over a later step on its cell, an unreadable file draws nothing.
    void drawTileAt(int row, int column, const QString& path);
    // The tile the canvas shows at the cell when it is `path`'s and at hand (no file is read), else
    // null; then `loadTile` brings it from the cell loaders, `done` running on the GUI thread.
    QImage shownTile(int row, int column, const QString& path);
    void loadTile(const QString& path, QSize size, CellLoads::Done done) { cellLoads_->request(path, size, std::move(done)); }
    // Erases `size` at the cell's origin, then draws the cell's top and left edges.
    void repaintCellPatch(int row, int column, QSize size, EdgePen pen);
    void drawMoveMarker(int row, int column);
    // Frames these cells over the picture until they change, the map takes another size or
    // `clearMarks`; a full redraw keeps them.
    void markCells(const std::vector<Cell>& cells);
    void unmarkCells(const std::vector<Cell>& cells);
    void clearMarks();
    // Frames the cell brightly for a moment.
    void flashCell(const Cell& cell);
    std::size_t markedCells() const;
    // Delete and move select the dotted pen before drawing edges; it stays selected.
    void selectDottedPen() { dottedPen_ = true; }
    EdgePen currentPen() const { return dottedPen_ ? EdgePen::Dotted : EdgePen::Solid; }

    QSize tileSize() const;

private:
    void drawLoaded(const std::vector<LoadedTile>& batch) override;
    void repaintCell(int row, int column);
    // What is drawn on a cell while a tile of it loads, kept to be drawn again over that tile.
    struct LaterStep {
        enum class Kind : std::uint8_t { Patch, Marker, Tile } kind;
        QSize size;  // of a patch
        EdgePen pen = EdgePen::Dotted;
        quint64 load = 0;  // of a tile
        bool loaded = false;
        TileKey key;
        QImage image;
    };
    void logStep(int row, int column, LaterStep step);
    void tileLoaded(int row, int column, quint64 load, const TileKey& key, const QImage& image);
    void drawStep(int row, int column, const LaterStep& step);
    int cellIndex(int row, int column) const;

    const TileGrid& grid_;
    EditingState& editing_;
    Options options_;
    CanvasPicture picture_;
    RulerPicture rulerPicture_;
    std::shared_ptr<TileImageCache> cache_ = std::make_shared<TileImageCache>();
    std::unique_ptr<TileFill> fill_;
    std::unique_ptr<CellLoads> cellLoads_;
    // The cells whose tiles load, each with its steps since the oldest: a tile that comes is drawn
    // with every later step again over it, so that the order of the steps holds.
    QHash<int, std::vector<LaterStep>> loading_;
    quint64 lastLoad_ = 0;
    EditCanvas* canvas_;
    RulerBoard* ruler_;
    bool dottedPen_ = false;
};

}  // namespace tessera

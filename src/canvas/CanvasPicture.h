#pragma once

#include "render/TileImages.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QVarLengthArray>

#include <cstdint>
#include <vector>

class QPainter;

namespace tessera {

inline const QColor kCanvasBackground(128, 128, 128);
inline const QColor kCanvasPen(96, 96, 96);
inline const QColor kCanvasFill(192, 192, 192);
inline const QColor kMarkerPen(255, 0, 0);
inline const QColor kRulerBackground(0, 0, 0);
inline const QColor kRulerInk(96, 96, 96);

// The pen the canvas holds when cell edges are drawn: the dotted one (selected by every grid draw
// and by delete and move) or the solid pen, 5 pixels wide.
enum class EdgePen { Dotted, Solid };

// What has been drawn on the edit canvas, kept per cell instead of as pixels, so that a map of any
// size costs memory per cell and paints only what is exposed. It behaves like a drawing surface:
// later drawing covers earlier drawing, nothing follows the grid by itself.
class CanvasPicture {
public:
    // Pinned decoded images beyond this budget are fetched again from the cache when painted.
    static constexpr qint64 kPinBudgetBytes = 512LL * 1024 * 1024;

    // Erases everything for a map of `mapSize` × `mapSize` cells.
    void reset(int mapSize);
    // Erases the whole canvas to its background.
    void clear();
    // The dotted grid on the inner cell boundaries.
    void drawGrid();
    // The image, already sized, at the cell's origin; a null image draws nothing.
    void drawTile(int row, int column, const TileKey& key, const QImage& image);
    // The same for many cells showing one image: register it once, then draw it by its index.
    std::uint32_t addTileImage(const TileKey& key, const QImage& image);
    // Whether the picture holds the tile's image itself (within its budget).
    bool holds(std::uint32_t tile) const { return tile < tiles_.size() && !tiles_[tile].pinned.isNull(); }
    void drawTile(int row, int column, std::uint32_t tile);
    // Erases a rectangle of `size` at the cell's origin.
    void erase(int row, int column, QSize size);
    // The cell's top and left edges.
    void drawEdges(int row, int column, EdgePen pen);
    // The move marker: a red dotted outline 3 pixels inside the cell, filled light grey.
    void drawMarker(int row, int column);

    int mapSize() const { return size_; }
    bool gridShown() const { return grid_; }
    // Whether a tile has been drawn at the cell since the last clear.
    bool hasTile(int row, int column) const;
    // The file of the tile drawn last at the cell when nothing has been drawn over it since;
    // empty otherwise.
    QString newestTile(int row, int column) const;
    // That tile's image, held here or in `cache`; null when neither has it (no file is read).
    QImage newestTileImage(int row, int column, TileImageCache& cache) const;

    // Paints the part of the canvas inside `area`; pinned-out tiles come from `cache`.
    void paint(QPainter& painter, const QRect& area, TileImageCache& cache) const;

private:
    enum class Kind : std::uint8_t { Erase, Edges, Tile, Marker };
    struct Step {
        Kind kind;
        std::uint8_t width;
        std::uint8_t height;
        std::uint8_t style;
        std::uint32_t tile;
    };
    using Steps = QVarLengthArray<Step, 2>;
    struct TileEntry {
        TileKey key;
        QImage pinned;
    };

    Steps* stepsOf(int row, int column);
    const TileEntry* newestEntry(int row, int column) const;
    void add(int row, int column, Step step);

    int size_ = 0;
    bool grid_ = false;
    std::vector<Steps> cells_;
    std::vector<TileEntry> tiles_;
    QHash<TileKey, std::uint32_t> tileIndex_;
    qint64 pinnedBytes_ = 0;
};

// What has been drawn on the ruler board: its numbers and its ticks.
class RulerPicture {
public:
    void reset(int mapSize);
    void clear();
    void drawNumbers() { numbers_ = true; }
    void drawTicks() { ticks_ = true; }

    void paint(QPainter& painter, const QRect& area) const;

private:
    void paintTicks(QPainter& painter, const QRect& visible) const;
    void paintNumbers(QPainter& painter, const QRect& visible) const;

    int size_ = 0;
    bool numbers_ = false;
    bool ticks_ = false;
};

}  // namespace tessera

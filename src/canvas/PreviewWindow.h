#pragma once

#include "canvas/CellLoads.h"
#include "canvas/TileFill.h"
#include "render/TileImages.h"

#include <QImage>
#include <QMargins>
#include <QSet>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QScrollArea;
class QTimer;

namespace tessera {

class TileGrid;

// The whole map as the preview shows it: light grey, solid lines between the cells, every tile
// at its cell. Kept per cell, painted only where exposed; tiles beyond a memory budget are taken
// from the shared tile cache when painted, and one that has left the cache is asked for again
// (`setReload`) rather than read on the painting thread.
class PreviewPicture {
public:
    static constexpr qint64 kPinBudgetBytes = 128LL * 1024 * 1024;

    explicit PreviewPicture(std::shared_ptr<TileImageCache> cache) : cache_(std::move(cache)) {}

    // Nothing drawn yet, for a map of `mapSize` × `mapSize` cells.
    void reset(int mapSize);
    // The lines; the tiles, at `tileSize`, follow as they are loaded.
    void begin(QSize tileSize);
    void addLoaded(const std::vector<LoadedTile>& batch);
    void setReload(std::function<void(const TileKey&)> reload) { reload_ = std::move(reload); }
    bool isDrawn() const { return drawn_; }
    int mapSize() const { return size_; }
    // The size of the picture: two pixels more than the cells.
    QSize size() const;
    void paint(QPainter& painter, const QRect& area) const;

private:
    struct Tile {
        TileKey key;
        QImage pinned;
    };

    std::shared_ptr<TileImageCache> cache_;
    std::function<void(const TileKey&)> reload_;
    int size_ = 0;
    bool drawn_ = false;
    QSize tileSize_;
    std::vector<std::uint32_t> tileOf_;  // per cell, row by row; UINT32_MAX for none
    std::vector<Tile> tiles_;
    qint64 pinnedBytes_ = 0;
};

// "预览": opens with its frame at the top-left corner of the screen's free area and draws the map
// as it was when it opened, once, about a second later; its tiles load in the background, those
// in view first. It never grows beyond that area, frame included; a larger map scrolls.
class PreviewWindow : public QWidget, private TileSink {
    Q_OBJECT

public:
    static constexpr int kDrawDelayMs = 1000;

    // Its tiles come through `cache`, which it holds, loaded by tasks of `tasks` (which outlives it).
    PreviewWindow(TaskGroup& tasks, const TileGrid& grid, QSize tileSize, std::shared_ptr<TileImageCache> cache,
                  QWidget* parent = nullptr);
    ~PreviewWindow() override;

    QWidget* frame() const { return frame_; }
    QWidget* image() const { return image_; }
    const PreviewPicture& picture() const { return picture_; }
    enum class State { Created, DrawScheduled };
    State previewState() const { return state_; }

    void layoutPreview();
    void drawPreview();
    // The background loading of the tiles.
    TileFill& fill() { return *fill_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeAtTopLeft();
    void drawLoaded(const std::vector<LoadedTile>& batch) override;

    CellTexts cells_;
    QSize tileSize_;
    PreviewPicture picture_;
    std::unique_ptr<TileFill> fill_;
    std::unique_ptr<CellLoads> reloads_;  // tiles painted after they left the cache
    QSet<TileKey> reloaded_;              // each asked for once
    QScrollArea* scroll_;
    QWidget* content_;
    QWidget* frame_;
    QWidget* image_;
    QTimer* timer_;
    State state_ = State::Created;
    bool placed_ = false;
    QMargins frameUsed_;  // the frame the window was last fitted and placed for
    QPoint dragFrom_;
};

}  // namespace tessera

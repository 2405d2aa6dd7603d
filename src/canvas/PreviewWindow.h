#pragma once

#include <QImage>
#include <QMargins>
#include <QWidget>

#include <cstdint>
#include <vector>

class QScrollArea;
class QTimer;

namespace tessera {

class Progress;
class TileGrid;
class TileImageCache;

// The whole map as the preview shows it: light grey, solid lines between the cells, every tile
// at its cell. Kept per cell, painted only where exposed.
class PreviewPicture {
public:
    // Nothing drawn yet, for a map of `mapSize` × `mapSize` cells.
    void reset(int mapSize);
    // Draws the lines and every tile of `cells` (row by row) at `tileSize`.
    void draw(const std::vector<QString>& cells, QSize tileSize, TileImageCache& cache, Progress& progress);
    bool isDrawn() const { return drawn_; }
    int mapSize() const { return size_; }
    // The size of the picture: two pixels more than the cells.
    QSize size() const;
    void paint(QPainter& painter, const QRect& area) const;

private:
    int size_ = 0;
    bool drawn_ = false;
    QSize tileSize_;
    std::vector<std::uint32_t> tileOf_;  // per cell, row by row; UINT32_MAX for none
    std::vector<QImage> images_;
};

// "预览": opens with its frame at the top-left corner of the screen's free area and draws the map
// as it was when it opened, once, about a second later. It never grows beyond that area, frame
// included; a larger map scrolls.
class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDrawDelayMs = 1000;

    PreviewWindow(const TileGrid& grid, QSize tileSize, TileImageCache& cache, Progress& progress,
                  QWidget* parent = nullptr);

    QWidget* frame() const { return frame_; }
    QWidget* image() const { return image_; }
    const PreviewPicture& picture() const { return picture_; }
    // 1 once created, 2 once its drawing is scheduled.
    int previewState() const { return state_; }

    void layoutPreview();
    void drawPreview();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeAtTopLeft();

    std::vector<QString> cells_;
    QSize tileSize_;
    TileImageCache& cache_;
    Progress& progress_;
    PreviewPicture picture_;
    QScrollArea* scroll_;
    QWidget* content_;
    QWidget* frame_;
    QWidget* image_;
    QTimer* timer_;
    int state_ = 1;
    bool placed_ = false;
    QMargins frameUsed_;  // the frame the window was last fitted and placed for
    QPoint dragFrom_;
};

}  // namespace tessera

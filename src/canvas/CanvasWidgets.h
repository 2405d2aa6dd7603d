#pragma once

#include "canvas/CanvasGeometry.h"

#include <QColor>
#include <QWidget>

#include <vector>

class QPainter;

namespace tessera {

class CanvasPicture;

// Gives a plain widget a solid background colour.
void fillBackground(QWidget* widget, const QColor& color);
class RulerPicture;
class TileImageCache;

// Cells framed over the canvas's picture (the doubtful placements of an assembly): painted on top
// of it, never drawn into its pixels. Painting an area looks only at the marks of the rows it meets.
class CellMarks {
public:
    static constexpr int kFrameWidth = 2;
    static inline const QColor kFrameColor{255, 140, 0};

    // Replaces the marks; cells outside an n × n map are left out.
    void set(const std::vector<Cell>& cells, int mapSize);
    // Takes these cells' marks away.
    void remove(const std::vector<Cell>& cells);
    void clear() { marked_.clear(); }
    bool isEmpty() const { return marked_.empty(); }
    std::size_t count() const { return marked_.size(); }
    void paint(QPainter& painter, const QRect& area) const;

private:
    int mapSize_ = 0;
    std::vector<int> marked_;  // (row - 1) * mapSize + column - 1, sorted
};

// The edit canvas: shows its picture and the marks over it, paints only what is exposed, reports
// the mouse.
class EditCanvas : public QWidget {
    Q_OBJECT

public:
    EditCanvas(const CanvasPicture& picture, std::shared_ptr<TileImageCache> cache, QWidget* parent = nullptr);

    CellMarks& marks() { return marks_; }
    // Frames the cell brightly for a moment.
    void flash(const Cell& cell);

signals:
    void pressed(Qt::MouseButton button, QPointF at);
    void released(Qt::MouseButton button, QPointF at);
    void moved(Qt::MouseButtons buttons, QPointF at);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    const CanvasPicture& picture_;
    std::shared_ptr<TileImageCache> cache_;
    CellMarks marks_;
    QRect flash_;
};

// The board behind the canvas that carries the rulers in its 20-pixel margin.
class RulerBoard : public QWidget {
    Q_OBJECT

public:
    explicit RulerBoard(const RulerPicture& picture, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const RulerPicture& picture_;
};

}  // namespace tessera

#pragma once

#include <QWidget>

namespace tessera {

class CanvasPicture;

// Gives a plain widget a solid background colour.
void fillBackground(QWidget* widget, const QColor& color);
class RulerPicture;
class TileImageCache;

// The edit canvas: shows its picture, paints only what is exposed, reports the mouse.
class EditCanvas : public QWidget {
    Q_OBJECT

public:
    EditCanvas(const CanvasPicture& picture, TileImageCache& cache, QWidget* parent = nullptr);

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
    TileImageCache& cache_;
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

#include "canvas/CanvasWidgets.h"

#include "canvas/CanvasPicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QPaintEvent>

#include <algorithm>

namespace tessera {

void fillBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void CellMarks::set(const std::vector<Cell>& cells, int mapSize)
{
    mapSize_ = mapSize;
    marked_.clear();
    for (const Cell& cell : cells) {
        if (cell.row >= 1 && cell.column >= 1 && cell.row <= mapSize && cell.column <= mapSize)
            marked_.push_back((cell.row - 1) * mapSize + cell.column - 1);
    }
    std::sort(marked_.begin(), marked_.end());
    marked_.erase(std::unique(marked_.begin(), marked_.end()), marked_.end());
}

void CellMarks::remove(const std::vector<Cell>& cells)
{
    for (const Cell& cell : cells) {
        const int index = (cell.row - 1) * mapSize_ + cell.column - 1;
        const auto it = std::lower_bound(marked_.begin(), marked_.end(), index);
        if (it != marked_.end() && *it == index)
            marked_.erase(it);
    }
}

void CellMarks::paint(QPainter& painter, const QRect& area) const
{
    if (marked_.empty())
        return;
    const CellRange range = cellsMeeting(area, mapSize_);
    if (range.isEmpty())
        return;
    painter.save();
    painter.setClipRect(area);
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        const int first = (row - 1) * mapSize_ + range.firstColumn - 1;
        const int last = (row - 1) * mapSize_ + range.lastColumn - 1;
        for (auto it = std::lower_bound(marked_.begin(), marked_.end(), first); it != marked_.end() && *it <= last;
             ++it) {
            const QRect r = cellRect(row, *it % mapSize_ + 1);
            const int w = kFrameWidth;
            painter.fillRect(QRect(r.left(), r.top(), r.width(), w), kFrameColor);
            painter.fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), kFrameColor);
            painter.fillRect(QRect(r.left(), r.top(), w, r.height()), kFrameColor);
            painter.fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), kFrameColor);
        }
    }
    painter.restore();
}

EditCanvas::EditCanvas(const CanvasPicture& picture, std::shared_ptr<TileImageCache> cache, QWidget* parent)
    : QWidget(parent), picture_(picture), cache_(std::move(cache))
{
    setObjectName(QStringLiteral("EditCanvas"));
    setAccessibleName(QStringLiteral("地图编辑界面"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void EditCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    for (const QRect& area : event->region()) {
        picture_.paint(painter, area, *cache_);
        marks_.paint(painter, area);
    }
    if (!flash_.isNull()) {
        painter.setPen(QPen(QColor(0, 200, 255), 4));
        painter.drawRect(flash_.adjusted(2, 2, -2, -2));
    }
}

void EditCanvas::flash(const Cell& cell)
{
    update(flash_);
    flash_ = cellRect(cell.row, cell.column);
    update(flash_);
    QTimer::singleShot(1200, this, [this, shown = flash_] {
        if (flash_ == shown) {
            update(flash_);
            flash_ = QRect();
        }
    });
}

void EditCanvas::mousePressEvent(QMouseEvent* event)
{
    emit pressed(event->button(), event->position());
}

void EditCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    emit released(event->button(), event->position());
}

void EditCanvas::mouseMoveEvent(QMouseEvent* event)
{
    emit moved(event->buttons(), event->position());
}

RulerBoard::RulerBoard(const RulerPicture& picture, QWidget* parent) : QWidget(parent), picture_(picture)
{
    setObjectName(QStringLiteral("RulerBoard"));
    setAccessibleName(QStringLiteral("标尺"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RulerBoard::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    for (const QRect& area : event->region())
        picture_.paint(painter, area);
}

}  // namespace tessera

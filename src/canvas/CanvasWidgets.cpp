#include "canvas/CanvasWidgets.h"

#include "canvas/CanvasPicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

namespace tessera {

void fillBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

EditCanvas::EditCanvas(const CanvasPicture& picture, TileImageCache& cache, QWidget* parent)
    : QWidget(parent), picture_(picture), cache_(cache)
{
    setObjectName(QStringLiteral("EditCanvas"));
    setAccessibleName(QStringLiteral("地图编辑界面"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void EditCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    for (const QRect& area : event->region())
        picture_.paint(painter, area, cache_);
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

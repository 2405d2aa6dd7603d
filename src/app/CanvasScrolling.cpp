// Scrolling the canvas.
#include "app/CanvasScrolling.h"

#include "canvas/CanvasGeometry.h"

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

namespace tessera {

CanvasScrolling::CanvasScrolling(QWidget* viewport, QWidget* canvas, QWidget* rulers, QScrollBar* horizontal,
                                 QScrollBar* vertical)
    : QObject(viewport), viewport_(viewport), canvas_(canvas), rulers_(rulers), horizontal_(horizontal),
      vertical_(vertical)
{
    for (QScrollBar* bar : {horizontal_, vertical_})
        connect(bar, &QScrollBar::valueChanged, this, &CanvasScrolling::follow);
    for (QWidget* w : {viewport_, canvas_, rulers_})
        w->installEventFilter(this);
}

void CanvasScrolling::updateRanges()
{
    horizontal_->setMaximum(std::max(1, horizontalScrollMaximum(canvas_->width(), viewport_->width())));
    vertical_->setMaximum(std::max(1, verticalScrollMaximum(canvas_->height(), viewport_->height())));
}

void CanvasScrolling::reset()
{
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        const QSignalBlocker quiet(bar);
        bar->setValue(1);
    }
    lastH_ = horizontal_->value();
    lastV_ = vertical_->value();
}

void CanvasScrolling::centreOn(const QRect& area)
{
    // The canvas stands at 21 - value in the viewport (canvasPosition).
    horizontal_->setValue(21 + area.center().x() - viewport_->width() / 2);
    vertical_->setValue(21 + area.center().y() - viewport_->height() / 2);
}

void CanvasScrolling::follow()
{
    QPoint at = canvas_->pos();
    at.rx() -= horizontal_->value() - lastH_;
    at.ry() -= vertical_->value() - lastV_;
    lastH_ = horizontal_->value();
    lastV_ = vertical_->value();
    canvas_->move(at);
    rulers_->move(at - QPoint(kRulerMargin, kRulerMargin));
}

bool CanvasScrolling::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel && (watched == viewport_ || watched == canvas_ || watched == rulers_)) {
        wheel(*static_cast<QWheelEvent*>(event));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CanvasScrolling::wheel(const QWheelEvent& event)
{
    // Through the scroll bars, so that the rulers follow: a row or a column per wheel line,
    // horizontally with Shift or a sideways wheel.
    const QPoint delta = event.angleDelta();
    const bool sideways = (event.modifiers() & Qt::ShiftModifier) || delta.y() == 0;
    const int amount = delta.y() != 0 ? delta.y() : delta.x();
    QScrollBar* bar = sideways ? horizontal_ : vertical_;
    if (!bar->isEnabled() || amount == 0)
        return;
    const int cell = sideways ? kCellWidth : kCellHeight;
    bar->setValue(bar->value() - amount * QApplication::wheelScrollLines() * cell / 120);
}

}  // namespace tessera

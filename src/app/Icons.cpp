#include "app/Icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessera {
namespace {

const QColor kInk(0x37, 0x47, 0x4F);
const QColor kAccent(0x1E, 0x88, 0xE5);
const QColor kDanger(0xD3, 0x2F, 0x2F);
const QColor kTileFill(0xCF, 0xD8, 0xDC);
const QColor kCaution(0xF9, 0xA8, 0x25);

// All icons are drawn on a 24 × 24 design grid and scaled; strokes stay two design units wide.
class PaintedIconEngine final : public QIconEngine {
public:
    explicit PaintedIconEngine(IconKind kind) : kind_(kind) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        const qreal side = std::min(rect.width(), rect.height());
        painter->scale(side / 24.0, side / 24.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.35);
        draw(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QIconEngine* clone() const override { return new PaintedIconEngine(kind_); }

private:
    static QPen pen(const QColor& color) { return QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

    static void arrowHead(QPainter& p, QPointF tip, qreal angleDegrees)
    {
        p.save();
        p.translate(tip);
        p.rotate(angleDegrees);
        p.drawLine(QPointF(0, 0), QPointF(-4.5, -4));
        p.drawLine(QPointF(0, 0), QPointF(-4.5, 4));
        p.restore();
    }

    static void tile(QPainter& p, const QRectF& r)
    {
        p.setPen(pen(kInk));
        p.setBrush(kTileFill);
        p.drawRoundedRect(r, 2, 2);
        p.setBrush(Qt::NoBrush);
    }

    static void newMap(QPainter& p)
    {
        p.setPen(pen(kInk));
        p.setBrush(kTileFill);
        p.drawRect(QRectF(3, 3, 15, 15));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kInk, 1.0));
        p.drawLine(QPointF(8, 3), QPointF(8, 18));
        p.drawLine(QPointF(13, 3), QPointF(13, 18));
        p.drawLine(QPointF(3, 8), QPointF(18, 8));
        p.drawLine(QPointF(3, 13), QPointF(18, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(18, 18), 5, 5);
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 15.5), QPointF(18, 20.5));
        p.drawLine(QPointF(15.5, 18), QPointF(20.5, 18));
    }

    // The information and warning signs of message boxes.
    static void sign(QPainter& p, IconKind kind)
    {
        if (kind == IconKind::Information) {
            p.setPen(Qt::NoPen);
            p.setBrush(kAccent);
            p.drawEllipse(QPointF(12, 12), 10, 10);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(12, 7), 1.5, 1.5);
            p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(12, 11), QPointF(12, 17.5));
            return;
        }
        QPainterPath triangle;
        triangle.moveTo(12, 2.5);
        triangle.lineTo(22, 20.5);
        triangle.lineTo(2, 20.5);
        triangle.closeSubpath();
        p.setPen(QPen(kCaution, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(kCaution);
        p.drawPath(triangle);
        p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 8.5), QPointF(12, 13.5));
        p.drawPoint(QPointF(12, 17.2));
    }

    void draw(QPainter& p) const
    {
        switch (kind_) {
        case IconKind::Place:
            tile(p, QRectF(4, 11, 16, 10));
            p.setPen(pen(kAccent));
            p.drawLine(QPointF(12, 2.5), QPointF(12, 15));
            arrowHead(p, QPointF(12, 15), 90);
            break;
        case IconKind::Delete:
            tile(p, QRectF(4, 6, 16, 12));
            p.setPen(pen(kDanger));
            p.drawLine(QPointF(8, 8.5), QPointF(16, 15.5));
            p.drawLine(QPointF(16, 8.5), QPointF(8, 15.5));
            break;
        case IconKind::Move:
            p.setPen(pen(kAccent));
            p.drawLine(QPointF(12, 3), QPointF(12, 21));
            p.drawLine(QPointF(3, 12), QPointF(21, 12));
            arrowHead(p, QPointF(12, 3), -90);
            arrowHead(p, QPointF(12, 21), 90);
            arrowHead(p, QPointF(3, 12), 180);
            arrowHead(p, QPointF(21, 12), 0);
            break;
        case IconKind::Swap:
            p.setPen(pen(kInk));
            p.drawLine(QPointF(4, 8), QPointF(20, 8));
            arrowHead(p, QPointF(20, 8), 0);
            p.setPen(pen(kAccent));
            p.drawLine(QPointF(20, 16), QPointF(4, 16));
            arrowHead(p, QPointF(4, 16), 180);
            break;
        case IconKind::Spare:
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            for (qreal x : {6.0, 12.0, 18.0})
                p.drawEllipse(QPointF(x, 12), 1.8, 1.8);
            break;
        case IconKind::Undo: {
            p.setPen(pen(kInk));
            QPainterPath path;
            path.moveTo(6, 9);
            path.lineTo(14, 9);
            path.cubicTo(22, 9, 22, 20, 14, 20);
            path.lineTo(9, 20);
            p.drawPath(path);
            p.setPen(pen(kAccent));
            arrowHead(p, QPointF(5, 9), 180);
            break;
        }
        case IconKind::NewMap:
            newMap(p);
            break;
        case IconKind::Information:
        case IconKind::Warning:
            sign(p, kind_);
            break;
        case IconKind::Refresh: {
            p.setPen(pen(kInk));
            p.drawArc(QRectF(4.5, 4.5, 15, 15), 100 * 16, 290 * 16);
            p.setPen(pen(kAccent));
            arrowHead(p, QPointF(10.7, 4.6), 190);
            break;
        }
        case IconKind::Preview:
            tile(p, QRectF(3, 3, 12, 12));
            p.setPen(pen(kAccent));
            p.drawEllipse(QPointF(13, 13), 5, 5);
            p.drawLine(QPointF(16.8, 16.8), QPointF(21, 21));
            break;
        }
    }

    IconKind kind_;
};

}  // namespace

QIcon makeIcon(IconKind kind)
{
    return QIcon(new PaintedIconEngine(kind));
}

}  // namespace tessera

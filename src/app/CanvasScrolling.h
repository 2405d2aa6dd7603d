#pragma once

#include <QObject>

class QRect;
class QScrollBar;
class QWheelEvent;
class QWidget;

namespace tessera {

// The canvas and its rulers moved inside the viewport by the two scroll bars and by the mouse
// wheel over the viewport, the canvas or the rulers.
class CanvasScrolling : public QObject {
    Q_OBJECT

public:
    CanvasScrolling(QWidget* viewport, QWidget* canvas, QWidget* rulers, QScrollBar* horizontal,
                    QScrollBar* vertical);

    // The ranges for the canvas's size; a canvas smaller than the viewport leaves nothing to scroll.
    void updateRanges();
    // Scrolls so that `area` of the canvas lies in the middle of the viewport, as far as the bars go.
    void centreOn(const QRect& area);
    // Both bars back at the start, where the layout has just put the canvas, without moving it.
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void wheel(const QWheelEvent& event);

    QWidget* viewport_;
    QWidget* canvas_;
    QWidget* rulers_;
    QScrollBar* horizontal_;
    QScrollBar* vertical_;
    int lastH_ = 1;
    int lastV_ = 1;
};

}  // namespace tessera

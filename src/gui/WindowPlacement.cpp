#include "gui/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace tessera {

QRect availableArea(const QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void centreOnScreen(QWidget* window)
{
    const QRect area = availableArea(window);
    if (area.isValid())
        window->move(area.center() - window->rect().center());
}

QMargins frameMarginsOf(const QWidget* window)
{
    for (const QWidget* w = window; w; w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
        const QWindow* handle = w->windowHandle();
        const QMargins m = handle ? handle->frameMargins() : QMargins();
        // Read while the window manager is still reparenting, the margins can come out negative.
        if (!m.isNull() && m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0)
            return m;
    }
    return {};
}

}  // namespace tessera

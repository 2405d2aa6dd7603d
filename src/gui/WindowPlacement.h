#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace tessera {

// The free area (without panels and docks) of the screen that `window` is on.
QRect availableArea(const QWidget* window);

// Centres the top-level `window`, at its current size, on the free area of its screen.
void centreOnScreen(QWidget* window);

// The frame that the window manager draws around the top-level `window`; until it has been
// framed, the frame of the nearest framed window it belongs to, which is framed alike.
QMargins frameMarginsOf(const QWidget* window);

}  // namespace tessera

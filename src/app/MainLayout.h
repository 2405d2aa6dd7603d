#pragma once

#include <QRect>
#include <QSize>

namespace tessera {

// Geometry of the main window's controls, each in its container's coordinates: the client area,
// or for the ruler board and the canvas the viewport, or for the notes and the chooser the lower
// panel.
struct MainGeometry {
    QRect toolBarPanel;
    QRect cellSize40x16;
    QRect cellSize40x30;
    QRect previewButton;
    QRect refreshButton;
    QRect undoButton;
    QRect lowerPanelTabs;
    QRect hScroll;
    QRect viewport;
    QRect vScroll;
    QRect mapPicture;
    QRect panelToggle;
    QRect loadMapPicture;
    QRect progressBar;
    QRect newMapButton;
    QRect rulerBoard;
    QRect editCanvas;
    QRect usageNotes;
    QRect driveList;
    QRect folderList;
    QRect tileFileList;
    QRect tilePreview;
    QRect statusBar;
    int statusPanel1Width = 0;
};

inline constexpr QSize kMinimumWindowSize{565, 450};
inline constexpr QSize kEnlargedMapPicture{600, 387};
inline constexpr QSize kSmallMapPicture{159, 107};

// Places the controls for a client area of `client`, with the lower panel shown or hidden. Every
// figure is worked out in floating point and truncated once at the end of its formula.
void layoutMainGeometry(MainGeometry& g, QSize client, bool panelShown);

// Where a click on the map picture puts it: enlarged 600 × 387 and centred, or back to 159 × 107
// in the lower panel when it was enlarged.
QRect toggledMapPicture(const QRect& current, QSize client, const QRect& lowerPanelTabs);

}  // namespace tessera

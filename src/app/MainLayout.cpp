#include "app/MainLayout.h"

#include <cmath>

namespace tessera {
namespace {

int truncated(double value)
{
    return static_cast<int>(std::trunc(value));
}

void moveTo(QRect& r, int left, int top)
{
    r.moveTo(left, top);
}

void layoutShown(MainGeometry& g, int cw, int ch)
{
    g.lowerPanelTabs = QRect(1, ch - g.lowerPanelTabs.height() - g.statusBar.height() - 1, cw - 2,
                             g.lowerPanelTabs.height());
    g.hScroll = QRect(1, g.lowerPanelTabs.top() - g.hScroll.height(), cw - 2, g.hScroll.height());
    // The height uses the progress bar's height from before this run.
    const int viewportHeight = ch - g.progressBar.height() - g.hScroll.height()
        - g.lowerPanelTabs.height() - g.toolBarPanel.height() - 3;
    g.viewport = QRect(1, g.hScroll.top() - viewportHeight + 1, cw - g.vScroll.width() - 2,
                       viewportHeight);
    g.vScroll = QRect(cw - g.vScroll.width() - 1, g.viewport.top(), g.vScroll.width(),
                      g.viewport.height());
    moveTo(g.mapPicture, cw - g.mapPicture.width() - 2, g.lowerPanelTabs.top() + 21);
    moveTo(g.panelToggle, cw - g.panelToggle.width() - 1, g.mapPicture.top() - g.panelToggle.height());
    g.loadMapPicture = QRect(g.mapPicture.left() - g.loadMapPicture.width(), g.mapPicture.top(),
                             g.loadMapPicture.width(), g.mapPicture.height());
    g.progressBar = QRect(g.statusBar.left(), g.statusBar.top() + 2, 150, g.statusBar.height() - 1);
    moveTo(g.newMapButton, truncated(g.viewport.width() / 2.0 - g.newMapButton.width() / 2.0),
           truncated(g.viewport.height() / 2.0 - g.newMapButton.height() / 2.0));
}

void layoutHidden(MainGeometry& g, int cw, int ch)
{
    g.progressBar = QRect(g.statusBar.left(), g.statusBar.top() + 2, 150, g.statusBar.height() - 1);
    moveTo(g.lowerPanelTabs, g.lowerPanelTabs.left(), ch - 2 * g.statusBar.height());
    g.hScroll = QRect(g.hScroll.left(), g.statusBar.top() - g.hScroll.height() - 20, cw - 2,
                      g.hScroll.height());
    g.viewport.setSize(QSize(cw - g.vScroll.width() - 2,
                             ch - g.progressBar.height() - g.hScroll.height() - 21
                                 - g.toolBarPanel.height() - g.toolBarPanel.top()));
    g.vScroll = QRect(cw - g.vScroll.width() - 1, g.vScroll.top(), g.vScroll.width(),
                      g.viewport.height());
    moveTo(g.mapPicture, g.mapPicture.left(), g.lowerPanelTabs.top() + 21);
    moveTo(g.panelToggle, cw - g.panelToggle.width() - 1, g.lowerPanelTabs.top());
    moveTo(g.loadMapPicture, g.loadMapPicture.left(), g.mapPicture.top());
    moveTo(g.newMapButton, g.newMapButton.left(),
           truncated(g.viewport.height() / 2.0 - g.newMapButton.height() / 2.0));
}

}  // namespace

void layoutMainGeometry(MainGeometry& g, QSize client, bool panelShown)
{
    const int cw = client.width();
    const int ch = client.height();
    g.toolBarPanel = QRect(1, 1, cw - 2, g.toolBarPanel.height());
    moveTo(g.cellSize40x16, cw - g.cellSize40x16.width() - 10, 9);
    moveTo(g.cellSize40x30, g.cellSize40x16.left() - g.cellSize40x30.width() - 5, 9);
    moveTo(g.previewButton, g.cellSize40x30.left() - g.previewButton.width() - 5, 3);
    moveTo(g.refreshButton, g.previewButton.left() - g.refreshButton.width() - 2, 3);
    moveTo(g.undoButton, g.refreshButton.left() - g.undoButton.width() - 2, 3);

    if (panelShown)
        layoutShown(g, cw, ch);
    else
        layoutHidden(g, cw, ch);

    moveTo(g.rulerBoard, 0, 0);
    moveTo(g.editCanvas, 20, 20);
    const int tabsHeight = g.lowerPanelTabs.height();
    g.usageNotes = QRect(1, 21, cw - 4 - g.loadMapPicture.width() - g.mapPicture.width(), tabsHeight - 22);
    const int a = g.lowerPanelTabs.width() - g.loadMapPicture.width() - g.mapPicture.width()
        - g.tilePreview.width() - 4;
    g.driveList = QRect(1, 21, truncated(a / 3.0), g.driveList.height());
    g.folderList = QRect(1, g.driveList.top() + g.driveList.height() + 1, g.driveList.width(),
                         tabsHeight - 24 - g.driveList.height());
    g.tileFileList = QRect(g.folderList.left() + g.folderList.width() + 1, 21,
                           truncated(a - a / 3.0), tabsHeight - 24);
    g.tilePreview = QRect(g.tileFileList.left() + g.tileFileList.width() + 1, 21, g.tilePreview.width(),
                          g.tileFileList.height());
    g.statusPanel1Width = g.statusBar.width() - 450;
}

QRect toggledMapPicture(const QRect& current, QSize client, const QRect& lowerPanelTabs)
{
    if (current.width() == kEnlargedMapPicture.width()) {
        return QRect(QPoint(client.width() - kSmallMapPicture.width() - 2, lowerPanelTabs.top() + 21),
                     kSmallMapPicture);
    }
    return QRect(QPoint(truncated(client.width() / 2.0 - kEnlargedMapPicture.width() / 2.0),
                        truncated(client.height() / 2.0 - kEnlargedMapPicture.height() / 2.0)),
                 kEnlargedMapPicture);
}

}  // namespace tessera

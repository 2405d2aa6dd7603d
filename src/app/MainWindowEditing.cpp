// The main window's editing bindings: canvas mouse events, the floating image, the tile chooser,
// file drops.
#include "app/MainWindow.h"

#include "canvas/Canvas.h"
#include "canvas/CanvasWidgets.h"
#include "canvas/EditingTools.h"
#include "canvas/PreviewWindow.h"
#include "canvas/TileChooser.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QtMath>
#include <QScrollBar>

namespace tessera {

PreviewWindow* MainWindow::previewWindow() const
{
    return preview_;
}

QPoint MainWindow::clientPosition(const QWidget* from, QPointF at) const
{
    return from->mapTo(centralWidget(), at.toPoint());
}

FollowBounds MainWindow::followBounds() const
{
    return FollowBounds{controls_.viewport->geometry(), controls_.vScroll->width(), controls_.hScroll->height(), controls_.editCanvas->size()};
}

bool MainWindow::seesCanvasAt(QPointF at) const
{
    const QPoint inCanvas(qFloor(at.x()), qFloor(at.y()));
    return controls_.viewport->rect().contains(controls_.editCanvas->mapTo(controls_.viewport, inCanvas));
}

void MainWindow::bindEditing()
{
    tools_->setView(this);
    EditCanvas* canvas = canvas_->canvasWidget();
    connect(canvas, &EditCanvas::pressed, this, [this, canvas](Qt::MouseButton button, QPointF at) {
        tools_->canvasPressed(button, at, clientPosition(canvas, at));
    });
    connect(canvas, &EditCanvas::released, this,
            [this](Qt::MouseButton button, QPointF at) { tools_->canvasReleased(button, at); });
    connect(canvas, &EditCanvas::moved, this, [this, canvas](Qt::MouseButtons, QPointF at) {
        tools_->canvasMoved(at, clientPosition(canvas, at));
    });
    connect(chooser_, &TileChooser::fileChosen, this, [this](const QString& path) { tools_->chooseFile(path); });
}

bool MainWindow::followImageEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        tools_->followImageMoved(clientPosition(controls_.followImage, mouse->position()));
        return true;
    }
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            tools_->followImagePressed();
        return true;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        tools_->followImageReleased(mouse->button(), controls_.editCanvas->mapFromGlobal(mouse->globalPosition()));
        return true;
    }
    default:
        return false;
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << QDir::toNativeSeparators(url.toLocalFile());
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    tools_->dropFiles(paths);
}

}  // namespace tessera

// The main window's event bindings and the shell operations behind them: layout, panel toggle,
// map picture, hints, tool cursors, tile list window, import and export, exit.
#include "app/MainWindow.h"

#include "app/AutoAssemblyCommand.h"
#include "app/HintTracker.h"
#include "app/LowerPanel.h"
#include "app/StatusBar.h"
#include "app/Texts.h"
#include "app/ToolRadio.h"
#include "canvas/Canvas.h"
#include "canvas/CanvasWidgets.h"
#include "canvas/EditingTools.h"
#include "canvas/PreviewWindow.h"
#include "canvas/TileChooser.h"
#include "app/MapDocument.h"
#include "gui/LongWork.h"
#include "gui/Platform.h"
#include "imaging/ImageCodec.h"
#include "app/ResultWindow.h"
#include "app/TileListWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QApplication>
#include <QToolButton>
#include <QWheelEvent>
#include <QTreeView>

namespace tessera {

Progress& MainWindow::progress()
{
    return *progressBar_;
}

TileListWindow* MainWindow::tileListWindow() const
{
    return tileList_;
}

PreviewWindow* MainWindow::previewWindow() const
{
    return preview_;
}

EditMode MainWindow::editMode() const
{
    for (int i = 0; i < 5; ++i) {
        if (toolRadios_[i]->isChecked())
            return static_cast<EditMode>(i);
    }
    return EditMode::Place;
}

void MainWindow::bindEvents()
{
    for (int i = 0; i < 5; ++i) {
        const auto mode = static_cast<EditMode>(i);
        connect(toolRadios_[i], &QToolButton::toggled, this, [this, mode](bool checked) {
            if (checked)
                chooseTool(mode);
        });
        toolRadios_[i]->setRearmed([this, mode] { chooseTool(mode); });
    }
    for (QCheckBox* check : {showRuler_, showGrid_}) {
        // The check, by any input, is what the next redraw shows; a click redraws.
        connect(check, &QCheckBox::toggled, this, [this] {
            canvas_->setOptions(Canvas::Options{showRuler_->isChecked(), showGrid_->isChecked()});
        });
        connect(check, &QCheckBox::clicked, this, &MainWindow::redrawCanvas);
    }
    // A click sets the size even on the radio already chosen; a check by other means (the
    // accessibility toggle) sets it too.
    for (auto [radio, height] : {std::pair{size40x30_, 30}, {size40x16_, 16}}) {
        const auto setSize = [this, height] {
            editing_.tileWidth = 40;
            editing_.tileHeight = height;
        };
        connect(radio, &QRadioButton::clicked, this, setSize);
        connect(radio, &QRadioButton::toggled, this, [setSize](bool checked) {
            if (checked)
                setSize();
        });
    }
    connect(undoButton_, &QToolButton::clicked, this, [this] { work_->whenIdle([this] { undoPlacement(); }); });
    connect(refreshButton_, &QToolButton::clicked, this, &MainWindow::redrawCanvas);
    connect(previewButton_, &QToolButton::clicked, this, &MainWindow::openPreview);
    connect(newMapButton_, &QToolButton::clicked, this, [this] { work_->whenIdle([this] { newMap(); }); });
    connect(panelToggle_, &QPushButton::clicked, this, &MainWindow::togglePanel);
    connect(canvas_->canvasWidget(), &EditCanvas::pressed, this, [this](Qt::MouseButton button, QPointF at) {
        if (button == Qt::RightButton)
            editMenu_->popup(editCanvas_->mapToGlobal(at.toPoint()));
    });
    connect(hScroll_, &QScrollBar::valueChanged, this, &MainWindow::scrollCanvas);
    connect(vScroll_, &QScrollBar::valueChanged, this, &MainWindow::scrollCanvas);
    connect(loadMapPicture_, &QPushButton::clicked, this, &MainWindow::loadMapPicture);
}

void MainWindow::chooseTool(EditMode mode)
{
    static const Qt::CursorShape cursors[5] = {Qt::ArrowCursor, Qt::WhatsThisCursor,
                                               Qt::PointingHandCursor, Qt::SizeHorCursor,
                                               Qt::SizeAllCursor};
    editCanvas_->setCursor(cursors[static_cast<int>(mode)]);
    if (mode == EditMode::Delete)
        tools_->armDelete();
}

void MainWindow::showHint(const QString& text)
{
    statusBar_->showHint(text);
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    recordCanvasOrigin();
}

void MainWindow::recordCanvasOrigin()
{
    canvasOrigin_ = QPoint(x() + 25, y() + 61);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == followImage_) {
        if (followImageEvent(event))
            return true;
    } else if (watched == centralWidget() && event->type() == QEvent::Resize) {
        layoutMainWindow();
    } else if (event->type() == QEvent::Wheel
               && (watched == viewport_ || watched == editCanvas_ || watched == rulerBoard_)) {
        wheelCanvas(*static_cast<QWheelEvent*>(event));
        return true;
    } else if (watched == mapPicture_ && event->type() == QEvent::MouseButtonPress
               && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        toggleMapPicture();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::panelShown() const
{
    return panelToggle_->text() == QStringLiteral("隐藏");
}

MainGeometry MainWindow::controlGeometry() const
{
    MainGeometry g;
    g.toolBarPanel = toolBarPanel_->geometry();
    g.cellSize40x16 = size40x16_->geometry();
    g.cellSize40x30 = size40x30_->geometry();
    g.previewButton = previewButton_->geometry();
    g.refreshButton = refreshButton_->geometry();
    g.undoButton = undoButton_->geometry();
    g.lowerPanelTabs = tabs_->geometry();
    g.hScroll = hScroll_->geometry();
    g.viewport = viewport_->geometry();
    g.vScroll = vScroll_->geometry();
    g.mapPicture = mapPicture_->geometry();
    g.panelToggle = panelToggle_->geometry();
    g.loadMapPicture = loadMapPicture_->geometry();
    g.progressBar = progressBar_->geometry();
    g.newMapButton = newMapButton_->geometry();
    g.rulerBoard = rulerBoard_->geometry();
    g.editCanvas = editCanvas_->geometry();
    g.usageNotes = usageNotes_->geometry();
    g.driveList = driveList_->geometry();
    g.folderList = folderList_->geometry();
    g.tileFileList = tileFileList_->geometry();
    g.tilePreview = tilePreview_->geometry();
    g.statusBar = statusBar_->geometry();
    g.statusPanel1Width = statusBar_->panelWidth(1);
    return g;
}

void MainWindow::applyGeometry(const MainGeometry& g)
{
    toolBarPanel_->setGeometry(g.toolBarPanel);
    size40x16_->setGeometry(g.cellSize40x16);
    size40x30_->setGeometry(g.cellSize40x30);
    previewButton_->setGeometry(g.previewButton);
    refreshButton_->setGeometry(g.refreshButton);
    undoButton_->setGeometry(g.undoButton);
    tabs_->setGeometry(g.lowerPanelTabs);
    hScroll_->setGeometry(g.hScroll);
    viewport_->setGeometry(g.viewport);
    vScroll_->setGeometry(g.vScroll);
    mapPicture_->setGeometry(g.mapPicture);
    panelToggle_->setGeometry(g.panelToggle);
    loadMapPicture_->setGeometry(g.loadMapPicture);
    progressBar_->setGeometry(g.progressBar);
    newMapButton_->setGeometry(g.newMapButton);
    rulerBoard_->setGeometry(g.rulerBoard);
    editCanvas_->setGeometry(g.editCanvas);
    usageNotes_->setGeometry(g.usageNotes);
    driveList_->setGeometry(g.driveList);
    folderList_->setGeometry(g.folderList);
    tileFileList_->setGeometry(g.tileFileList);
    tilePreview_->setGeometry(g.tilePreview);
    statusBar_->setPanelWidth(1, g.statusPanel1Width);
}

void MainWindow::layoutMainWindow()
{
    if (width() < kMinimumWindowSize.width() || height() < kMinimumWindowSize.height())
        resize(std::max(width(), kMinimumWindowSize.width()), std::max(height(), kMinimumWindowSize.height()));
    const QSize client = centralWidget()->size();
    // The status bar docks itself along the bottom edge at its own height.
    statusBar_->setGeometry(0, client.height() - StatusBar::kHeight, client.width(), StatusBar::kHeight);
    MainGeometry g = controlGeometry();
    layoutMainGeometry(g, client, panelShown());
    applyGeometry(g);
    updateScrollRanges();
    // Back to the top-left corner, where the layout has just put the canvas.
    for (QScrollBar* bar : {hScroll_, vScroll_}) {
        const QSignalBlocker quiet(bar);
        bar->setValue(1);
    }
    lastHScrollPos_ = hScroll_->value();
    lastVScrollPos_ = vScroll_->value();
    recordCanvasOrigin();
}

void MainWindow::togglePanel()
{
    panelToggle_->setText(panelShown() ? QStringLiteral("显示") : QStringLiteral("隐藏"));
    panelToggle_->setAccessibleName(panelToggle_->text());
    layoutMainWindow();
}

void MainWindow::loadMapPicture()
{
    const std::optional<QString> path = platform_.openFileDialog(mapPictureDialog());
    if (!path)
        return;
    // The box shows the picture at actual size from its top-left corner, at most at its enlarged
    // size: only that corner is decoded, however large the file.
    mapPictureCorner_ = readPictureCorner(*path, kEnlargedMapPicture);
    mapPicturePath_ = mapPictureCorner_.isNull() ? QString() : *path;
    showMapPicture();
}

void MainWindow::toggleMapPicture()
{
    mapPicture_->setGeometry(toggledMapPicture(mapPicture_->geometry(), centralWidget()->size(),
                                               tabs_->geometry()));
    mapPicture_->raise();
    followImage_->raise();
    showMapPicture();
}

void MainWindow::showMapPicture()
{
    if (mapPictureCorner_.isNull()) {
        mapPicture_->setAlignment(Qt::AlignCenter);
        mapPicture_->setText(texts::kNoMapPicture);
        return;
    }
    mapPicture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    mapPicture_->setPixmap(QPixmap::fromImage(
        mapPictureCorner_.copy(QRect(QPoint(0, 0), mapPicture_->size()).intersected(mapPictureCorner_.rect()))));
}

void MainWindow::ensureTileListWindow()
{
    if (tileList_)
        return;
    tileList_ = new TileListWindow(&gridModel_, this);
    connect(tileList_, &TileListWindow::importRequested, this,
            [this] { work_->whenIdle([this] { mapFile_->importGrid(); }); });
    connect(tileList_, &TileListWindow::exportRequested, this,
            [this] { work_->whenIdle([this] { mapFile_->exportGrid(); }); });
    connect(tileList_, &TileListWindow::batchRenameRequested, this,
            [this] { work_->whenIdle([this] { batchRename(); }); });
    connect(tileList_, &TileListWindow::batchMoveRequested, this,
            [this] { work_->whenIdle([this] { batchMove(); }); });
}

void MainWindow::importData()
{
    ensureTileListWindow();
    mapFile_->importGrid();
}

void MainWindow::exportData()
{
    ensureTileListWindow();
    mapFile_->exportGrid();
}

void MainWindow::showTileList()
{
    ensureTileListWindow();
    tileList_->show();
    tileList_->raise();
}

void MainWindow::newMap()
{
    if (!doc_->newMap())
        return;
    newMapButton_->hide();
    canvas_->resizeForMap();
    updateScrollRanges();
    for (QAction* action : {dataAnalysisAction_, mapPictureAction_, assembleAction_, importAction_, exportAction_})
        action->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{loadMapPicture_, tileFileList_, hScroll_, vScroll_})
        w->setEnabled(true);
    editMenu_->setEnabled(true);
    editCanvas_->show();
    for (QWidget* w : std::initializer_list<QWidget*>{toolBarPanel_, toolRadios_[3], size40x30_, size40x16_})
        w->setEnabled(true);
    rulerBoard_->show();
    canvas_->drawRulersAndGrid();
    setAcceptDrops(true);
    ensureTileListWindow();
}

void MainWindow::redrawCanvas()
{
    canvas_->redrawCanvas();
}

void MainWindow::updateScrollRanges()
{
    // A canvas smaller than the viewport leaves nothing to scroll.
    hScroll_->setMaximum(std::max(1, horizontalScrollMaximum(editCanvas_->width(), viewport_->width())));
    vScroll_->setMaximum(std::max(1, verticalScrollMaximum(editCanvas_->height(), viewport_->height())));
}

void MainWindow::scrollCanvas()
{
    QPoint at = editCanvas_->pos();
    at.rx() -= hScroll_->value() - lastHScrollPos_;
    at.ry() -= vScroll_->value() - lastVScrollPos_;
    lastHScrollPos_ = hScroll_->value();
    lastVScrollPos_ = vScroll_->value();
    editCanvas_->move(at);
    rulerBoard_->move(at - QPoint(kRulerMargin, kRulerMargin));
}

void MainWindow::wheelCanvas(const QWheelEvent& event)
{
    // Through the scroll bars, so that the rulers follow: a row or a column per wheel line,
    // horizontally with Shift or a sideways wheel.
    const QPoint delta = event.angleDelta();
    const bool sideways = (event.modifiers() & Qt::ShiftModifier) || delta.y() == 0;
    const int amount = delta.y() != 0 ? delta.y() : delta.x();
    QScrollBar* bar = sideways ? hScroll_ : vScroll_;
    if (!bar->isEnabled() || amount == 0)
        return;
    const int cell = sideways ? kCellWidth : kCellHeight;
    bar->setValue(bar->value() - amount * QApplication::wheelScrollLines() * cell / 120);
}

void MainWindow::openPreview()
{
    if (preview_) {
        preview_->setWindowState(preview_->windowState() & ~Qt::WindowMinimized);
        preview_->raise();
        preview_->activateWindow();
        return;
    }
    preview_ = new PreviewWindow(doc_->tasks(), grid_, canvas_->tileSize(), canvas_->sharedCache(), this);
    connect(&preview_->fill(), &TileFill::started, progressBar_, &ProgressBar::follow);
    preview_->show();
}

}  // namespace tessera

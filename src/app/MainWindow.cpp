// The main window: its parts put together and bound, the layout, the lower panel, the lists, New map.
#include "app/MainWindow.h"

#include "app/HelpWindow.h"
#include "app/HistoryWindow.h"
#include "files/Platform.h"

#include "app/AutoAssemblyCommand.h"
#include "app/CanvasScrolling.h"
#include "app/HintTracker.h"
#include "app/LowerPanel.h"
#include "app/MainMenus.h"
#include "document/MapDocument.h"
#include "app/MapPictureBox.h"
#include "document/MapPictureCommand.h"
#include "app/ResultWindow.h"
#include "app/SliceCommand.h"
#include "app/StatusBar.h"
#include "app/Texts.h"
#include "app/TileListWindow.h"
#include "app/ToolRadio.h"
#include "canvas/Canvas.h"
#include "canvas/CanvasWidgets.h"
#include "canvas/PreviewWindow.h"
#include "canvas/TileChooser.h"
#include "work/LongWork.h"
#include "gui/WindowPlacement.h"

#include <QCoreApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>

namespace tessera {

MainWindow::MainWindow(Platform& platform, MapDocument& document, QWidget* parent)
    : QMainWindow(parent), dialogs_(platform.dialogs()), doc_(&document),
      results_(std::make_unique<ResultReport>(platform.dialogs())),
      assembly_(std::make_unique<AutoAssemblyCommand>(*doc_, platform.dialogs(), *results_)),
      quit_([](int code) { QCoreApplication::exit(code); }), leave_([](int code) {
          // No destructor runs: each would wait for the blocked thread.
          std::fflush(nullptr);
          std::_Exit(code);
      })
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(texts::windowTitle() + QStringLiteral("[*]"));  // "*" while the map is unsaved
    setAccessibleName(QStringLiteral("青石地图编辑器"));
    setMinimumSize(kMinimumWindowSize);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);
    client->resize(kCreatedSize);
    controls_ = MainControls::build(client);
    MainControls& c = controls_;

    canvas_ = std::make_unique<Canvas>(doc_->tasks(), doc_->grid(), editing_, c.viewport);
    canvas_->setOptions(Canvas::Options{c.showRuler->isChecked(), c.showGrid->isChecked()});
    c.rulerBoard = canvas_->rulerWidget();
    c.editCanvas = canvas_->canvasWidget();
    c.newMapButton->raise();
    scrolling_ = new CanvasScrolling(c.viewport, c.editCanvas, c.rulerBoard, c.hScroll, c.vScroll);
    chooser_ = new TileChooser(c.driveList, c.folderList, c.tileFileList, c.tilePreview, doc_->tasks().cellLoaders(), this);
    mapPicture_ = new MapPictureBox(c.mapPicture, c.followImage, c.tabs, dialogs_);
    connect(assembly_.get(), &AutoAssemblyCommand::referenceChosen, mapPicture_, &MapPictureBox::show);
    auto* slicing = new SliceCommand(*doc_, dialogs_, *results_, this);
    connect(slicing, &SliceCommand::referenceWritten, mapPicture_, &MapPictureBox::show);
    menus_ = new MainMenus(menuBar(), *doc_, dialogs_,
                           {[this] { newMap(); }, [this] { confirmExit(); }, [this] { showTileList(); },
                            [this] { exportMapPicture(*doc_, dialogs_, canvas_->sharedCache(), canvas_->tileSize()); },
                            [this] { assembly_->start(mapPicture_->path()); }, [slicing] { slicing->start(); },
                            [this] { showHistory(); }, [this] { showManual(); }, [this] { canvas_->clearMarks(); }});
    connect(assembly_.get(), &AutoAssemblyCommand::stepChanged, this,
            [this](const QString& step) { controls_.statusBar->setPanelText(1, step); menus_->holdMapChanges(!step.isEmpty()); });

    tools_ = std::make_unique<EditingTools>(doc_->history(), editing_, *canvas_, dialogs_, c.followImage);

    for (QWidget* w : client->findChildren<QWidget*>())
        w->setMouseTracking(true);
    client->setMouseTracking(true);
    hints_ = new HintTracker(this, [this](const QString& text) { controls_.statusBar->showHint(text); });
    bindControls();
    bindEditing();
    bindDocument();
    client->installEventFilter(this);
    c.followImage->installEventFilter(this);

    // Created at its first size, centred, then set to the start size from the same corner. A
    // hidden window gets no resize events, so each size is laid out as it is set: the last run then
    // reads the progress bar's laid-out height, as every later run does.
    const auto resizeAndLayOut = [this](QSize size) {
        resize(size);
        layout()->activate();
        layoutMainWindow();
    };
    resizeAndLayOut(kCreatedSize);
    centreOnScreen(this);
    resizeAndLayOut(QSize(kStartSize.width(), height()));
    resizeAndLayOut(kStartSize);
    recordCanvasOrigin();
}

MainWindow::~MainWindow()
{
    // Every task stops and is joined before any window goes; no result is applied now.
    doc_->tasks().settle();
}

Progress& MainWindow::progress()
{
    return *controls_.progressBar;
}

EditMode MainWindow::editMode() const
{
    for (int i = 0; i < 5; ++i) {
        if (controls_.toolRadios[i]->isChecked())
            return static_cast<EditMode>(i);
    }
    return EditMode::Place;
}

void MainWindow::bindControls()
{
    const MainControls& c = controls_;
    for (int i = 0; i < 5; ++i) {
        const auto mode = static_cast<EditMode>(i);
        connect(c.toolRadios[i], &QToolButton::toggled, this, [this, mode](bool checked) {
            if (checked)
                chooseTool(mode);
        });
        c.toolRadios[i]->setRearmed([this, mode] { chooseTool(mode); });
    }
    for (QCheckBox* check : {c.showRuler, c.showGrid}) {
        // The check, by any input, is what the next redraw shows; a click redraws.
        connect(check, &QCheckBox::toggled, this, [this] {
            canvas_->setOptions(Canvas::Options{controls_.showRuler->isChecked(), controls_.showGrid->isChecked()});
        });
        connect(check, &QCheckBox::clicked, this, [this] { canvas_->redrawCanvas(); });
    }
    // A click sets the size even on the radio already chosen; a check by other means (the
    // accessibility toggle) sets it too.
    for (auto [radio, height] : {std::pair{c.size40x30, 30}, {c.size40x16, 16}}) {
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
    connect(c.undoButton, &QToolButton::clicked, this, [this] { doc_->work().whenIdle([this] { tools_->undo(); }); });
    c.refreshButton->setShortcut(QKeySequence(Qt::Key_F5));
    connect(c.refreshButton, &QToolButton::clicked, this, [this] {
        tools_->refreshed();
        canvas_->redrawCanvas();
    });
    connect(c.previewButton, &QToolButton::clicked, this, &MainWindow::openPreview);
    connect(c.newMapButton, &QToolButton::clicked, this, [this] { doc_->work().whenIdle([this] { newMap(); }); });
    connect(c.panelToggle, &QPushButton::clicked, this, &MainWindow::togglePanel);
    connect(canvas_->canvasWidget(), &EditCanvas::pressed, this, [this](Qt::MouseButton button, QPointF at) {
        if (button == Qt::RightButton)
            menus_->editMenu()->popup(controls_.editCanvas->mapToGlobal(at.toPoint()));
    });
    connect(c.loadMapPicture, &QPushButton::clicked, mapPicture_, &MapPictureBox::load);
}

void MainWindow::chooseTool(EditMode mode)
{
    static const Qt::CursorShape cursors[5] = {Qt::ArrowCursor, Qt::WhatsThisCursor,
                                               Qt::PointingHandCursor, Qt::SizeHorCursor,
                                               Qt::SizeAllCursor};
    controls_.editCanvas->setCursor(cursors[static_cast<int>(mode)]);
    if (mode == EditMode::Delete)
        tools_->armDelete();
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
    const MainControls& c = controls_;
    if (watched == c.followImage) {
        if (followImageEvent(event))
            return true;
    } else if (watched == centralWidget() && event->type() == QEvent::Resize) {
        layoutMainWindow();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::panelShown() const
{
    return controls_.panelToggle->text() == QStringLiteral("隐藏");
}

void MainWindow::layoutMainWindow()
{
    if (width() < kMinimumWindowSize.width() || height() < kMinimumWindowSize.height())
        resize(std::max(width(), kMinimumWindowSize.width()), std::max(height(), kMinimumWindowSize.height()));
    const QSize client = centralWidget()->size();
    // The status bar docks itself along the bottom edge at its own height.
    controls_.statusBar->setGeometry(0, client.height() - StatusBar::kHeight, client.width(), StatusBar::kHeight);
    MainGeometry g = controls_.geometry();
    layoutMainGeometry(g, client, panelShown());
    controls_.apply(g);
    scrolling_->updateRanges();
    scrolling_->reset();
    recordCanvasOrigin();
}

void MainWindow::togglePanel()
{
    QPushButton* toggle = controls_.panelToggle;
    toggle->setText(panelShown() ? QStringLiteral("显示") : QStringLiteral("隐藏"));
    toggle->setAccessibleName(toggle->text());
    layoutMainWindow();
}

void MainWindow::ensureTileListWindow()
{
    if (tileList_)
        return;
    tileList_ = new TileListWindow(&doc_->model(), this);
    const auto whenIdle = [this](auto command) { return [this, command] { doc_->work().whenIdle(command); }; };
    connect(tileList_, &TileListWindow::importRequested, this, whenIdle([this] { doc_->file().importGrid(); }));
    connect(tileList_, &TileListWindow::exportRequested, this, whenIdle([this] { doc_->file().exportGrid(); }));
    connect(tileList_, &TileListWindow::batchRenameRequested, this, whenIdle([this] {
                doc_->batchRename(tileList_ && tileList_->fillBlanksCheck()->isChecked());
            }));
    connect(tileList_, &TileListWindow::batchMoveRequested, this, whenIdle([this] { doc_->batchMove(); }));
}

void MainWindow::showTileList()
{
    ensureTileListWindow();
    tileList_->show();
    tileList_->raise();
}

void MainWindow::newMap()
{
    doc_->newMap();
}

void MainWindow::showHistory()
{
    if (!history_) {
        history_ = new HistoryWindow(doc_->history(), this);
        connect(&doc_->work(), &LongWork::busyChanged, history_, &HistoryWindow::hold);
        history_->hold(doc_->work().busy());
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

void MainWindow::showManual()
{
    if (!manual_)
        manual_ = new HelpWindow(this);
    manual_->show();
    manual_->raise();
    manual_->activateWindow();
}

void MainWindow::toolsStartOver()
{
    editing_.tileWidth = 40;
    editing_.tileHeight = 30;
}

void MainWindow::showMapControls()
{
    MainControls& c = controls_;
    toolsStartOver();
    c.newMapButton->hide();
    canvas_->resizeForMap();
    scrolling_->updateRanges();
    menus_->enableMapCommands();
    for (QWidget* w : std::initializer_list<QWidget*>{c.loadMapPicture, c.tileFileList, c.hScroll, c.vScroll})
        w->setEnabled(true);
    c.editCanvas->show();
    for (QWidget* w : std::initializer_list<QWidget*>{c.toolBarPanel, c.toolRadios[3], c.size40x30, c.size40x16})
        w->setEnabled(true);
    c.rulerBoard->show();
    canvas_->drawRulersAndGrid();
    setAcceptDrops(true);
    ensureTileListWindow();
}

void MainWindow::openPreview()
{
    if (preview_) {
        preview_->setWindowState(preview_->windowState() & ~Qt::WindowMinimized);
        preview_->raise();
        preview_->activateWindow();
        return;
    }
    preview_ = new PreviewWindow(doc_->tasks(), doc_->grid(), canvas_->tileSize(), canvas_->sharedCache(), this);
    connect(&preview_->fill(), &TileFill::started, controls_.progressBar, &ProgressBar::follow);
    preview_->show();
}

}  // namespace tessera

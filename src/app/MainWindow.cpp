// The main window's controls and menus, each in its place and state at start-up.
#include "app/MainWindow.h"

#include "app/AutoAssemblyCommand.h"
#include "app/HintTracker.h"
#include "app/Icons.h"
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
#include "gui/WindowPlacement.h"
#include "app/ResultWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeView>

namespace tessera {
namespace {

template <typename W>
W* control(QWidget* parent, const QString& role, const QString& accessible, QRect geometry)
{
    auto* w = new W(parent);
    w->setObjectName(role);
    w->setAccessibleName(accessible);
    w->setGeometry(geometry);
    return w;
}

QString hintOf(const char* role)
{
    return texts::hints().value(QString::fromLatin1(role));
}

}  // namespace

MainWindow::MainWindow(Platform& platform, QWidget* parent)
    : QMainWindow(parent), platform_(platform), doc_(std::make_unique<MapDocument>(platform)),
      grid_(doc_->grid()), gridModel_(doc_->model()), editing_(doc_->editing()), mapFile_(&doc_->file()),
      work_(&doc_->work()), results_(std::make_unique<ResultReport>(platform)),
      assembly_(std::make_unique<AutoAssemblyCommand>(*doc_, platform, *results_)),
      quit_([](int code) { QCoreApplication::exit(code); })
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(texts::windowTitle());
    setAccessibleName(QStringLiteral("青石地图编辑器"));
    setMinimumSize(kMinimumWindowSize);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);
    client->resize(kCreatedSize);

    progressBar_ = new ProgressBar(client);
    progressBar_->setGeometry(8, 552, 150, 15);
    buildTopRow(client);
    buildCanvasArea(client);
    buildLowerPanel(client);
    statusBar_ = new StatusBar(client);
    statusBar_->setGeometry(0, 662, 924, StatusBar::kHeight);
    progressBar_->raise();
    followImage_->raise();
    buildMenus();

    tools_ = std::make_unique<EditingTools>(grid_, editing_, *canvas_, platform_, followImage_);

    for (QWidget* w : client->findChildren<QWidget*>())
        w->setMouseTracking(true);
    client->setMouseTracking(true);
    hints_ = new HintTracker(this, [this](const QString& text) { showHint(text); });
    bindEvents();
    bindEditing();
    bindLongWork();
    bindDocument();
    client->installEventFilter(this);
    followImage_->installEventFilter(this);

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

void MainWindow::buildTopRow(QWidget* client)
{
    toolBarPanel_ = control<QFrame>(client, QStringLiteral("ToolBarPanel"), hintOf("ToolBarPanel"),
                                    QRect(96, 2, 464, 28));
    toolBarPanel_->setEnabled(false);
    auto* label = control<QPushButton>(toolBarPanel_, QStringLiteral("ToolBarLabel"),
                                       QStringLiteral("功能栏"), QRect(2, 1, 46, 24));
    label->setText(QStringLiteral("功能栏"));
    label->setEnabled(false);

    buildToolRadios();

    showRuler_ = control<QCheckBox>(toolBarPanel_, QStringLiteral("ShowRulerCheck"),
                                    QStringLiteral("显示标尺"), QRect(179, 1, 76, 24));
    showRuler_->setText(QStringLiteral("显示标尺"));
    showRuler_->setChecked(true);
    showGrid_ = control<QCheckBox>(toolBarPanel_, QStringLiteral("ShowGridCheck"),
                                   QStringLiteral("显示网格"), QRect(256, 1, 76, 24));
    showGrid_->setText(QStringLiteral("显示网格"));
    showGrid_->setChecked(true);

    auto iconButton = [&](const char* role, IconKind icon, int left) {
        QToolButton* b = control<QToolButton>(client, QString::fromLatin1(role), hintOf(role),
                                              QRect(left, 4, 24, 24));
        b->setIcon(makeIcon(icon));
        b->setIconSize(QSize(16, 16));
        b->setAutoRaise(true);
        b->setToolTip(hintOf(role));
        return b;
    };
    undoButton_ = iconButton("UndoButton", IconKind::Undo, 718);
    refreshButton_ = iconButton("RefreshButton", IconKind::Refresh, 744);
    previewButton_ = iconButton("PreviewButton", IconKind::Preview, 770);

    size40x30_ = control<QRadioButton>(client, QStringLiteral("CellSize40x30Radio"),
                                       QStringLiteral("40×30"), QRect(798, 10, 56, 16));
    size40x30_->setText(QStringLiteral("40×30"));
    size40x30_->setChecked(true);
    size40x30_->setEnabled(false);
    size40x16_ = control<QRadioButton>(client, QStringLiteral("CellSize40x16Radio"),
                                       QStringLiteral("40×16"), QRect(861, 10, 58, 16));
    size40x16_->setText(QStringLiteral("40×16"));
    size40x16_->setEnabled(false);
    // A pair of their own: auto-exclusivity would gather every radio of the client, tools included.
    auto* sizes = new QButtonGroup(this);
    sizes->addButton(size40x30_);
    sizes->addButton(size40x16_);
}

void MainWindow::buildToolRadios()
{
    struct Tool {
        const char* role;
        IconKind icon;
        int left;
    };
    const Tool tools[5] = {{"PlaceToolRadio", IconKind::Place, 49},
                           {"DeleteToolRadio", IconKind::Delete, 73},
                           {"MoveToolRadio", IconKind::Move, 98},
                           {"SwapToolRadio", IconKind::Swap, 123},
                           {"SpareToolRadio", IconKind::Spare, 149}};
    for (int i = 0; i < 5; ++i) {
        ToolRadio* radio = control<ToolRadio>(toolBarPanel_, QString::fromLatin1(tools[i].role),
                                                  hintOf(tools[i].role), QRect(tools[i].left, 1, 24, 24));
        radio->setCheckable(true);
        radio->setAutoExclusive(true);
        radio->setAutoRaise(true);
        radio->setIcon(makeIcon(tools[i].icon));
        radio->setIconSize(QSize(16, 16));
        radio->setToolTip(hintOf(tools[i].role));
        toolRadios_[i] = radio;
    }
    toolRadios_[0]->setChecked(true);
    toolRadios_[3]->setEnabled(false);
    toolRadios_[4]->setEnabled(false);
}

void MainWindow::buildCanvasArea(QWidget* client)
{
    auto* viewport = control<QFrame>(client, QStringLiteral("CanvasViewport"), hintOf("CanvasViewport"),
                                     QRect(0, 31, 911, 376));
    viewport->setFrameShape(QFrame::Panel);
    viewport->setFrameShadow(QFrame::Sunken);
    fillBackground(viewport, Qt::black);
    viewport_ = viewport;

    canvas_ = std::make_unique<Canvas>(doc_->tasks(), grid_, editing_, viewport_);
    canvas_->setOptions(Canvas::Options{showRuler_->isChecked(), showGrid_->isChecked()});
    rulerBoard_ = canvas_->rulerWidget();
    editCanvas_ = canvas_->canvasWidget();
    for (QWidget* w : std::initializer_list<QWidget*>{viewport_, rulerBoard_, editCanvas_})
        w->installEventFilter(this);  // the wheel over the canvas

    newMapButton_ = control<QToolButton>(viewport_, QStringLiteral("NewMapButton"), hintOf("NewMapButton"),
                                         QRect(80, 88, 60, 50));
    newMapButton_->setIcon(makeIcon(IconKind::NewMap));
    newMapButton_->setIconSize(QSize(24, 24));
    newMapButton_->setToolTip(hintOf("NewMapButton"));

    hScroll_ = control<QScrollBar>(client, QStringLiteral("CanvasHScroll"), hintOf("CanvasHScroll"),
                                   QRect(-1, 406, 925, 15));
    hScroll_->setOrientation(Qt::Horizontal);
    vScroll_ = control<QScrollBar>(client, QStringLiteral("CanvasVScroll"), hintOf("CanvasVScroll"),
                                   QRect(910, 30, 15, 375));
    vScroll_->setOrientation(Qt::Vertical);
    for (auto [bar, maximum] : {std::pair{hScroll_, 800}, {vScroll_, 600}}) {
        bar->setRange(1, maximum);
        bar->setPageStep(10);
        bar->setSingleStep(1);
        bar->setValue(1);
        bar->setEnabled(false);
    }

    followImage_ = control<QLabel>(client, QStringLiteral("FollowImage"), hintOf("FollowImage"),
                                   QRect(25, 80, 40, 30));
    followImage_->setCursor(Qt::CrossCursor);
    followImage_->setScaledContents(true);
    followImage_->hide();
}

void MainWindow::buildLowerPanel(QWidget* client)
{
    tabs_ = new LowerPanelTabs(client);
    tabs_->setGeometry(0, 422, 923, 130);
    tabs_->setAccessibleName(QStringLiteral("下方面板"));
    QWidget* notesPage = tabs_->addPage(QStringLiteral("应用说明"), QStringLiteral("UsageNotesPage"));
    QWidget* chooserPage = tabs_->addPage(QStringLiteral("选择文件"), QStringLiteral("TileChooserPage"));
    tabs_->setCurrentIndex(0);

    usageNotes_ = control<QPlainTextEdit>(notesPage, QStringLiteral("UsageNotesText"), hintOf("UsageNotesText"),
                                          QRect(3, 22, 725, 106));
    usageNotes_->setPlainText(texts::usageNotes().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    usageNotes_->setReadOnly(true);
    usageNotes_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    driveList_ = control<QComboBox>(chooserPage, QStringLiteral("DriveList"), hintOf("DriveList"),
                                    QRect(1, 22, 176, 20));
    driveList_->setFixedHeight(20);
    folderList_ = control<QTreeView>(chooserPage, QStringLiteral("FolderList"), hintOf("FolderList"),
                                     QRect(1, 42, 176, 85));
    tileFileList_ = control<QListWidget>(chooserPage, QStringLiteral("TileFileList"), hintOf("TileFileList"),
                                         QRect(177, 23, 387, 104));
    tileFileList_->setEnabled(false);
    tilePreview_ = control<QLabel>(chooserPage, QStringLiteral("TilePreviewBox"), hintOf("TilePreviewBox"),
                                   QRect(566, 21, 163, 106));
    tilePreview_->setFrameShape(QFrame::StyledPanel);
    tilePreview_->setAlignment(Qt::AlignCenter);
    chooser_ = new TileChooser(driveList_, folderList_, tileFileList_, tilePreview_, this);

    panelToggle_ = control<QPushButton>(client, QStringLiteral("PanelToggleButton"),
                                        QStringLiteral("隐藏"), QRect(72, 312, 47, 20));
    panelToggle_->setText(QStringLiteral("隐藏"));
    panelToggle_->setAccessibleDescription(hintOf("PanelToggleButton"));
    loadMapPicture_ = control<QPushButton>(client, QStringLiteral("LoadMapPictureButton"),
                                           QStringLiteral("载入原大地图"), QRect(730, 443, 30, 106));
    loadMapPicture_->setText(QStringLiteral("载\n入\n原\n大\n地\n图"));
    loadMapPicture_->setEnabled(false);
    mapPicture_ = control<QLabel>(client, QStringLiteral("MapPictureBox"), hintOf("MapPictureBox"),
                                  QRect(761, 444, 159, 107));
    mapPicture_->setFrameShape(QFrame::StyledPanel);
    mapPicture_->setAutoFillBackground(true);  // the panel colour, also when enlarged over the canvas
    mapPicture_->installEventFilter(this);
    showMapPicture();
}

void MainWindow::buildMenus()
{
    auto command = [](QMenu* menu, const QString& text, const char* role, bool enabled = true) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(role));
        action->setEnabled(enabled);
        return action;
    };
    auto menu = [this](const QString& title, const char* role) {
        QMenu* m = menuBar()->addMenu(title);
        m->setObjectName(QString::fromLatin1(role));
        return m;
    };

    QMenu* file = menu(QStringLiteral("文件"), "FileMenu");
    connect(command(file, QStringLiteral("新建"), "NewMapCommand"), &QAction::triggered, this,
            [this] { work_->whenIdle([this] { newMap(); }); });
    file->addSeparator();
    importAction_ = command(file, QStringLiteral("导入数据"), "ImportDataCommand", false);
    connect(importAction_, &QAction::triggered, this, [this] { work_->whenIdle([this] { importData(); }); });
    file->addSeparator();
    exportAction_ = command(file, QStringLiteral("导出数据"), "ExportDataCommand", false);
    connect(exportAction_, &QAction::triggered, this, [this] { work_->whenIdle([this] { exportData(); }); });
    file->addSeparator();
    connect(command(file, QStringLiteral("退出"), "ExitCommand"), &QAction::triggered, this,
            &MainWindow::confirmExit);

    editMenu_ = menu(QStringLiteral("编辑"), "EditMenu");
    connect(command(editMenu_, QStringLiteral("所有图片向左移动"), "ShiftLeftCommand"), &QAction::triggered,
            this, [this] { work_->whenIdle([this] { shift(ShiftDirection::Left); }); });
    connect(command(editMenu_, QStringLiteral("所有图片向右移动"), "ShiftRightCommand"), &QAction::triggered,
            this, [this] { work_->whenIdle([this] { shift(ShiftDirection::Right); }); });
    connect(command(editMenu_, QStringLiteral("所有图片向上移动"), "ShiftUpCommand"), &QAction::triggered,
            this, [this] { work_->whenIdle([this] { shift(ShiftDirection::Up); }); });
    connect(command(editMenu_, QStringLiteral("所有图片向下移动"), "ShiftDownCommand"), &QAction::triggered,
            this, [this] { work_->whenIdle([this] { shift(ShiftDirection::Down); }); });
    editMenu_->setEnabled(false);

    QMenu* function = menu(QStringLiteral("功能"), "FunctionMenu");
    dataAnalysisAction_ = command(function, QStringLiteral("数据分析处理"), "DataAnalysisCommand", false);
    connect(dataAnalysisAction_, &QAction::triggered, this, &MainWindow::showTileList);
    mapPictureAction_ = command(function, QStringLiteral("导出地图图片…"), "ExportMapPictureCommand", false);
    connect(mapPictureAction_, &QAction::triggered, this, [this] { work_->whenIdle([this] { exportMapPicture(); }); });
    assembleAction_ = command(function, QStringLiteral("自动拼图…"), "AutoAssembleCommand", false);
    connect(assembleAction_, &QAction::triggered, this, [this] { work_->whenIdle([this] { autoAssemble(); }); });

    QMenu* help = menu(QStringLiteral("帮助"), "HelpMenu");
    connect(command(help, QStringLiteral("关于地图编辑器"), "AboutEditorCommand"), &QAction::triggered, this,
            [this] {
                platform_.messageBox(texts::aboutEditorText(), MessageButtons::Ok, texts::aboutEditorTitle());
            });
    connect(command(help, QStringLiteral("关于青石网络"), "AboutMakerCommand"), &QAction::triggered, this,
            [this] {
                platform_.messageBox(texts::aboutMakerText(), MessageButtons::Ok, texts::aboutMakerTitle());
            });
}

}  // namespace tessera

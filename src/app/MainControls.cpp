// The main window's controls, each in its place and state at start-up.
#include "app/MainControls.h"

#include "app/Icons.h"
#include "app/LowerPanel.h"
#include "app/StatusBar.h"
#include "app/Texts.h"
#include "app/ToolRadio.h"
#include "canvas/CanvasWidgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
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

MainControls MainControls::build(QWidget* client)
{
    MainControls c;
    c.progressBar = new ProgressBar(client);
    c.progressBar->setGeometry(8, 552, 150, 15);
    c.buildTopRow(client);
    c.buildCanvasArea(client);
    c.buildLowerPanel(client);
    c.statusBar = new StatusBar(client);
    c.statusBar->setGeometry(0, 662, 924, StatusBar::kHeight);
    c.progressBar->raise();
    c.followImage->raise();
    return c;
}

void MainControls::buildTopRow(QWidget* client)
{
    toolBarPanel = control<QFrame>(client, QStringLiteral("ToolBarPanel"), hintOf("ToolBarPanel"),
                                    QRect(96, 2, 464, 28));
    toolBarPanel->setEnabled(false);
    auto* label = control<QPushButton>(toolBarPanel, QStringLiteral("ToolBarLabel"),
                                       QStringLiteral("功能栏"), QRect(2, 1, 46, 24));
    label->setText(QStringLiteral("功能栏"));
    label->setEnabled(false);

    buildToolRadios();

    showRuler = control<QCheckBox>(toolBarPanel, QStringLiteral("ShowRulerCheck"),
                                    QStringLiteral("显示标尺"), QRect(179, 1, 76, 24));
    showRuler->setText(QStringLiteral("显示标尺"));
    showRuler->setChecked(true);
    showGrid = control<QCheckBox>(toolBarPanel, QStringLiteral("ShowGridCheck"),
                                   QStringLiteral("显示网格"), QRect(256, 1, 76, 24));
    showGrid->setText(QStringLiteral("显示网格"));
    showGrid->setChecked(true);

    auto iconButton = [&](const char* role, IconKind icon, int left) {
        QToolButton* b = control<QToolButton>(client, QString::fromLatin1(role), hintOf(role),
                                              QRect(left, 4, 24, 24));
        b->setIcon(makeIcon(icon));
        b->setIconSize(QSize(16, 16));
        b->setAutoRaise(true);
        b->setToolTip(hintOf(role));
        return b;
    };
    undoButton = iconButton("UndoButton", IconKind::Undo, 718);
    refreshButton = iconButton("RefreshButton", IconKind::Refresh, 744);
    previewButton = iconButton("PreviewButton", IconKind::Preview, 770);

    size40x30 = control<QRadioButton>(client, QStringLiteral("CellSize40x30Radio"),
                                       QStringLiteral("40×30"), QRect(798, 10, 56, 16));
    size40x30->setText(QStringLiteral("40×30"));
    size40x30->setChecked(true);
    size40x30->setEnabled(false);
    size40x16 = control<QRadioButton>(client, QStringLiteral("CellSize40x16Radio"),
                                       QStringLiteral("40×16"), QRect(861, 10, 58, 16));
    size40x16->setText(QStringLiteral("40×16"));
    size40x16->setEnabled(false);
    // A pair of their own: auto-exclusivity would gather every radio of the client, tools included.
    auto* sizes = new QButtonGroup(client);
    sizes->addButton(size40x30);
    sizes->addButton(size40x16);
}

void MainControls::buildToolRadios()
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
        ToolRadio* radio = control<ToolRadio>(toolBarPanel, QString::fromLatin1(tools[i].role),
                                                  hintOf(tools[i].role), QRect(tools[i].left, 1, 24, 24));
        radio->setCheckable(true);
        radio->setAutoExclusive(true);
        radio->setAutoRaise(true);
        radio->setIcon(makeIcon(tools[i].icon));
        radio->setIconSize(QSize(16, 16));
        radio->setToolTip(hintOf(tools[i].role));
        toolRadios[i] = radio;
    }
    toolRadios[0]->setChecked(true);
    toolRadios[3]->setEnabled(false);
    toolRadios[4]->setEnabled(false);
}

void MainControls::buildCanvasArea(QWidget* client)
{
    auto* frame = control<QFrame>(client, QStringLiteral("CanvasViewport"), hintOf("CanvasViewport"),
                                  QRect(0, 31, 911, 376));
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    fillBackground(frame, Qt::black);
    viewport = frame;

    newMapButton = control<QToolButton>(viewport, QStringLiteral("NewMapButton"), hintOf("NewMapButton"),
                                         QRect(80, 88, 60, 50));
    newMapButton->setIcon(makeIcon(IconKind::NewMap));
    newMapButton->setIconSize(QSize(24, 24));
    newMapButton->setToolTip(hintOf("NewMapButton"));

    hScroll = control<QScrollBar>(client, QStringLiteral("CanvasHScroll"), hintOf("CanvasHScroll"),
                                   QRect(-1, 406, 925, 15));
    hScroll->setOrientation(Qt::Horizontal);
    vScroll = control<QScrollBar>(client, QStringLiteral("CanvasVScroll"), hintOf("CanvasVScroll"),
                                   QRect(910, 30, 15, 375));
    vScroll->setOrientation(Qt::Vertical);
    for (auto [bar, maximum] : {std::pair{hScroll, 800}, {vScroll, 600}}) {
        bar->setRange(1, maximum);
        bar->setPageStep(10);
        bar->setSingleStep(1);
        bar->setValue(1);
        bar->setEnabled(false);
    }

    followImage = control<QLabel>(client, QStringLiteral("FollowImage"), hintOf("FollowImage"),
                                   QRect(25, 80, 40, 30));
    followImage->setCursor(Qt::CrossCursor);
    followImage->setScaledContents(true);
    followImage->hide();
}

void MainControls::buildLowerPanel(QWidget* client)
{
    tabs = new LowerPanelTabs(client);
    tabs->setGeometry(0, 422, 923, 130);
    tabs->setAccessibleName(QStringLiteral("下方面板"));
    QWidget* notesPage = tabs->addPage(QStringLiteral("应用说明"), QStringLiteral("UsageNotesPage"));
    QWidget* chooserPage = tabs->addPage(QStringLiteral("选择文件"), QStringLiteral("TileChooserPage"));
    tabs->setCurrentIndex(0);

    usageNotes = control<QPlainTextEdit>(notesPage, QStringLiteral("UsageNotesText"), hintOf("UsageNotesText"),
                                          QRect(3, 22, 725, 106));
    usageNotes->setPlainText(texts::usageNotes().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    usageNotes->setReadOnly(true);
    usageNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    driveList = control<QComboBox>(chooserPage, QStringLiteral("DriveList"), hintOf("DriveList"),
                                    QRect(1, 22, 176, 20));
    driveList->setFixedHeight(20);
    folderList = control<QTreeView>(chooserPage, QStringLiteral("FolderList"), hintOf("FolderList"),
                                     QRect(1, 42, 176, 85));
    tileFileList = control<QListWidget>(chooserPage, QStringLiteral("TileFileList"), hintOf("TileFileList"),
                                         QRect(177, 23, 387, 104));
    tileFileList->setEnabled(false);
    tilePreview = control<QLabel>(chooserPage, QStringLiteral("TilePreviewBox"), hintOf("TilePreviewBox"),
                                   QRect(566, 21, 163, 106));
    tilePreview->setFrameShape(QFrame::StyledPanel);
    tilePreview->setAlignment(Qt::AlignCenter);

    panelToggle = control<QPushButton>(client, QStringLiteral("PanelToggleButton"),
                                        QStringLiteral("隐藏"), QRect(72, 312, 47, 20));
    panelToggle->setText(QStringLiteral("隐藏"));
    panelToggle->setAccessibleDescription(hintOf("PanelToggleButton"));
    loadMapPicture = control<QPushButton>(client, QStringLiteral("LoadMapPictureButton"),
                                           QStringLiteral("载入原大地图"), QRect(730, 443, 30, 106));
    loadMapPicture->setText(QStringLiteral("载\n入\n原\n大\n地\n图"));
    loadMapPicture->setEnabled(false);
    mapPicture = control<QLabel>(client, QStringLiteral("MapPictureBox"), hintOf("MapPictureBox"),
                                  QRect(761, 444, 159, 107));
    mapPicture->setFrameShape(QFrame::StyledPanel);
    mapPicture->setAutoFillBackground(true);  // the panel colour, also when enlarged over the canvas
}

MainGeometry MainControls::geometry() const
{
    MainGeometry g;
    g.toolBarPanel = toolBarPanel->geometry();
    g.cellSize40x16 = size40x16->geometry();
    g.cellSize40x30 = size40x30->geometry();
    g.previewButton = previewButton->geometry();
    g.refreshButton = refreshButton->geometry();
    g.undoButton = undoButton->geometry();
    g.lowerPanelTabs = tabs->geometry();
    g.hScroll = hScroll->geometry();
    g.viewport = viewport->geometry();
    g.vScroll = vScroll->geometry();
    g.mapPicture = mapPicture->geometry();
    g.panelToggle = panelToggle->geometry();
    g.loadMapPicture = loadMapPicture->geometry();
    g.progressBar = progressBar->geometry();
    g.newMapButton = newMapButton->geometry();
    g.rulerBoard = rulerBoard->geometry();
    g.editCanvas = editCanvas->geometry();
    g.usageNotes = usageNotes->geometry();
    g.driveList = driveList->geometry();
    g.folderList = folderList->geometry();
    g.tileFileList = tileFileList->geometry();
    g.tilePreview = tilePreview->geometry();
    g.statusBar = statusBar->geometry();
    g.statusPanel1Width = statusBar->panelWidth(1);
    return g;
}

void MainControls::apply(const MainGeometry& g)
{
    toolBarPanel->setGeometry(g.toolBarPanel);
    size40x16->setGeometry(g.cellSize40x16);
    size40x30->setGeometry(g.cellSize40x30);
    previewButton->setGeometry(g.previewButton);
    refreshButton->setGeometry(g.refreshButton);
    undoButton->setGeometry(g.undoButton);
    tabs->setGeometry(g.lowerPanelTabs);
    hScroll->setGeometry(g.hScroll);
    viewport->setGeometry(g.viewport);
    vScroll->setGeometry(g.vScroll);
    mapPicture->setGeometry(g.mapPicture);
    panelToggle->setGeometry(g.panelToggle);
    loadMapPicture->setGeometry(g.loadMapPicture);
    progressBar->setGeometry(g.progressBar);
    newMapButton->setGeometry(g.newMapButton);
    rulerBoard->setGeometry(g.rulerBoard);
    editCanvas->setGeometry(g.editCanvas);
    usageNotes->setGeometry(g.usageNotes);
    driveList->setGeometry(g.driveList);
    folderList->setGeometry(g.folderList);
    tileFileList->setGeometry(g.tileFileList);
    tilePreview->setGeometry(g.tilePreview);
    statusBar->setPanelWidth(1, g.statusPanel1Width);
}

}  // namespace tessera

#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "app/StatusBar.h"
#include "app/Texts.h"
#include "support/ScriptedPlatform.h"
#include "app/TileListWindow.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

class MainWindowTest : public testing::Test {
protected:
    MainWindowTest() : window(platform, mapDocument)
    {
        window.setQuitFunction([this](int code) { quitCodes.push_back(code); });
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    template <typename T = QWidget>
    T* find(const char* role) const
    {
        T* w = window.findChild<T*>(QString::fromLatin1(role));
        EXPECT_NE(w, nullptr) << role;
        return w;
    }
    QAction* action(const char* role) const { return find<QAction>(role); }
    QRect rectOf(const char* role) const { return find(role)->geometry(); }
    QString hintShown() const { return find<StatusBar>("StatusBar")->panelText(3); }

    // Resizes the window so that its client area is exactly `client`.
    void setClientSize(QSize client)
    {
        window.resize(client.width(), client.height() + window.menuBar()->height());
        QCoreApplication::processEvents();
        ASSERT_EQ(window.centralWidget()->size(), client);
    }

    ScriptedPlatform platform;
    MapDocument mapDocument{platform};
    MainWindow window;
    std::vector<int> quitCodes;
};

}  // namespace

TEST_F(MainWindowTest, StartsAt900x600WithOnlyTheWaysForwardEnabled)
{
    EXPECT_EQ(window.size(), QSize(900, 600));
    EXPECT_TRUE(window.windowTitle().startsWith(QStringLiteral("青石地图编辑器1.0正式版")));
    for (const char* disabled : {"ToolBarPanel", "CanvasHScroll", "CanvasVScroll", "TileFileList",
                                 "LoadMapPictureButton", "CellSize40x30Radio", "CellSize40x16Radio",
                                 "SwapToolRadio", "SpareToolRadio"})
        EXPECT_FALSE(find(disabled)->isEnabled()) << disabled;
    for (const char* enabled : {"NewMapButton", "UndoButton", "RefreshButton", "PreviewButton",
                                "PanelToggleButton", "DriveList", "FolderList"})
        EXPECT_TRUE(find(enabled)->isEnabled()) << enabled;
    for (const char* hidden : {"EditCanvas", "RulerBoard", "FollowImage"})
        EXPECT_TRUE(find(hidden)->isHidden()) << hidden;
    for (const char* off : {"ImportDataCommand", "ExportDataCommand", "DataAnalysisCommand"})
        EXPECT_FALSE(action(off)->isEnabled()) << off;
    for (const char* on : {"NewMapCommand", "ExitCommand", "AboutEditorCommand", "AboutMakerCommand"})
        EXPECT_TRUE(action(on)->isEnabled()) << on;
    EXPECT_FALSE(find<QMenu>("EditMenu")->isEnabled());

    EXPECT_TRUE(find<QToolButton>("PlaceToolRadio")->isChecked());
    EXPECT_EQ(window.editMode(), EditMode::Place);
    EXPECT_TRUE(find<QCheckBox>("ShowRulerCheck")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("ShowGridCheck")->isChecked());
    EXPECT_EQ(find<StatusBar>("StatusBar")->panelText(2), QStringLiteral(" 提示："));
    EXPECT_EQ(window.tools().moveState(), MoveState::None);
    EXPECT_FALSE(window.document().history().buttonStep());
    EXPECT_EQ(window.tileListWindow(), nullptr);
}

TEST_F(MainWindowTest, MenusHoldTheirCommandsInOrder)
{
    QStringList titles;
    for (QAction* a : window.menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"文件", "编辑", "功能", "帮助"}));
    QStringList file;
    for (QAction* a : find<QMenu>("FileMenu")->actions())
        file << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(file, (QStringList{"新建", "打开地图…", "最近打开的地图", "-", "导入数据", "-", "导出数据", "导出为 TMX/TMJ 地图…", "保存", "恢复以前的地图…", "-", "退出"}));
    QStringList edit;
    for (QAction* a : find<QMenu>("EditMenu")->actions())
        edit << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(edit, (QStringList{"撤销", "重做", "-", "所有图片向左移动", "所有图片向右移动", "所有图片向上移动",
                                 "所有图片向下移动", "-", "历史记录", "清除存疑标记"}));
}

TEST_F(MainWindowTest, EveryControlHasItsRoleAndAReadableName)
{
    for (const char* role :
         {"ToolBarPanel", "ToolBarLabel", "PlaceToolRadio", "DeleteToolRadio", "MoveToolRadio", "SwapToolRadio",
          "SpareToolRadio", "ShowRulerCheck", "ShowGridCheck", "UndoButton", "RefreshButton", "PreviewButton",
          "CellSize40x30Radio", "CellSize40x16Radio", "CanvasViewport", "RulerBoard", "EditCanvas",
          "NewMapButton", "CanvasHScroll", "CanvasVScroll", "FollowImage", "LowerPanelTabs", "UsageNotesText",
          "DriveList", "FolderList", "TileFileList", "TilePreviewBox", "PanelToggleButton", "MapPictureBox",
          "LoadMapPictureButton", "StatusBar", "ProgressBar"})
        EXPECT_FALSE(find(role)->accessibleName().isEmpty()) << role;
    // The buttons that show only an icon explain themselves in a tooltip.
    for (const char* role : {"PlaceToolRadio", "DeleteToolRadio", "MoveToolRadio", "SwapToolRadio", "SpareToolRadio",
                             "UndoButton", "RefreshButton", "PreviewButton"})
        EXPECT_EQ(find(role)->toolTip(), texts::hints().value(QString::fromLatin1(role))) << role;
    // Tool radios are announced as radio buttons.
    for (const char* role : {"PlaceToolRadio", "MoveToolRadio"}) {
        QAccessibleInterface* radio = QAccessible::queryAccessibleInterface(find(role));
        EXPECT_EQ(radio->role(), QAccessible::RadioButton) << role;
        EXPECT_TRUE(radio->state().checkable) << role;
        EXPECT_EQ(radio->state().checked, role == std::string("PlaceToolRadio")) << role;
        EXPECT_EQ(radio->text(QAccessible::Name), texts::hints().value(QString::fromLatin1(role)));
    }
}

TEST_F(MainWindowTest, LayoutAt884x542)
{
    setClientSize(QSize(884, 542));
    EXPECT_EQ(rectOf("StatusBar"), QRect(0, 522, 884, 20));
    EXPECT_EQ(rectOf("ProgressBar").height(), 19);
    EXPECT_EQ(rectOf("CellSize40x16Radio").left(), 816);
    EXPECT_EQ(rectOf("CellSize40x30Radio").left(), 755);
    EXPECT_EQ(rectOf("PreviewButton").left(), 726);
    EXPECT_EQ(rectOf("RefreshButton").left(), 700);
    EXPECT_EQ(rectOf("UndoButton").left(), 674);
    EXPECT_EQ(rectOf("LowerPanelTabs").top(), 391);
    EXPECT_EQ(rectOf("LowerPanelTabs").width(), 882);
    EXPECT_EQ(rectOf("CanvasHScroll").top(), 376);
    EXPECT_EQ(rectOf("CanvasViewport"), QRect(1, 30, 867, 347));
    EXPECT_EQ(rectOf("CanvasVScroll"), QRect(868, 30, 15, 347));
    EXPECT_EQ(rectOf("MapPictureBox").topLeft(), QPoint(723, 412));
    EXPECT_EQ(rectOf("PanelToggleButton").topLeft(), QPoint(836, 392));
    EXPECT_EQ(rectOf("LoadMapPictureButton"), QRect(693, 412, 30, 107));
    EXPECT_EQ(rectOf("NewMapButton").topLeft(), QPoint(403, 148));
    EXPECT_EQ(rectOf("UsageNotesText").size(), QSize(691, 108));
    EXPECT_EQ(rectOf("DriveList").width(), 175);
    EXPECT_EQ(rectOf("FolderList").height(), 86);
    EXPECT_EQ(rectOf("TileFileList").left(), 177);
    EXPECT_EQ(rectOf("TileFileList").width(), 350);
    EXPECT_EQ(rectOf("TilePreviewBox").left(), 528);
    EXPECT_EQ(find<StatusBar>("StatusBar")->panelWidth(1), 434);
    EXPECT_EQ(rectOf("EditCanvas").topLeft(), QPoint(20, 20));

    find<QPushButton>("PanelToggleButton")->click();
    EXPECT_EQ(find<QPushButton>("PanelToggleButton")->text(), QStringLiteral("显示"));
    EXPECT_EQ(rectOf("LowerPanelTabs").top(), 502);
    EXPECT_EQ(rectOf("CanvasHScroll").top(), 487);
    EXPECT_EQ(rectOf("CanvasViewport").height(), 458);
    // The tab headers and the button stay visible in the strip above the status bar.
    EXPECT_EQ(rectOf("PanelToggleButton").top(), 502);
    EXPECT_LT(rectOf("PanelToggleButton").bottom(), 522);
}

TEST_F(MainWindowTest, TogglingThePanelTwiceRestoresEveryPlace)
{
    setClientSize(QSize(884, 542));
    const MainGeometry before = window.controlGeometry();
    auto* toggle = find<QPushButton>("PanelToggleButton");
    const auto spoken = [toggle] { return QAccessible::queryAccessibleInterface(toggle)->text(QAccessible::Name); };
    EXPECT_EQ(spoken(), QStringLiteral("隐藏"));  // its caption, as read on screen
    toggle->click();
    EXPECT_NE(window.controlGeometry().viewport, before.viewport);
    EXPECT_EQ(spoken(), QStringLiteral("显示"));
    toggle->click();
    EXPECT_EQ(spoken(), QStringLiteral("隐藏"));
    const MainGeometry after = window.controlGeometry();
    EXPECT_EQ(after.viewport, before.viewport);
    EXPECT_EQ(after.lowerPanelTabs, before.lowerPanelTabs);
    EXPECT_EQ(after.hScroll, before.hScroll);
    EXPECT_EQ(after.vScroll, before.vScroll);
    EXPECT_EQ(after.mapPicture, before.mapPicture);
    EXPECT_EQ(after.panelToggle, before.panelToggle);
    EXPECT_EQ(after.loadMapPicture, before.loadMapPicture);
    EXPECT_EQ(after.newMapButton, before.newMapButton);
    EXPECT_EQ(after.progressBar, before.progressBar);
    EXPECT_EQ(window.size(), QSize(884, 542 + window.menuBar()->height()));
}

TEST_F(MainWindowTest, StartUpLayoutIsFinalAndTheFirstToggleRestoresIt)
{
    // As laid out at start, before any later resize: the canvas area starts under the tool bar
    // and its height already allows for the progress bar's laid-out height.
    const QSize client = window.centralWidget()->size();
    EXPECT_EQ(client.width(), 900);
    const MainGeometry start = window.controlGeometry();
    EXPECT_EQ(start.progressBar.height(), 19);
    EXPECT_EQ(start.viewport, QRect(1, 30, 883, client.height() - 195));
    EXPECT_EQ(start.newMapButton.topLeft(), QPoint(411, (client.height() - 195) / 2 - 25));
    find<QPushButton>("PanelToggleButton")->click();
    find<QPushButton>("PanelToggleButton")->click();
    EXPECT_EQ(window.controlGeometry().viewport, start.viewport);
    EXPECT_EQ(window.controlGeometry().newMapButton, start.newMapButton);
}

TEST_F(MainWindowTest, TheWindowCannotShrinkBelowItsMinimum)
{
    window.resize(500, 400);
    EXPECT_EQ(window.size(), QSize(565, 450));
    window.resize(565, 450);
    EXPECT_EQ(window.size(), QSize(565, 450));
    window.resize(566, 451);
    EXPECT_EQ(window.size(), QSize(566, 451));
}

TEST_F(MainWindowTest, EveryResizeResetsTheScrollBarsAndTheOrigin)
{
    window.move(40, 70);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.canvasOrigin(), QPoint(window.x() + 25, window.y() + 61));
    find<QScrollBar>("CanvasHScroll")->setValue(5);
    find<QWidget>("EditCanvas")->move(-100, 3);
    window.resize(901, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(find<QScrollBar>("CanvasHScroll")->value(), 1);
    EXPECT_EQ(rectOf("EditCanvas").topLeft(), QPoint(20, 20));
}

TEST_F(MainWindowTest, MapPictureEnlargesCentredAndShrinksBack)
{
    setClientSize(QSize(884, 542));
    QWidget* picture = find("MapPictureBox");
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_EQ(picture->geometry(), QRect(142, 77, 600, 387));
    // Without a picture it covers the canvas with the panel colour and says why it is empty.
    EXPECT_EQ(find<QLabel>("MapPictureBox")->text(), texts::kNoMapPicture);
    EXPECT_EQ(QColor(picture->grab().toImage().pixel(5, 5)), picture->palette().color(QPalette::Window));
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_EQ(picture->geometry(), QRect(723, 412, 159, 107));
}

TEST_F(MainWindowTest, ExitAsksAndOnlyYesEnds)
{
    platform.answerNo();
    action("ExitCommand")->trigger();
    EXPECT_TRUE(quitCodes.empty());
    platform.answerNo();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(quitCodes.empty());
    platform.answerYes();
    EXPECT_FALSE(window.close());
    EXPECT_EQ(quitCodes, std::vector<int>{0});
    EXPECT_EQ(platform.countShown(texts::kExitQuestion), 3);
    EXPECT_EQ(platform.shown().last().buttons, MessageButtons::YesNoInfo);
}

TEST_F(MainWindowTest, HintsFollowTheMouseAndStay)
{
    QWidget* newMap = find("NewMapButton");
    QTest::mouseMove(newMap, QPoint(10, 10));
    EXPECT_EQ(hintShown(), QStringLiteral("新建地图拼合界面"));
    QTest::mouseMove(find("UndoButton"), QPoint(5, 5));
    EXPECT_EQ(hintShown(), QStringLiteral("撤销功能，撤销之前操作"));
    // A disabled control shows nothing; the last hint stays.
    QTest::mouseMove(find("CanvasHScroll"), QPoint(30, 5));
    EXPECT_EQ(hintShown(), QStringLiteral("撤销功能，撤销之前操作"));
    // Over the viewport's own area its hint shows.
    QTest::mouseMove(find("CanvasViewport"), QPoint(5, 5));
    EXPECT_EQ(hintShown(), QStringLiteral("标尺界面"));
    find("ToolBarPanel")->setEnabled(true);
    QTest::mouseMove(find("MoveToolRadio"), QPoint(5, 5));
    EXPECT_EQ(hintShown(), QStringLiteral("移动功能，移动单张图片，并覆盖"));
}

TEST_F(MainWindowTest, ToolRadiosSetTheCanvasCursorAndTheArmedTool)
{
    find("ToolBarPanel")->setEnabled(true);
    QWidget* canvas = find("EditCanvas");
    QTest::mouseClick(find("MoveToolRadio"), Qt::LeftButton);
    EXPECT_EQ(window.editMode(), EditMode::Move);
    EXPECT_EQ(canvas->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(find<QToolButton>("PlaceToolRadio")->isChecked());
    QTest::mouseClick(find("PlaceToolRadio"), Qt::LeftButton);
    EXPECT_EQ(window.editMode(), EditMode::Place);
    EXPECT_EQ(canvas->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MainWindowTest, TileSizeRadiosAreAPairOfTheirOwn)
{
    platform.answerYes();
    platform.answerInput(QStringLiteral("3"));
    window.newMap();
    auto* size30 = find<QRadioButton>("CellSize40x30Radio");
    auto* size16 = find<QRadioButton>("CellSize40x16Radio");
    ASSERT_TRUE(size16->isEnabled());
    const auto shows = [&](int height) {
        EXPECT_EQ(size30->isChecked(), height == 30);
        EXPECT_EQ(size16->isChecked(), height == 16);
        EXPECT_EQ(window.editing().tileWidth, 40);
        EXPECT_EQ(window.editing().tileHeight, height);
        EXPECT_TRUE(find<QToolButton>("PlaceToolRadio")->isChecked());  // the tools are another group
    };
    const std::pair<QRadioButton*, int> clicks[] = {
        {size16, 16}, {size16, 16}, {size30, 30}, {size30, 30}, {size16, 16}};
    for (auto [radio, height] : clicks) {
        QTest::mouseClick(radio, Qt::LeftButton);
        shows(height);
    }
    // The accessibility toggle chooses the other one and never unchecks the chosen one.
    const std::pair<QRadioButton*, int> toggles[] = {{size16, 16}, {size30, 30}, {size30, 30}, {size16, 16}};
    for (auto [radio, height] : toggles) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(radio);
        ASSERT_TRUE(accessible && accessible->actionInterface());
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        shows(height);
    }
}

TEST_F(MainWindowTest, AboutBoxesHaveTheirTitles)
{
    action("AboutEditorCommand")->trigger();
    action("AboutMakerCommand")->trigger();
    ASSERT_EQ(platform.shown().size(), 2);
    EXPECT_EQ(platform.shown()[0].title, QStringLiteral("关于地图编辑器"));
    EXPECT_EQ(platform.shown()[1].title, QStringLiteral("关于青石网络"));
    EXPECT_TRUE(platform.shown()[0].text.contains(QStringLiteral("Tessera")));
    EXPECT_EQ(platform.shown()[1].buttons, MessageButtons::Ok);
}

TEST_F(MainWindowTest, UsageNotesAreShownAsWritten)
{
    const QString notes = find<QPlainTextEdit>("UsageNotesText")->toPlainText();
    EXPECT_EQ(notes, QString(texts::usageNotes()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_TRUE(texts::usageNotes().endsWith(QStringLiteral("TLP。\r\n")));
    EXPECT_EQ(texts::usageNotes().count(QStringLiteral("\r\n")), 21);
}

TEST_F(MainWindowTest, AFullProgressBarEmptiesItself)
{
    Progress& progress = window.progress();
    auto* bar = find<QProgressBar>("ProgressBar");
    progress.start(1000);
    progress.advance(400);
    progress.advance(600);
    EXPECT_EQ(bar->value(), 1000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() == 0; }, 1000));
}

TEST_F(MainWindowTest, NewMapCreatesTheTileListWindowHidden)
{
    EXPECT_EQ(window.tileListWindow(), nullptr);
    platform.answerYes();
    platform.answerInput(QStringLiteral("3"));
    window.newMap();
    ASSERT_NE(window.tileListWindow(), nullptr);
    EXPECT_FALSE(window.tileListWindow()->isVisible());
}

TEST_F(MainWindowTest, TheReferencePictureShowsItsTopLeftAtActualSize)
{
    QTemporaryDir dir;
    QImage big(1200, 900, QImage::Format_RGB32);
    big.fill(QColor(200, 30, 30));
    big.setPixel(0, 0, qRgb(0, 0, 255));
    const QString path = dir.filePath(QStringLiteral("whole.jpg"));
    ASSERT_TRUE(big.save(path, "JPG"));

    platform.answerOpen(path);
    find("LoadMapPictureButton")->setEnabled(true);
    QTest::mouseClick(find("LoadMapPictureButton"), Qt::LeftButton);
    auto* picture = find<QLabel>("MapPictureBox");
    const QPixmap small = picture->pixmap();
    ASSERT_FALSE(small.isNull());
    EXPECT_EQ(small.size(), QSize(159, 107));  // not scaled: the corner of a 1200 × 900 picture
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_EQ(picture->pixmap().size(), QSize(600, 387));

    platform.answerCancel(DialogKind::OpenFile);  // cancel keeps the picture
    QTest::mouseClick(find("LoadMapPictureButton"), Qt::LeftButton);
    EXPECT_FALSE(picture->pixmap().isNull());

    // A 40 GB file (sparse) that is no picture is not read whole: the box is simply empty.
    QFile huge(dir.filePath(QStringLiteral("huge.jpg")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(40LL << 30));
    huge.close();
    platform.answerOpen(huge.fileName());
    QTest::mouseClick(find("LoadMapPictureButton"), Qt::LeftButton);
    EXPECT_TRUE(picture->pixmap().isNull());
}

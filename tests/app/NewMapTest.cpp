#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "canvas/Canvas.h"
#include "canvas/CanvasWidgets.h"
#include "canvas/PreviewWindow.h"
#include "support/MapEdits.h"
#include "support/ScriptedPlatform.h"
#include "model/MapText.h"
#include "document/MapQuestions.h"
#include "support/TestImages.h"
#include "app/TileListWindow.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

class NewMapTest : public testing::Test {
protected:
    NewMapTest() : window(platform, mapDocument)
    {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    bool newMap(const QString& answer)
    {
        platform.answerYes();
        platform.answerInput(answer);
        const int before = window.document().grid().mapSize();
        window.newMap();
        return window.document().grid().mapSize() != before || before == answer.toInt();
    }

    template <typename T = QWidget>
    T* find(const char* role) const
    {
        return window.findChild<T*>(QString::fromLatin1(role));
    }

    ScriptedPlatform platform;
    MapDocument mapDocument{platform};
    MainWindow window;
};

}  // namespace

TEST_F(NewMapTest, AskNewMapSizeReadsTheAnswer)
{
    ScriptedPlatform p;
    p.answerNo();
    EXPECT_FALSE(askNewMapSize(p));
    p.answerYes();
    p.answerCancel(DialogKind::Input);
    EXPECT_FALSE(askNewMapSize(p));
    for (const char* below : {"0", "-3", "abc", "", "-"}) {
        p.answerYes();
        p.answerInput(QString::fromLatin1(below));
        EXPECT_FALSE(askNewMapSize(p)) << below;
    }
    p.answerYes();
    p.answerInput(QStringLiteral(" 12abc"));
    EXPECT_EQ(askNewMapSize(p), 12);
    p.answerYes();
    p.answerInput(QStringLiteral("1000"));
    EXPECT_EQ(askNewMapSize(p), 1000);
    EXPECT_TRUE(p.messages().filter(QStringLiteral("超过")).isEmpty());
    p.answerYes();
    p.answerInput(QStringLiteral("1001"));
    EXPECT_FALSE(askNewMapSize(p));
    EXPECT_EQ(p.shown().last().buttons, MessageButtons::OkExclamation);
    EXPECT_EQ(p.countShown(QStringLiteral("请注意保存，是否新建？")), 10);
    const auto input = std::find_if(p.shown().begin(), p.shown().end(), [](const auto& s) {
        return s.kind == ScriptedPlatform::DialogKind::Input;
    });
    ASSERT_NE(input, p.shown().end());
    EXPECT_EQ(input->text, QStringLiteral("新建地图"));
    EXPECT_EQ(input->title, QStringLiteral("请输入地图大小："));
}

TEST_F(NewMapTest, TwentyFiveBringsTheWindowIntoItsWorkingState)
{
    ASSERT_TRUE(newMap(QStringLiteral("25")));
    EXPECT_EQ(window.document().grid().mapSize(), 25);
    EXPECT_EQ(find("EditCanvas")->size(), QSize(1000, 750));
    EXPECT_EQ(find("RulerBoard")->size(), QSize(1040, 790));
    EXPECT_TRUE(find("NewMapButton")->isHidden());
    EXPECT_FALSE(find("EditCanvas")->isHidden());
    EXPECT_FALSE(find("RulerBoard")->isHidden());
    for (const char* enabled : {"ToolBarPanel", "SwapToolRadio", "CanvasHScroll", "CanvasVScroll", "TileFileList",
                                "LoadMapPictureButton", "CellSize40x30Radio", "CellSize40x16Radio"})
        EXPECT_TRUE(find(enabled)->isEnabled()) << enabled;
    for (const char* action : {"ImportDataCommand", "ExportDataCommand", "DataAnalysisCommand"})
        EXPECT_TRUE(find<QAction>(action)->isEnabled()) << action;
    EXPECT_TRUE(find<QMenu>("EditMenu")->isEnabled());
    EXPECT_FALSE(find("SpareToolRadio")->isEnabled());
    EXPECT_EQ(window.tools().moveState(), MoveState::Idle);
    EXPECT_TRUE(window.acceptDrops());
    ASSERT_NE(window.tileListWindow(), nullptr);
    EXPECT_FALSE(window.tileListWindow()->isVisible());
    EXPECT_EQ(window.tileListWindow()->table()->model()->rowCount(), 25);
    EXPECT_TRUE(window.canvas().picture().gridShown());
}

TEST_F(NewMapTest, SizeOneGivesTheSmallestCanvas)
{
    ASSERT_TRUE(newMap(QStringLiteral("1")));
    EXPECT_EQ(find("EditCanvas")->size(), QSize(40, 30));
    EXPECT_EQ(find("RulerBoard")->size(), QSize(80, 70));
}

TEST_F(NewMapTest, RefusedAnswersKeepTheCurrentMap)
{
    ASSERT_TRUE(newMap(QStringLiteral("10")));
    setCell(window.document(), 3, 3, QStringLiteral("/keep.jpg"));
    for (const char* answer : {"0", "abc", "1001"})
        newMap(QString::fromLatin1(answer));
    platform.answerNo();
    window.newMap();
    EXPECT_EQ(window.document().grid().mapSize(), 10);
    EXPECT_EQ(window.document().grid().cellText(3, 3), QStringLiteral("/keep.jpg"));
    EXPECT_EQ(find("EditCanvas")->size(), QSize(400, 300));
    EXPECT_EQ(platform.messages().filter(QStringLiteral("1000")).size(), 1);
}

TEST_F(NewMapTest, NewMapEndsUndoAndResetsTheTileSizeButNotTheRadio)
{
    ASSERT_TRUE(newMap(QStringLiteral("5")));
    QTest::mouseClick(find("CellSize40x16Radio"), Qt::LeftButton);
    EXPECT_EQ(window.editing().tileHeight, 16);
    window.document().history().changeCells(MapCommandKind::Place, {{1, 1, QString(), QStringLiteral("/a.jpg")}});
    ASSERT_TRUE(newMap(QStringLiteral("6")));
    EXPECT_FALSE(window.document().history().buttonStep());
    EXPECT_EQ(window.editing().tileHeight, 30);
    EXPECT_TRUE(find<QRadioButton>("CellSize40x16Radio")->isChecked());
}

TEST_F(NewMapTest, ScrollingMovesCanvasAndRulerTogether)
{
    ASSERT_TRUE(newMap(QStringLiteral("25")));
    auto* h = find<QScrollBar>("CanvasHScroll");
    auto* v = find<QScrollBar>("CanvasVScroll");
    const QWidget* viewport = find("CanvasViewport");
    EXPECT_EQ(h->maximum(), 1000 - viewport->width() + 42);
    EXPECT_EQ(v->maximum(), 750 - viewport->height() + 38);
    h->setValue(31);
    v->setValue(11);
    EXPECT_EQ(find("EditCanvas")->pos(), QPoint(21 - 31, 21 - 11));
    EXPECT_EQ(find("RulerBoard")->pos(), QPoint(1 - 31, 1 - 11));
    window.resize(window.width() + 1, window.height());
    QCoreApplication::processEvents();
    EXPECT_EQ(h->value(), 1);
    EXPECT_EQ(find("EditCanvas")->pos(), QPoint(20, 20));
    h->setValue(5);
    EXPECT_EQ(find("EditCanvas")->pos(), QPoint(16, 20));
}

TEST_F(NewMapTest, RightClickOnTheCanvasPopsUpTheEditMenu)
{
    ASSERT_TRUE(newMap(QStringLiteral("3")));
    auto* menu = find<QMenu>("EditMenu");
    QTest::mouseClick(find("EditCanvas"), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_TRUE(menu->isVisible());
    menu->close();
}

TEST_F(NewMapTest, ImportEndsWithAFullRedraw)
{
    QTemporaryDir dir;
    const QString red = dir.filePath(QStringLiteral("red.jpg"));
    ASSERT_TRUE(writeSolidImage(red, QColor(220, 30, 30)));
    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    ASSERT_TRUE(platform.faults().writeFileAtomic(map, encodeMapText(QStringLiteral("空|%1\r\n").arg(red))));
    ASSERT_TRUE(newMap(QStringLiteral("2")));
    window.document().history().changeCells(MapCommandKind::Place, {{1, 1, QString(), QStringLiteral("/a.jpg")}});
    platform.answerOpen(map);
    window.findChild<QAction*>(QStringLiteral("ImportDataCommand"))->trigger();
    window.waitForWork();
    EXPECT_EQ(window.document().grid().cellText(1, 2), red);
    EXPECT_FALSE(window.document().history().buttonStep());
    const QImage shot = find("EditCanvas")->grab().toImage();
    EXPECT_TRUE(near(shot.pixel(60, 15), QColor(220, 30, 30)));
}

TEST_F(NewMapTest, ThePreviewButtonOpensOneWindowAndThenRaisesIt)
{
    ASSERT_TRUE(newMap(QStringLiteral("4")));
    QTest::mouseClick(find("PreviewButton"), Qt::LeftButton);
    PreviewWindow* first = window.previewWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->size(), QSize(4 * 40 + 12, 4 * 30 + 12));
    QTest::mouseClick(find("PreviewButton"), Qt::LeftButton);
    EXPECT_EQ(window.previewWindow(), first);
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.previewWindow(), nullptr);
}

TEST(ShiftQuestions, EachDirectionAsksItsOwnQuestion)
{
    ScriptedPlatform platform;
    platform.answerInput(QStringLiteral("abc"));
    platform.answerInput(QStringLiteral("2.7"));
    platform.answerCancel(DialogKind::Input);
    EXPECT_EQ(askShiftDistance(platform, ShiftDirection::Left), 0);
    EXPECT_EQ(askShiftDistance(platform, ShiftDirection::Down), 2);
    EXPECT_FALSE(askShiftDistance(platform, ShiftDirection::Up));
    ASSERT_EQ(platform.shown().size(), 3);
    EXPECT_EQ(platform.shown()[0].text, QStringLiteral("请输入向左移动几位？"));
    EXPECT_EQ(platform.shown()[0].title, QStringLiteral("向左移动"));
    EXPECT_EQ(platform.shown()[1].title, QStringLiteral("向下移动"));
    EXPECT_EQ(shiftQuestion(ShiftDirection::Right).prompt, QStringLiteral("请输入向右移动几位？"));
}

#include "EditingFixture.h"

#include "app/Texts.h"

#include <QTableView>
#include <QUndoView>

using namespace tessera;

namespace {

class HistoryTest : public EditingTest {
protected:
    QAction* action(const char* role) { return window.findChild<QAction*>(QString::fromLatin1(role)); }
    void undo() { action("UndoCommand")->trigger(); }
    void redo() { action("RedoCommand")->trigger(); }
    CellTexts cells() { return window.document().grid().cells(); }
};

}  // namespace

// Each tool's change is one command, named in the menu; undo and redo step through them, the
// canvas redrawing each cell, and come back to the very same cells.
TEST_F(HistoryTest, EveryToolsChangeUndoesAndRedoesThroughTheMenu)
{
    EXPECT_FALSE(action("UndoCommand")->isEnabled());
    EXPECT_FALSE(action("RedoCommand")->isEnabled());
    std::vector<CellTexts> states{cells()};
    place("red.jpg", 1, 1);
    states.push_back(cells());
    place("green.jpg", 2, 2);
    states.push_back(cells());
    arm("MoveToolRadio");
    press(1, 1);
    release(centre(2, 2));  // onto the green tile, which is lost
    states.push_back(cells());
    EXPECT_EQ(action("UndoCommand")->text(), QStringLiteral("撤销移动"));
    arm("SwapToolRadio");
    press(2, 2);
    release(centre(3, 3));
    states.push_back(cells());
    EXPECT_EQ(action("UndoCommand")->text(), QStringLiteral("撤销交换"));
    arm("DeleteToolRadio");
    click(3, 3);
    states.push_back(cells());
    EXPECT_EQ(action("UndoCommand")->text(), QStringLiteral("撤销删除"));
    window.ensureTileListWindow();
    window.document().model().setData(window.document().model().index(4, 4), path("blue.jpg"), Qt::EditRole);
    states.push_back(cells());
    EXPECT_EQ(action("UndoCommand")->text(), QStringLiteral("撤销修改单元格"));

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        undo();
        ASSERT_EQ(cells(), states[i - 1]) << i;
    }
    EXPECT_FALSE(action("UndoCommand")->isEnabled());
    EXPECT_EQ(action("RedoCommand")->text(), QStringLiteral("重做放置"));
    EXPECT_EQ(QColor(pixel(centre(1, 1))), kBackground);
    for (std::size_t i = 1; i < states.size(); ++i) {
        redo();
        ASSERT_EQ(cells(), states[i]) << i;
    }
    undo();
    undo();
    undo();  // the swap: the moved red tile back at (2, 2), redrawn there
    EXPECT_TRUE(near(pixel(centre(2, 2)), kRed));
    EXPECT_EQ(QColor(pixel(centre(3, 3))), kBackground);
}

// Once the menu has been used, the undo button takes back only the newest command, and only when
// it is one of the button's placements or swaps.
TEST_F(HistoryTest, AfterTheMenuTheUndoButtonTakesBackOnlyTheNewestPlacement)
{
    place("red.jpg", 1, 1);
    place("green.jpg", 2, 2);
    undo();
    EXPECT_EQ(cell(2, 2), QString());
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(1, 1), QString());
    EXPECT_EQ(action("RedoCommand")->text(), QStringLiteral("重做放置"));  // the same command, redoable
    redo();
    arm("MoveToolRadio");
    press(1, 1);
    release(centre(3, 3));
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);  // the newest is a move: nothing
    EXPECT_EQ(cell(3, 3), path("red.jpg"));
    EXPECT_EQ(action("UndoCommand")->text(), QStringLiteral("撤销移动"));
}

// Without the menu the button keeps its own rule, and what it does is a command too.
TEST_F(HistoryTest, TheUndoButtonsOwnClearingIsACommandTheMenuTakesBack)
{
    place("red.jpg", 1, 1);
    platform.answerYes();
    place("green.jpg", 1, 1);  // over the red tile
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(1, 1), QString());  // the button empties the cell
    EXPECT_EQ(action("UndoCommand")->text(), QStringLiteral("撤销清空单元格"));
    undo();
    EXPECT_EQ(cell(1, 1), path("green.jpg"));
    undo();
    EXPECT_EQ(cell(1, 1), path("red.jpg"));
}

TEST_F(HistoryTest, ShiftsAndImportsUndoWholeAndTheTitleMarksUnsavedChanges)
{
    EXPECT_FALSE(window.isWindowModified());
    place("red.jpg", 1, 1);
    EXPECT_TRUE(window.isWindowModified());
    const QString saved = dir.filePath(QStringLiteral("map.tlp"));
    platform.answerSave(saved);
    action("ExportDataCommand")->trigger();
    window.waitForWork();
    EXPECT_FALSE(window.isWindowModified());
    EXPECT_EQ(window.document().mapPath(), saved);

    platform.answerInput(QStringLiteral("1"));
    action("ShiftLeftCommand")->trigger();
    window.waitForWork();
    EXPECT_EQ(cell(1, 1), QString());  // shifted off the edge
    EXPECT_TRUE(window.isWindowModified());
    EXPECT_EQ(action("UndoCommand")->text(), QStringLiteral("撤销向左移动 1 格"));
    undo();
    window.waitForWork();
    EXPECT_EQ(cell(1, 1), path("red.jpg"));
    EXPECT_FALSE(window.isWindowModified());  // back where the file is
    EXPECT_TRUE(near(pixel(centre(1, 1)), kRed));

    place("green.jpg", 2, 2);
    platform.clearShown();
    action("SaveCommand")->trigger();  // the same file, no dialog
    window.waitForWork();
    EXPECT_TRUE(platform.unanswered().isEmpty());
    EXPECT_FALSE(window.isWindowModified());
    place("blue.jpg", 3, 3);
    platform.answerOpen(saved);
    action("ImportDataCommand")->trigger();
    window.waitForWork();
    EXPECT_EQ(cell(3, 3), QString());
    EXPECT_FALSE(window.isWindowModified());
    EXPECT_EQ(action("UndoCommand")->text(), QStringLiteral("撤销导入数据"));
    undo();
    EXPECT_EQ(cell(3, 3), path("blue.jpg"));
    EXPECT_TRUE(window.isWindowModified());

    // The exit question says so while there are unsaved changes.
    platform.answerNo();
    window.confirmExit();
    EXPECT_EQ(platform.shown().constLast().informative, texts::kUnsavedChanges);
}

// 编辑 → 历史记录: a click on a command goes back to it as the menu's undo would (so the undo button
// then keeps to the newest command), and nothing can be chosen while a tile is carried.
TEST_F(HistoryTest, TheHistoryWindowGoesBackAsTheMenuDoes)
{
    place("red.jpg", 1, 1);
    arm("MoveToolRadio");
    press(1, 1);
    release(centre(3, 3));
    arm("PlaceToolRadio");
    place("green.jpg", 2, 2);
    action("ShowHistoryCommand")->trigger();
    auto* view = window.findChild<QUndoView*>(QStringLiteral("HistoryView"));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->model()->rowCount(), 4);  // the new map, then each command
    EXPECT_EQ(view->model()->index(2, 0).data().toString(), QStringLiteral("移动"));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(2, 0)).center());
    EXPECT_EQ(cell(2, 2), QString());
    EXPECT_EQ(cell(3, 3), path("red.jpg"));
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);  // the newest is the move: nothing
    EXPECT_EQ(cell(3, 3), path("red.jpg"));

    arm("MoveToolRadio");
    press(3, 3);
    EXPECT_FALSE(view->isEnabled());
    release(centre(1, 2));
    EXPECT_TRUE(view->isEnabled());
    EXPECT_EQ(cell(1, 2), path("red.jpg"));
}

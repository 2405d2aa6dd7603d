#include "EditingFixture.h"

#include "app/Texts.h"

using namespace tessera;

TEST_F(EditingTest, ChoosingAFileAndClickingACellPlacesIt)
{
    choose("red.jpg");
    EXPECT_EQ(editing().pickedFiles, QStringList{path("red.jpg")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !find("TilePreviewBox")->property("pixmap").value<QPixmap>().isNull(); }));
    click(2, 3);
    EXPECT_EQ(cell(2, 3), path("red.jpg"));
    EXPECT_TRUE(near(pixel(centre(2, 3)), kRed));
    EXPECT_EQ(undoCell(), std::pair(2, 3));
    EXPECT_TRUE(editing().pickedFiles.isEmpty());
    click(4, 4);  // one choice places one tile
    EXPECT_EQ(cell(4, 4), QString());
    // Clicking the same file again in the list chooses it again.
    auto* files = qobject_cast<QListWidget*>(find("TileFileList"));
    const QListWidgetItem* red = files->findItems(QStringLiteral("red.jpg"), Qt::MatchExactly).value(0);
    ASSERT_NE(red, nullptr);
    ASSERT_EQ(files->currentItem(), red);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(red).center());
    click(4, 4);
    EXPECT_EQ(cell(4, 4), path("red.jpg"));
    EXPECT_EQ(undoCell(), std::pair(4, 4));
    EXPECT_TRUE(platform.shown().isEmpty());
    // The tile list shows it at once.
    const QAbstractItemModel* table = window.tileListWindow()->table()->model();
    EXPECT_EQ(table->data(table->index(1, 2)).toString(), path("red.jpg"));
}

TEST_F(EditingTest, PalettePngAndCmykTilesShowInColour)
{
    ASSERT_TRUE(writeMonoPng(path("flat.jpg"), kBlue));
    ASSERT_TRUE(writeCmykJpeg(path("cmyk.jpg"), kGreen));
    const std::pair<const char*, QColor> tiles[] = {{"flat.jpg", kBlue}, {"cmyk.jpg", kGreen}};
    int column = 1;
    for (const auto& [name, colour] : tiles) {
        choose(name);
        QImage shown;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            shown = find("TilePreviewBox")->property("pixmap").value<QPixmap>().toImage();
            return !shown.isNull() && near(shown.pixel(shown.width() / 2, shown.height() / 2), colour);
        })) << name;
        ASSERT_FALSE(shown.isNull()) << name;
        EXPECT_TRUE(near(shown.pixel(shown.width() / 2, shown.height() / 2), colour)) << name;
        click(2, column);
        EXPECT_TRUE(near(pixel(centre(2, column) - QPoint(15, 10)), colour)) << name;
        ++column;
    }
}

TEST_F(EditingTest, NoToOverwriteUsesUpTheChosenFile)
{
    place("red.jpg", 1, 1);
    choose("green.jpg");
    platform.answerNo();
    click(1, 1);
    EXPECT_EQ(cell(1, 1), path("red.jpg"));
    EXPECT_TRUE(near(pixel(centre(1, 1)), kRed));
    EXPECT_EQ(undoCell(), std::pair(1, 1));
    click(1, 1);  // nothing left to place, nothing asked
    EXPECT_EQ(platform.countShown(EditingTools::kOverwriteQuestion), 1);
}

TEST_F(EditingTest, ThreeDroppedFilesAskTwiceAndTheThirdWins)
{
    drop({path("red.jpg"), path("green.jpg"), path("blue.jpg")});
    EXPECT_EQ(editing().dropQueue.size(), 3);
    platform.answerYes();
    platform.answerYes();
    hover(3, 2);
    EXPECT_EQ(platform.countShown(EditingTools::kOverwriteQuestion), 2);
    EXPECT_EQ(cell(3, 2), path("blue.jpg"));
    EXPECT_TRUE(near(pixel(centre(3, 2)), kBlue));
    EXPECT_EQ(undoCell(), std::pair(3, 2));
    EXPECT_TRUE(editing().dropQueue.isEmpty());
}

TEST_F(EditingTest, ADropWhileDeleteIsArmedPlacesNothing)
{
    arm("DeleteToolRadio");
    drop({path("red.jpg")});
    arm("PlaceToolRadio");
    hover(2, 2);
    EXPECT_EQ(cell(2, 2), QString());
    EXPECT_TRUE(editing().dropQueue.isEmpty());
}

TEST_F(EditingTest, ChoosingWhileMoveIsArmedOnlyPreviews)
{
    choose("red.jpg");
    arm("MoveToolRadio");
    choose("green.jpg");
    arm("PlaceToolRadio");
    click(1, 5);
    EXPECT_EQ(cell(1, 5), path("red.jpg"));
}

TEST_F(EditingTest, DeleteToolWarnsEveryTimeAndDeletesOnPress)
{
    place("red.jpg", 2, 2);
    arm("DeleteToolRadio");
    arm("DeleteToolRadio");
    EXPECT_EQ(platform.countShown(EditingTools::kDeleteNotice), 2);
    EXPECT_EQ(undoCell(), std::pair(0, 0));
    press(2, 2);
    EXPECT_EQ(cell(2, 2), QString());
    EXPECT_EQ(QColor(pixel(centre(2, 2))), kBackground);
    EXPECT_EQ(QColor(pixel(QPoint(40, 30))), QColor(96, 96, 96));  // its top-left corner redrawn
    // Undo has nothing to undo after arming the delete tool.
    arm("PlaceToolRadio");
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(2, 2), QString());
}

TEST_F(EditingTest, ArmingDeleteThroughAccessibilityWarnsAndEndsUndo)
{
    place("red.jpg", 2, 2);
    QAccessibleInterface* radio = QAccessible::queryAccessibleInterface(find("DeleteToolRadio"));
    ASSERT_TRUE(radio && radio->actionInterface());
    // The action returns before its notice shows: a screen reader waits for no box.
    radio->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(platform.shown().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(window.editMode(), EditMode::Delete);
    EXPECT_EQ(platform.countShown(EditingTools::kDeleteNotice), 1);
    EXPECT_EQ(undoCell(), std::pair(0, 0));
    EXPECT_EQ(canvas->cursor().shape(), Qt::WhatsThisCursor);
}

TEST_F(EditingTest, UndoRemovesPlacementsNewestFirst)
{
    place("red.jpg", 1, 1);
    place("green.jpg", 1, 2);
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(1, 2), QString());
    EXPECT_EQ(cell(1, 1), path("red.jpg"));
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(1, 1), QString());
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);  // nothing left: nothing happens
    EXPECT_TRUE(platform.shown().isEmpty());
}

TEST_F(EditingTest, UndoAfterATileSizeSwitchErasesOnlyTheUpperBand)
{
    place("red.jpg", 2, 2);
    QTest::mouseClick(find("CellSize40x16Radio"), Qt::LeftButton);
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(2, 2), QString());
    EXPECT_EQ(QColor(pixel(QPoint(60, 30 + 10))), kBackground);
    EXPECT_TRUE(near(pixel(QPoint(60, 30 + 20)), kRed));
}

TEST_F(EditingTest, UndoEmptiesTheCellEvenWhereItOverwroteAnotherTile)
{
    place("red.jpg", 1, 1);
    platform.answerYes();
    place("green.jpg", 1, 1);
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(1, 1), QString());
    EXPECT_EQ(undoCell(), std::pair(1, 1));  // the first placement
}

TEST_F(EditingTest, MovingCarriesATileToAnotherCellWithoutAsking)
{
    place("red.jpg", 1, 1);
    place("green.jpg", 3, 3);
    arm("MoveToolRadio");
    press(1, 1);
    EXPECT_EQ(moveState(), MoveState::Carrying);
    EXPECT_EQ(cell(1, 1), QString());  // the source is empty from the pick-up on
    EXPECT_EQ(QColor(pixel(centre(1, 1))), QColor(192, 192, 192));  // the marker
    auto* follow = qobject_cast<QLabel*>(find("FollowImage"));
    EXPECT_TRUE(follow->isVisible());
    release(centre(3, 3));
    EXPECT_EQ(cell(3, 3), path("red.jpg"));
    EXPECT_EQ(cell(1, 1), QString());
    EXPECT_TRUE(near(pixel(centre(3, 3)), kRed));
    EXPECT_EQ(QColor(pixel(centre(1, 1))), kBackground);
    EXPECT_EQ(moveState(), MoveState::Idle);
    EXPECT_EQ(platform.countShown(EditingTools::kOverwriteQuestion), 0);
}

TEST_F(EditingTest, ACarriedTileWaitsAcrossToolSwitches)
{
    place("red.jpg", 2, 2);
    arm("MoveToolRadio");
    press(2, 2);
    ASSERT_EQ(moveState(), MoveState::Carrying);
    arm("PlaceToolRadio");
    click(4, 4);
    EXPECT_EQ(cell(4, 4), QString());
    EXPECT_EQ(moveState(), MoveState::Carrying);
    arm("MoveToolRadio");
    release(centre(5, 1));
    EXPECT_EQ(cell(5, 1), path("red.jpg"));
    EXPECT_EQ(moveState(), MoveState::Idle);
}

TEST_F(EditingTest, AReleaseOutsideEveryCellReturnsTheTileOnlyIntoAnEmptySource)
{
    place("blue.jpg", 2, 4);
    arm("MoveToolRadio");
    press(2, 4);
    release(QPoint(-15, -15));  // the ruler margin
    EXPECT_EQ(cell(2, 4), path("blue.jpg"));
    EXPECT_TRUE(near(pixel(centre(2, 4)), kBlue));
    EXPECT_EQ(moveState(), MoveState::Idle);
    // Something placed into the source meanwhile stays; the carry goes on.
    press(2, 4);
    arm("PlaceToolRadio");
    place("green.jpg", 2, 4);
    arm("MoveToolRadio");
    release(QPoint(-15, -15));
    EXPECT_EQ(cell(2, 4), path("green.jpg"));
    EXPECT_TRUE(near(pixel(centre(2, 4)), kGreen));
    EXPECT_EQ(moveState(), MoveState::Carrying);
    release(centre(3, 1));
    EXPECT_EQ(cell(3, 1), path("blue.jpg"));
}

TEST_F(EditingTest, ReleasesOffTheSeenCanvasAreaPlaceAndDropNothing)
{
    platform.answerYes();
    platform.answerInput(QStringLiteral("25"));
    window.newMap();
    place("red.jpg", 3, 3);
    QWidget* notes = find("UsageNotesText");
    const QPoint overNotes = canvas->mapFromGlobal(notes->mapToGlobal(notes->rect().center()));
    ASSERT_TRUE(cellAt(overNotes.x(), overNotes.y(), 25));  // a cell hidden under the lower panel
    // The pressed canvas gets the release wherever the pointer is.
    choose("green.jpg");
    press(5, 5);
    release(overNotes);
    arm("MoveToolRadio");
    press(3, 3);
    release(overNotes);
    EXPECT_EQ(moveState(), MoveState::Carrying);
    EXPECT_EQ(window.document().grid().cells(), std::vector<QString>(25 * 25));
    release(centre(4, 4));
    EXPECT_EQ(cell(4, 4), path("red.jpg"));
    arm("PlaceToolRadio");
    click(5, 5);  // the chosen file was not used up
    EXPECT_EQ(cell(5, 5), path("green.jpg"));
    // Dropped files wait for the pointer to reach the seen canvas, even while it holds the mouse.
    drop({path("blue.jpg")});
    press(6, 6);
    QTest::mouseMove(canvas, overNotes);
    release(overNotes);
    EXPECT_EQ(editing().dropQueue.size(), 1);
    const std::optional<Cell> hidden = cellAt(overNotes.x(), overNotes.y(), 25);
    EXPECT_EQ(cell(hidden->row, hidden->column), QString());
}

TEST_F(EditingTest, PickingUpAnEmptyCellSaysSo)
{
    arm("MoveToolRadio");
    press(4, 4);
    EXPECT_EQ(platform.countShown(EditingTools::kEmptyCellNotice), 1);
    EXPECT_EQ(moveState(), MoveState::Idle);
    EXPECT_TRUE(find("FollowImage")->isHidden());
}

TEST_F(EditingTest, OneClickOnTheFloatingImageHidesItAndReachesTheCanvas)
{
    place("red.jpg", 1, 1);
    arm("MoveToolRadio");
    press(1, 1);
    QWidget* follow = find("FollowImage");
    // The image sits where the pointer is, the pointer at its middle.
    const QPoint pointer = canvas->mapTo(window.centralWidget(), centre(1, 1));
    EXPECT_EQ(follow->pos(), pointer - EditingTools::kFollowGrip);
    follow->move(100, 100);
    // It keeps the mouse until the release, which it hands on to the canvas beneath.
    QTest::mousePress(follow, Qt::LeftButton, {}, QPoint(20, 15));
    EXPECT_TRUE(follow->isVisible());
    const QPoint target = canvas->mapFromGlobal(follow->mapToGlobal(QPoint(20, 15)));
    QTest::mouseRelease(follow, Qt::LeftButton, {}, QPoint(20, 15));
    EXPECT_TRUE(follow->isHidden());
    const std::optional<Cell> expected = cellAt(target.x(), target.y(), 5);
    ASSERT_TRUE(expected);
    EXPECT_EQ(cell(expected->row, expected->column), path("red.jpg"));
    EXPECT_EQ(moveState(), MoveState::Idle);
}

TEST_F(EditingTest, TheFloatingImageIsHeldAtTheViewportBounds)
{
    place("red.jpg", 1, 1);
    arm("MoveToolRadio");
    press(1, 1);
    QWidget* follow = find("FollowImage");
    const QRect viewport = find("CanvasViewport")->geometry();
    const int right = viewport.left() + viewport.width() - 15 - 27;
    follow->move(right + 30, viewport.top() + 50);
    QTest::mouseMove(follow, QPoint(5, 5));
    EXPECT_EQ(follow->x(), right);  // put back on the bound, not following this time
    QTest::mouseMove(follow, QPoint(6, 5));
    EXPECT_EQ(follow->x(), right + 6 - 20);  // the next move follows the pointer again
    // A press away from the canvas keeps it visible.
    follow->move(2, 2);
    QTest::mousePress(follow, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(follow->isVisible());
    QTest::mouseRelease(follow, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(moveState(), MoveState::Carrying);
}

TEST_F(EditingTest, ShiftsFromTheMenuRedrawAndEndUndo)
{
    place("red.jpg", 1, 1);
    auto* shiftRight = window.findChild<QAction*>(QStringLiteral("ShiftRightCommand"));
    platform.answerCancel(DialogKind::Input);
    shiftRight->trigger();
    EXPECT_EQ(cell(1, 1), path("red.jpg"));
    EXPECT_EQ(undoCell(), std::pair(1, 1));  // cancel: nothing happens, nothing is redrawn
    platform.answerInput(QStringLiteral("2"));
    shiftRight->trigger();
    window.waitForWork();
    EXPECT_EQ(cell(1, 3), path("red.jpg"));
    EXPECT_EQ(cell(1, 1), QString());
    EXPECT_EQ(undoCell(), std::pair(0, 0));
    EXPECT_TRUE(near(pixel(centre(1, 3)), kRed));
    EXPECT_EQ(QColor(pixel(centre(1, 1))), kBackground);
    EXPECT_EQ(platform.shown().last().title, QStringLiteral("向右移动"));
}

TEST_F(EditingTest, BatchOperationsRunFromTheTileListWindow)
{
    place("red.jpg", 1, 1);
    place("green.jpg", 2, 2);
    window.findChild<QAction*>(QStringLiteral("DataAnalysisCommand"))->trigger();
    TileListWindow* list = window.tileListWindow();
    ASSERT_TRUE(list->isVisible());
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    platform.answerYes();
    platform.answerFolder(out);
    list->findChild<QAction*>(QStringLiteral("BatchRenameCommand"))->trigger();
    window.waitForWork();
    EXPECT_EQ(cell(1, 1), QDir(out).filePath(QStringLiteral("1-1.jpg")));
    EXPECT_EQ(cell(2, 2), QDir(out).filePath(QStringLiteral("2-2.jpg")));
    EXPECT_TRUE(near(pixel(centre(2, 2)), kGreen));  // redrawn from the new names
    EXPECT_EQ(platform.countShown(QStringLiteral("更名成功！")), 1);
    const QString keep = dir.filePath(QStringLiteral("keep"));
    QDir().mkpath(keep);
    platform.answerYes();
    platform.answerFolder(keep);
    list->findChild<QAction*>(QStringLiteral("BatchMoveCommand"))->trigger();
    window.waitForWork();
    EXPECT_EQ(cell(1, 1), QDir(keep).filePath(QStringLiteral("1-1.jpg")));
    EXPECT_TRUE(QFile::exists(QDir(keep).filePath(QStringLiteral("2-2.jpg"))));
    EXPECT_EQ(platform.countShown(QStringLiteral("移动成功！")), 1);
    QWidget* resultWindow = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("ResultWindow") && w->isVisible())
            resultWindow = w;
    ASSERT_NE(resultWindow, nullptr);
    const QString text = resultWindow->findChild<QPlainTextEdit*>(QStringLiteral("ResultText"))->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("更名成功......")));
    EXPECT_TRUE(text.contains(QStringLiteral("移动成功......")));  // lines accumulate while it stays open
    // The report ends with its closing line; that nothing before can be undone is said in the
    // status bar.
    EXPECT_TRUE(text.trimmed().endsWith(QStringLiteral("移动成功......")));
    EXPECT_EQ(find("StatusPanel1")->property("text").toString(), MapDocument::kHistoryEnded);
    EXPECT_FALSE(window.findChild<QAction*>(QStringLiteral("UndoCommand"))->isEnabled());
    EXPECT_TRUE(window.isWindowModified());
    resultWindow->close();
}

TEST_F(EditingTest, DraggingOneTileOntoAnotherSwapsThemAndOneUndoRevertsTheSwap)
{
    place("red.jpg", 1, 1);
    place("green.jpg", 3, 3);
    arm("SwapToolRadio");
    EXPECT_EQ(canvas->cursor().shape(), Qt::SizeHorCursor);
    press(1, 1);
    QWidget* follow = find("FollowImage");
    EXPECT_TRUE(follow->isVisible());
    EXPECT_EQ(QColor(pixel(centre(1, 1))), QColor(192, 192, 192));  // the marker
    EXPECT_EQ(cell(1, 1), path("red.jpg"));  // nothing changes before the release
    hover(2, 3);
    EXPECT_EQ(follow->pos(), canvas->mapTo(window.centralWidget(), centre(2, 3)) - EditingTools::kFollowGrip);
    release(centre(3, 3));
    EXPECT_EQ(cell(1, 1), path("green.jpg"));
    EXPECT_EQ(cell(3, 3), path("red.jpg"));
    EXPECT_TRUE(near(pixel(centre(1, 1)), kGreen));
    EXPECT_TRUE(near(pixel(centre(3, 3)), kRed));
    EXPECT_TRUE(follow->isHidden());
    EXPECT_EQ(platform.countShown(EditingTools::kOverwriteQuestion), 0);
    // Undo takes back the swap, then the placements, newest first.
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(1, 1), path("red.jpg"));
    EXPECT_EQ(cell(3, 3), path("green.jpg"));
    EXPECT_TRUE(near(pixel(centre(1, 1)), kRed));
    EXPECT_TRUE(near(pixel(centre(3, 3)), kGreen));
    QTest::mouseClick(find("UndoButton"), Qt::LeftButton);
    EXPECT_EQ(cell(3, 3), QString());
    EXPECT_EQ(cell(1, 1), path("red.jpg"));
    EXPECT_EQ(undoCell(), std::pair(1, 1));
}

TEST_F(EditingTest, ASwapOntoAnEmptyCellMovesAndOtherReleasesChangeNothing)
{
    place("red.jpg", 2, 2);
    arm("SwapToolRadio");
    press(2, 2);
    release(centre(4, 5));
    EXPECT_EQ(cell(4, 5), path("red.jpg"));
    EXPECT_EQ(cell(2, 2), QString());
    EXPECT_EQ(QColor(pixel(centre(2, 2))), kBackground);
    const std::vector<QString> before = window.document().grid().cells();
    for (QPoint at : {centre(4, 5), QPoint(-15, -15)}) {  // the source itself, the ruler margin
        press(4, 5);
        release(at);
        EXPECT_TRUE(near(pixel(centre(4, 5)), kRed));  // the marker is gone
    }
    press(1, 1);  // nothing under the press
    release(centre(4, 5));
    EXPECT_EQ(window.document().grid().cells(), before);
    EXPECT_TRUE(find("FollowImage")->isHidden());
    EXPECT_EQ(platform.shown().size(), 0);
    EXPECT_EQ(undoCell(), std::pair(2, 2));  // the swap, not the cancelled ones
}

TEST_F(EditingTest, ASwapLeavesACarriedTileWaitingInItsFloatingImage)
{
    place("red.jpg", 1, 1);
    place("blue.jpg", 2, 2);
    place("green.jpg", 3, 3);
    arm("MoveToolRadio");
    press(1, 1);
    QWidget* follow = find("FollowImage");
    const QPoint carriedAt = follow->pos();
    arm("SwapToolRadio");
    press(2, 2);
    release(centre(3, 3));
    EXPECT_EQ(cell(2, 2), path("green.jpg"));
    EXPECT_TRUE(follow->isVisible());
    EXPECT_EQ(follow->pos(), carriedAt);
    arm("MoveToolRadio");
    release(centre(5, 5));
    EXPECT_EQ(cell(5, 5), path("red.jpg"));
}

TEST_F(EditingTest, TheWheelOverTheCanvasScrollsThroughTheScrollBars)
{
    platform.answerYes();
    platform.answerInput(QStringLiteral("25"));
    window.newMap();
    auto* hScroll = qobject_cast<QScrollBar*>(find("CanvasHScroll"));
    auto* vScroll = qobject_cast<QScrollBar*>(find("CanvasVScroll"));
    const QPoint rulerAt = find("RulerBoard")->pos();
    const auto wheel = [this](Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(centre(2, 2), canvas->mapToGlobal(centre(2, 2)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &event);
    };
    wheel(Qt::NoModifier);
    EXPECT_GT(vScroll->value(), 1);
    EXPECT_EQ(hScroll->value(), 1);
    EXPECT_EQ(find("RulerBoard")->pos(), rulerAt - QPoint(0, vScroll->value() - 1));  // the rulers follow
    wheel(Qt::ShiftModifier);
    EXPECT_GT(hScroll->value(), 1);
}

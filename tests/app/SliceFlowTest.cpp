// 切分大图 from the 功能 menu, driven by the scripted platform.
#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "app/MapPictureBox.h"
#include "work/LongWork.h"
#include "slicing/PictureSlicer.h"
#include "support/MapEdits.h"
#include "support/ScriptedPlatform.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace tessera;
using Kind = ScriptedPlatform::DialogKind;

namespace {

QString makePicture(const QString& path, QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x + y) % 256));
    EXPECT_TRUE(image.save(path, "JPG", 85));
    return path;
}

QStringList kinds(const ScriptedPlatform& platform)
{
    QStringList seen;
    for (const ScriptedPlatform::Shown& s : platform.shown())
        seen << QString::number(int(s.kind));
    return seen;
}

QString resultText()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == u"ResultWindow")
            return w->findChild<QPlainTextEdit*>(QStringLiteral("ResultText"))->toPlainText();
    return {};
}

class SliceFlowTest : public testing::Test {
protected:
    void newMap(int size, bool taken)
    {
        platform.answerYes();
        platform.answerInput(QString::number(size));
        window.newMap();
        if (taken)
            setCell(window.document(), 1, 1, QStringLiteral("/elsewhere/tile.jpg"));
        platform.clearShown();
    }
    QAction* command() { return window.findChild<QAction*>(QStringLiteral("SlicePictureCommand")); }
    SliceChoices choices(const QString& folder)
    {
        SliceChoices c;
        c.folder = folder;
        c.quality = 80;
        return c;
    }

    QTemporaryDir dir;
    ScriptedPlatform platform;
    MapDocument mapDocument{platform};
    MainWindow window{platform, mapDocument};
};

TEST_F(SliceFlowTest, MenuCutsThePictureAndFillsTheMapInOneUndoableStep)
{
    const QList<QAction*> functions = window.findChild<QMenu*>(QStringLiteral("FunctionMenu"))->actions();
    ASSERT_EQ(functions.size(), 4);
    EXPECT_EQ(functions[3], command());
    EXPECT_EQ(command()->text(), QStringLiteral("切分大图…"));
    EXPECT_FALSE(command()->isEnabled());
    newMap(2, true);
    EXPECT_TRUE(command()->isEnabled());
    const CellTexts before = window.document().grid().cells();

    const QString picture = makePicture(dir.filePath(QStringLiteral("world.jpg")), QSize(1000, 700));
    const QString folder = dir.filePath(QStringLiteral("cut"));
    platform.answerOpen(picture);
    platform.answerSlice(choices(folder));
    platform.answerYes();  // overwrite the placed tile
    platform.answerYes();  // grow to 3 × 3
    command()->trigger();
    window.waitForWork();

    EXPECT_TRUE(platform.unanswered().isEmpty()) << platform.unanswered().join(u',').toStdString();
    EXPECT_EQ(kinds(platform), (QStringList{QString::number(int(Kind::OpenFile)), QString::number(int(Kind::Slice)),
                                            QString::number(int(Kind::Message)), QString::number(int(Kind::Message)),
                                            QString::number(int(Kind::Message))}));
    const QList<ScriptedPlatform::Shown>& shown = platform.shown();
    ASSERT_EQ(shown.size(), 5);
    EXPECT_EQ(shown[1].initial, QStringLiteral("1000x700"));  // the picture's size, from its header
    EXPECT_EQ(platform.script().lastSliceOffered.cell, QSize(400, 300));
    EXPECT_EQ(shown[2].text, QStringLiteral("地图上已有的 1 个图块将被替换，是否覆盖？"));
    EXPECT_EQ(shown[3].text, QStringLiteral("地图将扩大为 3 × 3，是否继续？"));
    EXPECT_EQ(shown[4].buttons, MessageButtons::OkInfo);
    EXPECT_TRUE(shown[4].text.contains(QStringLiteral("3 行 × 3 列、9 个切片")));

    ASSERT_EQ(window.document().grid().mapSize(), 3);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c) {
            const QString slice = QDir(folder).filePath(QStringLiteral("%1-%2.jpg").arg(r).arg(c));
            EXPECT_EQ(window.document().grid().cellText(r, c), slice);
            EXPECT_EQ(QImage(slice).size(), QSize(c == 3 ? 200 : 400, r == 3 ? 100 : 300));
        }
    const QString reference = QDir(folder).filePath(kReferenceFileName);
    EXPECT_EQ(QImage(reference).size(), QSize(1000, 700));
    EXPECT_EQ(window.findChild<MapPictureBox*>()->path(), reference);

    // One step back restores the map as it was, one forward the slices again.
    QUndoStack& stack = window.document().history().stack();
    EXPECT_EQ(stack.undoText(), QStringLiteral("切分大图"));
    window.document().history().undo();
    EXPECT_EQ(window.document().grid().cells(), before);
    window.document().history().redo();
    EXPECT_EQ(window.document().grid().cellText(3, 3), QDir(folder).filePath(QStringLiteral("3-3.jpg")));
}

TEST_F(SliceFlowTest, AFolderInUseIsAskedAboutAndOneHoldingASliceNameIsRefusedBeforeAnyQuestion)
{
    newMap(5, false);
    const CellTexts before = window.document().grid().cells();
    const QString picture = makePicture(dir.filePath(QStringLiteral("world.jpg")), QSize(800, 600));
    const QString folder = dir.filePath(QStringLiteral("used"));
    QDir().mkpath(folder);
    const auto put = [&](const char* name) { QFile(QDir(folder).filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly); };
    put("notes.txt");
    platform.answerOpen(picture);
    platform.answerSlice(choices(folder));
    platform.answerNo();
    command()->trigger();
    window.waitForWork();
    EXPECT_TRUE(platform.shown().constLast().text.contains(QStringLiteral("已有 1 个文件")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A name the cut would write (a slice of its 2 × 2 grid, or the reference): said at once,
    // nothing asked after, nothing written. 3-1.jpg lies outside the grid and is only asked about.
    for (const char* taken : {"2-2.jpg", "原大地图.jpg"}) {
        put(taken);
        platform.clearShown();
        platform.answerOpen(picture);
        platform.answerSlice(choices(folder));
        command()->trigger();
        window.waitForWork();
        ASSERT_EQ(platform.shown().size(), 3) << taken;
        EXPECT_EQ(platform.shown()[2].buttons, MessageButtons::OkExclamation);
        EXPECT_TRUE(platform.shown()[2].text.contains(QString::fromUtf8(taken))) << taken;
        EXPECT_EQ(window.document().grid().cells(), before);
        QFile::remove(QDir(folder).filePath(QString::fromUtf8(taken)));
    }
    put("3-1.jpg");
    platform.clearShown();
    platform.answerOpen(picture);
    platform.answerSlice(choices(folder));
    platform.answerNo();
    command()->trigger();
    EXPECT_TRUE(platform.shown().constLast().text.contains(QStringLiteral("已有 2 个文件")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(SliceFlowTest, ASecondCutIsOfferedAFreeFolderAndAFailedCutEmptiesTheProgressBar)
{
    newMap(5, false);
    const QString picture = makePicture(dir.filePath(QStringLiteral("world.jpg")), QSize(800, 600));
    for (const char* offered : {"world_切片", "world_切片2", "world_切片3"}) {
        const QString folder = dir.filePath(QString::fromUtf8(offered));
        platform.answerOpen(picture);
        platform.answerSlice(choices(folder));
        if (folder.back() != u'片')
            platform.answerYes();  // from the second cut on: overwrite the tiles of the cut before
        command()->trigger();
        window.waitForWork();
        EXPECT_EQ(QDir::fromNativeSeparators(platform.script().lastSliceOffered.folder), folder);
        EXPECT_TRUE(QFile::exists(QDir(folder).filePath(QStringLiteral("2-2.jpg")))) << offered;
    }

    // A picture that ends early stops the cut part way: the bar does not stay there.
    QFile whole(picture);
    ASSERT_TRUE(whole.open(QIODevice::ReadWrite));
    whole.resize(whole.size() / 2);
    whole.close();
    platform.answerOpen(picture);
    platform.answerSlice(choices(dir.filePath(QStringLiteral("cut short"))));
    platform.answerYes();
    command()->trigger();
    window.waitForWork();
    const auto* bar = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() == 0 && bar->maximum() > 0; }, 2000))
        << bar->value() << " of " << bar->maximum();
}

TEST_F(SliceFlowTest, StoppedWorkLeavesTheMapAndWholeSlicesAndSaysHowMany)
{
    newMap(5, false);
    const CellTexts before = window.document().grid().cells();
    const QString picture = makePicture(dir.filePath(QStringLiteral("world.jpg")), QSize(6000, 4500));
    const QString folder = dir.filePath(QStringLiteral("stopped"));
    platform.answerOpen(picture);
    platform.answerSlice(choices(folder));
    platform.answerYes();  // grow
    command()->trigger();
    window.document().work().cancelAndWait();

    EXPECT_EQ(window.document().grid().cells(), before);
    const QStringList present = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    EXPECT_LT(present.size(), 225);
    for (const QString& name : present)
        EXPECT_EQ(QImage(QDir(folder).filePath(name)).size(), QSize(400, 300)) << name.toStdString();
    EXPECT_TRUE(resultText().contains(QStringLiteral("已写入的 %1 个切片完整").arg(present.size())))
        << resultText().toStdString();
}

}  // namespace

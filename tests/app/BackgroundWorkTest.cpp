// Long operations run in the background: commands and timers that arrive meanwhile see the map
// whole, and act as if they came after the operation.
#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "app/Texts.h"
#include "canvas/Canvas.h"
#include "canvas/PreviewWindow.h"
#include "canvas/TileFill.h"
#include "work/LongWork.h"
#include "support/MapEdits.h"
#include "support/ScriptedPlatform.h"
#include "model/MapText.h"
#include "support/TestImages.h"
#include "app/TileListWindow.h"

#include <QDir>
#include <QThread>

#include <atomic>
#include <memory>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

// `count` tiles in the folder "from" of `dir`, and an empty folder "to" beside it.
CellTexts tilesToBatch(const QTemporaryDir& dir, int count)
{
    QDir().mkpath(dir.filePath(QStringLiteral("from")));
    QDir().mkpath(dir.filePath(QStringLiteral("to")));
    CellTexts cells;
    for (int i = 0; i < count; ++i) {
        cells.push_back(dir.filePath(QStringLiteral("from/%1.jpg").arg(i)));
        EXPECT_TRUE(writeSolidImage(cells.back(), QColor(200, 20, 20), QSize(8, 8)));
    }
    return cells;
}

class BackgroundWorkTest : public testing::Test {
protected:
    static constexpr int kSize = 200;

    BackgroundWorkTest() : window(platform, mapDocument)
    {
        window.setQuitFunction([this](int code) { quitCodes.push_back(code); });
        window.show();
        platform.answerYes();
        platform.answerInput(QString::number(kSize));
        window.newMap();
        fill(QStringLiteral("old"));
    }

    // Every cell named "/prefix/r-c.jpg", moved `shift` columns right.
    static CellTexts cellsOf(const QString& prefix, int shift = 0)
    {
        CellTexts cells;
        for (int r = 1; r <= kSize; ++r)
            for (int c = 1; c <= kSize; ++c)
                cells.push_back(c > shift ? QStringLiteral("/%1/%2-%3.jpg").arg(prefix).arg(r).arg(c - shift) : QString());
        return cells;
    }
    void fill(const QString& prefix) { ASSERT_TRUE(setCells(window.document(), cellsOf(prefix))); }
    void trigger(const char* role) { window.findChild<QAction*>(QString::fromLatin1(role))->trigger(); }
    // Starts `operation`; a timer that ticks whenever the event loop runs fires `command` at its
    // first tick and looks at the map at every tick. Runs the event loop until all work is over.
    // False when the timer ever saw a map other than the `whole` ones.
    bool runWithTimer(const std::function<void()>& operation, const std::function<void()>& command,
                      const std::vector<CellTexts>& whole)
    {
        bool onlyWhole = true;
        bool fired = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (window.document().grid().mapSize() == kSize)
                onlyWhole &= std::find(whole.begin(), whole.end(), window.document().grid().cells()) != whole.end();
            if (!fired) {
                fired = true;
                command();
            }
        });
        timer.start(0);
        operation();
        EXPECT_TRUE(QTest::qWaitFor([&] { return fired && !window.document().work().busy(); }, 20000));
        window.waitForWork();
        return onlyWhole;
    }

    // Starts the tile list window's batch `command` over a 4 × 4 map of tiles in "from" into "to";
    // returns when its fifth file operation `op` waits, which it does until the work is asked to stop.
    void startBatchHeldAtTheFifthFile(ScriptedPlatform::FileOp op, const char* command)
    {
        platform.answerYes();
        platform.answerInput(QStringLiteral("4"));
        window.newMap();
        ASSERT_TRUE(setCells(window.document(), tilesToBatch(dir, 16)));
        QObject::connect(&window.document().work(), &LongWork::started,
                         [this](std::shared_ptr<const WorkProgress> p) { progress = p.get(); });
        platform.failWhen(op, [this](const QString& from) {
            if (from.endsWith(QStringLiteral("/4.jpg"))) {
                reached = true;
                while (!progress.load() || !progress.load()->cancelled())
                    QThread::msleep(1);
            }
            return false;
        }, QString());
        window.ensureTileListWindow();
        platform.answerYes();
        platform.answerFolder(dir.filePath(QStringLiteral("to")));
        window.tileListWindow()->findChild<QAction*>(QString::fromLatin1(command))->trigger();
        while (!reached)
            QThread::msleep(1);
    }
    // The cells whose file exists and whose path contains `part`; every cell's file must exist.
    int cellsIn(const QString& part)
    {
        int count = 0;
        for (const QString& cell : window.document().grid().cells()) {
            EXPECT_TRUE(QFile::exists(cell)) << cell.toStdString();
            count += cell.contains(part);
        }
        return count;
    }

    QTemporaryDir dir;
    ScriptedPlatform platform;
    MapDocument mapDocument{platform};
    MainWindow window;
    std::vector<int> quitCodes;
    std::atomic<const WorkProgress*> progress = nullptr;
    std::atomic<bool> reached = false;
};

}  // namespace

TEST_F(BackgroundWorkTest, ANewMapDuringAnImportRunsAfterIt)
{
    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    {
        QString text;
        for (int r = 1; r <= kSize; ++r) {
            for (int c = 1; c <= kSize; ++c)
                text += QStringLiteral("%1/new/%2-%3.jpg").arg(c > 1 ? QStringLiteral("|") : QString()).arg(r).arg(c);
            text += QStringLiteral("\r\n");
        }
        ASSERT_TRUE(platform.faults().writeFileAtomic(map, encodeMapText(text)));
    }
    platform.answerOpen(map);
    platform.answerYes();
    platform.answerInput(QStringLiteral("3"));
    EXPECT_TRUE(runWithTimer([&] { trigger("ImportDataCommand"); }, [&] { trigger("NewMapCommand"); },
                             {cellsOf(QStringLiteral("old")), cellsOf(QStringLiteral("new"))}));
    EXPECT_EQ(window.document().grid().mapSize(), 3);
    EXPECT_EQ(platform.countShown(QStringLiteral("导入成功，请按刷新界面按钮！")), 1);
    // The import's message came before the new map's question.
    QStringList texts;
    for (const auto& shown : platform.shown())
        texts << shown.text;
    EXPECT_LT(texts.indexOf(QStringLiteral("导入成功，请按刷新界面按钮！")),
              texts.lastIndexOf(QStringLiteral("请注意保存，是否新建？")));
}

TEST_F(BackgroundWorkTest, AShiftDuringAnExportChangesTheMapButNotTheFile)
{
    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    platform.answerSave(map);
    platform.answerInput(QStringLiteral("1"));
    EXPECT_TRUE(runWithTimer([&] { trigger("ExportDataCommand"); }, [&] { trigger("ShiftRightCommand"); },
                             {cellsOf(QStringLiteral("old")), cellsOf(QStringLiteral("old"), 1)}));
    EXPECT_EQ(platform.countShown(QStringLiteral("导出成功！")), 1);
    EXPECT_EQ(window.document().grid().cellText(1, 1), QString());
    EXPECT_EQ(window.document().grid().cellText(1, 2), QStringLiteral("/old/1-1.jpg"));
    // The file holds the map as it was when the export began.
    QFile file(map);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    NullProgress progress;
    EXPECT_EQ(parseMapText(file.readAll(), kSize, progress).cells, cellsOf(QStringLiteral("old")));
}

TEST_F(BackgroundWorkTest, TheCloseBoxAnswersDuringAnExportAndYesLeavesAWholeFile)
{
    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    ASSERT_TRUE(platform.faults().writeFileAtomic(map, "old content"));
    platform.answerSave(map);
    trigger("ExportDataCommand");
    platform.answerYes();
    window.close();  // the close box: the exit question comes at once
    EXPECT_EQ(platform.countShown(texts::kExitQuestion), 1);
    EXPECT_EQ(quitCodes, std::vector<int>{0});
    EXPECT_FALSE(window.document().work().busy());
    QTest::qWait(20);
    EXPECT_EQ(platform.countShown(QStringLiteral("导出成功！")), 0);
    QFile file(map);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes == "old content" || bytes.endsWith(QStringLiteral("/old/%1-%1.jpg\r\n").arg(kSize).toLatin1()));
}

TEST_F(BackgroundWorkTest, TheCloseBoxStopsABatchBetweenTwoFilesAndItsReportComes)
{
    startBatchHeldAtTheFifthFile(ScriptedPlatform::FileOp::Move, "BatchMoveCommand");
    platform.answerYes();
    window.close();
    EXPECT_EQ(quitCodes, std::vector<int>{0});
    EXPECT_EQ(cellsIn(QStringLiteral("/to/")), 5);
    EXPECT_EQ(platform.countShown(QStringLiteral("移动完成，但有11项没有成功，详见结果窗口。")), 1);
}

// After Yes, a stopped rename's cells and report are applied, but the window draws nothing more.
TEST_F(BackgroundWorkTest, TheExitDuringABatchRenameAppliesItsCellsAndReportButStartsNoRedraw)
{
    startBatchHeldAtTheFifthFile(ScriptedPlatform::FileOp::Rename, "BatchRenameCommand");
    int fills = 0;
    QObject::connect(&window.canvas().fill(), &TileFill::started, [&] { ++fills; });
    platform.answerYes();
    window.close();
    EXPECT_EQ(quitCodes, std::vector<int>{0});
    EXPECT_EQ(cellsIn(QStringLiteral("/to/")), 5);
    EXPECT_EQ(platform.countShown(QStringLiteral("更名完成，但有11项没有成功，详见结果窗口。")), 1);
    EXPECT_EQ(fills, 0);
}

TEST(ClosingTest, TheWindowGoesWhileThePreviewStillLoadsItsTiles)
{
    // Enough distinct tiles that the preview's loaders are still at work when the window goes.
    QTemporaryDir dir;
    constexpr int kSide = 24;
    CellTexts cells;
    for (int i = 0; i < kSide * kSide; ++i) {
        cells.push_back(dir.filePath(QStringLiteral("%1.jpg").arg(i)));
        ASSERT_TRUE(writeSolidImage(cells.back(), QColor::fromHsv(i % 360, 200, 200)));
    }
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    auto window = std::make_unique<MainWindow>(platform, mapDocument);
    window->setQuitFunction([](int) {});
    platform.answerYes();
    platform.answerInput(QString::number(kSide));
    window->newMap();
    ASSERT_TRUE(setCells(window->document(), cells));
    window->openPreview();
    ASSERT_NE(window->previewWindow(), nullptr);
    window->previewWindow()->drawPreview();
    EXPECT_TRUE(window->previewWindow()->fill().running());
    platform.answerYes();
    window->confirmExit();
    window.reset();  // under AddressSanitizer, a loader reading the freed cache fails here
}


namespace {

// Answers as scripted; while the exit question is open the event loop runs until `whileAsked`
// holds, as it does under a real modal box, and the boxes shown meanwhile are counted.
class QuestionPlatform : public ScriptedPlatform {
public:
    QuestionPlatform()
    {
        script().beforeMessage = [this](const QString& text) {
            if (asking_)
                ++shownDuringQuestion;
            if (text != texts::kExitQuestion || !whileAsked)
                return;
            asking_ = true;
            EXPECT_TRUE(QTest::qWaitFor(whileAsked, 10000));
            QTest::qWait(50);  // the work's finish notice arrives
            asking_ = false;
        };
    }
    std::function<bool()> whileAsked;
    int shownDuringQuestion = 0;

private:
    bool asking_ = false;
};

}  // namespace

TEST(ClosingTest, WorkEndingWhileTheExitQuestionIsOpenIsReportedOnlyAfterNo)
{
    QTemporaryDir dir;
    QuestionPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    window.setQuitFunction([](int) {});
    platform.answerYes();
    platform.answerInput(QStringLiteral("2"));
    window.newMap();
    const QString map = dir.filePath(QStringLiteral("map.tlp"));
    platform.answerSave(map);
    window.findChild<QAction*>(QStringLiteral("ExportDataCommand"))->trigger();
    platform.whileAsked = [&] { return QFile::exists(map); };
    platform.answerNo();
    window.confirmExit();
    EXPECT_EQ(platform.shownDuringQuestion, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return platform.countShown(QStringLiteral("导出成功！")) == 1; }, 5000));
}

TEST(ClosingTest, DestroyingTheWindowDuringABatchAppliesAndShowsNothing)
{
    QTemporaryDir dir;
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    auto window = std::make_unique<MainWindow>(platform, mapDocument);
    window->setQuitFunction([](int) {});
    platform.answerYes();
    platform.answerInput(QStringLiteral("2"));
    window->newMap();
    ASSERT_TRUE(setCells(window->document(), tilesToBatch(dir, 4)));
    std::atomic<bool> reached = false;
    platform.failWhen(ScriptedPlatform::FileOp::Move, [&](const QString&) {
        reached = true;
        return false;
    }, QString());
    window->ensureTileListWindow();
    platform.answerYes();
    platform.answerFolder(dir.filePath(QStringLiteral("to")));
    window->tileListWindow()->findChild<QAction*>(QStringLiteral("BatchMoveCommand"))->trigger();
    while (!reached)
        QThread::msleep(1);
    const auto boxes = platform.shown().size();
    window.reset();
    EXPECT_EQ(platform.shown().size(), boxes);
}

#include "EditingFixture.h"

#include "app/DocumentJournal.h"
#include "journal/JournalRecovery.h"
#include "journal/MapJournal.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTableView>

using namespace tessera;

namespace {

class RecoveryTest : public EditingTest {
protected:
    QAction* action(const char* role) { return window.findChild<QAction*>(QString::fromLatin1(role)); }
    MapDocument& doc() { return window.document(); }

    // What a crash now would leave: the journal on disk, read back.
    RecoveredMap onDisk()
    {
        MapJournal& journal = doc().journal()->journal();
        EXPECT_TRUE(journal.flush().ok());
        return readJournal(journal.path());
    }

    // A journal left by an editor killed after journalling a 2 × 2 map with one tile.
    void leaveKilledEditorsJournal(const QString& folder)
    {
        QProcess child;
        child.start(QStringLiteral(JOURNAL_CHILD), {folder});
        ASSERT_TRUE(child.waitForReadyRead(10000));
        child.kill();
        child.waitForFinished();
    }
};

}  // namespace

// Random edits by every tool, the menu and the table, as a user makes them: after each, the journal
// on disk rebuilds exactly the map, its size and its map path file.
TEST_F(RecoveryTest, TheJournalOnDiskRebuildsTheMapAfterEveryEdit)
{
    QTemporaryDir journals;
    doc().keepJournal(journals.path());
    const char* tiles[] = {"red.jpg", "green.jpg", "blue.jpg"};
    QRandomGenerator random(11);
    const auto anyCell = [&] { return std::pair{random.bounded(1, 6), random.bounded(1, 6)}; };
    for (int step = 0; step < 120; ++step) {
        const auto [r, c] = anyCell();
        const auto [r2, c2] = anyCell();
        switch (random.bounded(8)) {
        case 0:
        case 1:
            platform.answerYes();  // over a tile, if there is one
            place(tiles[random.bounded(3)], r, c);
            break;
        case 2:
            arm("MoveToolRadio");
            press(r, c);
            release(centre(r2, c2));
            break;
        case 3:
            arm("SwapToolRadio");
            press(r, c);
            release(centre(r2, c2));
            break;
        case 4:
            action("UndoCommand")->trigger();
            break;
        case 5:
            action("RedoCommand")->trigger();
            break;
        case 6:
            platform.answerText(QString::number(random.bounded(1, 3)));
            action(random.bounded(2) ? "ShiftDownCommand" : "ShiftLeftCommand")->trigger();
            window.waitForWork();
            break;
        default:
            doc().model().setData(doc().model().index(r - 1, c - 1), path(tiles[random.bounded(3)]), Qt::EditRole);
            break;
        }
        arm("PlaceToolRadio");
        platform.clearShown();
        platform.clearAnswers();
        const RecoveredMap map = onDisk();
        ASSERT_EQ(map.mapSize, doc().grid().mapSize()) << step;
        ASSERT_EQ(map.cells, doc().grid().cells()) << step;
    }
    // A save starts the journal over from the saved map.
    platform.answerText(dir.filePath(QStringLiteral("map.tlp")));
    action("SaveCommand")->trigger();
    window.waitForWork();
    const RecoveredMap saved = onDisk();
    EXPECT_LE(saved.entries, 3);
    EXPECT_FALSE(saved.unsaved);
    EXPECT_EQ(saved.mapPath, dir.filePath(QStringLiteral("map.tlp")));
    EXPECT_EQ(saved.cells, doc().grid().cells());
}

// A killed editor's journal: offered, and rebuilt as it was (marked unsaved) on Yes; kept aside,
// said where and never offered again on No; a clean exit leaves no journal of its own.
TEST_F(RecoveryTest, AKilledEditorsMapIsOfferedAndRebuiltOrKeptAside)
{
    QTemporaryDir journals;
    leaveKilledEditorsJournal(journals.path());
    platform.answerYes();
    ASSERT_TRUE(offerRecovery(doc(), platform, journals.path()));
    EXPECT_EQ(platform.shown().constFirst().text, QStringLiteral("上次编辑没有正常结束，是否恢复未保存的地图？"));
    EXPECT_EQ(doc().grid().mapSize(), 2);
    EXPECT_EQ(doc().grid().cellText(2, 2), QStringLiteral("/maps/child.jpg"));
    EXPECT_EQ(doc().mapPath(), QStringLiteral("/maps/child.tlp"));
    EXPECT_TRUE(window.isWindowModified());
    EXPECT_FALSE(action("UndoCommand")->isEnabled());
    EXPECT_TRUE(QDir(journals.path()).entryList({QStringLiteral("*.journal")}).isEmpty());

    leaveKilledEditorsJournal(journals.path());
    platform.clearShown();
    platform.answerNo();
    EXPECT_FALSE(offerRecovery(doc(), platform, journals.path()));
    ASSERT_EQ(platform.shown().size(), 2);
    const QStringList kept = QDir(journals.path()).entryList({QStringLiteral("kept*")});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(platform.shown().constLast().text.contains(kept.first()));
    platform.clearShown();
    EXPECT_FALSE(offerRecovery(doc(), platform, journals.path()));
    EXPECT_TRUE(platform.shown().isEmpty());

    doc().keepJournal(journals.path());
    doc().journal()->journal().flush();
    EXPECT_EQ(QDir(journals.path()).entryList({QStringLiteral("editor*.journal")}).size(), 1);
    platform.answerYes();
    window.setQuitFunction([](int) {});
    window.confirmExit();
    EXPECT_TRUE(QDir(journals.path()).entryList({QStringLiteral("editor*.journal")}).isEmpty());
}

// A journal that can no longer be written is said once, naming it; editing goes on.
TEST_F(RecoveryTest, AJournalThatCannotBeWrittenIsSaidOnce)
{
    QTemporaryDir journals;
    const QString folder = journals.filePath(QStringLiteral("j"));
    doc().keepJournal(folder);
    doc().journal()->journal().flush();
    const QString journal = doc().journal()->journal().path();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    place("red.jpg", 1, 1);
    platform.answerText(dir.filePath(QStringLiteral("map.tlp")));
    action("SaveCommand")->trigger();  // starts the journal over in the folder that is gone
    window.waitForWork();
    place("green.jpg", 2, 2);
    doc().journal()->journal().flush();
    QTest::qWait(50);
    EXPECT_EQ(cell(2, 2), path("green.jpg"));
    int said = 0;
    for (const auto& shown : platform.shown())
        said += shown.text.startsWith(QStringLiteral("无法写入编辑记录")) && shown.text.contains(journal);
    EXPECT_EQ(said, 1);
}

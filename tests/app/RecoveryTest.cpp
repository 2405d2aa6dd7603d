#include "EditingFixture.h"

#include "document/DocumentJournal.h"
#include "journal/JournalRecovery.h"
#include "journal/MapJournal.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTableView>

#include <algorithm>

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
            platform.answerInput(QString::number(random.bounded(1, 3)));
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
    platform.answerSave(dir.filePath(QStringLiteral("map.tlp")));
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
    QTemporaryDir own;
    doc().keepJournal(own.path());  // the journal that holds a recovered map, so its source may go
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

// A journal folder that is a file: recovery is off from the start, said once, naming it. A write
// that fails later is said once; when writing works again that is said too, and the journal holds
// the whole map again.
TEST_F(RecoveryTest, AJournalThatCannotBeWrittenIsSaidOnceAndSoIsItsReturn)
{
    QTemporaryDir journals;
    const QString folder = journals.filePath(QStringLiteral("j"));
    QFile(folder).open(QIODevice::WriteOnly);
    doc().keepJournal(folder);
    ASSERT_EQ(platform.messages().size(), 1);
    EXPECT_TRUE(platform.messages().constFirst().startsWith(QStringLiteral("崩溃恢复已关闭：无法写入编辑记录")));
    EXPECT_TRUE(platform.messages().constFirst().contains(folder + QStringLiteral("\n这个位置是一个文件，不是文件夹")));
    ASSERT_TRUE(QFile::remove(folder));
    place("red.jpg", 1, 1);
    EXPECT_EQ(onDisk().cells, doc().grid().cells());
    QCoreApplication::processEvents();
    EXPECT_EQ(platform.countShown(QStringLiteral("编辑记录已恢复写入，程序意外退出时可以恢复未保存的修改。")), 1);

    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile(folder).open(QIODevice::WriteOnly);
    place("green.jpg", 2, 2);
    platform.answerSave(dir.filePath(QStringLiteral("map.tlp")));
    action("SaveCommand")->trigger();  // starts the journal over, in a folder that is now a file
    window.waitForWork();
    place("blue.jpg", 3, 3);
    doc().journal()->journal().flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(cell(3, 3), path("blue.jpg"));
    int said = 0;
    for (const auto& shown : platform.shown())
        said += shown.text.startsWith(QStringLiteral("无法写入编辑记录")) && shown.text.contains(folder);
    EXPECT_EQ(said, 1);
    ASSERT_TRUE(QFile::remove(folder));
    place("red.jpg", 4, 4);
    EXPECT_EQ(onDisk().cells, doc().grid().cells());
    QCoreApplication::processEvents();
    EXPECT_EQ(platform.countShown(QStringLiteral("编辑记录已恢复写入，程序意外退出时可以恢复未保存的修改。")), 2);
}

// A crash while the move tool carries a tile: the journal has the tile back in its cell.
TEST_F(RecoveryTest, ACarriedTileIsRecoveredIntoItsCell)
{
    QTemporaryDir journals;
    doc().keepJournal(journals.path());
    place("red.jpg", 2, 2);
    arm("MoveToolRadio");
    press(2, 2);
    ASSERT_TRUE(cell(2, 2).isEmpty());
    RecoveredMap carried = onDisk();
    EXPECT_EQ(carried.cells[6], path("red.jpg"));
    EXPECT_EQ(carried.carriedTo, 6);
    EXPECT_TRUE(carried.unsaved);
    release(centre(4, 5));
    EXPECT_EQ(onDisk().cells, doc().grid().cells());
    EXPECT_EQ(cell(4, 5), path("red.jpg"));
}

// Journals as a disk or a crash damages them, each a copy of one real journal: never removed but kept
// aside; what is whole before the damage offered, saying how much and why not all; a journal
// without a map said. Yes rebuilds what was whole.
TEST_F(RecoveryTest, ADamagedJournalIsKeptAsideAndWhatIsWholeOffered)
{
    QTemporaryDir source;
    QString written;
    std::vector<qint64> ends;  // where each entry ends
    {
        MapJournal journal(source.path());
        journal.startMap(3, QStringLiteral("/maps/m.tlp"));
        for (int i = 0; i < 4; ++i) {
            journal.flush();
            ends.push_back(QFileInfo(journal.path()).size());
            journal.setCells({{i, QStringLiteral("/t/%1.jpg").arg(i)}});
        }
        journal.flush();
        written = journal.path();
    }
    QFile file(written);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto with = [&](qint64 at, char byte) { QByteArray b = bytes; b[at] = byte; return b; };
    const auto flip = [&](qint64 at) { return with(at, static_cast<char>(bytes[at] ^ 0x40)); };
    const qint64 half = bytes.size() / 2;
    const int wholeBeforeHalf = int(std::upper_bound(ends.begin(), ends.end(), half) - ends.begin()) - 1;
    const struct {
        const char* name;
        QByteArray bytes;
        int cellsBack;  // -1: no map at all
        const char* says;
    } cases[] = {
        {"cut in half", bytes.left(half), wholeBeforeHalf, "末尾已损坏"},
        {"a byte flipped in the middle", flip(half), wholeBeforeHalf, "末尾已损坏"},
        {"a byte flipped in the last entry", flip(bytes.size() - 3), 3, "只恢复了损坏之前的 4 项记录"},
        {"a byte flipped in the header", flip(5), 4, "文件头已损坏"},
        {"behind", with(kJournalFlagsOffset, char(kJournalBehind)), 4, "缺少写入失败之后的修改"},
        {"unreadable", {}, -1, "无法读取"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir journals;
        const QString name = journals.filePath(QFileInfo(written).fileName());
        if (c.cellsBack < 0) {  // a link is never followed: a read error, for root too
            ASSERT_TRUE(QFile::link(written, name));
        } else {
            QFile copy(name);
            ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
            copy.write(c.bytes);
        }
        platform.clearShown();
        if (c.cellsBack >= 0)  // an unreadable journal is only said
            platform.answerYes();
        EXPECT_EQ(offerRecovery(doc(), platform, journals.path()), c.cellsBack >= 0);
        const QStringList kept = QDir(journals.path()).entryList({QStringLiteral("kept-*")}, QDir::Files | QDir::System);
        ASSERT_EQ(kept.size(), 1) << "kept aside, never removed";
        ASSERT_EQ(platform.shown().size(), 1);
        const auto& shown = platform.shown().constFirst();
        EXPECT_TRUE((shown.text + shown.informative).contains(QString::fromUtf8(c.says))) << qPrintable(shown.text + shown.informative);
        EXPECT_TRUE(shown.informative.contains(journals.filePath(kept.first())));
        if (c.cellsBack < 0)
            continue;
        EXPECT_EQ(shown.text, QStringLiteral("上次编辑没有正常结束，是否恢复未保存的地图？"));
        EXPECT_TRUE(shown.informative.contains(QStringLiteral("3 × 3，%1 个格子有图片").arg(c.cellsBack)));
        EXPECT_EQ(doc().grid().mapSize(), 3);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(doc().grid().cells()[i], i < c.cellsBack ? QStringLiteral("/t/%1.jpg").arg(i) : QString());
    }
}

// 文件 → 恢复以前的地图…: the kept journals listed; one deleted, one restored as an unsaved map.
TEST_F(RecoveryTest, KeptMapsAreListedRestoredAndDeleted)
{
    QTemporaryDir journals;
    doc().keepJournal(journals.path());
    leaveKilledEditorsJournal(journals.path());
    leaveKilledEditorsJournal(journals.path());
    platform.answerNo();
    platform.answerNo();
    offerRecovery(doc(), platform, journals.path());
    const auto keptCount = [&] { return QDir(journals.path()).entryList({QStringLiteral("kept-*")}).size(); };
    ASSERT_EQ(keptCount(), 2);

    platform.clearShown();
    platform.answerRow(1, 1);  // 删除
    platform.answerYes();
    platform.answerRow(0, 0);  // 恢复
    platform.answerYes();      // the map now open has unsaved changes
    place("red.jpg", 1, 1);
    action("RestoreKeptMapCommand")->trigger();
    ASSERT_EQ(platform.shown().constFirst().kind, ScriptedPlatform::DialogKind::Rows);
    const QStringList rows = platform.shown().constFirst().informative.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].endsWith(QStringLiteral(" | 2 × 2 | 1 | 完好"))) << qPrintable(rows[0]);
    EXPECT_EQ(platform.pendingAnswers(), 0u);
    EXPECT_EQ(doc().grid().mapSize(), 2);
    EXPECT_EQ(doc().grid().cellText(2, 2), QStringLiteral("/maps/child.jpg"));
    EXPECT_TRUE(window.isWindowModified());
    EXPECT_EQ(keptCount(), 0) << "one deleted; the other restored, now in this editor's journal";
    EXPECT_EQ(onDisk().cells, doc().grid().cells());
}

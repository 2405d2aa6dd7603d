// Whose journal is whose: two editors at once, a killed one's journal offered once, kept aside or
// removed; a clean exit and a failed write.
#include "support/ScratchJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>

using namespace tessera;

TEST(JournalFiles, AnotherEditorsLiveJournalIsNeverOfferedAndAKilledOnesIsOfferedOnce)
{
    QTemporaryDir dir;
    QProcess child;
    child.start(QStringLiteral(JOURNAL_CHILD), {dir.path()});
    ASSERT_TRUE(child.waitForReadyRead(10000));
    const QString childJournal = QString::fromLocal8Bit(child.readLine()).trimmed();
    ASSERT_TRUE(QFileInfo::exists(childJournal));

    MapJournal own(dir.path());
    own.startMap(3);
    ASSERT_TRUE(own.flush().ok());
    EXPECT_NE(own.path(), childJournal);
    EXPECT_EQ(QFileInfo(own.path()).path(), QFileInfo(childJournal).path());
    EXPECT_TRUE(JournalRecovery(dir.path()).journals().isEmpty()) << "both are owned by running editors";

    child.kill();
    ASSERT_TRUE(child.waitForFinished(10000));
    JournalRecovery recovery(dir.path());
    ASSERT_EQ(recovery.journals(), QStringList{childJournal});
    EXPECT_TRUE(JournalRecovery(dir.path()).journals().isEmpty()) << "claimed by the first";

    const RecoveredMap recovered = readJournal(childJournal);
    ASSERT_TRUE(recovered.error.ok());
    EXPECT_EQ(recovered.mapSize, 2);
    EXPECT_EQ(recovered.cells, (CellTexts{{}, {}, {}, QStringLiteral("/maps/child.jpg")}));
    EXPECT_EQ(recovered.mapPath, QStringLiteral("/maps/child.tlp"));
    EXPECT_TRUE(recovered.unsaved);
    EXPECT_FALSE(recovered.damaged);

    const JournalRecovery::KeptAside kept = recovery.keepAside(childJournal);
    ASSERT_TRUE(kept.error.ok());
    EXPECT_FALSE(QFileInfo::exists(childJournal));
    EXPECT_EQ(QFileInfo(kept.path).path(), dir.path());
    EXPECT_EQ(readJournal(kept.path).cells, recovered.cells);
    EXPECT_TRUE(recovery.journals().isEmpty());
    EXPECT_TRUE(JournalRecovery(dir.path()).journals().isEmpty()) << "kept aside, not offered again";
}

TEST(JournalFiles, ACleanExitRemovesTheJournalAndAnyOtherEndLeavesItWhole)
{
    QTemporaryDir dir;
    QString left;
    {
        MapJournal journal(dir.path());
        journal.startMap(2);
        journal.replaceMap(2, {QStringLiteral("/a.jpg"), {}, {}, QStringLiteral("/b.jpg")});
        journal.shiftMap(ShiftDirection::Left, 1);
        left = journal.path();
    }
    JournalRecovery recovery(dir.path());
    ASSERT_EQ(recovery.journals(), QStringList{left});
    EXPECT_EQ(readJournal(left).cells, (CellTexts{{}, {}, QStringLiteral("/b.jpg"), {}}));
    ASSERT_TRUE(recovery.remove(left).ok());
    EXPECT_FALSE(QFileInfo::exists(left));

    MapJournal journal(dir.path());
    journal.startMap(4);
    journal.setCells({{5, QStringLiteral("/c.jpg")}});
    ASSERT_TRUE(journal.discard().ok());
    journal.setCells({{6, QStringLiteral("/d.jpg")}});
    EXPECT_TRUE(journal.flush().ok());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST(JournalFiles, AFailedWriteIsReportedWithThePathAndStartingOverResumes)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state"));
    MapJournal journal(folder);
    ASSERT_TRUE(QFileInfo(folder).isDir());
    QSignalSpy failed(&journal, &MapJournal::failed);
    ASSERT_TRUE(QDir(folder).removeRecursively());

    journal.startMap(2);
    journal.setCells({{0, QStringLiteral("/a.jpg")}});
    const JournalError error = journal.flush();
    EXPECT_EQ(error.kind, JournalError::Kind::Write);
    EXPECT_EQ(error.error, ENOENT);
    EXPECT_EQ(error.path, journal.path());
    EXPECT_EQ(failed.count(), 1);

    ASSERT_TRUE(QDir().mkpath(folder));
    journal.compact(2, {QStringLiteral("/a.jpg"), {}, {}, {}}, {}, false);
    EXPECT_TRUE(journal.flush().ok());
    EXPECT_EQ(readJournal(journal.path()).cells[0], QStringLiteral("/a.jpg"));
}

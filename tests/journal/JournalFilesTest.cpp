// Whose journal is whose: two editors at once, a killed one's journal offered once, kept aside or
// removed; a clean exit and a failed write.
#include "support/ScratchJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

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

// Writes that fail (a file size limit holds for root too): the file is marked behind at once, so a
// crash now is never recovered as current; each later change tries again, and the first that works
// writes the whole map.
TEST(JournalFiles, AFailedWriteMarksTheJournalBehindAndTheNextChangesTryAgain)
{
    QTemporaryDir dir;
    MapJournal journal(dir.path());
    QSignalSpy failed(&journal, &MapJournal::failed);
    QSignalSpy resumed(&journal, &MapJournal::resumed);
    journal.startMap(2, QStringLiteral("/maps/m.tlp"));
    journal.setCells({{0, QStringLiteral("/a.jpg")}});
    ASSERT_TRUE(journal.flush().ok());

    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full = limit;
    limit.rlim_cur = static_cast<rlim_t>(QFileInfo(journal.path()).size());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    journal.setCells({{1, QStringLiteral("/b.jpg")}});
    EXPECT_EQ(journal.flush().kind, JournalError::Kind::Write);
    const RecoveredMap behind = readJournal(journal.path());
    EXPECT_TRUE(behind.behind);
    EXPECT_FALSE(behind.whole());
    EXPECT_EQ(behind.cells, (CellTexts{QStringLiteral("/a.jpg"), {}, {}, {}}));
    journal.setCells({{2, QStringLiteral("/c.jpg")}});  // tried again, fails again: said once
    EXPECT_FALSE(journal.flush().ok());

    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    journal.setCells({{3, QStringLiteral("/d.jpg")}});
    EXPECT_TRUE(journal.flush().ok());
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(resumed.count(), 1);
    const RecoveredMap current = readJournal(journal.path());
    EXPECT_TRUE(current.whole() && current.unsaved && current.mapPath == QStringLiteral("/maps/m.tlp"));
    EXPECT_EQ(current.cells, (CellTexts{QStringLiteral("/a.jpg"), QStringLiteral("/b.jpg"), QStringLiteral("/c.jpg"),
                                       QStringLiteral("/d.jpg")}));
}

// What is named like a journal but is no regular file is never opened for reading (a FIFO would
// block) nor offered; a journal followed by a hole of 3 GB is read as far as it is whole, in little
// memory.
TEST(JournalFiles, AFifoIsNeverOpenedAndAHugeJournalIsReadAsAStream)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("editor-0123456789ab.journal"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(JournalRecovery(dir.path()).journals().isEmpty());
    EXPECT_EQ(readJournal(fifo).error.kind, JournalError::Kind::NotRegular);

    QString left;
    {
        MapJournal journal(dir.path());
        journal.startMap(2);
        journal.setCells({{3, QStringLiteral("/a.jpg")}});
        left = journal.path();
    }
    const qint64 whole = QFileInfo(left).size();
    ASSERT_TRUE(QFile::resize(left, whole + (qint64{3} << 30)));
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const RecoveredMap read = readJournal(left);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(read.cells, (CellTexts{{}, {}, {}, QStringLiteral("/a.jpg")}));
    EXPECT_TRUE(read.damaged);
    EXPECT_EQ(read.validBytes, whole);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kB more at its peak";
    EXPECT_EQ(JournalRecovery(dir.path()).journals(), QStringList{left});
}

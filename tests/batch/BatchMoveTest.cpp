#include "BatchTestSupport.h"

#include "batch/BatchMove.h"
#include "document/MapQuestions.h"
#include "batch/BatchSupport.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace tessera;

namespace {

class BatchMoveTest : public BatchTest {
protected:
    BatchMove mover() { return BatchMove(grid, platform, progress, report); }
    // The command as the menu runs it: its questions, then the moves.
    void run()
    {
        const BatchStart start = askBatchMoveStart(platform, grid);
        if (start.outcome == BatchStart::Go)
            mover().moveInto(start.folder);
    }
    QString keep(const char* name) { return QDir(folder("keep")).filePath(QString::fromLatin1(name)); }
};

}  // namespace

TEST_F(BatchMoveTest, MovesEachTileIntoTheFolderUnderItsName)
{
    grid.resize(2);
    const QString x = tile("a", "x.jpg");
    const QByteArray content = bytes(x);
    grid.setCellText(2, 2, x);
    platform.answerYes();
    platform.answerFolder(folder("keep"));
    run();
    EXPECT_FALSE(QFile::exists(x));
    EXPECT_EQ(bytes(keep("x.jpg")), content);
    EXPECT_EQ(grid.cellText(2, 2), keep("x.jpg"));
    EXPECT_EQ(report.text(), QStringLiteral("【%1】移动改为【%2】\n\n\n移动成功......\n").arg(x, keep("x.jpg")));
    EXPECT_EQ(platform.countShown(QStringLiteral("移动成功！")), 1);
}

TEST_F(BatchMoveTest, CancelOrNoDoesNothing)
{
    grid.resize(1);
    grid.setCellText(1, 1, tile("a", "x.jpg"));
    platform.answerNo();
    run();
    platform.answerYes();
    platform.answerCancel(DialogKind::Folder);
    run();
    EXPECT_EQ(report.window(), nullptr);
}

TEST_F(BatchMoveTest, SameNamesFromTwoFoldersNeverOverwrite)
{
    grid.resize(2);
    const QString first = tile("a", "x.jpg", 10);
    const QString second = tile("b", "x.jpg", 200);
    const QByteArray firstBytes = bytes(first), secondBytes = bytes(second);
    grid.setCellText(1, 1, first);
    grid.setCellText(1, 2, second);
    mover().moveInto(folder("keep"));
    EXPECT_EQ(bytes(keep("x.jpg")), firstBytes);
    EXPECT_EQ(bytes(second), secondBytes);  // stays where it is
    EXPECT_EQ(grid.cellText(1, 2), second);
    EXPECT_TRUE(report.text().contains(QStringLiteral("失败")));
    EXPECT_EQ(platform.countShown(QStringLiteral("移动成功！")), 0);
}

TEST_F(BatchMoveTest, SharedMissingAndResidentTiles)
{
    grid.resize(2);
    const QString shared = tile("a", "s.jpg");
    const QString resident = tile("keep", "r.jpg");
    grid.setCellText(1, 1, shared);
    grid.setCellText(1, 2, shared);
    grid.setCellText(2, 1, QDir(folder("a")).filePath(QStringLiteral("gone.jpg")));
    grid.setCellText(2, 2, resident);
    mover().moveInto(folder("keep"));
    EXPECT_EQ(grid.cellText(1, 1), keep("s.jpg"));
    EXPECT_EQ(grid.cellText(1, 2), keep("s.jpg"));
    EXPECT_EQ(grid.cellText(2, 1), keep("gone.jpg"));  // pointed into the folder
    EXPECT_EQ(grid.cellText(2, 2), resident);
    EXPECT_TRUE(QFile::exists(resident));  // never deleted
    const QString text = report.text();
    EXPECT_EQ(text.count(QStringLiteral("移动改为")), 1);
    EXPECT_FALSE(text.contains(QStringLiteral("gone.jpg")));
    EXPECT_EQ(platform.countShown(QStringLiteral("移动成功！")), 1);
}

TEST_F(BatchMoveTest, AFailedMoveKeepsItsCellAndIsReported)
{
    grid.resize(1);
    const QString x = tile("a", "x.jpg");
    grid.setCellText(1, 1, x);
    platform.failWhen(ScriptedPlatform::FileOp::Move, [](const QString&) { return true; }, QStringLiteral("磁盘空间不足"));
    mover().moveInto(folder("keep"));
    EXPECT_EQ(grid.cellText(1, 1), x);
    EXPECT_TRUE(QFile::exists(x));
    EXPECT_TRUE(report.text().contains(QStringLiteral("磁盘空间不足")));
    EXPECT_TRUE(report.text().contains(QStringLiteral("1项没有成功")));
}

TEST_F(BatchMoveTest, MovesAcrossFileSystems)
{
    QTemporaryDir shm(QStringLiteral("/dev/shm/tessera-move-XXXXXX"));
    struct stat disk {}, memory {};
    if (!shm.isValid() || ::stat(QFile::encodeName(root.path()).constData(), &disk) != 0
        || ::stat(QFile::encodeName(shm.path()).constData(), &memory) != 0 || disk.st_dev == memory.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    grid.resize(1);
    const QString x = tile("a", "x.jpg");
    const QByteArray content = bytes(x);
    grid.setCellText(1, 1, x);
    mover().moveInto(shm.path());
    const QString target = QDir(shm.path()).filePath(QStringLiteral("x.jpg"));
    EXPECT_EQ(grid.cellText(1, 1), target);
    EXPECT_EQ(bytes(target), content);
    EXPECT_FALSE(QFile::exists(x));
    EXPECT_EQ(QDir(shm.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(FileNamePart, TakesTheTextAfterTheLastSeparator)
{
    EXPECT_EQ(fileNamePart(QStringLiteral("/a/b/x.jpg")), QStringLiteral("x.jpg"));
    EXPECT_EQ(fileNamePart(QStringLiteral("x.jpg")), QStringLiteral("x.jpg"));
    EXPECT_EQ(fileNamePart(QStringLiteral("D:\\a\\x.jpg")), QStringLiteral("D:\\a\\x.jpg"));
    EXPECT_EQ(joinFolder(QStringLiteral("/"), QStringLiteral("1-1.jpg")), QStringLiteral("/1-1.jpg"));
    EXPECT_EQ(joinFolder(QStringLiteral("/out"), QStringLiteral("1-1.jpg")), QStringLiteral("/out/1-1.jpg"));
}

TEST_F(BatchMoveTest, PartialCopiesOfAKilledMoveGoAndLinksAreCopied)
{
    grid.resize(2);
    const QString b11 = tile("a", "b11.jpg", 40);
    const QString x = tile("b", "x.jpg", 90);
    const QByteArray b11Bytes = bytes(b11), xBytes = bytes(x);
    const QString partial = QDir(folder("keep")).filePath(partialFileName(QStringLiteral("b11.jpg")));
    const QString foreign = QDir(folder("keep")).filePath(partialFileName(QStringLiteral("other.jpg")));
    for (const QString& path : {partial, foreign}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8\xFF half");
    }
    const QString link = QDir(folder("a")).filePath(QStringLiteral("link.jpg"));
    ASSERT_EQ(::symlink("../b/x.jpg", QFile::encodeName(link).constData()), 0);
    grid.setCellText(1, 1, b11);
    grid.setCellText(1, 2, link);
    mover().moveInto(folder("keep"));
    EXPECT_EQ(bytes(keep("b11.jpg")), b11Bytes);
    EXPECT_EQ(bytes(keep("link.jpg")), xBytes);
    EXPECT_FALSE(QFileInfo(keep("link.jpg")).isSymLink());
    EXPECT_EQ(bytes(link), xBytes);  // the link and its file stay
    EXPECT_EQ(grid.cellText(1, 2), keep("link.jpg"));
    EXPECT_EQ(filesIn("keep"), (QStringList{QFileInfo(foreign).fileName(), "b11.jpg", "link.jpg"}));
    EXPECT_EQ(platform.countShown(QStringLiteral("移动成功！")), 1);
}

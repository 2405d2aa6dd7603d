#include "BatchTestSupport.h"

#include "render/TileImages.h"
#include "files/OutputFile.h"
#include "document/MapQuestions.h"
#include "batch/BatchRename.h"

#include <unistd.h>

using namespace tessera;

namespace {

class BatchRenameTest : public BatchTest {
protected:
    BatchRename renamer(bool fill = false) { return BatchRename(grid, platform, progress, report, fill); }
    // The command as the menu runs it: its questions, then the renames.
    void run()
    {
        const BatchStart start = askBatchRenameStart(platform, grid);
        if (start.outcome == BatchStart::Go)
            renamer().renameInto(start.folder);
    }
    QString out(const char* name) { return QDir(folder("out")).filePath(QString::fromLatin1(name)); }
};

}  // namespace

TEST_F(BatchRenameTest, RenamesEachTileAfterItsCell)
{
    grid.resize(2);
    const QString x = tile("a", "x.jpg");
    const QByteArray content = bytes(x);
    grid.setCellText(1, 1, x);
    platform.answerYes();
    platform.answerFolder(folder("out"));
    run();

    EXPECT_FALSE(QFile::exists(x));
    EXPECT_EQ(bytes(out("1-1.jpg")), content);
    EXPECT_EQ(grid.cellText(1, 1), out("1-1.jpg"));
    for (auto [r, c] : {std::pair{1, 2}, {2, 1}, {2, 2}})
        EXPECT_EQ(grid.cellText(r, c), QString());
    const QString text = report.text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("【%1】更名改为【%2】\n").arg(x, out("1-1.jpg"))));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\n\n更名成功......\n")));
    EXPECT_EQ(platform.countShown(QStringLiteral("更名成功！")), 1);
    EXPECT_EQ(platform.shown().last().buttons, MessageButtons::OkInfo);
    EXPECT_EQ(progress.maximum(), 4);
    EXPECT_EQ(filesIn("out"), QStringList{QStringLiteral("1-1.jpg")});
}

TEST_F(BatchRenameTest, NoOrCancelChangesNothing)
{
    grid.resize(1);
    const QString x = tile("a", "x.jpg");
    grid.setCellText(1, 1, x);
    platform.answerNo();
    run();
    platform.answerYes();
    platform.answerCancel(DialogKind::Folder);
    run();
    EXPECT_TRUE(QFile::exists(x));
    EXPECT_EQ(report.window(), nullptr);
}

TEST_F(BatchRenameTest, WithoutAMapItSaysSo)
{
    platform.answerYes();
    platform.answerFolder(folder("out"));
    run();
    EXPECT_EQ(platform.countShown(QStringLiteral("行数不能小于1，请重新输入！")), 1);
    EXPECT_EQ(report.window(), nullptr);
}

TEST_F(BatchRenameTest, PlaceholdersFillTheEmptyCellsAsRealJpegs)
{
    grid.resize(2);
    grid.setCellText(1, 1, tile("a", "x.jpg"));
    renamer(true).renameInto(folder("out"));
    EXPECT_EQ(filesIn("out"), (QStringList{"1-1.jpg", "1-2.jpg", "2-1.jpg", "2-2.jpg"}));
    for (auto [r, c] : {std::pair{1, 2}, {2, 1}, {2, 2}}) {
        const QString path = out(qPrintable(QStringLiteral("%1-%2.jpg").arg(r).arg(c)));
        EXPECT_EQ(grid.cellText(r, c), path);
        const QByteArray data = bytes(path);
        ASSERT_TRUE(data.startsWith("\xFF\xD8\xFF"));
        const QImage image = decodeTileImage(data, QSize(400, 300));
        ASSERT_EQ(image.size(), QSize(400, 300));
        EXPECT_TRUE(near(image.pixel(5, 5), QColor(128, 128, 128), 4));
        EXPECT_TRUE(near(image.pixel(395, 295), QColor(128, 128, 128), 4));
        int white = 0;
        for (int y = 100; y < 190; ++y)
            for (int x = 25; x < 380; ++x)
                white += qGray(image.pixel(x, y)) > 240;
        EXPECT_GT(white, 500);
    }
    // A second run into the same folder leaves everything where it is.
    const QStringList before = filesIn("out");
    const QByteArray first = bytes(out("1-1.jpg"));
    renamer(true).renameInto(folder("out"));
    EXPECT_EQ(filesIn("out"), before);
    EXPECT_EQ(bytes(out("1-1.jpg")), first);
    EXPECT_EQ(grid.cellText(2, 2), out("2-2.jpg"));
    EXPECT_EQ(report.text().count(QStringLiteral("更名改为")), 8);
}

TEST_F(BatchRenameTest, ATileUsedByManyCellsIsCopiedForTheLaterOnes)
{
    grid.resize(10);
    const QString grass = tile("a", "grass.jpg");
    const QByteArray content = bytes(grass);
    for (int r = 1; r <= 10; ++r)
        for (int c = 1; c <= 10; ++c)
            grid.setCellText(r, c, grass);
    renamer().renameInto(folder("out"));
    EXPECT_EQ(filesIn("out").size(), 100);
    for (int r = 1; r <= 10; ++r)
        for (int c = 1; c <= 10; ++c) {
            const QString target = out(qPrintable(QStringLiteral("%1-%2.jpg").arg(r).arg(c)));
            ASSERT_EQ(grid.cellText(r, c), target);
            ASSERT_EQ(bytes(target), content);
        }
    EXPECT_FALSE(QFile::exists(grass));
}

TEST_F(BatchRenameTest, SwapsAndCyclesGoThroughTemporaryNames)
{
    grid.resize(2);
    const QString a = tile("out", "1-2.jpg", 10);
    const QString b = tile("out", "2-1.jpg", 200);
    const QString c = tile("out", "1-1.jpg", 90);
    const QByteArray bytesA = bytes(a), bytesB = bytes(b), bytesC = bytes(c);
    grid.setCellText(1, 2, b);  // wants 1-2, which holds the tile of (2, 1)
    grid.setCellText(2, 1, c);  // wants 2-1
    grid.setCellText(1, 1, a);  // wants 1-1: a cycle of three
    renamer().renameInto(folder("out"));
    EXPECT_EQ(bytes(out("1-2.jpg")), bytesB);
    EXPECT_EQ(bytes(out("2-1.jpg")), bytesC);
    EXPECT_EQ(bytes(out("1-1.jpg")), bytesA);
    EXPECT_EQ(filesIn("out"), (QStringList{"1-1.jpg", "1-2.jpg", "2-1.jpg"}));
    EXPECT_EQ(platform.countShown(QStringLiteral("更名成功！")), 1);
}

TEST_F(BatchRenameTest, NeverOverwritesAnExistingFile)
{
    grid.resize(2);
    const QString x = tile("a", "x.jpg");
    const QString stranger = tile("out", "1-1.jpg", 7);
    const QString squatter = tile("out", "1-2.jpg", 8);
    const QByteArray strangerBytes = bytes(stranger), squatterBytes = bytes(squatter);
    grid.setCellText(1, 1, x);
    renamer(true).renameInto(folder("out"));
    EXPECT_EQ(bytes(stranger), strangerBytes);
    EXPECT_EQ(bytes(squatter), squatterBytes);  // no placeholder over it
    EXPECT_TRUE(QFile::exists(x));
    EXPECT_EQ(grid.cellText(1, 1), x);
    EXPECT_EQ(grid.cellText(1, 2), QString());
    EXPECT_EQ(grid.cellText(2, 2), out("2-2.jpg"));
    const QString text = report.text();
    EXPECT_TRUE(text.contains(QStringLiteral("失败")));
    EXPECT_TRUE(text.contains(QStringLiteral("2项没有成功")));
    EXPECT_EQ(platform.countShown(QStringLiteral("更名成功！")), 0);
    EXPECT_EQ(platform.shown().last().buttons, MessageButtons::OkExclamation);
    EXPECT_FALSE(filesIn("out").join(u' ').contains(QStringLiteral(".tmp")));
}

TEST_F(BatchRenameTest, FailingRenamesKeepEveryCellOnARealFile)
{
    grid.resize(2);
    const QString x = tile("a", "x.jpg", 1), y = tile("a", "y.jpg", 2), z = tile("a", "z.jpg", 3);
    grid.setCellText(1, 1, x);
    grid.setCellText(1, 2, y);
    grid.setCellText(2, 1, y);  // a copy of y too
    grid.setCellText(2, 2, z);
    // The target folder refuses everything, as a read-only folder would.
    const QString target = folder("out");
    platform.failWhen(ScriptedPlatform::FileOp::Rename, [](const QString&) { return true; }, QStringLiteral("没有访问权限"));
    platform.failWhen(ScriptedPlatform::FileOp::Copy, [](const QString&) { return true; }, QStringLiteral("没有访问权限"));
    renamer().renameInto(target);
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 2; ++c)
            EXPECT_TRUE(QFile::exists(grid.cellText(r, c))) << r << "," << c;
    EXPECT_EQ(grid.cellText(2, 1), y);
    EXPECT_EQ(report.text().count(QStringLiteral("没有访问权限")), 4);
    EXPECT_TRUE(filesIn("out").isEmpty());
}

TEST_F(BatchRenameTest, MissingFilesAreEmptiedAndNonImagesLeftAlone)
{
    grid.resize(2);
    grid.setCellText(1, 1, QDir(folder("a")).filePath(QStringLiteral("gone.jpg")));
    const QString script = QDir(folder("home")).filePath(QStringLiteral(".bashrc"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("export PATH=$PATH\n");
    f.close();
    grid.setCellText(1, 2, script);
    renamer().renameInto(folder("out"));
    EXPECT_EQ(grid.cellText(1, 1), QString());
    EXPECT_EQ(grid.cellText(1, 2), script);
    EXPECT_TRUE(QFile::exists(script));
    const QString text = report.text();
    EXPECT_TRUE(text.contains(QStringLiteral("gone.jpg】文件不存在")));
    EXPECT_TRUE(text.contains(QStringLiteral(".bashrc】不是图片文件")));
    EXPECT_TRUE(text.contains(QStringLiteral("2项没有成功")));
    EXPECT_EQ(platform.countShown(QStringLiteral("更名成功！")), 0);
    EXPECT_TRUE(filesIn("out").isEmpty());
}

TEST_F(BatchRenameTest, ATargetHeldByAnotherFileKeepsItsChainWhereItWas)
{
    grid.resize(2);
    const QString q = tile("D", "q.jpg", 10);
    const QString own = tile("out", "1-1.jpg", 120);
    const QString stranger = tile("out", "1-2.jpg", 230);
    const QByteArray qBytes = bytes(q), ownBytes = bytes(own), strangerBytes = bytes(stranger);
    grid.setCellText(1, 1, q);    // wants 1-1, held by the tile of (1, 2)
    grid.setCellText(1, 2, own);  // wants 1-2, held by a file of the user's
    renamer().renameInto(folder("out"));
    EXPECT_EQ(grid.cellText(1, 1), q);
    EXPECT_EQ(grid.cellText(1, 2), own);
    EXPECT_EQ(bytes(q), qBytes);
    EXPECT_EQ(bytes(own), ownBytes);
    EXPECT_EQ(bytes(stranger), strangerBytes);
    EXPECT_EQ(filesIn("out"), (QStringList{"1-1.jpg", "1-2.jpg"}));
    EXPECT_EQ(report.text().count(QStringLiteral("目标文件已存在")), 2);
}

TEST_F(BatchRenameTest, ACycleThatCannotFinishTurnsBack)
{
    grid.resize(2);
    const QString a = tile("out", "1-2.jpg", 10), b = tile("out", "2-1.jpg", 200), c = tile("out", "1-1.jpg", 90);
    const QByteArray bytesA = bytes(a), bytesB = bytes(b), bytesC = bytes(c);
    grid.setCellText(1, 2, b);
    grid.setCellText(2, 1, c);
    grid.setCellText(1, 1, a);
    platform.failWhen(ScriptedPlatform::FileOp::Rename, [&](const QString& from) { return from == c; },
                      QStringLiteral("文件不可更改"));
    renamer().renameInto(folder("out"));
    EXPECT_EQ(bytes(a), bytesA);
    EXPECT_EQ(bytes(b), bytesB);
    EXPECT_EQ(bytes(c), bytesC);
    EXPECT_EQ(filesIn("out"), (QStringList{"1-1.jpg", "1-2.jpg", "2-1.jpg"}));
    EXPECT_EQ(grid.cellText(1, 1), a);
    EXPECT_EQ(grid.cellText(1, 2), b);
    EXPECT_EQ(grid.cellText(2, 1), c);
    EXPECT_TRUE(report.text().contains(QStringLiteral("3项没有成功")));
}

TEST_F(BatchRenameTest, LeftoversOfAnInterruptedRunArePutBackOrCleared)
{
    grid.resize(2);
    const QString waiting = tile("out", "1-1.批量更名暂存.jpg", 40);
    const QByteArray waitingBytes = bytes(waiting);
    const QString x = tile("a", "x.jpg");
    // A writer at work on a name the batch tidies: its partial file is not a leftover.
    OutputFile running(out("1-2.jpg"));
    ASSERT_TRUE(running.open());
    const QString held = filesIn("out").filter(QStringLiteral(".part")).value(0);
    const QString partial = QDir(folder("out")).filePath(partialFileName(QStringLiteral("1-2.jpg")));
    const QString foreign = QDir(folder("out")).filePath(partialFileName(QStringLiteral("9-9.jpg")));
    for (const QString& path : {partial, foreign}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    grid.setCellText(1, 1, out("1-1.jpg"));
    grid.setCellText(1, 2, x);
    renamer().renameInto(folder("out"));
    EXPECT_TRUE(filesIn("out").contains(held)) << held.toStdString();
    running.discard();
    EXPECT_EQ(bytes(out("1-1.jpg")), waitingBytes);
    EXPECT_EQ(grid.cellText(1, 1), out("1-1.jpg"));
    EXPECT_EQ(grid.cellText(1, 2), out("1-2.jpg"));
    EXPECT_EQ(filesIn("out"), (QStringList{QFileInfo(foreign).fileName(), "1-1.jpg", "1-2.jpg"}));  // not this map's
    EXPECT_TRUE(report.text().contains(QStringLiteral("已恢复为【%1】").arg(out("1-1.jpg"))));
    EXPECT_EQ(platform.countShown(QStringLiteral("更名成功！")), 1);
}

TEST_F(BatchRenameTest, LinkedTilesAreCopiedAndOneFileUnderTwoPathsIsOneTile)
{
    grid.resize(2);
    const QString x = tile("b", "x.jpg", 30);
    const QString y = tile("real", "y.jpg", 200);
    const QByteArray xBytes = bytes(x), yBytes = bytes(y);
    const QString link = QDir(folder("a")).filePath(QStringLiteral("link.jpg"));
    ASSERT_EQ(::symlink("../b/x.jpg", QFile::encodeName(link).constData()), 0);
    const QString alias = root.filePath(QStringLiteral("alias"));
    ASSERT_EQ(::symlink(QFile::encodeName(folder("real")).constData(), QFile::encodeName(alias).constData()), 0);
    grid.setCellText(1, 1, link);
    grid.setCellText(1, 2, y);
    grid.setCellText(2, 1, QDir(alias).filePath(QStringLiteral("y.jpg")));
    renamer().renameInto(folder("out"));
    EXPECT_EQ(bytes(out("1-1.jpg")), xBytes);
    EXPECT_FALSE(QFileInfo(out("1-1.jpg")).isSymLink());
    EXPECT_EQ(bytes(link), xBytes);  // the link and its file stay
    EXPECT_EQ(bytes(out("1-2.jpg")), yBytes);
    EXPECT_EQ(bytes(out("2-1.jpg")), yBytes);
    EXPECT_EQ(grid.cellText(1, 1), out("1-1.jpg"));
    EXPECT_EQ(grid.cellText(1, 2), out("1-2.jpg"));
    EXPECT_EQ(grid.cellText(2, 1), out("2-1.jpg"));
    EXPECT_TRUE(report.text().contains(QStringLiteral("内容已复制为【%1】").arg(out("1-1.jpg"))));
    EXPECT_EQ(platform.countShown(QStringLiteral("更名成功！")), 1);
}

// Faults from outside: a killed export or rename, a full disk, a file that vanishes mid-way.
#include "BatchTestSupport.h"
#include "tools/LargeMap.h"

#include "model/MapPathFile.h"
#include "model/MapText.h"
#include "batch/BatchMove.h"
#include "batch/BatchRename.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QThread>

#include <sys/mount.h>

using namespace tessera;

namespace {

// A tiny tmpfs that fills up quickly; skipped where mounting is not allowed.
class FullDisk : public BatchTest {
protected:
    void SetUp() override
    {
        mountPoint = folder("small");
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here";
        mounted = true;
    }
    void TearDown() override
    {
        if (mounted)
            ::umount(QFile::encodeName(mountPoint).constData());
    }
    QString mountPoint;
    bool mounted = false;
};

}  // namespace

TEST_F(BatchTest, AKilledExportLeavesTheOldFileOrTheNewOneWhole)
{
    const QString path = QDir(folder("maps")).filePath(QStringLiteral("map.tlp"));
    grid.resize(2);
    grid.setCellText(1, 1, QStringLiteral("/old.jpg"));
    ASSERT_TRUE(writeMapPathFile(platform, path, grid.cells(), grid.mapSize(), progress).ok());
    const QByteArray before = bytes(path);
    TileGrid large;
    fillLargeMap(large);
    NullProgress quiet;
    const QByteArray after = encodeMapCells(large.cells(), large.mapSize(), quiet);

    QRandomGenerator random(7);
    for (int round = 0; round < 6; ++round) {
        QProcess child;
        child.start(QStringLiteral(EXPORT_CHILD), {path});
        ASSERT_TRUE(child.waitForStarted());
        ASSERT_TRUE(child.waitForReadyRead(20000));
        if (round == 5) {
            // The last round lets one export complete, so both outcomes are seen.
            EXPECT_TRUE(QTest::qWaitFor([&] { return bytes(path) == after; }, 30000));
        } else {
            QThread::msleep(random.bounded(5, 250));
        }
        child.kill();
        child.waitForFinished();
        const QByteArray now = bytes(path);
        ASSERT_TRUE(now == before || now == after) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST_F(FullDisk, ExportToAFullDiskFailsAndKeepsTheOldFile)
{
    const QString path = QDir(mountPoint).filePath(QStringLiteral("map.tlp"));
    grid.resize(1);
    ASSERT_TRUE(writeMapPathFile(platform, path, grid.cells(), grid.mapSize(), progress).ok());
    const QByteArray before = bytes(path);
    fillLargeMap(grid);
    const MapFileResult full = writeMapPathFile(platform, path, grid.cells(), grid.mapSize(), progress);
    EXPECT_EQ(full.failure.kind, FailureKind::MapFileUnwritable);
    EXPECT_EQ(bytes(path), before);
    EXPECT_EQ(full.failure.detail, QStringLiteral("磁盘空间不足"));
    EXPECT_EQ(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("map.tlp")});
}

TEST_F(FullDisk, MovingOntoAFullDiskKeepsEveryCellOnARealFile)
{
    grid.resize(10);
    for (int i = 0; i < 100; ++i) {
        QImage noise(120, 90, QImage::Format_RGB32);
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x)
                noise.setPixel(x, y, QRandomGenerator::global()->generate());
        const QString path = QDir(folder("src")).filePath(QStringLiteral("t%1.jpg").arg(i));
        ASSERT_TRUE(noise.save(path, "JPG", 95));
        grid.setCellText(i / 10 + 1, i % 10 + 1, path);
    }
    BatchMove mover(grid, platform, progress, report);
    mover.moveInto(mountPoint);
    EXPECT_GT(mover.failures(), 0);
    for (int r = 1; r <= 10; ++r)
        for (int c = 1; c <= 10; ++c)
            ASSERT_TRUE(QFile::exists(grid.cellText(r, c))) << r << "," << c;
    EXPECT_TRUE(report.text().contains(QStringLiteral("没有成功")));
}

TEST_F(FullDisk, PlaceholdersOnAFullDiskAreReported)
{
    grid.resize(20);
    BatchRename renamer(grid, platform, progress, report, true);
    renamer.renameInto(mountPoint);
    for (const QFileInfo& written : QDir(mountPoint).entryInfoList(QDir::Files | QDir::Hidden))
        EXPECT_GT(written.size(), 0) << written.fileName().toStdString();  // never an empty picture
    EXPECT_GT(renamer.failures(), 0);
    for (int r = 1; r <= 20; ++r)
        for (int c = 1; c <= 20; ++c) {
            const QString cell = grid.cellText(r, c);
            ASSERT_TRUE(cell.isEmpty() || QFile::exists(cell)) << r << "," << c;
        }
    EXPECT_EQ(platform.shown().last().buttons, MessageButtons::OkExclamation);
}

TEST_F(BatchTest, AFileThatVanishesBeforeItsRenameIsReportedAndKept)
{
    grid.resize(1);
    const QString x = tile("a", "x.jpg");
    grid.setCellText(1, 1, x);
    // The file goes away between the planning and the rename.
    platform.failWhen(ScriptedPlatform::FileOp::Rename, [](const QString& from) {
        QFile::remove(from);
        return false;
    });
    BatchRename renamer(grid, platform, progress, report, {});
    renamer.renameInto(folder("out"));
    EXPECT_EQ(renamer.failures(), 1);
    EXPECT_EQ(grid.cellText(1, 1), x);
    EXPECT_TRUE(report.text().contains(QStringLiteral("不存在")));
    EXPECT_TRUE(QDir(folder("out")).isEmpty());
}

TEST_F(BatchTest, AKilledRenameLeavesAtMostOneTileAsideInSightAndTheNextRunPutsItBack)
{
    // Each row of the shifted map is one cycle of eight renames; the child dies before rename k.
    constexpr int n = 8;
    const QString out = folder("out");
    auto shiftedMap = [&] {
        grid.resize(0);
        grid.resize(n);
        for (int r = 1; r <= n; ++r)
            for (int c = 1; c <= n; ++c)
                grid.setCellText(r, c, QDir(out).filePath(QStringLiteral("%1-%2.jpg").arg(r).arg(c % n + 1)));
    };
    auto check = [&](int k) {
        int aside = 0;
        QSet<QByteArray> contents;
        for (const QString& name : filesIn("out")) {
            EXPECT_FALSE(name.startsWith(u'.')) << k << ": " << name.toStdString();
            aside += name.contains(QStringLiteral("批量更名暂存"));
            contents.insert(bytes(QDir(out).filePath(name)));
        }
        EXPECT_EQ(contents.size(), n * n) << k;  // not one tile lost
        return aside;
    };
    for (int k : {1, 2, 5, 9, 10, 31, 72}) {
        QDir(out).removeRecursively();
        for (int r = 1; r <= n; ++r)
            for (int c = 1; c <= n; ++c) {
                QFile tile(QDir(folder("out")).filePath(QStringLiteral("%1-%2.jpg").arg(r).arg(c)));
                ASSERT_TRUE(tile.open(QIODevice::WriteOnly));
                tile.write(QByteArray("\xFF\xD8\xFF tile ") + QByteArray::number(r * 100 + c));
            }
        QProcess child;
        child.start(QStringLiteral(RENAME_CHILD), {out, QString::number(n), QString::number(k)});
        ASSERT_TRUE(child.waitForFinished(30000));
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << k;
        EXPECT_LE(check(k), 1) << "killed before rename " << k;

        shiftedMap();  // the map as it was reloaded
        const qsizetype before = report.text().size();
        BatchRename(grid, platform, progress, report, {}).renameInto(out);
        const int left = check(k);
        EXPECT_EQ(left, report.text().mid(before).contains(QStringLiteral("未能恢复")) ? 1 : 0) << k;
        if (k <= 2) {
            EXPECT_EQ(left, 0) << k;  // nothing had moved into its place yet
        }
        for (int r = 1; r <= n; ++r)
            for (int c = 1; c <= n; ++c)
                ASSERT_TRUE(grid.cellText(r, c).isEmpty() || QFile::exists(grid.cellText(r, c))) << k;
    }
}

#include "files/Progress.h"
#include "support/ScriptedPlatform.h"
#include "document/MapFileCommands.h"
#include "support/MapEdits.h"
#include "model/TileGrid.h"

#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

class MapFileCommandsTest : public testing::Test {
protected:
    MapFileCommandsTest() : file(grid, platform, platform, progress, takersInto(grid))
    {
        QObject::connect(&file, &MapFileCommands::imported, [this] { ++redraws; });
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray bytesOf(const QString& name) { return platform.faults().readFile(path(name)).data; }
    void put(const QString& name, const QByteArray& bytes)
    {
        ASSERT_TRUE(platform.faults().writeFileAtomic(path(name), bytes));
    }
    bool exportAs(const QString& name)
    {
        platform.answerSave(path(name));
        return file.exportGrid();
    }
    bool importFrom(const QString& name)
    {
        platform.answerOpen(path(name));
        return file.importGrid();
    }

    QTemporaryDir dir;
    TileGrid grid;
    ScriptedPlatform platform;
    CountingProgress progress;
    MapFileCommands file;
    int redraws = 0;
};

QString gbk(const char* bytes)
{
    QStringDecoder decoder("GB18030");
    return decoder.decode(QByteArrayView(bytes));
}

}  // namespace

TEST_F(MapFileCommandsTest, ExportWritesTheExactBytes)
{
    grid.resize(1);
    ASSERT_TRUE(exportAs(QStringLiteral("one.tlp")));
    EXPECT_EQ(bytesOf(QStringLiteral("one.tlp")), QByteArray("\xBF\xD5\r\n"));
    EXPECT_EQ(platform.messages(), QStringList{QStringLiteral("导出成功！")});
    EXPECT_EQ(platform.shown().last().title, QStringLiteral("信息："));

    grid.resize(25);
    ASSERT_TRUE(exportAs(QStringLiteral("empty25.tlp")));
    EXPECT_EQ(bytesOf(QStringLiteral("empty25.tlp")).size(), 1900);
    EXPECT_EQ(progress.maximum(), 625);
    EXPECT_EQ(progress.position(), 625);

    grid.resize(2);
    grid.setCellText(2, 1, QStringLiteral("D:\\m\\a.jpg"));
    ASSERT_TRUE(exportAs(QStringLiteral("two.tlp")));
    EXPECT_EQ(bytesOf(QStringLiteral("two.tlp")), QByteArray("\xBF\xD5|\xBF\xD5\r\nD:\\m\\a.jpg|\xBF\xD5\r\n"));
}

TEST_F(MapFileCommandsTest, DialogsOfferTheMapFileTypesAndAddTheExtension)
{
    grid.resize(1);
    ASSERT_TRUE(exportAs(QStringLiteral("noext")));
    EXPECT_FALSE(bytesOf(QStringLiteral("noext.tlp")).isEmpty());
    EXPECT_EQ(platform.lastFileDialog().filters,
              QStringLiteral("青石地图路径文件（TLP）|*.tlp|文本文档（TXT）|*.txt|所有文件|*.*"));
    EXPECT_EQ(platform.lastFileDialog().defaultExtension, QStringLiteral("tlp"));
}

TEST_F(MapFileCommandsTest, RoundTripKeepsEveryPath)
{
    const QString with7C = gbk("\x81\x7C");  // GBK characters whose second byte is "|" or "\"
    const QString with5C = gbk("\x95\x5C");
    ASSERT_EQ(with7C.size(), 1);
    ASSERT_EQ(with5C.size(), 1);
    grid.resize(4);
    grid.setCellText(1, 1, QStringLiteral("/home/用户/地图/") + with7C + QStringLiteral("1.jpg"));
    grid.setCellText(1, 4, QStringLiteral("/tiles/") + with5C + QStringLiteral(".jpg"));
    grid.setCellText(2, 2, QStringLiteral(" spaced name .jpg "));
    grid.setCellText(3, 3, QStringLiteral("/emoji/😀/é.jpg"));  // outside GBK, kept by GB18030
    grid.setCellText(4, 1, QStringLiteral("relative/a.JPG"));
    TileGrid original;
    original.resize(4);
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            original.setCellText(r, c, grid.cellText(r, c));

    ASSERT_TRUE(exportAs(QStringLiteral("map.tlp")));
    grid.rebuild();
    grid.setCellText(4, 4, QStringLiteral("stale"));
    ASSERT_TRUE(importFrom(QStringLiteral("map.tlp")));
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            EXPECT_EQ(grid.cellText(r, c), original.cellText(r, c)) << r << "," << c;
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(platform.messages().last(), QStringLiteral("导入成功，请按刷新界面按钮！"));
    put(QStringLiteral("lf.tlp"), "a.jpg|b.jpg\nc.jpg\n");  // read as one line, and said
    ASSERT_TRUE(importFrom(QStringLiteral("lf.tlp")));
    EXPECT_EQ(platform.messages().last(), QStringLiteral("导入成功，请按刷新界面按钮！\n行尾只有 LF，整个文件被读成了一行。"));
}

TEST_F(MapFileCommandsTest, ImportCutsOrPadsToTheMapSize)
{
    QByteArray big;
    for (int r = 1; r <= 30; ++r) {
        for (int c = 1; c <= 30; ++c)
            big += (c > 1 ? "|" : "") + QByteArray::number(r) + "-" + QByteArray::number(c);
        big += "\r\n";
    }
    put(QStringLiteral("big.tlp"), big);
    grid.resize(25);
    ASSERT_TRUE(importFrom(QStringLiteral("big.tlp")));
    EXPECT_EQ(grid.cellText(25, 25), QStringLiteral("25-25"));
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("1-1"));
    EXPECT_EQ(progress.maximum(), 900);  // every field of the file is counted

    QByteArray small;
    for (int r = 1; r <= 10; ++r) {
        for (int c = 1; c <= 10; ++c)
            small += (c > 1 ? "|" : "") + QByteArray("t");
        small += "\r\n";
    }
    put(QStringLiteral("small.tlp"), small);
    ASSERT_TRUE(importFrom(QStringLiteral("small.tlp")));
    int filled = 0;
    for (int r = 1; r <= 25; ++r)
        for (int c = 1; c <= 25; ++c)
            filled += !grid.cellText(r, c).isEmpty();
    EXPECT_EQ(filled, 100);
    EXPECT_EQ(grid.cellText(10, 10), QStringLiteral("t"));
    EXPECT_EQ(grid.cellText(11, 1), QString());
}

TEST_F(MapFileCommandsTest, UnreadableFileKeepsTheGridAndSaysWhy)
{
    grid.resize(2);
    grid.setCellText(1, 1, QStringLiteral("/keep/me.jpg"));
    EXPECT_FALSE(importFrom(QStringLiteral("missing.tlp")));
    EXPECT_FALSE(importFrom(QStringLiteral(".")));  // a folder
    put(QStringLiteral("locked.tlp"), "x");
    platform.failWhen(ScriptedPlatform::FileOp::Read, [](const QString& p) { return p.endsWith("locked.tlp"); },
                      QStringLiteral("没有访问权限"));
    EXPECT_FALSE(importFrom(QStringLiteral("locked.tlp")));
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("/keep/me.jpg"));
    EXPECT_EQ(redraws, 0);
    const QStringList messages = platform.messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].contains(path(QStringLiteral("missing.tlp"))));
    EXPECT_TRUE(messages[2].contains(QStringLiteral("没有访问权限")));
    EXPECT_EQ(platform.countShown(QStringLiteral("导入成功，请按刷新界面按钮！")), 0);
}

TEST_F(MapFileCommandsTest, EmptyFileGivesAnEmptyGridAndSuccess)
{
    grid.resize(2);
    grid.setCellText(1, 1, QStringLiteral("/gone.jpg"));
    put(QStringLiteral("empty.tlp"), QByteArray());
    ASSERT_TRUE(importFrom(QStringLiteral("empty.tlp")));
    EXPECT_EQ(grid.cellText(1, 1), QString());
    EXPECT_EQ(platform.countShown(QStringLiteral("导入成功，请按刷新界面按钮！")), 1);
}

TEST_F(MapFileCommandsTest, FilesThatAreNotTextAreRefusedAndChangeNothing)
{
    grid.resize(2);
    grid.setCellText(1, 1, QStringLiteral("/keep.jpg"));
    put(QStringLiteral("u16.txt"), QByteArray("\xFF\xFE" "a\0\r\0\n\0", 8));
    put(QStringLiteral("tile.jpg"), QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11));
    for (const QString& name : {QStringLiteral("u16.txt"), QStringLiteral("tile.jpg")}) {
        EXPECT_FALSE(importFrom(name));
        EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("/keep.jpg"));
        EXPECT_TRUE(platform.messages().last().contains(name));
    }
    EXPECT_TRUE(platform.messages().last().contains(QStringLiteral("图片")));
    EXPECT_EQ(redraws, 0);
    EXPECT_EQ(platform.messages().size(), 2);
}

TEST_F(MapFileCommandsTest, AFullMapOfGbkPathsImportsBackAsWritten)
{
    grid.resize(2);
    for (int r = 1; r <= 2; ++r) {
        for (int c = 1; c <= 2; ++c)
            grid.setCellText(r, c, QStringLiteral("/home/user/图片/%1-%2.jpg").arg(r).arg(c));
    }
    ASSERT_TRUE(exportAs(QStringLiteral("map.tlp")));
    grid.resize(2);
    ASSERT_TRUE(importFrom(QStringLiteral("map.tlp")));
    for (int r = 1; r <= 2; ++r) {
        for (int c = 1; c <= 2; ++c)
            EXPECT_EQ(grid.cellText(r, c), QStringLiteral("/home/user/图片/%1-%2.jpg").arg(r).arg(c));
    }
    EXPECT_EQ(platform.messages().last(), QStringLiteral("导入成功，请按刷新界面按钮！"));
}

TEST_F(MapFileCommandsTest, CancelDoesNothing)
{
    grid.resize(2);
    grid.setCellText(1, 1, QStringLiteral("/keep.jpg"));
    platform.answerCancel(DialogKind::OpenFile);
    EXPECT_FALSE(file.importGrid());
    platform.answerCancel(DialogKind::SaveFile);
    EXPECT_FALSE(file.exportGrid());
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("/keep.jpg"));
    EXPECT_TRUE(platform.messages().isEmpty());
    EXPECT_EQ(progress.starts(), 0);
}

TEST_F(MapFileCommandsTest, FailedExportSaysSoAndKeepsTheOldFile)
{
    grid.resize(1);
    put(QStringLiteral("old.tlp"), "old content");
    platform.failWhen(ScriptedPlatform::FileOp::Write, [](const QString&) { return true; },
                      QStringLiteral("磁盘空间不足"));
    EXPECT_FALSE(exportAs(QStringLiteral("old.tlp")));
    platform.clearFailures();
    EXPECT_EQ(bytesOf(QStringLiteral("old.tlp")), QByteArray("old content"));
    ASSERT_EQ(platform.messages().size(), 1);
    EXPECT_TRUE(platform.messages()[0].contains(QStringLiteral("磁盘空间不足")));

    // A write-protected file, after Yes to the dialog's replace question: as root too.
    ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("old.tlp")), QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_FALSE(exportAs(QStringLiteral("old.tlp")));
    EXPECT_EQ(bytesOf(QStringLiteral("old.tlp")), QByteArray("old content"));
    EXPECT_EQ(platform.messages().constLast(),
              QStringLiteral("导出失败，文件没有写入：\n%1\n没有写入权限").arg(path(QStringLiteral("old.tlp"))));
    EXPECT_EQ(platform.countShown(QStringLiteral("导出成功！")), 0);
}

TEST_F(MapFileCommandsTest, CellsThatCannotBeStoredAreNamedBeforeWriting)
{
    grid.resize(3);
    grid.setCellText(2, 3, QStringLiteral("a|b.jpg"));
    platform.answerSave(path(QStringLiteral("map.tlp")));
    platform.answerNo();
    EXPECT_FALSE(file.exportGrid());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("map.tlp"))));
    ASSERT_EQ(platform.messages().size(), 1);
    EXPECT_TRUE(platform.messages()[0].contains(QStringLiteral("第2行第3列")));
    EXPECT_EQ(platform.shown().last().buttons, MessageButtons::YesNoInfo);

    platform.answerSave(path(QStringLiteral("map.tlp")));
    platform.answerYes();
    EXPECT_TRUE(file.exportGrid());
    EXPECT_TRUE(bytesOf(QStringLiteral("map.tlp")).contains("a|b.jpg"));
    EXPECT_TRUE(platform.unanswered().isEmpty());
}

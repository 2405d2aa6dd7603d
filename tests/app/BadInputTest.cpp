// Map path files that the program did not write: each gives a clear message or a sound result,
// never a crash, a hang or a changed map size.
#include "files/Progress.h"
#include "support/ScriptedPlatform.h"
#include "document/MapFileCommands.h"
#include "support/MapEdits.h"
#include "document/MapQuestions.h"
#include "model/TileGrid.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tessera;

namespace {

struct BadMapFiles : testing::Test {
    BadMapFiles() : file(grid, platform, platform, progress, takersInto(grid)) { grid.resize(5); }

    QString put(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // Imports and checks what every bad input must keep: the map's size and one message.
    bool import(const QString& path)
    {
        const int before = platform.shown().size();
        const bool ok = file.importFrom(path);
        EXPECT_EQ(grid.mapSize(), 5);
        EXPECT_EQ(platform.shown().size(), before + 1);
        return ok;
    }

    QTemporaryDir dir;
    TileGrid grid;
    ScriptedPlatform platform;
    CountingProgress progress;
    MapFileCommands file;
};

QByteArray randomBytes(qsizetype size, bool withZeros)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(42);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    if (!withZeros)
        std::replace(bytes.begin(), bytes.end(), '\0', '\x01');
    return bytes;
}

}  // namespace

TEST_F(BadMapFiles, EmptyAndLineBreakOnlyFilesGiveAnEmptyMap)
{
    grid.setCellText(1, 1, QStringLiteral("/x.jpg"));
    EXPECT_TRUE(import(put("empty.tlp", {})));
    grid.setCellText(1, 1, QStringLiteral("/x.jpg"));
    EXPECT_TRUE(import(put("crlf.tlp", "\r\n\r\n\r\n")));
    EXPECT_EQ(grid.cellText(1, 1), QString());
    EXPECT_TRUE(import(put("lf.tlp", "a|b\nc|d\n")));
    EXPECT_EQ(grid.cellText(1, 2), QStringLiteral("b\nc"));
}

TEST_F(BadMapFiles, HugeRandomFilesAreReadWithoutTroubleOrRefused)
{
    // Text in its first line, anything after it: read.
    EXPECT_TRUE(import(put("random.tlp", "a|b\r\n" + randomBytes(100 * 1024 * 1024, false))));
    EXPECT_TRUE(import(put("zeros.tlp", "a|b\r\n" + randomBytes(1024 * 1024, true))));
    // Binary from the start: refused, the map stays.
    grid.setCellText(5, 5, QStringLiteral("/keep.jpg"));
    EXPECT_FALSE(import(put("binary.tlp", randomBytes(1024 * 1024, true))));
    EXPECT_EQ(grid.cellText(5, 5), QStringLiteral("/keep.jpg"));
}

TEST_F(BadMapFiles, FilesLargerThanAnyMapAreRefusedUnread)
{
    grid.setCellText(1, 1, QStringLiteral("/keep.jpg"));
    const QString path = put("huge.tlp", "a|b\r\n");
    ASSERT_TRUE(QFile::resize(path, 30LL << 30));  // sparse: 30 GB that take no room
    EXPECT_FALSE(import(path));
    EXPECT_TRUE(platform.messages().last().contains(QStringLiteral("文件太大")));
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("/keep.jpg"));
}

TEST_F(BadMapFiles, AMillionFieldsOrATenMegabyteField)
{
    QByteArray wide;
    wide.reserve(2'000'002);
    for (int i = 0; i < 1'000'000; ++i)
        wide += i ? "|a" : "a";
    wide += "\r\n";
    EXPECT_TRUE(import(put("wide.tlp", wide)));
    EXPECT_EQ(grid.cellText(1, 5), QStringLiteral("a"));
    EXPECT_EQ(progress.maximum(), 1'000'000);

    const QByteArray field = QByteArray(10 * 1024 * 1024, 'x') + "|y\r\n";
    EXPECT_TRUE(import(put("long.tlp", field)));
    EXPECT_EQ(grid.cellText(1, 1).size(), 10 * 1024 * 1024);
    EXPECT_EQ(grid.cellText(1, 2), QStringLiteral("y"));
}

TEST_F(BadMapFiles, BrokenGbkAndOtherEncodings)
{
    EXPECT_TRUE(import(put("lead.tlp", "a\x81|b|c\r\n\xFE")));
    EXPECT_EQ(grid.cellText(1, 2), QStringLiteral("c"));
    EXPECT_TRUE(import(put("bom.tlp", "\xEF\xBB\xBF/\xE5\x9C\xB0.jpg|\xE7\xA9\xBA\r\n")));
    EXPECT_EQ(grid.cellText(1, 1), QStringLiteral("/地.jpg"));
    EXPECT_EQ(grid.cellText(1, 2), QString());  // "空" in UTF-8 is the marker too
    grid.setCellText(3, 3, QStringLiteral("/keep.jpg"));
    for (const char* name : {"le.tlp", "be.tlp"}) {
        const QByteArray utf16 = name[0] == 'l' ? QByteArray("\xFF\xFE/\0a\0", 6) : QByteArray("\xFE\xFF\0/\0a", 6);
        EXPECT_FALSE(import(put(name, utf16)));
        EXPECT_TRUE(platform.messages().last().contains(QStringLiteral("UTF-16")));
        EXPECT_EQ(grid.cellText(3, 3), QStringLiteral("/keep.jpg"));
    }
}

TEST_F(BadMapFiles, UnreadableThingsLeaveTheMapAndSayWhy)
{
    grid.setCellText(2, 2, QStringLiteral("/keep.jpg"));
    EXPECT_FALSE(import(dir.path()));
    const QString fifo = dir.filePath(QStringLiteral("pipe.tlp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(import(fifo));  // returns at once instead of waiting for a writer
    const QString locked = put("locked.tlp", "a|b\r\n");
    ::chmod(QFile::encodeName(locked).constData(), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(import(locked));
    } else {
        platform.failWhen(ScriptedPlatform::FileOp::Read, [&](const QString& p) { return p == locked; },
                          QStringLiteral("没有访问权限"));
        EXPECT_FALSE(import(locked));
    }
    EXPECT_EQ(grid.cellText(2, 2), QStringLiteral("/keep.jpg"));
    for (const QString& message : platform.messages())
        EXPECT_TRUE(message.startsWith(QStringLiteral("导入失败"))) << message.toStdString();
}

TEST_F(BadMapFiles, OddPathsSurviveARoundTrip)
{
    const QString longPath = QStringLiteral("/very/") + QString(5000, u'长') + QStringLiteral(".jpg");
    grid.setCellText(1, 1, longPath);
    grid.setCellText(1, 2, QStringLiteral("relative/tile.jpg"));
    grid.setCellText(1, 3, QStringLiteral("  spaced  "));
    grid.setCellText(1, 4, QStringLiteral("/地图/瓦片.jpg"));
    grid.setCellText(1, 5, QStringLiteral("/ключ/🙂.jpg"));
    const QString path = dir.filePath(QStringLiteral("odd.tlp"));
    ASSERT_TRUE(file.exportTo(path));
    TileGrid back;
    back.resize(5);
    MapFileCommands(back, platform, platform, progress, takersInto(back)).importFrom(path);
    for (int c = 1; c <= 5; ++c)
        EXPECT_EQ(back.cellText(1, c), grid.cellText(1, c)) << c;
}

TEST(BadNumbers, NewMapRefusesOrReadsEveryOddAnswer)
{
    ScriptedPlatform platform;
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"", std::nullopt}, {"-", std::nullopt}, {"2147483648", std::nullopt}, {"1e9", 1},
        {" 12abc", 12}, {"abc", std::nullopt}, {"-25", std::nullopt}, {"99999999999", std::nullopt}};
    for (const auto& [answer, expected] : cases) {
        platform.answerYes();
        platform.answerInput(QString::fromLatin1(answer));
        EXPECT_EQ(askNewMapSize(platform), expected) << answer;
    }
}

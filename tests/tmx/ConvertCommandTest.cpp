// `tessera convert` run as a program with no display: a map path file into a TMX map that Tiled's
// own rasterizer draws as `tessera render` does, and back into the same map path file; the exit
// statuses of bad usage and of files that cannot be read.
#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"
#include "model/MapPathFile.h"
#include "tmx/ProgramRuns.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;
using namespace tessera::testing_support;

namespace {

constexpr int kSide = 6;
const QSize kCell(40, 30);

class ConvertCommandTest : public testing::Test {
protected:
    QString path(const QString& relative) const { return dir.filePath(relative); }

    int run(const QString& program, const QStringList& arguments, bool display = false)
    {
        return runProgram(program, arguments, err, display);
    }
    int tessera(const QStringList& arguments) { return run(QStringLiteral(TESSERA_BINARY), arguments); }

    // Tiles of the cell's size: three JPEGs in a Chinese folder, with patterns, and a PNG.
    QStringList writeTiles()
    {
        EXPECT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("图块 集")));
        QStringList tiles;
        for (int i = 0; i < 4; ++i) {
            QImage image(kCell, QImage::Format_RGB32);
            for (int y = 0; y < kCell.height(); ++y)
                for (int x = 0; x < kCell.width(); ++x)
                    image.setPixel(x, y, qRgb((x * 6 + i * 70) % 256, (y * 8 + i * 40) % 256, i * 60));
            const bool png = i == 3;
            tiles << path(png ? QStringLiteral("图块 集/水.png") : QStringLiteral("图块 集/石头 %1.jpg").arg(i));
            if (png) {
                EXPECT_TRUE(image.save(tiles.constLast(), "PNG"));
            } else {
                QFile file(tiles.constLast());
                EXPECT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(encodeJpeg(image, 95));
            }
        }
        return tiles;
    }

    QTemporaryDir dir;
    QString err;
};

QImage overGrey(const QString& file)
{
    return testing_support::overGrey(QImage(file));
}

}  // namespace

TEST_F(ConvertCommandTest, TiledsRasterizerDrawsTheExportedMapAsRenderDoes)
{
    const QString rasterizer = QStandardPaths::findExecutable(QStringLiteral("tmxrasterizer"));
    if (rasterizer.isEmpty())
        GTEST_SKIP() << "tmxrasterizer not found (Debian package tiled, installed by scripts/setup): "
                        "the exported TMX map is not checked against Tiled's own renderer";
    const QStringList tiles = writeTiles();
    // Empty cells, every tile repeated.
    CellTexts cells(kSide * kSide);
    for (int i = 0; i < kSide * kSide; ++i)
        if (i % 5 != 2)
            cells[static_cast<std::size_t>(i)] = tiles[(i * 7 / 3) % tiles.size()];
    LocalFiles files;
    NullProgress quiet;
    ASSERT_TRUE(writeMapPathFile(files, path(QStringLiteral("map.tlp")), cells, kSide, quiet).ok());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("导出")));

    ASSERT_EQ(tessera({QStringLiteral("convert"), path(QStringLiteral("map.tlp")), QStringLiteral("-o"),
                       path(QStringLiteral("导出/地图.tmx"))}),
              0)
        << err.toStdString();
    // The atlas too, as Tiled draws it.
    ASSERT_EQ(tessera({QStringLiteral("convert"), path(QStringLiteral("map.tlp")), QStringLiteral("--atlas"), QStringLiteral("-o"),
                       path(QStringLiteral("导出/图集.tmx"))}),
              0)
        << err.toStdString();
    ASSERT_EQ(run(rasterizer, {path(QStringLiteral("导出/地图.tmx")), path(QStringLiteral("tiled.png"))}, true), 0)
        << err.toStdString();
    ASSERT_EQ(run(rasterizer, {path(QStringLiteral("导出/图集.tmx")), path(QStringLiteral("atlas.png"))}, true), 0);
    ASSERT_EQ(tessera({QStringLiteral("render"), path(QStringLiteral("map.tlp")), QStringLiteral("--cell"),
                       QStringLiteral("40x30"), QStringLiteral("-o"), path(QStringLiteral("ours.png"))}),
              0)
        << err.toStdString();
    const QImage tiled = overGrey(path(QStringLiteral("tiled.png")));
    const QImage ours = overGrey(path(QStringLiteral("ours.png")));
    const QImage atlas = overGrey(path(QStringLiteral("atlas.png")));
    ASSERT_EQ(tiled.size(), QSize(kSide * kCell.width(), kSide * kCell.height()));
    ASSERT_EQ(ours.size(), tiled.size());
    QImage grey(ours.size(), QImage::Format_RGB32);
    grey.fill(QColor(128, 128, 128));
    for (int i = 0; i < kSide * kSide; ++i) {
        const QRect cell(QPoint(i % kSide * kCell.width(), i / kSide * kCell.height()), kCell);
        SCOPED_TRACE(testing::Message() << "cell " << i);
        EXPECT_LE(meanDifference(tiled, ours, cell), 2.0);
        EXPECT_LE(meanDifference(atlas, ours, cell), 2.0);
        // A tile shows, an empty cell does not.
        EXPECT_EQ(meanDifference(ours, grey, cell) > 20, !cells[static_cast<std::size_t>(i)].isEmpty());
    }

    // Back into a map path file: the same bytes.
    ASSERT_EQ(tessera({QStringLiteral("convert"), path(QStringLiteral("导出/地图.tmx")), QStringLiteral("-o"),
                       path(QStringLiteral("back.tlp"))}),
              0)
        << err.toStdString();
    EXPECT_EQ(files.readFile(path(QStringLiteral("back.tlp"))).data, files.readFile(path(QStringLiteral("map.tlp"))).data);
}

TEST_F(ConvertCommandTest, ExitStatusesAndNoFileLeftOnFailure)
{
    const QString map = path(QStringLiteral("map.tlp"));
    LocalFiles files;
    NullProgress quiet;
    ASSERT_TRUE(writeMapPathFile(files, map, {QStringLiteral("/nowhere/a.jpg")}, 1, quiet).ok());
    EXPECT_EQ(tessera({QStringLiteral("convert"), map}), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("缺少 -o 输出地图")));
    EXPECT_TRUE(err.count(u'\n') <= 4 && err.contains(QStringLiteral("tessera convert --help"))) << err.toStdString();
    EXPECT_EQ(tessera({QStringLiteral("convert"), map, QStringLiteral("-o"), path(QStringLiteral("m.png"))}), 2);
    EXPECT_EQ(tessera({QStringLiteral("convert"), map, QStringLiteral("-o"), path(QStringLiteral("m.tlp")),
                       QStringLiteral("--tsx")}),
              2);
    EXPECT_EQ(tessera({QStringLiteral("convert"), map, QStringLiteral("--cell"), QStringLiteral("0x3"),
                       QStringLiteral("-o"), path(QStringLiteral("m.tmx"))}),
              2);
    EXPECT_EQ(tessera({QStringLiteral("convert"), path(QStringLiteral("missing.tlp")), QStringLiteral("-o"),
                       path(QStringLiteral("m.tmx"))}),
              1);
    EXPECT_EQ(tessera({QStringLiteral("convert"), QStringLiteral(TESSERA_TEST_DATA "/tmx/spritesheet.tmx"),
                       QStringLiteral("-o"), path(QStringLiteral("m.tlp"))}),
              1);
    EXPECT_TRUE(err.contains(QStringLiteral(TESSERA_TEST_DATA "/tmx/sheet.png"))) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("地图没有改变")));  // the editor's words
    EXPECT_EQ(tessera({QStringLiteral("convert"), map, QStringLiteral("-o"), path(QStringLiteral("no folder/m.tmj"))}), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("map.tlp")});

    // The external tileset beside the map, a TMJ map, and the cell asked for.
    ASSERT_EQ(tessera({QStringLiteral("convert"), map, QStringLiteral("--tsx"), QStringLiteral("--cell"),
                       QStringLiteral("64x48"), QStringLiteral("-o"), path(QStringLiteral("m.tmj"))}),
              0)
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("1 个图片文件无法读取"))) << err.toStdString();
    const QByteArray tmj = files.readFile(path(QStringLiteral("m.tmj"))).data;
    EXPECT_TRUE(tmj.contains("\"source\":\"m.tsj\"")) << tmj.constData();
    EXPECT_TRUE(tmj.contains("\"tilewidth\":64")) << tmj.constData();
    const QString relative = QDir(dir.path()).relativeFilePath(QStringLiteral("/nowhere/a.jpg"));
    EXPECT_TRUE(files.readFile(path(QStringLiteral("m.tsj"))).data.contains("\"image\":\"" + relative.toUtf8() + '"'));
}

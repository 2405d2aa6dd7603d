// TMX and TMJ maps in the shapes the formats document, made by hand under data/tmx: every layer
// encoding and compression, embedded and external tilesets, several layers, flipped tiles, and the
// maps that are refused.
#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "tmx/TiledMap.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTransform>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

const QString kData = QStringLiteral(TESSERA_TEST_DATA "/tmx");

QString at(const QString& relative)
{
    return QDir::cleanPath(kData + u'/' + relative);
}

TiledImportResult import(const QString& path, const QString& tilesFolder = {}, const QString& layer = {})
{
    LocalFiles files;
    NullProgress quiet;
    TiledImportOptions options;
    options.tilesFolder = tilesFolder;
    options.layerName = layer;
    return readTiledMap(files, path, options, quiet);
}

// Every fixture holds the same 3 × 2 layer: grass, nothing, stone / water, tree, a tile its
// tileset lacks.
CellTexts expectedCells()
{
    return {at(QStringLiteral("tiles/grass.jpg")), {}, at(QStringLiteral("tiles/石头.png")),
            at(QStringLiteral("../shared/water & sand.jpg")), QStringLiteral("/opt/tiles/tree.jpg"), {},
            {}, {}, {}};
}

}  // namespace

TEST(TiledImportTest, ReadsEveryDocumentedShapeIntoTheSameCells)
{
    QTemporaryDir tiles;
    for (const char* name : {"csv.tmx", "base64.tmx", "zlib.tmx", "gzip.tmx", "zstd.tmx", "external.tmx", "csv.tmj",
                             "zlib.tmj", "layers.tmx", "flipped.tmx"}) {
        SCOPED_TRACE(name);
        const TiledImportResult result = import(kData + u'/' + QLatin1String(name), tiles.path());
        ASSERT_TRUE(result.ok()) << failureMessage(result.failure).toStdString();
        EXPECT_EQ(result.mapSize, 3);
        EXPECT_EQ(result.cells, expectedCells());
        const QString notes = result.notes.join(u'\n');
        EXPECT_TRUE(notes.contains(QStringLiteral("1 个单元格的图块不在任何图块集中"))) << notes.toStdString();
        EXPECT_TRUE(notes.contains(QStringLiteral("地图为 3 × 2"))) << notes.toStdString();
    }
    const TiledImportResult layers = import(kData + QStringLiteral("/layers.tmx"));
    EXPECT_TRUE(layers.notes.contains(QStringLiteral("只导入了图层“地面”，跳过了其他图块图层：“草稿”、“隐藏”、“装饰”。")))
        << layers.notes.join(u'\n').toStdString();
    // Flipped tiles whose own pictures are missing stay as they are.
    const TiledImportResult flipped = import(kData + QStringLiteral("/flipped.tmx"), tiles.path());
    EXPECT_TRUE(flipped.notes.contains(QStringLiteral("2 个翻转或旋转的图块的图片无法读取，按原样放置。")))
        << flipped.notes.join(u'\n').toStdString();
    EXPECT_TRUE(import(kData + QStringLiteral("/flipped.tmx")).needsTilesFolder);
    EXPECT_FALSE(import(kData + QStringLiteral("/csv.tmx")).notes.join(u'\n').contains(QStringLiteral("翻转")));
}

TEST(TiledImportTest, RefusesWhatItCannotTakeAndSaysWhy)
{
    QTemporaryDir dir;
    auto write = [&dir](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    LocalFiles files;
    const QByteArray csv = files.readFile(kData + QStringLiteral("/csv.tmx")).data;
    QByteArray truncated = csv;
    truncated.replace("4,10,3", "4,10");
    QByteArray vast = csv;
    vast.replace("name=\"地面\" width=\"3\" height=\"2\"", "name=\"地面\" width=\"3\" height=\"2000000000\"");
    QByteArray missingTileset = csv;
    missingTileset.replace("<tileset firstgid=\"10\" name=\"trees\"", "<tileset firstgid=\"10\" source=\"nowhere.tsx\" name=\"trees\"");
    const QByteArray zlib = files.readFile(kData + QStringLiteral("/zlib.tmx")).data;
    QByteArray damaged = zlib;
    damaged.replace("compression=\"zlib\">\n   eJ", "compression=\"zlib\">\n   AA");
    ASSERT_NE(damaged, zlib);

    const struct {
        QString path;
        FailureKind kind;
        QString said;
    } cases[] = {
        {kData + QStringLiteral("/huge.tmx"), FailureKind::TiledMapTooLarge, QStringLiteral("地图为 1001 × 2 个单元格，宽和高都不能超过 1000")},
        {kData + QStringLiteral("/isometric.tmx"), FailureKind::UnsupportedMap, QStringLiteral("“isometric”方向的地图")},
        {write("short.tmx", truncated), FailureKind::NotTiledMap, QStringLiteral("应有 3 × 2 = 6 个图块编号，实有 5 个")},
        {write("damaged.tmx", damaged), FailureKind::NotTiledMap, QStringLiteral("zlib 压缩的图层数据已损坏")},
        {write("cut.tmx", csv.left(csv.size() / 2)), FailureKind::NotTiledMap, QStringLiteral("第 ")},
        {write("vast.tmx", vast), FailureKind::NotTiledMap, QStringLiteral("图层“地面”的大小 3 × 2000000000 不对")},
        {write("nowhere.tmx", missingTileset), FailureKind::FileUnreadable, dir.filePath(QStringLiteral("nowhere.tsx"))},
        {dir.filePath(QStringLiteral("missing.tmx")), FailureKind::FileUnreadable, QStringLiteral("无法读取文件")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const TiledImportResult result = import(c.path);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.failure.kind, c.kind);
        EXPECT_TRUE(result.cells.empty());
        const QString message = failureMessage(result.failure);
        EXPECT_TRUE(message.startsWith(QStringLiteral("导入失败：\n") + c.path)) << message.toStdString();
        EXPECT_TRUE(message.contains(c.said)) << message.toStdString();
        EXPECT_TRUE(message.endsWith(QStringLiteral("地图没有改变。")));
    }
}

TEST(TiledImportTest, SheetTilesAndFlippedTilesBecomeFilesOfTheirOwn)
{
    // A sheet of 2 × 2 tiles of 5 × 4 pixels, a margin of 2 and a spacing of 1, every pixel its own
    // colour; magenta is the transparent colour.
    QTemporaryDir dir;
    QImage sheet(15, 13, QImage::Format_ARGB32);
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            sheet.setPixel(x, y, qRgb(x * 16, y * 16, (x + y) % 3 * 100));
    sheet.setPixel(3, 3, qRgb(255, 0, 255));
    ASSERT_TRUE(sheet.save(dir.filePath(QStringLiteral("sheet.png"))));
    QFile map(dir.filePath(QStringLiteral("map.tmx")));
    ASSERT_TRUE(map.open(QIODevice::WriteOnly));
    // Plain, across, down and diagonal, all three, plain again, and a tile the sheet lacks.
    map.write(R"(<map orientation="orthogonal" width="3" height="3" tilewidth="5" tileheight="4">
 <tileset firstgid="1" name="图集" tilewidth="5" tileheight="4" margin="2" spacing="1">
  <image source="sheet.png" trans="ff00ff"/>
 </tileset>
 <layer name="a" width="3" height="3"><data encoding="csv">1,2147483650,1610612739,3758096388,1,9,0,0,0</data></layer>
</map>)");
    map.close();
    const QString folder = dir.filePath(QStringLiteral("切出"));
    const TiledImportResult result = import(map.fileName(), folder);
    ASSERT_TRUE(result.ok()) << failureMessage(result.failure).toStdString();
    EXPECT_EQ(result.tilesWritten, 4);
    EXPECT_TRUE(result.notes.contains(QStringLiteral("1 个单元格的图块不在任何图块集中或没有图片，已留空。")));
    const QStringList names{QStringLiteral("0"), QStringLiteral("1-h"), QStringLiteral("2-vd"), QStringLiteral("3-hvd"),
                            QStringLiteral("0")};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(result.cells[std::size_t(i)], QDir(folder).filePath(QStringLiteral("图集-%1.png").arg(names[i])));
        const int id = i % 4;
        QImage expected = sheet.copy(2 + id % 2 * 6, 2 + id / 2 * 5, 5, 4);
        if (id == 0)
            expected.setPixel(1, 1, 0);
        if (names[i].contains(u'd'))  // x and y exchanged: a quarter turn, then mirrored across
            expected = expected.transformed(QTransform().rotate(90)).mirrored(true, false);
        expected = expected.mirrored(names[i].contains(u'h'), names[i].contains(u'v'));
        EXPECT_EQ(QImage(result.cells[std::size_t(i)]).convertToFormat(QImage::Format_ARGB32), expected);
    }
    EXPECT_TRUE(result.cells[5].isEmpty());

    // Again: the same files, reused; a different picture under a tile's name is never replaced.
    const TiledImportResult again = import(map.fileName(), folder);
    EXPECT_EQ(again.cells, result.cells);
    EXPECT_EQ(again.tilesWritten, 0);
    EXPECT_EQ(again.tilesReused, 4);
    QImage other(5, 4, QImage::Format_RGB32);
    other.fill(Qt::red);
    const QString taken = dir.filePath(QStringLiteral("其他/图集-1-h.png"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("其他"))) && other.save(taken));
    const TiledImportResult beside = import(map.fileName(), dir.filePath(QStringLiteral("其他")));
    EXPECT_EQ(beside.cells[1], dir.filePath(QStringLiteral("其他/图集-1-h~2.png")));
    EXPECT_EQ(QImage(taken).convertToFormat(QImage::Format_RGB32), other);

    // A layer the map lacks.
    EXPECT_TRUE(failureMessage(import(map.fileName(), folder, QStringLiteral("b")).failure)
                    .contains(QStringLiteral("地图中没有名为“b”的图块图层；它的图块图层有：a。")));
}

// TMX and TMJ maps in the shapes the formats document, made by hand under data/tmx: every layer
// encoding and compression, embedded and external tilesets, several layers, flipped tiles, and the
// maps that are refused.
#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "tmx/TiledMap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;

namespace {

const QString kData = QStringLiteral(TESSERA_TEST_DATA "/tmx");

QString at(const QString& relative)
{
    return QDir::cleanPath(kData + u'/' + relative);
}

TiledImportResult import(const QString& path)
{
    LocalFiles files;
    NullProgress quiet;
    return readTiledMap(files, path, quiet);
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
    for (const char* name : {"csv.tmx", "base64.tmx", "zlib.tmx", "gzip.tmx", "zstd.tmx", "external.tmx", "csv.tmj",
                             "zlib.tmj", "layers.tmx", "flipped.tmx"}) {
        SCOPED_TRACE(name);
        const TiledImportResult result = import(kData + u'/' + QLatin1String(name));
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
    const TiledImportResult flipped = import(kData + QStringLiteral("/flipped.tmx"));
    EXPECT_TRUE(flipped.notes.contains(QStringLiteral("2 个单元格的翻转或旋转标志被忽略，图块按原样放置。")))
        << flipped.notes.join(u'\n').toStdString();
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
        {kData + QStringLiteral("/spritesheet.tmx"), FailureKind::SpritesheetTileset, QStringLiteral("图块集“整张图集”是从一张大图切出的图块（spritesheet）")},
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

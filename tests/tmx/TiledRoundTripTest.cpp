// Export then import: the same cells, whatever the paths hold; the tiles' real sizes, paths
// relative to the map, and nothing written when the map cannot be written whole.
#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"
#include "tmx/TiledMap.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <random>

using namespace tessera;

namespace {

class TiledRoundTripTest : public testing::Test {
protected:
    TiledRoundTripTest()
    {
        for (const char* folder : {"tiles", "图块 集", "a&b", "地图"})
            EXPECT_TRUE(QDir(dir.path()).mkpath(QString::fromUtf8(folder)));
        QImage jpeg(40, 30, QImage::Format_RGB32);
        jpeg.fill(Qt::darkGreen);
        const QByteArray bytes = encodeJpeg(jpeg);
        write(jpegTile, bytes);
        // Camera pictures carry large blocks before the frame header: 10 KB, and 120 KB.
        for (const int blocks : {1, 2}) {
            QByteArray app1("\xFF\xE1");
            const int length = blocks == 1 ? 10000 : 60000;
            app1 += char(length >> 8);
            app1 += char(length & 0xFF);
            app1 += QByteArray(length - 2, 'x');
            QByteArray withBlocks = bytes.left(2);
            for (int b = 0; b < blocks; ++b)
                withBlocks += app1;
            write(blocks == 1 ? exifTile : largeExifTile, withBlocks + bytes.mid(2));
        }
        QImage png(20, 10, QImage::Format_ARGB32);
        png.fill(Qt::blue);
        EXPECT_TRUE(png.save(pngTile, "PNG"));
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }
    static void write(const QString& file, const QByteArray& bytes)
    {
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

    TiledExportResult exportTo(const CellTexts& cells, int n, const QString& out, bool external = false)
    {
        TiledExportOptions options;
        options.cell = QSize(40, 30);
        options.externalTileset = external;
        return writeTiledMap(cells, n, out, options, quiet);
    }
    TiledImportResult importFrom(const QString& map)
    {
        LocalFiles files;
        return readTiledMap(files, map, {}, quiet);
    }

    QTemporaryDir dir;
    NullProgress quiet;
    const QString jpegTile = path(QStringLiteral("tiles/真.jpg"));
    const QString pngTile = path(QStringLiteral("tiles/小 图.png"));
    const QString exifTile = path(QStringLiteral("tiles/exif.jpg"));
    const QString largeExifTile = path(QStringLiteral("tiles/large exif.jpg"));
};

// The tiles of the map's tileset as written: source, width, height (0 when not written).
struct WrittenTile {
    QString source;
    int width = 0, height = 0;
    bool operator==(const WrittenTile&) const = default;
};

std::vector<WrittenTile> writtenTiles(const QString& tmx, QString& data)
{
    QFile file(tmx);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::vector<WrittenTile> tiles;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"image")
            tiles.push_back({xml.attributes().value(QLatin1String("source")).toString(), xml.attributes().value(QLatin1String("width")).toInt(),
                             xml.attributes().value(QLatin1String("height")).toInt()});
        else if (xml.name() == u"data")
            data = xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return tiles;
}

}  // namespace

// Random maps of repeated and empty cells whose paths hold "|", Chinese, blanks and &<>"', in
// both formats, the tileset embedded or beside, the map in the tiles' folder or another.
TEST_F(TiledRoundTripTest, ExportThenImportGivesTheSameCells)
{
    const QStringList pool{jpegTile,
                           pngTile,
                           path(QStringLiteral("a|b.jpg")),
                           path(QStringLiteral("图块 集/石头 1.jpg")),
                           path(QStringLiteral("a&b/<x>\"'&amp;.jpg")),
                           QStringLiteral("/elsewhere/far away/远.JPG"),
                           path(QStringLiteral("地图/  blank  .jpg"))};
    std::mt19937 random(26);
    for (int round = 0; round < 40; ++round) {
        const int n = 1 + static_cast<int>(random() % 9);
        CellTexts cells(static_cast<std::size_t>(n) * n);
        for (QString& cell : cells)
            if (random() % 5 >= 2)
                cell = pool[static_cast<qsizetype>(random() % pool.size())];
        const bool json = random() % 2, external = random() % 2;
        const QString out = path(QStringLiteral("%1/第 %2 张.%3")
                                     .arg(random() % 2 ? QStringLiteral("地图") : QStringLiteral("."))
                                     .arg(round)
                                     .arg(json ? QStringLiteral("tmj") : QStringLiteral("tmx")));
        SCOPED_TRACE(testing::Message() << "round " << round << ": " << out.toStdString());
        const TiledExportResult written = exportTo(cells, n, out, external);
        ASSERT_TRUE(written.ok()) << failureMessage(written.failure).toStdString();
        EXPECT_EQ(QFileInfo::exists(written.tilesetPath), external);
        const TiledImportResult read = importFrom(out);
        ASSERT_TRUE(read.ok()) << failureMessage(read.failure).toStdString();
        EXPECT_EQ(read.mapSize, n);
        EXPECT_EQ(read.cells, cells);
        EXPECT_TRUE(read.notes.isEmpty()) << read.notes.join(u'\n').toStdString();
        // Each tile's text is shared by its cells, as the editor keeps them.
        for (std::size_t i = 1; i < cells.size(); ++i) {
            if (!read.cells[i].isEmpty() && read.cells[i] == read.cells[0]) {
                EXPECT_EQ(read.cells[i].constData(), read.cells[0].constData());
            }
        }
    }
}

TEST_F(TiledRoundTripTest, WritesRealSizesRelativePathsAndCsvRows)
{
    const CellTexts cells{jpegTile, pngTile, path(QStringLiteral("missing.jpg")), {}, exifTile, largeExifTile, {}, {}, {}};
    EXPECT_EQ(defaultTiledCell(cells), QSize(40, 30));
    EXPECT_EQ(defaultTiledCell({{}, pngTile}), QSize(20, 10));
    EXPECT_EQ(defaultTiledCell({path(QStringLiteral("missing.jpg"))}), kDefaultTiledCell);

    const TiledExportResult result = exportTo(cells, 3, path(QStringLiteral("地图/m.tmx")));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.tiles, 5);
    EXPECT_EQ(result.sizesUnknown, 1);
    QString data;
    const std::vector<WrittenTile> tiles = writtenTiles(path(QStringLiteral("地图/m.tmx")), data);
    const std::vector<WrittenTile> expected{{QStringLiteral("../tiles/真.jpg"), 40, 30},
                                            {QStringLiteral("../tiles/小 图.png"), 20, 10},
                                            {QStringLiteral("../missing.jpg"), 0, 0},
                                            {QStringLiteral("../tiles/exif.jpg"), 40, 30},
                                            {QStringLiteral("../tiles/large exif.jpg"), 40, 30}};
    EXPECT_EQ(tiles, expected);
    EXPECT_EQ(data, QStringLiteral("\n1,2,3,\n0,4,5,\n0,0,0\n"));
}

TEST_F(TiledRoundTripTest, WritesWholeOrNothing)
{
    // A control character cannot be stored in XML: the TMX is refused, the TMJ keeps it.
    const CellTexts odd{path(QStringLiteral("bell\x07.jpg"))};
    const TiledExportResult refused = exportTo(odd, 1, path(QStringLiteral("odd.tmx")));
    EXPECT_EQ(refused.failure.kind, FailureKind::UnstorablePath);
    EXPECT_TRUE(failureMessage(refused.failure).startsWith(QStringLiteral("地图没有导出：\n") + path(QStringLiteral("odd.tmx"))));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("odd.tmx"))));
    ASSERT_TRUE(exportTo(odd, 1, path(QStringLiteral("odd.tmj"))).ok());
    EXPECT_EQ(importFrom(path(QStringLiteral("odd.tmj"))).cells, odd);

    // A map never replaces a tile it names, nor a folder's missing file gets half a map.
    const QString input = path(QStringLiteral("tiles/input.tmx"));
    {
        QFile file(input);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    const TiledExportResult over = exportTo({input}, 1, input, true);
    EXPECT_EQ(over.failure.kind, FailureKind::Unwritable);
    QFile kept(input);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("keep"));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("tiles/input.tsx"))));
    EXPECT_EQ(exportTo({jpegTile}, 1, path(QStringLiteral("no folder/m.tmx"))).failure.kind, FailureKind::Unwritable);
    EXPECT_EQ(QDir(path(QStringLiteral("tiles"))).entryList(QDir::Files | QDir::Hidden).size(), 5);
}

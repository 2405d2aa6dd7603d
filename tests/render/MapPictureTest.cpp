#include "render/MapPicture.h"
#include "render/TileImages.h"
#include "files/Progress.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessera;
using namespace testcolors;

namespace {

class MapPictureTest : public testing::Test {
protected:
    MapPictureTest()
    {
        writeSolidImage(path("red.jpg"), kRed);
        writeSolidImage(path("green.jpg"), kGreen, QSize(123, 77));
        writeSolidImage(path("blue.png"), kBlue, QSize(400, 300), "PNG");
        QFile broken(path("broken.jpg"));
        if (broken.open(QIODevice::WriteOnly))
            broken.write(QByteArray("\xFF\xD8\xFF not really a picture", 25));
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // Row by row: red, empty, green / missing, blue, broken / green, red, empty.
    CellTexts mixedCells() const
    {
        return {path("red.jpg"),     {},           path("green.jpg"),  path("missing.jpg"), path("blue.png"),
                path("broken.jpg"), path("green.jpg"), path("red.jpg"), {}};
    }
    MapPictureResult write(const CellTexts& cells, int n, QSize cell, const QString& name, Progress& progress)
    {
        return writeMapPicture(cells, n, cell, path(name), cache, progress);
    }
    MapPictureResult write(const CellTexts& cells, int n, QSize cell, const QString& name)
    {
        NullProgress progress;
        return write(cells, n, cell, name, progress);
    }

    QTemporaryDir dir;
    TileImageCache cache;
};

// Checks every cell's four corner pixels against the colour expected there; invalid means
// transparent.
void expectCells(const QImage& picture, int n, QSize cell, const std::vector<QColor>& expected)
{
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const QColor& want = expected[static_cast<std::size_t>(r * n + c)];
            const int left = c * cell.width(), top = r * cell.height();
            for (const QPoint at : {QPoint(left, top), QPoint(left + cell.width() - 1, top + cell.height() - 1),
                                    QPoint(left + cell.width() - 1, top), QPoint(left, top + cell.height() - 1)}) {
                const QRgb pixel = picture.pixel(at);
                if (want.isValid()) {
                    EXPECT_EQ(qAlpha(pixel), 255) << "cell " << r + 1 << "," << c + 1;
                    EXPECT_TRUE(near(pixel, want, 16)) << "cell " << r + 1 << "," << c + 1 << " at " << at.x() << ","
                                                       << at.y() << ": " << QColor(pixel).name().toStdString();
                } else {
                    EXPECT_EQ(qAlpha(pixel), 0) << "cell " << r + 1 << "," << c + 1;
                }
            }
        }
    }
}

TEST_F(MapPictureTest, EveryOfferedCellSizePutsEachTileInItsCellAtThatSize)
{
    const std::vector<QColor> expected{kRed, {}, kGreen, {}, kBlue, {}, kGreen, kRed, {}};
    for (const QSize& cell : kPictureCellSizes) {
        SCOPED_TRACE(testing::Message() << cell.width() << "x" << cell.height());
        const MapPictureResult result = write(mixedCells(), 3, cell, QStringLiteral("map.png"));
        ASSERT_TRUE(result.ok()) << failureMessage(result.failure).toStdString();
        const QImage picture(path("map.png"));
        ASSERT_EQ(picture.size(), QSize(3 * cell.width(), 3 * cell.height()));
        EXPECT_EQ(result.pixels, picture.size());
        EXPECT_EQ(result.fileBytes, QFileInfo(path("map.png")).size());
        EXPECT_TRUE(picture.hasAlphaChannel());
        // Empty, missing and broken cells are transparent.
        expectCells(picture, 3, cell, expected);
    }
}

TEST_F(MapPictureTest, JpegShowsTheCanvasGreyWhereNoTileIsDrawnAndPicturesBeyondTheLimitsAreRefused)
{
    const MapPictureResult result = write(mixedCells(), 3, QSize(80, 60), QStringLiteral("map.JPG"));
    ASSERT_TRUE(result.ok()) << failureMessage(result.failure).toStdString();
    const QImage picture(path("map.JPG"));
    ASSERT_EQ(picture.size(), QSize(240, 180));
    EXPECT_FALSE(picture.hasAlphaChannel());
    // Corners of JPEG blocks blur a little into their neighbours: look a few pixels inside.
    const std::vector<QColor> expected{kRed, {}, kGreen, {}, kBlue, {}, kGreen, kRed, {}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const QColor& want = expected[static_cast<std::size_t>(r * 3 + c)];
            EXPECT_TRUE(near(picture.pixel(c * 80 + 40, r * 60 + 30), want.isValid() ? want : kBackground, 16))
                << "cell " << r + 1 << "," << c + 1;
        }

    // Beyond libjpeg's 65,500 pixels a side, up to the format's 65,535 too: refused before writing.
    for (const auto& [n, cell] : {std::pair(70, QSize(1000, 1000)), std::pair(720, QSize(91, 1))}) {
        const MapPictureResult refused = write(CellTexts(std::size_t(n) * n), n, cell, QStringLiteral("huge.jpg"));
        EXPECT_FALSE(refused.ok());
        EXPECT_TRUE(failureMessage(refused.failure).contains(QStringLiteral("JPEG 图片的宽和高不能超过 65500 像素")))
            << failureMessage(refused.failure).toStdString();
        EXPECT_FALSE(QFile::exists(path("huge.jpg")));
    }
    // A 1000 × 1000 map at 400 × 300: one cell row alone would be 120 million pixels.
    const MapPictureResult tooWide = write(CellTexts(1000 * 1000), 1000, QSize(400, 300), QStringLiteral("huge.png"));
    EXPECT_FALSE(tooWide.ok());
    EXPECT_TRUE(failureMessage(tooWide.failure).contains(QStringLiteral("400000 × 300"))) << failureMessage(tooWide.failure).toStdString();
    EXPECT_FALSE(QFile::exists(path("huge.png")));
}

TEST_F(MapPictureTest, TransparentTilesKeepTheirAlphaInPngAndLieOverTheGreyInJpeg)
{
    ASSERT_TRUE(writeClearBandPng(path("clear.png")));
    for (const QSize cell : {QSize(40, 30), QSize(400, 300)}) {
        SCOPED_TRACE(testing::Message() << cell.width() << "x" << cell.height());
        const int y = cell.height() / 2, clear = cell.width() / 6, half = cell.width() / 2, solid = cell.width() * 5 / 6;
        ASSERT_TRUE(write({path("clear.png")}, 1, cell, QStringLiteral("map.png")).ok());
        const QImage png(path("map.png"));
        EXPECT_EQ(qAlpha(png.pixel(clear, y)), 0);
        EXPECT_NEAR(qAlpha(png.pixel(half, y)), 128, 1);
        EXPECT_TRUE(near(png.pixel(half, y), kRed, 2)) << QColor(png.pixel(half, y)).name().toStdString();
        EXPECT_EQ(qAlpha(png.pixel(solid, y)), 255);
        EXPECT_TRUE(near(png.pixel(solid, y), kBlue, 2));

        ASSERT_TRUE(write({path("clear.png")}, 1, cell, QStringLiteral("map.jpg")).ok());
        const QImage jpeg(path("map.jpg"));
        EXPECT_TRUE(near(jpeg.pixel(clear, y), kBackground, 8));
        EXPECT_TRUE(near(jpeg.pixel(half, y), halfRedOver(kBackground), 8)) << QColor(jpeg.pixel(half, y)).name().toStdString();
        EXPECT_TRUE(near(jpeg.pixel(solid, y), kBlue, 8));
    }
}

TEST_F(MapPictureTest, OneCellMapIsOneTile)
{
    ASSERT_TRUE(write({path("green.jpg")}, 1, QSize(40, 30), QStringLiteral("one.png")).ok());
    const QImage picture(path("one.png"));
    ASSERT_EQ(picture.size(), QSize(40, 30));
    expectCells(picture, 1, QSize(40, 30), {kGreen});
}

TEST_F(MapPictureTest, MapsTallerThanOneBandAreComposedBandByBand)
{
    // 120 cell rows of 4,800 × 30 pixels are several bands: each row must land in its own place.
    const int n = 120;
    CellTexts cells(static_cast<std::size_t>(n * n));
    std::vector<QColor> expected(cells.size());
    for (int r = 0; r < n; ++r) {
        const int c = (r * 7) % n;
        cells[static_cast<std::size_t>(r * n + c)] = path(r % 2 ? "red.jpg" : "blue.png");
        expected[static_cast<std::size_t>(r * n + c)] = r % 2 ? kRed : kBlue;
    }
    CountingProgress progress;
    const MapPictureResult result = write(cells, n, QSize(40, 30), QStringLiteral("tall.png"), progress);
    ASSERT_TRUE(result.ok()) << failureMessage(result.failure).toStdString();
    EXPECT_EQ(progress.position(), progress.maximum());
    EXPECT_EQ(progress.maximum(), n * n);
    const QImage picture(path("tall.png"));
    ASSERT_EQ(picture.size(), QSize(n * 40, n * 30));
    expectCells(picture, n, QSize(40, 30), expected);
}

TEST_F(MapPictureTest, NothingIsLeftBehindWhenThePictureCannotBeWrittenOrIsStopped)
{
    const QSize cell(40, 30);
    // Each says why in Chinese and names the file.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    for (const auto& [name, why] : {std::pair("red.jpg/map.png", "路径中有一项不是文件夹"),
                                    std::pair("none/map.png", "文件或文件夹不存在"), std::pair("folder", "这是一个文件夹")}) {
        const MapPictureResult unwritable = write(mixedCells(), 3, cell, QString::fromUtf8(name));
        EXPECT_EQ(unwritable.failure.kind, FailureKind::Unwritable);
        EXPECT_EQ(unwritable.failure.files, QStringList{path(name)});
        EXPECT_EQ(failureMessage(unwritable.failure), QStringLiteral("地图图片没有写入：\n%1\n%2").arg(path(name), QString::fromUtf8(why)));
    }

    // Stopped: an old file of that name stays as it was, and no temporary file is left.
    QFile old(path("old.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content");
    old.close();
    class Stopped final : public Progress {
    public:
        void start(std::int64_t) override {}
        void advance(std::int64_t) override {}
        bool cancelled() const override { return true; }
    } stopped;
    EXPECT_EQ(write(mixedCells(), 3, cell, QStringLiteral("old.png"), stopped).failure.kind, FailureKind::Cancelled);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old content"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 5) << "red, green, blue, broken, old";
    EXPECT_EQ(QDir(path("folder")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 0);
}

}  // namespace

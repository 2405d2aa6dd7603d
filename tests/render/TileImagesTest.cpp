#include "render/TileImages.h"
#include "work/HelperThreads.h"
#include "support/TestImages.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tessera;

namespace {

class TileImagesTest : public testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray bytes(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void put(const QString& name, const QByteArray& data) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QTemporaryDir dir;
};

// A JPEG whose frame header claims another size.
QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            jpeg[i + 5] = static_cast<char>(height >> 8);
            jpeg[i + 6] = static_cast<char>(height & 0xFF);
            jpeg[i + 7] = static_cast<char>(width >> 8);
            jpeg[i + 8] = static_cast<char>(width & 0xFF);
            return jpeg;
        }
    }
    return {};
}

}  // namespace

TEST_F(TileImagesTest, DecodesJpegToTheTileSize)
{
    ASSERT_TRUE(writeSolidImage(path("a.jpg"), QColor(200, 40, 40)));
    for (QSize size : {QSize(40, 30), QSize(40, 16), QSize(400, 300)}) {
        const QImage image = decodeTileImage(bytes("a.jpg"), size);
        ASSERT_EQ(image.size(), size);
        EXPECT_TRUE(near(image.pixel(size.width() / 2, size.height() / 2), QColor(200, 40, 40)));
        EXPECT_FALSE(image.hasAlphaChannel());
    }
}

TEST_F(TileImagesTest, SniffsTheFormatFromTheBytes)
{
    ASSERT_TRUE(writeSolidImage(path("png.jpg"), QColor(20, 200, 20), QSize(50, 40), "PNG"));
    ASSERT_TRUE(writeSolidImage(path("bmp.jpg"), QColor(20, 20, 200), QSize(50, 40), "BMP"));
    EXPECT_TRUE(near(decodeTileImage(bytes("png.jpg"), QSize(40, 30)).pixel(5, 5), QColor(20, 200, 20), 0));
    EXPECT_TRUE(near(decodeTileImage(bytes("bmp.jpg"), QSize(40, 30)).pixel(5, 5), QColor(20, 20, 200), 0));
}

TEST_F(TileImagesTest, PalettePngsAndCmykJpegsKeepTheirColour)
{
    const QColor colour(51, 102, 204);
    ASSERT_TRUE(writeMonoPng(path("flat.png"), colour));
    ASSERT_TRUE(writeCmykJpeg(path("cmyk.jpg"), colour));
    for (const char* name : {"flat.png", "cmyk.jpg"}) {
        for (QSize size : {QSize(40, 30), QSize(40, 16)}) {
            const QImage image = decodeTileImage(bytes(name), size);
            ASSERT_EQ(image.size(), size) << name;
            EXPECT_TRUE(near(image.pixel(0, 0), colour)) << name;
            EXPECT_TRUE(near(image.pixel(21, 13), colour)) << name;
        }
    }
}

TEST_F(TileImagesTest, BrokenInputDrawsNothing)
{
    ASSERT_TRUE(writeSolidImage(path("a.jpg"), QColor(1, 2, 3)));
    const QByteArray jpeg = bytes("a.jpg");
    EXPECT_TRUE(decodeTileImage(QByteArray(), QSize(40, 30)).isNull());
    EXPECT_TRUE(decodeTileImage("this is a text file, not a picture", QSize(40, 30)).isNull());
    EXPECT_TRUE(decodeTileImage(jpeg.left(jpeg.size() / 2), QSize(40, 30)).isNull());
    EXPECT_TRUE(decodeTileImage(jpeg.left(20), QSize(40, 30)).isNull());
    QByteArray broken = jpeg;
    for (qsizetype i = broken.size() / 3; i < broken.size() / 3 + 200; ++i)
        broken[i] = static_cast<char>(0xFF);
    (void)decodeTileImage(broken, QSize(40, 30));  // must not crash, whatever it gives
    // Broken data before does not spoil the next picture decoded on this thread.
    EXPECT_TRUE(near(decodeTileImage(jpeg, QSize(40, 30)).pixel(20, 15), QColor(1, 2, 3)));
}

TEST_F(TileImagesTest, AbsurdSizesAreRefusedBeforeDecoding)
{
    ASSERT_TRUE(writeSolidImage(path("a.jpg"), QColor(1, 2, 3), QSize(64, 48)));
    const QByteArray huge = withClaimedSize(bytes("a.jpg"), 60000, 60000);
    ASSERT_FALSE(huge.isEmpty());
    EXPECT_TRUE(decodeTileImage(huge, QSize(40, 30)).isNull());
    EXPECT_TRUE(decodeTileImage(withClaimedSize(bytes("a.jpg"), 65535, 65535), QSize(40, 30)).isNull());
    // The next picture still decodes.
    EXPECT_FALSE(decodeTileImage(bytes("a.jpg"), QSize(40, 30)).isNull());
}

TEST_F(TileImagesTest, CacheDecodesEachFileOnceUntilItChanges)
{
    ASSERT_TRUE(writeSolidImage(path("a.jpg"), QColor(200, 40, 40)));
    ASSERT_TRUE(writeSolidImage(path("b.jpg"), QColor(40, 200, 40)));
    TileImageCache cache;
    HelperThreads helpers;
    const QSize size(40, 30);
    const QList<TileKey> keys{tileKeyFor(path("a.jpg"), size), tileKeyFor(path("b.jpg"), size),
                              tileKeyFor(path("missing.jpg"), size), tileKeyFor(QString(), size)};
    QList<QImage> first = cache.images(keys, helpers);
    EXPECT_EQ(cache.decodeCount(), 2);
    EXPECT_FALSE(first[0].isNull());
    EXPECT_TRUE(first[2].isNull());
    EXPECT_TRUE(first[3].isNull());
    cache.images(keys, helpers);
    EXPECT_EQ(cache.decodeCount(), 2);
    // Another tile size is another tile.
    cache.image(tileKeyFor(path("a.jpg"), QSize(40, 16)));
    EXPECT_EQ(cache.decodeCount(), 3);
    // A changed file is decoded again.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(writeSolidImage(path("a.jpg"), QColor(10, 10, 240), QSize(401, 300)));
    const QImage changed = cache.image(tileKeyFor(path("a.jpg"), size));
    EXPECT_EQ(cache.decodeCount(), 4);
    EXPECT_TRUE(near(changed.pixel(20, 15), QColor(10, 10, 240)));
}

TEST_F(TileImagesTest, CacheStaysWithinItsBound)
{
    TileImageCache cache(20 * 40 * 30 * 4);  // room for 20 tiles
    QList<TileKey> keys;
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(writeSolidImage(path(QStringLiteral("%1.jpg").arg(i)), QColor(i * 4, 0, 0), QSize(80, 60)));
        keys.append(tileKeyFor(path(QStringLiteral("%1.jpg").arg(i)), QSize(40, 30)));
    }
    HelperThreads helpers;
    const QList<QImage> images = cache.images(keys, helpers);
    EXPECT_EQ(std::count_if(images.begin(), images.end(), [](const QImage& i) { return !i.isNull(); }), 60);
    cache.images(keys.mid(0, 10), helpers);  // the oldest were evicted
    EXPECT_GT(cache.decodeCount(), 60);
}

TEST_F(TileImagesTest, KeptTilesAreFoundWithoutDecodingUntilForgotten)
{
    ASSERT_TRUE(writeSolidImage(path("a.jpg"), QColor(200, 40, 40)));
    TileImageCache cache(1);  // room for nothing: only what is kept is found
    const TileKey key = tileKeyFor(path("a.jpg"), QSize(40, 30));
    QImage held(40, 30, QImage::Format_RGB32);
    held.fill(Qt::blue);
    cache.keep(key, held);
    EXPECT_EQ(cache.image(key).pixel(5, 5), held.pixel(5, 5));
    EXPECT_EQ(cache.decodeCount(), 0);
    cache.forgetKept();
    EXPECT_TRUE(near(cache.image(key).pixel(5, 5), QColor(200, 40, 40)));
    EXPECT_EQ(cache.decodeCount(), 1);
}

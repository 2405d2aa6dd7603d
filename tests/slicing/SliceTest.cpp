// 切分大图's engine: slices against the picture, their names and cells, the reference, and every way
// a cut stops early.
#include "slicing/PictureSlicer.h"
#include "slicing/ReferenceScaler.h"

#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "imaging/ImageCodec.h"
#include "support/FaultyFiles.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

using namespace tessera;

namespace {

// Smooth everywhere, so that JPEG keeps it within a few levels, and steep enough that a slice taken
// a pixel off differs by far more.
QImage wavePicture(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(128 + int(100 * std::sin(x / 6.0)), 128 + int(100 * std::sin(y / 5.0)),
                                      128 + int(100 * std::sin((x + y) / 7.0))));
    return image;
}

// Mean difference of luma between `slice` and the picture's area at `origin`: chroma is halved by
// 4:2:0 and blurred by the padding next to it.
double meanDifference(const QImage& slice, const QImage& picture, QPoint origin)
{
    const auto luma = [](QRgb p) { return 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p); };
    double total = 0;
    for (int y = 0; y < slice.height(); ++y)
        for (int x = 0; x < slice.width(); ++x)
            total += std::abs(luma(slice.pixel(x, y)) - luma(picture.pixel(origin.x() + x, origin.y() + y)));
    return total / (double(slice.width()) * slice.height());
}

QStringList visibleAndHidden(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Cancels once `after` slices were counted.
class CancelAfter final : public Progress {
public:
    explicit CancelAfter(std::int64_t after) : after_(after) {}
    void start(std::int64_t) override {}
    void advance(std::int64_t steps) override { done_ += steps; }
    bool cancelled() const override { return done_ >= after_; }

private:
    std::int64_t after_;
    std::atomic<std::int64_t> done_{0};
};

class SliceTest : public ::testing::Test {
protected:
    QString picturePath(const QImage& image, const char* format)
    {
        const QString path = dir_.filePath(QStringLiteral("picture.") + QString::fromLatin1(format).toLower());
        EXPECT_TRUE(image.save(path, format, 100));
        return path;
    }
    QString folder(const QString& name = QStringLiteral("slices")) { return dir_.filePath(name); }

    QTemporaryDir dir_;
    LocalFiles files_;
    NullProgress quiet_;
};

TEST_F(SliceTest, SlicesHoldThePictureUnderTheirCellNames)
{
    struct Case {
        QSize picture;
        QSize cell;
        const char* format;
    };
    const Case cases[] = {
        {{50, 37}, {16, 12}, "PNG"},   // narrow last column and row
        {{50, 37}, {16, 12}, "JPG"},   // the same, streamed from a JPEG's own planes
        {{50, 37}, {15, 11}, "JPG"},   // odd cells: streamed as RGB
        {{49, 35}, {16, 12}, "JPG"},   // odd picture sides: a half chroma sample at the edges
        {{48, 36}, {16, 12}, "JPG"},   // whole cells only
        {{16, 12}, {16, 12}, "PNG"},   // one cell exactly
        {{1, 1}, {8, 8}, "PNG"},       // one pixel
        {{20, 9}, {40, 30}, "JPG"},    // smaller than one cell
        {{130, 21}, {8, 8}, "JPG"},    // the smallest cell, many columns
        {{33, 20}, {16, 12}, "TIFF"},  // read whole through Qt's plugin
        {{33, 20}, {16, 12}, "BMP"},
    };
    int run = 0;
    for (const Case& c : cases) {
        for (const bool pad : {false, true}) {
            SCOPED_TRACE(QStringLiteral("%1x%2 in %3x%4 %5 pad %6")
                             .arg(c.picture.width()).arg(c.picture.height()).arg(c.cell.width()).arg(c.cell.height())
                             .arg(QString::fromLatin1(c.format)).arg(pad).toStdString());
            const QImage original = wavePicture(c.picture);
            const QString path = picturePath(original, c.format);
            const QImage picture = QImage(path).convertToFormat(QImage::Format_RGB888);  // what the file holds
            SliceSettings settings;
            settings.cell = c.cell;
            settings.quality = 100;
            if (pad)
                settings.pad = QColor(10, 200, 30);
            const QString out = folder(QStringLiteral("run%1").arg(run++));
            const SliceResult result = slicePicture(files_, path, out, settings, quiet_);
            ASSERT_TRUE(result.ok()) << failureMessage(result.failure).toStdString();
            const int rows = (c.picture.height() + c.cell.height() - 1) / c.cell.height();
            const int columns = (c.picture.width() + c.cell.width() - 1) / c.cell.width();
            EXPECT_EQ(result.rows, rows);
            EXPECT_EQ(result.columns, columns);
            ASSERT_EQ(result.written.size(), rows * columns);

            const int mapSize = std::max(rows, columns) + 1;
            const CellTexts cells = result.cells(mapSize);
            for (int r = 0; r < mapSize; ++r) {
                for (int col = 0; col < mapSize; ++col) {
                    const QString& cell = cells[std::size_t(r) * mapSize + col];
                    if (r >= rows || col >= columns) {
                        EXPECT_TRUE(cell.isEmpty());
                        continue;
                    }
                    EXPECT_EQ(cell, QDir(out).filePath(QStringLiteral("%1-%2.jpg").arg(r + 1).arg(col + 1)));
                    const QImage slice = QImage(cell).convertToFormat(QImage::Format_RGB888);
                    ASSERT_FALSE(slice.isNull());
                    const QSize shown(std::min(c.cell.width(), c.picture.width() - col * c.cell.width()),
                                      std::min(c.cell.height(), c.picture.height() - r * c.cell.height()));
                    EXPECT_EQ(slice.size(), pad ? c.cell : shown);
                    EXPECT_LE(meanDifference(slice.copy(QRect(QPoint(), shown)), picture,
                                             QPoint(col * c.cell.width(), r * c.cell.height())),
                              2.0);
                    if (pad && (c.cell.width() - shown.width() >= 2 || c.cell.height() - shown.height() >= 2)) {
                        // The padding's corner, two pixels or more from the picture, which JPEG blurs into it.
                        const QColor corner = slice.pixelColor(slice.width() - 1, slice.height() - 1);
                        EXPECT_NEAR(corner.green(), 200, 8);
                        EXPECT_NEAR(corner.red(), 10, 8);
                    }
                }
            }
            const QImage reference(QDir(out).filePath(kReferenceFileName));
            ASSERT_EQ(reference.size(), c.picture);  // small pictures keep their size
            EXPECT_LE(meanDifference(reference.convertToFormat(QImage::Format_RGB888), picture, QPoint()), 2.0);
            EXPECT_EQ(result.reference, QDir(out).filePath(kReferenceFileName));
            EXPECT_EQ(visibleAndHidden(out).size(), rows * columns + 1);  // nothing else
        }
    }
}

TEST_F(SliceTest, CmykAndTurnedPhotosAreCutAsAViewerShowsThem)
{
    // A CMYK JPEG (Adobe's inverted inks), and a photo of 80 × 60, its left half red, that EXIF
    // orientation 6 turns a quarter clockwise.
    const QColor ink(200, 120, 40);
    ASSERT_TRUE(writeCmykJpeg(dir_.filePath(QStringLiteral("cmyk.jpg")), ink, QSize(50, 37)));
    QImage stored(80, 60, QImage::Format_RGB32);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            stored.setPixel(x, y, x < 40 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    QByteArray jpeg = encodeJpeg(stored, 95);
    jpeg.insert(2, QByteArray("\xFF\xE1\x00\x22" "Exif\0\0" "MM\0\x2A\0\0\0\x08" "\0\x01"
                              "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0" "\0\0\0\0", 36));
    QFile photo(dir_.filePath(QStringLiteral("photo.jpg")));
    ASSERT_TRUE(photo.open(QIODevice::WriteOnly) && photo.write(jpeg) == jpeg.size() && photo.flush());
    SliceSettings settings;
    settings.cell = QSize(16, 12);
    const SliceResult cmyk = slicePicture(files_, dir_.filePath(QStringLiteral("cmyk.jpg")), folder(), settings, quiet_);
    ASSERT_TRUE(cmyk.ok()) << failureMessage(cmyk.failure).toStdString();
    for (const QString& slice : cmyk.written + QStringList{cmyk.reference})
        EXPECT_LE(std::abs(QImage(slice).pixelColor(0, 0).hue() - ink.hue()) + std::abs(QImage(slice).pixelColor(0, 0).value() - ink.value()), 8);
    settings.cell = QSize(20, 20);
    const SliceResult turned = slicePicture(files_, photo.fileName(), folder(QStringLiteral("turned")), settings, quiet_);
    ASSERT_TRUE(turned.ok()) << failureMessage(turned.failure).toStdString();
    EXPECT_EQ(std::tuple(turned.picture, turned.rows, turned.columns, turned.turned), std::tuple(QSize(60, 80), 4, 3, true));
    EXPECT_GT(QImage(turned.written.first()).pixelColor(10, 10).red(), 200);  // the stored left half is on top
    EXPECT_GT(QImage(turned.written.last()).pixelColor(10, 10).blue(), 200);
}

TEST(ReferenceScalerTest, EveryPixelIsTheMeanOfItsBox)
{
    for (const QSize picture : {QSize(4000, 3000), QSize(4100, 301), QSize(7, 2600), QSize(900, 700)}) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height()).toStdString());
        ReferenceScaler scaler(picture, QSize(2000, 2000));
        const double scale = std::min({1.0, 2000.0 / picture.width(), 2000.0 / picture.height()});
        const QSize expected(std::max(1, int(std::lround(picture.width() * scale))),
                             std::max(1, int(std::lround(picture.height() * scale))));
        ASSERT_EQ(scaler.size(), expected);
        // Pixel values from a hash, fed in uneven runs of rows.
        const auto value = [](int x, int y, int c) { return static_cast<unsigned char>((x * 2654435761u ^ y * 40503u ^ c * 97u) >> 7); };
        std::vector<unsigned char> rows;
        for (int y = 0, run = 1; y < picture.height(); y += run, run = run % 5 + 1) {
            const int count = std::min(run, picture.height() - y);
            rows.assign(std::size_t(picture.width()) * 3 * count, 0);
            for (int k = 0; k < count; ++k)
                for (int x = 0; x < picture.width(); ++x)
                    for (int c = 0; c < 3; ++c)
                        rows[(std::size_t(k) * picture.width() + x) * 3 + c] = value(x, y + k, c);
            scaler.addRows(rows.data(), count);
        }
        const QImage& image = scaler.image();
        for (int probe = 0; probe < 40; ++probe) {
            const int X = probe * 7919 % expected.width(), Y = probe * 104729 % expected.height();
            // The box: picture columns and rows whose scaled position falls into (X, Y).
            double sum[3] = {};
            int count = 0;
            for (int y = 0; y < picture.height(); ++y) {
                if (qint64(y) * expected.height() / picture.height() != Y)
                    continue;
                for (int x = 0; x < picture.width(); ++x) {
                    if (qint64(x) * expected.width() / picture.width() != X)
                        continue;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += value(x, y, c);
                    ++count;
                }
            }
            ASSERT_GT(count, 0);
            const QRgb got = image.pixel(X, Y);
            EXPECT_NEAR(qRed(got), sum[0] / count, 0.51);
            EXPECT_NEAR(qGreen(got), sum[1] / count, 0.51);
            EXPECT_NEAR(qBlue(got), sum[2] / count, 0.51);
        }
    }
}

TEST_F(SliceTest, ALargePicturesReferenceFitsTwoThousand)
{
    const QString path = picturePath(wavePicture(QSize(4100, 90)), "JPG");
    const SliceResult result = slicePicture(files_, path, folder(), SliceSettings{}, quiet_);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(QImage(result.reference).size(), QSize(2000, 44));
    EXPECT_EQ(result.referenceSize, QSize(2000, 44));
}

TEST_F(SliceTest, CancelKeepsWholeSlicesOnlyAndSaysHowMany)
{
    const QString path = picturePath(wavePicture(QSize(160, 120)), "JPG");
    SliceSettings settings;
    settings.cell = QSize(16, 12);
    CancelAfter progress(23);
    const SliceResult result = slicePicture(files_, path, folder(), settings, progress);
    ASSERT_EQ(result.failure.kind, FailureKind::Cancelled);
    const QStringList present = visibleAndHidden(folder());
    EXPECT_GE(result.written.size(), 23);
    EXPECT_LT(result.written.size(), 100);
    EXPECT_EQ(present.size(), result.written.size());  // no reference, no partial file
    for (const QString& slice : result.written)
        EXPECT_EQ(QImage(slice).size(), settings.cell) << slice.toStdString();
    EXPECT_TRUE(failureMessage(result.failure).contains(QString::number(result.written.size())));
}

TEST_F(SliceTest, ATakenNameStopsBeforeAnythingIsWritten)
{
    const QString path = picturePath(wavePicture(QSize(64, 48)), "PNG");
    QDir().mkpath(folder());
    for (const QString& taken : {QStringLiteral("2-3.jpg"), kReferenceFileName}) {
        QFile file(QDir(folder()).filePath(taken));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("mine");
        file.close();
        SliceSettings settings;
        settings.cell = QSize(16, 12);
        const SliceResult result = slicePicture(files_, path, folder(), settings, quiet_);
        EXPECT_EQ(result.failure.kind, FailureKind::SliceExists);
        EXPECT_EQ(result.failure.files.value(0), file.fileName());
        EXPECT_TRUE(failureMessage(result.failure).contains(taken));
        EXPECT_EQ(visibleAndHidden(folder()).size(), 1);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("mine"));
        file.close();
        file.remove();
    }
}

TEST_F(SliceTest, AFailedWriteStopsWithTheWrittenSlicesWholeAndListed)
{
    const QString path = picturePath(wavePicture(QSize(160, 120)), "JPG");
    FaultyFiles faulty;
    faulty.failWhen(FaultyFiles::Op::Write, [](const QString& p) { return p.endsWith(QStringLiteral("/4-7.jpg")); },
                    QStringLiteral("磁盘已满"));
    SliceSettings settings;
    settings.cell = QSize(16, 12);
    const SliceResult result = slicePicture(faulty, path, folder(), settings, quiet_);
    ASSERT_EQ(result.failure.kind, FailureKind::SliceUnwritable);
    const QString message = failureMessage(result.failure);
    EXPECT_TRUE(message.contains(QStringLiteral("4-7.jpg")) && message.contains(QStringLiteral("磁盘已满")));
    EXPECT_TRUE(message.contains(QString::number(result.written.size())));
    EXPECT_GE(result.written.size(), 30);  // the rows before it
    EXPECT_FALSE(result.written.contains(QDir(folder()).filePath(QStringLiteral("4-7.jpg"))));
    EXPECT_EQ(visibleAndHidden(folder()).size(), result.written.size());
    for (const QString& slice : result.written)
        EXPECT_EQ(QImage(slice).size(), settings.cell);
}

TEST_F(SliceTest, AReadOnlyFolderIsAMessageNamingTheSlice)
{
    QDir().mkpath(folder());
    // Root writes into a folder without write bits: it gets a read-only file system instead.
    const bool mounted = ::geteuid() == 0
        && QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                        QStringLiteral("ro,size=64k"), QStringLiteral("tmpfs"), folder()})
               == 0;
    if (::geteuid() == 0 && !mounted)
        GTEST_SKIP() << "root writes into a read-only folder, and mounting one is refused here";
    if (!mounted)
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner);
    const SliceResult result = slicePicture(files_, picturePath(wavePicture(QSize(40, 30)), "PNG"), folder(),
                                            SliceSettings{}, quiet_);
    if (mounted)
        QProcess::execute(QStringLiteral("umount"), {folder()});
    else
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(result.failure.kind, FailureKind::SliceUnwritable);
    EXPECT_TRUE(failureMessage(result.failure).contains(QStringLiteral("1-1.jpg")));
    EXPECT_TRUE(result.written.isEmpty());
    EXPECT_TRUE(visibleAndHidden(folder()).isEmpty());
}

TEST_F(SliceTest, AFullDiskKeepsWholeSlices)
{
    QDir().mkpath(folder());
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                     QStringLiteral("size=96k"), QStringLiteral("tmpfs"), folder()})
        != 0)
        GTEST_SKIP() << "mounting a tmpfs is refused here";
    SliceSettings settings;
    settings.cell = QSize(40, 30);
    const SliceResult result = slicePicture(files_, picturePath(wavePicture(QSize(800, 600)), "JPG"), folder(),
                                            settings, quiet_);
    EXPECT_EQ(result.failure.kind, FailureKind::SliceUnwritable);
    EXPECT_GT(result.written.size(), 0);
    EXPECT_EQ(visibleAndHidden(folder()).size(), result.written.size());
    for (const QString& slice : result.written)
        EXPECT_EQ(QImage(slice).size(), settings.cell);
    QProcess::execute(QStringLiteral("umount"), {folder()});
}

TEST_F(SliceTest, APictureThatEndsEarlyStopsAtTheRowReached)
{
    // Cut in half, and a header that claims far more than its data.
    const QString path = picturePath(wavePicture(QSize(64, 240)), "JPG");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    QByteArray bomb = whole;
    const qsizetype frame = bomb.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(frame, 0);
    bomb[frame + 5] = char(45000 >> 8), bomb[frame + 6] = char(45000 & 0xFF);
    bomb[frame + 7] = char(60000 >> 8), bomb[frame + 8] = char(60000 & 0xFF);
    const std::tuple<QByteArray, int, QSize> damaged[] = {{whole.left(whole.size() / 2), 240, QSize(16, 12)},
                                                          {bomb, 45000, QSize(400, 300)}};
    int run = 0;
    for (const auto& [bytes, height, cell] : damaged) {
        QFile out(dir_.filePath(QStringLiteral("damaged%1.jpg").arg(run)));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        SliceSettings settings;
        settings.cell = cell;
        const QString slices = folder(QStringLiteral("cut%1").arg(run++));
        const SliceResult result = slicePicture(files_, out.fileName(), slices, settings, quiet_);
        ASSERT_EQ(result.failure.kind, FailureKind::PictureCut);
        const qint64 reached = result.failure.figures.value(0);
        EXPECT_LT(reached, height);
        EXPECT_EQ(result.failure.figures.value(1), height);
        EXPECT_TRUE(failureMessage(result.failure).contains(QStringLiteral("第 %1 行").arg(reached)));
        // Only bands read whole were cut; nothing half-written, no reference.
        EXPECT_EQ(result.written.size(), reached / cell.height() * result.columns);
        EXPECT_EQ(visibleAndHidden(slices).size(), result.written.size());
    }
}

TEST_F(SliceTest, RefusalsBeforeAnyWrite)
{
    SliceSettings tiny;
    tiny.cell = QSize(7, 300);
    const QString png = picturePath(wavePicture(QSize(40, 30)), "PNG");
    EXPECT_EQ(slicePicture(files_, png, folder(), tiny, quiet_).failure.kind, FailureKind::SliceCellOutOfRange);
    EXPECT_EQ(slicePicture(files_, dir_.filePath(QStringLiteral("none.jpg")), folder(), {}, quiet_).failure.kind,
              FailureKind::PictureUnreadable);
    QFile text(dir_.filePath(QStringLiteral("text.jpg")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    EXPECT_EQ(slicePicture(files_, text.fileName(), folder(), {}, quiet_).failure.kind, FailureKind::PictureUnreadable);
    SliceSettings many;
    many.cell = QSize(8, 8);
    const SliceResult wide = slicePicture(files_, picturePath(wavePicture(QSize(8008, 8)), "JPG"), folder(), many, quiet_);
    EXPECT_EQ(wide.failure.kind, FailureKind::SliceGridTooLarge);
    EXPECT_FALSE(QFileInfo::exists(folder()) && !visibleAndHidden(folder()).isEmpty());
}

}  // namespace

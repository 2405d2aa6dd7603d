#include "render/PictureWriters.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

using namespace tessera;

namespace {

// Noise with every alpha, wide enough that a picture is deflated in several pieces.
QImage noise(QSize size)
{
    QImage picture(size, QImage::Format_ARGB32);
    std::mt19937 random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = (x / 16 + y) % 3 == 0 ? qRgba(x, y, x ^ y, 255) : static_cast<QRgb>(random());
    }
    return picture;
}

// The picture through the PNG writer, handed over in bands of `bands` rows in turn.
QByteArray encode(const QImage& picture, const std::vector<int>& bands, Failure* failure = nullptr)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const std::unique_ptr<PictureWriter> writer = PictureWriter::create(PictureFormat::Png);
    bool ok = writer->begin(buffer, picture.size());
    int first = 0;
    for (std::size_t i = 0; ok && first < picture.height(); ++i) {
        const int rows = std::min(bands[i % bands.size()], picture.height() - first);
        ok = writer->writeRows(picture.copy(0, first, picture.width(), rows), rows);
        first += rows;
    }
    ok = ok && writer->finish();
    if (failure)
        *failure = writer->failure();
    return ok ? buffer.data() : QByteArray();
}

quint32 bigEndian(const char* at)
{
    const auto* b = reinterpret_cast<const uchar*>(at);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3];
}

// The zlib stream of every IDAT chunk joined, inflated and checked to its end (Adler-32 included).
QByteArray inflatedImageData(const QByteArray& png)
{
    QByteArray stream;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = bigEndian(png.constData() + at);
        if (png.mid(at + 4, 4) == "IDAT")
            stream += png.mid(at + 8, length);
        at += 12 + length;
    }
    QByteArray out;
    z_stream z{};
    inflateInit(&z);
    z.next_in = reinterpret_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int status = Z_OK;
    while (status == Z_OK) {
        char chunk[65536];
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, static_cast<qsizetype>(sizeof chunk - z.avail_out));
    }
    inflateEnd(&z);
    return status == Z_STREAM_END && z.avail_in == 0 ? out : QByteArray();
}

TEST(PngWriterTest, PiecesDeflatedApartMakeOnePngThatDecodesToTheSamePixels)
{
    const QImage picture = noise(QSize(1500, 1100));  // 6,000 bytes a row: about 350 rows a piece
    const QByteArray png = encode(picture, {1, 333, 700, 66});
    ASSERT_FALSE(png.isEmpty());

    const QImage decoded = QImage::fromData(png, "PNG").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(decoded.size(), picture.size());
    for (int y = 0; y < picture.height(); ++y)
        ASSERT_EQ(std::memcmp(decoded.constScanLine(y), picture.constScanLine(y), std::size_t(picture.width()) * 4), 0)
            << "row " << y;

    const QByteArray rows = inflatedImageData(png);
    const qsizetype rowBytes = qsizetype(picture.width()) * 4 + 1;
    ASSERT_EQ(rows.size(), rowBytes * picture.height());
    for (int y = 0; y < picture.height(); ++y)
        ASSERT_LE(uchar(rows[y * rowBytes]), 4) << "filter byte of row " << y;
}

TEST(PngWriterTest, TinyPicturesAndOneBandWork)
{
    for (const QSize size : {QSize(1, 1), QSize(3, 2), QSize(2000, 1)}) {
        const QImage picture = noise(size);
        const QImage decoded = QImage::fromData(encode(picture, {size.height()}), "PNG");
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32), picture) << size.width() << "x" << size.height();
    }
}

TEST(PngWriterTest, DeviceThatRefusesWritesAndMissingRowsAreFailures)
{
    const QImage picture = noise(QSize(40, 30));
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    const std::unique_ptr<PictureWriter> writer = PictureWriter::create(PictureFormat::Png);
    EXPECT_FALSE(writer->begin(readOnly, picture.size()) && writer->writeRows(picture, 30) && writer->finish());
    EXPECT_EQ(writer->failure().kind, FailureKind::Unwritable);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const std::unique_ptr<PictureWriter> shortOne = PictureWriter::create(PictureFormat::Png);
    ASSERT_TRUE(shortOne->begin(buffer, picture.size()));
    ASSERT_TRUE(shortOne->writeRows(picture, 20));
    EXPECT_FALSE(shortOne->finish());
    EXPECT_EQ(shortOne->failure().kind, FailureKind::EncoderFailed);
}

}  // namespace

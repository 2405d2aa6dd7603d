// 切分大图 on generated JPEGs, each cut by the real command line in a child process so that its
// time and peak memory are its own; libvips cuts the 12,000 one in the same run as the baseline.
// The generated pictures are kept under /tmp so that a rerun does not make them again.
#include "BenchSupport.h"

#include "imaging/ImageCodec.h"
#include "slicing/PictureRows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include <jpeglib.h>

namespace tessera::bench {
namespace {

// Bump when the generator changes, so that stale pictures are not measured.
const QString kCacheRoot = QStringLiteral("/tmp/tessera-bench-slice-v1");
constexpr int kCellWidth = 400;
constexpr int kCellHeight = 300;

// A landscape-like picture written row by row through libjpeg (quality 90, 4:2:0), so that even
// 60,000 × 45,000 pixels never are in memory at once: smooth waves of several lengths and a little
// grain, which JPEG compresses about as it does a painted map.
bool writeGeneratedJpeg(const QString& path, int width, int height)
{
    const QString partial = path + QStringLiteral(".part");
    std::FILE* file = std::fopen(QFile::encodeName(partial).constData(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> across(std::size_t(width) * 3), row(std::size_t(width) * 3);
    for (int x = 0; x < width; ++x) {
        across[std::size_t(x) * 3] = static_cast<unsigned char>(64 + 60 * std::sin(x / 211.0) + 30 * std::sin(x / 23.0));
        across[std::size_t(x) * 3 + 1] = static_cast<unsigned char>(64 + 50 * std::cos(x / 377.0) + 20 * std::sin(x / 41.0));
        across[std::size_t(x) * 3 + 2] = static_cast<unsigned char>(64 + 60 * std::sin(x / 997.0) + 25 * std::cos(x / 17.0));
    }
    quint32 grain = 12345;
    for (int y = 0; y < height; ++y) {
        const int down[3] = {int(60 + 50 * std::sin(y / 173.0) + 20 * std::cos(y / 31.0)),
                             int(70 + 50 * std::sin(y / 409.0) + 20 * std::sin(y / 19.0)),
                             int(60 + 55 * std::cos(y / 811.0) + 15 * std::sin(y / 29.0))};
        for (std::size_t k = 0; k < row.size(); ++k) {
            grain = grain * 1664525u + 1013904223u;
            row[k] = static_cast<unsigned char>(std::clamp(across[k] + down[k % 3] + int(grain >> 29), 0, 255));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const bool written = std::fflush(file) == 0 && std::fclose(file) == 0;
    return written && QFile::rename(partial, path);
}

QString generated(int width, int height)
{
    QDir().mkpath(kCacheRoot);
    const QString path = QDir(kCacheRoot).filePath(QStringLiteral("picture-%1x%2.jpg").arg(width).arg(height));
    if (!QFileInfo::exists(path)) {
        QElapsedTimer clock;
        clock.start();
        if (!writeGeneratedJpeg(path, width, height)) {
            std::fprintf(stderr, "could not generate %s\n", qPrintable(path));
            return {};
        }
        std::fprintf(stderr, "generated %s in %.0f s\n", qPrintable(path), clock.elapsed() / 1000.0);
    }
    return path;
}

// The command line's cut into a fresh folder, removed afterwards.
ChildRun sliceOnce(const QString& picture)
{
    QTemporaryDir out(QDir(kCacheRoot).filePath(QStringLiteral("out-XXXXXX")));
    dropFromPageCache({picture});
    return runChild(QStringLiteral(TESSERA_BINARY),
                    {QStringLiteral("slice"), picture, QStringLiteral("-o"), out.filePath(QStringLiteral("slices")),
                     QStringLiteral("--cell"), QStringLiteral("%1x%2").arg(kCellWidth).arg(kCellHeight)});
}

ChildRun vipsOnce(const QString& picture)
{
    QTemporaryDir out(QDir(kCacheRoot).filePath(QStringLiteral("vips-XXXXXX")));
    dropFromPageCache({picture});
    return runChild(QStandardPaths::findExecutable(QStringLiteral("vips")),
                    {QStringLiteral("dzsave"), picture, out.filePath(QStringLiteral("tiles")), QStringLiteral("--depth"),
                     QStringLiteral("one"), QStringLiteral("--tile-size"), QString::number(kCellWidth),
                     QStringLiteral("--overlap"), QStringLiteral("0"), QStringLiteral("--suffix"),
                     QStringLiteral(".jpg[Q=90]")});
}

ChildRun better(const ChildRun& a, const ChildRun& b)
{
    return a.status == 0 && (b.status != 0 || a.ms <= b.ms) ? a : b;
}

// The whole pipeline on the 12,000 picture: cut with its reference, the slices renamed in a
// shuffled order, placed again by 自动拼图 from that reference, drawn at the cell size; prints the
// mean difference from the picture per channel, and each step's time.
void runSliceRoundTrip(const QString& picture)
{
    QTemporaryDir out(QDir(kCacheRoot).filePath(QStringLiteral("trip-XXXXXX")));
    const QString slices = out.filePath(QStringLiteral("slices"));
    const QString reference = out.filePath(QStringLiteral("reference.jpg"));
    const QString map = out.filePath(QStringLiteral("map.tlp"));
    const QString drawn = out.filePath(QStringLiteral("drawn.png"));
    const QString tessera = QStringLiteral(TESSERA_BINARY);
    const QString cell = QStringLiteral("%1x%2").arg(kCellWidth).arg(kCellHeight);
    const ChildRun cut = runChild(tessera, {QStringLiteral("slice"), picture, QStringLiteral("-o"), slices,
                                            QStringLiteral("--cell"), cell, QStringLiteral("--reference"), reference});
    QStringList names = QDir(slices).entryList(QDir::Files);
    std::vector<int> order(std::size_t(names.size()));
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 shuffle(7);
    std::shuffle(order.begin(), order.end(), shuffle);
    for (qsizetype i = 0; i < names.size(); ++i)
        QFile::rename(QDir(slices).filePath(names[i]),
                      QDir(slices).filePath(QStringLiteral("piece%1.jpg").arg(order[std::size_t(i)])));
    const ChildRun assembled = runChild(tessera, {QStringLiteral("assemble"), QStringLiteral("--reference"), reference,
                                                  QStringLiteral("--slices"), slices, QStringLiteral("-o"), map});
    const ChildRun rendered = runChild(tessera, {QStringLiteral("render"), map, QStringLiteral("-o"), drawn,
                                                 QStringLiteral("--cell"), cell});
    if (cut.status != 0 || assembled.status != 0 || rendered.status != 0) {
        std::fprintf(stderr, "slice round trip failed: %d %d %d\n", cut.status, assembled.status, rendered.status);
        return;
    }
    QImageReader::setAllocationLimit(0);  // two whole 12,000 × 9,000 pictures, here only
    const QImage a = QImage(picture).convertToFormat(QImage::Format_RGB888);
    const QImage b = QImage(drawn).convertToFormat(QImage::Format_RGB888);
    if (a.isNull() || a.size() != b.size()) {
        std::fprintf(stderr, "slice round trip: the drawn map is another size\n");
        return;
    }
    double total = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        qint64 row = 0;
        for (int k = 0; k < a.width() * 3; ++k)
            row += std::abs(int(p[k]) - int(q[k]));
        total += double(row);
    }
    report("slice_roundtrip_12000_cut_ms", cut.ms, "ms");
    report("slice_roundtrip_12000_assemble_ms", assembled.ms, "ms");
    report("slice_roundtrip_12000_render_ms", rendered.ms, "ms");
    report("slice_roundtrip_12000_mean_diff", total / (3.0 * a.width() * a.height()), "levels");
}

}  // namespace

// A band of cell rows as the engine holds it: a 4:2:0 JPEG's own planes (Y, then Cb, then Cr), or RGB.
struct Band {
    explicit Band(const PictureRows& rows)
        : width(rows.size().width()), chroma(rows.chromaWidth()), planar(rows.planar()),
          bytes(planar ? std::size_t(width) * kCellHeight + 2 * std::size_t(chroma) * (kCellHeight / 2)
                       : std::size_t(width) * 3 * kCellHeight)
    {
    }
    PictureRows::Planes planes()
    {
        unsigned char* y = bytes.data();
        unsigned char* cb = y + std::size_t(width) * kCellHeight;
        return {y, cb, cb + std::size_t(chroma) * (kCellHeight / 2)};
    }
    bool read(PictureRows& rows, int count)
    {
        return planar ? rows.readPlanes(planes(), count) : rows.read(bytes.data(), count);
    }
    int width, chroma;
    bool planar;
    std::vector<unsigned char> bytes;
};

// Child: the picture decoded as the engine decodes it, band by band, and dropped.
int runSliceDecodeChild(const QString& picture)
{
    Failure failure;
    const std::unique_ptr<PictureRows> rows = openPictureRows(picture, failure, true);
    if (!rows)
        return 1;
    Band band(*rows);
    for (int y = 0; y < rows->size().height(); y += kCellHeight)
        if (!band.read(*rows, std::min(kCellHeight, rows->size().height() - y)))
            return 1;
    return 0;
}

// Child: every slice of the picture encoded as the engine encodes it, on this one thread, from its
// first band held in memory.
int runSliceEncodeChild(const QString& picture)
{
    Failure failure;
    const std::unique_ptr<PictureRows> rows = openPictureRows(picture, failure, true);
    if (!rows)
        return 1;
    const QSize size = rows->size();
    Band band(*rows);
    if (!band.read(*rows, std::min(kCellHeight, size.height())))
        return 1;
    qint64 bytes = 0;
    for (int y = 0; y < size.height(); y += kCellHeight) {
        const int height = std::min(kCellHeight, size.height() - y);
        for (int x = 0; x < size.width(); x += kCellWidth) {
            const QSize shown(std::min(kCellWidth, size.width() - x), height);
            if (band.planar) {
                const PictureRows::Planes at = band.planes();
                const unsigned char* planes[3] = {at.y + x, at.cb + x / 2, at.cr + x / 2};
                const int strides[3] = {band.width, band.chroma, band.chroma};
                bytes += encodeJpegPlanes(planes, strides, shown, 90).size();
            } else {
                bytes += encodeJpeg(QImage(band.bytes.data() + std::size_t(x) * 3, shown.width(), shown.height(),
                                           size.width() * 3, QImage::Format_RGB888),
                                    90)
                             .size();
            }
        }
    }
    return bytes > 0 ? 0 : 1;
}

void runSliceBench()
{
    const QString picture12000 = generated(12000, 9000);
    if (picture12000.isEmpty())
        return;
    // Alternated, best of two each, so that a busy moment of the machine weighs on both alike.
    ChildRun ours, vips;
    for (int run = 0; run < 2; ++run) {
        ours = run == 0 ? sliceOnce(picture12000) : better(ours, sliceOnce(picture12000));
        vips = run == 0 ? vipsOnce(picture12000) : better(vips, vipsOnce(picture12000));
    }
    report("slice_12000_ms", ours.ms, "ms");
    report("baseline_slice_12000_ms", vips.ms, "ms");
    report("slice_12000_peak_mb", ours.peakMb, "MB");
    report("baseline_slice_12000_peak_mb", vips.peakMb, "MB");
    // On a shared machine the wall times follow its load; the CPU each used does not.
    report("slice_12000_cpu_ms", ours.cpuMs, "ms");
    report("baseline_slice_12000_cpu_ms", vips.cpuMs, "ms");
    runSliceRoundTrip(picture12000);

    if (!qEnvironmentVariableIsEmpty("TESSERA_BENCH_SKIP_60000"))
        return;
    const QString picture60000 = generated(60000, 45000);
    if (picture60000.isEmpty())
        return;
    const ChildRun big = sliceOnce(picture60000);
    const QString self = QCoreApplication::applicationFilePath();
    dropFromPageCache({picture60000});
    const ChildRun decode = runChild(self, {QStringLiteral("slice-decode"), picture60000});
    const ChildRun encode = runChild(self, {QStringLiteral("slice-encode"), picture60000});
    const int cores = std::max(1, QThread::idealThreadCount());
    report("slice_60000_ms", big.ms, "ms");
    report("slice_60000_peak_mb", big.peakMb, "MB");
    report("slice_60000_decode_alone_ms", decode.ms, "ms");
    report("slice_60000_encode_alone_ms", encode.ms, "ms");
    report("slice_60000_bound_ms", 1.5 * (decode.ms + encode.ms / cores), "ms");
    report("slice_60000_cpu_ms", big.cpuMs, "ms");
    report("slice_60000_decode_alone_cpu_ms", decode.cpuMs, "ms");
    report("slice_60000_encode_alone_cpu_ms", encode.cpuMs, "ms");
}

}  // namespace tessera::bench

// The whole map as one picture through the real `tessera render`, each run its own process so
// that its peak memory is its own, with the page cache dropped before every run.
#include "BenchSupport.h"

#include "render/PictureWriters.h"
#include "files/Progress.h"
#include "support/ScriptedPlatform.h"
#include "model/MapPathFile.h"

#include <QImage>
#include <QElapsedTimer>
#include <QImageReader>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <optional>

#include <sched.h>

namespace tessera::bench {
namespace {

// Writes a map of `size` whose cells name `tiles` in turn, row by row.
QString writeMap(const QTemporaryDir& dir, const QString& name, int size, const QStringList& tiles)
{
    CellTexts cells(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = tiles[static_cast<qsizetype>(i % static_cast<std::size_t>(tiles.size()))];
    const QString path = dir.filePath(name);
    ScriptedPlatform platform;
    NullProgress progress;
    if (!writeMapPathFile(platform, path, cells, size, progress).ok())
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return path;
}

// The children started while it lives run on one core: the first this thread may use. Threads
// inherit the mask of the thread that starts them.
class OneCore {
public:
    OneCore()
    {
        sched_getaffinity(0, sizeof all_, &all_);
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &all_)) {
                CPU_SET(cpu, &one);
                break;
            }
        sched_setaffinity(0, sizeof one, &one);
    }
    ~OneCore() { sched_setaffinity(0, sizeof all_, &all_); }
    OneCore(const OneCore&) = delete;
    OneCore& operator=(const OneCore&) = delete;

private:
    cpu_set_t all_;
};

// Another build of the program to time beside this one (TESSERA_BENCH_COMPARE), or empty.
QString otherBuild()
{
    return qEnvironmentVariable("TESSERA_BENCH_COMPARE");
}

// Renders cold: the tiles dropped from the page cache first. The median of `runs` runs by time;
// the largest peak of them. With `oneCore`, the whole render runs on one core.
ChildRun renderCold(const QString& map, const QString& out, const QStringList& tiles, int runs, bool oneCore = false,
                    const QString& program = QStringLiteral(TESSERA_BINARY))
{
    std::vector<ChildRun> done;
    for (int i = 0; i < runs; ++i) {
        dropFromPageCache(tiles);
        std::optional<OneCore> pinned;
        if (oneCore)
            pinned.emplace();
        done.push_back(runChild(program, {QStringLiteral("render"), map, QStringLiteral("-o"), out}));
        if (done.back().status != 0)
            std::fprintf(stderr, "tessera render %s failed with %d\n", qPrintable(map), done.back().status);
    }
    std::sort(done.begin(), done.end(), [](const ChildRun& a, const ChildRun& b) { return a.ms < b.ms; });
    ChildRun result = done[done.size() / 2];
    for (const ChildRun& run : done)
        result.peakMb = std::max(result.peakMb, run.peakMb);
    return result;
}

// The same encoder writing a picture already in memory: the encoding alone.
double encodeAloneMs(const QString& png, const QString& out)
{
    QImageReader::setAllocationLimit(0);  // 8,000 × 6,000 is beyond Qt's default limit
    const QImage picture = QImage(png).convertToFormat(QImage::Format_ARGB32);
    return bestMs([&] {
        QSaveFile file(out);
        const std::unique_ptr<PictureWriter> writer = PictureWriter::create(PictureFormat::Png);
        if (!file.open(QIODevice::WriteOnly) || !writer->begin(file, picture.size())
            || !writer->writeRows(picture, picture.height()) || !writer->finish() || !file.commit())
            std::fprintf(stderr, "encoding %s failed\n", qPrintable(out));
    }, 2);
}

// libvips assembling the same 625 tiles into the same 1000 × 750 PNG, cold: each JPEG shrunk by 8
// while it is decoded (50 × 37), the 25 × 25 array joined into a vips file, then resized to
// 1000 × 750 and written at the same deflate level. Median of `runs`; -1 without the vips tool.
double vipsRender25Ms(const QTemporaryDir& dir, const QStringList& tiles, int runs)
{
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vips"));
    if (vips.isEmpty()) {
        std::fprintf(stderr, "vips not found (libvips-tools): baseline_render_25_vips_ms skipped\n");
        return -1;
    }
    QStringList shrunk;
    for (const QString& tile : tiles)
        shrunk << tile + QStringLiteral("[shrink=8]");
    const QString joined = dir.filePath(QStringLiteral("vips25.v"));
    const QString out = dir.filePath(QStringLiteral("vips25.png[compression=1]"));
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        dropFromPageCache(tiles);
        const ChildRun join = runChild(vips, {QStringLiteral("arrayjoin"), shrunk.join(u' '), joined,
                                              QStringLiteral("--across"), QStringLiteral("25")});
        const ChildRun resize = runChild(vips, {QStringLiteral("resize"), joined, out, QStringLiteral("0.8"),
                                                QStringLiteral("--vscale"), QString::number(30.0 / 37.0, 'g', 12)});
        if (join.status != 0 || resize.status != 0)
            std::fprintf(stderr, "vips failed: %d %d\n", join.status, resize.status);
        times.push_back(join.ms + resize.ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

void runRenderBench()
{
    QTemporaryDir dir;
    const QStringList tiles = writeTileSet(dir.filePath(QStringLiteral("tiles")), 200 * 200);
    const QStringList tiles25 = tiles.mid(0, 625);
    const QStringList tiles1000 = tiles.mid(0, 10000);
    const double limit = limitDecodeMs(tiles25);
    report("limit_decode_25_ms", limit, "ms");

    const QString map25 = writeMap(dir, QStringLiteral("map25.tlp"), 25, tiles25);
    const ChildRun r25 = renderCold(map25, dir.filePath(QStringLiteral("map25.png")), tiles25, 5);
    report("render_25_ms", r25.ms, "ms");
    if (!otherBuild().isEmpty())
        report("other_build_render_25_ms",
               renderCold(map25, dir.filePath(QStringLiteral("map25.png")), tiles25, 5, false, otherBuild()).ms, "ms");
    report("render_25_peak_mb", r25.peakMb, "MB");
    const double vips25 = vipsRender25Ms(dir, tiles25, 5);
    if (vips25 >= 0)
        report("baseline_render_25_vips_ms", vips25, "ms");

    const QString png200 = dir.filePath(QStringLiteral("map200.png"));
    const ChildRun r200 = renderCold(writeMap(dir, QStringLiteral("map200.tlp"), 200, tiles), png200, tiles, 3);
    const double encode = encodeAloneMs(png200, dir.filePath(QStringLiteral("again200.png")));
    report("render_200_ms", r200.ms, "ms");
    report("render_200_peak_mb", r200.peakMb, "MB");
    report("png_encode_200_ms", encode, "ms");
    report("render_200_target_ms", 1.5 * (40000.0 / 625.0) * limit + encode, "ms");

    const QString map1000 = writeMap(dir, QStringLiteral("map1000.tlp"), 1000, tiles1000);
    const QString png1000 = dir.filePath(QStringLiteral("map1000.png"));
    const ChildRun r1000 = renderCold(map1000, png1000, tiles1000, 1);
    const ChildRun oneCore1000 = renderCold(map1000, png1000, tiles1000, 1, true);
    report("render_1000_ms", r1000.ms, "ms");
    report("render_1000_one_core_ms", oneCore1000.ms, "ms");
    if (!otherBuild().isEmpty())
        report("other_build_render_1000_ms", renderCold(map1000, png1000, tiles1000, 1, false, otherBuild()).ms, "ms");
    report("render_1000_peak_mb", r1000.peakMb, "MB");
}

}  // namespace tessera::bench

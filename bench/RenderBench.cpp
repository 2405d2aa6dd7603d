// The whole map as one picture through the real `tessera render`, each run its own process so
// that its peak memory is its own, with the page cache dropped before every run.
#include "BenchSupport.h"

#include "render/PictureWriters.h"
#include "files/Progress.h"
#include "support/ScriptedPlatform.h"
#include "model/MapPathFile.h"

#include <QImage>
#include <QImageReader>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

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

// Renders cold: the tiles dropped from the page cache first. The median of `runs` runs by time;
// the largest peak of them.
ChildRun renderCold(const QString& map, const QString& out, const QStringList& tiles, int runs)
{
    std::vector<ChildRun> done;
    for (int i = 0; i < runs; ++i) {
        dropFromPageCache(tiles);
        done.push_back(runChild(QStringLiteral(TESSERA_BINARY), {QStringLiteral("render"), map, QStringLiteral("-o"), out}));
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

}  // namespace

void runRenderBench()
{
    QTemporaryDir dir;
    const QStringList tiles = writeTileSet(dir.filePath(QStringLiteral("tiles")), 200 * 200);
    const QStringList tiles25 = tiles.mid(0, 625);
    const QStringList tiles1000 = tiles.mid(0, 10000);
    const double limit = limitDecodeMs(tiles25);
    report("limit_decode_25_ms", limit, "ms");

    const ChildRun r25 = renderCold(writeMap(dir, QStringLiteral("map25.tlp"), 25, tiles25),
                                    dir.filePath(QStringLiteral("map25.png")), tiles25, 5);
    report("render_25_ms", r25.ms, "ms");
    report("render_25_peak_mb", r25.peakMb, "MB");

    const QString png200 = dir.filePath(QStringLiteral("map200.png"));
    const ChildRun r200 = renderCold(writeMap(dir, QStringLiteral("map200.tlp"), 200, tiles), png200, tiles, 3);
    const double encode = encodeAloneMs(png200, dir.filePath(QStringLiteral("again200.png")));
    report("render_200_ms", r200.ms, "ms");
    report("render_200_peak_mb", r200.peakMb, "MB");
    report("png_encode_200_ms", encode, "ms");
    report("render_200_target_ms", 1.5 * (40000.0 / 625.0) * limit + encode, "ms");

    const ChildRun r1000 = renderCold(writeMap(dir, QStringLiteral("map1000.tlp"), 1000, tiles1000),
                                      dir.filePath(QStringLiteral("map1000.png")), tiles1000, 1);
    report("render_1000_ms", r1000.ms, "ms");
    report("render_1000_peak_mb", r1000.peakMb, "MB");
}

}  // namespace tessera::bench

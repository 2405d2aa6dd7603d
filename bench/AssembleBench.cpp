// Auto-assembly of generated maps, cold: the slices and the reference are dropped from the page
// cache, then read and matched with the proposed grid. The generated sets are kept under /tmp so
// that a rerun does not make them again. The 100 × 100 map runs in a child process, so that its
// peak memory is the assembly's own.
#include "BenchSupport.h"

#include "files/Progress.h"
#include "support/SliceMapGenerator.h"
#include "assembly/AutoAssembly.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace tessera::bench {
namespace {

// Bump when the generator changes, so that stale sets are not measured.
const QString kCacheRoot = QStringLiteral("/tmp/tessera-bench-assemble-v1");

GeneratedMap cachedMap(const QString& name, const SliceMapOptions& options)
{
    const QString folder = QDir(kCacheRoot).filePath(name);
    GeneratedMap map = loadSliceMap(folder);
    if (map.ok())
        return map;
    QDir(folder).removeRecursively();
    map = generateSliceMap(folder, options);
    if (!map.ok())
        std::fprintf(stderr, "could not generate the map in %s\n", qPrintable(folder));
    return map;
}

GeneratedMap cachedMap(int rows, int columns, int scale, quint32 seed)
{
    SliceMapOptions options;
    options.rows = rows;
    options.columns = columns;
    options.referenceScale = scale;
    options.seed = seed;
    return cachedMap(QStringLiteral("%1x%2-s%3-seed%4").arg(rows).arg(columns).arg(scale).arg(seed), options);
}

void dropMap(const GeneratedMap& map)
{
    QStringList paths{map.referencePath};
    for (const GeneratedSlice& s : map.slices)
        paths << s.path;
    dropFromPageCache(paths);
}

struct Assembled {
    double ms = 0;
    int right = 0;
    int doubtful = 0;
    int cells = 1;
    AssemblyTally tally;
    double rightPct() const { return 100.0 * right / cells; }
};

Assembled assembleCold(const GeneratedMap& map)
{
    Assembled out;
    out.cells = map.rows * map.columns;
    dropMap(map);
    AssemblyResult result;
    out.ms = timeMs([&] {
        NullProgress progress;
        const AssemblyInput input = readAssemblyInput(map.referencePath, map.sliceFolder, progress);
        result = assembleMap(input, input.proposedGrid(), progress);
    });
    if (!result.ok())
        std::fprintf(stderr, "assembly failed: %s\n", qPrintable(failureMessage(result.failure)));
    if (result.grid.rows != map.rows || result.grid.columns != map.columns)
        std::fprintf(stderr, "grid %d x %d proposed for a %d x %d map\n", result.grid.rows, result.grid.columns, map.rows,
                     map.columns);
    out.tally = tallyAssembly(map, result);
    out.right = out.tally.right;
    out.doubtful = result.doubtfulCount;
    return out;
}

// The machine's limit for the small map: its files read, cold, without decoding them.
double coldReadMs(const GeneratedMap& map)
{
    QStringList paths{map.referencePath};
    for (const GeneratedSlice& s : map.slices)
        paths << s.path;
    dropFromPageCache(paths);
    qint64 bytes = 0;
    const double ms = timeMs([&] {
        for (const QString& path : paths) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll().size();
        }
    });
    if (bytes == 0)
        std::fprintf(stderr, "the small map could not be read\n");
    return ms;
}

}  // namespace

// The hidden child: assembles the set in `folder` and writes "ms right cells doubtful" to `out`.
int runAssembleChild(const QString& folder, const QString& out)
{
    const GeneratedMap map = loadSliceMap(folder);
    if (!map.ok())
        return 1;
    const Assembled run = assembleCold(map);
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QStringLiteral("%1 %2 %3 %4").arg(run.ms).arg(run.right).arg(run.cells).arg(run.doubtful).toUtf8());
    return 0;
}

void runAssembleBench()
{
    // The small map: the median of five cold runs, its time being close to the disk's.
    const GeneratedMap map625 = cachedMap(25, 25, 12, 3);
    std::vector<Assembled> runs625;
    for (int i = 0; i < 5; ++i)
        runs625.push_back(assembleCold(map625));
    std::sort(runs625.begin(), runs625.end(), [](const Assembled& a, const Assembled& b) { return a.ms < b.ms; });
    const Assembled& run625 = runs625[runs625.size() / 2];
    report("assemble_625_ms", run625.ms, "ms");
    report("assemble_625_right_pct", run625.rightPct(), "%");
    report("assemble_625_doubtful", run625.doubtful, "cells");
    report("limit_read_625_cold_ms", coldReadMs(map625), "ms");

    int right = 0, cells = 0, doubtful = 0;
    for (int scale : {6, 12, 25}) {
        const Assembled run = assembleCold(cachedMap(30, 30, scale, static_cast<quint32>(40 + scale)));
        right += run.right;
        cells += run.cells;
        doubtful += run.doubtful;
    }
    report("assemble_scales_right_pct", 100.0 * right / cells, "%");
    report("assemble_scales_doubtful", doubtful, "cells");

    // References as users get them: every wrong placement should be doubtful.
    int wrongSure = 0;
    for (const ReferenceCase& c : referenceCases(16, 16)) {
        const Assembled run = assembleCold(cachedMap(QStringLiteral("case-%1").arg(QLatin1String(c.name)), c.options));
        const std::string name = std::string("assemble_case_") + c.name;
        report((name + "_right_pct").c_str(), run.tally.rightPct(), "%");
        report((name + "_wrong_sure").c_str(), run.tally.wrongSure, "cells");
        report((name + "_right_sure_pct").c_str(), run.tally.rightSurePct(), "%");
        wrongSure += run.tally.wrongSure;
    }
    report("assemble_real_like_wrong_sure", wrongSure, "cells");

    const GeneratedMap map10000 = cachedMap(100, 100, 6, 7);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("result.txt"));
    dropMap(map10000);
    const ChildRun child = runChild(QCoreApplication::applicationFilePath(),
                                    {QStringLiteral("assemble-child"), map10000.folder, out});
    QFile file(out);
    const QStringList fields = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(QLatin1Char(' ')) : QStringList();
    if (child.status != 0 || fields.size() != 4) {
        std::fprintf(stderr, "the 100 x 100 assembly did not finish\n");
        return;
    }
    report("assemble_10000_ms", fields[0].toDouble(), "ms");
    report("assemble_10000_peak_mb", child.peakMb, "MB");
    report("assemble_10000_right_pct", 100.0 * fields[1].toDouble() / fields[2].toDouble(), "%");
    report("assemble_10000_doubtful", fields[3].toDouble(), "cells");
    // The machine's limit for the slices alone: their bytes in memory, decoded at 1/8 on every core.
    QStringList slices;
    for (const GeneratedSlice& s : map10000.slices)
        slices << s.path;
    report("limit_decode_10000_ms", limitDecodeMs(slices), "ms");
}

}  // namespace tessera::bench

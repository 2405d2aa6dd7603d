// Export, import and memory of the map model on a 1000 × 1000 grid.
#include "BenchSupport.h"

#include "files/Progress.h"
#include "support/ScriptedPlatform.h"
#include "model/MapPathFile.h"
#include "model/MapShift.h"
#include "model/TileGrid.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace tessera::bench {

void runJournal1000Bench(TileGrid& grid);
void runHistory1000Bench(const TileGrid& filled, const CellTexts& otherMap);
void runTiledMap1000Bench(const QString& folder);

namespace {

constexpr int kMapSize = 1000;
constexpr int kDistinctPaths = 10000;

// About 40 characters each; every fourth holds Chinese characters.
std::vector<QString> tilePaths()
{
    std::vector<QString> paths;
    paths.reserve(kDistinctPaths);
    for (int i = 0; i < kDistinctPaths; ++i) {
        const QString folder = i % 4 == 0 ? QStringLiteral("/home/user/地图素材/青石城")
                                          : QStringLiteral("/home/user/maps/stonetown");
        paths.push_back(QStringLiteral("%1/slice_%2_%3.jpg")
                            .arg(folder)
                            .arg(i / 100, 3, 10, QLatin1Char('0'))
                            .arg(i % 100, 3, 10, QLatin1Char('0')));
    }
    return paths;
}

void fill(TileGrid& grid, const std::vector<QString>& paths)
{
    grid.resize(kMapSize);
    const TileGrid::BulkChange bulk(grid);
    for (int r = 1; r <= kMapSize; ++r)
        for (int c = 1; c <= kMapSize; ++c)
            grid.setCellText(r, c, paths[static_cast<std::size_t>((r - 1) * kMapSize + c - 1) % paths.size()]);
}

}  // namespace

void runModelBench()
{
    QTemporaryDir dir;
    const std::vector<QString> paths = tilePaths();
    NullProgress progress;
    ScriptedPlatform platform;

    // Memory of the filled grid, cells sharing the strings of the paths they name.
    const double before = residentMb();
    TileGrid grid;
    fill(grid, paths);
    report("grid_1000_peak_mb", residentMb() - before, "MB");

    const QString mapPath = dir.filePath(QStringLiteral("map.tlp"));
    report("export_1000_ms", bestMs([&] {
               if (!writeMapPathFile(platform, mapPath, grid.cells(), grid.mapSize(), progress).ok())
                   std::fprintf(stderr, "export failed\n");
           }),
           "ms");
    runJournal1000Bench(grid);
    runTiledMap1000Bench(dir.filePath(QStringLiteral("tiled")));

    TileGrid imported;
    imported.resize(kMapSize);
    report("import_1000_ms", bestMs([&] {
               (void)imported.replaceCells(readMapPathFile(platform, mapPath, kMapSize, progress).cells);
           }),
           "ms");
    if (imported.cellText(kMapSize, kMapSize) != grid.cellText(kMapSize, kMapSize))
        std::fprintf(stderr, "import gave a different grid\n");

    // Shifts of a filled grid, next to copying every cell once.
    report("baseline_grid_copy_1000_ms", bestMs([&] {
               std::vector<QString> copy = grid.cells();
               if (copy.size() != static_cast<std::size_t>(kMapSize) * kMapSize)
                   std::fprintf(stderr, "copy went wrong\n");
           }),
           "ms");
    const struct {
        ShiftDirection direction;
        const char* name;
    } shifts[] = {{ShiftDirection::Left, "shift_left_1000_ms"}, {ShiftDirection::Right, "shift_right_1000_ms"},
                  {ShiftDirection::Up, "shift_up_1000_ms"}, {ShiftDirection::Down, "shift_down_1000_ms"}};
    for (const auto& shift : shifts) {
        double best = 1e300;
        for (int run = 0; run < 3; ++run) {
            TileGrid shifted;
            fill(shifted, paths);
            best = std::min(best, timeMs([&] { shiftGrid(shifted, shift.direction, 1, progress); }));
        }
        report(shift.name, best, "ms");
    }
    CellTexts otherMap = grid.cells();
    NullProgress quiet;
    shiftMapCells(otherMap, kMapSize, ShiftDirection::Down, 7, quiet);
    runHistory1000Bench(grid, otherMap);

    // The same text through the codec and the disk in single calls, each way on its own.
    QString text;
    for (int r = 1; r <= grid.mapSize(); ++r) {
        for (int c = 1; c <= grid.mapSize(); ++c) {
            const QString& cell = grid.cellText(r, c);
            text += (c > 1 ? QStringLiteral("|") : QString()) + (cell.isEmpty() ? kEmptyMarker : cell);
        }
        text += kLineBreak;
    }
    const QString basePath = dir.filePath(QStringLiteral("baseline.txt"));
    // An export must leave the old file whole when it fails: the plain way is QSaveFile.
    report("baseline_export_1000_ms", bestMs([&] {
               QStringEncoder encoder("GB18030");
               const QByteArray bytes = encoder.encode(text);
               QSaveFile out(basePath);
               if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
                   std::fprintf(stderr, "baseline write failed\n");
           }),
           "ms");
    report("baseline_import_1000_ms", bestMs([&] {
               QFile in(basePath);
               if (!in.open(QIODevice::ReadOnly))
                   std::fprintf(stderr, "baseline read failed\n");
               QStringDecoder decoder("GB18030");
               const QString back = decoder.decode(in.readAll());
               if (back.size() != text.size())
                   std::fprintf(stderr, "baseline round trip differs\n");
           }),
           "ms");
}

}  // namespace tessera::bench

// A TMX map of 1000 × 1000 cells naming 10,000 distinct 400 × 300 JPEG tiles: written (each
// tile's size read from its header) and read back, beside export_1000_ms and import_1000_ms.
#include "BenchSupport.h"

#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "tmx/TiledMap.h"

#include <QDir>

#include <cstdio>

namespace tessera::bench {

void runTiledMap1000Bench(const QString& folder)
{
    constexpr int kSize = 1000;
    const QStringList tiles = writeTileSet(QDir(folder).filePath(QStringLiteral("tiles")), 10000);
    CellTexts cells(static_cast<std::size_t>(kSize) * kSize);
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = tiles[static_cast<qsizetype>(i % static_cast<std::size_t>(tiles.size()))];
    const QString map = QDir(folder).filePath(QStringLiteral("map.tmx"));
    NullProgress progress;
    TiledExportOptions options;
    options.cell = QSize(400, 300);
    const auto convert = [&] {
        const TiledExportResult result = writeTiledMap(cells, kSize, map, options, progress);
        if (!result.ok() || result.tiles != 10000 || result.sizesUnknown != 0)
            std::fprintf(stderr, "TMX export failed\n");
    };
    // The tiles' headers read from the disk, then from the page cache.
    dropFromPageCache(tiles);
    report("convert_tmx_1000_cold_ms", timeMs(convert), "ms");
    report("convert_tmx_1000_ms", bestMs(convert), "ms");
    LocalFiles files;
    report("import_tmx_1000_ms", bestMs([&] {
               const TiledImportResult result = readTiledMap(files, map, {}, progress);
               if (!result.ok() || result.cells != cells)
                   std::fprintf(stderr, "TMX import gave another map\n");
           }),
           "ms");
}

}  // namespace tessera::bench

// A TMX map of 1000 × 1000 cells naming 10,000 distinct 400 × 300 JPEG tiles: written (each
// tile's size read from its header) and read back, beside export_1000_ms and import_1000_ms; the
// 10,000 tiles as a TMJ map with a 40 × 30 atlas, beside their decode alone; and a 1000 × 1000 map
// on a spritesheet of 1,024 tiles read into a fresh tiles folder.
#include "BenchSupport.h"

#include "files/LocalFiles.h"
#include "files/Progress.h"
#include "tmx/TiledMap.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

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

    // The atlas of 10,000 distinct tiles, and the machine's limit: decoding them at 40 × 30.
    const CellTexts distinct(tiles.begin(), tiles.end());
    TiledExportOptions atlas;
    atlas.cell = QSize(40, 30);
    atlas.atlas = true;
    report("convert_atlas_10000_ms", bestMs([&] {
               const TiledExportResult result =
                   writeTiledMap(distinct, 100, QDir(folder).filePath(QStringLiteral("atlas.tmj")), atlas, progress);
               if (!result.ok() || result.atlasPaths.size() != 1 || result.sizesUnknown != 0)
                   std::fprintf(stderr, "atlas export failed\n");
           }),
           "ms");
    report("limit_decode_10000_tiles_ms", limitDecodeMs(tiles), "ms");

    // A sheet of 32 × 32 tiles of 32 × 32 pixels, each used about a thousand times.
    QImage sheet(1024, 1024, QImage::Format_RGB32);
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            sheet.setPixel(x, y, qRgb(x * 7 % 256, y * 3 % 256, (x ^ y) % 256));
    sheet.save(QDir(folder).filePath(QStringLiteral("sheet.png")));
    QByteArray tmx = "<map orientation=\"orthogonal\" width=\"1000\" height=\"1000\" tilewidth=\"32\" tileheight=\"32\">"
                     "<tileset firstgid=\"1\" name=\"sheet\" tilewidth=\"32\" tileheight=\"32\"><image source=\"sheet.png\"/>"
                     "</tileset><layer name=\"a\" width=\"1000\" height=\"1000\"><data encoding=\"csv\">";
    for (int i = 0; i < kSize * kSize; ++i)
        tmx += QByteArray::number(i * 7 % 1024 + 1) + (i + 1 < kSize * kSize ? "," : "");
    tmx += "</data></layer></map>";
    const QString sheetMap = QDir(folder).filePath(QStringLiteral("sheet.tmx"));
    QFile out(sheetMap);
    if (!out.open(QIODevice::WriteOnly) || out.write(tmx) != tmx.size())
        std::fprintf(stderr, "the spritesheet map was not written\n");
    out.close();
    // Each run cuts into a new, empty folder; removing the folders is not part of the import.
    QTemporaryDir cuts(QDir(folder).filePath(QStringLiteral("cut-XXXXXX")));
    int run = 0;
    report("import_tmx_sheet_1000_ms", bestMs([&] {
               TiledImportOptions options;
               options.tilesFolder = cuts.filePath(QStringLiteral("tiles-%1").arg(++run));
               const TiledImportResult result = readTiledMap(files, sheetMap, options, progress);
               if (!result.ok() || result.tilesWritten != 1024)
                   std::fprintf(stderr, "spritesheet import failed\n");
           }),
           "ms");
}

}  // namespace tessera::bench

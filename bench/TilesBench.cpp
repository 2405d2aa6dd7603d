// Batch rename of a 100 × 100 map of distinct files, next to plain rename calls, then of the same
// map shifted by one column (every row a cycle).
#include "BenchSupport.h"

#include "render/TileImages.h"
#include "files/Progress.h"
#include "support/ScriptedPlatform.h"
#include "model/TileGrid.h"
#include "batch/BatchRename.h"
#include "app/ResultWindow.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>

namespace tessera::bench {
namespace {

constexpr int kMapSize = 100;

QStringList writeFiles(const QString& folder, const QByteArray& content)
{
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < kMapSize * kMapSize; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("tile_%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
        paths << path;
    }
    return paths;
}

}  // namespace

void runTilesBench()
{
    QTemporaryDir dir;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const QByteArray jpeg = encodeJpeg(picture);

    const QStringList plain = writeFiles(dir.filePath(QStringLiteral("plain")), jpeg);
    QDir().mkpath(dir.filePath(QStringLiteral("plain-out")));
    report("baseline_rename_10000_ms", timeMs([&] {
               for (int i = 0; i < plain.size(); ++i) {
                   const QString to = dir.filePath(QStringLiteral("plain-out/%1.jpg").arg(i));
                   if (std::rename(QFile::encodeName(plain[i]).constData(), QFile::encodeName(to).constData()) != 0)
                       std::fprintf(stderr, "plain rename failed\n");
               }
           }),
           "ms");

    const QStringList tiles = writeFiles(dir.filePath(QStringLiteral("tiles")), jpeg);
    TileGrid grid;
    grid.resize(kMapSize);
    for (int i = 0; i < tiles.size(); ++i)
        grid.setCellText(i / kMapSize + 1, i % kMapSize + 1, tiles[i]);
    ScriptedPlatform platform;
    NullProgress progress;
    ResultReport results(platform);
    BatchRename renamer(grid, platform, progress, results, false);
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    report("rename_10000_ms", timeMs([&] { renamer.renameInto(out); }), "ms");
    if (renamer.failures() != 0 || grid.cellText(kMapSize, kMapSize) != QDir(out).filePath(QStringLiteral("100-100.jpg")))
        std::fprintf(stderr, "the batch rename did not rename everything\n");

    // The same folder again after a one-column shift: every row is one cycle of renames.
    for (int r = 1; r <= kMapSize; ++r)
        for (int c = 1; c <= kMapSize; ++c)
            grid.setCellText(r, c, QDir(out).filePath(QStringLiteral("%1-%2.jpg").arg(r).arg(c % kMapSize + 1)));
    report("rename_shifted_10000_ms", timeMs([&] { renamer.renameInto(out); }), "ms");
    if (renamer.failures() != 0)
        std::fprintf(stderr, "the shifted rename failed\n");
}

}  // namespace tessera::bench

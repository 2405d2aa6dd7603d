// Batch rename of a 100 × 100 map of distinct files, next to plain rename calls, then of the same
// map shifted by one column (every row a cycle); each the best of three runs.
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

#include <algorithm>
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

    // The plain calls and the batch take turns, three times, each its best: one file system, one
    // load. Both move every file between two folders, back and forth.
    const QStringList plain = writeFiles(dir.filePath(QStringLiteral("plain")), jpeg);
    QStringList plainOut;
    QDir().mkpath(dir.filePath(QStringLiteral("plain-out")));
    for (int i = 0; i < plain.size(); ++i)
        plainOut << dir.filePath(QStringLiteral("plain-out/%1.jpg").arg(i));
    const auto plainRenames = [](const QStringList& from, const QStringList& to) {
        for (int i = 0; i < from.size(); ++i) {
            if (std::rename(QFile::encodeName(from[i]).constData(), QFile::encodeName(to[i]).constData()) != 0)
                std::fprintf(stderr, "plain rename failed\n");
        }
    };

    const QStringList tiles = writeFiles(dir.filePath(QStringLiteral("tiles")), jpeg);
    TileGrid grid;
    grid.resize(kMapSize);
    for (int i = 0; i < tiles.size(); ++i)
        grid.setCellText(i / kMapSize + 1, i % kMapSize + 1, tiles[i]);
    ScriptedPlatform platform;
    NullProgress progress;
    ResultReport results(platform);
    BatchRename renamer(grid, platform, progress, results, false);
    const QString folders[] = {dir.filePath(QStringLiteral("out")), dir.filePath(QStringLiteral("out2"))};
    for (const QString& folder : folders)
        QDir().mkpath(folder);
    double baseline = 1e300, batch = 1e300;
    for (int run = 0; run < 3; ++run) {
        const bool back = run % 2 == 1;
        baseline = std::min(baseline, timeMs([&] { plainRenames(back ? plainOut : plain, back ? plain : plainOut); }));
        batch = std::min(batch, timeMs([&] { renamer.renameInto(folders[run % 2]); }));
        if (renamer.failures() != 0 || grid.cellText(kMapSize, kMapSize) != QDir(folders[run % 2]).filePath(QStringLiteral("100-100.jpg")))
            std::fprintf(stderr, "the batch rename did not rename everything\n");
    }
    report("baseline_rename_10000_ms", baseline, "ms");
    report("rename_10000_ms", batch, "ms");
    const QString out = folders[0];

    // The same folder again after a one-column shift: every row is one cycle of renames.
    double shifted = 1e300;
    for (int run = 0; run < 3; ++run) {
        for (int r = 1; r <= kMapSize; ++r)
            for (int c = 1; c <= kMapSize; ++c)
                grid.setCellText(r, c, QDir(out).filePath(QStringLiteral("%1-%2.jpg").arg(r).arg(c % kMapSize + 1)));
        shifted = std::min(shifted, timeMs([&] { renamer.renameInto(out); }));
        if (renamer.failures() != 0)
            std::fprintf(stderr, "the shifted rename failed\n");
    }
    report("rename_shifted_10000_ms", shifted, "ms");
}

}  // namespace tessera::bench

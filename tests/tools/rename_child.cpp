// Renames the tiles of a shifted map (cell (r, c) names folder/r-(c mod n + 1).jpg) into their
// folder and kills itself with SIGKILL just before its k-th rename.
#include "files/Progress.h"
#include "support/FaultyFiles.h"
#include "model/TileGrid.h"
#include "batch/BatchRename.h"
#include "batch/BatchReport.h"

#include <QGuiApplication>
#include <QDir>

#include <csignal>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int n = std::atoi(argv[2]);
    const int k = std::atoi(argv[3]);
    tessera::TileGrid grid;
    grid.resize(n);
    for (int r = 1; r <= n; ++r)
        for (int c = 1; c <= n; ++c)
            grid.setCellText(r, c, QDir(folder).filePath(QStringLiteral("%1-%2.jpg").arg(r).arg(c % n + 1)));
    tessera::FaultyFiles files;
    int renames = 0;
    files.failWhen(tessera::FaultyFiles::Op::Rename, [&](const QString&) {
        if (++renames == k)
            std::raise(SIGKILL);
        return false;
    });
    tessera::NullProgress progress;
    tessera::RecordedReport report;
    tessera::BatchRename(grid, files, progress, report, {}).renameInto(folder);
    return 0;
}

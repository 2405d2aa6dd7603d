// Maps of huge tiles: 16 progressive 8,192 × 8,192 JPEGs and a PNG of that size. The peak memory
// of `tessera render` and of the editor loading them, each in a process of its own.
#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "support/ScriptedPlatform.h"
#include "support/HugeTiles.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace tessera::bench {

void runHugeTilesBench()
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("huge.png"));
    const QStringList tiles = QStringList{png} + writeHugeJpegs(dir.filePath(QStringLiteral("jpegs")), 16);
    const QString map = dir.filePath(QStringLiteral("huge.tlp"));
    if (tiles.size() != 17 || !writeHugePng(png, qRgba(220, 30, 30, 128), qRgb(30, 40, 220))
        || !writeFiveByFiveMap(map, tiles)) {
        std::fprintf(stderr, "could not write the huge tiles\n");
        return;
    }
    report("render_huge_tiles_peak_mb",
           peakMbOf(QStringLiteral(TESSERA_BINARY),
                    {QStringLiteral("render"), map, QStringLiteral("-o"), dir.filePath(QStringLiteral("rendered.png"))}),
           "MB");
    // The editor reports its own peak.
    QProcess editor;
    editor.setProcessChannelMode(QProcess::ForwardedChannels);
    editor.start(QCoreApplication::applicationFilePath(), {QStringLiteral("huge-canvas"), map});
    editor.waitForFinished(-1);
}

// Imports the map into a 5 × 5 map of the main window and waits until every tile is drawn.
void runHugeCanvasChild(const QString& map)
{
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    window.show();
    importIntoNewMap(window, platform, 5, map);
    report("canvas_huge_tiles_peak_mb", peakResidentMb(), "MB");
}

}  // namespace tessera::bench

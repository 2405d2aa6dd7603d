// Full redraws of the edit canvas, painting a viewport, and memory on a 1000 × 1000 map.
#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "canvas/Canvas.h"
#include "canvas/CanvasWidgets.h"
#include "canvas/EditingTools.h"
#include "canvas/PreviewWindow.h"
#include "canvas/EditingState.h"
#include "gui/Progress.h"
#include "gui/ScriptedPlatform.h"
#include "model/MapPathFile.h"
#include "model/MapText.h"
#include "model/TileGrid.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace tessera::bench {
namespace {

// A map with its canvas, as the main window holds them.
struct Editor {
    TileGrid grid;
    EditingState editing;
    NullProgress progress;
    QWidget viewport;
    std::unique_ptr<Canvas> canvas = std::make_unique<Canvas>(grid, editing, &viewport);

    void newMap(int size)
    {
        grid.resize(size);
        canvas->resizeForMap();
        canvas->drawRulersAndGrid();
    }
    void fill(const QStringList& tiles)
    {
        const int n = grid.mapSize();
        const TileGrid::BulkChange bulk(grid);
        for (int r = 1; r <= n; ++r)
            for (int c = 1; c <= n; ++c)
                grid.setCellText(r, c, tiles[((r - 1) * n + c - 1) % tiles.size()]);
    }
};

void redrawScenario(const char* cold, const char* warm, int size, const QStringList& tiles)
{
    Editor editor;
    editor.newMap(size);
    editor.fill(tiles);
    const auto redraw = [&] {
        editor.canvas->redrawCanvas();
        editor.canvas->waitForTiles();
    };
    report(cold, timeMs(redraw), "ms");
    report(warm, bestMs(redraw), "ms");
}

}  // namespace

void runCanvasBench()
{
    QTemporaryDir dir;
    const QStringList tiles = writeTileSet(dir.filePath(QStringLiteral("tiles")), 2000);
    const QStringList tiles25 = tiles.mid(0, 625);

    // What a plain implementation does: every file decoded at full size, then scaled, one thread.
    report("baseline_decode_25_ms", timeMs([&] {
               for (const QString& path : tiles25) {
                   const QImage scaled = QImage(path).scaled(40, 30, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                   if (scaled.isNull())
                       std::fprintf(stderr, "baseline could not load %s\n", qPrintable(path));
               }
           }),
           "ms");
    redrawScenario("redraw_25_cold_ms", "redraw_25_warm_ms", 25, tiles25);
    redrawScenario("redraw_200_cold_ms", "redraw_200_warm_ms", 200, tiles);
}

void runCanvas1000Bench()
{
    QTemporaryDir dir;
    const QStringList tiles = writeTileSet(dir.filePath(QStringLiteral("tiles")), 10000);
    const QStringList fresh = writeTileSet(dir.filePath(QStringLiteral("fresh")), 200);

    // The map file, written as the program writes it.
    const QString mapPath = dir.filePath(QStringLiteral("map.tlp"));
    {
        Editor source;
        source.grid.resize(1000);
        source.fill(tiles);
        ScriptedPlatform platform;
        MapPathFile(source.grid, platform, source.progress).exportTo(mapPath);
    }

    // The real main window: New map 1000, then import with its full redraw.
    const double before = residentMb();
    ScriptedPlatform platform;
    MainWindow window(platform);
    window.show();
    platform.answerYes();
    platform.answerText(QStringLiteral("1000"));
    window.newMap();
    platform.answerText(mapPath);
    report("import_redraw_1000_ms", timeMs([&] {
               window.importData();
               window.waitForWork();
           }),
           "ms");
    report("canvas_1000_peak_mb", peakResidentMb(), "MB");
    report("canvas_1000_resident_mb", residentMb() - before, "MB");

    // A 900 × 600 exposed rectangle in the middle of the map.
    Canvas& canvas = window.canvas();
    QImage target(900, 600, QImage::Format_RGB32);
    const QRect area(20000, 15000, 900, 600);
    report("paint_viewport_1000_ms", bestMs([&] {
               QPainter painter(&target);
               painter.translate(-area.topLeft());
               canvas.picture().paint(painter, area, canvas.cache());
           }, 5),
           "ms");
    if (QColor(target.pixel(450, 300)) == QColor(128, 128, 128))
        std::fprintf(stderr, "the painted viewport shows no tiles\n");

    // The preview of the whole map: open, draw (without waiting for its timer) and paint what shows.
    report("preview_1000_open_ms", timeMs([&] {
               PreviewWindow preview(window.grid(), canvas.tileSize(), canvas.cache());
               preview.show();
               preview.drawPreview();
               preview.fill().waitForDone();
               QImage shown(preview.size(), QImage::Format_RGB32);
               preview.render(&shown);
           }),
           "ms");

    // Mouse events as the window receives them, each on an occupied cell of the full map.
    QWidget* editCanvas = canvas.canvasWidget();
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, editCanvas->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(editCanvas, &event);
    };
    double placing = 0;
    for (int i = 0; i < fresh.size(); ++i) {
        const QPoint at((i * 37) % 1000 * 40 + 20, (i * 53) % 1000 * 30 + 15);
        window.tools().chooseFile(fresh[i]);
        platform.answerYes();
        placing += timeMs([&] { send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); });
    }
    if (window.grid().cellText(16, 1) != fresh[0] && window.grid().cellText(1, 1) != fresh[0])
        std::fprintf(stderr, "placing by click did not place\n");
    report("place_click_1000_us", placing * 1000.0 / static_cast<double>(fresh.size()), "us");

    constexpr int kMoves = 2000;
    const double moving = timeMs([&] {
        for (int i = 0; i < kMoves; ++i)
            send(QEvent::MouseMove, QPoint((i * 7) % 40000, (i * 11) % 30000), Qt::NoButton, Qt::NoButton);
    });
    report("mouse_move_1000_us", moving * 1000.0 / kMoves, "us");
}

}  // namespace tessera::bench

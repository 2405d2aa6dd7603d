// Full redraws of the edit canvas, painting a viewport, and memory on a 1000 × 1000 map.
#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "document/MapDocument.h"
#include "canvas/Canvas.h"
#include "canvas/CanvasGeometry.h"
#include "render/TileImages.h"
#include "work/LongWork.h"
#include "canvas/CanvasWidgets.h"
#include "canvas/EditingTools.h"
#include "canvas/PreviewWindow.h"
#include "canvas/EditingState.h"
#include "files/Files.h"
#include "files/Progress.h"
#include "support/ScriptedPlatform.h"
#include "model/MapPathFile.h"
#include "model/MapText.h"
#include "model/TileGrid.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QtConcurrent/QtConcurrentMap>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <memory>

namespace tessera::bench {
namespace {

// A map with its canvas, as the main window holds them.
struct Editor {
    TaskGroup tasks;
    TileGrid grid;
    EditingState editing;
    NullProgress progress;
    QWidget viewport;
    std::unique_ptr<Canvas> canvas = std::make_unique<Canvas>(tasks, grid, editing, &viewport);

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

// A map path file for a map of `size` × `size` cells naming `tiles` in turn, as the program
// writes it; returns its path.
QString writeMap(const QString& path, int size, const QStringList& tiles)
{
    CellTexts cells(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = tiles[static_cast<qsizetype>(i % static_cast<std::size_t>(tiles.size()))];
    ScriptedPlatform platform;
    NullProgress quiet;
    if (!writeMapPathFile(platform, path, cells, size, quiet).ok())
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return path;
}

void redrawScenario(const char* cold, const char* warm, int size, const QStringList& tiles)
{
    Editor editor;
    editor.newMap(size);
    editor.fill(tiles);
    const auto redraw = [&] {
        editor.canvas->redrawCanvas();
        editor.canvas->waitForTiles();
    };
    dropFromPageCache(tiles);
    report(cold, timeMs(redraw), "ms");
    report(warm, medianMs(redraw), "ms");
}

// A 25 × 25 redraw whose first tile reads slowly (two seconds, as a sleeping disk or a slow
// mount would): how long until every other tile shows. Each tile is drawn as it is decoded, so
// this is about `redraw_25_warm_ms`, not the slow read.
void slowTileScenario(const QStringList& tiles)
{
    constexpr int kSlowMs = 2000;
    Editor editor;
    editor.newMap(25);
    editor.fill(tiles);
    const QString slow = tiles.constFirst();
    editor.canvas->cache().clear();
    editor.canvas->cache().setReader([slow](const QString& path) {
        if (path == slow)
            QThread::msleep(kSlowMs);
        return readRegularFile(path);
    });
    QElapsedTimer clock;
    clock.start();
    editor.canvas->redrawCanvas();
    runEventLoopUntil([&] {
        for (int r = 1; r <= 25; ++r)
            for (int c = 1; c <= 25; ++c)
                if (editor.grid.cellText(r, c) != slow && !editor.canvas->picture().hasTile(r, c))
                    return false;
        return true;
    });
    report("redraw_25_beside_slow_tile_ms", static_cast<double>(clock.nsecsElapsed()) / 1e6, "ms");
    editor.canvas->waitForTiles();
}

// Whether every cell in view that names a file shows its tile.
bool viewFilled(MainWindow& window)
{
    Canvas& canvas = window.canvas();
    const CellRange view = cellsMeeting(canvas.canvasWidget()->visibleRegion().boundingRect(), window.document().grid().mapSize());
    if (view.isEmpty())
        return false;
    for (int r = view.firstRow; r <= view.lastRow; ++r)
        for (int c = view.firstColumn; c <= view.lastColumn; ++c)
            if (!window.document().grid().cellText(r, c).isEmpty() && !canvas.picture().hasTile(r, c))
                return false;
    return true;
}

// Import of a 200 × 200 map of distinct tiles, cold, in the real main window at its start size.
void distinct200Scenario(const QTemporaryDir& dir)
{
    const QStringList tiles = writeTileSet(dir.filePath(QStringLiteral("distinct")), 200 * 200);
    const QString mapPath = writeMap(dir.filePath(QStringLiteral("distinct.tlp")), 200, tiles);
    // The disk's own limit: every file read cold, by many threads, and nothing else done.
    dropFromPageCache(tiles);
    QThreadPool readers;
    readers.setMaxThreadCount(16);
    report("limit_read_200_distinct_ms", timeMs([&] {
               QtConcurrent::blockingMap(&readers, tiles, [](const QString& path) {
                   QFile file(path);
                   if (!file.open(QIODevice::ReadOnly) || file.readAll().isEmpty())
                       std::fprintf(stderr, "could not read %s\n", qPrintable(path));
               });
           }),
           "ms");
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    window.show();
    platform.answerYes();
    platform.answerInput(QStringLiteral("200"));
    window.newMap();
    dropFromPageCache(tiles);
    platform.answerOpen(mapPath);
    QElapsedTimer clock;
    clock.start();
    double firstScreen = -1;
    window.findChild<QAction*>(QStringLiteral("ImportDataCommand"))->trigger();
    const double stall = runEventLoopUntil([&] {
        if (firstScreen < 0 && !window.document().work().busy() && viewFilled(window))
            firstScreen = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        return firstScreen >= 0 && !window.canvas().fill().running();
    });
    report("first_screen_200_distinct_ms", firstScreen, "ms");
    report("redraw_200_distinct_ms", static_cast<double>(clock.nsecsElapsed()) / 1e6, "ms");
    report("max_stall_import_redraw_200_ms", stall, "ms");
}

// The median and the worst of these, in microseconds.
void reportSpread(const char* median, const char* worst, std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    report(median, us[us.size() / 2], "us");
    report(worst, us.back(), "us");
}

using SendMouse = std::function<void(QEvent::Type, QPoint, Qt::MouseButton, Qt::MouseButtons)>;

// From the release of a click that places a tile to the moment the canvas picture shows that tile
// in the cell: 200 clicks on distinct cells in view of the full map, each with a file not decoded
// before, read from the page cache (warm) and from the disk (cold).
void clickToPixelScenario(const QTemporaryDir& dir, MainWindow& window, ScriptedPlatform& platform, const SendMouse& send)
{
    constexpr int kClicks = 200;
    Canvas& canvas = window.canvas();
    const CellRange view = cellsMeeting(canvas.canvasWidget()->visibleRegion().boundingRect(), window.document().grid().mapSize());
    std::vector<Cell> cells;
    for (int r = view.firstRow + 1; r < view.lastRow; ++r)
        for (int c = view.firstColumn + 1; c < view.lastColumn; ++c)
            cells.push_back({r, c});
    if (cells.empty()) {
        std::fprintf(stderr, "no cell in view to click\n");
        return;
    }
    QTimer guard;  // wakes the wait below now and then, should a tile never come
    guard.start(50);
    const auto clickAll = [&](const QStringList& files) {
        std::vector<double> us;
        for (int i = 0; i < files.size(); ++i) {
            const Cell cell = cells[static_cast<std::size_t>(i) % cells.size()];
            window.tools().chooseFile(files[i]);
            platform.answerYes();
            QCoreApplication::processEvents();  // what the last click left to do
            QElapsedTimer clock;
            clock.start();
            send(QEvent::MouseButtonRelease, cellRect(cell.row, cell.column).center(), Qt::LeftButton, Qt::NoButton);
            while (canvas.picture().newestTile(cell.row, cell.column) != files[i] && clock.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            us.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e3);
            if (canvas.picture().newestTile(cell.row, cell.column) != files[i])
                std::fprintf(stderr, "the placed tile never showed\n");
        }
        return us;
    };
    const QStringList warm = writeTileSet(dir.filePath(QStringLiteral("warm")), kClicks);
    const QStringList cold = writeTileSet(dir.filePath(QStringLiteral("cold")), kClicks);
    for (const QString& path : warm) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.readAll().isEmpty())
            std::fprintf(stderr, "could not read %s\n", qPrintable(path));
    }
    std::vector<double> us = clickAll(warm);
    reportSpread("place_click_to_pixel_1000_warm_us", "place_click_to_pixel_1000_warm_worst_us", us);
    dropFromPageCache(cold);
    const int stillCached = filesInPageCache(cold);
    if (stillCached > 0)
        std::fprintf(stderr, "%d of %d cold tiles could not be evicted from the page cache\n", stillCached, kClicks);
    report("place_click_to_pixel_1000_cold_evicted", kClicks - stillCached, "files");
    us = clickAll(cold);
    reportSpread("place_click_to_pixel_1000_cold_us", "place_click_to_pixel_1000_cold_worst_us", us);
}

}  // namespace

void runCanvasBench()
{
    QTemporaryDir dir;
    const QStringList tiles = writeTileSet(dir.filePath(QStringLiteral("tiles")), 2000);
    const QStringList tiles25 = tiles.mid(0, 625);

    // The fairest plain way: Qt's reader decoding straight to the tile size, one thread, cold.
    dropFromPageCache(tiles25);
    report("baseline_decode_25_ms", timeMs([&] {
               for (const QString& path : tiles25) {
                   QImageReader reader(path);
                   reader.setScaledSize(QSize(40, 30));
                   if (reader.read().isNull())
                       std::fprintf(stderr, "baseline could not load %s\n", qPrintable(path));
               }
           }),
           "ms");
    // The machine's limit: the files' bytes already in memory, decoded at the canvas's scale on
    // every core.
    report("limit_decode_25_ms", limitDecodeMs(tiles25), "ms");
    redrawScenario("redraw_25_cold_ms", "redraw_25_warm_ms", 25, tiles25);
    redrawScenario("redraw_200_cold_ms", "redraw_200_warm_ms", 200, tiles);
    slowTileScenario(tiles25);
    distinct200Scenario(dir);
}

void runCanvas1000Bench()
{
    QTemporaryDir dir;
    const QStringList tiles = writeTileSet(dir.filePath(QStringLiteral("tiles")), 10000);
    const QStringList fresh = writeTileSet(dir.filePath(QStringLiteral("fresh")), 200);

    // The map file, written as the program writes it.
    const QString mapPath = writeMap(dir.filePath(QStringLiteral("map.tlp")), 1000, tiles);

    // The real main window: New map 1000, then import with its full redraw.
    const double before = residentMb();
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    window.show();
    platform.answerYes();
    platform.answerInput(QStringLiteral("1000"));
    window.newMap();
    platform.answerOpen(mapPath);
    QElapsedTimer clock;
    clock.start();
    window.findChild<QAction*>(QStringLiteral("ImportDataCommand"))->trigger();
    const double importStall =
        runEventLoopUntil([&] { return !window.document().work().busy() && !window.canvas().fill().running(); });
    report("import_redraw_1000_ms", static_cast<double>(clock.nsecsElapsed()) / 1e6, "ms");
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
               PreviewWindow preview(window.document().tasks(), window.document().grid(), canvas.tileSize(), canvas.sharedCache());
               preview.show();
               preview.drawPreview();
               preview.fill().waitForDone();
               QImage shown(preview.size(), QImage::Format_RGB32);
               preview.render(&shown);
           }),
           "ms");

    // Export in the background: how long the GUI thread is ever kept from its timers meanwhile.
    platform.answerSave(dir.filePath(QStringLiteral("export.tlp")));
    window.findChild<QAction*>(QStringLiteral("ExportDataCommand"))->trigger();
    const double exportStall = runEventLoopUntil([&] { return !window.document().work().busy(); });
    report("max_stall_import_redraw_1000_ms", importStall, "ms");
    report("max_stall_export_1000_ms", exportStall, "ms");
    report("max_stall_ms", std::max(importStall, exportStall), "ms");

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
    if (window.document().grid().cellText(16, 1) != fresh[0] && window.document().grid().cellText(1, 1) != fresh[0])
        std::fprintf(stderr, "placing by click did not place\n");
    report("place_click_1000_us", placing * 1000.0 / static_cast<double>(fresh.size()), "us");

    clickToPixelScenario(dir, window, platform, send);

    constexpr int kMoves = 2000;
    const double moving = timeMs([&] {
        for (int i = 0; i < kMoves; ++i)
            send(QEvent::MouseMove, QPoint((i * 7) % 40000, (i * 11) % 30000), Qt::NoButton, Qt::NoButton);
    });
    report("mouse_move_1000_us", moving * 1000.0 / kMoves, "us");
}

// Memory of the editor with a 1000 × 1000 map whose 100,000 distinct tiles are all loaded, scrolled
// across and previewed.
void runDistinct1000Bench()
{
    QTemporaryDir dir;
    const QStringList tiles = writeTileSet(dir.filePath(QStringLiteral("tiles")), 100000);
    const QString mapPath = writeMap(dir.filePath(QStringLiteral("map.tlp")), 1000, tiles);
    dropFromPageCache(tiles);
    ScriptedPlatform platform;
    MapDocument mapDocument(platform);
    MainWindow window(platform, mapDocument);
    window.show();
    importIntoNewMap(window, platform, 1000, mapPath);
    auto* across = window.findChild<QScrollBar*>(QStringLiteral("CanvasHScroll"));
    auto* down = window.findChild<QScrollBar*>(QStringLiteral("CanvasVScroll"));
    for (int step = 0; step <= 10; ++step) {
        across->setValue(across->maximum() * step / 10);
        down->setValue(down->maximum() * step / 10);
        runEventLoopUntil([&] { return viewFilled(window); });
    }
    window.openPreview();
    PreviewWindow* preview = window.previewWindow();
    preview->drawPreview();
    preview->fill().waitForDone();
    QImage shown(preview->size(), QImage::Format_RGB32);
    preview->render(&shown);
    report("canvas_1000_distinct_peak_mb", peakResidentMb(), "MB");
}

}  // namespace tessera::bench

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tessera {
class MainWindow;
class ScriptedPlatform;
}  // namespace tessera

namespace tessera::bench {

// Prints one "scenario: value unit" line.
void report(const char* scenario, double value, const char* unit);

// Milliseconds of one run, and the best of `runs` runs.
double timeMs(const std::function<void()>& work);
double bestMs(const std::function<void()>& work, int runs = 3);

// The median of `runs` runs, for runs short enough to be noisy.
double medianMs(const std::function<void()>& work, int runs = 3);

// Drops the files from the OS page cache, so that the next read really comes from the disk.
void dropFromPageCache(const QStringList& paths);

// How many of the files still have a page in the page cache (mincore on each).
int filesInPageCache(const QStringList& paths);

// Runs the event loop until `done()` holds, with a 10 ms timer ticking on the GUI thread; returns
// the longest gap between two of its ticks (or between the start and the first one), in ms.
double runEventLoopUntil(const std::function<bool()>& done);

// Makes a new map of `size` in the window, imports the map path file `map` into it and runs the
// event loop until every tile is loaded.
void importIntoNewMap(MainWindow& window, ScriptedPlatform& platform, int size, const QString& map);

// Resident and peak resident memory of this process, in megabytes.
double residentMb();
double peakResidentMb();

// The machine's limit for decoding these files at the canvas's 40 × 30: their bytes already in
// memory, decoded on every core (median of three runs).
double limitDecodeMs(const QStringList& paths);

// Runs a program to its end with its output dropped; its wall time, peak resident memory and CPU time.
struct ChildRun {
    int status = -1;  // exit status, -1 when it did not exit normally
    double ms = 0;
    double peakMb = 0;
    double cpuMs = 0;  // user and system
};
ChildRun runChild(const QString& program, const QStringList& arguments);

// Writes `count` distinct 400 × 300 JPEG tiles (quality 85, varied content) into `folder`.
QStringList writeTileSet(const QString& folder, int count);

}  // namespace tessera::bench

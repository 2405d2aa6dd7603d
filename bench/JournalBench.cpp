// The crash-recovery journal on a full 1000 × 1000 map: one placement's extra cost on the GUI
// thread, and the whole map appended until it is on disk.
#include "BenchSupport.h"

#include "journal/MapJournal.h"
#include "model/TileGrid.h"

#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace tessera::bench {
namespace {

double medianOf(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double microseconds(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

void runJournal1000Bench(TileGrid& grid)
{
    QTemporaryDir dir;
    MapJournal journal(dir.path());
    const int n = grid.mapSize();
    journal.compact(n, grid.cells(), {}, false);
    if (!journal.flush().ok())
        std::fprintf(stderr, "journal failed\n");

    // Placements a few milliseconds apart, as clicks come, each stored with and without its entry;
    // the writer syncs the ones before meanwhile.
    constexpr int kClicks = 1000;
    std::vector<double> plain, journalled;
    for (int i = 0; i < kClicks; ++i) {
        const int index = static_cast<int>((i * 7919LL) % (static_cast<long long>(n) * n));
        const QString text = grid.cells()[static_cast<std::size_t>((index + 1) % (n * n))];
        const int row = index / n + 1, column = index % n + 1;
        plain.push_back(microseconds([&] { grid.setCellText(row, column, text); }));
        journalled.push_back(microseconds([&] {
            grid.setCellText(row, column, text);
            journal.setCells({{index, text}});
        }));
        QThread::usleep(2000);
    }
    report("journal_click_overhead_us", std::max(0.0, medianOf(journalled) - medianOf(plain)), "us");

    double gui = 1e300;
    report("journal_import_1000_ms", bestMs([&] {
               gui = std::min(gui, timeMs([&] { journal.replaceMap(n, grid.cells()); }));
               if (!journal.flush().ok())
                   std::fprintf(stderr, "journal failed\n");
           }),
           "ms");
    report("journal_import_1000_gui_ms", gui, "ms");
}

}  // namespace tessera::bench

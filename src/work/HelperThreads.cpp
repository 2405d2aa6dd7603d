#include "work/HelperThreads.h"

#include "files/Progress.h"

#include <QThread>

#include <algorithm>
#include <atomic>

namespace tessera {

HelperThreads::HelperThreads(int extra)
{
    pool_.setMaxThreadCount(std::max(1, std::max(1, QThread::idealThreadCount()) + extra));
}

HelperThreads::~HelperThreads()
{
    pool_.waitForDone();
}

bool HelperThreads::forEach(int count, Progress& progress, const std::function<void(int)>& work)
{
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    // The next item, or -1 when they are out or stopped.
    auto take = [&] {
        const int i = next.fetch_add(1, std::memory_order_relaxed);
        return i < count && !stop.load(std::memory_order_relaxed) ? i : -1;
    };
    auto run = [&] {
        for (int i = take(); i >= 0; i = take()) {
            work(i);
            done.fetch_add(1, std::memory_order_relaxed);
        }
    };
    // Helpers share the items with this thread; one that has not started when the items are out is
    // run here by `waitForFinished` and returns at once.
    QList<QFuture<void>> helpers;
    const int threads = std::min(pool_.maxThreadCount(), std::max(1, count));
    for (int t = 1; t < threads; ++t)
        helpers.append(start(run));
    int reported = 0;
    for (int i = take(); i >= 0; i = take()) {
        work(i);
        const int now = done.fetch_add(1, std::memory_order_relaxed) + 1;
        progress.advance(now - reported);
        reported = now;
        if (progress.cancelled())
            stop = true;
    }
    for (QFuture<void>& helper : helpers)
        helper.waitForFinished();
    progress.advance(done.load() - reported);
    return !stop.load() && !progress.cancelled();
}

void HelperThreads::forEach(int count, const std::function<void(int)>& work)
{
    NullProgress quiet;
    forEach(count, quiet, work);
}

bool forEachOnAllCores(int count, Progress& progress, const std::function<void(int)>& work)
{
    HelperThreads helpers;
    return helpers.forEach(count, progress, work);
}

}  // namespace tessera

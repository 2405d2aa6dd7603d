#pragma once

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>
#include <utility>

namespace tessera {

class Progress;

// The threads that help one function use every core: owned by it, and joined before it returns
// (the destructor waits for everything started here), so that nothing they run outlives what it
// reads. Work outside the tasks runs only here, never on Qt's global pool, which Qt's image
// scaling uses. Thread-safe; nested use from one of its own threads is fine (a wait runs work that
// no thread has taken yet itself).
class HelperThreads {
public:
    // One thread per core, and `extra` more (fewer when negative; one at least).
    explicit HelperThreads(int extra = 0);
    ~HelperThreads();
    HelperThreads(const HelperThreads&) = delete;
    HelperThreads& operator=(const HelperThreads&) = delete;

    // Runs work(i) for every i in [0, count) on these threads and the calling one, and returns when
    // every call has ended. The calling thread advances `progress` by one per item and stops
    // handing out items once it is cancelled. False when cancelled.
    bool forEach(int count, Progress& progress, const std::function<void(int)>& work);
    void forEach(int count, const std::function<void(int)>& work);

    // Starts `work` on one of these threads.
    template <typename Work>
    auto start(Work&& work)
    {
        return QtConcurrent::run(&pool_, std::forward<Work>(work));
    }

private:
    QThreadPool pool_;
};

// `HelperThreads::forEach` on threads of its own, for a function that needs them once.
bool forEachOnAllCores(int count, Progress& progress, const std::function<void(int)>& work);

}  // namespace tessera

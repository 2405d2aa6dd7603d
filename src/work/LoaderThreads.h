#pragma once

#include "files/Files.h"

#include <functional>
#include <memory>

namespace tessera {

// Threads for jobs that read users' files, where a read may never return (a frozen network
// mount, a dying disk) and cannot be interrupted. Jobs run in the order they come on up to
// `threads` workers. A worker busy with one job for longer than `kHungReadGraceMs` is set aside when
// jobs wait (`start`, `unblock`): a new worker takes its place, and the old one ends by itself
// once its job returns. At most `kMaxSetAside` are set aside at once; past that, jobs wait for a
// worker. Nothing waits for a worker set aside: the destructor drops the jobs not begun, gives
// those running `kHungReadGraceMs` and leaves the rest to end with the process. Any thread.
class LoaderThreads {
public:
    static constexpr int kMaxSetAside = 64;

    explicit LoaderThreads(int threads);
    ~LoaderThreads();
    LoaderThreads(const LoaderThreads&) = delete;
    LoaderThreads& operator=(const LoaderThreads&) = delete;

    int maxThreads() const;
    void start(std::function<void()> job);
    // Sets aside the workers hung in one job while jobs wait, so that those jobs begin.
    void unblock();
    // Waits up to `ms` until no job waits or runs, set aside or not; then sets aside every worker
    // still busy. True when every job had ended: false while a thread still sits in a read, which
    // only the end of the process ends (a normal exit would wait for it, a leak check for ever).
    bool waitForDone(int ms);

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace tessera

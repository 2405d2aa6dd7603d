#include "work/LoaderThreads.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tessera {

using Clock = std::chrono::steady_clock;

struct LoaderThreads::State {
    struct Worker {
        std::thread thread;
        Clock::time_point busySince;
        bool busy = false;
        bool setAside = false;
    };

    explicit State(int threads) : maxThreads(std::max(1, threads)) {}

    // Under the mutex: sets aside the workers busy since before `before` (all when it is null),
    // then starts workers for the jobs that no idle worker will take.
    void setAsideBusy(std::optional<Clock::time_point> before, bool capped);
    void spawn(const std::shared_ptr<State>& self);
    static void run(const std::shared_ptr<State>& state, std::list<Worker>::iterator self);

    const int maxThreads;
    std::mutex mutex;  // guards what follows
    std::condition_variable work;  // a job came, or stopping
    std::condition_variable idle;  // a job ended
    std::deque<std::function<void()>> jobs;
    std::list<Worker> workers;
    int idleWorkers = 0;
    int running = 0;   // jobs on workers not set aside
    int setAside = 0;  // workers set aside, their jobs still running
    bool stopping = false;
};

void LoaderThreads::State::setAsideBusy(std::optional<Clock::time_point> before, bool capped)
{
    for (Worker& worker : workers) {
        if (!worker.busy || worker.setAside || (before && worker.busySince > *before))
            continue;
        if (capped && setAside >= kMaxSetAside)
            return;
        worker.setAside = true;
        worker.thread.detach();
        ++setAside;
        --running;
    }
}

void LoaderThreads::State::spawn(const std::shared_ptr<State>& self)
{
    const auto active = [this] { return static_cast<int>(workers.size()) - setAside; };
    while (!stopping && static_cast<int>(jobs.size()) > idleWorkers && active() < maxThreads) {
        workers.emplace_back();
        const auto it = std::prev(workers.end());
        it->thread = std::thread(&State::run, self, it);
        ++idleWorkers;  // counted from now, so that the next round does not start another for the same job
    }
}

void LoaderThreads::State::run(const std::shared_ptr<State>& state, std::list<Worker>::iterator self)
{
    State& s = *state;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.work.wait(lock, [&] { return s.stopping || !s.jobs.empty(); });
        --s.idleWorkers;
        if (s.jobs.empty())
            return;
        std::function<void()> job = std::move(s.jobs.front());
        s.jobs.pop_front();
        self->busy = true;
        self->busySince = Clock::now();
        ++s.running;
        lock.unlock();
        job();
        job = nullptr;  // what it holds goes before the lock is taken
        lock.lock();
        self->busy = false;
        s.idle.notify_all();
        if (self->setAside) {
            --s.setAside;
            s.workers.erase(self);  // detached
            return;
        }
        --s.running;
        ++s.idleWorkers;
    }
}

LoaderThreads::LoaderThreads(int threads) : state_(std::make_shared<State>(threads)) {}

LoaderThreads::~LoaderThreads()
{
    {
        std::unique_lock lock(state_->mutex);
        state_->jobs.clear();
    }
    waitForDone(kHungReadGraceMs);
    std::vector<std::thread> threads;
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        for (State::Worker& worker : state_->workers) {
            if (!worker.setAside)
                threads.push_back(std::move(worker.thread));
        }
    }
    state_->work.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

int LoaderThreads::maxThreads() const
{
    return state_->maxThreads;
}

void LoaderThreads::start(std::function<void()> job)
{
    {
        const std::lock_guard lock(state_->mutex);
        state_->jobs.push_back(std::move(job));
        if (state_->idleWorkers == 0)
            state_->setAsideBusy(Clock::now() - std::chrono::milliseconds(kHungReadGraceMs), true);
        state_->spawn(state_);
    }
    state_->work.notify_one();
}

void LoaderThreads::unblock()
{
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->jobs.empty() || state_->idleWorkers > 0)
            return;
        state_->setAsideBusy(Clock::now() - std::chrono::milliseconds(kHungReadGraceMs), true);
        state_->spawn(state_);
    }
    state_->work.notify_all();
}

bool LoaderThreads::waitForDone(int ms)
{
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    const bool ended = s.idle.wait_for(lock, std::chrono::milliseconds(std::max(0, ms)),
                                       [&] { return s.jobs.empty() && s.running == 0 && s.setAside == 0; });
    if (!ended) {
        s.setAsideBusy(std::nullopt, false);
        s.spawn(state_);
        lock.unlock();
        s.work.notify_all();
    }
    return ended;
}

}  // namespace tessera

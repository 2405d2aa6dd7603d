#pragma once

#include "files/Progress.h"

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

namespace tessera {

// The progress of one piece of background work: written by its worker thread, read by the GUI.
class WorkProgress final : public Progress {
public:
    void start(std::int64_t maximum) override
    {
        position_.store(0, std::memory_order_relaxed);
        maximum_.store(maximum, std::memory_order_relaxed);
    }
    void advance(std::int64_t steps) override { position_.fetch_add(steps, std::memory_order_relaxed); }
    bool cancelled() const override { return cancelled_.load(std::memory_order_relaxed); }

    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    std::int64_t position() const { return position_.load(std::memory_order_relaxed); }
    std::int64_t maximum() const { return maximum_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::int64_t> position_{0};
    std::atomic<std::int64_t> maximum_{0};
    std::atomic<bool> cancelled_{false};
};

// Runs the long operations one at a time on a worker thread while the GUI thread keeps painting
// and answering. The work reads a snapshot (or nothing of the map); its result is applied on the
// GUI thread afterwards. Commands that would change the map wait in `whenIdle` until the running
// work has ended, so that each one runs whole, as if after it.
class LongWork : public QObject {
    Q_OBJECT

public:
    explicit LongWork(QObject* parent = nullptr);
    ~LongWork() override;

    bool busy() const { return busy_; }

    // What becomes of the result of work that was cancelled: dropped (the work was all or
    // nothing), or applied (it stopped between two steps it has already carried out).
    enum class WhenCancelled { Drop, Apply };

    // Runs `work` on the worker thread, then `done` with its result on this object's thread.
    // False, and nothing runs, while other work is running.
    template <typename Result>
    bool run(std::function<Result(Progress&)> work, std::function<void(Result)> done,
             WhenCancelled whenCancelled = WhenCancelled::Drop);

    // Runs `command` at once when idle; otherwise after the running work and the commands queued
    // before it.
    void whenIdle(std::function<void()> command);

    // Asks the running work to stop, waits until it has and drops the queued commands; the work's
    // `done` is called only for work run with `WhenCancelled::Apply`.
    void cancelAndWait();
    // Blocks until the running work, and any it started when done, has ended and been applied.
    // For tests, benchmarks and the command line.
    void waitForIdle();

signals:
    void busyChanged(bool busy);
    // New work has started; `progress` stays valid for as long as the pointer is held.
    void started(std::shared_ptr<const WorkProgress> progress);

private:
    void begin(std::shared_ptr<WorkProgress> progress, std::function<void()> wait, std::function<void()> apply,
               WhenCancelled whenCancelled);
    // Ends the work that reported `progress` and applies its result unless it was cancelled; does
    // nothing when that work is not the running one.
    void complete(const WorkProgress* progress);
    void runQueued();

    QThreadPool pool_;
    bool busy_ = false;
    std::shared_ptr<WorkProgress> progress_;
    std::function<void()> wait_;
    std::function<void()> apply_;
    WhenCancelled whenCancelled_ = WhenCancelled::Drop;
    std::deque<std::function<void()>> queued_;
};

template <typename Result>
bool LongWork::run(std::function<Result(Progress&)> work, std::function<void(Result)> done,
                   WhenCancelled whenCancelled)
{
    if (busy_)
        return false;
    auto progress = std::make_shared<WorkProgress>();
    QFuture<Result> future =
        QtConcurrent::run(&pool_, [work = std::move(work), progress] { return work(*progress); });
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, id = progress.get()] {
        watcher->deleteLater();
        complete(id);
    });
    begin(
        std::move(progress), [future]() mutable { future.waitForFinished(); },
        [future, done = std::move(done)]() mutable { done(future.takeResult()); }, whenCancelled);
    watcher->setFuture(future);
    return true;
}

}  // namespace tessera

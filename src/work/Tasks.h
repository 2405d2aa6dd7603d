#pragma once

#include "files/Progress.h"
#include "work/LoaderThreads.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace tessera {

class Task;

// The progress of one piece of background work: written by its worker thread, read by the GUI.
class WorkProgress : public Progress {
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

// What a task's work is handed on its thread: its progress, and a way to call its owner.
class TaskProgress final : public WorkProgress {
public:
    // The task emits `woken` on the GUI thread soon after.
    void wake();

private:
    friend class Task;
    explicit TaskProgress(Task* task) : task_(task) {}
    Task* task_;  // alive while the work runs: the task joins the work before it goes
};

// Every background task of the program, and the threads they run on: one thread per running task
// (`threads`), the loaders that read and decode tile files (`loaders`: IO-bound, more threads
// than cores so that cold reads overlap decoding), and the few that load the single tiles of
// editing steps and the chooser's preview (`cellLoaders`: never queued behind a fill). Created
// before and destroyed after everything a task reaches; `settle` stops and joins every task
// before any window goes. A loader blocked in a read for longer than `kHungReadGraceMs` is not
// waited for (a read on a hung file system cannot be interrupted); it ends with the process.
// GUI thread only.
class TaskGroup {
public:
    // `loaderThreads` 0: four a core.
    explicit TaskGroup(int loaderThreads = 0);
    ~TaskGroup();
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;

    QThreadPool& threads() { return threads_; }
    LoaderThreads& loaders() { return loaders_; }
    LoaderThreads& cellLoaders() { return cellLoaders_; }
    // The tasks that exist now, finished or not.
    std::size_t size() const { return tasks_.size(); }

    // Asks every task to stop.
    void cancelAll();
    // Waits until every task's work has ended and the loaders are idle, but for reads hung past
    // the grace; applies nothing.
    void join();
    // The same, the tasks (which stop at their next step) within `taskMs`, then the loaders (only
    // a read may hold them) within `readMs`: true when everything has ended, false when something
    // is left running, blocked in a read.
    bool joinWithin(int taskMs, int readMs);
    void settle()
    {
        cancelAll();
        join();
    }

private:
    friend class Task;
    QThreadPool threads_;
    LoaderThreads loaders_;
    LoaderThreads cellLoaders_;
    std::vector<Task*> tasks_;
};

// One piece of work running on a thread of a `TaskGroup` from construction on. The task owns its
// future and watcher; cancelling sets its progress, which the work reads between steps. Its
// destructor cancels and joins the work, so that what the work captured (by value, or shared)
// lives as long as the work. Its signals come on the GUI thread, never after it is destroyed.
class Task final : public QObject {
    Q_OBJECT

public:
    using Work = std::function<void(TaskProgress&)>;

    Task(TaskGroup& group, Work work, QObject* parent = nullptr);
    ~Task() override;

    void cancel() { progress_->cancel(); }
    bool cancelled() const { return progress_->cancelled(); }
    bool isFinished() const { return future_.isFinished(); }
    // Blocks until the work has ended.
    void wait();
    std::shared_ptr<const WorkProgress> progress() const { return progress_; }

signals:
    // The work called `TaskProgress::wake`.
    void woken();
    // The work has ended.
    void finished();

private:
    friend class TaskGroup;
    TaskGroup* group_;  // null once the group is gone
    std::shared_ptr<TaskProgress> progress_;
    QFuture<void> future_;
    QFutureWatcher<void> watcher_;
};

}  // namespace tessera

#pragma once

#include "work/Tasks.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace tessera {

// Runs the long operations one at a time, each as a `Task`, while the GUI thread keeps painting
// and answering. The work reads a snapshot (or nothing of the map); its result is applied on the
// GUI thread afterwards, never from a destructor. Commands that would change the map wait in
// `whenIdle` until the running work has ended, so that each one runs whole, as if after it.
class LongWork : public QObject {
    Q_OBJECT

public:
    // Its tasks in `tasks`, which outlives it; without one, in a group of its own.
    explicit LongWork(QObject* parent = nullptr);
    explicit LongWork(TaskGroup& tasks, QObject* parent = nullptr);
    // Stops and joins the running work; applies nothing.
    ~LongWork() override;

    bool busy() const { return task_ != nullptr; }
    // No work runs now (finished work may wait to be applied).
    bool ended() const { return !task_ || task_->isFinished(); }

    // What becomes of the result of work that was cancelled: dropped (the work was all or
    // nothing), or applied (it stopped between two steps it has already carried out).
    enum class WhenCancelled { Drop, Apply };

    // Runs `work` on a task's thread, then `done` with its result on this object's thread.
    // False, and nothing runs, while other work is running.
    template <typename Result>
    bool run(std::function<Result(Progress&)> work, std::function<void(Result)> done,
             WhenCancelled whenCancelled = WhenCancelled::Drop);

    // Runs `command` at once when idle; otherwise after the running work and the commands queued
    // before it.
    void whenIdle(std::function<void()> command);

    // While held (as often as released), work that ends keeps its result and stays busy until the
    // last `hold(false)` applies it: nothing is applied while a question is open.
    void hold(bool held);

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
    void begin(std::unique_ptr<Task> task, std::function<void()> apply, WhenCancelled whenCancelled);
    // The task has ended: applies its result unless held, or unless it is not the running one.
    void taskFinished(const Task* task);
    // Ends the running work, which has ended, and applies its result unless it was cancelled.
    void complete();
    void runQueued();

    std::unique_ptr<TaskGroup> ownTasks_;
    TaskGroup& tasks_;
    std::unique_ptr<Task> task_;  // the running work; its identity
    std::function<void()> apply_;
    WhenCancelled whenCancelled_ = WhenCancelled::Drop;
    int held_ = 0;
    std::deque<std::function<void()>> queued_;
};

template <typename Result>
bool LongWork::run(std::function<Result(Progress&)> work, std::function<void(Result)> done,
                   WhenCancelled whenCancelled)
{
    if (busy())
        return false;
    auto result = std::make_shared<std::optional<Result>>();
    auto task = std::make_unique<Task>(tasks_, [work = std::move(work), result](TaskProgress& progress) {
        result->emplace(work(progress));
    });
    begin(std::move(task), [result, done = std::move(done)] { done(std::move(**result)); }, whenCancelled);
    return true;
}

}  // namespace tessera

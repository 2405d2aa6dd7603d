#include "work/LongWork.h"

namespace tessera {

LongWork::LongWork(QObject* parent) : QObject(parent), ownTasks_(std::make_unique<TaskGroup>()), tasks_(*ownTasks_)
{
}

LongWork::LongWork(TaskGroup& tasks, QObject* parent) : QObject(parent), tasks_(tasks)
{
}

LongWork::~LongWork()
{
    queued_.clear();
    task_.reset();  // cancels and joins
}

void LongWork::begin(std::unique_ptr<Task> task, std::function<void()> apply, WhenCancelled whenCancelled)
{
    whenCancelled_ = whenCancelled;
    task_ = std::move(task);
    apply_ = std::move(apply);
    connect(task_.get(), &Task::finished, this, [this, id = task_.get()] { taskFinished(id); });
    emit started(task_->progress());
    emit busyChanged(true);
}

void LongWork::taskFinished(const Task* task)
{
    if (task == task_.get() && held_ == 0)
        complete();
}

void LongWork::complete()
{
    const bool keep = !task_->cancelled() || whenCancelled_ == WhenCancelled::Apply;
    std::function<void()> apply = std::move(apply_);
    apply_ = nullptr;
    task_.reset();
    emit busyChanged(false);
    if (!keep)
        return;
    apply();
    runQueued();
}

void LongWork::whenIdle(std::function<void()> command)
{
    if (busy()) {
        queued_.push_back(std::move(command));
        return;
    }
    command();
}

void LongWork::hold(bool held)
{
    held_ += held ? 1 : -1;
    if (held_ == 0 && task_ && task_->isFinished())
        complete();
}

void LongWork::runQueued()
{
    while (!busy() && !queued_.empty()) {
        std::function<void()> command = std::move(queued_.front());
        queued_.pop_front();
        command();
    }
}

void LongWork::cancelAndWait()
{
    queued_.clear();
    if (!task_)
        return;
    task_->cancel();
    task_->wait();
    complete();
}

void LongWork::waitForIdle()
{
    while (task_) {
        task_->wait();
        complete();
    }
}

}  // namespace tessera

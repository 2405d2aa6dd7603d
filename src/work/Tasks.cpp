#include "work/Tasks.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace tessera {

void TaskProgress::wake()
{
    QMetaObject::invokeMethod(task_, &Task::woken, Qt::QueuedConnection);
}

// A few tasks run at once (the long operation, the canvas's and the preview's tile fills, fills
// still ending after a cancel); more wait for a thread.
constexpr int kTaskThreads = 16;
// A click or two at a time; one hung read leaves the others free.
constexpr int kCellLoaders = 4;

TaskGroup::TaskGroup(int loaderThreads)
    : loaders_(loaderThreads > 0 ? loaderThreads : 4 * std::max(1, QThread::idealThreadCount())),
      cellLoaders_(kCellLoaders)
{
    threads_.setMaxThreadCount(kTaskThreads);
}

TaskGroup::~TaskGroup()
{
    settle();
    for (Task* task : tasks_)
        task->group_ = nullptr;
}

void TaskGroup::cancelAll()
{
    for (Task* task : tasks_)
        task->cancel();
}

void TaskGroup::join()
{
    for (std::size_t i = 0; i < tasks_.size(); ++i)
        tasks_[i]->wait();
    threads_.waitForDone();
    loaders_.waitForDone(kHungReadGraceMs);
    cellLoaders_.waitForDone(kHungReadGraceMs);
}

bool TaskGroup::joinWithin(int taskMs, int readMs)
{
    bool ended = threads_.waitForDone(taskMs);
    QDeadlineTimer deadline(readMs);
    const auto left = [&deadline] { return static_cast<int>(std::max<qint64>(0, deadline.remainingTime())); };
    ended = loaders_.waitForDone(left()) && ended;
    return cellLoaders_.waitForDone(left()) && ended;
}

Task::Task(TaskGroup& group, Work work, QObject* parent)
    : QObject(parent), group_(&group), progress_(new TaskProgress(this))
{
    group.tasks_.push_back(this);
    connect(&watcher_, &QFutureWatcherBase::finished, this, &Task::finished);
    future_ = QtConcurrent::run(&group.threads_, [work = std::move(work), progress = progress_] { work(*progress); });
    watcher_.setFuture(future_);
}

Task::~Task()
{
    cancel();
    wait();
    if (group_)
        std::erase(group_->tasks_, this);
}

void Task::wait()
{
    future_.waitForFinished();
}

}  // namespace tessera

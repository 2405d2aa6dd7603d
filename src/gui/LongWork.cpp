#include "gui/LongWork.h"

namespace tessera {

LongWork::LongWork(QObject* parent) : QObject(parent)
{
    // One operation at a time; the work itself may use the global pool on every core.
    pool_.setMaxThreadCount(1);
}

LongWork::~LongWork()
{
    cancelAndWait();
}

void LongWork::begin(std::shared_ptr<WorkProgress> progress, std::function<void()> wait,
                     std::function<void()> apply, WhenCancelled whenCancelled)
{
    whenCancelled_ = whenCancelled;
    progress_ = std::move(progress);
    wait_ = std::move(wait);
    apply_ = std::move(apply);
    busy_ = true;
    emit started(progress_);
    emit busyChanged(true);
}

void LongWork::complete(const WorkProgress* progress)
{
    if (!busy_ || progress != progress_.get())
        return;
    const bool keep = !progress_->cancelled() || whenCancelled_ == WhenCancelled::Apply;
    std::function<void()> apply = std::move(apply_);
    progress_.reset();
    wait_ = nullptr;
    apply_ = nullptr;
    busy_ = false;
    emit busyChanged(false);
    if (!keep)
        return;
    apply();
    runQueued();
}

void LongWork::whenIdle(std::function<void()> command)
{
    if (busy_) {
        queued_.push_back(std::move(command));
        return;
    }
    command();
}

void LongWork::runQueued()
{
    while (!busy_ && !queued_.empty()) {
        std::function<void()> command = std::move(queued_.front());
        queued_.pop_front();
        command();
    }
}

void LongWork::cancelAndWait()
{
    queued_.clear();
    if (!busy_)
        return;
    progress_->cancel();
    wait_();
    complete(progress_.get());
}

void LongWork::waitForIdle()
{
    while (busy_) {
        wait_();
        complete(progress_.get());
    }
}

}  // namespace tessera

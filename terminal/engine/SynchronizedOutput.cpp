#include "terminal/engine/SynchronizedOutput.hpp"

#include "terminal/engine/Terminal.hpp"

namespace corvix {

SynchronizedOutput::~SynchronizedOutput()
{
    cancelTimeout();
}

void SynchronizedOutput::begin()
{
    const bool wasActive = active_;
    active_ = true;
    scheduleTimeout();
    if (!wasActive && terminal_.tdel) terminal_.tdel->synchronizedOutputChanged(terminal_, true);
}

void SynchronizedOutput::end()
{
    if (!active_) return;
    active_ = false;
    cancelTimeout();
    terminal_.updateRange(0);
    terminal_.updateRange(terminal_.rows - 1);
    if (terminal_.tdel) terminal_.tdel->synchronizedOutputChanged(terminal_, false);
}

void SynchronizedOutput::cancelTimeout()
{
    if (terminal_.executor_ && timeoutItem_) terminal_.executor_->cancel(timeoutItem_);
    timeoutItem_ = 0;
}

void SynchronizedOutput::scheduleTimeout()
{
    Executor* executor = terminal_.executor_;
    if (!executor) return;
    cancelTimeout();
    std::weak_ptr<bool> alive = terminal_.alive_;
    timeoutItem_ = executor->postAfter(kTimeoutSeconds, [this, alive] {
        auto guard = alive.lock();
        if (!guard || !*guard) return;
        timeoutItem_ = 0;
        if (active_) end();
    });
}

} // namespace corvix

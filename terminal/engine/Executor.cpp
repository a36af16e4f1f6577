#include "terminal/engine/Executor.hpp"

namespace corvix {

void ManualExecutor::post(Task task)
{
    postAfter(0, std::move(task));
}

Executor::TaskId ManualExecutor::postAfter(double seconds, Task task)
{
    TaskId id = nextId_++;
    tasks_.emplace(Key{now_ + (seconds > 0 ? seconds : 0), id}, std::move(task));
    return id;
}

void ManualExecutor::cancel(TaskId id)
{
    for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
        if (it->first.id == id) {
            tasks_.erase(it);
            return;
        }
    }
}

void ManualExecutor::runPending()
{
    while (!tasks_.empty() && tasks_.begin()->first.due <= now_) {
        auto node = tasks_.extract(tasks_.begin());
        node.mapped()();
    }
}

void ManualExecutor::advance(double seconds)
{
    double target = now_ + seconds;
    while (!tasks_.empty() && tasks_.begin()->first.due <= target) {
        auto node = tasks_.extract(tasks_.begin());
        if (node.key().due > now_) now_ = node.key().due;
        node.mapped()();
    }
    now_ = target;
}

} // namespace corvix

#include "terminal/engine/SerialQueue.hpp"

#include <cassert>

namespace corvix {

SerialQueue::SerialQueue()
    : thread_([this] { run(); })
{
}

SerialQueue::~SerialQueue()
{
    assert(!isCurrent());
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SerialQueue::post(Task task)
{
    enqueue(Clock::now(), std::move(task));
}

Executor::TaskId SerialQueue::postAfter(double seconds, Task task)
{
    auto delay = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds > 0 ? seconds : 0));
    return enqueue(Clock::now() + delay, std::move(task));
}

Executor::TaskId SerialQueue::enqueue(Clock::time_point due, Task task)
{
    TaskId id;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        tasks_.emplace(Key{due, id}, std::move(task));
    }
    wake_.notify_one();
    return id;
}

void SerialQueue::cancel(TaskId id)
{
    std::lock_guard lock(mutex_);
    for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
        if (it->first.id == id) {
            tasks_.erase(it);
            return;
        }
    }
}

void SerialQueue::run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (tasks_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto first = tasks_.begin();
        if (first->first.due > Clock::now()) {
            wake_.wait_until(lock, first->first.due);
            continue;
        }
        Task task = std::move(tasks_.extract(first).mapped());
        lock.unlock();
        task();
        task = nullptr; // release what the task holds before taking the lock again
        lock.lock();
    }
    // Dropped tasks may own resources whose release posts again: release them unlocked.
    auto dropped = std::move(tasks_);
    tasks_.clear();
    lock.unlock();
}

} // namespace corvix

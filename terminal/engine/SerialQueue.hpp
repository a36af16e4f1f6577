#pragma once

#include "terminal/engine/Executor.hpp"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace corvix {

// A thread of its own with a task queue and timers: tasks run one at a time, in the order they
// are due (posted tasks in posting order). Used as the owning thread of a terminal that has no
// view. Thread-safe; tasks may post further tasks.
class SerialQueue final : public Executor {
public:
    SerialQueue();
    // Waits for the running task, drops the tasks not yet run and ends the thread. Must not be
    // called from a task of this queue.
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void post(Task task) override;
    TaskId postAfter(double seconds, Task task) override;
    void cancel(TaskId id) override;

    // Whether the caller runs on this queue's thread.
    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Key {
        Clock::time_point due;
        TaskId id;
        bool operator<(const Key& o) const { return due < o.due || (due == o.due && id < o.id); }
    };

    TaskId enqueue(Clock::time_point due, Task task);
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<Key, Task> tasks_;
    TaskId nextId_ = 1;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace corvix

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace corvix {

// Where a terminal runs its deferred work (its one timer). Tasks run on the thread that owns
// the terminal; the executor decides when.
class Executor {
public:
    using Task = std::function<void()>;
    using TaskId = uint64_t;

    virtual ~Executor() = default;

    // Runs the task soon, after the current work.
    virtual void post(Task task) = 0;
    // Runs the task after `seconds`; the id cancels it. Ids are never 0.
    virtual TaskId postAfter(double seconds, Task task) = 0;
    // Cancels a task that has not run yet; unknown or finished ids are ignored.
    virtual void cancel(TaskId id) = 0;
};

// An executor driven by hand with a fake clock, for tests: nothing runs until `runPending` or
// `advance` is called.
class ManualExecutor final : public Executor {
public:
    void post(Task task) override;
    TaskId postAfter(double seconds, Task task) override;
    void cancel(TaskId id) override;

    // Runs every task that is due at the current time, including ones they post.
    void runPending();
    // Moves the clock forward and runs what falls due, in time order.
    void advance(double seconds);

    double now() const { return now_; }
    size_t pendingCount() const { return tasks_.size(); }

private:
    struct Key {
        double due;
        TaskId id;
        bool operator<(const Key& o) const { return due < o.due || (due == o.due && id < o.id); }
    };
    std::map<Key, Task> tasks_;
    TaskId nextId_ = 1;
    double now_ = 0;
};

} // namespace corvix

#pragma once

#include "terminal/engine/Executor.hpp"

#include <QObject>

#include <unordered_map>

class QTimer;

namespace corvix {

// Runs a terminal's deferred work on the Qt event loop of the thread that owns this object.
class QtExecutor final : public QObject, public Executor {
public:
    explicit QtExecutor(QObject* parent = nullptr) : QObject(parent) {}

    void post(Task task) override;
    TaskId postAfter(double seconds, Task task) override;
    void cancel(TaskId id) override;

private:
    std::unordered_map<TaskId, QTimer*> timers_;
    TaskId nextId_ = 1;
};

} // namespace corvix

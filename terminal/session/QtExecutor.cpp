#include "terminal/session/QtExecutor.hpp"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace corvix {

void QtExecutor::post(Task task)
{
    QTimer::singleShot(0, this, std::move(task));
}

Executor::TaskId QtExecutor::postAfter(double seconds, Task task)
{
    const TaskId id = nextId_++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id, timer, task = std::move(task)] {
        timers_.erase(id);
        timer->deleteLater();
        task();
    });
    timers_.emplace(id, timer);
    timer->start(int(std::clamp(std::ceil(seconds * 1000.0), 0.0, double(INT32_MAX))));
    return id;
}

void QtExecutor::cancel(TaskId id)
{
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

} // namespace corvix

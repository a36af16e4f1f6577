#pragma once

// A positive marker for checking that something did NOT happen: instead of waiting a fixed time
// and hoping the unwanted event would have landed by then, wait until a marker has gone through
// the event loop that is certain to come after it.
//
// The marker is a timer of `ms`, started now, whose timeout then queues a call. Qt fires due
// timers in deadline order and delivers posted events in order, so once the marker is seen:
// every timer of this thread that was due within `ms` from now has fired (for coarse timers,
// whose deadline may move by 5%, give at least twice their interval), and every call queued
// before it has run. However slow the event loop is (sanitizers, parallel ctest), the order holds.

#include <QEventLoop>
#include <QObject>
#include <QTimer>

[[nodiscard]] inline bool waitForEventsDueWithin(int ms)
{
    QEventLoop loop;
    bool seen = false;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, [&] {
        QMetaObject::invokeMethod(&loop, [&] {
            seen = true;
            loop.quit();
        }, Qt::QueuedConnection);
    });
    QTimer::singleShot(30'000 + ms, &loop, &QEventLoop::quit);
    loop.exec();
    return seen;
}

#pragma once

// Waiting for asynchronous outcomes in tests that have a QCoreApplication but no QTest.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace brisvane::test {

inline void runEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds; false after `limitMilliseconds`.
inline bool waitUntil(const std::function<bool()>& done, int limitMilliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMilliseconds) return false;
        runEventLoop(1);
    }
    return true;
}

} // namespace brisvane::test

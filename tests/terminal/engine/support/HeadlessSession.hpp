#pragma once

#include "terminal/engine/HeadlessTerminal.hpp"
#include "terminal/engine/SerialQueue.hpp"

#include "ScreenDump.hpp"

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace corvix::test {

using namespace std::chrono_literals;


// Runs a headless terminal on its own queue and lets the test wait for its end.
class Session {
public:
    template <typename Fn>
    auto onQueue(Fn fn)
    {
        std::packaged_task<decltype(fn())()> task(fn);
        auto result = task.get_future();
        queue.post([&task] { task(); });
        return result.get();
    }

    explicit Session(TerminalOptions options = TerminalOptions::defaults())
    {
        onQueue([&] {
            headless = std::make_unique<HeadlessTerminal>(queue, options, [this](std::optional<int32_t> status) {
                std::lock_guard lock(mutex);
                // What the screen shows at the moment the end is reported.
                screenAtEnd = test::dumpScreen(headless->terminal());
                endStatus = status;
                ended = true;
                changed.notify_all();
            });
        });
    }
    ~Session()
    {
        onQueue([&] { headless.reset(); });
    }

    bool waitForEnd(std::chrono::seconds limit = 20s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return ended; });
    }

    template <typename Pred>
    bool eventually(Pred pred, std::chrono::seconds limit = 20s)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (onQueue(pred)) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    SerialQueue queue;
    std::unique_ptr<HeadlessTerminal> headless;
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    std::optional<int32_t> endStatus;
    std::string screenAtEnd;
};


} // namespace corvix::test

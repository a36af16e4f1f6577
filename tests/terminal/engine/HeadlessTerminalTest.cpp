#include "terminal/engine/HeadlessTerminal.hpp"
#include "terminal/engine/SerialQueue.hpp"

#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

using namespace corvix;
using namespace std::chrono_literals;

namespace {

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

} // namespace

TEST(HeadlessTerminal, EndIsReportedAfterTheLastOutputWasFed)
{
    Session s;
    s.onQueue([&] {
        s.headless->process().startProcess("/bin/sh", {"-c", "printf 'one\\r\\ntwo'; exit 3"});
    });
    ASSERT_TRUE(s.waitForEnd());
    std::lock_guard lock(s.mutex);
    EXPECT_EQ(s.endStatus, 768);
    EXPECT_EQ(s.screenAtEnd.substr(0, 8), "one\ntwo\n");
}

TEST(HeadlessTerminal, ResizeReachesTheChild)
{
    Session s;
    s.onQueue([&] {
        s.headless->process().startProcess("/bin/sh", {"-c", "stty size; read x; stty size"});
    });
    ASSERT_TRUE(s.eventually([&] { return test::dumpRow(s.headless->terminal(), 0) == "25 80"; }));
    s.onQueue([&] {
        s.headless->resize(100, 30);
        s.headless->send("\n");
    });
    ASSERT_TRUE(s.waitForEnd());
    EXPECT_EQ(s.onQueue([&] { return test::dumpRow(s.headless->terminal(), 2); }), "30 100");
}

TEST(HeadlessTerminal, WindowSizeAndScrollback)
{
    Session s;
    s.onQueue([&] {
        winsize size = s.headless->getWindowSize();
        EXPECT_EQ(size.ws_row, 25);
        EXPECT_EQ(size.ws_col, 80);
        EXPECT_EQ(size.ws_xpixel, 16);
        EXPECT_EQ(size.ws_ypixel, 16);
        s.headless->changeScrollback(std::nullopt);
        EXPECT_EQ(s.headless->terminal().options.scrollback, 0);
        EXPECT_EQ(s.headless->terminal().normalBuffer().lines().maxLength(), 25);
    });
}

#include "terminal/engine/SerialQueue.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

using namespace corvix;
using namespace std::chrono_literals;

namespace {
void waitIdle(SerialQueue& queue)
{
    std::promise<void> done;
    queue.post([&] { done.set_value(); });
    ASSERT_EQ(done.get_future().wait_for(30s), std::future_status::ready);
}
} // namespace

TEST(SerialQueue, RunsPostedTasksInOrderOnItsOwnThread)
{
    SerialQueue queue;
    std::string log;
    std::promise<void> done;
    bool allOnQueue = true;
    // Posted from one task, so that 'a' cannot run before 'e' is queued.
    queue.post([&] {
        for (char c = 'a'; c <= 'e'; ++c) {
            queue.post([&, c] {
                allOnQueue = allOnQueue && queue.isCurrent();
                log += c;
                if (c == 'a') queue.post([&] { log += 'z'; done.set_value(); }); // queued after the others
            });
        }
    });
    ASSERT_EQ(done.get_future().wait_for(30s), std::future_status::ready);
    EXPECT_EQ(log, "abcdez");
    EXPECT_TRUE(allOnQueue);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, TimersRunByDueTimeAndCancelledOnesNever)
{
    SerialQueue queue;
    std::string log;
    std::promise<void> done;
    auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration lateRanAfter{};
    queue.postAfter(0.30, [&] {
        log += "late";
        lateRanAfter = std::chrono::steady_clock::now() - start;
        done.set_value();
    });
    auto cancelled = queue.postAfter(0.10, [&] { log += "cancelled"; });
    queue.postAfter(0.05, [&] { log += "early,"; });
    queue.post([&] { log += "now,"; });
    queue.cancel(cancelled);
    queue.cancel(987654); // unknown: ignored
    ASSERT_EQ(done.get_future().wait_for(30s), std::future_status::ready);
    EXPECT_EQ(log, "now,early,late");
    EXPECT_GE(lateRanAfter, 300ms);
}

TEST(SerialQueue, DestructionDropsPendingTasksAndReleasesWhatTheyHold)
{
    auto held = std::make_shared<int>(1);
    std::weak_ptr<int> watch = held;
    bool ran = false;
    {
        SerialQueue queue;
        queue.postAfter(60, [held, &ran] { ran = true; });
        held.reset();
        waitIdle(queue);
    }
    EXPECT_FALSE(ran);
    EXPECT_TRUE(watch.expired());
}

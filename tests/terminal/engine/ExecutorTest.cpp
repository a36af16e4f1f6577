#include "terminal/engine/Executor.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace corvix;

TEST(ManualExecutor, RunsTasksInTimeOrderAndHonoursCancel)
{
    ManualExecutor ex;
    std::string log;
    ex.postAfter(1.0, [&] { log += "b"; });
    auto cancelled = ex.postAfter(0.5, [&] { log += "x"; });
    ex.post([&] {
        log += "a";
        ex.post([&] { log += "c"; }); // posted from a task: runs in the same pass
    });
    ex.cancel(cancelled);
    ex.cancel(12345); // unknown ids are ignored

    ex.runPending();
    EXPECT_EQ(log, "ac");
    ex.advance(0.99);
    EXPECT_EQ(log, "ac");
    ex.advance(0.01);
    EXPECT_EQ(log, "acb");
    EXPECT_DOUBLE_EQ(ex.now(), 1.0);
    EXPECT_EQ(ex.pendingCount(), 0u);
}

#include "terminal/screen/Log.hpp"

#include <gtest/gtest.h>

using namespace corvix;

TEST(Log, CaptureCollectsLinesAndRestoresPreviousSink)
{
    log::Capture outer;
    {
        log::Capture inner;
        log::write("first");
        ASSERT_EQ(inner.lines().size(), 1u);
        EXPECT_EQ(inner.lines()[0], "first");
    }
    log::write("second");
    ASSERT_EQ(outer.lines().size(), 1u);
    EXPECT_EQ(outer.lines()[0], "second");
}

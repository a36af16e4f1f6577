#include "terminal/screen/Log.hpp"

#include <gtest/gtest.h>

#include <cstdio>

using namespace corvix;

TEST(Log, CaptureCollectsLinesAndRestoresPreviousSink)
{
    log::Capture outer;
    {
        log::Capture inner;
        log::write(log::Category::engine, log::Level::info, "first");
        ASSERT_EQ(inner.lines().size(), 1u);
        EXPECT_EQ(inner.lines()[0], "first");
    }
    log::write(log::Category::screen, log::Level::warning, "second");
    ASSERT_EQ(outer.lines().size(), 1u);
    EXPECT_EQ(outer.lines()[0], "second");
}

TEST(Log, SinkHearsEachLinesLevelAndCategory)
{
    log::Capture capture;
    log::write(log::Category::process, log::Level::debug, "a trace");
    log::write(log::Category::parser, log::Level::info, "an unknown sequence");
    log::write(log::Category::screen, log::Level::warning, "an inconsistency");
    ASSERT_EQ(capture.entries().size(), 3u);
    EXPECT_EQ(capture.entries()[0].category, log::Category::process);
    EXPECT_EQ(capture.entries()[0].level, log::Level::debug);
    EXPECT_EQ(capture.entries()[1].category, log::Category::parser);
    EXPECT_EQ(capture.entries()[1].level, log::Level::info);
    EXPECT_EQ(capture.entries()[2].category, log::Category::screen);
    EXPECT_EQ(capture.entries()[2].level, log::Level::warning);
    EXPECT_EQ(log::categoryName(log::Category::engine), "engine");
}

TEST(Log, AHostsDefaultSinkLeavesAnInstalledOneInPlace)
{
    log::Capture capture;
    int defaultLines = 0;
    EXPECT_FALSE(log::setSinkIfNone([&](log::Level, log::Category, std::string_view) { defaultLines++; }));
    log::write(log::Category::engine, log::Level::info, "kept");
    EXPECT_EQ(defaultLines, 0);
    EXPECT_EQ(capture.lines().size(), 1u);
}

TEST(LogDeathTest, FatalLinesReachTheSinkBeforeTheProgramStops)
{
    EXPECT_DEATH(
        {
            log::setSink([](log::Level level, log::Category category, std::string_view line) {
                if (level == log::Level::fatal && category == log::Category::screen)
                    std::fprintf(stderr, "fatal: %.*s\n", int(line.size()), line.data());
            });
            log::fatal("the ring lost its slots");
        },
        "fatal: the ring lost its slots");
}

#include "app/Services/tiles/TerminalScrollStickPolicy.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace brisvane;
using TerminalScrollStickPolicy::ViewState;

TEST(TerminalScrollStickPolicy, MeasuresTheDistanceFromTheBottom)
{
    struct Case {
        double position;
        int top;
        std::optional<int64_t> distance;
    };
    const Case cases[] = {
        {0.5, 100, 100},   {0.9, 90, 10},      {0.999, 1, 0},           {0.0, 10, std::nullopt},
        {1.0, 10, std::nullopt}, {0.5, 0, std::nullopt}, {NAN, 10, std::nullopt}, {1e-320, 5, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.position << " " << c.top);
        EXPECT_EQ(TerminalScrollStickPolicy::distanceFromBottomLines(c.position, c.top), c.distance);
    }
}

TEST(TerminalScrollStickPolicy, DecidesWhetherOutputTakesTheViewDown)
{
    // A view `up` lines above the bottom of 200 scrollable lines.
    auto linesUp = [](int up, int rows, std::optional<double> sinceScroll) {
        const int top = 200 - up;
        return ViewState{double(top) / 200.0, top, rows, true, sinceScroll};
    };
    struct Case {
        const char* name;
        ViewState view;
        bool follows;
    };
    const Case cases[] = {
        {"cannot scroll", {0.0, 0, 24, false, 1.0}, true},
        {"NaN position", {NAN, 10, 24, true, std::nullopt}, false},
        {"at the bottom", {1.0, 200, 24, true, 1.0}, true},
        {"at the top", {0.0, 0, 24, true, std::nullopt}, false},
        {"24 rows, 2 up", linesUp(2, 24, 1.0), true},
        {"24 rows, 5 up, wheel 1 s ago", linesUp(5, 24, 1.0), false},
        {"24 rows, 5 up, wheel exactly 30 s ago", linesUp(5, 24, 30.0), false},
        {"24 rows, 5 up, wheel 30.5 s ago", linesUp(5, 24, 30.5), true},
        {"24 rows, 5 up, no wheel", linesUp(5, 24, std::nullopt), true},
        {"24 rows, 6 up (the threshold), no wheel", linesUp(6, 24, std::nullopt), true},
        {"24 rows, 7 up", linesUp(7, 24, std::nullopt), false},
        {"10 rows: 2.5 rounds to 3", linesUp(3, 10, std::nullopt), true},
        {"10 rows, 4 up", linesUp(4, 10, std::nullopt), false},
        {"8 rows: 2 is raised to 3", linesUp(3, 8, std::nullopt), true},
        {"8 rows, 3 up, recent wheel", linesUp(3, 8, 2.0), false},
        {"negative rows count as none", linesUp(3, -8, std::nullopt), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TerminalScrollStickPolicy::shouldScrollToBottom(c.view), c.follows);
    }
}

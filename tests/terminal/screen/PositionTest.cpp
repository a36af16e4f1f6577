#include "terminal/screen/Line.hpp"
#include "terminal/screen/Position.hpp"

#include <gtest/gtest.h>

using namespace corvix;

TEST(Position, RowsDecideBeforeColumns)
{
    using R = Position::CompareResult;
    struct Case {
        Position a, b;
        R expected;
    } cases[] = {
        {{5, 2}, {0, 3}, R::before}, {{0, 3}, {5, 2}, R::after}, {{4, 4}, {4, 4}, R::equal},
        {{3, 7}, {4, 7}, R::before}, {{4, 7}, {3, 7}, R::after},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Position::compare(c.a, c.b), c.expected) << c.a.debugDescription() << " vs " << c.b.debugDescription();
    EXPECT_EQ((Position{-1, 12}).debugDescription(), "col=-1 row=12");
}

TEST(Line, AddSumsLengthsAndDescribesFragments)
{
    Line line;
    EXPECT_EQ(line.debugDescription(), "[]");
    line.add({"ab", 0, 0, 2});
    line.add({"\n", 0, -1, 1});
    line.add({std::nullopt, 1, 0, 0});
    EXPECT_EQ(line.length, 3);
    EXPECT_EQ(line.debugDescription(), "3/3: [ab][\\n][][");
}

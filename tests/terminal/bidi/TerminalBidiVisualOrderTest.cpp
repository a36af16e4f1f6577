#include "terminal/bidi/TerminalBidi.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;

// Units the resolver removes (embedding controls, boundary neutrals such as U+00AD) are placed
// beside their neighbours with the direction of the nearest known one.
TEST(TerminalBidiVisualOrder, PlacesUnitsWithoutAPlaceOfTheirOwn)
{
    constexpr auto ltr = BidiDirection::leftToRight;
    constexpr auto rtl = BidiDirection::rightToLeft;
    const struct {
        const char* what;
        std::u32string text;
        BidiDirection base;
        size_t begin;
        size_t end;
        std::vector<int> order;
        std::vector<bool> rtl;
    } cases[] = {
        {"embedding between Hebrew letters", U"\u05D0\u202B\u05D1", ltr, 0, 3, {2, 1, 0}, {true, true, true}},
        {"first unit: the cell after it decides", U"\u202Ba\u05D0", ltr, 0, 3, {2, 0, 1}, {false, false, true}},
        {"equal distance: the earlier neighbour wins", U"\u05D0\u00ADa", rtl, 0, 3, {2, 1, 0}, {true, true, false}},
        {"inferred units count as known", U"\u05D0\u00AD\u00ADa", ltr, 0, 4, {2, 1, 0, 3},
         {true, true, true, false}},
        {"nothing known: the base direction", U"\u202B\u202C", rtl, 0, 2, {1, 0}, {true, true}},
        {"nothing known, left-to-right", U"\u202B\u202C", ltr, 0, 2, {0, 1}, {false, false}},
        {"no neighbour placed yet: appended", U"\u202B\u202Ca", ltr, 0, 3, {2, 0, 1}, {false, false, false}},
        {"one line of a paragraph", U"ab \u05D0\u202C\u05D1 cd", ltr, 3, 6, {2, 1, 0}, {true, true, true}},
        {"plain left-to-right", U"abc", ltr, 0, 3, {0, 1, 2}, {false, false, false}},
        {"empty line", U"abc", ltr, 1, 1, {}, {}},
    };
    for (const auto& c : cases) {
        const BidiResolver resolver(c.text, c.base);
        const auto got = TerminalBidi::computeVisualOrder(c.begin, c.end, resolver, c.base);
        EXPECT_EQ(got.order, c.order) << c.what;
        EXPECT_EQ(got.rtl, c.rtl) << c.what;
    }
}

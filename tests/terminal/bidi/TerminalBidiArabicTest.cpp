#include "terminal/bidi/TerminalBidi.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace corvix;

namespace {

using Display = std::optional<std::u32string>;

std::vector<TerminalBidi::Cell> cellsOf(const std::vector<std::u32string>& texts)
{
    std::vector<TerminalBidi::Cell> cells;
    for (size_t i = 0; i < texts.size(); ++i) cells.push_back({0, int(i), 1, texts[i]});
    return cells;
}

std::string describe(const std::vector<Display>& shaped)
{
    std::string out;
    for (const auto& d : shaped) {
        out += "[";
        if (!d) out += "-";
        for (char32_t c : d.value_or(U"")) out += " " + std::to_string(uint32_t(c));
        out += "]";
    }
    return out;
}

} // namespace

TEST(TerminalBidiArabic, ChoosesFormsFromTheNeighbours)
{
    const Display keep;
    const struct {
        const char* what;
        std::vector<std::u32string> cells;
        std::vector<Display> shown;
    } cases[] = {
        {"two beh", {U"\u0628", U"\u0628"}, {U"\uFE91", U"\uFE90"}},
        {"three beh", {U"\u0628", U"\u0628", U"\u0628"}, {U"\uFE91", U"\uFE92", U"\uFE90"}},
        {"beh alef", {U"\u0628", U"\u0627"}, {U"\uFE91", U"\uFE8E"}},
        {"alef does not join forward", {U"\u0627", U"\u0628"}, {U"\uFE8D", U"\uFE8F"}},
        {"beh reh", {U"\u0628", U"\u0631"}, {U"\uFE91", U"\uFEAE"}},
        {"zero-width non-joiner", {U"\u0628", U"\u200C", U"\u0628"}, {U"\uFE8F", keep, U"\uFE8F"}},
        {"tatweel joins both ways", {U"\u0628", U"\u0640", U"\u0628"}, {U"\uFE91", keep, U"\uFE90"}},
        {"mark in the letter's cell", {U"\u0628\u064E", U"\u0628"}, {U"\uFE91\u064E", U"\uFE90"}},
        {"mark alone in a cell is skipped", {U"\u0628", U"\u064E", U"\u0628"}, {U"\uFE91", keep, U"\uFE90"}},
        {"hamza is isolated whatever its neighbours",
         {U"\u0628", U"\u0621", U"\u0628"}, {U"\uFE8F", U"\uFE80", U"\uFE8F"}},
        {"a Latin letter breaks the join", {U"\u0628", U"a", U"\u0628"}, {U"\uFE8F", keep, U"\uFE8F"}},
        {"an empty cell is a blank", {U"\u0628", U"", U"\u0628"}, {U"\uFE8F", keep, U"\uFE8F"}},
        {"lam alef", {U"\u0644", U"\u0627"}, {U"\uFEFB", U" "}},
        {"lam alef after beh", {U"\u0628", U"\u0644", U"\u0627"}, {U"\uFE91", U"\uFEFC", U" "}},
        {"lam alef keeps the marks of both cells",
         {U"\u0644\u064E", U"\u0623\u064F"}, {U"\uFEF7\u064E\u064F", U" "}},
        {"lam before a mark cell is no ligature", {U"\u0644", U"\u064E", U"\u0627"}, {U"\uFEDF", keep, U"\uFE8E"}},
        {"plain text", {U"a", U"1", U" "}, {keep, keep, keep}},
    };
    for (const auto& c : cases) {
        const auto cells = cellsOf(c.cells);
        const auto shaped = TerminalBidi::shapeArabic(cells);
        EXPECT_EQ(shaped, c.shown) << c.what << ": " << describe(shaped);
    }
    EXPECT_TRUE(TerminalBidi::shapeArabic({}).empty());
}

TEST(TerminalBidiArabic, FormTables)
{
    const auto* beh = TerminalBidi::unicode17Forms(0x0628);
    ASSERT_NE(beh, nullptr);
    EXPECT_EQ(beh->iso, 0xFE8F);
    EXPECT_EQ(beh->fin, 0xFE90);
    EXPECT_EQ(beh->ini, 0xFE91);
    EXPECT_EQ(beh->med, 0xFE92);
    // Letters with an isolated form only show it as their final form too.
    EXPECT_EQ(TerminalBidi::unicode17Forms(0x0621)->fin, 0xFE80);
    EXPECT_EQ(TerminalBidi::unicode17Forms(0x0677)->fin, 0xFBDD);
    // Right-joining letters have no initial or medial form.
    EXPECT_EQ(TerminalBidi::unicode17Forms(0x0627)->ini, 0);
    EXPECT_EQ(TerminalBidi::unicode17Forms(U'a'), nullptr);

    EXPECT_EQ(TerminalBidi::lamAlef(0x0622)->fin, char32_t(0xFEF6));
    EXPECT_EQ(TerminalBidi::lamAlef(0x0625)->iso, char32_t(0xFEF9));
    EXPECT_FALSE(TerminalBidi::lamAlef(0x0628));
}

#include "terminal/screen/GraphemeBreakState.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace corvix;

namespace {

struct BreakCase {
    std::string line;
    std::u32string text;
    std::vector<bool> boundaryBefore; // per scalar; the first is always a boundary
};

std::vector<BreakCase> readBreakTest(const std::string& path)
{
    std::vector<BreakCase> cases;
    std::ifstream in(path);
    std::string raw;
    while (std::getline(in, raw)) {
        std::string line = raw.substr(0, raw.find('#'));
        while (!line.empty() && isspace(uint8_t(line.back()))) line.pop_back();
        if (line.empty()) continue;
        BreakCase c;
        c.line = line;
        std::istringstream words(line);
        std::string word;
        bool boundary = true;
        while (words >> word) {
            if (word == "\xC3\xB7") { // ÷
                boundary = true;
            } else if (word == "\xC3\x97") { // ×
                boundary = false;
            } else {
                c.text.push_back(char32_t(std::stoul(word, nullptr, 16)));
                c.boundaryBefore.push_back(boundary);
            }
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

std::vector<bool> incrementalBoundaries(std::u32string_view text)
{
    GraphemeBreakState state;
    std::vector<bool> out;
    for (char32_t c : text) out.push_back(state.append(c));
    return out;
}

std::vector<bool> segmenterBoundaries(std::u32string_view text)
{
    std::vector<bool> out(text.size(), false);
    for (size_t i = 0; i < text.size(); i = GraphemeBreakState::nextBoundary(text, i)) out[i] = true;
    return out;
}

void checkAll(const std::vector<BreakCase>& cases)
{
    for (const auto& c : cases) {
        EXPECT_EQ(incrementalBoundaries(c.text), c.boundaryBefore) << c.line;
        EXPECT_EQ(segmenterBoundaries(c.text), c.boundaryBefore) << c.line;
    }
}

} // namespace

// The checked-in copy of the newest test file our sources carry (16.0); it covers the
// conjunct rule.
TEST(GraphemeBreakState, PassesEveryLineOfBreakTest16)
{
    auto cases = readBreakTest(std::string(BRISVANE_TEST_DATA) + "/GraphemeBreakTest-16.0.0.txt");
    ASSERT_EQ(cases.size(), 1093u);
    checkAll(cases);
}

// Debian's unicode-data ships the 15.0 file. Every line holds under the newer rules: the one
// rule added since (Indic conjuncts, 15.1) has no line in it, so nothing is skipped.
TEST(GraphemeBreakState, PassesEveryLineOfBreakTest15)
{
    const std::string path = "/usr/share/unicode/auxiliary/GraphemeBreakTest.txt";
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing (package unicode-data): run scripts/install-deps";
    auto cases = readBreakTest(path);
    ASSERT_EQ(cases.size(), 602u);
    checkAll(cases);
}

TEST(GraphemeBreakState, ClustersOfTerminalText)
{
    const struct {
        std::u32string text;
        bool single;
    } cases[] = {
        {U"e\u0301", true},
        {U"\r\n", true},
        {U"\n\r", false},
        {U"\U0001F468\u200D\U0001F469\u200D\U0001F467", true}, // family ZWJ sequence
        {U"\U0001F44D\U0001F3FD", true},                        // skin tone
        {U"\u2764\uFE0F", true},
        {U"\U0001F1EF\U0001F1F5", true},                        // one flag
        {U"\U0001F1EF\U0001F1F5\U0001F1FA", false},             // a flag and half of the next
        {U"a\u200D\U0001F600", false},                          // ZWJ after a letter joins nothing
        {U"\u0915\u094D\u0937", true},                          // conjunct KSSA
        {U"\u1100\u1161\u11A8", true},                          // Hangul L V T
        {U"ab", false},
        {U"", false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(GraphemeBreakState::isSingleGrapheme(cases[i].text), cases[i].single)
            << "case " << i;
}

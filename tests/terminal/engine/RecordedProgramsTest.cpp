// Output recorded from real programs (less, vi, a scroll-region script) at 80x24 inside tmux,
// fed to the terminal: the screen must read as tmux showed it. See
// tests/data/recordings/record.sh for how the fixtures were made.
#include "terminal/engine/Terminal.hpp"

#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace corvix;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out.push_back(line);
    }
    return out;
}

} // namespace

class RecordedPrograms : public ::testing::TestWithParam<const char*> {};

TEST_P(RecordedPrograms, ScreenMatchesWhatTmuxShowed)
{
    const std::string base = std::string(BRISVANE_TEST_DATA) + "/recordings/" + GetParam();
    const std::string raw = readFile(base + ".raw");
    const auto expected = lines(readFile(base + ".screen"));
    ASSERT_FALSE(raw.empty());
    ASSERT_EQ(expected.size(), 24u);

    test::RecordingDelegate d;
    TerminalOptions o;
    o.cols = 80;
    o.rows = 24;
    Terminal t(&d, o);
    t.feed(raw);
    const auto actual = lines(test::dumpScreen(t));
    ASSERT_EQ(actual.size(), 24u);
    for (size_t row = 0; row < 24; row++) EXPECT_EQ(actual[row], expected[row]) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RecordedPrograms, ::testing::Values("less", "vi", "region"));

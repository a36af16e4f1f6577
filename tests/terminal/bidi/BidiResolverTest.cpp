#include "terminal/bidi/BidiResolver.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace corvix;

namespace {

// The lines of a text file, or of a gzip-compressed one read through gzip.
std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    const bool compressed = path.ends_with(".gz");
    const std::string command = "gzip -dc '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> file(compressed ? popen(command.c_str(), "r") : fopen(path.c_str(), "r"),
                                               compressed ? pclose : fclose);
    if (!file) return lines;
    std::string line;
    for (int c; (c = fgetc(file.get())) != EOF;) {
        if (c != '\n') {
            line.push_back(char(c));
            continue;
        }
        lines.push_back(std::move(line));
        line.clear();
    }
    return lines;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

std::vector<int> numbers(const std::string& text)
{
    std::vector<int> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(word == "x" ? BidiResolver::kRemoved : std::stoi(word));
    return out;
}

std::vector<int> widen(const std::vector<int8_t>& levels) { return {levels.begin(), levels.end()}; }

std::optional<BidiDirection> direction(int field)
{
    if (field == 0) return BidiDirection::leftToRight;
    if (field == 1) return BidiDirection::rightToLeft;
    return std::nullopt;
}

// Levels (after L1) and order of one paragraph laid out as one line.
struct Outcome {
    int paragraphLevel;
    std::vector<int> levels;
    std::vector<int> order;
};
Outcome resolve(std::u32string_view text, std::optional<BidiDirection> base)
{
    BidiResolver resolver(text, base);
    auto levels = resolver.lineLevels(0, text.size());
    return {resolver.paragraphLevel(), widen(levels), BidiResolver::visualOrder(levels)};
}

// Runs every line of a BidiCharacterTest file; returns the number of lines and the failures.
std::pair<size_t, std::vector<std::string>> runCharacterTest(const std::string& path)
{
    size_t count = 0;
    std::vector<std::string> failures;
    for (const auto& line : readLines(path)) {
        if (line.empty() || line[0] == '#') continue;
        const auto fields = split(line, ';');
        if (fields.size() != 5) {
            failures.push_back("malformed: " + line);
            continue;
        }
        ++count;
        std::u32string text;
        std::istringstream hex(fields[0]);
        for (std::string word; hex >> word;) text.push_back(char32_t(std::stoul(word, nullptr, 16)));
        const Outcome got = resolve(text, direction(std::stoi(fields[1])));
        if (got.paragraphLevel != std::stoi(fields[2]) || got.levels != numbers(fields[3])
            || got.order != numbers(fields[4])) {
            failures.push_back(line);
        }
    }
    return {count, failures};
}

std::string firstFew(const std::vector<std::string>& failures)
{
    std::string out;
    for (size_t i = 0; i < failures.size() && i < 10; ++i) out += failures[i] + "\n";
    return out;
}

} // namespace

// The checked-in copy of Debian's 15.0 file; every scalar it uses has the same bidi class in
// the 17.0 tables.
TEST(BidiResolver, PassesEveryLineOfBidiCharacterTest)
{
    const auto [count, failures] =
        runCharacterTest(std::string(BRISVANE_TEST_DATA) + "/BidiCharacterTest-15.0.0.txt.gz");
    EXPECT_EQ(count, 91707u);
    EXPECT_TRUE(failures.empty()) << failures.size() << " failing lines, first:\n" << firstFew(failures);
}

// BidiTest gives classes, not scalars: each class is played by one scalar of that class (none
// of them a bracket).
TEST(BidiResolver, PassesEveryCaseOfBidiTest)
{
    const std::string path = "/usr/share/unicode/BidiTest.txt";
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing (package unicode-data): run scripts/install-deps";
    const std::map<std::string, char32_t> stand = {
        {"L", U'a'},     {"R", 0x05D0},   {"AL", 0x0627},  {"EN", U'1'},    {"ES", U'+'},    {"ET", U'$'},
        {"AN", 0x0660},  {"CS", U','},    {"NSM", 0x0300}, {"BN", 0x00AD},  {"B", 0x2029},   {"S", U'\t'},
        {"WS", U' '},    {"ON", U'!'},    {"LRE", 0x202A}, {"RLE", 0x202B}, {"PDF", 0x202C}, {"LRO", 0x202D},
        {"RLO", 0x202E}, {"LRI", 0x2066}, {"RLI", 0x2067}, {"FSI", 0x2068}, {"PDI", 0x2069},
    };
    std::vector<int> levels;
    std::vector<int> order;
    size_t cases = 0;
    std::vector<std::string> failures;
    for (const auto& line : readLines(path)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.starts_with("@Levels:")) {
            levels = numbers(line.substr(8));
            continue;
        }
        if (line.starts_with("@Reorder:")) {
            order = numbers(line.substr(9));
            continue;
        }
        if (line[0] == '@') continue;
        const auto fields = split(line, ';');
        std::u32string text;
        std::istringstream names(fields[0]);
        for (std::string name; names >> name;) text.push_back(stand.at(name));
        const int bits = std::stoi(fields[1], nullptr, 16);
        const std::pair<int, std::optional<BidiDirection>> paragraphs[] = {
            {1, std::nullopt}, {2, BidiDirection::leftToRight}, {4, BidiDirection::rightToLeft}};
        for (const auto& [bit, base] : paragraphs) {
            if (!(bits & bit)) continue;
            ++cases;
            const Outcome got = resolve(text, base);
            if (got.levels != levels || got.order != order) failures.push_back(line + " (bit " + std::to_string(bit) + ")");
        }
    }
    EXPECT_GT(cases, 700000u);
    EXPECT_TRUE(failures.empty()) << failures.size() << " failing cases, first:\n" << firstFew(failures);
}

// The paragraph is resolved once; each line is then reordered by itself, and white space at a
// line's end goes back to the paragraph level.
TEST(BidiResolver, ResolvesTheParagraphAndOrdersEachLine)
{
    // Right-to-left paragraph "אב ab |cd": the space after "ab" sits between two Latin letters
    // of the paragraph, but it ends the first line.
    const std::u32string text = U"\u05D0\u05D1 ab cd";
    BidiResolver resolver(text, BidiDirection::rightToLeft);
    EXPECT_EQ(widen({resolver.levels().begin(), resolver.levels().end()}), (std::vector<int>{1, 1, 1, 2, 2, 2, 2, 2}));

    const auto first = resolver.lineLevels(0, 6);
    EXPECT_EQ(widen(first), (std::vector<int>{1, 1, 1, 2, 2, 1}));
    EXPECT_EQ(BidiResolver::visualOrder(first), (std::vector<int>{5, 3, 4, 2, 1, 0}));
    const auto second = resolver.lineLevels(6, 2);
    EXPECT_EQ(BidiResolver::visualOrder(second), (std::vector<int>{0, 1}));

    // A range past the end is cut to the text.
    EXPECT_EQ(resolver.lineLevels(6, 100).size(), 2u);
    EXPECT_TRUE(resolver.lineLevels(100, 5).empty());
    EXPECT_TRUE(BidiResolver(U"").lineLevels(0, 0).empty());
}

// Child programs may send any number of nested controls: levels stop at the maximum depth and
// every further initiator is counted as overflow, never pushed.
TEST(BidiResolver, DeepNestingStopsAtTheMaximumDepth)
{
    const struct {
        char32_t control;
        int letterLevel;
    } cases[] = {
        {0x202A, 124}, // LRE: even levels up to 124
        {0x202B, 126}, // RLE: odd levels up to 125; a Latin letter there is at 126
        {0x2066, 124}, // LRI
        {0x2067, 126}, // RLI
    };
    for (const auto& c : cases) {
        std::u32string text(300, c.control);
        text += U"a";
        text += std::u32string(300, c.control == 0x2066 || c.control == 0x2067 ? char32_t(0x2069) : char32_t(0x202C));
        text += U"b";
        BidiResolver resolver(text, BidiDirection::leftToRight);
        EXPECT_EQ(resolver.levels()[300], c.letterLevel) << std::hex << uint32_t(c.control);
        EXPECT_EQ(resolver.levels()[601], 0) << std::hex << uint32_t(c.control);
    }
}

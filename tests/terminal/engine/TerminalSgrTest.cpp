#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Log.hpp"

#include "support/ChunkSplit.hpp"
#include "support/RecordingDelegate.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using corvix::test::RecordingDelegate;

namespace {

std::string color(const Attribute::Color& c)
{
    switch (c.kind()) {
    case Attribute::Color::Kind::ansi256: return std::to_string(c.code());
    case Attribute::Color::Kind::trueColor:
        return "rgb(" + std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue()) + ")";
    case Attribute::Color::Kind::defaultColor: return "default";
    case Attribute::Color::Kind::defaultInvertedColor: return "inverted";
    }
    return "?";
}

// The attribute's fields that differ from the plain attribute, e.g. "fg=196 bold ul=curly".
std::string describe(const Attribute& a)
{
    std::vector<std::string> parts;
    if (a.fg != Attribute::Color::defaultColor()) parts.push_back("fg=" + color(a.fg));
    if (a.bg != Attribute::Color::defaultColor()) parts.push_back("bg=" + color(a.bg));
    static const std::pair<CharacterStyle, const char*> kStyles[] = {
        {CharacterStyle::bold, "bold"},           {CharacterStyle::underline, "underline"},
        {CharacterStyle::blink, "blink"},         {CharacterStyle::inverse, "inverse"},
        {CharacterStyle::invisible, "invisible"}, {CharacterStyle::dim, "dim"},
        {CharacterStyle::italic, "italic"},       {CharacterStyle::crossedOut, "crossedOut"},
    };
    for (const auto& [style, name] : kStyles)
        if (a.style.contains(style)) parts.push_back(name);
    static const char* kUnderlines[] = {"none", "single", "double", "curly", "dotted", "dashed"};
    if (a.underlineStyle != UnderlineStyle::none) parts.push_back(std::string("ul=") + kUnderlines[int(a.underlineStyle)]);
    if (a.underlineColor) parts.push_back("ulc=" + color(*a.underlineColor));
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : " ") + p;
    return out;
}

std::string attributeAfter(const std::string& input)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed(input);
    return describe(t.currentAttribute());
}

} // namespace

TEST(TerminalSgr, ParametersChangeTheCurrentAttribute)
{
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        // Reset, alone or anywhere in the list.
        {"\x1b[1;4;31;42;58;5;3m\x1b[m", ""},
        {"\x1b[1;4;31;42m\x1b[0m", ""},
        {"\x1b[1;0m", ""},
        {"\x1b[1;0;3m", "italic"},
        // Prefixes and intermediates make the sequence a different one.
        {"\x1b[3m\x1b[>4;2m", "italic"},
        {"\x1b[3m\x1b[?1m", "italic"},
        {"\x1b[3m\x1b[1$m", "italic"},
        // Styles on and off.
        {"\x1b[1;2;3;5;7;8;9m", "bold blink inverse invisible dim italic crossedOut"},
        {"\x1b[1;2;3;5;7;8;9m\x1b[22;23;25;27;28;29m", ""},
        {"\x1b[1;2m\x1b[22m", ""},
        // Palette colours.
        {"\x1b[31;42m", "fg=1 bg=2"},
        {"\x1b[97;100m", "fg=15 bg=8"},
        {"\x1b[31;42m\x1b[39;49m", ""},
        // Extended colours, semicolon form.
        {"\x1b[38;5;196m", "fg=196"},
        {"\x1b[38;5;300m", "fg=255"},
        {"\x1b[48;2;300;0;7m", "bg=rgb(255,0,7)"},
        {"\x1b[38;2;1;2m", "bold dim"},                // too short: only the selector is taken
        {"\x1b[38;9;1m", "bold"},                      // unknown selector: only it is taken
        {"\x1b[38;5m", ""},
        {"\x1b[38m", ""},
        {"\x1b[31m\x1b[38;2;10;20m", "fg=1"},
        // Extended colours, colon form: the whole group is consumed.
        {"\x1b[38:2::10:20:30m", "fg=rgb(10,20,30)"},
        {"\x1b[38:2:10:20:30m", "fg=rgb(10,20,30)"},
        {"\x1b[38:2:0:10:20:30:99m", "fg=rgb(10,20,30)"},
        {"\x1b[38:2:10:20m", ""},
        {"\x1b[38:2:1:2:3;4m", "fg=rgb(1,2,3) underline ul=single"},
        {"\x1b[38:5:196m", "fg=196"},
        {"\x1b[48:5:17;1m", "bg=17 bold"},
        {"\x1b[38:5m", ""},
        {"\x1b[38:9:1:2m", ""},
        // Underline styles.
        {"\x1b[4m", "underline ul=single"},
        {"\x1b[4:3m", "underline ul=curly"},
        {"\x1b[4:5m", "underline ul=dashed"},
        {"\x1b[4m\x1b[4:0m", ""},
        {"\x1b[4:9m", "underline ul=single"},
        {"\x1b[4;3m", "underline italic ul=single"},
        {"\x1b[21m", "underline ul=double"},
        // Underline colour survives the underline going away.
        {"\x1b[58;2;1;2;3m\x1b[4:3m\x1b[24m", "ulc=rgb(1,2,3)"},
        {"\x1b[58:5:9m\x1b[59m", ""},
        // Unknown values change nothing.
        {"\x1b[1m\x1b[6;26;50;99;108m", "bold"},
    };
    for (const auto& c : cases) {
        log::Capture quiet;
        EXPECT_EQ(attributeAfter(c.input), c.expected) << c.input;
    }
}

TEST(TerminalSgr, UnknownValuesAreReportedOnePerValueUnlessSilent)
{
    struct Case {
        const char* input;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"\x1b[6m", {"Unknown SGR attribute: 6 [6]"}},
        {"\x1b[38;2;10;20m",
         {"Unknown SGR attribute: 10 [38, 2, 10, 20]", "Unknown SGR attribute: 20 [38, 2, 10, 20]"}},
        {"\x1b[38:2::10:20:30m", {}},
        {"\x1b[38:2:10:20m", {}},
        {"\x1b[1;4:3;31m", {}},
    };
    for (const auto& c : cases) {
        for (bool silent : {false, true}) {
            log::Capture capture;
            RecordingDelegate d;
            Terminal t(&d);
            t.silentLog = silent;
            t.feed(c.input);
            EXPECT_EQ(capture.lines(), silent ? std::vector<std::string>{} : c.lines) << c.input << silent;
        }
    }
}

TEST(TerminalSgr, PrintedCellsCarryTheAttribute)
{
    RecordingDelegate d;
    Terminal t(&d);
    t.feed("\x1b[1;38:2::10:20:30;48;5;17mA\x1b[mB");
    EXPECT_EQ(describe((*t.getLine(0))[0].attribute), "fg=rgb(10,20,30) bg=17 bold");
    EXPECT_EQ(describe((*t.getLine(0))[1].attribute), "");
}

TEST(TerminalSgr, SplitSequencesGiveTheSameAttribute)
{
    const std::string input = "\x1b[38:2::10:20:30;4:3;48;5;17m";
    EXPECT_TRUE(corvix::test::sameForEverySplit(input, [](const corvix::test::Chunks& chunks) {
        RecordingDelegate d;
        Terminal t(&d);
        for (auto chunk : chunks) t.feed(chunk);
        return describe(t.currentAttribute());
    }));
}

// The frequent shapes have their own path; applying a shape twice in one sequence goes through
// the general loop and must leave the same attribute, whatever was set before.
TEST(TerminalSgr, FrequentShapesMatchTheGeneralLoop)
{
    const std::string before = "\x1b[1;2;3;4:3;7;38;2;1;2;3;48;5;9;58;5;4m";
    const char* shapes[] = {"38;5;0", "38;5;255", "38;5;300", "48;5;17", "38;5:12", "48:5:12",
                            "0",      "1",        "30",       "37",      "40",      "47"};
    for (const char* shape : shapes) {
        const std::string once = attributeAfter(before + "\x1b[" + shape + "m");
        const std::string twice = attributeAfter(before + "\x1b[" + shape + ";" + shape + "m");
        EXPECT_EQ(once, twice) << shape;
    }
    EXPECT_EQ(attributeAfter(before + "\x1b[38;5;300m"), "fg=255 bg=9 bold underline inverse dim italic ul=curly ulc=4");
}

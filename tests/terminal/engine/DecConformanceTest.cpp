// Behaviours checked against the DEC terminal standards and xterm: each case feeds exact bytes to
// a fresh terminal and compares the screen, the cursor and the replies.
#include "terminal/engine/HeadlessTerminal.hpp"
#include "terminal/engine/Terminal.hpp"

#include "support/Options.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace corvix;
using corvix::test::dumpRow;
using corvix::test::RecordingDelegate;
using corvix::test::sized;

namespace {

struct Case {
    const char* name;
    std::string input;
    std::string screen; // the rows joined by "|"
    int x, y;           // the cursor, zero-based
    std::string replies;
};

std::string screenOf(Terminal& t)
{
    std::string out;
    for (int row = 0; row < t.rows; row++) {
        if (row) out += '|';
        out += dumpRow(t, row);
    }
    return out;
}

void expectCases(const std::vector<Case>& cases, int cols = 10, int rows = 5)
{
    for (const Case& c : cases) {
        RecordingDelegate d;
        Terminal t(&d, sized(cols, rows));
        t.feed(c.input);
        EXPECT_EQ(screenOf(t), c.screen) << c.name;
        EXPECT_EQ(t.getCursorLocation(), std::make_pair(c.x, c.y)) << c.name;
        EXPECT_EQ(d.sent, c.replies) << c.name;
    }
}

// Five distinct rows on a 10 x 5 screen, so any move of rows or cells shows; the cursor is left
// on the last row.
const std::string kRows = "0123456789\r\nabcdefghij\r\nABCDEFGHIJ\r\nklmnopqrst\r\nKLMNOPQRST";
const std::string kRowsDump = "0123456789|abcdefghij|ABCDEFGHIJ|klmnopqrst|KLMNOPQRST";

} // namespace

TEST(DecConformance, WindowSizeRequestsPassZeroToTheHost)
{
    using Kind = WindowManipulationCommand::Kind;
    auto call = [](Kind kind, int a, int b) {
        return "windowCommand " + std::to_string(int(kind)) + " " + std::to_string(a) + " " + std::to_string(b);
    };
    const std::pair<const char*, std::string> cases[] = {
        {"\e[8;0;0t", call(Kind::resizeTerminal, 0, 0)},
        {"\e[8;24;0t", call(Kind::resizeTerminal, 0, 24)},
        {"\e[8;;100t", call(Kind::resizeTerminal, 100, 0)}, // an omitted value reads as 0
        {"\e[8;1;1t", call(Kind::resizeTerminal, 1, 1)},
        {"\e[8;9999;9999t", call(Kind::resizeTerminal, Terminal::kMaxWindowCells, Terminal::kMaxWindowCells)},
        {"\e[4;0;640t", call(Kind::resizeWindowTo, 640, 0)},
        {"\e[4;;t", call(Kind::resizeWindowTo, 0, 0)},
        {"\e[4;65535;65535t", call(Kind::resizeWindowTo, Terminal::kMaxWindowPixels, Terminal::kMaxWindowPixels)},
    };
    for (const auto& [input, expected] : cases) {
        RecordingDelegate d;
        Terminal t(&d);
        t.feed(input);
        EXPECT_EQ(d.callsNamed("windowCommand"), std::vector<std::string>{expected}) << input + 1;
        EXPECT_EQ(t.getDims(), std::make_pair(80, 25)) << input + 1; // the engine leaves it to the host
    }
}

TEST(DecConformance, HeadlessTerminalResizesKeepingAZeroDimension)
{
    struct SizeCase {
        const char* input;
        int cols, rows;
    };
    const SizeCase cases[] = {
        {"\e[8;7;30t", 30, 7},
        {"\e[8;0;30t", 30, 5},
        {"\e[8;7;0t", 10, 7},
        {"\e[8;;30t", 30, 5},
        {"\e[8;0;0t", 10, 5},
        {"\e[8;1;1t", Terminal::MINIMUM_COLS, 1}, // the terminal's own minimum still holds
    };
    for (const SizeCase& c : cases) {
        ManualExecutor queue;
        HeadlessTerminal headless(queue, sized(10, 5), nullptr);
        headless.terminal().feed(c.input);
        EXPECT_EQ(headless.terminal().getDims(), std::make_pair(c.cols, c.rows)) << c.input + 1;
    }
}

TEST(DecConformance, ColumnModeKeepsModesScrollbackAndCharacterSets)
{
    const std::vector<Case> cases = {
        {"without mode 40 nothing happens", "abc\e[?3h\e[18t", "abc|||", 3, 0, "\e[8;4;80t"},
        {"132 columns: screen cleared, cursor home, margins reset, modes kept",
         "\e[?40habc\e[4h\e[?69h\e[2;3r\e[3;5s\e[2;2H\e[?3h"
         "\e[18t\e[4$p\e[?69$p\e[?40$p\e[?3$p\eP$qr\e\\\eP$qs\e\\",
         "|||", 0, 0,
         "\e[8;4;132t\e[4;1$y\e[?69;1$y\e[?40;1$y\e[?3;1$y\eP1$r1;4r\e\\\eP1$r1;132s\e\\"},
        {"the permission stays for the way back", "\e[?40h\e[?3habc\e[?3l\e[18t", "|||", 0, 0, "\e[8;4;80t"},
        {"origin mode stays, homing to the full screen", "\e[?40h\e[2;3r\e[?6h\e[?3h\e[?6$p\e[6n", "|||", 0, 0,
         "\e[?6;1$y\e[1;1R"},
        {"character sets stay", "\e[?40h\e(0\e[?3hq", "\xe2\x94\x80|||", 1, 0, ""},
        {"DECNCSM keeps the screen", "\e[?40habc\e[?95h\e[?3h\e[?95$p", "abc|||", 0, 0, "\e[?95;1$y"},
        {"DECNCSM is reset again", "\e[?40habc\e[?95h\e[?95l\e[?3h\e[?95$p", "|||", 0, 0, "\e[?95;2$y"},
        {"DECNCSM only at level 5", "\e[?40habc\e[64\"p\e[?95h\e[?3h", "|||", 0, 0, ""},
    };
    expectCases(cases, 80, 4);

    // The scroll-back survives the switch.
    RecordingDelegate d;
    Terminal t(&d, sized(80, 4));
    t.feed("one\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix\e[?40h\e[?3h");
    ASSERT_EQ(t.cols, 132);
    EXPECT_EQ(t.buffer().yBase(), 2);
    EXPECT_EQ(t.getScrollInvariantLine(0)->translateToString(true), "one");
    EXPECT_EQ(t.getScrollInvariantLine(1)->translateToString(true), "two");
}

TEST(DecConformance, IndexScrollsOnlyAtTheBottomMargin)
{
    const std::vector<Case> cases = {
        {"IND below the region moves down", kRows + "\e[1;2r\e[4;3H\eD", kRowsDump, 2, 4, ""},
        {"IND on the last row below the region stays", kRows + "\e[1;2r\e[5;3H\eD", kRowsDump, 2, 4, ""},
        {"IND on the bottom margin scrolls the region", kRows + "\e[2;3r\e[3;3H\eD",
         "0123456789|ABCDEFGHIJ||klmnopqrst|KLMNOPQRST", 2, 2, ""},
        {"NEL below the region moves down and returns", kRows + "\e[1;2r\e[4;3H\eE", kRowsDump, 0, 4, ""},
        {"NEL on the last row below the region only returns", kRows + "\e[1;2r\e[5;3H\eE", kRowsDump, 0, 4, ""},
        {"IND on the bottom margin outside the column margins stays", kRows + "\e[?69h\e[3;6s\e[2;3r\e[3;8H\eD",
         kRowsDump, 7, 2, ""},
        {"IND on the bottom margin inside the column margins scrolls their cells",
         kRows + "\e[?69h\e[3;6s\e[2;3r\e[3;4H\eD", "0123456789|abCDEFghij|AB    GHIJ|klmnopqrst|KLMNOPQRST", 3, 2, ""},
    };
    expectCases(cases);
}

TEST(DecConformance, NextLineIndexesAtTheCursorColumnThenReturns)
{
    const std::vector<Case> cases = {
        {"inside the column margins: the region scrolls, then CR to the left margin",
         kRows + "\e[?69h\e[3;6s\e[1;3r\e[3;4H\eE", "01cdef6789|abCDEFghij|AB    GHIJ|klmnopqrst|KLMNOPQRST", 2, 2,
         ""},
        {"right of the column margins in origin mode: nothing scrolls",
         kRows + "\e[?69h\e[3;6s\e[1;3r\e[3;8H\e[?6h\eE", kRowsDump, 2, 2, ""},
        {"left of the left margin: nothing scrolls, CR to column 0", kRows + "\e[?69h\e[3;6s\e[1;3r\e[3;2H\eE",
         kRowsDump, 0, 2, ""},
        {"without margins NEL is IND then CR", kRows + "\e[1;3r\e[3;4H\eE",
         "abcdefghij|ABCDEFGHIJ||klmnopqrst|KLMNOPQRST", 0, 2, ""},
    };
    expectCases(cases);
}

TEST(DecConformance, BackspaceReverseWrapsOnlyWithAutowrap)
{
    const std::vector<Case> cases = {
        {"reverse wraparound with autowrap", "\e[?45h\e[2;1H\b", "||||", 9, 0, ""},
        {"reverse wraparound without autowrap stays", "\e[?45h\e[?7l\e[2;1H\b\e[?45$p", "||||", 0, 1,
         "\e[?45;1$y"},
        {"autowrap back on: reverse wraparound again", "\e[?45h\e[?7l\e[?7h\e[2;1H\b", "||||", 9, 0, ""},
    };
    expectCases(cases);
}

TEST(DecConformance, SavedCursorLeavesReverseWrapAndMarginModeAlone)
{
    const std::vector<Case> cases = {
        {"DECRC keeps DECLRMM reset", "\e[?69h\e7\e[?69l\e8\e[?69$p", "||||", 0, 0, "\e[?69;2$y"},
        {"DECRC keeps DECLRMM set", "\e7\e[?69h\e8\e[?69$p", "||||", 0, 0, "\e[?69;1$y"},
        {"DECRC keeps reverse wraparound", "\e7\e[?45h\e8\e[?45$p", "||||", 0, 0, "\e[?45;1$y"},
        {"CSI u keeps reverse wraparound", "\e[s\e[?45h\e[u\e[?45$p", "||||", 0, 0, "\e[?45;1$y"},
        {"mode 1048 keeps reverse wraparound", "\e[?1048h\e[?45h\e[?1048l\e[?45$p", "||||", 0, 0, "\e[?45;1$y"},
        {"mode 1049 keeps DECLRMM", "\e[?1049h\e[?69h\e[?1049l\e[?69$p", "||||", 0, 0, "\e[?69;1$y"},
        {"DECRC still restores autowrap", "\e7\e[?7l\e8\e[?7$p", "||||", 0, 0, "\e[?7;1$y"},
        {"DECRC still restores origin mode", "\e[2;4r\e[?6h\e7\e[?6l\e8\e[?6$p", "||||", 0, 0, "\e[?6;1$y"},
    };
    expectCases(cases);
}

TEST(DecConformance, SoftResetTurnsMarginModeOffAndResetsTheMargins)
{
    const std::vector<Case> cases = {
        {"DECLRMM off and the margins at full width", "\e[?69h\e[3;6s\e[!p\e[?69$p\e[?69h\eP$qs\e\\", "||||", 0,
         0, "\e[?69;2$y\eP1$r1;10s\e\\"},
        {"printing wraps at the screen edge again", "\e[?69h\e[3;6s\e[!p\e[1;9Hxyz", "        xy|z|||", 1, 1, ""},
        {"the other screen's margins are reset too",
         "\e[?69h\e[?1049h\e[3;6s\e[?1049l\e[!p\e[?1049h\e[?69h\eP$qs\e\\", "||||", 0, 0, "\eP1$r1;10s\e\\"},
    };
    expectCases(cases);
}

TEST(DecConformance, AlignmentPatternResetsMarginsAndOriginMode)
{
    const std::string full = "EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE";
    const std::vector<Case> cases = {
        {"margins and origin mode reset, cursor home",
         "\e[2;4r\e[?69h\e[3;6s\e[?6h\e[3;3H\e#8\e[?6$p\e[?69$p\eP$qr\e\\\eP$qs\e\\\e[6n", full, 0, 0,
         "\e[?6;2$y\e[?69;1$y\eP1$r1;5r\e\\\eP1$r1;10s\e\\\e[1;1R"},
        {"the next line feed on the last row scrolls the whole screen", "\e[2;4r\e#8\e[5;1H\nx",
         "EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE|EEEEEEEEEE|x", 1, 4, ""},
    };
    expectCases(cases);
}

TEST(DecConformance, AbsolutePositionsHonourOriginMode)
{
    const std::vector<Case> cases = {
        {"VPA counts from the top margin", "\e[2;4r\e[?6h\e[2d\e[6n", "||||", 0, 2, "\e[2;1R"},
        {"VPA stops at the bottom margin", "\e[2;4r\e[?6h\e[9d\e[6n", "||||", 0, 3, "\e[3;1R"},
        {"VPA without origin mode ignores the region", "\e[2;4r\e[9d", "||||", 0, 4, ""},
        {"HPA counts from the left margin", "\e[?69h\e[3;6s\e[?6h\e[2`\e[6n", "||||", 3, 0, "\e[1;2R"},
        {"HPA stops at the right margin", "\e[?69h\e[3;6s\e[?6h\e[9`\e[6n", "||||", 5, 0, "\e[1;4R"},
        {"HPA in origin mode without DECLRMM counts from column 0", "\e[?6h\e[4`", "||||", 3, 0, ""},
        {"HPA without origin mode ignores the margins", "\e[?69h\e[3;6s\e[9`", "||||", 8, 0, ""},
    };
    expectCases(cases);
}

TEST(DecConformance, ForwardIndexAtThePendingWrapColumnScrollsTheColumns)
{
    const std::string kShiftedLeft = "123456789 |bcdefghij |BCDEFGHIJ |lmnopqrst |LMNOPQRST ";
    const std::vector<Case> cases = {
        {"full width", kRows + "\e[1;10H9\e9", kShiftedLeft, 9, 0, ""},
        {"within the column margins", kRows + "\e[?69h\e[3;6s\e[1;6H5\e9",
         "01345 6789|abdef ghij|ABDEF GHIJ|klnop qrst|KLNOP QRST", 5, 0, ""},
        {"on the margin itself, as before", kRows + "\e[1;10H\e9", kShiftedLeft, 9, 0, ""},
    };
    expectCases(cases);
}

TEST(DecConformance, WithoutAutowrapTheCursorStaysOnTheMargin)
{
    const std::vector<Case> cases = {
        {"a run", "\e[?7l\e[1;9Habc\e[6n", "        ac||||", 9, 0, "\e[1;10R"},
        {"CUB after it moves off the margin", "\e[?7l\e[1;9Hab\e[D", "        ab||||", 8, 0, ""},
        {"one letter at a time", "\e[?7l\e[1;10Hx\e[31my", "         y||||", 9, 0, ""},
        {"decoded characters", "\e[?7l\e[1;9H\xc3\xa9\xc3\xa8\xc3\xaa", "        \xc3\xa9\xc3\xaa||||", 9, 0, ""},
        {"a wide character filling the last two columns", "\e[?7l\e[1;9H\xe4\xb8\xad", "        \xe4\xb8\xad||||", 9,
         0, ""},
        {"REP repeats the character on the margin", "\e[?7l\e[1;8Habc\e[b", "       abc||||", 9, 0, ""},
        {"at the right margin with DECLRMM", "\e[?7l\e[?69h\e[3;6s\e[1;5Habc\e[6n", "    ac||||", 5, 0, "\e[1;6R"},
        {"with autowrap the text wraps as before", "\e[1;9Habc", "        ab|c|||", 1, 1, ""},
    };
    expectCases(cases);
}

TEST(DecConformance, RectanglesUnderOriginModeCountFromTheMargins)
{
    const std::vector<Case> cases = {
        {"DECERA: the left margin counts only with DECLRMM", kRows + "\e[?69h\e[3;6s\e[?69l\e[2;4r\e[?6h\e[1;1;1;2$z",
         "0123456789|  cdefghij|ABCDEFGHIJ|klmnopqrst|KLMNOPQRST", 0, 0, ""},
        {"DECERA with DECLRMM", kRows + "\e[?69h\e[3;6s\e[2;4r\e[?6h\e[1;1;1;2$z",
         "0123456789|ab  efghij|ABCDEFGHIJ|klmnopqrst|KLMNOPQRST", 0, 0, ""},
        {"DECCRA: the destination counts from the top margin", kRows + "\e[2;4r\e[?6h\e[1;1;1;3;1;3;5;1$v",
         "0123456789|abcdefghij|ABCDEFGHIJ|klmnabcrst|KLMNOPQRST", 0, 0, ""},
        {"DECCRA with DECLRMM: both corners count from both margins",
         kRows + "\e[?69h\e[3;6s\e[2;4r\e[?6h\e[1;1;1;2;1;2;2;1$v",
         "0123456789|abcdefghij|ABCcdFGHIJ|klmnopqrst|KLMNOPQRST", 0, 0, ""},
        {"DECRST 69 resets the margins", "\e[?69h\e[3;6s\e[?69l\e[?69h\eP$qs\e\\", "||||", 0, 0, "\eP1$r1;10s\e\\"},
    };
    expectCases(cases);
}

TEST(DecConformance, ModeReportsTellWhichModesCannotChange)
{
    const std::vector<Case> cases = {
        {"KAM is permanently reset", "\e[2h\e[2$p", "||||", 0, 0, "\e[2;4$y"},
        {"CRM is permanently reset", "\e[3$p", "||||", 0, 0, "\e[3;4$y"},
        {"SRM is permanently set", "\e[12l\e[12$p", "||||", 0, 0, "\e[12;3$y"},
        {"auto-repeat is permanently set", "\e[?8l\e[?8$p", "||||", 0, 0, "\e[?8;3$y"},
        {"13, 14, 30 and 41 are permanently reset", "\e[?13;14;30;41h\e[?13$p\e[?14$p\e[?30$p\e[?41$p", "||||", 0, 0,
         "\e[?13;4$y\e[?14;4$y\e[?30;4$y\e[?41;4$y"},
        {"the print modes are permanently reset", "\e[?18h\e[?19h\e[?18$p\e[?19$p", "||||", 0, 0,
         "\e[?18;4$y\e[?19;4$y"},
        {"highlight mouse tracking is permanently reset", "\e[?1001h\e[?1001$p", "||||", 0, 0, "\e[?1001;4$y"},
        {"DECNCSM is stored", "\e[?95$p\e[?95h\e[?95$p", "||||", 0, 0, "\e[?95;2$y\e[?95;1$y"},
    };
    expectCases(cases);
}

TEST(DecConformance, StatusStringsReportCursorStyleAndProtection)
{
    const std::vector<Case> cases = {
        {"default: a blinking block", "\eP$q q\e\\", "||||", 0, 0, "\eP1$r1 q\e\\"},
        {"DECSCUSR 0", "\e[4 q\e[0 q\eP$q q\e\\", "||||", 0, 0, "\eP1$r1 q\e\\"},
        {"DECSCUSR 2", "\e[2 q\eP$q q\e\\", "||||", 0, 0, "\eP1$r2 q\e\\"},
        {"DECSCUSR 3", "\e[3 q\eP$q q\e\\", "||||", 0, 0, "\eP1$r3 q\e\\"},
        {"DECSCUSR 4", "\e[4 q\eP$q q\e\\", "||||", 0, 0, "\eP1$r4 q\e\\"},
        {"DECSCUSR 5", "\e[5 q\eP$q q\e\\", "||||", 0, 0, "\eP1$r5 q\e\\"},
        {"DECSCUSR 6", "\e[6 q\eP$q q\e\\", "||||", 0, 0, "\eP1$r6 q\e\\"},
        {"DECSCA: nothing protected", "\eP$q\"q\e\\", "||||", 0, 0, "\eP1$r0\"q\e\\"},
    };
    expectCases(cases);
}

TEST(DecConformance, PrimaryAttributesClaimNoPrinterAndNoSelectiveErase)
{
    const std::vector<Case> cases = {
        {"DA", "\e[c", "||||", 0, 0, "\e[?65;4;1;21;22;17;28c"},
        {"DA 0", "\e[0c", "||||", 0, 0, "\e[?65;4;1;21;22;17;28c"},
    };
    expectCases(cases);
}

// DECLRMM on with margins 3..5 (1-based) on a 10 x 5 screen. A cursor that a motion put right of
// the right margin is not pending a wrap: the margin does not apply to it, the screen's edge does.
// The same inputs with the cursor inside the margins behave as they always did.
TEST(DecConformance, TheRightMarginDoesNotApplyToACursorBeyondIt)
{
    const std::string m = "\e[?69h\e[3;5s";
    const std::vector<Case> beyond = {
        {"DECFI moves forward one column, nothing scrolls", kRows + m + "\e[1;6H\e9", kRowsDump, 6, 0, ""},
        {"DECFI two columns beyond", kRows + m + "\e[1;7H\e9", kRowsDump, 7, 0, ""},
        {"DECFI at the screen's edge stays", kRows + m + "\e[1;10H\e9", kRowsDump, 9, 0, ""},
        {"print with autowrap", m + "\e[1;6HZ", "     Z||||", 6, 0, ""},
        {"print without autowrap", "\e[?7l" + m + "\e[1;6HZY", "     ZY||||", 7, 0, ""},
        {"print up to the screen's edge, then wrap to the left margin", m + "\e[1;9HZYX\e[6n",
         "        ZY|  X|||", 3, 1, "\e[2;4R"},
        {"the screen's edge pending a wrap reports the last column", m + "\e[1;9HZY\e[6n", "        ZY||||", 10, 0,
         "\e[1;10R"},
        {"print without autowrap at the screen's edge", "\e[?7l" + m + "\e[1;9HZYX", "        ZX||||", 9, 0, ""},
        {"HT goes to the next tab stop", m + "\e[1;6H\t", "||||", 8, 0, ""},
        {"HT without stops goes to the last column", m + "\e[3g\e[1;6H\t", "||||", 9, 0, ""},
        {"LF, then print", m + "\e[1;6H\nZ", "|     Z|||", 6, 1, ""},
        {"DECSC and DECRC bring back no wrap", m + "\e[1;6H\e7\e[3;3H\e8Z", "     Z||||", 6, 0, ""},
    };
    expectCases(beyond);

    const std::vector<Case> inside = {
        {"DECFI inside moves forward", kRows + m + "\e[1;4H\e9", kRowsDump, 4, 0, ""},
        {"DECFI on the margin scrolls the margin area", kRows + m + "\e[1;5H\e9",
         "0134 56789|abde fghij|ABDE FGHIJ|klno pqrst|KLNO PQRST", 4, 0, ""},
        {"printing into the margin column, then DECFI, scrolls the margin area", kRows + m + "\e[1;5HZ\e9",
         "013Z 56789|abde fghij|ABDE FGHIJ|klno pqrst|KLNO PQRST", 4, 0, ""},
        {"print with autowrap wraps at the margin", m + "\e[1;4HZYX", "   ZY|  X|||", 3, 1, ""},
        {"print without autowrap stays on the margin", "\e[?7l" + m + "\e[1;4HZYX", "   ZX||||", 4, 0, ""},
        {"HT stops at the margin", m + "\e[1;4H\t", "||||", 4, 0, ""},
        {"LF, then print", m + "\e[1;4H\nZ", "|   Z|||", 4, 1, ""},
    };
    expectCases(inside);
}

// The wrap pending after a character printed into the last column is state of its own: it comes
// back with DECRC, and every cursor motion ends it (the cursor then stands on that column).
TEST(DecConformance, APendingWrapTravelsWithTheSavedCursorAndEndsWithAnyMotion)
{
    const std::string m = "\e[?69h\e[3;5s";
    const std::vector<Case> cases = {
        {"print wraps after DECSC, DECRC", "\e[1;10HZ\e7\e[3;3H\e8Y", "         Z|Y|||", 1, 1, ""},
        {"CPR after DECRC reports the last column", "\e[1;10HZ\e7\e[3;3H\e8\e[6n", "         Z||||", 10, 0,
         "\e[1;10R"},
        {"CUU ends it", "\e[2;10HZ\e[AY", "         Y|         Z|||", 10, 0, ""},
        {"LF ends it", "\e[1;10HZ\nY", "         Z|         Y|||", 10, 1, ""},
        {"LF at the right margin ends it", m + "\e[1;4HZY\nX", "   ZY|    X|||", 5, 1, ""},
        {"CUB moves from the column printed to", "\e[1;10HZ\e[DY", "        YZ||||", 9, 0, ""},
        {"CUF at the right margin stays there", m + "\e[1;4HZY\e[CX", "   ZX||||", 5, 0, ""},
        {"DECSC keeps a cursor beyond the margin", m + "\e[1;6H\e7\e[1;1H\e8\e9", "||||", 6, 0, ""},
    };
    expectCases(cases);
}

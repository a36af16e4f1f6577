#include "terminal/engine/Terminal.hpp"
#include "terminal/screen/Log.hpp"
#include "terminal/selection/SelectionService.hpp"

#include "support/ChunkSplit.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace corvix;
using corvix::test::dumpRow;
using corvix::test::dumpScreen;
using corvix::test::RecordingDelegate;

namespace {

const Attribute::Color kRed = Attribute::Color::ansi256(1);

Attribute background(Attribute::Color bg)
{
    Attribute a;
    a.bg = bg;
    return a;
}

// A small screen whose rows can be labelled, with direct setters for what other commands
// (cursor positioning, DECSTBM, DECSLRM, modes) would set.
struct Screen {
    RecordingDelegate delegate;
    Terminal t;

    Screen(int cols, int rows, int scrollback = 20) : t(&delegate, options(cols, rows, scrollback)) {}

    static TerminalOptions options(int cols, int rows, int scrollback)
    {
        TerminalOptions o;
        o.cols = cols;
        o.rows = rows;
        o.scrollback = scrollback;
        return o;
    }

    Buffer& b() { return t.buffer(); }
    BufferLine& line(int row) { return *t.getLine(row); }
    CharData cell(int col, int row) { return line(row)[col]; }
    void at(int col, int row)
    {
        b().setX(col);
        b().setY(row);
    }
    void region(int top, int bottom)
    {
        b().setScrollTop(top);
        b().setScrollBottom(bottom);
    }
    void margins(int left, int right)
    {
        t.marginMode = b().marginMode = true;
        b().setMarginLeft(left);
        b().setMarginRight(right);
    }
    // Row r reads "r<r>".
    void label()
    {
        for (int r = 0; r < t.rows; r++) {
            at(0, r);
            t.feed("r" + std::to_string(r));
        }
        at(0, 0);
    }
    // Every row's text, blank rows as ".", separated by blanks.
    std::string rows()
    {
        std::string out;
        for (int r = 0; r < t.rows; r++) {
            std::string text = dumpRow(t, r);
            out += (r ? " " : "") + (text.empty() ? std::string(".") : text);
        }
        return out;
    }
    std::vector<uint64_t> serials()
    {
        std::vector<uint64_t> s;
        for (int r = 0; r < t.rows; r++) s.push_back(line(r).serial());
        std::sort(s.begin(), s.end());
        return s;
    }
};

} // namespace

// ---- Lines: IL, DL, SU, SD --------------------------------------------------------------------

struct LineCase {
    const char* input;
    int cursorRow;
    const char* expected;
};

TEST(TerminalEdit, LineCommandsInsideRegionTwoToTen)
{
    const LineCase cases[] = {
        {"\x1b[2L", 4, "r0 r1 r2 r3 . . r4 r5 r6 r7 r8 r11"},
        {"\x1b[L", 10, "r0 r1 r2 r3 r4 r5 r6 r7 r8 r9 . r11"},
        {"\x1b[0L", 2, "r0 r1 . r2 r3 r4 r5 r6 r7 r8 r9 r11"},
        {"\x1b[99L", 4, "r0 r1 r2 r3 . . . . . . . r11"},
        {"\x1b[3L", 0, "r0 r1 r2 r3 r4 r5 r6 r7 r8 r9 r10 r11"}, // above the region
        {"\x1b[3L", 11, "r0 r1 r2 r3 r4 r5 r6 r7 r8 r9 r10 r11"}, // below the region
        {"\x1b[2M", 4, "r0 r1 r2 r3 r6 r7 r8 r9 r10 . . r11"},
        {"\x1b[65535M", 4, "r0 r1 r2 r3 . . . . . . . r11"},
        {"\x1b[3M", 0, "r0 r1 r2 r3 r4 r5 r6 r7 r8 r9 r10 r11"},
        {"\x1b[2S", 0, "r0 r1 r4 r5 r6 r7 r8 r9 r10 . . r11"},
        {"\x1b[3S", 0, "r0 r1 r5 r6 r7 r8 r9 r10 . . . r11"},
        {"\x1b[3T", 0, "r0 r1 . . . r2 r3 r4 r5 r6 r7 r11"},
        {"\x1b[6L", 2, "r0 r1 . . . . . . r2 r3 r4 r11"},
        {"\x1b[6M", 2, "r0 r1 r8 r9 r10 . . . . . . r11"},
        {"\x1b[?5S", 11, "r0 r1 r7 r8 r9 r10 . . . . . r11"},
        {"\x1b[5 S", 4, "r0 r1 r2 r3 r4 r5 r6 r7 r8 r9 r10 r11"}, // SPD, not a scroll
        {"\x1b[99S", 4, "r0 r1 . . . . . . . . . r11"},
        {"\x1b[2T", 11, "r0 r1 . . r2 r3 r4 r5 r6 r7 r8 r11"},
        {"\x1b[99T", 4, "r0 r1 . . . . . . . . . r11"},
        {"\x1b[>2T", 4, "r0 r1 r2 r3 r4 r5 r6 r7 r8 r9 r10 r11"}, // title-mode reset
    };
    for (const auto& c : cases) {
        Screen s(10, 12);
        s.label();
        s.region(2, 10);
        s.at(0, c.cursorRow);
        s.t.feed(c.input);
        EXPECT_EQ(s.rows(), c.expected) << c.input << " on row " << c.cursorRow;
    }
}

TEST(TerminalEdit, InsertedLinesAreFreshBlanksInTheCurrentBackgroundAndBreakParagraphs)
{
    Screen s(10, 12);
    s.label();
    for (int r = 0; r < 12; r++) s.line(r).setIsWrapped(true);
    BidiPresentationState odd = BidiPresentationState::defaultState();
    odd.fallbackDirection = BidiDirection::rightToLeft;
    s.line(4).setBidiState(odd);
    s.line(4).setRenderMode(BufferLine::RenderLineMode::doubleWidth);
    s.region(2, 10);
    s.at(3, 4);
    s.t.feed("\x1b[41m\x1b[2L");

    for (int r : {4, 5}) {
        const BufferLine& blank = s.line(r);
        EXPECT_FALSE(blank.isWrapped()) << r;
        EXPECT_EQ(blank.bidiState(), s.b().defaultBidiState) << r;
        EXPECT_EQ(blank.renderMode(), BufferLine::RenderLineMode::single) << r;
        EXPECT_EQ(blank.count(), 10);
        for (const CharData& cell : blank.getData()) {
            EXPECT_EQ(cell.code, 0);
            EXPECT_EQ(cell.attribute, background(kRed));
        }
    }
    // The first moved line and the line below the region no longer continue a paragraph; the
    // moved lines keep their own state.
    EXPECT_FALSE(s.line(6).isWrapped());
    EXPECT_FALSE(s.line(11).isWrapped());
    EXPECT_TRUE(s.line(7).isWrapped());
    EXPECT_EQ(s.line(6).bidiState(), odd);
    EXPECT_EQ(s.line(6).renderMode(), BufferLine::RenderLineMode::doubleWidth);
    EXPECT_EQ(s.t.getCursorLocation(), std::make_pair(3, 4));
}

TEST(TerminalEdit, ScrollUpAndDownBlankWithThePlainAttribute)
{
    for (const char* seq : {"\x1b[S", "\x1b[T"}) {
        Screen s(10, 6);
        s.label();
        s.t.feed("\x1b[41m");
        s.t.feed(seq);
        const int blankRow = seq[2] == 'S' ? 5 : 0;
        for (const CharData& cell : s.line(blankRow).getData()) EXPECT_EQ(cell.attribute, Attribute{}) << seq;
    }
}

TEST(TerminalEdit, RegionScrollsBreakParagraphsAtTheBlockEdges)
{
    struct Case {
        const char* input;
        std::vector<int> unwrapped; // rows 0..11 all start wrapped
    };
    const Case cases[] = {
        {"\x1b[2S", {2, 9, 10, 11}},     // region top, the two new blanks, the line below
        {"\x1b[2T", {2, 3, 4, 11}},      // region top, the new blank, the first moved line, below
        {"\x1b[20T", {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
    };
    for (const auto& c : cases) {
        Screen s(10, 12);
        s.label();
        for (int r = 0; r < 12; r++) s.line(r).setIsWrapped(true);
        s.region(2, 10);
        s.t.feed(c.input);
        std::vector<int> unwrapped;
        for (int r = 0; r < 12; r++)
            if (!s.line(r).isWrapped()) unwrapped.push_back(r);
        EXPECT_EQ(unwrapped, c.unwrapped) << c.input;
    }
}

TEST(TerminalEdit, LineShiftsReuseTheRegionsLineObjects)
{
    // Every full-width line shift keeps the same set of line objects on the screen: the lines
    // pushed out of the region come back as the blanks instead of new allocations.
    for (const char* seq : {"\x1b[3L", "\x1b[3M", "\x1b[3S", "\x1b[3T", "\x1b[40L", "\x1b[40M"}) {
        Screen s(10, 12);
        s.label();
        s.region(2, 9);
        s.at(0, 3);
        const auto before = s.serials();
        s.t.feed(seq);
        EXPECT_EQ(s.serials(), before) << seq;
    }
}

TEST(TerminalEdit, LineShiftOnAFullRingWithScrollBack)
{
    // 6 rows and 4 lines of scroll-back, filled past capacity so the ring has wrapped round.
    Screen s(10, 6, 4);
    for (int i = 0; i < 20; i++) s.t.feed("L" + std::to_string(i) + "\r\n");
    s.t.feed("L20");
    ASSERT_EQ(s.b().lines().count(), s.b().lines().maxLength());
    const int linesTop = s.b().linesTop;
    EXPECT_EQ(s.rows(), "L15 L16 L17 L18 L19 L20");

    s.at(0, 1);
    s.t.feed("\x1b[2L");
    EXPECT_EQ(s.rows(), "L15 . . L16 L17 L18");
    s.t.feed("\x1b[M");
    EXPECT_EQ(s.rows(), "L15 . L16 L17 L18 .");
    s.t.feed("\x1b[2S");
    EXPECT_EQ(s.rows(), "L16 L17 L18 . . .");
    // Scrolling the screen's own lines keeps the scroll-back as it was.
    EXPECT_EQ(s.b().linesTop, linesTop);
    EXPECT_EQ(s.b().yBase(), 4);
    EXPECT_EQ(s.b().lines()[0].translateToString(true), "L11");
}

TEST(TerminalEdit, MarginRestrictedLineCommandsMoveOnlyTheMarginColumns)
{
    struct Case {
        const char* input;
        int col, row;
        std::vector<std::string> expected; // rows 3..11
    };
    // Row r is filled with the letter 'a' + r in all 30 columns.
    const std::string C(10, 'c'), D(10, 'd'), E(10, 'e'), F(10, 'f'), G(10, 'g'), H(10, 'h'), I(10, 'i'),
        J(10, 'j'), K(10, 'k'), L(10, 'l'), B(10, ' ');
    auto row = [](const std::string& outside, const std::string& inside) { return outside + inside + outside; };
    const Case cases[] = {
        // DL on row 4, column 12: columns 10-19 of rows 5-10 move up, row 10's become blank.
        {"\x1b[M", 12, 4,
         {row(D, D), row(E, F), row(F, G), row(G, H), row(H, I), row(I, J), row(J, K), row(K, B), row(L, L)}},
        // IL on row 4: the margin columns move down inside 4-10.
        {"\x1b[2L", 12, 4,
         {row(D, D), row(E, B), row(F, B), row(G, E), row(H, F), row(I, G), row(J, H), row(K, I), row(L, L)}},
        // With the cursor column outside the margins nothing moves.
        {"\x1b[M", 5, 4,
         {row(D, D), row(E, E), row(F, F), row(G, G), row(H, H), row(I, I), row(J, J), row(K, K), row(L, L)}},
        // SU ignores the cursor: the whole region 2-10 scrolls between the margins.
        {"\x1b[S", 0, 0,
         {row(D, E), row(E, F), row(F, G), row(G, H), row(H, I), row(I, J), row(J, K), row(K, B), row(L, L)}},
        {"\x1b[T", 0, 0,
         {row(D, C), row(E, D), row(F, E), row(G, F), row(H, G), row(I, H), row(J, I), row(K, J), row(L, L)}},
    };
    for (const auto& c : cases) {
        Screen s(30, 12);
        for (int r = 0; r < 12; r++) {
            s.at(0, r);
            s.t.feed(std::string(30, char('a' + r)));
        }
        s.region(2, 10);
        s.margins(10, 19);
        s.at(c.col, c.row);
        s.t.feed(c.input);
        EXPECT_EQ(dumpRow(s.t, 0), std::string(30, 'a')) << c.input;
        for (int r = 3; r < 12; r++) {
            std::string got;
            for (int col = 0; col < 30; col++) {
                int32_t code = s.cell(col, r).code;
                got += code ? char(code) : ' ';
            }
            EXPECT_EQ(got, c.expected[size_t(r - 3)]) << c.input << " row " << r;
        }
    }
}

TEST(TerminalEdit, SelectionsFollowRegionScrollsAndDropOnMarginScrolls)
{
    Screen s(20, 12);
    s.label();
    s.region(2, 10);
    auto sel = std::make_shared<SelectionService>(s.t);
    s.t.registerSelection(sel);
    sel->start = {0, 6};
    sel->end = {3, 7};
    sel->setActive(true);

    s.t.feed("\x1b[2S");
    EXPECT_TRUE(sel->active());
    EXPECT_EQ(sel->start, (Position{0, 4}));
    EXPECT_EQ(sel->end, (Position{3, 5}));

    s.margins(0, 9);
    s.t.feed("\x1b[2S");
    EXPECT_FALSE(sel->active());
}

// ---- Characters: ICH, DCH ---------------------------------------------------------------------

namespace {

std::string digits(int n)
{
    std::string s;
    for (int i = 0; i < n; i++) s += char('0' + i % 10);
    return s;
}

} // namespace

TEST(TerminalEdit, InsertAndDeleteCharacters)
{
    struct Case {
        const char* name;
        int col; // -1: the pending-wrap column after printing the whole line
        bool margins;
        const char* input;
        std::string expected;
    };
    const std::string line = digits(80);
    const Case cases[] = {
        {"CSI 4 @ at column 7", 7, false, "\x1b[4@", line.substr(0, 7) + "    " + line.substr(7, 69)},
        {"CSI @ inserts one", 0, false, "\x1b[@", " " + line.substr(0, 79)},
        {"a huge count blanks to the end", 5, false, "\x1b[65535@", line.substr(0, 5)},
        {"CSI @ in the pending-wrap column inserts at 0", -1, false, "\x1b[@", " " + line.substr(0, 79)},
        {"CSI 3 P at column 7", 7, false, "\x1b[3P", line.substr(0, 7) + line.substr(10)},
        {"CSI 0 P deletes one", 0, false, "\x1b[0P", line.substr(1)},
        {"a huge DCH count clears to the end", 75, false, "\x1b[65535P", line.substr(0, 75)},
        {"CSI P in the pending-wrap column does nothing", -1, false, "\x1b[P", line},
        {"ICH between margins 10-19", 12, true, "\x1b[2@",
         line.substr(0, 12) + "  " + line.substr(12, 6) + line.substr(20)},
        {"DCH between margins 10-19, count cut at the margin", 12, true, "\x1b[50P",
         line.substr(0, 12) + "        " + line.substr(20)},
        {"ICH left of the margins does nothing", 5, true, "\x1b[2@", line},
        {"DCH right of the margins does nothing", 25, true, "\x1b[2P", line},
    };
    for (const auto& c : cases) {
        Screen s(80, 3);
        s.t.feed(line);
        if (c.col >= 0) s.at(c.col, 0);
        ASSERT_EQ(s.b().y(), 0) << c.name;
        if (c.margins) s.margins(10, 19);
        s.t.feed(c.input);
        EXPECT_EQ(dumpRow(s.t, 0), c.expected) << c.name;
    }
}

TEST(TerminalEdit, CharacterShiftsLeaveEraseCellsAndMarkTheRow)
{
    for (const char* seq : {"\x1b[2@", "\x1b[2P"}) {
        Screen s(10, 3);
        s.t.feed("abcdefghij");
        s.at(3, 1);
        s.t.feed("\x1b[1;41m");
        s.at(3, 0);
        s.t.clearUpdateRange();
        s.t.feed(seq);
        const int blankCol = seq[3] == '@' ? 3 : 8;
        for (int col : {blankCol, blankCol + 1}) {
            EXPECT_EQ(s.cell(col, 0).code, 0) << seq;
            EXPECT_EQ(s.cell(col, 0).attribute, background(kRed)) << seq; // no bold: the erase attribute
        }
        EXPECT_EQ(s.t.getUpdateRange(), std::make_optional(std::make_pair(0, 0))) << seq;
    }
}

TEST(TerminalEdit, InsertModePushingAWideCharacterOffTheEdgeLeavesTheCurrentBackground)
{
    Screen s(10, 3);
    s.t.feed("abcdefgh\xe4\xb8\xad"); // the wide character fills columns 8-9
    ASSERT_EQ(s.cell(8, 0).width, 2);
    s.t.insertMode = s.b().insertMode = true;
    s.at(0, 0);
    s.t.feed("\x1b[42mX");
    EXPECT_EQ(dumpRow(s.t, 0), "Xabcdefgh");
    const CharData& edge = s.cell(9, 0);
    EXPECT_EQ(edge.code, 0);
    EXPECT_EQ(edge.width, 1);
    EXPECT_EQ(edge.attribute, background(Attribute::Color::ansi256(2)));
}

// ---- Columns: DECIC, DECDC --------------------------------------------------------------------

TEST(TerminalEdit, InsertAndDeleteColumnsInsideTheRegion)
{
    struct Case {
        const char* input;
        int col, row;
        bool margins;
        std::vector<std::string> expected; // rows 0..4
    };
    const std::string row = "0123456789";
    const Case cases[] = {
        {"\x1b[2'}", 3, 0, false, {row, "012  34567", "012  34567", "012  34567", row}},
        {"\x1b[2'~", 3, 2, false, {row, "01256789  ", "01256789  ", "01256789  ", row}},
        // DECIC does not look at the cursor row; DECDC does.
        {"\x1b[2'}", 3, 4, false, {row, "012  34567", "012  34567", "012  34567", row}},
        {"\x1b[2'~", 3, 4, false, {row, row, row, row, row}},
        {"\x1b[99'~", 3, 2, false, {row, "012       ", "012       ", "012       ", row}},
        {"\x1b['}", 2, 1, true, {row, row, row, row, row}}, // left of the margins
        {"\x1b['}", 5, 1, true, {row, "01234 5679", "01234 5679", "01234 5679", row}},
        {"\x1b['~", 5, 1, true, {row, "01234678 9", "01234678 9", "01234678 9", row}},
    };
    for (const auto& c : cases) {
        Screen s(10, 5);
        for (int r = 0; r < 5; r++) {
            s.at(0, r);
            s.t.feed(row);
            s.line(r).setIsWrapped(r > 0);
        }
        s.region(1, 3);
        if (c.margins) s.margins(3, 8);
        s.at(c.col, c.row);
        s.t.feed("\x1b[44m");
        s.t.feed(c.input);
        for (int r = 0; r < 5; r++) EXPECT_EQ(dumpRow(s.t, r), c.expected[size_t(r)]) << c.input << " row " << r;
        if (c.expected[1] != row) {
            EXPECT_FALSE(s.line(2).isWrapped()) << c.input;
            EXPECT_TRUE(s.line(4).isWrapped()) << c.input;
        }
    }
}

TEST(TerminalEdit, ColumnBlanksAreSpacesInTheCurrentBackground)
{
    for (const char* seq : {"\x1b[2'}", "\x1b[2'~"}) {
        Screen s(10, 3);
        s.t.feed("0123456789");
        s.at(3, 0);
        s.t.feed("\x1b[7;44m");
        s.t.feed(seq);
        const int col = seq[4] == '}' ? 3 : 8;
        EXPECT_EQ(s.cell(col, 0).code, ' ') << seq;
        EXPECT_EQ(s.cell(col, 0).attribute, background(Attribute::Color::ansi256(4))) << seq;
    }
}

TEST(TerminalEdit, CloseBraceWithoutTheQuoteOnlyLogs)
{
    Screen s(10, 3);
    s.t.feed("0123456789");
    s.at(3, 0);
    log::Capture capture;
    s.t.feed("\x1b[1;2}\x1b[#}");
    EXPECT_TRUE(capture.lines().empty()); // silent by default
    s.t.silentLog = false;
    s.t.feed("\x1b[1;2}");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Info: CSI # } not implemented- XTPOPSGR with [1, 2]"});
    EXPECT_EQ(dumpRow(s.t, 0), "0123456789");
}

// ---- REP ----------------------------------------------------------------------------------------

TEST(TerminalEdit, RepeatPrecedingCharacter)
{
    struct Case {
        const char* input;
        const char* expected; // the screen, rows joined by '/', wrapped rows marked '~'
        int cursorX;
    };
    const Case cases[] = {
        {"ab\x1b[3b", "abbbb//", 5},
        {"ab\x1b[0b", "abb//", 3},
        {"\x1b[3bz", "   z//", 4},                                              // empty cells at column 0
        {"ab\r\x1b[3b", "//", 3},                                               // column 0 after CR
        {"\xe4\xb8\xad\x1b[2b", "\xe4\xb8\xad\xe4\xb8\xad\xe4\xb8\xad//", 6},   // the whole wide char
        {"abcdefgh\x1b[4b", "abcdefghhh/~hh/", 2},                              // wraps like printing
        {"a\x1b[65535b", "~aaaaaaaaaa/~aaaaaaaaaa/~a", 1},                      // capped at 2 x 10 x 3
    };
    for (const auto& c : cases) {
        Screen s(10, 3);
        s.t.feed(c.input);
        std::string got;
        corvix::test::DumpOptions o;
        o.wrapMarkers = true;
        for (int r = 0; r < 3; r++) got += (r ? "/" : "") + dumpRow(s.t, r, o);
        EXPECT_EQ(got, c.expected) << c.input;
        EXPECT_EQ(s.b().x(), c.cursorX) << c.input;
    }
}

TEST(TerminalEdit, RepeatCopiesTheCellsOwnAttribute)
{
    Screen s(10, 3);
    s.t.feed("a\x1b[31;1mb\x1b[0m\x1b[3b");
    for (int col = 1; col < 5; col++) {
        EXPECT_EQ(s.cell(col, 0).code, 'b');
        EXPECT_EQ(s.cell(col, 0).attribute, s.cell(1, 0).attribute) << col;
    }
    EXPECT_NE(s.cell(4, 0).attribute, Attribute{});
}

TEST(TerminalEdit, RepeatNeverWritesOutsideALine)
{
    // Huge counts at the pending-wrap column without autowrap, with margins and in insert mode:
    // every write lands inside the line (a clamped write would log).
    log::Capture capture;
    for (int variant = 0; variant < 4; variant++) {
        Screen s(10, 3);
        s.t.feed("0123456789");
        if (variant == 0) s.t.wraparound = s.b().wraparound = false;
        if (variant == 1) s.margins(2, 6);
        if (variant == 2) s.t.insertMode = s.b().insertMode = true;
        if (variant == 3) s.t.feed("\r\n\xe4\xb8\xad");
        s.t.feed("\x1b[65535b");
        EXPECT_LE(s.b().x(), 10) << variant;
        if (variant == 0) {
            EXPECT_EQ(dumpRow(s.t, 0), "0123456789");
        }
    }
    EXPECT_TRUE(capture.lines().empty());
}

TEST(TerminalEdit, EditingSequencesGiveTheSameScreenForEverySplit)
{
    const std::string input = "abc\x1b[2b\x1b[3D\x1b[2@\x1b[1P\r\n\x1b[38:2::10:20:30mxy\x1b[3b\x1b[L\x1b[2T";
    EXPECT_TRUE(corvix::test::sameForEverySplit(input, [](const corvix::test::Chunks& chunks) {
        Screen s(12, 4);
        for (auto chunk : chunks) s.t.feed(chunk);
        corvix::test::DumpOptions o;
        o.attributes = true;
        return dumpScreen(s.t, o);
    }));
}

#include "terminal/screen/BufferLine.hpp"
#include "terminal/screen/Log.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace corvix;

namespace {

CharData cell(char32_t c, int width = 1)
{
    CharData d;
    d.code = static_cast<int32_t>(c);
    d.width = static_cast<int8_t>(width);
    return d;
}

// Writes `text` from column 0 (lines are not copyable by assignment).
void put(BufferLine& line, const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        line.set(static_cast<int>(i), cell(static_cast<unsigned char>(text[i])));
    }
}

std::string textOf(const BufferLine& line, int from = 0, int to = -1)
{
    std::string out;
    const int end = to == -1 ? line.count() : to;
    for (int c = from; c < end; ++c) {
        out += line[c].code == 0 ? '.' : static_cast<char>(line[c].code);
    }
    return out;
}

class FakeImage : public TerminalImage {
public:
    int pixelWidth() const override { return 10; }
    int pixelHeight() const override { return 20; }
    int col() const override { return col_; }
    void setCol(int col) override { col_ = col; }

private:
    int col_ = 0;
};

} // namespace

TEST(BufferLine, ConstructionAndCopy)
{
    CharData fill = cell('~');
    fill.attribute.fg = Attribute::Color::ansi256(2);
    BufferLine line(4, fill, true);
    EXPECT_EQ(textOf(line), "~~~~");
    EXPECT_EQ(line.fillCharacter(), fill);
    EXPECT_TRUE(line.isWrapped());
    EXPECT_EQ(line.generation(), 0u);
    line.setRenderMode(BufferLine::RenderLineMode::doubleWidth);
    line.attach(std::make_shared<FakeImage>());

    const BufferLine copy(line);
    EXPECT_EQ(textOf(copy), "~~~~");
    EXPECT_TRUE(copy.isWrapped());
    EXPECT_EQ(copy.renderMode(), BufferLine::RenderLineMode::doubleWidth);
    EXPECT_EQ(copy.images()->front(), line.images()->front());
    EXPECT_EQ(copy.generation(), 0u);
    EXPECT_GT(copy.serial(), line.serial());

    EXPECT_EQ(BufferLine(0).count(), 0);
    EXPECT_EQ(BufferLine(3)[1], CharData::Null);
}

TEST(BufferLine, OutOfRangeWriteIsReportedAndClampedToTheLastCell)
{
    BufferLine line(80);
    log::Capture capture;
    line.set(80, cell('Z'));
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0], BufferLine::kOutOfRangeMessage);
    EXPECT_EQ(line[79].code, 'Z');
    // Reading past the end reads the last cell without a report.
    EXPECT_EQ(line[500].code, 'Z');
    EXPECT_EQ(capture.lines().size(), 1u);

    // The ASCII run writer: the clamped tail ends on the last cell, reported once.
    line.writeAsciiRun(78, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("abcd"), 4), Attribute{});
    EXPECT_EQ(textOf(line, 78), "ad");
    EXPECT_EQ(capture.lines().size(), 2u);
}

TEST(BufferLine, AsciiRunWritesTheSameCellsAsSingleWrites)
{
    // Every attribute byte set, so a misplaced byte in the run writer's cell image shows.
    Attribute attribute;
    attribute.fg = Attribute::Color::trueColor(1, 2, 3);
    attribute.bg = Attribute::Color::ansi256(200);
    attribute.style = CharacterStyle::bold | CharacterStyle::crossedOut;
    attribute.underlineStyle = UnderlineStyle::curly;
    attribute.underlineColor = Attribute::Color::trueColor(250, 251, 252);
    // Runs shorter than, as long as and longer than the writer's groups of cells, from the
    // line's start or not, and one running past the line's end (its tail clamped to the last cell).
    const std::vector<std::pair<int, int>> runs = {{3, 4},  {0, 1},  {0, 15}, {3, 16}, {1, 17}, {0, 31},
                                                   {5, 32}, {2, 33}, {0, 47}, {7, 70}, {0, 80}, {50, 40}};
    for (const Attribute& a : {attribute, Attribute{}, Attribute::empty}) {
        for (const auto& [col, length] : runs) {
            std::string text;
            for (int k = 0; k < length; ++k) {
                text += char(0x20 + (k * 7 + col) % 95);
            }
            BufferLine run(80);
            BufferLine single(80);
            log::Capture capture;
            run.writeAsciiRun(col, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), a);
            for (size_t i = 0; i < text.size(); ++i) {
                CharData c = cell(static_cast<char32_t>(text[i]));
                c.attribute = a;
                single.set(col + static_cast<int>(i), c);
            }
            for (int c = 0; c < 80; ++c) {
                ASSERT_EQ(run[c], single[c]) << length << " bytes from column " << col << ", column " << c;
            }
        }
    }
}

TEST(BufferLine, TrimmedLengthAndContent)
{
    BufferLine wide(80);
    wide.set(78, cell(0x4E2D, 2));
    EXPECT_EQ(wide.getTrimmedLength(), 80);

    CharData coloured;
    coloured.attribute.bg = Attribute::Color::ansi256(4);
    BufferLine blanks(80, coloured);
    EXPECT_EQ(blanks.getTrimmedLength(), 0);
    EXPECT_TRUE(blanks.hasAnyContent());
    EXPECT_FALSE(BufferLine(80).hasAnyContent());

    // Each attribute field that differs from the plain attribute counts as content.
    BufferLine line(6);
    CharData c;
    c.attribute.bg = Attribute::Color::defaultInvertedColor();
    line.set(0, c);
    c = CharData{};
    c.attribute.style = CharacterStyle::italic;
    line.set(1, c);
    c = CharData{};
    c.attribute.underlineStyle = UnderlineStyle::dotted;
    line.set(2, c);
    c = CharData{};
    c.attribute.underlineColor = Attribute::Color::defaultColor();
    line.set(3, c);
    line.set(4, cell('q'));
    for (int col = 0; col < 5; ++col) {
        EXPECT_TRUE(line.hasContent(col)) << col;
    }
    EXPECT_FALSE(line.hasContent(5));
}

TEST(BufferLine, InsertAndDeleteCellsStayWithinTheRightMargin)
{
    BufferLine line(16);
    put(line, "0123456789ABCDEF");
    const CharData fill = cell('_');
    line.insertCells(5, 100, 9, fill);
    EXPECT_EQ(textOf(line), "01234_____ABCDEF");

    put(line, "0123456789ABCDEF");
    line.insertCells(2, 3, 9, fill);
    EXPECT_EQ(textOf(line), "01___23456ABCDEF");

    put(line, "0123456789ABCDEF");
    line.deleteCells(2, 3, 9, fill);
    EXPECT_EQ(textOf(line), "0156789___ABCDEF");

    put(line, "0123456789ABCDEF");
    line.deleteCells(4, 6, 9, fill);
    EXPECT_EQ(textOf(line), "0123______ABCDEF");
}

TEST(BufferLine, GenerationCounts)
{
    BufferLine line(10);
    line.resize(10, CharData::Null);
    EXPECT_EQ(line.generation(), 0u);
    line.clear(Attribute{});
    EXPECT_EQ(line.generation(), 2u);
    line.setIsWrapped(true);
    line.setBidiState(BidiPresentationState{});
    EXPECT_EQ(line.generation(), 4u);
    line.replaceCells(5, 2, CharData::Null); // writes nothing, still a change
    EXPECT_EQ(line.generation(), 5u);
    BufferLine other(4);
    line.copyFrom(other);
    EXPECT_EQ(line.generation(), 8u);
}

TEST(BufferLine, ClearKeepsFlagsAndDropsImages)
{
    BufferLine line(5);
    put(line, "abc");
    line.setIsWrapped(true);
    line.setRenderMode(BufferLine::RenderLineMode::doubledTop);
    line.attach(std::make_shared<FakeImage>());
    Attribute red;
    red.bg = Attribute::Color::ansi256(1);
    line.clear(red);
    EXPECT_FALSE(line.images().has_value());
    EXPECT_TRUE(line.isWrapped());
    EXPECT_EQ(line.renderMode(), BufferLine::RenderLineMode::doubledTop);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(line[c].code, 0);
        EXPECT_EQ(line[c].attribute, red);
    }
}

TEST(BufferLine, TranslateToString)
{
    BufferLine ab(10);
    put(ab, "ab");
    EXPECT_EQ(ab.translateToString(true), "ab");
    EXPECT_EQ(ab.translateToString(true, 5), "");
    EXPECT_EQ(ab.translateToString(false, 0, 3), std::string("ab\0", 3));
    EXPECT_EQ(ab.translateToString(false, 1, 2), "b");

    BufferLine wide(5);
    wide.set(0, cell(0x4E2D, 2));
    wide.set(1, cell(0, 0));
    wide.set(2, cell('x'));
    EXPECT_EQ(wide.translateToString(true, 0, -1, true), "\xE4\xB8\xADx");
    EXPECT_EQ(wide.translateToString(true, 1, -1, true), "x");
    EXPECT_EQ(wide.translateToString(true, 0, -1, false), std::string("\xE4\xB8\xAD\0x", 5));

    auto provider = [](const CharData& c) { return c.code == 0 ? std::string("_") : std::string("<>"); };
    EXPECT_EQ(ab.translateToString(false, 0, 4, false, provider), "<><>__");
}

TEST(BufferLine, CopyFromOverlappingRangesIsExact)
{
    BufferLine line(8);
    put(line, "abcdefgh");
    line.copyFrom(line, 0, 2, 5);
    EXPECT_EQ(textOf(line), "ababcdeh");

    put(line, "abcdefgh");
    line.copyFrom(line, 2, 0, 5);
    EXPECT_EQ(textOf(line), "cdefgfgh");

    BufferLine other(3);
    put(other, "xyz");
    line.copyFrom(other, 1, 6, 2);
    EXPECT_EQ(textOf(line), "cdefgfyz");
    line.copyFrom(other, 0, 0, 0);
    EXPECT_EQ(textOf(line), "cdefgfyz");
}

TEST(BufferLine, CopyFromLineReusesLargeEnoughStorage)
{
    BufferLine line(8);
    put(line, "abcdefgh");
    BufferLine shorter(3);
    put(shorter, "xy");
    shorter.setIsWrapped(true);
    line.copyFrom(shorter);
    EXPECT_EQ(line.count(), 3);
    EXPECT_EQ(line.capacity(), 8);
    EXPECT_EQ(textOf(line), "xy.");
    EXPECT_TRUE(line.isWrapped());

    BufferLine longer(10);
    put(longer, "0123456789");
    line.copyFrom(longer);
    EXPECT_EQ(line.count(), 10);
    EXPECT_EQ(line.capacity(), 10);
    EXPECT_EQ(textOf(line), "0123456789");
}

TEST(BufferLine, Resize)
{
    BufferLine line(4);
    put(line, "abcd");
    line.resize(6, cell('+'));
    EXPECT_EQ(textOf(line), "abcd++");
    line.resize(2, cell('+'));
    EXPECT_EQ(textOf(line), "ab");
    EXPECT_EQ(line.capacity(), 2);
    line.resize(0, cell('+'));
    EXPECT_EQ(line.count(), 0);
    EXPECT_TRUE(line.getData().empty());
    EXPECT_EQ(line.getTrimmedLength(), 0);
}

TEST(BufferLine, FillRangeAndReplaceCells)
{
    BufferLine line(8);
    put(line, "abcdefgh");
    line.fill(cell('-'), 2, 3);
    EXPECT_EQ(textOf(line), "ab---fgh");
    line.replaceCells(6, 100, cell('*'));
    EXPECT_EQ(textOf(line), "ab---f**");
}

namespace {

// Columns 0..<n in n foreground colours, each a letter.
void paintInManyColours(BufferLine& line, int n)
{
    for (int c = 0; c < n; ++c) {
        CharData d = cell(char32_t('a' + c % 26));
        d.attribute.fg = Attribute::Color::ansi256(uint8_t(c));
        line.set(c, d);
    }
}

// 40 columns: text with one linked letter, a wide character and its placeholder, a bold letter,
// then a blank tail in a background colour, as an erase to the end of the line leaves it. With
// `manyColours` the text is 20 letters in 20 colours: more attributes than a packed line keeps.
std::unique_ptr<BufferLine> tailedLine(bool manyColours = false)
{
    CharData blank;
    blank.attribute.bg = Attribute::Color::ansi256(4);
    auto line = std::make_unique<BufferLine>(40, blank);
    int text = 13;
    if (manyColours) {
        text = 20;
        paintInManyColours(*line, text);
    } else {
        put(*line, "scrolled out ");
    }
    CharData linked = (*line)[3];
    linked.payload.code = 9;
    line->set(3, linked);
    line->set(text, cell(U'語', 2));
    line->set(text + 1, cell(0, 0));
    CharData bold = cell('!');
    bold.attribute.style = CharacterStyle::bold;
    line->set(text + 2, bold);
    return line;
}

void expectSameCells(const BufferLine& actual, const BufferLine& expected, const std::string& context)
{
    ASSERT_EQ(actual.count(), expected.count()) << context;
    for (int c = 0; c < expected.count(); ++c) {
        ASSERT_EQ(actual[c], expected[c]) << context << ", column " << c;
    }
    EXPECT_EQ(actual.getData(), expected.getData()) << context;
    EXPECT_EQ(actual.getTrimmedLength(), expected.getTrimmedLength()) << context;
    EXPECT_EQ(actual.translateToString(true), expected.translateToString(true)) << context;
}

} // namespace

TEST(BufferLineCompaction, KeepsTheTextAndOneTailCellAndReadsAsBefore)
{
    auto line = tailedLine();
    auto twin = std::make_unique<BufferLine>(*line);
    const uint64_t generation = line->generation();
    BufferLine::CellStorage released = line->compact();
    EXPECT_TRUE(line->isCompact());
    EXPECT_EQ(line->heldCellCount(), 16);
    EXPECT_EQ(line->trailingCell().attribute.bg, Attribute::Color::ansi256(4));
    EXPECT_EQ(released.capacity, 40);
    EXPECT_EQ(line->generation(), generation) << "the content did not change";
    expectSameCells(*line, *twin, "compacted");
    // Past the end still reads the last cell; a copy of a compacted line is compact and equal.
    EXPECT_EQ((*line)[99], (*twin)[39]);
    BufferLine copy(*line);
    EXPECT_TRUE(copy.isCompact());
    expectSameCells(copy, *twin, "copy");
    // The released storage serves a new line: a copy of a blank line made in it.
    BufferLine blank(40);
    BufferLine made(blank, std::move(released));
    expectSameCells(made, blank, "made in released storage");

    // A nearly full line in few attributes is packed all the same; one in more attributes than
    // a packed line keeps stays as it is.
    BufferLine full(40);
    put(full, std::string(36, 'x'));
    BufferLine fullTwin(full);
    EXPECT_EQ(full.compact().capacity, 40);
    EXPECT_TRUE(full.isCompact());
    expectSameCells(full, fullTwin, "nearly full, packed");
    BufferLine colourful(40);
    paintInManyColours(colourful, 36);
    EXPECT_EQ(colourful.compact().capacity, 0);
    EXPECT_FALSE(colourful.isCompact());
}

// Packing goes a few cells at a time while the attribute stays and cell by cell where it
// changes: lines of every length up to 40 in runs of 1 to 9 cells, in colours that come back,
// read back cell by cell; a line packs exactly when it uses at most 16 attributes.
TEST(BufferLineCompaction, RunsOfAnyLengthInColoursThatComeBackReadAsWritten)
{
    uint32_t state = 1;
    const auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    for (int colours : {2, 16, 17}) {
        for (int text = 1; text <= 40; ++text) {
            for (int sample = 0; sample < 20; ++sample) {
                BufferLine line(60);
                std::vector<bool> seen(size_t(colours), false);
                int c = 0;
                while (c < text) {
                    const int run = int(1 + next(9));
                    const auto colour = uint8_t(next(uint32_t(colours)));
                    seen[colour] = true;
                    for (int end = std::min(text, c + run); c < end; ++c) {
                        CharData d = cell(char32_t('a' + c % 26));
                        d.attribute.fg = Attribute::Color::ansi256(colour);
                        line.set(c, d);
                    }
                }
                const BufferLine twin(line);
                line.compact();
                const std::string context = std::to_string(text) + " cells in " + std::to_string(colours)
                                            + " colours, sample " + std::to_string(sample);
                const auto used = std::count(seen.begin(), seen.end(), true);
                EXPECT_EQ(line.capacity() == 0, used <= 16) << context << ": packed only in few attributes";
                expectSameCells(line, twin, context);
            }
        }
    }
}

// Every change on a compacted line gives the cells it gives on a line that was never compacted,
// and compacting again after the change loses nothing (the tail that was written to included).
TEST(BufferLineCompaction, EveryChangeMatchesAnUncompactedLine)
{
    CharData red = cell('r');
    red.attribute.fg = Attribute::Color::ansi256(1);
    const std::vector<std::pair<std::string, std::function<void(BufferLine&)>>> changes = {
        {"set in the text", [&](BufferLine& l) { l.set(2, red); }},
        {"set in the tail", [&](BufferLine& l) { l.set(30, red); }},
        {"set on the last cell", [&](BufferLine& l) { l.set(39, red); }},
        {"set from one of its own cells", [](BufferLine& l) { l.set(35, l[3]); }},
        {"mutable cell in the tail", [](BufferLine& l) { l.mutableCell(20).code = 'm'; }},
        {"ascii run across the tail", [](BufferLine& l) {
             const std::string run = "ascii run";
             l.writeAsciiRun(28, {reinterpret_cast<const uint8_t*>(run.data()), run.size()}, Attribute{});
         }},
        {"ascii cell", [](BufferLine& l) { l.writeAsciiCell(25, 'a', Attribute{}); }},
        {"ascii cells right after the text", [](BufferLine& l) {
             l.writeAsciiCell(16, 'a', Attribute{});
             l.writeAsciiCell(17, 'b', Attribute{});
         }},
        {"cleared, then written", [&](BufferLine& l) {
             l.clear(Attribute{});
             l.set(5, red);
             l.writeAsciiCell(6, 'z', Attribute{});
         }},
        {"erased to the end, then written past it", [&](BufferLine& l) {
             l.replaceCells(8, 40, red);
             l.set(30, cell('q'));
         }},
        {"copy of a blank line", [](BufferLine& l) { l.copyFrom(BufferLine(40)); }},
        {"replace to the end", [&](BufferLine& l) { l.replaceCells(5, 40, red); }},
        {"replace in the middle", [&](BufferLine& l) { l.replaceCells(20, 25, red); }},
        {"fill a range", [&](BufferLine& l) { l.fill(red, 30, 5); }},
        {"fill all", [&](BufferLine& l) { l.fill(red); }},
        {"insert cells", [&](BufferLine& l) { l.insertCells(1, 3, 39, red); }},
        {"delete cells", [&](BufferLine& l) { l.deleteCells(1, 3, 39, red); }},
        {"copy a range within", [](BufferLine& l) { l.copyFrom(l, 0, 20, 16); }},
        {"copy a range from the tail", [](BufferLine& l) { l.copyFrom(l, 24, 0, 10); }},
        {"clear", [](BufferLine& l) { l.clear(Attribute{}); }},
        {"narrower", [](BufferLine& l) { l.resize(20, CharData::Null); }},
        {"narrower than the text", [](BufferLine& l) { l.resize(10, CharData::Null); }},
        {"wider with another fill", [&](BufferLine& l) { l.resize(60, red); }},
        {"wider with the tail's fill", [](BufferLine& l) { l.resize(60, l[39]); }},
    };
    // A line in few attributes is packed (it then holds no whole cell: capacity 0); one in many
    // keeps its text's cells whole.
    struct Form {
        std::string name;
        std::function<std::unique_ptr<BufferLine>()> make;
        int compactedCapacity;
    };
    const std::vector<Form> forms = {{"packed", [] { return tailedLine(); }, 0}, {"whole", [] { return tailedLine(true); }, 23}};
    for (const Form& form : forms) {
        for (const auto& [change, apply] : changes) {
            const std::string name = form.name + ": " + change;
            // Three forms of one line: as built (it holds only the cells written so far),
            // compacted, and holding every cell one by one (a copy of a range expands a line first).
            auto built = form.make();
            auto compacted = form.make();
            auto plain = form.make();
            plain->copyFrom(*plain, 0, 0, 40);
            ASSERT_EQ(plain->heldCellCount(), 40);
            ASSERT_GT(compacted->compact().capacity, 0) << name;
            ASSERT_EQ(compacted->capacity(), form.compactedCapacity) << name;
            for (BufferLine* line : {built.get(), compacted.get(), plain.get()}) apply(*line);
            expectSameCells(*compacted, *plain, name);
            expectSameCells(*built, *plain, name + ", as built");
            compacted->compact();
            built->compact();
            plain->compact();
            expectSameCells(*compacted, *plain, name + ", compacted again");
            expectSameCells(*built, *plain, name + ", as built, compacted");
        }

        // Copying from a compacted line into another reads its cells and its tail.
        auto source = form.make();
        auto reference = form.make();
        source->compact();
        BufferLine a(40);
        BufferLine b(40);
        a.copyFrom(*source, 10, 0, 30);
        b.copyFrom(*reference, 10, 0, 30);
        expectSameCells(a, b, form.name + ": range copied from a compacted line");
        a.copyFrom(*source, 2, 5, 20);
        b.copyFrom(*reference, 2, 5, 20);
        expectSameCells(a, b, form.name + ": range from its text copied from a compacted line");
        a.copyFrom(*source);
        b.copyFrom(*reference);
        expectSameCells(a, b, form.name + ": whole compacted line copied");
        BufferLine made(*source, BufferLine::CellStorage{});
        expectSameCells(made, *reference, form.name + ": copy of a compacted line made in new storage");
    }
}

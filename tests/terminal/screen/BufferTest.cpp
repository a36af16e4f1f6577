#include "terminal/screen/Buffer.hpp"
#include "terminal/screen/Log.hpp"

#include "tests/terminal/screen/TestLog.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
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

std::span<const uint8_t> bytes(const std::string& s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

class FakeImage : public TerminalImage {
public:
    int pixelWidth() const override { return 1; }
    int pixelHeight() const override { return 1; }
    int col() const override { return 0; }
    void setCol(int) override {}
};

// A buffer with its viewport filled and a scroll hook that scrolls the whole screen up the way
// the terminal does (recycling the oldest line once the ring is full).
class BufferTest : public ::testing::Test {
protected:
    std::unique_ptr<Buffer> make(int cols, int rows, std::optional<int64_t> scrollback = 100)
    {
        auto buffer = std::make_unique<Buffer>(cols, rows, 8, scrollback, BidiPresentationState{});
        Buffer* b = buffer.get();
        b->scroll = [this, b](bool isWrapped) {
            scrolls.push_back(isWrapped);
            CircularBufferLineList& lines = b->lines();
            if (lines.count() == lines.maxLength()) {
                lines.recycle(Attribute{});
            } else {
                lines.push(b->getBlankLine(Attribute{}));
                b->setYBase(b->yBase() + 1);
                b->setYDisp(b->yBase());
            }
            lines[b->yBase() + b->y()].setIsWrapped(isWrapped);
        };
        b->fillViewportRows();
        return buffer;
    }

    // The text of the absolute row, '.' for code 0 and '_' for placeholders.
    static std::string row(Buffer& b, int absoluteRow, int from = 0, int to = -1)
    {
        BufferLine& line = b.lines()[absoluteRow];
        std::string out;
        for (int c = from; c < (to == -1 ? line.count() : to); ++c) {
            const CharData& d = line[c];
            out += d.width == 0 ? '_' : d.code == 0 ? '.' : d.code < 128 ? static_cast<char>(d.code) : 'W';
        }
        return out;
    }

    std::vector<bool> scrolls;
};

} // namespace

TEST_F(BufferTest, CreationDefaults)
{
    auto b = make(80, 25);
    EXPECT_EQ(b->lines().maxLength(), 125);
    EXPECT_EQ(b->lines().count(), 25);
    EXPECT_EQ(b->scrollBottom(), 24);
    EXPECT_EQ(b->marginRight(), 79);
    EXPECT_EQ(b->curAttr, Attribute::empty);
    EXPECT_EQ(b->savedAttr, Attribute{});
    EXPECT_FALSE(b->wraparound);
    EXPECT_TRUE(b->isReflowEnabled());
    EXPECT_EQ(b->lines()[3][0], CharData::Null);

    Buffer alt(80, 25, 8, std::nullopt, BidiPresentationState{});
    EXPECT_EQ(alt.lines().maxLength(), 25);
    EXPECT_EQ(alt.lines().count(), 0);
    EXPECT_FALSE(alt.hasScrollback());
    EXPECT_EQ(alt.getCorrectBufferLength(40), 40);
    EXPECT_GT(alt.serial(), b->serial());
}

TEST_F(BufferTest, AsciiRunWrapsAcrossRowsWithWraparound)
{
    auto b = make(80, 25);
    b->wraparound = true;
    EXPECT_EQ(b->insertAsciiRun(bytes(std::string(200, 'x')), Attribute{}), 200);
    EXPECT_EQ(row(*b, 0), std::string(80, 'x'));
    EXPECT_EQ(row(*b, 1), std::string(80, 'x'));
    EXPECT_EQ(row(*b, 2), std::string(40, 'x') + std::string(40, '.'));
    EXPECT_EQ(row(*b, 3), std::string(80, '.'));
    EXPECT_FALSE(b->lines()[0].isWrapped());
    EXPECT_TRUE(b->lines()[1].isWrapped());
    EXPECT_TRUE(b->lines()[2].isWrapped());
    EXPECT_FALSE(b->lines()[3].isWrapped());
    EXPECT_EQ(b->x(), 40);
    EXPECT_EQ(b->y(), 2);
    EXPECT_EQ(b->lastBufferStorage.y, 2);
    EXPECT_EQ(b->lastBufferStorage.x, 39);
    EXPECT_EQ(b->lastBufferStorage.cols, 80);
    EXPECT_TRUE(scrolls.empty());
}

TEST_F(BufferTest, WithoutAutowrapTheCursorStaysOnTheMarginAndItsCellIsOverwritten)
{
    auto b = make(80, 25);
    EXPECT_EQ(b->insertAsciiRun(bytes(std::string(199, 'x') + "w"), Attribute{}), 200);
    EXPECT_EQ(row(*b, 0, 77), "xxw");
    EXPECT_EQ(b->x(), 79);
    EXPECT_EQ(b->y(), 0);
    EXPECT_EQ(b->lastBufferStorage.x, 79);
    EXPECT_EQ(b->insertAsciiRun(bytes("more"), Attribute{}), 4);
    EXPECT_EQ(row(*b, 0, 78), "xe");
    EXPECT_EQ(b->x(), 79);

    b->insertCharacter(cell('y'));
    EXPECT_EQ(row(*b, 0, 78), "xy");
    EXPECT_EQ(b->x(), 79);
    b->insertCharacter(cell('z'));
    EXPECT_EQ(row(*b, 0, 78), "xz");
    EXPECT_EQ(b->x(), 79);
    EXPECT_EQ(row(*b, 1), std::string(80, '.'));

    // From the pending-wrap column (autowrap turned off after it was reached) the same.
    b->setX(80);
    EXPECT_EQ(b->insertAsciiRun(bytes("pq"), Attribute{}), 0);
    b->insertCharacter(cell('p'));
    EXPECT_EQ(row(*b, 0, 78), "xp");
    EXPECT_EQ(b->x(), 79);
}

TEST_F(BufferTest, WideCharacterAtTheLastColumn)
{
    auto b = make(80, 25);
    b->setX(79);
    b->insertCharacter(cell(0x4E2D, 2));
    EXPECT_EQ(b->x(), 79);
    EXPECT_EQ(row(*b, 0, 78), "..");
    EXPECT_EQ(row(*b, 1, 0, 2), "..");

    b->wraparound = true;
    Attribute red;
    red.fg = Attribute::Color::ansi256(1);
    CharData wide = cell(0x4E2D, 2);
    wide.attribute = red;
    b->insertCharacter(wide);
    EXPECT_EQ(row(*b, 0, 78), "..");
    EXPECT_EQ(row(*b, 1, 0, 3), "W_.");
    EXPECT_TRUE(b->lines()[1].isWrapped());
    EXPECT_EQ(b->x(), 2);
    EXPECT_EQ(b->y(), 1);
    // The character keeps its own attribute; its placeholder carries the buffer's `curAttr`.
    EXPECT_EQ(b->lines()[1][0].attribute, red);
    EXPECT_EQ(b->lines()[1][1].attribute, Attribute::empty);
    EXPECT_EQ(b->lastBufferStorage.x, 0);
    EXPECT_EQ(b->lastBufferStorage.y, 1);
}

TEST_F(BufferTest, InsertModeShiftsTheLineRight)
{
    auto b = make(10, 3);
    b->insertAsciiRun(bytes("abcdefghij"), Attribute{});
    b->insertMode = true;
    EXPECT_EQ(b->insertAsciiRun(bytes("zz"), Attribute{}), 0);
    b->setX(0);
    b->insertCharacter(cell('Q'));
    EXPECT_EQ(row(*b, 0), "Qabcdefghi");
    EXPECT_EQ(b->x(), 1);
    b->insertCharacter(cell(0x4E2D, 2));
    EXPECT_EQ(row(*b, 0), "QW_abcdefg");
    EXPECT_EQ(b->x(), 3);
}

TEST_F(BufferTest, InsertModeBlanksAWideCharacterPushedToTheLastColumn)
{
    auto b = make(10, 3);
    b->insertAsciiRun(bytes("abcdefgh"), Attribute{});
    b->insertCharacter(cell(0x4E2D, 2));
    EXPECT_EQ(row(*b, 0), "abcdefghW_");
    b->insertMode = true;
    b->setX(0);
    b->insertCharacter(cell('Q'));
    EXPECT_EQ(row(*b, 0), "Qabcdefgh.");
    CharData fill = CharData::Null;
    fill.attribute = Attribute::empty;
    EXPECT_EQ(b->lines()[0][9], fill);
}

TEST_F(BufferTest, WrapAtTheScrollBottomCallsTheScrollHook)
{
    auto b = make(10, 3, 10);
    b->wraparound = true;
    b->setY(2);
    EXPECT_EQ(b->insertAsciiRun(bytes("0123456789abcdefghijKLMNO"), Attribute{}), 25);
    EXPECT_EQ(scrolls, (std::vector<bool>{true, true}));
    EXPECT_EQ(b->y(), 2);
    EXPECT_EQ(b->yBase(), 2);
    EXPECT_EQ(row(*b, 2), "0123456789");
    EXPECT_EQ(row(*b, 3), "abcdefghij");
    EXPECT_EQ(row(*b, 4), "KLMNO.....");
    EXPECT_TRUE(b->lines()[4].isWrapped());
    EXPECT_EQ(b->lastBufferStorage.y, 4);
}

TEST(BufferDeathTest, ScrollWithoutTheOwnersHookStops)
{
    Buffer b(10, 2, 8, 10, BidiPresentationState{});
    b.fillViewportRows();
    b.wraparound = true;
    b.setY(1);
    EXPECT_DEATH(
        {
            test::logToStderr();
            b.insertAsciiRun(bytes("01234567890"), Attribute{});
        },
        "This should be set after creating a buffer");
}

TEST_F(BufferTest, WrapHonoursTheMarginsAndCarriesTheBidiState)
{
    auto b = make(30, 5);
    b->wraparound = true;
    b->marginMode = true;
    b->setMarginLeft(10);
    b->setMarginRight(19);
    BidiPresentationState rtl;
    rtl.fallbackDirection = BidiDirection::rightToLeft;
    b->lines()[0].setBidiState(rtl);
    b->setX(15);
    EXPECT_EQ(b->insertAsciiRun(bytes("abcdefghij"), Attribute{}), 10);
    EXPECT_EQ(row(*b, 0, 10, 21), ".....abcde.");
    EXPECT_EQ(row(*b, 1, 9, 16), ".fghij.");
    EXPECT_TRUE(b->lines()[1].isWrapped());
    EXPECT_EQ(b->lines()[1].bidiState(), rtl);
    EXPECT_EQ(b->x(), 15);

    // A left margin right of the right margin: the wrap pending at the right margin lands beyond
    // it, where the screen's edge is the limit, and the run ends instead of looping.
    b->setX(17);
    EXPECT_EQ(b->insertAsciiRun(bytes("klm"), Attribute{}), 3);
    EXPECT_TRUE(b->wrapPending());
    b->setMarginLeft(25);
    EXPECT_EQ(b->insertAsciiRun(bytes("xyz"), Attribute{}), 3);
    EXPECT_EQ(row(*b, 2, 24, 29), ".xyz.");
}

TEST_F(BufferTest, TabStops)
{
    auto b = make(80, 5);
    EXPECT_EQ(b->nextTabStop(false, 75), 79);
    EXPECT_EQ(b->nextTabStop(false, 0), 8);
    EXPECT_EQ(b->nextTabStop(false, 8), 16);
    EXPECT_EQ(b->nextTabStop(false, 79), 79);
    EXPECT_EQ(b->previousTabStop(3), 0);
    EXPECT_EQ(b->previousTabStop(17), 16);
    EXPECT_EQ(b->previousTabStop(16), 8);
    EXPECT_EQ(b->previousTabStop(0), 0);

    b->setX(20);
    EXPECT_EQ(b->nextTabStop(false), 24);
    b->setMarginRight(22);
    EXPECT_EQ(b->nextTabStop(true), 22);
    EXPECT_EQ(b->nextTabStop(false), 24);

    b->tabClear(24);
    b->tabSet(30);
    b->tabSet(500);
    EXPECT_EQ(b->nextTabStop(false), 30);
    EXPECT_EQ(b->previousTabStop(), 16);

    // Rebuilding from a column walks back to the previous stop and sets every width-th from it.
    b->setupTabStops(21, 4);
    EXPECT_TRUE(b->tabStops[16]);
    EXPECT_TRUE(b->tabStops[20]);
    EXPECT_TRUE(b->tabStops[24]);
    EXPECT_TRUE(b->tabStops[28]);
    EXPECT_TRUE(b->tabStops[30]);
    EXPECT_TRUE(b->tabStops[8]);
    EXPECT_FALSE(b->tabStops[12]);
}

TEST_F(BufferTest, ChangeHistorySizeDropsTheOldestLines)
{
    auto b = make(80, 24, 500);
    for (int i = 0; i < 500; ++i) {
        auto line = b->getBlankLine(Attribute{});
        line->set(0, cell(0x1000 + i));
        b->lines().push(line);
    }
    ASSERT_EQ(b->lines().count(), 524);
    b->setYBase(500);
    b->setYDisp(490);
    b->savedY = 10;
    b->changeHistorySize(100);
    EXPECT_EQ(b->lines().maxLength(), 124);
    EXPECT_EQ(b->lines().count(), 124);
    EXPECT_EQ(b->yBase(), 100);
    EXPECT_EQ(b->yDisp(), 90);
    EXPECT_EQ(b->savedY, 0);
    EXPECT_EQ(b->linesTop, 400);
    EXPECT_EQ(b->lines()[0][0].code, 0x1000 + 376);
    EXPECT_EQ(b->lines()[123][0].code, 0x1000 + 499);

    b->changeHistorySize(1000);
    EXPECT_EQ(b->lines().maxLength(), 1024);
    EXPECT_EQ(b->lines()[123][0].code, 0x1000 + 499);
    b->changeHistorySize(std::nullopt);
    EXPECT_FALSE(b->hasScrollback());
    EXPECT_EQ(b->lines().maxLength(), 24);
    EXPECT_EQ(b->linesTop, 500);
    EXPECT_EQ(b->lines()[23][0].code, 0x1000 + 499);
}

TEST_F(BufferTest, GetCharReadsFromTheDisplayedRows)
{
    auto b = make(10, 3);
    b->lines()[1].set(4, cell('k'));
    EXPECT_EQ(b->getChar(Position{4, 1}).code, 'k');
    EXPECT_EQ(b->getChar(Position{10, 1}), CharData::Null);
    EXPECT_EQ(b->getChar(Position{-1, 1}), CharData::Null);
    b->setYDisp(1);
    EXPECT_EQ(b->getChar(Position{4, 0}).code, 'k');
    EXPECT_EQ(b->getCharBufferRelative(Position{4, 1}).code, 'k');
}

TEST_F(BufferTest, CountsLinesHoldingImages)
{
    auto b = make(10, 3, 0); // a ring exactly one screen long: scrolling recycles
    b->attachImage(std::make_shared<FakeImage>(), 0);
    b->attachImage(std::make_shared<FakeImage>(), 0);
    b->attachImage(std::make_shared<FakeImage>(), 2);
    EXPECT_EQ(b->linesWithImagesCount(), 2);
    b->clearImagesFromLine(2);
    b->clearImagesFromLine(2);
    EXPECT_EQ(b->linesWithImagesCount(), 1);
    EXPECT_TRUE(b->hasAnyImages());

    b->lines().recycle(Attribute{}); // the line with images leaves the top
    EXPECT_EQ(b->linesWithImagesCount(), 0);
    EXPECT_FALSE(b->hasAnyImages());

    auto withImage = b->getBlankLine(Attribute{});
    withImage->attach(std::make_shared<FakeImage>());
    b->lines().push(withImage);
    EXPECT_EQ(b->linesWithImagesCount(), 1);
    b->lines()[0].setImages(BufferLine::ImageList{});
    b->recalculateLinesWithImagesCount();
    EXPECT_EQ(b->linesWithImagesCount(), 2);
}

TEST_F(BufferTest, ClearAndResets)
{
    auto b = make(10, 3);
    b->setX(4);
    b->setY(2);
    b->setYBase(1);
    b->linesTop = 3;
    b->setScrollTop(1);
    b->setMarginLeft(2);
    b->savedX = 5;
    b->savedWraparound = true;
    b->savedCharset = reinterpret_cast<const CharsetMap*>(&b);
    b->savedAttr.style = CharacterStyle::bold;
    b->attachImage(std::make_shared<FakeImage>(), 0);

    b->softReset();
    EXPECT_EQ(b->savedX, 0);
    EXPECT_FALSE(b->savedWraparound);
    EXPECT_EQ(b->savedCharset, nullptr);
    EXPECT_EQ(b->savedAttr, Attribute{});
    EXPECT_EQ(b->marginLeft(), 0);
    EXPECT_EQ(b->x(), 4);

    b->clear();
    EXPECT_EQ(b->x(), 0);
    EXPECT_EQ(b->y(), 0);
    EXPECT_EQ(b->yBase(), 0);
    EXPECT_EQ(b->totalLinesTrimmed(), 0);
    EXPECT_EQ(b->scrollTop(), 0);
    EXPECT_EQ(b->scrollBottom(), 2);
    EXPECT_EQ(b->lines().count(), 0);
    EXPECT_EQ(b->linesWithImagesCount(), 0);
    Attribute blue;
    blue.bg = Attribute::Color::ansi256(4);
    b->fillViewportRows(blue);
    EXPECT_EQ(b->lines().count(), 3);
    EXPECT_EQ(b->lines()[2][9].attribute, blue);
    b->fillViewportRows();
    EXPECT_EQ(b->lines().count(), 3);
    // The callbacks are installed again on the new ring.
    auto withImage = b->getBlankLine(Attribute{});
    withImage->attach(std::make_shared<FakeImage>());
    b->lines().push(withImage);
    EXPECT_EQ(b->linesWithImagesCount(), 1);
}

TEST_F(BufferTest, AccessorsIgnoreNegativeValues)
{
    auto b = make(10, 3);
    b->setX(3);
    b->setY(1);
    b->setYDisp(2);
    b->setScrollTop(1);
    b->setScrollBottom(2);
    b->setX(-1);
    b->setY(-1);
    b->setYDisp(-1);
    b->setScrollTop(-1);
    b->setScrollBottom(-1);
    EXPECT_EQ(b->x(), 3);
    EXPECT_EQ(b->y(), 1);
    EXPECT_EQ(b->yDisp(), 2);
    EXPECT_EQ(b->scrollTop(), 1);
    EXPECT_EQ(b->scrollBottom(), 2);
}

TEST_F(BufferTest, BlankLinesAndNullCells)
{
    auto b = make(6, 2);
    BidiPresentationState explicitRtl{BidiSupportMode::explicit_, false, BidiDirection::rightToLeft, true};
    b->defaultBidiState = explicitRtl;
    Attribute green;
    green.bg = Attribute::Color::ansi256(2);
    auto line = b->getBlankLine(green, true);
    EXPECT_EQ(line->count(), 6);
    EXPECT_TRUE(line->isWrapped());
    EXPECT_EQ(line->bidiState(), explicitRtl);
    EXPECT_EQ(line->fillCharacter().attribute, green);
    EXPECT_EQ(line->fillCharacter().code, 0);
    EXPECT_EQ(b->getNullCell().code, 0x20);
    EXPECT_EQ(b->getNullCell().attribute, Attribute::empty);
    EXPECT_EQ(b->getNullCell(green).attribute, green);
}

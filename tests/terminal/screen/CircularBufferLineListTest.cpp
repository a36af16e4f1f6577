#include "terminal/screen/CircularBufferLineList.hpp"
#include "terminal/screen/CircularList.hpp"
#include "terminal/screen/Log.hpp"

#include "tests/support/AllocationCounter.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace corvix;
using LinePtr = CircularBufferLineList::LinePtr;

namespace {

class FakeImage : public TerminalImage {
public:
    int pixelWidth() const override { return 1; }
    int pixelHeight() const override { return 1; }
    int col() const override { return 0; }
    void setCol(int) override {}
};

// A one-cell line holding `name`.
LinePtr line(char name)
{
    auto l = std::make_shared<BufferLine>(1);
    CharData c;
    c.code = name;
    l->set(0, c);
    return l;
}

// The names of the ring's lines in logical order ('.' for a cleared line).
std::string names(CircularBufferLineList& ring)
{
    std::string out;
    for (int i = 0; i < ring.count(); ++i) {
        const int code = ring[i][0].code;
        out += code == 0 ? '.' : static_cast<char>(code);
    }
    return out;
}

CircularBufferLineList ringOf(const std::string& lines, int maxLength)
{
    CircularBufferLineList ring(maxLength);
    for (char c : lines) {
        ring.push(line(c));
    }
    return ring;
}

} // namespace

TEST(CircularBufferLineList, PushOnAFullRingDropsTheOldest)
{
    int pushes = 0;
    int withImages = 0;
    CircularBufferLineList ring(3);
    ring.onLinePushed = [&](bool hasImages) {
        ++pushes;
        withImages += hasImages;
    };
    for (char c : std::string("abc")) {
        ring.push(line(c));
    }
    LinePtr d = line('d');
    d->attach(std::make_shared<FakeImage>());
    ring.push(d);
    EXPECT_EQ(names(ring), "bcd");
    EXPECT_EQ(ring.count(), 3);
    EXPECT_EQ(ring.startIndex(), 1);
    EXPECT_EQ(pushes, 4);
    EXPECT_EQ(withImages, 1);
}

TEST(CircularBufferLineList, RecycleReusesTheOldestLineAndAllocatesNothing)
{
    CircularBufferLineList ring = ringOf("bcd", 3);
    ring[0].attach(std::make_shared<FakeImage>());
    std::vector<bool> reports;
    reports.reserve(4);
    ring.onLineRecycled = [&](bool had) { reports.push_back(had); };
    BufferLine* oldest = &ring[0];
    Attribute red;
    red.bg = Attribute::Color::ansi256(1);

    size_t allocations = 0;
    {
        test::AllocationCounter counter;
        ring.recycle(red);
        ring.recycle(red);
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(names(ring), "d..");
    EXPECT_EQ(&ring[1], oldest);
    EXPECT_EQ(ring[1][0].attribute, red);
    EXPECT_FALSE(ring[1].images().has_value());
    EXPECT_EQ(reports, (std::vector<bool>{true, false}));
}

TEST(CircularBufferLineList, EmptySlotsAreFilledByTheFactoryWithTheSlotNumber)
{
    CircularBufferLineList ring = ringOf("ab", 4);
    ring.setCount(4);
    std::vector<int> slots;
    ring.makeEmpty = [&](int slot) {
        slots.push_back(slot);
        return line('*');
    };
    EXPECT_EQ(names(ring), "ab**");
    EXPECT_EQ(slots, (std::vector<int>{2, 3}));
    EXPECT_EQ(names(ring), "ab**");
    EXPECT_EQ(slots.size(), 2u);
}

TEST(CircularBufferLineList, MaxLengthChangeKeepsLogicalIndices)
{
    CircularBufferLineList ring = ringOf("abcde", 3); // holds cde, startIndex 2
    ring.setMaxLength(5);
    EXPECT_EQ(ring.startIndex(), 0);
    EXPECT_EQ(names(ring), "cde");
    ring.push(line('f'));
    ring.push(line('g'));
    EXPECT_EQ(names(ring), "cdefg");
    ring.setCount(2);
    ring.setMaxLength(2);
    EXPECT_EQ(names(ring), "cd");
}

TEST(CircularBufferLineList, ShiftElementsRejectsBadArguments)
{
    struct Case {
        int start, count, offset;
        std::string line;
    };
    const Case cases[] = {
        {0, -1, 1, "Assertion at start=0 count=-1 offset=1: count < 0"},
        {-1, 1, 2, "Assertion at start=-1 count=1 offset=2: start < 0"},
        {3, 1, 1, "Assertion at start=3 count=1 offset=1: start >= self.count"},
        {0, 1, 0, "Assertion at start=0 count=1 offset=0: start+offset <= 0"},
        {2, 1, -2, "Assertion at start=2 count=1 offset=-2: start+offset <= 0"},
    };
    for (const Case& c : cases) {
        CircularBufferLineList ring = ringOf("abc", 3);
        log::Capture capture;
        EXPECT_FALSE(ring.shiftElements(c.start, c.count, c.offset));
        ASSERT_EQ(capture.lines().size(), 1u);
        EXPECT_EQ(capture.lines()[0], c.line);
        EXPECT_EQ(names(ring), "abc");
    }
}

TEST(CircularBufferLineList, ShiftElements)
{
    // Down by one on a full ring: the oldest line drops, the count stays.
    CircularBufferLineList ring = ringOf("abc", 3);
    EXPECT_TRUE(ring.shiftElements(1, 2, 1));
    EXPECT_EQ(ring.count(), 3);
    EXPECT_EQ(names(ring), "bbc");

    // Down within a ring with room: the count grows.
    ring = ringOf("abc", 5);
    EXPECT_TRUE(ring.shiftElements(1, 2, 1));
    EXPECT_EQ(names(ring), "abbc");

    // Up by one: the vacated last slot still shows the moved line until the caller replaces it.
    ring = ringOf("abcd", 4);
    EXPECT_TRUE(ring.shiftElements(2, 2, -1));
    EXPECT_EQ(names(ring), "acdd");
    EXPECT_EQ(&ring[2], &ring[3]);
}

TEST(CircularBufferLineList, ShiftElementsDownPastTheCapacityKeepsTheBlockIntact)
{
    // The block's tail wraps round onto slots whose lines have not moved yet; every moved line
    // must still arrive (the first row shown is the vacated one, which the caller overwrites).
    CircularBufferLineList ring = ringOf("abc", 3);
    EXPECT_TRUE(ring.shiftElements(1, 2, 2));
    EXPECT_EQ(ring.count(), 3);
    EXPECT_EQ(names(ring), "cbc");
    ring = ringOf("abcd", 4);
    EXPECT_TRUE(ring.shiftElements(1, 3, 2));
    EXPECT_EQ(names(ring), "cbcd");
}

TEST(CircularBufferLineList, SpliceDeletesInsertsAndReportsChangedIndices)
{
    CircularBufferLineList ring = ringOf("abcde", 8);
    std::vector<int> changed;
    const LinePtr items[] = {line('X'), line('Y')};
    ring.splice(1, 2, items, [&](int i) { changed.push_back(i); });
    EXPECT_EQ(names(ring), "aXYde");
    EXPECT_EQ(changed, (std::vector<int>{1, 2, 4, 3, 1, 2}));

    ring.splice(4, 1, {});
    EXPECT_EQ(names(ring), "aXYd");
}

TEST(CircularBufferLineList, SpliceIntoAFullRingDropsTheOldest)
{
    CircularBufferLineList ring = ringOf("abcd", 4);
    const LinePtr items[] = {line('X'), line('Y')};
    ring.splice(3, 0, items);
    EXPECT_EQ(ring.startIndex(), 2);
    EXPECT_EQ(ring.count(), 4);
    EXPECT_EQ(names(ring), "cXYd");

    // Inserting where the dropped lines are: what falls off the top is the oldest of the
    // combined list, including leading items, and no kept line is lost or duplicated.
    ring = ringOf("abcd", 4);
    ring.splice(1, 0, items);
    EXPECT_EQ(names(ring), "Ybcd");
    ring = ringOf("abcd", 4);
    ring.splice(0, 0, std::span<const LinePtr>(items, 1));
    EXPECT_EQ(names(ring), "abcd");
}

TEST(CircularList, PushDropsTheOldestAndFactoryFillsGaps)
{
    CircularList<int> list(3);
    for (int v : {1, 2, 3, 4}) {
        list.push(v);
    }
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list[0], 2);
    EXPECT_EQ(list[2], 4);

    CircularList<int> sparse(4);
    sparse.push(7);
    sparse.setCount(3);
    sparse.makeEmpty = [](int slot) { return -slot; };
    EXPECT_EQ(sparse[0], 7);
    EXPECT_EQ(sparse[2], -2);
}

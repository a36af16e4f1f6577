#include "PlacingDelegate.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace corvix;
using namespace corvix::test;

namespace {

TerminalOptions withScrollback(int64_t scrollback)
{
    TerminalOptions options = PlacingTerminal::smallScreen();
    options.scrollback = scrollback;
    return options;
}

// A terminal holding image 1 (4 x 2 pixels).
struct WithImage : PlacingTerminal {
    explicit WithImage(TerminalOptions options = smallScreen()) : PlacingTerminal(std::move(options))
    {
        command(rgbaCommand("a=t,q=1,i=1", 4, 2));
    }
    // Puts a placement of image 1 at a screen cell, the cursor left where it was.
    void put(int col, int row, const std::string& keys)
    {
        moveTo(col, row);
        command("a=p,q=1,C=1,i=1," + keys);
    }
    const KittyPlacementRecord& record(uint32_t placementId) { return state().placementsByKey.at({1, placementId}); }
    // The lines of placement (1, id) on the active screen.
    std::vector<int> linesOf(uint32_t placementId) { return kittyLinesOf(t.buffer())[{1, placementId}]; }
};

// Every record of the active screen whose images are on its lines names the top one and the
// column of the first image there, as a walk over every line finds them.
void expectRecordsOnTheirLines(Terminal& t)
{
    Buffer& b = t.buffer();
    auto lines = kittyLinesOf(b);
    for (const auto& [key, record] : t.kittyGraphicsState().placementsByKey) {
        if (record.isVirtual || record.isAlternateBuffer != t.isCurrentBufferAlternate()) continue;
        const auto& rows = lines[{key.imageId, key.placementId}];
        if (rows.empty()) continue;
        SCOPED_TRACE(testing::Message() << "placement " << key.imageId << "," << key.placementId);
        EXPECT_EQ(record.row, rows.front());
        for (const auto& image : *b.lines()[rows.front()].images()) {
            const auto* kitty = dynamic_cast<const KittyPlacementImage*>(image.get());
            if (kitty && kitty->kittyImageId == key.imageId && kitty->kittyPlacementId == key.placementId) {
                EXPECT_EQ(record.col, image->col());
                break;
            }
        }
    }
}

} // namespace

TEST(KittyMaintenance, RecordsFollowTheirLines)
{
    const struct {
        const char* name;
        int64_t scrollback;
        std::string setup;
        // Placements 1, 2, 3 at (column, screen row), each one cell wide and as many rows tall.
        std::vector<std::tuple<int, int, int>> placed;
        std::string scroll;
        // Their first lines afterwards (absolute).
        std::vector<int> tops;
    } cases[] = {
        {"ring growing", 100, "", {{2, 2, 2}, {4, 5, 1}}, "\x1b[10;1H\n\n\n\n\n", {2, 5}},
        // Three lines drop out: the first row of placement 1 with them.
        {"full ring", 0, "", {{2, 2, 2}, {4, 5, 1}}, "\x1b[10;1H\n\n\n", {0, 2}},
        {"full ring with scroll-back", 5, std::string(15, '\n'), {{2, 2, 2}, {4, 5, 1}}, "\x1b[10;1H\n\n\n", {4, 7}},
        // Rows 2 to 7 scroll; above and below stay.
        {"region in the middle", 100, "\x1b[3;8r", {{2, 4, 2}, {3, 0, 1}, {4, 8, 1}}, "\x1b[8;1H\n\n", {2, 0, 8}},
        {"region at the top, full ring", 0, "\x1b[1;8r", {{2, 3, 2}, {4, 8, 1}}, "\x1b[8;1H\n\n", {1, 8}},
        // The region's top lines go into the scroll-back; the row below the region moves down a line.
        {"region at the top, ring growing", 100, "\x1b[1;8r", {{2, 3, 2}, {4, 8, 1}}, "\x1b[8;1H\n\n", {3, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WithImage f(withScrollback(c.scrollback));
        f.t.feed(c.setup);
        uint32_t id = 1;
        for (const auto& [col, row, height] : c.placed)
            f.put(col, row, "p=" + std::to_string(id++) + ",c=1,r=" + std::to_string(height));
        f.t.feed(c.scroll);
        for (size_t i = 0; i < c.tops.size(); i++) {
            SCOPED_TRACE(i + 1);
            ASSERT_FALSE(f.linesOf(uint32_t(i + 1)).empty());
            EXPECT_EQ(f.linesOf(uint32_t(i + 1)).front(), c.tops[i]);
            EXPECT_EQ(f.record(uint32_t(i + 1)).row, c.tops[i]);
        }
        expectRecordsOnTheirLines(f.t);
    }
}

TEST(KittyMaintenance, LineImagesKeepTheirRectanglesThroughScrolls)
{
    // An image without ids has no record: only its lines' rectangle can find it.
    WithImage f(withScrollback(0));
    f.moveTo(3, 6);
    f.command(rgbaCommand("a=T,q=1,C=1,c=1,r=2", 4, 2));
    f.t.feed("\x1b[10;1H\n\n");
    ASSERT_EQ(kittyLinesOf(f.t.buffer())[KeyPair(0, 0)], (std::vector<int>{4, 5}));
    f.command("a=d,d=y,y=7");
    EXPECT_EQ(kittyLinesOf(f.t.buffer())[KeyPair(0, 0)], (std::vector<int>{4, 5}));
    f.command("a=d,d=p,x=4,y=6");
    EXPECT_TRUE(kittyKeysOnLines(f.t).empty());

    // Placed from the bottom row, an image scrolls the lines while its rows are attached: it ends
    // on rows 6 to 8, not where it started.
    f.moveTo(3, 9);
    f.command(rgbaCommand("a=T,q=1,c=1,r=3", 4, 2));
    ASSERT_EQ(kittyLinesOf(f.t.buffer())[KeyPair(0, 0)], (std::vector<int>{6, 7, 8}));
    f.command("a=d,d=y,y=10");
    EXPECT_EQ(kittyLinesOf(f.t.buffer())[KeyPair(0, 0)], (std::vector<int>{6, 7, 8}));
    f.command("a=d,d=y,y=7");
    EXPECT_TRUE(kittyKeysOnLines(f.t).empty());
}

TEST(KittyMaintenance, RelativePlacementsFollowTheirParents)
{
    // Rows 0 to 3 scroll; the parent is inside, its children below.
    WithImage f;
    f.t.feed("\x1b[1;4r");
    f.put(2, 2, "p=1,c=1,r=1");
    f.put(0, 0, "p=2,P=1,Q=1,V=3,c=1,r=1");
    f.put(0, 0, "p=3,P=1,Q=2,H=2,c=1,r=1");
    // Near the right edge: placed in the last column, where it must stay.
    f.put(18, 1, "p=4,c=1,r=1");
    f.put(0, 0, "p=5,P=1,Q=4,H=5,V=3,c=1,r=1");
    ASSERT_EQ(f.linesOf(2), (std::vector<int>{5}));
    ASSERT_EQ(f.linesOf(5), (std::vector<int>{4}));
    ASSERT_EQ(f.record(5).col, 19);

    // The region's top line goes into the scroll-back: the parents keep their lines, which are
    // now a row higher on the screen, while the lines below the region move down one.
    f.t.feed("\x1b[4;1H\n");
    ASSERT_EQ(f.t.buffer().yBase(), 1);
    EXPECT_EQ(f.linesOf(1), (std::vector<int>{2}));
    EXPECT_EQ(f.linesOf(2), (std::vector<int>{5}));
    EXPECT_EQ(f.linesOf(3), (std::vector<int>{5}));
    EXPECT_EQ(f.linesOf(4), (std::vector<int>{1}));
    EXPECT_EQ(f.linesOf(5), (std::vector<int>{4}));
    EXPECT_EQ(std::pair(f.record(3).col, f.record(3).row), std::pair(4, 5));
    EXPECT_EQ(std::pair(f.record(5).col, f.record(5).row), std::pair(19, 4));
    for (const FakeStrip* strip : f.strips(4)) {
        EXPECT_EQ(strip->col(), 19);
        EXPECT_EQ(strip->kittyCol, 19);
        EXPECT_EQ(strip->kittyRow, 4);
    }
    expectRecordsOnTheirLines(f.t);
}

TEST(KittyMaintenance, ParentCyclesMoveNothing)
{
    WithImage f(withScrollback(0));
    f.put(0, 2, "p=1,c=1,r=1");
    f.put(0, 0, "p=2,P=1,Q=1,V=1,c=1,r=1");
    // Placement 1 again, now following 2: neither resolves any more.
    f.put(0, 0, "p=1,P=1,Q=2,V=1,c=1,r=1");
    ASSERT_EQ(f.linesOf(1), (std::vector<int>{4}));
    ASSERT_EQ(f.linesOf(2), (std::vector<int>{3}));
    f.t.feed("\x1b[10;1H\n");
    EXPECT_EQ(f.linesOf(1), (std::vector<int>{3}));
    EXPECT_EQ(f.linesOf(2), (std::vector<int>{2}));
    EXPECT_EQ(f.record(1).row, 3);
    EXPECT_EQ(f.record(2).row, 2);
}

TEST(KittyMaintenance, ScreenSwitchesClearOnlyTheAlternateScreen)
{
    const struct {
        const char* name;
        const char* enter;
        const char* leave;
        const char* after;
    } cases[] = {
        {"leaving with clearing", "\x1b[?1049h", "\x1b[?1049l", ""},
        {"entering again", "\x1b[?47h", "\x1b[?47l", "\x1b[?47h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WithImage f;
        f.command(rgbaCommand("a=t,q=1,i=2", 4, 2));
        f.put(0, 0, "p=1,c=1,r=1");
        f.t.feed(c.enter);
        f.put(0, 3, "p=2,c=1,r=1");
        f.moveTo(0, 5);
        f.command("a=p,q=1,i=2,p=1,c=1,r=1");
        f.t.feed(c.leave);
        f.t.feed(c.after);
        EXPECT_EQ(recordKeys(f.t), (std::set<KeyPair>{{1, 1}}));
        EXPECT_TRUE(kittyLinesOf(f.t.altBuffer()).empty());
        EXPECT_EQ(kittyLinesOf(f.t.normalBuffer()).size(), 1u);
        // Only the alternate screen showed image 2.
        EXPECT_EQ(storedIds(f.t), (std::set<uint32_t>{1}));
    }
}

TEST(KittyMaintenance, FullResetEmptiesTheStoreButNumbersGoOn)
{
    PlacingTerminal f;
    EXPECT_EQ(f.command(rgbaCommand("a=T,I=5,p=1", 4, 2)), apc("Gi=1,I=5,p=1;OK"));
    EXPECT_EQ(f.command(rgbaCommand("a=t,I=6", 4, 2)), apc("Gi=2,I=6;OK"));
    f.t.feed("\x1b[?1049h");
    f.command("a=p,q=1,i=2,p=1");
    f.t.feed("\x1b"
             "c");
    EXPECT_TRUE(f.state().imagesById.empty());
    EXPECT_TRUE(f.state().imageNumbers.empty());
    EXPECT_TRUE(f.state().placementsByKey.empty());
    EXPECT_EQ(f.state().totalImageBytes, 0);
    EXPECT_EQ(f.state().nextImageAccessTick, 1u);
    EXPECT_TRUE(kittyKeysOnLines(f.t).empty());
    EXPECT_EQ(f.command(rgbaCommand("a=t,I=7", 4, 2)), apc("Gi=3,I=7;OK"));
}

TEST(KittyMaintenance, EraseOfTheWholeAlternateScreenKeepsTheNormalScreensImages)
{
    WithImage f;
    f.put(0, 0, "p=1,c=1,r=2");
    const auto normalLines = kittyLinesOf(f.t.normalBuffer());
    f.t.feed("\x1b[?1049h");
    f.put(0, 4, "p=2,c=1,r=1");
    f.t.feed("\x1b[2J");
    // The store and the records of both screens are gone; the normal screen's lines still show
    // the image.
    EXPECT_TRUE(f.state().imagesById.empty());
    EXPECT_TRUE(f.state().placementsByKey.empty());
    EXPECT_TRUE(kittyLinesOf(f.t.altBuffer()).empty());
    EXPECT_EQ(kittyLinesOf(f.t.normalBuffer()), normalLines);
    f.t.feed("\x1b[?1049l");
    EXPECT_EQ(kittyLinesOf(f.t.normalBuffer()), normalLines);
    // It can no longer be put again, but it can still be deleted.
    EXPECT_EQ(f.command("a=p,i=1,p=1"), apc("Gi=1;ENOENT: image not found"));
    f.command("a=d,d=i,i=1");
    EXPECT_TRUE(kittyKeysOnLines(f.t).empty());
}

TEST(KittyMaintenance, OtherErasesLeaveTheKittyState)
{
    for (const char* erase : {"\x1b[J", "\x1b[1J", "\x1b[3J"}) {
        SCOPED_TRACE(erase + 1);
        WithImage f;
        f.put(0, 0, "p=1,c=1,r=1");
        f.t.feed(erase);
        EXPECT_EQ(storedIds(f.t), (std::set<uint32_t>{1}));
        EXPECT_EQ(recordKeys(f.t), (std::set<KeyPair>{{1, 1}}));
    }
    // Erasing the whole screen leaves an unfinished transfer to finish.
    PlacingTerminal f;
    f.command("a=q,i=7,m=1,f=24,s=1,v=1;AA");
    f.t.feed("\x1b[2J");
    EXPECT_EQ(f.command("m=0;AA"), apc("Gi=7;OK"));
}

// Placements, scrolls in every kind of region, line insertions and deletions, reverse index,
// erases, resizes and screen switches in a seeded random order: the index of the Kitty lines
// always finds what a walk over every line finds, line images' rectangles stay with their lines,
// and after a scroll the records name their lines.
TEST(KittyMaintenance, TheIndexAgreesWithTheLinesWhateverMovesThem)
{
    for (const int64_t scrollback : {int64_t{0}, int64_t{30}}) {
        SCOPED_TRACE(scrollback);
        WithImage f(withScrollback(scrollback));
        std::mt19937 random(7);
        const auto pick = [&](int n) { return int(random() % uint32_t(n)); };
        uint32_t nextId = 1;
        const auto moveTo = [](int col, int row) {
            return "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(col + 1) + "H";
        };
        for (int step = 0; step < 3000; step++) {
            // What this step sends (a resize is written as "resize").
            std::string sent;
            bool scrolled = false;
            switch (pick(12)) {
            case 0:
            case 1:
                // Sent again each time: an erase of the whole screen empties the store.
                sent = moveTo(pick(f.t.cols), pick(f.t.rows)) +
                    apc(rgbaCommand("Ga=T,q=1,i=1,p=" + std::to_string(nextId++ % 40 + 1) +
                                        ",c=1,r=" + std::to_string(pick(3) + 1),
                                    4, 2));
                break;
            case 2:
                sent = moveTo(pick(f.t.cols), pick(f.t.rows)) +
                    apc(rgbaCommand("Ga=T,q=1,c=1,r=" + std::to_string(pick(3) + 1), 4, 2));
                break;
            case 3:
            case 4:
                // From the region's bottom row, so that every line feed scrolls.
                sent = moveTo(0, f.t.buffer().scrollBottom()) + std::string(size_t(pick(4) + 1), '\n');
                scrolled = true;
                break;
            case 5: {
                const int top = pick(f.t.rows - 1);
                sent = "\x1b[" + std::to_string(top + 1) + ";" + std::to_string(top + 2 + pick(f.t.rows - top - 1)) + "r";
                break;
            }
            case 6: sent = "\x1b[r"; break;
            case 7: sent = moveTo(0, pick(f.t.rows)) + (pick(2) ? "\x1b[2L" : "\x1b[M"); break;
            case 8: sent = "\x1b[H\x1bM"; break;
            case 9: sent = std::vector<const char*>{"\x1b[3J", "\x1b[?1049h", "\x1b[?1049l", "\x1b[2J"}[pick(4)]; break;
            case 10: {
                const int cols = 18 + pick(5);
                const int rows = 8 + pick(5);
                f.t.resize(cols, rows);
                sent = "resize " + std::to_string(cols) + "x" + std::to_string(rows);
                break;
            }
            case 11: sent = apc("Ga=d,d=i,i=1,p=" + std::to_string(pick(40) + 1)); break;
            }
            SCOPED_TRACE(testing::Message() << "step " << step << ": " << testing::PrintToString(sent.substr(0, 40)));
            if (!sent.starts_with("resize")) f.t.feed(sent);
            for (Buffer* b : {&f.t.normalBuffer(), &f.t.altBuffer()}) {
                std::map<KeyPair, std::pair<int64_t, int64_t>> walked;
                for (int row = 0; row < b->lines().count(); row++) {
                    if (!b->lines()[row].images()) continue;
                    for (const auto& image : *b->lines()[row].images()) {
                        const auto* kitty = dynamic_cast<const KittyPlacementImage*>(image.get());
                        if (kitty && kitty->kittyIsKitty && kitty->kittyImageId && kitty->kittyPlacementId)
                            walked.try_emplace({*kitty->kittyImageId, *kitty->kittyPlacementId}, row, image->col());
                    }
                }
                std::map<KeyPair, std::pair<int64_t, int64_t>> indexed;
                for (const auto& [key, position] : f.t.kittyImages().collectKittyPlacementPositions(*b))
                    indexed[{key.imageId, key.placementId}] = {position.row, position.col};
                ASSERT_EQ(indexed, walked);
            }
            if (scrolled) expectRecordsOnTheirLines(f.t);
            // Every Kitty line image's rectangle starts as many rows above it as its row in the
            // image, once the engine has looked at it.
            for (Buffer* b : {&f.t.normalBuffer(), &f.t.altBuffer()}) {
                f.t.kittyImages().kittyLineRows(*b, std::nullopt, 0, b->lines().count(), SIZE_MAX, true);
                for (int row = 0; row < b->lines().count(); row++) {
                    if (!b->lines()[row].images()) continue;
                    for (const auto& image : *b->lines()[row].images()) {
                        const auto* strip = dynamic_cast<const FakeStrip*>(image.get());
                        if (strip && strip->kittyIsKitty) {
                            ASSERT_EQ(strip->kittyRow, row - strip->strip) << row;
                        }
                    }
                }
            }
        }
    }
}

TEST(KittyMaintenance, TheIndexStaysBoundedWhenLinesLoseImagesBehindItsBack)
{
    WithImage f;
    for (int i = 0; i < 5000; i++) {
        f.put(0, 0, "p=" + std::to_string(i % 3000 + 1) + ",c=1,r=1");
        // Deleting the line takes its images off without the index hearing of it.
        f.t.feed("\x1b[H\x1b[M");
    }
    EXPECT_TRUE(kittyKeysOnLines(f.t).empty());
    EXPECT_LE(f.t.kittyImages().kittyScreen(f.t.normalBuffer()).lines.size(), 200u);
}

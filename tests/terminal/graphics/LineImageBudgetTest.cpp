#include "PlacingDelegate.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace corvix;
using namespace corvix::test;

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

// One image of each protocol at the top of the screen: Kitty (2 rows), Sixel and OSC 1337.
std::string threeImages()
{
    return "\x1b[H\x1b_Ga=T,q=1,i=1,c=2,r=2,f=24,s=1,v=1;AAAA\x1b\\"
           "\x1bPq#0;2;100;0;0~\x1b\\"
           "\x1b]1337;File=inline=1:" +
           base64(encodePng(gridPixels(4, 2), 4, 2)) + "\x07";
}

} // namespace

TEST(LineImageBudget, HoldsUnderRepeatedPuts)
{
    TerminalOptions options = PlacingTerminal::smallScreen();
    options.scrollback = 2000; // every line stays: only the budget frees anything
    PlacingTerminal f(options);
    f.command(rgbaCommand("a=t,q=1,i=1", 400, 400));
    const int64_t imageBytes = 400 * 400 * 4;
    const int fits = int(LineImageBudget::kBudgetBytes / imageBytes);
    for (int put = 1; put <= 1000; put++) {
        f.command("a=p,q=1,i=1,c=1,r=1,p=" + std::to_string(put));
        ASSERT_LE(f.t.lineImageBudget().totalBytes(), LineImageBudget::kBudgetBytes) << put;
    }
    EXPECT_EQ(f.t.lineImageBudget().totalBytes(), fits * imageBytes);
    EXPECT_EQ(f.t.lineImageBudget().chargeCount(), size_t(fits));
    // One line per put: the newest images stay, the oldest went first.
    const std::vector<int> rows = f.rowsWithImages();
    ASSERT_EQ(rows.size(), size_t(fits));
    EXPECT_EQ(rows.front(), 1000 - fits);
    EXPECT_EQ(rows.back(), 999);
    // Their placements went with them.
    EXPECT_EQ(f.state().placementsByKey.size(), size_t(fits));
    EXPECT_FALSE(f.state().placementsByKey.contains({1, 1}));
    EXPECT_TRUE(f.state().placementsByKey.contains({1, 1000}));
}

TEST(LineImageBudget, EvictsTheOldestButNeverTheImageBeingPlaced)
{
    PlacingTerminal f;
    Buffer& b = f.t.buffer();
    // Counts an image and attaches it as two strips from `row`, the first as Kitty placement (1, row).
    const auto place = [&](int64_t bytes, int row) {
        const std::shared_ptr<LineImageCharge> charge = f.t.chargeLineImage(bytes);
        auto first = std::make_shared<FakeStrip>(charge, nullptr, 10, 20, 0);
        first->kittyIsKitty = true;
        first->kittyImageId = 1;
        first->kittyPlacementId = uint32_t(row + 1);
        f.state().placementsByKey[{1, uint32_t(row + 1)}] = KittyPlacementRecord{};
        b.attachImage(first, row);
        b.attachImage(std::make_shared<FakeStrip>(charge, nullptr, 10, 20, 0), row + 1);
    };
    const LineImageBudget& budget = f.t.lineImageBudget();

    place(200 * kMiB, 0);
    place(100 * kMiB, 2);
    EXPECT_EQ(budget.totalBytes(), 300 * kMiB);
    place(100 * kMiB, 4);
    EXPECT_EQ(f.rowsWithImages(), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(budget.totalBytes(), 200 * kMiB);
    EXPECT_FALSE(f.state().placementsByKey.contains({1, 1}));
    EXPECT_TRUE(f.state().placementsByKey.contains({1, 3}));

    // An image larger than the whole budget takes everything else out and stays.
    place(400 * kMiB, 6);
    EXPECT_EQ(f.rowsWithImages(), (std::vector<int>{6, 7}));
    EXPECT_EQ(budget.totalBytes(), 400 * kMiB);
    place(kMiB, 8);
    EXPECT_EQ(f.rowsWithImages(), (std::vector<int>{8, 9}));
    EXPECT_EQ(budget.totalBytes(), kMiB);
    EXPECT_EQ(budget.chargeCount(), 1u);
}

TEST(LineImageBudget, EveryWayOffTheLinesLowersTheCount)
{
    const struct {
        const char* name;
        int64_t scrollback;
        std::string before;
        std::string action;
    } cases[] = {
        {"erase in display", 500, "", "\x1b[2J"},
        {"full reset", 500, "", "\x1b"
                                "c"},
        {"scroll-back erased", 500, "", std::string(12, '\n') + "\x1b[3J"},
        {"lines recycled by the ring", 0, "", std::string(12, '\n')},
        {"lines deleted", 500, "", "\x1b[H\x1b[5M"},
        {"alternate screen left", 500, "\x1b[?1049h", "\x1b[?1049l"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalOptions options = PlacingTerminal::smallScreen();
        options.scrollback = c.scrollback;
        PlacingTerminal f(options);
        f.t.feed(c.before + threeImages());
        ASSERT_EQ(f.host.received.size(), 3u);
        EXPECT_EQ(f.t.lineImageBudget().chargeCount(), 3u);
        EXPECT_EQ(f.t.lineImageBudget().totalBytes(), 4 + 6 * 4 + 4 * 2 * 4);
        f.t.feed(c.action);
        EXPECT_EQ(f.t.lineImageBudget().chargeCount(), 0u);
        EXPECT_EQ(f.t.lineImageBudget().totalBytes(), 0);
    }
}

TEST(LineImageBudget, ChargesOutliveTheirTerminal)
{
    std::shared_ptr<LineImageCharge> kept;
    {
        PlacingTerminal f;
        kept = f.t.chargeLineImage(10);
    }
    EXPECT_EQ(kept->bytes(), 10);
    kept.reset();
}

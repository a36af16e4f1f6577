#include "PlacingDelegate.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

using namespace corvix;
using namespace corvix::test;

namespace {

const std::string kPixel = "f=24,s=1,v=1;AAAA";
using Kind = ImageSizeRequest::Kind;

// A terminal holding image 1: a 4 x 2 grid image.
struct WithImage : PlacingTerminal {
    explicit WithImage(TerminalOptions options = smallScreen()) : PlacingTerminal(std::move(options))
    {
        command(rgbaCommand("a=t,q=1,i=1", 4, 2));
    }
};

// The pixels of the w x h part of gridPixels(4, 2) whose top-left pixel is (x, y).
std::vector<uint8_t> gridPart(int x, int y, int w, int h)
{
    std::vector<uint8_t> bytes;
    for (int row = y; row < y + h; row++) {
        for (int col = x; col < x + w; col++) bytes.insert(bytes.end(), {uint8_t(col), uint8_t(row), 7, 255});
    }
    return bytes;
}

} // namespace

TEST(KittyPlacement, PutAndTransmitAndDisplayAnswer)
{
    const struct {
        std::string command;
        std::string reply;
        size_t shown;
    } cases[] = {
        {"a=p,i=1", apc("Gi=1;OK"), 1},
        {"a=p,i=1,p=4", apc("Gi=1,p=4;OK"), 1},
        {"a=p,I=3", apc("Gi=1,I=3;OK"), 1},
        // An unknown number falls back to "i".
        {"a=p,I=4,i=1", apc("Gi=1;OK"), 1},
        {"a=p,i=2", apc("Gi=2;ENOENT: image not found"), 0},
        {"a=p,I=4", apc("GI=4;ENOENT: image not found"), 0},
        {"a=p,q=1,i=1", "", 1},
        {"a=T,i=5," + kPixel, apc("Gi=5;OK"), 1},
        {"a=T,I=9,p=2," + kPixel, apc("Gi=2,I=9,p=2;OK"), 1},
        // Shown once, unstored, unanswered.
        {"a=T," + kPixel, "", 1},
        {"a=T,i=5;", apc("Gi=5;EINVAL: bad payload"), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        WithImage f;
        f.state().imageNumbers[3] = 1;
        EXPECT_EQ(f.command(c.command), c.reply);
        EXPECT_EQ(f.host.received.size(), c.shown);
        EXPECT_FALSE(f.t.kittyPlacementContext());
    }
}

TEST(KittyPlacement, HostSeesThePlacementContext)
{
    WithImage f;
    f.state().imageNumbers[3] = 1;
    f.command("a=p,I=3,p=7,z=-2,C=1,c=5,X=4,Y=30,H=9");
    ASSERT_EQ(f.host.received.size(), 1u);
    const auto& context = f.host.received[0].context;
    ASSERT_TRUE(context);
    EXPECT_EQ(context->imageId, 1u);
    EXPECT_EQ(context->imageNumber, 3u);
    EXPECT_EQ(context->placementId, 7u);
    EXPECT_EQ(context->zIndex, -2);
    EXPECT_EQ(context->cursorPolicy, 1);
    EXPECT_EQ(context->widthRequest, (ImageSizeRequest{Kind::cells, 5}));
    EXPECT_EQ(context->heightRequest, ImageSizeRequest{});
    EXPECT_TRUE(context->preserveAspectRatio);
    EXPECT_FALSE(context->isRelative);
    // Pixel offsets stay inside the first cell (10 x 20 pixels).
    EXPECT_EQ(context->pixelOffsetX, 4);
    EXPECT_EQ(context->pixelOffsetY, 19);
    EXPECT_EQ(context->parentOffsetH, 9);
    // The host recorded it, as the view does.
    const KittyPlacementRecord& record = f.state().placementsByKey.at({1, 7});
    EXPECT_EQ(record.cols, 5);
    EXPECT_EQ(record.rows, 2); // 50 x 25 pixels of a 4 x 2 image in 10 x 20 cells
    EXPECT_FALSE(record.isVirtual);
}

TEST(KittyPlacement, VirtualPlacementsOnlyRecord)
{
    WithImage f;
    f.moveTo(3, 2);
    EXPECT_EQ(f.command("a=p,U=1,i=1,c=4,r=99999999999,X=15,Y=-3"), apc("Gi=1;OK"));
    EXPECT_EQ(f.command("a=p,U=1,i=1"), apc("Gi=1;OK"));
    EXPECT_TRUE(f.host.received.empty());
    EXPECT_EQ(f.cursor(), (std::pair{3, 2}));
    KittyPlacementRecord first;
    first.imageId = 1;
    first.placementId = 1;
    first.pixelOffsetX = 9;
    first.col = 3;
    first.row = 2;
    first.cols = 4;
    first.rows = 10'000;
    first.isVirtual = true;
    EXPECT_EQ(f.state().placementsByKey.at({1, 1}), first);
    EXPECT_TRUE(f.state().placementsByKey.contains({1, 2}));

    // An explicit id replaces its earlier placement.
    f.command("a=p,U=1,i=1,p=7");
    f.moveTo(5, 6);
    f.command("a=p,U=1,i=1,p=7,z=3");
    EXPECT_EQ(f.state().placementsByKey.size(), 3u);
    EXPECT_EQ(f.state().placementsByKey.at({1, 7}).col, 5);
    EXPECT_EQ(f.state().placementsByKey.at({1, 7}).row, 6);
    EXPECT_EQ(f.state().placementsByKey.at({1, 7}).zIndex, 3);

    // A parent is refused before an id is taken.
    EXPECT_EQ(f.command("a=p,U=1,i=1,P=1,Q=1"), apc("Gi=1;EINVAL: virtual placement cannot refer to parent"));
    EXPECT_EQ(f.state().nextPlacementId, 3u);
    // Ids wrap past 2^32 - 1 without handing out 0.
    f.state().nextPlacementId = UINT32_MAX;
    f.command("a=p,U=1,i=1");
    f.command("a=p,U=1,i=1");
    EXPECT_TRUE(f.state().placementsByKey.contains({1, UINT32_MAX}));
    EXPECT_FALSE(f.state().placementsByKey.contains({1, 0}));
    EXPECT_EQ(f.state().nextPlacementId, 2u);

    // On the alternate screen; an unstored image has nothing to record.
    f.t.feed("\x1b[?1049h");
    f.command("a=T,U=1,i=9,p=1," + kPixel);
    EXPECT_TRUE(f.state().placementsByKey.at({9, 1}).isAlternateBuffer);
    const size_t records = f.state().placementsByKey.size();
    EXPECT_EQ(f.command("a=T,U=1," + kPixel), "");
    EXPECT_EQ(f.state().placementsByKey.size(), records);
    EXPECT_TRUE(f.host.received.empty());
}

TEST(KittyPlacement, CropsToTheRequestedRectangle)
{
    const struct {
        const char* keys;
        std::string reply;
        std::vector<uint8_t> pixels; // delivered, when the crop passes
        int width;
    } cases[] = {
        {"x=1,y=1,w=2", apc("Gi=1;OK"), gridPart(1, 1, 2, 1), 2},
        {"w=2", apc("Gi=1;OK"), gridPart(0, 0, 2, 2), 2},
        {"x=2,w=100,h=100", apc("Gi=1;OK"), gridPart(2, 0, 2, 2), 2},
        {"y=1", apc("Gi=1;OK"), gridPart(0, 1, 4, 1), 4},
        // The whole image, unchanged.
        {"x=0,y=0,w=4,h=2", apc("Gi=1;OK"), gridPixels(4, 2), 4},
        {"x=-5,y=-1,w=100", apc("Gi=1;OK"), gridPixels(4, 2), 4},
        // Nothing left.
        {"x=4", apc("Gi=1;EINVAL: bad crop"), {}, 0},
        {"y=2", apc("Gi=1;EINVAL: bad crop"), {}, 0},
        {"x=99999999999", apc("Gi=1;EINVAL: bad crop"), {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        WithImage f;
        f.host.keepBytes = true;
        EXPECT_EQ(f.command(std::string("a=p,i=1,") + c.keys), c.reply);
        if (c.pixels.empty()) {
            EXPECT_TRUE(f.host.received.empty());
            continue;
        }
        ASSERT_EQ(f.host.received.size(), 1u);
        EXPECT_EQ(f.host.received[0].width, c.width);
        EXPECT_EQ(f.host.received[0].height, int(c.pixels.size()) / 4 / c.width);
        EXPECT_EQ(f.host.received[0].bytes, c.pixels);
    }
}

TEST(KittyPlacement, PngIsDecodedOnlyToCrop)
{
    const std::vector<uint8_t> png = encodePng(gridPixels(4, 2), 4, 2);
    // The header still says 4 x 2; the pixel data is garbled.
    std::vector<uint8_t> broken = png;
    const auto data = std::search(broken.begin(), broken.end(), std::begin("IDAT"), std::end("IDAT") - 1) + 4;
    std::fill(data, data + 6, uint8_t(0xFF));

    PlacingTerminal f;
    f.command("a=t,q=1,i=1,f=100;" + base64(png));
    f.command("a=t,q=1,i=2,f=100;" + base64(broken));
    EXPECT_EQ(f.command("a=p,i=1"), apc("Gi=1;OK"));
    EXPECT_EQ(f.command("a=p,i=1,x=2"), apc("Gi=1;OK"));
    EXPECT_EQ(f.command("a=p,i=1,w=4,h=2"), apc("Gi=1;OK"));
    ASSERT_EQ(f.host.received.size(), 3u);
    EXPECT_TRUE(f.host.received[0].png);
    EXPECT_FALSE(f.host.received[1].png);
    EXPECT_EQ(f.host.received[1].width, 2);
    // A whole-image crop of a PNG hands over its decoded pixels.
    EXPECT_FALSE(f.host.received[2].png);
    EXPECT_EQ(f.host.received[2].width, 4);

    EXPECT_EQ(f.command("a=p,i=2,x=1"), apc("Gi=2;ENOTSUP: cannot crop png"));
    EXPECT_EQ(f.host.received.size(), 3u);
}

TEST(KittyPlacement, CursorMovesPastTheImageOnce)
{
    TerminalOptions ringFull = PlacingTerminal::smallScreen();
    ringFull.scrollback = 0;
    const TerminalOptions fresh = PlacingTerminal::smallScreen();
    const std::string scrolled(30, '\n'); // the screen starts 21 lines into the buffer
    const struct {
        const char* name;
        TerminalOptions options;
        std::string before;
        std::pair<int, int> from;
        std::string keys;
        std::pair<int, int> to;
        // The image's first line, as a screen row once placed.
        int top;
    } cases[] = {
        {"c and r", fresh, "", {2, 1}, "c=3,r=2", {5, 3}, 1},
        {"c and r below scroll-back", fresh, scrolled, {2, 1}, "c=3,r=2", {5, 3}, 1},
        {"c and r on the bottom row", fresh, "", {2, 9}, "c=3,r=2", {5, 9}, 7},
        {"c and r on the bottom row, ring full", ringFull, scrolled, {2, 9}, "c=3,r=2", {5, 9}, 7},
        {"c and r past the right edge", fresh, "", {18, 1}, "c=3,r=2", {19, 3}, 1},
        // 4 x 2 pixels make one cell.
        {"from the image size", fresh, "", {2, 1}, "", {3, 2}, 1},
        // 60 x 30 pixels: 6 columns, 1 row, or 2 rows once the offset inside the cell is added.
        {"c only keeps the aspect ratio", fresh, "", {2, 1}, "c=6", {8, 2}, 1},
        {"offset inside the cell", fresh, "", {2, 1}, "c=6,Y=25", {8, 3}, 1},
        {"r only keeps the aspect ratio", fresh, "", {2, 1}, "r=2", {10, 3}, 1},
        {"cursor stays", fresh, "", {2, 1}, "c=3,r=2,C=1", {2, 1}, 1},
        {"huge c and r", fresh, "", {2, 1}, "c=99999999999,r=99999999999", {19, 9}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WithImage f(c.options);
        f.t.feed(c.before);
        f.moveTo(c.from.first, c.from.second);
        EXPECT_EQ(f.command("a=p,i=1,p=1," + c.keys), apc("Gi=1,p=1;OK"));
        EXPECT_EQ(f.cursor(), c.to);
        const int top = f.t.buffer().yBase() + c.top;
        ASSERT_FALSE(f.strips(top).empty());
        EXPECT_EQ(f.strips(top)[0]->col(), c.from.first);
    }
}

TEST(KittyPlacement, TallImageFromTheBottomRowScrollsOncePerStrip)
{
    // 4 x 45 pixels with auto size: 3 strips of 20 pixels, a span of 2 rows.
    for (const int64_t scrollback : {int64_t{500}, int64_t{0}}) {
        SCOPED_TRACE(scrollback);
        TerminalOptions options = PlacingTerminal::smallScreen();
        options.scrollback = scrollback;
        PlacingTerminal f(options);
        f.moveTo(1, 9);
        f.command(rgbaCommand("a=T,i=1", 4, 45));
        // Three line feeds: the image's top line is now screen row 6, so the cursor is 2 below it.
        ASSERT_FALSE(f.strips(f.t.buffer().yBase() + 6).empty());
        EXPECT_TRUE(f.strips(f.t.buffer().yBase() + 5).empty());
        EXPECT_EQ(f.cursor(), (std::pair{2, 8}));
    }
}

TEST(KittyPlacement, RefusedImageMovesNothingAndRecordsNothing)
{
    for (const char* keys : {"c=3,r=2", "c=3,r=2,P=1,Q=1,V=3"}) {
        SCOPED_TRACE(keys);
        WithImage f;
        f.command("a=p,q=1,i=1,p=1,c=1,r=1");
        f.moveTo(2, 1);
        f.host.refuse = true;
        f.command(std::string("a=p,i=1,p=2,") + keys);
        EXPECT_EQ(f.host.received.size(), 2u);
        EXPECT_EQ(f.cursor(), (std::pair{2, 1}));
        EXPECT_FALSE(f.state().placementsByKey.contains({1, 2}));
    }
    // Without a host nothing is placed either.
    Terminal t(nullptr, PlacingTerminal::smallScreen());
    t.feed("\x1b[2;3H\x1b_Ga=T,i=1,c=3,r=2," + kPixel + "\x1b\\");
    EXPECT_EQ(t.getCursorLocation(), (std::pair{2, 1}));
}

TEST(KittyPlacement, RelativePlacementsFollowTheirParent)
{
    WithImage f;
    f.moveTo(3, 2);
    f.command("a=p,q=1,i=1,p=1,c=2,r=1");
    f.moveTo(0, 8);
    EXPECT_EQ(f.command("a=p,i=1,p=2,P=1,Q=1,H=2,V=3,c=1,r=1"), apc("Gi=1,p=2;OK"));
    // Placed at the parent's position plus H and V; the cursor comes back.
    EXPECT_EQ(f.cursor(), (std::pair{0, 8}));
    EXPECT_TRUE(f.host.received.back().context->isRelative);
    const KittyPlacementRecord& child = f.state().placementsByKey.at({1, 2});
    EXPECT_EQ(std::pair(child.col, child.row), (std::pair{5, 5}));
    EXPECT_EQ(child.parentImageId, 1u);
    EXPECT_EQ(child.parentPlacementId, 1u);
    EXPECT_EQ(child.parentOffsetV, 3);
    ASSERT_EQ(f.strips(5).size(), 1u);
    EXPECT_EQ(f.strips(5)[0]->col(), 5);
    // Left of the screen's first column is the first column.
    f.command("a=p,q=1,i=1,p=3,P=1,Q=1,H=-99,c=1,r=1");
    EXPECT_EQ(f.state().placementsByKey.at({1, 3}).col, 0);

    const struct {
        const char* keys;
        const char* reply;
    } errors[] = {
        {"P=1,Q=9", "Gi=1;ENOPARENT: parent placement not found"},
        {"P=1,Q=1,V=-3", "Gi=1;EINVAL: placement out of range"},
        {"P=1,Q=1,V=8", "Gi=1;EINVAL: placement out of range"},
        {"P=1,Q=1,V=99999999999,H=-99999999999", "Gi=1;EINVAL: placement out of range"},
    };
    for (const auto& e : errors) {
        SCOPED_TRACE(e.keys);
        f.host.received.clear();
        EXPECT_EQ(f.command(std::string("a=p,i=1,p=4,") + e.keys), apc(e.reply));
        EXPECT_TRUE(f.host.received.empty());
        EXPECT_EQ(f.cursor(), (std::pair{0, 8}));
        EXPECT_FALSE(f.t.kittyPlacementContext());
        EXPECT_FALSE(f.state().placementsByKey.contains({1, 4}));
    }
}

TEST(KittyPlacement, RelativeRowMustBeOnTheScreen)
{
    // Scroll-back lines below the screen's bottom never count as room.
    WithImage f;
    f.t.feed(std::string(30, '\n'));
    ASSERT_GT(f.t.buffer().lines().count(), 30);
    f.moveTo(0, 0);
    f.command("a=p,q=1,i=1,p=1,c=1,r=1");
    f.moveTo(4, 4);
    EXPECT_EQ(f.command("a=p,i=1,p=2,P=1,Q=1,V=10"), apc("Gi=1;EINVAL: placement out of range"));
    EXPECT_EQ(f.command("a=p,i=1,p=2,P=1,Q=1,V=9"), apc("Gi=1,p=2;OK"));
    EXPECT_EQ(f.cursor(), (std::pair{4, 4}));
}

TEST(KittyPlacement, ParentsOnTheOtherScreenOrInACycleAreRefused)
{
    WithImage f;
    f.command("a=p,q=1,i=1,p=1,c=1,r=1");
    f.t.feed("\x1b[?1049h");
    EXPECT_EQ(f.command("a=p,i=1,p=2,P=1,Q=1"), apc("Gi=1;ENOPARENT: parent placement not in current buffer"));
    f.t.feed("\x1b[?1049l");

    // 2 follows 1, then 1 is placed again following 2: a cycle that no position resolves.
    f.command("a=p,q=1,i=1,p=2,P=1,Q=1,V=1,c=1,r=1");
    f.command("a=p,q=1,i=1,p=1,P=1,Q=2,V=1,c=1,r=1");
    ASSERT_TRUE(f.state().placementsByKey.at({1, 1}).isRelative());
    EXPECT_EQ(f.command("a=p,i=1,p=3,P=1,Q=1"), apc("Gi=1;ENOPARENT: parent placement not found"));
}

TEST(KittyPlacement, LongParentChainsResolveWithoutRecursion)
{
    WithImage f;
    auto& placements = f.state().placementsByKey;
    KittyPlacementRecord root;
    root.imageId = 1;
    root.placementId = 1;
    root.row = 2;
    root.col = 1;
    root.isVirtual = true;
    placements[{1, 1}] = root;
    // A chain of 4000 records, each one column right of its parent and 0 rows down.
    for (uint32_t id = 2; id <= 4001; id++) {
        KittyPlacementRecord link = root;
        link.placementId = id;
        link.parentImageId = 1;
        link.parentPlacementId = id - 1;
        link.parentOffsetH = 1;
        placements[{1, id}] = link;
    }
    KittyImages::KittyPlacementPositions resolved;
    std::unordered_set<KittyPlacementKey> visiting;
    const auto end = f.t.kittyImages().resolveKittyPlacementPosition({1, 4001}, {}, resolved, visiting);
    EXPECT_EQ(end, (KittyPlacementPosition{2, 4001}));
    EXPECT_EQ(resolved.size(), 4001u);
    EXPECT_TRUE(visiting.empty());
}

TEST(KittyPlacement, PlacementsReplaceTheirKey)
{
    WithImage f;
    f.command("a=p,q=1,i=1,p=7,c=2,r=2");
    f.moveTo(0, 5);
    f.command("a=p,q=1,i=1,p=7,c=2,r=1");
    EXPECT_EQ(f.rowsWithImages(), (std::vector<int>{5}));
    EXPECT_EQ(f.state().placementsByKey.size(), 1u);
    EXPECT_EQ(f.state().placementsByKey.at({1, 7}).row, 5);
    // One image left on the lines, one counted.
    EXPECT_EQ(f.t.lineImageBudget().chargeCount(), 1u);
}

TEST(KittyPlacement, PlacementTableIsBounded)
{
    WithImage f;
    const auto limit = uint32_t(KittyGraphicsState::kMaxPlacements);
    for (uint32_t id = 1; id <= limit; id++) f.command("a=p,q=1,U=1,i=1,p=" + std::to_string(id));
    EXPECT_EQ(f.command("a=p,U=1,i=1,p=5000"), apc("Gi=1;ENOSPC: too many placements"));
    EXPECT_EQ(f.command("a=p,i=1,p=99999"), apc("Gi=1;ENOSPC: too many placements"));
    // Replacing a placement needs no room.
    EXPECT_EQ(f.command("a=p,U=1,i=1,p=5"), apc("Gi=1,p=5;OK"));

    // Records of normal placements whose lines are gone make room.
    auto& placements = f.state().placementsByKey;
    for (uint32_t id = 1; id <= 10; id++) {
        KittyPlacementRecord& record = placements.at({1, id});
        record.isVirtual = false;
    }
    EXPECT_EQ(f.command("a=p,i=1,p=99999"), apc("Gi=1,p=99999;OK"));
    EXPECT_EQ(placements.size(), size_t(limit - 10 + 1));
    EXPECT_TRUE(placements.contains({1, 99999}));
}

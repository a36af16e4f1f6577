#include "PlacingDelegate.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using namespace corvix::test;

namespace {

// One RGB pixel: four bytes once stored.
const std::string kPixel = "f=24,s=1,v=1;AAAA";

std::vector<uint32_t> storedIds(KittyGraphicsState& s)
{
    std::vector<uint32_t> ids;
    for (const auto& [id, image] : s.imagesById) ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

TEST(KittyImageStore, TransmitStoresAndAnswers)
{
    const struct {
        std::string command;
        std::string reply;
        std::vector<uint32_t> stored;
    } cases[] = {
        {"a=t,i=5," + kPixel, apc("Gi=5;OK"), {5}},
        {"a=t,i=5,p=3," + kPixel, apc("Gi=5,p=3;OK"), {5}},
        {"a=t,I=7," + kPixel, apc("Gi=1,I=7;OK"), {1}},
        {"a=t,q=1,i=5," + kPixel, "", {5}},
        // Without an id nothing is kept, and nothing said.
        {"a=t," + kPixel, "", {}},
        {"a=t,i=1,I=2," + kPixel, apc("Gi=1;EINVAL: i and I are mutually exclusive"), {}},
        {"a=t,i=5,f=24,s=1,v=1;AAA", apc("Gi=5;EINVAL: bad payload"), {}},
        {"a=t,i=5,t=x," + kPixel, apc("Gi=5;ENOTSUP: unsupported transmission"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        PlacingTerminal f;
        EXPECT_EQ(f.command(c.command), c.reply);
        EXPECT_EQ(storedIds(f.state()), c.stored);
        EXPECT_EQ(f.state().totalImageBytes, int64_t(4 * c.stored.size()));
        EXPECT_TRUE(f.host.received.empty());
    }
}

TEST(KittyImageStore, ImagesSentByNumberTakeFreeIds)
{
    PlacingTerminal f;
    f.command("a=t,i=1,f=24,s=2,v=1;AAAAAAAA");
    f.command("a=t,i=2," + kPixel);
    EXPECT_EQ(f.command("a=t,I=10," + kPixel), apc("Gi=3,I=10;OK"));
    // The counter wraps past 2^32 - 1 without handing out 0 or an id in use.
    f.state().nextImageId = UINT32_MAX;
    EXPECT_EQ(f.command("a=t,I=11," + kPixel), apc("Gi=4294967295,I=11;OK"));
    EXPECT_EQ(f.command("a=t,I=12," + kPixel), apc("Gi=4,I=12;OK"));
    EXPECT_EQ(f.state().nextImageId, 5u);
    // The image sent under id 1 is still the one stored there.
    EXPECT_EQ(f.state().imagesById.at(1).byteSize, 8);
    EXPECT_EQ(f.state().imageNumbers, (std::unordered_map<uint32_t, uint32_t>{{10, 3}, {11, UINT32_MAX}, {12, 4}}));
}

TEST(KittyImageStore, ResentIdReplacesAndRecountsItsBytes)
{
    PlacingTerminal f;
    f.command("a=t,i=1," + kPixel);
    f.command("a=t,i=2," + kPixel);
    f.command("a=t,i=1,f=24,s=2,v=1;AAAAAAAA");
    EXPECT_EQ(f.state().imagesById.size(), 2u);
    EXPECT_EQ(f.state().imagesById.at(1).payload.width, 2);
    EXPECT_EQ(f.state().totalImageBytes, 12);
}

TEST(KittyImageStore, LimitZeroKeepsNothingYetTheImageShows)
{
    TerminalOptions options = PlacingTerminal::smallScreen();
    options.kittyImageCacheLimitBytes = 0;
    PlacingTerminal f(options);
    EXPECT_EQ(f.command("a=T,i=1,c=1,r=1," + kPixel), apc("Gi=1;OK"));
    EXPECT_TRUE(f.state().imagesById.empty());
    EXPECT_EQ(f.state().totalImageBytes, 0);
    ASSERT_EQ(f.host.received.size(), 1u);
    EXPECT_EQ(f.strips(0).size(), 1u);
    EXPECT_EQ(f.command("a=p,i=1"), apc("Gi=1;ENOENT: image not found"));
}

TEST(KittyImageStore, EvictionTakesUnusedImagesFirstThenTheLeastRecent)
{
    TerminalOptions options = PlacingTerminal::smallScreen();
    options.kittyImageCacheLimitBytes = 12;
    PlacingTerminal f(options);
    f.command("a=T,q=1,i=1,p=1,c=1,r=1," + kPixel); // the oldest image, and on screen
    // Two images under number 7: the number names the later one.
    f.command("a=t,I=7," + kPixel); // id 2
    f.command("a=t,I=7," + kPixel); // id 3
    EXPECT_EQ(storedIds(f.state()), (std::vector<uint32_t>{1, 2, 3}));

    // Over the limit: the least recent image that nothing shows goes; the number stays with the
    // later image.
    f.command("a=t,i=4," + kPixel);
    EXPECT_EQ(storedIds(f.state()), (std::vector<uint32_t>{1, 3, 4}));
    EXPECT_EQ(f.state().totalImageBytes, 12);
    EXPECT_EQ(f.state().imageNumbers, (std::unordered_map<uint32_t, uint32_t>{{7, 3}}));

    // Everything on screen and the limit lowered: the new image, not shown yet, goes first, then
    // the least recently stored or put, whose placement stays on screen.
    f.command("a=p,q=1,i=3,p=1,c=1,r=1");
    f.command("a=p,q=1,i=4,p=1,c=1,r=1");
    f.t.options.kittyImageCacheLimitBytes = 8;
    f.command("a=t,i=5," + kPixel);
    EXPECT_EQ(storedIds(f.state()), (std::vector<uint32_t>{3, 4}));
    EXPECT_EQ(f.state().totalImageBytes, 8);
    ASSERT_EQ(f.strips(0).size(), 1u);
    EXPECT_EQ(f.strips(0)[0]->kittyImageId, 1u);
    EXPECT_TRUE(f.state().placementsByKey.contains({1, 1}));
    EXPECT_EQ(f.command("a=p,i=1"), apc("Gi=1;ENOENT: image not found"));

    // The clean-up frees what nothing shows, whatever the limit.
    f.t.options.kittyImageCacheLimitBytes = 1000;
    f.command("a=t,i=6," + kPixel);
    f.t.kittyImages().cleanupUnusedKittyImages();
    EXPECT_EQ(storedIds(f.state()), (std::vector<uint32_t>{3, 4}));
    EXPECT_EQ(f.state().totalImageBytes, 8);
}

TEST(KittyImageStore, ImageCountIsBounded)
{
    PlacingTerminal f;
    const auto limit = uint32_t(KittyGraphicsState::kMaxImages);
    for (uint32_t id = 1; id <= limit + 1; id++) f.command("a=t,q=1,i=" + std::to_string(id) + "," + kPixel);
    EXPECT_EQ(f.state().imagesById.size(), size_t(limit));
    EXPECT_FALSE(f.state().imagesById.contains(1));
    EXPECT_TRUE(f.state().imagesById.contains(limit + 1));
    EXPECT_EQ(f.state().totalImageBytes, int64_t(4 * limit));
}

TEST(KittyImageStore, AnImageStopsBeingUsedHoweverItsLinesGo)
{
    // Image 2 is placed, then something happens to it; image 1 is placed afterwards and stays on
    // screen; image 3 is stored and the store is over. The least recent image not in use goes:
    // image 2 when nothing shows it any more, else the new image 3.
    const struct {
        const char* name;
        std::string after;
        std::vector<uint32_t> stored;
    } cases[] = {
        {"cursor moved only", "\x1b[H", {1, 2}},
        {"scrolled out of the ring", std::string(40, '\n'), {1, 3}},
        {"dropped with the scroll-back", "\x1b[10;1H" + std::string(8, '\n') + "\x1b[3J", {1, 3}},
        {"its line deleted", "\x1b[6;1H\x1b[M", {1, 3}},
        // Erasing text leaves the images on their lines.
        {"its line's text erased", "\x1b[6;1H\x1b[2K", {1, 2}},
        {"its placements deleted", "\x1b_Ga=d,d=i,i=2\x1b\\", {1, 3}},
        {"a record left of it", "\x1b_Ga=p,q=1,i=2,p=9,U=1,c=1,r=1\x1b\\\x1b[6;1H\x1b[2K", {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalOptions options = PlacingTerminal::smallScreen();
        options.scrollback = 5;
        options.kittyImageCacheLimitBytes = 8;
        PlacingTerminal f(options);
        f.moveTo(0, 5);
        f.command("a=T,q=1,i=2,c=1,r=1," + kPixel);
        f.t.feed(c.after);
        f.moveTo(0, 0);
        f.command("a=T,q=1,i=1,c=1,r=1," + kPixel);
        f.command("a=t,q=1,i=3," + kPixel);
        EXPECT_EQ(storedIds(f.state()), c.stored);
        EXPECT_EQ(f.state().totalImageBytes, 8);
    }
}

TEST(KittyImageStore, NewImagesIntoAFullStoreVisitNoMoreLinesAsTheStoreAndScrollBackFill)
{
    // One-pixel images shown one to a line: past the image count cap each new image evicts the
    // least recent not in use (itself, until the lines of older ones leave the ring). The lines
    // looked at per new image stay the same, whether the store and the scroll-back are filling or
    // full.
    TerminalOptions options = PlacingTerminal::smallScreen();
    options.scrollback = 10000;
    PlacingTerminal f(options);
    const auto limit = KittyGraphicsState::kMaxImages;
    uint32_t next = 1;
    const auto send = [&](size_t count) {
        const uint64_t before = f.t.kittyLinesVisited();
        for (size_t i = 0; i < count; i++) f.command("a=T,q=1,c=1,r=1,i=" + std::to_string(next++) + "," + kPixel);
        return double(f.t.kittyLinesVisited() - before) / double(count);
    };
    struct Batch {
        const char* name;
        size_t before; // images sent before the batch is measured
    };
    const Batch batches[] = {
        {"store filling", 100},
        {"store full, scroll-back filling", limit + 1000},
        {"store and scroll-back full", 12000},
    };
    for (const Batch& b : batches) {
        SCOPED_TRACE(b.name);
        send(b.before - (next - 1));
        const double perImage = send(500);
        EXPECT_LE(perImage, 4.0);
        EXPECT_EQ(f.state().imagesById.size(), std::min<size_t>(next - 1, limit));
        EXPECT_EQ(f.host.received.size(), next - 1);
    }
}

TEST(KittyImageStore, EveryChangeOfWhatTheStoreShowsRaisesItsRevision)
{
    const struct {
        std::string command;
        bool raises;
    } cases[] = {
        {"a=t,i=1," + kPixel, true},                   // the same id, new pixels
        {"a=t,i=2," + kPixel, true},                   // another image
        {"a=p,U=1,i=1,p=9,c=1,r=1", true},             // the same placement key, another size
        {"a=p,U=1,i=1,p=10,c=1,r=1", true},            // another placement
        {"a=d,d=i,i=1,p=9", true},                     // a placement deleted
        {"a=d,d=I,i=1", true},                         // the image deleted
        {"a=p,U=1,i=99,c=1,r=1", false},               // no such image: refused
        {"a=d,d=i,i=7", false},                        // nothing to delete
        {"a=q,i=3," + kPixel, false},                  // a query stores nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        PlacingTerminal f;
        f.command("a=t,q=2,i=1," + kPixel);
        f.command("a=p,q=2,U=1,i=1,p=9,c=2,r=1");
        const uint64_t before = f.state().revision;
        f.command(c.command);
        EXPECT_EQ(f.state().revision > before, c.raises);
    }
    // A store that evicts an older image raises it for each.
    PlacingTerminal f;
    f.t.options.kittyImageCacheLimitBytes = 4;
    f.command("a=t,q=2,i=1," + kPixel);
    const uint64_t before = f.state().revision;
    f.command("a=t,q=2,i=2," + kPixel);
    EXPECT_FALSE(f.state().imagesById.contains(1));
    EXPECT_EQ(f.state().revision, before + 2);
    EXPECT_EQ(f.state().imagesById.at(2).serial, before + 1);
}

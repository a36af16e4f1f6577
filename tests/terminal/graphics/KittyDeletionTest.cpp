#include "PlacingDelegate.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace corvix;
using namespace corvix::test;

namespace {

// Images 1, 2, 9, 10 and one sent under number 7 (id 3) placed on the normal screen, image 4
// stored and shown nowhere, and one image shown unstored (no ids):
//   (1,1) columns 0-1, rows 0-1      (1,2) columns 5-7, row 3, z 5     (2,1) column 10, rows 5-7, z -1
//   (3,1) column 15, row 8           (9,1) column 17, row 0            (10,1) column 19, row 0
//   unstored: column 12, row 1
struct Scene : PlacingTerminal {
    Scene()
    {
        for (const char* keys : {"a=t,q=1,i=1", "a=t,q=1,i=2", "a=t,q=1,i=9", "a=t,q=1,i=10", "a=t,q=1,I=7", "a=t,q=1,i=4"})
            command(rgbaCommand(keys, 4, 2));
        put(0, 0, "i=1,p=1,c=2,r=2");
        put(5, 3, "i=1,p=2,c=3,r=1,z=5");
        put(10, 5, "i=2,p=1,c=1,r=3,z=-1");
        put(15, 8, "I=7,p=1,c=1,r=1");
        put(17, 0, "i=9,p=1,c=1,r=1");
        put(19, 0, "i=10,p=1,c=1,r=1");
        moveTo(12, 1);
        command(rgbaCommand("a=T,q=1,C=1,c=1,r=1", 4, 2));
        moveTo(0, 9);
    }
    void put(int col, int row, const std::string& keys)
    {
        moveTo(col, row);
        command("a=p,q=1,C=1," + keys);
    }
};

const std::set<uint32_t> kStored{1, 2, 3, 4, 9, 10};

} // namespace

TEST(KittyDeletion, EverySelectorRemovesWhatItNames)
{
    const struct {
        const char* before;
        std::string command;
        std::string reply;
        std::set<KeyPair> removed;
        std::set<uint32_t> freed;
    } cases[] = {
        // Everything on the screen; only the upper-case letter frees, and then every unused image.
        {"", "a=d", "", {{1, 1}, {1, 2}, {2, 1}, {3, 1}, {9, 1}, {10, 1}, {0, 0}}, {}},
        {"", "a=d,d=A", "", {{1, 1}, {1, 2}, {2, 1}, {3, 1}, {9, 1}, {10, 1}, {0, 0}}, {1, 2, 3, 4, 9, 10}},
        {"", "a=d,d=i,i=1", "", {{1, 1}, {1, 2}}, {}},
        {"", "a=d,d=i,i=1,p=2", "", {{1, 2}}, {}},
        {"", "a=d,d=I,i=1", "", {{1, 1}, {1, 2}}, {1, 4}},
        {"", "a=d,d=n,I=7", "", {{3, 1}}, {}},
        {"", "a=d,d=n,I=99", "", {}, {}},
        {"", "a=d,d=N,I=99", "", {}, {4}},
        // The cursor on the middle row of (2,1): all three of its rows go.
        {"\x1b[7;11H", "a=d,d=c", "", {{2, 1}}, {}},
        {"", "a=d,d=p,x=6,y=4", "", {{1, 2}}, {}},
        {"", "a=d,d=q,x=6,y=4,z=4", "", {}, {}},
        {"", "a=d,d=q,x=6,y=4,z=5", "", {{1, 2}}, {}},
        {"", "a=d,d=x,x=11", "", {{2, 1}}, {}},
        {"", "a=d,d=x,x=1", "", {{1, 1}}, {}},
        {"", "a=d,d=y,y=7", "", {{2, 1}}, {}},
        {"", "a=d,d=y,y=1", "", {{1, 1}, {9, 1}, {10, 1}}, {}},
        // The second row of a two-row image takes its first row too.
        {"", "a=d,d=y,y=2", "", {{1, 1}, {0, 0}}, {}},
        {"", "a=d,d=z,z=-1", "", {{2, 1}}, {}},
        {"", "a=d,d=z", "", {{1, 1}, {3, 1}, {9, 1}, {10, 1}, {0, 0}}, {}},
        {"", "a=d,d=r,x=9,y=3", "", {{3, 1}, {9, 1}}, {}},
        {"", "a=d,d=R,x=9,y=3", "", {{3, 1}, {9, 1}}, {3, 4, 9}},
        {"", "a=d,d=r,x=99999999999,y=10", "", {{10, 1}}, {}},
        // Argument errors and unknown letters change nothing, and free nothing either.
        {"", "a=d,d=P,x=0,y=1", apc("G;EINVAL: missing cell position"), {}, {}},
        {"", "a=d,d=q,x=3", apc("G;EINVAL: missing cell position"), {}, {}},
        {"", "a=d,d=I", apc("G;EINVAL: missing image id"), {}, {}},
        {"", "a=d,d=n,i=5", apc("Gi=5;EINVAL: missing image number"), {}, {}},
        {"", "a=d,d=X", apc("G;EINVAL: missing column"), {}, {}},
        {"", "a=d,d=y,y=-3", apc("G;EINVAL: missing row"), {}, {}},
        {"", "a=d,d=R,x=3", apc("G;EINVAL: missing id range"), {}, {}},
        {"", "a=d,d=k,I=4", apc("GI=4;EINVAL: unsupported delete"), {}, {}},
        {"", "a=d,d=I,q=1", "", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Scene f;
        f.t.feed(c.before);
        auto lines = kittyLinesOf(f.t.normalBuffer());
        ASSERT_EQ(lines.size(), 7u);
        std::set<KeyPair> records = recordKeys(f.t);
        std::set<uint32_t> stored = storedIds(f.t);
        ASSERT_EQ(stored, kStored);

        EXPECT_EQ(f.command(c.command), c.reply);
        for (const KeyPair& key : c.removed) {
            lines.erase(key);
            records.erase(key);
        }
        for (const uint32_t id : c.freed) stored.erase(id);
        // What stays keeps every row it had.
        EXPECT_EQ(kittyLinesOf(f.t.normalBuffer()), lines);
        EXPECT_EQ(recordKeys(f.t), records);
        EXPECT_EQ(storedIds(f.t), stored);
    }
}

TEST(KittyDeletion, PositionsOnTheAlternateScreenLeaveTheNormalScreen)
{
    for (const char* command : {"a=d", "a=d,d=c", "a=d,d=p,x=1,y=1", "a=d,d=q,x=1,y=1", "a=d,d=x,x=1", "a=d,d=y,y=1"}) {
        SCOPED_TRACE(command);
        PlacingTerminal f;
        f.command(rgbaCommand("a=t,q=1,i=1", 4, 2));
        // (1,1) goes into the scroll-back at line 0, the number of the alternate screen's first
        // row; (1,2) is on the normal screen's first row.
        f.command("a=p,q=1,i=1,p=1,c=1,r=1");
        f.t.feed(std::string(19, '\n'));
        f.moveTo(0, 0);
        f.command("a=p,q=1,C=1,i=1,p=2,c=1,r=1");
        const auto normalLines = kittyLinesOf(f.t.normalBuffer());
        ASSERT_EQ(normalLines.size(), 2u);

        f.t.feed("\x1b[?1049h");
        f.moveTo(0, 0);
        f.command("a=p,q=1,C=1,i=1,p=3,c=1,r=1");
        f.command(command);
        EXPECT_TRUE(kittyLinesOf(f.t.altBuffer()).empty());
        EXPECT_EQ(recordKeys(f.t), (std::set<KeyPair>{{1, 1}, {1, 2}}));
        EXPECT_EQ(kittyLinesOf(f.t.normalBuffer()), normalLines);
        f.t.feed("\x1b[?1049l");
        EXPECT_EQ(kittyLinesOf(f.t.normalBuffer()), normalLines);
    }
}

TEST(KittyDeletion, IdsAndZIndexesReachBothScreens)
{
    for (const char* command : {"a=d,d=i,i=1", "a=d,d=z", "a=d,d=r,x=1,y=1"}) {
        SCOPED_TRACE(command);
        PlacingTerminal f;
        f.command(rgbaCommand("a=t,q=1,i=1", 4, 2));
        f.command("a=p,q=1,i=1,p=1,c=1,r=1");
        f.t.feed("\x1b[?1049h");
        f.command("a=p,q=1,i=1,p=2,c=1,r=1");
        f.command(command);
        EXPECT_TRUE(kittyKeysOnLines(f.t).empty());
        EXPECT_TRUE(recordKeys(f.t).empty());
    }
}

TEST(KittyDeletion, APlacementPartlyOnTheScreenGoesWhole)
{
    // Three rows from the screen's top, then one line scrolled: the first row is in the scroll-back,
    // where the pass over the screen's lines does not look; its record takes it along.
    PlacingTerminal f;
    f.command(rgbaCommand("a=T,q=1,C=1,i=1,p=1,c=1,r=3", 4, 2));
    f.t.feed("\x1b[10;1H\n");
    ASSERT_EQ(kittyLinesOf(f.t.buffer())[KeyPair(1, 1)], (std::vector<int>{0, 1, 2}));
    ASSERT_EQ(f.t.buffer().yBase(), 1);
    f.command("a=d");
    EXPECT_TRUE(kittyKeysOnLines(f.t).empty());
    EXPECT_TRUE(recordKeys(f.t).empty());
}

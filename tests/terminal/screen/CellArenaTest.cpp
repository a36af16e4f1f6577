#include "terminal/screen/CellArena.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

using namespace corvix;

namespace {

// An array stamped with its own number in every cell, so that arrays carved over each other
// show up as changed stamps.
struct Stamped {
    CharData* cells;
    int count;
    int32_t stamp;
};

Stamped carve(CellArena& arena, int count, int32_t stamp)
{
    CharData* cells = arena.allocate(sizeof(CharData) * size_t(count));
    for (int i = 0; i < count; ++i) {
        cells[i] = CharData{};
        cells[i].code = stamp;
    }
    return {cells, count, stamp};
}

bool intact(const Stamped& a)
{
    for (int i = 0; i < a.count; ++i) {
        if (a.cells[i].code != a.stamp) {
            return false;
        }
    }
    return true;
}

} // namespace

// Arrays taken and given back in arrival order, as a full scroll-back does: the arena keeps to
// the blocks the live arrays need, never overlaps two arrays, and maps nothing new once steady.
TEST(CellArena, AScrollBackWorthOfArraysReusesItsBlocks)
{
    const size_t before = CellArena::bytesInBlocks();
    {
        CellArena arena;
        std::deque<Stamped> live;
        // About 1.7 blocks of lines between 1 and 200 cells long.
        constexpr int kLive = 1500;
        int32_t stamp = 1;
        size_t blocksWhenFull = 0;
        for (int round = 0; round < 20 * kLive; ++round) {
            live.push_back(carve(arena, 1 + (round * 37) % 200, stamp++));
            if (int(live.size()) > kLive) {
                ASSERT_TRUE(intact(live.front())) << "array " << live.front().stamp;
                CellArena::release(live.front().cells);
                live.pop_front();
            }
            if (round == 2 * kLive) {
                blocksWhenFull = arena.blockCount();
            }
        }
        for (const Stamped& a : live) {
            ASSERT_TRUE(intact(a)) << "array " << a.stamp;
            CellArena::release(a.cells);
        }
        EXPECT_LE(blocksWhenFull, 3u);
        EXPECT_EQ(arena.blockCount(), blocksWhenFull) << "steady use maps no new blocks";
        EXPECT_EQ(CellArena::bytesInBlocks() - before, blocksWhenFull * CellArena::kBlockBytes);
        arena.trim();
        EXPECT_EQ(arena.blockCount(), 1u) << "only the block being carved stays";
    }
    EXPECT_EQ(CellArena::bytesInBlocks(), before);
}

TEST(CellArena, ArraysOutliveTheirArenaAndTheLastOneUnmapsItsBlock)
{
    const size_t before = CellArena::bytesInBlocks();
    auto arena = std::make_unique<CellArena>();
    const Stamped first = carve(*arena, 80, 7);
    const Stamped second = carve(*arena, 80, 8);
    arena.reset();
    EXPECT_EQ(CellArena::bytesInBlocks() - before, CellArena::kBlockBytes);
    EXPECT_TRUE(intact(first));
    CellArena::release(first.cells);
    EXPECT_TRUE(intact(second));
    CellArena::release(second.cells);
    EXPECT_EQ(CellArena::bytesInBlocks(), before);
}

TEST(CellArena, AnArrayLargerThanABlockIsLeftToTheCaller)
{
    CellArena arena;
    EXPECT_EQ(arena.allocate(CellArena::kBlockBytes), nullptr);
    EXPECT_EQ(arena.blockCount(), 0u);
    CharData* large = arena.allocate(CellArena::kBlockBytes / 2);
    ASSERT_NE(large, nullptr);
    CellArena::release(large);
}

// A packed line asks for room for its most attributes and keeps what it used: the arena carves
// the rest again, and only for the array it handed out last.
TEST(CellArena, TheLastArrayGivesBackWhatItDoesNotUse)
{
    CellArena arena;
    CharData* first = arena.allocate(1000);
    arena.shrinkLast(first, 100);
    CharData* second = arena.allocate(64);
    EXPECT_EQ(reinterpret_cast<char*>(second), reinterpret_cast<char*>(first) + 104) << "100 bytes in 8-byte steps";
    arena.shrinkLast(first, 8); // no longer the last: left as it is
    CharData* third = arena.allocate(8);
    EXPECT_EQ(reinterpret_cast<char*>(third), reinterpret_cast<char*>(second) + 64);
    for (CharData* cells : {first, second, third}) CellArena::release(cells);
}

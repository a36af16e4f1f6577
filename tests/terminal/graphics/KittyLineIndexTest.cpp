#include "terminal/engine/KittyLineIndex.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

using namespace corvix;

namespace {

using Rows = std::vector<std::pair<int, uint32_t>>; // (row, placement id) top first

Rows rowsOf(const KittyLineIndex& index)
{
    Rows rows;
    index.visitAll([&](const KittyLineIndex::Line& line) {
        rows.emplace_back(line.row, line.key.placementId);
        return true;
    });
    return rows;
}

} // namespace

TEST(KittyLineIndex, ScrollsMoveTheRowsAfterTheChange)
{
    const struct {
        const char* name;
        void (*scroll)(KittyLineIndex&);
        Rows rows;
    } cases[] = {
        {"oldest line dropped", [](KittyLineIndex& i) { i.lineRemoved(0); }, {{0, 2}, {1, 3}, {4, 4}, {6, 5}}},
        {"line in the middle removed", [](KittyLineIndex& i) { i.lineRemoved(2); }, {{0, 1}, {1, 2}, {4, 4}, {6, 5}}},
        {"line removed where none is listed", [](KittyLineIndex& i) { i.lineRemoved(3); },
         {{0, 1}, {1, 2}, {2, 3}, {4, 4}, {6, 5}}},
        {"line inserted", [](KittyLineIndex& i) { i.lineInserted(2); }, {{0, 1}, {1, 2}, {3, 3}, {6, 4}, {8, 5}}},
        // A region scroll: its top line leaves, a new line comes in at its bottom (row 5).
        {"region scrolled",
         [](KittyLineIndex& i) {
             i.lineRemoved(2);
             i.lineInserted(5);
         },
         {{0, 1}, {1, 2}, {4, 4}, {7, 5}}},
        // A full ring with a region at the top: the oldest line goes, the new line lands at 4.
        {"full ring, region at the top",
         [](KittyLineIndex& i) {
             i.lineRemoved(0);
             i.lineInserted(4);
         },
         {{0, 2}, {1, 3}, {5, 4}, {7, 5}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KittyLineIndex index;
        for (const auto& [row, id] : Rows{{0, 1}, {1, 2}, {2, 3}, {5, 4}, {7, 5}}) index.add(row, {1, id}, 100 + id);
        c.scroll(index);
        EXPECT_EQ(rowsOf(index), c.rows);
        // The key view agrees with the row view.
        for (const auto& [row, id] : c.rows) {
            Rows ofKey;
            index.visitKey({1, id}, [&](const KittyLineIndex::Line& line) {
                ofKey.emplace_back(line.row, line.key.placementId);
                EXPECT_EQ(line.serial, 100 + id);
                return true;
            });
            EXPECT_EQ(ofKey, (Rows{{row, id}}));
        }
    }
}

TEST(KittyLineIndex, RowsRememberWhereTheirRectanglesWereRight)
{
    KittyLineIndex index;
    index.add(5, {2, 1}, 7);
    index.add(6, {2, 1}, 8);
    index.lineRemoved(0);
    index.lineRemoved(0);
    std::vector<std::pair<int, int>> seen; // (row, syncedRow)
    index.visitKey({2, 1}, [&](const KittyLineIndex::Line& line) {
        seen.emplace_back(line.row, line.syncedRow);
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{3, 5}, {4, 6}}));
    index.markChecked(3, {2, 1}, 0, nullptr, true);
    seen.clear();
    // Stops when told to.
    index.visitKey({2, 1}, [&](const KittyLineIndex::Line& line) {
        seen.emplace_back(line.row, line.syncedRow);
        return false;
    });
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{3, 3}}));
    index.erase(3, {2, 1});
    EXPECT_EQ(index.size(), 1u);
}

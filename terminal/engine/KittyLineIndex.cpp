#include "terminal/engine/KittyLineIndex.hpp"

#include <vector>

namespace corvix {

void KittyLineIndex::clear()
{
    byRow_.clear();
    byKey_.clear();
    sizeAfterSweep_ = 0;
}

void KittyLineIndex::add(int row, KittyPlacementKey key, uint64_t serial)
{
    const RowKey at{int64_t(row) + dropped_, pack(key)};
    byRow_.insert_or_assign(at, Where{serial, row, UINT64_MAX, nullptr});
    byKey_.insert({at.second, at.first});
}

void KittyLineIndex::erase(int row, KittyPlacementKey key)
{
    const RowKey at{int64_t(row) + dropped_, pack(key)};
    byRow_.erase(at);
    byKey_.erase({at.second, at.first});
}

void KittyLineIndex::markChecked(int row, KittyPlacementKey key, uint64_t generation, const TerminalImage* image,
                                 bool synced)
{
    const auto found = byRow_.find({int64_t(row) + dropped_, pack(key)});
    if (found == byRow_.end()) return;
    found->second.checkedGeneration = generation;
    found->second.image = image;
    if (synced) found->second.syncedRow = row;
}

void KittyLineIndex::lineRemoved(int row)
{
    const int64_t at = int64_t(row) + dropped_;
    const auto erase = [&](auto first, auto last) {
        for (auto it = first; it != last; ++it) byKey_.erase({it->first.second, it->first.first});
        byRow_.erase(first, last);
    };
    if (row == 0) {
        dropped_++;
        if (!byRow_.empty() && byRow_.begin()->first.first < dropped_)
            erase(byRow_.begin(), byRow_.lower_bound({dropped_, 0}));
        return;
    }
    erase(byRow_.lower_bound({at, 0}), byRow_.lower_bound({at + 1, 0}));
    shiftFrom(at + 1, -1);
}

void KittyLineIndex::lineInserted(int row)
{
    shiftFrom(int64_t(row) + dropped_, 1);
}

void KittyLineIndex::shiftFrom(int64_t from, int delta)
{
    // Taken out first, then put back: a shifted entry may land where one not yet shifted is.
    std::vector<decltype(byRow_)::node_type> moved;
    for (auto it = byRow_.lower_bound({from, 0}); it != byRow_.end();) {
        byKey_.erase({it->first.second, it->first.first});
        moved.push_back(byRow_.extract(it++));
    }
    for (auto& node : moved) {
        node.key().first += delta;
        byKey_.insert({node.key().second, node.key().first});
        byRow_.insert(std::move(node));
    }
}

} // namespace corvix

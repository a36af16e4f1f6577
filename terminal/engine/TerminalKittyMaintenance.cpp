// Kitty placements keeping up with the screen: records and relative placements follow their lines
// when the screen scrolls, and placements are cleared when a screen is switched, erased or reset.
#include "terminal/engine/KittyImages.hpp"

#include "terminal/engine/Terminal.hpp"

#include <algorithm>
#include <climits>
#include <utility>

namespace corvix {

namespace {

int toInt(int64_t value)
{
    return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

} // namespace

void KittyImages::kittyLinesScrolled(int removedRow, int insertedRow)
{
    KittyScreen& screen = kittyScreen(*terminal_.buffer_);
    if (!screen.lines.empty()) {
        if (removedRow >= 0) screen.lines.lineRemoved(removedRow);
        if (insertedRow >= 0) screen.lines.lineInserted(insertedRow);
    }
    if (!screen.following.empty()) updateKittyRelativePlacementsForCurrentBuffer();
}

void KittyImages::followKittyPlacement(KittyPlacementKey key)
{
    auto& following = kittyScreen(*terminal_.buffer_).following;
    following.insert(key);
    // Keys whose records went are dropped at the next scroll; this bounds them until one comes.
    const auto& placements = state_.placementsByKey;
    if (following.size() > 2 * placements.size() + 64)
        std::erase_if(following, [&](const KittyPlacementKey& k) { return !placements.contains(k); });
}

void KittyImages::updateKittyRelativePlacementsForCurrentBuffer()
{
    Buffer& b = *terminal_.buffer_;
    auto& following = kittyScreen(b).following;
    auto& placements = state_.placementsByKey;
    const bool alternate = terminal_.isCurrentBufferAlternate();

    // Records follow their lines. A record that went, or whose images all left the lines while it
    // follows no parent, has nothing to follow any more.
    bool anyRelative = false;
    for (auto it = following.begin(); it != following.end();) {
        const auto found = placements.find(*it);
        const bool follows =
            found != placements.end() && !found->second.isVirtual && found->second.isAlternateBuffer == alternate;
        const std::optional<KittyPlacementPosition> position = follows ? kittyPlacementPosition(b, *it) : std::nullopt;
        if (!follows || (!position && !found->second.isRelative())) {
            it = following.erase(it);
            continue;
        }
        // Written only when it moved: a write raises the store's revision.
        if (position && (found->second.row != toInt(position->row) || found->second.col != toInt(position->col))) {
            KittyPlacementRecord& record = placements.at(*it);
            record.row = toInt(position->row);
            record.col = toInt(position->col);
        }
        anyRelative = anyRelative || found->second.isRelative();
        ++it;
    }
    if (!anyRelative) return;

    // Relative placements follow their parents. Every record now names where its images lie (no
    // images have moved yet), so the records stand in for the positions of the lines.
    KittyPlacementPositions resolved;
    std::unordered_set<KittyPlacementKey> visiting;
    for (const KittyPlacementKey& key : following) {
        const KittyPlacementRecord& record = std::as_const(placements).at(key);
        if (!record.isRelative()) continue;
        std::optional<KittyPlacementPosition> target = resolveKittyPlacementPosition(key, {}, resolved, visiting);
        if (!target) continue;
        // Inside the screen's columns, as the placement was put: a parent near an edge with an
        // offset past it would otherwise push the images sideways at the first scroll.
        target->col = std::clamp<int64_t>(target->col, 0, terminal_.cols - 1);
        const KittyPlacementPosition current{record.row, record.col};
        if (*target == current) continue;
        moveKittyPlacementImages(b, key, target->row - current.row, target->row, target->col);
        KittyPlacementRecord& moved = placements.at(key);
        moved.row = toInt(target->row);
        moved.col = toInt(target->col);
    }
}

void KittyImages::moveKittyPlacementImages(Buffer& b, KittyPlacementKey key, int64_t deltaRow, int64_t newTopRow,
                                        int64_t newLeftCol)
{
    const std::vector<int> from = kittyLineRows(b, key, 0, b.lines().count());
    const auto taken = takeLineImages(b, from, [&](const TerminalImage& image) { return kittyLineKey(image) == key; });
    for (const auto& [row, image] : taken) {
        const int64_t target = row + deltaRow;
        // An image moved off the buffer is gone.
        if (target < 0 || target >= b.lines().count()) continue;
        auto& kitty = static_cast<KittyPlacementImage&>(*image);
        kitty.setCol(toInt(newLeftCol));
        kitty.kittyCol = toInt(newLeftCol);
        kitty.kittyRow = toInt(newTopRow);
        b.attachImage(image, int(target));
        if (&b == terminal_.buffer_ && target >= b.yBase() && target < int64_t(b.yBase()) + terminal_.rows)
            terminal_.updateRange(int(target - b.yBase()));
    }
}

void KittyImages::clearKittyImages(Buffer& b, bool isAlternateBuffer)
{
    deleteKittyPlacements({&b}, 0, INT_MAX, [](const KittyPlacementImage&) { return true; },
                          [&](const KittyPlacementRecord& r) { return r.isAlternateBuffer == isAlternateBuffer; });
    cleanupUnusedKittyImages();
}

void KittyImages::clearAllKittyImages()
{
    // The active screen, then the alternate one: with the alternate screen active, the normal
    // screen's lines keep their images.
    for (Buffer* b : {terminal_.buffer_, terminal_.altBuffer_.get()}) {
        for (int row = 0; row < b->lines().count() && b->hasAnyImages(); row++) b->clearImagesFromLine(row);
        kittyScreen(*b).lines.clear();
    }
    KittyGraphicsState& s = state_;
    if (!s.imagesById.empty()) s.raiseRevision();
    s.imagesById.clear();
    s.imageUses->imagesCleared();
    s.imageNumbers.clear();
    s.numbersByImage.clear();
    s.placementsByKey.clear();
    s.totalImageBytes = 0;
    s.nextImageAccessTick = 1;
    terminal_.updateRange(terminal_.buffer_->scrollTop());
    terminal_.updateRange(terminal_.buffer_->scrollBottom());
}

} // namespace corvix

#pragma once

#include "terminal/engine/KittyGraphics.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace corvix {

// The key a line image counts under in the index: a Kitty image's ids, 0 for an absent one; none
// for any other image.
inline std::optional<KittyPlacementKey> kittyLineKey(const TerminalImage& image)
{
    const auto* kitty = dynamic_cast<const KittyPlacementImage*>(&image);
    if (!kitty || !kitty->kittyIsKitty) return std::nullopt;
    return KittyPlacementKey{kitty->kittyImageId.value_or(0), kitty->kittyPlacementId.value_or(0)};
}

// Where the Kitty images on one buffer's lines are: for each placement key (an absent id counts as
// 0) the lines holding its images. The engine finds, follows, moves and removes placements through
// it, so that its work grows with the placements, not with the buffer's lines.
//
// The index does not watch the lines. Its owner adds every image attached and tells it how each
// scroll moved the lines; everything else that changes lines (erases, inserted or deleted lines,
// resizes) leaves entries behind, so the owner checks each entry it reads against the line now at
// that row.
class KittyLineIndex {
public:
    struct Line {
        int row = 0;
        KittyPlacementKey key;
        // The serial of the line the images were attached to.
        uint64_t serial = 0;
        // The row at which the images' rectangles (`kittyRow`) were last right.
        int syncedRow = 0;
        // The line's `generation` when it was last looked at, and the first image of the key on
        // it then: while the line is unchanged, that image is still there.
        uint64_t checkedGeneration = UINT64_MAX;
        const TerminalImage* image = nullptr;
    };

    bool empty() const { return byRow_.empty(); }
    size_t size() const { return byRow_.size(); }
    void clear();

    // Line `row`, of serial `serial`, holds images of `key` whose rectangles are right there.
    void add(int row, KittyPlacementKey key, uint64_t serial);
    void erase(int row, KittyPlacementKey key);
    // The owner looked at line `row`: at `generation` its first image of `key` was `image`; with
    // `synced` the images' rectangles are right for the row now.
    void markChecked(int row, KittyPlacementKey key, uint64_t generation, const TerminalImage* image, bool synced);

    // A scroll took out the line at `row`: the lines after it moved up one.
    void lineRemoved(int row);
    // A scroll put a new line at `row`: the lines from there on moved down one.
    void lineInserted(int row);

    // Entries left behind pile up only until the owner sweeps them, once the index has doubled.
    bool wantsSweep() const { return size() > 2 * sizeAfterSweep_ + 64; }
    void swept() { sizeAfterSweep_ = size(); }

    // Calls `visit(line)` for the lines of `key`, top first, until it returns false.
    template <typename Visit>
    void visitKey(KittyPlacementKey key, Visit visit) const
    {
        const uint64_t packed = pack(key);
        for (auto it = byKey_.lower_bound({packed, INT64_MIN}); it != byKey_.end() && it->first == packed; ++it) {
            if (!visit(line(*byRow_.find({it->second, packed})))) return;
        }
    }

    // Calls `visit(line)` for every line, top first, until it returns false.
    template <typename Visit>
    void visitAll(Visit visit) const
    {
        for (const auto& entry : byRow_) {
            if (!visit(line(entry))) return;
        }
    }

private:
    struct Where {
        uint64_t serial = 0;
        int syncedRow = 0;
        uint64_t checkedGeneration = UINT64_MAX;
        const TerminalImage* image = nullptr;
    };
    // Rows are kept as row + dropped_, so that the oldest line leaving, what every scroll of a full
    // ring does, costs nothing; keys packed image id first.
    using RowKey = std::pair<int64_t, uint64_t>;

    static uint64_t pack(KittyPlacementKey key) { return uint64_t(key.imageId) << 32 | key.placementId; }
    Line line(const std::pair<const RowKey, Where>& entry) const
    {
        const uint64_t packed = entry.first.second;
        const Where& where = entry.second;
        return {int(entry.first.first - dropped_), {uint32_t(packed >> 32), uint32_t(packed)}, where.serial,
                where.syncedRow, where.checkedGeneration, where.image};
    }
    // Moves every entry from stored row `from` on by `delta` rows.
    void shiftFrom(int64_t from, int delta);

    int64_t dropped_ = 0;
    std::map<RowKey, Where> byRow_;
    // The same entries as (key, stored row).
    std::set<std::pair<uint64_t, int64_t>> byKey_;
    size_t sizeAfterSweep_ = 0;
};

} // namespace corvix

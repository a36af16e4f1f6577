// Where the Kitty images on the lines are: one index per screen, kept up as images are attached and
// lines scroll, and read with a check of each entry against the line now at its row.
#include "terminal/engine/KittyImages.hpp"

#include "terminal/engine/Terminal.hpp"

#include <algorithm>
#include <climits>

namespace corvix {

namespace {

int clampedSum(int value, int64_t delta)
{
    return int(std::clamp<int64_t>(int64_t(value) + delta, INT_MIN, INT_MAX));
}

} // namespace

KittyImages::KittyScreen& KittyImages::kittyScreen(const Buffer& buffer)
{
    return &buffer == terminal_.altBuffer_.get() ? kittyAlt_ : kittyNormal_;
}

void KittyImages::kittyImageAttached(Buffer& b, TerminalImage& image, int row)
{
    // A line image showing a stored image holds a use of it for as long as it lives (a strip
    // moved from another line already holds one).
    if (auto* shown = dynamic_cast<KittyPlacementImage*>(&image); shown && shown->kittyImageId &&
        (!shown->kittyImageUse || shown->kittyImageUse->imageId() != *shown->kittyImageId))
        shown->kittyImageUse = state_.imageUses->lineUse(*shown->kittyImageId);
    const std::optional<KittyPlacementKey> key = kittyLineKey(image);
    if (!key) return;
    // The host attaches a placement's strips top first on consecutive lines, each followed by a
    // line feed that may scroll the strips before it: the placement's top is k rows above strip k.
    auto& kitty = static_cast<KittyPlacementImage&>(image);
    if (kittyPlacementContext_ && kitty.kittyImageId == kittyPlacementContext_->imageId &&
        kitty.kittyPlacementId == kittyPlacementContext_->placementId)
        kitty.kittyRow = row - kittyStripsAttached_++;
    KittyLineIndex& index = kittyScreen(b).lines;
    index.add(row, *key, b.lines().getLine(row)->serial());
    if (index.wantsSweep()) {
        kittyLineRows(b, std::nullopt, 0, b.lines().count());
        index.swept();
    }
}

template <typename Restart, typename Found>
void KittyImages::walkKittyLines(Buffer& b, std::optional<KittyPlacementKey> key, bool syncRectangles, Restart restart,
                              Found found)
{
    KittyLineIndex& index = kittyScreen(b).lines;
    // After a rebuild every entry holds, so a second pass is the last.
    for (int pass = 0; pass < 2; pass++) {
        if (pass > 0) restart();
        std::vector<KittyLineIndex::Line> gone;
        bool moved = false;
        const auto visit = [&](const KittyLineIndex::Line& line) {
            const TerminalImage* image = nullptr;
            switch (checkKittyLine(b, line, syncRectangles, image)) {
            case KittyLineCheck::moved: moved = true; return false;
            case KittyLineCheck::gone: gone.push_back(line); return true;
            case KittyLineCheck::holds: return found(line.row, *image);
            }
            return true;
        };
        if (key) {
            index.visitKey(*key, visit);
        } else {
            index.visitAll(visit);
        }
        for (const KittyLineIndex::Line& line : gone) index.erase(line.row, line.key);
        if (!moved) return;
        rebuildKittyLines(b);
    }
}

std::vector<int> KittyImages::kittyLineRows(Buffer& b, std::optional<KittyPlacementKey> key, int firstLine, int endLine,
                                         size_t limit, bool syncRectangles)
{
    std::vector<int> rows;
    // Lines outside the range are walked too: a line that moved into it behind the index's back is
    // found only through the entry it left.
    walkKittyLines(
        b, key, syncRectangles, [&] { rows.clear(); },
        [&](int row, const TerminalImage&) {
            if (row < firstLine || row >= endLine) return true;
            if (rows.empty() || rows.back() != row) rows.push_back(row);
            return rows.size() < limit;
        });
    return rows;
}

std::optional<KittyPlacementPosition> KittyImages::kittyPlacementPosition(Buffer& b, KittyPlacementKey key)
{
    std::optional<KittyPlacementPosition> position;
    walkKittyLines(
        b, key, false, [&] { position.reset(); },
        [&](int row, const TerminalImage& image) {
            position = KittyPlacementPosition{row, image.col()};
            return false;
        });
    return position;
}

KittyImages::KittyLineCheck KittyImages::checkKittyLine(Buffer& b, const KittyLineIndex::Line& line,
                                                        bool syncRectangles, const TerminalImage*& image)
{
    auto& lines = b.lines();
    kittyLinesVisited_++;
    if (line.row < 0 || line.row >= lines.count()) return KittyLineCheck::moved;
    const BufferLine& at = *lines.getLine(line.row);
    if (at.serial() != line.serial) return KittyLineCheck::moved;
    const bool sync = syncRectangles && line.row != line.syncedRow;
    // A line unchanged since it was last looked at holds what it held then.
    if (!sync && at.generation() == line.checkedGeneration) {
        image = line.image;
        return KittyLineCheck::holds;
    }
    image = nullptr;
    if (const auto& images = at.images()) {
        for (const std::shared_ptr<TerminalImage>& candidate : *images) {
            if (kittyLineKey(*candidate) != line.key) continue;
            if (!image) image = candidate.get();
            if (!sync) break;
            // Its line moved since its rectangle was last right: the rectangle moves with it.
            auto& kitty = static_cast<KittyPlacementImage&>(*candidate);
            kitty.kittyRow = clampedSum(kitty.kittyRow, int64_t(line.row) - line.syncedRow);
        }
    }
    if (!image) return KittyLineCheck::gone;
    kittyScreen(b).lines.markChecked(line.row, line.key, at.generation(), image, sync);
    return KittyLineCheck::holds;
}

void KittyImages::rebuildKittyLines(Buffer& b)
{
    KittyLineIndex& index = kittyScreen(b).lines;
    // Where each line's images were last right, by the line's serial: a line found elsewhere now
    // brings its images' rectangles along.
    std::unordered_map<uint64_t, std::vector<std::pair<KittyPlacementKey, int>>> synced;
    index.visitAll([&](const KittyLineIndex::Line& line) {
        synced[line.serial].emplace_back(line.key, line.syncedRow);
        return true;
    });
    index.clear();
    index.swept();
    if (!b.hasAnyImages()) return;
    auto& lines = b.lines();
    kittyLinesVisited_ += uint64_t(lines.count());
    for (int row = 0; row < lines.count(); row++) {
        const BufferLine& line = *lines.getLine(row);
        if (!line.images()) continue;
        const auto was = synced.find(line.serial());
        for (const std::shared_ptr<TerminalImage>& image : *line.images()) {
            const std::optional<KittyPlacementKey> key = kittyLineKey(*image);
            if (!key) continue;
            if (was != synced.end()) {
                for (const auto& [syncedKey, syncedRow] : was->second) {
                    if (syncedKey != *key) continue;
                    auto& kitty = static_cast<KittyPlacementImage&>(*image);
                    kitty.kittyRow = clampedSum(kitty.kittyRow, int64_t(row) - syncedRow);
                }
            }
            index.add(row, *key, line.serial());
        }
    }
    index.swept();
}

} // namespace corvix

// Images on lines, whatever protocol made them: the budget their decoded bytes are held to, and
// removing them from lines.
#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <algorithm>
#include <climits>

namespace corvix {

std::shared_ptr<LineImageCharge> Terminal::chargeLineImage(int64_t bytes)
{
    std::shared_ptr<LineImageCharge> charge = lineImageBudget_->charge(bytes);
    // The image being placed is not on any line yet, and the budget never picks it.
    const auto evicted = lineImageBudget_->evictOverBudget(charge.get());
    if (evicted.empty()) return charge;
    const auto drop = [&](const TerminalImage& image) { return evicted.contains(image.charge()); };
    // A Kitty placement whose images are gone is gone: its record goes with them.
    for (Buffer* b : {normalBuffer_.get(), altBuffer_.get()}) {
        for (const KittyPlacementKey& key : removeLineImages(*b, 0, INT_MAX, drop))
            kittyGraphicsState_->placementsByKey.erase(key);
    }
    return charge;
}

std::unordered_set<KittyPlacementKey> Terminal::removeLineImages(Buffer& b, int firstLine, int endLine,
                                                                 const std::function<bool(const TerminalImage&)>& drop)
{
    std::unordered_set<KittyPlacementKey> keys;
    if (!b.hasAnyImages()) return keys;
    auto& lines = b.lines();
    const int first = std::max(firstLine, 0);
    const int end = std::min(endLine, lines.count());
    int changedFirst = INT_MAX;
    int changedLast = -1;
    for (int row = first; row < end; row++) {
        const auto& images = lines[row].images();
        if (!images) continue;
        BufferLine::ImageList kept;
        for (const std::shared_ptr<TerminalImage>& image : *images) {
            if (!drop(*image)) {
                kept.push_back(image);
                continue;
            }
            const auto* kitty = dynamic_cast<const KittyPlacementImage*>(image.get());
            if (kitty && kitty->kittyIsKitty && kitty->kittyImageId && kitty->kittyPlacementId)
                keys.insert({*kitty->kittyImageId, *kitty->kittyPlacementId});
        }
        if (kept.size() == images->size()) continue;
        if (kept.empty()) {
            b.clearImagesFromLine(row);
        } else {
            lines[row].setImages(std::move(kept));
        }
        changedFirst = std::min(changedFirst, row);
        changedLast = row;
    }
    if (changedLast >= 0 && &b == buffer_) {
        const int top = changedFirst - b.yBase();
        const int bottom = changedLast - b.yBase();
        if (bottom >= 0 && top < rows) {
            updateRange(std::max(top, 0));
            updateRange(std::min(bottom, rows - 1));
        }
    }
    return keys;
}

} // namespace corvix

// Images on lines, whatever protocol made them: the budget their decoded bytes are held to, and
// taking them off lines.
#include "terminal/engine/KittyImages.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <algorithm>
#include <climits>

namespace corvix {

std::shared_ptr<LineImageCharge> KittyImages::chargeLineImage(int64_t bytes)
{
    std::shared_ptr<LineImageCharge> charge = lineImageBudget_->charge(bytes);
    // The image being placed is not on any line yet, and the budget never picks it.
    const auto evicted = lineImageBudget_->evictOverBudget(charge.get());
    if (evicted.empty()) return charge;
    const auto drop = [&](const TerminalImage& image) { return evicted.contains(image.charge()); };
    // A Kitty placement whose images are gone is gone: its record goes with them.
    for (Buffer* b : {terminal_.normalBuffer_.get(), terminal_.altBuffer_.get()}) {
        std::vector<int> withImages;
        if (b->hasAnyImages()) {
            kittyLinesVisited_ += uint64_t(b->lines().count());
            for (int row = 0; row < b->lines().count(); row++) {
                if (b->lines()[row].images()) withImages.push_back(row);
            }
        }
        for (const KittyPlacementKey& key : kittyPlacementKeys(takeLineImages(*b, withImages, drop)))
            state_.placementsByKey.erase(key);
    }
    return charge;
}

std::vector<std::pair<int, std::shared_ptr<TerminalImage>>> KittyImages::takeLineImages(
    Buffer& b, std::span<const int> lineRows, const std::function<bool(const TerminalImage&)>& take)
{
    std::vector<std::pair<int, std::shared_ptr<TerminalImage>>> taken;
    auto& lines = b.lines();
    KittyLineIndex& index = kittyScreen(b).lines;
    int changedFirst = INT_MAX;
    int changedLast = -1;
    for (const int row : lineRows) {
        if (row < 0 || row >= lines.count()) continue;
        const auto& images = lines[row].images();
        if (!images) continue;
        const size_t takenBefore = taken.size();
        BufferLine::ImageList kept;
        for (const std::shared_ptr<TerminalImage>& image : *images) {
            if (take(*image)) {
                taken.emplace_back(row, image);
            } else {
                kept.push_back(image);
            }
        }
        if (taken.size() == takenBefore) continue;
        // The index lists the line under a key while any image of that key stays on it.
        for (size_t i = takenBefore; i < taken.size(); i++) {
            const auto key = kittyLineKey(*taken[i].second);
            if (key && std::none_of(kept.begin(), kept.end(), [&](const auto& image) { return kittyLineKey(*image) == key; }))
                index.erase(row, *key);
        }
        if (kept.empty()) {
            b.clearImagesFromLine(row);
        } else {
            lines[row].setImages(std::move(kept));
        }
        changedFirst = std::min(changedFirst, row);
        changedLast = std::max(changedLast, row);
    }
    if (changedLast >= 0 && &b == terminal_.buffer_) {
        const int top = changedFirst - b.yBase();
        const int bottom = changedLast - b.yBase();
        if (bottom >= 0 && top < terminal_.rows) {
            terminal_.updateRange(std::max(top, 0));
            terminal_.updateRange(std::min(bottom, terminal_.rows - 1));
        }
    }
    return taken;
}

std::unordered_set<KittyPlacementKey> KittyImages::kittyPlacementKeys(
    const std::vector<std::pair<int, std::shared_ptr<TerminalImage>>>& images)
{
    std::unordered_set<KittyPlacementKey> keys;
    for (const auto& [row, image] : images) {
        const auto* kitty = dynamic_cast<const KittyPlacementImage*>(image.get());
        if (kitty && kitty->kittyIsKitty && kitty->kittyImageId && kitty->kittyPlacementId)
            keys.insert({*kitty->kittyImageId, *kitty->kittyPlacementId});
    }
    return keys;
}

void KittyImages::attachImageStrips(int cols, int rows,
                                 const std::function<std::shared_ptr<KittyPlacementImage>(int strip, int col)>& makeStrip)
{
    Buffer& b = *terminal_.buffer_;
    const int startCol = b.x();
    const int startRow = b.yBase() + b.y();
    const std::optional<KittyPlacementContext>& context = kittyPlacementContext_;
    if (context && context->imageId && context->placementId) {
        KittyPlacementRecord record;
        record.imageId = *context->imageId;
        record.placementId = *context->placementId;
        record.parentImageId = context->parentImageId;
        record.parentPlacementId = context->parentPlacementId;
        record.parentOffsetH = context->parentOffsetH;
        record.parentOffsetV = context->parentOffsetV;
        record.pixelOffsetX = context->pixelOffsetX;
        record.pixelOffsetY = context->pixelOffsetY;
        record.col = startCol;
        record.row = startRow;
        record.cols = cols;
        record.rows = rows;
        record.zIndex = context->zIndex;
        record.isAlternateBuffer = terminal_.isCurrentBufferAlternate();
        state_.placementsByKey[{record.imageId, record.placementId}] = record;
    }
    for (int strip = 0; strip < rows; strip++) {
        std::shared_ptr<KittyPlacementImage> image = makeStrip(strip, b.x());
        if (!image) continue;
        if (context) {
            image->kittyIsKitty = true;
            image->kittyImageId = context->imageId;
            image->kittyImageNumber = context->imageNumber;
            image->kittyPlacementId = context->placementId;
            image->kittyZIndex = context->zIndex;
            image->kittyCol = startCol;
            image->kittyRow = startRow;
            image->kittyCols = cols;
            image->kittyRows = rows;
            image->kittyPixelOffsetX = context->pixelOffsetX;
            image->kittyPixelOffsetY = context->pixelOffsetY;
        }
        b.attachImage(image, b.yBase() + b.y());
        terminal_.updateRange(b.y());
        const int col = b.x();
        terminal_.cursorCommands_.cmdLineFeedBasic();
        b.setX(col);
    }
}

} // namespace corvix

// Kitty deletion: the delete command with its selectors, and the removal of placements (their line
// images and their records) that replacing a placement and clearing a screen use too.
#include "terminal/engine/KittyImages.hpp"

#include "terminal/engine/Terminal.hpp"

#include <algorithm>
#include <cctype>
#include <climits>

namespace corvix {

namespace {

// Whether `at` lies in the span of `size` cells (at least one) from `start`.
bool spans(int64_t start, int64_t size, int64_t at)
{
    return at >= start && at <= start + std::max<int64_t>(size, 1) - 1;
}

// Whether the span of `size` cells (at least one) from `start` meets first...last.
bool meets(int64_t start, int64_t size, int64_t first, int64_t last)
{
    return start <= last && start + std::max<int64_t>(size, 1) - 1 >= first;
}

// A cell coordinate of a command, 1-based: one past every screen is as good as any larger one,
// and keeps the sums below in range.
int64_t cellCoordinate(int64_t value)
{
    return std::min<int64_t>(value, INT_MAX);
}

} // namespace

void KittyImages::handleKittyDelete(const KittyGraphicsControl& control)
{
    const char letter = control.deleteMode.value_or('a');
    const int64_t x = control.cropX;
    const int64_t y = control.cropY;
    switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'a': deletePlacementsVisibleOnScreen(); break;
    case 'i':
        if (!control.imageId) {
            sendKittyError(control, "EINVAL: missing image id");
            return;
        }
        deletePlacementsByImageId(*control.imageId, control.placementId);
        break;
    case 'n': {
        if (!control.imageNumber) {
            sendKittyError(control, "EINVAL: missing image number");
            return;
        }
        const auto& numbers = state_.imageNumbers;
        if (const auto found = numbers.find(*control.imageNumber); found != numbers.end())
            deletePlacementsByImageId(found->second, control.placementId);
        break;
    }
    case 'c':
        deletePlacementsAtCell(int64_t(terminal_.buffer_->x()) + 1, int64_t(terminal_.buffer_->y()) + 1, std::nullopt);
        break;
    case 'p':
    case 'q':
        if (x < 1 || y < 1) {
            sendKittyError(control, "EINVAL: missing cell position");
            return;
        }
        deletePlacementsAtCell(x, y, letter == 'q' || letter == 'Q' ? std::optional(control.zIndex) : std::nullopt);
        break;
    case 'x':
        if (x < 1) {
            sendKittyError(control, "EINVAL: missing column");
            return;
        }
        deletePlacementsInColumn(x);
        break;
    case 'y':
        if (y < 1) {
            sendKittyError(control, "EINVAL: missing row");
            return;
        }
        deletePlacementsInRow(y);
        break;
    case 'z': deletePlacementsWithZIndex(control.zIndex); break;
    case 'r': {
        if (x < 1 || y < 1) {
            sendKittyError(control, "EINVAL: missing id range");
            return;
        }
        // Ids end at 2^32 - 1: a bound past it means the last id.
        const auto id = [](int64_t value) { return uint32_t(std::min<int64_t>(value, UINT32_MAX)); };
        deletePlacementsByImageIdRange(id(std::min(x, y)), id(std::max(x, y)));
        break;
    }
    default: sendKittyError(control, "EINVAL: unsupported delete"); return;
    }
    // An upper-case letter also frees the stored images that nothing uses any more.
    if (std::toupper(static_cast<unsigned char>(letter)) == static_cast<unsigned char>(letter)) cleanupUnusedKittyImages();
}

void KittyImages::deletePlacementsVisibleOnScreen()
{
    const int top = terminal_.buffer_->yBase();
    const bool alternate = terminal_.isCurrentBufferAlternate();
    deleteKittyPlacements(
        {terminal_.buffer_}, top, top + terminal_.rows, [](const KittyPlacementImage&) { return true; },
        [&](const KittyPlacementRecord& r) {
            return r.isAlternateBuffer == alternate && meets(r.col, r.cols, 0, terminal_.cols - 1)
                && meets(r.row, r.rows, top, int64_t(top) + terminal_.rows - 1);
        });
}

void KittyImages::deletePlacementsByImageId(uint32_t imageId, std::optional<uint32_t> placementId)
{
    deleteKittyPlacements(
        {terminal_.normalBuffer_.get(), terminal_.altBuffer_.get()}, 0, INT_MAX,
        [&](const KittyPlacementImage& image) {
            return image.kittyImageId == imageId && (!placementId || image.kittyPlacementId == placementId);
        },
        [&](const KittyPlacementRecord& r) {
            return r.imageId == imageId && (!placementId || r.placementId == *placementId);
        });
}

void KittyImages::deletePlacementsAtCell(int64_t x, int64_t y, std::optional<int64_t> zIndex)
{
    const int64_t col = cellCoordinate(x) - 1;
    const int64_t row = terminal_.buffer_->yBase() + cellCoordinate(y) - 1;
    const bool alternate = terminal_.isCurrentBufferAlternate();
    deleteKittyPlacements(
        {terminal_.buffer_}, 0, INT_MAX,
        [&](const KittyPlacementImage& image) {
            return spans(image.kittyCol, image.kittyCols, col) && spans(image.kittyRow, image.kittyRows, row) &&
                (!zIndex || image.kittyZIndex == *zIndex);
        },
        [&](const KittyPlacementRecord& r) {
            return r.isAlternateBuffer == alternate && spans(r.col, r.cols, col) && spans(r.row, r.rows, row) &&
                (!zIndex || r.zIndex == *zIndex);
        });
}

void KittyImages::deletePlacementsInColumn(int64_t x)
{
    const int64_t col = cellCoordinate(x) - 1;
    const bool alternate = terminal_.isCurrentBufferAlternate();
    deleteKittyPlacements(
        {terminal_.buffer_}, 0, INT_MAX,
        [&](const KittyPlacementImage& image) { return spans(image.kittyCol, image.kittyCols, col); },
        [&](const KittyPlacementRecord& r) { return r.isAlternateBuffer == alternate && spans(r.col, r.cols, col); });
}

void KittyImages::deletePlacementsInRow(int64_t y)
{
    const int64_t row = terminal_.buffer_->yBase() + cellCoordinate(y) - 1;
    const bool alternate = terminal_.isCurrentBufferAlternate();
    deleteKittyPlacements(
        {terminal_.buffer_}, 0, INT_MAX,
        [&](const KittyPlacementImage& image) { return spans(image.kittyRow, image.kittyRows, row); },
        [&](const KittyPlacementRecord& r) { return r.isAlternateBuffer == alternate && spans(r.row, r.rows, row); });
}

void KittyImages::deletePlacementsWithZIndex(int64_t zIndex)
{
    deleteKittyPlacements(
        {terminal_.normalBuffer_.get(), terminal_.altBuffer_.get()}, 0, INT_MAX,
        [&](const KittyPlacementImage& image) { return image.kittyZIndex == zIndex; },
        [&](const KittyPlacementRecord& r) { return r.zIndex == zIndex; });
}

void KittyImages::deletePlacementsByImageIdRange(uint32_t minId, uint32_t maxId)
{
    deleteKittyPlacements(
        {terminal_.normalBuffer_.get(), terminal_.altBuffer_.get()}, 0, INT_MAX,
        [&](const KittyPlacementImage& image) {
            return image.kittyImageId && *image.kittyImageId >= minId && *image.kittyImageId <= maxId;
        },
        [&](const KittyPlacementRecord& r) { return r.imageId >= minId && r.imageId <= maxId; });
}

void KittyImages::deleteKittyPlacements(std::initializer_list<Buffer*> buffers, int firstLine, int endLine,
                                     const KittyImageTest& image, const KittyRecordTest& record)
{
    for (Buffer* b : buffers) removeKittyPlacements(*b, firstLine, endLine, image);
    // Every image of a deleted record goes, also those the line pass did not reach: a placement
    // reaching above the screen loses its rows in the scroll-back too, not only those shown.
    const std::unordered_set<KittyPlacementKey> records = removePlacementRecords(record);
    if (!records.empty()) removeKittyPlacementsByKey(records);
}

std::unordered_set<KittyPlacementKey> KittyImages::removeKittyPlacements(Buffer& b, int firstLine, int endLine,
                                                                      const KittyImageTest& test)
{
    const int first = std::max(firstLine, 0);
    const int end = std::min(endLine, b.lines().count());
    if (first >= end) return {};
    // `test` reads the images' rectangles: they are brought up to where their lines are now.
    const std::vector<int> withImages = kittyLineRows(b, std::nullopt, first, end, SIZE_MAX, true);
    return kittyPlacementKeys(takeLineImages(b, withImages, [&](const TerminalImage& image) {
        const auto* kitty = dynamic_cast<const KittyPlacementImage*>(&image);
        return kitty && kitty->kittyIsKitty && test(*kitty);
    }));
}

std::unordered_set<KittyPlacementKey> KittyImages::removePlacementRecords(const KittyRecordTest& test)
{
    auto& placements = state_.placementsByKey;
    std::unordered_set<KittyPlacementKey> keys;
    for (const auto& [key, record] : placements) {
        if (test(record)) keys.insert(key);
    }
    for (const KittyPlacementKey& key : keys) placements.erase(key);
    return keys;
}

std::unordered_set<KittyPlacementKey>
KittyImages::removeKittyPlacementsByKey(const std::unordered_set<KittyPlacementKey>& keys)
{
    std::unordered_set<KittyPlacementKey> removed;
    for (Buffer* b : {terminal_.normalBuffer_.get(), terminal_.altBuffer_.get()}) {
        std::vector<int> withKeys;
        for (const KittyPlacementKey& key : keys) {
            const std::vector<int> found = kittyLineRows(*b, key, 0, b->lines().count());
            withKeys.insert(withKeys.end(), found.begin(), found.end());
        }
        std::sort(withKeys.begin(), withKeys.end());
        withKeys.erase(std::unique(withKeys.begin(), withKeys.end()), withKeys.end());
        removed.merge(kittyPlacementKeys(takeLineImages(*b, withKeys, [&](const TerminalImage& image) {
            const std::optional<KittyPlacementKey> key = kittyLineKey(image);
            return key && keys.contains(*key);
        })));
    }
    return removed;
}

void KittyImages::removeKittyPlacement(uint32_t imageId, uint32_t placementId)
{
    const KittyPlacementKey key{imageId, placementId};
    auto& placements = state_.placementsByKey;
    for (const KittyPlacementKey& removed : removeKittyPlacementsByKey({key})) placements.erase(removed);
    placements.erase(key);
}

} // namespace corvix

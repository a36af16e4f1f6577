// Kitty placements: showing a stored or just-sent image at the cursor (through the delegate, which
// attaches it to lines), virtual placements for Unicode placeholders, placements relative to a
// parent, and where the cursor goes afterwards.
#include "terminal/engine/KittyImages.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPayloadLoader.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace corvix {

namespace {

// Bounds of the placement keys: "c" and "r" in cells, "H", "V" (cells) and "X", "Y" (pixels)
// either way. Sizes feed the host's layout, offsets the position sums.
constexpr int64_t kMaxPlacementCells = 10'000;
constexpr int64_t kMaxPlacementOffset = 10'000;

KittyGraphicsControl withPlacementBounds(KittyGraphicsControl c)
{
    c.columns = std::clamp<int64_t>(c.columns, 0, kMaxPlacementCells);
    c.rows = std::clamp<int64_t>(c.rows, 0, kMaxPlacementCells);
    for (int64_t* offset : {&c.offsetH, &c.offsetV, &c.pixelOffsetX, &c.pixelOffsetY})
        *offset = std::clamp<int64_t>(*offset, -kMaxPlacementOffset, kMaxPlacementOffset);
    return c;
}

int toInt(int64_t value)
{
    return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// Cells covered by `pixels` of cells `cell` pixels wide, truncated, at least 1.
int64_t cellSpan(double pixels, int cell)
{
    return int64_t(std::clamp(std::floor(pixels / cell), 1.0, double(kMaxPlacementCells)));
}

// The rectangle x, y, w, h ("w", "h" 0: to the edge) of a bitmap; nothing when it is empty. The
// whole bitmap is handed back unchanged.
std::optional<RgbaBitmap> crop(RgbaBitmap bitmap, const KittyGraphicsControl& c)
{
    const int64_t width = bitmap.width;
    const int64_t height = bitmap.height;
    const int64_t cx = std::clamp<int64_t>(c.cropX, 0, width);
    const int64_t cy = std::clamp<int64_t>(c.cropY, 0, height);
    const int64_t cw = std::min(c.cropWidth > 0 ? c.cropWidth : width - cx, width - cx);
    const int64_t ch = std::min(c.cropHeight > 0 ? c.cropHeight : height - cy, height - cy);
    if (c.cropX <= 0 && c.cropY <= 0 && cw == width && ch == height) return bitmap;
    if (cw < 1 || ch < 1) return std::nullopt;
    RgbaBitmap out;
    out.width = int(cw);
    out.height = int(ch);
    out.bytes.resize(size_t(cw * ch * 4));
    for (int64_t row = 0; row < ch; row++) {
        std::memcpy(out.bytes.data() + row * cw * 4, bitmap.bytes.data() + ((cy + row) * width + cx) * 4,
                    size_t(cw * 4));
    }
    return out;
}

} // namespace

void KittyImages::handleKittyPut(const KittyGraphicsControl& control)
{
    KittyGraphicsState& s = state_;
    std::optional<uint32_t> imageId;
    std::optional<uint32_t> imageNumber;
    if (control.imageNumber) {
        if (const auto found = s.imageNumbers.find(*control.imageNumber); found != s.imageNumbers.end()) {
            if (updateKittyImageAccess(found->second)) {
                imageId = found->second;
                imageNumber = control.imageNumber;
            }
        }
    }
    if (!imageId && control.imageId && updateKittyImageAccess(*control.imageId)) imageId = control.imageId;
    if (!imageId) {
        sendKittyError(control, "ENOENT: image not found");
        return;
    }
    // A copy, as the delegate may take the pixels it is given; a virtual placement shows nothing yet.
    KittyGraphicsPayload payload =
        control.unicodePlaceholder == 1 ? KittyGraphicsPayload{} : s.imagesById.at(*imageId).payload;
    if (displayKittyImage(std::move(payload), control, imageId, imageNumber))
        sendKittyOk(control, imageId, imageNumber, control.placementId);
}

std::optional<std::pair<int, int>> KittyImages::kittyCellSize()
{
    const auto size = terminal_.tdel ? terminal_.tdel->cellSizeInPixels(terminal_) : std::nullopt;
    if (!size || size->first < 1 || size->second < 1) return std::nullopt;
    return size;
}

std::pair<int, int> KittyImages::kittyPixelOffsets(const KittyGraphicsControl& control)
{
    if (control.pixelOffsetX <= 0 && control.pixelOffsetY <= 0) return {0, 0};
    int64_t x = std::max<int64_t>(control.pixelOffsetX, 0);
    int64_t y = std::max<int64_t>(control.pixelOffsetY, 0);
    // Inside the first cell.
    if (const auto cell = kittyCellSize()) {
        x = std::min<int64_t>(x, cell->first - 1);
        y = std::min<int64_t>(y, cell->second - 1);
    }
    return {int(x), int(y)};
}

bool KittyImages::makeRoomForKittyPlacement(const KittyGraphicsControl& control, KittyPlacementKey key)
{
    auto& placements = state_.placementsByKey;
    if (placements.contains(key) || placements.size() < KittyGraphicsState::kMaxPlacements) return true;
    // Records of normal placements whose images have all left the lines (scrolled out of the
    // ring, erased) show nothing any more.
    std::unordered_set<KittyPlacementKey> shown;
    for (Buffer* b : {terminal_.normalBuffer_.get(), terminal_.altBuffer_.get()}) {
        for (const auto& [shownKey, position] : collectKittyPlacementPositions(*b)) shown.insert(shownKey);
    }
    placements.eraseIf([&](const auto& entry) { return !entry.second.isVirtual && !shown.contains(entry.first); });
    if (placements.size() < KittyGraphicsState::kMaxPlacements) return true;
    sendKittyError(control, "ENOSPC: too many placements");
    return false;
}

bool KittyImages::displayKittyImage(KittyGraphicsPayload payload, const KittyGraphicsControl& command,
                                 std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber)
{
    const KittyGraphicsControl control = withPlacementBounds(command);
    if (control.unicodePlaceholder == 1) return placeVirtualKittyImage(control, imageId);
    Buffer& b = *terminal_.buffer_;

    const ImageSizeRequest width = control.columns > 0
        ? ImageSizeRequest{ImageSizeRequest::Kind::cells, int(control.columns)}
        : ImageSizeRequest{};
    const ImageSizeRequest height = control.rows > 0
        ? ImageSizeRequest{ImageSizeRequest::Kind::cells, int(control.rows)}
        : ImageSizeRequest{};
    const bool preserveAspectRatio = control.columns == 0 || control.rows == 0;

    const KittyPlacementOrigin origin = resolveKittyPlacementOrigin(control);
    if (origin.errorMessage) {
        sendKittyError(control, *origin.errorMessage);
        return false;
    }

    if (control.cropX != 0 || control.cropY != 0 || control.cropWidth != 0 || control.cropHeight != 0) {
        RgbaBitmap bitmap{std::move(payload.bytes), payload.width, payload.height};
        if (payload.kind == KittyGraphicsPayload::Kind::png) {
            auto decoded = KittyPayloadLoader().decodePngToRgba(bitmap.bytes);
            if (!decoded) {
                sendKittyError(control, "ENOTSUP: cannot crop png");
                return false;
            }
            bitmap = std::move(*decoded);
        }
        auto cropped = crop(std::move(bitmap), control);
        if (!cropped) {
            sendKittyError(control, "EINVAL: bad crop");
            return false;
        }
        payload = KittyGraphicsPayload::rgba(std::move(*cropped));
    }

    const std::optional<uint32_t> contextImageId = imageId ? imageId : control.imageId;
    if (contextImageId && control.placementId &&
        !makeRoomForKittyPlacement(control, {*contextImageId, *control.placementId}))
        return false;
    const auto [pixelOffsetX, pixelOffsetY] = kittyPixelOffsets(control);
    kittyPlacementContext_ = KittyPlacementContext{
        contextImageId, imageNumber ? imageNumber : control.imageNumber, control.placementId,
        control.parentImageId, control.parentPlacementId, int(control.offsetH), int(control.offsetV),
        control.zIndex, width, height, preserveAspectRatio, control.cursorPolicy, origin.isRelative,
        pixelOffsetX, pixelOffsetY};
    kittyStripsAttached_ = 0;

    const int savedX = b.x();
    const int savedY = b.y();
    if (imageId && control.placementId) removeKittyPlacement(*imageId, *control.placementId);

    if (origin.col && origin.row) {
        const int64_t screenRow = *origin.row - b.yBase();
        // The parent's row plus "V" may lie anywhere; the image starts on the screen or nowhere.
        if (screenRow < 0 || screenRow >= terminal_.rows) {
            sendKittyError(control, "EINVAL: placement out of range");
            kittyPlacementContext_.reset();
            return false;
        }
        b.setY(int(screenRow));
        b.setX(int(std::clamp<int64_t>(*origin.col, 0, terminal_.cols - 1)));
    }

    const int startCol = b.x();
    const int64_t topRow = int64_t(b.yBase()) + b.y();
    const int trimmedBefore = b.totalLinesTrimmed();
    const std::optional<std::pair<int, int>> imageSize = payload.kind == KittyGraphicsPayload::Kind::png
        ? KittyPayloadLoader().kittyPngPixelSize(payload.bytes)
        : std::optional<std::pair<int, int>>({payload.width, payload.height});
    // The record the host writes follows its lines from the first line feed that scrolls them.
    if (contextImageId && control.placementId) followKittyPlacement({*contextImageId, *control.placementId});
    bool placed = false;
    if (terminal_.tdel) {
        placed = payload.kind == KittyGraphicsPayload::Kind::png
            ? terminal_.tdel->createImage(terminal_, payload.bytes, width, height, preserveAspectRatio)
            : terminal_.tdel->createImageFromBitmap(terminal_, payload.bytes, payload.width, payload.height);
    }
    kittyPlacementContext_.reset();

    if (!placed || origin.isRelative || control.cursorPolicy == 1) {
        // Nothing shown, or the cursor asked to stay: where the command found it.
        b.setX(savedX);
        b.setY(savedY);
        return true;
    }

    // The span in cells: "c" and "r", else worked out from the image's size in pixels.
    std::optional<std::pair<int64_t, int64_t>> span;
    const auto cell = kittyCellSize();
    if (control.columns > 0 && control.rows > 0) {
        span = {control.columns, control.rows};
    } else if (cell && imageSize && imageSize->first > 0 && imageSize->second > 0) {
        const auto [cw, ch] = *cell;
        const double imageWidth = imageSize->first;
        const double imageHeight = imageSize->second;
        double targetWidth = control.columns > 0 ? double(control.columns) * cw : imageWidth;
        double targetHeight = control.rows > 0 ? double(control.rows) * ch : imageHeight;
        if (preserveAspectRatio) {
            const double ratio = imageWidth / imageHeight;
            if (control.rows > 0 && control.columns == 0) targetWidth = ratio * targetHeight;
            if (control.columns > 0 && control.rows == 0) targetHeight = targetWidth / ratio;
        }
        span = {cellSpan(targetWidth + pixelOffsetX, cw), cellSpan(targetHeight + pixelOffsetY, ch)};
    }
    if (!span) return true;

    // Set once, here: the host's line feeds moved the cursor under the image, scrolling the
    // screen as they went. Lines the ring dropped meanwhile moved the image's top line up.
    const int64_t top = topRow - (b.totalLinesTrimmed() - trimmedBefore);
    const int64_t col = startCol + span->first;
    const int64_t row = top + span->second - b.yBase();
    if (col >= 0) b.setX(toInt(col));
    if (row >= 0) b.setY(toInt(row));
    terminal_.cursorCommands_.restrictCursor(true);
    return true;
}

bool KittyImages::placeVirtualKittyImage(const KittyGraphicsControl& control, std::optional<uint32_t> imageId)
{
    KittyGraphicsState& s = state_;
    if (control.parentImageId || control.parentPlacementId) {
        sendKittyError(control, "EINVAL: virtual placement cannot refer to parent");
        return false;
    }
    // An image sent without an id is never stored: nothing can draw it.
    if (!imageId) return true;
    uint32_t placementId = 0;
    if (control.placementId) {
        placementId = *control.placementId;
    } else {
        placementId = std::max<uint32_t>(s.nextPlacementId, 1);
        s.nextPlacementId = placementId + 1; // wraps to 0, which the line above skips
    }
    const KittyPlacementKey key{*imageId, placementId};
    if (!makeRoomForKittyPlacement(control, key)) return false;
    removeKittyPlacement(*imageId, placementId);
    const auto [pixelOffsetX, pixelOffsetY] = kittyPixelOffsets(control);
    const Buffer& b = *terminal_.buffer_;
    KittyPlacementRecord record;
    record.imageId = *imageId;
    record.placementId = placementId;
    record.pixelOffsetX = pixelOffsetX;
    record.pixelOffsetY = pixelOffsetY;
    record.col = b.x();
    record.row = b.yBase() + b.y();
    record.cols = int(control.columns);
    record.rows = int(control.rows);
    record.zIndex = control.zIndex;
    record.isVirtual = true;
    record.isAlternateBuffer = terminal_.isCurrentBufferAlternate();
    s.placementsByKey[key] = record;
    return true;
}

KittyPlacementOrigin KittyImages::resolveKittyPlacementOrigin(const KittyGraphicsControl& control)
{
    if (!control.parentImageId || !control.parentPlacementId) return {};
    const KittyPlacementKey parentKey{*control.parentImageId, *control.parentPlacementId};
    const auto& placements = state_.placementsByKey;
    const auto parent = placements.find(parentKey);
    if (parent == placements.end()) return {std::nullopt, std::nullopt, true, "ENOPARENT: parent placement not found"};
    if (parent->second.isAlternateBuffer != terminal_.isCurrentBufferAlternate())
        return {std::nullopt, std::nullopt, true, "ENOPARENT: parent placement not in current buffer"};
    const KittyPlacementPositions positions = collectKittyPlacementPositions(*terminal_.buffer_);
    KittyPlacementPositions resolved;
    std::unordered_set<KittyPlacementKey> visiting;
    const auto position = resolveKittyPlacementPosition(parentKey, positions, resolved, visiting);
    if (!position) return {std::nullopt, std::nullopt, true, "ENOPARENT: parent placement not found"};
    return {position->col + control.offsetH, position->row + control.offsetV, true, std::nullopt};
}

std::optional<KittyPlacementPosition> KittyImages::resolveKittyPlacementPosition(
    KittyPlacementKey key, const KittyPlacementPositions& positions, KittyPlacementPositions& resolved,
    std::unordered_set<KittyPlacementKey>& visiting)
{
    // Up the chain of parents without recursion (programs make chains as long as they like),
    // then back down it, each placement at its parent's position plus its offsets.
    const auto& placements = state_.placementsByKey;
    std::vector<std::pair<KittyPlacementKey, const KittyPlacementRecord*>> chain;
    std::optional<KittyPlacementPosition> position;
    for (KittyPlacementKey at = key;;) {
        if (const auto known = resolved.find(at); known != resolved.end()) {
            position = known->second;
            break;
        }
        const auto found = placements.find(at);
        // No record, one of the other screen, or a cycle of parents.
        if (found == placements.end() || found->second.isAlternateBuffer != terminal_.isCurrentBufferAlternate() ||
            visiting.contains(at))
            break;
        const KittyPlacementRecord& record = found->second;
        visiting.insert(at);
        chain.emplace_back(at, &record);
        if (!record.isRelative()) {
            position = KittyPlacementPosition{record.row, record.col};
            if (const auto lies = positions.find(at); !record.isVirtual && lies != positions.end())
                position = lies->second;
            break;
        }
        at = {*record.parentImageId, *record.parentPlacementId};
    }
    for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
        const auto& [at, record] = *link;
        visiting.erase(at);
        if (!position) continue;
        if (record->isRelative())
            position = KittyPlacementPosition{position->row + record->parentOffsetV, position->col + record->parentOffsetH};
        resolved[at] = *position;
    }
    return position;
}

KittyImages::KittyPlacementPositions KittyImages::collectKittyPlacementPositions(Buffer& b)
{
    KittyPlacementPositions positions;
    // Top line first: the first line found for a key is its topmost.
    for (const int row : kittyLineRows(b, std::nullopt, 0, b.lines().count())) {
        for (const std::shared_ptr<TerminalImage>& image : *b.lines()[row].images()) {
            const std::optional<KittyPlacementKey> key = kittyLineKey(*image);
            if (key && key->imageId != 0 && key->placementId != 0)
                positions.try_emplace(*key, KittyPlacementPosition{row, image->col()});
        }
    }
    return positions;
}

} // namespace corvix

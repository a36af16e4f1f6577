// The Kitty image store: transmission, ids for images sent by number, byte accounting, and
// eviction of the least recently used images past the cache limit.
#include "terminal/engine/KittyImages.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPayloadLoader.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <algorithm>
#include <utility>
#include <vector>

namespace corvix {

namespace {

// The largest cache limit the options may set.
constexpr int64_t kMaxCacheLimitBytes = int64_t{1} << 32;

} // namespace

void KittyImages::handleKittyTransmit(const KittyGraphicsControl& control, std::span<const uint8_t> base64Payload,
                                   bool display)
{
    if (control.imageId && control.imageNumber) {
        sendKittyError(control, "EINVAL: i and I are mutually exclusive");
        return;
    }
    KittyPayloadResult loaded = KittyPayloadLoader().loadKittyPayload(control, base64Payload);
    if (!loaded.payload) {
        sendKittyError(control, loaded.error.empty() ? "EINVAL: bad payload" : loaded.error);
        return;
    }
    handleKittyTransmitPayload(control, std::move(*loaded.payload), display);
}

void KittyImages::handleKittyTransmitPayload(const KittyGraphicsControl& control, KittyGraphicsPayload payload,
                                          bool display)
{
    KittyGraphicsState& s = state_;
    if (!control.imageId && !control.imageNumber) {
        // Shown once, never stored, never answered.
        if (display) displayKittyImage(std::move(payload), control, std::nullopt, std::nullopt);
        return;
    }
    uint32_t imageId = 0;
    if (control.imageNumber) {
        // Never 0 (no image), never an id already in use: that image would be replaced.
        imageId = s.nextImageId;
        while (imageId == 0 || s.imagesById.contains(imageId)) imageId++;
        s.nextImageId = imageId + 1;
    } else {
        imageId = *control.imageId;
    }
    if (!display) {
        storeKittyImage(std::move(payload), imageId, control.imageNumber);
        sendKittyOk(control, imageId, control.imageNumber, control.placementId);
        return;
    }
    // The display uses the loaded payload: it shows even when the store let the image go at once.
    storeKittyImage(payload, imageId, control.imageNumber);
    if (displayKittyImage(std::move(payload), control, imageId, control.imageNumber))
        sendKittyOk(control, imageId, control.imageNumber, control.placementId);
}

void KittyImages::storeKittyImage(KittyGraphicsPayload payload, uint32_t imageId, std::optional<uint32_t> imageNumber)
{
    KittyGraphicsState& s = state_;
    const auto byteSize = int64_t(payload.byteSize());
    const uint64_t tick = s.nextImageAccessTick++;
    if (const auto old = s.imagesById.find(imageId); old != s.imagesById.end())
        s.totalImageBytes = std::max<int64_t>(s.totalImageBytes - old->second.byteSize, 0);
    s.imagesById[imageId] = KittyGraphicsImage{std::move(payload), byteSize, tick};
    s.totalImageBytes += byteSize;
    if (imageNumber) s.imageNumbers[*imageNumber] = imageId;
    enforceKittyImageCacheLimit();
}

KittyGraphicsImage* KittyImages::updateKittyImageAccess(uint32_t imageId)
{
    KittyGraphicsState& s = state_;
    const auto found = s.imagesById.find(imageId);
    if (found == s.imagesById.end()) return nullptr;
    found->second.lastAccessTick = s.nextImageAccessTick++;
    return &found->second;
}

void KittyImages::enforceKittyImageCacheLimit()
{
    KittyGraphicsState& s = state_;
    const int64_t limit = std::clamp<int64_t>(terminal_.options.kittyImageCacheLimitBytes, 0, kMaxCacheLimitBytes);
    const auto fits = [&] {
        return s.totalImageBytes <= limit && s.imagesById.size() <= KittyGraphicsState::kMaxImages;
    };
    if (fits()) return;
    const std::unordered_set<uint32_t> used = collectUsedKittyImageIds();
    // Ticks are unique, so the order is total.
    std::vector<std::pair<uint64_t, uint32_t>> byAge;
    byAge.reserve(s.imagesById.size());
    for (const auto& [id, image] : s.imagesById) byAge.emplace_back(image.lastAccessTick, id);
    std::sort(byAge.begin(), byAge.end());
    // Images nothing shows go first; then, still over, the ones on screen lose their stored copy
    // (their line images stay).
    for (const bool takeUsed : {false, true}) {
        for (const auto& [tick, id] : byAge) {
            if (fits()) return;
            const auto found = s.imagesById.find(id);
            if (found == s.imagesById.end() || (!takeUsed && used.contains(id))) continue;
            s.totalImageBytes = std::max<int64_t>(s.totalImageBytes - found->second.byteSize, 0);
            s.imagesById.erase(found);
            removeKittyImageNumbers(id);
        }
    }
}

void KittyImages::cleanupUnusedKittyImages()
{
    KittyGraphicsState& s = state_;
    const std::unordered_set<uint32_t> used = collectUsedKittyImageIds();
    for (auto it = s.imagesById.begin(); it != s.imagesById.end();) {
        if (used.contains(it->first)) {
            ++it;
            continue;
        }
        const uint32_t id = it->first;
        s.totalImageBytes = std::max<int64_t>(s.totalImageBytes - it->second.byteSize, 0);
        it = s.imagesById.erase(it);
        removeKittyImageNumbers(id);
    }
}

std::unordered_set<uint32_t> KittyImages::collectUsedKittyImageIds()
{
    std::unordered_set<uint32_t> used;
    for (Buffer* b : {terminal_.normalBuffer_.get(), terminal_.altBuffer_.get()}) {
        for (const int row : kittyLineRows(*b, std::nullopt, 0, b->lines().count())) {
            for (const std::shared_ptr<TerminalImage>& image : *b->lines()[row].images()) {
                const auto* kitty = dynamic_cast<const KittyPlacementImage*>(image.get());
                if (kitty && kitty->kittyImageId) used.insert(*kitty->kittyImageId);
            }
        }
    }
    for (const auto& [key, record] : state_.placementsByKey) used.insert(record.imageId);
    return used;
}

void KittyImages::removeKittyImageNumbers(uint32_t imageId)
{
    std::erase_if(state_.imageNumbers, [&](const auto& entry) { return entry.second == imageId; });
}

} // namespace corvix

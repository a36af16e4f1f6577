// The Kitty image store: transmission, ids for images sent by number, byte accounting, and
// eviction of the least recently used images past the cache limit.
#include "terminal/engine/KittyImages.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPayloadLoader.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <algorithm>
#include <utility>

namespace corvix {

void KittyImages::handleKittyTransmit(const KittyGraphicsControl& control, bool display,
                                   const std::function<KittyPayloadResult()>& load)
{
    if (control.imageId && control.imageNumber) {
        sendKittyError(control, "EINVAL: i and I are mutually exclusive");
        return;
    }
    KittyPayloadResult loaded = load();
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
    s.imagesById[imageId] = KittyGraphicsImage{std::move(payload), byteSize, tick, s.raiseRevision()};
    s.imageUses->imageTouched(imageId, tick);
    s.totalImageBytes += byteSize;
    if (imageNumber) {
        s.imageNumbers[*imageNumber] = imageId;
        s.numbersByImage[imageId].push_back(*imageNumber);
    }
    enforceKittyImageCacheLimit();
}

KittyGraphicsImage* KittyImages::updateKittyImageAccess(uint32_t imageId)
{
    KittyGraphicsState& s = state_;
    const auto found = s.imagesById.find(imageId);
    if (found == s.imagesById.end()) return nullptr;
    found->second.lastAccessTick = s.nextImageAccessTick++;
    s.imageUses->imageTouched(imageId, found->second.lastAccessTick);
    return &found->second;
}

void KittyImages::enforceKittyImageCacheLimit()
{
    KittyGraphicsState& s = state_;
    const int64_t limit = std::clamp<int64_t>(terminal_.options.kittyImageCacheLimitBytes, 0, kMaxKittyCacheLimitBytes);
    const auto fits = [&] {
        return s.totalImageBytes <= limit && s.imagesById.size() <= KittyGraphicsState::kMaxImages;
    };
    // Images nothing shows go first, least recently used first; then, still over, the ones in
    // use lose their stored copy (their line images stay). The uses are kept as they change, so
    // this looks at no line and only at the images it removes.
    for (const bool unusedOnly : {true, false}) {
        while (!fits()) {
            const std::optional<uint32_t> id = s.imageUses->leastRecent(unusedOnly);
            if (!id) break;
            removeKittyImage(*id);
        }
    }
}

void KittyImages::cleanupUnusedKittyImages()
{
    for (const uint32_t id : state_.imageUses->unusedImages()) removeKittyImage(id);
}

void KittyImages::removeKittyImage(uint32_t imageId)
{
    KittyGraphicsState& s = state_;
    s.imageUses->imageRemoved(imageId);
    const auto found = s.imagesById.find(imageId);
    if (found == s.imagesById.end()) return;
    s.totalImageBytes = std::max<int64_t>(s.totalImageBytes - found->second.byteSize, 0);
    s.imagesById.erase(found);
    s.raiseRevision();
    removeKittyImageNumbers(imageId);
}

void KittyImages::removeKittyImageNumbers(uint32_t imageId)
{
    KittyGraphicsState& s = state_;
    const auto numbers = s.numbersByImage.find(imageId);
    if (numbers == s.numbersByImage.end()) return;
    for (const uint32_t number : numbers->second) {
        if (const auto entry = s.imageNumbers.find(number); entry != s.imageNumbers.end() && entry->second == imageId)
            s.imageNumbers.erase(entry);
    }
    s.numbersByImage.erase(numbers);
}

} // namespace corvix

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

namespace corvix {

class KittyImageUses;

// One line image's use of a stored Kitty image, held by the image for as long as it lives: the
// use ends however the image leaves its line (erased, deleted, scrolled out of the ring, reset).
class KittyImageUse {
public:
    ~KittyImageUse();
    KittyImageUse(const KittyImageUse&) = delete;
    KittyImageUse& operator=(const KittyImageUse&) = delete;

    uint32_t imageId() const { return imageId_; }

private:
    friend class KittyImageUses;
    KittyImageUse(std::shared_ptr<KittyImageUses> uses, uint32_t imageId) : uses_(std::move(uses)), imageId_(imageId) {}

    // Kept alive by its uses, so that a line image may outlive the terminal that counted it.
    std::shared_ptr<KittyImageUses> uses_;
    uint32_t imageId_;
};

// Which stored Kitty images are in use (shown by a line image, or named by a placement record)
// and in which order they were last stored or put, kept up as uses come and go. Eviction takes
// the least recently used image not in use, then any, without looking at the lines.
class KittyImageUses : public std::enable_shared_from_this<KittyImageUses> {
public:
    static std::shared_ptr<KittyImageUses> make() { return std::shared_ptr<KittyImageUses>(new KittyImageUses()); }

    // A use for a line image showing image `imageId` to hold.
    std::shared_ptr<const KittyImageUse> lineUse(uint32_t imageId);
    // A placement record naming `imageId` was added or removed.
    void recordAdded(uint32_t imageId) { add(imageId); }
    void recordRemoved(uint32_t imageId) { remove(imageId); }
    bool used(uint32_t imageId) const { return counts_.contains(imageId); }

    // The store's images: `imageId` was stored or put at `tick` (ticks are unique), or left.
    void imageTouched(uint32_t imageId, uint64_t tick);
    void imageRemoved(uint32_t imageId);
    void imagesCleared();
    // The least recently stored or put image, of those not in use or of all.
    std::optional<uint32_t> leastRecent(bool unusedOnly) const;
    // Every stored image not in use.
    std::vector<uint32_t> unusedImages() const;

private:
    friend class KittyImageUse;
    KittyImageUses() = default;
    void add(uint32_t imageId);
    void remove(uint32_t imageId);

    // Uses per image id, only while above 0.
    std::unordered_map<uint32_t, size_t> counts_;
    // Stored images: their ticks, and (tick, id) of all of them and of those not in use.
    std::unordered_map<uint32_t, uint64_t> ticks_;
    std::set<std::pair<uint64_t, uint32_t>> byTick_;
    std::set<std::pair<uint64_t, uint32_t>> unusedByTick_;
};

} // namespace corvix

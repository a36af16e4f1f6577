#pragma once

#include "terminal/engine/TerminalTypes.hpp"
#include "terminal/graphics/KittyGraphicsPayload.hpp"
#include "terminal/graphics/KittyGraphicsPending.hpp"
#include "terminal/graphics/KittyImageUses.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvix {

// The largest image budget (the store's cache limit) the options may set.
inline constexpr int64_t kMaxKittyCacheLimitBytes = int64_t{1} << 32;

// An image kept in the Kitty store.
struct KittyGraphicsImage {
    KittyGraphicsPayload payload;
    // The payload's byte count: a PNG's encoded length, RGBA's pixel bytes.
    int64_t byteSize = 0;
    // The access clock when the image was last stored or put; the least recent goes first.
    uint64_t lastAccessTick = 0;
    // New each time an image is stored under an id, so that a re-sent image is never taken for
    // the one it replaced (the store's revision at the time).
    uint64_t serial = 0;
};

// Names one placement: its image and its placement id.
struct KittyPlacementKey {
    uint32_t imageId = 0;
    uint32_t placementId = 0;
    friend bool operator==(const KittyPlacementKey&, const KittyPlacementKey&) = default;
};

} // namespace corvix

template <>
struct std::hash<corvix::KittyPlacementKey> {
    size_t operator()(const corvix::KittyPlacementKey& key) const noexcept
    {
        return std::hash<uint64_t>()(uint64_t(key.imageId) << 32 | key.placementId);
    }
};

namespace corvix {

// Where a placement is: its top row (absolute: screen row + yBase) and its left column. Wide
// enough for chains of relative placements, each adding its offsets.
struct KittyPlacementPosition {
    int64_t row = 0;
    int64_t col = 0;
    friend bool operator==(const KittyPlacementPosition&, const KittyPlacementPosition&) = default;
};

// One placement: a virtual one (shown only by placeholder cells) written by the engine, or a
// normal one written by the host when it attaches the image to lines.
struct KittyPlacementRecord {
    uint32_t imageId = 0;
    uint32_t placementId = 0;
    std::optional<uint32_t> parentImageId;
    std::optional<uint32_t> parentPlacementId;
    int parentOffsetH = 0;
    int parentOffsetV = 0;
    int pixelOffsetX = 0;
    int pixelOffsetY = 0;
    int col = 0;
    // Absolute row of the top cell.
    int row = 0;
    // Size in cells; 0 = not given (virtual placements only).
    int cols = 0;
    int rows = 0;
    int64_t zIndex = 0;
    bool isVirtual = false;
    bool isAlternateBuffer = false;

    // Placed relative to a parent placement.
    bool isRelative() const { return parentImageId && parentPlacementId; }
    friend bool operator==(const KittyPlacementRecord&, const KittyPlacementRecord&) = default;
};

// The placement records by key. Each record counts as a use of its image (the key's image id).
// Records are written only through `operator[]` and the mutable `at`, and each write, like each
// removal, raises the store's revision.
class KittyPlacementRecords {
public:
    using Map = std::unordered_map<KittyPlacementKey, KittyPlacementRecord>;
    using const_iterator = Map::const_iterator;

    // `revision` is the owning store's and outlives this object.
    KittyPlacementRecords(std::shared_ptr<KittyImageUses> uses, uint64_t& revision)
        : uses_(std::move(uses)), revision_(revision)
    {
    }
    KittyPlacementRecords(const KittyPlacementRecords&) = delete;
    KittyPlacementRecords& operator=(const KittyPlacementRecords&) = delete;

    KittyPlacementRecord& operator[](const KittyPlacementKey& key)
    {
        const auto [it, added] = map_.try_emplace(key);
        if (added) uses_->recordAdded(key.imageId);
        ++revision_;
        return it->second;
    }
    KittyPlacementRecord& at(const KittyPlacementKey& key)
    {
        KittyPlacementRecord& record = map_.at(key);
        ++revision_;
        return record;
    }
    const KittyPlacementRecord& at(const KittyPlacementKey& key) const { return map_.at(key); }
    const_iterator find(const KittyPlacementKey& key) const { return map_.find(key); }
    bool contains(const KittyPlacementKey& key) const { return map_.contains(key); }
    size_t size() const { return map_.size(); }
    bool empty() const { return map_.empty(); }
    const_iterator begin() const { return map_.begin(); }
    const_iterator end() const { return map_.end(); }

    size_t erase(const KittyPlacementKey& key)
    {
        if (map_.erase(key) == 0) return 0;
        uses_->recordRemoved(key.imageId);
        ++revision_;
        return 1;
    }
    const_iterator erase(const_iterator it)
    {
        uses_->recordRemoved(it->first.imageId);
        ++revision_;
        return map_.erase(it);
    }
    void clear()
    {
        if (map_.empty()) return;
        for (const auto& entry : map_) uses_->recordRemoved(entry.first.imageId);
        map_.clear();
        ++revision_;
    }
    template <typename Test>
    void eraseIf(Test test)
    {
        for (auto it = map_.cbegin(); it != map_.cend();) it = test(*it) ? erase(it) : std::next(it);
    }

private:
    std::shared_ptr<KittyImageUses> uses_;
    uint64_t& revision_;
    Map map_;
};

// State of the Kitty graphics protocol held by a terminal for its whole life: the image store,
// image numbers, placements and a pending chunked transfer.
struct KittyGraphicsState {
    // Bounds on what programs can make the terminal keep besides the bytes the cache limit
    // counts: every image and placement costs memory however small it is.
    static constexpr size_t kMaxImages = 4096;
    static constexpr size_t kMaxPlacements = 4096;

    // What uses each stored image, and the images' order of last use (kept with imagesById).
    std::shared_ptr<KittyImageUses> imageUses = KittyImageUses::make();
    std::unordered_map<uint32_t, KittyGraphicsImage> imagesById;
    // Image number -> the id of the image last sent under it.
    std::unordered_map<uint32_t, uint32_t> imageNumbers;
    // The numbers each image was stored under (some may name a later image since), so that an
    // image's numbers go with it without a look at every number.
    std::unordered_map<uint32_t, std::vector<uint32_t>> numbersByImage;
    // The next id for an image sent by number.
    uint32_t nextImageId = 1;
    // The next id for a virtual placement sent without one.
    uint32_t nextPlacementId = 1;
    // An unfinished chunked transfer.
    std::optional<KittyGraphicsPending> pending;
    // Raised by every change of what the store shows: an image stored, replaced, evicted or
    // deleted, a placement record added, changed or removed. It never goes back, so a drawing
    // made under one value is out of date under any other, even when no count changed.
    uint64_t revision = 0;
    KittyPlacementRecords placementsByKey{imageUses, revision};
    // Sum of the stored images' byte sizes.
    int64_t totalImageBytes = 0;
    uint64_t nextImageAccessTick = 1;

    // Raises the revision; returns the new value.
    uint64_t raiseRevision() { return ++revision; }
};

// What the host reads while it places the image of a normal Kitty placement; the engine holds one
// only for the duration of that call.
struct KittyPlacementContext {
    std::optional<uint32_t> imageId;
    std::optional<uint32_t> imageNumber;
    std::optional<uint32_t> placementId;
    std::optional<uint32_t> parentImageId;
    std::optional<uint32_t> parentPlacementId;
    int parentOffsetH = 0;
    int parentOffsetV = 0;
    int64_t zIndex = 0;
    ImageSizeRequest widthRequest;
    ImageSizeRequest heightRequest;
    bool preserveAspectRatio = false;
    // 0: the cursor moves past the image; 1: it stays.
    int64_t cursorPolicy = 0;
    bool isRelative = false;
    int pixelOffsetX = 0;
    int pixelOffsetY = 0;
};

// Where a relative placement goes: its column and row (absolute), or the error that stops it.
struct KittyPlacementOrigin {
    std::optional<int64_t> col;
    std::optional<int64_t> row;
    bool isRelative = false;
    std::optional<std::string_view> errorMessage;
};

} // namespace corvix

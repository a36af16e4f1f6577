#include "terminal/graphics/KittyImageUses.hpp"

namespace corvix {

KittyImageUse::~KittyImageUse()
{
    uses_->remove(imageId_);
}

std::shared_ptr<const KittyImageUse> KittyImageUses::lineUse(uint32_t imageId)
{
    add(imageId);
    return std::shared_ptr<const KittyImageUse>(new KittyImageUse(shared_from_this(), imageId));
}

void KittyImageUses::add(uint32_t imageId)
{
    if (counts_[imageId]++ > 0) return;
    if (const auto tick = ticks_.find(imageId); tick != ticks_.end()) unusedByTick_.erase({tick->second, imageId});
}

void KittyImageUses::remove(uint32_t imageId)
{
    const auto count = counts_.find(imageId);
    if (count == counts_.end()) return;
    if (--count->second > 0) return;
    counts_.erase(count);
    if (const auto tick = ticks_.find(imageId); tick != ticks_.end()) unusedByTick_.insert({tick->second, imageId});
}

void KittyImageUses::imageTouched(uint32_t imageId, uint64_t tick)
{
    imageRemoved(imageId);
    ticks_.emplace(imageId, tick);
    byTick_.insert({tick, imageId});
    if (!used(imageId)) unusedByTick_.insert({tick, imageId});
}

void KittyImageUses::imageRemoved(uint32_t imageId)
{
    const auto tick = ticks_.find(imageId);
    if (tick == ticks_.end()) return;
    byTick_.erase({tick->second, imageId});
    unusedByTick_.erase({tick->second, imageId});
    ticks_.erase(tick);
}

void KittyImageUses::imagesCleared()
{
    ticks_.clear();
    byTick_.clear();
    unusedByTick_.clear();
}

std::optional<uint32_t> KittyImageUses::leastRecent(bool unusedOnly) const
{
    const auto& order = unusedOnly ? unusedByTick_ : byTick_;
    if (order.empty()) return std::nullopt;
    return order.begin()->second;
}

std::vector<uint32_t> KittyImageUses::unusedImages() const
{
    std::vector<uint32_t> ids;
    ids.reserve(unusedByTick_.size());
    for (const auto& [tick, id] : unusedByTick_) ids.push_back(id);
    return ids;
}

} // namespace corvix

#include "terminal/screen/LineImageBudget.hpp"

#include <algorithm>

namespace corvix {

LineImageCharge::~LineImageCharge()
{
    budget_->release(*this);
}

std::shared_ptr<LineImageCharge> LineImageBudget::charge(int64_t bytes)
{
    bytes = std::max<int64_t>(bytes, 0);
    std::shared_ptr<LineImageCharge> charge(new LineImageCharge(shared_from_this(), nextOrder_++, bytes));
    live_.emplace(charge->order_, charge.get());
    totalBytes_ += bytes;
    return charge;
}

std::unordered_set<const LineImageCharge*> LineImageBudget::evictOverBudget(const LineImageCharge* keep)
{
    std::unordered_set<const LineImageCharge*> evicted;
    for (auto it = live_.begin(); it != live_.end() && totalBytes_ > kBudgetBytes;) {
        if (it->second == keep) {
            ++it;
            continue;
        }
        totalBytes_ -= it->second->bytes_;
        evicted.insert(it->second);
        it = live_.erase(it);
    }
    return evicted;
}

void LineImageBudget::release(const LineImageCharge& charge)
{
    // An evicted charge was taken out of the count already.
    if (live_.erase(charge.order_) > 0) totalBytes_ -= charge.bytes_;
}

} // namespace corvix

#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_set>

namespace corvix {

class LineImageBudget;

// The bytes of one decoded image that line images show. The strips of one image share one
// charge; the budget gets the bytes back when the last strip lets go of it, whichever way the
// strip left its line (deleted, erased, reset, recycled by the ring), or when the budget evicts it.
class LineImageCharge {
public:
    ~LineImageCharge();
    LineImageCharge(const LineImageCharge&) = delete;
    LineImageCharge& operator=(const LineImageCharge&) = delete;

    int64_t bytes() const { return bytes_; }

private:
    friend class LineImageBudget;
    LineImageCharge(std::shared_ptr<LineImageBudget> budget, uint64_t order, int64_t bytes)
        : budget_(std::move(budget)), order_(order), bytes_(bytes)
    {
    }

    // Kept alive by its charges, so a strip may outlive the terminal that counted it.
    std::shared_ptr<LineImageBudget> budget_;
    uint64_t order_;
    int64_t bytes_;
};

// A terminal's count of the bytes of the images on its lines (every protocol's), held to a
// budget of its own, apart from the Kitty image store's cache limit: programs can place an image
// again and again, and scroll-back keeps every copy.
class LineImageBudget : public std::enable_shared_from_this<LineImageBudget> {
public:
    static constexpr int64_t kBudgetBytes = int64_t{320} << 20;

    static std::shared_ptr<LineImageBudget> make() { return std::shared_ptr<LineImageBudget>(new LineImageBudget()); }

    // Counts `bytes` (negative counts as 0) until the charge goes or is evicted.
    std::shared_ptr<LineImageCharge> charge(int64_t bytes);
    // Takes the oldest charges out of the count, `keep` never, until the total fits the budget;
    // returns them so that the caller removes their images from the lines.
    std::unordered_set<const LineImageCharge*> evictOverBudget(const LineImageCharge* keep);

    int64_t totalBytes() const { return totalBytes_; }
    size_t chargeCount() const { return live_.size(); }

private:
    friend class LineImageCharge;
    LineImageBudget() = default;
    void release(const LineImageCharge& charge);

    int64_t totalBytes_ = 0;
    uint64_t nextOrder_ = 0;
    // Counted charges, oldest first.
    std::map<uint64_t, const LineImageCharge*> live_;
};

} // namespace corvix

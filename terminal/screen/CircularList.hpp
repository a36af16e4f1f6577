#pragma once

#include "terminal/screen/Log.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace corvix {

// A fixed-capacity ring of plain values: logical index 0 is the oldest kept, and pushing onto a
// full ring drops it. Missing values come from `makeEmpty` (called with the slot number).
template <typename T>
class CircularList {
public:
    explicit CircularList(int maxLength) : array_(static_cast<size_t>(maxLength)), maxLength_(maxLength)
    {
        log::check(maxLength >= 0, "CircularList: negative capacity");
    }

    std::function<T(int slot)> makeEmpty;

    int maxLength() const { return maxLength_; }
    int count() const { return count_; }
    void setCount(int k)
    {
        log::check(k >= 0 && k <= maxLength_, "CircularList: count above capacity");
        if (static_cast<size_t>(k) > array_.size()) {
            array_.resize(static_cast<size_t>(k));
        }
        count_ = k;
    }

    T& operator[](int i)
    {
        std::optional<T>& slot = array_[slotOf(i)];
        if (!slot) {
            log::check(static_cast<bool>(makeEmpty), "CircularList: empty slot read without a factory");
            slot = makeEmpty(slotOf(i));
        }
        return *slot;
    }

    void push(T value)
    {
        log::check(!array_.empty(), "CircularList: push on a ring without slots");
        array_[slotOf(count_)] = std::move(value);
        if (count_ < static_cast<int>(array_.size())) {
            setCount(count_ + 1);
        } else {
            startIndex_ = (startIndex_ + 1) % count_;
        }
    }

private:
    int slotOf(int i) const
    {
        log::check(i >= 0 && !array_.empty(), "CircularList: negative index or no slots");
        return static_cast<int>((startIndex_ + i) % static_cast<int64_t>(array_.size()));
    }

    std::vector<std::optional<T>> array_;
    int64_t startIndex_ = 0;
    int count_ = 0;
    int maxLength_;
};

} // namespace corvix

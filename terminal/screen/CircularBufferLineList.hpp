#pragma once

#include "terminal/screen/BufferLine.hpp"
#include "terminal/screen/Log.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace corvix {

// The fixed-capacity ring of one buffer's lines (scroll-back plus screen); logical index 0 is the
// oldest line kept. Scrolling a full ring moves `startIndex` instead of copying lines, and
// `recycle` reuses the oldest line object in place.
//
// Slots hold `std::shared_ptr<BufferLine>`: `shiftElements` and `splice` copy slots as references,
// so a line may sit in two slots until the caller overwrites the vacated one. Cell access goes
// through `operator[]`, which returns a plain reference and costs no reference counting.
class CircularBufferLineList {
public:
    using LinePtr = std::shared_ptr<BufferLine>;

    explicit CircularBufferLineList(int maxLength);
    CircularBufferLineList(CircularBufferLineList&&) = default;
    CircularBufferLineList& operator=(CircularBufferLineList&&) = default;

    // Makes the line of an empty slot on first read (called with the slot number).
    std::function<LinePtr(int slot)> makeEmpty;
    // Told whether the line cleared by `recycle` had an image list.
    std::function<void(bool hadImages)> onLineRecycled;
    // Told whether the pushed line has an image list.
    std::function<void(bool hasImages)> onLinePushed;

    int count() const { return count_; }
    // `k` must not exceed `maxLength()`.
    void setCount(int k);
    int maxLength() const { return static_cast<int>(array_.size()); }
    // Rebuilds the slots, keeping each line at its logical index; `startIndex` becomes 0.
    void setMaxLength(int m);
    // Slot offset of logical index 0, always below the slot count.
    int64_t startIndex() const { return startIndex_; }
    void setStartIndex(int64_t value);

    // The line at logical index `i`, made by `makeEmpty` when its slot is empty.
    BufferLine& operator[](int i) { return *getLine(i); }
    // Inline: the print path looks up its line for every run.
    const LinePtr& getLine(int i)
    {
        LinePtr& slot = array_[slotOf(i)];
        if (!slot) [[unlikely]] {
            return makeEmptyLine(i);
        }
        return slot;
    }
    void set(int i, LinePtr line);

    void push(LinePtr line);
    // Full rings only: clears the oldest line with the attribute and makes it the newest.
    // Allocates nothing when the line holds all its cells or `spare` is big enough.
    void recycle(const Attribute& clearAttribute, BufferLine::CellStorage&& spare = {});
    // Moves lines `start`..<`start`+`count` by `offset`; reports bad arguments and returns false.
    bool shiftElements(int start, int count, int offset);
    // Deletes `deleteCount` lines at `start`, inserts `items` there, drops the oldest lines that
    // no longer fit; `change` is told each logical index whose slot received a different line.
    void splice(int start, int deleteCount, std::span<const LinePtr> items,
                const std::function<void(int index)>& change = {});

private:
    size_t slotOf(int64_t i) const
    {
        log::check(i >= 0 && !array_.empty(), "CircularBufferLineList: negative index or no slots");
        // `startIndex_` is below the slot count, so one subtraction wraps every index in range.
        const auto n = static_cast<int64_t>(array_.size());
        int64_t slot = startIndex_ + i;
        if (slot >= n) {
            slot -= n;
            if (slot >= n) [[unlikely]] {
                slot %= n;
            }
        }
        return static_cast<size_t>(slot);
    }
    const LinePtr& makeEmptyLine(int i);
    // A full ring's oldest line becomes its newest: one step of the start, wrapped by a compare
    // (a division per scrolled line would cost more than the rest of the step).
    void advanceStart()
    {
        if (++startIndex_ == count_) {
            startIndex_ = 0;
        }
    }

    std::vector<LinePtr> array_;
    int64_t startIndex_ = 0;
    int count_ = 0;
};

} // namespace corvix

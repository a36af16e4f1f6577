#include "terminal/screen/CircularBufferLineList.hpp"

#include "terminal/screen/Log.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace corvix {

CircularBufferLineList::CircularBufferLineList(int maxLength)
{
    log::check(maxLength >= 0, "CircularBufferLineList: negative capacity");
    array_.resize(static_cast<size_t>(maxLength));
}

void CircularBufferLineList::setCount(int k)
{
    log::check(k >= 0 && k <= maxLength(), "CircularBufferLineList: count above capacity");
    count_ = k;
}

void CircularBufferLineList::setMaxLength(int m)
{
    log::check(m >= 0, "CircularBufferLineList: negative capacity");
    if (m == maxLength()) {
        return;
    }
    std::vector<LinePtr> slots(static_cast<size_t>(m));
    const int kept = std::min(maxLength(), m);
    for (int i = 0; i < kept; ++i) {
        slots[static_cast<size_t>(i)] = std::move(array_[slotOf(i)]);
    }
    array_ = std::move(slots);
    startIndex_ = 0;
}

void CircularBufferLineList::setStartIndex(int64_t value)
{
    log::check(value >= 0 && !array_.empty(), "CircularBufferLineList: bad start index");
    startIndex_ = value % static_cast<int64_t>(array_.size());
}

const CircularBufferLineList::LinePtr& CircularBufferLineList::makeEmptyLine(int i)
{
    LinePtr& slot = array_[slotOf(i)];
    log::check(static_cast<bool>(makeEmpty), "CircularBufferLineList: empty slot read without a factory");
    slot = makeEmpty(static_cast<int>(slotOf(i)));
    return slot;
}

void CircularBufferLineList::set(int i, LinePtr line)
{
    array_[slotOf(i)] = std::move(line);
}

void CircularBufferLineList::push(LinePtr line)
{
    log::check(!array_.empty(), "CircularBufferLineList: push on a ring without slots");
    const bool hasImages = line && line->images().has_value();
    array_[slotOf(count_)] = std::move(line);
    if (count_ < maxLength()) {
        setCount(count_ + 1);
    } else {
        advanceStart();
    }
    if (onLinePushed) {
        onLinePushed(hasImages);
    }
}

void CircularBufferLineList::recycle(const Attribute& clearAttribute, BufferLine::CellStorage&& spare)
{
    log::check(count_ == maxLength() && !array_.empty(), "CircularBufferLineList: recycle on a ring that is not full");
    const size_t slot = slotOf(count_); // the oldest line's slot, since the ring is full
    advanceStart();
    bool had = false;
    if (BufferLine* line = array_[slot].get()) {
        had = line->images().has_value();
        line->clear(clearAttribute, std::move(spare));
    }
    if (onLineRecycled) {
        onLineRecycled(had);
    }
}

bool CircularBufferLineList::shiftElements(int start, int count, int offset)
{
    const char* reason = nullptr;
    if (count < 0) {
        reason = "count < 0";
    } else if (start < 0) {
        reason = "start < 0";
    } else if (start >= count_) {
        reason = "start >= self.count";
    } else if (start + offset <= 0) {
        reason = "start+offset <= 0";
    }
    if (reason) {
        log::write(log::Category::screen, log::Level::warning,
                   "Assertion at start=" + std::to_string(start) + " count=" + std::to_string(count)
                       + " offset=" + std::to_string(offset) + ": " + reason);
        return false;
    }
    if (offset > 0) {
        const int64_t n = maxLength();
        if (count + offset > n) {
            // Moving down, the block's own tail wraps round onto slots of lines not yet moved;
            // take the block aside first so no line is read after it was overwritten.
            std::vector<LinePtr> block(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                block[static_cast<size_t>(i)] = array_[slotOf(start + i)];
            }
            for (int i = count - 1; i >= 0; --i) {
                array_[slotOf(int64_t{start} + i + offset)] = std::move(block[static_cast<size_t>(i)]);
            }
        } else {
            for (int i = count - 1; i >= 0; --i) {
                array_[slotOf(int64_t{start} + i + offset)] = array_[slotOf(start + i)];
            }
        }
        const int64_t end = int64_t{start} + count + offset;
        if (end > count_) {
            if (end > n) {
                startIndex_ = (startIndex_ + (end - n)) % n;
                count_ = static_cast<int>(n);
            } else {
                count_ = static_cast<int>(end);
            }
        }
    } else {
        for (int i = 0; i < count; ++i) {
            array_[slotOf(start + i + offset)] = array_[slotOf(start + i)];
        }
    }
    return true;
}

void CircularBufferLineList::splice(int start, int deleteCount, std::span<const LinePtr> items,
                                    const std::function<void(int index)>& change)
{
    log::check(start >= 0 && deleteCount >= 0 && !array_.empty(), "CircularBufferLineList.splice: bad arguments");
    auto changed = [&change](int64_t index) {
        if (change) {
            change(static_cast<int>(index));
        }
    };
    if (deleteCount >= 1) {
        log::check(deleteCount <= count_, "CircularBufferLineList.splice: deleting more lines than held");
        for (int i = start; i < count_ - deleteCount; ++i) {
            array_[slotOf(i)] = array_[slotOf(i + deleteCount)];
            changed(i);
        }
        count_ -= deleteCount;
    }
    const int64_t k = static_cast<int64_t>(items.size());
    const int64_t n = maxLength();
    const int64_t overflow = count_ + k - n; // lines dropped at the top, when positive
    if (overflow > start) {
        // The insertion point lies among the lines that are dropped: moving the tail in place
        // would overwrite lines before they are read, and the first items fall off the top.
        std::vector<LinePtr> tail;
        for (int i = start; i < count_; ++i) {
            tail.push_back(array_[slotOf(i)]);
        }
        for (int64_t i = count_ - 1; i >= start; --i) {
            array_[slotOf(i + k)] = std::move(tail[static_cast<size_t>(i - start)]);
            changed(i + k);
        }
        for (int64_t i = overflow - start; i < k; ++i) {
            array_[slotOf(start + i)] = items[static_cast<size_t>(i)];
            changed(start + i);
        }
    } else {
        for (int64_t i = count_ - 1; i >= start; --i) {
            array_[slotOf(i + k)] = array_[slotOf(i)];
            changed(i + k);
        }
        for (int64_t i = 0; i < k; ++i) {
            array_[slotOf(start + i)] = items[static_cast<size_t>(i)];
            changed(start + i);
        }
    }
    if (overflow > 0) {
        startIndex_ = (startIndex_ + overflow) % n;
        count_ = static_cast<int>(n);
    } else {
        count_ += static_cast<int>(k);
    }
}

} // namespace corvix

#include "terminal/screen/BufferLine.hpp"

#include "terminal/screen/Serial.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace corvix {

namespace {

std::unique_ptr<CharData[]> allocateCells(int n)
{
    return std::make_unique_for_overwrite<CharData[]>(static_cast<size_t>(n));
}

} // namespace

BufferLine::BufferLine(int cols, const std::optional<CharData>& fillData, bool isWrapped,
                       const BidiPresentationState& bidiState)
    : serial_(nextSerial())
    , isWrapped_(isWrapped)
    , bidiState_(bidiState)
    , fillCharacter_(fillData.value_or(CharData::Null))
{
    log::check(cols >= 0, "BufferLine: negative column count");
    data_ = allocateCells(cols);
    capacity_ = cols;
    count_ = cols;
    std::fill_n(data_.get(), cols, fillCharacter_);
}

BufferLine::BufferLine(const BufferLine& other)
    : serial_(nextSerial())
    , isWrapped_(other.isWrapped_)
    , bidiState_(other.bidiState_)
    , renderMode_(other.renderMode_)
    , data_(allocateCells(other.count_))
    , capacity_(other.count_)
    , count_(other.count_)
    , fillCharacter_(other.fillCharacter_)
    , images_(other.images_)
{
    std::copy_n(other.data_.get(), count_, data_.get());
}

void BufferLine::setIsWrapped(bool value)
{
    isWrapped_ = value;
    ++generation_;
}

void BufferLine::setBidiState(const BidiPresentationState& value)
{
    bidiState_ = value;
    ++generation_;
}

void BufferLine::setImages(std::optional<ImageList> images)
{
    images_ = std::move(images);
    ++generation_;
}

void BufferLine::attach(std::shared_ptr<TerminalImage> image)
{
    if (!images_) {
        images_.emplace();
    }
    images_->push_back(std::move(image));
    ++generation_;
}

int BufferLine::getTrimmedLength() const
{
    for (int c = count_ - 1; c >= 0; --c) {
        if (data_[c].code != 0) {
            return c + data_[c].width;
        }
    }
    return 0;
}

bool BufferLine::hasContent(int index) const
{
    const CharData& cell = (*this)[index];
    return cell.code != 0 || cell.attribute != Attribute{};
}

bool BufferLine::hasAnyContent() const
{
    for (int c = 0; c < count_; ++c) {
        if (hasContent(c)) {
            return true;
        }
    }
    return false;
}

std::string BufferLine::translateToString(bool trimRight, int startCol, int endCol, bool skipNullCellsFollowingWide,
                                          const CharacterProvider& characterProvider) const
{
    int end = endCol == -1 ? count_ : endCol;
    if (trimRight) {
        end = std::min(end, getTrimmedLength());
    }
    end = std::max(end, startCol);
    std::string out;
    for (int col = startCol; col < end; ++col) {
        const CharData& cell = (*this)[col];
        if (skipNullCellsFollowingWide && col >= 1 && cell.code == 0 && (*this)[col - 1].width == 2) {
            continue;
        }
        if (characterProvider) {
            out += characterProvider(cell);
        } else {
            cell.appendCharacter(out);
        }
        if (skipNullCellsFollowingWide && cell.width == 2 && col + 1 < end && (*this)[col + 1].code == 0) {
            ++col;
        }
    }
    return out;
}

std::string BufferLine::debugDescription() const
{
    std::string out;
    for (int c = 0; c < count_; ++c) {
        data_[c].appendCharacter(out);
    }
    return out;
}

CharData& BufferLine::mutableCell(int index)
{
    log::check(index >= 0 && count_ > 0, "BufferLine: negative index or empty line");
    ++generation_;
    if (index >= count_) [[unlikely]] {
        log::write(kOutOfRangeMessage);
        index = count_ - 1;
    }
    return data_[index];
}

void BufferLine::writeAsciiRun(int col, std::span<const uint8_t> bytes, const Attribute& attribute)
{
    if (bytes.empty()) {
        return;
    }
    log::check(col >= 0 && count_ > 0, "BufferLine: negative index or empty line");
    CharData cell;
    cell.attribute = attribute;
    const int n = static_cast<int>(bytes.size());
    const int inRange = std::clamp(count_ - col, 0, n);
    CharData* dst = data_.get() + col;
    for (int i = 0; i < inRange; ++i) {
        cell.code = bytes[i];
        dst[i] = cell;
    }
    if (inRange < n) [[unlikely]] {
        // Every clamped byte lands on the last cell, so only the last one remains; one report.
        log::write(kOutOfRangeMessage);
        cell.code = bytes[n - 1];
        data_[count_ - 1] = cell;
    }
    ++generation_;
}

void BufferLine::replaceCells(int start, int end, const CharData& fillData)
{
    log::check(start >= 0, "BufferLine.replaceCells: negative start");
    const int stop = std::min(end, count_);
    if (start < stop) {
        std::fill(data_.get() + start, data_.get() + stop, fillData);
    }
    ++generation_;
}

void BufferLine::fill(const CharData& cell)
{
    std::fill_n(data_.get(), capacity_, cell);
    ++generation_;
}

void BufferLine::fill(const CharData& cell, int atCol, int len)
{
    log::check(atCol >= 0 && len >= 0 && atCol + len <= capacity_, "BufferLine.fill: range outside the line");
    std::fill_n(data_.get() + atCol, len, cell);
    ++generation_;
}

void BufferLine::clear(const Attribute& attribute)
{
    CharData blank;
    blank.attribute = attribute;
    std::fill_n(data_.get(), capacity_, blank);
    images_.reset();
    generation_ += 2;
}

void BufferLine::insertCells(int pos, int n, int rightMargin, const CharData& fillData)
{
    log::check(n >= 0 && rightMargin < count_ && pos >= 0 && pos <= rightMargin,
               "BufferLine.insertCells: position or margin outside the line");
    const int len = rightMargin + 1;
    if (n < len - pos) {
        std::copy_backward(data_.get() + pos, data_.get() + len - n, data_.get() + len);
        std::fill_n(data_.get() + pos, n, fillData);
    } else {
        std::fill(data_.get() + pos, data_.get() + len, fillData);
    }
    ++generation_;
}

void BufferLine::deleteCells(int pos, int n, int rightMargin, const CharData& fillData)
{
    log::check(n >= 0 && rightMargin < count_ && pos >= 0 && pos <= rightMargin,
               "BufferLine.deleteCells: position or margin outside the line");
    const int len = rightMargin + 1;
    if (n < len - pos) {
        std::copy(data_.get() + pos + n, data_.get() + len, data_.get() + pos);
        std::fill(data_.get() + len - n, data_.get() + len, fillData);
    } else {
        std::fill(data_.get() + pos, data_.get() + len, fillData);
    }
    ++generation_;
}

void BufferLine::copyFrom(const BufferLine& src, int srcCol, int dstCol, int len)
{
    log::check(len >= 0 && srcCol >= 0 && dstCol >= 0 && srcCol + len <= src.capacity_ && dstCol + len <= capacity_,
               "BufferLine.copyFrom: range outside the line");
    // memmove gives the exact result for overlapping ranges within one line in either direction.
    if (len > 0) {
        std::memmove(static_cast<void*>(data_.get() + dstCol), src.data_.get() + srcCol, sizeof(CharData) * len);
    }
    ++generation_;
}

void BufferLine::copyFrom(const BufferLine& line)
{
    if (&line == this) {
        generation_ += 3;
        return;
    }
    if (capacity_ < line.count_) {
        data_ = allocateCells(line.count_);
        capacity_ = line.count_;
    }
    std::copy_n(line.data_.get(), line.count_, data_.get());
    count_ = line.count_;
    setIsWrapped(line.isWrapped_);
    setBidiState(line.bidiState_);
    ++generation_;
}

void BufferLine::resize(int cols, const CharData& fillData)
{
    if (cols == count_) {
        return;
    }
    if (cols <= 0) {
        data_ = allocateCells(0);
        capacity_ = 0;
        count_ = 0;
        ++generation_;
        return;
    }
    auto storage = allocateCells(cols);
    const int kept = std::min(cols, count_);
    std::copy_n(data_.get(), kept, storage.get());
    std::fill(storage.get() + kept, storage.get() + cols, fillData);
    data_ = std::move(storage);
    capacity_ = cols;
    count_ = cols;
    ++generation_;
}

} // namespace corvix

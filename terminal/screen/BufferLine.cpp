#include "terminal/screen/BufferLine.hpp"

#include "terminal/screen/Serial.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <utility>

namespace corvix {

namespace {

std::unique_ptr<CharData[]> allocateCells(int n)
{
    return std::make_unique_for_overwrite<CharData[]>(static_cast<size_t>(n));
}

// A cell as three machine words. Loops store these instead of assigning `CharData`: the compiler
// builds a struct copy byte by byte on the stack and reloads it, a store-forwarding stall per cell.
struct CellWords {
    uint64_t word[3];
};
static_assert(sizeof(CellWords) == sizeof(CharData));

CellWords wordsOf(const CharData& cell)
{
    CellWords words;
    std::memcpy(&words, &cell, sizeof words);
    return words;
}

// Three word stores: the words stay in registers.
void storeCell(CharData* dst, uint64_t word0, uint64_t word1, uint64_t word2)
{
    auto* bytes = reinterpret_cast<unsigned char*>(dst);
    std::memcpy(bytes, &word0, 8);
    std::memcpy(bytes + 8, &word1, 8);
    std::memcpy(bytes + 16, &word2, 8);
}

void fillCells(CharData* dst, int n, const CharData& cell)
{
    const CellWords words = wordsOf(cell);
    for (int i = 0; i < n; ++i) {
        storeCell(dst + i, words.word[0], words.word[1], words.word[2]);
    }
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
    fillCells(data_.get(), cols, fillCharacter_);
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

int BufferLine::clampOutOfRange() const
{
    log::write(kOutOfRangeMessage);
    return count_ - 1;
}

void BufferLine::writeAsciiRun(int col, std::span<const uint8_t> bytes, const Attribute& attribute)
{
    if (bytes.empty()) {
        return;
    }
    log::check(col >= 0 && count_ > 0, "BufferLine: negative index or empty line");
    const int n = static_cast<int>(bytes.size());
    const int inRange = std::clamp(count_ - col, 0, n);
    CharData* dst = data_.get() + col;
    // The words of a cell with code 0, width 1, no payload and the attribute, built in registers
    // (a `CharData` built on the stack and reloaded as words stalls). The code is the low half
    // of the first word; the attribute fills the last 15 bytes, after the unused byte.
    static_assert(offsetof(CharData, code) == 0 && offsetof(CharData, width) == 4 && offsetof(CharData, unused) == 8
                  && offsetof(CharData, attribute) == 9 && sizeof(Attribute) == 15
                  && std::endian::native == std::endian::little);
    const uint64_t head = uint64_t{1} << 32;
    // Bytes 0-6 as two overlapping 4-byte loads: a 7-byte copy goes through the stack.
    const auto* attributeBytes = reinterpret_cast<const unsigned char*>(&attribute);
    uint32_t first = 0;
    uint32_t middle = 0;
    uint64_t attributeHigh = 0;
    std::memcpy(&first, attributeBytes, 4);
    std::memcpy(&middle, attributeBytes + 3, 4);
    std::memcpy(&attributeHigh, attributeBytes + 7, 8);
    const uint64_t attributeLow = (uint64_t{first} | (uint64_t{middle} << 24)) << 8;
    for (int i = 0; i < inRange; ++i) {
        storeCell(dst + i, head | bytes[i], attributeLow, attributeHigh);
    }
    if (inRange < n) [[unlikely]] {
        // Every clamped byte lands on the last cell, so only the last one remains; one report.
        log::write(kOutOfRangeMessage);
        storeCell(data_.get() + count_ - 1, head | bytes[n - 1], attributeLow, attributeHigh);
    }
    ++generation_;
}

void BufferLine::replaceCells(int start, int end, const CharData& fillData)
{
    log::check(start >= 0, "BufferLine.replaceCells: negative start");
    const int stop = std::min(end, count_);
    if (start < stop) {
        fillCells(data_.get() + start, stop - start, fillData);
    }
    ++generation_;
}

void BufferLine::fill(const CharData& cell)
{
    fillCells(data_.get(), capacity_, cell);
    ++generation_;
}

void BufferLine::fill(const CharData& cell, int atCol, int len)
{
    log::check(atCol >= 0 && len >= 0 && atCol + len <= capacity_, "BufferLine.fill: range outside the line");
    fillCells(data_.get() + atCol, len, cell);
    ++generation_;
}

void BufferLine::clear(const Attribute& attribute)
{
    CharData blank;
    blank.attribute = attribute;
    fillCells(data_.get(), capacity_, blank);
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
        fillCells(data_.get() + pos, n, fillData);
    } else {
        fillCells(data_.get() + pos, len - pos, fillData);
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
        fillCells(data_.get() + len - n, n, fillData);
    } else {
        fillCells(data_.get() + pos, len - pos, fillData);
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
    fillCells(storage.get() + kept, cols - kept, fillData);
    data_ = std::move(storage);
    capacity_ = cols;
    count_ = cols;
    ++generation_;
}

} // namespace corvix

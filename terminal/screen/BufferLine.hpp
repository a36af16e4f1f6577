#pragma once

#include "terminal/screen/BidiPresentationState.hpp"
#include "terminal/screen/CharData.hpp"
#include "terminal/screen/Log.hpp"
#include "terminal/screen/TerminalImage.hpp"

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvix {

// One row of the screen or the scroll-back: one contiguous cell array plus the row's wrap flag,
// bidi state, render mode, images and a change counter. Lines are shared objects (held by
// `std::shared_ptr` in the line ring); renderers key row caches on `serial()` and `generation()`.
class BufferLine {
public:
    enum class RenderLineMode : uint8_t { single, doubleWidth, doubledTop, doubledDown };
    using ImageList = std::vector<std::shared_ptr<TerminalImage>>;
    // Turns a cell into its text (resolving grapheme-cluster keys).
    using CharacterProvider = std::function<std::string(const CharData&)>;

    static constexpr const char* kOutOfRangeMessage =
        "BufferLine: You passed an index out of range, adjusting to prevent crash, but you should debug";

    // `cols` copies of `fillData` (`CharData::Null` when absent).
    explicit BufferLine(int cols, const std::optional<CharData>& fillData = std::nullopt, bool isWrapped = false,
                        const BidiPresentationState& bidiState = BidiPresentationState::defaultState());
    // A copy of `other`'s cells (capacity = its count), flags, render mode, fill cell and image
    // list; a new serial and generation 0.
    explicit BufferLine(const BufferLine& other);
    BufferLine& operator=(const BufferLine&) = delete;

    uint64_t serial() const { return serial_; }
    uint64_t generation() const { return generation_; }

    bool isWrapped() const { return isWrapped_; }
    void setIsWrapped(bool value);
    const BidiPresentationState& bidiState() const { return bidiState_; }
    void setBidiState(const BidiPresentationState& value);
    RenderLineMode renderMode() const { return renderMode_; }
    // Counts as a change: the renderer draws the row differently.
    void setRenderMode(RenderLineMode mode)
    {
        renderMode_ = mode;
        ++generation_;
    }
    const CharData& fillCharacter() const { return fillCharacter_; }

    const std::optional<ImageList>& images() const { return images_; }
    void setImages(std::optional<ImageList> images);
    void attach(std::shared_ptr<TerminalImage> image);

    int count() const { return count_; }
    int capacity() const { return capacity_; }
    // The cells in use, for readers that walk a whole row.
    std::span<const CharData> cells() const { return {data_.get(), static_cast<size_t>(count_)}; }

    // The cell at `index`; an index at or past `count()` reads the last cell.
    const CharData& operator[](int index) const
    {
        log::check(index >= 0 && count_ > 0, "BufferLine: negative index or empty line");
        return data_[index < count_ ? index : count_ - 1];
    }
    int getWidth(int index) const { return (*this)[index].width; }
    std::vector<CharData> getData() const { return {data_.get(), data_.get() + count_}; }
    int getTrimmedLength() const;
    bool hasContent(int index) const;
    bool hasAnyContent() const;
    std::string translateToString(bool trimRight = false, int startCol = 0, int endCol = -1,
                                  bool skipNullCellsFollowingWide = false,
                                  const CharacterProvider& characterProvider = {}) const;
    std::string debugDescription() const;

    // Cell writes. A column at or past `count()` writes the last cell and reports it.
    // Copied field by field: cells are mostly built on the stack just before, and a wide reload
    // of fields written one by one stalls.
    void set(int index, const CharData& cell)
    {
        CharData& dst = mutableCell(index);
        dst.code = cell.code;
        dst.width = cell.width;
        dst.payload = cell.payload;
        dst.unused = cell.unused;
        dst.attribute = cell.attribute;
    }
    // In-place modification of one cell (counts as a write). Inline: every printed cell passes
    // here; the out-of-range report stays out of line.
    CharData& mutableCell(int index)
    {
        log::check(index >= 0 && count_ > 0, "BufferLine: negative index or empty line");
        ++generation_;
        if (index >= count_) [[unlikely]] {
            index = clampOutOfRange();
        }
        return data_[index];
    }
    // Cells `col`..<`col`+bytes become the bytes (width 1, no payload, `attribute`).
    void writeAsciiRun(int col, std::span<const uint8_t> bytes, const Attribute& attribute);
    // The same for one byte, inline: between two sequences the text is often a single letter.
    void writeAsciiCell(int col, uint8_t byte, const Attribute& attribute)
    {
        if (col < 0 || col >= count_) [[unlikely]] {
            writeAsciiRun(col, {&byte, 1}, attribute);
            return;
        }
        // The bytes writeAsciiRun stores: code, width 1, the rest of the first word zero, the
        // unused byte, then the attribute.
        auto* cell = reinterpret_cast<unsigned char*>(data_.get() + col);
        const uint64_t head = (uint64_t{1} << 32) | byte;
        std::memcpy(cell, &head, 8);
        cell[8] = 0;
        std::memcpy(cell + 9, &attribute, sizeof(Attribute));
        ++generation_;
    }

    void replaceCells(int start, int end, const CharData& fillData);
    void fill(const CharData& cell);
    void fill(const CharData& cell, int atCol, int len);
    void clear(const Attribute& attribute);
    void insertCells(int pos, int n, int rightMargin, const CharData& fillData);
    void deleteCells(int pos, int n, int rightMargin, const CharData& fillData);
    void copyFrom(const BufferLine& src, int srcCol, int dstCol, int len);
    void copyFrom(const BufferLine& line);
    void resize(int cols, const CharData& fillData);

private:
    // Reports an index past the end and returns the last cell's.
    [[gnu::cold]] int clampOutOfRange() const;
    uint64_t serial_;
    uint64_t generation_ = 0;
    bool isWrapped_;
    BidiPresentationState bidiState_;
    RenderLineMode renderMode_ = RenderLineMode::single;
    std::unique_ptr<CharData[]> data_;
    int capacity_ = 0;
    int count_ = 0;
    CharData fillCharacter_;
    std::optional<ImageList> images_;
};

} // namespace corvix

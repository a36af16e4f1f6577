#pragma once

#include "terminal/screen/BidiPresentationState.hpp"
#include "terminal/screen/CellArena.hpp"
#include "terminal/screen/CharData.hpp"
#include "terminal/screen/Log.hpp"
#include "terminal/screen/TerminalImage.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
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
//
// A line holds its cells one by one only as far as writes have reached; the columns after them
// read as one tail cell (a new or cleared line holds none, an erase to the end makes the erased
// columns its tail). A line that leaves the screen for a large scroll-back is compacted
// (`Buffer::compactsScrollback`): it keeps storage only for the cells before its trailing run of
// equal cells (blanks, mostly), so stored lines cost memory by their text, not by the terminal's
// width, and where the line uses few attributes it keeps them once and each cell in 8 bytes
// (filling a long scroll-back is bound by the memory it writes). Reads see every column as
// before; the first write to a compacted line expands it.
class BufferLine {
public:
    // Cell arrays are raw memory: every cell is written before it is read, so allocating one
    // writes nothing (`CharData` is an implicit-lifetime aggregate). They come from the heap or,
    // for a compacted line, from its buffer's `CellArena`.
    struct CellsDeleter {
        // Not initialised here (the enclosing class is incomplete); a default `CellArray`
        // value-initialises its deleter, so heap arrays get false.
        bool inArena;
        void operator()(CharData* cells) const
        {
            if (inArena) {
                CellArena::release(cells);
            } else {
                std::free(cells);
            }
        }
    };
    using CellArray = std::unique_ptr<CharData[], CellsDeleter>;
    // A cell array handed from a compacted line to the next line that needs full-width storage,
    // so that scrolling allocates and touches no fresh full-width memory.
    struct CellStorage {
        CellArray cells;
        int capacity = 0;
    };

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
    // The same copy made in `storage` when it holds enough cells.
    BufferLine(const BufferLine& other, CellStorage&& storage);
    BufferLine& operator=(const BufferLine&) = delete;

    uint64_t serial() const { return serial_; }
    uint64_t generation() const { return generation_; }

    bool isWrapped() const { return isWrapped_; }
    // Inline: every scrolled line sets both.
    void setIsWrapped(bool value)
    {
        isWrapped_ = value;
        ++generation_;
    }
    const BidiPresentationState& bidiState() const { return bidiState_; }
    void setBidiState(const BidiPresentationState& value)
    {
        bidiState_ = value;
        ++generation_;
    }
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
    // How many cells are held one by one: all of them, or those before the line's tail.
    // Every column from `heldCellCount()` to `count()` holds `trailingCell()`.
    int heldCellCount() const { return packed_ > 0 ? packed_ : stored_; }
    // The cell of the line's tail columns (meaningful when it holds fewer cells than `count()`).
    const CharData& trailingCell() const { return trailing_; }
    // Holds storage for only the cells before its tail (a compacted line of the scroll-back).
    bool isCompact() const { return capacity_ < count_; }
    // Calls `f` with each held cell, then once with the trailing cell of a compacted line: for
    // readers that ask which values a line holds, not where.
    template <typename F>
    void forEachHeldCell(F&& f) const
    {
        for (int i = 0; i < packed_; ++i) {
            f(packedCell(i));
        }
        for (int i = 0; i < stored_; ++i) {
            f(data_[i]);
        }
        if (stored_ < count_) {
            f(trailing_);
        }
    }
    // Keeps only the cells before the trailing run of cells equal to the last one, when that saves
    // a good part of the line, and returns the storage it let go (empty when it kept it). The
    // kept cells go into `arena` when given, else on the heap. Content and generation stay.
    CellStorage compact(CellArena* arena = nullptr);

    // The cell at `index`; an index at or past `count()` reads the last cell. A value: a
    // compacted line may hold no cell to refer to.
    CharData operator[](int index) const
    {
        log::check(index >= 0 && count_ > 0, "BufferLine: negative index or empty line");
        if (index < stored_) [[likely]] {
            return data_[index];
        }
        if (index < packed_) {
            return packedCell(index);
        }
        return stored_ < count_ ? trailing_ : data_[count_ - 1];
    }
    int getWidth(int index) const { return (*this)[index].width; }
    std::vector<CharData> getData() const;
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
        if (index >= stored_) [[unlikely]] {
            // Expanding a compacted line moves its cells, and `cell` may refer to one of them.
            const CharData copy = cell;
            mutableCell(index) = copy;
            return;
        }
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
        if (index >= stored_) [[unlikely]] {
            index = writablePastStored(index);
        }
        noteWrite(index);
        return data_[index];
    }
    // The cells `col`..<`col`+`count` (within the line) for a run writer to store into directly:
    // a compacted line is expanded first. The writer then reports the end of what it wrote with
    // `endRun`; the run counts as one write.
    CharData* cellsForRun(int col, int count)
    {
        log::check(col >= 0 && count > 0 && col + count <= count_, "BufferLine: run outside the line");
        holdThrough(col);
        ++generation_;
        return data_.get() + col;
    }
    void endRun(int endCol)
    {
        stored_ = std::max(stored_, endCol);
        noteWrite(endCol - 1);
    }
    // Cells `col`..<`col`+bytes become the bytes (width 1, no payload, `attribute`).
    void writeAsciiRun(int col, std::span<const uint8_t> bytes, const Attribute& attribute);
    // The same for one byte, inline: between two sequences the text is often a single letter.
    void writeAsciiCell(int col, uint8_t byte, const Attribute& attribute)
    {
        if (col < 0 || col >= stored_) [[unlikely]] {
            // Text appended right after the held cells extends them in place.
            if (col != stored_ || col >= count_ || capacity_ < count_) {
                writeAsciiRun(col, {&byte, 1}, attribute);
                return;
            }
            ++stored_;
        }
        // The bytes writeAsciiRun stores: code, width 1, the rest of the first word zero, the
        // unused byte, then the attribute.
        auto* cell = reinterpret_cast<unsigned char*>(data_.get() + col);
        const uint64_t head = (uint64_t{1} << 32) | byte;
        std::memcpy(cell, &head, 8);
        cell[8] = 0;
        std::memcpy(cell + 9, &attribute, sizeof(Attribute));
        noteWrite(col);
        ++generation_;
    }

    void replaceCells(int start, int end, const CharData& fillData);
    void fill(const CharData& cell);
    void fill(const CharData& cell, int atCol, int len);
    // Every cell blank with the attribute, no images. A compacted line takes `spare` for its
    // cells when it holds enough of them.
    void clear(const Attribute& attribute, CellStorage&& spare);
    void clear(const Attribute& attribute) { clear(attribute, CellStorage{}); }
    void insertCells(int pos, int n, int rightMargin, const CharData& fillData);
    void deleteCells(int pos, int n, int rightMargin, const CharData& fillData);
    void copyFrom(const BufferLine& src, int srcCol, int dstCol, int len);
    void copyFrom(const BufferLine& line);
    void resize(int cols, const CharData& fillData);

private:
    // Reports an index past the end and returns the last cell's.
    [[gnu::cold]] int clampOutOfRange() const;
    // A write at or past the held cells: expands a compacted line, clamps an index past the end.
    int writablePastStored(int index);
    // A write at `index` ends the known run of equal cells before it.
    void noteWrite(int index)
    {
        if (index >= runStart_) {
            runStart_ = index + 1;
        }
    }
    // Holds the cells before `end` one by one, filling those past the held ones with the tail,
    // in storage for the whole line (a compacted line is expanded whole).
    void holdThrough(int end);
    // Holds every cell one by one again, in `spare` when it is big enough.
    void expand(CellStorage&& spare);
    void expand() { expand(CellStorage{}); }
    // Copies the held cells `from`..<`from`+`n` to `dst` (which may overlap them); by default
    // all of them.
    void copyHeldCells(CharData* dst, int from, int n) const;
    void copyHeldCells(CharData* dst) const { copyHeldCells(dst, 0, heldCellCount()); }
    // A packed line's cells as words: each cell's first word with the index of its attribute
    // words in the padding byte, then the line's distinct attribute words (the 16 bytes after
    // the first word: the unused byte and the attribute).
    static constexpr int kMaxPackedAttributes = 16;
    static constexpr int kPackedIndexShift = 40;
    const unsigned char* packedBytes() const { return reinterpret_cast<const unsigned char*>(data_.get()); }
    CharData packedCell(int index) const
    {
        const unsigned char* bytes = packedBytes();
        uint64_t head;
        std::memcpy(&head, bytes + 8 * size_t(index), 8);
        const size_t entry = (head >> kPackedIndexShift) & 0xff;
        head &= ~(uint64_t{0xff} << kPackedIndexShift);
        CharData cell;
        auto* out = reinterpret_cast<unsigned char*>(&cell);
        std::memcpy(out, &head, 8);
        std::memcpy(out + 8, bytes + 8 * size_t(packed_) + 16 * entry, 16);
        return cell;
    }
    // The first `kept` cells packed, in the arena (or on the heap); nothing when they use more
    // attributes than a packed line keeps.
    CellArray packedCells(int kept, CellArena* arena) const;
    uint64_t serial_;
    uint64_t generation_ = 0;
    bool isWrapped_;
    BidiPresentationState bidiState_;
    RenderLineMode renderMode_ = RenderLineMode::single;
    // Cells held packed in `data_` (then `stored_` is 0 and `capacity_` 0): a compacted line.
    // 16 bits, in what would be padding: the line's size is felt by every scroll.
    uint16_t packed_ = 0;
    CellArray data_;
    int capacity_ = 0;
    int count_ = 0;
    // Cells held in `data_`: `count_`, or fewer, the other columns holding `trailing_`.
    int stored_ = 0;
    CharData trailing_;
    // Every held cell from this column on is a bitwise copy of one value (written by one fill),
    // so finding the trailing run does not walk the blank part of the line. A larger value is
    // always safe.
    int runStart_ = 0;
    CharData fillCharacter_;
    std::optional<ImageList> images_;
};

} // namespace corvix

#include "terminal/screen/BufferLine.hpp"

#include "terminal/screen/Serial.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvix {

namespace {

BufferLine::CellArray allocateBytes(size_t bytes)
{
    auto* cells = static_cast<CharData*>(std::malloc(std::max(bytes, sizeof(CharData))));
    if (!cells) {
        throw std::bad_alloc();
    }
    return BufferLine::CellArray(cells);
}

BufferLine::CellArray allocateCells(int n)
{
    return allocateBytes(sizeof(CharData) * static_cast<size_t>(std::max(n, 1)));
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

// The first word without its padding byte (between `width` and `payload`), which copies of the
// same cell need not share.
static_assert(offsetof(CharData, width) == 4 && offsetof(CharData, payload) == 6 && sizeof(TinyAtom) == 2);
constexpr uint64_t kFirstWordMask = ~(uint64_t{0xff} << 40);

// Bitwise equality of two cells but for the padding byte, which copies of one cell need not
// share; a cell that compares equal only memberwise is not the same. Words loaded one by one into
// registers: a struct copy would go through the stack.
bool sameBits(const CharData& a, const CharData& b)
{
    const auto word = [](const CharData& cell, int w) {
        uint64_t value;
        std::memcpy(&value, reinterpret_cast<const unsigned char*>(&cell) + 8 * w, 8);
        return value;
    };
    return ((word(a, 0) ^ word(b, 0)) & kFirstWordMask) == 0 && word(a, 1) == word(b, 1) && word(a, 2) == word(b, 2);
}

// The 16 bytes after a cell's first word (the unused byte and the attribute), as two words.
struct AttributeWords {
    uint64_t low;
    uint64_t high;
    bool operator==(const AttributeWords&) const = default;
};
AttributeWords attributeWordsOf(const CharData& cell)
{
    AttributeWords words;
    std::memcpy(&words.low, reinterpret_cast<const unsigned char*>(&cell) + 8, 8);
    std::memcpy(&words.high, reinterpret_cast<const unsigned char*>(&cell) + 16, 8);
    return words;
}

#if defined(__SSE2__)
__m128i attributeVectorOf(const CharData& cell)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(reinterpret_cast<const unsigned char*>(&cell) + 8));
}

// Whether the four cells from `cells` all have the attribute words `attribute`.
bool sameAttributeAsAll4(const CharData* cells, __m128i attribute)
{
    const __m128i same = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(attributeVectorOf(cells[0]), attribute),
                                                     _mm_cmpeq_epi8(attributeVectorOf(cells[1]), attribute)),
                                       _mm_and_si128(_mm_cmpeq_epi8(attributeVectorOf(cells[2]), attribute),
                                                     _mm_cmpeq_epi8(attributeVectorOf(cells[3]), attribute)));
    return _mm_movemask_epi8(same) == 0xffff;
}

// Two cells' first words, without the padding byte and with the attribute's index, as one store.
void storeHeads2(unsigned char* out, const CharData* cells, __m128i headMask, __m128i index)
{
    const __m128i heads = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&cells[0])),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&cells[1])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_and_si128(heads, headMask), index));
}
#endif

// The index of `words` among the first `count` entries of `table`, or `count` when absent.
int findAttribute(const AttributeWords* table, int count, const AttributeWords& words)
{
    int i = 0;
    while (i < count && !(table[i] == words)) {
        ++i;
    }
    return i;
}

// Where the run of cells the same as `tail` that ends at `from` starts (a cell kept out of the
// run is kept, never lost).
int trailingRunStart(const CharData* cells, int from, const CharData& tail)
{
    int start = from;
    while (start > 0 && sameBits(cells[start - 1], tail)) {
        --start;
    }
    return start;
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
    trailing_ = fillCharacter_;
}

BufferLine::BufferLine(const BufferLine& other)
    : serial_(nextSerial())
    , isWrapped_(other.isWrapped_)
    , bidiState_(other.bidiState_)
    , renderMode_(other.renderMode_)
    , data_(allocateCells(other.heldCellCount()))
    , capacity_(other.heldCellCount())
    , count_(other.count_)
    , stored_(other.heldCellCount())
    , trailing_(other.trailing_)
    , runStart_(other.runStart_)
    , fillCharacter_(other.fillCharacter_)
    , images_(other.images_)
{
    other.copyHeldCells(data_.get());
}

BufferLine::BufferLine(const BufferLine& other, CellStorage&& storage)
    : serial_(nextSerial())
    , isWrapped_(other.isWrapped_)
    , bidiState_(other.bidiState_)
    , renderMode_(other.renderMode_)
    , count_(other.count_)
    , stored_(other.heldCellCount())
    , trailing_(other.trailing_)
    , runStart_(other.runStart_)
    , fillCharacter_(other.fillCharacter_)
    , images_(other.images_)
{
    if (storage.cells && storage.capacity >= count_) {
        data_ = std::move(storage.cells);
        capacity_ = storage.capacity;
    } else {
        data_ = allocateCells(count_);
        capacity_ = count_;
    }
    other.copyHeldCells(data_.get());
}

void BufferLine::copyHeldCells(CharData* dst, int from, int n) const
{
    if (packed_ > 0) {
        for (int i = 0; i < n; ++i) {
            dst[i] = packedCell(from + i);
        }
    } else if (n > 0) {
        // memmove gives the exact result for overlapping ranges within one line in either direction.
        std::memmove(static_cast<void*>(dst), data_.get() + from, sizeof(CharData) * size_t(n));
    }
}

BufferLine::CellArray BufferLine::packedCells(int kept, CellArena* arena) const
{
    // Room for the most attributes a packed line keeps; the arena takes back what is not used.
    const size_t most = 8 * size_t(kept) + sizeof(AttributeWords) * kMaxPackedAttributes;
    CharData* inArena = arena ? arena->allocate(most) : nullptr;
    CellArray cells = inArena ? CellArray(inArena, CellsDeleter{true}) : allocateBytes(most);
    // Locals throughout: the stores may alias anything, members would be read again per cell.
    auto* out = reinterpret_cast<unsigned char*>(cells.get());
    const CharData* in = data_.get();
    // The distinct attributes in order of first use; neighbours mostly share one.
    AttributeWords table[kMaxPackedAttributes];
    int entries = 0;
    uint64_t index = 0;
    AttributeWords last = attributeWordsOf(in[0]);
    table[entries++] = last;
#if defined(__SSE2__)
    __m128i lastVector = attributeVectorOf(in[0]);
    __m128i indexVector = _mm_setzero_si128();
    const __m128i headMask = _mm_set1_epi64x(int64_t(kFirstWordMask));
#endif
    int i = 0;
    while (i < kept) {
#if defined(__SSE2__)
        // Four cells at a time while they keep the last attribute, as most of a line does.
        while (i + 4 <= kept && sameAttributeAsAll4(in + i, lastVector)) {
            storeHeads2(out, in + i, headMask, indexVector);
            storeHeads2(out + 16, in + i + 2, headMask, indexVector);
            i += 4;
            out += 32;
        }
#endif
        // Then one at a time through the next change of attribute.
        bool changed = false;
        for (; i < kept && !changed; ++i, out += 8) {
            const AttributeWords words = attributeWordsOf(in[i]);
            // One branch for both words: neighbours mostly share the attribute.
            changed = ((words.low ^ last.low) | (words.high ^ last.high)) != 0;
            if (changed) {
                const int found = findAttribute(table, entries, words);
                if (found == entries) {
                    if (entries == kMaxPackedAttributes) {
                        if (inArena) {
                            arena->shrinkLast(inArena, 0);
                        }
                        return {};
                    }
                    table[entries++] = words;
                }
                index = uint64_t(found) << kPackedIndexShift;
                last = words;
#if defined(__SSE2__)
                lastVector = attributeVectorOf(in[i]);
                indexVector = _mm_set1_epi64x(int64_t(index));
#endif
            }
            uint64_t head;
            std::memcpy(&head, &in[i], 8);
            head = (head & kFirstWordMask) | index;
            std::memcpy(out, &head, 8);
        }
    }
    const size_t tableBytes = sizeof(AttributeWords) * size_t(entries);
    std::memcpy(out, table, tableBytes);
    if (inArena) {
        arena->shrinkLast(inArena, 8 * size_t(kept) + tableBytes);
    }
    return cells;
}

BufferLine::CellStorage BufferLine::compact(CellArena* arena)
{
    if (count_ == 0 || capacity_ < count_) {
        return {}; // compacted already
    }
    // Held cells from `runStart_` on are copies of one value: the tail's, or another that ends
    // the run of tail cells at the last held cell.
    const CharData tail = stored_ == count_ ? data_[count_ - 1] : trailing_;
    const int kept = runStart_ < stored_ && !sameBits(data_[stored_ - 1], tail)
                         ? stored_
                         : trailingRunStart(data_.get(), std::min(runStart_, stored_), tail);
    if (kept > 0 && kept <= std::numeric_limits<decltype(packed_)>::max()) {
        if (CellArray cells = packedCells(kept, arena)) {
            CellStorage released{std::exchange(data_, std::move(cells)), capacity_};
            trailing_ = tail;
            capacity_ = 0;
            stored_ = 0;
            packed_ = static_cast<uint16_t>(kept);
            runStart_ = kept;
            return released;
        }
    }
    // Copying most of the line whole to save a little is not worth the copy.
    if (count_ - kept < count_ / 4 || count_ - kept < 4) {
        runStart_ = std::min(runStart_, kept);
        return {};
    }
    const size_t bytes = sizeof(CharData) * static_cast<size_t>(kept);
    CharData* inArena = arena ? arena->allocate(bytes) : nullptr;
    CellArray cells = inArena ? CellArray(inArena, CellsDeleter{true}) : allocateBytes(bytes);
    CellStorage released{std::exchange(data_, std::move(cells)), capacity_};
    trailing_ = tail;
    std::copy_n(released.cells.get(), kept, data_.get());
    capacity_ = kept;
    stored_ = kept;
    runStart_ = kept;
    return released;
}

void BufferLine::expand(CellStorage&& spare)
{
    if (stored_ >= count_) {
        return;
    }
    if (capacity_ >= count_) {
        holdThrough(count_);
        return;
    }
    CellArray cells;
    int capacity = count_;
    if (spare.cells && spare.capacity >= count_) {
        cells = std::move(spare.cells);
        capacity = spare.capacity;
    } else {
        cells = allocateCells(count_);
    }
    const int held = heldCellCount();
    copyHeldCells(cells.get());
    fillCells(cells.get() + held, count_ - held, trailing_);
    data_ = std::move(cells);
    capacity_ = capacity;
    stored_ = count_;
    packed_ = 0;
}

int BufferLine::writablePastStored(int index)
{
    if (index >= count_) {
        expand();
        return clampOutOfRange();
    }
    holdThrough(index + 1);
    return index;
}

void BufferLine::holdThrough(int end)
{
    if (capacity_ < count_) {
        expand(); // a writer may store anywhere in the line
        return;
    }
    if (end <= stored_) {
        return;
    }
    fillCells(data_.get() + stored_, end - stored_, trailing_);
    // The new cells are all the tail's: the run of one value starts at them at the latest.
    runStart_ = std::max(runStart_, stored_);
    stored_ = end;
}

std::vector<CharData> BufferLine::getData() const
{
    std::vector<CharData> cells(static_cast<size_t>(heldCellCount()));
    copyHeldCells(cells.data());
    cells.resize(static_cast<size_t>(count_), trailing_);
    return cells;
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
    if (stored_ < count_ && trailing_.code != 0) {
        return count_ - 1 + trailing_.width;
    }
    for (int c = heldCellCount() - 1; c >= 0; --c) {
        const CharData cell = (*this)[c];
        if (cell.code != 0) {
            return c + cell.width;
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
        (*this)[c].appendCharacter(out);
    }
    return out;
}

int BufferLine::clampOutOfRange() const
{
    log::write(log::Category::screen, log::Level::warning, kOutOfRangeMessage);
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
    if (inRange < n) {
        expand();
    } else {
        holdThrough(col);
    }
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
    int i = 0;
#if defined(__SSE2__)
    // Sixteen cells at a time, as 24 stores of two words each: each pair of cells is [head,
    // low], [high, head], [low, high]. The compiler's own vectorising of the loop below shuffles
    // about twice as much for the same stores.
    const __m128i low = _mm_set1_epi64x(int64_t(attributeLow));
    const __m128i high = _mm_set1_epi64x(int64_t(attributeHigh));
    const __m128i lowHigh = _mm_set_epi64x(int64_t(attributeHigh), int64_t(attributeLow));
    const __m128i widthOne = _mm_set1_epi64x(int64_t(head));
    const __m128i zero = _mm_setzero_si128();
    const auto storePair = [&](CharData* cells, __m128i heads) {
        auto* out = reinterpret_cast<__m128i*>(cells);
        heads = _mm_or_si128(heads, widthOne);
        _mm_storeu_si128(out, _mm_unpacklo_epi64(heads, low));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi64(high, heads));
        _mm_storeu_si128(out + 2, lowHigh);
    };
    const auto storeQuad = [&](CharData* cells, __m128i codes) {
        storePair(cells, _mm_unpacklo_epi32(codes, zero));
        storePair(cells + 2, _mm_unpackhi_epi32(codes, zero));
    };
    const auto store16 = [&](int at) {
        const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + at));
        const __m128i lowHalf = _mm_unpacklo_epi8(text, zero);
        const __m128i highHalf = _mm_unpackhi_epi8(text, zero);
        storeQuad(dst + at, _mm_unpacklo_epi16(lowHalf, zero));
        storeQuad(dst + at + 4, _mm_unpackhi_epi16(lowHalf, zero));
        storeQuad(dst + at + 8, _mm_unpacklo_epi16(highHalf, zero));
        storeQuad(dst + at + 12, _mm_unpackhi_epi16(highHalf, zero));
    };
    for (; i + 16 <= inRange; i += 16) {
        store16(i);
    }
    if (i < inRange && inRange >= 16) {
        // The last sixteen again, ending at the run's end: rewriting a few cells with the same
        // words costs less than finishing cell by cell.
        store16(inRange - 16);
        i = inRange;
    }
#endif
    for (; i < inRange; ++i) {
        storeCell(dst + i, head | bytes[i], attributeLow, attributeHigh);
    }
    stored_ = std::max(stored_, col + inRange);
    noteWrite(col + inRange - 1);
    if (inRange < n) [[unlikely]] {
        // Every clamped byte lands on the last cell, so only the last one remains; one report.
        log::write(log::Category::screen, log::Level::warning, kOutOfRangeMessage);
        storeCell(data_.get() + count_ - 1, head | bytes[n - 1], attributeLow, attributeHigh);
        noteWrite(count_ - 1);
    }
    ++generation_;
}

void BufferLine::replaceCells(int start, int end, const CharData& fillData)
{
    log::check(start >= 0, "BufferLine.replaceCells: negative start");
    const int stop = std::min(end, count_);
    if (start < stop) {
        const CharData fillCell = fillData; // may be a cell that expanding moves
        if (stop == count_ && capacity_ >= count_) {
            // An erase to the end: the erased columns become the line's tail, written by nobody.
            holdThrough(start);
            stored_ = start;
            trailing_ = fillCell;
            runStart_ = std::min(runStart_, start);
        } else {
            expand();
            fillCells(data_.get() + start, stop - start, fillCell);
            if (stop == count_) {
                runStart_ = start;
            } else {
                noteWrite(stop - 1);
            }
        }
    }
    ++generation_;
}

void BufferLine::fill(const CharData& cell)
{
    trailing_ = cell;
    stored_ = 0;
    packed_ = 0;
    runStart_ = 0;
    ++generation_;
}

void BufferLine::fill(const CharData& cell, int atCol, int len)
{
    const CharData fillCell = cell;
    expand();
    log::check(atCol >= 0 && len >= 0 && atCol + len <= capacity_, "BufferLine.fill: range outside the line");
    fillCells(data_.get() + atCol, len, fillCell);
    if (atCol + len >= count_) {
        runStart_ = std::min(atCol, count_);
    } else if (len > 0) {
        noteWrite(atCol + len - 1);
    }
    ++generation_;
}

void BufferLine::clear(const Attribute& attribute, CellStorage&& spare)
{
    // Nothing is written: every column reads as the blank tail until text comes. A compacted
    // line takes full-width storage for that text from `spare` when it is big enough.
    if (capacity_ < count_ && spare.cells && spare.capacity >= count_) {
        data_ = std::move(spare.cells);
        capacity_ = spare.capacity;
    }
    trailing_ = CharData{};
    trailing_.attribute = attribute;
    stored_ = 0;
    packed_ = 0;
    runStart_ = 0;
    images_.reset();
    generation_ += 2;
}

void BufferLine::insertCells(int pos, int n, int rightMargin, const CharData& fillData)
{
    log::check(n >= 0 && rightMargin < count_ && pos >= 0 && pos <= rightMargin,
               "BufferLine.insertCells: position or margin outside the line");
    const CharData fillCell = fillData;
    expand();
    const int len = rightMargin + 1;
    if (n < len - pos) {
        std::copy_backward(data_.get() + pos, data_.get() + len - n, data_.get() + len);
        fillCells(data_.get() + pos, n, fillCell);
    } else {
        fillCells(data_.get() + pos, len - pos, fillCell);
    }
    runStart_ = count_; // not known: found again by a scan
    ++generation_;
}

void BufferLine::deleteCells(int pos, int n, int rightMargin, const CharData& fillData)
{
    log::check(n >= 0 && rightMargin < count_ && pos >= 0 && pos <= rightMargin,
               "BufferLine.deleteCells: position or margin outside the line");
    const CharData fillCell = fillData;
    expand();
    const int len = rightMargin + 1;
    if (n < len - pos) {
        std::copy(data_.get() + pos + n, data_.get() + len, data_.get() + pos);
        fillCells(data_.get() + len - n, n, fillCell);
    } else {
        fillCells(data_.get() + pos, len - pos, fillCell);
    }
    runStart_ = count_; // not known: found again by a scan
    ++generation_;
}

void BufferLine::copyFrom(const BufferLine& src, int srcCol, int dstCol, int len)
{
    expand(); // first: `src` may be this line
    const int srcCells = src.stored_ < src.count_ ? src.count_ : src.capacity_;
    log::check(len >= 0 && srcCol >= 0 && dstCol >= 0 && srcCol + len <= srcCells && dstCol + len <= capacity_,
               "BufferLine.copyFrom: range outside the line");
    if (len > 0) {
        // A compacted source is another line; its trailing columns are copies of one cell.
        const int held = src.stored_ < src.count_ ? std::clamp(src.heldCellCount() - srcCol, 0, len) : len;
        src.copyHeldCells(data_.get() + dstCol, srcCol, held);
        fillCells(data_.get() + dstCol + held, len - held, src.trailing_);
        noteWrite(dstCol + len - 1);
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
    line.copyHeldCells(data_.get());
    trailing_ = line.trailing_;
    count_ = line.count_;
    stored_ = line.heldCellCount();
    packed_ = 0;
    runStart_ = line.runStart_;
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
        stored_ = 0;
        packed_ = 0;
        runStart_ = 0;
        ++generation_;
        return;
    }
    if (stored_ < count_ && (cols < count_ || fillData == trailing_) && cols >= packed_) {
        // A compacted line stays compact: only the number of trailing columns changes.
        count_ = cols;
        stored_ = std::min(stored_, cols);
        runStart_ = heldCellCount();
        ++generation_;
        return;
    }
    auto storage = allocateCells(cols);
    const int kept = std::min(cols, count_);
    const int held = std::min(kept, heldCellCount());
    copyHeldCells(storage.get(), 0, held);
    fillCells(storage.get() + held, kept - held, trailing_);
    fillCells(storage.get() + kept, cols - kept, fillData);
    runStart_ = cols > count_ ? kept : std::min(runStart_, cols);
    data_ = std::move(storage);
    capacity_ = cols;
    count_ = cols;
    stored_ = cols;
    packed_ = 0;
    ++generation_;
}

} // namespace corvix

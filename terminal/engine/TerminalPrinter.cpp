// The print path: runs of printable bytes become cells. Plain ASCII stretches go to the buffer's
// run writer in one call; stretches of characters that each take a cell of their own (most CJK,
// kana, Hangul, box drawing) are written in one pass; everything else is decoded scalar by
// scalar, given its width and clustered with the cell before it (combining marks, variation
// selectors, joiner sequences, flag pairs).
#include "terminal/engine/CharSets.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalPrinter.hpp"
#include "terminal/screen/GraphemeBreakState.hpp"
#include "terminal/screen/TinyAtom.hpp"
#include "terminal/screen/UnicodeProperties.hpp"
#include "terminal/screen/UnicodeUtil.hpp"
#include "terminal/screen/UnicodeWidthData.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvix {

namespace {

constexpr char32_t kZeroWidthJoiner = 0x200D;

bool isRegionalIndicator(char32_t s)
{
    return s >= 0x1F1E6 && s <= 0x1F1FF;
}

// A scalar that always starts a cell of its own: one width (1 or 2), never joins the cell before
// it and never continues a joiner or conjunct sequence (no extender, Extended_Pictographic, grapheme
// class other than Other/LV/LVT, or Indic conjunct class). The print path needs neither the cell
// before it nor anything but its width. Indexed by the low ten bits of the property record, which
// hold exactly those properties: the width, or 0.
const std::array<uint8_t, 1024> kOwnCellWidths = [] {
    std::array<uint8_t, 1024> t{};
    for (uint32_t bits = 0; bits < t.size(); bits++) {
        const UnicodeProperties p{bits};
        const GraphemeBreak gb = p.graphemeBreak();
        const bool own = (p.width() == 1 || p.width() == 2) && !p.isExtender() && !p.isExtendedPictographic() &&
                         (gb == GraphemeBreak::Other || gb == GraphemeBreak::LV || gb == GraphemeBreak::LVT) &&
                         p.indicConjunctBreak() == IndicConjunctBreak::None;
        t[bits] = own ? uint8_t(p.width()) : 0;
    }
    return t;
}();

// The same for a scalar that follows such a character: the cell before it joins nothing, so it
// starts a cell of its own unless it is an extender or a regional indicator (which pairs).
const std::array<uint8_t, 1024> kOwnCellAfterOwnCellWidths = [] {
    std::array<uint8_t, 1024> t{};
    for (uint32_t bits = 0; bits < t.size(); bits++) {
        const UnicodeProperties p{bits};
        const bool own = (p.width() == 1 || p.width() == 2) && !p.isExtender() &&
                         p.graphemeBreak() != GraphemeBreak::RegionalIndicator;
        t[bits] = own ? uint8_t(p.width()) : 0;
    }
    return t;
}();

// `kOwnCellWidths` for every scalar of the BMP, a byte each: one load, where the property record
// takes three dependent look-ups in larger tables. Text touches few of its lines.
using OwnCellWidthMap = std::array<uint8_t, 0x10000>;

OwnCellWidthMap makeOwnCellWidthMap()
{
    OwnCellWidthMap map{};
    for (uint32_t s = 0; s < 0x10000; s++) {
        // Surrogates stay 0: no valid UTF-8 decodes to one, and the run's three-byte loop lets
        // the map reject them.
        if (s >= 0xD800 && s <= 0xDFFF) continue;
        map[s] = kOwnCellWidths[UnicodeProperties::of(s).bits & 0x3FF];
    }
    return map;
}

const OwnCellWidthMap kBmpOwnCellWidths = makeOwnCellWidthMap();

int bmpOwnCellWidth(char32_t s)
{
    return kBmpOwnCellWidths[s];
}

// Cells stored as three words built in registers: a cell built on the stack and copied stalls on
// the reload of its 15-byte attribute. Holds the last two words (the unused byte, then the
// attribute); `store` adds the first (code, width, payload).
struct CellWords {
    uint64_t low;
    uint64_t high;
    explicit CellWords(const Attribute& attribute)
    {
        static_assert(offsetof(CharData, code) == 0 && offsetof(CharData, width) == 4 &&
                      offsetof(CharData, payload) == 6 && offsetof(CharData, unused) == 8 &&
                      offsetof(CharData, attribute) == 9 && sizeof(Attribute) == 15 &&
                      std::endian::native == std::endian::little);
        // Bytes 0-6 as two overlapping 4-byte loads: a 7-byte copy goes through the stack.
        const auto* bytes = reinterpret_cast<const unsigned char*>(&attribute);
        uint32_t first = 0;
        uint32_t middle = 0;
        std::memcpy(&first, bytes, 4);
        std::memcpy(&middle, bytes + 3, 4);
        low = (uint64_t{first} | (uint64_t{middle} << 24)) << 8;
        std::memcpy(&high, bytes + 7, 8);
#if defined(__SSE2__)
        tail = _mm_set_epi64x(int64_t(high), int64_t(low));
#endif
    }
    void store(CharData* cell, int32_t code, int width, TinyAtom payload) const
    {
        const uint64_t head = uint64_t(uint32_t(code)) | (uint64_t(uint8_t(width)) << 32) | (uint64_t(payload.code) << 48);
        auto* bytes = reinterpret_cast<unsigned char*>(cell);
        std::memcpy(bytes, &head, 8);
#if defined(__SSE2__)
        // One store from a vector register: a run's loop then keeps the two words out of the
        // general registers it is short of.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + 8), tail);
#else
        std::memcpy(bytes + 8, &low, 8);
        std::memcpy(bytes + 16, &high, 8);
#endif
    }
#if defined(__SSE2__)
    __m128i tail;
#endif
};

// Length of the UTF-8 sequence a byte starts: 1 for ASCII, 0 for a byte that cannot start one
// (a continuation byte, C0/C1 overlong leads, 0xF5 and above).
constexpr std::array<uint8_t, 256> kSequenceLength = [] {
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 0x80; b++) t[size_t(b)] = 1;
    for (int b = 0xC2; b <= 0xDF; b++) t[size_t(b)] = 2;
    for (int b = 0xE0; b <= 0xEF; b++) t[size_t(b)] = 3;
    for (int b = 0xF0; b <= 0xF4; b++) t[size_t(b)] = 4;
    return t;
}();

// The range a sequence's second byte must lie in, by lead byte, as (low, span): the byte is valid
// when byte - low <= span. The leads E0, ED, F0 and F4 narrow it so that overlong forms,
// surrogates and values past U+10FFFF are invalid from their second byte on. A table, not a
// switch: the lead bytes of mixed text vary from one character to the next.
struct ByteRange {
    uint8_t low;
    uint8_t span;
    bool contains(uint8_t b) const { return uint8_t(b - low) <= span; }
};

constexpr std::array<ByteRange, 256> kSecondByteRange = [] {
    std::array<ByteRange, 256> t{};
    t.fill({0x80, 0x3F});
    t[0xE0] = {0xA0, 0x1F};
    t[0xED] = {0x80, 0x1F};
    t[0xF0] = {0x90, 0x2F};
    t[0xF4] = {0x80, 0x0F};
    return t;
}();

constexpr ByteRange kContinuation{0x80, 0x3F};

// The high bit of each byte of the eight at `bytes` (a little-endian word) that is no printable
// ASCII, exact up to the first such byte (a borrow or carry out of it may mark bytes after it).
// A byte is below 0x20 where subtracting 0x20 wraps, and 0x7F or above where adding 1 reaches
// the high bit.
inline uint64_t nonPrintableAsciiLanes(const uint8_t* bytes)
{
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return ((word - kOnes * 0x20) | (word + kOnes) | word) & (kOnes * 0x80);
}

// Length of the printable-ASCII prefix of `data` after its first byte. Runs of text are long, so
// this looks at 16 bytes at a time: a byte is printable when it lies in 0x20..0x7E.
[[gnu::noinline]] size_t printableAsciiTail(const uint8_t* bytes, size_t length)
{
    size_t i = 1;
#if defined(__SSE2__)
    const __m128i lowest = _mm_set1_epi8(0x20);
    const __m128i highest = _mm_set1_epi8(0x7E);
    while (i + 16 <= length) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        // Unsigned range test through min/max: v is in range where both leave it unchanged.
        const __m128i inRange = _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, lowest), v),
                                              _mm_cmpeq_epi8(_mm_min_epu8(v, highest), v));
        const int mask = ~_mm_movemask_epi8(inRange) & 0xFFFF;
        if (mask != 0) return i + size_t(__builtin_ctz(unsigned(mask)));
        i += 16;
    }
    if (i < length && length >= 16) {
        // The last bytes as one block that overlaps bytes already seen (printable, so they add
        // nothing to the mask), rather than one at a time.
        const size_t last = length - 16;
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + last));
        const __m128i inRange = _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, lowest), v),
                                              _mm_cmpeq_epi8(_mm_min_epu8(v, highest), v));
        const int mask = ~_mm_movemask_epi8(inRange) & 0xFFFF;
        return mask != 0 ? last + size_t(__builtin_ctz(unsigned(mask))) : length;
    }
#endif
    // Shorter runs (most text between two sequences) a word of eight bytes at a time, the last
    // word overlapping bytes already seen.
    if (length >= 9) {
        while (i + 8 <= length) {
            if (const uint64_t mask = nonPrintableAsciiLanes(bytes + i)) return i + size_t(std::countr_zero(mask) / 8);
            i += 8;
        }
        if (i < length) {
            const size_t last = length - 8;
            const uint64_t mask = nonPrintableAsciiLanes(bytes + last);
            return mask != 0 ? last + size_t(std::countr_zero(mask) / 8) : length;
        }
        return i;
    }
    while (i < length && isPrintableAscii(bytes[i])) i++;
    return i;
}

// Length of the printable-ASCII prefix of `data`. Mixed text asks at every non-ASCII character,
// so that answer comes inline, without the vector set-up.
inline size_t printableAsciiPrefix(Terminal::Bytes data)
{
    if (data.empty() || !isPrintableAscii(data[0])) return 0;
    return printableAsciiTail(data.data(), data.size());
}

} // namespace

// ---- Reading buffer ---------------------------------------------------------------------------

void TerminalPrinter::ReadingBuffer::putback(uint8_t b)
{
    // Called with the lead byte just read (idx already past it); keeps it and every unread byte.
    std::array<uint8_t, 4> kept{};
    int n = 0;
    kept[size_t(n++)] = b;
    for (int i = idx; i < count && n < 4; i++) kept[size_t(n++)] = at(i);
    putbackBuffer = kept;
    putbackCount = n;
    idx = count;
    rest = {};
}

void TerminalPrinter::ReadingBuffer::done()
{
    if (idx >= putbackCount) {
        putbackCount = 0;
    } else {
        std::copy(putbackBuffer.begin() + idx, putbackBuffer.begin() + putbackCount, putbackBuffer.begin());
        putbackCount -= idx;
    }
    rest = {};
    idx = 0;
    count = putbackCount;
}

// ---- Printing ---------------------------------------------------------------------------------

// Every print run but a single letter; here, beside the print path, so that the path is inlined
// into it.
void TerminalPrinter::handlePrint(Bytes data)
{
    Terminal& t = terminal_;
    // A run of printable ASCII with nothing put back, the text between two sequences, goes
    // straight to the run writer without the reading buffer.
    if (readingBuffer.putbackCount == 0 && t.plainAscii()) {
        const size_t end = printableAsciiPrefix(data);
        if (end == data.size()) {
            printAsciiRun(data);
            return;
        }
        if (end == 0 && printFromOwnCellRun(data)) return;
    }
    printRun(data);
}

void TerminalPrinter::printAsciiRun(Bytes data)
{
    Terminal& t = terminal_;
    Buffer& b = *t.buffer_;
    const int top = b.y();
    const int placed = b.insertAsciiRun(data, t.curAttr);
    t.updateRange(top);
    if (b.y() != top) t.updateRange(b.y());
    if (size_t(placed) == data.size()) return;
    // The rest, one character at a time, as printRun does it.
    ReadingBuffer& rb = readingBuffer;
    rb.rest = data;
    rb.count = int(data.size());
    rb.idx = placed;
    while (rb.idx < rb.count) printNextCharacter();
    t.updateRange(b.y());
    rb.done();
}

bool TerminalPrinter::printFromOwnCellRun(Bytes data)
{
    const size_t taken = printOwnCellRun(data, 0);
    if (taken == 0) return false;
    // The run never leaves the row: the row marked after it is the one printRun marks before.
    terminal_.updateRange(terminal_.buffer_->y());
    if (taken < data.size()) printRun(data.subspan(taken));
    return true;
}

void TerminalPrinter::printRun(Bytes data)
{
    Terminal& t = terminal_;
    Buffer& b = *t.buffer_;
    ReadingBuffer& rb = readingBuffer;
    const bool plainAscii = t.plainAscii();
    rb.rest = data;
    rb.count = rb.putbackCount + int(data.size());
    rb.idx = 0;
    t.updateRange(b.y());
    while (rb.idx < rb.count) {
        if (plainAscii && rb.idx >= rb.putbackCount) {
            const size_t start = size_t(rb.idx - rb.putbackCount);
            const size_t end = start + printableAsciiPrefix(data.subspan(start));
            if (end > start) {
                int placed = b.insertAsciiRun(data.subspan(start, end - start), t.curAttr);
                rb.idx += placed;
                t.updateRange(b.y());
                // What the run writer could not place (insert mode, or the pending-wrap column
                // without autowrap) goes through the general path one character at a time.
                while (size_t(rb.idx - rb.putbackCount) < end) printNextCharacter();
                continue;
            }
        }
        if (rb.idx >= rb.putbackCount) {
            const size_t at = size_t(rb.idx - rb.putbackCount);
            if (const size_t taken = printOwnCellRun(data, at)) {
                rb.idx += int(taken);
                continue;
            }
            if (printWholeSequence(data, at)) continue;
        }
        if (!printNextCharacter()) return; // an incomplete sequence waits for the next run
    }
    t.updateRange(b.y());
    rb.done();
}

// The character at `p` (before `end`), read straight from the run: its length in bytes (0 where
// it is no whole valid character: an invalid or cut sequence, or ASCII when `asciiAsItself` is
// false), its scalar, and its width from the BMP map (0 where the map leaves it open: controls,
// joiners, pictographs, other planes). Each length has its own path with the length as a
// constant: in a run the next character's position then waits on no look-up of this one, and
// the processor reads ahead.
struct RunCharacter {
    size_t length;
    char32_t value;
    int width;
};

inline RunCharacter readCharacter(const uint8_t* p, const uint8_t* end, bool asciiAsItself)
{
    const uint8_t lead = p[0];
    const size_t left = size_t(end - p);
    if (lead < 0x80) {
        if (!asciiAsItself || !isPrintableAscii(lead)) return {0, 0, 0};
        return {1, lead, 1};
    }
    char32_t value;
    size_t length;
    if ((lead & 0xF0) == 0xE0) { // most CJK, kana, Hangul, box drawing
        if (left < 3 || !kSecondByteRange[lead].contains(p[1]) || !kContinuation.contains(p[2])) return {0, 0, 0};
        value = (char32_t(lead & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        length = 3;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        if (left < 2 || !kContinuation.contains(p[1])) return {0, 0, 0};
        value = (char32_t(lead & 0x1F) << 6) | (p[1] & 0x3F);
        length = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !kSecondByteRange[lead].contains(p[1]) || !kContinuation.contains(p[2]) ||
            !kContinuation.contains(p[3]))
            return {0, 0, 0};
        value = (char32_t(lead & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) | (char32_t(p[2] & 0x3F) << 6) |
                (p[3] & 0x3F);
        length = 4;
    } else {
        return {0, 0, 0}; // a continuation byte or an invalid lead
    }
    return {length, value, value < 0x10000 ? bmpOwnCellWidth(value) : 0};
}

size_t TerminalPrinter::printOwnCellRun(Bytes data, size_t at)
{
    Terminal& t = terminal_;
    Buffer& b = *t.buffer_;
    const int room = b.characterRunRoom();
    if (room < 1) return 0;
    const uint8_t* const begin = data.data() + at;
    const uint8_t* const end = data.data() + data.size();
    // Without a translation table printable ASCII prints as itself and never joins anything.
    const bool asciiAsItself = t.charset == nullptr || t.charset->empty;
    RunCharacter c = readCharacter(begin, end, asciiAsItself);
    if (c.length == 0) return 0;
    int32_t code = int32_t(c.value);
    int width = c.width;
    if (width == 0) {
        // A character the map leaves open may join the cell before it: it starts a run only
        // when it would start a cell of its own anyway (no extender, no flag half, and no
        // joiner sequence before it), such as a pictograph after plain text.
        if (c.length == 1 || previousCellEndsInJoiner()) return 0;
        const RunScalar known = runScalar(c.value);
        if (known.width == 0) return 0;
        code = known.code;
        width = known.width;
    }
    if (width > room) return 0;
    const TinyAtom payload{t.hyperLinkTracking ? t.hyperLinkCode_ : uint16_t(0)};
    const CellWords words(t.curAttr);
    const CellWords halfWords(b.curAttr);
    const int start = b.x();
    BufferLine& line = b.lines()[b.yBase() + b.y()];
    CharData* cell = line.cellsForRun(start, room);
    int left = room;
    const uint8_t* p = begin;
    // A four-byte load at p stays inside the run while p is before this.
    const uint8_t* const lastWord = data.size() - at >= 4 ? end - 3 : begin;
    for (;;) {
        words.store(cell, code, width, payload);
        // The run ends before the margin, so the right half always fits.
        if (width == 2) halfWords.store(cell + 1, 0, 0, payload);
        cell += width;
        left -= width;
        p += c.length;
        // Text comes in stretches of one kind: three-byte characters (CJK, kana, Hangul, box
        // drawing) and printable ASCII each take a loop of their own, so that a change of kind
        // costs a mispredicted branch per stretch rather than per character. What these loops
        // leave (another kind, an invalid form, the end of the room) goes through the general
        // step below.
        while (p < lastWord) {
            // The lead's form (1110xxxx) and both continuation bytes (10xxxxxx) in one test (the
            // word is little-endian, as CellWords asserts).
            uint32_t word;
            std::memcpy(&word, p, 4);
            if ((word & 0xC0C0F0) != 0x8080E0) break;
            const char32_t value = ((word & 0x0F) << 12) | ((word >> 2) & 0xFC0) | ((word >> 16) & 0x3F);
            const int w = bmpOwnCellWidth(value);
            // Below U+0800 the form is overlong; the map has no width (0) for surrogates. A width
            // of 0 wraps to the largest unsigned value, so one test covers it and the room.
            if (unsigned(w - 1) >= unsigned(left) || value < 0x800) break;
            words.store(cell, int32_t(value), w, payload);
            if (w == 2) halfWords.store(cell + 1, 0, 0, payload);
            cell += w;
            left -= w;
            p += 3;
        }
        if (asciiAsItself) {
            while (p != end && left > 0 && isPrintableAscii(*p)) {
                words.store(cell, *p, 1, payload);
                cell++;
                left--;
                p++;
            }
        }
        if (p == end) break;
        c = readCharacter(p, end, asciiAsItself);
        if (c.length == 0) break;
        code = int32_t(c.value);
        width = c.width;
        if (width == 0) {
            // A control ends the run. After a character of the run the cell before is known to
            // join nothing, so only the scalar's own properties count.
            if (c.length == 1) break;
            const RunScalar known = runScalar(c.value);
            if (known.width == 0) break;
            code = known.code;
            width = known.width;
        }
        if (width > left) break;
    }
    const int x = start + room - left;
    line.endRun(x);
    // The last character's position follows from its last cell, a right half (width 0) after
    // a wide one: one register fewer in the loops keeps the attribute words out of the stack.
    b.endCharacterRun(x - (cell[-1].width == 0 ? 2 : 1), x);
    return size_t(p - begin);
}

bool TerminalPrinter::printWholeSequence(Bytes data, size_t at)
{
    // A valid multi-byte sequence that lies wholly in this run, read straight from it. Anything
    // else (ASCII, a cut or invalid sequence) is left to printNextCharacter.
    const RunCharacter c = readCharacter(data.data() + at, data.data() + data.size(), false);
    if (c.length == 0) return false;
    readingBuffer.idx += int(c.length);
    printScalar(c.value);
    return true;
}

bool TerminalPrinter::printNextCharacter()
{
    ReadingBuffer& rb = readingBuffer;
    const uint8_t lead = rb.at(rb.idx++);
    const int n = kSequenceLength[lead];
    if (n <= 1) {
        printByte(lead);
        return true;
    }
    char32_t value = lead & (0x7F >> n);
    ByteRange range = kSecondByteRange[lead];
    for (int k = 1; k < n; k++) {
        if (rb.idx + k - 1 >= rb.count) {
            // Valid so far but cut by the end of the run: keep it for the next run.
            rb.putback(lead);
            return false;
        }
        const uint8_t c = rb.at(rb.idx + k - 1);
        if (!range.contains(c)) {
            // Not a valid sequence: the lead shows as its Latin-1 character, the continuation
            // bytes before the offending byte go with it, and the offending byte is read again
            // (it may start something valid).
            rb.idx += k - 1;
            printByte(lead);
            return true;
        }
        value = (value << 6) | (c & 0x3F);
        range = kContinuation;
    }
    rb.idx += n - 1;
    printScalar(value);
    return true;
}

void TerminalPrinter::printByte(uint8_t byte)
{
    Terminal& t = terminal_;
    if (byte < 0x7F && t.charset && !t.charset->empty) {
        if (char32_t mapped = (*t.charset)[byte]) {
            printNewCell(mapped, 1);
            return;
        }
    }
    int width = UnicodeUtil::lowPlaneWidths[byte];
    if (width < 1) return;
    printNewCell(char32_t(byte), width);
}

TerminalPrinter::RunScalar TerminalPrinter::runScalar(char32_t scalar)
{
    RunScalar& known = runScalars_[scalar & (runScalars_.size() - 1)];
    if (known.scalar != scalar) {
        const int width = kOwnCellAfterOwnCellWidths[UnicodeProperties::of(scalar).bits & 0x3FF];
        if (width == 0) return {};
        known = {scalar, scalar >= 0x10000 ? singleScalarCode(scalar) : int32_t(scalar), width};
    }
    return known;
}

int32_t TerminalPrinter::singleScalarCode(char32_t scalar)
{
    Terminal& t = terminal_;
    // A scalar past U+FFFF has a cluster code; emoji come again and again, so their codes are
    // kept by scalar rather than looked up as strings.
    // (code() may collect the table, so the new entry goes in after it.)
    if (auto known = t.clusters_.scalarCode(scalar)) return *known;
    const int32_t assigned = t.code(std::u32string_view(&scalar, 1));
    t.clusters_.rememberScalar(scalar, assigned);
    return assigned;
}

void TerminalPrinter::printNewCell(char32_t scalar, int width)
{
    Terminal& t = terminal_;
    const int32_t cellCode = scalar >= 0x10000 ? singleScalarCode(scalar) : int32_t(scalar);
    // Text printed inside an open OSC 8 link carries the link.
    const TinyAtom payload{t.hyperLinkTracking ? t.hyperLinkCode_ : uint16_t(0)};
    t.buffer_->insertCharacter(cellCode, width, payload, t.curAttr, t.curAttr.bg);
}

bool TerminalPrinter::lastPrintedCellValid() const
{
    const Terminal& t = terminal_;
    const auto& s = t.buffer_->lastBufferStorage;
    return s.cols == t.cols && s.rows == t.rows && s.y < t.buffer_->lines().count();
}

bool TerminalPrinter::lastPrintedCellJoinable() const
{
    return terminal_.buffer_->lastBufferStorage.joinable && lastPrintedCellValid();
}

bool TerminalPrinter::previousCellEndsInJoiner()
{
    Terminal& t = terminal_;
    if (!lastPrintedCellJoinable()) return false;
    const auto& last = t.buffer_->lastBufferStorage;
    char32_t scratch = 0;
    const CharData& cell = t.buffer_->lines()[last.y][std::min(last.x, t.cols - 1)];
    const std::u32string_view text = t.clusters_.characterView(cell.code, scratch);
    return !text.empty() && text.back() == kZeroWidthJoiner;
}

void TerminalPrinter::printScalar(char32_t s)
{
    Terminal& t = terminal_;
    const UnicodeProperties props = UnicodeProperties::of(s);
    if (const int own = kOwnCellWidths[props.bits & 0x3FF]) {
        printNewCell(s, own);
        return;
    }
    int width = props.width();
    if (width < 0) return;
    const bool narrowFlags = t.options.regionalIndicatorWidth == RegionalIndicatorWidth::narrow;
    if (narrowFlags && width == 2 && isRegionalIndicator(s)) width = 1;

    if (props.isExtender()) {
        joinWithPreviousCell(s, width);
        return;
    }

    Buffer& b = *t.buffer_;
    if (!lastPrintedCellJoinable()) {
        if (narrowFlags && isRegionalIndicator(s))
            joinWithLeftNeighbour(s, width);
        else
            printNewCell(s, width);
        return;
    }

    if (previousCellEndsInJoiner()) {
        joinWithPreviousCell(s, width); // a joiner sequence continues
        return;
    }
    if (isRegionalIndicator(s)) {
        const auto& last = b.lastBufferStorage;
        if (narrowFlags && b.x() != last.x + 1) {
            joinWithLeftNeighbour(s, width);
            return;
        }
        char32_t scratch = 0;
        const std::u32string_view previousText =
            t.clusters_.characterView(b.lines()[last.y][std::min(last.x, t.cols - 1)].code, scratch);
        if (previousText.size() == 1 && isRegionalIndicator(previousText[0])) {
            joinWithPreviousCell(s, width);
            return;
        }
        if (narrowFlags) {
            joinWithLeftNeighbour(s, width);
            return;
        }
    }
    printNewCell(s, width);
}

void TerminalPrinter::joinWithLeftNeighbour(char32_t s, int width)
{
    Terminal& t = terminal_;
    Buffer& b = *t.buffer_;
    if (b.x() >= 1) {
        const int row = b.y() + b.yBase();
        const CharData& left = b.lines()[row][b.x() - 1];
        char32_t scratch = 0;
        const std::u32string_view text = t.clusters_.characterView(left.code, scratch);
        if (left.width == 1 && text.size() == 1 && isRegionalIndicator(text[0])) {
            b.lastBufferStorage = {row, b.x() - 1, t.cols, t.rows};
            joinWithPreviousCell(s, width);
            return;
        }
    }
    printNewCell(s, width);
}

void TerminalPrinter::joinWithPreviousCell(char32_t s, int width)
{
    Terminal& t = terminal_;
    Buffer& b = *t.buffer_;
    if (!lastPrintedCellJoinable()) {
        if (width != 0) printNewCell(s, width);
        return;
    }
    const auto& last = b.lastBufferStorage;
    BufferLine& line = b.lines()[last.y];
    const int x = std::min(last.x, t.cols - 1);
    const CharData previous = line[x];
    // The cluster table keeps a cluster while cells hold it, so a child must not be able to
    // grow it without bound: an endless run of combining marks would otherwise store every
    // prefix of the run (quadratic memory). Past the limits the mark joins nothing.
    char32_t scratch = 0;
    const std::u32string_view previousText = t.clusters_.characterView(previous.code, scratch);
    std::array<char32_t, GraphemeClusterTable::kMaxClusterScalars> joinedText;
    const size_t length = previousText.size() + 1;
    if (length <= joinedText.size()) {
        std::copy(previousText.begin(), previousText.end(), joinedText.begin());
        joinedText[length - 1] = s;
    }
    const std::u32string_view text(joinedText.data(), std::min(length, joinedText.size()));
    const bool tableHasRoom = !previousText.empty() && length <= GraphemeClusterTable::kMaxClusterScalars &&
                              t.clusters_.hasRoomFor(text);
    if (!tableHasRoom || !GraphemeBreakState::isSingleGrapheme(text)) {
        if (width != 0) printNewCell(s, width);
        return;
    }

    int newWidth = previous.width;
    auto placeholderAfter = [&] {
        CharData placeholder = t.makeCharData(previous.attribute, 0, 0);
        placeholder.payload = previous.payload;
        line.set(x + 1, placeholder);
        b.setX(b.x() + 1);
        newWidth = 2;
    };
    if (s == 0xFE0E || s == 0xFE0F) {
        const char32_t base = text[text.size() - 2];
        const auto& table = UnicodeWidthData::emojiVs16Base;
        if (!UnicodeUtil::bisearch(base, table, int(table.size()) - 1)) return; // selector dropped
        if (s == 0xFE0F) {
            if (previous.width != 2 && x + 1 < t.cols) placeholderAfter();
        } else {
            newWidth = 1;
            if (previous.width == 2 && b.x() > 0) b.setX(b.x() - 1);
        }
    } else if (isRegionalIndicator(s) && t.options.regionalIndicatorWidth == RegionalIndicatorWidth::narrow &&
               previous.width == 1 && x + 1 < t.cols) {
        placeholderAfter();
    }

    CharData joined = previous;
    joined.code = t.code(text);
    joined.width = int8_t(newWidth);
    line.set(x, joined);
    t.updateRange(last.y - b.yBase());
}

} // namespace corvix

#pragma once

// The parser's main loop, a template over the handler type. The terminal instantiates it with
// itself, so the calls made for every character and sequence (text, SGR, clears) bind statically
// and inline; the parser's own `parse` instantiates it over the virtual interface. Include it only
// where it is instantiated.

#include "terminal/engine/EscapeSequenceParser.hpp"

#include <bit>
#include <chrono>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvix {

namespace parser_detail {

// Where the run of bytes from 0x20 up that starts at i ends (the first byte below 0x20, or
// length), and whether every byte of it is printable ASCII (below 0x7F), for the print path to
// write it without looking at it again. Text is the bulk of the input, so this runs 16 (or 8)
// bytes at a time; a caller that only wants the end has the ASCII test optimised away.
struct TextScan {
    size_t end;
    bool ascii;
};

inline TextScan scanText(const uint8_t* bytes, size_t i, size_t length)
{
    // Bytes from 0x7F up are found by the high bit of the byte or of the byte plus one (0xFF by
    // its own; a carry out of a byte only comes from 0xFF, already found).
#if defined(__SSE2__)
    const __m128i highestControl = _mm_set1_epi8(0x1F);
    const __m128i one = _mm_set1_epi8(1);
    unsigned beyondAscii = 0;
    while (i + 16 <= length) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i isControl = _mm_cmpeq_epi8(_mm_min_epu8(v, highestControl), v);
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(isControl));
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(v, _mm_add_epi8(v, one))));
        if (mask != 0) {
            const unsigned before = (mask & -mask) - 1; // the lanes before the first control
            return {i + static_cast<size_t>(__builtin_ctz(mask)), (beyondAscii | (high & before)) == 0};
        }
        beyondAscii |= high;
        i += 16;
    }
#else
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighBits = 0x8080808080808080ULL;
    uint64_t beyondAscii = 0;
    while (i + 8 <= length) {
        uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        if (((word - kOnes * 0x20) & ~word & kHighBits) != 0) {
            break; // some byte is below 0x20: the bytes go one by one from here
        }
        beyondAscii |= (word | (word + kOnes)) & kHighBits;
        i += 8;
    }
#endif
    bool ascii = beyondAscii == 0;
    while (i < length && bytes[i] >= 0x20) {
        ascii = ascii && bytes[i] < 0x7F;
        ++i;
    }
    return {i, ascii};
}

inline int32_t addDigit(int32_t value, int digit)
{
    constexpr int32_t kMax = EscapeSequenceParser::kMaxParameterValue;
    // `value` never exceeds kMax, so this cannot overflow; same result as comparing first.
    const int32_t next = value * 10 + digit;
    return next > kMax ? kMax : next;
}

// A number of one to three digits at `p` (whose first byte is a digit; four bytes are readable),
// the length of nearly every parameter, read without a branch per digit: parameter lengths vary
// at random (colour numbers), so a loop that exits on the first non-digit mispredicts often.
// `count` is 4 when a fourth digit follows, for the caller to go on digit by digit.
struct ShortNumber {
    unsigned count;
    int32_t value;
};

inline ShortNumber shortNumber(const uint8_t* p)
{
    // The four bytes as one little-endian word, each byte a lane: a digit becomes 0..9.
    static_assert(std::endian::native == std::endian::little);
    uint32_t word;
    std::memcpy(&word, p, sizeof word);
    const uint32_t lanes = word ^ 0x30303030u;
    // A lane is no digit when its high nibble is set, or when adding 6 carries into it (10..15).
    // A carry out of a lane only reaches lanes after that non-digit, which do not count.
    const uint32_t notDigit = ((lanes + 0x06060606u) | lanes) & 0xF0F0F0F0u;
    const auto count = static_cast<unsigned>(__builtin_ctzll(uint64_t{notDigit} | (uint64_t{1} << 32)) >> 3);
    // The digits moved to the top lanes, zeros before them, so that the last digit counts
    // ones: pairs of lanes first (ten times a lane plus the next), then the two pairs.
    const uint32_t digits = lanes << ((32 - 8 * count) & 31);
    const uint32_t pairs = digits * 10 + (digits >> 8);
    const auto value = static_cast<int32_t>((pairs & 0xFF) * 100 + ((pairs >> 16) & 0xFF));
    return {count, value};
}

} // namespace parser_detail

template <class Handler>
size_t EscapeSequenceParser::parse(Handler& handler, std::span<const uint8_t> data)
{
    if (!profilingEnabled()) return parseChunk(handler, data);
    const auto start = std::chrono::steady_clock::now();
    const size_t taken = parseChunk(handler, data);
    logProfile(taken, std::chrono::steady_clock::now() - start);
    return taken;
}

template <class Handler>
size_t EscapeSequenceParser::parseChunk(Handler& h, std::span<const uint8_t> data)
{
    using S = ParserState;
    using A = ParserAction;
    constexpr uint8_t kEsc = 0x1B;
    constexpr uint8_t kDcsPutEntry = TransitionTable::makeEntry(A::dcsPut, S::dcsPassthrough);
    constexpr uint8_t kClearToEscapeEntry = TransitionTable::makeEntry(A::clear, S::escape);
    constexpr uint8_t kClearToCsiEntry = TransitionTable::makeEntry(A::clear, S::csiEntry);
    constexpr uint8_t kCsiDispatchEntry = TransitionTable::makeEntry(A::csiDispatch, S::ground);

    const uint8_t* const bytes = data.data();
    const size_t length = data.size();
    S state = currentState;
    int64_t print = -1; // start of the pending print run
    bool printAscii = false; // the pending run is all printable ASCII
    int64_t dcs = -1;   // start of the pending DCS data

    auto flushPrint = [&](size_t end) __attribute__((always_inline)) {
        if (print >= 0) {
            const auto start = static_cast<size_t>(print);
            if (printAscii) {
                h.printAsciiHandler(data.subspan(start, end - start));
            } else {
                h.printHandler(data.subspan(start, end - start));
            }
            print = -1;
        }
    };
    auto flushDcs = [&](size_t end) {
        if (dcs >= 0) {
            const auto start = static_cast<size_t>(dcs);
            putDcs(data.subspan(start, end - start));
            dcs = -1;
        }
    };

    // Parameter bytes and, right after them, a final byte that dispatches, as the table would.
    auto paramsAndFinal = [&](size_t at) {
        state = S::csiParam;
        at = addParams(bytes, at, length);
        if (at < length && table.entry(state, bytes[at]) == kCsiDispatchEntry) {
            if (!sequenceDropped()) {
                h.dispatchCsi(bytes[at], pars(), parsTxt(), collect());
            }
            state = S::ground;
            ++at;
        }
        return at;
    };

    // ESC "[" from ground at `at`: the table's two clears in one step (the fields once, the
    // handler's reset twice, as it sees each clear), and the parameters and final byte when a
    // digit follows, as most sequences go on.
    const bool csiShortcut = table.entry(S::ground, kEsc) == kClearToEscapeEntry
                             && table.entry(S::escape, '[') == kClearToCsiEntry;
    auto csiFromGround = [&](size_t at) {
        if (!csiShortcut || at + 1 >= length || bytes[at + 1] != '[') {
            return at;
        }
        flushPrint(at);
        clearParameters(); // in ground no OSC or APC string is held: each one ends with a clear
        h.printStateReset();
        h.printStateReset();
        state = S::csiEntry;
        at += 2;
        if (at < length && static_cast<unsigned>(bytes[at] - '0') <= 9u) {
            at = paramsAndFinal(at);
        }
        return at;
    };

    // CR LF, the end of nearly every line: the LF is taken with the CR when the table executes
    // both in ground, as the loop would take it next.
    constexpr uint8_t kExecuteInGroundEntry = TransitionTable::makeEntry(A::execute, S::ground);
    const bool lineEndShortcut = table.entry(S::ground, '\r') == kExecuteInGroundEntry
                                 && table.entry(S::ground, '\n') == kExecuteInGroundEntry;
    const auto crLfAt = [&](size_t at) {
        return lineEndShortcut && at + 1 < length && bytes[at] == '\r' && bytes[at + 1] == '\n';
    };

    size_t i = 0;
    while (i < length) {
        const uint8_t code = bytes[i];

        // The hot runs skip the table: text in ground (C1 bytes there are UTF-8, not controls),
        // parameter digits, DCS data.
        if (state == S::ground && code >= 0x20) {
            // A single letter between two sequences needs no scan; it goes to the general print
            // call, which writes it inline.
            const size_t start = i;
            bool ascii = false;
            ++i;
            if (i < length && bytes[i] >= 0x20) {
                const parser_detail::TextScan scan = parser_detail::scanText(bytes, i, length);
                ascii = code < 0x7F && scan.ascii;
                i = scan.end;
            }
            if (print < 0) {
                print = static_cast<int64_t>(start);
                printAscii = ascii;
            }
            // Text and sequences alternate: the sequence or line end that ends the text goes on
            // here. CR LF is the table's two executes in ground.
            if (i < length && bytes[i] == kEsc) {
                i = csiFromGround(i);
            } else if (crLfAt(i)) {
                flushPrint(i);
                h.dispatchExecute('\r');
                h.dispatchExecute('\n');
                i += 2;
            }
            continue;
        }
        if (state == S::ground && code == kEsc) {
            if (const size_t next = csiFromGround(i); next != i) {
                i = next;
                continue;
            }
        }
        if ((state == S::csiParam || state == S::csiEntry)
            && static_cast<unsigned>(code - '0') <= 9u) {
            i = paramsAndFinal(i);
            continue;
        }
        if (state == S::dcsPassthrough && table.entry(state, code) == kDcsPutEntry) {
            if (dcs < 0) {
                dcs = static_cast<int64_t>(i);
            }
            do {
                ++i;
            } while (i < length && table.entry(state, bytes[i]) == kDcsPutEntry);
            continue;
        }

        const uint8_t entry = table.entry(state, code);
        const A action = TransitionTable::actionOf(entry);
        const S next = TransitionTable::stateOf(entry);

        // Nothing in the table extends a print run or DCS data (the loops above take those
        // bytes), so what is pending goes out now, before the control acts. Where the chunk was
        // split then makes no difference to what the handlers see.
        const int64_t pendingPrint = print;
        const int64_t pendingDcs = dcs;
        flushPrint(i);
        flushDcs(i);
        if (state == S::dcsPassthrough && next != S::dcsPassthrough && action != A::dcsUnhook) {
            activeDcsHandler.reset(); // abandoned (SUB, a C1 control, an error): no unhook
        }

        if (action == A::error) {
            ParsingState record;
            record.position = static_cast<int64_t>(i);
            record.code = code;
            record.currentState = state;
            record.print = pendingPrint;
            record.dcs = pendingDcs;
            record.osc = _osc;
            record.apc = _apc;
            record.collect = collect();
            if (h.errorHandler(record).abort) {
                currentState = state;
                return length;
            }
        }

        switch (action) {
        case A::ignore:
        case A::error:
            break;
        case A::print:
            print = static_cast<int64_t>(i);
            printAscii = false; // the print path looks at the bytes itself
            break;
        case A::execute:
            h.dispatchExecute(code);
            if (state == S::ground && crLfAt(i)) {
                h.dispatchExecute('\n');
                ++i;
            }
            break;
        case A::oscStart:
            (next == S::apcString ? _apc : _osc).clear();
            stringAbandoned_ = false;
            stringLimit_ = kMaxStringLength;
            break;
        case A::oscPut:
            i = putString(state, bytes, i, length);
            continue; // the byte that stopped the sweep goes through the table
        case A::oscEnd:
            endString(state, code);
            if (stringDeferred_) {
                // Still in the string, before its terminator: it ends again from there.
                stringDeferred_ = false;
                currentState = state;
                return i;
            }
            break;
        case A::csiDispatch:
            if (!sequenceDropped()) {
                h.dispatchCsi(code, pars(), parsTxt(), collect());
            }
            break;
        case A::param:
            addParam(code);
            break;
        case A::collect:
            addCollect(code);
            break;
        case A::escDispatch:
            if (!collectLimitExceeded_) {
                h.dispatchEsc(collect(), code);
            }
            break;
        case A::clear:
            clearSequence();
            h.printStateReset();
            break;
        case A::dcsHook:
            hookDcs(code);
            break;
        case A::dcsPut:
            dcs = static_cast<int64_t>(i);
            break;
        case A::dcsUnhook:
            if (auto handler = std::move(activeDcsHandler)) {
                handler->unhook();
            }
            clearSequence();
            h.printStateReset();
            break;
        }
        state = next;
        ++i;
    }

    if (state == S::dcsPassthrough) {
        flushDcs(length);
    }
    flushPrint(length);
    currentState = state;
    return length;
}

// The parameter bytes of a CSI sequence in one loop: digits, ':' and ';' act as the param
// action does, without a trip through the table for each.
inline size_t EscapeSequenceParser::addParams(const uint8_t* bytes, size_t i, size_t length)
{
    if (!parameterLimitExceeded_) {
        // The element in progress stays in a register; it is written back at each separator and
        // at the end. Digits, the bulk, take the short inner loop.
        int count = parameterCount_;
        int32_t value = _pars[static_cast<size_t>(count - 1)];
        // "38;5;" and "48;5;" (256-colour foreground and background) open most SGR sequences
        // that programs send per character: taken in one step, the loop goes on with the colour.
        if (count == 1 && value == 0 && length - i > 5 && (bytes[i] == '3' || bytes[i] == '4')
            && std::memcmp(bytes + i + 1, "8;5;", 4) == 0) {
            _pars[0] = (bytes[i] - '0') * 10 + 8;
            _pars[1] = 5;
            _parsTxt[0] = ';';
            _parsTxt[1] = ';';
            count = 3;
            i += 5;
        }
        while (i < length) {
            const uint8_t code = bytes[i];
            const unsigned digit = code - unsigned{'0'};
            if (digit <= 9) {
                // A number that starts here, when the chunk holds four more bytes.
                if (value == 0 && length - i >= 4) {
                    const parser_detail::ShortNumber number = parser_detail::shortNumber(bytes + i);
                    if (number.count < 4) {
                        value = number.value;
                        i += number.count;
                        continue;
                    }
                }
                value = parser_detail::addDigit(value, static_cast<int>(digit));
                ++i;
                continue;
            }
            if (code != ';' && code != ':') {
                break;
            }
            if (count == kMaxParameters) {
                parameterLimitExceeded_ = true;
                break;
            }
            _pars[static_cast<size_t>(count - 1)] = value;
            _parsTxt[static_cast<size_t>(count - 1)] = code;
            value = 0;
            ++count;
            ++i;
        }
        _pars[static_cast<size_t>(count - 1)] = value;
        parameterCount_ = count;
        if (!parameterLimitExceeded_) {
            return i;
        }
    }
    // Past the limit digits and separators are dropped.
    while (i < length && (static_cast<unsigned>(bytes[i] - '0') <= 9u || bytes[i] == ';' || bytes[i] == ':')) {
        ++i;
    }
    return i;
}

} // namespace corvix

#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace corvix {

// A designatable character set: a replacement for some 7-bit bytes. A byte with no entry (0)
// prints as itself.
struct CharsetMap {
    std::array<char32_t, 128> map{};
    // True for the plain ASCII set, which replaces nothing.
    bool empty = true;

    char32_t operator[](uint8_t byte) const { return byte < 128 ? map[byte] : 0; }
};

// The DEC Special Graphics set and the DEC national replacement sets, by designator byte (the
// final byte of ESC ( F and its siblings). Built once; shared by every terminal.
struct CharSets {
    CharSets() = delete;
    // The set named by a designator, or nothing when the table lacks it.
    static const CharsetMap* find(uint8_t designator);
};

// The four designated sets (G0-G3) and the one invoked (SO, SI, LS2, ...), as the print path
// reads them: `charset` is the invoked set, null for plain ASCII.
struct CharacterSetState {
    const CharsetMap* charset = nullptr;
    std::array<const CharsetMap*, 4> gCharsets{};
    int gcharset = 0;
    uint8_t gLevel = 0;

    // Invokes G`level`.
    void setgLevel(int level);
    // Designates `set` as G`slot`.
    void setgCharset(int slot, const CharsetMap* set);
    // ESC ( F and its siblings: the intermediate byte names the slot, the final one the set.
    void selectCharset(std::span<const uint8_t> designation);
};

} // namespace corvix

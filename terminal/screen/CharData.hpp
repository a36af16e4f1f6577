#pragma once

#include "terminal/screen/Attribute.hpp"
#include "terminal/screen/TinyAtom.hpp"

#include <cstdint>
#include <string>
#include <type_traits>

namespace corvix {

// One cell: a plain fixed-size record, copied field by field (no reference counting), stored by
// value in each line's contiguous cell array.
struct CharData {
    // Codes below this are Unicode scalars; codes from it upward are grapheme-cluster keys.
    static constexpr int32_t kClusterBase = 0x400000;

    // Below `kClusterBase` a Unicode scalar, else a cluster key; 0 = nothing written. Never negative.
    int32_t code = 0;
    // 1 ordinary, 2 left half of a wide character, 0 its right-half placeholder.
    int8_t width = 1;
    TinyAtom payload;
    uint8_t unused = 0;
    Attribute attribute;

    // Code 0, width 1, no payload, the plain attribute: the default fill of new lines.
    static const CharData Null;

    bool isSimpleRune() const { return code < kClusterBase; }
    bool hasPayload() const { return payload.code != 0; }
    void setPayload(TinyAtom atom) { payload = atom; }

    // Sets code and width; a size outside -128...127 is a caller error that stops the program.
    void setValue(int32_t newCode, int size);

    // The code as a scalar; a space for surrogates, values above U+10FFFF and cluster keys.
    char32_t getCharacter() const;
    // Appends `getCharacter()` as UTF-8.
    void appendCharacter(std::string& out) const;

    std::string debugDescription() const;

    friend bool operator==(const CharData&, const CharData&) = default;
};

inline constexpr CharData CharData::Null{};

static_assert(sizeof(CharData) == 24);
static_assert(std::is_trivially_copyable_v<CharData>);

} // namespace corvix

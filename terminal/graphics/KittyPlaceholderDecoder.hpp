#pragma once

#include "terminal/screen/Attribute.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvix {

// The Kitty graphics protocol's Unicode placeholder: cells holding U+10EEEE show a piece of an
// image, named by the cell's colours and combining marks.
struct KittyPlaceholder {
    static constexpr char32_t kCharacter = 0x10EEEE;
    // The row/column diacritics published with the protocol, in order: a mark's position in the
    // list is the number it stands for.
    static const std::array<char32_t, 297> kDiacritics;

    // The number a combining mark stands for; nothing for a mark outside the list.
    static std::optional<int> diacriticIndex(char32_t scalar);
};

// One decoded placeholder cell.
struct KittyPlaceholderCell {
    // The screen cell.
    int row = 0;
    int col = 0;
    uint32_t imageId = 0;
    // 0: any placement of the image.
    uint32_t placementId = 0;
    // The cell of the image grid shown here.
    int placeholderRow = 0;
    int placeholderCol = 0;
    // The number given for the image id's most significant byte, or inherited; not clamped.
    int msb = 0;

    friend bool operator==(const KittyPlaceholderCell&, const KittyPlaceholderCell&) = default;
};

class KittyPlaceholderDecoder {
public:
    // The placeholder in a cell: its character (scalars), attribute and screen position, with the
    // decoded cell to its left and that cell's attribute when the row has one, so that cells may
    // leave out what follows from their left neighbour. Nothing when the character does not
    // start with U+10EEEE. Pure: callers walk a row left to right.
    static std::optional<KittyPlaceholderCell> decode(std::u32string_view character, const Attribute& attribute,
                                                      int row, int col,
                                                      const std::optional<KittyPlaceholderCell>& previous,
                                                      const std::optional<Attribute>& previousAttribute);
};

} // namespace corvix

#pragma once

#include "terminal/screen/Attribute.hpp"

#include <QColor>

#include <optional>

namespace corvix {

// Which of the view's four faces a run of text uses.
enum class FontFace : uint8_t { normal, bold, italic, boldItalic };

// Underline pattern values carried beside the exact style: single 1, double 9 (single with the
// double bit 0x8), and the dot (0x100) and dash (0x200) pattern bits.
inline constexpr int kUnderlineSingle = 0x1;
inline constexpr int kUnderlineDouble = 0x9;
inline constexpr int kUnderlinePatternDot = 0x100;
inline constexpr int kUnderlinePatternDash = 0x200;

// What the row model attaches to a run of cells for drawing: the face, the colours and the
// decorations. Built once per cell attribute and cached by the view.
struct TextAttributes {
    FontFace face = FontFace::normal;
    QColor foreground;
    QColor background;
    // The pattern value of the underline (above), when underlined.
    std::optional<int> underlineStyle;
    std::optional<QColor> underlineColor;
    // The exact underline style (UnderlineStyle's raw value), when underlined.
    std::optional<int> corvixUnderlineStyle;
    std::optional<int> strikethroughStyle;
    std::optional<QColor> strikethroughColor;
    // Background of selected cells; drawn in place of `background`.
    std::optional<QColor> selectionBackground;
    // Forces left-to-right glyph order inside the run.
    bool leftToRightOverride = false;

    bool hasDecorations() const { return underlineStyle.has_value() || strikethroughStyle.has_value(); }
    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

// The underline style a run is drawn with: the exact style when it carries one, else the one the
// pattern value implies.
UnderlineStyle resolveUnderlineStyle(const TextAttributes& attributes);

} // namespace corvix

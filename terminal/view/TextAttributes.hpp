#pragma once

#include "terminal/screen/Attribute.hpp"

#include <QColor>

#include <optional>

namespace corvix {

// Which of the view's four faces a run of text uses.
enum class FontFace : uint8_t { normal, bold, italic, boldItalic };

// What the row model attaches to a run of cells for drawing: the face, the colours and the
// decorations. Built once per cell attribute and cached by the view.
struct TextAttributes {
    FontFace face = FontFace::normal;
    QColor foreground;
    // Absent: the view's background shows through.
    std::optional<QColor> background;
    UnderlineStyle underlineStyle = UnderlineStyle::none;
    std::optional<QColor> underlineColor;
    bool strikethrough = false;
    // Background of selected cells.
    std::optional<QColor> selectionBackground;
};

} // namespace corvix

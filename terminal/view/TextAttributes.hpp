#pragma once

#include "terminal/screen/Attribute.hpp"

#include <QColor>

#include <optional>

namespace corvix {

// Which of the view's four faces a run of text uses.
enum class FontFace : uint8_t { normal, bold, italic, boldItalic };

// What the row model attaches to a run of cells for drawing: the face, the colours and the
// decorations, in the engine's own terms. Built once per cell attribute and cached by the view.
struct TextAttributes {
    FontFace face = FontFace::normal;
    QColor foreground;
    QColor background;
    // The underline the run is drawn with; none when it is not underlined.
    UnderlineStyle underlineStyle = UnderlineStyle::none;
    std::optional<QColor> underlineColor;
    bool strikethrough = false;
    std::optional<QColor> strikethroughColor;
    // Background of selected cells; drawn in place of `background`.
    std::optional<QColor> selectionBackground;
    // Forces left-to-right glyph order inside the run.
    bool leftToRightOverride = false;

    bool hasDecorations() const { return underlineStyle != UnderlineStyle::none || strikethrough; }
    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

} // namespace corvix

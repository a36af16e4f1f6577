// The row model: a buffer line as text segments with attributes, and the cells that custom glyph
// renderers draw.
#include "terminal/view/TerminalView.hpp"

#include "terminal/bidi/TerminalBidi.hpp"
#include "terminal/graphics/KittyPlaceholderDecoder.hpp"
#include "terminal/screen/UnicodeProperties.hpp"
#include "terminal/view/BlockElementRenderer.hpp"
#include "terminal/view/ColorConversion.hpp"
#include "terminal/view/PowerlineRenderer.hpp"

namespace corvix {

namespace {

constexpr size_t kAttributeCacheLimit = 4096;

bool isDefaultSide(Attribute::Color c)
{
    return c.kind() == Attribute::Color::Kind::defaultColor || c.kind() == Attribute::Color::Kind::defaultInvertedColor;
}

FontFace faceFor(bool bold, bool italic)
{
    if (bold) return italic ? FontFace::boldItalic : FontFace::bold;
    return italic ? FontFace::italic : FontFace::normal;
}

// Appends a scalar as UTF-16; the number of units written.
int appendScalar(QString& text, char32_t scalar)
{
    if (scalar < 0x10000) {
        text.append(QChar(char16_t(scalar)));
        return 1;
    }
    const char32_t v = scalar - 0x10000;
    text.append(QChar(char16_t(0xD800 + (v >> 10))));
    text.append(QChar(char16_t(0xDC00 + (v & 0x3FF))));
    return 2;
}

// A segment being filled, cell by cell.
struct SegmentBuilder {
    ViewLineSegment segment;
    int cellCount = 0;

    void append(const QString& text, const TextAttributes& attributes, std::span<const int> cellUTF16Lengths)
    {
        const int start = int(segment.text.size());
        segment.text.append(text);
        segment.runs.push_back({start, int(text.size()), attributes});
        segment.characterCount += 1;
        for (int length : cellUTF16Lengths) {
            if (length >= 2) segment.utf16IsCellIdentity = false;
            for (int i = 0; i < std::max(length, 1); i++) segment.utf16ToCellOrdinal.push_back(cellCount);
            cellCount += 1;
        }
    }
};

} // namespace

// ---- Attribute dictionaries -------------------------------------------------------------------

const TextAttributes& TerminalView::getAttributes(const Attribute& attribute, bool withUrl)
{
    auto& cache = withUrl ? urlAttributes : attributes;
    if (auto it = cache.find(attribute); it != cache.end()) return it->second;

    Attribute::Color fg = attribute.fg;
    Attribute::Color bg = attribute.bg;
    const CharacterStyle style = attribute.style;
    if (style.contains(CharacterStyle::inverse)) {
        std::swap(fg, bg);
        if (isDefaultSide(fg)) fg = Attribute::Color::defaultInvertedColor();
        if (isDefaultSide(bg)) bg = Attribute::Color::defaultInvertedColor();
    }
    const bool bold = style.contains(CharacterStyle::bold);
    // Without bright colours, brightness shows as the bold face.
    const bool brightAsBold =
        !useBrightColors && fg.kind() == Attribute::Color::Kind::ansi256 && fg.code() >= 8 && fg.code() <= 15;
    TextAttributes result;
    result.face = faceFor(bold || brightAsBold, style.contains(CharacterStyle::italic));
    result.foreground = mapColor(fg, true, bold, useBrightColors);
    result.background = mapColor(bg, false, false, true);
    if (style.contains(CharacterStyle::dim)) result.foreground = dimmedColor(result.foreground, result.background);

    addDecorations(result, attribute);
    if (withUrl) {
        // A highlighted link always shows a dashed underline in its text colour.
        result.underlineStyle = UnderlineStyle::dashed;
        result.underlineColor = result.foreground;
    }
    if (cache.size() >= kAttributeCacheLimit) cache.clear();
    return cache.emplace(attribute, result).first->second;
}

// Underline and strikethrough, in the run's foreground unless the cell names an underline colour.
void TerminalView::addDecorations(TextAttributes& result, const Attribute& attribute)
{
    const CharacterStyle style = attribute.style;
    if (style.contains(CharacterStyle::underline)) {
        const bool bold = style.contains(CharacterStyle::bold);
        result.underlineColor = attribute.underlineColor ? mapColor(*attribute.underlineColor, true, bold, useBrightColors)
                                                         : result.foreground;
        // The underline bit without a style is a single underline.
        result.underlineStyle =
            attribute.underlineStyle == UnderlineStyle::none ? UnderlineStyle::single : attribute.underlineStyle;
    }
    if (style.contains(CharacterStyle::crossedOut)) {
        result.strikethrough = true;
        result.strikethroughColor = result.foreground;
    }
}

TextAttributes TerminalView::getAttributedValue(const Attribute& attribute, const QColor& usingFg, const QColor& andBg)
{
    const CharacterStyle style = attribute.style;
    const bool bold = style.contains(CharacterStyle::bold);
    TextAttributes result;
    result.face = faceFor(bold, style.contains(CharacterStyle::italic));
    const bool inverse = style.contains(CharacterStyle::inverse);
    result.foreground = inverse ? andBg : usingFg;
    result.background = inverse ? usingFg : andBg;
    addDecorations(result, attribute);
    return result;
}

// ---- Selection --------------------------------------------------------------------------------

std::optional<std::pair<int, int>> TerminalView::selectedColumnsRange(int row, int cols)
{
    if (!selection || !selection->active()) return std::nullopt;
    const Position start = selection->start;
    const Position end = selection->end;
    const int last = terminal->cols - 1;
    int lower = 0;
    int upper = 0;
    if (start.row == row && end.row == row) {
        if (start.col < end.col) {
            lower = start.col;
            upper = end.col + (end.col == last ? 1 : 0);
        } else if (end.col < start.col) {
            lower = end.col;
            upper = start.col;
        } else {
            return std::nullopt;
        }
    } else {
        const bool forward = start.row < end.row;
        const Position first = forward ? start : end;
        const Position second = forward ? end : start;
        if (row == first.row) {
            lower = first.col;
            upper = cols;
        } else if (row > first.row && row < second.row) {
            lower = 0;
            upper = cols;
        } else if (row == second.row) {
            lower = 0;
            upper = second.col + (second.col == last ? 1 : 0);
        } else {
            return std::nullopt;
        }
    }
    lower = std::max(std::min(lower, cols), 0);
    upper = std::min(upper, cols);
    if (lower >= upper) return std::nullopt;
    return std::make_pair(lower, upper);
}

// ---- Row building -----------------------------------------------------------------------------

std::optional<BidiRowLayout> TerminalView::bidiLayout(int row)
{
    if (bidiHostPolicy_ != BidiHostPolicy::respectTerminal) return std::nullopt;
    Buffer& buffer = terminal->buffer();
    if (row < 0 || row >= buffer.lines().count()) return std::nullopt;
    const BidiPresentationState& state = buffer.lines()[row].bidiState();
    if (state.supportMode == BidiSupportMode::explicit_) {
        if (state.fallbackDirection != BidiDirection::rightToLeft) return std::nullopt;
        return TerminalBidi::explicitRightToLeftLayout(row, buffer, terminal->cols, *terminal);
    }
    const auto paragraph = TerminalBidi::paragraphResult(row, buffer, terminal->cols, *terminal, fonts().serial);
    if (!paragraph) return std::nullopt;
    auto it = paragraph->rows.find(row);
    if (it == paragraph->rows.end()) return std::nullopt;
    return it->second;
}

namespace {

// Cells a bidi row shows on their own, in a font that can shape them: clusters and Arabic script.
bool isIsolatedInBidiRow(int scalarCount, uint32_t codePoint)
{
    if (scalarCount >= 2) return true;
    return (codePoint >= 0x0600 && codePoint <= 0x06FF) || (codePoint >= 0x0750 && codePoint <= 0x077F)
        || (codePoint >= 0x0870 && codePoint <= 0x08FF) || (codePoint >= 0xFB50 && codePoint <= 0xFDFF)
        || (codePoint >= 0xFE70 && codePoint <= 0xFEFC);
}

} // namespace

ViewLineInfo TerminalView::buildAttributedString(int row, const BufferLine& line, int cols)
{
    ViewLineInfo info;
    info.images = line.images();
    const std::optional<std::pair<int, int>> selected = selectedColumnsRange(row, cols);

    std::optional<SegmentBuilder> open;
    auto closeSegment = [&] {
        if (open && open->segment.characterCount > 0) info.segments.push_back(std::move(open->segment));
        open.reset();
    };

    // The pending run: text of consecutive cells with equal attributes and flags.
    QString pendingText;
    std::vector<int> pendingLengths;
    std::optional<TextAttributes> runAttributes;
    Attribute runCellAttribute;
    bool runLink = false;
    bool runSelected = false;
    auto flushPending = [&] {
        if (!pendingText.isEmpty() && runAttributes) {
            if (open) open->append(pendingText, *runAttributes, pendingLengths);
            pendingText.clear();
            pendingLengths.clear();
        }
    };

    const std::optional<std::vector<LinkMatch::RowRange>>& highlight = linkHighlightRange;
    auto hoverOverlaps = [&](int col, int w) {
        if (!highlight) return false;
        for (const LinkMatch::RowRange& r : *highlight) {
            if (r.row != row) continue;
            return !r.range.empty() && r.range.lowerBound < col + w && col < r.range.upperBound;
        }
        return false;
    };

    const int count = line.count();
    if (count == 0) return info;
    // A row with right-to-left text is visited in its visual order; every run then keeps its
    // glyphs left to right, as does any row that might otherwise be reordered.
    const std::optional<BidiRowLayout> layout = bidiLayout(row);
    const bool override = layout || TerminalBidi::mayNeedBidi(line, cols, *terminal);
    const size_t visualCount = layout ? layout->visualCells.size() : 0;
    std::optional<KittyPlaceholderCell> previousPlaceholder;
    std::optional<Attribute> previousPlaceholderAttribute;
    size_t visualIndex = 0;
    int screenColumn = 0;
    const int one[1] = {1};
    QString cellText;
    for (int col = 0; layout ? visualIndex < visualCount : col < cols;) {
        const BidiCell* visual = layout ? &layout->visualCells[visualIndex] : nullptr;
        if (visual) col = visual->logicalCol;
        const CharData& cell = line[std::min(col, count - 1)];
        const int w = visual ? (visual->width == 2 ? 2 : 1) : (cell.width == 2 ? 2 : 1);

        bool link = false;
        switch (linkHighlightMode_) {
        case LinkHighlightMode::hover: link = hoverOverlaps(col, w); break;
        case LinkHighlightMode::hoverWithModifier: link = commandActive && hoverOverlaps(col, w); break;
        case LinkHighlightMode::always: link = cell.hasPayload(); break;
        case LinkHighlightMode::alwaysWithModifier: link = cell.hasPayload() && commandActive; break;
        }

        if (!open || open->segment.columnWidth != w) {
            flushPending();
            closeSegment();
            open.emplace();
            open->segment.column = screenColumn;
            open->segment.columnWidth = w;
        }

        const bool isSelected = selected && selected->first < col + w && col < selected->second;
        if (!(runAttributes && cell.attribute == runCellAttribute && link == runLink && isSelected == runSelected)) {
            flushPending();
            TextAttributes attrs = getAttributes(cell.attribute, link);
            if (isSelected) {
                attrs.selectionBackground = _selectedTextBackgroundColor;
                attrs.foreground = _selectedTextForegroundColor;
                if (attrs.underlineColor) attrs.underlineColor = _selectedTextForegroundColor;
                if (attrs.strikethroughColor) attrs.strikethroughColor = _selectedTextForegroundColor;
            }
            attrs.leftToRightOverride = override;
            runAttributes = std::move(attrs);
            runCellAttribute = cell.attribute;
            runLink = link;
            runSelected = isSelected;
        }

        // The cell's text; a single scalar is written without going through a string.
        cellText.clear();
        uint32_t codePoint = uint32_t(cell.code);
        // The text's first scalar: what tells a Kitty placeholder (its marks follow it).
        char32_t firstScalar = cell.isSimpleRune() ? char32_t(cell.code) : 0;
        int textLength = 0;
        int scalarCount = 1;
        // Concealed text keeps its cell, colours and decorations but shows no glyph.
        if (cell.code == 0 || cell.attribute.style.contains(CharacterStyle::invisible)) {
            cellText.append(QChar(u' '));
            textLength = 1;
            codePoint = ' ';
        } else if (visual && visual->display) {
            // A shaped, joined or mirrored form stands in for the stored character.
            for (char32_t c : *visual->display) textLength += appendScalar(cellText, c);
            scalarCount = int(visual->display->size());
            codePoint = scalarCount == 1 ? uint32_t((*visual->display)[0]) : uint32_t(cell.code);
        } else if (cell.isSimpleRune()) {
            textLength = appendScalar(cellText, char32_t(cell.code));
        } else {
            const std::u32string cluster = terminal->character(cell.code);
            for (char32_t c : cluster) textLength += appendScalar(cellText, c);
            scalarCount = int(cluster.size());
            if (scalarCount == 1) codePoint = uint32_t(cluster[0]);
            if (!cluster.empty()) firstScalar = cluster[0];
        }

        bool handled = false;
        if (customBlockGlyphs_) {
            const QColor color = runAttributes->foreground.isValid() ? runAttributes->foreground : *_nativeFg;
            if (PowerlineRenderer::glyph(codePoint)) {
                flushPending();
                info.powerlineGlyphs.push_back({screenColumn, w, codePoint, color});
                handled = true;
            } else if (codePoint >= 0x2500 && codePoint <= 0x257F) {
                flushPending();
                info.boxDrawings.push_back({screenColumn, w, codePoint, color});
                handled = true;
            } else if (codePoint >= 0x2580 && codePoint <= 0x259F) {
                if (auto rects = BlockElementMapping::rects(codePoint)) {
                    flushPending();
                    info.blockElements.push_back({screenColumn, w, codePoint, *rects, color});
                    handled = true;
                }
            }
            // The cell still takes its place in the text, as a space with the run's attributes.
            if (handled && open) open->append(QStringLiteral(" "), *runAttributes, one);
        }

        // A Kitty placeholder shows a piece of an image; its text is a space.
        const bool placeholderText = firstScalar == KittyPlaceholder::kCharacter && cell.code != 0
            && !cell.attribute.style.contains(CharacterStyle::invisible);
        if (!handled && placeholderText) {
            const std::u32string character = cell.isSimpleRune() ? std::u32string(1, char32_t(cell.code))
                                                                 : terminal->character(cell.code);
            if (auto placeholder = KittyPlaceholderDecoder::decode(character, cell.attribute, row, screenColumn,
                                                                   previousPlaceholder, previousPlaceholderAttribute)) {
                flushPending();
                info.kittyPlaceholders.push_back(*placeholder);
                if (open) open->append(QStringLiteral(" "), *runAttributes, one);
                previousPlaceholder = placeholder;
                previousPlaceholderAttribute = cell.attribute;
                screenColumn += w;
                if (layout) {
                    visualIndex++;
                } else {
                    col += w;
                }
                continue;
            }
        }
        if (!handled || !placeholderText) {
            previousPlaceholder.reset();
            previousPlaceholderAttribute.reset();
        }

        if (!handled && layout && isIsolatedInBidiRow(scalarCount, codePoint)) {
            flushPending();
            closeSegment();
            open.emplace();
            open->segment.column = screenColumn;
            open->segment.columnWidth = w;
            const int lengths[1] = {textLength};
            open->append(cellText, *runAttributes, lengths);
            closeSegment();
            handled = true;
        }

        if (!handled) {
            pendingText.append(cellText);
            int length = textLength;
            if (scalarCount == 1 && codePoint > 0xFF) {
                const UnicodeProperties props = UnicodeProperties::of(char32_t(codePoint));
                // Ask for the text form of characters that default to text presentation.
                if (props.isEmoji() && !props.isEmojiPresentation()) {
                    pendingText.append(QChar(u'\uFE0E'));
                    length += 1;
                }
            }
            pendingLengths.push_back(length);
        }

        screenColumn += w;
        if (layout) {
            visualIndex++;
        } else {
            col += w;
        }
    }
    flushPending();
    closeSegment();
    return info;
}

} // namespace corvix

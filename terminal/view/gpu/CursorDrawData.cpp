#include "terminal/view/gpu/CursorDrawData.hpp"

#include "terminal/screen/UnicodeUtil.hpp"
#include "terminal/view/CaretView.hpp"
#include "terminal/view/PowerlineRenderer.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/GlyphEntries.hpp"
#include "terminal/view/gpu/TextShaper.hpp"
#include "terminal/view/gpu/UnderlineSegments.hpp"

#include <algorithm>
#include <cmath>

namespace corvix {

namespace {

void appendQuad(std::vector<ColorVertex>& out, float x0, float y0, float x1, float y1, GpuFloat4 color)
{
    const ColorVertex leftBottom{{x0, y0}, {}, color};
    const ColorVertex rightBottom{{x1, y0}, {}, color};
    const ColorVertex leftTop{{x0, y1}, {}, color};
    const ColorVertex rightTop{{x1, y1}, {}, color};
    out.insert(out.end(), {leftBottom, rightBottom, leftTop, rightBottom, rightTop, leftTop});
}

// `quad` (texture coordinates of its full extent) cut to `clip`; nothing when nothing is left.
void appendGlyphQuad(std::vector<GlyphVertex>& out, const TexturedEdges& quad, const ClipRect& clip, GpuFloat4 color)
{
    const std::optional<TexturedEdges> cut = clipRect(quad, clip);
    if (!cut) return;
    const std::array<GlyphVertex, 6> vertices = quadVertices(*cut, color);
    out.insert(out.end(), vertices.begin(), vertices.end());
}

// A region's texture coordinates in an atlas of `side` pixels: v = 0 is the first stored row,
// which the atlas keeps at the bottom.
TexturedEdges regionQuad(double x0, double y0, double x1, double y1, const AtlasRegion& region, int side)
{
    const float s = float(side);
    return {float(x0),
            float(y0),
            float(x1),
            float(y1),
            float(region.x) / s,
            float(region.y) / s,
            float(region.x + region.width) / s,
            float(region.y + region.height) / s};
}

} // namespace

CursorDrawData buildCursorDrawData(TerminalView& view, GlyphEntries& entries, ShaperCache& shaper,
                                   const GlyphAtlas& grayscale, const GlyphAtlas& color, const CursorFrame& frame)
{
    CursorDrawData out;
    Terminal& terminal = view.getTerminal();
    Buffer& buffer = terminal.buffer();
    const int cursorRow = buffer.yBase() + buffer.y();
    const int x = buffer.x();
    const CursorStyle style = terminal.options.cursorStyle;
    if (terminal.cursorHidden || cursorRow < 0 || cursorRow < frame.firstRow || cursorRow > frame.lastRow ||
        cursorRow >= buffer.lines().count() || x < 0 || x >= terminal.cols ||
        (CaretView::isBlinking(style) && !frame.blinkOn))
        return out;

    const BufferLine& line = buffer.lines()[cursorRow];
    const double widthFactor = line.renderMode() == BufferLine::RenderLineMode::single ? 1 : 2;
    const CharData cell = line.count() > 0 ? line[std::min(x, line.count() - 1)] : CharData::Null;
    const int charWidth = std::max<int>(cell.width, 1);
    // On a reordered row the cursor stands where its cell is shown, as the caret does; the
    // character it shows stays the logical cell's.
    int column = x;
    if (const std::optional<BidiRowLayout> layout = view.bidiLayout(cursorRow)) {
        if (column < int(layout->logicalToVisualCol.size())) column = layout->logicalToVisualCol[size_t(column)];
    }

    const double scale = frame.scale;
    const double cellBottom = view.height() - (cursorRow - frame.yDisp + 1) * frame.cellHeight;
    const double x0 = widthFactor * frame.cellWidth * column * scale;
    const double x1 = x0 + frame.cellWidth * widthFactor * charWidth * scale;
    const double y0 = cellBottom * scale;
    const double y1 = y0 + frame.cellHeight * scale;
    const GpuFloat4 caretColor = colorToSIMD(view.caretColor());
    auto quad = [&](double left, double bottom, double right, double top) {
        appendQuad(out.colorVertices, float(left), float(bottom), float(right), float(top), caretColor);
    };

    const bool focused = !view.caretViewTracksFocus() || view.hasFocus();
    if (!focused) {
        const double t = std::max(3 * scale, 1.0);
        quad(x0, y0, x1, y0 + t);
        quad(x0, y1 - t, x1, y1);
        quad(x0, y0 + t, x0 + t, y1 - t);
        quad(x1 - t, y0 + t, x1, y1 - t);
        return out;
    }
    const double thin = std::max(2 * scale, 1.0);
    switch (style) {
    case CursorStyle::blinkUnderline:
    case CursorStyle::steadyUnderline:
        quad(x0, y0, x1, y0 + thin);
        return out;
    case CursorStyle::blinkBar:
    case CursorStyle::steadyBar:
        quad(x0, y0, x0 + thin, y1);
        return out;
    case CursorStyle::blinkBlock:
    case CursorStyle::steadyBlock:
        quad(x0, y0, x1, y1);
        break;
    }

    const GpuFloat4 textColor = colorToSIMD(view.caretTextColor().value_or(view.nativeForegroundColor()));
    const ClipRect block{float(x0), float(y0), float(x1), float(y1)};
    // The solid separators a block draws as the row draws them, not from the font.
    if (view.customBlockGlyphs() && PowerlineRenderer::glyph(uint32_t(cell.code))) {
        const int cellWidthPx = std::max(1, int(std::lround(x1 - x0)));
        const int cellHeightPx = std::max(1, int(std::lround(frame.cellHeight * scale)));
        const std::optional<CustomGlyphEntry> entry =
            entries.customGlyphEntry(uint32_t(cell.code), cellWidthPx, cellHeightPx, scale, 0, true);
        if (entry) {
            appendGlyphQuad(out.glyphVerticesGray,
                            regionQuad(x0, y0, x0 + entry->size.width(), y0 + entry->size.height(), entry->region,
                                       grayscale.size()),
                            block, textColor);
        }
        return out;
    }

    // The cell's character in the face of its attribute, from the shaper: only its glyphs and
    // their heights are used, each glyph starting at the cell's left edge.
    const TextAttributes attributes =
        view.getAttributedValue(cell.attribute, view.caretTextColor().value_or(view.nativeForegroundColor()),
                                view.caretColor());
    QString text = QStringLiteral(" ");
    if (cell.code != 0) {
        const std::u32string character = terminal.character(cell.code);
        text = QString::fromStdString(UnicodeUtil::textPresentationAdjusted(
            QString::fromUcs4(character.data(), qsizetype(character.size())).toStdString()));
    }
    const std::shared_ptr<const ShaperRun> shaped = shaper.shape(text, view.fonts().face(attributes.face));
    if (!shaped) return out;
    const double baselineY = cellBottom + std::ceil(frame.lineDescent + frame.lineLeading);
    for (const ShaperGlyphRun& run : shaped->glyphRuns) {
        if (run.glyphs.empty()) continue;
        const GpuFont scaled = entries.scaledFontFor(run.font, scale);
        for (size_t i = 0; i < run.glyphs.size(); ++i) {
            const std::optional<GlyphEntry> entry = entries.glyphEntry(scaled, run.glyphs[i]);
            if (!entry || entry->size.isEmpty()) continue;
            const GlyphSlotFit fit = view.glyphSlotFit(run.font.raw, run.glyphs[i], charWidth);
            // The slot fit's dy grows downward.
            const double left = (widthFactor * fit.dx + widthFactor * frame.cellWidth * column) * scale +
                                entry->bearing.x() * fit.scale;
            const double bottom = (baselineY + run.positions[i].y() - fit.dy) * scale + entry->bearing.y() * fit.scale;
            const double right = left + entry->size.width() * fit.scale;
            const double top = bottom + entry->size.height() * fit.scale;
            if (right <= left || top <= bottom) continue;
            const GlyphAtlas& atlas = entry->atlasKind == GlyphAtlasKind::color ? color : grayscale;
            appendGlyphQuad(entry->atlasKind == GlyphAtlasKind::color ? out.glyphVerticesColor : out.glyphVerticesGray,
                            regionQuad(left, bottom, right, top, entry->region, atlas.size()), block,
                            glyphColor(*entry, textColor));
        }
    }
    return out;
}

} // namespace corvix

#include "terminal/view/gpu/RowDrawData.hpp"

#include "terminal/view/BoxDrawingRenderer.hpp"
#include "terminal/view/PowerlineRenderer.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/UnderlineSegments.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvix {

RowPlacement::RowPlacement(double boundsHeight, QSizeF cellSize, double scale, double rowTopDown)
    : boundsHeight(boundsHeight), cellWidth(cellSize.width()), cellHeight(cellSize.height()), scale(scale),
      rowBottom(boundsHeight - rowTopDown - cellSize.height()), rowTop(boundsHeight - rowTopDown)
{
}

QRectF RowPlacement::up(const QRectF& down) const
{
    return QRectF(down.left(), boundsHeight - down.bottom(), down.width(), down.height());
}

namespace {

using Mode = BufferLine::RenderLineMode;

// The cell ordinal of a UTF-16 index of a segment's text; an index past the map takes its last cell.
int cellOf(const ViewLineSegment& segment, int index)
{
    const std::vector<int>& map = segment.utf16ToCellOrdinal;
    if (index >= 0 && index < int(map.size())) return map[size_t(index)];
    return !map.empty() && map.back() >= 0 ? map.back() : 0;
}

// What every record of one row goes through: the render mode's transform and the row's clip.
struct RowOutput {
    RowDrawData& data;
    Mode mode;
    std::optional<ClipRect> clip;
    double pivot;

    void color(std::vector<ColorCell>& into, double x0, double y0, double x1, double y1, GpuFloat4 color) const
    {
        clipped(into, renderModeTransform(x0, y0, x1, y1, mode, pivot), color);
    }
    // A rectangle already in the row's transformed space.
    void clipped(std::vector<ColorCell>& into, PixelEdges rect, GpuFloat4 color) const
    {
        const auto edges = clipRect(rect, clip);
        if (!edges) return;
        into.push_back({{edges->x0, edges->y0}, {edges->x1 - edges->x0, edges->y1 - edges->y0}, color});
    }

    // A quad showing atlas `region`; the atlas keeps glyphs bottom scan line first.
    void glyph(std::vector<TextCell>& into, double x0, double y0, double x1, double y1, const AtlasRegion& region,
               int side, GpuFloat4 color) const
    {
        const PixelEdges e = renderModeTransform(x0, y0, x1, y1, mode, pivot);
        const float s = float(side);
        const auto quad = clipRect(TexturedEdges{e.x0, e.y0, e.x1, e.y1, region.x / s, region.y / s,
                                                 (region.x + region.width) / s, (region.y + region.height) / s},
                                   clip);
        if (!quad) return;
        into.push_back({{quad->x0, quad->y0},
                        {quad->x1 - quad->x0, quad->y1 - quad->y0},
                        {quad->u0, quad->v0},
                        {quad->u1 - quad->u0, quad->v1 - quad->v0},
                        color});
    }

    // The part `piece` (points, y down) of a picture laid out at `picture`, from a texture that
    // holds the picture bottom row first.
    void image(std::vector<ImageDraw>& into, const GpuObjectRef& texture, const QRectF& picture, const QRectF& piece,
               const RowPlacement& at) const
    {
        if (piece.isEmpty() || picture.isEmpty()) return;
        const QRectF uv((piece.left() - picture.left()) / picture.width(),
                        (picture.bottom() - piece.bottom()) / picture.height(), piece.width() / picture.width(),
                        piece.height() / picture.height());
        if (auto draw = imageDraw(texture, at.up(piece), uv, mode, clip, pivot, at.scale))
            into.push_back(std::move(*draw));
    }
};

} // namespace

RowDrawBuilder::RowDrawBuilder(TerminalView& view, GlyphEntries& glyphs, const GlyphAtlas& grayscaleAtlas,
                               const GlyphAtlas& colorAtlas, ShaperCache& shaper, GpuImageTextures& images)
    : view(view), glyphs(glyphs), grayscaleAtlas(grayscaleAtlas), colorAtlas(colorAtlas), shaper(shaper),
      images(images)
{
}

RowDrawData RowDrawBuilder::build(int row, int yDisp, double scale)
{
    if (!view.hasTerminal() || row < 0 || row >= view.getTerminal().buffer().lines().count()) return {};
    const RenderFrame frame = view.renderFrame(view.rect(), yDisp, row, row);
    if (frame.rows.empty()) return {};
    return build(frame.rows.front(), frame, scale);
}

RowDrawData RowDrawBuilder::build(const RenderRow& row, const RenderFrame& frame, double scale)
{
    RowDrawData data;
    const ViewLineInfo& info = row.info;
    const RowPlacement at(view.rect().height(), frame.cellSize, scale, row.top);
    const double cw = at.cellWidth;
    const double ch = at.cellHeight;
    const double rowBottomPx = at.rowBottom * scale;
    const double rowHeightPx = ch * scale;
    const int cellWidthPx = std::max(1, int(std::round(cw * scale)));
    const int cellHeightPx = std::max(1, int(std::round(ch * scale)));
    const double viewWidthPx = frame.viewWidth * scale;
    const Mode mode = row.mode;

    // Font metrics are y down: the underline position below the baseline turns negative here.
    const QFontMetricsF& normal = view.faceMetrics(FontFace::normal);
    const double lineWidth = normal.lineWidth();
    const double underlinePosition = -normal.underlinePos();
    const double lineThickness = std::max(0.5, std::round(lineWidth * scale) / scale);
    const double baseline = at.rowBottom + std::ceil(normal.descent() + normal.leading());

    std::optional<ClipRect> clip;
    double pivot = 0;
    if (mode == Mode::doubledTop || mode == Mode::doubledDown) {
        clip = ClipRect{0, float(rowBottomPx), float(viewWidthPx), float(rowBottomPx + rowHeightPx)};
        pivot = mode == Mode::doubledTop ? at.rowTop * scale : rowBottomPx;
    }
    const RowOutput out{data, mode, clip, pivot};

    // Custom glyphs: line art drawn to the cell's own pixels.
    const int side = grayscaleAtlas.size();
    const bool antiAlias = frame.antiAliasCustomBlockGlyphs;
    const double oy = std::round(rowBottomPx);
    if (!info.boxDrawings.empty()) {
        const int thickness = BoxDrawingRenderer::baseThicknessPx(scale, lineWidth);
        const double h = antiAlias ? rowHeightPx : cellHeightPx;
        for (const BoxDrawingRenderItem& item : info.boxDrawings) {
            const int w = cellWidthPx * item.columnWidth;
            const auto entry = glyphs.customGlyphEntry(item.codePoint, w, cellHeightPx, scale, thickness, false);
            if (!entry) continue;
            const double x = double(item.column) * cellWidthPx;
            out.glyph(data.glyphCellsGray, x, oy, x + w, oy + h, entry->region, side, colorToSIMD(item.foregroundColor));
        }
    }
    for (const BlockElementRenderItem& item : info.blockElements) {
        const int w = antiAlias ? std::max(1, int(std::round(cw * scale * item.columnWidth)))
                                : cellWidthPx * item.columnWidth;
        const auto entry = glyphs.customGlyphEntry(item.codePoint, w, cellHeightPx, scale, 0, antiAlias);
        if (!entry) continue;
        const double x = antiAlias ? item.column * cw * scale : double(item.column) * cellWidthPx;
        const double width = antiAlias ? cw * scale * item.columnWidth : double(w);
        const double y = antiAlias ? rowBottomPx : oy;
        out.glyph(data.glyphCellsGray, x, y, x + width, y + cellHeightPx, entry->region, side,
                  colorToSIMD(item.foregroundColor));
    }
    for (const PowerlineRenderItem& item : info.powerlineGlyphs) {
        const auto entry =
            glyphs.customGlyphEntry(item.codePoint, cellWidthPx * item.columnWidth, cellHeightPx, scale, 0, true);
        if (!entry) continue;
        const GpuFloat4 color = colorToSIMD(item.foregroundColor);
        const double x = double(item.column) * cellWidthPx;
        const double x1 = x + entry->size.width();
        const double y1 = oy + entry->size.height();
        out.glyph(data.glyphCellsGray, x, oy, x1, y1, entry->region, side, color);
        const PixelEdges t = renderModeTransform(x, oy, x1, y1, mode, pivot);
        if (const auto join = PowerlineRenderer::devicePixelJoinRect(
                item.codePoint, QRectF(t.x0, t.y0, t.x1 - t.x0, t.y1 - t.y0)))
            out.clipped(data.powerlineJoinCells,
                        {float(join->left()), float(join->top()), float(join->right()), float(join->bottom())}, color);
    }

    const std::vector<ShapedSegment> shaped = buildShapedSegments(info.segments, view.fonts(), shaper);

    // Backgrounds: the selection's, else the run's; a run reaching the last column runs on to the
    // drawable's right edge.
    const GpuFloat4 nativeBackground = colorToSIMD(frame.background);
    for (const ShapedSegment& s : shaped) {
        const ViewLineSegment& segment = *s.segment;
        for (const ShapedRun& r : s.runs) {
            if (!r.shaperRun || r.shaperRun->glyphCount == 0) continue;
            const TextAttributes& a = r.run->attributes;
            // The payload resolves the default background to the native colour, which the frame is
            // cleared with: a run in it has no background of its own. A selection's always counts.
            if (!a.selectionBackground && (!a.background.isValid() || a.background == frame.background)) continue;
            const QColor background = a.selectionBackground ? *a.selectionBackground : a.background;
            int minCell = std::numeric_limits<int>::max();
            int maxCell = std::numeric_limits<int>::min();
            for (int index : r.shaperRun->stringIndices) {
                const int cell = cellOf(segment, r.utf16Offset + index);
                minCell = std::min(minCell, cell);
                maxCell = std::max(maxCell, cell);
            }
            const int startCol = segment.column + minCell * segment.columnWidth;
            const int endCol = segment.column + (maxCell + 1) * segment.columnWidth;
            if (endCol <= startCol) continue;
            const double x0 = startCol * cw * scale;
            double x1 = endCol * cw * scale;
            if (endCol >= frame.cols) {
                if (background == frame.background) {
                    x1 = viewWidthPx;
                } else if (x1 < viewWidthPx) {
                    out.color(data.backgroundCells, x1, rowBottomPx, viewWidthPx, rowBottomPx + rowHeightPx,
                              nativeBackground);
                }
            }
            out.color(data.backgroundCells, x0, rowBottomPx, x1, rowBottomPx + rowHeightPx, colorToSIMD(background));
        }
    }

    // Attached pictures: each strip shows the part of its picture that falls inside it. Kitty
    // pixel offsets are in the pixels the program was told of, the view's backing scale.
    const double bs = frame.devicePixelRatio;
    const auto attach = [&](const std::vector<const TerminalView::AppleImage*>& list, std::vector<ImageDraw>& into,
                            bool kitty) {
        for (const TerminalView::AppleImage* image : list) {
            const GpuImageTexture texture = images.texture(image->picture());
            if (!texture.texture) continue;
            const QRectF strip = image->stripRect(cw, row.top, bs, kitty);
            const QRectF picture = image->laidOutRect(strip);
            out.image(into, texture.texture, picture, picture.intersected(strip), at);
        }
    };
    attach(row.imagesBelow, data.underImageDraws, true);
    attach(row.imagesAbove, data.overImageDraws, true);
    attach(row.otherImages, data.otherImageDraws, false);

    // Text and its decorations.
    const double wholeCell = std::ceil(cw);
    for (const ShapedSegment& s : shaped) {
        const ViewLineSegment& segment = *s.segment;
        for (const ShapedRun& r : s.runs) {
            if (!r.shaperRun || r.shaperRun->glyphCount == 0) continue;
            const ShaperRun& shapedRun = *r.shaperRun;
            const TextAttributes& a = r.run->attributes;
            const GpuFloat4 textColor = colorToSIMD(a.foreground.isValid() ? a.foreground : frame.foreground);
            const auto cellLeft = [&](int index) {
                return (segment.column + cellOf(segment, r.utf16Offset + index) * segment.columnWidth) * cw;
            };

            // Each cell's first glyph starts at the cell's left edge; later glyphs of the same cell
            // (combining marks) keep their shaped offset from it.
            int trackedCell = -1;
            double startX = 0;
            for (const ShaperGlyphRun& glyphRun : shapedRun.glyphRuns) {
                const GpuFont deviceFont = glyphs.scaledFontFor(glyphRun.font, scale);
                for (size_t i = 0; i < glyphRun.glyphs.size(); i++) {
                    const auto entry = glyphs.glyphEntry(deviceFont, glyphRun.glyphs[i]);
                    if (!entry || entry->size.isEmpty()) continue;
                    const QPointF position = glyphRun.positions[i];
                    const int cell = cellOf(segment, r.utf16Offset + glyphRun.stringIndices[i]);
                    double dx = 0;
                    if (cell == trackedCell) {
                        dx = position.x() - startX;
                    } else {
                        trackedCell = cell;
                        startX = position.x();
                    }
                    const double cellX = (segment.column + cell * segment.columnWidth) * cw + dx;
                    // The slot fit moves down in y-down terms: up here is its negative.
                    GlyphSlotFit fit;
                    if (segment.columnWidth >= 2)
                        fit = view.glyphSlotFit(glyphRun.font.raw, glyphRun.glyphs[i], segment.columnWidth);
                    const double x0 = (cellX + fit.dx) * scale + entry->bearing.x() * fit.scale;
                    const double y0 = (baseline + position.y() - fit.dy) * scale + entry->bearing.y() * fit.scale;
                    const double x1 = x0 + entry->size.width() * fit.scale;
                    const double y1 = y0 + entry->size.height() * fit.scale;
                    const bool gray = entry->atlasKind == GlyphAtlasKind::grayscale;
                    out.glyph(gray ? data.glyphCellsGray : data.glyphCellsColor, x0, y0, x1, y1, entry->region,
                              gray ? side : colorAtlas.size(), glyphColor(*entry, textColor));
                }
            }

            if (a.underlineStyle != UnderlineStyle::none) {
                const GpuFloat4 color = colorToSIMD(a.underlineColor.value_or(frame.foreground));
                for (size_t i = 0; i < shapedRun.positions.size(); i++) {
                    const double left = cellLeft(shapedRun.stringIndices[i]);
                    const double centre = baseline + shapedRun.positions[i].y() + underlinePosition;
                    const auto line = [&](double y, UnderlineStyle style) {
                        appendUnderlineSegments(left * scale, (left + wholeCell) * scale, y * scale,
                                                lineThickness * scale, color, style, scale, mode, clip, pivot,
                                                data.decorationCells);
                    };
                    if (a.underlineStyle == UnderlineStyle::double_) {
                        // The second line one thickness and one point below the first.
                        line(centre, UnderlineStyle::single);
                        line(centre - lineThickness - 1, UnderlineStyle::single);
                    } else {
                        line(centre, a.underlineStyle);
                    }
                }
            }

            // The engine knows one strikethrough style: a single line through the x-height.
            if (a.strikethrough) {
                const GpuFloat4 color = colorToSIMD(a.strikethroughColor.value_or(frame.foreground));
                const QFontMetricsF& runFont = view.faceMetrics(a.face);
                const double thickness = std::max(0.5, std::round(runFont.lineWidth() * scale) / scale);
                for (size_t i = 0; i < shapedRun.positions.size(); i++) {
                    const double left = cellLeft(shapedRun.stringIndices[i]);
                    const double centre = (runFont.xHeight() + thickness) * 0.5 + baseline + shapedRun.positions[i].y();
                    appendUnderlineSegments(left * scale, (left + wholeCell) * scale, centre * scale, thickness * scale,
                                            color, UnderlineStyle::single, scale, mode, clip, pivot,
                                            data.decorationCells);
                }
            }
        }
    }

    // Placeholder cells: each shows its own piece of the placement's aspect-fitted picture.
    if (!row.placeholders.empty()) {
        const KittyGraphicsState& store = view.getTerminal().kittyGraphicsState();
        for (const RenderPlaceholder& p : row.placeholders) {
            const GpuImageTexture texture = images.kittyTexture(store, p.imageId);
            if (!texture.texture) continue;
            const QRectF cell(p.col * cw, row.top, cw, ch);
            out.image(data.placeholderImageDraws, texture.texture, p.target, p.target.intersected(cell), at);
        }
    }
    return data;
}

} // namespace corvix

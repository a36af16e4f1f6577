// Drawing frames with a QPainter, from the row model: glyphs placed by cell arithmetic, no text
// measured.
#include "terminal/view/PainterRenderer.hpp"

#include "terminal/view/BlockElementRenderer.hpp"
#include "terminal/view/BoxDrawingRenderer.hpp"
#include "terminal/view/PowerlineRenderer.hpp"
#include "terminal/view/TerminalFonts.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace corvix {

// One run of glyphs in one font, with the cell each glyph belongs to.
struct PreparedGlyphs {
    QRawFont font;
    QList<quint32> glyphs;
    // The glyph's origin relative to its cell's left edge on the baseline.
    QList<QPointF> offsets;
    QList<int> ordinals;
    // Emoji pictures are placed whole when prepared and not fitted again.
    bool placed = false;
};

namespace {

// A text run ready to draw: its glyphs in one or more fonts and its attributes.
struct PreparedRun {
    const TextRun* run;
    std::vector<PreparedGlyphs> parts;
    int firstOrdinal;
    int lastOrdinal;
};

PreparedGlyphs& partFor(std::vector<PreparedGlyphs>& parts, const QRawFont& font, bool placed = false)
{
    for (PreparedGlyphs& p : parts)
        if (p.font == font && p.placed == placed) return p;
    parts.push_back({font, {}, {}, {}, placed});
    return parts.back();
}

} // namespace

void PainterRenderer::drawFrame(const RenderFrame& frame)
{
    if (!painter_) return;
    // The view's background shows wherever no cell paints its own.
    painter_->fillRect(frame.dirtyRect, frame.background);
    for (const RenderRow& row : frame.rows) drawRow(*painter_, frame, row);
}

void PainterRenderer::prepareEmojiCell(std::vector<PreparedGlyphs>& parts, const QString& cellText, int ordinal,
                                       int columnWidth)
{
    // The picture's ink, of all its glyphs, is centred in its cells; the face is sized to fill
    // the cell's height, and shrunk only where the cells are narrower than a picture.
    const QList<QGlyphRun> runs = TerminalFonts::cachedCTLine(cellText, fonts_.emojiFont());
    QRectF ink;
    for (const QGlyphRun& run : runs) {
        const QRawFont& font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype k = 0; k < glyphs.size(); k++) ink |= font.boundingRect(glyphs[k]).translated(positions[k]);
    }
    if (ink.isEmpty()) return;
    const QSizeF cell = fonts_.cellSize();
    const double slot = cell.width() * columnWidth;
    const double scale = std::min({1.0, slot / ink.width(), cell.height() / ink.height()});
    const QFontMetricsF& metrics = fonts_.faceMetrics(FontFace::normal);
    // The cell's centre, measured from the baseline (y down).
    const QPointF centre(slot * 0.5, std::ceil(metrics.descent() + metrics.leading()) - cell.height() * 0.5);
    const QPointF shift = centre - ink.center() * scale;
    for (const QGlyphRun& run : runs) {
        QRawFont font = run.rawFont();
        if (scale != 1.0) font.setPixelSize(font.pixelSize() * scale);
        PreparedGlyphs& part = partFor(parts, font, true);
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype k = 0; k < glyphs.size(); k++) {
            part.glyphs.push_back(glyphs[k]);
            part.offsets.push_back(positions[k] * scale + shift);
            part.ordinals.push_back(ordinal);
        }
    }
}

void PainterRenderer::drawRow(QPainter& painter, const RenderFrame& frame, const RenderRow& row)
{
    const QSizeF cell = frame.cellSize;
    const double cw = cell.width();
    const double h = cell.height();
    const double lineTop = row.top;
    const double lineBottom = lineTop + h;
    const int cols = frame.cols;
    const ViewLineInfo& info = row.info;

    const BufferLine::RenderLineMode mode = row.mode;
    painter.save();
    switch (mode) {
    case BufferLine::RenderLineMode::single: break;
    case BufferLine::RenderLineMode::doubleWidth: painter.scale(2, 1); break;
    case BufferLine::RenderLineMode::doubledTop:
    case BufferLine::RenderLineMode::doubledDown: {
        // Text twice the size, of which the row shows its upper or its lower half.
        const double pivot = mode == BufferLine::RenderLineMode::doubledTop ? lineTop : lineBottom;
        painter.setClipRect(QRectF(0, lineTop, frame.dirtyRect.width(), h));
        painter.translate(0, pivot);
        painter.scale(2, 2);
        painter.translate(0, -pivot);
        break;
    }
    }

    // Prepare the runs: glyphs by cell arithmetic, in the face's font, falling back per character.
    std::vector<std::pair<const ViewLineSegment*, std::vector<PreparedRun>>> prepared;
    prepared.reserve(info.segments.size());
    for (const ViewLineSegment& segment : info.segments) {
        if (segment.text.isEmpty()) continue;
        std::vector<PreparedRun> runs;
        runs.reserve(segment.runs.size());
        for (const TextRun& run : segment.runs) {
            PreparedRun p{&run, {}, 0, 0};
            const QFont& font = fonts_.fonts().face(run.attributes.face);
            const QRawFont& raw = fonts_.rawFace(run.attributes.face);
            const int end = run.start + run.length;
            if (segment.utf16IsCellIdentity) {
                p.firstOrdinal = run.start;
                p.lastOrdinal = end - 1;
                const QChar* chars = segment.text.constData() + run.start;
                QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromRawData(chars, run.length));
                for (int i = 0; i < run.length; i++) {
                    if (chars[i] == u' ') continue;
                    if (chars[i].unicode() >= 0x2000 && TerminalFonts::isEmojiPresentation(QStringView(chars + i, 1))) {
                        prepareEmojiCell(p.parts, QString(chars[i]), run.start + i, segment.columnWidth);
                        continue;
                    }
                    quint32 glyph = i < glyphs.size() ? glyphs[i] : 0;
                    QRawFont font2 = raw;
                    if (glyph == 0) {
                        font2 = TerminalFonts::resolvedFont(QString(chars[i]), font);
                        const QList<quint32> g = font2.glyphIndexesForString(QString(chars[i]));
                        glyph = g.isEmpty() ? 0 : g.front();
                    }
                    PreparedGlyphs& part = partFor(p.parts, font2);
                    part.glyphs.push_back(glyph);
                    part.offsets.push_back(QPointF(0, 0));
                    part.ordinals.push_back(run.start + i);
                }
            } else {
                // Cells of several units (clusters, surrogates, selectors) are shaped one by one.
                const std::vector<int>& map = segment.utf16ToCellOrdinal;
                auto ordinalAt = [&](int i) { return i < int(map.size()) ? map[size_t(i)] : (map.empty() ? 0 : map.back()); };
                p.firstOrdinal = ordinalAt(run.start);
                p.lastOrdinal = ordinalAt(end - 1);
                int i = run.start;
                while (i < end) {
                    const int ordinal = ordinalAt(i);
                    int j = i + 1;
                    while (j < end && ordinalAt(j) == ordinal) j++;
                    const QString cellText = segment.text.mid(i, j - i);
                    if (TerminalFonts::isEmojiPresentation(cellText)) {
                        prepareEmojiCell(p.parts, cellText, ordinal, segment.columnWidth);
                    } else if (cellText != u" ") {
                        for (const QGlyphRun& glyphRun : TerminalFonts::cachedCTLine(cellText, font)) {
                            PreparedGlyphs& part = partFor(p.parts, glyphRun.rawFont());
                            const QList<quint32> glyphs = glyphRun.glyphIndexes();
                            const QList<QPointF> positions = glyphRun.positions();
                            for (qsizetype k = 0; k < glyphs.size(); k++) {
                                part.glyphs.push_back(glyphs[k]);
                                part.offsets.push_back(QPointF(positions[k].x(), positions[k].y()));
                                part.ordinals.push_back(ordinal);
                            }
                        }
                    }
                    i = j;
                }
            }
            runs.push_back(std::move(p));
        }
        prepared.emplace_back(&segment, std::move(runs));
    }

    // Backgrounds, without anti-aliasing; a run reaching the last column carries its colour to
    // the view's right edge.
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const auto& [segment, runs] : prepared) {
        for (const PreparedRun& p : runs) {
            const TextAttributes& a = p.run->attributes;
            const QColor& bg = a.selectionBackground ? *a.selectionBackground : a.background;
            if (bg == frame.background) continue;
            const int start = segment->column + p.firstOrdinal * segment->columnWidth;
            const int end = segment->column + (p.lastOrdinal + 1) * segment->columnWidth;
            if (end <= start) continue;
            const double right = end >= cols ? std::max(double(frame.viewWidth), cw * end) : cw * end;
            painter.fillRect(QRectF(cw * start, lineTop, right - cw * start, h), bg);
        }
    }

    drawImages(painter, frame, row.imagesBelow, lineTop, true);

    if (!info.boxDrawings.empty()) drawBoxDrawings(painter, frame, info.boxDrawings, lineTop);
    if (!info.blockElements.empty()) drawBlockElements(painter, frame, info.blockElements, lineTop);
    if (!info.powerlineGlyphs.empty()) drawPowerlineGlyphs(painter, frame, info.powerlineGlyphs, lineTop, mode);

    // Text.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, frame.fontSmoothing);
    const QFontMetricsF& metrics = fonts_.faceMetrics(FontFace::normal);
    const double baseline = lineBottom - std::ceil(metrics.descent() + metrics.leading());
    for (const auto& [segment, runs] : prepared) {
        for (const PreparedRun& p : runs) {
            const TextAttributes& a = p.run->attributes;
            const QColor color = a.foreground.isValid() ? a.foreground : frame.foreground;
            painter.setPen(color);
            for (const PreparedGlyphs& part : p.parts) {
                positions_.resize(part.glyphs.size());
                for (qsizetype i = 0; i < part.glyphs.size(); i++) {
                    const double x = cw * (segment->column + part.ordinals[i] * segment->columnWidth);
                    positions_[i] = QPointF(x + part.offsets[i].x(), baseline + part.offsets[i].y());
                }
                drawGlyphs(painter, part.font, part.glyphs, positions_, part.placed ? 1 : segment->columnWidth);
            }
            if (a.hasDecorations()) {
                const double x0 = cw * (segment->column + p.firstOrdinal * segment->columnWidth);
                const double x1 = cw * (segment->column + (p.lastOrdinal + 1) * segment->columnWidth);
                drawRunAttributes(painter, frame, a, QPointF(x0, baseline), x1 - x0);
            }
        }
    }
    if (!row.placeholders.empty()) drawPlaceholders(painter, frame, row);
    drawImages(painter, frame, row.imagesAbove, lineTop, true);
    drawImages(painter, frame, row.otherImages, lineTop, false);
    painter.restore();
}

void PainterRenderer::drawImages(QPainter& painter, const RenderFrame& frame,
                                 const std::vector<const TerminalView::AppleImage*>& images, double lineTop,
                                 bool withOffsets)
{
    const double scale = frame.devicePixelRatio;
    const double cw = frame.cellSize.width();
    for (const TerminalView::AppleImage* image : images) {
        const QRectF strip = image->stripRect(cw, lineTop, scale, withOffsets);
        painter.save();
        painter.setClipRect(strip, Qt::IntersectClip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(image->laidOutRect(strip), image->image());
        painter.restore();
    }
}

void PainterRenderer::drawPlaceholders(QPainter& painter, const RenderFrame& frame, const RenderRow& row)
{
    const double cw = frame.cellSize.width();
    const double h = frame.cellSize.height();
    for (const RenderPlaceholder& p : row.placeholders) {
        auto image = frame.placeholderImages.find(p.imageId);
        if (image == frame.placeholderImages.end()) continue;
        // Each cell shows its own piece of the whole placement.
        painter.save();
        painter.setClipRect(QRectF(cw * p.col, row.top, cw, h), Qt::IntersectClip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(p.target, image->second);
        painter.restore();
    }
}

void PainterRenderer::drawGlyphs(QPainter& painter, const QRawFont& font, const QList<quint32>& glyphs,
                                 QList<QPointF>& positions, int columnWidth)
{
    if (glyphs.isEmpty()) return;
    QGlyphRun run;
    run.setRawFont(font);
    if (columnWidth < 2) {
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
        return;
    }
    // Wide glyphs are fitted into their two cells; one that must shrink is drawn on its own in
    // a smaller copy of the font.
    bool allNatural = true;
    QList<GlyphSlotFit> fits(glyphs.size());
    for (qsizetype i = 0; i < glyphs.size(); i++) {
        fits[i] = fonts_.glyphSlotFit(font, glyphs[i], columnWidth);
        positions[i] += QPointF(fits[i].dx, fits[i].dy);
        allNatural = allNatural && fits[i].scale == 1.0;
    }
    if (allNatural) {
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
        return;
    }
    for (qsizetype i = 0; i < glyphs.size(); i++) {
        QGlyphRun one;
        QRawFont f = font;
        if (fits[i].scale != 1.0) f.setPixelSize(font.pixelSize() * fits[i].scale);
        one.setRawFont(f);
        one.setGlyphIndexes({glyphs[i]});
        one.setPositions({positions[i]});
        painter.drawGlyphRun(QPointF(0, 0), one);
    }
}

// ---- Decorations and custom glyphs ------------------------------------------------------------

void PainterRenderer::drawRunAttributes(QPainter& painter, const RenderFrame& frame, const TextAttributes& attributes,
                                        QPointF start, double width)
{
    if (width <= 0) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double scale = frame.devicePixelRatio;
    const QFontMetricsF& normal = fonts_.faceMetrics(FontFace::normal);
    const double t = std::max(0.5, std::round(scale * normal.lineWidth()) / scale);
    const double x0 = start.x();
    const double x1 = start.x() + width;

    const UnderlineStyle style = attributes.underlineStyle;
    if (style != UnderlineStyle::none) {
        const QColor color = attributes.underlineColor.value_or(frame.foreground);
        // The underline sits this far below the baseline (y grows downward).
        const double y = start.y() + normal.underlinePos();
        QPen pen(color, t, Qt::SolidLine, Qt::FlatCap);
        const double a = std::max(1.0, t);
        switch (style) {
        case UnderlineStyle::single:
            painter.setPen(pen);
            painter.drawLine(QPointF(x0, y), QPointF(x1, y));
            break;
        case UnderlineStyle::double_:
            painter.setPen(pen);
            painter.drawLine(QPointF(x0, y), QPointF(x1, y));
            painter.drawLine(QPointF(x0, y + t + 1), QPointF(x1, y + t + 1));
            break;
        case UnderlineStyle::curly: {
            const double wavelength = std::max(4.0, 4 * t);
            QPainterPath path(QPointF(x0, y));
            for (double u = x0; u <= x1; u += a) path.lineTo(u, y + a * std::sin((u - x0) / wavelength * 2 * M_PI));
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(path);
            break;
        }
        case UnderlineStyle::dotted: {
            QPen dotted = pen;
            dotted.setCapStyle(Qt::RoundCap);
            // Dash patterns are in units of the pen width.
            dotted.setDashPattern({a / t, 2 * a / t});
            painter.setPen(dotted);
            painter.drawLine(QPointF(x0, y), QPointF(x1, y));
            break;
        }
        case UnderlineStyle::dashed: {
            QPen dashed = pen;
            const double dash = std::max(2.0, 2 * t);
            dashed.setDashPattern({dash / t, dash / t});
            painter.setPen(dashed);
            painter.drawLine(QPointF(x0, y), QPointF(x1, y));
            break;
        }
        case UnderlineStyle::none: break;
        }
    }

    if (attributes.strikethrough) {
        const QColor color = attributes.strikethroughColor.value_or(frame.foreground);
        const QFontMetricsF& runFont = fonts_.faceMetrics(attributes.face);
        const double st = std::max(0.5, std::round(scale * runFont.lineWidth()) / scale);
        const double y = start.y() - (runFont.xHeight() + st) * 0.5;
        painter.setPen(QPen(color, st, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(x0, y), QPointF(x1, y));
    }
    painter.restore();
}

void PainterRenderer::drawBoxDrawings(QPainter& painter, const RenderFrame& frame,
                                      const std::vector<BoxDrawingRenderItem>& items, double lineTop)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double scale = frame.devicePixelRatio;
    const QSizeF cell = frame.cellSize;
    const double cwPx = std::max(1.0, std::round(scale * cell.width()));
    const double ch = std::max(1.0, std::round(scale * cell.height())) / scale;
    const int thickness = BoxDrawingRenderer::baseThicknessPx(scale, fonts_.faceMetrics(FontFace::normal).lineWidth());
    const double oy = std::round(scale * lineTop) / scale;
    for (const BoxDrawingRenderItem& item : items) {
        QColor color = item.foregroundColor;
        color.setAlphaF(std::clamp(color.alphaF(), 0.0f, 1.0f));
        BoxDrawingRenderer::draw(item.codePoint, painter, QPointF(item.column * cwPx / scale, oy),
                                 QSizeF(cwPx * item.columnWidth / scale, ch), scale, color, thickness);
    }
    painter.restore();
}

void PainterRenderer::drawBlockElements(QPainter& painter, const RenderFrame& frame,
                                        const std::vector<BlockElementRenderItem>& items, double lineTop)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, frame.antiAliasCustomBlockGlyphs);
    const QSizeF cell = frame.cellSize;
    for (const BlockElementRenderItem& item : items) {
        const QRectF rect(cell.width() * item.column, lineTop, cell.width() * item.columnWidth, cell.height());
        BlockElementRenderer::draw(item.rects, painter, rect, frame.devicePixelRatio, item.foregroundColor);
    }
    painter.restore();
}

void PainterRenderer::drawPowerlineGlyphs(QPainter& painter, const RenderFrame& frame,
                                          const std::vector<PowerlineRenderItem>& items, double lineTop,
                                          BufferLine::RenderLineMode mode)
{
    const PowerlineRenderer::DeviceScale scale = PowerlineRenderer::deviceScale(mode, frame.devicePixelRatio);
    const QSizeF cell = frame.cellSize;
    for (const PowerlineRenderItem& item : items) {
        const QRectF rect(cell.width() * item.column, lineTop, cell.width() * item.columnWidth, cell.height());
        PowerlineRenderer::draw(item.codePoint, painter, rect, scale, item.foregroundColor);
    }
}

} // namespace corvix

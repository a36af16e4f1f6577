// Drawing the screen on the CPU: the rows a dirty rectangle touches, from the row model.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/BlockElementRenderer.hpp"
#include "terminal/view/BoxDrawingRenderer.hpp"
#include "terminal/view/PowerlineRenderer.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPaintEvent>
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

const QFontMetricsF& TerminalView::faceMetrics(FontFace face) const
{
    std::optional<QFontMetricsF>& slot = faceMetrics_[size_t(face)];
    if (!slot) slot.emplace(fontSet.face(face));
    return *slot;
}

const QRawFont& TerminalView::rawFace(FontFace face)
{
    std::optional<QRawFont>& slot = rawFaces[size_t(face)];
    if (!slot) slot = QRawFont::fromFont(fontSet.face(face));
    return *slot;
}

void TerminalView::prepareEmojiCell(std::vector<PreparedGlyphs>& parts, const QString& cellText, int ordinal,
                                    int columnWidth)
{
    // The picture's ink, of all its glyphs, is centred in its cells; the face is sized to fill
    // the cell's height, and shrunk only where the cells are narrower than a picture.
    const QList<QGlyphRun> runs = cachedCTLine(cellText, emojiFont());
    QRectF ink;
    for (const QGlyphRun& run : runs) {
        const QRawFont& font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype k = 0; k < glyphs.size(); k++) ink |= font.boundingRect(glyphs[k]).translated(positions[k]);
    }
    if (ink.isEmpty()) return;
    const QSizeF cell = *cellDimension;
    const double slot = cell.width() * columnWidth;
    const double scale = std::min({1.0, slot / ink.width(), cell.height() / ink.height()});
    const QFontMetricsF& metrics = faceMetrics(FontFace::normal);
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

void TerminalView::paintEvent(QPaintEvent* event)
{
    if (gpuView) return;
    paintCount_++;
    QPainter painter(this);
    drawTerminalContents(event->rect(), painter, terminal->buffer().yDisp());
}

void TerminalView::drawTerminalContents(const QRect& dirtyRect, QPainter& painter, int bufferOffset)
{
    const QSizeF cell = *cellDimension;
    const double h = cell.height();
    // The view's background shows wherever no cell paints its own.
    painter.fillRect(dirtyRect, *_nativeBg);

    Buffer& buffer = terminal->buffer();
    passVirtualPlacements.clear();
    passPlaceholderImages.clear();
    const bool alternate = terminal->isCurrentBufferAlternate();
    for (const auto& [key, record] : terminal->kittyGraphicsState().placementsByKey)
        if (record.isVirtual && record.isAlternateBuffer == alternate) passVirtualPlacements[key.imageId].push_back(record);
    const int firstRow = bufferOffset + int(dirtyRect.top() / h);
    const int lastRow = bufferOffset + int((dirtyRect.top() + dirtyRect.height()) / h);
    const int lineCount = buffer.lines().count();
    for (int r = std::max(firstRow, 0); r <= lastRow && r < lineCount; r++) {
        drawRow(painter, r, buffer.lines()[r], dirtyRect, bufferOffset);
    }
    // Pictures are not kept between passes.
    passPlaceholderImages.clear();
}

void TerminalView::drawRow(QPainter& painter, int r, const BufferLine& line, const QRect& dirtyRect, int bufferOffset)
{
    const QSizeF cell = *cellDimension;
    const double cw = cell.width();
    const double h = cell.height();
    const double lineTop = h * (r - bufferOffset);
    const double lineBottom = lineTop + h;
    const int cols = terminal->cols;

    const BufferLine::RenderLineMode mode = line.renderMode();
    painter.save();
    switch (mode) {
    case BufferLine::RenderLineMode::single: break;
    case BufferLine::RenderLineMode::doubleWidth: painter.scale(2, 1); break;
    case BufferLine::RenderLineMode::doubledTop:
    case BufferLine::RenderLineMode::doubledDown: {
        // Text twice the size, of which the row shows its upper or its lower half.
        const double pivot = mode == BufferLine::RenderLineMode::doubledTop ? lineTop : lineBottom;
        painter.setClipRect(QRectF(0, lineTop, dirtyRect.width(), h));
        painter.translate(0, pivot);
        painter.scale(2, 2);
        painter.translate(0, -pivot);
        break;
    }
    }

    const ViewLineInfo info = buildAttributedString(r, line, cols);

    // Kitty images below the text (negative z), above it, and the other images; Kitty ones in
    // z order, ties by image id, otherwise as attached.
    std::vector<const AppleImage*> below;
    std::vector<const AppleImage*> above;
    std::vector<const AppleImage*> plain;
    if (info.images) {
        for (const auto& image : *info.images) {
            const auto* apple = dynamic_cast<const AppleImage*>(image.get());
            if (!apple) continue;
            if (!apple->kittyIsKitty) {
                plain.push_back(apple);
            } else {
                (apple->kittyZIndex < 0 ? below : above).push_back(apple);
            }
        }
        const auto byZ = [](const AppleImage* a, const AppleImage* b) {
            if (a->kittyZIndex != b->kittyZIndex) return a->kittyZIndex < b->kittyZIndex;
            return a->kittyImageId.value_or(0) < b->kittyImageId.value_or(0);
        };
        std::stable_sort(below.begin(), below.end(), byZ);
        std::stable_sort(above.begin(), above.end(), byZ);
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
            const QFont& font = fontSet.face(run.attributes.face);
            const QRawFont& raw = rawFace(run.attributes.face);
            const int end = run.start + run.length;
            if (segment.utf16IsCellIdentity) {
                p.firstOrdinal = run.start;
                p.lastOrdinal = end - 1;
                const QChar* chars = segment.text.constData() + run.start;
                QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromRawData(chars, run.length));
                for (int i = 0; i < run.length; i++) {
                    if (chars[i] == u' ') continue;
                    if (chars[i].unicode() >= 0x2000 && isEmojiPresentation(QStringView(chars + i, 1))) {
                        prepareEmojiCell(p.parts, QString(chars[i]), run.start + i, segment.columnWidth);
                        continue;
                    }
                    quint32 glyph = i < glyphs.size() ? glyphs[i] : 0;
                    QRawFont font2 = raw;
                    if (glyph == 0) {
                        font2 = resolvedFont(QString(chars[i]), font);
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
                    if (isEmojiPresentation(cellText)) {
                        prepareEmojiCell(p.parts, cellText, ordinal, segment.columnWidth);
                    } else if (cellText != u" ") {
                        for (const QGlyphRun& glyphRun : cachedCTLine(cellText, font)) {
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
            if (bg == *_nativeBg) continue;
            const int start = segment->column + p.firstOrdinal * segment->columnWidth;
            const int end = segment->column + (p.lastOrdinal + 1) * segment->columnWidth;
            if (end <= start) continue;
            const double right = end >= cols ? std::max(double(width()), cw * end) : cw * end;
            painter.fillRect(QRectF(cw * start, lineTop, right - cw * start, h), bg);
        }
    }

    drawImages(painter, below, lineTop, true);

    if (!info.boxDrawings.empty()) drawBoxDrawings(painter, info.boxDrawings, lineTop);
    if (!info.blockElements.empty()) drawBlockElements(painter, info.blockElements, lineTop);
    if (!info.powerlineGlyphs.empty()) drawPowerlineGlyphs(painter, info.powerlineGlyphs, lineTop, mode);

    // Text.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, _fontSmoothing);
    const QFontMetricsF& metrics = faceMetrics(FontFace::normal);
    const double baseline = lineBottom - std::ceil(metrics.descent() + metrics.leading());
    QList<QPointF> positions;
    for (const auto& [segment, runs] : prepared) {
        for (const PreparedRun& p : runs) {
            const TextAttributes& a = p.run->attributes;
            const QColor color = a.foreground.isValid() ? a.foreground : *_nativeFg;
            painter.setPen(color);
            for (const PreparedGlyphs& part : p.parts) {
                positions.resize(part.glyphs.size());
                for (qsizetype i = 0; i < part.glyphs.size(); i++) {
                    const double x = cw * (segment->column + part.ordinals[i] * segment->columnWidth);
                    positions[i] = QPointF(x + part.offsets[i].x(), baseline + part.offsets[i].y());
                }
                drawGlyphs(painter, part.font, part.glyphs, positions, part.placed ? 1 : segment->columnWidth);
            }
            if (a.hasDecorations()) {
                const double x0 = cw * (segment->column + p.firstOrdinal * segment->columnWidth);
                const double x1 = cw * (segment->column + (p.lastOrdinal + 1) * segment->columnWidth);
                drawRunAttributes(painter, a, QPointF(x0, baseline), x1 - x0);
            }
        }
    }
    if (!info.kittyPlaceholders.empty()) drawPlaceholders(painter, info, lineTop);
    drawImages(painter, above, lineTop, true);
    drawImages(painter, plain, lineTop, false);
    painter.restore();
}

void TerminalView::drawImages(QPainter& painter, const std::vector<const AppleImage*>& images, double lineTop,
                              bool withOffsets)
{
    const double scale = backingScale();
    const double cw = cellDimension->width();
    for (const AppleImage* image : images) {
        // The pixel offsets move the picture right and down inside its first cell.
        const double dx = withOffsets ? image->kittyPixelOffsetX / scale : 0;
        const double dy = withOffsets ? image->kittyPixelOffsetY / scale : 0;
        image->draw(painter, QRectF(cw * image->col() + dx, lineTop + dy, image->pixelWidth(), image->pixelHeight()));
    }
}

void TerminalView::drawPlaceholders(QPainter& painter, const ViewLineInfo& info, double lineTop)
{
    const double scale = backingScale();
    const double cw = cellDimension->width();
    const double h = cellDimension->height();
    for (const KittyPlaceholderCell& p : info.kittyPlaceholders) {
        auto entry = passVirtualPlacements.find(p.imageId);
        if (entry == passVirtualPlacements.end()) continue;
        const KittyPlacementRecord* placement = nullptr;
        for (const KittyPlacementRecord& record : entry->second) {
            if (p.placementId != 0 && record.placementId != p.placementId) continue;
            if (record.cols < 1 || record.rows < 1 || p.placeholderCol >= record.cols || p.placeholderRow >= record.rows)
                continue;
            placement = &record;
            break;
        }
        if (!placement) continue;
        const std::optional<QImage> image = kittyPlaceholderImage(p.imageId, passPlaceholderImages);
        if (!image) continue;
        // The whole placement, laid out from this cell's place in it; each cell shows its piece.
        const QRectF area(placement->pixelOffsetX / scale + cw * (p.col - p.placeholderCol),
                          placement->pixelOffsetY / scale + lineTop - h * p.placeholderRow, cw * placement->cols,
                          h * placement->rows);
        if (area.width() <= 0 || area.height() <= 0) continue;
        painter.save();
        painter.setClipRect(QRectF(cw * p.col, lineTop, cw, h), Qt::IntersectClip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(kittyAspectFitRect(QSizeF(image->size()), area), *image);
        painter.restore();
    }
}

void TerminalView::drawGlyphs(QPainter& painter, const QRawFont& font, const QList<quint32>& glyphs,
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
        fits[i] = glyphSlotFit(font, glyphs[i], columnWidth);
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

double TerminalView::backingScale() const
{
    const double scale = devicePixelRatioF();
    return scale > 0 ? scale : 1.0;
}

void TerminalView::drawRunAttributes(QPainter& painter, const TextAttributes& attributes, QPointF start, double width)
{
    if (width <= 0) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double scale = backingScale();
    const QFontMetricsF& normal = faceMetrics(FontFace::normal);
    const double t = std::max(0.5, std::round(scale * normal.lineWidth()) / scale);
    const double x0 = start.x();
    const double x1 = start.x() + width;

    const UnderlineStyle style = resolveUnderlineStyle(attributes);
    if (attributes.underlineStyle && style != UnderlineStyle::none) {
        const QColor color = attributes.underlineColor.value_or(*_nativeFg);
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

    if (attributes.strikethroughStyle) {
        const int value = *attributes.strikethroughStyle;
        const QColor color = attributes.strikethroughColor.value_or(*_nativeFg);
        const QFontMetricsF& runFont = faceMetrics(attributes.face);
        const double st = std::max(0.5, std::round(scale * runFont.lineWidth()) / scale);
        const double y = start.y() - (runFont.xHeight() + st) * 0.5;
        QPen pen(color, st, Qt::SolidLine, Qt::FlatCap);
        if (value & kUnderlinePatternDash) pen.setDashPattern({2 / st, 2 / st});
        painter.setPen(pen);
        painter.drawLine(QPointF(x0, y), QPointF(x1, y));
        if ((value & 0x1) && (value & 0x8)) painter.drawLine(QPointF(x0, y + st + 1), QPointF(x1, y + st + 1));
    }
    painter.restore();
}

void TerminalView::drawBoxDrawings(QPainter& painter, const std::vector<BoxDrawingRenderItem>& items, double lineTop)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double scale = backingScale();
    const QSizeF cell = *cellDimension;
    const double cwPx = std::max(1.0, std::round(scale * cell.width()));
    const double ch = std::max(1.0, std::round(scale * cell.height())) / scale;
    const int thickness = BoxDrawingRenderer::baseThicknessPx(scale, faceMetrics(FontFace::normal).lineWidth());
    const double oy = std::round(scale * lineTop) / scale;
    for (const BoxDrawingRenderItem& item : items) {
        QColor color = item.foregroundColor;
        color.setAlphaF(std::clamp(color.alphaF(), 0.0f, 1.0f));
        BoxDrawingRenderer::draw(item.codePoint, painter, QPointF(item.column * cwPx / scale, oy),
                                 QSizeF(cwPx * item.columnWidth / scale, ch), scale, color, thickness);
    }
    painter.restore();
}

void TerminalView::drawBlockElements(QPainter& painter, const std::vector<BlockElementRenderItem>& items, double lineTop)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, _antiAliasCustomBlockGlyphs);
    const double scale = backingScale();
    const QSizeF cell = *cellDimension;
    for (const BlockElementRenderItem& item : items) {
        const QRectF rect(cell.width() * item.column, lineTop, cell.width() * item.columnWidth, cell.height());
        BlockElementRenderer::draw(item.rects, painter, rect, scale, item.foregroundColor);
    }
    painter.restore();
}

void TerminalView::drawPowerlineGlyphs(QPainter& painter, const std::vector<PowerlineRenderItem>& items,
                                       double lineTop, BufferLine::RenderLineMode mode)
{
    const PowerlineRenderer::DeviceScale scale = PowerlineRenderer::deviceScale(mode, backingScale());
    const QSizeF cell = *cellDimension;
    for (const PowerlineRenderItem& item : items) {
        const QRectF rect(cell.width() * item.column, lineTop, cell.width() * item.columnWidth, cell.height());
        PowerlineRenderer::draw(item.codePoint, painter, rect, scale, item.foregroundColor);
    }
}

} // namespace corvix

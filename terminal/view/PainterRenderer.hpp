#pragma once

#include "terminal/view/TerminalRenderer.hpp"

#include <QList>
#include <QPointF>
#include <QRawFont>

#include <vector>

class QPainter;

namespace corvix {

struct PreparedGlyphs;
class TerminalFonts;

// Draws frames with a QPainter: the rows a dirty rectangle touches, each with its backgrounds,
// images below the text, box, block and Powerline glyphs, text placed cell by cell, underlines
// and strikethroughs, placeholder pieces, and images above the text. The cursor is not drawn
// here: on this path it is a widget of its own over the cell (the caret).
class PainterRenderer final : public TerminalRenderer {
public:
    explicit PainterRenderer(TerminalFonts& fonts) : fonts_(fonts) {}

    // Where frames are drawn; set for the length of one paint pass.
    void setPainter(QPainter* painter) { painter_ = painter; }
    void drawFrame(const RenderFrame& frame) override;

    // Strokes a run's underlines and strikethroughs from `start` (the left edge of its first
    // cell, on the baseline) across `width` points: one stroke per run, so patterns and waves
    // run on unbroken over the run's cells, wide ones included.
    void drawRunAttributes(QPainter& painter, const RenderFrame& frame, const TextAttributes& attributes, QPointF start,
                           double width);
    void drawBoxDrawings(QPainter& painter, const RenderFrame& frame, const std::vector<BoxDrawingRenderItem>& items,
                         double lineTop);
    void drawBlockElements(QPainter& painter, const RenderFrame& frame,
                           const std::vector<BlockElementRenderItem>& items, double lineTop);
    void drawPowerlineGlyphs(QPainter& painter, const RenderFrame& frame, const std::vector<PowerlineRenderItem>& items,
                             double lineTop, BufferLine::RenderLineMode mode);

private:
    void drawRow(QPainter& painter, const RenderFrame& frame, const RenderRow& row);
    // Lays out one emoji cell in the emoji face and places its picture in the cell's columns.
    void prepareEmojiCell(std::vector<PreparedGlyphs>& parts, const QString& cellText, int ordinal, int columnWidth);
    void drawGlyphs(QPainter& painter, const QRawFont& font, const QList<quint32>& glyphs, QList<QPointF>& positions,
                    int columnWidth);
    void drawImages(QPainter& painter, const RenderFrame& frame,
                    const std::vector<const TerminalView::AppleImage*>& images, double lineTop, bool withOffsets);
    void drawPlaceholders(QPainter& painter, const RenderFrame& frame, const RenderRow& row);

    TerminalFonts& fonts_;
    QPainter* painter_ = nullptr;
    // Glyph positions of one run, kept between runs so that drawing allocates no more per run.
    QList<QPointF> positions_;
};

} // namespace corvix

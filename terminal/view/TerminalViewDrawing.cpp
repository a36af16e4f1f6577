// The frame the renderers draw: the rows a dirty rectangle touches, from the row model, with
// their images, placeholder pieces and the cursor; and the paint pass that hands it to the
// QPainter renderer.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/PainterRenderer.hpp"
#include "terminal/view/TerminalRenderer.hpp"

#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

namespace corvix {

namespace {

// Sorts a row's images into its three layers.
void layerImages(RenderRow& row)
{
    for (const auto& image : *row.info.images) {
        const auto* apple = dynamic_cast<const TerminalView::AppleImage*>(image.get());
        if (!apple) continue;
        if (!apple->kittyIsKitty) {
            row.otherImages.push_back(apple);
        } else {
            (apple->kittyZIndex < 0 ? row.imagesBelow : row.imagesAbove).push_back(apple);
        }
    }
    const auto byZ = [](const TerminalView::AppleImage* a, const TerminalView::AppleImage* b) {
        if (a->kittyZIndex != b->kittyZIndex) return a->kittyZIndex < b->kittyZIndex;
        return a->kittyImageId.value_or(0) < b->kittyImageId.value_or(0);
    };
    std::stable_sort(row.imagesBelow.begin(), row.imagesBelow.end(), byZ);
    std::stable_sort(row.imagesAbove.begin(), row.imagesAbove.end(), byZ);
}

} // namespace

void TerminalView::paintEvent(QPaintEvent* event)
{
    if (gpuView) return;
    paintCount_++;
    QPainter painter(this);
    drawTerminalContents(event->rect(), painter, terminal->buffer().yDisp());
}

void TerminalView::drawTerminalContents(const QRect& dirtyRect, QPainter& painter, int bufferOffset)
{
    const RenderFrame frame = renderFrame(dirtyRect, bufferOffset);
    renderer_->setPainter(&painter);
    renderer_->drawFrame(frame);
    renderer_->setPainter(nullptr);
}

RenderFrame TerminalView::frameSettings(const QRect& dirtyRect, int bufferOffset)
{
    RenderFrame frame;
    frame.dirtyRect = dirtyRect;
    frame.bufferOffset = bufferOffset;
    frame.cols = terminal->cols;
    frame.viewWidth = width();
    frame.cellSize = cellSize();
    frame.devicePixelRatio = devicePixelRatioF();
    frame.foreground = *_nativeFg;
    frame.background = *_nativeBg;
    frame.fontSmoothing = fonts_.fontSmoothing();
    frame.antiAliasCustomBlockGlyphs = antiAliasCustomBlockGlyphs_;
    return frame;
}

RenderFrame TerminalView::renderFrame(const QRect& dirtyRect, int bufferOffset)
{
    const double h = cellSize().height();
    const int firstRow = bufferOffset + int(dirtyRect.top() / h);
    const int lastRow = bufferOffset + int((dirtyRect.top() + dirtyRect.height()) / h);
    return renderFrame(dirtyRect, bufferOffset, firstRow, lastRow);
}

RenderFrame TerminalView::renderFrame(const QRect& dirtyRect, int bufferOffset, int firstRow, int lastRow)
{
    RenderFrame frame = frameSettings(dirtyRect, bufferOffset);
    const double h = frame.cellSize.height();
    const double scale = frame.devicePixelRatio;
    Buffer& buffer = terminal->buffer();
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, buffer.lines().count() - 1);

    const auto virtualPlacements = virtualPlacementsByImageId();

    if (lastRow >= firstRow) frame.rows.reserve(size_t(lastRow - firstRow + 1));
    for (int r = firstRow; r <= lastRow; r++) {
        const BufferLine& line = buffer.lines()[r];
        RenderRow& row = frame.rows.emplace_back();
        row.row = r;
        row.top = h * (r - bufferOffset);
        row.mode = line.renderMode();
        row.info = buildAttributedString(r, line, terminal->cols);
        if (row.info.images) layerImages(row);
        for (const KittyPlaceholderCell& p : row.info.kittyPlaceholders) {
            auto entry = virtualPlacements.find(p.imageId);
            if (entry == virtualPlacements.end()) continue;
            const std::optional<QRectF> area = kittyPlaceholderArea(entry->second, p, frame.cellSize, row.top, scale);
            if (!area) continue;
            const std::optional<QImage> image = kittyPlaceholderImage(p.imageId, frame.placeholderImages);
            if (!image) continue;
            row.placeholders.push_back({p.col, p.imageId, kittyAspectFitRect(QSizeF(image->size()), *area)});
        }
    }

    // The cursor, where the caret shows it: on a reordered row, where its cell is shown.
    const int cursorRow = buffer.y() + buffer.yBase();
    if (!terminal->cursorHidden && cursorRow >= firstRow && cursorRow <= lastRow) {
        const BufferLine& line = buffer.lines()[cursorRow];
        if (const int count = line.count(); count > 0) {
            const CharData& cell = line[std::min(buffer.x(), count - 1)];
            int column = buffer.x();
            if (const std::optional<BidiRowLayout> layout = bidiLayout(cursorRow)) {
                if (column >= 0 && column < int(layout->logicalToVisualCol.size()))
                    column = layout->logicalToVisualCol[size_t(column)];
            }
            frame.cursor = RenderCursor{column,
                                        cursorRow,
                                        std::max<int>(cell.width, 1),
                                        caretView ? caretView->style() : terminal->options.cursorStyle,
                                        caretColor(),
                                        caretTextColor().value_or(*_nativeFg),
                                        !caretViewTracksFocus() || hasFocus()};
        }
    }
    return frame;
}

} // namespace corvix

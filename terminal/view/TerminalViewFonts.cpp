// Font changes, the engine's set-up and size; the fonts and metrics themselves are TerminalFonts'.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>

#include <cmath>

namespace corvix {

// ---- Cell metrics -----------------------------------------------------------------------------

QSizeF TerminalView::cellSizeFor(double ascent, double descent, double leading, double advance, double lineSpacing,
                                 double scale)
{
    return TerminalFonts::cellSizeFor(ascent, descent, leading, advance, lineSpacing, scale);
}

QSizeF TerminalView::computeFontDimensions() const
{
    // The widget's ratio follows its window's screen, else the primary screen's.
    return fonts_.computeFontDimensions(devicePixelRatioF());
}

void TerminalView::setLineSpacing(double value)
{
    fonts_.setLineSpacing(value);
    resetFont();
}

// The caret takes the new cell size where it stands and restarts its blinking.
static void refitCaret(CaretView& caret, QSizeF cell)
{
    caret.resize(int(std::ceil(cell.width())), int(std::ceil(cell.height())));
    caret.updateAnimation(CaretView::isBlinking(caret.style()));
    caret.update();
}

void TerminalView::resetFont()
{
    resetCaches();
    fonts_.measure(devicePixelRatioF());
    if (width() > 0 && height() > 0) {
        // The same rule as a frame change, so that the next resize does not disagree.
        const QSize grid = fittingGrid(QSizeF(size()));
        // Only the size changes: the running program keeps its modes, colours and cursor, as
        // with any other resize.
        terminal->resize(grid.width(), grid.height());
        sizeChanged(*terminal);
    }
    if (caretView) refitCaret(*caretView, cellSize());
    update();
}

void TerminalView::resetFontSize()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setWeight(QFont::Normal);
    fonts_.setBase(font);
    // What was derived from the old faces goes with them.
    resetCaches();
}

// ---- The engine's set-up and size -------------------------------------------------------------

void TerminalView::setupOptions(double width, double height)
{
    resetCaches();
    fonts_.measure(devicePixelRatioF());
    const QSizeF cell = cellSize();
    if (width != 0 || height != 0) {
        TerminalOptions options = terminal->options;
        options.cols = int64_t(width / cell.width());
        options.rows = int64_t(height / cell.height());
        terminal->options = options;
        terminal->setup(false);
    }
    // The engine reports these back through the colour callbacks, which set the native colours.
    terminal->setBackgroundColor(Color::defaultBackground());
    terminal->setForegroundColor(Color::defaultForeground());
    selection->setActive(false);
    search->invalidate();
    refitCaret(*caretView, cell);
    update();
}

QSize TerminalView::fittingGrid(QSizeF frame) const
{
    const QSizeF cell = cellSize();
    const int rows = int(frame.height() / cell.height());
    const double width = std::max(0.0, frame.width() - scrollerWidth());
    const int cols = int(width / cell.width());
    // The engine never goes below its minimum size; comparing at that size keeps a tiny frame
    // from reporting a change on every step.
    return QSize(std::max(cols, Terminal::MINIMUM_COLS), std::max(rows, Terminal::MINIMUM_ROWS));
}

bool TerminalView::processSizeChange(QSizeF newSize)
{
    if (newSize.width() == 0 && newSize.height() == 0) return false;
    const QSize grid = fittingGrid(newSize);
    const int cols = grid.width();
    const int rows = grid.height();
    if (cols == terminal->cols && rows == terminal->rows) return false;

    selection->setActive(false);
    terminal->resize(cols, rows);
    search->invalidate();
    if (terminalDelegate) terminalDelegate->sizeChanged(*this, cols, rows);
    refreshScroller();
    return true;
}

void TerminalView::resizeGrid(int cols, int rows)
{
    terminal->resize(cols, rows);
    sizeChanged(*terminal);
}

QRect TerminalView::caretFrame() const
{
    return caretView ? caretView->geometry() : QRect();
}

// ---- Faces and glyphs ------------------------------------------------------------------------

GlyphSlotFit TerminalView::glyphSlotFit(const QRawFont& font, quint32 glyph, int columnWidth) const
{
    return fonts_.glyphSlotFit(font, glyph, columnWidth);
}

const QFontMetricsF& TerminalView::faceMetrics(FontFace face) const
{
    return fonts_.faceMetrics(face);
}

QList<QGlyphRun> TerminalView::cachedCTLine(const QString& text, const QFont& font)
{
    return TerminalFonts::cachedCTLine(text, font);
}

// ---- Selection accessors ----------------------------------------------------------------------

bool TerminalView::selectionActive() const
{
    return selection && selection->active();
}

std::optional<std::string> TerminalView::getSelection()
{
    if (!selectionActive()) return std::nullopt;
    return selection->getSelectedText();
}

void TerminalView::selectAll()
{
    selection->selectAll();
}

void TerminalView::selectNone()
{
    if (!selectionActive()) return;
    selection->clearSelection();
}

} // namespace corvix

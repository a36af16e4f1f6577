// Fonts, cell metrics, the engine's set-up and size, glyph fitting and the process-wide text
// caches.
#include "terminal/view/TerminalView.hpp"

#include "terminal/screen/UnicodeProperties.hpp"
#include "terminal/view/CaretView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTextLayout>

#include <cmath>
#include <unordered_map>

namespace corvix {

namespace {

// Cached text is keyed by the font's description, never by an object's address.
struct TextKey {
    QString font;
    QString text;
    friend bool operator==(const TextKey&, const TextKey&) = default;
};

struct TextKeyHash {
    size_t operator()(const TextKey& k) const noexcept { return qHash(k.font) ^ (qHash(k.text) * 31); }
};

constexpr size_t kFallbackFontCacheLimit = 1024;
constexpr size_t kLineCacheLimit = 2048;
constexpr qsizetype kCachedLineMaxUnits = 8;

std::unordered_map<TextKey, QRawFont, TextKeyHash>& fallbackFontCache()
{
    static std::unordered_map<TextKey, QRawFont, TextKeyHash> cache;
    return cache;
}

std::unordered_map<TextKey, QList<QGlyphRun>, TextKeyHash>& ctLineCache()
{
    static std::unordered_map<TextKey, QList<QGlyphRun>, TextKeyHash> cache;
    return cache;
}

QList<QGlyphRun> layOut(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return {};
    }
    line.setLineWidth(1e6);
    layout.endLayout();
    // The line sits at y = 0, so its glyphs stand on y = its ascent; callers place glyphs on
    // their own baseline and want offsets from it.
    QList<QGlyphRun> runs = line.glyphRuns();
    const QPointF up(0, line.ascent());
    for (QGlyphRun& run : runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF& p : positions) p -= up;
        run.setPositions(positions);
    }
    return runs;
}

// The installed colour emoji family, looked up once; empty without one.
const QString& colourEmojiFamily()
{
    static const QString family = [] {
        QString found;
        for (const QString& name : QFontDatabase::families()) {
            if (!name.contains(QLatin1String("Emoji"), Qt::CaseInsensitive)) continue;
            // A colour face before a monochrome one.
            if (name.contains(QLatin1String("Color"), Qt::CaseInsensitive)) return name;
            if (found.isEmpty()) found = name;
        }
        return found;
    }();
    return family;
}

} // namespace

// ---- Cell metrics -----------------------------------------------------------------------------

QSizeF TerminalView::cellSizeFor(double ascent, double descent, double leading, double advance, double lineSpacing,
                                 double scale)
{
    // Whole device pixels; std::round rounds halves away from zero.
    double width = std::round(advance * scale) / scale;
    double height = std::ceil(std::ceil((ascent + descent + leading) * lineSpacing) * scale) / scale;
    width = std::max(width, 1.0);
    height = std::max(std::min(height, 8192.0), 1.0);
    return QSizeF(width, height);
}

QSizeF TerminalView::computeFontDimensions() const
{
    const QFontMetricsF metrics(fontSet.normal);
    // The widget's ratio follows its window's screen, else the primary screen's.
    const double scale = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    return cellSizeFor(metrics.ascent(), metrics.descent(), metrics.leading(), metrics.horizontalAdvance(QChar('W')),
                       _lineSpacing, scale);
}

void TerminalView::setLineSpacing(double value)
{
    _lineSpacing = value;
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
    cellDimension = computeFontDimensions();
    if (width() > 0 && height() > 0) {
        // The same rule as a frame change, so that the next resize does not disagree.
        const QSize grid = fittingGrid(QSizeF(size()));
        // Only the size changes: the running program keeps its modes, colours and cursor, as
        // with any other resize.
        terminal->resize(grid.width(), grid.height());
        sizeChanged(*terminal);
    }
    if (caretView) refitCaret(*caretView, *cellDimension);
    update();
}

void TerminalView::resetFontSize()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setWeight(QFont::Normal);
    fontSet = FontSet(font);
    // What was derived from the old faces goes with them.
    resetCaches();
}

// ---- The engine's set-up and size -------------------------------------------------------------

void TerminalView::setupOptions(double width, double height)
{
    resetCaches();
    cellDimension = computeFontDimensions();
    const QSizeF cell = *cellDimension;
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
    const QSizeF cell = *cellDimension;
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

// ---- Glyph fitting ----------------------------------------------------------------------------

GlyphSlotFit TerminalView::glyphSlotFit(const QRawFont& font, quint32 glyph, int columnWidth) const
{
    if (columnWidth < 2 || !cellDimension) return {};
    const double cellHeight = cellDimension->height();
    const double slot = cellDimension->width() * columnWidth;
    const QList<QPointF> advances = font.advancesForGlyphIndexes(QList<quint32>{glyph});
    const double advance = advances.isEmpty() ? 0.0 : advances.front().x();
    if (advance <= 0) return {};

    const QRectF box = font.boundingRect(glyph);
    if ((box.width() <= slot && box.height() <= cellHeight) || box.width() <= 0 || box.height() <= 0)
        return {(slot - advance) * 0.5, 0.0, 1.0};

    const double scale = std::clamp(std::min(slot / box.width(), cellHeight / box.height()), 0.1, 1.0);
    const double dx = (slot - advance * scale) * 0.5;
    // The baseline sits ceil(descent + leading) above the cell's bottom; move the scaled box's
    // centre onto the cell's centre. `box` is y-down about the baseline.
    const QFontMetricsF& metrics = faceMetrics(FontFace::normal);
    const double baselineFromBottom = std::ceil(metrics.descent() + metrics.leading());
    const double boxCentre = box.top() + box.height() * 0.5;
    const double dy = baselineFromBottom - cellHeight * 0.5 - scale * boxCentre;
    return {dx, dy, scale};
}

// ---- Emoji ----------------------------------------------------------------------------------

bool TerminalView::isEmojiPresentation(QStringView cluster)
{
    if (cluster.isEmpty()) return false;
    const char32_t first = cluster.front().isHighSurrogate() && cluster.size() > 1
        ? QChar::surrogateToUcs4(cluster[0], cluster[1])
        : cluster.front().unicode();
    if (first < 0x80) {
        // A keycap is a digit, '#' or '*' asked for as emoji.
        return cluster.contains(QChar(0xFE0F));
    }
    if (cluster.contains(QChar(0xFE0E))) return false;
    if (cluster.contains(QChar(0xFE0F))) return true;
    // Regional indicators pair into flags.
    if (first >= 0x1F1E6 && first <= 0x1F1FF) return true;
    return UnicodeProperties::of(first).isEmojiPresentation();
}

const QFont& TerminalView::emojiFont()
{
    if (emojiFont_) return *emojiFont_;
    const QString& family = colourEmojiFamily();
    if (family.isEmpty() || !cellDimension) {
        emojiFont_ = fontSet.normal;
        return *emojiFont_;
    }
    // Measure one picture at a trial size and scale the face so that a picture's box fills the
    // cell's height without leaving its two cells. (Colour emoji faces draw every picture in
    // the same square.)
    const QSizeF cell = *cellDimension;
    constexpr int kTrial = 100;
    QFont font(family);
    font.setPixelSize(kTrial);
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<quint32> glyphs = raw.glyphIndexesForString(QStringLiteral("\U0001F600"));
    const QRectF box = glyphs.isEmpty() ? QRectF() : raw.boundingRect(glyphs.front());
    if (box.width() <= 0 || box.height() <= 0) {
        emojiFont_ = fontSet.normal;
        return *emojiFont_;
    }
    const double fit = std::min(cell.height() / box.height(), 2 * cell.width() / box.width());
    font.setPixelSize(std::max(1, int(std::floor(kTrial * fit))));
    emojiFont_ = font;
    return *emojiFont_;
}

// ---- Process-wide text caches -----------------------------------------------------------------

QRawFont TerminalView::resolvedFont(const QString& character, const QFont& base)
{
    auto& cache = fallbackFontCache();
    TextKey key{base.key(), character};
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    if (cache.size() >= kFallbackFontCacheLimit) cache.clear();
    // The shaper picks the font that draws the whole cluster, falling back from the base face.
    const QList<QGlyphRun> runs = layOut(character, base);
    QRawFont font = runs.isEmpty() ? QRawFont::fromFont(base) : runs.front().rawFont();
    cache.emplace(std::move(key), font);
    return font;
}

QList<QGlyphRun> TerminalView::cachedCTLine(const QString& text, const QFont& font)
{
    if (text.size() > kCachedLineMaxUnits) return layOut(text, font);
    auto& cache = ctLineCache();
    TextKey key{font.key(), text};
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    if (cache.size() >= kLineCacheLimit) cache.clear();
    QList<QGlyphRun> runs = layOut(text, font);
    cache.emplace(std::move(key), runs);
    return runs;
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

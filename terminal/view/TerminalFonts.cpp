// Fonts, cell metrics, glyph fitting and the process-wide text caches.
#include "terminal/view/TerminalFonts.hpp"

#include "terminal/screen/Serial.hpp"
#include "terminal/screen/UnicodeProperties.hpp"

#include <QFontDatabase>
#include <QTextLayout>

#include <algorithm>
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

// ---- Faces ------------------------------------------------------------------------------------

FontSet::FontSet(const QFont& base)
    : normal(base), bold(base), italic(base), boldItalic(base), serial(nextSerial())
{
    bold.setBold(true);
    italic.setItalic(true);
    boldItalic.setBold(true);
    boldItalic.setItalic(true);
}

const QFont& FontSet::face(FontFace which) const
{
    switch (which) {
    case FontFace::bold: return bold;
    case FontFace::italic: return italic;
    case FontFace::boldItalic: return boldItalic;
    case FontFace::normal: break;
    }
    return normal;
}

TerminalFonts::TerminalFonts(const QFont& base) : fontSet_(base) {}

void TerminalFonts::setBase(const QFont& base)
{
    fontSet_ = FontSet(base);
    resetFaces();
}

void TerminalFonts::resetFaces()
{
    rawFaces_.fill(std::nullopt);
    emojiFont_.reset();
    faceMetrics_.fill(std::nullopt);
}

const QFontMetricsF& TerminalFonts::faceMetrics(FontFace face) const
{
    std::optional<QFontMetricsF>& slot = faceMetrics_[size_t(face)];
    if (!slot) slot.emplace(fontSet_.face(face));
    return *slot;
}

const QRawFont& TerminalFonts::rawFace(FontFace face)
{
    std::optional<QRawFont>& slot = rawFaces_[size_t(face)];
    if (!slot) slot = QRawFont::fromFont(fontSet_.face(face));
    return *slot;
}

// ---- Cell metrics -----------------------------------------------------------------------------

QSizeF TerminalFonts::cellSizeFor(double ascent, double descent, double leading, double advance, double lineSpacing,
                                  double scale)
{
    // Whole device pixels; std::round rounds halves away from zero.
    double width = std::round(advance * scale) / scale;
    double height = std::ceil(std::ceil((ascent + descent + leading) * lineSpacing) * scale) / scale;
    width = std::max(width, 1.0);
    height = std::max(std::min(height, 8192.0), 1.0);
    return QSizeF(width, height);
}

QSizeF TerminalFonts::computeFontDimensions(double scale) const
{
    const QFontMetricsF metrics(fontSet_.normal);
    return cellSizeFor(metrics.ascent(), metrics.descent(), metrics.leading(), metrics.horizontalAdvance(QChar('W')),
                       lineSpacing_, scale);
}

void TerminalFonts::measure(double scale)
{
    cellDimension_ = computeFontDimensions(scale);
}

// ---- Glyph fitting ----------------------------------------------------------------------------

GlyphSlotFit TerminalFonts::glyphSlotFit(const QRawFont& font, quint32 glyph, int columnWidth) const
{
    if (columnWidth < 2 || !cellDimension_) return {};
    const double cellHeight = cellDimension_->height();
    const double slot = cellDimension_->width() * columnWidth;
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

bool TerminalFonts::isEmojiPresentation(QStringView cluster)
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

const QFont& TerminalFonts::emojiFont()
{
    if (emojiFont_) return *emojiFont_;
    const QString& family = colourEmojiFamily();
    if (family.isEmpty() || !cellDimension_) {
        emojiFont_ = fontSet_.normal;
        return *emojiFont_;
    }
    // Measure one picture at a trial size and scale the face so that a picture's box fills the
    // cell's height without leaving its two cells. (Colour emoji faces draw every picture in
    // the same square.)
    const QSizeF cell = *cellDimension_;
    constexpr int kTrial = 100;
    QFont font(family);
    font.setPixelSize(kTrial);
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<quint32> glyphs = raw.glyphIndexesForString(QStringLiteral("\U0001F600"));
    const QRectF box = glyphs.isEmpty() ? QRectF() : raw.boundingRect(glyphs.front());
    if (box.width() <= 0 || box.height() <= 0) {
        emojiFont_ = fontSet_.normal;
        return *emojiFont_;
    }
    const double fit = std::min(cell.height() / box.height(), 2 * cell.width() / box.width());
    font.setPixelSize(std::max(1, int(std::floor(kTrial * fit))));
    emojiFont_ = font;
    return *emojiFont_;
}

// ---- Process-wide text caches -----------------------------------------------------------------

QRawFont TerminalFonts::resolvedFont(const QString& character, const QFont& base)
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

QList<QGlyphRun> TerminalFonts::cachedCTLine(const QString& text, const QFont& font)
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

} // namespace corvix

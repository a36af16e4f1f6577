#pragma once

#include "terminal/view/TextAttributes.hpp"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QList>
#include <QRawFont>
#include <QSizeF>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

namespace corvix {

// The four faces drawn with, all from one base font.
struct FontSet {
    QFont normal;
    QFont bold;
    QFont italic;
    QFont boldItalic;
    // Names this set of faces in layout caches; every new set gets its own.
    uint64_t serial;

    explicit FontSet(const QFont& base);
    const QFont& face(FontFace face) const;
};

// Offsets and scale that fit a wide glyph into its cells. `dx` and `dy` move the glyph's origin
// (left edge of its first cell, on the baseline; `dy` grows downward); `scale` multiplies its
// size about that origin.
struct GlyphSlotFit {
    double dx = 0;
    double dy = 0;
    double scale = 1;
    friend bool operator==(const GlyphSlotFit&, const GlyphSlotFit&) = default;
};

// A terminal view's fonts and cell metrics: the four faces, the cell size they give, what is
// measured and made from the faces once per font change (metrics, raw fonts, the emoji face),
// and the process-wide caches of fallback fonts and laid-out text. Every renderer draws with it.
class TerminalFonts {
public:
    explicit TerminalFonts(const QFont& base);

    const FontSet& fonts() const { return fontSet_; }
    // New faces from `base`; what was derived from the old ones goes. Call `measure` to size
    // the cell again.
    void setBase(const QFont& base);

    // The cell size in device-independent pixels; none until first measured.
    const std::optional<QSizeF>& cellDimension() const { return cellDimension_; }
    QSizeF cellSize() const { return *cellDimension_; }
    // The cell size for the current faces and line spacing at `scale` device pixels per point.
    QSizeF computeFontDimensions(double scale) const;
    // Sizes the cell for `scale`.
    void measure(double scale);
    // The cell-size rule on raw metrics: whole device pixels, width at least 1, height 1 to 8192.
    static QSizeF cellSizeFor(double ascent, double descent, double leading, double advance, double lineSpacing,
                              double scale);

    double lineSpacing() const { return lineSpacing_; }
    void setLineSpacing(double value) { lineSpacing_ = value; }
    bool fontSmoothing() const { return fontSmoothing_; }
    void setFontSmoothing(bool value) { fontSmoothing_ = value; }

    // The metrics of one of the four faces, measured once per font change.
    const QFontMetricsF& faceMetrics(FontFace face) const;
    // One of the four faces as a raw font, made on first use after each font change.
    const QRawFont& rawFace(FontFace face);
    // The placement of one glyph in a slot of `columnWidth` cells.
    GlyphSlotFit glyphSlotFit(const QRawFont& font, quint32 glyph, int columnWidth) const;

    // Whether a cell's text shows as an emoji picture: a character of emoji presentation not
    // asked for as text, a character asked for as emoji (VS16), a flag.
    static bool isEmojiPresentation(QStringView cluster);
    // The colour emoji face, sized so that its pictures fill a cell's height within two cells;
    // the normal face where no colour emoji font is installed.
    const QFont& emojiFont();

    // Drops the metrics, raw faces and emoji face; they are made again on next use.
    void resetFaces();

    // Process-wide caches (GUI thread only), emptied whole when full.
    // A font that can draw `character`, starting from `base`.
    static QRawFont resolvedFont(const QString& character, const QFont& base);
    // `text` laid out left to right in `font`, as glyph runs (a Qt text layout's line here).
    static QList<QGlyphRun> cachedCTLine(const QString& text, const QFont& font);

private:
    FontSet fontSet_;
    std::optional<QSizeF> cellDimension_;
    double lineSpacing_ = 1.0;
    bool fontSmoothing_ = true;
    mutable std::array<std::optional<QFontMetricsF>, 4> faceMetrics_;
    std::array<std::optional<QRawFont>, 4> rawFaces_;
    std::optional<QFont> emojiFont_;
};

} // namespace corvix

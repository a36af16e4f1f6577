#pragma once

#include "terminal/view/gpu/GlyphAtlas.hpp"
#include "terminal/view/gpu/GpuFont.hpp"

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>

namespace corvix {

struct GlyphKey {
    QString fontName; // PostScript name
    double size = 0;  // pixel size of the font
    std::uint32_t glyph = 0;
    bool operator==(const GlyphKey&) const = default;
};

// A glyph placed in one of the two atlases, with its metrics in device pixels.
struct GlyphEntry {
    AtlasRegion region;
    QSize size;
    // The bitmap's lower-left corner from the pen position, y up.
    QPoint bearing;
    bool isColor = false;
    GlyphAtlasKind atlasKind = GlyphAtlasKind::grayscale; // color exactly when isColor
};

struct CustomGlyphKey {
    std::uint32_t codePoint = 0;
    int cellWidthPx = 0;
    int cellHeightPx = 0;
    int baseThicknessPx = 0;
    int scale = 1; // the scale rounded, at least 1
    bool antiAlias = false;
    bool operator==(const CustomGlyphKey&) const = default;
};

// A line-art cell placed in the grayscale atlas; `size` is the cell's size in pixels.
struct CustomGlyphEntry {
    AtlasRegion region;
    QSize size;
};

// The colour a glyph quad is tinted with: a colour bitmap keeps its own colours.
GpuFloat4 glyphColor(const GlyphEntry& entry, GpuFloat4 textColor);

// The white shape of a solid Powerline separator, a box-drawing character or a block element on
// a transparent premultiplied bitmap of exactly the cell's pixels; nothing for a cell below one
// pixel or any other code point. The shapes are the CPU path's own drawings at `scale` device
// pixels per point; a scale not above 0 leaves the cell transparent.
std::optional<QImage> drawCustomGlyph(std::uint32_t codePoint, int cellWidthPx, int cellHeightPx, double scale,
                                      int baseThicknessPx, bool antiAlias);

// The renderer's glyph lookups: device-scaled fonts, font glyphs and custom glyphs, each placed
// in an atlas on first use and cached by key. A lookup that fails caches nothing, so the next
// frame tries again. GUI thread only.
class GlyphEntries {
public:
    GlyphEntries(GlyphRasterizer& rasterizer, GlyphAtlas& grayscaleAtlas, GlyphAtlas& colorAtlas);

    // A copy of `font` at its pixel size times `scale`; made once per (face, size).
    GpuFont scaledFontFor(const GpuFont& font, double scale);
    // `deviceFont` is already at device pixels.
    std::optional<GlyphEntry> glyphEntry(const GpuFont& deviceFont, std::uint32_t glyph);
    std::optional<CustomGlyphEntry> customGlyphEntry(std::uint32_t codePoint, int cellWidthPx, int cellHeightPx,
                                                     double scale, int baseThicknessPx, bool antiAlias);

    // Every lookup calls this right after asking `atlas` for room, with the side it had before:
    // a reset drops the glyph caches, and a reset or a growth makes every cached row stale.
    void handleAtlasChange(const GlyphAtlas& atlas, int previousSize);

    // Called when cached rows hold texture coordinates of an atlas that has changed.
    std::function<void()> emptyRowCache;
    // Set by an atlas change during a build of draw data; the frame loop reads and clears it.
    bool atlasInvalidatedDuringBuild = false;

    std::size_t glyphCount() const { return glyphCache.size(); }
    std::size_t customGlyphCount() const { return customGlyphCache.size(); }

private:
    struct GlyphKeyHash {
        std::size_t operator()(const GlyphKey& key) const noexcept;
    };
    struct CustomGlyphKeyHash {
        std::size_t operator()(const CustomGlyphKey& key) const noexcept;
    };

    GlyphRasterizer& rasterizer;
    GlyphAtlas& grayscaleAtlas;
    GlyphAtlas& colorAtlas;
    std::unordered_map<GlyphKey, GlyphEntry, GlyphKeyHash> glyphCache;
    std::unordered_map<GlyphKey, GpuFont, GlyphKeyHash> scaledFontCache;
    std::unordered_map<CustomGlyphKey, CustomGlyphEntry, CustomGlyphKeyHash> customGlyphCache;
};

} // namespace corvix

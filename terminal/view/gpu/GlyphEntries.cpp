#include "terminal/view/gpu/GlyphEntries.hpp"

#include "terminal/view/BlockElementRenderer.hpp"
#include "terminal/view/BoxDrawingRenderer.hpp"
#include "terminal/view/PowerlineRenderer.hpp"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <span>

namespace corvix {

GpuFloat4 glyphColor(const GlyphEntry& entry, GpuFloat4 textColor)
{
    return entry.isColor ? GpuFloat4{1, 1, 1, 1} : textColor;
}

std::optional<QImage> drawCustomGlyph(std::uint32_t codePoint, int cellWidthPx, int cellHeightPx, double scale,
                                      int baseThicknessPx, bool antiAlias)
{
    if (cellWidthPx < 1 || cellHeightPx < 1) return std::nullopt;
    enum class Kind { powerline, box, block } kind;
    std::span<const BlockElementRect> rects;
    if (PowerlineRenderer::glyph(codePoint)) {
        kind = Kind::powerline;
    } else if (codePoint >= 0x2500 && codePoint <= 0x257F) {
        kind = Kind::box;
    } else if (auto blockRects = codePoint >= 0x2580 && codePoint <= 0x259F ? BlockElementMapping::rects(codePoint)
                                                                             : std::nullopt) {
        kind = Kind::block;
        rects = *blockRects;
    } else {
        return std::nullopt;
    }

    QImage image(cellWidthPx, cellHeightPx, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.fill(Qt::transparent);
    if (!(scale > 0)) return image;

    QPainter painter(&image);
    painter.scale(scale, scale);
    // The cell in points, at the exact scale.
    const QRectF cell(0, 0, cellWidthPx / scale, cellHeightPx / scale);
    switch (kind) {
    case Kind::powerline:
        // Its join strip lies left or right of the cell, outside the bitmap: the row draws it.
        painter.setRenderHint(QPainter::Antialiasing, true);
        PowerlineRenderer::draw(codePoint, painter, cell, {scale, scale}, Qt::white);
        break;
    case Kind::box:
        painter.setRenderHint(QPainter::Antialiasing, false);
        BoxDrawingRenderer::draw(codePoint, painter, cell.topLeft(), cell.size(), scale, Qt::white, baseThicknessPx);
        break;
    case Kind::block:
        painter.setRenderHint(QPainter::Antialiasing, antiAlias);
        BlockElementRenderer::draw(rects, painter, cell, scale, Qt::white);
        break;
    }
    return image;
}

std::size_t GlyphEntries::GlyphKeyHash::operator()(const GlyphKey& key) const noexcept
{
    // A renderer draws with a handful of faces: the name is left to the equality test, which
    // keeps a hit from hashing a string per glyph.
    return qHash(key.size, key.glyph) ^ std::size_t(key.fontName.size());
}

std::size_t GlyphEntries::CustomGlyphKeyHash::operator()(const CustomGlyphKey& key) const noexcept
{
    std::size_t h = key.codePoint;
    for (int part : {key.cellWidthPx, key.cellHeightPx, key.baseThicknessPx, key.scale, int(key.antiAlias)})
        h = h * 1000003u ^ std::size_t(unsigned(part));
    return h;
}

GlyphEntries::GlyphEntries(GlyphRasterizer& rasterizer, GlyphAtlas& grayscaleAtlas, GlyphAtlas& colorAtlas)
    : rasterizer(rasterizer), grayscaleAtlas(grayscaleAtlas), colorAtlas(colorAtlas)
{
}

GpuFont GlyphEntries::scaledFontFor(const GpuFont& font, double scale)
{
    const double size = font.raw.pixelSize() * scale;
    const GlyphKey key{font.postScriptName, size, 0};
    if (auto it = scaledFontCache.find(key); it != scaledFontCache.end()) return it->second;
    GpuFont scaled = font;
    scaled.raw.setPixelSize(size);
    scaledFontCache.emplace(key, scaled);
    return scaled;
}

std::optional<GlyphEntry> GlyphEntries::glyphEntry(const GpuFont& deviceFont, std::uint32_t glyph)
{
    const GlyphKey key{deviceFont.postScriptName, deviceFont.raw.pixelSize(), glyph};
    if (auto it = glyphCache.find(key); it != glyphCache.end()) return it->second;
    const std::optional<GlyphBitmap> bitmap = rasterizer.rasterize(deviceFont.raw, glyph);
    if (!bitmap) return std::nullopt;
    GlyphAtlas& atlas = bitmap->isColor ? colorAtlas : grayscaleAtlas;
    const int previousSize = atlas.size();
    const std::optional<AtlasRegion> region = atlas.ensureRegion(bitmap->width, bitmap->height);
    handleAtlasChange(atlas, previousSize);
    if (!region) return std::nullopt;
    atlas.write(*region, bitmap->pixels, bitmap->width, bitmap->height);
    const GlyphEntry entry{*region, QSize(bitmap->width, bitmap->height), QPoint(bitmap->bearingX, bitmap->bearingY),
                           bitmap->isColor, bitmap->isColor ? GlyphAtlasKind::color : GlyphAtlasKind::grayscale};
    glyphCache.emplace(key, entry);
    return entry;
}

std::optional<CustomGlyphEntry> GlyphEntries::customGlyphEntry(std::uint32_t codePoint, int cellWidthPx,
                                                               int cellHeightPx, double scale, int baseThicknessPx,
                                                               bool antiAlias)
{
    const CustomGlyphKey key{codePoint,       cellWidthPx, cellHeightPx, baseThicknessPx,
                             std::max(1, int(std::lround(scale))), antiAlias};
    if (auto it = customGlyphCache.find(key); it != customGlyphCache.end()) return it->second;
    const std::optional<QImage> bitmap =
        drawCustomGlyph(codePoint, cellWidthPx, cellHeightPx, scale, baseThicknessPx, antiAlias);
    if (!bitmap) return std::nullopt;
    const int previousSize = grayscaleAtlas.size();
    const std::optional<AtlasRegion> region = grayscaleAtlas.ensureRegion(cellWidthPx, cellHeightPx);
    handleAtlasChange(grayscaleAtlas, previousSize);
    if (!region) return std::nullopt;
    grayscaleAtlas.write(*region, std::span(bitmap->constBits(), std::size_t(bitmap->sizeInBytes())), cellWidthPx,
                         cellHeightPx);
    const CustomGlyphEntry entry{*region, QSize(cellWidthPx, cellHeightPx)};
    customGlyphCache.emplace(key, entry);
    return entry;
}

void GlyphEntries::handleAtlasChange(const GlyphAtlas& atlas, int previousSize)
{
    if (atlas.didReset()) {
        glyphCache.clear();
        customGlyphCache.clear();
    } else if (atlas.size() == previousSize) {
        return;
    }
    // Cached rows hold texture coordinates normalised to the old side, or regions now reused.
    if (emptyRowCache) emptyRowCache();
    atlasInvalidatedDuringBuild = true;
}

} // namespace corvix

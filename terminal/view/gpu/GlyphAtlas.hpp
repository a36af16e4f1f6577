#pragma once

#include "terminal/view/gpu/GpuGl.hpp"

#include <QLoggingCategory>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QRawFont;
class QRectF;

namespace corvix {

Q_DECLARE_LOGGING_CATEGORY(lcGpuAtlas)

// One glyph painted in white: B, G, R, A bytes, premultiplied, top scan line first.
struct GlyphBitmap {
    int width = 0;
    int height = 0;
    // Floor of the ink box's minimum x and y (y up) from the glyph origin, in device pixels: where
    // the bitmap's lower-left corner sits.
    int bearingX = 0;
    int bearingY = 0;
    std::vector<std::uint8_t> pixels;
    // Some pixel has unequal colour channels: a colour glyph.
    bool isColor = false;
};

// A glyph's ink box with y growing upwards, from Qt's y-down bounding rectangle.
struct GlyphInkBox {
    double minX, minY, width, height;
};
GlyphInkBox yUpInkBox(const QRectF& yDownBounds);

class GlyphRasterizer {
public:
    // Antialiased text, as the CPU path's font smoothing.
    bool fontSmoothing = true;

    // Nothing when the glyph has no ink.
    std::optional<GlyphBitmap> rasterize(const QRawFont& font, std::uint32_t glyph) const;
};

enum class GlyphAtlasFormat { grayscale, bgra };
enum class GlyphAtlasKind { grayscale, color };

struct AtlasRegion {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const AtlasRegion&) const = default;
};

// A square texture with a CPU mirror into which glyph bitmaps are packed on shelves. It grows by
// doubling up to `maxSize`, empties itself when it cannot, and can be frozen for the rest of a
// frame. Each glyph is stored bottom scan line first, with a one-pixel replicated border.
class GlyphAtlas {
public:
    // Nothing when the texture cannot be made.
    static std::unique_ptr<GlyphAtlas> make(GpuDevice& device, int size, int maxSize, GlyphAtlasFormat format);
    // A 1024 atlas that may grow to the recommended largest side for `device`.
    static std::unique_ptr<GlyphAtlas> makeForDevice(GpuDevice& device, GlyphAtlasFormat format);

    std::optional<AtlasRegion> ensureRegion(int width, int height);
    std::optional<AtlasRegion> reserve(int width, int height);
    void grow(int newSize);
    void reset();
    // Copies a rasterizer bitmap into `region` and uploads it; ignored unless the bitmap matches
    // the region and the region lies inside this atlas.
    void write(const AtlasRegion& region, std::span<const std::uint8_t> pixels, int width, int height);

    // The largest side for `format`: CORVIX_ATLAS_MAX when it is a decimal integer, else 8192
    // for grayscale and 4096 for colour; never above GL's largest texture.
    static int recommendedMaxSize(GlyphAtlasFormat format, int maxTextureSize);
    static int recommendedMaxSize(GlyphAtlasFormat format, int maxTextureSize, const char* environmentValue);

    GlyphAtlasFormat format() const { return format_; }
    int bytesPerPixel() const { return bytesPerPixel_; }
    int maxSize() const { return maxSize_; }
    int size() const { return size_; }
    GlName texture() const { return nameOf(texture_); }
    const std::vector<std::uint8_t>& data() const { return data_; }
    bool didReset() const { return didReset_; }

    // While set, the atlas neither grows nor resets.
    bool frozen = false;

private:
    GlyphAtlas(GpuDevice& device, GlyphAtlasFormat format, int size, int maxSize, GpuObjectRef texture,
               std::vector<std::uint8_t> data);
    GpuTextureFormat textureFormat() const;
    const char* formatName() const;
    std::optional<AtlasRegion> inner(std::optional<AtlasRegion> padded) const;
    void uploadRect(int x, int y, int width, int height);

    GpuDevice& device_;
    GlyphAtlasFormat format_;
    int bytesPerPixel_;
    int maxSize_;
    int size_;
    GpuObjectRef texture_;
    std::vector<std::uint8_t> data_;
    int nextX_ = 0;
    int nextY_ = 0;
    int rowHeight_ = 0;
    bool didReset_ = false;
    bool loggedFrozenMiss_ = false;
    bool loggedResetOverflow_ = false;
};

} // namespace corvix

#include "terminal/view/gpu/GlyphAtlas.hpp"

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace corvix {

Q_LOGGING_CATEGORY(lcGpuAtlas, "corvix.gpu.atlas")

// ---- Rasterizer -------------------------------------------------------------------------------

GlyphInkBox yUpInkBox(const QRectF& yDownBounds)
{
    return {yDownBounds.left(), -yDownBounds.bottom(), yDownBounds.width(), yDownBounds.height()};
}

std::optional<GlyphBitmap> GlyphRasterizer::rasterize(const QRawFont& font, std::uint32_t glyph) const
{
    const GlyphInkBox box = yUpInkBox(font.boundingRect(glyph));
    if (!(box.width > 0) || !(box.height > 0)) return std::nullopt;
    const int x0 = int(std::floor(box.minX));
    const int width = int(std::ceil(box.minX + box.width)) - x0;
    const int y0 = int(std::floor(box.minY));
    const int height = int(std::ceil(box.minY + box.height)) - y0;
    if (width < 1 || height < 1) return std::nullopt;

    // B, G, R, A in memory, premultiplied, top scan line first.
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, fontSmoothing);
        painter.setPen(Qt::white);
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes({glyph});
        run.setPositions({QPointF(0, 0)});
        // The ink box's lower-left corner lands on the bitmap's lower-left pixel.
        painter.drawGlyphRun(QPointF(-x0, height + y0), run);
    }

    GlyphBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bearingX = x0;
    bitmap.bearingY = y0;
    bitmap.pixels.resize(std::size_t(width) * std::size_t(height) * 4);
    for (int row = 0; row < height; ++row) {
        std::memcpy(bitmap.pixels.data() + std::size_t(row) * std::size_t(width) * 4, image.constScanLine(row),
                    std::size_t(width) * 4);
    }
    for (std::size_t i = 0; i < bitmap.pixels.size(); i += 4) {
        const std::uint8_t* p = bitmap.pixels.data() + i;
        if (p[0] != p[1] || p[1] != p[2]) {
            bitmap.isColor = true;
            break;
        }
    }
    return bitmap;
}

// ---- Atlas ------------------------------------------------------------------------------------

namespace {

constexpr int kMinimumSide = 256;

// An optionally signed decimal integer taking the whole text; nothing otherwise, also when it
// does not fit in 64 bits.
std::optional<std::int64_t> parseDecimal(const char* text)
{
    if (!text || !*text) return std::nullopt;
    const char* begin = text;
    const char* end = text + std::strlen(text);
    bool negative = false;
    if (*begin == '+' || *begin == '-') {
        negative = *begin == '-';
        ++begin;
    }
    if (begin == end || !std::all_of(begin, end, [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [ptr, error] = std::from_chars(begin, end, magnitude);
    if (error != std::errc() || ptr != end) return std::nullopt;
    constexpr std::uint64_t limit = std::uint64_t(INT64_MAX);
    if (magnitude > limit + (negative ? 1 : 0)) return std::nullopt;
    if (negative) return magnitude == limit + 1 ? INT64_MIN : -std::int64_t(magnitude);
    return std::int64_t(magnitude);
}

} // namespace

int GlyphAtlas::recommendedMaxSize(GlyphAtlasFormat format, int maxTextureSize)
{
    return recommendedMaxSize(format, maxTextureSize, std::getenv("CORVIX_ATLAS_MAX"));
}

int GlyphAtlas::recommendedMaxSize(GlyphAtlasFormat format, int maxTextureSize, const char* environmentValue)
{
    if (const auto value = parseDecimal(environmentValue)) {
        const std::int64_t familyCap = maxTextureSize >= 16384 ? 16384 : 8192;
        const std::int64_t side = std::min(std::max<std::int64_t>(*value, kMinimumSide), familyCap);
        return int(std::min<std::int64_t>(side, maxTextureSize));
    }
    return std::min(format == GlyphAtlasFormat::bgra ? 4096 : 8192, maxTextureSize);
}

GlyphAtlas::GlyphAtlas(GpuDevice& device, GlyphAtlasFormat format, int size, int maxSize, GpuObjectRef texture,
                       std::vector<std::uint8_t> data)
    : device_(device), format_(format), bytesPerPixel_(format == GlyphAtlasFormat::bgra ? 4 : 1), maxSize_(maxSize),
      size_(size), texture_(std::move(texture)), data_(std::move(data))
{
}

std::unique_ptr<GlyphAtlas> GlyphAtlas::make(GpuDevice& device, int size, int maxSize, GlyphAtlasFormat format)
{
    const int side = std::max(std::min(size, maxSize), kMinimumSide);
    const int bytesPerPixel = format == GlyphAtlasFormat::bgra ? 4 : 1;
    std::vector<std::uint8_t> data(std::size_t(side) * std::size_t(side) * std::size_t(bytesPerPixel), 0);
    const GpuTextureFormat textureFormat = format == GlyphAtlasFormat::bgra ? GpuTextureFormat::bgra8 : GpuTextureFormat::r8;
    GpuObjectRef texture = adoptGpuObject(device, GpuObjectKind::texture,
                                          device.gl().makeTexture(textureFormat, side, side, data.data()));
    if (!texture) return nullptr;
    return std::unique_ptr<GlyphAtlas>(
        new GlyphAtlas(device, format, side, std::max(side, maxSize), std::move(texture), std::move(data)));
}

std::unique_ptr<GlyphAtlas> GlyphAtlas::makeForDevice(GpuDevice& device, GlyphAtlasFormat format)
{
    return make(device, 1024, recommendedMaxSize(format, device.gl().maxTextureSize()), format);
}

GpuTextureFormat GlyphAtlas::textureFormat() const
{
    return format_ == GlyphAtlasFormat::bgra ? GpuTextureFormat::bgra8 : GpuTextureFormat::r8;
}

const char* GlyphAtlas::formatName() const
{
    return format_ == GlyphAtlasFormat::bgra ? "bgra" : "grayscale";
}

std::optional<AtlasRegion> GlyphAtlas::reserve(int width, int height)
{
    if (width > size_ || height > size_) return std::nullopt;
    if (nextX_ + width > size_) {
        nextY_ += rowHeight_;
        nextX_ = 0;
        rowHeight_ = 0;
    }
    if (nextY_ + height > size_) return std::nullopt;
    const AtlasRegion region{nextX_, nextY_, width, height};
    nextX_ += width;
    rowHeight_ = std::max(rowHeight_, height);
    return region;
}

std::optional<AtlasRegion> GlyphAtlas::inner(std::optional<AtlasRegion> padded) const
{
    if (!padded) return std::nullopt;
    return AtlasRegion{padded->x + 1, padded->y + 1, padded->width - 2, padded->height - 2};
}

std::optional<AtlasRegion> GlyphAtlas::ensureRegion(int width, int height)
{
    didReset_ = false;
    if (width < 1 || height < 1) return std::nullopt;
    const int pw = width + 2;
    const int ph = height + 2;
    if (auto region = reserve(pw, ph)) return inner(region);

    if (frozen) {
        if (!loggedFrozenMiss_) {
            loggedFrozenMiss_ = true;
            qCCritical(lcGpuAtlas, "glyph atlas (%s) frozen and full; glyphs will be skipped this frame", formatName());
        }
        return std::nullopt;
    }
    if (maxSize_ < pw || maxSize_ < ph) return std::nullopt;

    int n = size_;
    while (n < maxSize_) {
        if (n >= std::max(pw, ph) && n >= nextY_ + ph) break;
        n *= 2;
    }
    const int target = std::min(maxSize_, n);
    if (target > size_) {
        grow(target);
        if (auto region = reserve(pw, ph)) return inner(region);
    }

    if (!loggedResetOverflow_) {
        loggedResetOverflow_ = true;
        qCWarning(lcGpuAtlas, "glyph atlas (%s) reset at size %ld: glyph working set exceeds capacity", formatName(),
                  long(size_));
    }
    reset();
    didReset_ = true;
    return inner(reserve(pw, ph));
}

void GlyphAtlas::grow(int newSize)
{
    if (size_ >= newSize) return;
    GpuObjectRef texture = adoptGpuObject(device_, GpuObjectKind::texture,
                                          device_.gl().makeTexture(textureFormat(), newSize, newSize, nullptr));
    if (!texture) {
        qCWarning(lcGpuAtlas, "glyph atlas (%s) grow to %ld failed: texture allocation", formatName(), long(newSize));
        return;
    }
    qCInfo(lcGpuAtlas, "glyph atlas (%s) grow: %ld -> %ld", formatName(), long(size_), long(newSize));
    const std::size_t oldRow = std::size_t(size_) * std::size_t(bytesPerPixel_);
    const std::size_t newRow = std::size_t(newSize) * std::size_t(bytesPerPixel_);
    std::vector<std::uint8_t> data(newRow * std::size_t(newSize), 0);
    for (std::size_t y = 0; y < std::size_t(size_); ++y) {
        std::memcpy(data.data() + y * newRow, data_.data() + y * oldRow, oldRow);
    }
    size_ = newSize;
    data_ = std::move(data);
    texture_ = std::move(texture);
    loggedFrozenMiss_ = false;
    uploadRect(0, 0, size_, size_);
}

void GlyphAtlas::reset()
{
    nextX_ = nextY_ = rowHeight_ = 0;
    std::fill(data_.begin(), data_.end(), std::uint8_t(0));
    uploadRect(0, 0, size_, size_);
}

void GlyphAtlas::uploadRect(int x, int y, int width, int height)
{
    const std::size_t offset = (std::size_t(y) * std::size_t(size_) + std::size_t(x)) * std::size_t(bytesPerPixel_);
    device_.gl().uploadTexture(nameOf(texture_), textureFormat(), x, y, width, height, size_, data_.data() + offset);
}

void GlyphAtlas::write(const AtlasRegion& region, std::span<const std::uint8_t> pixels, int width, int height)
{
    if (width != region.width || height != region.height) return;
    // A short bitmap or a region outside this atlas (one from the other atlas) would read or
    // write past the ends.
    if (width < 1 || height < 1 || region.x < 0 || region.y < 0 || region.x + width > size_ ||
        region.y + height > size_) {
        return;
    }
    if (pixels.size() < std::size_t(width) * std::size_t(height) * 4) return;

    const std::size_t bpp = std::size_t(bytesPerPixel_);
    const std::size_t rowBytes = std::size_t(size_) * bpp;
    auto at = [&](int x, int y) { return data_.data() + std::size_t(y) * rowBytes + std::size_t(x) * bpp; };

    for (int r = 0; r < height; ++r) {
        const std::uint8_t* source = pixels.data() + std::size_t(height - 1 - r) * std::size_t(width) * 4;
        std::uint8_t* target = at(region.x, region.y + r);
        if (format_ == GlyphAtlasFormat::bgra) {
            std::memcpy(target, source, std::size_t(width) * 4);
        } else {
            for (int c = 0; c < width; ++c) target[c] = source[std::size_t(c) * 4 + 3];
        }
    }

    const std::size_t regionBytes = std::size_t(width) * bpp;
    const int top = std::max(region.y - 1, 0);
    const int bottom = std::min(region.y + height + 1, size_); // exclusive
    for (int y = top; y < region.y; ++y) std::memcpy(at(region.x, y), at(region.x, region.y), regionBytes);
    for (int y = region.y + height; y < bottom; ++y) {
        std::memcpy(at(region.x, y), at(region.x, region.y + height - 1), regionBytes);
    }
    const int left = std::max(region.x - 1, 0);
    const int right = std::min(region.x + width + 1, size_); // exclusive
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < region.x; ++x) std::memcpy(at(x, y), at(region.x, y), bpp);
        for (int x = region.x + width; x < right; ++x) std::memcpy(at(x, y), at(region.x + width - 1, y), bpp);
    }
    uploadRect(left, top, right - left, bottom - top);
}

} // namespace corvix

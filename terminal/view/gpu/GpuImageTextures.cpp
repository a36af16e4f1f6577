#include "terminal/view/gpu/GpuImageTextures.hpp"

#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QRectF>

#include <algorithm>
#include <cmath>

namespace corvix {

namespace {

// The head of a payload its signature hashes.
constexpr std::size_t kHashedHead = 64;

} // namespace

std::uint32_t hashBytes(std::span<const std::uint8_t> data, std::size_t limit)
{
    const std::size_t n = std::min(data.size(), limit);
    if (n == 0) return 0;
    std::uint32_t h = 0x811C9DC5u;
    for (std::size_t i = 0; i < n; ++i) h = (h ^ data[i]) * 0x01000193u;
    return h;
}

KittyImageSignature kittySignature(const KittyGraphicsImage& image)
{
    const KittyGraphicsPayload& payload = image.payload;
    const bool png = payload.kind == KittyGraphicsPayload::Kind::png;
    return {std::uint8_t(png ? 1 : 2),
            png ? 0 : payload.width,
            png ? 0 : payload.height,
            std::int64_t(payload.bytes.size()),
            hashBytes(payload.bytes, kHashedHead),
            image.serial};
}

GpuImageTexture GpuImageTextures::upload(const QImage& picture)
{
    if (picture.isNull() || !device_.makeCurrent()) return {};
    GpuGl& gl = device_.gl();
    if (maxSide <= 0) maxSide = gl.maxTextureSize();
    QImage image = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int longest = std::max(image.width(), image.height());
    if (maxSide > 0 && longest > maxSide) {
        // The quad's texture coordinates are normalised: a smaller copy with the same aspect
        // draws the same picture.
        const double factor = double(maxSide) / longest;
        const QSize fitted(std::clamp(int(std::lround(image.width() * factor)), 1, maxSide),
                           std::clamp(int(std::lround(image.height() * factor)), 1, maxSide));
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    // Pictures come top row first; every texture here has its bottom row first.
    image = std::move(image).mirrored(false, true);
    GpuObjectRef texture = adoptGpuObject(
        device_, GpuObjectKind::texture,
        gl.makeTexture(GpuTextureFormat::bgra8, image.width(), image.height(), image.constBits()));
    if (!texture) return {};
    return {std::move(texture), picture.width(), picture.height()};
}

GpuImageTexture GpuImageTextures::texture(const std::shared_ptr<const QImage>& picture)
{
    if (!picture) return {};
    if (const auto found = pictureTextures.find(picture); found != pictureTextures.end()) return found->second;
    GpuImageTexture made = upload(*picture);
    if (made.texture) pictureTextures.emplace(picture, made);
    return made;
}

GpuImageTexture GpuImageTextures::kittyTexture(const KittyGraphicsState& store, std::uint32_t imageId)
{
    const auto image = store.imagesById.find(imageId);
    if (image == store.imagesById.end()) return {};
    const KittyImageSignature signature = kittySignature(image->second);
    if (const auto cached = kittyTextures.find(imageId);
        cached != kittyTextures.end() && cached->second.signature == signature) {
        return cached->second.texture;
    }
    // Decoded as the CPU path decodes it: a picture it refuses is drawn by neither path.
    const std::optional<QImage> picture = TerminalView::kittyPayloadImage(image->second.payload);
    if (!picture) return {};
    GpuImageTexture made = upload(*picture);
    if (made.texture) kittyTextures[imageId] = {signature, made};
    return made;
}

void GpuImageTextures::prune(const KittyGraphicsState* store)
{
    std::erase_if(pictureTextures, [](const auto& entry) { return entry.first.expired(); });
    std::erase_if(kittyTextures,
                  [store](const auto& entry) { return !store || !store->imagesById.contains(entry.first); });
}

std::optional<ImageDraw> imageDraw(const GpuObjectRef& texture, const QRectF& rect, const QRectF& uvRect,
                                   BufferLine::RenderLineMode renderMode, const std::optional<ClipRect>& clip,
                                   double pivotY, double scale)
{
    const PixelEdges edges = renderModeTransform(rect.left() * scale, rect.top() * scale, rect.right() * scale,
                                                 rect.bottom() * scale, renderMode, pivotY);
    // QRectF's top is its smaller y, here the bottom edge.
    const auto quad = clipRect(TexturedEdges{edges.x0, edges.y0, edges.x1, edges.y1, float(uvRect.left()),
                                             float(uvRect.top()), float(uvRect.right()), float(uvRect.bottom())},
                               clip);
    if (!quad) return std::nullopt;
    const std::array<GlyphVertex, 6> vertices = quadVertices(*quad, GpuFloat4{1, 1, 1, 1});
    return ImageDraw{texture, {vertices.begin(), vertices.end()}};
}

} // namespace corvix

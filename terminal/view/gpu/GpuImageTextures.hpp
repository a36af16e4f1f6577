#pragma once

// Textures for the pictures the terminal shows: pictures attached to lines, and Kitty images
// that placeholder cells show by id. Every texture is RGBA8, premultiplied, bottom row first.

#include "terminal/engine/KittyGraphics.hpp"
#include "terminal/view/gpu/UnderlineSegments.hpp"

#include <QImage>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>

class QRectF;

namespace corvix {

class GpuDevice;

// What a stored Kitty image was when its texture was made; another value means another texture.
struct KittyImageSignature {
    std::uint8_t kind = 0; // 1 PNG, 2 raw RGBA
    int width = 0;         // RGBA only
    int height = 0;
    std::int64_t byteCount = 0;
    std::uint32_t headHash = 0;
    // The store's serial: a re-sent image differing only past the hashed head is still new.
    std::uint64_t serial = 0;
    bool operator==(const KittyImageSignature&) const = default;
};

// 32-bit FNV-1a of the first `limit` bytes; 0 when there are none.
std::uint32_t hashBytes(std::span<const std::uint8_t> data, std::size_t limit);
KittyImageSignature kittySignature(const KittyGraphicsImage& image);

// A picture's texture, and the picture's own size in pixels (the texture of a picture larger than
// the device allows is a smaller copy).
struct GpuImageTexture {
    GpuObjectRef texture;
    int width = 0;
    int height = 0;
};

class GpuImageTextures {
public:
    explicit GpuImageTextures(GpuDevice& device) : device_(device) {}

    // The texture of an attached picture: one for every strip that shares the picture, kept no
    // longer than the picture. No texture when it cannot be made; the next call tries again.
    GpuImageTexture texture(const std::shared_ptr<const QImage>& picture);
    // The texture of Kitty image `imageId` in `store`, made again whenever the image's signature
    // changed; no texture when there is no such image or it cannot be decoded or made.
    GpuImageTexture kittyTexture(const KittyGraphicsState& store, std::uint32_t imageId);
    // Lets go of the textures of pictures that are gone and of Kitty ids no longer in `store`
    // (all Kitty textures without a store). A row that still draws one keeps it alive.
    void prune(const KittyGraphicsState* store);

    std::size_t pictureTextureCount() const { return pictureTextures.size(); }
    std::size_t kittyTextureCount() const { return kittyTextures.size(); }

    // Test hook: the largest side a texture may have (GL_MAX_TEXTURE_SIZE unless set).
    void setMaxTextureSide(int side) { maxSide = side; }

private:
    // A texture of `picture`, rows flipped and scaled down to fit the device when needed.
    GpuImageTexture upload(const QImage& picture);

    GpuDevice& device_;
    int maxSide = 0;
    struct KittyEntry {
        KittyImageSignature signature;
        GpuImageTexture texture;
    };
    // Keyed by the picture's ownership, not its address: a later picture at a freed address is
    // another key.
    std::map<std::weak_ptr<const QImage>, GpuImageTexture, std::owner_less<>> pictureTextures;
    std::unordered_map<std::uint32_t, KittyEntry> kittyTextures;
};

// The textured quad of `rect` (points, y up) showing `uvRect` of the texture, in the row's render
// mode and clip: six white vertices, (left, bottom), (right, bottom), (left, top), (right, bottom),
// (right, top), (left, top). Nothing when the clip leaves nothing.
std::optional<ImageDraw> imageDraw(const GpuObjectRef& texture, const QRectF& rect, const QRectF& uvRect,
                                   BufferLine::RenderLineMode renderMode, const std::optional<ClipRect>& clip,
                                   double pivotY, double scale);

} // namespace corvix

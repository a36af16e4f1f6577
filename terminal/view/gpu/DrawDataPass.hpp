#pragma once

// The terminal view's visible rows and cursor as the draw data of one frame. Finished rows are
// kept between frames, so a frame in which a few rows changed builds only those; a frame during
// which a glyph atlas grew or was reset is built again, since rows made before the change point
// into the old atlas.

#include "terminal/engine/KittyGraphics.hpp"
#include "terminal/screen/BidiPresentationState.hpp"
#include "terminal/view/gpu/FrameEncoder.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"
#include "terminal/view/gpu/RowDrawData.hpp"

#include <QPointer>

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>

namespace corvix {

// What of the Kitty store a cached row depends on besides its own line: placeholder cells show
// whatever image and virtual placement their ids name now.
struct KittyCacheStamp {
    std::size_t imagesCount = 0;
    std::size_t placementsCount = 0;
    std::uint32_t nextImageId = 0;
    std::uint32_t nextPlacementId = 0;
    // The counts miss an image re-sent under its id and a placement put again under its key.
    std::uint64_t revision = 0;
    bool operator==(const KittyCacheStamp&) const = default;

    static KittyCacheStamp of(const KittyGraphicsState& state);
};

// The frame-wide inputs every cached row was built under. Floating-point fields compare exactly.
struct CacheSignature {
    double scale = 0;
    double cellWidth = 0;
    double cellHeight = 0;
    int viewWidth = 0;
    int viewHeight = 0;
    int yDisp = 0;
    int rows = 0;
    int cols = 0;
    std::uint64_t fontSerial = 0;
    bool isAltBuffer = false;
    KittyCacheStamp kittyStamp;
    BidiHostPolicy bidiHostPolicy = BidiHostPolicy::respectTerminal;
    bool operator==(const CacheSignature&) const = default;
};

// One finished row. Its line is named by serial: the cache keeps no line alive.
struct RowCacheEntry {
    std::uint64_t lineSerial = 0;
    std::uint64_t generation = 0;
    std::uint64_t bidiRevision = 0;
    RowDrawData data;
    // The row's own GL buffers; kept only while rows keep buffers between frames.
    std::optional<RowDrawBuffers> buffers;
};

// The renderer's draw-data pass over one terminal view, with its row cache. It empties the row
// cache through `glyphs` whenever an atlas changes. GUI thread only.
class DrawDataPass {
public:
    // `glyphs`, the atlases, `shaper`, `images` and `encoder` outlive the pass; the view need not.
    DrawDataPass(TerminalView& view, GlyphEntries& glyphs, GlyphAtlas& grayscaleAtlas, GlyphAtlas& colorAtlas,
                 ShaperCache& shaper, GpuImageTextures& images, FrameEncoder& encoder);
    ~DrawDataPass();
    DrawDataPass(const DrawDataPass&) = delete;
    DrawDataPass& operator=(const DrawDataPass&) = delete;

    // The frame's draw data: the pass, run again on an empty row cache while an atlas changed
    // during it. The fifth repeat runs with both atlases frozen and is used whatever happens.
    DrawData buildDrawData(double scale, bool cursorBlinkOn);
    // One pass at `scale` drawable pixels per point. Empty when the view is gone or shows no rows;
    // nothing else changes then.
    DrawData buildDrawDataPass(double scale, bool cursorBlinkOn);

    // Test seam: makes the records of buffer line `row` shown with `yDisp` at the top. The row
    // builder over the renderer's caches unless a test counts or replaces the calls.
    std::function<RowDrawData(int row, int yDisp, double scale)> buildRow;

    // Cached rows by buffer line index.
    const std::unordered_map<int, RowCacheEntry>& rowCache() const { return rowCache_; }
    void emptyRowCache() { rowCache_.clear(); }

    static constexpr int kMaxRebuilds = 5;

private:
    QPointer<TerminalView> view_;
    GlyphEntries& glyphs_;
    GlyphAtlas& grayscaleAtlas_;
    GlyphAtlas& colorAtlas_;
    ShaperCache& shaper_;
    GpuImageTextures& images_;
    FrameEncoder& encoder_;
    RowDrawBuilder rowBuilder_;
    std::unordered_map<int, RowCacheEntry> rowCache_;
    std::optional<CacheSignature> cacheSignature_;
    std::optional<GpuBufferingMode> cacheBufferingMode_;
};

} // namespace corvix

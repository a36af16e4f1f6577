#include "terminal/view/gpu/DrawDataPass.hpp"

#include "terminal/bidi/TerminalBidi.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/CursorDrawData.hpp"

#include <algorithm>
#include <utility>

namespace corvix {

KittyCacheStamp KittyCacheStamp::of(const KittyGraphicsState& state)
{
    return {state.imagesById.size(), state.placementsByKey.size(), state.nextImageId, state.nextPlacementId,
            state.revision};
}

namespace {

void setFrozen(GlyphAtlas& grayscale, GlyphAtlas& color, bool frozen)
{
    grayscale.frozen = frozen;
    color.frozen = frozen;
}

} // namespace

DrawDataPass::DrawDataPass(TerminalView& view, GlyphEntries& glyphs, GlyphAtlas& grayscaleAtlas,
                           GlyphAtlas& colorAtlas, ShaperCache& shaper, GpuImageTextures& images,
                           FrameEncoder& encoder)
    : view_(&view), glyphs_(glyphs), grayscaleAtlas_(grayscaleAtlas), colorAtlas_(colorAtlas), shaper_(shaper),
      images_(images), encoder_(encoder), rowBuilder_(view, glyphs, grayscaleAtlas, colorAtlas, shaper, images)
{
    buildRow = [this](int row, int yDisp, double scale) { return rowBuilder_.build(row, yDisp, scale); };
    glyphs_.emptyRowCache = [this] { emptyRowCache(); };
}

DrawDataPass::~DrawDataPass()
{
    glyphs_.emptyRowCache = nullptr;
}

DrawData DrawDataPass::buildDrawData(double scale, bool cursorBlinkOn)
{
    for (int attempts = 0;;) {
        if (attempts == kMaxRebuilds) {
            qCCritical(lcGpuAtlas, "glyph working set exceeds max atlas capacity; some glyphs will be skipped this frame");
            setFrozen(grayscaleAtlas_, colorAtlas_, true);
        }
        glyphs_.atlasInvalidatedDuringBuild = false;
        DrawData data = buildDrawDataPass(scale, cursorBlinkOn);
        if (!glyphs_.atlasInvalidatedDuringBuild || attempts >= kMaxRebuilds) {
            setFrozen(grayscaleAtlas_, colorAtlas_, false);
            return data;
        }
        // Rows built before the change point into the atlas as it was.
        emptyRowCache();
        ++attempts;
        qCInfo(lcGpuAtlas, "glyph atlas changed during frame build; rebuild pass %ld/%ld", long(attempts),
               long(kMaxRebuilds));
    }
}

DrawData DrawDataPass::buildDrawDataPass(double scale, bool cursorBlinkOn)
{
    TerminalView* view = view_.data();
    if (!view || !view->hasTerminal()) return {};
    Terminal& terminal = view->getTerminal();
    const KittyGraphicsState& kitty = terminal.kittyGraphicsState();
    images_.prune(&kitty);

    Buffer& buffer = terminal.buffer();
    const int yDisp = buffer.yDisp();
    const int firstRow = yDisp;
    const int lastRow = std::min(yDisp + buffer.rows() - 1, buffer.lines().count() - 1);
    if (buffer.lines().count() == 0 || lastRow < firstRow) return {};

    const GpuBufferingMode mode = view->gpuBufferingMode;
    const bool aggregated = mode == GpuBufferingMode::perFrameAggregated;
    if (cacheBufferingMode_ != mode) {
        // Aggregated frames copy the records every frame: the rows' own buffers would only hold
        // memory. Going back, each row makes them again when it is next used.
        if (aggregated) {
            for (auto& [row, entry] : rowCache_) entry.buffers.reset();
        }
        cacheBufferingMode_ = mode;
    }

    const QSizeF cell = view->cellSize();
    const CacheSignature signature{scale,
                                   cell.width(),
                                   cell.height(),
                                   view->width(),
                                   view->height(),
                                   yDisp,
                                   buffer.rows(),
                                   buffer.cols(),
                                   view->fonts().serial,
                                   terminal.isCurrentBufferAlternate(),
                                   KittyCacheStamp::of(kitty),
                                   view->bidiHostPolicy()};
    const bool signatureChanged = cacheSignature_ != signature;
    if (signatureChanged) {
        rowCache_.clear();
        cacheSignature_ = signature;
    }
    std::erase_if(rowCache_, [&](const auto& entry) { return entry.first < firstRow || entry.first > lastRow; });

    const std::optional<std::pair<int, int>> dirtyRange = std::exchange(view->gpuDirtyRange, std::nullopt);
    const bool rebuildAll = signatureChanged || rowCache_.empty();
    // Empty (lo above hi) when nothing visible is dirty.
    int dirtyLo = 0;
    int dirtyHi = -1;
    if (!rebuildAll && dirtyRange) {
        dirtyLo = std::max(firstRow, dirtyRange->first);
        dirtyHi = std::min(lastRow, dirtyRange->second);
    }

    DrawData out;
    if (aggregated) {
        out.frame.emplace();
    } else {
        out.rows.reserve(std::size_t(lastRow - firstRow + 1));
    }
    const int64_t maximumBidiRows = terminal.options.maximumBidiParagraphRows;
    for (int r = firstRow; r <= lastRow; ++r) {
        const BufferLine& line = buffer.lines()[r];
        const std::uint64_t serial = line.serial();
        const std::uint64_t generation = line.generation();
        const std::uint64_t revision = TerminalBidi::layoutRevision(r, buffer, maximumBidiRows);
        auto cached = rowCache_.find(r);
        const bool valid = cached != rowCache_.end() && cached->second.lineSerial == serial &&
                           cached->second.generation == generation && cached->second.bidiRevision == revision;
        const bool dirty = r >= dirtyLo && r <= dirtyHi;

        RowCacheEntry* entry = nullptr;
        if (!valid || rebuildAll || dirty) {
            RowCacheEntry built{serial, generation, revision, buildRow(r, yDisp, scale), std::nullopt};
            if (!aggregated) built.buffers = encoder_.makeRowDrawBuffers(built.data);
            // The build may have emptied the cache (an atlas changed): store afresh.
            entry = &rowCache_.insert_or_assign(r, std::move(built)).first->second;
        } else {
            entry = &cached->second;
            if (!aggregated && !entry->buffers) entry->buffers = encoder_.makeRowDrawBuffers(entry->data);
        }
        if (aggregated) {
            out.frame->append(entry->data);
        } else {
            out.rows.push_back(*entry->buffers);
        }
    }

    const QFontMetricsF& normal = view->faceMetrics(FontFace::normal);
    CursorDrawData cursor = buildCursorDrawData(
        *view, glyphs_, shaper_, grayscaleAtlas_, colorAtlas_,
        {scale, cell.width(), cell.height(), normal.descent(), normal.leading(), yDisp, firstRow, lastRow,
         cursorBlinkOn});
    out.cursorColorVertices = std::move(cursor.colorVertices);
    out.cursorGlyphVerticesGray = std::move(cursor.glyphVerticesGray);
    out.cursorGlyphVerticesColor = std::move(cursor.glyphVerticesColor);
    return out;
}

} // namespace corvix

#pragma once

#include "terminal/view/gpu/GpuRecords.hpp"

#include <map>
#include <mutex>
#include <span>
#include <vector>

namespace corvix {

// Per-frame vertex buffers of a few rounded lengths, reused once the frame that used them is done.
class BufferPool {
public:
    explicit BufferPool(GpuDevice& device) : device(device) {}

    // The pooled length for `bytes` (at least 1): a multiple of 256, at least 4096, and above that
    // a power of two.
    static std::size_t pooledLength(std::size_t bytes);

    // A free buffer of exactly `length` bytes, or a new one; nothing when GL refuses.
    GpuObjectRef dequeue(std::size_t length);
    // Keeps up to four free buffers per length and lets the rest go.
    void recycle(std::vector<GpuObjectRef> buffers);

    // The pooled buffers handed out for the frame being encoded (GUI thread only).
    std::vector<GpuObjectRef> frameBuffers;

    static constexpr std::size_t alignment = 256;
    static constexpr std::size_t maxBuffersPerSize = 4;

private:
    GpuDevice& device;
    std::mutex lock;
    std::map<std::size_t, std::vector<GpuObjectRef>> available;
};

// What the layers bind besides their records.
struct GpuFrameResources {
    const GpuPipelines* pipelines = nullptr;
    GlName grayscaleAtlas = 0;
    GlName colorAtlas = 0;
    GlName sampler = 0;
};

// Turns a frame's draw data into GL draws, layer by layer in the fixed order. A layer without
// data sets no state at all.
class FrameEncoder {
public:
    FrameEncoder(GpuDevice& device, BufferPool& pool) : device(device), pool(pool) {}

    // Clears `framebuffer` (width × height pixels) to `clearColor` and draws every layer of `data`;
    // the records' coordinates span `viewport`, stretched over the framebuffer.
    void encode(const DrawData& data, const GpuFrameResources& resources, GlName framebuffer, int width, int height,
                GpuFloat2 viewport, GpuFloat4 clearColor);

    void drawFrameData(const FrameDrawData& frame, const GpuFrameResources& resources, GpuFloat2 viewport);
    void drawImageRows(const std::vector<RowDrawBuffers>& rows, std::vector<ImageDrawBuffer> RowDrawBuffers::*images,
                       const GpuFrameResources& resources, GpuFloat2 viewport);
    void drawImageBatches(const std::vector<ImageDraw>& draws, const GpuFrameResources& resources, GpuFloat2 viewport);

    // A pooled buffer holding `records` for this frame; nothing when there are none or GL refuses.
    template <typename Record> GpuObjectRef makeBuffer(std::span<const Record> records)
    {
        return makePooledBuffer(records.data(), records.size() * sizeof(Record));
    }
    // A row's own buffer of exactly the records' size, kept between frames.
    template <typename Record> GpuObjectRef makeRowBuffer(std::span<const Record> records)
    {
        return makeExactBuffer(records.data(), records.size() * sizeof(Record));
    }
    // Persistent buffers for a cached row's image draws; draws without vertices are left out.
    std::vector<ImageDrawBuffer> makeImageDrawBuffers(const std::vector<ImageDraw>& draws);
    // A cached row's own buffers for all its records. A list GL refuses a buffer for gets none and
    // count 0: that layer of the row is not drawn.
    RowDrawBuffers makeRowDrawBuffers(const FrameDrawData& row);

private:
    GpuObjectRef makePooledBuffer(const void* data, std::size_t bytes);
    GpuObjectRef makeExactBuffer(const void* data, std::size_t bytes);
    void drawRowLayer(const std::vector<RowDrawBuffers>& rows, GpuObjectRef RowDrawBuffers::*buffer,
                      int RowDrawBuffers::*count, GpuRecordKind kind, const GpuPipeline& pipeline, GlName texture,
                      GlName sampler, GpuFloat2 viewport);
    template <typename Record>
    void drawPooled(const std::vector<Record>& records, GpuRecordKind kind, const GpuPipeline& pipeline,
                    GlName texture, GlName sampler, GpuFloat2 viewport);

    GpuDevice& device;
    BufferPool& pool;
};

} // namespace corvix

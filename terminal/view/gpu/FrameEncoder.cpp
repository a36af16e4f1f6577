#include "terminal/view/gpu/FrameEncoder.hpp"

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QColor>

#include <algorithm>

namespace corvix {

GpuFloat4 colorToSIMD(const QColor& color)
{
    if (!color.isValid()) return {0, 0, 0, 1};
    const QColor rgb = color.toRgb();
    return {float(rgb.redF()), float(rgb.greenF()), float(rgb.blueF()), float(rgb.alphaF())};
}

// ---- Pool ----------------------------------------------------------------------------------------

std::size_t BufferPool::pooledLength(std::size_t bytes)
{
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    std::size_t length = 4096;
    while (length < rounded) length *= 2;
    return length;
}

GpuObjectRef BufferPool::dequeue(std::size_t length)
{
    {
        std::lock_guard guard(lock);
        auto it = available.find(length);
        if (it != available.end() && !it->second.empty()) {
            GpuObjectRef buffer = std::move(it->second.back());
            it->second.pop_back();
            return buffer;
        }
    }
    return adoptGpuObject(device, GpuObjectKind::buffer,
                          device.gl().makeBuffer(length, GpuBufferUsage::streamDraw, nullptr), length);
}

void BufferPool::recycle(std::vector<GpuObjectRef> buffers)
{
    std::lock_guard guard(lock);
    for (GpuObjectRef& buffer : buffers) {
        if (!buffer) continue;
        auto& list = available[buffer->length()];
        if (list.size() < maxBuffersPerSize) list.push_back(std::move(buffer));
    }
}

// ---- Buffers -------------------------------------------------------------------------------------

GpuObjectRef FrameEncoder::makePooledBuffer(const void* data, std::size_t bytes)
{
    if (bytes == 0) return nullptr;
    GpuObjectRef buffer = pool.dequeue(BufferPool::pooledLength(bytes));
    if (!buffer) return nullptr;
    device.gl().writeBuffer(buffer->name(), bytes, data);
    pool.frameBuffers.push_back(buffer);
    return buffer;
}

GpuObjectRef FrameEncoder::makeExactBuffer(const void* data, std::size_t bytes)
{
    if (bytes == 0) return nullptr;
    return adoptGpuObject(device, GpuObjectKind::buffer, device.gl().makeBuffer(bytes, GpuBufferUsage::staticDraw, data),
                          bytes);
}

std::vector<ImageDrawBuffer> FrameEncoder::makeImageDrawBuffers(const std::vector<ImageDraw>& draws)
{
    std::vector<ImageDrawBuffer> buffers;
    for (const ImageDraw& draw : draws) {
        if (draw.vertices.empty()) continue;
        GpuObjectRef buffer = makeRowBuffer(std::span<const GlyphVertex>(draw.vertices));
        if (!buffer) continue;
        buffers.push_back({draw.texture, std::move(buffer), int(draw.vertices.size())});
    }
    return buffers;
}

namespace {

template <typename Record> void appendList(std::vector<Record>& to, const std::vector<Record>& from)
{
    to.insert(to.end(), from.begin(), from.end());
}

} // namespace

void FrameDrawData::append(const FrameDrawData& row)
{
    appendList(backgroundCells, row.backgroundCells);
    appendList(powerlineJoinCells, row.powerlineJoinCells);
    appendList(glyphCellsGray, row.glyphCellsGray);
    appendList(glyphCellsColor, row.glyphCellsColor);
    appendList(decorationCells, row.decorationCells);
    appendList(underImageDraws, row.underImageDraws);
    appendList(placeholderImageDraws, row.placeholderImageDraws);
    appendList(overImageDraws, row.overImageDraws);
    appendList(otherImageDraws, row.otherImageDraws);
}

RowDrawBuffers FrameEncoder::makeRowDrawBuffers(const FrameDrawData& row)
{
    RowDrawBuffers buffers;
    const auto put = [&]<typename Record>(const std::vector<Record>& records, GpuObjectRef& buffer, int& count) {
        buffer = makeRowBuffer(std::span<const Record>(records));
        count = buffer ? int(records.size()) : 0;
    };
    put(row.backgroundCells, buffers.backgroundBuffer, buffers.backgroundCount);
    put(row.powerlineJoinCells, buffers.powerlineJoinBuffer, buffers.powerlineJoinCount);
    put(row.glyphCellsGray, buffers.glyphGrayBuffer, buffers.glyphGrayCount);
    put(row.glyphCellsColor, buffers.glyphColorBuffer, buffers.glyphColorCount);
    put(row.decorationCells, buffers.decorationBuffer, buffers.decorationCount);
    buffers.underImageBuffers = makeImageDrawBuffers(row.underImageDraws);
    buffers.placeholderImageBuffers = makeImageDrawBuffers(row.placeholderImageDraws);
    buffers.overImageBuffers = makeImageDrawBuffers(row.overImageDraws);
    buffers.otherImageBuffers = makeImageDrawBuffers(row.otherImageDraws);
    return buffers;
}

// ---- Layers --------------------------------------------------------------------------------------

void FrameEncoder::encode(const DrawData& data, const GpuFrameResources& resources, GlName framebuffer, int width,
                          int height, GpuFloat2 viewport, GpuFloat4 clearColor)
{
    GpuGl& gl = device.gl();
    gl.beginFrame(framebuffer, width, height, clearColor);
    const GpuPipelines& p = *resources.pipelines;

    if (data.frame) {
        drawFrameData(*data.frame, resources, viewport);
    } else {
        using R = RowDrawBuffers;
        const auto& rows = data.rows;
        drawRowLayer(rows, &R::backgroundBuffer, &R::backgroundCount, GpuRecordKind::colorCell, p.cellColor, 0, 0,
                     viewport);
        drawImageRows(rows, &R::underImageBuffers, resources, viewport);
        drawRowLayer(rows, &R::powerlineJoinBuffer, &R::powerlineJoinCount, GpuRecordKind::colorCell, p.cellColor, 0,
                     0, viewport);
        drawRowLayer(rows, &R::glyphGrayBuffer, &R::glyphGrayCount, GpuRecordKind::textCell, p.cellTextGray,
                     resources.grayscaleAtlas, resources.sampler, viewport);
        drawRowLayer(rows, &R::glyphColorBuffer, &R::glyphColorCount, GpuRecordKind::textCell, p.cellText,
                     resources.colorAtlas, resources.sampler, viewport);
        drawRowLayer(rows, &R::decorationBuffer, &R::decorationCount, GpuRecordKind::colorCell, p.cellColor, 0, 0,
                     viewport);
        drawImageRows(rows, &R::placeholderImageBuffers, resources, viewport);
        drawImageRows(rows, &R::overImageBuffers, resources, viewport);
        drawImageRows(rows, &R::otherImageBuffers, resources, viewport);
    }

    drawPooled(data.cursorColorVertices, GpuRecordKind::colorVertex, p.color, 0, 0, viewport);
    drawPooled(data.cursorGlyphVerticesGray, GpuRecordKind::glyphVertex, p.textGray, resources.grayscaleAtlas,
               resources.sampler, viewport);
    drawPooled(data.cursorGlyphVerticesColor, GpuRecordKind::glyphVertex, p.text, resources.colorAtlas,
               resources.sampler, viewport);
}

void FrameEncoder::drawRowLayer(const std::vector<RowDrawBuffers>& rows, GpuObjectRef RowDrawBuffers::*buffer,
                                int RowDrawBuffers::*count, GpuRecordKind kind, const GpuPipeline& pipeline,
                                GlName texture, GlName sampler, GpuFloat2 viewport)
{
    const bool any = std::any_of(rows.begin(), rows.end(), [&](const RowDrawBuffers& row) { return bool(row.*buffer); });
    if (!any) return;
    GpuGl& gl = device.gl();
    gl.useLayer(pipeline, texture, sampler, viewport);
    for (const RowDrawBuffers& row : rows) {
        if (!(row.*buffer) || row.*count == 0) continue;
        gl.draw(kind, (row.*buffer)->name(), row.*count);
    }
}

template <typename Record>
void FrameEncoder::drawPooled(const std::vector<Record>& records, GpuRecordKind kind, const GpuPipeline& pipeline,
                              GlName texture, GlName sampler, GpuFloat2 viewport)
{
    if (records.empty()) return;
    GpuObjectRef buffer = makeBuffer(std::span<const Record>(records));
    if (!buffer) return;
    GpuGl& gl = device.gl();
    gl.useLayer(pipeline, texture, sampler, viewport);
    gl.draw(kind, buffer->name(), int(records.size()));
}

void FrameEncoder::drawFrameData(const FrameDrawData& frame, const GpuFrameResources& resources, GpuFloat2 viewport)
{
    const GpuPipelines& p = *resources.pipelines;
    drawPooled(frame.backgroundCells, GpuRecordKind::colorCell, p.cellColor, 0, 0, viewport);
    drawImageBatches(frame.underImageDraws, resources, viewport);
    drawPooled(frame.powerlineJoinCells, GpuRecordKind::colorCell, p.cellColor, 0, 0, viewport);
    drawPooled(frame.glyphCellsGray, GpuRecordKind::textCell, p.cellTextGray, resources.grayscaleAtlas,
               resources.sampler, viewport);
    drawPooled(frame.glyphCellsColor, GpuRecordKind::textCell, p.cellText, resources.colorAtlas, resources.sampler,
               viewport);
    drawPooled(frame.decorationCells, GpuRecordKind::colorCell, p.cellColor, 0, 0, viewport);
    drawImageBatches(frame.placeholderImageDraws, resources, viewport);
    drawImageBatches(frame.overImageDraws, resources, viewport);
    drawImageBatches(frame.otherImageDraws, resources, viewport);
}

void FrameEncoder::drawImageRows(const std::vector<RowDrawBuffers>& rows,
                                 std::vector<ImageDrawBuffer> RowDrawBuffers::*images,
                                 const GpuFrameResources& resources, GpuFloat2 viewport)
{
    if (std::all_of(rows.begin(), rows.end(), [&](const RowDrawBuffers& row) { return (row.*images).empty(); })) return;
    GpuGl& gl = device.gl();
    gl.useLayer(resources.pipelines->text, 0, resources.sampler, viewport);
    for (const RowDrawBuffers& row : rows) {
        for (const ImageDrawBuffer& draw : row.*images) {
            gl.bindTexture(nameOf(draw.texture));
            gl.draw(GpuRecordKind::glyphVertex, nameOf(draw.buffer), draw.vertexCount);
        }
    }
}

void FrameEncoder::drawImageBatches(const std::vector<ImageDraw>& draws, const GpuFrameResources& resources,
                                    GpuFloat2 viewport)
{
    if (draws.empty()) return;
    GpuGl& gl = device.gl();
    gl.useLayer(resources.pipelines->text, 0, resources.sampler, viewport);
    for (const ImageDraw& draw : draws) {
        if (draw.vertices.empty()) continue;
        GpuObjectRef buffer = makeBuffer(std::span<const GlyphVertex>(draw.vertices));
        if (!buffer) continue;
        gl.bindTexture(nameOf(draw.texture));
        gl.draw(GpuRecordKind::glyphVertex, buffer->name(), int(draw.vertices.size()));
    }
}

} // namespace corvix

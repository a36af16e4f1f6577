#pragma once

// The one seam between the renderer's decisions and GL: the atlases, the buffer pool, the
// shader library and the frame encoder reach GL only through `GpuGl`. The OpenGL implementation
// draws; a recording one lets the tests check what a frame would do without pixels.

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace corvix {

class GpuDevice;

using GlName = unsigned int;
// A GL sync object; null when there is none.
using GpuFence = const void*;

struct GpuFloat2 {
    float x = 0, y = 0;
    bool operator==(const GpuFloat2&) const = default;
};
struct GpuFloat4 {
    float x = 0, y = 0, z = 0, w = 0;
    bool operator==(const GpuFloat4&) const = default;
};

// R8 (coverage) or RGBA8 uploaded from B, G, R, A bytes.
enum class GpuTextureFormat { r8, bgra8 };
enum class GpuBufferUsage { staticDraw, streamDraw };
enum class GpuShaderStage { vertex, fragment };
enum class GpuObjectKind { texture, buffer, sampler, shader, program };

// What a buffer holds, and so how a draw reads it: cell records are per-instance (six
// vertices each), vertices are read one by one.
enum class GpuRecordKind { colorCell, textCell, colorVertex, glyphVertex };

// Colour blending of a program: premultiplied (one, one minus source alpha) or straight
// (source alpha, one minus source alpha; alpha as premultiplied).
enum class GpuBlend { premultiplied, straight };

struct GpuPipeline {
    GlName program = 0;
    int viewportLocation = -1;
    GpuBlend blend = GpuBlend::premultiplied;
};

// The six programs; the device that compiled them owns them and shares them between its
// renderers.
struct GpuPipelines {
    GpuPipeline text, textGray, color, cellText, cellTextGray, cellColor;
};

struct GpuBuildResult {
    GlName name = 0; // 0 on failure
    std::string log;
};

class GpuGl {
public:
    virtual ~GpuGl() = default;

    virtual int maxTextureSize() = 0;

    // A 2-D texture without mipmaps, filled from `pixels` (rows packed) or left undefined when
    // it is null; 0 when it cannot be made.
    virtual GlName makeTexture(GpuTextureFormat format, int width, int height, const std::uint8_t* pixels) = 0;
    // Uploads a rectangle taken from `pixels`, whose rows are `rowLength` pixels long.
    virtual void uploadTexture(GlName texture, GpuTextureFormat format, int x, int y, int width, int height,
                               int rowLength, const std::uint8_t* pixels) = 0;

    // A buffer of exactly `length` bytes, filled from `data` unless it is null; 0 when refused.
    virtual GlName makeBuffer(std::size_t length, GpuBufferUsage usage, const void* data) = 0;
    // Writes the first `bytes` bytes; the rest is left as it was.
    virtual void writeBuffer(GlName buffer, std::size_t bytes, const void* data) = 0;

    // Linear filtering, clamped to the edge; 0 when no name is given.
    virtual GlName makeSampler() = 0;

    virtual GpuBuildResult compileShader(GpuShaderStage stage, const QByteArray& source) = 0;
    virtual GpuBuildResult linkProgram(GlName vertexShader, GlName fragmentShader) = 0;
    virtual int uniformLocation(GlName program, const char* name) = 0;

    virtual void deleteObject(GpuObjectKind kind, GlName name) = 0;

    // Starts a frame on `framebuffer`: viewport, blending on, cleared to `clearColor`.
    virtual void beginFrame(GlName framebuffer, int width, int height, GpuFloat4 clearColor) = 0;
    // Program, its blending and viewport, and (when not 0) texture and sampler on unit 0.
    virtual void useLayer(const GpuPipeline& pipeline, GlName texture, GlName sampler, GpuFloat2 viewport) = 0;
    virtual void bindTexture(GlName texture) = 0;
    // Draws `count` records (cells) or vertices from the start of `buffer`.
    virtual void draw(GpuRecordKind kind, GlName buffer, int count) = 0;

    virtual GpuFence insertFence() = 0;
    virtual bool fenceSignaled(GpuFence fence) = 0;
    virtual void deleteFence(GpuFence fence) = 0;
};

// Owns one GL name of a device and deletes it with a context of the device's share group
// current, whoever lets go last: a cache dropping a texture never frees it under a row that
// still draws it.
class GpuObject {
public:
    GpuObject(std::shared_ptr<GpuDevice> device, GpuObjectKind kind, GlName name, std::size_t length = 0)
        : device_(std::move(device)), kind_(kind), name_(name), length_(length)
    {
    }
    ~GpuObject();
    GpuObject(const GpuObject&) = delete;
    GpuObject& operator=(const GpuObject&) = delete;

    GlName name() const { return name_; }
    // A buffer's length in bytes.
    std::size_t length() const { return length_; }

private:
    std::shared_ptr<GpuDevice> device_;
    GpuObjectKind kind_;
    GlName name_;
    std::size_t length_;
};
using GpuObjectRef = std::shared_ptr<GpuObject>;

// An owner for `name`, or nothing when it is 0.
GpuObjectRef adoptGpuObject(GpuDevice& device, GpuObjectKind kind, GlName name, std::size_t length = 0);

inline GlName nameOf(const GpuObjectRef& object)
{
    return object ? object->name() : 0;
}

} // namespace corvix

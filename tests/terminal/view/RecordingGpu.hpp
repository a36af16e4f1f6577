#pragma once

// A GL seam that records instead of drawing, and a device over it: the renderer's decisions
// (what is uploaded, which layers set state, which buffers are made or reused, what is left
// alive) without a context.

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QPaintEvent>
#include <QWidget>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace corvix::testing {

class RecordingGl final : public GpuGl {
public:
    // Frame calls as text, e.g. "layer cellColor tex=gray sampler=sampler 800x600", "draw colorCell row0 3".
    std::vector<std::string> calls;
    struct Upload {
        GlName texture;
        int x, y, width, height, rowLength;
        bool operator==(const Upload&) const = default;
    };
    std::vector<Upload> uploads;
    // Names the calls print; stream buffers without one print as "pool<length>".
    std::map<GlName, std::string> labels;
    std::map<GpuObjectKind, int> live;
    int buffersMade = 0;
    GpuFloat4 lastClear;
    std::map<GlName, std::size_t> bufferLengths;

    // Every texture made; its pixels (rows as given) only while `keepTexturePixels` is set.
    struct Texture {
        GpuTextureFormat format;
        int width, height;
        std::vector<std::uint8_t> pixels;
    };
    std::map<GlName, Texture> textures;
    bool keepTexturePixels = false;

    // Whether a fence reports its frame done; live fences and the polls that asked.
    bool fencesSignal = true;
    int liveFences = 0;
    int fencePolls = 0;

    int maxTexture = 16384;
    bool refuseTextures = false;
    bool refuseSampler = false;
    int linkFailsAt = -1; // the index of the link that fails

    int liveObjects() const
    {
        int total = 0;
        for (const auto& [kind, count] : live) total += count;
        return total;
    }

    int maxTextureSize() override { return maxTexture; }
    GlName makeTexture(GpuTextureFormat format, int width, int height, const std::uint8_t* pixels) override
    {
        if (refuseTextures) return 0;
        const GlName name = make(GpuObjectKind::texture);
        Texture& made = textures[name];
        made = {format, width, height, {}};
        if (keepTexturePixels && pixels) {
            const std::size_t bytes = std::size_t(width) * height * (format == GpuTextureFormat::r8 ? 1 : 4);
            made.pixels.assign(pixels, pixels + bytes);
        }
        return name;
    }
    void uploadTexture(GlName texture, GpuTextureFormat, int x, int y, int width, int height, int rowLength,
                       const std::uint8_t*) override
    {
        uploads.push_back({texture, x, y, width, height, rowLength});
    }
    GlName makeBuffer(std::size_t length, GpuBufferUsage usage, const void*) override
    {
        const GlName name = make(GpuObjectKind::buffer);
        ++buffersMade;
        bufferLengths[name] = length;
        if (usage == GpuBufferUsage::streamDraw) labels[name] = "pool" + std::to_string(length);
        return name;
    }
    void writeBuffer(GlName, std::size_t, const void*) override {}
    GlName makeSampler() override { return refuseSampler ? 0 : make(GpuObjectKind::sampler); }
    GpuBuildResult compileShader(GpuShaderStage, const QByteArray& source) override
    {
        // Like a compiler, a source with an #error directive fails with that line.
        const qsizetype at = source.indexOf("#error");
        if (at >= 0) {
            const int line = int(source.left(at).count('\n')) + 1;
            const QByteArray text = source.mid(at + 7, source.indexOf('\n', at) - at - 7);
            return {0, "0:" + std::to_string(line) + "(1): preprocessor error: " + text.toStdString()};
        }
        return {make(GpuObjectKind::shader), {}};
    }
    GpuBuildResult linkProgram(GlName, GlName) override
    {
        if (links++ == linkFailsAt) return {0, "link failed"};
        return {make(GpuObjectKind::program), {}};
    }
    int uniformLocation(GlName, const char*) override { return 0; }
    void deleteObject(GpuObjectKind kind, GlName) override { --live[kind]; }

    void beginFrame(GlName framebuffer, int width, int height, GpuFloat4 clearColor) override
    {
        lastClear = clearColor;
        calls.push_back("clear fb" + std::to_string(framebuffer) + " " + std::to_string(width) + "x" +
                        std::to_string(height));
    }
    void useLayer(const GpuPipeline& pipeline, GlName texture, GlName sampler, GpuFloat2 viewport) override
    {
        std::ostringstream out;
        out << "layer " << label(pipeline.program) << " tex=" << label(texture) << " sampler=" << label(sampler) << " "
            << viewport.x << "x" << viewport.y;
        calls.push_back(out.str());
    }
    void bindTexture(GlName texture) override { calls.push_back("texture " + label(texture)); }
    void draw(GpuRecordKind kind, GlName buffer, int count) override
    {
        static const char* kinds[] = {"colorCell", "textCell", "colorVertex", "glyphVertex"};
        calls.push_back(std::string("draw ") + kinds[int(kind)] + " " + label(buffer) + " " + std::to_string(count));
    }
    GpuFence insertFence() override
    {
        ++liveFences;
        return this;
    }
    bool fenceSignaled(GpuFence) override
    {
        ++fencePolls;
        return fencesSignal;
    }
    void deleteFence(GpuFence) override { --liveFences; }

    int frames() const
    {
        int count = 0;
        for (const std::string& call : calls) count += call.starts_with("clear ");
        return count;
    }

    std::string label(GlName name) const
    {
        if (name == 0) return "-";
        auto it = labels.find(name);
        return it != labels.end() ? it->second : "#" + std::to_string(name);
    }

private:
    GlName make(GpuObjectKind kind)
    {
        ++live[kind];
        return next++;
    }
    GlName next = 1;
    int links = 0;
};

// A GPU view without GL: its paints go to the renderer with framebuffer 0 at its pixel size, and
// it counts the renderer's requests for a paint. Its "context" goes with the widget.
class RecordingSurface final : public QWidget, public GpuViewSurface {
public:
    using QWidget::QWidget;
    ~RecordingSurface() override
    {
        if (contextLost) contextLost();
    }

    // The next this many paints offer no drawable.
    int drawablesMissing = 0;
    int frameRequests = 0;

    bool makeSurfaceCurrent() override { return true; }
    void doneSurfaceCurrent() override {}
    void markForDisplay() override
    {
        ++frameRequests;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (drawablesMissing > 0) {
            --drawablesMissing;
            if (missedFrame) missedFrame();
        } else if (paintFrame) {
            const qreal ratio = devicePixelRatioF();
            paintFrame(0, int(width() * ratio + 0.5), int(height() * ratio + 0.5));
        }
    }
};

class RecordingDevice final : public GpuDevice {
public:
    ~RecordingDevice() override { dropPipelines(); }
    std::unique_ptr<QWidget> makeView(QWidget* parent) override { return std::make_unique<RecordingSurface>(parent); }
    GpuGl& gl() override { return recorder; }
    bool makeCurrent() override { return canBeCurrent; }

    RecordingGl recorder;
    bool canBeCurrent = true;
};

} // namespace corvix::testing

#include "terminal/view/gpu/OpenGlDevice.hpp"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLVertexArrayObject>
#include <QSurfaceFormat>

#include <atomic>
#include <mutex>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

namespace corvix {

namespace {

std::atomic<int> liveObjects{0};

QOpenGLExtraFunctions* functions()
{
    return QOpenGLContext::currentContext()->extraFunctions();
}

// The seam over the context current at each call.
class OpenGlCalls final : public GpuGl {
public:
    int maxTextureSize() override
    {
        GLint size = 0;
        functions()->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
        return size;
    }

    GlName makeTexture(GpuTextureFormat format, int width, int height, const std::uint8_t* pixels) override
    {
        QOpenGLExtraFunctions* f = functions();
        clearErrors(f);
        GLuint texture = 0;
        f->glGenTextures(1, &texture);
        if (!texture) return 0;
        f->glBindTexture(GL_TEXTURE_2D, texture);
        setUnpack(f, 0);
        const bool r8 = format == GpuTextureFormat::r8;
        f->glTexImage2D(GL_TEXTURE_2D, 0, r8 ? GL_R8 : GL_RGBA8, width, height, 0, r8 ? GL_RED : GL_BGRA,
                        GL_UNSIGNED_BYTE, pixels);
        // An allocation the driver refuses shows as GL_OUT_OF_MEMORY here.
        if (f->glGetError() != GL_NO_ERROR) {
            f->glDeleteTextures(1, &texture);
            return 0;
        }
        ++liveObjects;
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        return texture;
    }

    void uploadTexture(GlName texture, GpuTextureFormat format, int x, int y, int width, int height, int rowLength,
                       const std::uint8_t* pixels) override
    {
        QOpenGLExtraFunctions* f = functions();
        f->glBindTexture(GL_TEXTURE_2D, texture);
        setUnpack(f, rowLength);
        f->glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, format == GpuTextureFormat::r8 ? GL_RED : GL_BGRA,
                           GL_UNSIGNED_BYTE, pixels);
        setUnpack(f, 0);
    }

    GlName makeBuffer(std::size_t length, GpuBufferUsage usage, const void* data) override
    {
        QOpenGLExtraFunctions* f = functions();
        clearErrors(f);
        GLuint buffer = 0;
        f->glGenBuffers(1, &buffer);
        if (!buffer) return 0;
        f->glBindBuffer(GL_ARRAY_BUFFER, buffer);
        f->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(length), data,
                        usage == GpuBufferUsage::staticDraw ? GL_STATIC_DRAW : GL_STREAM_DRAW);
        if (f->glGetError() != GL_NO_ERROR) {
            f->glDeleteBuffers(1, &buffer);
            return 0;
        }
        ++liveObjects;
        return buffer;
    }

    void writeBuffer(GlName buffer, std::size_t bytes, const void* data) override
    {
        QOpenGLExtraFunctions* f = functions();
        f->glBindBuffer(GL_ARRAY_BUFFER, buffer);
        f->glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes), data);
    }

    GlName makeSampler() override
    {
        QOpenGLExtraFunctions* f = functions();
        GLuint sampler = 0;
        f->glGenSamplers(1, &sampler);
        if (!sampler) return 0;
        ++liveObjects;
        f->glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        f->glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        f->glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        f->glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        return sampler;
    }

    GpuBuildResult compileShader(GpuShaderStage stage, const QByteArray& source) override
    {
        QOpenGLExtraFunctions* f = functions();
        const GLuint shader = f->glCreateShader(stage == GpuShaderStage::vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
        if (!shader) return {0, "the shader object could not be made"};
        const char* text = source.constData();
        const GLint length = GLint(source.size());
        f->glShaderSource(shader, 1, &text, &length);
        f->glCompileShader(shader);
        GLint ok = GL_FALSE;
        f->glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (ok) {
            ++liveObjects;
            return {shader, {}};
        }
        std::string log = infoLog(f, shader, false);
        f->glDeleteShader(shader);
        return {0, std::move(log)};
    }

    GpuBuildResult linkProgram(GlName vertexShader, GlName fragmentShader) override
    {
        QOpenGLExtraFunctions* f = functions();
        const GLuint program = f->glCreateProgram();
        if (!program) return {0, "the program object could not be made"};
        f->glAttachShader(program, vertexShader);
        f->glAttachShader(program, fragmentShader);
        f->glLinkProgram(program);
        f->glDetachShader(program, vertexShader);
        f->glDetachShader(program, fragmentShader);
        GLint ok = GL_FALSE;
        f->glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (ok) {
            ++liveObjects;
            return {program, {}};
        }
        std::string log = infoLog(f, program, true);
        f->glDeleteProgram(program);
        return {0, std::move(log)};
    }

    int uniformLocation(GlName program, const char* name) override
    {
        return functions()->glGetUniformLocation(program, name);
    }

    void deleteObject(GpuObjectKind kind, GlName name) override
    {
        QOpenGLExtraFunctions* f = functions();
        --liveObjects;
        switch (kind) {
        case GpuObjectKind::texture: f->glDeleteTextures(1, &name); break;
        case GpuObjectKind::buffer: f->glDeleteBuffers(1, &name); break;
        case GpuObjectKind::sampler: f->glDeleteSamplers(1, &name); break;
        case GpuObjectKind::shader: f->glDeleteShader(name); break;
        case GpuObjectKind::program: f->glDeleteProgram(name); break;
        }
    }

    void beginFrame(GlName framebuffer, int width, int height, GpuFloat4 clearColor) override
    {
        QOpenGLExtraFunctions* f = functions();
        f->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        f->glViewport(0, 0, width, height);
        f->glDisable(GL_DEPTH_TEST);
        f->glDisable(GL_STENCIL_TEST);
        f->glDisable(GL_SCISSOR_TEST);
        f->glDisable(GL_CULL_FACE);
        f->glEnable(GL_BLEND);
        f->glBlendEquation(GL_FUNC_ADD);
        f->glClearColor(clearColor.x, clearColor.y, clearColor.z, clearColor.w);
        f->glClear(GL_COLOR_BUFFER_BIT);
    }

    void useLayer(const GpuPipeline& pipeline, GlName texture, GlName sampler, GpuFloat2 viewport) override
    {
        QOpenGLExtraFunctions* f = functions();
        f->glUseProgram(pipeline.program);
        f->glUniform2f(pipeline.viewportLocation, viewport.x, viewport.y);
        if (pipeline.blend == GpuBlend::premultiplied) {
            f->glBlendFuncSeparate(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        } else {
            f->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        }
        if (texture) {
            f->glActiveTexture(GL_TEXTURE0);
            f->glBindTexture(GL_TEXTURE_2D, texture);
        }
        if (sampler) f->glBindSampler(0, sampler);
    }

    void bindTexture(GlName texture) override
    {
        QOpenGLExtraFunctions* f = functions();
        f->glActiveTexture(GL_TEXTURE0);
        f->glBindTexture(GL_TEXTURE_2D, texture);
    }

    void draw(GpuRecordKind kind, GlName buffer, int count) override
    {
        QOpenGLExtraFunctions* f = functions();
        f->glBindBuffer(GL_ARRAY_BUFFER, buffer);
        // Attribute locations: 0 position, 1 size, 2 texture origin or coordinate, 3 texture size, 4 colour.
        struct Attribute {
            GLuint location;
            GLint components;
            std::uintptr_t offset;
        };
        auto set = [f](std::initializer_list<Attribute> attributes, GLsizei stride, GLuint divisor) {
            bool used[5] = {};
            for (const Attribute& a : attributes) {
                used[a.location] = true;
                f->glEnableVertexAttribArray(a.location);
                f->glVertexAttribPointer(a.location, a.components, GL_FLOAT, GL_FALSE, stride,
                                         reinterpret_cast<const void*>(a.offset));
                f->glVertexAttribDivisor(a.location, divisor);
            }
            for (GLuint location = 0; location < 5; ++location) {
                if (!used[location]) f->glDisableVertexAttribArray(location);
            }
        };
        switch (kind) {
        case GpuRecordKind::colorCell:
            set({{0, 2, 0}, {1, 2, 8}, {4, 4, 16}}, 32, 1);
            f->glDrawArraysInstanced(GL_TRIANGLES, 0, 6, count);
            break;
        case GpuRecordKind::textCell:
            set({{0, 2, 0}, {1, 2, 8}, {2, 2, 16}, {3, 2, 24}, {4, 4, 32}}, 48, 1);
            f->glDrawArraysInstanced(GL_TRIANGLES, 0, 6, count);
            break;
        case GpuRecordKind::colorVertex:
            set({{0, 2, 0}, {4, 4, 16}}, 32, 0);
            f->glDrawArrays(GL_TRIANGLES, 0, count);
            break;
        case GpuRecordKind::glyphVertex:
            set({{0, 2, 0}, {2, 2, 8}, {4, 4, 16}}, 32, 0);
            f->glDrawArrays(GL_TRIANGLES, 0, count);
            break;
        }
    }

    GpuFence insertFence() override
    {
        QOpenGLExtraFunctions* f = functions();
        GLsync fence = f->glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        // Polled without a flush flag, a fence never signals unless it has reached the GPU.
        f->glFlush();
        if (fence) ++liveObjects;
        return fence;
    }

    bool fenceSignaled(GpuFence fence) override
    {
        const GLenum state = functions()->glClientWaitSync(GLsync(fence), 0, 0);
        return state == GL_ALREADY_SIGNALED || state == GL_CONDITION_SATISFIED;
    }

    void deleteFence(GpuFence fence) override
    {
        --liveObjects;
        functions()->glDeleteSync(GLsync(fence));
    }

private:
    static void clearErrors(QOpenGLExtraFunctions* f)
    {
        // A lost context repeats its error forever; a few reads drain any real backlog.
        for (int i = 0; i < 8 && f->glGetError() != GL_NO_ERROR; ++i) {
        }
    }

    static void setUnpack(QOpenGLExtraFunctions* f, int rowLength)
    {
        f->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        f->glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    }

    static std::string infoLog(QOpenGLExtraFunctions* f, GLuint name, bool program)
    {
        GLint length = 0;
        if (program) f->glGetProgramiv(name, GL_INFO_LOG_LENGTH, &length);
        else f->glGetShaderiv(name, GL_INFO_LOG_LENGTH, &length);
        std::string log(std::size_t(std::max(length, 1)), '\0');
        GLsizei written = 0;
        if (program) f->glGetProgramInfoLog(name, GLsizei(log.size()), &written, log.data());
        else f->glGetShaderInfoLog(name, GLsizei(log.size()), &written, log.data());
        log.resize(std::size_t(written));
        return log;
    }
};

// A context of the global share group on an offscreen surface, for building outside paints.
class OpenGlDevice final : public GpuDevice {
public:
    OpenGlDevice(std::unique_ptr<QOpenGLContext> context, std::unique_ptr<QOffscreenSurface> surface)
        : context(std::move(context)), surface(std::move(surface))
    {
    }

    ~OpenGlDevice() override
    {
        if (makeCurrent()) dropPipelines();
        context->doneCurrent();
    }

    std::unique_ptr<QWidget> makeView(QWidget* parent) override { return std::make_unique<GpuSurface>(parent); }

    GpuGl& gl() override { return calls; }

    bool makeCurrent() override
    {
        QOpenGLContext* current = QOpenGLContext::currentContext();
        if (current && QOpenGLContext::areSharing(current, context.get())) return true;
        return context->makeCurrent(surface.get());
    }

private:
    std::unique_ptr<QOpenGLContext> context;
    std::unique_ptr<QOffscreenSurface> surface;
    OpenGlCalls calls;
};

GpuDeviceProbe makeDevice()
{
    // These platforms cannot host a GL widget (Qt's own flag for it is private); under
    // offscreen a shown one has crashed.
    const QString platform = QGuiApplication::platformName();
    for (const char* refused : {"offscreen", "minimal", "vnc", "linuxfb"}) {
        if (platform == QLatin1String(refused)) {
            return {nullptr, "the platform \"" + platform.toStdString() + "\" cannot host an OpenGL widget"};
        }
    }
    QOpenGLContext* share = QOpenGLContext::globalShareContext();
    if (!share || !share->isValid()) return {nullptr, "there is no valid shared OpenGL context"};
    const QSurfaceFormat format = share->format();
    if (format.version() < qMakePair(3, 3) || format.profile() != QSurfaceFormat::CoreProfile) {
        return {nullptr, "the shared OpenGL context is " + std::to_string(format.majorVersion()) + "." +
                             std::to_string(format.minorVersion()) + ", not 3.3 core"};
    }
    auto context = std::make_unique<QOpenGLContext>();
    context->setShareContext(share);
    context->setFormat(format);
    if (!context->create()) return {nullptr, "the device's OpenGL context could not be made"};
    auto surface = std::make_unique<QOffscreenSurface>();
    surface->setFormat(context->format());
    surface->create();
    if (!surface->isValid()) return {nullptr, "the device's offscreen surface could not be made"};
    return {std::make_shared<OpenGlDevice>(std::move(context), std::move(surface)), {}};
}

} // namespace

// ---- Surface ------------------------------------------------------------------------------------

GpuSurface::GpuSurface(QWidget* parent) : QOpenGLWidget(parent)
{
    // A paint that draws nothing (a frame still in flight) must leave the last image.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
}

GpuSurface::~GpuSurface()
{
    // The base class destroys the context after this object is gone: release its objects now.
    QObject::disconnect(contextWatch);
    releaseContextObjects();
}

bool GpuSurface::makeSurfaceCurrent()
{
    QOpenGLContext* own = context();
    if (!own || !own->isValid()) return false;
    makeCurrent();
    return QOpenGLContext::currentContext() == own;
}

void GpuSurface::doneSurfaceCurrent()
{
    doneCurrent();
}

void GpuSurface::releaseContextObjects()
{
    if (!makeSurfaceCurrent()) return;
    if (vertexArray) {
        vertexArray.reset();
        --liveObjects;
    }
    if (contextLost) contextLost();
    doneCurrent();
}

void GpuSurface::initializeGL()
{
    // A new context (the widget moved to a window that does not share) needs its own array.
    QObject::disconnect(contextWatch);
    contextWatch = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GpuSurface::releaseContextObjects,
                           Qt::DirectConnection);
    vertexArray = std::make_unique<QOpenGLVertexArrayObject>();
    if (vertexArray->create()) {
        ++liveObjects;
    } else {
        vertexArray.reset();
    }
}

void GpuSurface::paintGL()
{
    if (!paintFrame) return;
    const qreal ratio = devicePixelRatioF();
    const int width = int(this->width() * ratio + 0.5);
    const int height = int(this->height() * ratio + 0.5);
    // The device's objects live in the global share group: a context outside it (a never-shown
    // widget grabbing) cannot draw them.
    QOpenGLContext* own = context();
    const bool drawable = vertexArray && own && own->isValid() && width > 0 && height > 0 &&
                          QOpenGLContext::areSharing(own, QOpenGLContext::globalShareContext());
    if (!drawable) {
        if (missedFrame) missedFrame();
        return;
    }
    QOpenGLVertexArrayObject::Binder bound(vertexArray.get());
    paintFrame(defaultFramebufferObject(), width, height);
}

int liveGlObjects()
{
    return liveObjects.load();
}

// ---- Device ---------------------------------------------------------------------------------------

GpuDeviceProbe probeSystemGpuDevice()
{
    static std::mutex lock;
    static std::weak_ptr<GpuDevice> shared;
    std::lock_guard guard(lock);
    if (auto device = shared.lock()) return {device, {}};
    GpuDeviceProbe probe = makeDevice();
    shared = probe.device;
    return probe;
}

std::shared_ptr<GpuDevice> systemDefaultGpuDevice()
{
    return probeSystemGpuDevice().device;
}

void prepareGpuApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    QSurfaceFormat::setDefaultFormat(format);
}

} // namespace corvix

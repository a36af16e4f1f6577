#pragma once

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QOpenGLWidget>

#include <functional>
#include <memory>

class QOpenGLVertexArrayObject;

namespace corvix {

// The GPU view: a GL widget in the global share group that hands its frames to the renderer.
// A paint that draws nothing keeps the last image.
class GpuSurface final : public QOpenGLWidget, public GpuViewSurface {
public:
    explicit GpuSurface(QWidget* parent);
    ~GpuSurface() override;

    bool makeSurfaceCurrent() override;
    void doneSurfaceCurrent() override;
    void markForDisplay() override { update(); }

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    // Frees what belongs to the context (its vertex array, the renderer's fence), making it current
    // for that; nothing when it cannot be.
    void releaseContextObjects();

    // Vertex arrays are never shared between contexts: one per widget context.
    std::unique_ptr<QOpenGLVertexArrayObject> vertexArray;
    QMetaObject::Connection contextWatch;
};

// GL objects made through the seam (textures, buffers, samplers, shaders, programs, fences) and
// the surfaces' vertex arrays that are alive now, in this process.
int liveGlObjects();

} // namespace corvix

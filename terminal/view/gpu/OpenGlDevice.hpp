#pragma once

#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QOpenGLWidget>

#include <functional>
#include <memory>

class QOpenGLVertexArrayObject;

namespace corvix {

// The GPU view: a GL widget in the global share group that hands its frames to the renderer.
class GpuSurface final : public QOpenGLWidget {
public:
    explicit GpuSurface(QWidget* parent);
    ~GpuSurface() override;

    // Called from paintGL with the widget's framebuffer and its size in device pixels.
    std::function<void(GlName framebuffer, int width, int height)> paintFrame;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    // Vertex arrays are never shared between contexts: one per widget context.
    std::unique_ptr<QOpenGLVertexArrayObject> vertexArray;
};

} // namespace corvix

// Draws the 3D view's scene model (reconstruction/core/scene.h) with the OpenGL
// compatibility profile: scene lines in their node colour and width, the mesh actors lit
// by the three lights with their front and back materials, wireframe and transparency.
// The widget and the offscreen benchmark share it; it needs a current context.
#pragma once

#include "reconstruction/core/scene.h"

#include <QOpenGLBuffer>
#include <QSurfaceFormat>

#include <map>
#include <memory>

class QOpenGLFunctions_2_1;

namespace kestrova::reconstruction {

class SceneRenderer {
public:
    SceneRenderer();
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // The surface format the view asks for: compatibility profile, depth buffer, and 4x
    // multisampling where the OpenGL driver renders in hardware (none on a software
    // renderer, where it would cost more than half the frame rate).
    static QSurfaceFormat Format();
    // The same with the multisampling given (the benchmark measures both).
    static QSurfaceFormat Format(int samples);
    // Whether the GL_RENDERER text names a software rasteriser (Mesa's llvmpipe, softpipe
    // or swrast, or another "software" renderer).
    static bool IsSoftwareRenderer(const QString& renderer);
    // The multisampling the view uses on this machine: 4, or 0 when the driver renders in
    // software or no context can be made. The driver is asked once per process.
    static int SamplesForThisDriver();

    // Binds the renderer to the current context (call once, in initializeGL). Returns false
    // when the context offers no compatibility functions.
    bool Initialize();
    // Draws the scene through the camera into a viewport of `width` x `height` pixels
    // (`pixelRatio` device pixels per pixel).
    void Render(const Scene& scene, const SceneCamera& camera, int width, int height, double pixelRatio = 1.0);
    // Frees the uploaded meshes (with the context current).
    void Release();

private:
    struct GpuMesh {
        QOpenGLBuffer vertices{QOpenGLBuffer::VertexBuffer};
        QOpenGLBuffer indices{QOpenGLBuffer::IndexBuffer};
        unsigned long revision = 0;
        bool inverted = false;
        int count = 0;
    };
    GpuMesh& Upload(const MeshActor& actor);
    void DrawActor(const MeshActor& actor, const Mat4& view);
    void DrawLines(const Scene& scene, const Mat4& view);
    void SetLights(const Scene& scene, const Mat4& view);
    void BlendKeepingOpaque();

    QOpenGLFunctions_2_1* gl_ = nullptr;
    std::map<const MeshActor*, std::unique_ptr<GpuMesh>> meshes_;
};

} // namespace kestrova::reconstruction

#include "reconstruction/ui/scene_renderer.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>

#include <vector>

namespace kestrova::reconstruction {

namespace {

void Colour4(const Colour& c, float out[4])
{
    out[0] = c.r, out[1] = c.g, out[2] = c.b, out[3] = c.a;
}

} // namespace

SceneRenderer::SceneRenderer() = default;

SceneRenderer::~SceneRenderer() = default;

QSurfaceFormat SceneRenderer::Format(int samples)
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setSamples(samples);
    return format;
}

QSurfaceFormat SceneRenderer::Format()
{
    return Format(SamplesForThisDriver());
}

bool SceneRenderer::IsSoftwareRenderer(const QString& renderer)
{
    const QString name = renderer.toLower();
    for (const char* word : {"llvmpipe", "softpipe", "swrast", "software", "lavapipe"})
        if (name.contains(QLatin1String(word)))
            return true;
    return false;
}

int SceneRenderer::SamplesForThisDriver()
{
    // 4x multisampling smooths the catheter, the contour lines and the silhouettes of the
    // walls. A software renderer computes every sample on the processor: there it costs
    // more than half the frame rate (30 frames per second is the aim), so it is left off.
    static const int samples = [] {
        // The caller's context stays current afterwards.
        QOpenGLContext* callerContext = QOpenGLContext::currentContext();
        QSurface* callerSurface = callerContext ? callerContext->surface() : nullptr;
        const auto restore = [&] {
            if (callerContext && callerSurface)
                callerContext->makeCurrent(callerSurface);
        };
        QOffscreenSurface surface;
        surface.setFormat(Format(0));
        surface.create();
        QOpenGLContext context;
        context.setFormat(Format(0));
        if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface)) {
            restore();
            return 0;
        }
        const auto* text = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
        const QString renderer = text ? QString::fromLatin1(text) : QString();
        context.doneCurrent();
        restore();
        return renderer.isEmpty() || IsSoftwareRenderer(renderer) ? 0 : 4;
    }();
    return samples;
}

bool SceneRenderer::Initialize()
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context)
        return false;
    gl_ = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(context);
    return gl_ != nullptr;
}

void SceneRenderer::Release()
{
    meshes_.clear();
}

SceneRenderer::GpuMesh& SceneRenderer::Upload(const MeshActor& actor)
{
    auto& slot = meshes_[&actor];
    if (slot && slot->revision == actor.Revision() && slot->inverted == actor.normalsInverted)
        return *slot;
    slot = std::make_unique<GpuMesh>();
    const Mesh& mesh = actor.GetMesh();
    // Interleaved position and normal, the normal turned when the actor inverts them.
    std::vector<float> data;
    data.reserve(mesh.positions.size() * 2);
    const float sign = actor.normalsInverted ? -1.0f : 1.0f;
    for (std::size_t v = 0; v < mesh.positions.size() / 3; ++v) {
        data.insert(data.end(), {mesh.positions[v * 3], mesh.positions[v * 3 + 1], mesh.positions[v * 3 + 2]});
        data.insert(data.end(), {sign * mesh.normals[v * 3], sign * mesh.normals[v * 3 + 1], sign * mesh.normals[v * 3 + 2]});
    }
    slot->vertices.create();
    slot->vertices.bind();
    slot->vertices.allocate(data.data(), static_cast<int>(data.size() * sizeof(float)));
    slot->vertices.release();
    slot->indices.create();
    slot->indices.bind();
    slot->indices.allocate(mesh.triangles.data(), static_cast<int>(mesh.triangles.size() * sizeof(unsigned)));
    slot->indices.release();
    slot->revision = actor.Revision();
    slot->inverted = actor.normalsInverted;
    slot->count = static_cast<int>(mesh.triangles.size());
    return *slot;
}

void SceneRenderer::BlendKeepingOpaque()
{
    // Colours blend; the picture's alpha stays 1, or the window would show through it.
    gl_->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
}

void SceneRenderer::SetLights(const Scene& scene, const Mat4& view)
{
    const SceneLight* lights[3] = {scene.GLLightSource2, scene.GLLightSource1, scene.GLLightSource3};
    // Three white lights together wash the walls' materials out to a flat white: each gives
    // a part of full intensity so the walls keep their shading.
    const float diffuse[4] = {0.45f, 0.45f, 0.45f, 1}, specular[4] = {0.35f, 0.35f, 0.35f, 1}, black[4] = {0, 0, 0, 1};
    for (int i = 0; i < 3; ++i) {
        const SceneLight* light = lights[i];
        const GLenum id = GL_LIGHT0 + i;
        if (!light || !light->ShownInWorld()) {
            gl_->glDisable(id);
            continue;
        }
        const Mat4 frame = view * (light->Parent() ? light->Parent()->WorldMatrix() : Mat4{});
        gl_->glMatrixMode(GL_MODELVIEW);
        gl_->glLoadMatrixd(frame.m.data());
        // A parallel light shines from its position towards its parent's origin.
        const float position[4] = {static_cast<float>(light->position.x), static_cast<float>(light->position.y),
                                   static_cast<float>(light->position.z), light->parallel ? 0.0f : 1.0f};
        gl_->glLightfv(id, GL_POSITION, position);
        gl_->glLightfv(id, GL_AMBIENT, black);
        gl_->glLightfv(id, GL_DIFFUSE, diffuse);
        gl_->glLightfv(id, GL_SPECULAR, specular);
        gl_->glLightf(id, GL_SPOT_CUTOFF, static_cast<float>(light->spotCutOff));
        gl_->glEnable(id);
    }
}

void SceneRenderer::DrawActor(const MeshActor& actor, const Mat4& view)
{
    if (actor.GetMesh().Empty() || !actor.ShownInWorld())
        return;
    GpuMesh& gpu = Upload(actor);
    gl_->glMatrixMode(GL_MODELVIEW);
    gl_->glLoadMatrixd((view * actor.WorldMatrix()).m.data());
    const Material* materials[2] = {&actor.front, &actor.back};
    const GLenum faces[2] = {GL_FRONT, GL_BACK};
    const bool transparent = actor.blending && actor.front.diffuse.a < 1.0f;
    for (int f = 0; f < 2; ++f) {
        float c[4];
        Colour4(materials[f]->ambient, c);
        gl_->glMaterialfv(faces[f], GL_AMBIENT, c);
        Colour4(materials[f]->diffuse, c);
        // The front colour's alpha makes the whole wall transparent: with the normals
        // inverted it is the back faces that face a viewer outside the vessel.
        if (transparent)
            c[3] = actor.front.diffuse.a;
        gl_->glMaterialfv(faces[f], GL_DIFFUSE, c);
        Colour4(materials[f]->specular, c);
        gl_->glMaterialfv(faces[f], GL_SPECULAR, c);
        Colour4(materials[f]->emission, c);
        gl_->glMaterialfv(faces[f], GL_EMISSION, c);
        gl_->glMaterialf(faces[f], GL_SHININESS, materials[f]->shininess);
    }
    if (transparent) {
        gl_->glEnable(GL_BLEND);
        BlendKeepingOpaque();
        gl_->glDepthMask(GL_FALSE);
    }
    // Inverted normals turn the faces too: what faced out now faces in, so the front and
    // back materials change sides together with the lighting.
    gl_->glFrontFace(actor.normalsInverted ? GL_CW : GL_CCW);
    gl_->glPolygonMode(GL_FRONT, actor.wireframe ? GL_LINE : GL_FILL);
    gl_->glPolygonMode(GL_BACK, GL_FILL);
    gl_->glLineWidth(1.0f);
    gpu.vertices.bind();
    gpu.indices.bind();
    gl_->glEnableClientState(GL_VERTEX_ARRAY);
    gl_->glEnableClientState(GL_NORMAL_ARRAY);
    gl_->glVertexPointer(3, GL_FLOAT, 6 * sizeof(float), nullptr);
    gl_->glNormalPointer(GL_FLOAT, 6 * sizeof(float), reinterpret_cast<const void*>(3 * sizeof(float)));
    gl_->glDrawElements(GL_TRIANGLES, gpu.count, GL_UNSIGNED_INT, nullptr);
    gl_->glDisableClientState(GL_NORMAL_ARRAY);
    gl_->glDisableClientState(GL_VERTEX_ARRAY);
    gpu.indices.release();
    gpu.vertices.release();
    gl_->glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gl_->glFrontFace(GL_CCW);
    if (transparent) {
        gl_->glDepthMask(GL_TRUE);
        gl_->glDisable(GL_BLEND);
    }
}

void SceneRenderer::DrawLines(const Scene& scene, const Mat4& view)
{
    gl_->glDisable(GL_LIGHTING);
    gl_->glEnableClientState(GL_VERTEX_ARRAY);
    for (const SceneObject* object : scene.TopLevel()) {
        if (object->Kind() != ObjectKind::Lines || !object->ShownInWorld())
            continue;
        const auto* line = static_cast<const SceneLines*>(object);
        const auto& curve = line->Curve();
        if (curve.size() < 2)
            continue;
        gl_->glMatrixMode(GL_MODELVIEW);
        gl_->glLoadMatrixd((view * line->WorldMatrix()).m.data());
        gl_->glLineWidth(line->width);
        gl_->glColor4f(line->nodeColour.r, line->nodeColour.g, line->nodeColour.b, line->nodeColour.a);
        gl_->glVertexPointer(3, GL_DOUBLE, sizeof(Vec3), &curve.front().x);
        gl_->glDrawArrays(GL_LINE_STRIP, 0, static_cast<int>(curve.size()));
    }
    gl_->glDisableClientState(GL_VERTEX_ARRAY);
    gl_->glLineWidth(1.0f);
}

void SceneRenderer::Render(const Scene& scene, const SceneCamera& camera, int width, int height, double pixelRatio)
{
    if (!gl_)
        return;
    gl_->glViewport(0, 0, static_cast<int>(width * pixelRatio), static_cast<int>(height * pixelRatio));
    gl_->glClearColor(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1.0f);
    gl_->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl_->glEnable(GL_DEPTH_TEST);
    gl_->glDepthFunc(GL_LEQUAL);
    gl_->glDisable(GL_CULL_FACE);
    gl_->glEnable(GL_NORMALIZE);
    gl_->glShadeModel(GL_SMOOTH);

    gl_->glMatrixMode(GL_PROJECTION);
    gl_->glLoadMatrixd(camera.ProjectionMatrix(width, height).m.data());
    const Mat4 view = camera.ViewMatrix();

    gl_->glEnable(GL_LIGHTING);
    gl_->glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    SetLights(scene, view);

    // Opaque actors, the lines, then the transparent actors over them.
    const MeshActor* actors[2] = {scene.GLActor1, scene.GLActor2};
    for (const MeshActor* a : actors)
        if (a && a->front.diffuse.a >= 1.0f) {
            gl_->glEnable(GL_LIGHTING);
            DrawActor(*a, view);
        }
    DrawLines(scene, view);
    for (const MeshActor* a : actors)
        if (a && a->front.diffuse.a < 1.0f) {
            gl_->glEnable(GL_LIGHTING);
            DrawActor(*a, view);
        }
    gl_->glDisable(GL_LIGHTING);
}

} // namespace kestrova::reconstruction

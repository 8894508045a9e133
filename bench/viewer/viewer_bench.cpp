// The 3D view's speed: opening the view (the reconstruction of a card with 300-point
// tracings and 100 analysed frames, its scene lines and both wall meshes) and redrawing the
// scene with 100 contours per wall and both surfaces into an offscreen framebuffer.
// Needs a display (run under xvfb-run); prints frames per second.
#include "reconstruction/core/helix_testutil.h"
#include "reconstruction/core/reconstruction.h"
#include "reconstruction/core/tessellation.h"
#include "reconstruction/ui/scene_renderer.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>

#include <benchmark/benchmark.h>

#include <string>

using namespace kestrova::reconstruction;

namespace {

constexpr int kTracingPoints = 300;
constexpr int kFrames = 100;

// What the view does when it opens: reconstruct, add the lines, tessellate both surfaces.
std::unique_ptr<Scene> OpenScene(Reconstruction* keep = nullptr)
{
    Reconstruction model = ReconstructVessel(helix_test::HelixInput(kTracingPoints, kFrames, 8.0, 5.0));
    auto scene = std::make_unique<Scene>();
    for (const SceneLine& line : model.lines) {
        std::vector<Vec3> points;
        for (const TPointXYZ& p : line.points)
            points.push_back({p.x, p.y, p.z});
        scene->AddSceneLine(line.tag, line.scale, line.name, static_cast<float>(line.width), points,
                            line.colour.r / 255.0f, line.colour.g / 255.0f, line.colour.b / 255.0f);
    }
    DisplaySurface(*scene->GLActor1, model.outerSurface.get());
    DisplaySurface(*scene->GLActor2, model.innerSurface.get());
    if (keep)
        *keep = std::move(model);
    return scene;
}

void BM_OpenView(benchmark::State& state)
{
    for (auto _ : state) {
        auto scene = OpenScene();
        benchmark::DoNotOptimize(scene.get());
    }
}
BENCHMARK(BM_OpenView)->Unit(benchmark::kMillisecond)->Iterations(3);

// The parts of the opening: the reconstruction alone (with its steps) and the meshes.
void BM_Reconstruction(benchmark::State& state)
{
    const ReconstructionInput input = helix_test::HelixInput(kTracingPoints, kFrames, 8.0, 5.0);
    StepTimes times;
    for (auto _ : state) {
        Reconstruction model = ReconstructVessel(input, {nullptr, &times});
        benchmark::DoNotOptimize(model.lines.data());
    }
    state.counters["intersect_ms"] = times.intersect * 1e3;
    state.counters["march_ms"] = times.march * 1e3;
    state.counters["reduce_ms"] = times.reduce * 1e3;
    state.counters["placement_ms"] = times.placement * 1e3;
    state.counters["surfaces_ms"] = times.surfaces * 1e3;
}
BENCHMARK(BM_Reconstruction)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WallMeshes(benchmark::State& state)
{
    const Reconstruction model = ReconstructVessel(helix_test::HelixInput(kTracingPoints, kFrames, 8.0, 5.0));
    Scene scene;
    for (auto _ : state) {
        DisplaySurface(*scene.GLActor1, model.outerSurface.get());
        DisplaySurface(*scene.GLActor2, model.innerSurface.get());
    }
    state.counters["triangles"] = static_cast<double>(scene.GLActor1->GetMesh().triangles.size() / 3);
}
BENCHMARK(BM_WallMeshes)->Unit(benchmark::kMillisecond);

void BM_Redraw(benchmark::State& state)
{
    Reconstruction model;
    auto scene = OpenScene(&model);
    if (scene->LinesFromLast().size() != 1 + 2 * kFrames) {
        state.SkipWithError("the helix card did not give 100 contours per wall");
        return;
    }
    scene->GLActor1->visible = scene->GLActor2->visible = true;
    scene->GLActor1->front.diffuse.a = 0.5f;  // the outer wall transparent
    // The whole vessel in view.
    const TPointXYZ mid = model.catheterPath[model.catheterPath.size() / 2];
    scene->DCCamera->position = scene->GLActor1->WorldMatrix().Point({mid.x, mid.y, mid.z});
    scene->GLCamera->AdjustDistanceToTarget(5.0);

    // The third argument is the multisampling: 0 as on a software renderer, 4 as on a
    // hardware one.
    const int samples = static_cast<int>(state.range(2));
    const int viewSamples = SceneRenderer::SamplesForThisDriver();  // asks the driver once
    QOffscreenSurface surface;
    surface.setFormat(SceneRenderer::Format(samples));
    surface.create();
    QOpenGLContext context;
    context.setFormat(SceneRenderer::Format(samples));
    if (!context.create() || !context.makeCurrent(&surface)) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    QOpenGLFramebufferObjectFormat fboFormat;
    fboFormat.setSamples(samples);
    fboFormat.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    QOpenGLFramebufferObject fbo(width, height, fboFormat);
    fbo.bind();
    SceneRenderer renderer;
    if (!renderer.Initialize()) {
        state.SkipWithError("no compatibility profile");
        return;
    }
    auto* gl = context.functions();
    renderer.Render(*scene, *scene->GLCamera, width, height);  // uploads the meshes
    gl->glFinish();
    for (auto _ : state) {
        renderer.Render(*scene, *scene->GLCamera, width, height);
        gl->glFinish();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(std::string(reinterpret_cast<const char*>(gl->glGetString(GL_RENDERER))) + ", " +
                   std::to_string(fbo.format().samples()) + " samples" +
                   (viewSamples == samples ? " (the view's choice here)" : ""));
    renderer.Release();
    fbo.release();
    context.doneCurrent();
}
BENCHMARK(BM_Redraw)->Args({694, 674, 0})->Args({694, 674, 4})->Args({1100, 780, 0})->Args({1100, 780, 4})->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

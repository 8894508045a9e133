// The catheter reconstruction's intersection: two extrusions of 100- and 300-point
// tracings (LAO along z, RAO along x, as the 3D view lofts them) intersected by s1859
// and marched by s1310 at epsge 1e-5.  OpenCASCADE's surface/surface intersection runs
// on the same surfaces in the same binary: the counter occt_ms is its time per call and
// ratio our time over its.
#include <benchmark/benchmark.h>

#include <GeomAPI_IntSS.hxx>
#include <chrono>
#include <cstdlib>
#include <random>

#include "spline/handles.h"
#include "spline/isect.h"
#include "spline/records.h"
#include "tests/spline/detail/isect/catheter_fixture.h"
#include "tests/spline_reference/occt_convert_testutil.h"

namespace {

using Clock = std::chrono::steady_clock;

// The surfaces of one reconstruction from two random tracings of n points.
void make_scene(int n, catheter::Scene* scene) {
  std::mt19937 rng(n);
  for (;;) {
    auto lao = catheter::random_tracing(rng, n, 20);
    auto rao = catheter::random_tracing(rng, n, 20);
    catheter::build_scene(lao, rao, scene);
    if (scene->ok() && catheter::height_monotone(scene->lao_curve) &&
        catheter::height_monotone(scene->rao_curve))
      return;
    scene->reset();
  }
}

int intersect_and_march(catheter::Scene& s) {
  int np = 0, nc = 0, st = 0;
  double *p1 = nullptr, *p2 = nullptr;
  isect_curve** curves = nullptr;
  s1859(s.lao, s.rao, 1e-15, 1e-5, &np, &p1, &p2, &nc, &curves, &st);
  const ToolkitArray<double> owned_p1(p1), owned_p2(p2);
  const IsectCurveArray owned_curves(curves, nc);
  for (int i = 0; i < nc && st >= 0; ++i) {
    int ms = 0;
    s1310(s.lao, s.rao, curves[i], 1e-5, 0.0, 1, 0, &ms);
  }
  return st < 0 ? st : nc;
}

void BM_S1859CatheterExtrusions(benchmark::State& state) {
  catheter::Scene scene;
  make_scene(static_cast<int>(state.range(0)), &scene);

  // The reference kernel on the same surfaces, timed outside the measured loop.
  Handle(Geom_BSplineSurface) a = to_occt_surface(scene.lao);
  Handle(Geom_BSplineSurface) b = to_occt_surface(scene.rao);
  const int reps = 3;
  int occt_lines = 0;
  const auto t0 = Clock::now();
  for (int i = 0; i < reps; ++i) {
    GeomAPI_IntSS ref(a, b, 1e-5);
    occt_lines = ref.IsDone() ? ref.NbLines() : -1;
  }
  const double occt_ms =
      std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / reps;

  int curves = 0;
  double ours_ms = 0;
  long runs = 0;
  for (auto _ : state) {
    const auto s0 = Clock::now();
    curves = intersect_and_march(scene);
    ours_ms += std::chrono::duration<double, std::milli>(Clock::now() - s0).count();
    ++runs;
    benchmark::DoNotOptimize(curves);
  }
  if (curves < 0) state.SkipWithError("s1859 failed");
  state.counters["curves"] = curves;
  state.counters["occt_lines"] = occt_lines;
  state.counters["occt_ms"] = occt_ms;
  state.counters["ratio"] = runs > 0 && occt_ms > 0 ? (ours_ms / runs) / occt_ms : 0.0;
}
BENCHMARK(BM_S1859CatheterExtrusions)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace

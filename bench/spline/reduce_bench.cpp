// The catheter path reduction (s1940) on curves as long as the marcher returns for a
// reconstruction (a cubic Hermite curve through helix points, 2,000 to 22,000 vertices),
// reduced with the reconstruction's arguments.
#include <benchmark/benchmark.h>

#include "spline/spline.h"
#include "tests/spline/catheter_testutil.h"

namespace {

void BM_s1940_marched_catheter(benchmark::State& state) {
  spline_curve* c = catheter_test::marched_helix(static_cast<int>(state.range(0)) / 2);
  const double tol[] = {0.9, 0.9, 0.9};
  int vertices = 0;
  for (auto _ : state) {
    spline_curve* r = nullptr;
    double err[3];
    int status = 0;
    s1940(c, tol, 1, 1, 1, 150, &r, err, &status);
    vertices = r ? r->vertex_count : -1;
    destroy_curve(r);
  }
  state.counters["vertices_in"] = c->vertex_count;
  state.counters["vertices_out"] = vertices;
  destroy_curve(c);
}
BENCHMARK(BM_s1940_marched_catheter)->Arg(2000)->Arg(6000)->Arg(12000)->Arg(20000)->Arg(22000)->Unit(benchmark::kMillisecond);

}  // namespace

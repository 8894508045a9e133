// The catheter path reduction (s1940) on curves as long as the marcher returns for a
// reconstruction: a cubic Hermite curve (every parameter a double knot, as the marcher
// builds it) through points of the helix x = 200 + 80 cos t, y = -(50 + 30 t),
// z = 200 + 80 sin t, t in [0, 4 pi], reduced with the reconstruction's arguments.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "spline/spline.h"

namespace {

spline_curve* marched_helix(int vertices) {
  const int m = vertices / 2;
  std::vector<double> p, d, par;
  for (int j = 0; j < m; ++j) {
    const double t = 4 * M_PI * j / (m - 1);
    p.insert(p.end(), {200 + 80 * std::cos(t), -(50 + 30 * t), 200 + 80 * std::sin(t)});
    d.insert(d.end(), {-80 * std::sin(t), -30, 80 * std::cos(t)});
    par.push_back(t);
  }
  spline_curve* c = nullptr;
  int status = 0;
  s1379(p.data(), d.data(), par.data(), m, 3, &c, &status);
  return c;
}

void BM_s1940_marched_catheter(benchmark::State& state) {
  spline_curve* c = marched_helix(static_cast<int>(state.range(0)));
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

// Cost of the contour restart: closest points of a ray segment and a closed order-4
// contour interpolated through 100 points (about 200 such calls per reconstruction).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/handles.h"
#include "spline/interp.h"
#include "spline/isect.h"
#include "spline/records.h"

namespace {

spline_curve* contour(int count, int open_flag) {
  std::vector<double> p;
  for (int i = 0; i < count; ++i) {
    const double a = 2.0 * M_PI * i / count;
    const double r = 60.0 + 8.0 * std::cos(3.0 * a);
    p.push_back(256.0 + r * std::cos(a));
    p.push_back(256.0 + r * std::sin(a));
  }
  spline_curve* c = nullptr;
  int st = 0;
  s1630(p.data(), count, 0.0, open_flag, 2, 4, &c, &st);
  return c;
}

void BM_ContourRestart(benchmark::State& state) {
  const CurveHandle c(contour(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
  double k[4] = {0, 0, 1, 1};
  double v[4] = {256, 256, 256 + 200 * std::cos(0.7), 256 + 200 * std::sin(0.7)};
  const CurveHandle ray(create_curve(2, 2, k, v, 1, 2, 1));
  for (auto _ : state) {
    int n = 0, nc = 0, st = 0;
    double* s = nullptr;
    double* t = nullptr;
    isect_curve** curves = nullptr;
    s1955(ray.get(), c.get(), 0.0, 0.001, &n, &s, &t, &nc, &curves, &st);
    benchmark::DoNotOptimize(t);
    const ToolkitArray<double> owned_s(s), owned_t(t);
    const IsectCurveArray owned_curves(curves, nc);
  }
}
BENCHMARK(BM_ContourRestart)->Args({100, 0})->Args({100, -1})->Args({300, -1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

// Measurement rays: a closed order-3 contour of 400 vertices against 100 lines through
// its centre, as the wall measurements cast them (epsco 0, epsge 0.001).  The second
// benchmark is a floor for comparison: per-span sign tests of the signed distances of
// the vertices plus bisection on the curve, which finds simple crossings only.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/interp.h"
#include "spline/isect/subdiv.h"
#include "spline/records.h"

namespace {

spline_curve* contour(int n) {
  std::mt19937 rng(400);
  std::uniform_real_distribution<double> jitter(-10.0, 10.0);
  std::vector<double> pts;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n;
    const double r = 120.0 + jitter(rng) * 0.3 + 8.0 * std::sin(5 * a);
    pts.push_back(256 + r * std::cos(a));
    pts.push_back(256 + r * std::sin(a));
  }
  std::vector<int> types(n, 1);
  double end = 0;
  spline_curve* c = nullptr;
  double* par = nullptr;
  int np = 0, st = 0;
  s1356(pts.data(), n, 2, types.data(), 0, 0, 0, 3, 0.0, &end, &c, &par, &np, &st);
  free(par);
  return c;
}

void BM_S1850MeasurementRays(benchmark::State& state) {
  spline_curve* c = contour(400);
  const double q[2] = {256, 256};
  long found = 0;
  for (auto _ : state) {
    for (int k = 0; k < 100; ++k) {
      const double phi = M_PI * k / 100;
      const double n[2] = {-std::sin(phi), std::cos(phi)};
      int np = 0, nc = 0, st = 0;
      double* par = nullptr;
      isect_curve** cv = nullptr;
      s1850(c, q, n, 2, 0.0, 0.001, &np, &par, &nc, &cv, &st);
      found += np;
      free(par);
      destroy_isect_curve_array(cv, nc);
    }
  }
  benchmark::DoNotOptimize(found);
  state.counters["us_per_ray"] = benchmark::Counter(
      100.0 * state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  destroy_curve(c);
}
BENCHMARK(BM_S1850MeasurementRays)->Unit(benchmark::kMicrosecond);

void BM_SpanSignFloor(benchmark::State& state) {
  spline_curve* c = contour(400);
  const double q[2] = {256, 256};
  const int n = c->vertex_count, k = c->order;
  std::vector<double> d(n);
  long found = 0;
  for (auto _ : state) {
    for (int r = 0; r < 100; ++r) {
      const double phi = M_PI * r / 100;
      const double nv[2] = {-std::sin(phi), std::cos(phi)};
      for (int i = 0; i < n; ++i)
        d[i] = (c->coefs[2 * i] - q[0]) * nv[0] + (c->coefs[2 * i + 1] - q[1]) * nv[1];
      for (int i = k - 1; i < n; ++i) {
        double lo = d[i - k + 1], hi = lo;
        for (int j = i - k + 2; j <= i; ++j) {
          lo = std::fmin(lo, d[j]);
          hi = std::fmax(hi, d[j]);
        }
        if (lo > 0 || hi < 0 || c->knots[i] == c->knots[i + 1]) continue;
        auto f = [&](double t) {
          double p[2];
          int left = 0, st = 0;
          s1221(c, 0, t, &left, p, &st);
          return (p[0] - q[0]) * nv[0] + (p[1] - q[1]) * nv[1];
        };
        double a = c->knots[i], b = c->knots[i + 1];
        double fa = f(a), fb = f(b);
        if (fa * fb > 0) continue;
        for (int it = 0; it < 40 && b - a > 1e-9; ++it) {
          const double m = 0.5 * (a + b);
          const double fm = f(m);
          if ((fm < 0) == (fa < 0)) {
            a = m;
            fa = fm;
          } else {
            b = m;
          }
        }
        ++found;
      }
    }
  }
  benchmark::DoNotOptimize(found);
  state.counters["us_per_ray"] = benchmark::Counter(
      100.0 * state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  destroy_curve(c);
}
BENCHMARK(BM_SpanSignFloor)->Unit(benchmark::kMicrosecond);

}  // namespace

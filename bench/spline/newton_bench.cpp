// Per-call cost of the local iterations of the intersection engine: the projection of a
// point onto a wall contour (2D, order 4, 60 vertices), onto a wall surface (3D,
// orders 3 x 3, 21 x 100) and the crossing of a catheter-like cubic with that surface.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "spline/handles.h"
#include "spline/detail/isect/newton.h"
#include "spline/spline.h"

namespace {

std::vector<double> uniform_knots(int n, int k) {
  std::vector<double> t;
  for (int i = 0; i < k; ++i) t.push_back(0);
  for (int i = 1; i <= n - k; ++i) t.push_back(i);
  for (int i = 0; i < k; ++i) t.push_back(n - k + 1);
  return t;
}

spline_curve* contour(int n) {
  auto t = uniform_knots(n, 4);
  std::vector<double> v;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n;
    v.push_back(100 * std::cos(a));
    v.push_back(80 * std::sin(a));
  }
  return create_curve(n, 4, t.data(), v.data(), 1, 2, 1);
}

// A tube of radius 20 around the z axis, 21 sections of 100 vertices.
spline_surface* tube(int n1, int n2) {
  auto t1 = uniform_knots(n1, 3), t2 = uniform_knots(n2, 3);
  std::vector<double> v;
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i) {
      const double a = 2 * M_PI * i / (n1 - 1);
      v.push_back(20 * std::cos(a));
      v.push_back(20 * std::sin(a));
      v.push_back(5.0 * j);
    }
  return create_surface(n1, n2, 3, 3, t1.data(), t2.data(), v.data(), 1, 3, 1);
}

void BM_PointOnContour(benchmark::State& state) {
  const CurveHandle c_owner(contour(60));
  spline_curve* c = c_owner.get();
  const double range = c->knots[c->vertex_count] - c->knots[c->order - 1];
  double p[2] = {60, 30};
  spline_point* pt = create_point(p, 2, 1);
  for (auto _ : state) {
    double r = 0;
    int st = 0;
    s1771(pt, c, 1e-9, 0, range, 0.1 * range, &r, &st);
    benchmark::DoNotOptimize(r);
  }
  destroy_point(pt);
}
BENCHMARK(BM_PointOnContour);

void BM_PointOnWallSurface(benchmark::State& state) {
  const SurfaceHandle s_owner(tube(21, 100));
  spline_surface* s = s_owner.get();
  const double lo[2] = {0, 0};
  const double hi[2] = {s->knots1[s->vertex_count1], s->knots2[s->vertex_count2]};
  double p[3] = {15, 10, 200};
  spline_point* pt = create_point(p, 3, 1);
  const double guess[2] = {2.0, 35.0};
  for (auto _ : state) {
    double r[2];
    int st = 0;
    s1773(pt, s, 1e-9, lo, hi, guess, r, &st);
    benchmark::DoNotOptimize(r[0]);
  }
  destroy_point(pt);
}
BENCHMARK(BM_PointOnWallSurface);

void BM_CurveCrossingWallSurface(benchmark::State& state) {
  const SurfaceHandle s_owner(tube(21, 100));
  spline_surface* s = s_owner.get();
  const double lo[2] = {0, 0};
  const double hi[2] = {s->knots1[s->vertex_count1], s->knots2[s->vertex_count2]};
  // A cubic from inside the tube to outside it.
  double knots[8] = {0, 0, 0, 0, 1, 1, 1, 1};
  double v[12] = {0, 0, 180, 10, 5, 190, 25, 10, 200, 40, 15, 210};
  const CurveHandle c_owner(create_curve(4, 4, knots, v, 1, 3, 1));
  spline_curve* c = c_owner.get();
  const double guess[2] = {1.0, 39.0};
  for (auto _ : state) {
    double t = 0, r[2];
    int st = 0;
    s1772(c, s, 1e-9, 0, lo, 1, hi, 0.5, guess, &t, r, &st);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_CurveCrossingWallSurface);

}  // namespace

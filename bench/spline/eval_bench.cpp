// Per-call cost of curve and surface evaluation on typical sizes: a closed wall
// contour (2D, order 4, 60 vertices) and a wall surface (3D, orders 3 x 3, 21 x 100).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "spline/handles.h"
#include "spline/spline.h"

namespace {

std::vector<double> uniform_knots(int n, int k) {
  std::vector<double> t;
  for (int i = 0; i < k; ++i) t.push_back(0);
  for (int i = 1; i <= n - k; ++i) t.push_back(i);
  for (int i = 0; i < k; ++i) t.push_back(n - k + 1);
  return t;
}

spline_curve* contour(int n, int k, bool rational) {
  auto t = uniform_knots(n, k);
  std::vector<double> v;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n, w = rational ? 1.0 + 0.1 * (i % 3) : 1.0;
    v.push_back(w * 100 * std::cos(a));
    v.push_back(w * 80 * std::sin(a));
    if (rational) v.push_back(w);
  }
  return create_curve(n, k, t.data(), v.data(), rational ? 2 : 1, 2, 1);
}

spline_surface* wall(int n1, int n2) {
  auto t1 = uniform_knots(n1, 3), t2 = uniform_knots(n2, 3);
  std::vector<double> v;
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i) {
      const double a = 2 * M_PI * i / n1;
      v.insert(v.end(), {std::cos(a) * (3 + 0.01 * j), std::sin(a) * 3, 0.5 * j});
    }
  return create_surface(n1, n2, 3, 3, t1.data(), t2.data(), v.data(), 1, 3, 1);
}

void BM_s1221(benchmark::State& state) {
  const CurveHandle c_owner(contour(60, 4, state.range(1) != 0));
  spline_curve* c = c_owner.get();
  const int d = static_cast<int>(state.range(0));
  const double end = c->knots[c->vertex_count];
  double out[16];
  int left = 0, status = 0, i = 0;
  for (auto _ : state) {
    const double x = end * ((i++ * 37) % 1000) / 1000.0;
    s1221(c, d, x, &left, out, &status);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_s1221)->ArgNames({"derivs", "rational"})->Args({0, 0})->Args({2, 0})->Args({2, 1});

void BM_S1227_sampling(benchmark::State& state) {
  // The windows' pattern: 200 ordered samples along a contour (cost per call).
  const CurveHandle c_owner(contour(60, 4, false));
  spline_curve* c = c_owner.get();
  const double end = c->knots[c->vertex_count];
  double out[4];
  int left = 0, status = 0;
  for (auto _ : state) {
    for (int i = 0; i <= 200; ++i) {
      S1227(c, 1, end * i / 200.0, &left, out, &status);
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * 201);
}
BENCHMARK(BM_S1227_sampling);

void BM_s1421(benchmark::State& state) {
  const SurfaceHandle s_owner(wall(21, 100));
  spline_surface* s = s_owner.get();
  const int d = static_cast<int>(state.range(0));
  const double ue = s->knots1[s->vertex_count1], ve = s->knots2[s->vertex_count2];
  double out[30], normal[3];
  int l1 = 0, l2 = 0, status = 0, i = 0;
  for (auto _ : state) {
    const double uv[2] = {ue * ((i * 37) % 1000) / 1000.0, ve * ((i * 53) % 1000) / 1000.0};
    ++i;
    s1421(s, d, uv, &l1, &l2, out, normal, &status);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_s1421)->ArgName("derivs")->Arg(0)->Arg(1)->Arg(2);

}  // namespace

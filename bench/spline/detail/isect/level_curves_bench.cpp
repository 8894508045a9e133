// Cost of the level curves of a scalar bicubic function through the recursive
// intersector: the closed loop f = 0.5 of the bump 27 u^2 (1 - u) v (1 - v) sampled on
// n x n polynomial pieces (control values from the polar forms of the monomials), at
// the tolerance 1e-7.
#include <benchmark/benchmark.h>

#include <vector>

#include "spline/detail/isect/subdiv.h"
#include "spline/records.h"

namespace {

// Uniform cubic knots over [0, 1] with n pieces.
std::vector<double> cubic_knots(int n) {
  std::vector<double> t(4, 0.0);
  for (int i = 1; i < n; ++i) t.push_back(static_cast<double>(i) / n);
  t.insert(t.end(), 4, 1.0);
  return t;
}

// Control values of the cubic monomials 1, x, x^2, x^3 (polar forms at the three
// knots after vertex i).
double blossom(int p, const double* x) {
  switch (p) {
    case 0: return 1;
    case 1: return (x[0] + x[1] + x[2]) / 3;
    case 2: return (x[0] * x[1] + x[0] * x[2] + x[1] * x[2]) / 3;
    default: return x[0] * x[1] * x[2];
  }
}

spline_surface* bump(int pieces) {
  std::vector<double> t = cubic_knots(pieces);
  const int n = pieces + 3;
  // 27 (u^2 - u^3)(v - v^2)
  const double a[4] = {0, 0, 27, -27};
  const double b[4] = {0, 1, -1, 0};
  std::vector<double> c(n * n, 0.0);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
      for (int p = 0; p < 4; ++p)
        for (int q = 0; q < 4; ++q)
          c[j * n + i] += a[p] * b[q] * blossom(p, &t[i + 1]) * blossom(q, &t[j + 1]);
  return create_surface(n, n, 4, 4, t.data(), t.data(), c.data(), 1, 1, 1);
}

void BM_LevelLoopOfABump(benchmark::State& state) {
  const int pieces = static_cast<int>(state.range(0));
  for (auto _ : state) {
    geom_object* f = create_geom_object(2);
    f->surface = bump(pieces);
    f->origin = f;
    geom_object* level = create_geom_object(0);
    double c = 0.5;
    level->point = create_point(&c, 1, 1);
    level->origin = level;
    isect_data* data = nullptr;
    int st = 0;
    sh1761(f, level, 1e-7, &data, &st);
    benchmark::DoNotOptimize(data);
    destroy_isect_data(data);
    destroy_geom_object(level);
    destroy_geom_object(f);
  }
}
BENCHMARK(BM_LevelLoopOfABump)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

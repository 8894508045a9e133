// Cost of the fits the windows run per analysed frame and per reconstruction: a closed
// measurement contour (s1356, 100 points, order 3), its area (s1241), the wall surface
// (s1536, 21 x 100 grid) and the catheter path reduction (s1940, 200 points).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/spline.h"

namespace {

std::vector<double> contour(int n) {
  std::vector<double> p;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n, r = 60 + 8 * std::sin(3 * a);
    p.insert(p.end(), {256 + r * std::cos(a), 256 + r * std::sin(a)});
  }
  return p;
}

void BM_s1356_closed_contour(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto pts = contour(n);
  std::vector<int> types(n, 1);
  for (auto _ : state) {
    spline_curve* c = nullptr;
    double end = 0, *par = nullptr;
    int np = 0, status = 0;
    s1356(pts.data(), n, 2, types.data(), 0, 0, 0, 3, 0.0, &end, &c, &par, &np, &status);
    destroy_curve(c);
    std::free(par);
  }
}
BENCHMARK(BM_s1356_closed_contour)->Arg(100)->Arg(400);

void BM_s1241_area(benchmark::State& state) {
  auto pts = contour(100);
  std::vector<int> types(100, 1);
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = 0;
  s1356(pts.data(), 100, 2, types.data(), 0, 0, 0, 3, 0.0, &end, &c, &par, &np, &status);
  std::free(par);
  const double centre[] = {256, 256};
  for (auto _ : state) {
    double area = 0;
    s1241(c, centre, 2, 1e-4, &area, &status);
    benchmark::DoNotOptimize(area);
  }
  destroy_curve(c);
}
BENCHMARK(BM_s1241_area);

void BM_s1536_wall_surface(benchmark::State& state) {
  const int n1 = 21, n2 = static_cast<int>(state.range(0));
  std::vector<double> pts;
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i) {
      const double a = 2 * M_PI * i / n1, r = 3 + std::sin(j * 0.2);
      pts.insert(pts.end(), {r * std::cos(a) + 0.05 * j, r * std::sin(a), 0.5 * j});
    }
  for (auto _ : state) {
    spline_surface* s = nullptr;
    int status = 0;
    s1536(pts.data(), n1, n2, 3, 1, 0, 0, 1, 1, 3, 3, 0, 1, &s, &status);
    destroy_surface(s);
  }
}
BENCHMARK(BM_s1536_wall_surface)->Arg(30)->Arg(100);

void BM_s1940_catheter(benchmark::State& state) {
  std::vector<double> pts;
  std::vector<int> types;
  for (int i = 0; i < 200; ++i) {
    const double x = i * 1.5;
    pts.insert(pts.end(), {x, 20 * std::sin(x / 30) + 0.3 * std::sin(3.1 * i), 10 * std::cos(x / 50)});
    types.push_back(1);
  }
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = 0;
  s1356(pts.data(), 200, 3, types.data(), 0, 0, 1, 4, 0.0, &end, &c, &par, &np, &status);
  std::free(par);
  const double tol[] = {0.9, 0.9, 0.9};
  for (auto _ : state) {
    spline_curve* r = nullptr;
    double err[3];
    s1940(c, tol, 1, 1, 1, 150, &r, err, &status);
    destroy_curve(r);
  }
  destroy_curve(c);
}
BENCHMARK(BM_s1940_catheter);

}  // namespace

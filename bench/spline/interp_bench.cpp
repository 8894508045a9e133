// Closed-curve interpolation (s1356) through 100 to 6,400 points of a wall-like contour,
// beside OpenCASCADE's periodic Geom2dAPI_Interpolate (a cubic) on the same points in the
// same program.  The periodic cubic (open flag -1, order 4) is the like-for-like case; the
// closed clamped quadratic (open flag 0, order 3) is what the measurement windows build.  When the program
// ends it prints, per point count, the times and the ratio OpenCASCADE / ours, and the
// growth of each from 400 to 6,400 points; bench/spline_interp_ratios.sh repeats the
// periodic cases interleaved and prints their median ratios.
#include <benchmark/benchmark.h>

#include <Geom2dAPI_Interpolate.hxx>
#include <Geom2d_BSplineCurve.hxx>
#include <TColgp_HArray1OfPnt2d.hxx>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "spline/interp.h"
#include "spline/records.h"

namespace {

std::vector<double> contour(int n) {
  std::vector<double> p;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n, r = 120 + 12 * std::sin(3 * a) + 3 * std::cos(17 * a);
    p.insert(p.end(), {256 + r * std::cos(a), 256 + r * std::sin(a)});
  }
  return p;
}

// Microseconds per interpolation by point count, for the closing table.
struct Times {
  std::map<int, double> periodic, clamped, occt;
  ~Times() {
    if (occt.empty()) return;
    std::printf("\npoints  periodic cubic us  closed quadratic us  OpenCASCADE us  OCCT/periodic  OCCT/closed\n");
    for (const auto& [n, theirs] : occt) {
      const double p = periodic.count(n) ? periodic.at(n) : 0, c = clamped.count(n) ? clamped.at(n) : 0;
      std::printf("%6d  %17.2f  %19.2f  %14.2f  %13.2f  %11.2f\n", n, p, c, theirs,
                  p > 0 ? theirs / p : 0.0, c > 0 ? theirs / c : 0.0);
    }
    auto growth = [](const std::map<int, double>& m) {
      return m.count(400) && m.count(6400) && m.at(400) > 0 ? m.at(6400) / m.at(400) : 0.0;
    };
    std::printf("6400 / 400 points: periodic %.1fx, closed %.1fx, OpenCASCADE %.1fx\n",
                growth(periodic), growth(clamped), growth(occt));
  }
} times;

template <typename Body>
void run(benchmark::State& state, std::map<int, double>& into, Body body) {
  const int n = static_cast<int>(state.range(0));
  const auto pts = contour(n);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    body(pts, n);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  // The last run of a case (after Google Benchmark's estimate) holds.
  if (state.iterations() > 0) into[n] = 1e6 * total / state.iterations();
}

void interpolate(const std::vector<double>& pts, int n, int open_flag, int order) {
  std::vector<int> types(n, 1);
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = 0;
  s1356(pts.data(), n, 2, types.data(), 0, 0, open_flag, order, 0.0, &end, &c, &par, &np, &status);
  if (status < 0) std::abort();
  benchmark::DoNotOptimize(c->coefs);
  destroy_curve(c);
  std::free(par);
}

void BM_s1356_periodic(benchmark::State& state) {
  run(state, times.periodic, [](const std::vector<double>& pts, int n) { interpolate(pts, n, -1, 4); });
}

void BM_s1356_closed(benchmark::State& state) {
  run(state, times.clamped, [](const std::vector<double>& pts, int n) { interpolate(pts, n, 0, 3); });
}

void BM_OpenCascade_periodic(benchmark::State& state) {
  run(state, times.occt, [](const std::vector<double>& pts, int n) {
    Handle(TColgp_HArray1OfPnt2d) p = new TColgp_HArray1OfPnt2d(1, n);
    for (int i = 0; i < n; ++i) p->SetValue(i + 1, gp_Pnt2d(pts[2 * i], pts[2 * i + 1]));
    Geom2dAPI_Interpolate interp(p, Standard_True, 1e-9);
    interp.Perform();
    if (!interp.IsDone()) std::abort();
    benchmark::DoNotOptimize(interp.Curve().get());
  });
}

BENCHMARK(BM_s1356_periodic)->Arg(100)->Arg(400)->Arg(1600)->Arg(6400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_s1356_closed)->Arg(100)->Arg(400)->Arg(1600)->Arg(6400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenCascade_periodic)->Arg(100)->Arg(400)->Arg(1600)->Arg(6400)->Unit(benchmark::kMicrosecond);

}  // namespace

// Measurement rays: a closed order-3 contour of 400 vertices against 100 lines through
// its centre, as the wall measurements cast them (epsco 0, epsge 0.001).  The second
// benchmark runs OpenCASCADE's planar curve/curve intersection on the same contour and
// lines; the ratio of the two times per ray is printed when the program ends.  The
// third is a floor for comparison: per-span sign tests of the signed distances of the
// vertices plus bisection on the curve, which finds simple crossings only.
#include <benchmark/benchmark.h>

#include <Geom2dAPI_InterCurveCurve.hxx>
#include <Geom2d_BSplineCurve.hxx>
#include <Geom2d_Line.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt2d.hxx>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/handles.h"
#include "spline/interp.h"
#include "spline/isect.h"
#include "spline/records.h"
#include "tests/spline/detail/isect/contour_testutil.h"

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
  return contour_test::interpolate_through(pts.data(), n, 2, 0, 3);
}

// Microseconds per ray of the two intersectors, for the closing line.
struct RayTimes {
  double ours = 0;
  double theirs = 0;
  ~RayTimes() {
    if (ours > 0 && theirs > 0)
      std::printf("s1850 %.2f us per ray, OpenCASCADE %.2f us per ray: ratio %.3f\n", ours,
                  theirs, ours / theirs);
  }
} ray_times;

double per_ray_us(const benchmark::State& state, double seconds) {
  return state.iterations() > 0 ? 1e6 * seconds / (100.0 * state.iterations()) : 0;
}

// Runs the 100 measurement rays (angles k pi / 100) through the intersector each
// iteration; ray(phi) returns the crossings found.  Records the microseconds per ray.
template <typename Ray>
void time_rays(benchmark::State& state, double* us_per_ray, Ray ray) {
  long found = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (int k = 0; k < 100; ++k) found += ray(M_PI * k / 100);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  *us_per_ray = per_ray_us(state, elapsed.count());
  benchmark::DoNotOptimize(found);
  state.counters["us_per_ray"] = benchmark::Counter(
      100.0 * state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The polynomial contour as an OpenCASCADE curve with the same parametrisation.
Handle(Geom2d_BSplineCurve) occt_contour(const spline_curve* c) {
  const int n = c->vertex_count, k = c->order;
  std::vector<double> values;
  std::vector<int> mults;
  for (int i = 0; i < n + k; ++i) {
    if (!values.empty() && c->knots[i] == values.back()) {
      ++mults.back();
    } else {
      values.push_back(c->knots[i]);
      mults.push_back(1);
    }
  }
  TColgp_Array1OfPnt2d poles(1, n);
  for (int i = 0; i < n; ++i) poles.SetValue(i + 1, gp_Pnt2d(c->coefs[2 * i], c->coefs[2 * i + 1]));
  TColStd_Array1OfReal knots(1, static_cast<int>(values.size()));
  TColStd_Array1OfInteger m(1, static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    knots.SetValue(static_cast<int>(i) + 1, values[i]);
    m.SetValue(static_cast<int>(i) + 1, mults[i]);
  }
  return new Geom2d_BSplineCurve(poles, knots, m, k - 1);
}

void BM_S1850MeasurementRays(benchmark::State& state) {
  const CurveHandle owned_c(contour(400));
  spline_curve* c = owned_c.get();
  const double q[2] = {256, 256};
  time_rays(state, &ray_times.ours, [&](double phi) {
    const double n[2] = {-std::sin(phi), std::cos(phi)};
    int np = 0, nc = 0, st = 0;
    double* par = nullptr;
    isect_curve** cv = nullptr;
    s1850(c, q, n, 2, 0.0, 0.001, &np, &par, &nc, &cv, &st);
    const ToolkitArray<double> owned_par(par);
    const IsectCurveArray owned_curves(cv, nc);
    return np;
  });
}
BENCHMARK(BM_S1850MeasurementRays)->Unit(benchmark::kMicrosecond);

void BM_OpenCascadeMeasurementRays(benchmark::State& state) {
  const CurveHandle owned_c(contour(400));
  spline_curve* c = owned_c.get();
  Handle(Geom2d_BSplineCurve) ref = occt_contour(c);
  const double q[2] = {256, 256};
  time_rays(state, &ray_times.theirs, [&](double phi) {
    Handle(Geom2d_Line) line =
        new Geom2d_Line(gp_Pnt2d(q[0], q[1]), gp_Dir2d(std::cos(phi), std::sin(phi)));
    Geom2dAPI_InterCurveCurve inter(ref, line, 0.001);
    return inter.NbPoints();
  });
}
BENCHMARK(BM_OpenCascadeMeasurementRays)->Unit(benchmark::kMicrosecond);

void BM_SpanSignFloor(benchmark::State& state) {
  const CurveHandle owned_c(contour(400));
  spline_curve* c = owned_c.get();
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
}
BENCHMARK(BM_SpanSignFloor)->Unit(benchmark::kMicrosecond);

}  // namespace

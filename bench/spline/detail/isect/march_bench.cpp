// Marching of the catheter path: the intersection curve of the LAO tracing swept along
// the depth and the RAO tracing swept across it, for tracings of 100 and 300 points,
// traced by s1310 from a chain of its two ends and one inner point (epsge 1e-5, no step
// limit, geometry curve only).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/curve_eval.h"
#include "spline/interp.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/march.h"
#include "spline/detail/isect/newton.h"
#include "spline/loft.h"
#include "spline/records.h"
#include "spline/surface_eval.h"
#include "tests/spline/detail/isect/contour_testutil.h"

namespace {

spline_curve* through(const std::vector<double>& pts3) {
  const int n = static_cast<int>(pts3.size() / 3);
  return contour_test::interpolate_through(pts3.data(), n, 3, 1, 4);
}

spline_surface* loft(spline_curve* a, spline_curve* b, int order) {
  spline_curve* cs[2] = {a, b};
  int types[2] = {1, 1};
  spline_surface* s = nullptr;
  double* par = nullptr;
  int st = 0;
  s1538(2, cs, types, 0.0, 1, order, 0, &s, &par, &st);
  const ToolkitArray<double> owned_par(par);
  return s;
}

std::vector<double> eval_c(const spline_curve* c, double t) {
  std::vector<double> out(3);
  int left = 0, st = 0;
  s1221(c, 0, t, &left, out.data(), &st);
  return out;
}

double at_height(const spline_curve* c, double y) {
  double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  for (int k = 0; k < 200 && b - a > 1e-15 * (1 + std::fabs(b)); ++k) {
    const double m = 0.5 * (a + b);
    if (eval_c(c, m)[1] > -y) a = m;
    else b = m;
  }
  return 0.5 * (a + b);
}

void params_of(const spline_surface* s, const std::vector<double>& p, double* out) {
  const double lo[2] = {s->knots1[s->order1 - 1], s->knots2[s->order2 - 1]};
  const double hi[2] = {s->knots1[s->vertex_count1], s->knots2[s->vertex_count2]};
  double best[2] = {lo[0], lo[1]}, bd = 1e300;
  for (int i = 0; i <= 400; ++i)
    for (int j = 0; j <= 4; ++j) {
      const double uv[2] = {lo[0] + (hi[0] - lo[0]) * i / 400, lo[1] + (hi[1] - lo[1]) * j / 4};
      double x[3];
      int l1 = 0, l2 = 0, st = 0;
      s1424(s, 0, 0, uv, &l1, &l2, x, &st);
      const double d = std::hypot(x[0] - p[0], x[1] - p[1], x[2] - p[2]);
      if (d < bd) bd = d, best[0] = uv[0], best[1] = uv[1];
    }
  std::vector<double> q = p;
  spline_point* pt = create_point(q.data(), 3, 1);
  int st = 0;
  s1773(pt, s, 1e-12, lo, hi, best, out, &st);
  destroy_point(pt);
}

void BM_s1310_catheter(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> jit(-0.3, 0.3);
  const double y0 = 10, y1 = 500;
  std::vector<double> l0, l1, r0, r1;
  for (int i = 0; i < n; ++i) {
    const double y = y0 + (y1 - y0) * i / (n - 1);
    const double xl = 200 + 60 * std::sin(6.0 * i / n) + 2 * jit(rng);
    const double xr = 180 + 50 * std::cos(5.0 * i / n) + 2 * jit(rng);
    l0.insert(l0.end(), {xl, -y, 0.0});
    l1.insert(l1.end(), {xl, -y, 400.0});
    r0.insert(r0.end(), {0.0, -y, 400.0 - xr});
    r1.insert(r1.end(), {400.0, -y, 400.0 - xr});
  }
  const CurveHandle l0_curve(through(l0)), l1_curve(through(l1)), r0_curve(through(r0)),
      r1_curve(through(r1));
  const SurfaceHandle l_surface(loft(l0_curve.get(), l1_curve.get(), 4)),
      r_surface(loft(r0_curve.get(), r1_curve.get(), 3));
  spline_curve *cl = l0_curve.get(), *cr = r0_curve.get();
  spline_surface *sl = l_surface.get(), *sr = r_surface.get();
  std::vector<double> a, b;
  for (double y : {y0, 0.5 * (y0 + y1), y1}) {
    const auto pl = eval_c(cl, at_height(cl, y)), pr = eval_c(cr, at_height(cr, y));
    const std::vector<double> p = {pl[0], -y, pr[2]};
    double u[2];
    params_of(sl, p, u);
    a.insert(a.end(), {u[0], u[1]});
    params_of(sr, p, u);
    b.insert(b.end(), {u[0], u[1]});
  }
  int points = 0;
  for (auto _ : state) {
    double* pa = static_cast<double*>(std::malloc(sizeof(double) * a.size()));
    double* pb = static_cast<double*>(std::malloc(sizeof(double) * b.size()));
    std::copy(a.begin(), a.end(), pa);
    std::copy(b.begin(), b.end(), pb);
    const IsectCurveHandle ic_owner(create_isect_curve(3, 2, 2, pa, pb, 0));
    isect_curve* ic = ic_owner.get();
    int st = 0;
    s1310(sl, sr, ic, 1e-5, 0.0, 1, 0, &st);
    if (st != 0 || !ic->geometry) state.SkipWithError("march failed");
    else points = (ic->geometry->vertex_count + 2) / 3;
    benchmark::DoNotOptimize(ic->geometry);
  }
  state.counters["marched_points"] = points;
}

}  // namespace

BENCHMARK(BM_s1310_catheter)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

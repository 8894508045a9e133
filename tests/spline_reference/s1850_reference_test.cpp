// Rays against closed measurement contours: the crossings found by s1850 against those
// of OpenCASCADE's planar curve/curve intersection.
#include <gtest/gtest.h>

#include <Geom2dAPI_InterCurveCurve.hxx>
#include <Geom2d_Line.hxx>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/handles.h"
#include "spline/interp.h"
#include "spline/isect.h"
#include "spline/records.h"
#include "tests/spline/detail/isect/contour_testutil.h"
#include "tests/spline_reference/occt_convert_testutil.h"

namespace {


// Closed order-3 contour through n circle points of radius 100 jittered radially.
CurveHandle random_contour(std::mt19937& rng, int n) {
  return CurveHandle(contour_test::random_contour(rng, n));
}

std::vector<double> point_at(const spline_curve* c, double t) {
  std::vector<double> p(2);
  int left = 0, st = 0;
  s1221(c, 0, t, &left, p.data(), &st);
  return p;
}

// Signed distance of the curve point at t from the line through q with unit normal n.
double line_distance(const spline_curve* c, double t, const double* q, const double* n) {
  const auto p = point_at(c, t);
  return (p[0] - q[0]) * n[0] + (p[1] - q[1]) * n[1];
}

// The stretch of parameters around t over which the curve stays within eps of the line
// (dense steps, wrapping around the seam of the closed contour), and whether the curve
// changes sides of the line within it.
struct Band {
  double lo = 0, hi = 0;
  bool sign_change = false;
};

Band band_around(const spline_curve* c, double t, const double* q, const double* n,
                 double eps) {
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  const double h = 1e-5 * (b - a);
  Band band;
  band.lo = band.hi = t;
  int sign = 0;
  auto visit = [&](double x) {
    const double f = line_distance(c, x, q, n);
    if (std::fabs(f) > eps) return false;
    const int s = f > 0 ? 1 : f < 0 ? -1 : 0;
    if (s != 0 && sign != 0 && s != sign) band.sign_change = true;
    if (s != 0) sign = s;
    return true;
  };
  visit(t);
  for (int dir : {-1, 1}) {
    sign = 0;
    visit(t);
    for (int i = 1; i <= 1000; ++i) {
      double x = t + dir * h * i;
      if (x < a) x += b - a;
      if (x > b) x -= b - a;
      if (!visit(x)) break;
      (dir < 0 ? band.lo : band.hi) = t + dir * h * i;
    }
  }
  return band;
}

bool inside(const Band& band, double x, double period) {
  for (double shift : {-period, 0.0, period})
    if (x + shift >= band.lo && x + shift <= band.hi) return true;
  return false;
}

}  // namespace

TEST(S1850Reference, RaysThroughRandomContoursCrossWhereOpenCascadeFindsThem) {
  std::mt19937 rng(7850);
  std::uniform_int_distribution<int> count(20, 200);
  std::uniform_real_distribution<double> angle(0, M_PI);
  const double eps = 0.001;
  int compared = 0;
  int touches = 0;
  int clusters = 0;
  int reference_misses = 0;
  for (int k = 0; k < 200; ++k) {
    CurveHandle curve = random_contour(rng, count(rng));
    ASSERT_NE(curve, nullptr);
    const spline_curve* c = curve.get();
    Handle(Geom2d_BSplineCurve) ref = to_occt_curve2d(c);
    double q[2] = {0, 0};
    for (int i = 0; i < c->vertex_count; ++i) {
      q[0] += c->coefs[2 * i] / c->vertex_count;
      q[1] += c->coefs[2 * i + 1] / c->vertex_count;
    }
    for (int j = 0; j < 50; ++j) {
      const double phi = angle(rng);
      const double n[2] = {-std::sin(phi), std::cos(phi)};
      int np = 0, nc = 0, st = 0;
      double* par = nullptr;
      isect_curve** cv = nullptr;
      s1850(curve.get(), q, n, 2, 0.0, eps, &np, &par, &nc, &cv, &st);
      const ToolkitArray<double> owned_par(par);
      const IsectCurveArray owned_curves(cv, nc);
      std::vector<double> params(par, par + np);
      ASSERT_GE(st, 0);
      EXPECT_EQ(nc, 0);
      Handle(Geom2d_Line) line =
          new Geom2d_Line(gp_Pnt2d(q[0], q[1]), gp_Dir2d(std::cos(phi), std::sin(phi)));
      Geom2dAPI_InterCurveCurve theirs(ref, line, 1e-9);
      const double period = c->knots[c->vertex_count] - c->knots[c->order - 1];
      std::vector<Band> bands;
      for (double t : params) {
        EXPECT_LE(std::fabs(line_distance(c, t, q, n)), eps) << "contour " << k << " ray " << j;
        bands.push_back(band_around(c, t, q, n, eps));
      }
      // Every point of theirs is one of ours, within 1e-6, or lies in the tolerance
      // band of one of ours: a dip or bump of the curve that stays within eps of the
      // line, which the tolerance makes one touching intersection.
      std::vector<int> used(params.size(), 0);
      for (int i = 1; i <= theirs.NbPoints(); ++i) {
        const gp_Pnt2d p = theirs.Point(i);
        double best = 1e300;
        size_t at = 0;
        for (size_t m = 0; m < params.size(); ++m) {
          const auto o = point_at(c, params[m]);
          const double d = std::hypot(o[0] - p.X(), o[1] - p.Y());
          if (d < best) {
            best = d;
            at = m;
          }
        }
        ++compared;
        if (best <= 1e-6) {
          used[at] = 1;
          continue;
        }
        const double tp = theirs.Intersector().Point(i).ParamOnFirst();
        bool in_band = false;
        for (size_t m = 0; m < params.size(); ++m)
          if (inside(bands[m], tp, period)) {
            in_band = true;
            used[m] = 1;
          }
        EXPECT_TRUE(in_band) << "contour " << k << " ray " << j << " their parameter " << tp
                             << " nearest of ours " << best;
        if (in_band) ++clusters;
      }
      // Ours beyond theirs: a touch within the tolerance (no change of sides within
      // the band), or a crossing exactly on the line with a change of sides, which
      // the reference passes over when it comes with a second one inside the band.
      for (size_t m = 0; m < params.size(); ++m) {
        if (used[m]) continue;
        const double t = params[m];
        const double f = line_distance(c, t, q, n);
        const double d = 1e-7 * period;
        const bool crossing = std::fabs(f) <= 1e-9 &&
                              line_distance(c, t - d, q, n) * line_distance(c, t + d, q, n) < 0;
        if (!bands[m].sign_change) {
          ++touches;
        } else if (crossing) {
          ++reference_misses;
        } else {
          ADD_FAILURE() << "contour " << k << " ray " << j << " parameter " << t
                        << " distance " << f;
        }
      }
    }
  }
  EXPECT_GE(compared, 2 * 200 * 50);
  // Near-tangent places within the tolerance are rare on these contours.
  EXPECT_LE(touches + clusters + reference_misses, 10)
      << touches << " touches, " << clusters << " crossings inside a tolerance band, "
      << reference_misses << " crossings the reference passes over";
}

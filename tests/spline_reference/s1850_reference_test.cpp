// Rays against closed measurement contours: the crossings found by s1850 against those
// of OpenCASCADE's planar curve/curve intersection.
#include <gtest/gtest.h>

#include <Geom2dAPI_InterCurveCurve.hxx>
#include <Geom2d_Line.hxx>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/interp.h"
#include "spline/isect/subdiv.h"
#include "spline/records.h"
#include "tests/spline_reference/occt_convert_testutil.h"

namespace {

// Closed order-3 contour through n circle points of radius 100 jittered radially.
spline_curve* random_contour(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> jitter(-12.0, 12.0);
  std::vector<double> pts;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n;
    const double r = 100.0 + jitter(rng);
    pts.push_back(250 + r * std::cos(a));
    pts.push_back(240 + r * std::sin(a));
  }
  std::vector<int> types(n, 1);
  double end = 0;
  spline_curve* c = nullptr;
  double* par = nullptr;
  int np = 0, st = 0;
  s1356(pts.data(), n, 2, types.data(), 0, 0, 0, 3, 0.0, &end, &c, &par, &np, &st);
  free(par);
  return st < 0 ? nullptr : c;
}

std::vector<double> point_at(const spline_curve* c, double t) {
  std::vector<double> p(2);
  int left = 0, st = 0;
  s1221(c, 0, t, &left, p.data(), &st);
  return p;
}

}  // namespace

TEST(S1850Reference, DISABLED_RaysThroughRandomContoursCrossWhereOpenCascadeFindsThem) {
  std::mt19937 rng(7850);
  std::uniform_int_distribution<int> count(20, 200);
  std::uniform_real_distribution<double> angle(0, M_PI);
  int compared = 0;
  for (int k = 0; k < 200; ++k) {
    spline_curve* c = random_contour(rng, count(rng));
    ASSERT_NE(c, nullptr);
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
      s1850(c, q, n, 2, 0.0, 0.001, &np, &par, &nc, &cv, &st);
      ASSERT_GE(st, 0);
      std::vector<std::vector<double>> ours;
      for (int i = 0; i < np; ++i) ours.push_back(point_at(c, par[i]));
      free(par);
      destroy_isect_curve_array(cv, nc);

      Handle(Geom2d_Line) line =
          new Geom2d_Line(gp_Pnt2d(q[0], q[1]), gp_Dir2d(std::cos(phi), std::sin(phi)));
      Geom2dAPI_InterCurveCurve theirs(ref, line, 1e-9);
      ASSERT_EQ(static_cast<int>(ours.size()), theirs.NbPoints())
          << "contour " << k << " ray " << j;
      for (int i = 1; i <= theirs.NbPoints(); ++i) {
        const gp_Pnt2d p = theirs.Point(i);
        double best = 1e300;
        for (const auto& o : ours) best = std::min(best, std::hypot(o[0] - p.X(), o[1] - p.Y()));
        EXPECT_LE(best, 1e-6) << "contour " << k << " ray " << j;
        ++compared;
      }
    }
    destroy_curve(c);
  }
  EXPECT_GE(compared, 2 * 200 * 50);
}

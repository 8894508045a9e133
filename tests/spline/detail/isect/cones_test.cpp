#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/cones.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/newton_testutil.h"
#include "spline/detail/isect/object_testutil.h"

namespace {

using namespace newton_test;

// A polygon curve of order 2 through the given vertices.
CurveHandle polygon(const std::vector<double>& v, int dim) {
  const int n = static_cast<int>(v.size()) / dim;
  std::vector<double> t = {0};
  for (int i = 0; i < n; ++i) t.push_back(i);
  t.push_back(n - 1);
  return curve(t, 2, v, 1, dim);
}

// A bilinear-knot net of n1 x n2 vertices of order 2.
SurfaceHandle net(const std::vector<double>& v, int n1, int n2, int dim) {
  auto knots = [](int n) {
    std::vector<double> t = {0};
    for (int i = 0; i < n; ++i) t.push_back(i);
    t.push_back(n - 1);
    return t;
  };
  return surface(knots(n1), knots(n2), 2, 2, v, 1, dim);
}

double angle_to(const double* axis, const double* d, int dim) {
  double dot = 0, len = 0;
  for (int m = 0; m < dim; ++m) {
    dot += axis[m] * d[m];
    len += d[m] * d[m];
  }
  double c = dot / std::sqrt(len);
  c = std::fmax(-1.0, std::fmin(1.0, c));
  return std::acos(c);
}

TEST(CurveCone, EverySegmentDirectionLiesInTheCone) {
  // Random polygons turning a little at each vertex: whenever a cone is built, each
  // counted segment direction lies within axis +- angle.
  std::mt19937 rng(3);
  std::normal_distribution<double> g(0, 1);
  std::uniform_real_distribution<double> turn(0.05, 0.6);
  int cones = 0;
  for (int trial = 0; trial < 500; ++trial) {
    const int dim = 2 + trial % 2;
    const int n = 3 + trial % 9;
    std::vector<double> v(dim, 0.0), d(dim);
    for (auto& x : d) x = g(rng);
    const double tw = turn(rng);
    for (int i = 1; i < n; ++i) {
      for (auto& x : d) x += tw * g(rng);
      for (int m = 0; m < dim; ++m) v.push_back(v[(i - 1) * dim + m] + d[m]);
    }
    auto c = polygon(v, dim);
    int status = -7;
    s1991(c.get(), 1e-9, &status);
    ASSERT_TRUE(c->cone);
    if (c->cone->flag == 1) continue;
    ++cones;
    EXPECT_EQ(status, c->cone->flag == 0 ? 0 : -7);
    for (int i = 0; i + 1 < n; ++i) {
      double s[3];
      for (int m = 0; m < dim; ++m) s[m] = v[(i + 1) * dim + m] - v[i * dim + m];
      EXPECT_LE(angle_to(c->cone->axis, s, dim), c->cone->angle + 1e-12)
          << "trial " << trial << " segment " << i;
    }
  }
  EXPECT_GT(cones, 300);
}

TEST(SurfaceCone, EveryCornerNormalLiesInTheCone) {
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> h(-1, 1), amp(0.05, 0.5);
  int cones = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int n1 = 2 + trial % 4, n2 = 2 + (trial / 4) % 4;
    const double a = amp(rng);
    std::vector<double> v;
    for (int j = 0; j < n2; ++j)
      for (int i = 0; i < n1; ++i) {
        v.push_back(i + 0.2 * h(rng));
        v.push_back(j + 0.2 * h(rng));
        v.push_back(a * h(rng));
      }
    auto s = net(v, n1, n2, 3);
    int status = -7;
    s1990(s.get(), 1e-9, &status);
    ASSERT_EQ(status, 0);
    const dir_cone* cone = s->cone;
    if (cone->flag == 1 || cone->flag == 2) continue;
    ++cones;
    for (int j = 0; j + 1 < n2; ++j)
      for (int i = 0; i + 1 < n1; ++i) {
        const double* p[4] = {&v[(j * n1 + i) * 3], &v[(j * n1 + i + 1) * 3],
                              &v[((j + 1) * n1 + i + 1) * 3], &v[((j + 1) * n1 + i) * 3]};
        for (int c = 0; c < 4; ++c) {
          // Corner c between the edge into it and the edge out of it.
          double e_in[3], e_out[3], nrm[3];
          for (int m = 0; m < 3; ++m) {
            e_in[m] = p[c][m] - p[(c + 3) % 4][m];
            e_out[m] = p[(c + 1) % 4][m] - p[c][m];
          }
          nrm[0] = e_in[1] * e_out[2] - e_in[2] * e_out[1];
          nrm[1] = e_in[2] * e_out[0] - e_in[0] * e_out[2];
          nrm[2] = e_in[0] * e_out[1] - e_in[1] * e_out[0];
          EXPECT_LE(angle_to(cone->axis, nrm, 3), cone->angle + 1e-12)
              << "trial " << trial << " quad " << i << "," << j << " corner " << c;
        }
      }
  }
  EXPECT_GT(cones, 200);
}

TEST(CurveCone, FlagsForStraightClosedAndWideCurves) {
  // A straight segment: angle 0, flag 0, and simple against a point.
  auto seg = wrap(polygon({0, 0, 0, 1, 2, 3}, 3));
  auto pt = wrap(point({5, 5, 5}));
  int status = -7;
  s1741(pt.get(), seg.get(), 1e-9, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(seg->curve->cone->flag, 0);
  EXPECT_EQ(seg->curve->cone->angle, 0.0);

  // A closed square: the directions fill the plane, no cone, never simple.
  auto square = wrap(polygon({0, 0, 1, 0, 1, 1, 0, 1, 0, 0}, 2));
  auto pt2 = wrap(point({0.5, 0.5}));
  s1741(square.get(), pt2.get(), 1e-9, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(square->curve->cone->flag, 1);

  // Directions spread over 1.5 radians: a wide cone (flag 3), never simple.
  const double a = 1.5;
  auto wide = wrap(polygon({0, 0, 1, 0, 1 + std::cos(a), std::sin(a)}, 2));
  auto pt3 = wrap(point({9, 9}));
  s1741(wide.get(), pt3.get(), 1e-9, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(wide->curve->cone->flag, 3);
  auto line2 = wrap(polygon({5, 0, 5, 1}, 2));
  s1741(wide.get(), line2.get(), 1e-9, &status);
  EXPECT_EQ(status, 0);
}

TEST(CurveCone, PairsOfCurves) {
  // Planar curves with overlapping cones: not simple (no finer test in the plane).
  auto c1 = wrap(polygon({0, 0, 1, 0.3, 2, 0}, 2));
  auto c2 = wrap(polygon({0, 1, 1, 0.8, 2, 1.1}, 2));
  int status = -7;
  s1741(c1.get(), c2.get(), 1e-9, &status);
  EXPECT_EQ(status, 0);
  // Nearly perpendicular cones: simple.
  auto c3 = wrap(polygon({1, -1, 1.1, 0, 1, 1}, 2));
  s1741(c1.get(), c3.get(), 1e-9, &status);
  EXPECT_EQ(status, 1);
  // Dimensions differ.
  auto c4 = wrap(polygon({0, 0, 0, 1, 1, 1}, 3));
  s1741(c1.get(), c4.get(), 1e-9, &status);
  EXPECT_EQ(status, -106);
}

TEST(SurfaceCone, DisjointNormalConesAreSimpleAndRemembered) {
  // A horizontal and a vertical plane patch.
  auto flat = wrap(net({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, 2, 2, 3));
  auto wall = wrap(net({0, 0.5, -1, 1, 0.5, -1, 0, 0.5, 1, 1, 0.5, 1}, 2, 2, 3));
  int status = -7;
  s1741(flat.get(), wall.get(), 1e-9, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(flat->extra, wall.get());
  // Two parallel planes: the normal cones coincide, not simple.
  auto lifted = wrap(net({0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1}, 2, 2, 3));
  auto flat2 = wrap(net({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, 2, 2, 3));
  s1741(flat2.get(), lifted.get(), 1e-9, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(flat2->extra, nullptr);
  // A curve crossing the flat patch steeply: simple.
  auto steep = wrap(polygon({0.5, 0.5, -1, 0.6, 0.5, 0, 0.5, 0.6, 1}, 3));
  s1741(steep.get(), flat.get(), 1e-9, &status);
  EXPECT_EQ(status, 1);
  // A curve running along the patch: not simple.
  auto along = wrap(polygon({0, 0.5, 0.1, 1, 0.5, 0.1}, 3));
  s1741(flat.get(), along.get(), 1e-9, &status);
  EXPECT_EQ(status, 0);
}

TEST(SurfaceCone, DegenerateNets) {
  // Every vertex on one line: no quad has a corner; flag 0, angle 0.
  auto line_net = net({0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}, 2, 2, 3);
  int status = -7;
  s1990(line_net.get(), 1e-9, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(line_net->cone->flag, 0);
  EXPECT_EQ(line_net->cone->angle, 0.0);
  // A planar net without corners has no cone at all (not a cone without an axis).
  auto flat2d = net({0, 0, 1, 1, 2, 2, 3, 3}, 2, 2, 2);
  s1990(flat2d.get(), 1e-9, &status);
  EXPECT_EQ(flat2d->cone->flag, 1);
  // A net with a collapsed edge (a triangle): the collapsed corners are skipped.
  auto tri = net({0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 0}, 2, 2, 3);
  s1990(tri.get(), 1e-9, &status);
  EXPECT_EQ(tri->cone->flag, 0);
  EXPECT_NEAR(std::fabs(tri->cone->axis[2]), 1.0, 1e-15);
}

TEST(CurveCone, BuiltOnceAndKept) {
  auto c = polygon({0, 0, 1, 0, 2, 0}, 2);
  int status = 0;
  s1991(c.get(), 1e-9, &status);
  const dir_cone* cone = c->cone;
  const double axis0 = cone->axis[0];
  c->coefs[5] = 5.0;  // the last vertex moves; the cone stays as built
  s1991(c.get(), 1e-9, &status);
  EXPECT_EQ(c->cone, cone);
  EXPECT_EQ(cone->axis[0], axis0);
  EXPECT_EQ(cone->angle, 0.0);
  EXPECT_EQ(cone->polygon[5], 0.0);
}

TEST(MonotoneCoefficients, CurvesAndSurfaces) {
  struct Case {
    std::vector<double> coefs;
    double eps;
    int want;
  };
  const Case cases[] = {
      {{0, 1, 2, 3}, 0.5, 1},     // rising
      {{0, 2, 1, 3}, 0.5, 0},     // rises, falls, rises
      {{1, 1, 1, 1}, 0.5, 0},     // no significant step
      {{0, 2, 1.8, 3}, 0.5, 1},   // a dip below the tolerance does not count
      {{3, 2, 1, 0, -1}, 0.5, 1}, // falling
  };
  for (const auto& cs : cases) {
    const int n = static_cast<int>(cs.coefs.size());
    std::vector<double> t = {0, 0, 0};
    for (int i = 1; i < n - 2; ++i) t.push_back(i);
    for (int i = 0; i < 3; ++i) t.push_back(n - 2);
    auto c = curve(t, 3, cs.coefs, 1, 1);
    int result = -1;
    curve_coefs_monotone(c.get(), cs.eps, &result);
    EXPECT_EQ(result, cs.want) << cs.coefs[1] << " " << cs.coefs[2];
  }
  // A surface constant along its second direction, wavy along the first: simple.
  std::vector<double> v;
  for (int j = 0; j < 3; ++j)
    for (double x : {0.0, 2.0, 1.0}) v.push_back(x);
  auto s = surface({0, 0, 0, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, 3, 3, v, 1, 1);
  int result = -1;
  surface_coefs_monotone(s.get(), 0.5, &result);
  EXPECT_EQ(result, 1);
  // Wavy in both directions: not simple.
  auto w = surface({0, 0, 0, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, 3, 3, {0, 2, 0, 2, 0, 2, 0, 2, 0}, 1, 1);
  surface_coefs_monotone(w.get(), 0.5, &result);
  EXPECT_EQ(result, 0);
}

TEST(SimpleCase, OneDimensionalObjectsUseTheMonotoneTests) {
  auto rising = wrap(curve({0, 0, 0, 1, 2, 2, 2}, 3, {0, 1, 2, 3}, 1, 1));
  auto zero = wrap(point({0.5}));
  int status = -7;
  s1741(zero.get(), rising.get(), 1e-3, &status);
  EXPECT_EQ(status, 1);
  auto wavy = wrap(curve({0, 0, 0, 1, 2, 2, 2}, 3, {0, 2, 1, 3}, 1, 1));
  s1741(wavy.get(), zero.get(), 1e-3, &status);
  EXPECT_EQ(status, 0);
}

}  // namespace

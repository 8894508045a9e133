#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "spline/handles.h"
#include "spline/edit_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

TEST(ImplicitCurve, QuadricAlongACubic) {
  // x^2 + y^2 - 1 on homogeneous coordinates (msize 3): a full quadratic form.
  auto c = make({0, 0, 0, 0, 0.4, 1, 1, 1, 1}, 4, {0, 0, 1, 2, 2, -1, 3, 0, 4, 1}, 2);
  const double M[9] = {1, 0, 0, 0, 1, 0, 0, 0, -1};
  spline_curve* r = nullptr;
  int status = -1;
  s1893(c.get(), M, 3, 1, 0, 0, &r, &status);
  ASSERT_EQ(status, 0);
  auto pr = own(r);
  EXPECT_EQ(pr->order, 7);
  EXPECT_EQ(pr->dim, 1);
  for (int i = 0; i <= 50; ++i) {
    const double x = i / 50.0;
    auto p = at(c.get(), x);
    EXPECT_NEAR(at(pr.get(), x)[0], p[0] * p[0] + p[1] * p[1] - 1, 1e-10) << x;
  }
}

TEST(ImplicitCurve, LinearEquationKeepsTheOrder) {
  // The plane x - 2 y + 3 = 0: only the last row and column are used.
  auto c = make({0, 0, 0, 0, 0.4, 1, 1, 1, 1}, 4, {0, 0, 1, 2, 2, -1, 3, 0, 4, 1}, 2);
  const double M[9] = {0, 0, 0.5, 0, 0, -1, 0.5, -1, 3};
  spline_curve* r = nullptr;
  int status = -1;
  s1893(c.get(), M, 3, 1, 0, 0, &r, &status);
  ASSERT_EQ(status, 0);
  auto pr = own(r);
  EXPECT_EQ(pr->order, 4);
  for (double x : {0.0, 0.2, 0.4, 0.77, 1.0}) {
    auto p = at(c.get(), x);
    EXPECT_NEAR(at(pr.get(), x)[0], p[0] - 2 * p[1] + 3, 1e-12);
  }
}

TEST(ImplicitSurface, PlaneThroughABilinearPatch) {
  std::vector<double> t{0, 0, 1, 1};
  std::vector<double> v{0, 0, 0, 1, 0, 1, 0, 1, 2, 1, 1, 0};
  SurfaceHandle s(
      create_surface(2, 2, 2, 2, t.data(), t.data(), v.data(), 1, 3, 1));
  // Quadric x^2 + z: homogeneous 4 x 4 matrix.
  double M[16] = {0};
  M[0] = 1;
  M[2 * 4 + 3] = M[3 * 4 + 2] = 0.5;
  const int zero[1] = {0};
  spline_surface* r = nullptr;
  int status = -1;
  s1896(s.get(), M, 4, 1, zero, zero, zero, zero, &r, &status);
  const SurfaceHandle owned_r1(r);
  ASSERT_EQ(status, 0);
  for (double u : {0.0, 0.3, 1.0})
    for (double w : {0.0, 0.6, 1.0}) {
      double uv[2] = {u, w}, p[3], q[1];
      int l1 = 0, l2 = 0, st = 0;
      s1424(s.get(), 0, 0, uv, &l1, &l2, p, &st);
      l1 = l2 = 0;
      s1424(r, 0, 0, uv, &l1, &l2, q, &st);
      EXPECT_NEAR(q[0], p[0] * p[0] + p[2], 1e-12);
    }
}

TEST(LoftDerivativeScaling, NoNeighboursKeepsTheShape) {
  std::vector<double> t{0, 0, 0, 1, 2, 2, 2};
  std::vector<double> cur{0, 0, 1, 1, 2, 0, 3, 1}, der{1, 0, 1, 1, 0, 1, -1, 1};
  const auto before = der;
  int status = -1;
  s1919(t.data(), nullptr, cur.data(), der.data(), nullptr, 4, 3, 2, 0, 0, 0, 1, 2, &status);
  ASSERT_EQ(status, 0);
  for (size_t i = 0; i < der.size(); ++i) EXPECT_NEAR(der[i], before[i], 1e-12);
  // With a previous section one unit away at parameter distance 2: factor 1/(2 |D|).
  std::vector<double> prev{0, -1, 1, 0, 2, -1, 3, 0};
  std::vector<double> d2{0, 3, 0, 3, 0, 3, 0, 3};
  s1919(t.data(), prev.data(), cur.data(), d2.data(), nullptr, 4, 3, 2, 1, 0, -1, 1, 2, &status);
  ASSERT_EQ(status, 0);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(d2[2 * i + 1], 0.5, 1e-12);
}

}  // namespace

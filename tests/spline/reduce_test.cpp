#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spline/edit_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

// Interpolated cubic through n samples of a function (x, f(x), g(x)).
CurvePtr path(int n, double noise) {
  std::vector<double> pts;
  std::vector<int> types;
  for (int i = 0; i < n; ++i) {
    const double x = i * 2.0;
    pts.insert(pts.end(), {x, 20 * std::sin(x / 25) + noise * std::sin(7.3 * i),
                           10 * std::cos(x / 40) + noise * std::cos(5.1 * i)});
    types.push_back(1);
  }
  spline_curve* c = nullptr;
  double end = 0, *par = nullptr;
  int np = 0, status = 0;
  s1356(pts.data(), n, 3, types.data(), 0, 0, 1, 4, 0.0, &end, &c, &par, &np, &status);
  std::free(par);
  return own(c);
}

TEST(DataReduction, CatheterPathStaysWithinTolerance) {
  auto c = path(120, 0.2);
  ASSERT_TRUE(c);
  const double tol[] = {0.9, 0.9, 0.9};
  spline_curve* r = nullptr;
  double err[3] = {-1, -1, -1};
  int status = -1;
  s1940(c.get(), tol, 1, 1, 1, 150, &r, err, &status);
  ASSERT_EQ(status, 0);
  auto pr = own(r);
  EXPECT_LT(pr->vertex_count, c->vertex_count / 3);
  EXPECT_EQ(pr->open_flag, 1);
  for (int m = 0; m < 3; ++m) {
    EXPECT_LE(err[m], 0.9);
    EXPECT_GE(err[m], 0.0);
  }
  // The error measure bounds the distance between the curves.
  const double a = c->knots[3], b = c->knots[c->vertex_count];
  for (int i = 0; i <= 500; ++i) {
    const double x = a + (b - a) * i / 500.0;
    auto p = at(c.get(), x), q = at(pr.get(), x);
    for (int m = 0; m < 3; ++m) EXPECT_LE(std::fabs(p[m] - q[m]), 0.9 + 1e-9);
  }
  // Ends kept exactly.
  auto p0 = at(c.get(), a), q0 = at(pr.get(), a);
  auto p1 = at(c.get(), b), q1 = at(pr.get(), b);
  for (int m = 0; m < 3; ++m) {
    EXPECT_NEAR(p0[m], q0[m], 1e-12);
    EXPECT_NEAR(p1[m], q1[m], 1e-12);
  }
}

TEST(DataReduction, StraightLineBecomesOnePiece) {
  std::vector<double> t{0, 0, 0, 0}, v;
  for (int i = 1; i < 10; ++i) t.push_back(i);
  for (int i = 0; i < 4; ++i) t.push_back(10);
  auto line0 = make(t, 4, std::vector<double>(13 * 2, 0.0), 2);
  // Vertices of the straight line x = 3 s, y = -s on the knots: Greville abscissae.
  for (int i = 0; i < 13; ++i) {
    const double g = (t[i + 1] + t[i + 2] + t[i + 3]) / 3;
    line0->coefs[2 * i] = 3 * g;
    line0->coefs[2 * i + 1] = -g;
  }
  const double tol[] = {1e-6, 1e-6};
  spline_curve* r = nullptr;
  double err[2];
  int status = -1;
  s1940(line0.get(), tol, 1, 1, 1, 10, &r, err, &status);
  ASSERT_EQ(status, 0);
  auto pr = own(r);
  EXPECT_EQ(pr->vertex_count, 4);
  EXPECT_LT(err[0], 1e-9);
  EXPECT_LT(max_gap(pr.get(), line0.get(), 0, 10), 1e-9);
}

TEST(DataReduction, SinglePieceIsCopied) {
  auto c = make({0, 0, 0, 1, 1, 1}, 3, {0, 0, 1, 2, 2, 0}, 2);
  const double tol[] = {0.1, 0.1};
  spline_curve* r = nullptr;
  double err[2] = {5, 5};
  int status = -1;
  s1940(c.get(), tol, 1, 1, 1, 10, &r, err, &status);
  ASSERT_EQ(status, 0);
  auto pr = own(r);
  EXPECT_EQ(err[0], 0.0);
  EXPECT_EQ(pr->coefs[2], 1.0);
  EXPECT_NE(pr->coefs, c->coefs);
}

TEST(DataReduction, NothingRemovableKeepsTheCurve) {
  auto c = path(30, 3.0);
  const double tol[] = {1e-9, 1e-9, 1e-9};
  spline_curve* r = nullptr;
  double err[3];
  int status = -1;
  s1940(c.get(), tol, 1, 1, 1, 5, &r, err, &status);
  ASSERT_EQ(status, 0);
  auto pr = own(r);
  EXPECT_EQ(pr->vertex_count, c->vertex_count);
  EXPECT_EQ(err[0], 0.0);
}

}  // namespace

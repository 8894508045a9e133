#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/edit_testutil.h"
#include "spline/reference_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

CurvePtr random_curve(std::mt19937& rng, int k, int n, int dim, bool rational, bool clamped) {
  std::uniform_real_distribution<double> u(-4, 4), w(0.5, 2);
  auto t = ref::random_knots(rng, k, n, k - 1, clamped);
  const int width = rational ? dim + 1 : dim;
  std::vector<double> v(n * width);
  for (int i = 0; i < n; ++i) {
    const double wt = rational ? w(rng) : 1.0;
    for (int m = 0; m < dim; ++m) v[i * width + m] = u(rng) * wt;
    if (rational) v[i * width + dim] = wt;
  }
  return make(t, k, v, dim, rational);
}

TEST(SplitCurve, PiecesAreExactSubCurves) {
  std::mt19937 rng(17);
  for (int k = 2; k <= 7; ++k)
    for (int rational = 0; rational <= 1; ++rational)
      for (int trial = 0; trial < 4; ++trial) {
        auto c = random_curve(rng, k, k + 4, 3, rational, trial % 2 == 0);
        const double* t = c->knots;
        const int n = c->vertex_count;
        // Inside a span, at a simple knot and at a knot of higher multiplicity.
        std::vector<double> xs{0.3 * t[k - 1] + 0.7 * t[k], t[k], t[n - 1]};
        for (double x : xs) {
          if (!(x > t[k - 1] && x < t[n])) continue;
          spline_curve *a = nullptr, *b = nullptr;
          int status = -1;
          s1710(c.get(), x, &a, &b, &status);
          ASSERT_EQ(status, 0);
          auto pa = own(a), pb = own(b);
          EXPECT_EQ(pa->knots[pa->vertex_count], x);
          EXPECT_EQ(pb->knots[k - 1], x);
          EXPECT_EQ(pa->kind, rational ? 2 : 1);
          EXPECT_LT(max_gap(pa.get(), c.get(), t[k - 1], x), 1e-12);
          EXPECT_LT(max_gap(pb.get(), c.get(), x, t[n]), 1e-12);
          // s1231 gives the same pieces.
          s1231(c.get(), x, &a, &b, &status);
          ASSERT_EQ(status, 0);
          auto qa = own(a), qb = own(b);
          EXPECT_EQ(qa->vertex_count, pa->vertex_count);
          EXPECT_LT(max_gap(qb.get(), pb.get(), x, t[n]), 1e-13);
        }
      }
}

TEST(SplitCurve, InsertionCountFollowsMultiplicity) {
  // Cubic with a double knot (k - 2) and a triple knot (k - 1) inside.
  auto c = make({0, 0, 0, 0, 1, 1, 2, 2, 2, 3, 3, 3, 3}, 4,
                {0, 1, 2, 3, 4, 5, 6, 7, 8}, 1);
  spline_curve *a = nullptr, *b = nullptr;
  int status = -1;
  s1710(c.get(), 2.0, &a, &b, &status);  // inserted once
  EXPECT_EQ(status, 0);
  const CurveHandle owned_b2(b);
  const CurveHandle owned_a1(a);
  EXPECT_EQ(a->vertex_count + b->vertex_count, 9 + 1);
  s1710(c.get(), 1.0, &a, &b, &status);  // inserted twice
  EXPECT_EQ(a->vertex_count + b->vertex_count, 9 + 2);
  const CurveHandle owned_b4(b);
  const CurveHandle owned_a3(a);
  // A knot of full multiplicity only divides the lists.
  auto d = make({0, 0, 0, 1, 1, 1, 2, 2, 2}, 3, {0, 1, 2, 3, 4, 5}, 1);
  s1710(d.get(), 1.0, &a, &b, &status);
  const CurveHandle owned_b6(b);
  const CurveHandle owned_a5(a);
  EXPECT_EQ(a->vertex_count, 3);
  EXPECT_EQ(b->vertex_count, 3);
  EXPECT_EQ(b->coefs[0], 3);
}

TEST(SplitCurve, EndsAndErrors) {
  auto c = make({0, 0, 0, 1, 2, 2, 2}, 3, {0, 1, 2, 3}, 1);
  spline_curve *a = nullptr, *b = nullptr;
  int status = -1;
  s1710(c.get(), 0.0, &a, &b, &status);
  const CurveHandle owned_b7(b);
  EXPECT_EQ(status, 5);
  EXPECT_EQ(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->vertex_count, 4);
  s1710(c.get(), 2.0 * (1 + 1e-14), &a, &b, &status);  // equal to the end by the relative test
  EXPECT_EQ(status, 5);
  const CurveHandle owned_a8(a);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  Quiet q;
  s1710(c.get(), 2.5, &a, &b, &status);
  EXPECT_EQ(status, -158);
  s1231(c.get(), 0.0, &a, &b, &status);
  EXPECT_EQ(status, -158);
  s1710(nullptr, 0.5, &a, &b, &status);
  EXPECT_EQ(status, -150);
}

TEST(SplitCurve, PeriodicCurveIsOpenedAtTheParameter) {
  auto c = periodic_quadratic();  // range [0, 4]
  spline_curve *a = nullptr, *b = nullptr;
  int status = -1;
  s1710(c.get(), 1.3, &a, &b, &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(b, nullptr);
  auto pa = own(a);
  EXPECT_EQ(pa->open_flag, 0);
  EXPECT_NEAR(pa->knots[2], 1.3, 1e-15);
  EXPECT_NEAR(pa->knots[pa->vertex_count], 5.3, 1e-15);
  EXPECT_LT(max_gap(pa.get(), c.get(), 1.3, 4.0), 1e-13);
  auto shift = [](double x) { return x + 4.0; };
  EXPECT_LT(max_gap(pa.get(), c.get(), 0.0, 1.3, shift), 1e-13);
}

TEST(SplitSurface, PiecesMatchTheSurface) {
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> u(-2, 2);
  std::vector<double> t1{0, 0, 0, 1, 2, 3, 3, 3}, t2{0, 0, 0, 0, 1, 1, 1, 1};
  std::vector<double> v(5 * 4 * 3);
  for (auto& x : v) x = u(rng);
  auto s = SurfaceHandle(
      create_surface(5, 4, 3, 4, t1.data(), t2.data(), v.data(), 1, 3, 1));
  for (int dir : {1, 2}) {
    const double x = dir == 1 ? 1.4 : 0.25;
    spline_surface *a = nullptr, *b = nullptr;
    int status = -1;
    s1711(s.get(), dir, x, &a, &b, &status);
    const SurfaceHandle owned_b10(b);
    const SurfaceHandle owned_a9(a);
    ASSERT_EQ(status, 0);
    for (int i = 0; i <= 10; ++i)
      for (int j = 0; j <= 10; ++j) {
        double uv[2] = {3.0 * i / 10, 1.0 * j / 10};
        const double p = uv[dir - 1];
        spline_surface* piece = p <= x ? a : b;
        double want[3], got[3];
        int l1 = 0, l2 = 0, st = 0;
        s1424(s.get(), 0, 0, uv, &l1, &l2, want, &st);
        l1 = l2 = 0;
        s1424(piece, 0, 0, uv, &l1, &l2, got, &st);
        for (int m = 0; m < 3; ++m) EXPECT_NEAR(got[m], want[m], 1e-12);
      }
  }
  Quiet q;
  spline_surface *a = nullptr, *b = nullptr;
  int status = 0;
  s1711(s.get(), 1, 0.0, &a, &b, &status);
  EXPECT_EQ(status, -101);  // one piece would have no span
}

TEST(SubSurface, RectangleAndFullCopy) {
  std::vector<double> t1{0, 0, 0, 1, 2, 2, 2}, t2{0, 0, 1, 2, 2};
  std::vector<double> v(4 * 3 * 2);
  for (size_t i = 0; i < v.size(); ++i) v[i] = std::sin(1.7 * i);
  auto s = SurfaceHandle(
      create_surface(4, 3, 3, 2, t1.data(), t2.data(), v.data(), 1, 2, 1));
  spline_surface* sub = nullptr;
  int status = -1;
  s1001(s.get(), 0.5, 0.2, 1.5, 1.7, &sub, &status);
  const SurfaceHandle owned_sub11(sub);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(sub->knots1[2], 0.5);
  EXPECT_EQ(sub->knots2[sub->vertex_count2], 1.7);
  for (double uu : {0.5, 0.9, 1.5})
    for (double vv : {0.2, 1.0, 1.7}) {
      double uv[2] = {uu, vv}, a[2], b[2];
      int l1 = 0, l2 = 0, st = 0;
      s1424(s.get(), 0, 0, uv, &l1, &l2, a, &st);
      l1 = l2 = 0;
      s1424(sub, 0, 0, uv, &l1, &l2, b, &st);
      EXPECT_NEAR(a[0], b[0], 1e-13);
      EXPECT_NEAR(a[1], b[1], 1e-13);
    }
  s1001(s.get(), 0, 0, 2, 2, &sub, &status);
  const SurfaceHandle owned_sub12(sub);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(sub->vertex_count1, 4);
  EXPECT_EQ(sub->coefs[5], v[5]);
  EXPECT_NE(sub->coefs, s->coefs);
}

TEST(KnotInsertionCoefficients, ReproduceTheRefinedCurve) {
  // Insert x = 1.5 twice into a cubic: the new vertices from s1700 give the same curve.
  std::vector<double> t{0, 0, 0, 0, 1, 2, 3, 3, 3, 3};
  std::vector<double> v{0, 2, -1, 3, 1, 0};
  const int k = 4, n = 6, h = 2;
  const double x = 1.5;
  std::vector<double> tau = t;
  tau.insert(tau.begin() + 5, h, x);
  std::vector<double> nv(n + h);
  for (int imy = 0; imy < n + h; ++imy) {
    double coefs[4];
    int offset = 0, first = 0, last = 0, status = -1;
    s1700(imy, k, n, h, &offset, &first, &last, t.data(), x, coefs, &status);
    ASSERT_EQ(status, 0);
    double s = 0, sum = 0;
    for (int i = first; i <= last; ++i) {
      s += coefs[offset + i] * v[i];
      sum += coefs[offset + i];
    }
    EXPECT_NEAR(sum, 1.0, 1e-14);
    nv[imy] = s;
  }
  auto a = make(t, k, v, 1), b = make(tau, k, nv, 1);
  EXPECT_LT(max_gap(a.get(), b.get(), 0, 3), 1e-13);
  double coefs[4];
  int offset, first, last, status = 0;
  Quiet q;
  s1700(0, k, n, 4, &offset, &first, &last, t.data(), x, coefs, &status);
  EXPECT_EQ(status, -152);
}

TEST(KnotInsertionCoefficients, RefinementOfAWholeVector) {
  // Refine a quadratic onto a vector with two more knots; both coefficient routines
  // reproduce the curve.
  std::vector<double> t{0, 0, 0, 1, 2, 2, 2}, tau{0, 0, 0, 0.5, 1, 1.5, 2, 2, 2};
  std::vector<double> v{0, 3, -1, 2};
  std::vector<double> a(6), b(6);
  for (int j = 0; j < 6; ++j) {
    int mu = 2;
    while (mu + 1 <= 3 && t[mu + 1] <= tau[j]) ++mu;
    double c[3];
    int offset = 0, first = 0, last = 0, status = -1;
    refine_alpha(j, mu, 3, 4, &offset, &first, &last, tau.data(), t.data(), nullptr, c, &status);
    for (int i = first; i <= last; ++i) a[j] += c[offset + i] * v[i];
    double d[3];
    refinement_alpha(t.data(), 3, j + 1, mu + 1, d, tau.data());
    for (int i = 0; i < 3; ++i)
      if (mu - 2 + i >= 0) b[j] += d[i] * v[mu - 2 + i];
  }
  auto orig = make(t, 3, v, 1), ra = make(tau, 3, a, 1), rb = make(tau, 3, b, 1);
  EXPECT_LT(max_gap(ra.get(), orig.get(), 0, 2), 1e-14);
  EXPECT_LT(max_gap(rb.get(), orig.get(), 0, 2), 1e-14);
}

}  // namespace

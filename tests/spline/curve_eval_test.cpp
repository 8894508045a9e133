#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "spline/handles.h"
#include "spline/reference_testutil.h"
#include "spline/spline.h"

namespace {


CurveHandle make_curve(std::vector<double> t, int k, std::vector<double> v, int kind, int dim) {
  const int n = static_cast<int>(t.size()) - k;
  return CurveHandle(create_curve(n, k, t.data(), v.data(), kind, dim, 1));
}

// Largest absolute value of derivative j over the reference, for a relative bound.
double scale_of(const std::vector<double>& r, int dim, int j) {
  double s = 1.0;
  for (int m = 0; m < dim; ++m) s = std::fmax(s, std::fabs(r[j * dim + m]));
  return s;
}

TEST(CurveEvaluation, RandomCurvesAgreeWithCoxDeBoor) {
  std::mt19937 rng(2024);
  std::uniform_real_distribution<double> coord(-5, 5), weight(0.3, 3.0);
  int checked = 0;
  for (int k = 1; k <= 8; ++k)
    for (int dim = 1; dim <= 3; ++dim)
      for (int rational = 0; rational <= 1; ++rational)
        for (int trial = 0; trial < 3; ++trial) {
          const int n = k + 1 + 2 * trial;
          const auto t = ref::random_knots(rng, k, n, k, trial != 1);
          const int w = rational ? dim + 1 : dim;
          std::vector<double> v(n * w);
          for (int i = 0; i < n; ++i) {
            const double wt = rational ? weight(rng) : 1.0;
            for (int m = 0; m < dim; ++m) v[i * w + m] = coord(rng) * wt;
            if (rational) v[i * w + dim] = wt;
          }
          auto c = make_curve(t, k, v, rational ? 2 : 1, dim);
          ASSERT_TRUE(c);
          const int d = std::min(k + 1, 4);
          // Random parameters, every knot in the range and both ends.
          std::vector<double> xs;
          std::uniform_real_distribution<double> ux(t[k - 1], t[n]);
          for (int s = 0; s < 12; ++s) xs.push_back(ux(rng));
          for (int i = k - 1; i <= n; ++i) xs.push_back(t[i]);
          for (double x : xs)
            for (int left_hand = 0; left_hand <= 1; ++left_hand) {
              std::vector<double> got((d + 1) * dim);
              int left = 0, status = -1;
              if (left_hand)
                S1227(c.get(), d, x, &left, got.data(), &status);
              else
                s1221(c.get(), d, x, &left, got.data(), &status);
              ASSERT_EQ(status, 0);
              const auto want = ref::curve(t, k, n, v, dim, rational, x, d, left_hand);
              for (int j = 0; j <= d; ++j) {
                const double sc = scale_of(want, dim, j);
                for (int m = 0; m < dim; ++m)
                  ASSERT_NEAR(got[j * dim + m], want[j * dim + m], 1e-12 * sc)
                      << "k=" << k << " dim=" << dim << " rational=" << rational << " x=" << x
                      << " j=" << j << " left=" << left_hand;
              }
              ++checked;
            }
        }
  EXPECT_GT(checked, 2000);
}

TEST(CurveEvaluation, LeftAndRightAtAnInteriorKnot) {
  // Cubic with a double knot at 1: the second derivative jumps there.
  auto c = make_curve({0, 0, 0, 0, 1, 1, 2, 2, 2, 2}, 4, {0, 0, 1, 2, 2, 0, 3, -1, 4, 3, 5, 0}, 1,
                      2);
  double r[6], l[6];
  int left = 0, status = 0;
  s1221(c.get(), 2, 1.0, &left, r, &status);
  EXPECT_EQ(left, 5);
  S1227(c.get(), 2, 1.0, &left, l, &status);
  EXPECT_EQ(left, 3);
  for (int m = 0; m < 4; ++m) EXPECT_NEAR(r[m], l[m], 1e-13);
  EXPECT_GT(std::fabs(r[4] - l[4]) + std::fabs(r[5] - l[5]), 1e-3);
  for (double x : {0.0, 2.0}) {
    s1221(c.get(), 2, x, &left, r, &status);
    S1227(c.get(), 2, x, &left, l, &status);
    for (int m = 0; m < 6; ++m) EXPECT_EQ(r[m], l[m]) << x;
  }
}

TEST(CurveEvaluation, DerivativesAboveTheDegreeAreZero) {
  auto c = make_curve({0, 0, 0, 1, 1, 1}, 3, {0, 0, 1, 2, 3, 0}, 1, 2);
  double out[10];
  int left = 0, status = 0;
  s1221(c.get(), 4, 0.3, &left, out, &status);
  EXPECT_EQ(status, 0);
  for (int m = 6; m < 10; ++m) EXPECT_EQ(out[m], 0.0);
}

TEST(CurveEvaluation, RationalCirclesKeepTheirRadius) {
  const double h = std::sqrt(0.5);
  auto quarter = make_curve({0, 0, 0, 1, 1, 1}, 3, {1, 0, 1, h, h, h, 0, 1, 1}, 2, 2);
  // Full circle: nine vertices on a square, double interior knots.
  std::vector<double> hom;
  const double sq[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  for (int i = 0; i < 9; ++i) {
    const double w = i % 2 ? h : 1.0;
    hom.insert(hom.end(), {sq[i][0] * w, sq[i][1] * w, w});
  }
  auto full = make_curve({0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4}, 3, hom, 2, 2);
  for (auto* c : {quarter.get(), full.get()}) {
    const double a = c->knots[2], b = c->knots[c->vertex_count];
    double worst = 0;
    int left = 0, status = 0;
    for (int i = 0; i <= 1000; ++i) {
      double p[2];
      s1221(c, 0, a + (b - a) * i / 1000.0, &left, p, &status);
      worst = std::fmax(worst, std::fabs(std::hypot(p[0], p[1]) - 1.0));
    }
    EXPECT_LT(worst, 1e-14);
  }
}

TEST(CurveEvaluation, ZeroWeightIsTreatedAsOne) {
  const double hom[] = {2, 3, 0, 1, 1, 1, 0, 0};  // position (2, 3) with weight 0
  double out[4];
  int status = -1;
  s6ratder(hom, 2, 1, out, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out[0], 2);
  EXPECT_EQ(out[1], 3);
}

TEST(CurveEvaluation, ErrorLines) {
  auto c = make_curve({0, 0, 1, 1}, 2, {0, 1}, 1, 1);
  double out[4];
  int left = 0, status = 0;
  testing::internal::CaptureStderr();
  S1227(c.get(), -1, 0.5, &left, out, &status);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nError status : -178   Call from routine : S1227   Position : 0\n");
  EXPECT_EQ(status, -178);

  // A failure deep in the chain gives one line per level, innermost first.
  testing::internal::CaptureStderr();
  s1221(c.get(), 1, std::nan(""), &left, out, &status);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nError status : -114   Call from routine : s1219   Position : 0\n"
            "\nError status : -114   Call from routine : s1220   Position : 0\n"
            "\nError status : -114   Call from routine : s1221   Position : 0\n");
  EXPECT_EQ(status, -114);

  // Positive statuses print nothing.
  testing::internal::CaptureStderr();
  const double line[] = {0, 0, 1, 0, 0, 0};
  double res[7];
  curvature_vector(line, 2, res, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(CurvatureVector, LineAndCircle) {
  const double line[] = {0, 0, 1, 1, 0, 0};
  double res[7];
  int status = -1;
  curvature_vector(line, 2, res, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(res[6], -1.0);
  // Circle of radius 2 about the origin at angle 0, speed 3: X' = (0, 6), X'' = (-18, 0).
  const double circle[] = {2, 0, 0, 6, -18, 0};
  curvature_vector(circle, 2, res, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(res[6], 2.0, 1e-14);
  EXPECT_NEAR(res[4], -0.5, 1e-15);
  EXPECT_NEAR(res[5], 0.0, 1e-15);
  EXPECT_NEAR(res[3], 1.0, 1e-15);
}

TEST(StepLength, Cases) {
  struct {
    double r, eps, h, step;
  } cases[] = {
      {1, 1e-6, 0, 0.5},
      {1000, 1e-6, 0, 1000 * M_PI * 2.0496003279360524682 * std::pow(1e-9, 1.0 / 6.0)},
      {1000, 1e-6, 10, 10},
      {0, 0.01, 0, 1},
      {-1, 1e-6, 3, 3},
      {-1, 0.5, 0.1, 0.5},
  };
  for (auto& c : cases) {
    int status = -1;
    EXPECT_NEAR(s1311(c.r, c.eps, c.h, &status), c.step, 1e-9) << c.r << " " << c.h;
    EXPECT_EQ(status, 0);
  }
  EXPECT_NEAR(cases[1].step, 203.62, 0.01);
  int status = 0;
  testing::internal::CaptureStderr();
  s1311(1, 1e-6, -1, &status);
  EXPECT_EQ(status, -177);
  s1311(1, -1e-6, 0, &status);
  EXPECT_EQ(status, -120);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nError status : -177   Call from routine : s1311   Position : 1\n"
            "\nError status : -120   Call from routine : s1311   Position : 1\n");
}

}  // namespace

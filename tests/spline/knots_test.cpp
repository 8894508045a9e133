#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "spline/edit_testutil.h"
#include "spline/reference_testutil.h"
#include "spline/spline.h"

namespace {

using edit_test::Quiet;

TEST(IntervalSearch, RightHandAndClamping) {
  const double t[] = {0, 0, 0, 1, 2, 3, 3, 3};
  struct {
    double x;
    int guess, left;
  } cases[] = {{1, 2, 3}, {3, 2, 4}, {3.5, 3, 4}, {-1, 4, 2}, {0, 4, 2}, {2.5, 2, 4}, {0.5, 4, 2},
               {1.999, 0, 3}, {2.0, 99, 4}};
  for (auto& c : cases) {
    int left = c.guess, status = -1;
    s1219(t, 3, 5, &left, c.x, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(left, c.left) << c.x;
  }
}

TEST(IntervalSearch, BisectionOnALongVector) {
  std::vector<double> t{0, 0, 0, 0};
  for (int i = 1; i < 200; ++i) t.push_back(i);
  for (int i = 0; i < 4; ++i) t.push_back(200);
  const int n = static_cast<int>(t.size()) - 4;
  for (double x : {0.5, 17.25, 99.0, 150.7, 198.2}) {
    int left = 3, status = -1;
    s1219(t.data(), 4, n, &left, x, &status);
    ASSERT_EQ(status, 0);
    EXPECT_LE(t[left], x);
    EXPECT_LT(x, t[left + 1]);
  }
}

TEST(IntervalSearch, Errors) {
  const double bad[] = {0, 0, 0, 1, 1};
  const double t[] = {0, 0, 0, 1, 2, 3, 3, 3};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    const double* t;
    int k, n;
    double x;
    int status;
  } cases[] = {
      {bad, 2, 3, 0.5, -112}, {t, 0, 5, 0.5, -110}, {t, 3, 2, 0.5, -111},
      {t, 3, 5, nan, -114},   {t, 3, 5, inf, -114},
  };
  for (auto& c : cases) {
    Quiet q;
    int left = 7, status = 0;
    s1219(c.t, c.k, c.n, &left, c.x, &status);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(left, 7);  // written on success only
  }
}

TEST(IntervalSearch, KnotsThatAreNotNumbersDoNotHang) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double t[] = {0, 0, 1, nan, nan, nan, 5, 6, 6};
  Quiet q;
  int left = 1, status = 0;
  s1219(t, 2, 7, &left, 3.0, &status);
  EXPECT_LT(status, 0);
}

TEST(Basis, MatchesCoxDeBoorAndSumsToOne) {
  std::mt19937 rng(11);
  for (int k = 1; k <= 8; ++k)
    for (int trial = 0; trial < 6; ++trial) {
      const int n = k + trial;
      auto t = ref::random_knots(rng, k, n, k - 1, trial % 2 == 0);
      std::uniform_real_distribution<double> ux(t[k - 1], t[n]);
      const int d = k + 1;
      std::vector<double> b(k * (d + 1));
      for (int s = 0; s < 20; ++s) {
        const double x = ux(rng);
        int left = 0, status = -1;
        s1220(t.data(), k, n, &left, x, d, b.data(), &status);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(left, ref::interval(t, k, n, x, false));
        double sum = 0;
        for (int i = 0; i < k; ++i) {
          sum += b[i * (d + 1)];
          for (int j = 0; j <= d; ++j) {
            const double want = ref::basis(t, left - k + 1 + i, k, left, x, j);
            EXPECT_NEAR(b[i * (d + 1) + j], want, 1e-11 * (1 + std::fabs(want)))
                << "k=" << k << " j=" << j;
          }
        }
        EXPECT_NEAR(sum, 1.0, 1e-14);
      }
    }
}

TEST(Basis, NegativeDerivativeCount) {
  const double t[] = {0, 0, 0, 1, 2, 3, 3, 3};
  double b[3];
  int left = 0, status = 0;
  testing::internal::CaptureStderr();
  s1220(t, 3, 5, &left, 1.5, -1, b, &status);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nError status : -178   Call from routine : s1220   Position : 0\n");
  EXPECT_EQ(status, -178);
}

TEST(KnotMultiplicity, CountsEqualKnots) {
  const double t[] = {0, 0, 0, 1, 1, 2, 2, 2};
  struct {
    double x;
    int m;
  } cases[] = {{1, 2}, {2, 3}, {0.5, 0}, {0, 3}};
  for (auto& c : cases) {
    int left = 0, status = -1;
    EXPECT_EQ(s6knotmult(t, 3, 5, &left, c.x, &status), c.m) << c.x;
    EXPECT_EQ(status, 0);
  }
}

TEST(FindInterval, KnotOfHighMultiplicity) {
  const double t[] = {0, 0, 0, 1, 1, 2, 2, 2};
  int left = 0, status = -1;
  s6fndintvl(t, 3, 5, &left, 0, 2, 1, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(left, 4);
  left = 0;
  s6fndintvl(t, 3, 5, &left, 2, 0, 2, &status);  // reversed range, higher bound
  EXPECT_EQ(status, 0);
}

TEST(CyclicKnots, UniformVectorIsCyclic) {
  std::vector<double> t{-2, -1, 0, 1, 2, 3, 4, 5, 6};
  int status = -1;
  test_cyclic_knots(t.data(), 6, 3, &status);
  EXPECT_EQ(status, 2);
  t[4] += 0.1;
  test_cyclic_knots(t.data(), 6, 3, &status);
  EXPECT_EQ(status, 0);
  const double clamped[] = {0, 0, 0, 1, 2, 2, 2};
  test_cyclic_knots(clamped, 4, 3, &status);
  EXPECT_EQ(status, 0);
  // Cyclic pattern but too few vertices for a full period.
  const double short_t[] = {-1, 0, 1, 2, 3};  // k = 3, n = 2 is below k: use k = 2, n = 3
  test_cyclic_knots(short_t, 3, 2, &status);
  EXPECT_EQ(status, 2);
}

}  // namespace

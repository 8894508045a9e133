#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "spline/spline.h"

namespace {

TEST(Equality, RelativeTestAndOffset) {
  EXPECT_TRUE(dequal(1.0, 1.0 + 1e-13));
  EXPECT_FALSE(dequal(1.0, 1.0 + 1e-11));
  EXPECT_TRUE(dequal(0.0, 0.0));
  EXPECT_FALSE(dequal(0.0, 1e-300));
  EXPECT_TRUE(dequal_off(0.0, 1e-14, 1.0));
}

TEST(Vectors, LengthNormalizeAngle) {
  int flag = -1;
  const double neg[] = {-2};
  EXPECT_EQ(vec_length(neg, 1, &flag), 2.0);
  EXPECT_EQ(flag, 1);

  const double zero[] = {0, 0, 0};
  double out[3] = {9, 9, 9};
  EXPECT_EQ(vec_normalize(zero, 3, out, &flag), 0.0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[2], 0.0);

  double v[] = {3, 4};
  EXPECT_EQ(vec_normalize(v, 2, v, &flag), 5.0);  // in place
  EXPECT_DOUBLE_EQ(v[0], 0.6);
  EXPECT_DOUBLE_EQ(v[1], 0.8);

  const double x[] = {1, 0}, mx[] = {-1, 0}, y[] = {0, 1}, z[] = {0, 0};
  EXPECT_EQ(vec_angle(x, mx, 2), 0.0);
  EXPECT_DOUBLE_EQ(vec_angle(x, y, 2), M_PI / 2);
  EXPECT_EQ(vec_angle(x, z, 2), 0.0);

  const double a[] = {1, 2, 3}, b[] = {-2, 0.5, 4};
  double c[3];
  vec_cross(a, b, c);
  EXPECT_DOUBLE_EQ(vec_dot(a, c, 3), 0.0);
  EXPECT_DOUBLE_EQ(c[0], 2 * 4 - 3 * 0.5);
  EXPECT_DOUBLE_EQ(vec_dist(a, b, 3), std::sqrt(9 + 2.25 + 1));
}

TEST(LuFactors, PivotsAndSingularMatrix) {
  double a[] = {0, 1, 1, 0};
  int piv[2];
  int status = -1;
  s6lufacp(a, piv, 2, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(piv[0], 1);
  EXPECT_EQ(piv[1], 0);

  double s[] = {1, 2, 2, 4};
  s6lufacp(s, piv, 2, &status);
  EXPECT_EQ(status, 1);

  double m[] = {2, 1, 1, 3};
  double rhs[] = {3, 5};
  s6lufacp(m, piv, 2, &status);
  s6lusolp(m, rhs, piv, 2, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(rhs[0], 0.8, 1e-15);
  EXPECT_NEAR(rhs[1], 1.4, 1e-15);
}

TEST(LuFactors, RandomSystemsHaveSmallResiduals) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int trial = 0; trial < 50; ++trial) {
    const int n = 1 + trial % 8;
    std::vector<double> a(n * n), lu, b(n), x;
    for (auto& e : a) e = u(rng);
    for (auto& e : b) e = u(rng);
    lu = a;
    x = b;
    std::vector<int> piv(n);
    int status = 0;
    s6lufacp(lu.data(), piv.data(), n, &status);
    ASSERT_EQ(status, 0);
    s6lusolp(lu.data(), x.data(), piv.data(), n, &status);
    ASSERT_EQ(status, 0);
    for (int i = 0; i < n; ++i) {
      double r = -b[i];
      for (int j = 0; j < n; ++j) r += a[i * n + j] * x[j];
      EXPECT_NEAR(r, 0.0, 1e-11) << "n=" << n;
    }
  }
}

TEST(Decomposition, CoordinatesInABasis) {
  const double b1[] = {1, 1, 0}, b2[] = {0, 1, 1}, b3[] = {1, 0, 1};
  const double c[] = {2, -1, 0.5};
  double v[3];
  for (int i = 0; i < 3; ++i) v[i] = c[0] * b1[i] + c[1] * b2[i] + c[2] * b3[i];
  double got[3];
  int status = -1;
  s6decomp(v, got, b1, b2, b3, &status);
  EXPECT_EQ(status, 0);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], c[i], 1e-14);
  const double dep[] = {2, 2, 0};
  s6decomp(v, got, b1, dep, b3, &status);
  EXPECT_EQ(status, 1);
}

TEST(LeastSquares, TwoUnknownsRecoverExactCombination) {
  const double p[] = {1, 0, 0}, q[] = {1, 1, 0}, n[] = {0, 0, 2};
  const double r[] = {3, 2, 1};  // = 1 p + 2 q + (0, 0, 1)
  double x = 0, y = 0, res = 0;
  int status = -1;
  lsq_two_unknowns(p, q, n, r, 3, 1, &x, &y, &res, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(x, 1.0, 1e-14);
  EXPECT_NEAR(y, 2.0, 1e-14);
  EXPECT_NEAR(res, 0.5, 1e-14);  // |(0,0,1)| / |n|
  const double nn[] = {0, 0, -1};
  lsq_two_unknowns(p, q, nn, r, 3, 1, &x, &y, &res, &status);
  EXPECT_NEAR(res, -1.0, 1e-14);
}

TEST(TwoNorm, CompletesToAnOrthonormalFrame) {
  const double v[] = {0, 0, 5};
  double e1[3], e2[3];
  int status = -1;
  s6twonorm(v, e1, e2, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(e1[0], -1, 1e-15);
  EXPECT_NEAR(e1[1], 0, 1e-15);
  EXPECT_NEAR(e2[1], -1, 1e-15);
  const double w[] = {1, -2, 0.3};
  s6twonorm(w, e1, e2, &status);
  EXPECT_NEAR(vec_dot(e1, w, 3), 0, 1e-15);
  EXPECT_NEAR(vec_dot(e2, w, 3), 0, 1e-15);
  EXPECT_NEAR(vec_dot(e1, e2, 3), 0, 1e-15);
  const double z[] = {0, 0, 0};
  testing::internal::CaptureStderr();
  s6twonorm(z, e1, e2, &status);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, -174);
}

TEST(Matrices, PlacementInverseAndFrames) {
  const double p0[] = {1, 2, 3}, p1[] = {4, 2, 3}, axis[] = {0, 0, 2};
  double m[16], inv[16];
  int status = -1;
  s6rotmat(p0, p1, axis, m, &status);
  ASSERT_EQ(status, 0);
  // The local x axis goes from P0 towards P1.
  const double ex[] = {3, 0, 0};
  double out[3];
  mat4_transform_point(m, ex, out);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], p1[i], 1e-14);
  mat4_inverse(m, inv, &status);
  EXPECT_EQ(status, 0);
  double back[3];
  mat4_transform_point(inv, out, back);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], ex[i], 1e-14);

  // A general (non-orthogonal) affine matrix: inverse times matrix is the identity.
  const double g[16] = {2, 1, 0, 5, 0.5, 3, 1, -1, 0, -2, 4, 2, 0, 0, 0, 1};
  mat4_inverse(g, inv, &status);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += inv[i * 4 + k] * g[k * 4 + j];
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-14);
    }

  testing::internal::CaptureStderr();
  s6rotmat(p0, p0, axis, m, &status);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, -166);
}

TEST(Matrices, AxisFrameMapsUnitPointsOntoTheAxis) {
  const double p0[] = {1, 1, 0}, a[] = {0, 0, 3}, p1[] = {1, 3, 5};
  double m[16];
  int status = -1;
  axis_frame_matrix(p0, a, p1, m, &status);
  EXPECT_EQ(status, 0);
  // (1, 0, 0) goes to P1, (0, 0, 0) to its foot point on the axis, (0, 0, 1) one
  // distance further along the axis.
  const double pts[] = {1, 0, 0, 0, 0, 0, 0, 0, 1};
  double out[9];
  frame_transform_points(m, pts, 3, out);
  const double expect[] = {1, 3, 5, 1, 1, 5, 1, 1, 7};
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(out[i], expect[i], 1e-14) << i;
}

}  // namespace

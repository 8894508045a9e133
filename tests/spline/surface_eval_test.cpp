#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/reference_testutil.h"
#include "spline/spline.h"

namespace {


SurfaceHandle make_surface(std::vector<double> t1, std::vector<double> t2, int k1, int k2,
                     std::vector<double> v, int kind, int dim) {
  const int n1 = static_cast<int>(t1.size()) - k1, n2 = static_cast<int>(t2.size()) - k2;
  return SurfaceHandle(create_surface(n1, n2, k1, k2, t1.data(), t2.data(), v.data(), kind, dim, 1));
}

TEST(SurfaceEvaluation, RandomSurfacesAgreeWithReference) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> coord(-3, 3), weight(0.4, 2.5);
  int checked = 0;
  for (int k1 = 1; k1 <= 8; k1 += (k1 < 4 ? 1 : 2))
    for (int k2 = 1; k2 <= 6; k2 += 2)
      for (int dim = 1; dim <= 3; ++dim)
        for (int rational = 0; rational <= 1; ++rational) {
          const int n1 = k1 + 2, n2 = k2 + 1;
          const auto t1 = ref::random_knots(rng, k1, n1, k1 - 1, true);
          const auto t2 = ref::random_knots(rng, k2, n2, k2, false);
          const int w = rational ? dim + 1 : dim;
          std::vector<double> v(n1 * n2 * w);
          for (int i = 0; i < n1 * n2; ++i) {
            const double wt = rational ? weight(rng) : 1.0;
            for (int m = 0; m < dim; ++m) v[i * w + m] = coord(rng) * wt;
            if (rational) v[i * w + dim] = wt;
          }
          auto s = make_surface(t1, t2, k1, k2, v, rational ? 2 : 1, dim);
          ASSERT_TRUE(s);
          std::uniform_real_distribution<double> uu(t1[k1 - 1], t1[n1]), uv(t2[k2 - 1], t2[n2]);
          const int d1 = 2, d2 = 3, d = 3;
          for (int p = 0; p < 8; ++p) {
            double par[2] = {uu(rng), uv(rng)};
            if (p == 0) par[0] = t1[k1];  // on a knot
            if (p == 1) par[1] = t2[n2];  // at the end
            const auto want = ref::surface(t1, t2, k1, k2, n1, n2, v, dim, rational, par[0], par[1],
                                           d, d);
            double sc = 1.0;
            for (double x : want) sc = std::fmax(sc, std::fabs(x));
            std::vector<double> grid((d1 + 1) * (d2 + 1) * dim);
            int l1 = 0, l2 = 0, status = -1;
            s1424(s.get(), d1, d2, par, &l1, &l2, grid.data(), &status);
            ASSERT_EQ(status, 0);
            for (int j = 0; j <= d2; ++j)
              for (int i = 0; i <= d1; ++i)
                for (int m = 0; m < dim; ++m)
                  ASSERT_NEAR(grid[(j * (d1 + 1) + i) * dim + m], want[(j * (d + 1) + i) * dim + m],
                              1e-12 * sc)
                      << k1 << "x" << k2 << " dim " << dim << " rat " << rational;
            std::vector<double> tri((d + 1) * (d + 2) / 2 * dim);
            double normal[3];
            s1421(s.get(), d, par, &l1, &l2, tri.data(), normal, &status);
            ASSERT_GE(status, 0);
            for (int t = 0; t <= d; ++t)
              for (int j = 0; j <= t; ++j)
                for (int m = 0; m < dim; ++m)
                  ASSERT_NEAR(tri[(t * (t + 1) / 2 + j) * dim + m],
                              want[(j * (d + 1) + (t - j)) * dim + m], 1e-12 * sc);
            ++checked;
          }
        }
  EXPECT_GT(checked, 300);
}

TEST(SurfaceEvaluation, BilinearPatchHasOnlyTheTwistDerivative) {
  auto s = make_surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1}, 1,
                        3);
  double g[27];
  int l1 = 0, l2 = 0, status = -1;
  const double uv[] = {0.3, 0.6};
  s1424(s.get(), 2, 2, uv, &l1, &l2, g, &status);
  EXPECT_EQ(status, 0);
  for (int m = 0; m < 3; ++m) {
    EXPECT_EQ(g[2 * 3 + m], 0.0);  // Suu
    EXPECT_EQ(g[6 * 3 + m], 0.0);  // Svv
  }
  EXPECT_DOUBLE_EQ(g[4 * 3 + 2], 1.0);  // Suv of z = uv
}

TEST(SurfaceEvaluation, SideChoiceAtADoubleKnot) {
  // Quadratic in u with a double knot at 1: Su jumps there.
  std::vector<double> t1{0, 0, 0, 1, 1, 2, 2, 2}, t2{0, 0, 1, 1};
  std::vector<double> v;
  const double xs[5] = {0, 1, 3, 3.5, 6};
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 5; ++i) v.push_back(xs[i] + j);
  auto s = make_surface(t1, t2, 3, 2, v, 1, 1);
  const double uv[] = {1.0, 0.5};
  double right[4], left[4], zero_side[4];
  int l1 = 0, l2 = 0, status = 0;
  s1424(s.get(), 1, 1, uv, &l1, &l2, right, &status);
  s1425(s.get(), 1, 1, -1, 0, uv, &l1, &l2, left, &status);
  EXPECT_EQ(status, 0);
  s1425(s.get(), 1, 1, 0, 0, uv, &l1, &l2, zero_side, &status);
  EXPECT_NEAR(right[0], left[0], 1e-14);
  EXPECT_NEAR(right[1], 1.0, 1e-14);  // 2 * (3.5 - 3) on the right piece
  EXPECT_NEAR(left[1], 4.0, 1e-14);   // 2 * (3 - 1) on the left piece
  EXPECT_EQ(zero_side[1], right[1]);
  // Left-hand reference.
  const auto want = ref::surface(t1, t2, 3, 2, 5, 2, v, 1, false, 1.0, 0.5, 1, 1, true, false);
  EXPECT_NEAR(left[1], want[1], 1e-14);
  double tri[3], normal[3];
  s1422(s.get(), 1, -1, 0, uv, &l1, &l2, tri, normal, &status);
  EXPECT_NEAR(tri[1], 4.0, 1e-14);
}

TEST(SurfaceEvaluation, NormalStatus) {
  // S(u, v) = (u + v cos a, v sin a, 0) has first derivatives at angle a.
  auto plane = [](double a) {
    std::vector<double> v{0, 0, 0, 1, 0, 0, std::cos(a), std::sin(a), 0, 1 + std::cos(a), std::sin(a), 0};
    return make_surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, v, 1, 3);
  };
  const double uv[] = {0.5, 0.5};
  double der[9], normal[3];
  int l1 = 0, l2 = 0, status = -1;
  auto s = plane(M_PI / 2);
  s1421(s.get(), 1, uv, &l1, &l2, der, normal, &status);
  EXPECT_EQ(status, 0);
  EXPECT_DOUBLE_EQ(normal[2], 1.0);
  s = plane(std::asin(0.005));
  s1421(s.get(), 1, uv, &l1, &l2, der, normal, &status);
  EXPECT_EQ(status, 1);
  s = plane(0.0);
  s1421(s.get(), 1, uv, &l1, &l2, der, normal, &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(der[3], 1.0);  // derivatives still written
  double pos[3] = {7, 7, 7};
  normal[0] = 42;
  s1421(s.get(), 0, uv, &l1, &l2, pos, normal, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(normal[0], 42);
  EXPECT_DOUBLE_EQ(pos[0], 1.0);
}

TEST(SurfaceEvaluation, ErrorChecks) {
  auto s = make_surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, {0, 1, 2, 3}, 1, 1);
  double out[16];
  int l1 = 0, l2 = 0, status = 0;
  const double uv[] = {0.5, 0.5};
  testing::internal::CaptureStderr();
  s1424(s.get(), -1, 0, uv, &l1, &l2, out, &status);
  EXPECT_EQ(status, -178);
  s->order2 = 0;
  s1421(s.get(), 1, uv, &l1, &l2, out, out + 8, &status);
  EXPECT_EQ(status, -115);
  s->order2 = 2;
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nError status : -178   Call from routine : s1424   Position : 0\n"
            "\nError status : -115   Call from routine : s1421   Position : 0\n");
}

TEST(RationalDerivatives, TriangularAndGridAgree) {
  // Homogeneous data of a random rational patch point: compare the two layouts.
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-2, 2);
  const int dim = 2, d = 2;
  std::vector<double> grid_h((d + 1) * (d + 1) * (dim + 1));
  for (auto& x : grid_h) x = u(rng);
  grid_h[dim] = 1.7;
  std::vector<double> tri_h((d + 1) * (d + 2) / 2 * (dim + 1));
  for (int t = 0; t <= d; ++t)
    for (int j = 0; j <= t; ++j)
      for (int m = 0; m <= dim; ++m)
        tri_h[(t * (t + 1) / 2 + j) * (dim + 1) + m] = grid_h[(j * (d + 1) + t - j) * (dim + 1) + m];
  std::vector<double> grid((d + 1) * (d + 1) * dim), tri((d + 1) * (d + 2) / 2 * dim);
  int status = -1;
  s6ratder_surf(grid_h.data(), dim, d, d, grid.data(), &status);
  EXPECT_EQ(status, 0);
  s6strider(tri_h.data(), dim, d, tri.data(), &status);
  EXPECT_EQ(status, 0);
  for (int t = 0; t <= d; ++t)
    for (int j = 0; j <= t; ++j)
      for (int m = 0; m < dim; ++m)
        EXPECT_NEAR(tri[(t * (t + 1) / 2 + j) * dim + m], grid[(j * (d + 1) + t - j) * dim + m], 1e-14);
}

TEST(DegenerateNormal, ApexAndVEdgeCases) {
  // A cone-like patch: S(u, v) = u (cos v, sin v, 1) on [0,1] x [0,1] has Sv = 0 at u = 0.
  // It is approximated here by its own derivative block, as s6degnorm only reads that.
  std::vector<double> t{0, 0, 1, 1};
  auto s = make_surface(t, t, 2, 2, std::vector<double>(12, 0.0), 1, 3);
  double der[27] = {0};
  const double su[] = {1, 0, 1}, suv[] = {0, 1, 0};
  for (int m = 0; m < 3; ++m) {
    der[3 * 1 + m] = su[m];
    der[3 * 4 + m] = suv[m];
  }
  double t1[3], t2[3], n[3];
  int status = -1;
  const double apex[] = {0.0, 0.5};
  s6degnorm(s.get(), 2, apex, der, t1, t2, n, &status);
  EXPECT_EQ(status, 0);
  double want[3];
  vec_cross(su, suv, want);  // du = +1 at the start of u
  const double len = std::sqrt(vec_dot(want, want, 3));
  for (int m = 0; m < 3; ++m) EXPECT_NEAR(n[m], want[m] / len, 1e-15);

  // Sv = 0 along the edge v = 1 (the end: dv = -1), Su and Svv non-zero, Suv zero.
  double der2[27] = {0};
  const double svv[] = {0, 2, 0};
  for (int m = 0; m < 3; ++m) {
    der2[3 * 1 + m] = su[m];
    der2[3 * 6 + m] = svv[m];
  }
  const double edge[] = {0.5, 1.0};
  s6degnorm(s.get(), 2, edge, der2, t1, t2, n, &status);
  EXPECT_EQ(status, 0);
  vec_cross(su, svv, want);
  const double l2 = std::sqrt(vec_dot(want, want, 3));
  for (int m = 0; m < 3; ++m) EXPECT_NEAR(n[m], -want[m] / l2, 1e-15);

  // An inner point is refused.
  const double inner[] = {0.5, 0.5};
  testing::internal::CaptureStderr();
  s6degnorm(s.get(), 2, inner, der2, t1, t2, n, &status);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, -101);
}

TEST(Bezier, SubdivideAndSegmentImage) {
  const double c[] = {0, 1, 1, 0};
  double r[8];
  int status = 0;
  bezier_subdivide(c, 0, 1, 0.5, 4, r, &status);
  EXPECT_EQ(status, 1);
  const double want[] = {0, 0.5, 0.75, 0.75, 0.75, 0.75, 0.5, 0};
  for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(r[i], want[i]);
  testing::internal::CaptureStderr();
  bezier_subdivide(c, 1, 1, 0.5, 4, r, &status);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, -109);

  std::vector<double> t1{0, 0, 3, 3}, t2{0, 0, 1, 1};
  auto s = make_surface(t1, t2, 2, 2, {0, 0, 0, 3, 0, 0, 0, 1, 0, 3, 1, 0}, 1, 3);
  const double a[] = {0, 0}, b[] = {3, 0};
  double coefs[12];
  surf_segment_bezier(s.get(), a, b, 3, coefs, &status);
  EXPECT_EQ(status, 0);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(coefs[3 * i], i, 1e-14);
}

}  // namespace

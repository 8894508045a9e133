#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/detail/isect/implicit_forms.h"
#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

// A random bicubic patch over [0, 1]^2 with a knot at 0.5 in the first direction.
SurfaceHandle random_patch(std::mt19937& rng, bool rational) {
  std::uniform_real_distribution<double> c(-2, 2), w(0.5, 2.0);
  const int n1 = 5, n2 = 4;
  std::vector<double> v;
  for (int i = 0; i < n1 * n2; ++i) {
    const double wt = rational ? w(rng) : 1.0;
    for (int m = 0; m < 3; ++m) v.push_back(c(rng) * wt);
    if (rational) v.push_back(wt);
  }
  return surface({0, 0, 0, 0, 0.5, 1, 1, 1, 1}, {0, 0, 0, 0, 1, 1, 1, 1}, 4, 4, v,
                 rational ? 2 : 1, 3);
}

// Values (all coordinates) of a surface at (u, v), and the weight of a rational one.
std::vector<double> values_at(const spline_surface* s, double u, double v) {
  return eval_surface(s, u, v);
}

double weight_at(const spline_surface* s, double u, double v) {
  // The weight function: the surface with the homogeneous vertices read as dimension 4.
  const int n = s->vertex_count1 * s->vertex_count2;
  std::vector<double> w(n);
  for (int i = 0; i < n; ++i) w[i] = s->hom_coefs[i * 4 + 3];
  std::vector<double> k1(s->knots1, s->knots1 + s->vertex_count1 + s->order1);
  std::vector<double> k2(s->knots2, s->knots2 + s->vertex_count2 + s->order2);
  auto ws = surface(k1, k2, s->order1, s->order2, w, 1, 1);
  return eval_surface(ws.get(), u, v)[0];
}

TEST(ImplicitForms, SphereAndCylinderMatrices) {
  const double c[2] = {1, 2};
  double* m = nullptr;
  int status = -7;
  s1321(c, 1.0, 2, 1, &m, &status);
  ASSERT_EQ(status, 0);
  const double want[9] = {1, 0, -1, 0, 1, -2, -1, -2, 4};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(m[i], want[i]);
  std::free(m);
  isect_test::ReportLog log;
  const double p[3] = {0, 0, 0}, zero[3] = {0, 0, 0};
  s1322(p, zero, 1.0, 3, 1, &m, &status);
  EXPECT_EQ(status, -173);
  EXPECT_TRUE(log.named("s1322"));
}

TEST(ImplicitForms, KnotsOfTheDegreeFourComposition) {
  const double t[8] = {0, 0, 0, 0, 1, 1, 1, 1};
  double* knots = nullptr;
  int count = 0, order = 0, status = -7;
  s1376(t, 4, 4, &knots, &count, &order, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(order, 13);
  EXPECT_EQ(count, 13);
  for (int i = 0; i < 26; ++i) EXPECT_EQ(knots[i], i < 13 ? 0.0 : 1.0);
  std::free(knots);
}

TEST(ImplicitForms, QuadricCompositionsMatchDirectFormulas) {
  std::mt19937 rng(21);
  std::uniform_real_distribution<double> par(0, 1);
  const double centre[3] = {0.3, -0.2, 0.5}, r = 1.3;
  const double ap[3] = {0.1, 0.2, -0.3}, ad[3] = {1, 2, 2};
  double* sphere_m = nullptr;
  double* cyl_m = nullptr;
  int status = 0;
  s1321(centre, r, 3, 1, &sphere_m, &status);
  s1322(ap, ad, r, 3, 1, &cyl_m, &status);
  std::vector<double> both(sphere_m, sphere_m + 16);
  both.insert(both.end(), cyl_m, cyl_m + 16);
  const double a[3] = {1.0 / 3, 2.0 / 3, 2.0 / 3};
  for (bool rational : {false, true}) {
    auto s = random_patch(rng, rational);
    spline_surface* composed = nullptr;
    s1320(s.get(), both.data(), 2, 1, &composed, &status);
    ASSERT_EQ(status, 0);
    SurfaceHandle holder(composed);
    ASSERT_EQ(composed->dim, 2);
    for (int i = 0; i < 1000; ++i) {
      const double u = par(rng), v = par(rng);
      const auto p = values_at(s.get(), u, v);
      const auto got = values_at(composed, u, v);
      double d2 = 0, h = 0, w2 = 0;
      for (int m = 0; m < 3; ++m) {
        d2 += (p[m] - centre[m]) * (p[m] - centre[m]);
        h += (p[m] - ap[m]) * a[m];
        w2 += (p[m] - ap[m]) * (p[m] - ap[m]);
      }
      const double sphere_f = d2 - r * r;
      const double cyl_f = w2 - h * h - r * r;
      EXPECT_NEAR(got[0], sphere_f, 1e-10 * (1 + std::fabs(sphere_f))) << rational;
      EXPECT_NEAR(got[1], cyl_f, 1e-10 * (1 + std::fabs(cyl_f))) << rational;
    }
  }
  std::free(sphere_m);
  std::free(cyl_m);
}

TEST(ImplicitForms, CurveCompositionMatchesTheCircleEquation) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> par(0, 4);
  const double c[2] = {0.5, -1}, r = 2;
  double* m = nullptr;
  int status = 0;
  s1321(c, r, 2, 1, &m, &status);
  auto circ = circle(0.2, 0.1, 1.5);
  spline_curve* composed = nullptr;
  s1370(circ.get(), m, 2, 1, 1, &composed, &status);
  ASSERT_EQ(status, 0);
  CurveHandle holder(composed);
  for (int i = 0; i < 1000; ++i) {
    const double t = par(rng);
    const auto p = eval_curve(circ.get(), t);
    const double f = (p[0] - c[0]) * (p[0] - c[0]) + (p[1] - c[1]) * (p[1] - c[1]) - r * r;
    EXPECT_NEAR(eval_curve(composed, t)[0], f, 1e-10 * (1 + std::fabs(f)));
  }
  std::free(m);
}

TEST(ImplicitForms, PlaneDistanceSurface) {
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> par(0, 1);
  auto s = random_patch(rng, false);
  const double p[3] = {0.1, 0.4, -0.2}, n[3] = {0.3, -0.5, 0.8};
  spline_surface* d = nullptr;
  int status = 0;
  s1329(s.get(), p, n, 3, &d, &status);
  ASSERT_EQ(status, 0);
  SurfaceHandle holder(d);
  for (int i = 0; i < 1000; ++i) {
    const double u = par(rng), v = par(rng);
    const auto x = values_at(s.get(), u, v);
    double f = 0;
    for (int m = 0; m < 3; ++m) f += (x[m] - p[m]) * n[m];
    EXPECT_NEAR(values_at(d, u, v)[0], f, 1e-12 * (1 + std::fabs(f)));
  }
  // A rational surface: the values carry the (scaled) weight, a positive factor.
  auto rs = random_patch(rng, true);
  s1329(rs.get(), p, n, 3, &d, &status);
  ASSERT_EQ(status, 0);
  SurfaceHandle rholder(d);
  for (int i = 0; i < 200; ++i) {
    const double u = par(rng), v = par(rng);
    const auto x = values_at(rs.get(), u, v);
    double f = 0;
    for (int m = 0; m < 3; ++m) f += (x[m] - p[m]) * n[m];
    const double ratio = values_at(d, u, v)[0] / (weight_at(rs.get(), u, v) * f);
    if (std::fabs(f) > 1e-6) {
      EXPECT_GT(ratio, 0.0);
    }
  }
}

TEST(ImplicitForms, NonPositiveWeightsAreRejected) {
  isect_test::ReportLog log;
  std::mt19937 rng(6);
  auto s = random_patch(rng, true);
  s->hom_coefs[3] = 0.0;  // one weight zero
  const double p[3] = {0, 0, 0}, n[3] = {0, 0, 1};
  spline_surface* d = nullptr;
  int status = 0;
  s1329(s.get(), p, n, 3, &d, &status);
  EXPECT_EQ(status, kErrNonPositiveWeight);
  double* m = nullptr;
  const double c[3] = {0, 0, 0};
  s1321(c, 1.0, 3, 1, &m, &status);
  s1320(s.get(), m, 1, 1, &d, &status);
  EXPECT_EQ(status, kErrNonPositiveWeight);
  std::free(m);
  EXPECT_TRUE(log.named("s1320"));
}

TEST(ImplicitForms, TorusCompositionIsTheTorusPolynomial) {
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> par(0, 1);
  const double coefs[8] = {0.2, -0.1, 0.3, 0.0, 0.6, 0.8, 1.5, 0.4};
  for (bool rational : {false, true}) {
    auto s = random_patch(rng, rational);
    spline_surface* t = nullptr;
    int status = 0;
    s1378(s.get(), coefs, 1001, 3, &t, &status);
    ASSERT_EQ(status, 0);
    SurfaceHandle holder(t);
    for (int i = 0; i < 1000; ++i) {
      const double u = par(rng), v = par(rng);
      const auto x = values_at(s.get(), u, v);
      double q[3], e = 0, h = 0;
      for (int m = 0; m < 3; ++m) {
        q[m] = x[m] - coefs[m];
        e += q[m] * q[m];
        h += q[m] * coefs[3 + m];
      }
      const double g = e - h * h;
      const double big = coefs[6], small = coefs[7];
      double f = (e + big * big - small * small) * (e + big * big - small * small) -
                 4 * big * big * g;
      if (rational) {
        const double w = weight_at(s.get(), u, v);
        f *= w * w * w * w;
      }
      EXPECT_NEAR(values_at(t, u, v)[0], f, 1e-10 * (1 + std::fabs(f))) << rational;
    }
  }
}

TEST(ImplicitForms, EvaluationDerivativesAgreeWithCentralDifferences) {
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> par(0.1, 0.9);
  auto s = random_patch(rng, false);
  double sphere[16];
  {
    double* m = nullptr;
    int st = 0;
    const double c[3] = {0.2, 0.1, -0.3};
    s1321(c, 1.1, 3, 1, &m, &st);
    for (int i = 0; i < 16; ++i) sphere[i] = m[i];
    std::free(m);
  }
  const double plane[4] = {0.3, -0.4, 0.5, 0.7};
  const double torus[8] = {0.1, 0.2, -0.1, 0.0, 0.6, 0.8, 1.2, 0.3};
  const double view[3] = {0.2, 0.5, -0.8};
  const double eye[3] = {3, -2, 5};
  const double axis[6] = {0.5, 0.5, 0, 0, 0.6, 0.8};
  struct Case {
    int type;
    const double* coefs;
  };
  const Case cases[] = {{1, plane},  {2, sphere}, {1001, torus},
                        {1003, view}, {1004, eye}, {1005, axis}};
  // The equations written out directly from the surface point and its tangents.
  auto direct = [&](int type, const double* c, double u, double v) {
    double blk[30], nrm[3];
    const double uv[2] = {u, v};
    int l1 = 0, l2 = 0, st = 0;
    s1421(s.get(), 1, uv, &l1, &l2, blk, nrm, &st);
    const double* p = blk;
    const double* su = blk + 3;
    const double* sv = blk + 6;
    double n[3] = {su[1] * sv[2] - su[2] * sv[1], su[2] * sv[0] - su[0] * sv[2],
                   su[0] * sv[1] - su[1] * sv[0]};
    switch (type) {
      case 1: return c[0] * p[0] + c[1] * p[1] + c[2] * p[2] + c[3];
      case 2: {
        const double x[4] = {p[0], p[1], p[2], 1};
        double f = 0;
        for (int i = 0; i < 4; ++i)
          for (int j = 0; j < 4; ++j) f += x[i] * c[i * 4 + j] * x[j];
        return f;
      }
      case 1001: {
        double w[3], q[3], hq = 0;
        for (int m = 0; m < 3; ++m) w[m] = p[m] - c[m];
        for (int m = 0; m < 3; ++m) hq += w[m] * c[3 + m];
        double len = 0;
        for (int m = 0; m < 3; ++m) {
          q[m] = w[m] - hq * c[3 + m];
          len += q[m] * q[m];
        }
        len = std::sqrt(len);
        double f = 0;
        for (int m = 0; m < 3; ++m) f += std::pow(w[m] - c[6] * q[m] / len, 2);
        return f - c[7] * c[7];
      }
      case 1003: return n[0] * c[0] + n[1] * c[1] + n[2] * c[2];
      case 1004: return n[0] * (p[0] - c[0]) + n[1] * (p[1] - c[1]) + n[2] * (p[2] - c[2]);
      default: {
        double g[3] = {p[0] - c[0], p[1] - c[1], p[2] - c[2]};
        double x[3] = {n[1] * g[2] - n[2] * g[1], n[2] * g[0] - n[0] * g[2],
                       n[0] * g[1] - n[1] * g[0]};
        return x[0] * c[3] + x[1] * c[4] + x[2] * c[5];
      }
    }
  };
  const double h = 1e-4;
  for (const auto& cs : cases) {
    for (int trial = 0; trial < 20; ++trial) {
      const double u = par(rng), v = par(rng);
      double blk[33], nrm[3];
      const double uv[2] = {u, v};
      int l1 = 0, l2 = 0, st = 0;
      s1421(s.get(), 3, uv, &l1, &l2, blk, nrm, &st);
      double values[6], dir[3];
      s1331(blk, cs.coefs, cs.type, 2, values, dir, &st);
      ASSERT_EQ(st, 0);
      const double f0 = direct(cs.type, cs.coefs, u, v);
      const double h1 = h / 10;  // first differences: smaller step, O(h^2) error
      const double fu = (direct(cs.type, cs.coefs, u + h1, v) - direct(cs.type, cs.coefs, u - h1, v)) / (2 * h1);
      const double fv = (direct(cs.type, cs.coefs, u, v + h1) - direct(cs.type, cs.coefs, u, v - h1)) / (2 * h1);
      const double fuu = (direct(cs.type, cs.coefs, u + h, v) - 2 * f0 + direct(cs.type, cs.coefs, u - h, v)) / (h * h);
      const double fvv = (direct(cs.type, cs.coefs, u, v + h) - 2 * f0 + direct(cs.type, cs.coefs, u, v - h)) / (h * h);
      const double fuv = (direct(cs.type, cs.coefs, u + h, v + h) - direct(cs.type, cs.coefs, u + h, v - h) -
                          direct(cs.type, cs.coefs, u - h, v + h) + direct(cs.type, cs.coefs, u - h, v - h)) /
                         (4 * h * h);
      const double scale = 1 + std::fabs(f0) + std::fabs(fu) + std::fabs(fv);
      EXPECT_NEAR(values[0], f0, 1e-12 * scale) << cs.type;
      EXPECT_NEAR(values[1], fu, 1e-6 * scale) << cs.type;
      EXPECT_NEAR(values[2], fv, 1e-6 * scale) << cs.type;
      const double scale2 = scale + std::fabs(fuu) + std::fabs(fvv) + std::fabs(fuv);
      EXPECT_NEAR(values[3], fuu, 1e-4 * scale2) << cs.type;
      EXPECT_NEAR(values[4], fuv, 1e-4 * scale2) << cs.type;
      EXPECT_NEAR(values[5], fvv, 1e-4 * scale2) << cs.type;
      // Order 0 for a silhouette still gives the first derivatives.
      if (cs.type >= 1003) {
        double v0[6], d0[3];
        s1331(blk, cs.coefs, cs.type, 0, v0, d0, &st);
        EXPECT_EQ(v0[1], values[1]);
        EXPECT_EQ(v0[2], values[2]);
      }
    }
  }
}

}  // namespace

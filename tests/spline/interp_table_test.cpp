// Interpolation through 4 to 5,000 points, orders 2 to 6, open, closed and periodic, at
// chord-length and uniform parameters: the curve passes through its points and its ends
// meet as the open flag says.  The periodic collocation solve is checked against the
// dense system assembled from the B-spline definition.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/edit_testutil.h"
#include "spline/reference_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

// A wall-like closed contour of n points (no point repeated), jittered.
std::vector<double> contour(int n, int dim, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-1.0, 1.0);
  std::vector<double> p;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * (i + 0.3 * jitter(rng)) / n;
    const double r = 100 + 10 * std::sin(3 * a) + 2 * jitter(rng);
    p.push_back(250 + r * std::cos(a));
    p.push_back(240 + r * std::sin(a));
    if (dim == 3) p.push_back(20 * std::sin(a) + jitter(rng));
  }
  return p;
}

// Derivatives 0 .. d at x, from the left or the right.
std::vector<double> derivs(const spline_curve* c, int d, double x, bool left) {
  std::vector<double> out(static_cast<size_t>(d + 1) * c->dim);
  int l = 0, st = 0;
  if (left)
    S1227(c, d, x, &l, out.data(), &st);
  else
    s1221(c, d, x, &l, out.data(), &st);
  return out;
}

struct Case {
  int n, order, open_flag;
  bool uniform;
};

TEST(InterpolationTable, PassesThroughItsPointsAndClosesAsAsked) {
  std::vector<Case> cases;
  for (int n : {4, 5, 7, 12, 61, 400, 5000})
    for (int order = 2; order <= 6; ++order)
      for (int open_flag : {1, 0, -1})
        for (bool uniform : {false, true}) cases.push_back({n, order, open_flag, uniform});
  for (const Case& cs : cases) {
    SCOPED_TRACE(testing::Message() << "n " << cs.n << " order " << cs.order << " open "
                                    << cs.open_flag << (cs.uniform ? " uniform" : " chord length"));
    const int dim = cs.n % 2 ? 3 : 2;
    const auto pts = contour(cs.n, dim, 7 * cs.n + cs.order);
    std::vector<int> types(cs.n, 1);
    spline_curve* c = nullptr;
    double end = 0, *par = nullptr;
    int np = 0, status = -1;
    // Uniform parameters: one per point, and the closing value for a closed curve.
    std::vector<double> given(cs.n + 1);
    for (int i = 0; i <= cs.n; ++i) given[i] = i;
    if (cs.uniform)
      s1357(pts.data(), cs.n, dim, types.data(), given.data(), 0, 0, cs.open_flag, cs.order, 0.0,
            &end, &c, &par, &np, &status);
    else
      s1356(pts.data(), cs.n, dim, types.data(), 0, 0, cs.open_flag, cs.order, 0.0, &end, &c,
            &par, &np, &status);
    ASSERT_EQ(status, 0);
    auto curve = own(c);
    const std::vector<double> params(par, par + np);
    std::free(par);
    // A closed curve may also list the parameter where it comes back to its first point.
    ASSERT_GE(np, cs.n);
    ASSERT_LE(np, cs.n + (cs.open_flag == 1 ? 0 : 1));
    EXPECT_EQ(curve->open_flag, cs.open_flag);
    double scale = 0;
    for (double v : pts) scale = std::max(scale, std::fabs(v));
    const int k = curve->order, nv = curve->vertex_count;
    const double a = curve->knots[k - 1], b = curve->knots[nv];
    double worst = 0;
    for (int i = 0; i < cs.n; ++i) {
      // A periodic curve's range need not start at the first parameter: it repeats with
      // its period.
      double x = params[i];
      while (cs.open_flag == -1 && x < a) x += b - a;
      while (cs.open_flag == -1 && x >= b) x -= b - a;
      const auto p = at(curve.get(), x);
      for (int m = 0; m < dim; ++m) worst = std::max(worst, std::fabs(p[m] - pts[i * dim + m]));
    }
    EXPECT_LE(worst, 1e-10 * scale);
    if (cs.open_flag == 0) {
      // Closed: the end is the first point again (only a C0 seam).
      const auto e = derivs(curve.get(), 0, b, true);
      for (int m = 0; m < dim; ++m) EXPECT_NEAR(e[m], pts[m], 1e-10 * scale);
    } else if (cs.open_flag == -1) {
      // Periodic: derivatives 0 .. k - 2 agree at both ends and the last k - 1 vertices
      // repeat the first, k being the order solved with (fewer points than the order are
      // solved with their count, then raised).
      const int solved = std::min(k, cs.n);
      const auto s = derivs(curve.get(), solved - 2, a, false), e = derivs(curve.get(), solved - 2, b, true);
      for (size_t j = 0; j < s.size(); ++j)
        EXPECT_NEAR(s[j], e[j], 1e-9 * std::max(1.0, std::fabs(s[j]))) << "derivative value " << j;
      for (int j = 0; j < (k - 1) * dim && solved == k; ++j)
        EXPECT_NEAR(curve->coefs[(nv - k + 1) * dim + j], curve->coefs[j], 1e-12 * scale);
    }
  }
}

// The periodic collocation system solved in the band equals the dense solve of the
// system built from the definition: row i holds the der[i]-th derivatives of the
// B-splines at par[i] (moved into the period), column j gathering B-splines j, j + n, ...
// Conditions include first and second derivatives next to positions, at uniform,
// jittered and very uneven parameters, so that the elimination without row exchanges
// gives way to the one with them; orders up to 9 (past the largest solved as a cyclic
// band), dimensions 1 to 3 and one or two blocks of right-hand sides.
TEST(InterpolationTable, PeriodicSolveEqualsTheDenseSystem) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int n : {3, 4, 6, 9, 25, 160, 400})
    for (int k = 2; k <= 9; ++k)
      for (int variant = 0; variant < 4; ++variant) {
        if (n < k) continue;
        const int dim = 1 + (n + k + variant) % 3, nrhs = 1 + variant % 2, width = dim * nrhs;
        SCOPED_TRACE(testing::Message() << "n " << n << " order " << k << " variant " << variant
                                        << " dim " << dim << " blocks " << nrhs);
        std::vector<double> par(n + 1);
        for (int i = 0; i <= n; ++i) par[i] = variant == 0 ? i : i + 0.45 * unit(rng);
        if (variant == 3)  // steps of 1 and 1/25 in turn
          for (int i = 1; i <= n; ++i) par[i] = par[i - 1] + (i % 2 ? 1.0 : 0.04);
        par[n] = (variant == 3 ? par[n - 1] + 0.5 : n + par[0]);
        std::vector<int> der(n, 0);
        if (variant == 2)
          for (int i = 1; i + 1 < n; i += 4) der[i] = std::min(k - 1, 1 + (i / 4) % 2);
        double* knots = nullptr;
        int status = -1;
        s1902(par.data(), n, k, 0, &knots, &status);
        if (status < 0) {
          std::free(knots);
          continue;
        }
        const int nv = n + k - 1;
        const std::vector<double> t(knots, knots + nv + k);
        std::free(knots);
        std::vector<double> rhs(static_cast<size_t>(n) * width);
        for (double& v : rhs) v = 100 * unit(rng) - 50;
        double* verts = nullptr;
        int count = 0;
        s1891(par.data(), rhs.data(), dim, n, nrhs, der.data(), 0, t.data(), &verts, &count, k,
              k / 2, k - k / 2 - 1, &status);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(count, nv);
        const std::vector<double> got(verts, verts + static_cast<size_t>(nv) * width);
        std::free(verts);
        const double T = t[nv] - t[k - 1];
        std::vector<double> a(n * n, 0.0);
        for (int i = 0; i < n; ++i) {
          double x = par[i];
          while (x < t[k - 1]) x += T;
          while (x >= t[nv]) x -= T;
          const int l = ref::interval(t, k, nv, x, false);
          for (int j = l - k + 1; j <= l; ++j) a[i * n + j % n] += ref::basis(t, j, k, l, x, der[i]);
        }
        // Block r of the right-hand sides as columns r * dim .. of the dense system.
        std::vector<double> x(rhs.size());
        for (int r = 0; r < nrhs; ++r)
          for (int i = 0; i < n; ++i)
            for (int m = 0; m < dim; ++m)
              x[static_cast<size_t>(i) * width + r * dim + m] = rhs[(static_cast<size_t>(r) * n + i) * dim + m];
        ref::dense_solve(a, n, x, width);
        double scale = 0;
        for (double v : x) scale = std::max(scale, std::fabs(v));
        for (int r = 0; r < nrhs; ++r)
          for (int j = 0; j < nv; ++j)
            for (int m = 0; m < dim; ++m)
              EXPECT_NEAR(got[(static_cast<size_t>(r) * nv + j) * dim + m],
                          x[static_cast<size_t>(j % n) * width + r * dim + m], 1e-12 * scale)
                  << "block " << r << " vertex " << j;
      }
}

}  // namespace

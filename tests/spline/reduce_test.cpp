#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spline/catheter_testutil.h"
#include "spline/edit_testutil.h"
#include "spline/reference_testutil.h"
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

// Collocation matrix (rows: sites, n columns) of the B-splines of knots t, order k.
std::vector<double> collocation(const std::vector<double>& t, int k, int n, const std::vector<double>& x) {
  std::vector<double> b(x.size() * n, 0.0);
  for (size_t r = 0; r < x.size(); ++r) {
    const int l = ref::interval(t, k, n, x[r], false);
    for (int j = l - k + 1; j <= l; ++j) b[r * n + j] = ref::basis(t, j, k, l, x[r], 0);
  }
  return b;
}

// The reduced curve is the least-squares fit of the input on the reduced knots, as a
// dense solve rebuilds it from the definitions: the reduced B-splines re-expressed on the
// input knots (collocation at the input's Greville abscissae), the weighted normal
// equations sum w_i (A_i q - P_i)^2 with w_i = (t[i+k] - t[i]) / k, the end vertices
// fixed to the input's end points.  The banded solve must give the same vertices and
// the same maximal errors.
TEST(DataReduction, ResultIsTheDenseLeastSquaresFitOnItsKnots) {
  struct Case {
    const char* name;
    CurvePtr curve;
  };
  Case cases[] = {{"interpolated path", path(300, 0.2)}, {"marched helix", own(catheter_test::marched_helix(300))}};
  for (auto& cs : cases) {
    SCOPED_TRACE(cs.name);
    const spline_curve* c = cs.curve.get();
    ASSERT_TRUE(c);
    const double tol[] = {0.9, 0.9, 0.9};
    spline_curve* r = nullptr;
    double err[3];
    int status = -1;
    s1940(c, tol, 1, 1, 1, 150, &r, err, &status);
    ASSERT_EQ(status, 0);
    auto pr = own(r);
    const int k = c->order, n = c->vertex_count, N = pr->vertex_count, dim = 3;
    ASSERT_LT(N, n / 4);
    const std::vector<double> t(c->knots, c->knots + n + k), tau(pr->knots, pr->knots + N + k);
    std::vector<double> sites(n);
    for (int i = 0; i < n; ++i) {
      for (int j = 1; j < k; ++j) sites[i] += t[i + j];
      sites[i] /= k - 1;
    }
    // A = Bt^-1 Btau: row i expresses input vertex i through the reduced vertices.
    std::vector<double> A = collocation(tau, k, N, sites);
    ref::dense_solve(collocation(t, k, n, sites), n, A, N);
    const std::vector<double> P(c->coefs, c->coefs + n * dim);
    std::vector<double> q(N * dim, 0.0);
    for (int m = 0; m < dim; ++m) {
      q[m] = P[m];
      q[(N - 1) * dim + m] = P[(n - 1) * dim + m];
    }
    const int F = N - 2;
    std::vector<double> M(F * F, 0.0), rhs(F * dim, 0.0);
    for (int i = 0; i < n; ++i) {
      const double w = (t[i + k] - t[i]) / k;
      const double* a = &A[i * N];
      double target[3];
      for (int m = 0; m < dim; ++m)
        target[m] = P[i * dim + m] - a[0] * q[m] - a[N - 1] * q[(N - 1) * dim + m];
      for (int j1 = 1; j1 < N - 1; ++j1) {
        if (a[j1] == 0.0) continue;
        for (int j2 = 1; j2 < N - 1; ++j2) M[(j1 - 1) * F + j2 - 1] += w * a[j1] * a[j2];
        for (int m = 0; m < dim; ++m) rhs[(j1 - 1) * dim + m] += w * a[j1] * target[m];
      }
    }
    ref::dense_solve(M, F, rhs, dim);
    for (int j = 0; j < F; ++j)
      for (int m = 0; m < dim; ++m) q[(j + 1) * dim + m] = rhs[j * dim + m];
    double scale = 0.0;
    for (double v : P) scale = std::max(scale, std::fabs(v));
    for (int j = 0; j < N * dim; ++j) EXPECT_NEAR(pr->coefs[j], q[j], 1e-10 * scale) << "vertex value " << j;
    double dense_err[3] = {0, 0, 0};
    for (int i = 0; i < n; ++i)
      for (int m = 0; m < dim; ++m) {
        double v = 0.0;
        for (int j = 0; j < N; ++j) v += A[i * N + j] * q[j * dim + m];
        dense_err[m] = std::max(dense_err[m], std::fabs(v - P[i * dim + m]));
      }
    for (int m = 0; m < dim; ++m) EXPECT_NEAR(err[m], dense_err[m], 1e-10 * scale);
  }
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

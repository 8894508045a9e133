// Builders of closed-form test objects for the local iterations: polynomial curves and
// surfaces from power-basis coefficients (control points by blossoming), lines, rational
// circles and a rational sphere.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "spline/handles.h"
#include "spline/curve_eval.h"
#include "spline/detail/isect/newton.h"
#include "spline/records.h"
#include "spline/surface_eval.h"

namespace newton_test {

using PointPtr = std::unique_ptr<spline_point, decltype(&destroy_point)>;

inline CurveHandle curve(std::vector<double> knots, int k, std::vector<double> verts, int kind,
                      int dim) {
  const int n = static_cast<int>(knots.size()) - k;
  return CurveHandle(create_curve(n, k, knots.data(), verts.data(), kind, dim, 1));
}

inline SurfaceHandle surface(std::vector<double> k1v, std::vector<double> k2v, int k1, int k2,
                          std::vector<double> verts, int kind, int dim) {
  const int n1 = static_cast<int>(k1v.size()) - k1;
  const int n2 = static_cast<int>(k2v.size()) - k2;
  return SurfaceHandle(create_surface(n1, n2, k1, k2, k1v.data(), k2v.data(), verts.data(), kind,
                                   dim, 1));
}

inline PointPtr point(std::vector<double> coords) {
  return PointPtr(create_point(coords.data(), static_cast<int>(coords.size()), 1), destroy_point);
}

// Blossom of the monomial t^p of degree d at the d arguments: the elementary symmetric
// polynomial e_p(args) over binomial(d, p).
inline double monomial_blossom(int p, const double* args, int d) {
  std::vector<double> e(d + 1, 0.0);
  e[0] = 1.0;
  for (int i = 0; i < d; ++i)
    for (int j = i + 1; j >= 1; --j) e[j] += e[j - 1] * args[i];
  double binom = 1.0;
  for (int i = 0; i < p; ++i) binom = binom * (d - i) / (i + 1);
  return e[p] / binom;
}

// B-spline of order k on the knots representing the polynomial sum_p a[p] t^p
// (p < k) in dimension 1.
inline CurveHandle poly_curve_1d(const std::vector<double>& a, const std::vector<double>& knots,
                              int k) {
  const int n = static_cast<int>(knots.size()) - k;
  std::vector<double> c(n, 0.0);
  for (int i = 0; i < n; ++i)
    for (int p = 0; p < static_cast<int>(a.size()); ++p)
      c[i] += a[p] * monomial_blossom(p, &knots[i + 1], k - 1);
  return curve(knots, k, c, 1, 1);
}

// The same for a curve of dimension dim: coefficient p of coordinate m at a[m][p].
inline CurveHandle poly_curve(const std::vector<std::vector<double>>& a,
                           const std::vector<double>& knots, int k) {
  const int n = static_cast<int>(knots.size()) - k;
  const int dim = static_cast<int>(a.size());
  std::vector<double> c(n * dim, 0.0);
  for (int i = 0; i < n; ++i)
    for (int m = 0; m < dim; ++m)
      for (int p = 0; p < static_cast<int>(a[m].size()); ++p)
        c[i * dim + m] += a[m][p] * monomial_blossom(p, &knots[i + 1], k - 1);
  return curve(knots, k, c, 1, dim);
}

// Surface of dimension 1 for sum a[p][q] u^p v^q on the given knots and orders.
inline SurfaceHandle poly_surface_1d(const std::vector<std::vector<double>>& a,
                                  const std::vector<double>& t1, const std::vector<double>& t2,
                                  int k1, int k2) {
  const int n1 = static_cast<int>(t1.size()) - k1;
  const int n2 = static_cast<int>(t2.size()) - k2;
  std::vector<double> c(n1 * n2, 0.0);
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i)
      for (int p = 0; p < static_cast<int>(a.size()); ++p)
        for (int q = 0; q < static_cast<int>(a[p].size()); ++q)
          c[j * n1 + i] += a[p][q] * monomial_blossom(p, &t1[i + 1], k1 - 1) *
                           monomial_blossom(q, &t2[j + 1], k2 - 1);
  return surface(t1, t2, k1, k2, c, 1, 1);
}

// Straight segment from a to b over [0, 1].
inline CurveHandle line(std::vector<double> a, const std::vector<double>& b) {
  const int dim = static_cast<int>(a.size());
  a.insert(a.end(), b.begin(), b.end());
  return curve({0, 0, 1, 1}, 2, a, 1, dim);
}

// Full circle of radius r about (cx, cy) as a rational quadratic curve over [0, 4] (one
// quarter per unit), starting at angle 0, counter-clockwise.
inline CurveHandle circle(double cx, double cy, double r) {
  const double w = std::sqrt(0.5);
  const double xy[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0},
                           {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  std::vector<double> v;
  for (int i = 0; i < 9; ++i) {
    const double wi = i % 2 ? w : 1.0;
    v.push_back(wi * (cx + r * xy[i][0]));
    v.push_back(wi * (cy + r * xy[i][1]));
    v.push_back(wi);
  }
  return curve({0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4}, 3, v, 2, 2);
}

// Rational cylinder of radius r about the z axis, z from z0 to z1: first direction the
// full circle over [0, 4] starting at (r, 0), second the height over [0, 1].
inline SurfaceHandle cylinder_z(double r, double z0, double z1) {
  const double w = std::sqrt(0.5);
  const double xy[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0},
                           {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  std::vector<double> v;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 9; ++i) {
      const double wt = i % 2 ? w : 1.0;
      const double p[3] = {r * xy[i][0], r * xy[i][1], j ? z1 : z0};
      for (int m = 0; m < 3; ++m) v.push_back(wt * p[m]);
      v.push_back(wt);
    }
  return surface({0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4}, {0, 0, 1, 1}, 3, 2, v, 2, 3);
}

// The plane z = 0 over [0, 1]^2 as a biquadratic patch with a knot line at 0.5 in both
// directions (vertices at the Greville points, so S(u, v) = (u, v, 0)).
inline SurfaceHandle knotted_plane() {
  const std::vector<double> t = {0, 0, 0, 0.5, 1, 1, 1};
  const double g[4] = {0, 0.25, 0.75, 1};
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      v.push_back(g[i]);
      v.push_back(g[j]);
      v.push_back(0);
    }
  return surface(t, t, 3, 3, v, 1, 3);
}


// Sphere of radius r about c: first direction the full circle of longitude over
// [0, 4], second the half circle of latitude from the south pole to the north pole over
// [0, 2].  The first derivative in the first direction vanishes at both poles.
inline SurfaceHandle sphere(const double c[3], double r) {
  const double w = std::sqrt(0.5);
  const double xy[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0},
                           {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  const double rz[5][2] = {{0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}};
  std::vector<double> v;
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 9; ++i) {
      const double wt = (i % 2 ? w : 1.0) * (j % 2 ? w : 1.0);
      const double p[3] = {c[0] + r * rz[j][0] * xy[i][0], c[1] + r * rz[j][0] * xy[i][1],
                           c[2] + r * rz[j][1]};
      for (int m = 0; m < 3; ++m) v.push_back(wt * p[m]);
      v.push_back(wt);
    }
  return surface({0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4}, {0, 0, 0, 1, 1, 2, 2, 2}, 3, 3, v, 2, 3);
}

inline std::vector<double> eval_curve(const spline_curve* c, double t, int d = 0) {
  std::vector<double> out((d + 1) * c->dim);
  int left = 0, st = 0;
  s1221(c, d, t, &left, out.data(), &st);
  return out;
}

inline std::vector<double> eval_surface(const spline_surface* s, double u, double v) {
  std::vector<double> out(s->dim);
  const double uv[2] = {u, v};
  int l1 = 0, l2 = 0, st = 0;
  s1424(s, 0, 0, uv, &l1, &l2, out.data(), &st);
  return out;
}

inline double dist(const std::vector<double>& a, const std::vector<double>& b) {
  double s = 0.0;
  for (size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(s);
}

// Parameter of the sample nearest to p among count samples of the curve on [a, b] (the
// midpoints of count equal pieces, so never the seam of a closed curve).
inline double nearest_sample(const spline_curve* c, const std::vector<double>& p, double a,
                             double b, int count) {
  double best = a, best_d = 1e300;
  for (int i = 0; i < count; ++i) {
    const double t = a + (b - a) * (i + 0.5) / count;
    const double d = dist(eval_curve(c, t), p);
    if (d < best_d) {
      best_d = d;
      best = t;
    }
  }
  return best;
}

// Parameters of the surface point nearest to p: the best of a dense grid of m x m
// steps, refined by the closest-point iteration to the tolerance tol.
inline std::vector<double> params_of(const spline_surface* s, const std::vector<double>& p,
                                     int m = 60, double tol = 1e-13) {
  const double lo[2] = {s->knots1[s->order1 - 1], s->knots2[s->order2 - 1]};
  const double hi[2] = {s->knots1[s->vertex_count1], s->knots2[s->vertex_count2]};
  double best[2] = {lo[0], lo[1]}, bd = 1e300;
  for (int i = 0; i <= m; ++i)
    for (int j = 0; j <= m; ++j) {
      const double u = lo[0] + (hi[0] - lo[0]) * i / m, v = lo[1] + (hi[1] - lo[1]) * j / m;
      const double d = dist(eval_surface(s, u, v), p);
      if (d < bd) bd = d, best[0] = u, best[1] = v;
    }
  auto pt = point(p);
  double res[2] = {best[0], best[1]};
  int st = 0;
  s1773(pt.get(), s, tol, lo, hi, best, res, &st);
  return {res[0], res[1]};
}

}  // namespace newton_test

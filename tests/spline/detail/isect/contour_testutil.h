// Builders of interpolated and closed test curves shared by the curve intersection
// tests, the reference tests and the benchmarks: chord-length interpolation through
// points, jittered closed contours, the exact rational circle as a closed curve and a
// rational copy of a polynomial curve.
#pragma once

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/interp.h"
#include "spline/records.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace contour_test {

// Curve of the given order through count points of dimension dim, chord-length
// parameters from 0; open_flag 1 gives an open curve, 0 a closed one.  Null when the
// interpolation fails.
inline spline_curve* interpolate_through(const double* pts, int count, int dim, int open_flag,
                                         int order) {
  std::vector<int> types(count, 1);
  double end = 0;
  spline_curve* c = nullptr;
  double* par = nullptr;
  int np = 0, st = 0;
  s1356(pts, count, dim, types.data(), 0, 0, open_flag, order, 0.0, &end, &c, &par, &np, &st);
  std::free(par);
  if (st < 0) {
    destroy_curve(c);
    return nullptr;
  }
  return c;
}

// Closed order-3 contour through n circle points of radius 100 about (250, 240),
// jittered radially by up to 12.
inline spline_curve* random_contour(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> jitter(-12.0, 12.0);
  std::vector<double> pts;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n;
    const double r = 100.0 + jitter(rng);
    pts.push_back(250 + r * std::cos(a));
    pts.push_back(240 + r * std::sin(a));
  }
  return interpolate_through(pts.data(), n, 2, 0, 3);
}

// Exact rational circle of radius r about (cx, cy) marked closed: nine vertices, order
// 3, quarter arcs on [0, 4]; the seam (t = 0 and t = 4) is at angle 0.
inline spline_curve* closed_circle(double cx, double cy, double r) {
  spline_curve* c = newton_test::circle(cx, cy, r).release();
  c->open_flag = 0;
  return c;
}

// The same knots and control polygon with random weights in [0.5, 2]: a rational curve
// near the polynomial one.
inline spline_curve* with_random_weights(const spline_curve* c, std::mt19937& rng) {
  std::uniform_real_distribution<double> weight(0.5, 2.0);
  const int dim = c->dim, n = c->vertex_count;
  std::vector<double> h;
  for (int i = 0; i < n; ++i) {
    const double w = weight(rng);
    for (int j = 0; j < dim; ++j) h.push_back(c->coefs[i * dim + j] * w);
    h.push_back(w);
  }
  return create_curve(n, c->order, c->knots, h.data(), 2, dim, 1);
}

}  // namespace contour_test

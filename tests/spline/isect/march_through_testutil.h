// Closed-form surfaces for the tests of marching through points, of the singular-point
// search and of the edge connection: planes as bilinear patches, a rational cylinder,
// and parameters of a known surface point.
#pragma once

#include <cmath>
#include <vector>

#include "spline/isect/newton.h"
#include "tests/spline/isect/newton_testutil.h"

namespace march_through_test {

using namespace newton_test;

// Parameters of the surface point nearest to p: the best of a dense grid, refined by
// the closest-point iteration.
inline std::vector<double> params_of(const spline_surface* s, const std::vector<double>& p) {
  const double lo[2] = {s->knots1[s->order1 - 1], s->knots2[s->order2 - 1]};
  const double hi[2] = {s->knots1[s->vertex_count1], s->knots2[s->vertex_count2]};
  double best[2] = {lo[0], lo[1]}, bd = 1e300;
  const int m = 60;
  for (int i = 0; i <= m; ++i)
    for (int j = 0; j <= m; ++j) {
      const double u = lo[0] + (hi[0] - lo[0]) * i / m, v = lo[1] + (hi[1] - lo[1]) * j / m;
      const double d = dist(eval_surface(s, u, v), p);
      if (d < bd) bd = d, best[0] = u, best[1] = v;
    }
  auto pt = point(p);
  double res[2] = {best[0], best[1]};
  int st = 0;
  s1773(pt.get(), s, 1e-13, lo, hi, best, res, &st);
  return {res[0], res[1]};
}

// Bilinear patch through four corners (u fastest), parameters [0, 1]^2.
inline SurfacePtr patch(const std::vector<double>& c00, const std::vector<double>& c10,
                        const std::vector<double>& c01, const std::vector<double>& c11) {
  std::vector<double> v;
  for (const auto* c : {&c00, &c10, &c01, &c11}) v.insert(v.end(), c->begin(), c->end());
  return surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, v, 1, 3);
}

// The plane x = h over y in [y0, y1] (first parameter) and z in [z0, z1] (second).
inline SurfacePtr plane_x(double h, double y0, double y1, double z0, double z1) {
  return patch({h, y0, z0}, {h, y1, z0}, {h, y0, z1}, {h, y1, z1});
}

// The plane z = h over x in [x0, x1] (first parameter) and y in [y0, y1] (second).
inline SurfacePtr plane_z(double h, double x0, double x1, double y0, double y1) {
  return patch({x0, y0, h}, {x1, y0, h}, {x0, y1, h}, {x1, y1, h});
}

// Value of a surface of dimension 1.
inline double value_at(const spline_surface* s, double u, double v) {
  return eval_surface(s, u, v)[0];
}

}  // namespace march_through_test

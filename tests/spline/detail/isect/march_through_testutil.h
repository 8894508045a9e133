// Closed-form surfaces for the tests of marching through points, of the singular-point
// search and of the edge connection: planes as bilinear patches, a rational cylinder,
// and parameters of a known surface point.
#pragma once

#include <cmath>
#include <vector>

#include "spline/detail/isect/newton.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace march_through_test {

using namespace newton_test;

// Bilinear patch through four corners (u fastest), parameters [0, 1]^2.
inline SurfaceHandle patch(const std::vector<double>& c00, const std::vector<double>& c10,
                        const std::vector<double>& c01, const std::vector<double>& c11) {
  std::vector<double> v;
  for (const auto* c : {&c00, &c10, &c01, &c11}) v.insert(v.end(), c->begin(), c->end());
  return surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, v, 1, 3);
}

// The plane x = h over y in [y0, y1] (first parameter) and z in [z0, z1] (second).
inline SurfaceHandle plane_x(double h, double y0, double y1, double z0, double z1) {
  return patch({h, y0, z0}, {h, y1, z0}, {h, y0, z1}, {h, y1, z1});
}

// The plane z = h over x in [x0, x1] (first parameter) and y in [y0, y1] (second).
inline SurfaceHandle plane_z(double h, double x0, double x1, double y0, double y1) {
  return patch({x0, y0, h}, {x1, y0, h}, {x0, y1, h}, {x1, y1, h});
}

// Value of a surface of dimension 1.
inline double value_at(const spline_surface* s, double u, double v) {
  return eval_surface(s, u, v)[0];
}

}  // namespace march_through_test

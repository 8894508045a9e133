// A catheter path as the marcher returns it, shared by the data-reduction tests and
// benchmarks: a cubic Hermite curve (every parameter a double knot) through m points of
// the helix x = 200 + 80 cos t, y = -(50 + 30 t), z = 200 + 80 sin t, t in [0, 4 pi].
#pragma once

#include <cmath>
#include <vector>

#include "spline/approx.h"
#include "spline/records.h"

namespace catheter_test {

// 2m vertices; null when the curve cannot be built.
inline spline_curve* marched_helix(int m) {
  std::vector<double> p, d, par;
  for (int j = 0; j < m; ++j) {
    const double t = 4 * M_PI * j / (m - 1);
    p.insert(p.end(), {200 + 80 * std::cos(t), -(50 + 30 * t), 200 + 80 * std::sin(t)});
    d.insert(d.end(), {-80 * std::sin(t), -30, 80 * std::cos(t)});
    par.push_back(t);
  }
  spline_curve* c = nullptr;
  int status = 0;
  s1379(p.data(), d.data(), par.data(), m, 3, &c, &status);
  return status < 0 ? nullptr : c;
}

}  // namespace catheter_test

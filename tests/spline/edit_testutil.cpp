#include "spline/edit_testutil.h"

#include <cmath>

namespace edit_test {

CurvePtr make(std::vector<double> t, int k, std::vector<double> v, int dim, bool rational) {
  const int n = static_cast<int>(t.size()) - k;
  return own(create_curve(n, k, t.data(), v.data(), rational ? 2 : 1, dim, 1));
}

CurvePtr periodic_quadratic() {
  std::vector<double> t{-2, -1, 0, 1, 2, 3, 4, 5, 6};
  std::vector<double> v{1, 0, 0, 1, -1, 0, 0, -1, 1, 0, 0, 1};
  auto c = make(t, 3, v, 2);
  c->open_flag = -1;
  return c;
}

std::vector<double> at(const spline_curve* c, double x) {
  std::vector<double> p(c->dim);
  int left = 0, status = 0;
  s1221(c, 0, x, &left, p.data(), &status);
  return p;
}

double max_gap(const spline_curve* a, const spline_curve* b, double x0, double x1,
               double (*map)(double), const std::vector<double>& offset) {
  double worst = 0;
  for (int i = 0; i <= 400; ++i) {
    const double x = x0 + (x1 - x0) * i / 400.0;
    auto pa = at(a, map ? map(x) : x);
    auto pb = at(b, x);
    double d = 0;
    for (size_t m = 0; m < pa.size(); ++m) {
      const double o = offset.empty() ? 0.0 : offset[m];
      d += (pa[m] - pb[m] - o) * (pa[m] - pb[m] - o);
    }
    worst = std::fmax(worst, std::sqrt(d));
  }
  return worst;
}

}  // namespace edit_test

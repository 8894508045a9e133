#include "tests/spline_reference/occt_convert_testutil.h"

#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array1OfPnt2d.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <cmath>
#include <vector>

#include "spline/records.h"

namespace {

// Distinct knots and their multiplicities of a knot vector.
void split_knots(const double* knots, int count, std::vector<double>& values,
                 std::vector<int>& mults) {
  for (int i = 0; i < count; ++i) {
    if (!values.empty() && knots[i] == values.back()) {
      ++mults.back();
    } else {
      values.push_back(knots[i]);
      mults.push_back(1);
    }
  }
}

void fill(TColStd_Array1OfReal& a, TColStd_Array1OfInteger& m, const std::vector<double>& v,
          const std::vector<int>& mu) {
  for (size_t i = 0; i < v.size(); ++i) {
    a.SetValue(static_cast<int>(i) + 1, v[i]);
    m.SetValue(static_cast<int>(i) + 1, mu[i]);
  }
}

}  // namespace

Handle(Geom2d_BSplineCurve) to_occt_curve2d(const spline_curve* c) {
  const int n = c->vertex_count;
  const bool rational = is_rational_kind(c->kind);
  TColgp_Array1OfPnt2d poles(1, n);
  TColStd_Array1OfReal weights(1, n);
  for (int i = 0; i < n; ++i) {
    double w = 1.0;
    if (rational) w = c->hom_coefs[3 * i + 2];
    double x = rational ? c->hom_coefs[3 * i] / w : c->coefs[2 * i];
    double y = rational ? c->hom_coefs[3 * i + 1] / w : c->coefs[2 * i + 1];
    poles.SetValue(i + 1, gp_Pnt2d(x, y));
    weights.SetValue(i + 1, w);
  }
  std::vector<double> v;
  std::vector<int> mu;
  split_knots(c->knots, n + c->order, v, mu);
  TColStd_Array1OfReal knots(1, static_cast<int>(v.size()));
  TColStd_Array1OfInteger mults(1, static_cast<int>(v.size()));
  fill(knots, mults, v, mu);
  if (rational) return new Geom2d_BSplineCurve(poles, weights, knots, mults, c->order - 1);
  return new Geom2d_BSplineCurve(poles, knots, mults, c->order - 1);
}

Handle(Geom_BSplineSurface) to_occt_surface(const spline_surface* s) {
  const int n1 = s->vertex_count1, n2 = s->vertex_count2;
  const bool rational = is_rational_kind(s->kind);
  TColgp_Array2OfPnt poles(1, n1, 1, n2);
  TColStd_Array2OfReal weights(1, n1, 1, n2);
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i) {
      const int v = j * n1 + i;
      double w = rational ? s->hom_coefs[4 * v + 3] : 1.0;
      const double* p = rational ? s->hom_coefs + 4 * v : s->coefs + 3 * v;
      poles.SetValue(i + 1, j + 1, gp_Pnt(p[0] / w, p[1] / w, p[2] / w));
      weights.SetValue(i + 1, j + 1, w);
    }
  std::vector<double> v1, v2;
  std::vector<int> m1, m2;
  split_knots(s->knots1, n1 + s->order1, v1, m1);
  split_knots(s->knots2, n2 + s->order2, v2, m2);
  TColStd_Array1OfReal k1(1, static_cast<int>(v1.size())), k2(1, static_cast<int>(v2.size()));
  TColStd_Array1OfInteger mm1(1, static_cast<int>(v1.size())), mm2(1, static_cast<int>(v2.size()));
  fill(k1, mm1, v1, m1);
  fill(k2, mm2, v2, m2);
  if (rational)
    return new Geom_BSplineSurface(poles, weights, k1, k2, mm1, mm2, s->order1 - 1,
                                   s->order2 - 1);
  return new Geom_BSplineSurface(poles, k1, k2, mm1, mm2, s->order1 - 1, s->order2 - 1);
}

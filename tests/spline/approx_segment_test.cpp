// The candidate segment between two curve samples that the marchers and the curve
// approximation judge at its midpoint must be the segment the tangent-continuous cubic
// through those samples is built from: random sample pairs, the judged midpoint against
// the built curve at the middle of its span.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/approx.h"
#include "spline/curve_eval.h"
#include "spline/records.h"

namespace {

TEST(ApproxSegment, JudgedMidpointIsTheMidpointOfTheBuiltSegment) {
  std::mt19937 rng(1359);
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  int capped = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    const int dim = trial % 2 ? 3 : 2;
    const int stride = 3 * dim + 1;
    std::vector<double> s(2 * stride, 0.0);
    double chord[3] = {0, 0, 0}, len = 0;
    for (int c = 0; c < dim; ++c) {
      s[c] = 10 * uni(rng);
      s[stride + c] = s[c] + 5 * uni(rng);
      chord[c] = s[stride + c] - s[c];
      len += chord[c] * chord[c];
    }
    len = std::sqrt(len);
    if (len < 1e-3) continue;
    // Unit tangents turned away from the chord, radii from small to straight (-1).
    for (int k = 0; k < 2; ++k) {
      double* t = &s[k * stride + dim];
      double n = 0;
      for (int c = 0; c < dim; ++c) {
        t[c] = chord[c] / len + 0.8 * uni(rng);
        n += t[c] * t[c];
      }
      for (int c = 0; c < dim; ++c) t[c] /= std::sqrt(n);
      const double pick = 0.5 * (uni(rng) + 1.0);
      s[k * stride + 3 * dim] = pick < 0.15 ? -1.0 : len * std::pow(10.0, 2.5 * pick - 1.0);
    }
    double mid[3], tan[3];
    int ok = 0;
    segment_tangent_angle(&s[0], &s[stride], dim, mid, tan, &ok);
    double par[2] = {0, 0};
    spline_curve* c = nullptr;
    int st = 0;
    s1359(s.data(), 1e-9, dim, 2, 0, par, &c, &st);
    const CurveHandle owned_c1(c);
    ASSERT_EQ(st, 0);
    ASSERT_NE(c, nullptr);
    double p[3];
    int left = 0;
    s1221(c, 0, 0.5 * (par[0] + par[1]), &left, p, &st);
    double err = 0;
    for (int k = 0; k < dim; ++k) err = std::fmax(err, std::fabs(p[k] - mid[k]));
    EXPECT_LE(err, 1e-12 * (1 + len)) << "trial " << trial;
    // How often the tangent cap of the built segment was in play.
    double l1 = 0;
    for (int k = 0; k < dim; ++k) l1 += (c->coefs[dim + k] - c->coefs[k]) * (c->coefs[dim + k] - c->coefs[k]);
    if (std::sqrt(l1) > 0.3334 * len) ++capped;
  }
  EXPECT_GT(capped, 100);
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/newton_testutil.h"
#include "spline/detail/isect/object_testutil.h"

namespace {

using namespace newton_test;

// Samples of a curve at count + 1 parameters.
std::vector<std::vector<double>> samples(const spline_curve* c, int count) {
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  std::vector<std::vector<double>> out;
  for (int i = 0; i <= count; ++i) out.push_back(eval_curve(c, a + (b - a) * i / count));
  return out;
}

TEST(BoxTest, NeverApartWhenSampledCurvesComeWithinTolerance) {
  // Random cubic pairs, the second a slightly moved copy of the first: when the dense
  // samples come within epsge, the box test of slot 1 (boxes widened all round) must
  // not say apart; a verdict of 3 needs both curves to lie within 3 epsge along every
  // axis.  (Slot 2 pulls the boxes in around the end vertices on purpose: there ends
  // that meet are left to the edge tests.)
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> pos(-1, 1), shift(0, 3);
  const double eps = 1e-3;
  int close = 0, tiny = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const int dim = 1 + trial % 3;
    const int index = trial % 2 ? 1 : 2;
    const double scale = trial % 4 == 0 ? 4e-4 : 1.0;  // some curves smaller than eps
    std::vector<double> v1, v2, dir(dim);
    for (auto& x : dir) x = pos(rng);
    const double s = shift(rng) * eps;
    for (int i = 0; i < 5; ++i)
      for (int m = 0; m < dim; ++m) {
        v1.push_back(scale * pos(rng));
        v2.push_back(v1.back() + s * dir[m] + 0.3 * scale * pos(rng));
      }
    auto c1 = curve({0, 0, 0, 0, 0.5, 1, 1, 1, 1}, 4, v1, 1, dim);
    auto c2 = curve({0, 0, 0, 0, 0.5, 1, 1, 1, 1}, 4, v2, 1, dim);
    const auto s1 = samples(c1.get(), 150), s2 = samples(c2.get(), 150);
    double nearest = 1e300;
    for (const auto& p : s1)
      for (const auto& q : s2) nearest = std::fmin(nearest, dist(p, q));
    auto o1 = wrap(std::move(c1));
    auto o2 = wrap(std::move(c2));
    int status = -7;
    sh1790(o1.get(), o2.get(), index, eps, &status);
    ASSERT_GE(status, 0);
    if (nearest < eps && index == 1) {
      ++close;
      EXPECT_NE(status, 0) << "trial " << trial << " nearest " << nearest << " dim " << dim
                           << " index " << index << " scale " << scale;
    }
    if (status == 3 && (index == 1 || dim > 1)) {
      ++tiny;
      for (int m = 0; m < dim; ++m) {
        double lo = 1e300, hi = -1e300;
        for (const auto* set : {&s1, &s2})
          for (const auto& p : *set) {
            lo = std::fmin(lo, p[m]);
            hi = std::fmax(hi, p[m]);
          }
        EXPECT_LE(hi - lo, 3 * eps) << "trial " << trial;
      }
    }
  }
  EXPECT_GT(close, 30);
  EXPECT_GT(tiny, 3);
}

TEST(BoxTest, GapsAndTouchingBoxes) {
  const double eps = 1e-6;
  auto a = wrap(line({0, 0, 0}, {1, 0, 0}));
  auto touching = wrap(line({1, 0, 0}, {2, 0, 0}));
  auto near_gap = wrap(line({1 + 1e-7, 0, 0}, {2, 0, 0}));
  int status = -7;
  sh1790(a.get(), touching.get(), 0, eps, &status);
  EXPECT_EQ(status, 1);  // touching is not apart
  sh1790(a.get(), near_gap.get(), 0, eps, &status);
  EXPECT_EQ(status, 0);  // apart, however small the gap, when neither is a point
}

TEST(BoxTest, PointInTheToleranceBandTouches) {
  const double eps = 1e-3;
  auto seg = wrap(line({0, 0, 0}, {1, 0, 0}));
  auto p_band = wrap(point({0.5, 0, 0.0018}));
  auto p_far = wrap(point({0.5, 0, 0.01}));
  auto p_on = wrap(point({0.5, 0, 0}));
  int status = -7;
  sh1790(p_band.get(), seg.get(), 1, eps, &status);
  EXPECT_EQ(status, 5);
  sh1790(seg.get(), p_far.get(), 1, eps, &status);
  EXPECT_EQ(status, 0);
  sh1790(seg.get(), p_on.get(), 1, eps, &status);
  EXPECT_EQ(status, 1);
}

TEST(BoxTest, FreshSinglePieceBoxLowersTheTolerance) {
  // Two short single-piece segments: on the first call their boxes are built and the
  // test uses the lowered tolerance; on the second the cached boxes use the full one.
  const double eps = 1e-3;
  auto a = wrap(line({0, 0, 0}, {0.8e-3, 0, 0}));
  auto b = wrap(line({0.1e-3, 0, 0}, {0.7e-3, 0, 0}));
  int status = -7;
  sh1790(a.get(), b.get(), 1, eps, &status);
  EXPECT_EQ(status, 1);
  sh1790(a.get(), b.get(), 1, eps, &status);
  EXPECT_EQ(status, 3);
}

TEST(BoxTest, Errors) {
  isect_test::ReportLog log;
  auto a = wrap(line({0, 0, 0}, {1, 0, 0}));
  auto b = wrap(line({0, 0}, {1, 0}));
  int status = 0;
  sh1790(a.get(), b.get(), 1, 1e-3, &status);
  EXPECT_EQ(status, -106);
  ObjectPtr odd(create_geom_object(kCurveObject), destroy_geom_object);
  odd->kind = 7;
  sh1790(a.get(), odd.get(), 1, 1e-3, &status);
  EXPECT_EQ(status, -121);
  EXPECT_TRUE(log.named("sh1790"));
}

}  // namespace

// Closest points between two curves, of a surface to a point, and the greatest extent of
// a surface in a direction, against closed forms and dense sampling.
#include "spline/isect/closest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/edit.h"
#include "spline/interp.h"
#include "spline/isect/isect_records.h"
#include "tests/spline/isect/newton_testutil.h"

namespace {

using namespace newton_test;

struct curve_result {
  int status = 0;
  int points = 0;
  double* s = nullptr;
  double* t = nullptr;
  int curves = 0;
  isect_curve** list = nullptr;
  ~curve_result() {
    std::free(s);
    std::free(t);
    destroy_isect_curve_array(list, curves);
  }
};

void closest(const spline_curve* a, const spline_curve* b, curve_result& r,
             double epsge = 0.001) {
  s1955(a, b, 0.0, epsge, &r.points, &r.s, &r.t, &r.curves, &r.list, &r.status);
}

TEST(ClosestCurves, SegmentAgainstRationalCircle) {
  auto seg = line({256, 256}, {0, 0});
  auto circ = circle(0, 0, 60);
  curve_result r;
  closest(seg.get(), circ.get(), r);
  ASSERT_GE(r.status, 0);
  ASSERT_GE(r.points, 1);
  const auto p = eval_curve(circ.get(), r.t[0]);
  const double e = 60.0 / std::sqrt(2.0);
  EXPECT_NEAR(p[0], e, 1e-3);
  EXPECT_NEAR(p[1], e, 1e-3);
}

}  // namespace

// Helpers of the curve-editing tests: building curves and comparing them pointwise,
// and keeping the toolkit's error lines off the test output.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "spline/handles.h"
#include "spline/spline.h"

namespace edit_test {

// Swallows what is written to stderr while alive.
struct Quiet {
  Quiet() { testing::internal::CaptureStderr(); }
  ~Quiet() { testing::internal::GetCapturedStderr(); }
};

// The curve tests hold their curves in the toolkit's owning handle.
using CurvePtr = CurveHandle;

inline CurveHandle own(spline_curve* c) { return CurveHandle(c); }

// A curve from knots and (homogeneous when rational) vertices, copied.
CurvePtr make(std::vector<double> t, int k, std::vector<double> v, int dim, bool rational = false);

// A periodic quadratic curve on uniform knots (base period [0, 4)): the last two
// vertices repeat the first two.
CurvePtr periodic_quadratic();

// Position of a curve at x (right-hand).
std::vector<double> at(const spline_curve* c, double x);

// Largest distance between a(map(x)) and b(x) + offset over samples x of [x0, x1].
double max_gap(const spline_curve* a, const spline_curve* b, double x0, double x1,
               double (*map)(double) = nullptr, const std::vector<double>& offset = {});

}  // namespace edit_test

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/spline.h"

namespace {


CurveHandle make_curve(std::vector<double> v, int k, int dim) {
  const int n = static_cast<int>(v.size()) / dim;
  std::vector<double> t;
  for (int i = 0; i < k; ++i) t.push_back(0);
  for (int i = 1; i < n - k + 1; ++i) t.push_back(i);
  for (int i = 0; i < k; ++i) t.push_back(n - k + 1);
  return CurveHandle(create_curve(n, k, t.data(), v.data(), 1, dim, 1));
}

const double kR2 = std::sqrt(2.0);

TEST(CurveBox, Slot0RotatedDirections) {
  auto c = make_curve({0, 0, 1, 1, 2, 0}, 2, 2);
  int status = -1;
  curve_box(c.get(), 0, 0.0, &status);
  EXPECT_EQ(status, 0);
  const double* lo = c->box->slot_low[0];
  const double* hi = c->box->slot_high[0];
  const double want_lo[] = {0, 0, 0, 0}, want_hi[] = {2, 1, kR2, kR2};
  for (int r = 0; r < 4; ++r) {
    EXPECT_NEAR(lo[r], want_lo[r], 1e-15);
    EXPECT_NEAR(hi[r], want_hi[r], 1e-15);
    EXPECT_EQ(lo[4 + r], lo[r]);
    EXPECT_EQ(hi[4 + r], hi[r]);
  }
}

TEST(CurveBox, Slot1AndSlot2Expansions) {
  auto c = make_curve({0, 0, 1, 1, 2, 0}, 2, 2);
  int status = -1;
  curve_box(c.get(), 1, 0.2, &status);
  EXPECT_EQ(status, 0);
  const double base_lo[] = {0, 0, 0, 0}, base_hi[] = {2, 1, kR2, kR2};
  for (int r = 0; r < 4; ++r) {
    EXPECT_NEAR(c->box->slot_low[1][r], base_lo[r] - 0.1, 1e-15);
    EXPECT_NEAR(c->box->slot_high[1][r], base_hi[r] + 0.1, 1e-15);
    EXPECT_NEAR(c->box->slot_low[1][4 + r], base_lo[r] - 0.2, 1e-15);
    EXPECT_NEAR(c->box->slot_high[1][4 + r], base_hi[r] + 0.2, 1e-15);
  }
  curve_box(c.get(), 2, 0.2, &status);
  EXPECT_EQ(status, 0);
  const double in = 0.1 * 0.38268343;
  const double* lo = c->box->slot_low[2];
  const double* hi = c->box->slot_high[2];
  // x: both bounds set by end vertices; y: low by the ends, high by the interior vertex.
  EXPECT_NEAR(lo[0], 0 + in, 1e-15);
  EXPECT_NEAR(hi[0], 2 - in, 1e-15);
  EXPECT_NEAR(lo[1], 0 + in, 1e-15);
  EXPECT_NEAR(hi[1], 1 + 0.1, 1e-15);
  // (x - y)/sqrt2: interior 0, ends 0 and sqrt2 -> low from the interior vertex.
  EXPECT_NEAR(lo[2], -0.1, 1e-15);
  EXPECT_NEAR(hi[2], kR2 - in, 1e-15);
  EXPECT_NEAR(hi[1 + 4], 1 + 0.2, 1e-15);
  EXPECT_NEAR(lo[0 + 4], 2 * in, 1e-15);
}

TEST(CurveBox, SingleSegmentGetsNoInteriorExpansion) {
  auto c = make_curve({0, 0, 0, 1, 5, 0, 2, 0, 0, 3, 1, 0}, 4, 3);
  int status = -1;
  curve_box(c.get(), 1, 0.2, &status);
  EXPECT_EQ(status, 1);
  // y is bounded above by the interior vertex (5), which is not expanded.
  EXPECT_NEAR(c->box->slot_high[1][1], 5.0, 1e-15);
  EXPECT_NEAR(c->box->slot_low[1][0], -0.1, 1e-15);
}

TEST(CurveBox, StoredBoxIsReusedAndRebuiltForAnotherTolerance) {
  auto c = make_curve({0, 0, 1, 1, 2, 0}, 2, 2);
  int status = -1;
  curve_box(c.get(), 0, 0.0, &status);
  c->box->slot_high[0][0] = 99;  // a recomputation would overwrite this
  curve_box(c.get(), 0, 0.5, &status);
  EXPECT_EQ(c->box->slot_high[0][0], 99);
  curve_box(c.get(), 1, 0.2, &status);
  c->box->slot_high[1][0] = 99;
  curve_box(c.get(), 1, 0.4, &status);
  EXPECT_NEAR(c->box->slot_high[1][0], 2.2, 1e-15);
}

TEST(CurveBox, AxisRequestAndRotatedRequestShareASlotSafely) {
  auto c = make_curve({0, 0, 0, 1, 2, 3, 2, 0, 1}, 2, 3);
  int status = -1;
  curve_box(c.get(), 10, 0.0, &status);  // axis only: 3 directions
  EXPECT_EQ(c->box->slot_count[0], 3);
  EXPECT_NEAR(c->box->slot_high[0][1], 2.0, 1e-15);
  curve_box(c.get(), 0, 0.0, &status);  // 9 directions in the same slot
  EXPECT_EQ(c->box->slot_count[0], 9);
  EXPECT_NEAR(c->box->slot_high[0][17], (1 + 2) * kBoxDiagonal, 1e-15);
  // The copy carries the box with its real size.
  CurveHandle d(copy_curve(c.get()));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->box->slot_high[0][17], c->box->slot_high[0][17]);
}

TEST(CurveBox, OneDimensionalBoxesAndTinyBounds) {
  auto c = make_curve({5e-14, 2, 1}, 2, 1);
  int status = -1;
  curve_box(c.get(), 0, 0.0, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(c->box->slot_count[0], 1);
  EXPECT_EQ(c->box->slot_low[0][0], 0.0);
  EXPECT_EQ(c->box->slot_high[0][0], 2.0);
}

TEST(BoxBuilders, BoundEveryVertexProjection) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-10, 10);
  for (int trial = 0; trial < 20; ++trial) {
    const int a = 2 + trial % 5, b = 1 + trial % 3;
    std::vector<double> v(a * b * 3);
    for (auto& x : v) x = u(rng);
    double hi[18], lo[18];
    rotated_box_3d(v.data(), a, b, 0.0, 0.0, hi, lo);
    for (int p = 0; p < a * b; ++p) {
      const double* q = &v[p * 3];
      const double proj[9] = {q[0], q[1], q[2], (q[1] - q[2]) * kBoxDiagonal,
                              (q[1] + q[2]) * kBoxDiagonal, (q[0] - q[2]) * kBoxDiagonal,
                              (q[0] + q[2]) * kBoxDiagonal, (q[0] - q[1]) * kBoxDiagonal,
                              (q[0] + q[1]) * kBoxDiagonal};
      for (int r = 0; r < 9; ++r) {
        EXPECT_LE(lo[r], proj[r]);
        EXPECT_GE(hi[r], proj[r]);
      }
    }
    // The bounds are attained.
    for (int r = 0; r < 3; ++r) {
      double mn = 1e9, mx = -1e9;
      for (int p = 0; p < a * b; ++p) mn = std::fmin(mn, v[p * 3 + r]), mx = std::fmax(mx, v[p * 3 + r]);
      EXPECT_EQ(lo[r], mn);
      EXPECT_EQ(hi[r], mx);
    }
  }
}

TEST(BoxBuilders, GridEdgesCountAsEndVertices) {
  // 3 x 3 grid in 1D... use axis_box with dim 2: only the centre vertex is interior.
  std::vector<double> v;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) v.insert(v.end(), {double(i), double(j)});
  v[4 * 2 + 1] = 5;  // centre vertex sticks out in y
  double hi[4], lo[4];
  int status = -1;
  axis_box(v.data(), 3, 3, 2, 0.1, -0.1, hi, lo, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(hi[1], 5.1, 1e-15);                       // interior: out by e
  EXPECT_NEAR(lo[0], 0.1 / std::sqrt(2.0), 1e-15);       // ends: in by f / sqrt(dim)
  EXPECT_NEAR(hi[0], 2 - 0.1 / std::sqrt(2.0), 1e-15);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "spline/spline.h"

namespace {

double* malloc_copy(const std::vector<double>& v) {
  auto* p = static_cast<double*>(std::malloc(sizeof(double) * v.size()));
  std::memcpy(p, v.data(), sizeof(double) * v.size());
  return p;
}

TEST(CreateCurve, TrimsSurplusLeadingKnotInPlaceForSharedArrays) {
  // First knot repeated k + 1 times: the first vertex and knot are superfluous.
  std::vector<double> knots{0, 0, 0, 0, 1, 2, 2, 2};  // k = 3, n = 5
  std::vector<double> verts{9, 9, 1, 0, 2, 1, 3, 0, 4, 1};
  spline_curve* c = create_curve(5, 3, knots.data(), verts.data(), 1, 2, 0);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->vertex_count, 4);
  EXPECT_EQ(c->knots, knots.data());
  EXPECT_EQ(knots[0], 0);
  EXPECT_EQ(knots[3], 1);  // moved down by one knot
  EXPECT_EQ(verts[0], 1);  // moved down by one vertex
  EXPECT_EQ(verts[1], 0);
  EXPECT_EQ(c->open_flag, 1);
  destroy_curve(c);
  EXPECT_EQ(verts[6], 4);  // mode 0 leaves the caller's arrays alone
}

TEST(CreateCurve, CopyModeOneTrimsOnlyTheCopy) {
  std::vector<double> knots{0, 0, 0, 0, 1, 2, 2, 2};
  std::vector<double> verts{9, 9, 1, 0, 2, 1, 3, 0, 4, 1};
  const auto knots_before = knots;
  const auto verts_before = verts;
  spline_curve* c = create_curve(5, 3, knots.data(), verts.data(), 1, 2, 1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(knots, knots_before);
  EXPECT_EQ(verts, verts_before);
  EXPECT_EQ(c->vertex_count, 4);
  const double expect_knots[] = {0, 0, 0, 1, 2, 2, 2};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(c->knots[i], expect_knots[i]);
  EXPECT_EQ(c->coefs[0], 1);
  EXPECT_EQ(c->coefs[7], 1);
  destroy_curve(c);
}

TEST(CreateCurve, TrailingSurplusIsDropped) {
  std::vector<double> knots{0, 0, 1, 1, 1};  // k = 2, n = 3: t[n-1] = t[n]
  std::vector<double> verts{0, 1, 2};
  spline_curve* c = create_curve(3, 2, knots.data(), verts.data(), 1, 1, 1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->vertex_count, 2);
  EXPECT_EQ(c->knots[3], 1);
  destroy_curve(c);
}

TEST(CreateCurve, DegenerateKnotVectorsGiveNull) {
  struct Case {
    std::vector<double> knots;
    int n, k;
  } cases[] = {
      {{1, 1, 1, 1, 1, 1}, 3, 3},        // all knots equal
      {{0, 0, 0, 0, 0, 0, 1, 1}, 5, 3},  // trimming leaves too few vertices
  };
  for (auto& c : cases) {
    std::vector<double> verts(c.n, 1.0);
    EXPECT_EQ(create_curve(c.n, c.k, c.knots.data(), verts.data(), 1, 1, 1), nullptr);
  }
}

TEST(CreateCurve, RationalVertexIsDividedByItsWeight) {
  std::vector<double> knots{0, 0, 1, 1};
  std::vector<double> hom{2, 4, 2, 3, 3, 1};
  spline_curve* c = create_curve(2, 2, knots.data(), hom.data(), 2, 2, 0);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->hom_coefs, hom.data());
  EXPECT_DOUBLE_EQ(c->coefs[0], 1);
  EXPECT_DOUBLE_EQ(c->coefs[1], 2);
  EXPECT_DOUBLE_EQ(c->coefs[2], 3);
  destroy_curve(c);  // frees only the Euclidean array (ASan checks the rest)
  EXPECT_EQ(hom[0], 2);
}

TEST(CreateCurve, CopyModeTwoTakesTheArraysOver) {
  double* knots = malloc_copy({0, 0, 1, 1});
  double* hom = malloc_copy({1, 1, 1, 2, 2, 2});
  spline_curve* c = create_curve(2, 2, knots, hom, 4, 2, 2);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->knots, knots);
  EXPECT_EQ(c->hom_coefs, hom);
  destroy_curve(c);  // leak checker would report the arrays otherwise
}

TEST(CreateSurface, SurplusEndKnotDropsLastColumn) {
  // k1 = k2 = 4; knots1 has one superfluous knot at the end: n1 = 5 -> 4.
  std::vector<double> knots1{0, 0, 0, 0, 1, 1, 1, 1, 1};
  std::vector<double> knots2{0, 0, 0, 0, 1, 1, 1, 1};
  const int n1 = 5, n2 = 4;
  std::vector<double> verts(n1 * n2);
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i) verts[j * n1 + i] = 10 * j + i;
  for (int mode : {0, 1}) {
    auto v = verts;
    auto t1 = knots1;
    auto t2 = knots2;
    spline_surface* s = create_surface(n1, n2, 4, 4, t1.data(), t2.data(), v.data(), 1, 1, mode);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->vertex_count1, 4);
    EXPECT_EQ(s->vertex_count2, 4);
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 4; ++i) EXPECT_EQ(s->coefs[j * 4 + i], 10 * j + i) << mode;
    EXPECT_EQ(s->open_flag1, 1);
    EXPECT_EQ(s->open_flag2, 1);
    destroy_surface(s);
  }
}

TEST(CreateSurface, LeadingSurplusInBothDirections) {
  std::vector<double> knots1{0, 0, 0, 1, 1};     // k1 = 2, n1 = 3: one leading surplus
  std::vector<double> knots2{5, 5, 5, 6, 7, 7};  // k2 = 2, n2 = 4: one leading surplus
  const int n1 = 3, n2 = 4;
  std::vector<double> verts(n1 * n2);
  for (int j = 0; j < n2; ++j)
    for (int i = 0; i < n1; ++i) verts[j * n1 + i] = 10 * j + i;
  spline_surface* s = create_surface(n1, n2, 2, 2, knots1.data(), knots2.data(), verts.data(), 1,
                                     1, 0);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->vertex_count1, 2);
  ASSERT_EQ(s->vertex_count2, 3);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 2; ++i) EXPECT_EQ(s->coefs[j * 2 + i], 10 * (j + 1) + (i + 1));
  EXPECT_EQ(s->knots2[0], 5);
  EXPECT_EQ(s->knots2[2], 6);
  destroy_surface(s);
}

TEST(CreateSurface, TooFewVerticesAfterTrimmingGivesNull) {
  std::vector<double> knots1{0, 0, 0, 0, 1};
  std::vector<double> knots2{0, 0, 1, 1};
  std::vector<double> verts(6, 0.0);
  EXPECT_EQ(create_surface(3, 2, 2, 2, knots1.data(), knots2.data(), verts.data(), 1, 1, 1),
            nullptr);
}

TEST(TransposeCoefs, SwapsTheFastDirection) {
  const double src[] = {1, 2, 3, 4, 5, 6};  // fast 3, slow 2
  double dst[6];
  transpose_coefs(src, 3, 2, 1, dst);
  const double expect[] = {1, 4, 2, 5, 3, 6};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(dst[i], expect[i]);
}

TEST(CreatePoint, CopyAndShare) {
  double xyz[] = {1, 2, 3};
  spline_point* shared = create_point(xyz, 3, 0);
  spline_point* copied = create_point(xyz, 3, 1);
  ASSERT_TRUE(shared && copied);
  EXPECT_EQ(shared->coords, xyz);
  EXPECT_EQ(copied->coords, copied->inline_coords);
  destroy_point(shared);
  destroy_point(copied);

  double* big = malloc_copy({1, 2, 3, 4, 5});
  // Mode 2 shares like mode 0 whatever the dimension: the caller keeps the array.
  spline_point* p = create_point(big, 5, 2);
  destroy_point(p);
  EXPECT_EQ(big[4], 5);
  spline_point* q = create_point(big, 5, 1);
  EXPECT_NE(q->coords, big);
  destroy_point(q);
  std::free(big);
}

TEST(BoxSlots, AllocateTestAndResize) {
  param_box* box = create_param_box(3);
  ASSERT_NE(box, nullptr);
  int status = 0;
  EXPECT_EQ(box_slot_test(box, 2, 0.1), 0);
  box_slot_alloc(box, 3, 2, 0.1, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(box_slot_test(box, 2, 0.1), 1);
  EXPECT_EQ(box_slot_test(box, 2, 0.2), -1);
  box_slot_alloc(box, 3, 3, 0.1, &status);
  EXPECT_EQ(status, kErrBoxSlot);
  // A later request for more directions must get arrays large enough for them.
  box_slot_alloc(box, 9, 2, 0.1, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(box->slot_count[2], 9);
  for (int i = 0; i < 18; ++i) box->slot_low[2][i] = box->slot_high[2][i] = i;
  box_slot_alloc(box, 1, 0, 0.0, &status);
  EXPECT_EQ(box_slot_test(box, 0, 123.0), 1);
  destroy_param_box(box);
  EXPECT_EQ(create_param_box(0), nullptr);
  EXPECT_EQ(create_dir_cone(0), nullptr);
}

TEST(CopyCurve, IsDeepIncludingBoxAndCone) {
  std::vector<double> knots{0, 0, 0, 1, 1, 1};
  std::vector<double> verts{0, 0, 1, 2, 2, 0};
  spline_curve* c = create_curve(3, 3, knots.data(), verts.data(), 1, 2, 1);
  c->open_flag = 0;
  c->box = create_param_box(2);
  int status = 0;
  box_slot_alloc(c->box, 2, 1, 0.5, &status);  // axis-only slot: 2 directions
  for (int i = 0; i < 4; ++i) c->box->slot_low[1][i] = -i, c->box->slot_high[1][i] = i;
  c->cone = create_dir_cone(2);
  c->cone->angle = 0.25;
  c->cone->polygon = static_cast<double*>(std::malloc(sizeof(double) * 6));
  for (int i = 0; i < 6; ++i) c->cone->polygon[i] = i;

  spline_curve* d = copy_curve(c);
  ASSERT_NE(d, nullptr);
  EXPECT_NE(d->knots, c->knots);
  EXPECT_NE(d->coefs, c->coefs);
  EXPECT_EQ(d->open_flag, 0);
  ASSERT_NE(d->box, nullptr);
  EXPECT_EQ(box_slot_test(d->box, 1, 0.5), 1);
  EXPECT_EQ(d->box->slot_high[1][3], 3);
  EXPECT_NE(d->box->slot_low[1], c->box->slot_low[1]);
  ASSERT_NE(d->cone, nullptr);
  EXPECT_EQ(d->cone->angle, 0.25);
  EXPECT_EQ(d->cone->polygon[5], 5);
  destroy_curve(c);
  EXPECT_EQ(d->coefs[4], 2);  // independent of the source
  destroy_curve(d);
}

TEST(CopySurface, RationalCopyKeepsBothArrays) {
  std::vector<double> t{0, 0, 1, 1};
  std::vector<double> hom{0, 0, 0, 1, 2, 0, 0, 2, 0, 3, 0, 3, 4, 4, 0, 4};  // dim 3, 2x2
  spline_surface* s = create_surface(2, 2, 2, 2, t.data(), t.data(), hom.data(), 2, 3, 1);
  ASSERT_NE(s, nullptr);
  spline_surface* d = copy_surface(s);
  ASSERT_NE(d, nullptr);
  EXPECT_DOUBLE_EQ(d->coefs[3], 1.0);  // (2,0,0)/2
  EXPECT_DOUBLE_EQ(d->hom_coefs[15], 4.0);
  destroy_surface(s);
  destroy_surface(d);
}

}  // namespace

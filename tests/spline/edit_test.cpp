#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spline/handles.h"
#include "spline/edit_testutil.h"
#include "spline/spline.h"

namespace {

using namespace edit_test;

CurvePtr cubic(int n, double shift, int dim = 2) {
  std::vector<double> t(4, 0.0);
  for (int i = 1; i <= n - 4; ++i) t.push_back(i);
  for (int i = 0; i < 4; ++i) t.push_back(n - 3);
  std::vector<double> v;
  for (int i = 0; i < n; ++i) {
    v.push_back(i + shift);
    v.push_back(std::sin(i + shift));
    if (dim == 3) v.push_back(0.5 * i);
  }
  return make(t, 4, v, dim);
}

TEST(PickPiece, ForwardReversedAndThroughTheEnds) {
  auto c = cubic(7, 0.0);  // range [0, 4]
  spline_curve* p = nullptr;
  int status = -1;
  s1712(c.get(), 1.0, 3.0, &p, &status);
  ASSERT_EQ(status, 0);
  auto fwd = own(p);
  EXPECT_LT(max_gap(fwd.get(), c.get(), 1, 3), 1e-13);

  s1712(c.get(), 3.0, 1.0, &p, &status);
  auto rev = own(p);
  auto mirror = [](double x) { return 4.0 - x; };  // reversed over [1, 3]: x -> 1 + 3 - x
  EXPECT_LT(max_gap(rev.get(), c.get(), 1, 3, mirror), 1e-13);

  // s1713 with begin > end: from 3 through the end, then the start (translated) up to 1.
  s1713(c.get(), 3.0, 1.0, &p, &status);
  ASSERT_EQ(status, 0);
  auto wrap = own(p);
  EXPECT_NEAR(wrap->knots[3], 3.0, 1e-15);
  EXPECT_NEAR(wrap->knots[wrap->vertex_count], 5.0, 1e-15);
  EXPECT_LT(max_gap(wrap.get(), c.get(), 3, 4), 1e-13);
  // Second part: c(x) translated by c(4) - c(0), at parameters x + 4.
  const auto e = at(c.get(), 4.0), s = at(c.get(), 0.0);
  auto plus4 = [](double x) { return x + 4.0; };
  EXPECT_LT(max_gap(wrap.get(), c.get(), 0, 1, plus4, {e[0] - s[0], e[1] - s[1]}), 1e-12);

  // begin == end restarts the curve; at the start it is a copy.
  s1713(c.get(), 0.0, 0.0, &p, &status);
  auto copy = own(p);
  EXPECT_LT(max_gap(copy.get(), c.get(), 0, 4), 1e-14);

  Quiet q;
  s1712(c.get(), 1.0, 1.0, &p, &status);
  EXPECT_EQ(status, -151);
  s1712(c.get(), 1.0, 9.0, &p, &status);
  EXPECT_EQ(status, -151);
  s1713(nullptr, 1.0, 2.0, &p, &status);
  EXPECT_EQ(status, -150);
}

TEST(PickPiece, PeriodicCurves) {
  auto c = periodic_quadratic();  // base period [0, 4)
  spline_curve* p = nullptr;
  int status = -1;
  s1712(c.get(), 0.0, 4.0, &p, &status);
  ASSERT_EQ(status, 0);
  auto whole = own(p);
  EXPECT_EQ(whole->knots[0], whole->knots[2]);  // k-regular
  EXPECT_LT(max_gap(whole.get(), c.get(), 0, 4), 1e-13);

  // Through the seam: from 3.2 to 0.8.
  s1713(c.get(), 3.2, 0.8, &p, &status);
  ASSERT_EQ(status, 0);
  auto seam = own(p);
  const double a = seam->knots[2], b = seam->knots[seam->vertex_count];
  EXPECT_NEAR(b - a, 1.6, 1e-13);
  const auto s0 = at(seam.get(), a), s1 = at(seam.get(), b);
  const auto c0 = at(c.get(), 3.2), c1 = at(c.get(), 0.8);
  EXPECT_NEAR(s0[0], c0[0], 1e-13);
  EXPECT_NEAR(s1[1], c1[1], 1e-13);
  EXPECT_LT(max_gap(seam.get(), c.get(), 3.2, 4.0), 1e-13);

  spline_curve *p1 = nullptr, *p2 = nullptr;
  s1714(c.get(), 1.0, 3.0, &p1, &p2, &status);
  ASSERT_EQ(status, 0);
  auto a1 = own(p1), a2 = own(p2);
  EXPECT_LT(max_gap(a1.get(), c.get(), 1, 3), 1e-13);
  EXPECT_NEAR(a2->knots[a2->vertex_count] - a2->knots[2], 2.0, 1e-13);

  spline_curve* k = nullptr;
  make_cv_kreg(c.get(), &k, &status);
  ASSERT_EQ(status, 0);
  auto kr = own(k);
  EXPECT_EQ(kr->open_flag, 0);
  EXPECT_LT(max_gap(kr.get(), c.get(), 0, 4), 1e-13);
}

TEST(JoinCurves, CubicsMeetWithTranslation) {
  auto c1 = cubic(5, 0.0), c2 = cubic(7, 10.0);
  spline_curve* j = nullptr;
  int status = -1;
  s1715(c1.get(), c2.get(), 1, 0, &j, &status);
  ASSERT_EQ(status, 0);
  auto joined = own(j);
  EXPECT_EQ(joined->vertex_count, 11);
  EXPECT_EQ(joined->kind, 1);
  // Joint at T = 2 (end of curve 1) with multiplicity 3.
  int mult = 0;
  for (int i = 0; i < 15; ++i) mult += joined->knots[i] == 2.0;
  EXPECT_EQ(mult, 3);
  EXPECT_LT(max_gap(joined.get(), c1.get(), 0, 2), 1e-13);
  const auto e1 = at(c1.get(), 2.0), s2 = at(c2.get(), 0.0);
  auto minus2 = [](double x) { return x + 2.0; };
  EXPECT_LT(max_gap(joined.get(), c2.get(), 0, 4, minus2, {e1[0] - s2[0], e1[1] - s2[1]}), 1e-12);

  // Joining at both starts turns curve 1; the output may be an input variable.
  spline_curve* var = copy_curve(c1.get());
  const CurveHandle keep_owner(var);
  s1715(var, c2.get(), 0, 0, &var, &status);
  ASSERT_EQ(status, 0);
  auto j2 = own(var);
  EXPECT_EQ(j2->vertex_count, 11);
  EXPECT_NEAR(at(j2.get(), 0.0)[0], at(c1.get(), 2.0)[0], 1e-13);
  EXPECT_NEAR(at(j2.get(), 2.0)[0], at(c1.get(), 0.0)[0], 1e-13);
}

TEST(JoinCurves, MixedOrdersAndKinds) {
  auto line = make({0, 0, 1, 1}, 2, {0, 0, 1, 0}, 2);
  auto c = cubic(5, 1.0);
  spline_curve* j = nullptr;
  int status = -1;
  s1715(line.get(), c.get(), 1, 0, &j, &status);
  ASSERT_EQ(status, 0);
  auto joined = own(j);
  EXPECT_EQ(joined->order, 4);
  EXPECT_LT(max_gap(joined.get(), line.get(), 0, 1), 1e-13);

  const double h = std::sqrt(0.5);
  auto arc = make({0, 0, 0, 1, 1, 1}, 3, {1, 0, 1, h, h, h, 0, 1, 1}, 2, true);
  auto seg = make({0, 0, 0, 1, 1, 1}, 3, {0, 1, -1, 2, -2, 1}, 2);
  s1715(arc.get(), seg.get(), 1, 0, &j, &status);
  ASSERT_EQ(status, 0);
  auto mixed = own(j);
  EXPECT_EQ(mixed->kind, 2);
  EXPECT_EQ(mixed->hom_coefs[3 * 3 + 2], 1.0);  // polynomial vertices carry weight 1
  EXPECT_LT(max_gap(mixed.get(), arc.get(), 0, 1), 1e-13);
  auto shift = [](double x) { return x + 1.0; };
  EXPECT_LT(max_gap(mixed.get(), seg.get(), 0, 1, shift), 1e-13);  // ends already meet

  Quiet q;
  auto c3 = cubic(5, 0.0, 3);
  s1715(c.get(), c3.get(), 1, 0, &j, &status);
  EXPECT_EQ(status, -106);
}

TEST(ReverseCurve, TwiceRestores) {
  const double h = std::sqrt(0.5);
  auto c = make({0, 0, 0, 1, 1.5, 1.5, 1.5}, 3, {1, 0, 1, h, h, h, 0, 1, 1, -1, 1, 1}, 2, true);
  auto r = own(copy_curve(c.get()));
  reverse_curve(r.get());
  auto mirror = [](double x) { return 1.5 - x; };
  EXPECT_LT(max_gap(r.get(), c.get(), 0, 1.5, mirror), 1e-14);
  reverse_curve(r.get());
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(r->knots[i], c->knots[i], 1e-15);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(r->hom_coefs[i], c->hom_coefs[i]);
  reverse_curve(nullptr);
}

TEST(CheckCurve, Table) {
  auto good = cubic(5, 0.0);
  int status = -1;
  s1707(good.get(), &status);
  EXPECT_EQ(status, 0);
  auto rat = make({0, 0, 1, 1}, 2, {1, 1, 2, 2}, 1, true);
  rat->hom_coefs[3] = 0.0;
  testing::internal::CaptureStderr();
  s1707(rat.get(), &status);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(status, 8);
  auto bad = cubic(5, 0.0);
  bad->knots[4] = -1;
  {
    Quiet q;
    s1707(bad.get(), &status);
  }
  EXPECT_EQ(status, -112);
  auto per = periodic_quadratic();
  s1707(per.get(), &status);
  EXPECT_EQ(status, 0);
  auto fake = cubic(5, 0.0);
  fake->open_flag = -1;
  s1707(fake.get(), &status);
  EXPECT_EQ(status, 2);
}

TEST(KRegular, ArrayReplacement) {
  spline_curve* arr[2] = {copy_curve(periodic_quadratic().get()), copy_curve(cubic(5, 0).get())};
  spline_curve* second = arr[1];
  int status = -1;
  s1349(2, arr, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(arr[0]->knots[0], arr[0]->knots[2]);
  EXPECT_EQ(arr[1], second);  // already k-regular: kept
  destroy_curve(arr[0]);
  destroy_curve(arr[1]);
}

TEST(RaiseOrder, WorkedExamples) {
  auto bez = make({0, 0, 0, 1, 1, 1}, 3, {0, 3, 0}, 1);
  spline_curve* r = nullptr;
  int status = -1;
  s1750(bez.get(), 4, &r, &status);
  ASSERT_EQ(status, 0);
  auto rb = own(r);
  ASSERT_EQ(rb->vertex_count, 4);
  const double want[] = {0, 2, 2, 0};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(rb->coefs[i], want[i], 1e-15);

  auto q = make({0, 0, 0, 1, 2, 2, 2}, 3, {0, 1, 3, 2}, 1);
  s1750(q.get(), 4, &r, &status);
  auto rq = own(r);
  ASSERT_EQ(rq->vertex_count, 6);
  const double wk[] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 2};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(rq->knots[i], wk[i]);
  const double wv[] = {0, 2.0 / 3, 4.0 / 3, 8.0 / 3, 8.0 / 3, 2};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(rq->coefs[i], wv[i], 1e-14);
  EXPECT_NEAR(at(rq.get(), 1.3)[0], 2.42, 1e-14);
  EXPECT_NEAR(at(q.get(), 1.3)[0], 2.42, 1e-14);

  // Same order: an independent copy.
  s1750(q.get(), 3, &r, &status);
  const CurveHandle owned_r1(r);
  EXPECT_NE(r->coefs, q->coefs);
}

TEST(RaiseOrder, RationalAndStepwiseRaisingAgree) {
  const double h = std::sqrt(0.5);
  auto arc = make({0, 0, 0, 0.5, 1, 1, 1}, 3, {1, 0, 1, h, h, h, 0, 1, 1, -h, h, h}, 2, true);
  spline_curve *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
  int status = -1;
  s1750(arc.get(), 6, &a, &status);
  ASSERT_EQ(status, 0);
  s1750(arc.get(), 4, &b, &status);
  s1750(b, 5, &c, &status);
  s1750(c, 6, &d, &status);
  auto pa = own(a), pb = own(b), pc = own(c), pd = own(d);
  EXPECT_LT(max_gap(pa.get(), arc.get(), 0, 1), 1e-14);
  ASSERT_EQ(pa->vertex_count, pd->vertex_count);
  for (int i = 0; i < pa->vertex_count * 3; ++i) EXPECT_NEAR(pa->hom_coefs[i], pd->hom_coefs[i], 1e-14);

  // Non-clamped knots and a knot of full multiplicity.
  auto odd = make({-1, -0.5, 0, 1, 1, 1, 2, 2.5, 3}, 3, {0, 1, -1, 2, 0, 3}, 1);
  s1750(odd.get(), 5, &a, &status);
  ASSERT_EQ(status, 0);
  auto po = own(a);
  EXPECT_LT(max_gap(po.get(), odd.get(), 0, 2), 1e-13);
  Quiet q;
  s1750(odd.get(), 2, &a, &status);
  EXPECT_EQ(status, -112);
}

}  // namespace

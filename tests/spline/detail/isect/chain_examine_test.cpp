// Examination passes over chained lists: reduction and classification of open lists
// (with a scripted tangency test), duplicate lists, isolated points judged by their
// bounds, and the pass staying off for the extremal search.
#include "spline/handles.h"
#include "spline/detail/isect/chain_examine.h"

#include <gtest/gtest.h>

#include <vector>

#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/isect_records.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace {

using namespace newton_test;

// Scripted answers of the level classification.
int g_answer = 0;
int g_calls = 0;
void scripted_s1787(spline_surface*, double, double, const double* p, double* start, double* end,
                    int* st) {
  ++g_calls;
  start[0] = p[0] - 0.1;
  start[1] = p[1];
  end[0] = p[0] + 0.1;
  end[1] = p[1];
  *st = g_answer;
}

class ChainExamine : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = chain_tangency();
    chain_tangency().s1787 = scripted_s1787;
    g_calls = 0;
  }
  void TearDown() override {
    chain_tangency() = saved_;
    destroy_isect_data(data_);
  }
  isect_point* add(double u, double v) {
    const double p[2] = {u, v};
    isect_point* q = create_isect_point(2, p, 0.0);
    q->kind = kOrdinaryPoint;
    int st = 0;
    s6idnpt(&data_, &q, 1, &st);
    return q;
  }
  void link(isect_point* a, isect_point* b) {
    int st = 0;
    s6idcon(&data_, &a, &b, &st);
  }
  // f(u, v) = u - v on [0, 1]^2: gradient (1, -1) everywhere.
  SurfaceHandle f_ = poly_surface_1d({{0, -1}, {1}}, {0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2);
  isect_data* data_ = nullptr;
  chain_tangency_table saved_{};
};

TEST_F(ChainExamine, OpenListsAreReducedAndClassified) {
  struct Case {
    int answer;
    int lists, type, count;
  } cases[] = {{12, 1, 4, 3}, {0, 0, -1, 0}, {16, 1, 1, 1}, {5, 1, 0, 1}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.answer);
    destroy_isect_data(data_);
    data_ = nullptr;
    g_answer = k.answer;
    isect_point* a = add(0.4, 0.5);
    link(a, add(0.5, 0.5));
    link(data_->points[1], add(0.6, 0.5));
    add(0.0, 0.3);  // keeps the data alive when the list goes
    link(data_->points[3], add(0.0, 0.6));
    int st = 0;
    s6idlis(nullptr, nullptr, &data_, &st);
    ASSERT_EQ(data_->list_count, 2);
    s6idlis_s9psexamin(f_.get(), 0.0, &data_, &st);
    ASSERT_EQ(st, 0);
    // The second list runs along the bound u = 0 at both ends: not examined.
    EXPECT_EQ(g_calls > 0, true);
    int found = 0;
    for (int i = 0; i < data_->list_count; ++i) {
      const isect_list* l = data_->lists[i];
      ASSERT_NE(l->first, nullptr) << "list " << i << " type " << l->list_type;
      ASSERT_NE(l->last, nullptr);
      if (l->first->params[0] == 0.0 && l->last->params[0] == 0.0) continue;
      ++found;
      EXPECT_EQ(l->list_type, k.type);
      EXPECT_EQ(l->point_count, k.count);
    }
    EXPECT_EQ(found, k.lists);
    g_calls = 0;
  }
}

TEST_F(ChainExamine, IsolatedPointsByTheirBounds) {
  // Bound signs for the gradient (1, -1): u start +1 (fu > 0), u end -1 (fv < 0),
  // v start -1 (fu > 0).  An interior point goes, equal signs go, different ones stay.
  add(0.5, 0.5);
  isect_point* disagree = add(0.0, 0.0);
  add(1.0, 0.0);
  int st = 0;
  s6idlis_s9psexamin(f_.get(), 0.0, &data_, &st);
  ASSERT_EQ(st, 0);
  ASSERT_NE(data_, nullptr);
  ASSERT_EQ(data_->point_count, 1);
  EXPECT_EQ(data_->points[0], disagree);
  const SurfaceHandle wrong_owner(copy_surface(f_.get()));
  spline_surface* wrong = wrong_owner.get();
  wrong->dim = 2;
  s6idlis_s9psexamin(wrong, 0.0, &data_, &st);
  EXPECT_EQ(st, -200);
  wrong->dim = 1;
}

TEST_F(ChainExamine, PassRunsForALevelButNotForTheExtremalSearchWrapper) {
  geom_object* surf = create_geom_object(kSurfaceObject);
  surf->surface = f_.get();
  geom_object* empty = create_geom_object(kPointObject);  // as the extremal search passes it
  geom_object* level = create_geom_object(kPointObject);
  double zero = 0.0;
  level->point = create_point(&zero, 1, 1);
  add(0.5, 0.5);
  add(0.2, 0.7);
  int st = 0;
  s6idlis(surf, empty, &data_, &st);
  ASSERT_NE(data_, nullptr);
  EXPECT_EQ(data_->point_count, 2);
  s6idlis(level, surf, &data_, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(data_, nullptr);  // both interior points of non-zero gradient went
  surf->surface = nullptr;
  destroy_geom_object(surf);
  destroy_geom_object(empty);
  destroy_geom_object(level);
}

TEST(ChainExamineSurfaces, TransversalInteriorPointGoes) {
  // Plane z = 0 and plane x = 0.5 (both over [0, 1]^2).
  auto p1 = surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, 1, 3);
  auto p2 = surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2,
                    {0.5, 0, -0.5, 0.5, 1, -0.5, 0.5, 0, 0.5, 0.5, 1, 0.5}, 1, 3);
  isect_data* d = nullptr;
  const double inner[4] = {0.5, 0.5, 0.5, 0.5};
  const double corner[4] = {0.5, 0.0, 0.0, 0.5};
  for (const double* q : {inner, corner}) {
    isect_point* p = create_isect_point(4, q, 0.0);
    int st = 0;
    s6idnpt(&d, &p, 1, &st);
  }
  int st = 0;
  s6idlis_s9ssexamin(p1.get(), p2.get(), &d, &st);
  ASSERT_EQ(st, 0);
  ASSERT_NE(d, nullptr);
  // The interior one is gone; the one on bounds is judged by their signs.
  for (int i = 0; i < d->point_count; ++i) EXPECT_NE(d->points[i]->params[1], 0.5);
  destroy_isect_data(d);
}

}  // namespace

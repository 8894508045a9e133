// Two curves against each other through the recursive intersector: random planar and
// space curves, polynomial and rational, against a brute-force search written here
// (dense sampling of both curves, local minimisation of the distance from every close
// sample pair); curves sharing a stretch; touching curves; the recursion level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/curve_eval.h"
#include "spline/edit.h"
#include "spline/interp.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_reduce.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/records.h"
#include "tests/spline/detail/isect/contour_testutil.h"
#include "tests/spline/detail/isect/isect_fixture.h"

namespace {


std::vector<double> at(const spline_curve* c, double t, int der = 0) {
  std::vector<double> p(static_cast<size_t>(c->dim) * (der + 1));
  int left = 0, st = 0;
  s1221(c, der, t, &left, p.data(), &st);
  return p;
}

double range_start(const spline_curve* c) { return c->knots[c->order - 1]; }
double range_end(const spline_curve* c) { return c->knots[c->vertex_count]; }

double distance(const std::vector<double>& a, const std::vector<double>& b, int dim) {
  double d = 0;
  for (int i = 0; i < dim; ++i) d += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(d);
}

// Open curve of the given order through the points (chord-length interpolation).
CurveHandle interpolate(const std::vector<double>& pts, int dim, int order) {
  const int n = static_cast<int>(pts.size()) / dim;
  return CurveHandle(contour_test::interpolate_through(pts.data(), n, dim, 1, order));
}

// The same knots and control polygon with weights: a rational curve near the
// polynomial one.
CurveHandle with_weights(const spline_curve* c, std::mt19937& rng) {
  return CurveHandle(contour_test::with_random_weights(c, rng));
}

struct Result {
  int status = 0;
  std::vector<std::pair<double, double>> points;  // single points (t1, t2)
  std::vector<std::vector<double>> curves;        // end parameters of each stretch
};

// Runs the driver on the two curves, joins across seams and turns the data into single
// points and intersection curves with the output stage.
Result intersect(spline_curve* c1, spline_curve* c2, double eps) {
  Result r;
  geom_object* a = create_geom_object(kCurveObject);
  geom_object* b = create_geom_object(kCurveObject);
  a->curve = c1;
  b->curve = c2;
  isect_data* data = nullptr;
  sh1761(a, b, eps, &data, &r.status);
  if (r.status >= 0) {
    // Points on the seam of a closed curve are joined as the entry routines join them.
    int st = 0;
    int_join_per(&data, a, b, nullptr, 0, eps, &st);
    if (st < 0) r.status = st;
  }
  if (r.status >= 0 && data) {
    int np = 0, nc = 0, nt = 0, st = 0;
    double *p1 = nullptr, *p2 = nullptr;
    int* markers = nullptr;
    isect_curve** curves = nullptr;
    param_track** tracks = nullptr;
    hp_s1880(a, b, 0, 1, 1, data, &np, &p1, &p2, &markers, &nc, &curves, &nt, &tracks, &st);
    const ToolkitArray<double> owned_p1(p1);
    const ToolkitArray<double> owned_p2(p2);
    const ToolkitArray<int> owned_markers(markers);
    const IsectCurveArray owned_curves(curves, nc);
    if (st < 0) r.status = st;
    for (int i = 0; i < np; ++i) r.points.emplace_back(p1[i], p2[i]);
    for (int i = 0; i < nc; ++i) {
      const isect_curve* ic = curves[i];
      r.curves.push_back({ic->params1[0], ic->params1[ic->point_count - 1], ic->params2[0],
                          ic->params2[ic->point_count - 1]});
    }
    for (int i = 0; i < nt; ++i) destroy_param_track(tracks[i]);
    free(tracks);
  }
  destroy_isect_data(data);
  a->curve = b->curve = nullptr;
  destroy_geom_object(a);
  destroy_geom_object(b);
  return r;
}

// Brute force: both curves sampled densely; from every sample pair closer than the two
// sample spacings together, a Gauss-Newton descent of
// |C1(s) - C2(t)|^2 inside the ranges; the minima that reach below eps / 100 are the
// crossings, merged when within 1e-6 of each other in both parameters.
std::vector<std::pair<double, double>> brute_force(const spline_curve* c1,
                                                   const spline_curve* c2, double eps,
                                                   int samples) {
  const int dim = c1->dim;
  const double a1 = range_start(c1), b1 = range_end(c1);
  const double a2 = range_start(c2), b2 = range_end(c2);
  std::vector<std::vector<double>> p1(samples + 1), p2(samples + 1);
  double h1 = 0, h2 = 0;
  for (int i = 0; i <= samples; ++i) {
    p1[i] = at(c1, a1 + (b1 - a1) * i / samples);
    p2[i] = at(c2, a2 + (b2 - a2) * i / samples);
    if (i > 0) {
      h1 = std::max(h1, distance(p1[i], p1[i - 1], dim));
      h2 = std::max(h2, distance(p2[i], p2[i - 1], dim));
    }
  }
  std::vector<double> d((samples + 1) * (samples + 1));
  auto D = [&](int i, int j) -> double& { return d[i * (samples + 1) + j]; };
  for (int i = 0; i <= samples; ++i)
    for (int j = 0; j <= samples; ++j) D(i, j) = distance(p1[i], p2[j], dim);
  std::vector<std::pair<double, double>> found;
  for (int i = 0; i <= samples; ++i) {
    for (int j = 0; j <= samples; ++j) {
      const double v = D(i, j);
      if (v > h1 + h2) continue;
      double s = a1 + (b1 - a1) * i / samples, t = a2 + (b2 - a2) * j / samples;
      for (int it = 0; it < 60; ++it) {
        const auto e1 = at(c1, s, 1), e2 = at(c2, t, 1);
        double diff[3], A11 = 0, A12 = 0, A22 = 0, g1 = 0, g2 = 0;
        for (int k = 0; k < dim; ++k) {
          diff[k] = e1[k] - e2[k];
          A11 += e1[dim + k] * e1[dim + k];
          A12 -= e1[dim + k] * e2[dim + k];
          A22 += e2[dim + k] * e2[dim + k];
          g1 += diff[k] * e1[dim + k];
          g2 -= diff[k] * e2[dim + k];
        }
        const double det = A11 * A22 - A12 * A12;
        if (std::fabs(det) < 1e-300) break;
        const double ds = -(A22 * g1 - A12 * g2) / det;
        const double dt = -(A11 * g2 - A12 * g1) / det;
        s = std::clamp(s + ds, a1, b1);
        t = std::clamp(t + dt, a2, b2);
        if (std::fabs(ds) < 1e-15 * (b1 - a1) && std::fabs(dt) < 1e-15 * (b2 - a2)) break;
      }
      if (distance(at(c1, s), at(c2, t), dim) > eps / 100) continue;
      bool known = false;
      for (const auto& f : found)
        if (std::fabs(f.first - s) < 1e-6 && std::fabs(f.second - t) < 1e-6) known = true;
      if (!known) found.emplace_back(s, t);
    }
  }
  return found;
}

// Angle between the two tangents at a crossing (0 .. pi/2).
double crossing_angle(const spline_curve* c1, const spline_curve* c2, double s, double t) {
  const int dim = c1->dim;
  const auto e1 = at(c1, s, 1), e2 = at(c2, t, 1);
  double dot = 0, l1 = 0, l2 = 0;
  for (int k = 0; k < dim; ++k) {
    dot += e1[dim + k] * e2[dim + k];
    l1 += e1[dim + k] * e1[dim + k];
    l2 += e2[dim + k] * e2[dim + k];
  }
  return std::acos(std::min(1.0, std::fabs(dot) / std::sqrt(l1 * l2)));
}

// Random pair of curves of the given dimension that cross: the second curve is made
// to pass through a few points of the first.
std::pair<CurveHandle, CurveHandle> crossing_pair(std::mt19937& rng, int dim, int order, bool rational) {
  std::uniform_real_distribution<double> coord(-10.0, 10.0);
  std::uniform_int_distribution<int> count(4, 12);
  const int n1 = count(rng);
  std::vector<double> pts1;
  for (int i = 0; i < n1 * dim; ++i) pts1.push_back(coord(rng));
  CurveHandle c1 = interpolate(pts1, dim, order);
  const int n2 = count(rng);
  std::vector<double> pts2;
  std::uniform_real_distribution<double> frac(0.0, 1.0);
  const double a = range_start(c1.get()), b = range_end(c1.get());
  for (int i = 0; i < n2; ++i) {
    if (i % 3 == 1) {
      const auto p = at(c1.get(), a + (b - a) * (0.05 + 0.9 * frac(rng)));
      pts2.insert(pts2.end(), p.begin(), p.end());
    } else {
      for (int j = 0; j < dim; ++j) pts2.push_back(coord(rng));
    }
  }
  CurveHandle c2 = interpolate(pts2, dim, order);
  if (rational) {
    c1 = with_weights(c1.get(), rng);
    c2 = with_weights(c2.get(), rng);
  }
  return {std::move(c1), std::move(c2)};
}

TEST(CurveCurveIsect, RandomPairsMatchBruteForce) {
  std::mt19937 rng(1762);
  const double eps = 1e-6;
  struct Kind {
    int dim;
    int order;
    bool rational;
  } kinds[] = {{2, 3, false}, {2, 4, false}, {2, 3, true},
               {3, 4, false}, {3, 3, true},  {3, 4, true}};
  int crossings = 0;
  for (const Kind& kind : kinds) {
    for (int trial = 0; trial < 25; ++trial) {
      auto [c1, c2] = crossing_pair(rng, kind.dim, kind.order, kind.rational);
      ASSERT_TRUE(c1 && c2);
      const Result r = intersect(c1.get(), c2.get(), eps);
      ASSERT_GE(r.status, 0);
      const auto oracle = brute_force(c1.get(), c2.get(), eps, 600);
      const std::string where = "dim " + std::to_string(kind.dim) + " order " +
                                std::to_string(kind.order) + (kind.rational ? " rational" : "") +
                                " trial " + std::to_string(trial);
      EXPECT_TRUE(r.curves.empty()) << where;
      // Every reported point lies on both curves within the tolerance.
      for (const auto& p : r.points)
        EXPECT_LE(distance(at(c1.get(), p.first), at(c2.get(), p.second), kind.dim), eps)
            << where;
      // Every crossing is found once; a transversal one is accurate far below eps.
      std::vector<int> used(r.points.size(), 0);
      for (const auto& o : oracle) {
        int hits = 0;
        const double angle = crossing_angle(c1.get(), c2.get(), o.first, o.second);
        const auto po = at(c1.get(), o.first);
        for (size_t i = 0; i < r.points.size(); ++i) {
          const double d = distance(at(c1.get(), r.points[i].first), po, kind.dim);
          if (d <= eps / std::max(std::sin(angle), 1e-3)) {
            ++hits;
            used[i] = 1;
            if (angle > 0.05) {
              EXPECT_LE(d, 1e-9) << where << " ours " << r.points[i].first << " " << r.points[i].second << " oracle " << o.first << " " << o.second << " gap " << distance(at(c1.get(), r.points[i].first), at(c2.get(), r.points[i].second), kind.dim) << " angle " << angle;
            }
          }
        }
        EXPECT_EQ(hits, 1) << where << " crossing " << o.first << " " << o.second;
        ++crossings;
      }
      for (size_t i = 0; i < r.points.size(); ++i)
        EXPECT_TRUE(used[i]) << where << " extra point " << r.points[i].first << " "
                             << r.points[i].second;
    }
  }
  EXPECT_GE(crossings, 150);
}

TEST(CurveCurveIsect, CurvesSharingAStretchGiveOneIntersectionCurve) {
  // The second curve is a piece of the first, running either way: the whole piece is
  // one intersection curve from its start to its end, with no single points.
  const std::vector<double> pts = {0, 0, 1, 0.6, 2, 0.2, 3, -0.5, 4, 0.1, 5, 0.8};
  CurveHandle c1 = interpolate(pts, 2, 3);
  ASSERT_TRUE(c1);
  const double a = range_start(c1.get()), b = range_end(c1.get());
  const double lo = a + 0.3 * (b - a), hi = a + 0.6 * (b - a);
  for (bool reversed : {false, true}) {
    spline_curve* piece = nullptr;
    int st = 0;
    s1712(c1.get(), reversed ? hi : lo, reversed ? lo : hi, &piece, &st);
    ASSERT_GE(st, 0);
    CurveHandle c2(piece);
    const double eps = 1e-3;
    const Result r = intersect(c1.get(), c2.get(), eps);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.points.empty()) << (reversed ? "reversed" : "same direction");
    ASSERT_EQ(r.curves.size(), 1u) << (reversed ? "reversed" : "same direction");
    const auto& ends = r.curves[0];
    EXPECT_NEAR(std::min(ends[0], ends[1]), lo, 1e-6);
    EXPECT_NEAR(std::max(ends[0], ends[1]), hi, 1e-6);
  }
}

TEST(CurveCurveIsect, TouchingCurvesGiveOnePoint) {
  // Parabolas y = t^2 and y = c - t^2 over t in [-1, 1] (x = t on both): for c = 0 they
  // touch at the origin and for c = -eps / 2 they come within the tolerance there
  // without meeting: one point, within the tolerance of both curves, near t = 0.  For
  // c = 4 eps they cross twice, at t = +-sqrt(c / 2); for c = -2.5 eps they stay apart.
  const double eps = 1e-3;
  struct Case {
    double c;
    int points;
    bool crossings;
  } cases[] = {{0.0, 1, false}, {-0.5 * eps, 1, false}, {4 * eps, 2, true},
               {-2.5 * eps, 0, false}};
  for (const Case& k : cases) {
    double knots[6] = {-1, -1, -1, 1, 1, 1};
    double v1[6] = {-1, 1, 0, -1, 1, 1};
    double v2[6] = {-1, k.c - 1, 0, k.c + 1, 1, k.c - 1};
    CurveHandle c1(create_curve(3, 3, knots, v1, 1, 2, 1));
    CurveHandle c2(create_curve(3, 3, knots, v2, 1, 2, 1));
    const Result r = intersect(c1.get(), c2.get(), eps);
    EXPECT_EQ(r.status, k.points > 0 ? 1 : 0) << "c " << k.c;
    EXPECT_TRUE(r.curves.empty()) << "c " << k.c;
    ASSERT_EQ(static_cast<int>(r.points.size()), k.points) << "c " << k.c;
    std::vector<double> t1;
    for (const auto& p : r.points) {
      EXPECT_LE(distance(at(c1.get(), p.first), at(c2.get(), p.second), 2), eps);
      EXPECT_LE(std::fabs(p.first), 2 * std::sqrt(eps)) << "c " << k.c;
      EXPECT_LE(std::fabs(p.second), 2 * std::sqrt(eps)) << "c " << k.c;
      t1.push_back(p.first);
    }
    if (k.crossings) {
      std::sort(t1.begin(), t1.end());
      const double root = std::sqrt(k.c / 2);
      EXPECT_NEAR(t1[0], -root, 1e-9);
      EXPECT_NEAR(t1[1], root, 1e-9);
    }
  }
}

TEST(CurveCurveIsect, RecursionLevelComesBackAfterSuccessAndFailure) {
  std::mt19937 rng(11);
  auto [c1, c2] = crossing_pair(rng, 2, 3, false);
  ASSERT_TRUE(c1 && c2);
  const int entry = isect_recursion_level;
  const Result ok = intersect(c1.get(), c2.get(), 1e-6);
  EXPECT_EQ(ok.status, 1);
  EXPECT_FALSE(ok.points.empty());
  EXPECT_EQ(isect_recursion_level, entry);
  isect_test::ReportLog log;
  isect_test::ServiceGuard guard;
  isect_services().eval_curve_levelled = [](const spline_curve*, int, double, double, int*,
                                            double*, int* st) { *st = -78; };
  const Result failed = intersect(c1.get(), c2.get(), 1e-6);
  EXPECT_EQ(failed.status, -78);
  EXPECT_TRUE(log.named("sh1762"));
  EXPECT_EQ(isect_recursion_level, entry);
}

// A pair of curve objects around two straight segments, each its own origin.
struct SegmentPair {
  geom_object* a;
  geom_object* b;
  SegmentPair(std::vector<double> p, std::vector<double> q, int dim) {
    double knots[4] = {0, 0, 1, 1};
    a = create_geom_object(kCurveObject);
    b = create_geom_object(kCurveObject);
    a->curve = create_curve(2, 2, knots, p.data(), 1, dim, 1);
    b->curve = create_curve(2, 2, knots, q.data(), 1, dim, 1);
    a->origin = a;
    b->origin = b;
  }
  ~SegmentPair() {
    destroy_geom_object(a);
    destroy_geom_object(b);
  }
};

std::vector<int> tops(const isect_point* p) {
  int m[4] = {0, 0, 0, 0}, st = 0;
  sh6gettop(p, -1, &m[0], &m[1], &m[2], &m[3], &st);
  return {m[0], m[1], m[2], m[3]};
}

TEST(CurveCurveSides, CrossingsTakeTheSidesOfTheTangentCrossProduct) {
  // Segment 1 along +x through the origin, segment 2 along +y or -y: the sign of
  // T1 x T2 decides; the curves' markers are opposite on each side.
  struct Case {
    double dir;
    std::vector<int> markers;
  } cases[] = {{+1, {2, 1, 1, 2}}, {-1, {1, 2, 2, 1}}};
  for (const Case& k : cases) {
    SegmentPair pair({-1, 0, 1, 0}, {0, -k.dir, 0, k.dir}, 2);
    isect_test::Graph g;
    isect_point* p = g.add({0.5, 0.5});
    int added = -1, st = 0;
    mark_curve_curve_sides(pair.a, pair.b, 1e-6, &g.data, p, &added, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(added, 0);
    EXPECT_EQ(tops(p), k.markers) << "direction " << k.dir;
  }
}

TEST(CurveCurveSides, OneDimensionalCurvesAreNeverReadPastTheirDimension) {
  // Two one-dimensional curves, with the same or opposite tangents: the geometry block
  // of each holds one value and one derivative, and no side test may read a second
  // coordinate (the address sanitizer would report it).  Both segments cover the same
  // interval [-1, 1], so on both sides of the point they run along each other.
  for (double sign : {+1.0, -1.0}) {
    SegmentPair pair({-1, 1}, {sign, -sign}, 1);
    isect_test::Graph g;
    isect_point* p = g.add({0.5, 0.5});
    int added = -1, st = 0;
    mark_curve_curve_sides(pair.a, pair.b, 1e-6, &g.data, p, &added, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(added, 0);
    EXPECT_EQ(tops(p), (std::vector<int>{3, 3, 3, 3})) << "sign " << sign;
  }
}

TEST(CurveCurveSides, TouchingCurvesTakeTheSidesWhereTheySeparate) {
  // y = x^2 against y = 0 (both running towards +x, or the line reversed): the
  // parabola lies above the line on both sides of the touch.  With the line as the
  // first curve: on its left and right the parabola is on the side of positive cross
  // product of the separating steps.
  double knots3[6] = {-1, -1, -1, 1, 1, 1};
  double para[6] = {-1, 1, 0, -1, 1, 1};
  double knots2[4] = {-1, -1, 1, 1};
  struct Case {
    double line[4];
    double t_line;
    std::vector<int> markers;
  } cases[] = {{{-1, 0, 1, 0}, 0.0, {1, 1, 2, 2}}, {{1, 0, -1, 0}, 0.0, {1, 1, 1, 1}}};
  for (const Case& k : cases) {
    geom_object* a = create_geom_object(kCurveObject);
    geom_object* b = create_geom_object(kCurveObject);
    a->curve = create_curve(2, 2, knots2, const_cast<double*>(k.line), 1, 2, 1);
    b->curve = create_curve(3, 3, knots3, para, 1, 2, 1);
    a->origin = a;
    b->origin = b;
    isect_test::Graph g;
    isect_point* p = g.add({k.t_line, 0.0});
    int added = -1, st = 0;
    mark_curve_curve_sides(a, b, 1e-6, &g.data, p, &added, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(tops(p), k.markers) << "line from " << k.line[0];
    destroy_geom_object(a);
    destroy_geom_object(b);
  }
}

TEST(CurveCurveSides, DimensionsAreChecked) {
  SegmentPair mixed({-1, 0, 1, 0}, {0, 0, 0, 1, 1, 1}, 2);
  // The second curve of dimension 3.
  destroy_curve(mixed.b->curve);
  double knots[4] = {0, 0, 1, 1};
  double v3[6] = {0, -1, 0, 0, 1, 0};
  mixed.b->curve = create_curve(2, 2, knots, v3, 1, 3, 1);
  isect_test::Graph g;
  isect_point* p = g.add({0.5, 0.5});
  int added = 0, st = 0;
  mark_curve_curve_sides(mixed.a, mixed.b, 1e-6, &g.data, p, &added, &st);
  EXPECT_EQ(st, kErrDimensionMismatch);
  // A help point is left alone.
  SegmentPair pair({-1, 0, 1, 0}, {0, -1, 0, 1}, 2);
  isect_point* h = g.add({0.25, 0.25}, -1);
  st = 0;
  mark_curve_curve_sides(pair.a, pair.b, 1e-6, &g.data, h, &added, &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(tops(h), (std::vector<int>{0, 0, 0, 0}));
}

TEST(CurveCurveMicro, EdgePointsOfTwoTinyCurvesBecomeOneConnectedPair) {
  // Two curves inside a box of the tolerance's size with three edge points: the
  // middle one is united into the first (which keeps its parameters), the first is
  // connected to the last, and the tables are rebuilt from the data.
  SegmentPair pair({0, 0, 1e-7, 0}, {0, 1e-8, 1e-7, 1e-8}, 2);
  isect_test::Graph g;
  isect_point* p0 = g.add({0.0, 0.0});
  isect_point* p1 = g.add({1.0, 1.0});
  isect_point* p2 = g.add({0.0, 1.0});
  edge_table* tables[2] = {create_edge_table(2), create_edge_table(2)};
  int st = 0;
  sh6idalledg(pair.a, pair.b, g.data, tables, &st);
  ASSERT_EQ(st, 0);
  isect_point** listed = nullptr;
  int n = 0;
  sh6edgpoint(tables, &listed, &n, &st);
  ASSERT_EQ(n, 3);
  std::vector<isect_point*> order(listed, listed + n);
  free(listed);
  st = 0;
  sh1762_s9mic(pair.a, pair.b, &g.data, tables, &st);
  EXPECT_EQ(st, 1);
  ASSERT_EQ(g.data->point_count, 2);
  isect_point* first = order[0];
  isect_point* last = order[2];
  int sa = -1, sb = -1;
  sh6getlist(first, last, &sa, &sb, &st);
  EXPECT_EQ(st, 0) << "first and last connected";
  const int total = tables[0]->point_count + tables[1]->point_count;
  EXPECT_GE(total, 2);
  destroy_edge_table(tables[0]);
  destroy_edge_table(tables[1]);
  (void)p0;
  (void)p1;
  (void)p2;
}

// A Bezier curve object on the given vertices over [0, 1], its own origin.
geom_object* bezier_object(const std::vector<double>& verts, int dim) {
  const int n = static_cast<int>(verts.size()) / dim;
  std::vector<double> knots;
  for (int i = 0; i < n; ++i) knots.push_back(0.0);
  for (int i = 0; i < n; ++i) knots.push_back(1.0);
  geom_object* o = create_geom_object(kCurveObject);
  o->curve = create_curve(n, n, knots.data(), const_cast<double*>(verts.data()), 1, dim, 1);
  o->origin = o;
  return o;
}

TEST(CurveCurveCut, SinglePieceIsCutAtTheCrossingInsideItsInnerRange) {
  // A quadratic Bezier along y = 0 from x = 0 to 1 (x = u) against a vertical segment:
  // the cut goes to the crossing when it lies inside [0.01, 0.99] and the crossing is
  // inside the segment's own inner range; otherwise to the middle, 0.5.
  struct Case {
    double x, y0, y1;
    double cut;
  } cases[] = {
      {0.3, -1, 1, 0.3},      // crossing in the middle of both
      {0.005, -1, 1, 0.5},    // crossing within 1 % of the start
      {0.7, 0.2, 1, 0.5},     // the segment stops short of the curve
      {0.7, -0.995, 0.005, 0.5},  // the crossing is within 1 % of the segment's end
  };
  for (const Case& k : cases) {
    geom_object* a = bezier_object({0, 0, 0.5, 0, 1, 0}, 2);
    geom_object* b = bezier_object({k.x, k.y0, k.x, k.y1}, 2);
    edge_table* tables[2] = {create_edge_table(2), create_edge_table(2)};
    isect_data* data = nullptr;
    int fixed = 0, st = 0;
    isect_point* found = nullptr;
    double values[2] = {-1, -1};
    sh1762_s9subdivpt(a, b, 1e-6, 1, 0, tables, &data, &fixed, &found, values, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(found, nullptr);
    EXPECT_NEAR(values[0], k.cut, 1e-12) << "segment at x = " << k.x;
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
    destroy_geom_object(a);
    destroy_geom_object(b);
  }
}

TEST(CurveCurveUpdate, SimplePairsSettleByTheirEdgePointsOrANewCrossing) {
  // A segment along y = 0 against a vertical one at x = 0.25, crossing at parameter
  // 0.25 on both, or stopping short of it; with 0, 1 or 2 points given at the ends of
  // the first segment.
  struct Case {
    std::vector<double> second;
    int edge_points;
    int result;
    int points_after;
  } cases[] = {
      {{0.25, -0.5, 0.25, 1.5}, 0, 1, 1},  // a new crossing
      {{0.25, 0.5, 0.25, 1.5}, 0, 2, 0},   // apart: nothing added
      {{0.25, -0.5, 0.25, 1.5}, 1, 2, 1},  // one edge point settles the pair
      {{0.25, -0.5, 0.25, 1.5}, 2, 1, 2},  // two edge points are connected
  };
  for (const Case& k : cases) {
    geom_object* a = bezier_object({0, 0, 1, 0}, 2);
    geom_object* b = bezier_object(k.second, 2);
    isect_test::Graph g;
    std::vector<isect_point*> given;
    if (k.edge_points >= 1) given.push_back(g.add({0.0, 0.25}));
    if (k.edge_points >= 2) given.push_back(g.add({1.0, 0.25}));
    edge_table* tables[2] = {create_edge_table(2), create_edge_table(2)};
    int st = 0;
    sh6idalledg(a, b, g.data, tables, &st);
    ASSERT_EQ(st, 0);
    st = 0;
    sh1762_s9update(a, b, 1e-6, &g.data, tables, &st);
    EXPECT_EQ(st, k.result) << "case with " << k.edge_points << " edge points";
    const int count = g.data ? g.data->point_count : 0;
    EXPECT_EQ(count, k.points_after);
    if (k.edge_points == 0 && k.result == 1) {
      EXPECT_NEAR(g.data->points[0]->params[0], 0.25, 1e-12);
      EXPECT_NEAR(g.data->points[0]->params[1], 0.25, 1e-12);
    }
    if (k.edge_points == 2) {
      int sa = -1, sb = -1;
      st = 0;
      sh6getlist(given[0], given[1], &sa, &sb, &st);
      EXPECT_EQ(st, 0) << "the two edge points are connected";
    }
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
    destroy_geom_object(a);
    destroy_geom_object(b);
  }
}

// Exact rational circle of radius r about (cx, cy): nine vertices, order 3, quarter
// arcs on [0, 4], starting at angle 0.
CurveHandle rational_circle(double cx, double cy, double r) {
  return CurveHandle(contour_test::closed_circle(cx, cy, r));
}

TEST(CurveCurveIsect, TwoCirclesCrossAtTheClosedForm) {
  // Circles of radius 5 about (0, 0) and (d, 0) cross at x = d / 2, y = +-sqrt(25 -
  // d^2 / 4); at d = 10 they touch at (5, 0), and beyond they are apart.
  struct Case {
    double d;
    int points;
  } cases[] = {{6.0, 2}, {2.0, 2}, {9.0, 2}, {10.0, 1}, {10.01, 0}};
  for (const Case& k : cases) {
    CurveHandle c1 = rational_circle(0, 0, 5);
    CurveHandle c2 = rational_circle(k.d, 0, 5);
    const double eps = 1e-6;
    const Result r = intersect(c1.get(), c2.get(), eps);
    ASSERT_GE(r.status, 0);
    EXPECT_TRUE(r.curves.empty()) << "d " << k.d;
    ASSERT_EQ(static_cast<int>(r.points.size()), k.points) << "d " << k.d;
    const double y = std::sqrt(std::fmax(0.0, 25 - k.d * k.d / 4));
    for (const auto& p : r.points) {
      const auto a = at(c1.get(), p.first), b = at(c2.get(), p.second);
      EXPECT_LE(distance(a, b, 2), eps);
      const double tol = k.points == 2 ? 1e-9 : 2e-3;
      EXPECT_NEAR(a[0], k.d / 2, tol) << "d " << k.d;
      EXPECT_NEAR(std::fabs(a[1]), y, tol) << "d " << k.d;
    }
  }
}

}  // namespace

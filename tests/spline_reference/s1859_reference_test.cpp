// Surface against surface compared with OpenCASCADE: random bicubic patches crossing
// each other are intersected by s1859 and marched by s1310; the curves must be the
// branches OpenCASCADE's surface/surface intersection finds on the same surfaces.
#include <gtest/gtest.h>

#include <GeomAPI_IntSS.hxx>
#include <Geom_Curve.hxx>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/handles.h"
#include "spline/isect.h"
#include "spline/records.h"
#include "tests/spline_reference/occt_convert_testutil.h"

namespace {

using Point = std::vector<double>;
using Polyline = std::vector<Point>;

spline_surface* bezier_patch(const std::vector<double>& verts) {
  std::vector<double> k = {0, 0, 0, 0, 1, 1, 1, 1};
  std::vector<double> v = verts;
  return create_surface(4, 4, 4, 4, k.data(), k.data(), v.data(), 1, 3, 1);
}

// Graph z = f(x, y) over [0, 1]^2 with random heights of the control net.
spline_surface* random_floor(std::mt19937& rng) {
  std::uniform_real_distribution<double> h(-0.3, 0.3);
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) v.insert(v.end(), {i / 3.0, j / 3.0, h(rng)});
  return bezier_patch(v);
}

// Graph y = g(x, z) over [-0.1, 1.1] x [-0.6, 0.6], a wall standing across the floor.
spline_surface* random_wall(std::mt19937& rng) {
  std::uniform_real_distribution<double> h(0.2, 0.8);
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) v.insert(v.end(), {-0.1 + 1.2 * i / 3.0, h(rng), -0.6 + 1.2 * j / 3.0});
  return bezier_patch(v);
}

double distance(const Point& a, const Point& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}

double to_segment(const Point& p, const Point& a, const Point& b) {
  double ab[3], ap[3], l2 = 0, t = 0;
  for (int i = 0; i < 3; ++i) {
    ab[i] = b[i] - a[i];
    ap[i] = p[i] - a[i];
    l2 += ab[i] * ab[i];
    t += ab[i] * ap[i];
  }
  t = l2 > 0 ? std::clamp(t / l2, 0.0, 1.0) : 0.0;
  Point q = {a[0] + t * ab[0], a[1] + t * ab[1], a[2] + t * ab[2]};
  return distance(p, q);
}

// Largest distance from a sample of `from` to the nearest polyline of `to`.
double directed(const std::vector<Polyline>& from, const std::vector<Polyline>& to) {
  double worst = 0;
  for (const Polyline& f : from)
    for (const Point& p : f) {
      double best = 1e300;
      for (const Polyline& g : to) {
        if (g.size() == 1) best = std::min(best, distance(p, g[0]));
        for (size_t i = 1; i < g.size(); ++i) best = std::min(best, to_segment(p, g[i - 1], g[i]));
      }
      worst = std::max(worst, best);
    }
  return worst;
}

Polyline sample(const spline_curve* c, int count) {
  Polyline out;
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  for (int i = 0; i <= count; ++i) {
    Point p(3);
    int left = 0, st = 0;
    s1221(c, 0, a + (b - a) * i / count, &left, p.data(), &st);
    out.push_back(p);
  }
  return out;
}

Polyline sample(const Handle(Geom_Curve)& c, int count) {
  Polyline out;
  const double a = c->FirstParameter(), b = c->LastParameter();
  for (int i = 0; i <= count; ++i) {
    const gp_Pnt p = c->Value(a + (b - a) * i / count);
    out.push_back({p.X(), p.Y(), p.Z()});
  }
  return out;
}

TEST(S1859Reference, RandomBicubicPairsGiveTheBranchesOfTheReferenceKernel) {
  std::mt19937 rng(1859);
  for (int trial = 0; trial < 30; ++trial) {
    SCOPED_TRACE(testing::Message() << "pair " << trial);
    const SurfaceHandle owned_a(random_floor(rng));
    const SurfaceHandle owned_b(random_wall(rng));
    spline_surface* a = owned_a.get();
    spline_surface* b = owned_b.get();
    ASSERT_TRUE(a && b);

    int np = 0, nc = 0, st = 0;
    double *p1 = nullptr, *p2 = nullptr;
    isect_curve** curves = nullptr;
    s1859(a, b, 1e-15, 1e-6, &np, &p1, &p2, &nc, &curves, &st);
    const ToolkitArray<double> owned_p1(p1), owned_p2(p2);
    const IsectCurveArray owned_curves(curves, nc);
    ASSERT_GE(st, 0);
    std::vector<Polyline> ours;
    for (int i = 0; i < nc; ++i) {
      int ms = 0;
      s1310(a, b, curves[i], 1e-6, 0.0, 1, 0, &ms);
      EXPECT_EQ(ms, 0);
      if (curves[i]->geometry) ours.push_back(sample(curves[i]->geometry, 400));
    }

    GeomAPI_IntSS ref(to_occt_surface(a), to_occt_surface(b), 1e-7);
    ASSERT_TRUE(ref.IsDone());
    std::vector<Polyline> theirs;
    for (int i = 1; i <= ref.NbLines(); ++i) theirs.push_back(sample(ref.Line(i), 400));

    EXPECT_EQ(ours.empty(), theirs.empty());
    if (!ours.empty() && !theirs.empty()) {
      EXPECT_LT(directed(ours, theirs), 1e-3);
      EXPECT_LT(directed(theirs, ours), 1e-3);
    }
  }
}

}  // namespace

#include "spline/detail/isect/special_cases.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/isect_fixture.h"
#include "spline/detail/isect/special_testutil.h"
#include "spline/linalg.h"
#include "spline/status.h"

namespace {

using namespace special_test;
using isect_test::ReportLog;

constexpr double kEps = 1e-3;
// Tolerance of the surface properties: above the spacing of their dense samples, so
// that every contact within it shows in the samples.
constexpr double kSurfaceEps = 0.05;

// ---------------------------------------------------------------------------
// Frames

TEST(SpecialFrames, PlaneFramesFromOneDirection) {
  struct Case {
    std::array<double, 2> d;
    std::array<double, 4> rows;
  };
  const Case cases[] = {
      {{3, 4}, {0.6, 0.8, 0.8, -0.6}},
      {{-2, 0}, {-1, 0, 0, 1}},
      {{0, 0}, {1, 0, 0, 1}},  // no direction: the identity
  };
  for (const Case& c : cases) {
    double f[4];
    orthonormal_frame_2d(f, c.d.data());
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(f[i], c.rows[i], 1e-15) << c.d[0] << " " << i;
  }
}

TEST(SpecialFrames, SpaceFramesOfTheSpecialDirections) {
  struct Case {
    const char* what;
    std::array<double, 3> d1, d2;
    std::array<double, 9> rows;
  };
  const Case cases[] = {
      {"parallel along z", {0, 0, 1}, {0, 0, 2}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
      {"zero first direction", {0, 0, 0}, {1, 2, 3}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
      {"x and y", {2, 0, 0}, {0, 5, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
      // Normal along x: the frame is built about the first direction alone.
      {"y and z", {0, 3, 0}, {0, 0, 1}, {0, 1, 0, -1, 0, 0, 0, 0, 1}},
      {"z and x", {0, 0, 2}, {1, 0, 0}, {0, 0, 1, 1, 0, 0, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    double f[9];
    orthonormal_frame_3d(f, c.d1.data(), c.d2.data());
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(f[i], c.rows[i], 1e-15) << c.what << " " << i;
  }
}

TEST(SpecialFrames, RandomDirectionsGiveRotationsAlongTheFirst) {
  std::mt19937 rng(11);
  std::normal_distribution<double> g(0, 1);
  for (int trial = 0; trial < 2000; ++trial) {
    double d1[3], d2[3];
    for (int i = 0; i < 3; ++i) d1[i] = g(rng);
    if (trial % 7 == 0) d1[0] = d1[1] = 0;  // along z
    for (int i = 0; i < 3; ++i) d2[i] = trial % 5 == 0 ? 2.5 * d1[i] : g(rng);  // parallel
    double f[9];
    orthonormal_frame_3d(f, d1, d2);
    for (int r = 0; r < 3; ++r)
      for (int s = 0; s < 3; ++s)
        EXPECT_NEAR(vec_dot(f + 3 * r, f + 3 * s, 3), r == s ? 1.0 : 0.0, 1e-12) << trial;
    // The first row is the first direction, except for the identity of a direction
    // along z that gives no normal.
    if (trial % 35 == 0) continue;
    const double len = std::sqrt(vec_dot(d1, d1, 3));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(f[i], d1[i] / len, 1e-12) << trial;
  }
}

// ---------------------------------------------------------------------------
// Fixtures

// Unit vectors of a tilted plane (normal (1, 1, 1) / sqrt 3).
const double kE1[3] = {1 / std::sqrt(2.0), -1 / std::sqrt(2.0), 0};
const double kE2[3] = {1 / std::sqrt(6.0), 1 / std::sqrt(6.0), -2 / std::sqrt(6.0)};
const double kNormal[3] = {1 / std::sqrt(3.0), 1 / std::sqrt(3.0), 1 / std::sqrt(3.0)};

std::vector<double> plane_point(double a, double b, double h) {
  std::vector<double> p(3);
  for (int i = 0; i < 3; ++i) p[i] = 0.5 + a * kE1[i] + b * kE2[i] + h * kNormal[i];
  return p;
}

// The square [-1, 1]^2 of the tilted plane as a surface of order 2 with m x m vertices.
ObjectPtr tilted_square(int m) {
  std::vector<double> v;
  for (int j = 0; j < m; ++j)
    for (int i = 0; i < m; ++i) {
      const auto p = plane_point(-1 + 2.0 * i / (m - 1), -1 + 2.0 * j / (m - 1), 0);
      v.insert(v.end(), p.begin(), p.end());
    }
  return wrap(surface_from(v, m, m, 2, 2, 3));
}

// A straight segment h above the tilted plane as a polygon of m vertices.
ObjectPtr segment_above(double h, int m) {
  std::vector<double> v;
  for (int i = 0; i < m; ++i) {
    const double s = static_cast<double>(i) / (m - 1);
    const auto p = plane_point(-0.5 + s, 0.2 - 0.3 * s, h);
    v.insert(v.end(), p.begin(), p.end());
  }
  return wrap(curve_from(v, 2, 3));
}

// A flat bicubic patch over the quadrilateral with corners (0, 0), (4, 0), (3, 3),
// (0, 4) in the plane z = 0: its right and top edges are slanted.
ObjectPtr quad_patch(const double corners[4][2]) {
  std::vector<double> v;
  const int n = 5;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const double s = static_cast<double>(i) / (n - 1), t = static_cast<double>(j) / (n - 1);
      for (int c = 0; c < 2; ++c)
        v.push_back((1 - s) * (1 - t) * corners[0][c] + s * (1 - t) * corners[1][c] +
                    s * t * corners[2][c] + (1 - s) * t * corners[3][c]);
      v.push_back(0.0);
    }
  return wrap(surface_from(v, n, n, 4, 4, 3));
}

const double kTrapezoid[4][2] = {{0, 0}, {4, 0}, {3, 3}, {0, 4}};
const double kParallelogram[4][2] = {{0, 0}, {4, 0}, {5, 3}, {1, 3}};

// ---------------------------------------------------------------------------
// Errors

TEST(SpecialCases, ErrorsAreReportedUnderTheRoutinesName) {
  auto plane2 = wrap(surface_from({0, 0, 1, 0, 0, 1, 1, 1}, 2, 2, 2, 2, 2));
  auto curve2 = wrap(line({0, 0}, {1, 1}));
  auto curve3 = wrap(line({0, 0, 0}, {1, 1, 1}));
  auto curve4 = wrap(line({0, 0, 0, 0}, {1, 1, 1, 1}));
  auto plane3 = tilted_square(2);
  const double d[3] = {1, 0, 0};
  const double M[4] = {0, 0, 0, 0}, N[4] = {1, 0, 0, 0};
  struct Case {
    const char* routine;
    int want;
    std::function<int()> run;
  };
  const Case cases[] = {
      {"sh1834", kErrDimensionNotAccepted,
       [&] { int s = 0; sh1834(curve4.get(), curve4.get(), kEps, 4, d, d, &s); return s; }},
      {"sh1834", kErrDimensionMismatch,
       [&] { int s = 0; sh1834(curve2.get(), curve2.get(), kEps, 3, d, d, &s); return s; }},
      {"sh1830", kErrDimensionNot3,
       [&] { int s = 0; sh1830(plane2.get(), curve2.get(), kEps, &s); return s; }},
      {"sh1830", kErrKind,
       [&] { int s = 0; sh1830(curve3.get(), curve3.get(), kEps, &s); return s; }},
      {"sh1830", kErrDimensionMismatch,
       [&] { int s = 0; sh1830(curve2.get(), plane3.get(), kEps, &s); return s; }},
      {"sh1839", -122,
       [&] { int s = 0; sh1839(curve3.get(), plane3.get(), kEps, &s); return s; }},
      {"sh1831", kErrDimensionNotAccepted,
       [&] { int s = 0; sh1831(curve4->curve, curve4->curve, 1, M, N, kEps, &s); return s; }},
      {"sh1831", kErrDimensionMismatch,
       [&] { int s = 0; sh1831(curve3->curve, curve2->curve, 1, M, N, kEps, &s); return s; }},
  };
  for (const Case& c : cases) {
    ReportLog log;
    EXPECT_EQ(c.run(), c.want) << c.routine;
    EXPECT_TRUE(log.named(c.routine)) << c.routine << " " << c.want;
  }
}

// ---------------------------------------------------------------------------
// Frame box tests on fixtures with known answers

TEST(SpecialCases, SegmentAboveATiltedPlaneIsApartInTheNormalFrame) {
  struct Case {
    double height;  // in units of the tolerance
    int square_vertices, segment_vertices;
    bool apart;
  };
  const Case cases[] = {
      {10, 2, 2, true},    // bilinear plane and a straight segment
      {10, 4, 5, true},    // the same with several spans
      {-10, 4, 5, true},   // below the plane
      {0.3, 4, 5, false},  // within the tolerance: must not be called apart
      {0.0, 4, 5, false},  // lying in the plane
  };
  for (const Case& c : cases) {
    auto plane = tilted_square(c.square_vertices);
    auto seg = segment_above(c.height * kEps, c.segment_vertices);
    int world = 0;
    sh1790(plane.get(), seg.get(), 12, kEps, &world);
    EXPECT_NE(world, 0) << "world axes never separate the tilted pair";
    int r = -1;
    sh1830(plane.get(), seg.get(), kEps, &r);
    EXPECT_EQ(r == 0, c.apart) << c.height << " " << r;
    int swapped = -1;
    sh1830(seg.get(), plane.get(), kEps, &swapped);
    EXPECT_EQ(swapped == 0, c.apart) << c.height;
  }
}

TEST(SpecialCases, CornerPairsParallelToTheFirstAreDropped) {
  struct Case {
    const char* what;
    const double (*corners)[2];
    int pairs;
  };
  const Case cases[] = {{"parallelogram", kParallelogram, 1}, {"trapezoid", kTrapezoid, 4}};
  for (const Case& c : cases) {
    auto patch = quad_patch(c.corners);
    double pairs[24];
    int count = 0, diagonals = -1;
    sh1839_direction_pairs(patch->surface, pairs, &count, &diagonals);
    EXPECT_EQ(diagonals, 0) << c.what;
    ASSERT_EQ(count, c.pairs) << c.what;
    // Every kept pair: the two net edges leaving one corner, i.e. directions along the
    // quadrilateral's sides at that corner.
    const int corner_of_pair[4][3] = {{0, 1, 3}, {1, 0, 2}, {3, 2, 0}, {2, 3, 1}};
    for (int p = 0; p < count; ++p) {
      const int* k = corner_of_pair[p];
      for (int e = 0; e < 2; ++e) {
        const double side[3] = {c.corners[k[1 + e]][0] - c.corners[k[0]][0],
                                c.corners[k[1 + e]][1] - c.corners[k[0]][1], 0};
        EXPECT_LT(vec_angle(pairs + p * 6 + e * 3, side, 3), 1e-7) << c.what << p << e;
      }
    }
  }
  // Pieces of order 2 use the two diagonals of the net.
  auto plane = tilted_square(3);
  double pairs[24];
  int count = 0, diagonals = 0;
  sh1839_direction_pairs(plane->surface, pairs, &count, &diagonals);
  EXPECT_EQ(diagonals, 1);
  EXPECT_EQ(count, 1);
  const auto a = plane_point(1, 1, 0), b = plane_point(-1, -1, 0);
  const double diag[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
  EXPECT_LT(vec_angle(pairs, diag, 3), 1e-7);
}

// A surface of a single row (or column) of vertices, of order 1 across it: a cubic
// strip.  Its corner pairs read only the vertices it has; a point far from it is
// separated and a point on it (its first vertex, a corner) never.
TEST(SpecialCases, SingleRowSurfacesGiveCornerPairsFromTheirOwnVertices) {
  const std::vector<double> row = {0, 0, 0, 1, 2, 0, 2, 2, 1, 3, 0, 1};
  for (int across = 0; across < 2; ++across) {
    SCOPED_TRACE(across);
    const std::vector<double> along = {0, 0, 0, 0, 1, 1, 1, 1}, single = {0, 1};
    auto strip = wrap(across == 0 ? surface(along, single, 4, 1, row, 1, 3)
                                  : surface(single, along, 1, 4, row, 1, 3));
    ASSERT_TRUE(strip->surface);
    double pairs[24];
    int count = 0, diagonals = -1;
    sh1839_direction_pairs(strip->surface, pairs, &count, &diagonals);
    EXPECT_EQ(diagonals, 0);
    ASSERT_GE(count, 1);
    ASSERT_LE(count, 4);
    // The edge of the net along the row at its first vertex is a direction of the
    // first pair; nothing else but vertex differences can appear.
    const double first_edge[3] = {1, 2, 0};
    EXPECT_LT(vec_angle(pairs + (across == 0 ? 0 : 3), first_edge, 3), 1e-7);
    for (int i = 0; i < 6 * count; ++i) EXPECT_LE(std::fabs(pairs[i]), 3.0) << i;
    auto far = wrap(point({40, -30, 50}));
    int r = -7;
    sh1839(strip.get(), far.get(), kEps, &r);
    EXPECT_EQ(r, 0);
    auto corner = wrap(point({0, 0, 0}));
    sh1839(strip.get(), corner.get(), kEps, &r);
    EXPECT_GT(r, 0);  // boxes overlapping or touching, never apart
  }
}

TEST(SpecialCases, LaterCornerFrameSeparatesAPointOutsideASlantedSide) {
  auto patch = quad_patch(kTrapezoid);
  // Outward unit normal of the slanted side from (4, 0) to (3, 3).
  const double out[2] = {3 / std::sqrt(10.0), 1 / std::sqrt(10.0)};
  struct Case {
    double offset;  // along the outward normal from the side's middle (3.5, 1.5)
    bool apart;
  };
  const Case cases[] = {{0.2, true}, {0.05, true}, {-0.2, false}, {0.0, false}};
  for (const Case& c : cases) {
    auto p = wrap(point({3.5 + c.offset * out[0], 1.5 + c.offset * out[1], 0.0}));
    int world = 0;
    sh1790(patch.get(), p.get(), 12, kEps, &world);
    EXPECT_NE(world, 0) << "the point lies inside the patch's axis box";
    int r = -1;
    sh1839(patch.get(), p.get(), kEps, &r);
    EXPECT_EQ(r == 0, c.apart) << c.offset << " " << r;
  }
}

// A flat net whose right boundary bends in at the top: of its corner pairs only the
// first and the last are kept, and of all the frames tried only the last, along the
// bent boundary, keeps a point beyond that boundary apart.
TEST(SpecialCases, OnlyTheLastCornerFrameSeparates) {
  const double net[4][4][2] = {
      {{0, 0}, {1, 0}, {2, 0}, {3, 0}},
      {{0, 1}, {1, 1}, {2, 1}, {3, 1}},
      {{0, 2}, {1, 2}, {2, 2}, {2.8, 2}},
      {{0, 3}, {1, 3}, {1.9, 3}, {2.2, 3}},
  };
  std::vector<double> v;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) v.insert(v.end(), {net[j][i][0], net[j][i][1], 0.0});
  auto patch = wrap(surface_from(v, 4, 4, 4, 4, 3));
  double pairs[24];
  int count = 0, diagonals = 0;
  sh1839_direction_pairs(patch->surface, pairs, &count, &diagonals);
  ASSERT_EQ(count, 2);
  const double top_right[3] = {0.6, -1, 0};
  EXPECT_LT(vec_angle(pairs + 6 + 3, top_right, 3), 1e-7);
  // Outward normal of the boundary segment from (2.8, 2) to (2.2, 3).
  const double len = std::hypot(1.0, 0.6);
  const double out[2] = {1 / len, 0.6 / len};
  struct Case {
    double offset;
    bool apart;
  };
  for (const Case& c : {Case{0.1, true}, Case{-0.1, false}}) {
    auto p = wrap(point({2.5 + c.offset * out[0], 2.5 + c.offset * out[1], 0.0}));
    // Every frame before the last one sees the boxes overlap.
    int r = -1;
    sh1834(patch.get(), p.get(), kEps, 3, pairs, pairs + 3, &r);
    EXPECT_NE(r, 0);
    sh1834(patch.get(), p.get(), kEps, 3, pairs + 6, pairs + 9, &r);
    EXPECT_NE(r, 0);
    sh1834(patch.get(), p.get(), kEps, 3, pairs + 9, pairs + 6, &r);
    EXPECT_EQ(r == 0, c.apart);
    sh1839(patch.get(), p.get(), kEps, &r);
    EXPECT_EQ(r == 0, c.apart) << c.offset;
  }
}

// ---------------------------------------------------------------------------
// Separating line or plane of two curves

TEST(SpecialCases, SeparatingLineCases) {
  const double M[2] = {0, 0}, N[2] = {0, 1};
  struct Case {
    const char* what;
    std::vector<double> a;
    int ka;
    std::vector<double> b;
    int sign;
    int want;  // 0: separated (the status is left as set), 1 not
  };
  const std::vector<double> below = {-1, -1, 1, -1};
  const Case cases[] = {
      {"apart", {-1, 1, 0, 0.5, 1, 1}, 3, below, 1, 0},
      {"one span touching the line inside", {-1, 1, 0, 0, 1, 1}, 3, below, 1, 0},
      {"two spans touching the line inside", {-1, 1, -0.5, 0, 0.5, 0, 1, 1}, 3, below, 1, 1},
      {"inner vertex within the tolerance", {-1, 1, -0.5, 0.0005, 0.5, 1, 1, 1}, 3, below, 1, 1},
      {"end vertex within the tolerance", {-1, 1, 0, 0.5, 1, 0.0005}, 3, below, 1, 0},
      {"second curve on the first one's side", {-1, 1, 0, 0.5, 1, 1}, 3, {-1, 0.5, 1, 0.5}, 1, 1},
      {"second curve changing sides", {-1, 1, 0, 0.5, 1, 1}, 3, {-1, -1, 1, 1}, 1, 1},
      {"first curve changing sides", {-1, 1, 0, 0.5, 1, -1}, 3, below, 1, 1},
      // Curves running opposite ways at M lie on one side of a separator made from their
      // mean direction: no separation is shown for them.
      {"opposite orientation", {-1, 1, 0, 0.5, 1, 1}, 3, below, -1, 1},
  };
  for (const Case& c : cases) {
    auto a = curve_from(c.a, c.ka, 2);
    auto b = curve_from(c.b, 2, 2);
    int st = 0;
    sh1831(a.get(), b.get(), c.sign, M, N, kEps, &st);
    EXPECT_EQ(st, c.want) << c.what;
  }
}

// Polygons that an order-only reading of the sign rule would call separated although
// the curves cross: a sign change through a vertex on the separator, a last vertex on
// the separator, and a second curve whose last vertex alone changes side.
TEST(SpecialCases, SeparatingLineNeverSeparatesCrossingCurves) {
  const double M[2] = {0, 0}, N[2] = {0, 1};
  struct Case {
    const char* what;
    std::vector<double> a, b;
  };
  const Case cases[] = {
      {"through a vertex on the line", {-1, 1, 0, 0, 1, -1}, {-0.5, 0.2, -0.6, 0.9}},
      {"last vertex on the line", {-1, 1, 0, 0.5, 1, 0}, {-1, 0.5, 1, 0.2}},
      {"second curve ends across", {-1, 1, 0, 0.5, 1, 1}, {-1, -1, -0.5, 0, 0, 0.9}},
  };
  for (const Case& c : cases) {
    auto a = curve_from(c.a, 3, 2);
    auto b = curve_from(c.b, static_cast<int>(c.b.size()) / 2 == 3 ? 3 : 2, 2);
    double closest = 0;
    inner_contacts(sample_curve(a.get(), 2000), sample_curve(b.get(), 2000), kEps, &closest);
    ASSERT_LT(closest, kEps) << c.what << ": the fixture must cross";
    int st = 0;
    sh1831(a.get(), b.get(), 1, M, N, kEps, &st);
    EXPECT_EQ(st, 1) << c.what;
  }
}

// ---------------------------------------------------------------------------
// Brute-force properties: a verdict of "apart" never hides a contact of the two
// objects within the tolerance away from their boundary spans (contacts there are
// edge points, which the subdivision finds on the edges).

std::vector<double> random_rotation(std::mt19937& rng) {
  std::normal_distribution<double> g(0, 1);
  double a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = g(rng);
    b[i] = g(rng);
  }
  double f[9];
  orthonormal_frame_3d(f, a, b);
  return std::vector<double>(f, f + 9);
}

void apply(const std::vector<double>& rot, const double* shift, std::vector<double>* verts,
           int dim) {
  for (size_t i = 0; i < verts->size(); i += dim) {
    double p[3] = {0, 0, 0};
    for (int r = 0; r < dim; ++r)
      for (int c = 0; c < dim; ++c) p[r] += rot[r * 3 + c] * (*verts)[i + c];
    for (int r = 0; r < dim; ++r) (*verts)[i + r] = p[r] + shift[r];
  }
}

TEST(SpecialCasesProperty, FrameBoxTestSeparatesOnlyWhatIsApart) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-1, 1);
  std::normal_distribution<double> g(0, 1);
  const double gaps[] = {0, 0.3, 0.9, 1.5, 3, 10, 100, 400};  // in tolerances
  int apart = 0, inner_touching = 0;
  for (int trial = 0; trial < 240; ++trial) {
    const int dim = 2 + trial % 2;
    const int k = 2 + trial % 3;
    const int n = k + 3 + trial % 3;
    const double wiggle = (trial / 3) % 3 == 0 ? 0.0 : (trial / 3) % 3 == 1 ? 0.002 : 0.2;
    std::vector<double> va;
    for (int i = 0; i < n; ++i) {
      va.push_back(static_cast<double>(i) / (n - 1));
      for (int c = 1; c < dim; ++c) va.push_back(wiggle * u(rng));
    }
    // The second curve: the first one moved across it, or a curve crossing it.
    std::vector<double> vb = va;
    double dir[3] = {0, 0, 0};
    const double gap = gaps[trial % 8] * kEps;
    const bool crossing = trial % 11 == 0;
    if (crossing) {
      vb.clear();
      for (int i = 0; i < n; ++i) {
        vb.push_back(0.5 + 0.1 * u(rng));
        vb.push_back(-0.5 + static_cast<double>(i) / (n - 1));
        if (dim == 3) vb.push_back(0.0);
      }
    } else {
      for (int c = 1; c < dim; ++c) dir[c] = g(rng);
      const double len = std::sqrt(vec_dot(dir, dir, dim));
      for (int c = 0; c < dim; ++c) dir[c] *= gap / len;
      for (size_t i = 0; i < vb.size(); i += dim)
        for (int c = 0; c < dim; ++c) vb[i + c] += dir[c];
    }
    const auto rot = random_rotation(rng);
    std::vector<double> rot2(9);
    if (dim == 2) {
      const double ang = u(rng) * 3;
      rot2 = {std::cos(ang), -std::sin(ang), 0, std::sin(ang), std::cos(ang), 0, 0, 0, 1};
    }
    const double shift[3] = {u(rng), u(rng), u(rng)};
    apply(dim == 3 ? rot : rot2, shift, &va, dim);
    apply(dim == 3 ? rot : rot2, shift, &vb, dim);
    auto A = wrap(curve_from(va, k, dim));
    auto B = wrap(curve_from(vb, k, dim));
    // Frame directions: random, or across the gap (the frame that can separate).
    double d1[3], d2[3];
    for (int c = 0; c < 3; ++c) {
      d1[c] = g(rng);
      d2[c] = g(rng);
    }
    if (trial % 2 == 0 && !crossing) {
      double across[3] = {0, 0, 0};
      for (int r = 0; r < dim; ++r)
        for (int c = 0; c < dim; ++c) across[r] += (dim == 3 ? rot : rot2)[r * 3 + c] * dir[c];
      for (int c = 0; c < dim; ++c) d1[c] = across[c];
    }
    int r = -1;
    sh1834(A.get(), B.get(), kEps, dim, d1, d2, &r);
    ASSERT_GE(r, 0);
    double closest = 0;
    const int contacts =
        inner_contacts(sample_curve(A->curve, 150), sample_curve(B->curve, 150), kEps, &closest);
    if (contacts > 0) ++inner_touching;
    if (r == 0) {
      ++apart;
      EXPECT_EQ(contacts, 0) << "trial " << trial << " closest " << closest;
    }
  }
  // Both kinds of pairs occur, so the property is not empty.
  EXPECT_GT(apart, 40);
  EXPECT_GT(inner_touching, 30);
}

// A bumpy patch over the unit square (order 3, 5 x 5 vertices) and a curve or point
// near it, both turned and moved by the same random motion.
struct SurfacePair {
  ObjectPtr surface{nullptr, destroy_geom_object};
  ObjectPtr other{nullptr, destroy_geom_object};
};

SurfacePair random_surface_pair(std::mt19937& rng, int trial) {
  std::uniform_real_distribution<double> u(-1, 1);
  const double bump = trial % 3 == 0 ? 0.0 : 0.05;
  std::vector<double> vs;
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) {
      vs.push_back(i / 4.0);
      vs.push_back(j / 4.0);
      vs.push_back(bump * u(rng));
    }
  const double heights[] = {0, 0.3, 1.5, 3, 10, 60};
  const double h = heights[trial % 6] * kSurfaceEps * (trial % 4 == 1 ? -1 : 1);
  std::vector<double> vo;
  int kind = trial % 5 == 4 ? 0 : 1;
  if (kind == 0) {
    vo = {0.2 + 0.6 * (u(rng) + 1) / 2, 0.2 + 0.6 * (u(rng) + 1) / 2, h};
  } else {
    const int n = 5;
    for (int i = 0; i < n; ++i) {
      vo.push_back(0.1 + 0.8 * i / (n - 1));
      vo.push_back(0.5 + 0.3 * u(rng));
      vo.push_back(h + (trial % 7 == 0 ? 0.3 * u(rng) : 0.0));
    }
  }
  const auto rot = random_rotation(rng);
  const double shift[3] = {u(rng), u(rng), u(rng)};
  apply(rot, shift, &vs, 3);
  apply(rot, shift, &vo, 3);
  SurfacePair p;
  p.surface = wrap(surface_from(vs, 5, 5, 3, 3, 3));
  p.other = kind == 0 ? wrap(point(vo)) : wrap(curve_from(vo, 3, 3));
  return p;
}

TEST(SpecialCasesProperty, SurfaceFrameTestsSeparateOnlyWhatIsApart) {
  std::mt19937 rng(17);
  int apart = 0, inner_touching = 0;
  for (int trial = 0; trial < 150; ++trial) {
    SurfacePair p = random_surface_pair(rng, trial);
    const auto ss = sample_surface(p.surface->surface, 50);
    const auto so = sample_object(p.other.get(), 100);
    double closest = 0;
    const int contacts = inner_contacts(ss, so, kSurfaceEps, &closest);
    if (contacts > 0) ++inner_touching;
    int r39 = -1;
    sh1839(p.surface.get(), p.other.get(), kSurfaceEps, &r39);
    ASSERT_GE(r39, 0);
    if (r39 == 0) {
      ++apart;
      EXPECT_EQ(contacts, 0) << "sh1839 trial " << trial << " closest " << closest;
    }
    if (p.other->kind == 1) {
      int r30 = -1;
      sh1830(p.other.get(), p.surface.get(), kSurfaceEps, &r30);
      ASSERT_GE(r30, 0);
      if (r30 == 0) {
        ++apart;
        EXPECT_EQ(contacts, 0) << "sh1830 trial " << trial << " closest " << closest;
      }
    }
  }
  EXPECT_GT(apart, 40);
  EXPECT_GT(inner_touching, 15);
}

TEST(SpecialCasesProperty, SurfaceAgainstSurfaceFramesSeparateOnlyWhatIsApart) {
  std::mt19937 rng(23);
  std::uniform_real_distribution<double> u(-1, 1);
  int apart = 0, inner_touching = 0;
  for (int trial = 0; trial < 48; ++trial) {
    const double heights[] = {0, 0.4, 1.5, 3, 10, 60};
    const double h = heights[trial % 6] * kSurfaceEps;
    const double bump = trial % 2 ? 0.02 : 0.0;
    std::vector<double> va, vb;
    for (int j = 0; j < 5; ++j)
      for (int i = 0; i < 5; ++i) {
        const double x = i / 4.0, y = j / 4.0;
        va.insert(va.end(), {x, y, bump * u(rng)});
        // The second patch lies over the first one's middle, h above its bumps.
        vb.insert(vb.end(), {0.25 + 0.5 * x, 0.25 + 0.5 * y, h + bump * u(rng)});
      }
    const auto rot = random_rotation(rng);
    const double shift[3] = {u(rng), u(rng), u(rng)};
    apply(rot, shift, &va, 3);
    apply(rot, shift, &vb, 3);
    auto A = wrap(surface_from(va, 5, 5, 3, 3, 3));
    auto B = wrap(surface_from(vb, 5, 5, 3, 3, 3));
    double closest = 0;
    const int contacts = inner_contacts(sample_surface(A->surface, 30),
                                        sample_surface(B->surface, 30), kSurfaceEps, &closest);
    if (contacts > 0) ++inner_touching;
    for (int order = 0; order < 2; ++order) {
      int r = -1;
      if (order == 0)
        sh1839(A.get(), B.get(), kSurfaceEps, &r);
      else
        sh1839(B.get(), A.get(), kSurfaceEps, &r);
      ASSERT_GE(r, 0);
      if (r == 0) {
        ++apart;
        EXPECT_EQ(contacts, 0) << "trial " << trial << " order " << order;
      }
    }
  }
  EXPECT_GT(apart, 10);
  EXPECT_GT(inner_touching, 4);
}

TEST(SpecialCasesProperty, SeparatedCurvesLieOnOppositeSides) {
  std::mt19937 rng(29);
  std::uniform_real_distribution<double> u(-1, 1);
  std::normal_distribution<double> g(0, 1);
  int separated = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const int dim = 2 + trial % 2;
    double M[3], N[3];
    for (int c = 0; c < dim; ++c) {
      M[c] = u(rng);
      N[c] = g(rng);
    }
    int flag = 0;
    vec_normalize(N, dim, N, &flag);
    // Tangential unit vectors of the separator.
    double T[3] = {0, 0, 0};
    for (int c = 0; c < dim; ++c) T[c] = g(rng);
    const double along = vec_dot(T, N, dim);
    for (int c = 0; c < dim; ++c) T[c] -= along * N[c];
    vec_normalize(T, dim, T, &flag);
    // Vertices at signed distances from the separator, mostly on the curve's own side.
    auto make = [&](int side, int k, int n) {
      std::vector<double> v;
      for (int i = 0; i < n; ++i) {
        double d = side * (0.0 + 0.5 * (u(rng) + 1));
        if (i == n - 1 && trial % 9 == 0) d = 0.0;
        if (trial % 13 == 0 && i == n / 2) d = -d;
        if (trial % 17 == 0) d *= 0.001;
        const double s = static_cast<double>(i) / (n - 1) + 0.1 * u(rng);
        for (int c = 0; c < dim; ++c) v.push_back(M[c] - d * N[c] + (s - 0.5) * T[c]);
      }
      return curve_from(v, k, dim);
    };
    const int side = trial % 2 ? 1 : -1;
    const int ka = 2 + trial % 3, kb = 2 + (trial / 3) % 3;
    auto a = make(side, ka, ka + trial % 4);
    auto b = make(trial % 23 == 0 ? side : -side, kb, kb + 1 + trial % 3);
    const int sign = trial % 10 == 0 ? -1 : 1;
    int st = 0;
    sh1831(a.get(), b.get(), sign, M, N, kEps, &st);
    ASSERT_GE(st, 0);
    if (st != 0) continue;
    ++separated;
    EXPECT_EQ(sign, 1);
    // Dense samples: the two curves lie in opposite closed half-spaces.
    auto sides = [&](const spline_curve* c, double* lo, double* hi) {
      *lo = INFINITY;
      *hi = -INFINITY;
      for (const Sample& s : sample_curve(c, 400)) {
        double diff[3];
        vec_diff(M, s.pos.data(), dim, diff);
        const double d = vec_dot(diff, N, dim);
        *lo = std::fmin(*lo, d);
        *hi = std::fmax(*hi, d);
      }
    };
    double alo, ahi, blo, bhi;
    sides(a.get(), &alo, &ahi);
    sides(b.get(), &blo, &bhi);
    const double slack = 1e-12;
    const bool a_up = alo >= -slack, a_down = ahi <= slack;
    const bool b_up = blo >= -slack, b_down = bhi <= slack;
    EXPECT_TRUE((a_up && b_down) || (a_down && b_up))
        << "trial " << trial << " A [" << alo << ", " << ahi << "] B [" << blo << ", " << bhi
        << "]";
  }
  EXPECT_GT(separated, 250);
}

}  // namespace

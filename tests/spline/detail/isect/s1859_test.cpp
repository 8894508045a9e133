// Surface against surface, end to end: s1859 finds the intersection curves and s1310
// marches them out.  Oracles: the per-height closed form of the catheter reconstruction's
// two extrusions, the circle of a sphere cut by a plane, the cross-section of a periodic
// extrusion cut across and along its axis, the contact point of two touching spheres, a
// cylinder lying on a plane, the common region of coincident patches; a search cut short
// by the work budget says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/detail/isect/march.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/surface_pairs.h"
#include "spline/records.h"
#include "spline/status.h"
#include "tests/spline/detail/isect/catheter_fixture.h"
#include "tests/spline/detail/isect/newton_testutil.h"
#include "tests/spline/detail/isect/surface_fixture.h"

namespace {

using newton_test::dist;
using newton_test::eval_surface;
using surface_test::plane_patch;

// The result of s1859 followed by s1310 on every curve.
struct Result {
  int status = -999;
  int point_count = 0;
  double* params1 = nullptr;
  double* params2 = nullptr;
  int curve_count = 0;
  isect_curve** curves = nullptr;
  std::vector<int> march_status;
  Result() = default;
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  ~Result() {
    free(params1);
    free(params2);
    destroy_isect_curve_array(curves, curve_count);
  }
  // Index of the curve whose geometry ends at the largest parameter (-1 when none).
  int longest() const {
    int best = -1;
    double end = 0.0;
    for (int i = 0; i < curve_count; ++i) {
      const spline_curve* g = curves[i]->geometry;
      if (g && g->knots[g->vertex_count] > end) {
        end = g->knots[g->vertex_count];
        best = i;
      }
    }
    return best;
  }
};

void intersect(spline_surface* a, spline_surface* b, double epsge, Result* r) {
  s1859(a, b, 1e-15, epsge, &r->point_count, &r->params1, &r->params2, &r->curve_count,
        &r->curves, &r->status);
  if (r->status < 0) return;
  for (int i = 0; i < r->curve_count; ++i) {
    int st = 0;
    s1310(a, b, r->curves[i], epsge, 0.0, kMarchGeometry, 0, &st);
    r->march_status.push_back(st);
  }
}

// Samples of a curve: `per_span` per knot span, both ends included.
std::vector<std::vector<double>> samples(const spline_curve* c, int per_span) {
  std::vector<std::vector<double>> out;
  const int k = c->order, n = c->vertex_count;
  for (int i = k - 1; i < n; ++i) {
    const double a = c->knots[i], b = c->knots[i + 1];
    if (b <= a) continue;
    for (int j = 0; j < per_span; ++j) out.push_back(catheter::eval(c, a + (b - a) * j / per_span));
  }
  out.push_back(catheter::eval(c, c->knots[n]));
  return out;
}

double polyline_length(const std::vector<std::vector<double>>& p) {
  double s = 0;
  for (size_t i = 1; i < p.size(); ++i) s += dist(p[i - 1], p[i]);
  return s;
}

// ---------------------------------------------------------------------------
// The catheter.

// Runs the reconstruction's intersection on 200 random pairs of catheter-like tracings
// monotone in height and hands each scene with its common heights and the longest
// marched curve to check.
template <typename Check>
void for_each_catheter(Check check) {
  std::mt19937 rng(5101);
  std::uniform_int_distribution<int> count(8, 30), start(10, 40);
  int done = 0, attempts = 0;
  while (done < 200 && attempts < 400) {
    ++attempts;
    const int n = count(rng);
    auto lao = catheter::random_tracing(rng, n, start(rng));
    auto rao = catheter::random_tracing(rng, n + count(rng) % 5 - 2, start(rng));
    catheter::Scene scene;
    catheter::build_scene(lao, rao, &scene);
    ASSERT_TRUE(scene.ok());
    if (!catheter::height_monotone(scene.lao_curve) || !catheter::height_monotone(scene.rao_curve))
      continue;
    double lo = 0, hi = 0;
    catheter::common_heights(scene, &lo, &hi);
    if (hi - lo < 20) continue;
    ++done;
    SCOPED_TRACE(testing::Message() << "tracing " << done << " (" << n << " points)");

    Result r;
    intersect(scene.lao, scene.rao, 1e-5, &r);
    ASSERT_EQ(r.status, 0);
    const int best = r.longest();
    ASSERT_GE(best, 0);
    check(scene, lo, hi, r.curves[best]->geometry);
    if (testing::Test::HasFatalFailure()) return;
  }
  EXPECT_EQ(done, 200);
}

// The longest marched curve against the closed form: within the marching tolerance at
// the points where the geometry curve interpolates the marched points (its knots), and
// within 1e-4 (in x off the LAO surface, in z off the RAO surface, and in distance)
// everywhere along it, over all the common heights.
TEST(S1859, CatheterFollowsTheHeightwiseClosedForm) {
  for_each_catheter([](const catheter::Scene& scene, double lo, double hi,
                       const spline_curve* g) {
    double at_knots = 0;
    for (int i = g->order - 1; i <= g->vertex_count; ++i) {
      const auto p = catheter::eval(g, g->knots[i]);
      ASSERT_GE(p[1], lo - 1e-5);
      ASSERT_LE(p[1], hi + 1e-5);
      at_knots = std::max(at_knots, dist(p, catheter::catheter_at(scene, std::clamp(p[1], lo, hi))));
    }
    EXPECT_LE(at_knots, 2e-5);
    double worst = 0, worst_x = 0, worst_z = 0, top = -1e300, bottom = 1e300;
    for (const auto& p : samples(g, 20)) {
      ASSERT_GE(p[1], lo - 1e-4);
      ASSERT_LE(p[1], hi + 1e-4);
      const auto q = catheter::catheter_at(scene, std::clamp(p[1], lo, hi));
      worst = std::max(worst, dist(p, q));
      worst_x = std::max(worst_x, std::fabs(p[0] - q[0]));  // off the LAO surface
      worst_z = std::max(worst_z, std::fabs(p[2] - q[2]));  // off the RAO surface
      top = std::max(top, p[1]);
      bottom = std::min(bottom, p[1]);
    }
    EXPECT_LE(worst_x, 1e-4);
    EXPECT_LE(worst_z, 1e-4);
    EXPECT_LE(worst, 1e-4);
    // The curve spans all common heights, so the closed form is close to it as well.
    EXPECT_NEAR(top, hi, 1e-5);
    EXPECT_NEAR(bottom, lo, 1e-5);
  });
}

// Tracings with a level stretch: the catheter runs (nearly) level for a couple of hundred
// pixels, so the heights of the two tracings do not order their points there and the
// surfaces meet along directions close to their own constant-parameter lines.  Oracle:
// the two tracing curves themselves.  The LAO surface holds (x_L(s), y_L(s), z) for all
// z and the RAO surface (x, y_R(t), z_R(t)) for all x, so they meet exactly where
// y_L(s) = y_R(t), at (x_L(s), y, z_R(t)); that level set is traced by marching squares
// on a fine (s, t) grid and split into its connected pieces.
struct TruthPiece {
  double length = 0;
  std::vector<std::vector<double>> points;
};

std::vector<TruthPiece> level_set_pieces(const catheter::Scene& scene, int cells) {
  const spline_curve* a = scene.lao_curve;
  const spline_curve* b = scene.rao_curve;
  auto sample = [cells](const spline_curve* c) {
    std::vector<std::vector<double>> p;
    const double s0 = c->knots[c->order - 1], s1 = c->knots[c->vertex_count];
    for (int i = 0; i <= cells; ++i) p.push_back(catheter::eval(c, s0 + (s1 - s0) * i / cells));
    return p;
  };
  const auto A = sample(a), B = sample(b);
  // Nodes sit on the grid edges where y_L - y_R changes sign; edge (i, j, dir).
  std::vector<int> node_of(2 * (cells + 1) * (cells + 1), -1);
  std::vector<std::vector<double>> nodes;
  std::vector<int> parent;
  auto node = [&](int i, int j, int di, int dj) {
    const double g0 = A[i][1] - B[j][1], g1 = A[i + di][1] - B[j + dj][1];
    if ((g0 > 0) == (g1 > 0)) return -1;
    int& id = node_of[2 * (i * (cells + 1) + j) + dj];
    if (id < 0) {
      const double f = g0 / (g0 - g1);
      id = static_cast<int>(nodes.size());
      nodes.push_back({A[i][0] + f * (A[i + di][0] - A[i][0]), A[i][1] + f * (A[i + di][1] - A[i][1]),
                       B[j][2] + f * (B[j + dj][2] - B[j][2])});
      parent.push_back(id);
    }
    return id;
  };
  auto root = [&](int x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  };
  std::vector<std::pair<int, int>> segments;
  for (int i = 0; i < cells; ++i)
    for (int j = 0; j < cells; ++j) {
      // Crossings on the cell's sides (s at its start and end, t at its start and end).
      const int bottom = node(i, j, 1, 0), top = node(i, j + 1, 1, 0);
      const int left = node(i, j, 0, 1), right = node(i + 1, j, 0, 1);
      std::vector<int> on;
      for (int id : {bottom, top, left, right})
        if (id >= 0) on.push_back(id);
      if (on.size() == 2) {
        segments.push_back({on[0], on[1]});
      } else if (on.size() == 4) {
        // A saddle: the corner whose sign the cell's middle shares joins the middle.
        const double corner = A[i][1] - B[j][1];
        const double middle = 0.25 * (corner + A[i + 1][1] - B[j][1] + A[i][1] - B[j + 1][1] +
                                      A[i + 1][1] - B[j + 1][1]);
        if ((corner > 0) == (middle > 0)) {
          segments.push_back({bottom, right});
          segments.push_back({top, left});
        } else {
          segments.push_back({bottom, left});
          segments.push_back({top, right});
        }
      }
    }
  for (const auto& [p, q] : segments) parent[root(p)] = root(q);
  std::vector<TruthPiece> pieces;
  std::vector<int> piece_of(nodes.size(), -1);
  for (const auto& [p, q] : segments) {
    int& k = piece_of[root(p)];
    if (k < 0) {
      k = static_cast<int>(pieces.size());
      pieces.emplace_back();
    }
    pieces[k].length += dist(nodes[p], nodes[q]);
    pieces[k].points.push_back(nodes[p]);
  }
  std::sort(pieces.begin(), pieces.end(),
            [](const TruthPiece& x, const TruthPiece& y) { return x.length > y.length; });
  return pieces;
}

struct LevelStretchCard {
  const char* name;
  std::vector<catheter::Pixel> lao, rao;
  double catheter_length;  // at least, in pixels
};

// Cards with clicks as a clinician places them (uneven, about 1 px of jitter, the two
// tracings ending a few pixels apart).  In the first the vessel runs level from x = 56 to
// x = 273 in the LAO view and so stands almost still in the RAO view; in the second it
// runs level across both views.  In the last two a short level stretch lies between
// steep runs: there the surfaces are nearly parallel to the dividing lines, and a piece
// may see one crossing of the curve with its boundary while the other is missed.
const LevelStretchCard kLevelStretchCards[] = {
    {"level in the LAO view",
     {{30, 65},   {33, 70},   {33, 83},   {33, 87},   {36, 116},  {37, 121},  {41, 149},  {42, 169},
      {43, 169},  {44, 180},  {46, 193},  {47, 196},  {46, 200},  {47, 204},  {48, 214},  {54, 279},
      {56, 286},  {56, 288},  {67, 288},  {86, 288},  {89, 288},  {91, 287},  {92, 287},  {92, 288},
      {124, 287}, {125, 287}, {148, 286}, {162, 285}, {193, 286}, {195, 284}, {204, 286}, {205, 284},
      {217, 286}, {226, 286}, {260, 286}, {269, 286}, {271, 287}, {273, 288}, {272, 285}, {257, 312},
      {255, 315}, {255, 320}, {252, 327}, {248, 336}, {246, 351}, {245, 360}, {242, 375}, {240, 385},
      {241, 399}, {240, 401}, {240, 404}, {240, 408}, {239, 412}, {238, 419}, {235, 436}, {236, 465}},
     {{302, 64},  {306, 102}, {307, 115}, {308, 115}, {307, 116}, {314, 160}, {315, 169}, {320, 192},
      {324, 216}, {326, 223}, {330, 235}, {328, 237}, {332, 248}, {344, 275}, {349, 280}, {365, 282},
      {351, 325}, {346, 346}, {342, 369}, {336, 398}, {334, 410}, {329, 441}, {326, 465}},
     600.0},
    {"level in both views",
     {{266, 88},  {267, 93},  {266, 102}, {267, 104}, {268, 106}, {270, 122}, {269, 128}, {269, 130},
      {269, 132}, {270, 142}, {271, 145}, {271, 146}, {271, 164}, {272, 180}, {272, 185}, {244, 192},
      {240, 191}, {230, 192}, {222, 193}, {207, 193}, {207, 192}, {199, 192}, {172, 193}, {167, 191},
      {141, 193}, {131, 191}, {121, 193}, {118, 191}, {107, 191}, {103, 193}, {98, 191},  {96, 192},
      {92, 191},  {89, 193},  {88, 192},  {83, 193},  {72, 206},  {68, 210},  {69, 211},  {58, 242},
      {52, 255},  {47, 281},  {44, 292},  {37, 344},  {36, 345},  {37, 349},  {37, 350},  {36, 350},
      {34, 372},  {33, 378},  {32, 381},  {33, 384},  {33, 386},  {33, 390},  {33, 391},  {32, 403},
      {30, 428},  {31, 429},  {30, 434}},
     {{338, 82},  {338, 103}, {336, 105}, {337, 106}, {348, 177}, {349, 178}, {348, 180}, {352, 184},
      {351, 192}, {347, 192}, {357, 192}, {360, 194}, {363, 191}, {366, 192}, {367, 192}, {340, 210},
      {336, 205}, {330, 198}, {334, 191}, {319, 191}, {317, 193}, {319, 194}, {310, 192}, {344, 224},
      {344, 225}, {344, 228}, {345, 234}, {347, 247}, {347, 255}, {345, 274}, {343, 287}, {343, 291},
      {340, 299}, {341, 300}, {339, 302}, {337, 316}, {334, 328}, {335, 331}, {334, 332}, {333, 334},
      {330, 344}, {322, 372}, {320, 378}, {317, 389}, {317, 390}, {317, 395}, {314, 403}, {312, 409},
      {311, 416}, {308, 419}, {306, 428}, {304, 434}, {303, 434}},
     600.0},
    {"short level stretch, 319 px",
     {{97, 58}, {98, 65}, {97, 66}, {98, 72}, {97, 75}, {94, 80}, {96, 84}, {94, 91},
      {91, 103}, {91, 109}, {89, 113}, {88, 116}, {89, 117}, {88, 120}, {87, 125}, {84, 133},
      {84, 136}, {81, 146}, {64, 185}, {64, 186}, {62, 187}, {59, 189}, {55, 196}, {54, 196},
      {51, 196}, {41, 203}, {40, 205}, {38, 204}, {40, 208}, {40, 210}, {41, 210}, {42, 214},
      {44, 224}, {45, 229}, {43, 235}, {46, 240}, {45, 242}, {48, 259}, {31, 203}},
     {{316, 55}, {317, 59}, {316, 62}, {315, 65}, {315, 72}, {312, 79}, {310, 83}, {311, 85},
      {310, 90}, {310, 96}, {309, 101}, {308, 107}, {308, 110}, {307, 113}, {306, 120}, {305, 126},
      {305, 147}, {304, 151}, {304, 153}, {304, 154}, {303, 161}, {302, 161}, {303, 164}, {304, 166},
      {305, 167}, {304, 168}, {304, 174}, {305, 179}, {305, 180}, {305, 183}, {306, 183}, {307, 187},
      {308, 188}, {309, 195}, {310, 198}, {314, 202}, {315, 204}, {317, 203}, {319, 204}, {319, 205},
      {320, 206}, {330, 206}, {331, 207}, {335, 207}, {340, 206}, {342, 207}, {345, 207}, {348, 206},
      {349, 206}, {350, 207}, {352, 206}, {357, 208}, {360, 207}, {362, 206}, {367, 208}, {370, 211},
      {371, 213}, {372, 214}, {373, 217}, {372, 218}, {372, 220}, {373, 221}, {375, 225}, {374, 236},
      {376, 239}, {374, 241}, {376, 248}, {374, 249}, {374, 250}, {375, 250}, {374, 257}, {373, 257},
      {375, 259}},
     300.0},
    {"short level stretch, 630 px",
     {{100, 57}, {102, 75}, {102, 76}, {104, 82}, {105, 87}, {104, 89}, {104, 94}, {106, 100},
      {106, 103}, {105, 103}, {106, 104}, {109, 113}, {108, 116}, {108, 118}, {111, 123}, {110, 127},
      {111, 142}, {112, 153}, {112, 156}, {115, 176}, {114, 179}, {114, 188}, {114, 190}, {110, 193},
      {89, 192}, {87, 192}, {48, 202}, {44, 209}, {43, 211}, {43, 212}, {42, 212}, {38, 218},
      {39, 219}, {35, 232}, {34, 235}, {30, 248}},
     {{314, 63}, {312, 83}, {309, 93}, {309, 100}, {304, 123}, {301, 130}, {299, 135}, {299, 139},
      {298, 142}, {297, 145}, {297, 146}, {297, 149}, {296, 151}, {294, 153}, {292, 160}, {291, 166},
      {290, 171}, {288, 172}, {288, 173}, {288, 174}, {289, 174}, {287, 175}, {280, 190}, {279, 192},
      {277, 192}, {275, 193}, {276, 195}, {281, 195}, {282, 194}, {292, 192}, {302, 193}, {305, 192},
      {306, 194}, {308, 192}, {312, 194}, {314, 194}, {314, 193}, {317, 194}, {324, 195}, {329, 193},
      {331, 195}, {336, 194}, {341, 193}, {343, 194}, {351, 201}, {356, 208}, {358, 209}, {360, 212},
      {361, 217}, {362, 217}, {362, 218}, {361, 218}, {361, 220}, {364, 221}, {364, 225}, {365, 227},
      {366, 226}, {366, 232}, {367, 232}, {368, 233}, {369, 237}, {370, 240}, {373, 248}},
     600.0},
};

// The longest piece of the level set is the catheter (679, 1,563, 319 and 630 px here):
// every point of it lies within a pixel of a marched curve, and the longest marched curve
// is as long.
TEST(S1859, LevelStretchCatheterIsFoundWhole) {
  for (const LevelStretchCard& card : kLevelStretchCards) {
    SCOPED_TRACE(card.name);
    catheter::Scene scene;
    catheter::build_scene(card.lao, card.rao, &scene);
    ASSERT_TRUE(scene.ok());
    const std::vector<TruthPiece> truth = level_set_pieces(scene, 800);
    ASSERT_FALSE(truth.empty());
    ASSERT_GT(truth[0].length, card.catheter_length);

    Result r;
    intersect(scene.lao, scene.rao, 1e-5, &r);
    EXPECT_EQ(r.status, 0);
    ASSERT_GE(r.status, 0);
    std::vector<std::vector<double>> marched;
    double longest = 0;
    for (int i = 0; i < r.curve_count; ++i) {
      ASSERT_GE(r.march_status[i], 0);
      const spline_curve* g = r.curves[i]->geometry;
      ASSERT_NE(g, nullptr);
      const auto pts = samples(g, 4);
      longest = std::max(longest, polyline_length(pts));
      marched.insert(marched.end(), pts.begin(), pts.end());
    }
    EXPECT_NEAR(longest, truth[0].length, 0.01 * truth[0].length);
    int missed = 0;
    for (const auto& q : truth[0].points) {
      double nearest = 1e300;
      for (const auto& p : marched) nearest = std::min(nearest, dist(p, q));
      if (nearest > 1.0) ++missed;
    }
    EXPECT_LE(missed, static_cast<int>(truth[0].points.size() / 100))
        << "of " << truth[0].points.size() << " points of the catheter";
  }
}

// ---------------------------------------------------------------------------
// Closed forms with spheres, planes and extrusions.

TEST(S1859, SphereCutByAPlaneIsOneClosedCircle) {
  const double c[3] = {1.0, -2.0, 0.5};
  const double r = 3.0, off = 0.5 * r;
  auto sphere = newton_test::sphere(c, r);
  // The plane y = c_y + r/2: a circle of radius r sqrt(3)/2 away from seam and poles.
  auto plane = plane_patch({c[0] - 2 * r, c[1] + off, c[2] - 2 * r}, {4 * r, 0, 0}, {0, 0, 4 * r});
  for (bool sphere_first : {true, false}) {
    SCOPED_TRACE(sphere_first ? "sphere first" : "plane first");
    Result res;
    if (sphere_first)
      intersect(sphere.get(), plane.get(), 1e-6, &res);
    else
      intersect(plane.get(), sphere.get(), 1e-6, &res);
    ASSERT_EQ(res.status, 0);
    ASSERT_EQ(res.curve_count, 1);
    EXPECT_EQ(res.curves[0]->curve_type, 2);
    ASSERT_EQ(res.march_status[0], 0);
    const auto pts = samples(res.curves[0]->geometry, 30);
    for (const auto& p : pts) {
      const double to_sphere = std::fabs(dist(p, {c[0], c[1], c[2]}) - r);
      EXPECT_LE(to_sphere, 1e-5);
      EXPECT_LE(std::fabs(p[1] - (c[1] + off)), 1e-5);
    }
    EXPECT_LE(dist(pts.front(), pts.back()), 1e-5);
    const double circumference = 2 * M_PI * r * std::sqrt(0.75);
    EXPECT_NEAR(polyline_length(pts), circumference, 0.01 * circumference);
  }
}

// A periodic extrusion along z over [-1, 1] of a uniform periodic cubic through eight
// points of the circle of radius 1.5 (wobbled), and its cross-section.
struct Extrusion {
  SurfaceHandle surface;
  CurveHandle section;
};

Extrusion periodic_extrusion() {
  std::vector<double> ring, verts, knots;
  for (int i = 0; i < 11; ++i) {
    const double a = 2 * M_PI * (i % 8) / 8;
    const double rr = 1.5 + 0.2 * ((i % 8) % 3 == 0 ? 1 : -1) * 0.5;
    ring.push_back(rr * std::cos(a));
    ring.push_back(rr * std::sin(a));
  }
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 11; ++i) verts.insert(verts.end(), {ring[2 * i], ring[2 * i + 1], j ? 1.0 : -1.0});
  for (int i = 0; i < 15; ++i) knots.push_back(i);
  Extrusion e;
  e.surface = newton_test::surface(knots, {0, 0, 1, 1}, 4, 2, verts, 1, 3);
  e.surface->open_flag1 = -1;
  e.section = newton_test::curve(knots, 4, ring, 1, 2);
  e.section->open_flag = -1;
  return e;
}

// Distance from (x, y) to the closed cross-section, by dense sampling and golden-section
// search around the nearest sample (around both ends when it is the seam point).
double section_distance(const spline_curve* c, double x, double y) {
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  const int m = 800;
  const double h = (b - a) / m;
  auto d = [&](double t) {
    const auto p = catheter::eval(c, t);
    return std::hypot(p[0] - x, p[1] - y);
  };
  auto golden = [&](double lo, double hi) {
    const double g = (std::sqrt(5.0) - 1) / 2;
    for (int i = 0; i < 100; ++i) {
      const double t1 = hi - g * (hi - lo), t2 = lo + g * (hi - lo);
      if (d(t1) < d(t2))
        hi = t2;
      else
        lo = t1;
    }
    return d(0.5 * (lo + hi));
  };
  double bt = a, bd = 1e300;
  for (int i = 0; i < m; ++i) {
    const double t = a + h * i;
    if (d(t) < bd) bd = d(t), bt = t;
  }
  double best = std::min(bd, golden(std::max(a, bt - h), std::min(b, bt + h)));
  if (bt - h < a) best = std::min(best, golden(b - h, b));
  if (bt + h > b) best = std::min(best, golden(a, a + h));
  return best;
}

TEST(S1859, PeriodicExtrusionCutAcrossIsOneClosedCurveThroughTheSeam) {
  auto e = periodic_extrusion();
  const double zc = 0.3;
  auto plane = plane_patch({-3, -3, zc}, {6, 0, 0}, {0, 6, 0});
  Result res;
  intersect(e.surface.get(), plane.get(), 1e-6, &res);
  ASSERT_EQ(res.status, 0);
  // One curve around the whole extrusion: it starts and ends at the seam, one period
  // apart in the periodic parameter and at one place in space.
  ASSERT_EQ(res.curve_count, 1);
  ASSERT_EQ(res.march_status[0], 0);
  const isect_curve* cv = res.curves[0];
  ASSERT_GE(cv->point_count, 2);
  EXPECT_NEAR(std::fabs(cv->params1[0] - cv->params1[2 * (cv->point_count - 1)]), 8.0, 1e-9);
  const auto pts = samples(cv->geometry, 30);
  EXPECT_LE(dist(pts.front(), pts.back()), 1e-5);
  for (const auto& p : pts) {
    EXPECT_LE(std::fabs(p[2] - zc), 1e-5);
    EXPECT_LE(section_distance(e.section.get(), p[0], p[1]), 1e-5);
  }
  const auto ring = samples(e.section.get(), 400);
  const double length = polyline_length(ring);
  EXPECT_NEAR(polyline_length(pts), length, 0.01 * length);
}

TEST(S1859, PeriodicExtrusionCutAlongItsAxisGivesTwoRulings) {
  auto e = periodic_extrusion();
  const double yc = 0.4;
  auto plane = plane_patch({-3, yc, -2}, {6, 0, 0}, {0, 0, 4});
  // Where the cross-section reaches y = yc: sign changes of the dense samples, bisected.
  std::vector<double> xs;
  const spline_curve* c = e.section.get();
  const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  const int m = 2000;
  for (int i = 0; i < m; ++i) {
    double t0 = a + (b - a) * i / m, t1 = a + (b - a) * (i + 1) / m;
    double f0 = catheter::eval(c, t0)[1] - yc;
    if (f0 * (catheter::eval(c, t1)[1] - yc) > 0) continue;
    for (int j = 0; j < 80; ++j) {
      const double tm = 0.5 * (t0 + t1), fm = catheter::eval(c, tm)[1] - yc;
      if (fm * f0 > 0)
        t0 = tm, f0 = fm;
      else
        t1 = tm;
    }
    xs.push_back(catheter::eval(c, t0)[0]);
  }
  ASSERT_EQ(xs.size(), 2u);
  Result res;
  intersect(e.surface.get(), plane.get(), 1e-6, &res);
  ASSERT_EQ(res.status, 0);
  ASSERT_EQ(res.curve_count, 2);
  std::vector<int> hit(2, 0);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(res.march_status[i], 0);
    const auto pts = samples(res.curves[i]->geometry, 10);
    const int which = std::fabs(pts[0][0] - xs[0]) < std::fabs(pts[0][0] - xs[1]) ? 0 : 1;
    ++hit[which];
    double zmin = 1e300, zmax = -1e300;
    for (const auto& p : pts) {
      EXPECT_LE(std::fabs(p[0] - xs[which]), 1e-5);
      EXPECT_LE(std::fabs(p[1] - yc), 1e-5);
      zmin = std::min(zmin, p[2]);
      zmax = std::max(zmax, p[2]);
    }
    EXPECT_NEAR(zmin, -1.0, 1e-5);
    EXPECT_NEAR(zmax, 1.0, 1e-5);
  }
  EXPECT_EQ(hit, (std::vector<int>{1, 1}));
}

TEST(S1859, TouchingSpheresMeetAtTheirContactPoint) {
  const double la = 50 * M_PI / 180, lt = 20 * M_PI / 180;
  const std::vector<double> dir = {std::cos(la) * std::cos(lt), std::sin(la) * std::cos(lt),
                                   std::sin(lt)};
  const double ca[3] = {0, 0, 0};
  const double cb[3] = {2 * dir[0], 2 * dir[1], 2 * dir[2]};
  auto A = newton_test::sphere(ca, 1.0);
  auto B = newton_test::sphere(cb, 1.0);
  Result res;
  intersect(A.get(), B.get(), 1e-9, &res);
  ASSERT_GE(res.status, 0);
  std::vector<std::vector<double>> found;
  for (int i = 0; i < res.point_count; ++i)
    found.push_back(eval_surface(A.get(), res.params1[2 * i], res.params1[2 * i + 1]));
  for (int i = 0; i < res.curve_count; ++i)
    for (int j = 0; j < res.curves[i]->point_count; ++j)
      found.push_back(eval_surface(A.get(), res.curves[i]->params1[2 * j],
                                   res.curves[i]->params1[2 * j + 1]));
  ASSERT_FALSE(found.empty());
  double nearest = 1e300;
  for (const auto& p : found) {
    nearest = std::min(nearest, dist(p, dir));
    EXPECT_LE(dist(p, dir), 1e-4);  // nothing away from the contact
  }
  EXPECT_LE(nearest, 1e-9);
}

TEST(S1859, SearchCutShortByTheWorkBudgetSaysSo) {
  // The sphere cut by a plane needs its pieces cut; with no work budget at all the
  // first cut is refused and the caller learns that the result may be incomplete.
  const double c[3] = {1.0, -2.0, 0.5};
  const double r = 3.0;
  auto sphere = newton_test::sphere(c, r);
  auto plane = plane_patch({c[0] - 2 * r, c[1] + 0.5 * r, c[2] - 2 * r}, {4 * r, 0, 0}, {0, 0, 4 * r});
  const long saved = isect_work_budget;
  isect_work_budget = 0;
  Result res;
  intersect(sphere.get(), plane.get(), 1e-6, &res);
  isect_work_budget = saved;
  EXPECT_EQ(res.status, kS1859BudgetSpent);
  // The next search has its own budget again.
  Result again;
  intersect(sphere.get(), plane.get(), 1e-6, &again);
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.curve_count, 1);
}

TEST(S1859, CylinderLyingOnAPlaneTouchesItAlongItsRuling) {
  // The quarter cylinder of radius 1 touches the plane x = 1 along its edge ruling
  // (1, 0, z), z in [0, 1]: a segment along the constant first parameter.
  auto cylinder = surface_test::quarter_cylinder(1.0, 1.0);
  auto plane = plane_patch({1, -1, -1}, {0, 3, 0}, {0, 0, 3});
  Result res;
  intersect(cylinder.get(), plane.get(), 1e-5, &res);
  ASSERT_EQ(res.status, 0);
  ASSERT_EQ(res.curve_count, 1);
  EXPECT_EQ(res.curves[0]->curve_type, 9);
  ASSERT_EQ(res.march_status[0], 0);
  double zmin = 1e300, zmax = -1e300;
  for (const auto& p : samples(res.curves[0]->geometry, 10)) {
    EXPECT_NEAR(p[0], 1.0, 1e-9);
    EXPECT_NEAR(p[1], 0.0, 1e-9);
    zmin = std::min(zmin, p[2]);
    zmax = std::max(zmax, p[2]);
  }
  EXPECT_NEAR(zmin, 0.0, 1e-9);
  EXPECT_NEAR(zmax, 1.0, 1e-9);
}

// ---------------------------------------------------------------------------
// Coincident patches: the intersection is the common region, given by its boundary.

TEST(S1859, CoincidentPatchesGiveTheBoundaryOfTheirCommonRegion) {
  struct Case {
    const char* name;
    SurfaceHandle (*b)();
    double x0, y0, x1, y1;  // the common rectangle in the plane z = 0
  } cases[] = {
      {"one patch twice", [] { return plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0}); }, 0, 0, 1, 1},
      {"overlapping patches, the second with its parameters swapped",
       [] { return plane_patch({0.4, 0.3, 0}, {0, 1, 0}, {1, 0, 0}); }, 0.4, 0.3, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto a = plane_patch({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    auto b = c.b();
    Result res;
    intersect(a.get(), b.get(), 1e-5, &res);
    ASSERT_EQ(res.status, 0);
    ASSERT_EQ(res.curve_count, 4);
    // Each curve is one side of the rectangle (in either direction), each side once.
    std::vector<int> sides(4, 0);
    for (int i = 0; i < res.curve_count; ++i) {
      ASSERT_EQ(res.march_status[i], 0);
      const auto pts = samples(res.curves[i]->geometry, 4);
      const auto &p = pts.front(), &q = pts.back();
      for (const auto& r : pts) EXPECT_NEAR(r[2], 0.0, 1e-9);
      auto on = [](double u, double w) { return std::fabs(u - w) < 1e-9; };
      if (on(p[1], c.y0) && on(q[1], c.y0)) ++sides[0];
      else if (on(p[0], c.x1) && on(q[0], c.x1)) ++sides[1];
      else if (on(p[1], c.y1) && on(q[1], c.y1)) ++sides[2];
      else if (on(p[0], c.x0) && on(q[0], c.x0)) ++sides[3];
      const double len = dist(p, q);
      const bool horizontal = on(p[1], q[1]);
      EXPECT_NEAR(len, horizontal ? c.x1 - c.x0 : c.y1 - c.y0, 1e-9);
    }
    EXPECT_EQ(sides, (std::vector<int>{1, 1, 1, 1}));
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "isect_fixture.h"
#include "spline/handles.h"
#include "spline/curve_eval.h"
#include "spline/detail/isect/isect_shapes.h"
#include "spline/linalg.h"
#include "spline/surface_eval.h"

using namespace isect_test;

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

// ---- Exact surfaces of revolution about the z axis as rational biquadratic patches.
// The profile (first direction) is either a circle arc of radius r about (c, 0) in the
// (rho, z) half-plane, psi in [-alpha, alpha] measured from the outward horizontal, or
// the straight segment rho = c, z in [z0, z1]; the second direction turns it from phi0
// to phi1.

struct Profile {
  double rho[3], z[3], w[3];
};

Profile arc_profile(double c, double r, double alpha) {
  const double ca = std::cos(alpha), sa = std::sin(alpha);
  return Profile{{c + r * ca, c + r / ca, c + r * ca}, {-r * sa, 0, r * sa}, {1, ca, 1}};
}

Profile line_profile(double rho, double z0, double z1) {
  return Profile{{rho, rho, rho}, {z0, 0.5 * (z0 + z1), z1}, {1, 1, 1}};
}

spline_surface* revolve(const Profile& pr, double phi0, double phi1) {
  const double half = 0.5 * (phi1 - phi0), mid = 0.5 * (phi0 + phi1);
  const double ch = std::cos(half);
  const double x[3] = {std::cos(phi0), std::cos(mid) / ch, std::cos(phi1)};
  const double y[3] = {std::sin(phi0), std::sin(mid) / ch, std::sin(phi1)};
  const double w[3] = {1, ch, 1};
  double hom[36];
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) {
      double* h = hom + 4 * (j * 3 + i);
      const double wt = pr.w[i] * w[j];
      h[0] = wt * pr.rho[i] * x[j];
      h[1] = wt * pr.rho[i] * y[j];
      h[2] = wt * pr.z[i];
      h[3] = wt;
    }
  double k[6] = {0, 0, 0, 1, 1, 1};
  return create_surface(3, 3, 3, 3, k, k, hom, 2, 3, 1);
}

spline_surface* flat_patch(double z, double x0 = 0, double x1 = 1) {
  double k[4] = {0, 0, 1, 1};
  double c[12] = {x0, 0, z, x1, 0, z, x0, 1, z, x1, 1, z};
  return create_surface(2, 2, 2, 2, k, k, c, 1, 3, 1);
}

// The cone (flag 0, given axis) and the slot-2 box of the control polygon.
void equip(spline_surface* s, const double axis[3], int flag = 0) {
  s->cone = create_dir_cone(3);
  s->cone->flag = flag;
  double a[3] = {axis[0], axis[1], axis[2]};
  int f = 0;
  vec_normalize(a, 3, s->cone->axis, &f);
  s->cone->angle = 0.3;
  s->box = create_param_box(3);
  int st = 0;
  box_slot_alloc(s->box, 9, 2, 1e-9, &st);
  for (int i = 0; i < 3; ++i) {
    double lo = INFINITY, hi = -INFINITY;
    for (int v = 0; v < s->vertex_count1 * s->vertex_count2; ++v) {
      lo = std::fmin(lo, s->coefs[3 * v + i]);
      hi = std::fmax(hi, s->coefs[3 * v + i]);
    }
    s->box->slot_low[2][i] = lo;
    s->box->slot_high[2][i] = hi;
  }
}

// ---- Test stand-ins for the Newton projections: a dense search and Newton polish on
// the real evaluators, clamped to the box.

void project_on_surface(spline_point* pt, spline_surface* s, double, const double* lo,
                        const double* hi, const double*, double* res, int* st) {
  const double* p = pt->coords;
  double best = INFINITY, uv[2] = {lo[0], lo[1]};
  double d[18], n[3];
  int l1 = 0, l2 = 0, est = 0;
  for (int i = 0; i <= 40; ++i)
    for (int j = 0; j <= 40; ++j) {
      const double c[2] = {lo[0] + (hi[0] - lo[0]) * i / 40, lo[1] + (hi[1] - lo[1]) * j / 40};
      s1421(s, 0, c, &l1, &l2, d, n, &est);
      const double dist = std::hypot(d[0] - p[0], d[1] - p[1], d[2] - p[2]);
      if (dist < best) {
        best = dist;
        uv[0] = c[0];
        uv[1] = c[1];
      }
    }
  for (int it = 0; it < 60; ++it) {
    s1421(s, 2, uv, &l1, &l2, d, n, &est);
    double r[3] = {d[0] - p[0], d[1] - p[1], d[2] - p[2]};
    const double* su = d + 3;
    const double* sv = d + 6;
    const double f0 = vec_dot(r, su, 3), f1 = vec_dot(r, sv, 3);
    const double j00 = vec_dot(su, su, 3) + vec_dot(r, d + 9, 3);
    const double j01 = vec_dot(su, sv, 3) + vec_dot(r, d + 12, 3);
    const double j11 = vec_dot(sv, sv, 3) + vec_dot(r, d + 15, 3);
    const double det = j00 * j11 - j01 * j01;
    if (std::fabs(det) < 1e-300) break;
    uv[0] -= (j11 * f0 - j01 * f1) / det;
    uv[1] -= (j00 * f1 - j01 * f0) / det;
    for (int k = 0; k < 2; ++k) uv[k] = std::fmin(hi[k], std::fmax(lo[k], uv[k]));
  }
  res[0] = uv[0];
  res[1] = uv[1];
  *st = 1;
}

void project_on_curve(spline_point* pt, spline_curve* c, double, double lo, double hi, double,
                      double* res, int* st) {
  const double* p = pt->coords;
  double best = INFINITY, t = lo, d[9];
  int left = 0, est = 0;
  for (int i = 0; i <= 400; ++i) {
    const double x = lo + (hi - lo) * i / 400;
    s1221(c, 0, x, &left, d, &est);
    const double dist = std::hypot(d[0] - p[0], d[1] - p[1], d[2] - p[2]);
    if (dist < best) {
      best = dist;
      t = x;
    }
  }
  for (int it = 0; it < 60; ++it) {
    s1221(c, 2, t, &left, d, &est);
    double r[3] = {d[0] - p[0], d[1] - p[1], d[2] - p[2]};
    const double f = vec_dot(r, d + 3, 3);
    const double df = vec_dot(d + 3, d + 3, 3) + vec_dot(r, d + 6, 3);
    if (df == 0) break;
    t = std::fmin(hi, std::fmax(lo, t - f / df));
  }
  *res = t;
  *st = 1;
}

// Plane distances and coefficient intervals for the overlap test.
void plane_values(spline_surface* s, const double* point, const double* normal, int,
                  spline_surface** out, int* st) {
  const int n = s->vertex_count1 * s->vertex_count2;
  std::vector<double> c(n);
  for (int v = 0; v < n; ++v) {
    double d[3];
    vec_diff(s->coefs + 3 * v, point, 3, d);
    c[v] = vec_dot(d, normal, 3);
  }
  *out = create_surface(s->vertex_count1, s->vertex_count2, s->order1, s->order2, s->knots1,
                        s->knots2, c.data(), 1, 1, 1);
  *st = 0;
}

void interval_box(spline_surface* s, int code, double tol, int* st) {
  const int slot = code % 10;
  if (!s->box) s->box = create_param_box(1);
  box_slot_alloc(s->box, 1, slot, tol, st);
  double lo = INFINITY, hi = -INFINITY;
  for (int v = 0; v < s->vertex_count1 * s->vertex_count2; ++v) {
    lo = std::fmin(lo, s->coefs[v]);
    hi = std::fmax(hi, s->coefs[v]);
  }
  s->box->slot_low[slot][0] = lo - 0.5 * tol;
  s->box->slot_high[slot][0] = hi + 0.5 * tol;
  *st = 0;
}

class Shapes : public testing::Test {
 protected:
  void SetUp() override {
    isect_services().s1773 = project_on_surface;
    isect_services().s1771 = project_on_curve;
    isect_services().s1329 = plane_values;
    isect_services().surface_box = interval_box;
  }
  ServiceGuard guard;
};

struct PairCase {
  const char* name;
  spline_surface* (*first)();
  spline_surface* (*second)();
  double axis_phi;  // cone axes: radial at this angle, or +z when negative
  int code;
  double centre[3];
  double a;
  double b;
};

const double kRadial = 20 * kDeg;

spline_surface* cap_inner() { return revolve(arc_profile(0, 1.0, 20 * kDeg), 0, 40 * kDeg); }
spline_surface* cap_outer() { return revolve(arc_profile(0, 1.05, 20 * kDeg), 0, 40 * kDeg); }
spline_surface* band_inner() { return revolve(arc_profile(3, 1.0, 20 * kDeg), 0, 40 * kDeg); }
spline_surface* band_outer() { return revolve(arc_profile(3, 1.05, 20 * kDeg), 0, 40 * kDeg); }
spline_surface* wide_inner() { return revolve(arc_profile(29, 1.0, 20 * kDeg), 0, 40 * kDeg); }
spline_surface* wide_outer() { return revolve(arc_profile(29, 1.05, 20 * kDeg), 0, 40 * kDeg); }
spline_surface* strip_low() { return revolve(line_profile(2, 0, 1), 0, 40 * kDeg); }
spline_surface* strip_high() { return revolve(line_profile(2, 1, 2), 0, 40 * kDeg); }
spline_surface* flat_low() { return flat_patch(0.0); }
spline_surface* flat_high() { return flat_patch(0.1); }

TEST_F(Shapes, PatchPairsAreClassifiedAgainstTheirClosedForms) {
  const PairCase cases[] = {
      {"concentric sphere caps", cap_inner, cap_outer, kRadial, kShapeSphere, {0, 0, 0}, 0,
       1.025},
      {"concentric torus bands", band_inner, band_outer, kRadial, kShapeTorus, {0, 0, 0}, 3.0,
       1.025},
      {"circles of radii about 1 and 30", wide_inner, wide_outer, kRadial, kShapeNone, {0, 0, 0},
       0, 0},
      {"cylinder strips side by side", strip_low, strip_high, kRadial, kShapeCylinder,
       {0, 0, 1}, 0, 2.0},
      {"flat stack", flat_low, flat_high, -1, kShapePlane, {0.5, 0.5, 0.05}, 0, 0},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(c.name);
    const SurfaceHandle s1_owner(c.first());
    spline_surface* s1 = s1_owner.get();
    const SurfaceHandle s2_owner(c.second());
    spline_surface* s2 = s2_owner.get();
    ASSERT_NE(s1, nullptr);
    ASSERT_NE(s2, nullptr);
    const double axis[3] = {c.axis_phi < 0 ? 0 : std::cos(c.axis_phi),
                            c.axis_phi < 0 ? 0 : std::sin(c.axis_phi), c.axis_phi < 0 ? 1.0 : 0};
    equip(s1, axis);
    equip(s2, axis);
    double p[3] = {9, 9, 9}, v[3] = {0, 0, 0}, a = -1, b = -1;
    int code = -1;
    classify_surface_pair(s1, s2, 1e-9, p, v, &a, &b, &code);
    EXPECT_EQ(code, c.code);
    if (code == c.code && code != kShapeNone) {
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], c.centre[i], 1e-7) << i;
      if (code != kShapePlane) {
        EXPECT_NEAR(b, c.b, 1e-7);
      }
      if (code == kShapeTorus) {
        EXPECT_NEAR(a, c.a, 1e-7);
      }
      if (code == kShapeTorus || code == kShapeCylinder || code == kShapePlane) {
        // The axis (the plane's normal) is vertical.
        EXPECT_NEAR(std::fabs(v[2]), std::hypot(v[0], v[1], v[2]), 1e-9);
      }
    }
  }
}

TEST_F(Shapes, PatchesWithoutAUsableConeHaveNoShapeAndMayOverlap) {
  for (int variant = 0; variant < 3; ++variant) {
    SCOPED_TRACE(variant);
    const SurfaceHandle s1_owner(cap_inner());
    spline_surface* s1 = s1_owner.get();
    const SurfaceHandle s2_owner(cap_outer());
    spline_surface* s2 = s2_owner.get();
    const double axis[3] = {std::cos(kRadial), std::sin(kRadial), 0};
    equip(s1, axis, variant == 1 ? 1 : 0);
    equip(s2, axis);
    if (variant == 0) {
      destroy_dir_cone(s1->cone);
      s1->cone = nullptr;
    }
    if (variant == 2) {
      const double across[3] = {0, 0, 1};
      int f = 0;
      vec_normalize(across, 3, s2->cone->axis, &f);
    }
    double p[3], v[3], a, b;
    int code = -1, result = -1;
    classify_surface_pair(s1, s2, 1e-9, p, v, &a, &b, &code);
    EXPECT_EQ(code, kShapeNone);
    elementary_overlap_test(s1, s2, 1e-9, &result);
    EXPECT_EQ(result, 1);
  }
}

TEST_F(Shapes, FlatStackOverlapsOnlyWithinTheTolerance) {
  struct Case {
    double gap;
    int want;
  } cases[] = {{0.1, 0}, {5e-4, 1}};
  const double up[3] = {0, 0, 1};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gap);
    const SurfaceHandle s1_owner(flat_patch(0.0));
    spline_surface* s1 = s1_owner.get();
    const SurfaceHandle s2_owner(flat_patch(c.gap));
    spline_surface* s2 = s2_owner.get();
    equip(s1, up);
    equip(s2, up);
    int result = -1;
    elementary_overlap_test(s1, s2, 1e-3, &result);
    EXPECT_EQ(result, c.want);
  }
}

TEST_F(Shapes, MissingImplicitFormIsAnError) {
  isect_services().s1321 = isect_missing_services().s1321;
  const SurfaceHandle s1_owner(cap_inner());
  spline_surface* s1 = s1_owner.get();
  const SurfaceHandle s2_owner(cap_outer());
  spline_surface* s2 = s2_owner.get();
  const double axis[3] = {std::cos(kRadial), std::sin(kRadial), 0};
  equip(s1, axis);
  equip(s2, axis);
  ReportLog log;
  int result = 0;
  elementary_overlap_test(s1, s2, 1e-9, &result);
  EXPECT_EQ(result, kIsectServiceMissing);
}

// Circumcentre of a triangle in space, from the textbook formula.
void circumcentre(const double* a, const double* b, const double* c, double* x) {
  double u[3], w[3], n[3];
  vec_diff(a, c, 3, u);
  vec_diff(b, c, 3, w);
  vec_cross(u, w, n);
  double t[3], q[3];
  for (int i = 0; i < 3; ++i) t[i] = vec_dot(u, u, 3) * w[i] - vec_dot(w, w, 3) * u[i];
  vec_cross(t, n, q);
  const double nn = vec_dot(n, n, 3);
  for (int i = 0; i < 3; ++i) x[i] = c[i] + q[i] / (2 * nn);
}

TEST(CircleThroughPoints, AgreesWithTheCircumcentreAndRefusesDegeneratePoints) {
  const double a[3] = {1, 2, 3}, b[3] = {4, 0, -1}, c[3] = {-2, 1, 5};
  double want[3];
  circumcentre(a, b, c, want);
  for (int checked = 0; checked < 2; ++checked) {
    double centre[3], normal[3], radius = 0;
    int st = -1;
    if (checked) circle_through_points_checked(a, b, c, 1e-9, centre, normal, &radius, &st);
    else circle_through_points(a, b, c, 1e-9, centre, normal, &radius, &st);
    EXPECT_EQ(st, 0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(centre[i], want[i], 1e-12);
    EXPECT_NEAR(radius, vec_dist(want, a, 3), 1e-12);
    EXPECT_NEAR(radius, vec_dist(want, c, 3), 1e-12);
    double ab[3];
    vec_diff(a, b, 3, ab);
    EXPECT_NEAR(vec_dot(normal, ab, 3), 0, 1e-12);
    EXPECT_NEAR(std::hypot(normal[0], normal[1], normal[2]), 1.0, 1e-12);
  }
  struct Case {
    const char* name;
    double p[3][3];
    int checked_status;
    int plain_status;
  } cases[] = {
      {"collinear", {{0, 0, 0}, {1, 1, 1}, {3, 3, 3}}, 1, 1},
      {"first two nearly coincide", {{0, 0, 0}, {5e-4, 0, 0}, {5e-4, 10, 0}}, 1, 0},
      {"last two coincide", {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}}, 1, 1},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.name);
    double centre[3], normal[3], radius = 0;
    int st = -1;
    circle_through_points_checked(cs.p[0], cs.p[1], cs.p[2], 1e-3, centre, normal, &radius,
                                  &st);
    EXPECT_EQ(st, cs.checked_status);
    circle_through_points(cs.p[0], cs.p[1], cs.p[2], 1e-3, centre, normal, &radius, &st);
    EXPECT_EQ(st, cs.plain_status);
  }
}

spline_curve* arc_curve(double r, double phi0, double phi1) {
  const double half = 0.5 * (phi1 - phi0), mid = 0.5 * (phi0 + phi1), ch = std::cos(half);
  double hom[12] = {r * std::cos(phi0), r * std::sin(phi0), 0, 1,
                    r * std::cos(mid), r * std::sin(mid), 0, ch,
                    r * std::cos(phi1), r * std::sin(phi1), 0, 1};
  double k[6] = {0, 0, 0, 1, 1, 1};
  return create_curve(3, 3, k, hom, 2, 3, 1);
}

void curve_cone(spline_curve* c, const double axis[3]) {
  c->cone = create_dir_cone(c->dim);
  int f = 0;
  vec_normalize(axis, 3, c->cone->axis, &f);
}

TEST_F(Shapes, ConcentricArcsShareTheirMiddleCircle) {
  const CurveHandle c1_owner(arc_curve(1.0, 0, 60 * kDeg));
  spline_curve* c1 = c1_owner.get();
  const CurveHandle c2_owner(arc_curve(1.1, 0, 60 * kDeg));
  spline_curve* c2 = c2_owner.get();
  const double tangent[3] = {-std::sin(30 * kDeg), std::cos(30 * kDeg), 0};
  curve_cone(c1, tangent);
  curve_cone(c2, tangent);
  double centre[3] = {9, 9, 9}, radius = 0;
  int result = -1;
  curves_common_circle(c1, c2, 1e-9, centre, &radius, &result);
  EXPECT_EQ(result, 1);
  for (double x : centre) EXPECT_NEAR(x, 0.0, 1e-8);
  EXPECT_NEAR(radius, 1.05, 1e-8);

  // Axes more than pi/4 apart: the test does not apply.
  const double across[3] = {1, 0, 0};
  int f = 0;
  vec_normalize(across, 3, c2->cone->axis, &f);
  curves_common_circle(c1, c2, 1e-9, centre, &radius, &result);
  EXPECT_EQ(result, 0);

  // Straight lines: the middle points are collinear.
  ObjectPair lines(curve_object(0, 1), curve_object(0, 1));
  const double along[3] = {1, 0, 0};
  curve_cone(lines.o1->curve, along);
  curve_cone(lines.o2->curve, along);
  curves_common_circle(lines.o1->curve, lines.o2->curve, 1e-9, centre, &radius, &result);
  EXPECT_EQ(result, 0);
}

TEST(NearestVertexParams, GrevilleValuesOfTheClosestVertices) {
  double k1[4] = {2, 2, 5, 5}, c1[6] = {0, 0, 0, 1, 0, 0};
  double k2[4] = {-1, -1, 3, 3}, c2[6] = {0, 0.1, 0, -1, 5, 0};
  const CurveHandle a_owner(create_curve(2, 2, k1, c1, 1, 3, 1));
  spline_curve* a = a_owner.get();
  const CurveHandle b_owner(create_curve(2, 2, k2, c2, 1, 3, 1));
  spline_curve* b = b_owner.get();
  double t1 = 0, t2 = 0;
  nearest_vertex_params(a, b, &t1, &t2);
  EXPECT_EQ(t1, 2.0);
  EXPECT_EQ(t2, -1.0);
  // A cubic whose last vertex is nearest: mean of its last three inner knots.
  double k3[8] = {0, 0, 0, 0, 1, 2, 2, 2};
  double c3[12] = {9, 9, 9, 8, 8, 8, 7, 7, 7, 1, 0.05, 0};
  const CurveHandle c_owner(create_curve(4, 4, k3, c3, 1, 3, 1));
  spline_curve* c = c_owner.get();
  nearest_vertex_params(c, a, &t1, &t2);
  EXPECT_DOUBLE_EQ(t1, (k3[4] + k3[5] + k3[6]) / 3);
  EXPECT_EQ(t2, 5.0);
}

}  // namespace

// Pairing of the edge points of a sub-problem by marching: the two arcs where a plane
// strip cuts a sphere of radius 2 (four edge points; the marcher's tolerance follows
// the sphere's size), and the two branches of a hyperbola as the level curves of a
// biquadratic function.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "spline/handles.h"
#include "spline/detail/isect/march_through.h"
#include "spline/detail/isect/newton.h"
#include "spline/records.h"
#include "spline/surface_eval.h"
#include "tests/spline/detail/isect/newton_testutil.h"

namespace {

// Sphere of radius r about the origin.
spline_surface* sphere(double r) {
  const double centre[3] = {0, 0, 0};
  return newton_test::sphere(centre, r).release();
}

// The plane z = h over [x0, x1] x [y0, y1] as a bilinear patch on [0, 1]^2.
spline_surface* plane(double h, double x0, double x1, double y0, double y1) {
  std::vector<double> k = {0, 0, 1, 1};
  std::vector<double> v = {x0, y0, h, x1, y0, h, x0, y1, h, x1, y1, h};
  return create_surface(2, 2, 2, 2, k.data(), k.data(), v.data(), 1, 3, 1);
}

// Parameters of a point of the sphere (radius 2) from a nearby start.
void sphere_params(const spline_surface* s, double x, double y, double z, double* uv) {
  double p[3] = {x, y, z};
  spline_point* pt = create_point(p, 3, 1);
  const double lo[2] = {0, 0}, hi[2] = {4, 2};
  const double lon = std::atan2(y, x) < 0 ? std::atan2(y, x) + 2 * M_PI : std::atan2(y, x);
  const double guess[2] = {lon / (M_PI / 2), 1.0 + std::asin(z / 2) / (M_PI / 2)};
  int st = 0;
  s1773(pt, s, 1e-13, lo, hi, guess, uv, &st);
  destroy_point(pt);
}

// Times one pairing call of a marcher (its outputs freed each time); stops with an error
// when the edge points are not paired.
template <typename Pairing>
void time_pairing(benchmark::State& state, Pairing pair_up) {
  for (auto _ : state) {
    double* pts = nullptr;
    int* links = nullptr;
    int total = 0, st = 0;
    pair_up(&pts, &links, &total, &st);
    const ToolkitArray<double> owned_pts(pts);
    const ToolkitArray<int> owned_links(links);
    benchmark::DoNotOptimize(links);
    if (st != 1) {
      state.SkipWithError("the edge points were not paired");
      break;
    }
  }
}

void BM_SurfacePairingSphereStrip(benchmark::State& state) {
  const SurfaceHandle sph_owner(sphere(2.0));
  spline_surface* sph = sph_owner.get();
  const SurfaceHandle strip_owner(plane(0.3, -0.5, 0.5, -3, 3));
  spline_surface* strip = strip_owner.get();
  const double y = std::sqrt(3.91 - 0.25);
  std::vector<double> params;
  for (auto [x, yy] : {std::pair{-0.5, y}, {-0.5, -y}, {0.5, y}, {0.5, -y}}) {
    double uv[2];
    sphere_params(sph, x, yy, 0.3, uv);
    params.insert(params.end(), {x + 0.5, (yy + 3) / 6, uv[0], uv[1]});
  }
  const int marks[4] = {1, 1, -1, -1};
  time_pairing(state, [&](double** pts, int** links, int* total, int* st) {
    s9surmarch(strip, sph, params.data(), marks, 4, pts, links, total, st);
  });
}
BENCHMARK(BM_SurfacePairingSphereStrip)->Unit(benchmark::kMillisecond);

void BM_LevelPairingHyperbola(benchmark::State& state) {
  // (u - 0.5)^2 - 0.25 (v - 0.5)^2 on [0, 1]^2 as a biquadratic Bezier function: with
  // a the Bernstein coefficients of (t - 0.5)^2, c_ij = a_i - 0.25 a_j.
  std::vector<double> k = {0, 0, 0, 1, 1, 1};
  const double a[3] = {0.25, -0.25, 0.25};
  std::vector<double> c(9);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) c[j * 3 + i] = a[i] - 0.25 * a[j];
  const SurfaceHandle s_owner(create_surface(3, 3, 3, 3, k.data(), k.data(), c.data(), 1, 1, 1));
  spline_surface* s = s_owner.get();
  const double w = std::sqrt(0.0725);
  const double params[8] = {0.5 - w, 0, 0.5 + w, 0, 0.5 - w, 1, 0.5 + w, 1};
  const int marks[4] = {1, 1, -1, -1};
  time_pairing(state, [&](double** pts, int** links, int* total, int* st) {
    s9conmarch(s, 0.01, params, marks, 4, pts, links, total, st);
  });
}
BENCHMARK(BM_LevelPairingHyperbola)->Unit(benchmark::kMillisecond);

}  // namespace

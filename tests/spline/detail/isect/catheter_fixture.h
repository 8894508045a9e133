// The catheter reconstruction's two surfaces, built from an LAO and an RAO tracing the
// way the 3D view builds them: the tracings are ordered, matched in height, placed in
// space (the LAO view looks along z, the RAO view along x), interpolated without their
// last point and lofted into extrusions 400 px deep.  With it the closed form of their
// intersection: at each height y the x of the LAO tracing and z = 400 - x of the RAO
// tracing, found by bisection on the interpolated tracings.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "spline/handles.h"
#include "spline/curve_eval.h"
#include "spline/interp.h"
#include "spline/loft.h"
#include "spline/records.h"

namespace catheter {

struct Pixel {
  int x;
  int y;
};

// A catheter-like tracing of n whole-pixel points going down the image from y0, x
// wandering smoothly between 40 and 360.
inline std::vector<Pixel> random_tracing(std::mt19937& rng, int n, int y0) {
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  const double a1 = 20 + 40 * uni(rng), w1 = 0.004 + 0.011 * uni(rng), p1 = 6.28 * uni(rng);
  const double a2 = 3 + 7 * uni(rng), w2 = 0.02 + 0.03 * uni(rng), p2 = 6.28 * uni(rng);
  const double x0 = 200 + 40 * (uni(rng) - 0.5);
  std::vector<Pixel> pts;
  double y = y0;
  for (int i = 0; i < n; ++i) {
    double x = x0 + a1 * std::sin(w1 * y + p1) + a2 * std::sin(w2 * y + p2);
    x = std::clamp(x, 40.0, 360.0);
    pts.push_back({static_cast<int>(x), static_cast<int>(y)});
    y += 6 + std::floor(6 * uni(rng));
  }
  return pts;
}

// Nearest-neighbour ordering from the first point (a nearer later point is swapped in).
inline void order_points(std::vector<Pixel>& p) {
  auto d = [&](size_t i, size_t j) {
    return std::hypot(double(p[i].x - p[j].x), double(p[i].y - p[j].y));
  };
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    double best = d(i, i + 1);
    for (size_t j = i + 2; j < p.size(); ++j)
      if (d(i, j) < best) {
        std::swap(p[i + 1], p[j]);
        best = d(i, i + 1);
      }
  }
}

// The tracing with the smaller greatest height is scaled up to the other's.
inline void match_heights(std::vector<Pixel>& lao, std::vector<Pixel>& rao) {
  auto top = [](const std::vector<Pixel>& p) {
    double m = 0.0;
    for (const Pixel& q : p)
      if (q.y > m) m = q.y;
    return m;
  };
  const double ml = top(lao), mr = top(rao);
  auto scale = [](std::vector<Pixel>& p, double f) {
    for (Pixel& q : p) q = {static_cast<int>(q.x * f), static_cast<int>(q.y * f)};
  };
  if (ml < mr) scale(lao, mr / ml);
  if (ml > mr) scale(rao, ml / mr);
}

// Interpolating cubic through all points but the last (open, chord length from 0).
inline spline_curve* curve_through(const std::vector<double>& xyz) {
  const int count = static_cast<int>(xyz.size() / 3) - 1;
  std::vector<double> pts(xyz.begin(), xyz.begin() + 3 * count);
  for (double& v : pts) v = std::trunc(v);
  std::vector<int> types(count, 1);
  double end = 0;
  spline_curve* c = nullptr;
  double* par = nullptr;
  int np = 0, st = 0;
  s1356(pts.data(), count, 3, types.data(), 0, 0, 1, 4, 0.0, &end, &c, &par, &np, &st);
  free(par);
  return st < 0 ? nullptr : c;
}

inline spline_surface* loft(spline_curve* a, spline_curve* b, int order) {
  spline_curve* curves[2] = {a, b};
  int types[2] = {1, 1};
  spline_surface* s = nullptr;
  double* par = nullptr;
  int st = 0;
  s1538(2, curves, types, 0.0, 1, order, 0, &s, &par, &st);
  free(par);
  return st < 0 ? nullptr : s;
}

// The two surfaces of one reconstruction and the curves they were lofted from.
struct Scene {
  spline_curve* lao_curve = nullptr;   // (x, -y, 0)
  spline_curve* rao_curve = nullptr;   // (0, -y, 400 - x)
  spline_surface* lao = nullptr;
  spline_surface* rao = nullptr;
  Scene() = default;
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  ~Scene() { reset(); }
  void reset() {
    destroy_curve(lao_curve);
    destroy_curve(rao_curve);
    destroy_surface(lao);
    destroy_surface(rao);
    lao_curve = rao_curve = nullptr;
    lao = rao = nullptr;
  }
  bool ok() const { return lao_curve && rao_curve && lao && rao; }
};

// Builds the surfaces from the two tracings (ordered and height-matched here).
inline void build_scene(std::vector<Pixel> lao, std::vector<Pixel> rao, Scene* scene) {
  order_points(lao);
  order_points(rao);
  match_heights(lao, rao);
  std::vector<double> L, L2, R, R2;
  for (const Pixel& p : lao) {
    L.insert(L.end(), {double(p.x), -double(p.y), 0.0});
    L2.insert(L2.end(), {double(p.x), -double(p.y), 400.0});
  }
  for (const Pixel& p : rao) {
    R.insert(R.end(), {0.0, -double(p.y), 400.0 - p.x});
    R2.insert(R2.end(), {400.0, -double(p.y), 400.0 - p.x});
  }
  const CurveHandle cl2_owner(curve_through(L2));
  spline_curve* cl2 = cl2_owner.get();
  const CurveHandle cr2_owner(curve_through(R2));
  spline_curve* cr2 = cr2_owner.get();
  scene->lao_curve = curve_through(L);
  scene->rao_curve = curve_through(R);
  if (scene->lao_curve && cl2) scene->lao = loft(scene->lao_curve, cl2, 4);
  if (scene->rao_curve && cr2) scene->rao = loft(scene->rao_curve, cr2, 3);
}

inline std::vector<double> eval(const spline_curve* c, double t) {
  std::vector<double> p(c->dim);
  int left = 0, st = 0;
  s1221(c, 0, t, &left, p.data(), &st);
  return p;
}

// Height (second coordinate) of a placed tracing curve as a function of its parameter:
// strictly monotone when every one of `samples` per knot span steps the same way.
inline bool height_monotone(const spline_curve* c, int samples = 24) {
  const int k = c->order, n = c->vertex_count;
  int sign = 0;
  double prev = eval(c, c->knots[k - 1])[1];
  for (int i = k - 1; i < n; ++i) {
    const double a = c->knots[i], b = c->knots[i + 1];
    if (b <= a) continue;
    for (int j = 1; j <= samples; ++j) {
      const double y = eval(c, a + (b - a) * j / samples)[1];
      const int s = y > prev ? 1 : y < prev ? -1 : 0;
      if (s == 0 || (sign != 0 && s != sign)) return false;
      sign = s;
      prev = y;
    }
  }
  return true;
}

// Parameter of the placed tracing at height Y, by bisection (the height must be
// monotone and Y inside its range).
inline double param_at_height(const spline_curve* c, double Y) {
  double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
  const double ya = eval(c, a)[1];
  for (int i = 0; i < 200 && b - a > 1e-15 * (1 + std::fabs(b)); ++i) {
    const double m = 0.5 * (a + b);
    const double ym = eval(c, m)[1];
    if ((ym - Y) * (ya - Y) > 0)
      a = m;
    else
      b = m;
  }
  return 0.5 * (a + b);
}

// Heights covered by both tracings.
inline void common_heights(const Scene& s, double* lo, double* hi) {
  auto range = [](const spline_curve* c, double* a, double* b) {
    const double y0 = eval(c, c->knots[c->order - 1])[1];
    const double y1 = eval(c, c->knots[c->vertex_count])[1];
    *a = std::min(y0, y1);
    *b = std::max(y0, y1);
  };
  double a1, b1, a2, b2;
  range(s.lao_curve, &a1, &b1);
  range(s.rao_curve, &a2, &b2);
  *lo = std::max(a1, a2);
  *hi = std::min(b1, b2);
}

// The closed form of the catheter at height Y: (x of the LAO tracing, Y, z of the RAO
// tracing).
inline std::vector<double> catheter_at(const Scene& s, double Y) {
  const double x = eval(s.lao_curve, param_at_height(s.lao_curve, Y))[0];
  const double z = eval(s.rao_curve, param_at_height(s.rao_curve, Y))[2];
  return {x, Y, z};
}

}  // namespace catheter

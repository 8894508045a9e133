// One-dimensional subdivision: division of single-piece curves and surfaces by a linear
// factor, and the level-curve-along-an-edge case of the subdivision step.

#include "spline/detail/isect/one_dim_div.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "spline/handles.h"
#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {

constexpr int kNoCurve = -150;
constexpr int kOrderTooLow = -151;
constexpr int kNotSinglePiece = -152;

using ObjectHolder = std::unique_ptr<geom_object, decltype(&destroy_geom_object)>;

struct DataHolder {
  isect_data* data = nullptr;
  ~DataHolder() { destroy_isect_data(data); }
};

struct FreeDeleter {
  void operator()(void* p) const { free(p); }
};

// The toolkit's relative inequality of two parameters.
bool differ(double a, double b) { return std::fabs(a - b) > 1e-12 * std::fmax(std::fabs(a), std::fabs(b)); }

double* alloc_doubles(size_t count) {
  return static_cast<double*>(malloc(sizeof(double) * (count ? count : 1)));
}

}  // namespace

void sh_div_crv(const spline_curve* curve, int end_flag, double /*epsge*/, spline_curve** result,
                int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh_div_crv", code, 0);
  };
  *status = 0;
  if (!curve) return fail(kNoCurve);
  const int k = curve->order;
  const int n = curve->vertex_count;
  if (k < 3) return fail(kOrderTooLow);
  if (k != n) return fail(kNotSinglePiece);
  if (is_rational_kind(curve->kind)) return fail(kErrKind);
  const int dim = curve->dim;
  const int m = n - 1;
  std::unique_ptr<double, FreeDeleter> knots(alloc_doubles(static_cast<size_t>(2 * k - 2)));
  std::unique_ptr<double, FreeDeleter> coefs(alloc_doubles(static_cast<size_t>(m) * dim));
  if (!knots || !coefs) return fail(kErrMemory);
  const double a = curve->knots[k - 1];
  const double b = curve->knots[n];
  for (int i = 0; i < k - 1; ++i) knots.get()[i] = a;
  for (int i = 0; i < n - 1; ++i) knots.get()[k - 1 + i] = b;
  const double* c = curve->coefs;
  double* r = coefs.get();
  for (int j = 0; j < m; ++j)
    for (int d = 0; d < dim; ++d) {
      if (end_flag != 0)
        r[j * dim + d] = m * c[j * dim + d] / (m - j);
      else
        r[j * dim + d] = m * c[(j + 1) * dim + d] / (j + 1);
    }
  spline_curve* out = create_curve(m, k - 1, knots.get(), coefs.get(), curve->kind, dim, 2);
  if (!out) return fail(kErrMemory);
  knots.release();
  coefs.release();
  *result = out;
}

void divide_surface_factor(const spline_surface* surface, int flag1, int flag2, double epsge,
                           spline_surface** result, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("divide_surface_factor", code, 0);
  };
  *status = 0;
  if (!surface) return fail(kNoCurve);
  if (is_rational_kind(surface->kind)) return fail(kErrKind);
  const int dim = surface->dim;
  int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  int k1 = surface->order1, k2 = surface->order2;
  std::vector<double> knots1(surface->knots1, surface->knots1 + n1 + k1);
  std::vector<double> knots2(surface->knots2, surface->knots2 + n2 + k2);
  std::vector<double> coefs(surface->coefs, surface->coefs + static_cast<size_t>(n1) * n2 * dim);
  int st = 0;

  // Divides the coefficients viewed as a curve of `count` vertices of width `width`
  // (vertex after vertex in coefs) and replaces knots and coefficients by the result.
  auto divide_rows = [&](int count, int order, std::vector<double>& knots, int width, int flag,
                         int* new_count) -> int {
    CurveHandle view(create_curve(count, order, knots.data(), coefs.data(), 1, width, 1));
    if (!view) return kErrMemory;
    if (view->vertex_count != count) return kNotSinglePiece;  // trimmed knots
    spline_curve* raw = nullptr;
    int s = 0;
    sh_div_crv(view.get(), flag, epsge, &raw, &s);
    if (s < 0) return s;
    CurveHandle divided(raw);
    *new_count = divided->vertex_count;
    knots.assign(divided->knots, divided->knots + divided->vertex_count + divided->order);
    coefs.assign(divided->coefs,
                 divided->coefs + static_cast<size_t>(divided->vertex_count) * width);
    return 0;
  };

  if (flag1 != -1) {
    // The first direction slowest: vertex i of the view holds the n2 vertices (i, j).
    std::vector<double> slow(coefs.size());
    transpose_coefs(coefs.data(), n1, n2, dim, slow.data());
    coefs.swap(slow);
    int count = 0;
    if ((st = divide_rows(n1, k1, knots1, n2 * dim, flag1, &count)) < 0) return fail(st);
    n1 = count;
    k1 -= 1;
    std::vector<double> fast(coefs.size());
    transpose_coefs(coefs.data(), n2, n1, dim, fast.data());
    coefs.swap(fast);
  }
  if (flag2 != -1) {
    int count = 0;
    if ((st = divide_rows(n2, k2, knots2, n1 * dim, flag2, &count)) < 0) return fail(st);
    n2 = count;
    k2 -= 1;
  }
  spline_surface* out = create_surface(n1, n2, k1, k2, knots1.data(), knots2.data(), coefs.data(),
                                       surface->kind, dim, 1);
  if (!out) return fail(kErrMemory);
  *result = out;
}

void sh_1d_div_sh9idnpt(const spline_surface* surface, const spline_point* point,
                        isect_data** data, isect_point** new_point, int identify, double epsge,
                        int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh_1d_div_sh9idnpt", code, 0);
  };
  *status = 0;
  if (!*data) {
    *data = create_isect_data();
    if (!*data) return fail(kErrMemory);
  }
  isect_data* d = *data;
  isect_point* p = *new_point;
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* held = d->points[i];
    if (held == p) {
      *status = 1;
      return;
    }
    if (!identify) continue;
    // The knots at index k, as the tolerance of the identification is defined.
    const double range1 = surface->knots1[surface->vertex_count1] - surface->knots1[surface->order1];
    const double range2 = surface->knots2[surface->vertex_count2] - surface->knots2[surface->order2];
    const double tol = (std::fmax(range1, range2) + 1.0) * 1e-6;
    int st = 0;
    const int same = s6identify(surface, p->params, held->params, point->coords[0], tol, epsge, &st);
    if (st < 0) return fail(st);
    if (same == 1) {
      destroy_isect_point(p);
      *new_point = held;
      *status = 2;
      return;
    }
  }
  if (d->point_count == d->point_capacity) {
    const int cap = d->point_capacity + 20;
    auto* grown = static_cast<isect_point**>(realloc(d->points, sizeof(isect_point*) * cap));
    if (!grown) return fail(kErrMemory);
    memset(grown + d->point_capacity, 0, sizeof(isect_point*) * 20);
    d->points = grown;
    d->point_capacity = cap;
  }
  d->points[d->point_count++] = p;
}

void sh_1d_div_edges(geom_object* surface_object, geom_object* point_object,
                     edge_table* tables[2], one_dim_edges* edges, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh_1d_div", code, 0);
  };
  *status = 0;
  *edges = one_dim_edges{{nullptr, nullptr}, 0, {nullptr, nullptr}, 0, -1, -1};
  if (!surface_object || surface_object->kind != kSurfaceObject || !surface_object->surface ||
      surface_object->surface->dim != 1)
    return fail(kNoCurve);
  const spline_surface* s = surface_object->surface;
  if (!point_object || point_object->kind != kPointObject || !point_object->point ||
      point_object->point->dim != 1)
    return;
  if (is_rational_kind(s->kind) || !tables) return;
  const int k1 = s->order1, k2 = s->order2;
  if (k1 != s->vertex_count1 || k2 != s->vertex_count2 || k1 < 3 || k2 < 3) return;

  isect_point** raw = nullptr;
  int count = 0, st = 0;
  sh6edgpoint(tables, &raw, &count, &st);
  if (st < 0) return fail(st);
  std::unique_ptr<isect_point*, FreeDeleter> points(raw);
  if (count < 2) return;
  std::vector<isect_point*> corners;
  for (int i = 0; i < count; ++i) {
    int cls = 0;
    edge_class(surface_object, point_object, points.get()[i], &cls);
    if (cls < 0) return fail(cls);
    if (cls == 3) corners.push_back(points.get()[i]);
  }
  if (corners.size() < 2) return;

  for (size_t i = 0; i < corners.size(); ++i)
    for (size_t j = i + 1; j < corners.size(); ++j) {
      isect_point* p = corners[i];
      isect_point* q = corners[j];
      int common = 0;
      sh6comedg(surface_object, point_object, p, q, &common);
      if (common < 0) return fail(common);
      if (common != 1) continue;
      if (differ(p->params[0], q->params[0])) {
        // Along the edge of constant second parameter.
        const bool ordered = p->params[0] < q->params[0];
        edges->chain2[0] = ordered ? p : q;
        edges->chain2[1] = ordered ? q : p;
        edges->count2 = 2;
        edges->flag2 = differ(p->params[1], s->knots2[0]) ? 1 : 0;
      } else {
        const bool ordered = p->params[1] < q->params[1];
        edges->chain1[0] = ordered ? p : q;
        edges->chain1[1] = ordered ? q : p;
        edges->count1 = 2;
        edges->flag1 = differ(p->params[0], s->knots1[0]) ? 1 : 0;
      }
    }
  if (edges->flag1 == -1 && edges->flag2 == -1) return;
  *status = 1;
}

void sh_1d_div_reduce(spline_surface* surface, double level, int flag1, int flag2, double epsge,
                      spline_surface** reduced, int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh_1d_div", code, 0);
  };
  *status = 0;
  if (!surface) return fail(kNoCurve);
  const size_t total =
      static_cast<size_t>(surface->vertex_count1) * surface->vertex_count2 * surface->dim;
  for (size_t i = 0; i < total; ++i)
    if (std::fabs(surface->coefs[i] - level) < epsge) surface->coefs[i] = level;
  // The factor vanishes along the edge where f equals the level, so it divides f - c,
  // not f itself (the two agree only for the level 0).
  std::vector<double> shifted(surface->coefs, surface->coefs + total);
  for (double& x : shifted) x -= level;
  SurfaceHandle offset(create_surface(surface->vertex_count1, surface->vertex_count2,
                                      surface->order1, surface->order2, surface->knots1,
                                      surface->knots2, shifted.data(), surface->kind,
                                      surface->dim, 1));
  if (!offset) return fail(kErrMemory);
  int st = 0;
  divide_surface_factor(offset.get(), flag1, flag2, epsge, reduced, &st);
  if (st < 0) return fail(st);
}

void sh_1d_div(geom_object* surface_object, geom_object* point_object, double epsge,
               isect_data** data, edge_table* tables[2], int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh_1d_div", code, 0);
  };
  *status = 0;
  one_dim_edges edges{};
  int st = 0;
  sh_1d_div_edges(surface_object, point_object, tables, &edges, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  if (st == 0) return;
  const double level = point_object->point->coords[0];

  spline_surface* raw = nullptr;
  sh_1d_div_reduce(surface_object->surface, level, edges.flag1, edges.flag2, epsge, &raw, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  ObjectHolder reduced(create_geom_object(kSurfaceObject), destroy_geom_object);
  if (!reduced) {
    destroy_surface(raw);
    return fail(kErrMemory);
  }
  reduced->surface = raw;
  reduced->origin = reduced.get();
  // The reduced surface is f - c divided by the edge factors: its level is 0.
  double zero = 0.0;
  ObjectHolder zero_point(create_geom_object(kPointObject), destroy_geom_object);
  if (!zero_point) return fail(kErrMemory);
  zero_point->point = create_point(&zero, 1, 1);
  if (!zero_point->point) return fail(kErrMemory);
  zero_point->origin = zero_point.get();

  DataHolder sub;
  sh1761(reduced.get(), zero_point.get(), epsge, &sub.data, &st);
  if (st < 0) return fail(st);
  sh_1d_div_merge(surface_object, point_object, epsge, &sub.data, &edges, data, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  *status = 1;
}

void sh_1d_div_merge(geom_object* surface_object, geom_object* point_object, double epsge,
                     isect_data** sub_data, const one_dim_edges* edges, isect_data** data,
                     int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("sh_1d_div", code, 0);
  };
  *status = 0;
  int st = 0;
  isect_data** sub = sub_data;
  if (!*sub) return;
  // Help points of the sub-problem are not carried over (a help point between two
  // points leaves them connected to each other).  Going down, a point moved
  // into a freed slot has been looked at already.
  for (int i = (*sub)->point_count - 1; *sub && i >= 0; --i) {
    isect_point* p = (*sub)->points[i];
    if (!is_help_point(p)) continue;
    remove_point(sub, &p, 1, &st);
    if (st < 0) return fail(st);
  }
  if (!*sub) return;
  const int count = (*sub)->point_count;
  std::vector<isect_point*> copies(static_cast<size_t>(count), nullptr);
  const geom_object* origin = surface_object->origin ? surface_object->origin : surface_object;
  const spline_surface* whole = origin->surface ? origin->surface : surface_object->surface;
  for (int i = 0; i < count; ++i) {
    const isect_point* p = (*sub)->points[i];
    int a = 0, c = 0, b = 0, d = 0;
    sh6gettop(p, -1, &a, &c, &b, &d, &st);
    if (st < 0) return fail(st);
    isect_point* copy = create_isect_point_geom(p->param_count, p->params, p->value, p->kind, a,
                                                c, b, d, 0, 0, nullptr, nullptr);
    if (!copy) return fail(kErrMemory);
    sh_1d_div_sh9idnpt(whole, point_object->point, data, &copy, 1, epsge, &st);
    if (st < 0) {
      destroy_isect_point(copy);
      return fail(st);
    }
    copies[static_cast<size_t>(i)] = copy;
  }

  // Points on a divided edge go into the chain of that edge, between the two chain
  // points that enclose them.
  std::vector<isect_point*> chain1(edges->chain1, edges->chain1 + edges->count1);
  std::vector<isect_point*> chain2(edges->chain2, edges->chain2 + edges->count2);
  auto insert_into = [&](std::vector<isect_point*>& chain, int fixed, isect_point* copy,
                         bool* done) -> int {
    *done = false;
    if (chain.size() < 2) return 0;
    const double x = copy->params[fixed];
    if (differ(x, chain.front()->params[fixed]) || differ(x, chain.back()->params[fixed]))
      return 0;
    const int run = 1 - fixed;
    const double y = copy->params[run];
    for (size_t j = 0; j + 1 < chain.size(); ++j) {
      const double lo = chain[j]->params[run], hi = chain[j + 1]->params[run];
      if (lo < y && y < hi) {
        int s = 0;
        sh6insertpt(chain[j], chain[j + 1], copy, &s);
        if (s < 0) return s;
        chain.insert(chain.begin() + static_cast<std::ptrdiff_t>(j + 1), copy);
        break;
      }
    }
    *done = true;
    return 0;
  };
  for (isect_point* copy : copies) {
    bool done = false;
    if ((st = insert_into(chain1, 0, copy, &done)) < 0) return fail(st);
    if (done) continue;
    if ((st = insert_into(chain2, 1, copy, &done)) < 0) return fail(st);
  }

  // The connections of the sub-problem, with their marks, between the copies.
  for (int i = 0; i < count; ++i) {
    isect_point* p = (*sub)->points[i];
    for (int j = i + 1; j < count; ++j) {
      isect_point* q = (*sub)->points[j];
      int sp = -1, sq = -1;
      sh6getlist(p, q, &sp, &sq, &st);
      if (st < 0) return fail(st);
      if (st != 0) continue;
      isect_point* cp = copies[static_cast<size_t>(i)];
      isect_point* cq = copies[static_cast<size_t>(j)];
      if (cp == cq) continue;
      const int mark_p = p->segment_masks[sp];
      const int mark_q = q->segment_masks[sq];
      sh6idcon(data, &cp, &cq, &st);
      if (st < 0) return fail(st);
      int slot_p = -1, slot_q = -1;
      sh6getlist(cp, cq, &slot_p, &slot_q, &st);
      if (st != 0) return fail(st < 0 ? st : -1);
      cp->segment_masks[slot_p] |= mark_p;
      cq->segment_masks[slot_q] |= mark_q;
    }
    st = 0;
    if (is_main_point(p) && sh6nmbmain(p, &st) > 0) {
      if (st < 0) return fail(st);
      sh6tomain(copies[static_cast<size_t>(i)], &st);
      if (st < 0) return fail(st);
    }
  }
}

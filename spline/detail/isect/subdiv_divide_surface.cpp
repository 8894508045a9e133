// Cutting a surface for the subdivision intersector.  The cut values come from an
// existing inner point, a Newton iteration in a single patch, the single inner knot,
// edge points that the intersection curve does not run along, a stationary point of a
// one-dimensional surface, or the middle knot, and are then drawn to points already
// found nearby.  The surface is split into two or four pieces, and the dividing lines
// are intersected with the other object before the caller recurses into the pieces,
// so that the pieces on both sides share the points on the lines as edge points.
// Also the cut of a curve against a surface (the Newton cut value and the sub-problem
// on the dividing point).
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_reduce.h"
#include "spline/detail/isect/isect_subproblem.h"
#include "spline/detail/isect/march.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/subdiv_surface.h"
#include "spline/isocurve.h"
#include "spline/split.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}

struct DataDeleter {
  void operator()(isect_data* d) const { destroy_isect_data(d); }
};
using DataPtr = std::unique_ptr<isect_data, DataDeleter>;

struct ObjectDeleter {
  void operator()(geom_object* o) const { destroy_geom_object(o); }
};
using ObjectPtr = std::unique_ptr<geom_object, ObjectDeleter>;

// The two edge tables of a sub-problem, freed on every path.
struct TablePair {
  edge_table* t[2] = {nullptr, nullptr};
  TablePair() = default;
  TablePair(const TablePair&) = delete;
  TablePair& operator=(const TablePair&) = delete;
  ~TablePair() { clear(); }
  void clear() {
    destroy_edge_table(t[0]);
    destroy_edge_table(t[1]);
    t[0] = t[1] = nullptr;
  }
};

// Parameter range of one direction of a surface with its 1 % margin.
struct Range {
  double s = 0, e = 0, margin = 0;
  bool inner(double x) const { return x >= s + margin && x <= e - margin; }
};

Range surface_range(const spline_surface* S, int direction) {
  Range r;
  if (direction == 1) {
    r.s = S->knots1[S->order1 - 1];
    r.e = S->knots1[S->vertex_count1];
  } else {
    r.s = S->knots2[S->order2 - 1];
    r.e = S->knots2[S->vertex_count2];
  }
  r.margin = 0.01 * (r.e - r.s);
  return r;
}

Range curve_range(const spline_curve* c) {
  Range r;
  r.s = c->knots[c->order - 1];
  r.e = c->knots[c->vertex_count];
  r.margin = 0.01 * (r.e - r.s);
  return r;
}

const spline_surface* origin_surface(const geom_object* o) {
  return o->origin && o->origin->surface ? o->origin->surface : o->surface;
}
const spline_curve* origin_curve(const geom_object* o) {
  return o->origin && o->origin->curve ? o->origin->curve : o->curve;
}
const spline_point* origin_point(const geom_object* o) {
  return o->origin && o->origin->point ? o->origin->point : o->point;
}

// Taboo test on explicit parameter pairs: uv of the surface, uv2 of the other surface.
int taboo_at(const spline_surface* S, const spline_surface* other, const double* uv,
             const double* uv2, int direction, int* status) {
  if (S->dim == 2) return 0;
  double d1[9], n1[3];
  int l1 = 0, l2 = 0, st = 0;
  if (other) {
    if (S->dim != 3 || other->dim != 3) {
      *status = kErrDimensionNot3;
      error_report("sh1762_is_taboo", *status, 0);
      return 0;
    }
    double d2[9], n2[3];
    s1421(S, 1, uv, &l1, &l2, d1, n1, &st);
    if (st < 0) {
      *status = st;
      error_report("sh1762_is_taboo", st, 0);
      return 0;
    }
    l1 = l2 = 0;
    st = 0;
    s1421(other, 1, uv2, &l1, &l2, d2, n2, &st);
    if (st < 0) {
      *status = st;
      error_report("sh1762_is_taboo", st, 0);
      return 0;
    }
    const double* Su1 = d1 + 3;
    const double* Sv1 = d1 + 6;
    const double* Su2 = d2 + 3;
    const double* Sv2 = d2 + 6;
    const double N1[3] = {Su1[1] * Sv1[2] - Su1[2] * Sv1[1], Su1[2] * Sv1[0] - Su1[0] * Sv1[2],
                          Su1[0] * Sv1[1] - Su1[1] * Sv1[0]};
    const double N2[3] = {Su2[1] * Sv2[2] - Su2[2] * Sv2[1], Su2[2] * Sv2[0] - Su2[0] * Sv2[2],
                          Su2[0] * Sv2[1] - Su2[1] * Sv2[0]};
    const double l1n = std::sqrt(N1[0] * N1[0] + N1[1] * N1[1] + N1[2] * N1[2]);
    const double l2n = std::sqrt(N2[0] * N2[0] + N2[1] * N2[1] + N2[2] * N2[2]);
    if (l1n > 0 && l2n > 0) {
      double c = (N1[0] * N2[0] + N1[1] * N2[1] + N1[2] * N2[2]) / (l1n * l2n);
      c = std::fmax(-1.0, std::fmin(1.0, c));
      // The normals' angle, counting opposite normals as parallel.
      const double angle = std::acos(std::fabs(c));
      if (angle < 0.0001) return 0;
    }
    const double a = std::fabs(Su1[0] * N2[0] + Su1[1] * N2[1] + Su1[2] * N2[2]);
    const double b = std::fabs(Sv1[0] * N2[0] + Sv1[1] * N2[1] + Sv1[2] * N2[2]);
    if (direction == 1) return b < 0.01 * a ? 1 : 0;
    return a < 0.01 * b ? 1 : 0;
  }
  if (S->dim != 1) {
    *status = kErrDimensionNotAccepted;
    error_report("sh1762_is_taboo", *status, 0);
    return 0;
  }
  double d[3];
  s1421(S, 1, uv, &l1, &l2, d, n1, &st);
  if (st < 0) {
    *status = st;
    error_report("sh1762_is_taboo", st, 0);
    return 0;
  }
  const double Su = d[1], Sv = d[2];
  const double g = std::sqrt(Su * Su + Sv * Sv);
  if (g < 1e-9) return 0;
  if (direction == 1) return std::fabs(Sv) < 0.01 * g ? 1 : 0;
  return std::fabs(Su) < 0.01 * g ? 1 : 0;
}

}  // namespace

int sh1762_is_taboo(geom_object* surface, geom_object* other, isect_point* point, int direction,
                    int* status) {
  // The point carries the surface's parameters first and the other surface's after them.
  if (point->param_count < (other ? 4 : 2)) {
    *status = kErrDimensionMismatch;
    error_report("sh1762_is_taboo", *status, 0);
    return 0;
  }
  return taboo_at(surface->surface, other ? other->surface : nullptr, point->params,
                  point->param_count >= 4 ? point->params + 2 : nullptr, direction, status);
}

void s9subdivpt_surface(geom_object* object1, geom_object* object2, double epsge, int which,
                        int code, edge_table* tables[2], isect_data** data, int* fixed,
                        isect_point** found, double values[2], int* status) {
  geom_object* div = which == 1 ? object1 : object2;
  geom_object* other = which == 1 ? object2 : object1;
  const int offset = which == 1 ? 0 : object1->kind;
  const int other_offset = which == 1 ? object1->kind : 0;
  const spline_surface* S = div->surface;
  const spline_surface* OS = origin_surface(div);
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1762_s9subdivpt", s, 0);
  };
  *found = nullptr;
  const Range r1 = surface_range(S, 1);
  const Range r2 = surface_range(S, 2);
  const bool single = S->order1 == S->vertex_count1 && S->order2 == S->vertex_count2;
  const bool other_surface = other->kind == kSurfaceObject;
  const bool other_point = other->kind == kPointObject;
  const int other_dim = object_dim(other);
  double u = 0.5 * (r1.s + r1.e);
  double v = 0.5 * (r2.s + r2.e);
  int st = 0;

  // 1. An inner point of a single patch.
  isect_point* f = nullptr;
  int fu = 0, fv = 0;
  double found_u = 0, found_v = 0;
  if (single) {
    isect_point* tmp = nullptr;
    f = inner_isect_point(object1, object2, *data, &tmp, which);
    if (f) {
      u = found_u = f->params[offset];
      v = found_v = f->params[offset + 1];
      fu = fv = 1;
      if (!r1.inner(u)) {
        fu = 0;
        f = nullptr;
      }
      if (!r2.inner(v)) {
        fv = 0;
        f = nullptr;
      }
    }
  }

  // 2. A Newton iteration inside a single patch against a point or a curve.
  int mask = 0;
  const bool refine_kind = other_surface || (other_point && other_dim == 1);
  if (!f && !refine_kind && single) {
    u = 0.5 * (r1.s + r1.e);
    v = 0.5 * (r2.s + r2.e);
    mask = 3;
    const double start[2] = {r1.s, r2.s};
    const double end[2] = {r1.e, r2.e};
    double uv[2] = {u, v};
    st = 0;
    if (other_point) {
      s1773(origin_point(other), OS, epsge, start, end, uv, uv, &st);
    } else {
      const Range rc = curve_range(other->curve);
      double t = 0.5 * (rc.s + rc.e);
      st = 1;
      const double guess[2] = {uv[0], uv[1]};
      s1772(origin_curve(other), OS, epsge, rc.s, start, rc.e, end, t, guess, &t, uv, &st);
      if (st >= 0 && !rc.inner(t)) mask = 0;
    }
    if (st < 0) return fail(st);
    u = uv[0];
    v = uv[1];
    if (!r1.inner(u)) mask -= 1;
    if (!r2.inner(v)) mask -= 2;
  }

  // 3. Middle knots where nothing better was found.
  if (!f && mask != 3 && !refine_kind) {
    if (mask != 1) u = middle_knot_value(S->knots1, S->order1, S->vertex_count1);
    if (mask != 2) v = middle_knot_value(S->knots2, S->order2, S->vertex_count2);
    if (fu && std::fabs(u - found_u) < r1.margin) u = found_u;
    if (fv && std::fabs(v - found_v) < r2.margin) v = found_v;
  }

  int flag = *fixed;
  const bool final_values = f || other->kind == kCurveObject || (other_point && other_dim != 1 && other_dim != 2);
  if (!final_values) {
    // 5. Values of a single inner knot (or the middle of a single patch).
    double uv[2] = {u, v};
    st = 0;
    s9simple_knot(S, code, uv, &flag, &st);
    if (st < 0) return fail(st);
    u = uv[0];
    v = uv[1];
    const double su = u, sv = v;
    if ((flag == 1 || flag == 3) && !r1.inner(u)) flag -= 1;
    if ((flag == 2 || flag == 3) && !r2.inner(v)) flag -= 2;

    if (flag < 3) {
      // 6. Edge points the intersection curve does not run along.
      const double mu = middle_knot_value(S->knots1, S->order1, S->vertex_count1);
      const double mv = middle_knot_value(S->knots2, S->order2, S->vertex_count2);
      isect_point* c1_kind2 = nullptr;
      isect_point* c1_other = nullptr;
      isect_point* c2_kind2 = nullptr;
      isect_point* c2_other = nullptr;
      const edge_table* table = tables[which - 1];
      const spline_surface* taboo_other = other_surface ? other->surface : nullptr;
      auto consider = [&](int direction, isect_point* p, isect_point*& kind2,
                          isect_point*& rest) -> int {
        const int idx = offset + direction - 1;
        const double x = p->params[idx];
        const Range& r = direction == 1 ? r1 : r2;
        if (x < r.s + r.margin || x > r.e - r.margin) return 0;
        int tst = 0;
        const int taboo = taboo_at(S, taboo_other, p->params + offset,
                                   taboo_other ? p->params + other_offset : nullptr, direction,
                                   &tst);
        if (tst < 0) return tst;
        if (taboo) return 0;
        const double m = direction == 1 ? mu : mv;
        isect_point*& slot = p->kind == kSingularPoint ? kind2 : rest;
        if (!slot || std::fabs(x - m) < std::fabs(slot->params[idx] - m)) slot = p;
        return 0;
      };
      if (table && table->point_count > 0) {
        for (int e = 0; e < 4; ++e) {
          const int direction = (e == 0 || e == 2) ? 1 : 2;
          if (direction == 1 && flag == 1) continue;
          if (direction == 2 && flag == 2) continue;
          for (edge_node* node = table->heads[e]; node; node = node->next) {
            const int r = direction == 1 ? consider(1, node->point, c1_kind2, c1_other)
                                         : consider(2, node->point, c2_kind2, c2_other);
            if (r < 0) {
              *status = r;
              return;
            }
          }
        }
      }

      if (S->dim == 1) {
        // 7. A stationary point of a one-dimensional surface.
        double start[2] = {0.5 * (r1.s + r1.e), 0.5 * (r2.s + r2.e)};
        if (flag != 1 && c1_kind2) {
          start[0] = c1_kind2->params[offset];
          start[1] = c1_kind2->params[offset + 1];
        } else if (flag != 2 && c2_kind2) {
          start[0] = c2_kind2->params[offset];
          start[1] = c2_kind2->params[offset + 1];
        }
        const double lo[2] = {r1.s, r2.s};
        const double hi[2] = {r1.e, r2.e};
        double pair[2] = {start[0], start[1]};
        int nmask = 0;
        st = 0;
        s1174(OS, lo, hi, start, pair, &st);
        if (st < 0) return fail(st);
        if (st == 1) {
          nmask = 3;
          if (!r1.inner(pair[0])) nmask -= 1;
          if (!r2.inner(pair[1])) nmask -= 2;
        }
        double nu = pair[0], nv = pair[1];
        if (flag == 0 && c1_kind2 && c2_kind2) {
          const double start2[2] = {c2_kind2->params[offset], c2_kind2->params[offset + 1]};
          double pair2[2] = {start2[0], start2[1]};
          st = 0;
          s1174(OS, lo, hi, start2, pair2, &st);
          if (st < 0) return fail(st);
          if (st == 1 && r2.inner(pair2[1])) {
            nv = pair2[1];
            if (nmask < 2) nmask += 2;
          }
        }
        if (flag == 1) {
          u = su;
        } else if (nmask == 1 || nmask == 3) {
          flag += 1;
          u = nu;
        } else if (c1_kind2) {
          u = c1_kind2->params[offset];
          flag += 1;
        } else if (c1_other) {
          u = c1_other->params[offset];
          flag += 1;
        } else {
          u = mu;
        }
        if (flag == 2) {
          v = sv;
        } else if (nmask == 2 || nmask == 3) {
          flag += 2;
          v = nv;
        } else if (c2_kind2) {
          v = c2_kind2->params[offset + 1];
          flag += 2;
        } else if (c2_other) {
          v = c2_other->params[offset + 1];
          flag += 2;
        } else {
          v = mv;
        }
      } else {
        // 8. The candidate nearest to the middle knot.
        auto choose = [&](isect_point* kind2, isect_point* rest, int idx, double m,
                          double* x) -> bool {
          isect_point* pick = nullptr;
          if (kind2 && rest)
            pick = std::fabs(rest->params[idx] - m) < std::fabs(kind2->params[idx] - m) ? rest
                                                                                        : kind2;
          else
            pick = kind2 ? kind2 : rest;
          if (!pick) return false;
          *x = pick->params[idx];
          return true;
        };
        if (flag == 1) {
          u = su;
        } else if (choose(c1_kind2, c1_other, offset, mu, &u)) {
          flag += 1;
        } else {
          u = mu;
        }
        if (flag == 2) {
          v = sv;
        } else if (choose(c2_kind2, c2_other, offset + 1, mv, &v)) {
          flag += 2;
        } else {
          v = mv;
        }
      }
    }

    // 9. Drawn to existing points nearby.
    double slot_value[2] = {DBL_MAX, DBL_MAX};
    int slot_rank[2] = {-10, -10};
    const bool ufixed = flag == 1 || flag == 3;
    const bool vfixed = flag == 2 || flag == 3;
    if (*data) {
      for (int i = 0; i < (*data)->point_count; ++i) {
        const isect_point* p = (*data)->points[i];
        if (!p || p->param_count < offset + 2) continue;
        for (int d = 0; d < 2; ++d) {
          const double x = d == 0 ? u : v;
          const Range& r = d == 0 ? r1 : r2;
          const bool fixed_d = d == 0 ? ufixed : vfixed;
          const double px = p->params[offset + d];
          const double gap = std::fabs(x - px);
          const bool qualifies =
              fixed_d ? gap < 0.001 * r.margin : (gap < 0.1 * r.margin && r.inner(px));
          if (qualifies && gap < std::fabs(slot_value[d] - x) && p->kind >= slot_rank[d]) {
            slot_value[d] = px;
            slot_rank[d] = p->kind;
          }
        }
      }
    }
    for (int d = 0; d < 2; ++d) {
      const Range& r = d == 0 ? r1 : r2;
      const bool fixed_d = d == 0 ? ufixed : vfixed;
      if (slot_rank[d] > -10 && slot_value[d] > r.s + r.margin && slot_value[d] < r.e - r.margin) {
        if (fixed_d && slot_rank[d] < 0) continue;
        (d == 0 ? u : v) = slot_value[d];
      }
    }
  }

  // 10. Output.
  values[0] = u;
  values[1] = v;
  *found = f;
  *fixed = flag >= 2 ? 1 : 0;
}

void s9subdivpt_curve_on_surface(geom_object* curve, geom_object* surface, double epsge,
                                 double s, double e, double* u, int* usable, int* status) {
  const spline_surface* S = surface->surface;
  const Range r1 = surface_range(S, 1);
  const Range r2 = surface_range(S, 2);
  const double start[2] = {r1.s, r2.s};
  const double end[2] = {r1.e, r2.e};
  const double guess[2] = {0.5 * (r1.s + r1.e), 0.5 * (r2.s + r2.e)};
  double pair[2] = {guess[0], guess[1]};
  *status = 0;
  s1772(origin_curve(curve), origin_surface(surface), epsge, s, start, e, end, *u, guess, u,
        pair, status);
  *usable = *status >= 0 && r1.inner(pair[0]) && r2.inner(pair[1]) ? 1 : 0;
}

namespace {

// Brings the points of a sub-problem on a division into the data, and unites the point
// the division was made at with its nearest point when every sub-problem point was new.
void merge_division(geom_object* object1, geom_object* object2, double epsge, isect_data* sub,
                    int index, double value, isect_point** found, isect_data** data,
                    int* status) {
  *status = 0;
  const int n = (*data ? (*data)->point_count : 0) + (sub ? sub->point_count : 0);
  int st = 0;
  put_edge_points(object1, object2, epsge, sub, index, value, data, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  if (*found && *data && (*data)->point_count == n) {
    isect_point* near = closest_isect_point(*data, *found);
    if (near) {
      isect_point* a = *found;
      st = 0;
      sh6idunite(object1, object2, data, &a, &near, 0.5, epsge, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      *found = a;
    }
  }
}

edge_table* table_like(const edge_table* t) {
  return t ? create_edge_table(t->edge_count) : nullptr;
}

// Help points at the ends of a one-dimensional dividing line whose end values equal the
// point's value: the curve of the level set leaves the line there.  *made 1 when a point
// was added.  line_param: the line's parameter slot among the surface's two (the other
// slot holds the division value).
void line_end_points(geom_object* line, geom_object* other, double epsge, double value,
                     int division_slot, edge_table* sub_tables[2], isect_data** data, int* made,
                     int* status) {
  *made = 0;
  *status = 0;
  if (other->kind != kPointObject) return;
  isect_point** listed = nullptr;
  int count = 0;
  int st = 0;
  sh6edgpoint(sub_tables, &listed, &count, &st);
  std::unique_ptr<isect_point*, decltype(&free)> hold(listed, &free);
  if (st < 0) {
    *status = st;
    return;
  }
  if (count >= 2) return;
  for (int j = 0; j < 2; ++j) {
    spline_point* end = nullptr;
    double t = 0;
    st = 0;
    s1438(line->curve, j, &end, &t, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    const double end_value = end->coords[0];
    destroy_point(end);
    if (std::fabs(end_value - other->point->coords[0]) >= epsge) continue;
    if (count == 1 && listed[0]->param_count >= 1 && rel_equal(listed[0]->params[0], t)) continue;
    double par[2];
    par[division_slot] = value;
    par[1 - division_slot] = t;
    isect_point* p = create_isect_point_geom(2, par, 0.0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
    if (!p) {
      *status = kErrMemory;
      return;
    }
    st = 0;
    sh6tohelp(p, &st);
    st = 0;
    sh6idnpt(data, &p, 1, &st);
    if (st < 0) {
      destroy_isect_point(p);
      *status = st;
      return;
    }
    // The end coincides with a point already found there: that point stands for the
    // end, nothing is to be added.
    if (st > 0) continue;
    *made = 1;
    // The first point of the data has no neighbour to be matched with; it stays as it is.
    isect_point* near = closest_isect_point(*data, p);
    if (!near) continue;
    const int line_slot = 1 - division_slot;
    if (rel_equal(near->params[line_slot], p->params[line_slot]) &&
        std::fabs(near->params[division_slot] - value) <= 1e-6) {
      p->params[division_slot] = near->params[division_slot];
      near->params[division_slot] = value;
      st = 0;
      sh6tomain(near, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      isect_point* a = p;
      isect_point* b = near;
      st = 0;
      sh6idcon(data, &a, &b, &st);
      if (st < 0) {
        *status = st;
        return;
      }
    }
  }
}

// One dividing line of a surface: split, line against the other object, points back
// into the data.
struct DivisionStep {
  geom_object* source;      // object split
  geom_object* collected;   // object standing for the dividing one in the collection
  int direction;            // 1 split at u, 2 at v
  geom_object* first;       // the two halves
  geom_object* second;
};

}  // namespace

void s9div_surface(geom_object* object1, geom_object* object2, double epsge, int which,
                   int code, geom_object* pieces[4], edge_table* tables[2], isect_data** data,
                   int* status) {
  *status = 0;
  geom_object* div = which == 1 ? object1 : object2;
  geom_object* other = which == 1 ? object2 : object1;
  const int offset = which == 1 ? 0 : object1->kind;
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1762_s9div", s, 0);
  };
  if (code < 1 || code > 3) return fail(-122);

  double values[2] = {0, 0};
  isect_point* found = nullptr;
  int fixed = 0;
  int st = 0;
  sh1762_s9subdivpt(object1, object2, epsge, which, code, tables, data, &fixed, &found, values,
                    &st);
  if (st < 0) return fail(st);

  // The temporary halves of a division in both directions.
  ObjectPtr halfA, halfB;
  DivisionStep steps[3];
  int step_count = 0;
  if (code == 1 || code == 2) {
    steps[step_count++] = {div, div, code, pieces[0], pieces[1]};
  } else {
    halfA.reset(create_geom_object(kSurfaceObject));
    halfB.reset(create_geom_object(kSurfaceObject));
    if (!halfA || !halfB) return fail(kErrMemory);
    halfA->origin = halfB->origin = div->origin;
    steps[step_count++] = {div, div, 1, halfA.get(), halfB.get()};
    steps[step_count++] = {halfA.get(), halfA.get(), 2, pieces[0], pieces[1]};
    steps[step_count++] = {halfB.get(), halfB.get(), 2, pieces[2], pieces[3]};
  }

  const spline_surface* OS = origin_surface(div);
  for (int i = 0; i < step_count; ++i) {
    const DivisionStep& step = steps[i];
    const double value = step.direction == 1 ? values[0] : values[1];
    st = 0;
    s1711(step.source->surface, step.direction, value, &step.first->surface,
          &step.second->surface, &st);
    if (st < 0) return fail(st);

    // The dividing line: the end edge of the first half in the split direction.
    const int edge = step.direction == 1 ? 1 : 2;
    geom_object* line = step.first->edges[edge];
    if (!line) {
      spline_curve* c = nullptr;
      double par = 0;
      st = 0;
      s1435(step.first->surface, edge, &c, &par, &st);
      if (st < 0) return fail(st);
      line = create_geom_object(kCurveObject);
      if (!line) {
        destroy_curve(c);
        return fail(kErrMemory);
      }
      line->curve = c;
      step.first->edges[edge] = line;
    }

    // The same line on the whole origin surface, so that Newton iterations on the line
    // may reach beyond the piece; it stands as the line's origin during this step.
    ObjectPtr origin_line(create_geom_object(kCurveObject));
    if (!origin_line) return fail(kErrMemory);
    st = 0;
    if (step.direction == 1)
      s1437(OS, value, &origin_line->curve, &st);
    else
      s1436(OS, value, &origin_line->curve, &st);
    if (st < 0 || !origin_line->curve) return fail(st < 0 ? st : kErrMemory);
    origin_line->origin = origin_line.get();
    line->origin = origin_line.get();
    struct OriginReset {
      geom_object* line;
      ~OriginReset() { line->origin = line; }
    } origin_reset{line};

    geom_object* g1 = which == 1 ? step.collected : object1;
    geom_object* g2 = which == 1 ? object2 : step.collected;
    const int index = offset + step.direction - 1;
    geom_object* s1 = which == 1 ? line : other;
    geom_object* s2 = which == 1 ? other : line;
    isect_data* raw = nullptr;
    DataPtr sub;
    TablePair sub_tables;
    auto collect = [&]() -> int {
      sub.reset();
      sub_tables.clear();
      raw = nullptr;
      int cst = 0;
      sh6idget(g1, g2, index, value, *data, &raw, epsge, &cst);
      sub.reset(raw);
      if (cst < 0) return cst;
      edge_table* other_table = table_like(tables[which == 1 ? 1 : 0]);
      edge_table* line_table = create_edge_table(2);
      sub_tables.t[which == 1 ? 0 : 1] = line_table;
      sub_tables.t[which == 1 ? 1 : 0] = other_table;
      if (!line_table || (tables[which == 1 ? 1 : 0] && !other_table)) return kErrMemory;
      cst = 0;
      sh6idalledg(s1, s2, sub.get(), sub_tables.t, &cst);
      return cst < 0 ? cst : 0;
    };
    st = collect();
    if (st < 0) return fail(st);

    if (line->curve->dim == 1) {
      int made = 0;
      st = 0;
      line_end_points(line, other, epsge, value, step.direction - 1, sub_tables.t, data, &made,
                      &st);
      if (st < 0) return fail(st);
      if (made) {
        st = collect();
        if (st < 0) return fail(st);
      }
    }

    raw = sub.release();
    int sub_status = 0;
    sh1762(s1, s2, epsge, &raw, sub_tables.t, &sub_status);
    sub.reset(raw);
    sub_tables.clear();
    if (sub_status < 0) return fail(sub_status);

    if (code == 3 && i == 0 && sub) {
      // The second value may move to a point found on the first line.
      const int line_idx = which == 1 ? 0 : other->kind;
      const Range lr = curve_range(line->curve);
      const double span = std::fabs(lr.e - lr.s);
      if (fixed == 0) {
        for (int j = 0; j < sub->point_count; ++j) {
          const isect_point* p = sub->points[j];
          if (!is_main_point(p) || p->param_count <= line_idx) continue;
          const double x = p->params[line_idx];
          if (std::fabs(x - values[1]) < 0.1 * span && !rel_equal(x, lr.s) && !rel_equal(x, lr.e))
            values[1] = x;
        }
      } else {
        for (int j = 0; j < sub->point_count; ++j) {
          const isect_point* p = sub->points[j];
          if (p->param_count <= line_idx) continue;
          const double x = p->params[line_idx];
          if (x != values[1] && std::fabs(x - values[1]) < 1e-6 * span) {
            const spline_surface* S = div->surface;
            values[1] = middle_knot_value(S->knots2, S->order2, S->vertex_count2);
            fixed = 0;
            break;
          }
        }
      }
    }

    if (sub_status != 0) {
      *status = 1;
      st = 0;
      merge_division(object1, object2, epsge, sub.get(), index, value, &found, data, &st);
      if (st < 0) return fail(st);
    }
  }
}

void s9div_curve_point(geom_object* object1, geom_object* object2, double epsge, int which,
                       double u, isect_point* found, geom_object* cut, edge_table* tables[2],
                       isect_data** data, int* status) {
  *status = 0;
  geom_object* other = which == 1 ? object2 : object1;
  const int offset = which == 1 ? 0 : object1->kind;
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1762_s9div", s, 0);
  };
  isect_data* raw = nullptr;
  int st = 0;
  sh6idget(object1, object2, offset, u, *data, &raw, epsge, &st);
  DataPtr sub(raw);
  if (st < 0) return fail(st);
  const int other_slot = which == 1 ? 1 : 0;
  TablePair sub_tables;
  sub_tables.t[other_slot] = table_like(tables[other_slot]);
  if (tables[other_slot] && !sub_tables.t[other_slot]) return fail(kErrMemory);
  geom_object* s1 = which == 1 ? cut : other;
  geom_object* s2 = which == 1 ? other : cut;
  st = 0;
  sh6idalledg(s1, s2, sub.get(), sub_tables.t, &st);
  if (st < 0) return fail(st);
  cut->origin = cut;
  raw = sub.release();
  int sub_status = 0;
  sh1762(s1, s2, epsge, &raw, sub_tables.t, &sub_status);
  sub.reset(raw);
  if (sub_status < 0) return fail(sub_status);
  if (sub_status != 0) {
    *status = 1;
    st = 0;
    merge_division(object1, object2, epsge, sub.get(), offset, u, &found, data, &st);
    if (st < 0) return fail(st);
  }
}

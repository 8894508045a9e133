// The subdivision step of the intersector: box test, micro case, simple case with its
// Newton settling, connection of edge points, and otherwise the cutting of one or
// both objects and the recursion over the pairs of pieces.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/cones.h"
#include "spline/detail/isect/edge_march.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_reduce.h"
#include "spline/detail/isect/newton.h"
#include "spline/detail/isect/one_dim_div.h"
#include "spline/detail/isect/singular_points.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/detail/isect/subdiv_points.h"
#include "spline/detail/isect/subdiv_surface.h"
#include "spline/linalg.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

int isect_recursion_level = 0;
int isect_recursion_max = 0;
// Two curved patches lying parallel just beyond the tolerance apart take about a million
// calls to be told apart; this ends them in a few seconds, while ordinary problems stay
// far below it.
long isect_work_budget = 200000;

namespace {

thread_local long work_done = 0;
thread_local bool budget_hit = false;

bool rel_equal(double a, double b) {
  return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b));
}


edge_table* same_table(const edge_table* t) {
  return t ? create_edge_table(t->edge_count) : nullptr;
}


// Two surfaces whose normal cones are both too narrow to cut and yet hold parallel
// (or opposite) normals, with no edge points: the surfaces may touch in a single point
// inside the pair.  The tangency search is run from the middle of the parameter box; a
// tangent point where the surfaces are within epsge of each other is added.  Status 1
// when a point was added, 0 when none; negative on error.
void touching_point_of_narrow_pair(const spline_surface* a, const spline_surface* b,
                                   double epsge, isect_data** data, int* status) {
  *status = 0;
  if (a->dim != 3 || b->dim != 3) return;
  const spline_surface* s[2] = {a, b};
  double box[8], start[4];
  for (int k = 0; k < 2; ++k) {
    box[4 * k + 0] = s[k]->knots1[s[k]->order1 - 1];
    box[4 * k + 1] = s[k]->knots1[s[k]->vertex_count1];
    box[4 * k + 2] = s[k]->knots2[s[k]->order2 - 1];
    box[4 * k + 3] = s[k]->knots2[s[k]->vertex_count2];
  }
  for (int j = 0; j < 4; ++j) start[j] = 0.5 * (box[2 * j] + box[2 * j + 1]);
  double sing[4];
  int st = 0;
  shsing(a, b, box, start, sing, &st);
  if (st < 0) {
    // A box too small for the search settles nothing; other failures are errors.
    if (st != -200) *status = st;
    return;
  }
  if (st != 1) return;
  double pa[3], pb[3];
  int l1 = 0, l2 = 0;
  s1421(a, 0, sing, &l1, &l2, pa, nullptr, &st);
  if (st >= 0) s1421(b, 0, sing + 2, &l1, &l2, pb, nullptr, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  double d2 = 0.0;
  for (int i = 0; i < 3; ++i) d2 += (pa[i] - pb[i]) * (pa[i] - pb[i]);
  if (std::sqrt(d2) >= epsge) return;
  isect_point* p = insert_new_point(data, 4, sing, &st);
  if (!p) {
    *status = st;
    return;
  }
  p->kind = kSingularPoint;
  *status = 1;
}

// Two surfaces that can be cut no further (both direction cones narrow) and whose edge
// points could not be connected: the same intersection point may have been found twice,
// once inside a pair and once again on a dividing line through it, with parameters a
// rounding apart.  Such twins leave three edge points where the curve crosses the pair
// once, and the connection of the edge points fails on them.  Edge points of the pair
// within epsge of each other in space are united here (the better connected one keeps
// its parameters) and the tables are filled anew.  Status 1 when points were united,
// 0 when none; negative on error.
void unite_twin_edge_points(geom_object* object1, geom_object* object2, double epsge,
                            isect_data** data, edge_table* tables[2], int* status) {
  *status = 0;
  isect_point** points = nullptr;
  int count = 0, st = 0;
  sh6edgpoint(tables, &points, &count, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  std::vector<isect_point*> pts(points, points + count);
  free(points);
  if (count < 2) return;
  std::vector<double> pos(3 * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    int l1 = 0, l2 = 0;
    s1421(object1->surface, 0, pts[i]->params, &l1, &l2, &pos[3 * i], nullptr, &st);
    if (st < 0) {
      *status = st;
      return;
    }
  }
  bool united = false;
  for (int i = 0; i < count; ++i) {
    if (!pts[i]) continue;
    for (int j = i + 1; j < count; ++j) {
      if (!pts[j] || vec_dist(&pos[3 * i], &pos[3 * j], 3) >= epsge) continue;
      isect_point* keep = pts[i];
      isect_point* other = pts[j];
      if (other->neighbour_count > keep->neighbour_count) std::swap(keep, other);
      // Both are main points on the pair's edges: the first one named survives.
      st = 0;
      sh6idunite_lin(data, &keep, &other, 0.0, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      pts[i] = keep;
      pts[j] = nullptr;
      united = true;
    }
  }
  if (!united) return;
  for (int j = 0; j < 2; ++j) {
    edge_table* t = same_table(tables[j]);
    if (!t) {
      *status = kErrMemory;
      return;
    }
    destroy_edge_table(tables[j]);
    tables[j] = t;
  }
  st = 0;
  sh6idalledg(object1, object2, *data, tables, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  *status = 1;
}

}  // namespace

void isect_budget_reset() {
  work_done = 0;
  budget_hit = false;
}

bool isect_budget_exceeded() { return budget_hit; }

double sh1762_sflength(const spline_surface* surface, int direction, int* status) {
  const bool first = direction == 1;
  const int k = first ? surface->order1 : surface->order2;
  const int samples = k < 2 ? 2 : k > 4 ? 4 : k;
  const double* t = first ? surface->knots1 : surface->knots2;
  const int n = first ? surface->vertex_count1 : surface->vertex_count2;
  const double* o = first ? surface->knots2 : surface->knots1;
  const int ok = first ? surface->order2 : surface->order1;
  const int on = first ? surface->vertex_count2 : surface->vertex_count1;
  const double a = t[k - 1], b = t[n];
  const double middle = 0.5 * (o[ok - 1] + o[on]);
  // One sample buffer of the surface's own dimension: the surface may have any
  // dimension, not only 1 to 3.
  const int dim = surface->dim;
  std::vector<double> prev(dim), cur(dim);
  double length = 0;
  for (int i = 0; i < samples; ++i) {
    const double x = a + (b - a) * i / (samples - 1);
    const double uv[2] = {first ? x : middle, first ? middle : x};
    int l1 = 0, l2 = 0, st = 0;
    s1424(surface, 0, 0, uv, &l1, &l2, cur.data(), &st);
    if (st < 0) {
      *status = st;
      error_report("sh1762_sflength", st, 0);
      return 0;
    }
    if (i > 0) {
      double d = 0;
      for (int j = 0; j < dim; ++j) d += (cur[j] - prev[j]) * (cur[j] - prev[j]);
      length += std::sqrt(d);
    }
    prev.swap(cur);
  }
  return length;
}

void sh1762_s9num(geom_object* object, geom_object* other, int* directions, int* status) {
  if (object->kind < 0 || object->kind > 2 || other->kind < 0 || other->kind > 2) {
    *status = kErrKind;
    error_report("sh1762_s9num", *status, 0);
    return;
  }
  *directions = 0;
  if (object->kind == kPointObject) return;
  const dir_cone* cone = object->kind == kCurveObject ? object->curve->cone : object->surface->cone;
  const int flag = cone ? cone->flag : 10;
  const double angle = cone ? cone->angle : DBL_MAX;
  bool single;
  if (object->kind == kCurveObject)
    single = object->curve->order == object->curve->vertex_count;
  else
    single = object->surface->order1 == object->surface->vertex_count1 &&
             object->surface->order2 == object->surface->vertex_count2;
  const dir_cone* ocone = other->kind == kCurveObject   ? other->curve->cone
                          : other->kind == kSurfaceObject ? other->surface->cone
                                             : nullptr;
  const int oflag = ocone ? ocone->flag : 0;
  const double oangle = ocone ? ocone->angle : 0.0;
  const bool plane_point = other->kind == kPointObject && other->point->dim == 2;
  if (flag == 0 && angle <= 0.001 && !plane_point) return;
  if (object->kind == kCurveObject && other->kind == kSurfaceObject) {
    const spline_curve* c = object->curve;
    *directions = interval_divisible(c->knots, c->order, c->vertex_count);
    return;
  }
  if (flag == 0 && angle < 0.375 && single) {
    if (oflag != 0) return;
    if (2 * angle < oangle) return;
  }
  if (object->kind == kCurveObject) {
    const spline_curve* c = object->curve;
    *directions = interval_divisible(c->knots, c->order, c->vertex_count);
    return;
  }
  // A surface: a linear direction is cut only when it is at least five times as long
  // as the other.
  const spline_surface* s = object->surface;
  int st = 0;
  const double L1 = sh1762_sflength(s, 1, &st);
  const double L2 = st < 0 ? 0 : sh1762_sflength(s, 2, &st);
  if (st < 0) {
    *status = st;
    error_report("sh1762_s9num", st, 0);
    return;
  }
  int d = 0;
  if (interval_divisible(s->knots1, s->order1, s->vertex_count1) &&
      !(s->order1 == 2 && 5 * L2 > L1))
    d += 1;
  if (interval_divisible(s->knots2, s->order2, s->vertex_count2) &&
      !(s->order2 == 2 && 5 * L1 > L2))
    d += 2;
  *directions = d;
}

void sh1762_s9mic(geom_object* object1, geom_object* object2, isect_data** data,
                  edge_table* tables[2], int* status) {
  *status = 0;
  isect_point** points = nullptr;
  int count = 0;
  int st = 0;
  auto fail = [&](int s) {
    free(points);
    *status = s;
    error_report("sh1762_s9mic", s, 0);
  };
  if (tables[0]) count += tables[0]->point_count;
  if (tables[1]) count += tables[1]->point_count;
  if (count > 0) {
    sh6edgpoint(tables, &points, &count, &st);
    if (st < 0) return fail(st);
  }
  if (count == 0) {
    double par[4];
    int n = 0;
    for (const geom_object* o : {object1, object2}) {
      if (o->kind == kCurveObject) {
        const spline_curve* c = o->curve;
        par[n++] = 0.5 * (c->knots[c->order - 1] + c->knots[c->vertex_count]);
      } else if (o->kind == kSurfaceObject) {
        const spline_surface* s = o->surface;
        par[n++] = 0.5 * (s->knots1[s->order1 - 1] + s->knots1[s->vertex_count1]);
        par[n++] = 0.5 * (s->knots2[s->order2 - 1] + s->knots2[s->vertex_count2]);
      }
    }
    if (!insert_new_point(data, n, par, &st)) return fail(st);
    *status = 1;
    free(points);
    return;
  }
  if (count == 1) {
    free(points);
    return;
  }
  const bool p1 = object1->kind == kPointObject && object1->point->dim <= 2;
  const bool p2 = object2->kind == kPointObject && object2->point->dim <= 2;
  const bool curve_point = (object1->kind + object2->kind == kCurveObject) && count == 2;
  if (p1 || p2 || curve_point) {
    geom_object* o = object1->kind == kPointObject ? object2 : object1;
    if (o->kind == kSurfaceObject) {
      free(points);
      points = nullptr;
      st = 0;
      s9mic_surface_points(object1, object2, *data, &st);
      if (st < 0) return fail(st);
      *status = 1;
      return;
    }
    if (o->kind == kCurveObject && count == 2) {
      const spline_curve* c = o->curve;
      const spline_curve* oc = o->origin && o->origin->curve ? o->origin->curve : c;
      const double len = c->knots[c->vertex_count] - c->knots[c->order - 1];
      const double olen = oc->knots[oc->vertex_count] - oc->knots[oc->order - 1];
      if (olen > 0 && len / olen > 1e-12) {
        isect_point* a = points[0];
        isect_point* b = points[1];
        sh6idcon(data, &a, &b, &st);
        if (st < 0) return fail(st);
        // The curve's parameter is the only one of a point/curve pair.
        isect_point* from = a;
        isect_point* to = b;
        if (b->params[0] < a->params[0]) {
          from = b;
          to = a;
        }
        st = 0;
        sh6setdir(from, to, &st);
        if (st < 0) return fail(st);
        *status = 1;
        free(points);
        return;
      }
    }
  }
  if (object1->kind == kCurveObject && object2->kind == kCurveObject) {
    // Two curves within the tolerance of each other: the edge points between the
    // first and the last are united into the first (keeping its parameters), and
    // the first and the last are connected, a stretch along which the curves meet.
    isect_point* first = points[0];
    for (int i = 1; i < count - 1; ++i) {
      isect_point* q = points[i];
      st = 0;
      sh6idunite(object1, object2, data, &first, &q, 0.0, 1e-7, &st);
      if (st < 0) return fail(st);
    }
    isect_point* last = points[count - 1];
    st = 0;
    sh6connect(first, last, &st);
    if (st < 0) return fail(st);
    for (int j = 0; j < 2; ++j) {
      edge_table* t = same_table(tables[j]);
      if (!t) return fail(kErrMemory);
      destroy_edge_table(tables[j]);
      tables[j] = t;
    }
    st = 0;
    sh6idalledg(object1, object2, *data, tables, &st);
    if (st < 0) return fail(st);
    *status = 1;
    free(points);
    return;
  }
  // Any other pair: one point for all.
  isect_point* first = points[0];
  for (int i = 1; i < count; ++i) {
    isect_point* q = points[i];
    st = 0;
    sh6idunite(object1, object2, data, &first, &q, 0.5, 1e-7, &st);
    if (st < 0) return fail(st);
  }
  for (int j = 0; j < 2; ++j) {
    if (!tables[j]) continue;
    edge_table* t = same_table(tables[j]);
    if (!t) return fail(kErrMemory);
    destroy_edge_table(tables[j]);
    tables[j] = t;
  }
  free(points);
}

void point_near_curve_end(geom_object* object1, geom_object* object2, double epsge,
                          isect_data** data, edge_table* tables[2], int* status) {
  geom_object* pobj = object1->kind == kPointObject ? object1 : object2->kind == kPointObject ? object2 : nullptr;
  if (!pobj) {
    *status = -122;
    return;
  }
  geom_object* cobj = pobj == object1 ? object2 : object1;
  edge_table* ctable = pobj == object1 ? tables[1] : tables[0];
  if (cobj->kind != kCurveObject) {
    *status = 0;
    return;
  }
  const spline_curve* c = cobj->curve;
  const int m = c->vertex_count;
  const int dim = pobj->point->dim;
  if (m == 2) {
    *status = 0;
    return;
  }
  const double* P = pobj->point->coords;
  const double* V = c->coefs;
  auto dist = [&](const double* a, const double* b) {
    double d = 0;
    for (int i = 0; i < dim; ++i) d += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(d);
  };
  const double d0 = dist(P, V);
  const double d1 = dist(P, V + (m - 1) * dim);
  const double l0 = dist(V + dim, V);
  const double l1 = dist(V + (m - 1) * dim, V + (m - 2) * dim);
  if (1.5 * l0 < d0 && 1.5 * l1 < d1) {
    *status = 0;
    return;
  }
  const bool at_start = d0 < d1 && 1.5 * l0 >= d0;
  const double* E = at_start ? V : V + (m - 1) * dim;
  const double* N = at_start ? V + dim : V + (m - 2) * dim;
  double dot = 0;
  for (int i = 0; i < dim; ++i) dot += (P[i] - E[i]) * (N[i] - E[i]);
  if (dot < 0) {
    *status = 0;
    return;
  }
  if (ctable && ctable->heads[at_start ? 0 : 1]) {
    *status = 0;
    return;
  }
  const double s = c->knots[c->order - 1];
  const double e = c->knots[c->vertex_count];
  const spline_curve* oc = cobj->origin && cobj->origin->curve ? cobj->origin->curve : c;
  double u = at_start ? s : e;
  int st = 0;
  s1771(pobj->point, oc, epsge, s, e, at_start ? s : e, &u, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  if (st != 1) {
    *status = 0;
    return;
  }
  const double L = e - s;
  if (rel_equal(u + L, s + L) || rel_equal(u + L, e + L)) {
    *status = 0;
    return;
  }
  if (!insert_new_point(data, 1, &u, &st)) {
    *status = st;
    return;
  }
  *status = 1;
}

void sh1762(geom_object* object1, geom_object* object2, double epsge, isect_data** data,
            edge_table* tables[2], int* status) {
  ++isect_recursion_level;
  if (isect_recursion_level > isect_recursion_max) isect_recursion_max = isect_recursion_level;
  // A call costs more the more points the data holds (collections on dividing lines and
  // insertions scan them), so it is charged by that size as well: pairs of surfaces that
  // run along each other fill the data with points as they are cut, and their cost
  // grows with the square of the calls.
  work_done += 1 + (*data ? (*data)->point_count / 16 : 0);
  geom_object* pieces[2][4] = {{nullptr, nullptr, nullptr, nullptr},
                               {nullptr, nullptr, nullptr, nullptr}};
  int count[2] = {0, 0};
  int help = 1;
  int st = 0;
  *status = 0;
  auto release = [&]() {
    for (auto& row : pieces)
      for (geom_object*& p : row) {
        destroy_geom_object(p);
        p = nullptr;
      }
    --isect_recursion_level;
  };
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1762", s, 0);
    release();
  };

  sh1790(object1, object2, 2, epsge, &st);
  if (st < 0) return fail(st);
  const int box = st;
  if (box == kBoxTouchesPointBand) {
    st = 0;
    point_near_curve_end(object1, object2, epsge, data, tables, &st);
    if (st < 0) return fail(st);
    if (st == 1) *status = 1;
  } else if (box == kBoxesWithinTolerance) {
    st = 0;
    sh1762_s9mic(object1, object2, data, tables, &st);
    if (st < 0) return fail(st);
    *status = st;
  } else if (box == kBoxesOverlap) {
    int k = 0;
    bool simple = false;
    s1741(object1, object2, epsge, &k);
    if (k < 0) return fail(k);
    if (k == 0 && object1->kind == kSurfaceObject && object2->kind == kSurfaceObject &&
        (tables[0] ? tables[0]->point_count : 0) + (tables[1] ? tables[1]->point_count : 0) > 0) {
      sh1762_s9simple(object1, object2, tables, &k);
      if (k < 0) return fail(k);
    }
    if (k == 1) {
      simple = true;
      k = 0;
      sh1762_s9update(object1, object2, epsge, data, tables, &k);
      if (k < 0) return fail(k);
      if (k == 1) *status = 1;
      if (k == 2 && object1->kind == kSurfaceObject && object2->kind == kSurfaceObject &&
          object1->surface->dim == 3) {
        // Settled with a lone edge point through which the curve passes: its second
        // crossing of the boundary was missed and is marched to.
        st = 0;
        sh1762_s9edgsslone(tables, object1->surface, object2->surface, data, epsge, &st);
        if (st < 0) return fail(st);
        if (st == 1) *status = 1;
      }
    }
    if (k == 0) {
      // A one-dimensional surface (handed first) or the connection of the edge points.
      if (object1->kind == kSurfaceObject && object1->surface->dim == 1)
        sh_1d_div(object1, object2, epsge, data, tables, &k);
      else if (object2->kind == kSurfaceObject && object2->surface->dim == 1)
        sh_1d_div(object2, object1, epsge, data, tables, &k);
      else
        sh1762_s9con(object1, object2, epsge, data, tables, &k);
      if (k < 0) return fail(k);
      if (k == 1) *status = 1;
    }
    if (k == 0) {
      int d[2] = {0, 0};
      st = 0;
      sh1762_s9num(object1, object2, &d[0], &st);
      if (st < 0) return fail(st);
      sh1762_s9num(object2, object1, &d[1], &st);
      if (st < 0) return fail(st);
      if (d[0] + d[1] == 0) {
        // Neither object can be cut: the pair is given up, unless it settles once twin
        // edge points are one.
        *status = 0;
        const int edge_points =
            (tables[0] ? tables[0]->point_count : 0) + (tables[1] ? tables[1]->point_count : 0);
        if (simple && edge_points >= 2 && object1->kind == kSurfaceObject &&
            object2->kind == kSurfaceObject && object1->surface->dim == 3) {
          st = 0;
          unite_twin_edge_points(object1, object2, epsge, data, tables, &st);
          if (st < 0) return fail(st);
          if (st == 1) {
            sh1762_s9update(object1, object2, epsge, data, tables, &k);
            if (k < 0) return fail(k);
            if (k == 1) *status = 1;
          }
        }
        if (k == 0) {
          if (object1->kind == kSurfaceObject && object2->kind == kSurfaceObject &&
              edge_points == 0) {
            touching_point_of_narrow_pair(object1->surface, object2->surface, epsge, data, &st);
            if (st < 0) return fail(st);
            if (st == 1) *status = 1;
          }
          return release();
        }
      } else {
        if (work_done > isect_work_budget) {
          // Pathological input (tangent or coincident stretches at a tiny tolerance):
          // give the pair up instead of cutting on.
          budget_hit = true;
          *status = 0;
          return release();
        }
        geom_object* objects[2] = {object1, object2};
        for (int j = 0; j < 2; ++j) {
          if (d[j] == 0) continue;
          count[j] = d[j] == 3 ? 4 : 2;
          for (int i = 0; i < count[j]; ++i) {
            pieces[j][i] = create_geom_object(objects[j]->kind);
            if (!pieces[j][i]) return fail(kErrMemory);
            pieces[j][i]->origin = objects[j]->origin;
          }
          st = 0;
          sh1762_s9div(object1, object2, epsge, j + 1, d[j], pieces[j], tables, data, &st);
          if (st < 0) return fail(st);
          if (st == 1) *status = 1;
        }
        help = 0;
        const int n1 = count[0] ? count[0] : 1;
        const int n2 = count[1] ? count[1] : 1;
        for (int a = 0; a < n1; ++a) {
          for (int b = 0; b < n2; ++b) {
            geom_object* q1 = count[0] ? pieces[0][a] : object1;
            geom_object* q2 = count[1] ? pieces[1][b] : object2;
            edge_table* sub[2] = {same_table(tables[0]), same_table(tables[1])};
            if ((tables[0] && !sub[0]) || (tables[1] && !sub[1])) {
              destroy_edge_table(sub[0]);
              destroy_edge_table(sub[1]);
              return fail(kErrMemory);
            }
            st = 0;
            sh6idalledg(q1, q2, *data, sub, &st);
            if (st >= 0) {
              st = 0;
              sh1762(q1, q2, epsge, data, sub, &st);
            }
            destroy_edge_table(sub[0]);
            destroy_edge_table(sub[1]);
            if (st < 0) return fail(st);
            if (st > 0) *status = 1;
          }
        }
      }
    }
  }

  // Closing step.
  st = 0;
  sh6red(object1, object2, data, &st);
  if (help) {
    int added = 0;
    st = 0;
    mark_point_sides(object1, object2, epsge, data, tables, &added, &st);
    if (added > 0) *status = 1;
  }
  release();
}

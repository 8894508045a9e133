#include "spline/detail/isect/isect_reduce.h"

#include <cmath>
#include <cstdlib>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_services.h"
#include "spline/status.h"

namespace {

constexpr int kInconsistent = -500;
constexpr int kConstantBits = 30;
// The double next above 1e-11.
constexpr double kUniteTolerance = 1.0000000000000001e-11;

int cls_of(const geom_object* o1, const geom_object* o2, const isect_point* pt) {
  int cls = 0;
  edge_class(o1, o2, pt, &cls);
  return cls;
}

int mains_of(const isect_point* pt) {
  int st = 0;
  return sh6nmbmain(pt, &st);
}

// The only main neighbour of a point with exactly one.
isect_point* only_main(const isect_point* pt) {
  for (int s = 0; s < pt->neighbour_count; ++s)
    if (is_main_point(pt->neighbours[s])) return pt->neighbours[s];
  return nullptr;
}

// Knot vector (order, count) of the object that owns problem parameter idx.
bool knots_of_param(const geom_object* o1, const geom_object* o2, int idx,
                    const double** knots, int* order, int* count) {
  const geom_object* obj = o1;
  int local = idx;
  if (local >= o1->kind) {
    local -= o1->kind;
    obj = o2;
  }
  if (obj->kind == kCurveObject && local == 0) {
    *knots = obj->curve->knots;
    *order = obj->curve->order;
    *count = obj->curve->vertex_count;
    return true;
  }
  if (obj->kind == kSurfaceObject && (local == 0 || local == 1)) {
    const spline_surface* s = obj->surface;
    *knots = local == 0 ? s->knots1 : s->knots2;
    *order = local == 0 ? s->order1 : s->order2;
    *count = local == 0 ? s->vertex_count1 : s->vertex_count2;
    return true;
  }
  return false;
}

bool on_some_edge(edge_table* tables[2], const isect_point* pt) {
  for (int t = 0; t < 2; ++t) {
    if (!tables[t]) continue;
    for (int e = 0; e < tables[t]->edge_count; ++e)
      for (edge_node* n = tables[t]->heads[e]; n; n = n->next)
        if (n->point == pt) return true;
  }
  return false;
}

struct Reporter {
  const char* name;
  int* status;
  void operator()(int st) const {
    *status = st;
    error_report(name, st, 0);
  }
};

}  // namespace

void sh6idalledg(geom_object* object1, geom_object* object2, isect_data* data,
                 edge_table* tables[2], int* status) {
  *status = 0;
  Reporter fail{"sh6idalledg", status};
  double start[4], end[4];
  if (problem_param_box(object1, object2, start, end) < 0) {
    fail(kErrDimensionMismatch);
    return;
  }
  // 1. The edge lists.
  int first_param = 0;
  for (int j = 0; j < 2; ++j) {
    geom_object* obj = j == 0 ? object1 : object2;
    edge_table* table = tables[j];
    const int base = first_param;
    first_param += obj->kind;
    if (!table) continue;
    table->point_count = 0;
    int edges = obj->kind == kCurveObject ? 2 : obj->kind == kSurfaceObject ? 4 : 0;
    if (edges > table->edge_count) edges = table->edge_count;
    for (int e = 0; e < edges; ++e) {
      int direction = 1;
      double value = 0;
      if (obj->kind == kCurveObject) {
        value = e == 0 ? start[base] : end[base];
      } else {
        // 0: second parameter at its start, 1: first at its end, 2: second at its end,
        // 3: first at its start.
        direction = (e % 2 == 0) ? 2 : 1;
        const int idx = base + direction - 1;
        value = (e == 0 || e == 3) ? start[idx] : end[idx];
      }
      int st = 0;
      isect_services().s6idedg(object1, object2, j + 1, direction, value, data,
                               &table->heads[e], &table->point_count, &st);
      if (st < 0) {
        fail(st);
        return;
      }
    }
  }
  // 2. Help points that stand for their main point are dropped, the others promoted.
  const int nparams = object1->kind + object2->kind;
  for (int j = 0; j < 2; ++j) {
    edge_table* table = tables[j];
    if (!table) continue;
    for (int e = 0; e < table->edge_count; ++e) {
      edge_node** link = &table->heads[e];
      while (*link) {
        edge_node* node = *link;
        isect_point* m = sh6getmain(node->point);
        bool knot_between = false;
        if (m) {
          for (int i = 0; i < nparams && !knot_between; ++i) {
            const double* knots = nullptr;
            int order = 0, count = 0;
            if (!knots_of_param(object1, object2, i, &knots, &order, &count)) continue;
            int left = order - 1, st = 0;
            isect_services().s6fndintvl(knots, order, count, &left, m->params[i],
                                        node->point->params[i], 0, &st);
            if (st < 0) {
              fail(st);
              return;
            }
            knot_between = st == 1;
          }
        }
        if (m && !knot_between && on_some_edge(tables, m)) {
          *link = node->next;
          destroy_edge_node(node);
          --table->point_count;
          continue;
        }
        int st = 0;
        sh6tomain(node->point, &st);
        if (st < 0) {
          fail(st);
          return;
        }
        link = &node->next;
      }
    }
  }
}

namespace {

// Step 1 of the kind-3 cleaning; returns 1 when something changed, negative on error.
int clean_inner_kind3(geom_object* o1, geom_object* o2, isect_data** data) {
  int changed = 0;
  for (bool again = true; again && *data;) {
    again = false;
    isect_data* d = *data;
    for (int i = 0; i < d->point_count; ++i) {
      isect_point* pt = d->points[i];
      if (pt->kind != kEdgePoint || cls_of(o1, o2, pt) != 1) continue;
      const int mains = mains_of(pt);
      int st = 0;
      if (mains == 1) {
        sh6tohelp(pt, &st);
        if (st < 0) return st;
        again = true;
        changed = 1;
        break;
      }
      if (mains == 2) {
        isect_point *a = nullptr, *b = nullptr;
        int code = 3;
        main_neighbours(pt, &a, &b, &code);
        if (code != 0 || a->kind != kEdgePoint || b->kind != kEdgePoint) continue;
        sh6idunite_lin(data, &a, &pt, 0.0, &st);
        if (st < 0) return st;
        again = true;
        changed = 1;
        break;
      }
    }
  }
  return changed;
}

bool has_common_edge_kind3(geom_object* o1, geom_object* o2, isect_point* p,
                           isect_point** only, int* count, int* err) {
  *count = 0;
  *only = nullptr;
  for (int s = 0; s < p->neighbour_count; ++s) {
    isect_point* nb = p->neighbours[s];
    if (nb->kind != kEdgePoint) continue;
    int res = 0;
    sh6comedg(o1, o2, p, nb, &res);
    if (res < 0) {
      *err = res;
      return false;
    }
    if (res != 0) {
      ++*count;
      *only = nb;
    }
  }
  return *count > 0;
}

// Step 2: ends of kind-3 runs along a common edge become singular.  Returns 1 when a
// point changed, 0 when none, negative on error.
int mark_edge_run_ends(geom_object* o1, geom_object* o2, isect_data* d) {
  for (int i = 0; d && i < d->point_count; ++i) {
    isect_point* p = d->points[i];
    if (p->kind != kEdgePoint || cls_of(o1, o2, p) != 2) continue;
    isect_point* q = nullptr;
    int count = 0, err = 0;
    has_common_edge_kind3(o1, o2, p, &q, &count, &err);
    if (err < 0) return err;
    if (count != 1) continue;
    p->kind = kSingularPoint;
    isect_point* further = nullptr;
    int qcount = 0;
    has_common_edge_kind3(o1, o2, q, &further, &qcount, &err);
    if (err < 0) return err;
    if (qcount == 0) q->kind = kSingularPoint;
    return 1;
  }
  return 0;
}

}  // namespace

void sh6edgred(geom_object* object1, geom_object* object2, isect_data** data, int* status) {
  *status = 0;
  if (!data || !*data) return;
  Reporter fail{"sh6edgred", status};
  // Steps 1 and 2 until step 2 changes nothing.
  for (;;) {
    const int st1 = clean_inner_kind3(object1, object2, data);
    if (st1 < 0) {
      fail(st1);
      return;
    }
    if (!*data) return;
    const int st2 = mark_edge_run_ends(object1, object2, *data);
    if (st2 < 0) {
      fail(st2);
      return;
    }
    if (st2 == 0) break;
  }
  // Step 3.
  int st = 0;
  sh6red(object1, object2, data, &st);
  if (st < 0) {
    fail(st);
    return;
  }
  if (!*data) return;
  // Step 4: main end points that only stand for an overlap become help points.
  const bool two_curves = object1->kind == kCurveObject && object2->kind == kCurveObject;
  for (bool again = true; again;) {
    again = false;
    isect_data* d = *data;
    for (int i = 0; i < d->point_count; ++i) {
      isect_point* p = d->points[i];
      if (!is_main_point(p) || mains_of(p) != 1) continue;
      isect_point* a = only_main(p);
      bool demote = false;
      if (two_curves) {
        double v;
        const spline_curve* c;
        if (p->params[0] == a->params[0]) {
          v = p->params[1];
          c = object2->curve;
        } else if (p->params[1] == a->params[1]) {
          v = p->params[0];
          c = object1->curve;
        } else {
          continue;
        }
        demote = v > c->knots[c->order - 1] && v < c->knots[c->vertex_count];
      } else {
        const int cls = cls_of(object1, object2, p);
        if (cls != 2 && cls != 5) continue;
        int res = 0;
        sh6comedg(object1, object2, p, a, &res);
        if (res < 0) {
          fail(res);
          return;
        }
        demote = (cls == 2 && res > 0) || (cls == 5 && res == 3);
      }
      if (demote) {
        sh6tohelp(p, &st);
        again = true;
      }
    }
  }
  *status = 0;
}

void sh6red(geom_object* object1, geom_object* object2, isect_data** data, int* status) {
  *status = 0;
  Reporter fail{"sh6red", status};
  const int d1 = object_dim(object1), d2 = object_dim(object2);
  const bool level_pair = (object1->kind == kSurfaceObject && d1 == 1 && object2->kind == kPointObject) ||
                          (object2->kind == kSurfaceObject && d2 == 1 && object1->kind == kPointObject) ||
                          (object1->kind == kSurfaceObject && object2->kind == kSurfaceObject && d1 == 3);
  int st = 0;
  // 1. Inner points of constant-parameter runs.
  if (level_pair) {
    for (bool again = true; again && *data;) {
      again = false;
      isect_data* d = *data;
      for (int i = 0; i < d->point_count; ++i) {
        isect_point* pt = d->points[i];
        const int cls = cls_of(object1, object2, pt);
        if (cls != 1 && cls != 2) continue;
        isect_point *a = nullptr, *b = nullptr;
        int code = 3;
        main_neighbours(pt, &a, &b, &code);
        if (code != 0) continue;
        const int sa = neighbour_index(pt, a), sb = neighbour_index(pt, b);
        if (neighbour_index(a, pt) < 0 || neighbour_index(b, pt) < 0 || sa < 0 || sb < 0) {
          fail(kInconsistent);
          return;
        }
        if (pt->segment_masks[sa] & pt->segment_masks[sb] & kConstantBits) {
          remove_point(data, &pt, 1, &st);
          if (st < 0) {
            fail(st);
            return;
          }
          again = true;
          break;
        }
      }
    }
  }
  // 2.
  if (!*data) return;
  const double weight = (object1->kind == kSurfaceObject && object2->kind == kSurfaceObject) ? 1.0 : 0.5;

  // 3. Clusters of interior kind-3 points become one singular point.
  for (bool again = true; again && *data;) {
    again = false;
    isect_data* d = *data;
    for (int i = 0; i < d->point_count && !again; ++i) {
      isect_point* pt = d->points[i];
      if (pt->kind != kEdgePoint) continue;
      isect_point** group = nullptr;
      int count = 0, capacity = 0;
      collect_edge_group(pt, &group, &count, &capacity);
      bool inner = count > 0;
      for (int k = 0; k < count && inner; ++k) inner = cls_of(object1, object2, group[k]) == 1;
      if (inner) {
        isect_point* first = group[0];
        for (int k = 1; k < count; ++k) {
          isect_point* other = group[k];
          sh6idunite(object1, object2, data, &first, &other, weight, kUniteTolerance, &st);
          if (st < 0) {
            free(group);
            fail(st);
            return;
          }
        }
        first->kind = kSingularPoint;
        again = true;
      }
      free(group);
    }
  }
  if (!*data) return;

  // 4. Dangling interior main points.
  for (bool again = true; again;) {
    again = false;
    isect_data* d = *data;
    for (int i = 0; i < d->point_count; ++i) {
      isect_point* pt = d->points[i];
      if (!is_main_point(pt) || cls_of(object1, object2, pt) != 1 || mains_of(pt) != 1)
        continue;
      sh6tohelp(pt, &st);
      again = true;
    }
  }

  // 5. Odd spurs at kind-3 boundary points with three kind-3 neighbours.
  for (bool again = true; again && *data;) {
    again = false;
    isect_data* d = *data;
    for (int i = 0; i < d->point_count && !again; ++i) {
      isect_point* p = d->points[i];
      if (p->kind != kEdgePoint || cls_of(object1, object2, p) == 0 || mains_of(p) != 3) continue;
      isect_point* nb[3];
      int bits[3];
      int n = 0;
      for (int s = 0; s < p->neighbour_count && n <= 3; ++s) {
        isect_point* q = p->neighbours[s];
        if (q->kind != kEdgePoint || cls_of(object1, object2, q) == 0) continue;
        if (n < 3) {
          nb[n] = q;
          bits[n] = p->segment_masks[s] & kConstantBits;
        }
        ++n;
      }
      if (n != 3) continue;
      int odd = -1;
      if (bits[0] & bits[1]) odd = 2;
      else if (bits[0] & bits[2]) odd = 1;
      else if (bits[1] & bits[2]) odd = 0;
      if (odd < 0) continue;
      isect_point* spur = nb[odd];
      sh6disconnect(p, spur, &st);
      if (st < 0) {
        fail(st);
        return;
      }
      remove_point(data, &spur, 0, &st);
      if (st < 0) {
        fail(st);
        return;
      }
      again = true;
    }
  }
  *status = 0;
}

// The recursive intersection driver: k-regular copies of closed periodic objects, the
// point/point case, the box test, the edges of both objects intersected with the
// partner, then the interior through the subdivision step, and finally the reduction
// of edge points and the list building.
#include <cmath>
#include <cstdlib>

#include "spline/edit.h"
#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_lists.h"
#include "spline/detail/isect/isect_reduce.h"
#include "spline/detail/isect/isect_subproblem.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/isocurve.h"
#include "spline/status.h"

namespace {

// A k-regular stand-in for a closed periodic curve; null when none is needed.
geom_object* kreg_copy(geom_object* object, int* status) {
  if (object->kind != kCurveObject || !object->curve || object->curve->open_flag != -1) return nullptr;
  spline_curve* copy = nullptr;
  int st = 0;
  make_cv_kreg(object->curve, &copy, &st);
  if (st < 0) {
    *status = st;
    return nullptr;
  }
  geom_object* wrapper = create_geom_object(kCurveObject);
  if (!wrapper || !copy) {
    destroy_curve(copy);
    free(wrapper);
    *status = kErrMemory;
    return nullptr;
  }
  wrapper->curve = copy;
  return wrapper;
}

edge_table* table_for(const geom_object* object) {
  if (object->kind == kCurveObject) return create_edge_table(2);
  if (object->kind == kSurfaceObject) return create_edge_table(4);
  return nullptr;
}

// Edge object i of a curve or surface, made on first use; *value gets its constant
// parameter.
geom_object* edge_object(geom_object* object, int i, double* value, int* status) {
  if (object->kind == kCurveObject) {
    const spline_curve* c = object->curve;
    if (object->edges[i]) {
      *value = i == 0 ? c->knots[c->order - 1] : c->knots[c->vertex_count];
      return object->edges[i];
    }
    spline_point* p = nullptr;
    int st = 0;
    s1438(c, i, &p, value, &st);
    if (st < 0) {
      *status = st;
      return nullptr;
    }
    geom_object* e = create_geom_object(kPointObject);
    if (!e) {
      destroy_point(p);
      *status = kErrMemory;
      return nullptr;
    }
    e->point = p;
    object->edges[i] = e;
    return e;
  }
  const spline_surface* s = object->surface;
  if (object->edges[i]) {
    switch (i) {
      case 0: *value = s->knots2[s->order2 - 1]; break;
      case 1: *value = s->knots1[s->vertex_count1]; break;
      case 2: *value = s->knots2[s->vertex_count2]; break;
      default: *value = s->knots1[s->order1 - 1]; break;
    }
    return object->edges[i];
  }
  spline_curve* c = nullptr;
  int st = 0;
  s1435(s, i, &c, value, &st);
  if (st < 0) {
    *status = st;
    return nullptr;
  }
  geom_object* e = create_geom_object(kCurveObject);
  if (!e) {
    destroy_curve(c);
    *status = kErrMemory;
    return nullptr;
  }
  e->curve = c;
  object->edges[i] = e;
  return e;
}

// Nesting depth of the driver: the outermost call starts a fresh work budget.
int driver_depth = 0;

struct DriverDepth {
  DriverDepth() {
    if (driver_depth++ == 0) isect_budget_reset();
  }
  ~DriverDepth() { --driver_depth; }
};

}  // namespace

void sh1761(geom_object* object1, geom_object* object2, double epsge, isect_data** data,
            int* status) {
  DriverDepth depth;
  int st = 0;
  geom_object* copy1 = nullptr;
  geom_object* copy2 = nullptr;
  edge_table* tables[2] = {nullptr, nullptr};
  isect_data* sub = nullptr;
  auto fail = [&](int s) {
    *status = s;
    error_report("sh1761", s, 0);
  };
  auto cleanup = [&]() {
    destroy_edge_table(tables[0]);
    destroy_edge_table(tables[1]);
    destroy_isect_data(sub);
    destroy_geom_object(copy1);
    destroy_geom_object(copy2);
  };

  // 1. K-regular copies.
  copy1 = kreg_copy(object1, &st);
  if (st < 0) return fail(st), cleanup();
  copy2 = kreg_copy(object2, &st);
  if (st < 0) return fail(st), cleanup();
  geom_object* o1 = copy1 ? copy1 : object1;
  geom_object* o2 = copy2 ? copy2 : object2;

  // 2. Two points.
  if (o1->kind == kPointObject && o2->kind == kPointObject) {
    const spline_point* a = o1->point;
    const spline_point* b = o2->point;
    if (a->dim != b->dim) return fail(kErrDimensionMismatch), cleanup();
    double d = 0;
    for (int i = 0; i < a->dim; ++i) {
      const double e = a->coords[i] - b->coords[i];
      d += e * e;
    }
    if (std::sqrt(d) > epsge) {
      *status = 0;
      return cleanup();
    }
    isect_point* p =
        create_isect_point_geom(0, nullptr, 0.0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
    if (!p) return fail(kErrMemory), cleanup();
    sh6idnpt(data, &p, 1, &st);
    if (st < 0) {
      destroy_isect_point(p);
      return fail(st), cleanup();
    }
    *status = 1;
    return cleanup();
  }

  // 3. Box test.
  st = 0;
  sh1790(o1, o2, 1, epsge, &st);
  if (st < 0) return fail(st), cleanup();
  if (st == kBoxesApart) {
    *status = 0;
    return cleanup();
  }

  // 4. Edges.
  int found = 0;
  int offset = 0;
  for (int which = 0; which < 2; ++which) {
    geom_object* current = which == 0 ? o1 : o2;
    const int kind = current->kind;
    if (kind == 0) continue;
    if (kind != 1 && kind != 2) return fail(kErrKind), cleanup();
    const int edges = kind == 1 ? 2 : 4;
    for (int i = 0; i < edges; ++i) {
      double value = 0;
      st = 0;
      geom_object* edge = edge_object(current, i, &value, &st);
      if (st < 0 || !edge) return fail(st < 0 ? st : kErrMemory), cleanup();
      const int index = kind == 1 ? offset : offset + ((i % 2 == 0) ? 1 : 0);
      sub = nullptr;
      st = 0;
      if (which == 0)
        sh1761(edge, o2, epsge, &sub, &st);
      else
        sh1761(o1, edge, epsge, &sub, &st);
      if (st < 0) return fail(st), cleanup();
      if (st == 1) {
        found = 1;
        put_edge_points(o1, o2, epsge, sub, index, value, data, &st);
        if (st < 0) return fail(st), cleanup();
      }
      destroy_isect_data(sub);
      sub = nullptr;
    }
    offset += kind;
  }

  // 5. Origins.
  if (!o1->origin) o1->origin = o1;
  if (!o2->origin) o2->origin = o2;

  // 6. Edge tables.
  tables[0] = table_for(o1);
  tables[1] = table_for(o2);
  if ((o1->kind > 0 && !tables[0]) || (o2->kind > 0 && !tables[1]))
    return fail(kErrMemory), cleanup();
  st = 0;
  sh6idalledg(o1, o2, *data, tables, &st);
  if (st < 0) return fail(st), cleanup();

  // 7. Interior.
  st = 0;
  sh1762(o1, o2, epsge, data, tables, &st);
  if (st < 0) return fail(st), cleanup();
  // Points found on the edges count as found too: a pair whose only intersection is
  // at an edge point would otherwise report nothing and its point be dropped by a
  // caller that looks at the status.
  *status = (st > 0 || found) ? 1 : 0;

  // 8. Closing.
  destroy_edge_table(tables[0]);
  destroy_edge_table(tables[1]);
  tables[0] = tables[1] = nullptr;
  st = 0;
  sh6edgred(o1, o2, data, &st);
  st = 0;
  sh6idlis(o1, o2, data, &st);
  if (st < 0) return fail(st), cleanup();
  cleanup();
}

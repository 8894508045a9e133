#include "spline/detail/isect/chain_lists.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/detail/isect/chain_examine.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

// Parameter range of every parameter of an object (none for a point).
void object_ranges(const geom_object* object, std::vector<double>& lo, std::vector<double>& hi) {
  if (!object) return;
  if (object->kind == kCurveObject && object->curve) {
    const spline_curve* c = object->curve;
    lo.push_back(c->knots[c->order - 1]);
    hi.push_back(c->knots[c->vertex_count]);
  } else if (object->kind == kSurfaceObject && object->surface) {
    const spline_surface* s = object->surface;
    lo.push_back(s->knots1[s->order1 - 1]);
    hi.push_back(s->knots1[s->vertex_count1]);
    lo.push_back(s->knots2[s->order2 - 1]);
    hi.push_back(s->knots2[s->vertex_count2]);
  }
}

int object_param_count(const geom_object* object) {
  if (!object) return 0;
  if (object->kind == kCurveObject && object->curve) return 1;
  if (object->kind == kSurfaceObject && object->surface) return 2;
  return 0;
}

isect_point* predecessor_of(const isect_data* data, const isect_point* point) {
  if (!data || !point) return nullptr;
  for (int i = 0; i < data->point_count; ++i)
    if (data->points[i]->link == point) return data->points[i];
  return nullptr;
}

bool params_exactly_equal(const isect_point* a, const isect_point* b) {
  if (a->param_count != b->param_count) return false;
  for (int i = 0; i < a->param_count; ++i)
    if (a->params[i] != b->params[i]) return false;
  return true;
}

// Appends without comparison.
int append_point(isect_data* data, isect_point* point) {
  if (data->point_count >= data->point_capacity) {
    const int cap = data->point_capacity + 20;
    auto* grown = static_cast<isect_point**>(
        std::realloc(data->points, sizeof(isect_point*) * static_cast<size_t>(cap)));
    if (!grown) return kErrMemory;
    data->points = grown;
    data->point_capacity = cap;
  }
  data->points[data->point_count++] = point;
  return 0;
}

int append_list(isect_data* data, isect_list* list) {
  if (data->list_count >= data->list_capacity) {
    const int cap = data->list_capacity + 20;
    auto* grown = static_cast<isect_list**>(
        std::realloc(data->lists, sizeof(isect_list*) * static_cast<size_t>(cap)));
    if (!grown) return kErrMemory;
    data->lists = grown;
    data->list_capacity = cap;
  }
  data->lists[data->list_count++] = list;
  return 0;
}

bool in_range(double x, double lo, double hi) {
  return (x >= lo && x <= hi) || dequal(x, lo) || dequal(x, hi);
}

}  // namespace

int s6idnpt(isect_data** data, isect_point** point, int compare, int* status) {
  *status = 0;
  if (!*data) {
    *data = create_isect_data();
    if (!*data) {
      *status = kErrMemory;
      error_report("s6idnpt", *status, 0);
      return 0;
    }
  }
  isect_data* d = *data;
  isect_point* p = *point;
  for (int i = 0; i < d->point_count; ++i)
    if (d->points[i] == p) return 1;
  if (compare && p->kind != kSingularPoint) {
    for (int i = 0; i < d->point_count; ++i) {
      isect_point* q = d->points[i];
      if (q->param_count != p->param_count) continue;
      bool same = true;
      for (int j = 0; j < p->param_count && same; ++j) same = dequal(q->params[j], p->params[j]);
      if (same) {
        destroy_isect_point(p);
        *point = q;
        return 2;
      }
    }
  }
  if (append_point(d, p) < 0) {
    *status = kErrMemory;
    error_report("s6idnpt", *status, 0);
  }
  return 0;
}

void reverse_chain(isect_point* point) {
  isect_point* prev = nullptr;
  isect_point* cur = point;
  while (cur) {
    isect_point* next = cur->link;
    cur->link = prev;
    prev = cur;
    cur = next;
  }
}

void reverse_whole_chain(isect_data* data, isect_point* point) {
  isect_point* start = point;
  // A chain holds at most every point of the data; the bound keeps a loop from
  // running on.
  const int limit = data ? data->point_count : 0;
  for (int steps = 0; steps < limit; ++steps) {
    isect_point* pred = predecessor_of(data, start);
    if (!pred || pred == point) break;
    start = pred;
  }
  reverse_chain(start);
}

int s6idcon(isect_data** data, isect_point** point1, isect_point** point2, int* status) {
  *status = 0;
  int st = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s6idcon", code, 0);
    return 0;
  };
  s6idnpt(data, point1, 1, &st);
  if (st < 0) return fail(st);
  s6idnpt(data, point2, 1, &st);
  if (st < 0) return fail(st);
  isect_data* d = *data;
  isect_point* p1 = *point1;
  isect_point* p2 = *point2;

  if (p1->kind == kSingularPoint || p2->kind == kSingularPoint) {
    if (p1->kind == kSingularPoint && p2->kind == kSingularPoint && params_exactly_equal(p1, p2)) return 3;
    for (int side = 0; side < 2; ++side) {
      const isect_point* a = side == 0 ? p1 : p2;
      const isect_point* b = side == 0 ? p2 : p1;
      if (a->kind != kSingularPoint) continue;
      for (int i = 0; i < d->point_count; ++i) {
        const isect_point* q = d->points[i];
        if (!params_exactly_equal(q, a)) continue;
        if (b->link == q || q->link == b) return 1;
      }
    }
  }
  if (p1 == p2) return 2;
  if (p1->link == p2 || p2->link == p1) return 1;

  isect_point* tail = p1;
  isect_point* head = p2;
  if (p1->link && !p2->link) {
    tail = p2;
    head = p1;
  }
  if (tail->link) {
    if (predecessor_of(d, tail)) {
      tail->kind = kSingularPoint;
      isect_point* copy = copy_isect_point(tail);
      if (!copy) return fail(kErrMemory);
      s6idnpt(data, &copy, 0, &st);
      if (st < 0) {
        destroy_isect_point(copy);
        return fail(st);
      }
      tail = copy;
    } else {
      reverse_chain(tail);
    }
  }
  if (predecessor_of(d, head)) {
    if (head->link) {
      head->kind = kSingularPoint;
      isect_point* copy = copy_isect_point(head);
      if (!copy) return fail(kErrMemory);
      s6idnpt(data, &copy, 0, &st);
      if (st < 0) {
        destroy_isect_point(copy);
        return fail(st);
      }
      head = copy;
    } else {
      reverse_whole_chain(d, head);
    }
  }
  tail->link = head;
  return 0;
}

void s6idput(isect_data** parent, isect_data* sub, int position, double value, int* status) {
  *status = 0;
  if (!sub || sub->point_count == 0) return;
  auto fail = [&](int code) {
    *status = code;
    error_report("s6idput", code, 0);
  };
  const int a = sub->points[0]->param_count;
  if (position < 0 || position > a) return fail(-191);
  const int n = sub->point_count;
  std::vector<isect_point*> lifted(static_cast<size_t>(n), nullptr);
  std::vector<double> par(static_cast<size_t>(a) + 1);
  int st = 0;
  for (int i = 0; i < n; ++i) {
    const isect_point* q = sub->points[i];
    for (int j = 0, m = 0; j <= a; ++j)
      par[static_cast<size_t>(j)] = j == position ? value : q->params[m++];
    isect_point* p = create_isect_point(a + 1, par.data(), q->value);
    if (!p) return fail(kErrMemory);
    p->kind = q->kind;
    s6idnpt(parent, &p, 1, &st);
    if (st < 0) {
      destroy_isect_point(p);
      return fail(st);
    }
    lifted[static_cast<size_t>(i)] = p;
  }
  for (int i = 0; i < n; ++i) {
    const isect_point* q = sub->points[i];
    if (!q->link) continue;
    int j = 0;
    while (j < n && sub->points[j] != q->link) ++j;
    if (j == n) return fail(-190);
    s6idcon(parent, &lifted[static_cast<size_t>(i)], &lifted[static_cast<size_t>(j)], &st);
    if (st < 0) return fail(st);
  }
}

void s6idlis(geom_object* object1, geom_object* object2, isect_data** data, int* status) {
  *status = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s6idlis", code, 0);
  };
  isect_data* d = *data;
  if (!d) return;
  for (int i = 0; i < d->list_count; ++i) destroy_isect_list(d->lists[i]);
  d->list_count = 0;

  // Split chains at their inner singular points.
  const int original = d->point_count;
  for (int i = 0; i < original; ++i) {
    isect_point* p = d->points[i];
    if (p->kind != kSingularPoint || !p->link || !predecessor_of(d, p)) continue;
    isect_point* copy = copy_isect_point(p);
    if (!copy || append_point(d, copy) < 0) {
      destroy_isect_point(copy);
      return fail(kErrMemory);
    }
    copy->link = p->link;
    p->link = nullptr;
  }

  // Predecessor flags, so that chain starts are found in one pass.
  std::vector<char> has_pred(static_cast<size_t>(d->point_count), 0);
  auto index_of = [&](const isect_point* p) {
    for (int i = 0; i < d->point_count; ++i)
      if (d->points[i] == p) return i;
    return -1;
  };
  for (int i = 0; i < d->point_count; ++i)
    if (d->points[i]->link) {
      const int j = index_of(d->points[i]->link);
      if (j >= 0) has_pred[static_cast<size_t>(j)] = 1;
    }

  // Open chains.
  std::vector<isect_point*> visited;
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* p = d->points[i];
    if (!p->link || has_pred[static_cast<size_t>(i)]) continue;
    int count = 1;
    isect_point* last = p;
    visited.push_back(p);
    while (last->link && count <= d->point_count) {
      last = last->link;
      visited.push_back(last);
      ++count;
    }
    int type = 0;
    if (p->kind == kSingularPoint && last->kind == kSingularPoint)
      type = 4;
    else if (p->kind == kSingularPoint)
      type = 2;
    else if (last->kind == kSingularPoint)
      type = 3;
    isect_list* list = create_isect_list(p, last, type);
    if (!list) return fail(kErrMemory);
    list->point_count = count;
    if (append_list(d, list) < 0) {
      destroy_isect_list(list);
      return fail(kErrMemory);
    }
  }

  // Closed chains: every point not on an open chain that has a successor lies on a loop.
  // A mark per point stands for the visited state.
  std::vector<char> seen(static_cast<size_t>(d->point_count), 0);
  for (isect_point* p : visited) seen[static_cast<size_t>(index_of(p))] = 1;
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* p = d->points[i];
    if (seen[static_cast<size_t>(i)] || !p->link) continue;
    seen[static_cast<size_t>(i)] = 1;
    int count = 1;
    isect_point* q = p->link;
    while (q != p) {
      const int j = q ? index_of(q) : -1;
      if (j < 0 || count > d->point_count) return fail(-105);
      seen[static_cast<size_t>(j)] = 1;
      ++count;
      q = q->link;
    }
    isect_list* list = create_isect_list(p->link, p, 1);
    if (!list) return fail(kErrMemory);
    list->point_count = count;
    if (append_list(d, list) < 0) {
      destroy_isect_list(list);
      return fail(kErrMemory);
    }
  }

  // Examination: two surfaces in space, or a one-dimensional point (a level) against a
  // surface.  An object wrapper without its point (as the extremal search passes) is no
  // level, so that search keeps its isolated maxima.
  int st = 0;
  const geom_object* o1 = object1;
  const geom_object* o2 = object2;
  auto level_of = [](const geom_object* o) {
    return o && o->kind == kPointObject && o->point && o->point->dim == 1;
  };
  if (o1 && o2 && o1->kind == kSurfaceObject && o2->kind == kSurfaceObject && o1->surface && o2->surface &&
      o1->surface->dim == 3) {
    s6idlis_s9ssexamin(o1->surface, o2->surface, data, &st);
  } else if (o2 && o2->kind == kSurfaceObject && o2->surface && level_of(o1)) {
    s6idlis_s9psexamin(o2->surface, o1->point->coords[0], data, &st);
  } else if (o1 && o1->kind == kSurfaceObject && o1->surface && level_of(o2)) {
    s6idlis_s9psexamin(o1->surface, o2->point->coords[0], data, &st);
  }
  if (st < 0) return fail(st);
}

int remove_chain_point(isect_data** data, isect_point** point, isect_point** predecessor,
                       isect_point** successor, int* status) {
  *status = 0;
  if (predecessor) *predecessor = nullptr;
  if (successor) *successor = nullptr;
  if (!*data) return 0;
  if (!point || !*point) return 1;
  isect_data* d = *data;
  isect_point* p = *point;
  isect_point* pred = predecessor_of(d, p);
  if (predecessor) *predecessor = pred;
  if (successor) *successor = p->link;
  int result = 1;
  for (int i = 0; i < d->point_count; ++i)
    if (d->points[i] == p) {
      d->points[i] = d->points[d->point_count - 1];
      --d->point_count;
      result = 0;
      break;
    }
  if (pred) pred->link = nullptr;
  // Lists naming the point would be left dangling.
  for (int i = 0; i < d->list_count; ++i) {
    if (d->lists[i]->first == p) d->lists[i]->first = nullptr;
    if (d->lists[i]->last == p) d->lists[i]->last = nullptr;
  }
  destroy_isect_point(p);
  *point = nullptr;
  if (d->point_count == 0) {
    destroy_isect_data(d);
    *data = nullptr;
  }
  return result;
}

int s6idklist(isect_data** data, isect_list* list, int* status) {
  *status = 0;
  if (!*data) return 0;
  if (!list) return 1;
  isect_data* d = *data;
  int index = -1;
  for (int i = 0; i < d->list_count; ++i)
    if (d->lists[i] == list) index = i;
  if (index < 0) return 1;
  // Take the list out first so that the removals cannot free it with the data.
  d->lists[index] = d->lists[d->list_count - 1];
  --d->list_count;
  isect_point* p = list->first;
  if (list->last) list->last->link = nullptr;
  int guard = d->point_count;
  while (p && guard-- >= 0 && *data) {
    isect_point* next = p->link;
    int st = 0;
    remove_chain_point(data, &p, nullptr, nullptr, &st);
    p = next;
  }
  destroy_isect_list(list);
  return 0;
}

void s6idedg(geom_object* object1, geom_object* object2, int which, int direction, double value,
             isect_data* data, edge_node** head, int* count, int* status) {
  *status = 0;
  *head = nullptr;
  if (!data) return;
  std::vector<double> lo, hi;
  object_ranges(object1, lo, hi);
  const int n1 = static_cast<int>(lo.size());
  object_ranges(object2, lo, hi);
  const int fixed = (which == 1 ? 0 : n1) + direction - 1;
  if (fixed >= 0 && fixed < static_cast<int>(lo.size()))
    lo[static_cast<size_t>(fixed)] = hi[static_cast<size_t>(fixed)] = value;
  const int n = static_cast<int>(lo.size());
  edge_node* tail = nullptr;
  for (int i = 0; i < data->point_count; ++i) {
    const isect_point* p = data->points[i];
    if (p->param_count < n) continue;
    bool inside = true;
    for (int j = 0; j < n && inside; ++j)
      inside = in_range(p->params[j], lo[static_cast<size_t>(j)], hi[static_cast<size_t>(j)]);
    if (!inside) continue;
    edge_node* node = create_edge_node(data->points[i]);
    if (!node) {
      *status = kErrMemory;
      error_report("s6idedg", *status, 0);
      return;
    }
    if (tail)
      tail->next = node;
    else
      *head = node;
    tail = node;
    ++*count;
  }
}

int s6identify(const spline_surface* surface, const double* par1, const double* par2,
               double level, double distance_limit, double tol, int* status) {
  *status = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s6identify", code, 0);
    return 0;
  };
  if (!surface) return fail(kErrInterval);
  const double u0 = surface->knots1[0], u1 = surface->knots1[surface->vertex_count1];
  const double v0 = surface->knots2[0], v1 = surface->knots2[surface->vertex_count2];
  for (const double* p : {par1, par2})
    if (p[0] < u0 || p[0] > u1 || p[1] < v0 || p[1] > v1) return fail(kErrInterval);
  if (dequal(par1[0], par2[0]) && dequal(par1[1], par2[1])) return 1;
  const double dist = std::hypot(par1[0] - par2[0], par1[1] - par2[1]);
  if (dist > distance_limit) return 0;
  double bez[4];
  int st = 0;
  surf_segment_bezier(surface, par1, par2, 1, bez, &st);
  if (st < 0) return fail(st);
  double halves[8];
  bezier_subdivide(bez, 0.0, 1.0, 0.5, 4, halves, &st);
  if (st < 0) return fail(st);
  for (double c : halves)
    if (std::fabs(c - level) > tol) return 0;
  return 1;
}

isect_point* inner_isect_point(geom_object* object1, geom_object* object2, isect_data* data,
                               isect_point** point, int which) {
  if (point) *point = nullptr;
  if (!data) return nullptr;
  std::vector<double> lo, hi;
  object_ranges(object1, lo, hi);
  const int n1 = static_cast<int>(lo.size());
  object_ranges(object2, lo, hi);
  const int n = static_cast<int>(lo.size());
  const int first = which == 1 ? 0 : n1;
  const int named = which == 1 ? object_param_count(object1) : object_param_count(object2);
  if (named == 0) return nullptr;
  for (int i = data->point_count - 1; i >= 0; --i) {
    isect_point* p = data->points[i];
    if (p->param_count < n) continue;
    bool ok = true;
    for (int j = 0; j < n && ok; ++j) {
      const double x = p->params[j];
      ok = x >= lo[static_cast<size_t>(j)] && x <= hi[static_cast<size_t>(j)];
      if (ok && j >= first && j < first + named)
        ok = !dequal(x, lo[static_cast<size_t>(j)]) && !dequal(x, hi[static_cast<size_t>(j)]);
    }
    if (ok) {
      if (point) *point = p;
      return p;
    }
  }
  return nullptr;
}

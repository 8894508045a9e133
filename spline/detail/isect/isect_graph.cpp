#include "spline/detail/isect/isect_graph.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spline/detail/isect/isect_services.h"
#include "spline/status.h"

namespace {

constexpr int kSlotGrowth = 4;
constexpr int kPointGrowth = 20;

bool rel_equal(double x, double y) {
  return std::fabs(x - y) <= 1e-12 * std::fmax(std::fabs(x), std::fabs(y));
}

// Grows the six slot arrays of a point by kSlotGrowth, zero-filling the new part.  The
// capacity changes only when all six arrays grew.
bool grow_slots(isect_point* pt) {
  const int old_cap = pt->capacity;
  const int cap = old_cap + kSlotGrowth;
  bool ok = true;
  auto grow = [&](auto*& arr) {
    using T = std::remove_reference_t<decltype(*arr)>;
    T* grown = static_cast<T*>(realloc(arr, sizeof(T) * cap));
    if (!grown) {
      ok = false;
      return;
    }
    memset(static_cast<void*>(grown + old_cap), 0, sizeof(T) * (cap - old_cap));
    arr = grown;
  };
  grow(pt->neighbours);
  grow(pt->segment_masks);
  grow(pt->top_a);
  grow(pt->top_b);
  grow(pt->top_c);
  grow(pt->top_d);
  if (ok) pt->capacity = cap;
  return ok;
}

// Adds q in the next free slot of p (segment mask 0).
int add_slot(isect_point* p, isect_point* q) {
  if (p->neighbour_count > p->capacity) return -2;
  if (p->neighbour_count == p->capacity && !grow_slots(p)) return kErrMemory;
  p->neighbours[p->neighbour_count] = q;
  p->segment_masks[p->neighbour_count] = 0;
  ++p->neighbour_count;
  return 0;
}

// Removes slot s of p, moving the last slot's neighbour and mask into it.
void drop_slot(isect_point* p, int s) {
  const int last = p->neighbour_count - 1;
  p->neighbours[s] = p->neighbours[last];
  p->segment_masks[s] = p->segment_masks[last];
  p->neighbours[last] = nullptr;
  p->segment_masks[last] = 0;
  --p->neighbour_count;
}

int kind_of(const geom_object* object) { return object ? object->kind : 0; }

// Number of parameters an object contributes (its kind), 0 for a null object.
int param_count_of(const geom_object* object) {
  const int k = kind_of(object);
  return (k >= 0 && k <= 2) ? k : 0;
}

}  // namespace

int object_dim(const geom_object* object) {
  if (!object) return 0;
  switch (object->kind) {
    case 0:
      return object->point ? object->point->dim : 0;
    case 1:
      return object->curve ? object->curve->dim : 0;
    case 2:
      return object->surface ? object->surface->dim : 0;
    default:
      return 0;
  }
}

int problem_param_box(const geom_object* object1, const geom_object* object2,
                      double start[4], double end[4]) {
  int n = 0;
  for (const geom_object* obj : {object1, object2}) {
    if (!obj) return -1;
    switch (obj->kind) {
      case 0:
        break;
      case 1: {
        const spline_curve* c = obj->curve;
        if (!c) return -1;
        start[n] = c->knots[c->order - 1];
        end[n] = c->knots[c->vertex_count];
        ++n;
        break;
      }
      case 2: {
        const spline_surface* s = obj->surface;
        if (!s) return -1;
        start[n] = s->knots1[s->order1 - 1];
        end[n] = s->knots1[s->vertex_count1];
        start[n + 1] = s->knots2[s->order2 - 1];
        end[n + 1] = s->knots2[s->vertex_count2];
        n += 2;
        break;
      }
      default:
        return -1;
    }
  }
  return n;
}

isect_point* get_neighbour(const isect_point* point, int slot) {
  if (!point || slot < 0 || slot >= point->neighbour_count) return nullptr;
  return point->neighbours[slot];
}

int sh6nmbmain(const isect_point* point, int* status) {
  int count = 0;
  if (!point) return 0;
  for (int i = 0; i < point->neighbour_count; ++i) {
    if (!point->neighbours[i]) {
      *status = -1;
      error_report("sh6nmbmain", *status, 0);
      return count;
    }
    if (is_main_point(point->neighbours[i])) ++count;
  }
  return count;
}

int sh6nmbhelp(const isect_point* point, int* status) {
  int count = 0;
  if (!point) return 0;
  for (int i = 0; i < point->neighbour_count; ++i) {
    if (!point->neighbours[i]) {
      *status = -1;
      error_report("sh6nmbhelp", *status, 0);
      return count;
    }
    if (is_help_point(point->neighbours[i])) ++count;
  }
  return count;
}

void main_neighbours(const isect_point* point, isect_point** a, isect_point** b, int* code) {
  *a = *b = nullptr;
  if (!point) {
    *code = 3;
    return;
  }
  const bool main = is_main_point(point);
  int found = 0;
  for (int i = 0; i < point->neighbour_count; ++i) {
    isect_point* nb = point->neighbours[i];
    if (main && !is_main_point(nb)) continue;
    if (found == 0) *a = nb;
    else if (found == 1) *b = nb;
    ++found;
  }
  switch (found) {
    case 0:
      *code = 3;
      break;
    case 1:
      *code = 1;
      break;
    case 2:
      *code = 0;
      break;
    default:
      *a = *b = nullptr;
      *code = 2;
      break;
  }
}

isect_point* sh6getmain(isect_point* point) {
  if (!is_help_point(point)) return nullptr;
  for (int i = 0; i < point->neighbour_count; ++i)
    if (is_main_point(point->neighbours[i])) return point->neighbours[i];

  isect_point *a = nullptr, *b = nullptr;
  int code = 0;
  main_neighbours(point, &a, &b, &code);
  if (code != 0 && code != 1) return nullptr;
  for (isect_point* first : {a, b}) {
    if (!first) continue;
    // Walk the help chain away from the point through first.
    isect_point* prev = point;
    isect_point* cur = first;
    // A chain cannot be longer than the points reachable; guard against cycles that
    // do not pass the start point with a generous step limit.
    for (long steps = 0; cur && cur != point; ++steps) {
      if (is_main_point(cur)) return cur;
      isect_point* next = nullptr;
      int st = 0;
      sh6getother(cur, prev, &next, &st);
      if (st < 0) {
        error_report("sh6getmain", st, 0);
        return nullptr;
      }
      if (st != 0 || steps > 1000000) break;
      prev = cur;
      cur = next;
    }
  }
  return nullptr;
}

void order_point_chain(isect_point** points, int n, int* count, int* code) {
  *count = 0;
  *code = 2;
  if (n <= 0) return;
  int placed = 0;  // index of the last placed position
  bool restarted = false;
  isect_point* cur = points[0];
  isect_point* prev = nullptr;
  bool closed = false;
  while (placed < n - 1) {
    bool moved = false;
    for (int s = 0; s < cur->neighbour_count && !moved; ++s) {
      isect_point* nb = cur->neighbours[s];
      if (nb == prev) continue;
      if (nb == points[0]) {
        closed = true;
        break;
      }
      for (int j = placed + 1; j < n; ++j) {
        if (points[j] != nb) continue;
        isect_point* tmp = points[placed + 1];
        points[placed + 1] = nb;
        points[j] = tmp;
        ++placed;
        prev = cur;
        cur = nb;
        moved = true;
        break;
      }
    }
    if (closed) break;
    if (!moved) {
      if (restarted || placed == 0 || n < 2) break;
      // Follow the first point's other side.
      restarted = true;
      prev = points[1];
      cur = points[0];
    }
  }
  // All points placed: the chain is closed when the last one leads back to the first.
  if (!closed && placed == n - 1 && n > 2 && !restarted) {
    for (int s = 0; s < cur->neighbour_count; ++s)
      if (cur->neighbours[s] == points[0] && cur->neighbours[s] != prev) closed = true;
  }
  *count = placed + 1;
  if (closed) *code = 1;
  else if (placed == 0) *code = 2;
  else *code = 0;
}

int reaches_point(isect_point* from, isect_point* start, isect_point* target) {
  if (!start || !target) return 0;
  struct Visit {
    isect_point* point;
    isect_point* from;
  };
  std::vector<Visit> stack{{start, from}};
  while (!stack.empty()) {
    Visit v = stack.back();
    stack.pop_back();
    if (v.point == target) return 1;
    if (v.point->marker == -199) continue;
    v.point->marker = -199;
    for (int s = v.point->neighbour_count - 1; s >= 0; --s) {
      isect_point* nb = v.point->neighbours[s];
      if (!nb || nb == v.from) continue;
      if (nb == target) return 1;
      if (nb->marker != -199) stack.push_back({nb, v.point});
    }
  }
  return 0;
}

void sh6connect(isect_point* p, isect_point* q, int* status) {
  *status = 0;
  if (!p || !q) {
    *status = -2;
    error_report("sh6connect", *status, 0);
    return;
  }
  if (p == q) {
    *status = -4;
    error_report("sh6connect", *status, 0);
    return;
  }
  int sp = -1, sq = -1, st = 0;
  sh6getlist(p, q, &sp, &sq, &st);
  if (st < 0) {
    *status = -3;
    error_report("sh6connect", *status, 0);
    return;
  }
  if (st == 0) {
    *status = 1;
    return;
  }
  // A help point that meets a second main point becomes a main point.
  for (int pass = 0; pass < 2; ++pass) {
    isect_point* h = pass == 0 ? p : q;
    isect_point* m = pass == 0 ? q : p;
    st = 0;
    if (is_help_point(h) && is_main_point(m) && sh6nmbmain(h, &st) >= 1 && st >= 0) {
      sh6tomain(h, &st);
    }
    if (st < 0) {
      *status = -2;
      error_report("sh6connect", *status, 0);
      return;
    }
  }
  // Room in both before either is changed, so a failed growth leaves the graph as it
  // was.
  for (isect_point* pt : {p, q}) {
    if (pt->neighbour_count > pt->capacity) {
      *status = -2;
      error_report("sh6connect", *status, 0);
      return;
    }
    if (pt->neighbour_count == pt->capacity && !grow_slots(pt)) {
      *status = kErrMemory;
      error_report("sh6connect", *status, 0);
      return;
    }
  }
  add_slot(p, q);
  add_slot(q, p);
}

void sh6disconnect(isect_point* p, isect_point* q, int* status) {
  int sp = -1, sq = -1, st = 0;
  sh6getlist(p, q, &sp, &sq, &st);
  if (st < 0) {
    *status = -1;
    error_report("sh6disconnect", *status, 0);
    return;
  }
  if (st == 1) {
    *status = 1;
    return;
  }
  drop_slot(p, sp);
  drop_slot(q, sq);
  *status = 0;
}

void sh6insertpt(isect_point* a, isect_point* b, isect_point* new_point, int* status) {
  int sa = -1, sb = -1, st = 0;
  sh6getlist(a, b, &sa, &sb, &st);
  if (st != 0) {
    *status = -1;
    error_report("sh6insertpt", *status, 0);
    return;
  }
  const int ma = a->segment_masks[sa];
  const int mb = b->segment_masks[sb];
  sh6connect(a, new_point, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6insertpt", st, 0);
    return;
  }
  a->segment_masks[neighbour_index(a, new_point)] = ma;
  new_point->segment_masks[neighbour_index(new_point, a)] = mb;
  sh6connect(b, new_point, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6insertpt", st, 0);
    return;
  }
  b->segment_masks[neighbour_index(b, new_point)] = mb;
  new_point->segment_masks[neighbour_index(new_point, b)] = ma;
  sh6disconnect(a, b, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6insertpt", st, 0);
    return;
  }
  *status = 0;
}

void sh6insert(isect_data** data, isect_point* a, isect_point* b, isect_point** new_point,
               int* status) {
  int st = 0;
  sh6idnpt(data, new_point, 1, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6insert", st, 0);
    return;
  }
  if (st == 1 || st == 2) {
    *status = 1;
    return;
  }
  isect_point* np = *new_point;
  const int magnitude = np->kind != 0 ? std::abs(np->kind) : 1;
  np->kind = (is_main_point(a) || is_main_point(b)) ? magnitude : -magnitude;
  sh6insertpt(a, b, np, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6insert", st, 0);
    return;
  }
  *status = 0;
}

void sh6idcon(isect_data** data, isect_point** p, isect_point** q, int* status) {
  int st = 0;
  for (isect_point** pt : {p, q}) {
    sh6idnpt(data, pt, 1, &st);
    if (st < 0) {
      *status = st;
      error_report("sh6idcon", st, 0);
      return;
    }
  }
  sh6connect(*p, *q, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6idcon", st, 0);
    return;
  }
  *status = 0;
}

void sh6idnpt(isect_data** data, isect_point** point, int merge, int* status) {
  if (!*data) {
    *data = create_isect_data();
    if (!*data) {
      *status = kErrMemory;
      error_report("sh6idnpt", *status, 0);
      return;
    }
  }
  isect_data* d = *data;
  isect_point* pt = *point;
  // A record held already is never merged into an equal one held before it: that
  // would destroy a record the array still holds (a point split into twins).
  for (int i = 0; i < d->point_count; ++i)
    if (d->points[i] == pt) {
      *status = 1;
      return;
    }
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* held = d->points[i];
    if (!merge || held->param_count != pt->param_count) continue;
    bool equal = true;
    for (int j = 0; j < pt->param_count && equal; ++j)
      equal = rel_equal(pt->params[j], held->params[j]);
    if (equal) {
      destroy_isect_point(pt);
      *point = held;
      *status = 2;
      return;
    }
  }
  if (d->point_count == d->point_capacity) {
    const int cap = d->point_capacity + kPointGrowth;
    auto* grown = static_cast<isect_point**>(realloc(d->points, sizeof(isect_point*) * cap));
    if (!grown) {
      *status = kErrMemory;
      error_report("sh6idnpt", *status, 0);
      return;
    }
    memset(grown + d->point_capacity, 0, sizeof(isect_point*) * kPointGrowth);
    d->points = grown;
    d->point_capacity = cap;
  }
  d->points[d->point_count++] = pt;
  *status = 0;
}

void remove_point(isect_data** data, isect_point** point, int bridge, int* status) {
  *status = 0;
  isect_point* pt = *point;
  if (!pt) {
    *status = 1;
    return;
  }
  int st = 0;
  isect_point *a = nullptr, *b = nullptr;
  int mask_a = 0, mask_b = 0;
  if (bridge) {
    if (is_main_point(pt)) {
      // Whole help chains hanging at the point go first.
      for (bool again = true; again;) {
        again = false;
        for (int s = 0; s < pt->neighbour_count; ++s) {
          isect_point* h = pt->neighbours[s];
          if (!is_help_point(h)) continue;
          remove_point(data, &h, 1, &st);
          if (st < 0) {
            *status = st;
            return;
          }
          again = true;
          break;
        }
      }
    }
    int code = 3;
    main_neighbours(pt, &a, &b, &code);
    if (code == 0) {
      const int sa = neighbour_index(a, pt);
      const int sb = neighbour_index(b, pt);
      if (sa < 0 || sb < 0) {
        *status = -1;
        return;
      }
      mask_a = a->segment_masks[sa];
      mask_b = b->segment_masks[sb];
    } else {
      a = b = nullptr;
    }
  }
  while (pt->neighbour_count > 0) {
    sh6disconnect(pt, pt->neighbours[0], &st);
    if (st != 0) {
      *status = -1;
      return;
    }
  }
  if (a && b) {
    int sa = -1, sb = -1;
    sh6getlist(a, b, &sa, &sb, &st);
    if (st < 0) {
      *status = -1;
      return;
    }
    if (st == 1) {
      sh6connect(a, b, &st);
      if (st < 0) {
        *status = st;
        return;
      }
      a->segment_masks[neighbour_index(a, b)] = mask_a;
      b->segment_masks[neighbour_index(b, a)] = mask_b;
    }
  }
  bool found = false;
  if (isect_data* d = *data) {
    for (int i = 0; i < d->point_count; ++i) {
      if (d->points[i] != pt) continue;
      d->points[i] = d->points[d->point_count - 1];
      d->points[d->point_count - 1] = nullptr;
      --d->point_count;
      found = true;
      break;
    }
    if (found && d->point_count == 0) {
      destroy_isect_data(d);
      *data = nullptr;
    }
  }
  if (!found) *status = 1;
  destroy_isect_point(pt);
  *point = nullptr;
}

namespace {

// Steps 1-3 of uniting: both points in the data, the survivor chosen and the other
// point's connections moved onto it.  Returns false on error (status set, reported).
bool unite_connections(isect_data** data, isect_point** p, isect_point** q, double* weight,
                       isect_point** survivor, isect_point** other, int* status) {
  int st = 0;
  for (isect_point** pt : {p, q}) {
    sh6idnpt(data, pt, 0, &st);
    if (st < 0) {
      *status = st;
      error_report("sh6idunite", st, 0);
      return false;
    }
  }
  isect_point* s = *p;
  isect_point* o = *q;
  if (!is_main_point(*p)) {
    s = *q;
    o = *p;
    *weight = 1.0 - *weight;
  }
  sh6disconnect(s, o, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6idunite", st, 0);
    return false;
  }
  while (o->neighbour_count > 0) {
    isect_point* nb = o->neighbours[0];
    sh6disconnect(o, nb, &st);
    if (st >= 0) sh6connect(s, nb, &st);
    if (st < 0) {
      *status = st;
      error_report("sh6idunite", st, 0);
      return false;
    }
  }
  *survivor = s;
  *other = o;
  return true;
}

// Steps 5-6: the other point leaves the data; *p names the survivor, *q is null.
void unite_finish(isect_data** data, isect_point** p, isect_point** q, isect_point* s,
                  isect_point* o, int* status) {
  int st = 0;
  remove_point(data, &o, 0, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6idunite", st, 0);
    return;
  }
  *p = s;
  *q = nullptr;
  *status = 0;
}

}  // namespace

void sh6idunite(geom_object* object1, geom_object* object2, isect_data** data,
                isect_point** p, isect_point** q, double weight, double tolerance,
                int* status) {
  isect_point *s = nullptr, *o = nullptr;
  if (!unite_connections(data, p, q, &weight, &s, &o, status)) return;
  const int n = s->param_count;
  std::vector<double> par(n > 0 ? n : 1);
  for (int i = 0; i < n; ++i)
    par[i] = (1.0 - weight) * s->params[i] + weight * (i < o->param_count ? o->params[i] : 0);
  const int k1 = param_count_of(object1);
  const int k2 = param_count_of(object2);
  if (k1 > 0 && k2 > 0 && n == k1 + k2) {
    const int dim = object_dim(object1);
    std::vector<double> pos(dim > 0 ? dim : 1);
    int st = 0;  // selector 0: object 1
    eval_object_at(object1, object2, par.data(), pos.data(), &st);
    if (st < 0) {
      *status = st;
      error_report("sh6idunite", st, 0);
      return;
    }
    double projected[2] = {0.0, 0.0};
    sh6ptobj(pos.data(), object2, tolerance, par.data() + k1, projected, &st);
    if (st < 0) {
      *status = st;
      error_report("sh6idunite", st, 0);
      return;
    }
    for (int i = 0; i < k2; ++i) par[k1 + i] = projected[i];
  }
  for (int i = 0; i < n; ++i) s->params[i] = par[i];
  unite_finish(data, p, q, s, o, status);
}

void sh6idunite_lin(isect_data** data, isect_point** p, isect_point** q, double weight,
                    int* status) {
  isect_point *s = nullptr, *o = nullptr;
  if (!unite_connections(data, p, q, &weight, &s, &o, status)) return;
  for (int i = 0; i < s->param_count && i < o->param_count; ++i)
    s->params[i] = (1.0 - weight) * s->params[i] + weight * o->params[i];
  unite_finish(data, p, q, s, o, status);
}

void split_point(isect_data** data, isect_point* point, int* status) {
  *status = 0;
  if (!point) {
    *status = 1;
    return;
  }
  int st = 0;
  int mains = sh6nmbmain(point, &st);
  if (st < 0) {
    *status = st;
    return;
  }
  for (int s = point->neighbour_count - 1; s >= 0 && mains > 1; --s) {
    isect_point* m = point->neighbours[s];
    if (!is_main_point(m)) continue;
    isect_point* c = copy_isect_point_geom(point);
    if (!c) {
      *status = kErrMemory;
      error_report("split_point", *status, 0);
      return;
    }
    sh6idnpt(data, &c, 0, &st);
    if (st < 0) {
      destroy_isect_point(c);
      *status = st;
      return;
    }
    sh6insertpt(point, m, c, &st);
    if (st >= 0) sh6disconnect(point, c, &st);
    if (st < 0) {
      *status = st;
      return;
    }
    // Slot s now holds the former last slot (already visited) or nothing.
    --mains;
  }
}

void sh6tomain(isect_point* point, int* status) {
  if (!point) {
    *status = -1;
    error_report("sh6tomain", *status, 0);
    return;
  }
  if (!is_help_point(point)) {
    *status = 1;
    return;
  }
  *status = 0;
  std::vector<isect_point*> stack{point};
  while (!stack.empty()) {
    isect_point* pt = stack.back();
    stack.pop_back();
    if (!is_help_point(pt)) continue;
    pt->kind = -pt->kind;
    for (int s = pt->neighbour_count - 1; s >= 0; --s) {
      isect_point* nb = pt->neighbours[s];
      if (is_help_point(nb) && nb->neighbour_count > 1) stack.push_back(nb);
    }
  }
}

void sh6tohelp(isect_point* point, int* status) {
  if (!point) {
    *status = -1;
    error_report("sh6tohelp", *status, 0);
    return;
  }
  if (!is_main_point(point)) {
    *status = 1;
    return;
  }
  point->kind = -point->kind;
  *status = 0;
}

void sh6ptobj(const double* position, geom_object* object, double tolerance,
              const double* start, double* result, int* status) {
  if (!object || object->kind < 0 || object->kind > 2) {
    *status = kErrDimensionMismatch;
    error_report("sh6ptobj", *status, 0);
    return;
  }
  const int dim = object_dim(object);
  if (object->kind == kPointObject) {
    const spline_point* target = object->point;
    double d2 = 0.0;
    for (int i = 0; i < dim; ++i) {
      const double d = position[i] - target->coords[i];
      d2 += d * d;
    }
    *status = std::sqrt(d2) < tolerance ? 1 : 2;
    return;
  }
  spline_point* pt = create_point(const_cast<double*>(position), dim, 0);
  if (!pt) {
    *status = kErrMemory;
    error_report("sh6ptobj", *status, 0);
    return;
  }
  int st = 0;
  if (object->kind == kCurveObject) {
    const spline_curve* c = object->curve;
    st = 0;  // the iteration reads its status on entry: 0 asks for the full budget
    isect_services().s1771(pt, object->curve, tolerance, c->knots[c->order - 1],
                           c->knots[c->vertex_count], start[0], result, &st);
  } else {
    const spline_surface* s = object->surface;
    const double low[2] = {s->knots1[s->order1 - 1], s->knots2[s->order2 - 1]};
    const double high[2] = {s->knots1[s->vertex_count1], s->knots2[s->vertex_count2]};
    st = 0;
    isect_services().s1773(pt, object->surface, tolerance, low, high, start, result, &st);
  }
  destroy_point(pt);
  *status = st;
  if (st < 0) error_report("sh6ptobj", st, 0);
}

void eval_object_at(geom_object* object1, geom_object* object2, const double* params,
                    double* position, int* status) {
  const int selector = *status;
  geom_object* obj = selector == 0 ? object1 : object2;
  const double* par = selector == 0 ? params : params + param_count_of(object1);
  *status = 0;
  if (!obj) return;
  const int dim = object_dim(obj);
  int st = 0;
  switch (obj->kind) {
    case 0:
      if (obj->point)
        for (int i = 0; i < dim; ++i) position[i] = obj->point->coords[i];
      break;
    case 1: {
      int left = 0;
      isect_services().s1221(obj->curve, 0, par[0], &left, position, &st);
      break;
    }
    case 2: {
      int left1 = 0, left2 = 0;
      std::vector<double> normal(dim > 0 ? dim : 1);
      isect_services().s1421(obj->surface, 0, par, &left1, &left2, position, normal.data(),
                             &st);
      break;
    }
    default:
      break;
  }
  *status = st < 0 ? st : 0;
}

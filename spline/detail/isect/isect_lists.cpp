#include "spline/detail/isect/isect_lists.h"

#include <cstdlib>
#include <cstring>

#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_services.h"
#include "spline/status.h"

namespace {

constexpr int kInconsistent = -500;
constexpr int kConstantBits = 30;  // bits 1..4 of a segment mask
constexpr int kListGrowth = 20;

int dim_of(const geom_object* o) { return object_dim(o); }

// Problem type: 2 a one-dimensional surface against a point object, or two surfaces
// whose first has dimension 3; 1 a surface against a curve; 0 every other pair.
int problem_type(const geom_object* o1, const geom_object* o2) {
  if ((o1->kind == kSurfaceObject && dim_of(o1) == 1 && o2->kind == kPointObject) ||
      (o2->kind == kSurfaceObject && dim_of(o2) == 1 && o1->kind == kPointObject) ||
      (o1->kind == kSurfaceObject && o2->kind == kSurfaceObject && dim_of(o1) == 3))
    return 2;
  if ((o1->kind == kSurfaceObject && o2->kind == kCurveObject) || (o1->kind == kCurveObject && o2->kind == kSurfaceObject)) return 1;
  return 0;
}

bool append_list(isect_data* d, isect_list* list) {
  if (d->list_count == d->list_capacity) {
    const int cap = d->list_capacity + kListGrowth;
    auto* grown = static_cast<isect_list**>(realloc(d->lists, sizeof(isect_list*) * cap));
    if (!grown) return false;
    memset(grown + d->list_capacity, 0, sizeof(isect_list*) * kListGrowth);
    d->lists = grown;
    d->list_capacity = cap;
  }
  d->lists[d->list_count++] = list;
  return true;
}

struct Fail {
  int* status;
  int operator()(int st) const {
    *status = st;
    error_report("sh6idlis", st, 0);
    return st;
  }
};

// Masks of point toward its two neighbours; false when one is not connected back.
bool masks_toward(isect_point* pt, isect_point* a, isect_point* b, int* ma, int* mb) {
  const int sa = neighbour_index(pt, a);
  const int sb = neighbour_index(pt, b);
  if (sa < 0 || sb < 0 || neighbour_index(a, pt) < 0 || neighbour_index(b, pt) < 0)
    return false;
  *ma = pt->segment_masks[sa];
  *mb = pt->segment_masks[sb];
  return true;
}

// Step 5: removes points that only carry a straight stretch.
int thin_stretches(isect_data** data, int t) {
  for (bool again = true; again && *data;) {
    again = false;
    isect_data* d = *data;
    for (int i = 0; i < d->point_count; ++i) {
      isect_point* pt = d->points[i];
      isect_point *a = nullptr, *b = nullptr;
      int code = 3;
      main_neighbours(pt, &a, &b, &code);
      if (code != 0) continue;
      int ma = 0, mb = 0;
      if (!masks_toward(pt, a, b, &ma, &mb)) return kInconsistent;
      const bool singular_run = pt->kind == kSingularPoint && a->kind == kSingularPoint && b->kind == kSingularPoint;
      if (t == 0 || (ma & mb & kConstantBits) || singular_run) {
        int st = 0;
        remove_point(data, &pt, 1, &st);
        if (st < 0) return st;
        again = true;
        break;
      }
    }
  }
  return 0;
}

// Walks an open chain from start through slot; returns the list or null (status set).
isect_list* walk_open_chain(isect_point* start, int slot, int* status) {
  isect_point* prev = start;
  isect_point* cur = start->neighbours[slot];
  --start->marker;
  --cur->marker;
  int count = 2;
  // A chain visits each of its segments once; the bound only guards broken input.
  for (long guard = 0;; ++guard) {
    isect_point* next = nullptr;
    int st = 0;
    sh6getother(cur, prev, &next, &st);
    if (st < 0) {
      *status = st;
      return nullptr;
    }
    if (!next || guard > 100000000) break;
    --cur->marker;
    --next->marker;
    ++count;
    prev = cur;
    cur = next;
  }
  isect_list* list = create_isect_list(start, cur, 0);
  if (!list) {
    *status = kErrMemory;
    return nullptr;
  }
  list->point_count = count;
  list->first_slot = slot;
  list->last_slot = neighbour_index(cur, prev);
  *status = 0;
  return list;
}

// Walks a closed loop from start through its first main neighbour.
isect_list* walk_loop(isect_point* start, int* status) {
  isect_point *a = nullptr, *b = nullptr;
  int code = 3;
  main_neighbours(start, &a, &b, &code);
  if (code != 0) {
    *status = kInconsistent;
    return nullptr;
  }
  start->marker = 0;
  int count = 1;
  isect_point* prev = start;
  isect_point* cur = a;
  while (cur != start) {
    cur->marker = 0;
    ++count;
    isect_point* next = nullptr;
    int st = 0;
    sh6getother(cur, prev, &next, &st);
    if (st < 0 || !next) {
      *status = st < 0 ? st : kInconsistent;
      if (st >= 0) *status = kInconsistent;
      return nullptr;
    }
    prev = cur;
    cur = next;
  }
  isect_list* list = create_isect_list(start, start, 0);
  if (!list) {
    *status = kErrMemory;
    return nullptr;
  }
  list->point_count = count + 1;
  list->first_slot = neighbour_index(start, a);
  list->last_slot = neighbour_index(start, b);
  *status = 0;
  return list;
}

// Calls f(point, slot toward next, next, slot toward point) for every segment of the
// list in chain order.
template <typename F>
void for_each_segment(isect_list* list, F f) {
  isect_point* prev = list->first;
  int slot = list->first_slot;
  for (int i = 0; i + 1 < list->point_count; ++i) {
    if (!prev || slot < 0 || slot >= prev->neighbour_count) return;
    isect_point* cur = prev->neighbours[slot];
    const int back = neighbour_index(cur, prev);
    if (!f(prev, slot, cur, back)) return;
    if (i + 2 >= list->point_count) return;
    isect_point* next = nullptr;
    int st = 0;
    sh6getother(cur, prev, &next, &st);
    if (!next) return;
    slot = neighbour_index(cur, next);
    prev = cur;
  }
}

void orient_list(isect_list* list) {
  int mask = 0;
  for_each_segment(list, [&](isect_point* p, int s, isect_point*, int) {
    mask = p->segment_masks[s];
    return mask == 0;
  });
  if (mask < 0) {
    isect_point* f = list->first;
    list->first = list->last;
    list->last = f;
    const int s = list->first_slot;
    list->first_slot = list->last_slot;
    list->last_slot = s;
  }
}

void set_list_words(const geom_object* o1, const geom_object* o2, int t, isect_list* list) {
  isect_point* f = list->first;
  isect_point* l = list->last;
  int* w[4] = {&list->word1, &list->word2, &list->word3, &list->word4};
  auto by_param = [&](int idx, int* lower_word, int* upper_word, bool first_pair) {
    // The end with the smaller parameter gives top_a (top_b), the other top_c (top_d);
    // on equal values the first point counts as the smaller.
    isect_point* lo = f;
    isect_point* hi = l;
    if (l->params[idx] < f->params[idx]) {
      lo = l;
      hi = f;
    }
    *lower_word = first_pair ? lo->top_a[0] : lo->top_b[0];
    *upper_word = first_pair ? hi->top_c[0] : hi->top_d[0];
  };
  if (t == 2) {
    list->word1 = 1;
    list->word2 = 2;
    list->word3 = 2;
    list->word4 = 1;
    const bool edge1 = f->edge_word1 && l->edge_word1;
    const bool edge2 = f->edge_word2 && l->edge_word2;
    if (!edge1 && !edge2) {
      for_each_segment(list, [](isect_point* p, int s, isect_point* q, int back) {
        int st = 0;
        sh6settop(p, s, 1, 2, 2, 1, &st);
        if (back >= 0) sh6settop(q, back, 1, 2, 2, 1, &st);
        return true;
      });
    } else {
      if (l->edge_word1 == 1) list->word2 = 4;
      if (l->edge_word1 == 2) list->word1 = 4;
      if (l->edge_word2 == 1) list->word4 = 4;
      if (l->edge_word2 == 2) list->word3 = 4;
    }
    return;
  }
  const int k1 = o1->kind, k2 = o2->kind;
  if ((k1 == 1 && k2 == 0) || (k1 == 0 && k2 == 1)) {
    list->word1 = f->top_a[0];
    list->word2 = l->top_c[0];
    list->word3 = f->top_b[0];
    list->word4 = l->top_d[0];
  } else if (k1 == 1 && k2 == 1) {
    by_param(0, &list->word1, &list->word2, true);
    by_param(1, &list->word3, &list->word4, false);
  } else if (k1 == 2 && k2 == 1 && dim_of(o1) == 3) {
    list->word1 = f->top_a[0];
    list->word2 = l->top_c[0];
    by_param(2, &list->word3, &list->word4, false);
  } else if (k1 == 1 && k2 == 2 && dim_of(o1) == 3) {
    by_param(0, &list->word1, &list->word2, true);
    list->word3 = f->top_b[0];
    list->word4 = l->top_d[0];
  } else {
    for (int* word : w) *word = 0;
  }
}

// Files a walked list with the data.  False, with the failure reported, where the walk
// gave no list (walk_status) or the list could not be stored (then it is destroyed).
bool keep_list(isect_data* d, isect_list* list, int walk_status, const Fail& fail) {
  if (!list) {
    fail(walk_status);
    return false;
  }
  if (!append_list(d, list)) {
    destroy_isect_list(list);
    fail(kErrMemory);
    return false;
  }
  return true;
}

}  // namespace

void sh6idlis(geom_object* object1, geom_object* object2, isect_data** data, int* status) {
  *status = 0;
  if (!data || !*data) return;
  Fail fail{status};
  isect_data* d = *data;

  // 1. Lists of an earlier call.
  for (int i = 0; i < d->list_count; ++i) destroy_isect_list(d->lists[i]);
  if (d->list_capacity > 0) memset(d->lists, 0, sizeof(isect_list*) * d->list_capacity);
  d->list_count = 0;

  // 2. Own top codes where the engine has a rule for the pair.
  int st = 0;
  isect_services().set_point_tops(object1, object2, d, &st);
  if (st < 0) {
    fail(st);
    return;
  }

  // 3. Codes of the help chains go to their main points.
  const int mode = ((object1->kind == kSurfaceObject && dim_of(object1) == 2) ||
                    (object2->kind == kSurfaceObject && dim_of(object2) == 2))
                       ? 1
                       : 0;
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* pt = d->points[i];
    if (!is_main_point(pt)) continue;
    int codes[4] = {0, 0, 0, 0};
    sh6gettop(pt, -1, &codes[0], &codes[1], &codes[2], &codes[3], &st);
    if (st < 0) {
      fail(st);
      return;
    }
    for (int s = 0; s < pt->neighbour_count; ++s) {
      sh6gettophlp(pt->neighbours[s], codes, mode, &st);
      if (st < 0) {
        fail(st);
        return;
      }
    }
    sh6settop(pt, -1, codes[0], codes[1], codes[2], codes[3], &st);
    if (st < 0) {
      fail(st);
      return;
    }
  }
  // Markers left by the help-chain walk above, or by earlier passes, would make the
  // splitting below cut a curve in two: start from clean markers for every problem type.
  for (int i = 0; i < d->point_count; ++i) d->points[i]->marker = 0;

  // 4. Problem type.
  const int t = problem_type(object1, object2);

  // 5. Straight stretches.
  st = thin_stretches(data, t);
  if (st < 0) {
    fail(st);
    return;
  }
  d = *data;
  if (!d) return;

  if (t == 2) {
    // 6. Inner points of constant-parameter runs are singular.
    for (int i = 0; i < d->point_count; ++i) {
      isect_point* pt = d->points[i];
      if (pt->kind != kOrdinaryPoint) continue;
      isect_point *a = nullptr, *b = nullptr;
      int code = 3;
      main_neighbours(pt, &a, &b, &code);
      if (code != 0) continue;
      int ma = 0, mb = 0;
      if (!masks_toward(pt, a, b, &ma, &mb)) {
        fail(kInconsistent);
        return;
      }
      if ((ma & kConstantBits) && (mb & kConstantBits)) pt->kind = kSingularPoint;
    }
    // 7. Through points on a boundary are marked for splitting; corners are singular.
    for (int i = 0; i < d->point_count; ++i) d->points[i]->marker = 0;
    for (int i = 0; i < d->point_count; ++i) {
      isect_point* pt = d->points[i];
      st = 0;
      if (pt->kind != kOrdinaryPoint || sh6nmbmain(pt, &st) != 2) continue;
      int cls = 0;
      edge_class(object1, object2, pt, &cls);
      if (cls < 0) {
        fail(cls);
        return;
      }
      if (cls >= 2) {
        pt->marker = 1;
        if (cls == 3 || cls == 4) pt->kind = kSingularPoint;
      }
    }
    // 8. Two corner points of kind 3 joined to each other.
    for (bool again = true; again;) {
      again = false;
      for (int i = 0; i < d->point_count && !again; ++i) {
        isect_point* pt = d->points[i];
        st = 0;
        if (pt->kind != kEdgePoint || sh6nmbmain(pt, &st) != 1) continue;
        int cls = 0;
        edge_class(object1, object2, pt, &cls);
        if (cls != 3 && cls != 4) continue;
        isect_point* m = nullptr;
        for (int s = 0; s < pt->neighbour_count; ++s)
          if (is_main_point(pt->neighbours[s])) m = pt->neighbours[s];
        if (!m || m->kind != kEdgePoint) continue;
        edge_class(object1, object2, m, &cls);
        if (cls == 3 || cls == 4) {
          m->kind = kSingularPoint;
          again = true;
        }
      }
    }
  }

  // 9. Split marked, singular and branch points.
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* pt = d->points[i];
    if (!is_main_point(pt)) continue;
    st = 0;
    const int mains = sh6nmbmain(pt, &st);
    if (st < 0) {
      fail(st);
      return;
    }
    if (pt->marker != 0 || (mains == 2 && pt->kind == kSingularPoint) || mains > 2) {
      if (pt->kind == kOrdinaryPoint && mains > 2) pt->kind = kSingularPoint;
      split_point(data, pt, &st);
      if (st < 0) {
        fail(st);
        return;
      }
      d = *data;
    }
  }

  // 10. Markers count the segments no list has taken yet.
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* pt = d->points[i];
    st = 0;
    pt->marker = is_main_point(pt) ? sh6nmbmain(pt, &st) : 0;
  }

  // 11. Open chains from end, singular and branch points.
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* pt = d->points[i];
    if (pt->marker <= 0) continue;
    st = 0;
    const int mains = sh6nmbmain(pt, &st);
    if (!(mains == 1 || (mains == 2 && pt->kind == kSingularPoint) || mains > 2)) continue;
    for (int s = 0; s < pt->neighbour_count; ++s) {
      isect_point* nb = pt->neighbours[s];
      if (!is_main_point(nb) || nb->marker == 0) continue;
      isect_list* list = walk_open_chain(pt, s, &st);
      if (!keep_list(d, list, st, fail)) return;
    }
  }

  // 12. Closed loops.
  for (int i = 0; i < d->point_count; ++i) {
    isect_point* pt = d->points[i];
    st = 0;
    if (pt->marker <= 0 || !is_main_point(pt) || sh6nmbmain(pt, &st) != 2) continue;
    isect_list* list = walk_loop(pt, &st);
    if (!keep_list(d, list, st, fail)) return;
  }

  // 13-14. Orientation and list words.
  for (int i = 0; i < d->list_count; ++i) {
    orient_list(d->lists[i]);
    set_list_words(object1, object2, t, d->lists[i]);
  }
  *status = 0;
}

#include "spline/detail/isect/isect_marks.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/detail/isect/isect_graph.h"
#include "spline/status.h"

namespace {

constexpr double kBoundaryTol = 1e-12;

// Slot index into the top arrays for sh6gettop/sh6settop, or -1.
int top_entry(const isect_point* point, int slot) {
  if (point->capacity <= 0 || !point->top_a) return -1;
  if (slot == -1 || (slot == 0 && point->neighbour_count == 0)) return 0;
  if (slot < 0 || slot >= point->neighbour_count) return -1;
  return slot;
}

}  // namespace

void sh6setdir(isect_point* from, isect_point* to, int* status) {
  int sf = -1, st_ = -1, st = 0;
  sh6getlist(from, to, &sf, &st_, &st);
  if (st != 0) {
    *status = st < 0 ? -2 : -1;
    error_report("sh6setdir", *status, 0);
    return;
  }
  from->segment_masks[sf] |= 1;
  to->segment_masks[st_] = -31 | from->segment_masks[sf];
  *status = 0;
}

void sh6setcnsdir(isect_point* p, isect_point* q, int parameter, int* status) {
  if (parameter < 0 || parameter > 3) {
    *status = -3;
    error_report("sh6setcnsdir", *status, 0);
    return;
  }
  int sp = -1, sq = -1, st = 0;
  sh6getlist(p, q, &sp, &sq, &st);
  if (st != 0) {
    *status = st < 0 ? -2 : -1;
    error_report("sh6setcnsdir", *status, 0);
    return;
  }
  const int bit = 1 << (parameter + 1);
  p->segment_masks[sp] |= bit;
  q->segment_masks[sq] |= bit;
  *status = 0;
}

void sh6gettop(const isect_point* point, int slot, int* a, int* c, int* b, int* d,
               int* status) {
  if (!point) {
    *status = -2;
    error_report("sh6gettop", *status, 0);
    return;
  }
  const int e = top_entry(point, slot);
  if (e < 0) {
    *status = -1;
    error_report("sh6gettop", *status, 0);
    return;
  }
  *a = point->top_a[e];
  *c = point->top_c[e];
  *b = point->top_b[e];
  *d = point->top_d[e];
  *status = 0;
}

void sh6settop(isect_point* point, int slot, int a, int c, int b, int d, int* status) {
  if (!point) {
    *status = -2;
    error_report("sh6settop", *status, 0);
    return;
  }
  const int e = top_entry(point, slot);
  if (e < 0) {
    *status = -1;
    error_report("sh6settop", *status, 0);
    return;
  }
  point->top_a[e] = a;
  point->top_c[e] = c;
  point->top_b[e] = b;
  point->top_d[e] = d;
  *status = 0;
}

void sh6gettophlp(isect_point* point, int codes[4], int mode, int* status) {
  if (!point) {
    *status = -2;
    error_report("sh6gettophlp", *status, 0);
    return;
  }
  *status = 0;
  std::vector<isect_point*> stack{point};
  while (!stack.empty()) {
    isect_point* pt = stack.back();
    stack.pop_back();
    if (!is_help_point(pt) || pt->marker != 0) continue;
    pt->marker = -10;
    int own[4] = {0, 0, 0, 0};
    if (pt->capacity > 0) {
      own[0] = pt->top_a[0];
      own[1] = pt->top_c[0];
      own[2] = pt->top_b[0];
      own[3] = pt->top_d[0];
    }
    for (int i = 0; i < 4; ++i) {
      if (mode != 0) {
        if (own[i] == 1) codes[i] = 1;
        else if (own[i] == 2 && codes[i] != 1) codes[i] = 2;
      } else if ((codes[i] == 0 || codes[i] == 3) && own[i] != 0 && own[i] != 3) {
        codes[i] = own[i];
      }
    }
    for (int s = pt->neighbour_count - 1; s >= 0; --s) stack.push_back(pt->neighbours[s]);
  }
}

void edge_class(const geom_object* object1, const geom_object* object2,
                const isect_point* point, int* cls) {
  if (!point) {
    *cls = -108;
    return;
  }
  double start[4], end[4];
  const int m = problem_param_box(object1, object2, start, end);
  if (m < 0 || m != point->param_count) {
    *cls = kErrDimensionMismatch;
    return;
  }
  unsigned bits = 0;
  for (int i = 0; i < m; ++i) {
    const double x = point->params[i];
    const bool above = x > end[i] + kBoundaryTol &&
                       std::fabs(x - end[i]) > 1e-12 * std::fmax(std::fabs(x), std::fabs(end[i]));
    const bool below =
        x < start[i] - kBoundaryTol &&
        std::fabs(x - start[i]) > 1e-12 * std::fmax(std::fabs(x), std::fabs(start[i]));
    if (above || below) {
      *cls = 0;
      return;
    }
    if (x >= end[i] - kBoundaryTol) bits |= 1u << (2 * i);
    if (x <= start[i] + kBoundaryTol) bits |= 1u << (2 * i + 1);
  }
  int c = bits ? 2 : 1;
  if (bits > 1) {
    if (object1->kind == kSurfaceObject && (bits & 0x3u) && (bits & 0xCu)) ++c;
    if (object2->kind == kSurfaceObject && (bits & (0x3u << (2 * m - 4))) && (bits & (0x3u << (2 * m - 2))))
      ++c;
  }
  // Bits 0-3 against bits 4-7: for two surfaces, a boundary of each.
  if (c == 2 && (bits & 0x0Fu) && (bits & 0xF0u)) c = 5;
  *cls = c;
}

void sh6comedg(const geom_object* object1, const geom_object* object2, isect_point* p,
               isect_point* q, int* result) {
  if (!p || !q) {
    *result = -108;
    error_report("sh6comedg", *result, 0);
    return;
  }
  double start[4], end[4];
  const int m = problem_param_box(object1, object2, start, end);
  if (m < 0 || p->param_count < m || q->param_count < m) {
    *result = kErrDimensionMismatch;
    error_report("sh6comedg", *result, 0);
    return;
  }
  const int n1 = 2 * object1->kind;
  const int n2 = 2 * object2->kind;
  unsigned e = ~0u;
  for (const isect_point* pt : {p, q}) {
    unsigned bits = 0;
    for (int i = 0; i < m; ++i) {
      const double x = pt->params[i];
      if (x > end[i] + kBoundaryTol || x < start[i] - kBoundaryTol) {
        *result = 0;
        return;
      }
      if (x >= end[i] - kBoundaryTol) bits |= 1u << (2 * i);
      if (x <= start[i] + kBoundaryTol) bits |= 1u << (2 * i + 1);
    }
    e &= bits;
  }
  *result = 0;
  if (e == 0) return;
  int sp = -1, sq = -1, st = 0;
  bool looked_up = false;
  auto connected = [&]() -> int {
    if (!looked_up) {
      sh6getlist(p, q, &sp, &sq, &st);
      looked_up = true;
    }
    return st;
  };
  if (n1 > 0 && (e & ((1u << n1) - 1u))) {
    if (connected() < 0) {
      *result = kErrDimensionMismatch;
      error_report("sh6comedg", *result, 0);
      return;
    }
    if (st == 0) {
      int mask = 0;
      if (e & 0x3u) mask |= 2;
      if (n1 > 2 && (e & 0xCu)) mask |= 4;
      if (p->segment_masks[sp] & mask) *result += 1;
    }
  }
  if (n2 > 0 && (e & (((1u << n2) - 1u) << n1))) {
    if (connected() < 0) {
      *result = kErrDimensionMismatch;
      error_report("sh6comedg", *result, 0);
      return;
    }
    if (st == 0) {
      const int first = n1 / 2;  // index of the second object's first parameter
      int mask = 0;
      if (e & (0x3u << n1)) mask |= 1 << (first + 1);
      if (n2 > 2 && (e & (0x3u << (n1 + 2)))) mask |= 1 << (first + 2);
      if (p->segment_masks[sp] & mask) *result += 2;
    }
  }
}

void sh6edgpoint(edge_table* tables[2], isect_point*** points, int* count, int* status) {
  *points = nullptr;
  *count = 0;
  *status = 0;
  int n = 0;
  for (int t = 0; t < 2; ++t)
    if (tables[t]) n += tables[t]->point_count;
  if (n <= 0) return;
  auto* arr = static_cast<isect_point**>(malloc(sizeof(isect_point*) * n));
  if (!arr) {
    *status = kErrMemory;
    error_report("sh6edgpoint", *status, 0);
    return;
  }
  int used = 0;
  auto held = [&](const isect_point* pt) {
    for (int i = 0; i < used; ++i)
      if (arr[i] == pt) return true;
    return false;
  };
  for (int t = 0; t < 2; ++t) {
    if (!tables[t]) continue;
    for (int e = 0; e < tables[t]->edge_count; ++e)
      for (edge_node* node = tables[t]->heads[e]; node; node = node->next)
        if (used < n && node->point && !held(node->point)) arr[used++] = node->point;
  }
  for (int i = 0; i < used;) {
    isect_point* m = is_help_point(arr[i]) ? sh6getmain(arr[i]) : nullptr;
    if (m && held(m)) {
      arr[i] = arr[used - 1];
      --used;
      continue;
    }
    ++i;
  }
  if (used == 0) {
    free(arr);
    return;
  }
  *points = arr;
  *count = used;
}

void collect_edge_group(isect_point* point, isect_point*** array, int* count, int* capacity) {
  const bool outermost = *capacity == 0;
  const int first_new = *count;
  // Depth-first in the order a recursive walk takes: a point is appended when entered,
  // then its neighbours are entered in slot order.
  struct Frame {
    isect_point* point;
    int next_slot;
  };
  std::vector<Frame> stack;
  auto enter = [&](isect_point* pt) -> bool {
    if (!pt || pt->kind != kEdgePoint || pt->marker == -90) return false;
    if (*count == *capacity) {
      const int cap = *capacity + 20;
      auto* grown = static_cast<isect_point**>(realloc(*array, sizeof(isect_point*) * cap));
      if (!grown) return false;
      *array = grown;
      *capacity = cap;
    }
    pt->marker = -90;
    (*array)[(*count)++] = pt;
    stack.push_back({pt, 0});
    return true;
  };
  enter(point);
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next_slot >= f.point->neighbour_count) {
      stack.pop_back();
      continue;
    }
    isect_point* nb = f.point->neighbours[f.next_slot++];
    enter(nb);
  }
  if (outermost)
    for (int i = first_new; i < *count; ++i) (*array)[i]->marker = 0;
}

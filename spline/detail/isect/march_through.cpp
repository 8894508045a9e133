// Marching through an intersection point and pairing edge points by marching.

#include "spline/detail/isect/march_through.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "spline/handles.h"
#include "spline/detail/isect/box_tests.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/march.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"

namespace {


double range_start(const double* knots, int order) { return knots[order - 1]; }
double range_end(const double* knots, int vertex_count) { return knots[vertex_count]; }

// Start and end of each parameter direction of a surface, appended to lo and hi.
void surface_ranges(const spline_surface* s, std::vector<double>& lo, std::vector<double>& hi) {
  lo.push_back(range_start(s->knots1, s->order1));
  hi.push_back(range_end(s->knots1, s->vertex_count1));
  lo.push_back(range_start(s->knots2, s->order2));
  hi.push_back(range_end(s->knots2, s->vertex_count2));
}

// Largest of the first `entries` extents of a surface's slot-0 box.
double slot0_extent(const spline_surface* s, int entries) {
  const param_box* box = s->box;
  if (!box || !box->slot_high[0] || !box->slot_low[0]) return 0.0;
  const int m = box->slot_count[0] < entries ? box->slot_count[0] : entries;
  double e = 0.0;
  for (int j = 0; j < m; ++j) e = std::fmax(e, box->slot_high[0][j] - box->slot_low[0][j]);
  return e;
}

// First and last vertex of a parameter curve (dimension 2).
void curve_ends(const spline_curve* c, double* first, double* last) {
  const int n = c->vertex_count;
  first[0] = c->coefs[0];
  first[1] = c->coefs[1];
  last[0] = c->coefs[2 * (n - 1)];
  last[1] = c->coefs[2 * (n - 1) + 1];
}

// The comparisons that classify a marched piece.
struct piece_rules {
  int npar;
  const double* lo;
  const double* hi;
  // Per parameter offset of the comparisons; null compares without offset (the bound
  // tests then exactly).
  const double* offset;

  bool equal(double a, double b, int j) const {
    return offset ? dequal_off(a, b, offset[j]) : dequal(a, b);
  }
  bool on_bound(const double* p) const {
    for (int j = 0; j < npar; ++j) {
      if (offset) {
        if (equal(p[j], lo[j], j) || equal(p[j], hi[j], j)) return true;
      } else if (p[j] == lo[j] || p[j] == hi[j]) {
        return true;
      }
    }
    return false;
  }
  bool same_point(const double* a, const double* b) const {
    for (int j = 0; j < npar; ++j)
      if (!equal(a[j], b[j], j)) return false;
    return true;
  }
};

void copy_params(const double* from, int n, double* to) {
  for (int j = 0; j < n; ++j) to[j] = from[j];
}

// Status of the piece from ps to pe marched through the given point, with its ordered
// ends written to start and end.
int classify_piece(const piece_rules& r, const double* given, const double* ps,
                   const double* pe, double* start, double* end) {
  const int n = r.npar;
  const bool sb = r.on_bound(ps), eb = r.on_bound(pe);
  bool cl = true;
  for (int j = 0; j < n; ++j) cl = cl && ps[j] == pe[j];
  const bool gs = r.same_point(given, ps), ge = r.same_point(given, pe);
  auto from_given = [&](int status) {
    copy_params(gs ? ps : pe, n, start);
    copy_params(gs ? pe : ps, n, end);
    return status;
  };
  auto ordered = [&](const double* a, const double* b, int status) {
    copy_params(a, n, start);
    copy_params(b, n, end);
    return status;
  };
  if (gs || ge) {
    if (sb && eb && !cl) return from_given(11);
    if (!sb && cl && gs) return ordered(ps, ps, 16);
    if (!sb && cl) return ordered(given, ps, 17);
    if (!sb && !eb && !cl) return from_given(14);
    if ((sb && gs) || (eb && ge)) return from_given(12);
    return from_given(13);  // the boundary end is the other one
  }
  if (sb && eb && !cl) return ordered(ps, pe, 21);
  if (!sb && eb && !cl) return ordered(pe, ps, 22);
  if (cl) return ordered(given, ps, 27);
  if (!sb && !eb) return ordered(ps, pe, 24);
  return ordered(ps, pe, 22);
}

// No piece: both ends are the given point.
void no_piece(const double* given, int n, double* start, double* end, int* status) {
  copy_params(given, n, start);
  copy_params(given, n, end);
  *status = 0;
}

// Greville abscissa of vertex i.
double greville(const double* knots, int order, int i) {
  if (order < 2) return knots[i];
  double s = 0.0;
  for (int m = i + 1; m < i + order; ++m) s += knots[m];
  return s / (order - 1);
}

// March from one point: its status (as s1787/s1788) and the piece's ordered ends.
using march_fn = void (*)(const void* problem, const double* point, double* start, double* end,
                          int* status);

struct surface_pair {
  const spline_surface* a;
  const spline_surface* b;
};
struct level_problem {
  const spline_surface* surface;
  double level;
};

void march_pair(const void* problem, const double* p, double* start, double* end, int* st) {
  const auto* q = static_cast<const surface_pair*>(problem);
  s1788(q->a, q->b, 1.0, p, start, end, st);
}
void march_level(const void* problem, const double* p, double* start, double* end, int* st) {
  const auto* q = static_cast<const level_problem*>(problem);
  s1787(q->surface, q->level, 1.0, p, start, end, st);
}

// Pairing of edge points shared by s9surmarch and s9conmarch.
void pair_by_marching(const void* problem, march_fn march, int npar, const double* lo,
                      const double* hi, const double* params, const int* marks, int count,
                      double** points, int** links, int* total, const char* name, int* status) {
  *status = 0;
  *points = nullptr;
  *links = nullptr;
  *total = 0;
  if (count < 1) return;
  double scale[4];
  double width[4];
  for (int j = 0; j < npar; ++j) {
    scale[j] = 2.0 * std::fmax(std::fabs(lo[j]), std::fabs(hi[j]));
    width[j] = hi[j] - lo[j] > 0.0 ? hi[j] - lo[j] : 1.0;
  }
  double* pts = static_cast<double*>(std::malloc(sizeof(double) * npar * count));
  int* lnk = static_cast<int*>(std::calloc(static_cast<size_t>(count), sizeof(int)));
  if (!pts || !lnk) {
    std::free(pts);
    std::free(lnk);
    *status = kErrMemory;
    error_report(name, *status, 0);
    return;
  }
  copy_params(params, npar * count, pts);
  *points = pts;
  *links = lnk;
  *total = count;

  auto same = [&](const double* p, const double* q) {
    for (int j = 0; j < npar; ++j)
      if (!dequal_off(p[j], q[j], scale[j])) return false;
    return true;
  };
  auto spread = [&](const double* p, const double* q) {
    double s = 0.0;
    for (int j = 0; j < npar; ++j) s += std::fabs(p[j] - q[j]) / width[j];
    return s;
  };

  bool ended = false;
  for (int i = 0; i + 1 < count && !ended; ++i) {
    if (lnk[i] != 0 || marks[i] == 0) continue;
    const double* p = pts + npar * i;
    double start[4], end[4];
    int st = 0;
    march(problem, p, start, end, &st);
    if (st < 0) {
      std::free(pts);
      std::free(lnk);
      *points = nullptr;
      *links = nullptr;
      *total = 0;
      *status = st;
      error_report(name, st, 0);
      return;
    }
    if (st == 0) {
      ended = true;
      break;
    }
    // The other end of the piece: the end lying away from the point (a march started
    // on an edge may move its start a little, so the order of the ends alone does not
    // tell which one is the point itself).
    const double* other = spread(p, start) > spread(p, end) ? start : end;
    int partner = -1;
    for (int j = i + 1; j < count && partner < 0; ++j)
      if (lnk[j] == 0 && same(other, pts + npar * j)) partner = j;
    if (partner < 0) {
      ended = true;
      break;
    }
    lnk[i] = partner + 1;
    lnk[partner] = i + 1;
  }
  if (!ended)
    for (int i = 0; i < count; ++i)
      if (lnk[i] == 0) ended = true;
  *status = ended ? (marks[0] == 2 ? 2 : 0) : 1;
}

}  // namespace

void s1788(const spline_surface* surface1, const spline_surface* surface2, double aepsge,
           const double point[4], double start[4], double end[4], int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1788", code, 0);
  };
  *status = 0;
  if (surface1->dim != 3 || surface2->dim != 3) return fail(kErrDimensionNotAccepted);
  std::vector<double> lo, hi;
  surface_ranges(surface1, lo, hi);
  surface_ranges(surface2, lo, hi);
  int st = 0;
  surface_box(const_cast<spline_surface*>(surface1), 0, aepsge, &st);
  if (st < 0) return fail(st);
  surface_box(const_cast<spline_surface*>(surface2), 0, aepsge, &st);
  if (st < 0) return fail(st);
  const double extent = std::fmax(slot0_extent(surface1, 3), slot0_extent(surface2, 3));
  if (!(extent > 0.0)) return no_piece(point, 4, start, end, status);

  double* p1 = static_cast<double*>(std::malloc(2 * sizeof(double)));
  double* p2 = static_cast<double*>(std::malloc(2 * sizeof(double)));
  if (!p1 || !p2) {
    std::free(p1);
    std::free(p2);
    return fail(kErrMemory);
  }
  p1[0] = point[0], p1[1] = point[1];
  p2[0] = point[2], p2[1] = point[3];
  IsectCurveHandle piece(create_isect_curve(1, 2, 2, p1, p2, 0));
  if (!piece) {
    std::free(p1);
    std::free(p2);
    return fail(kErrMemory);
  }
  s1310(surface1, surface2, piece.get(), 0.01 * extent, 0.0, 2, 0, &st);
  // A march cut short by its point budget has no true ends: no piece either.
  if (st == -185 || st == kMarchBudgetSpent || (st >= 0 && (!piece->pcurve1 || !piece->pcurve2)))
    return no_piece(point, 4, start, end, status);
  if (st < 0) return fail(st);

  double ps[4], pe[4];
  curve_ends(piece->pcurve1, ps, pe);
  curve_ends(piece->pcurve2, ps + 2, pe + 2);
  const piece_rules rules{4, lo.data(), hi.data(), nullptr};
  *status = classify_piece(rules, point, ps, pe, start, end);
}

void s1787(const spline_surface* surface, double level, double aepsge, const double point[2],
           double start[2], double end[2], int* status) {
  auto fail = [&](int code) {
    *status = code;
    error_report("s1787", code, 0);
  };
  *status = 0;
  if (surface->dim != 1) return fail(kErrDimensionNotAccepted);
  std::vector<double> lo, hi;
  surface_ranges(surface, lo, hi);
  int st = 0;
  surface_box(const_cast<spline_surface*>(surface), 0, aepsge, &st);
  if (st < 0) return fail(st);
  const double extent = slot0_extent(surface, 1);
  // A constant surface has no level curve to march (its graph would be flat).
  if (!(extent > 0.0) || !(hi[0] > lo[0]) || !(hi[1] > lo[1]))
    return no_piece(point, 2, start, end, status);

  // The graph of the surface with its parameter plane scaled to the size of its value
  // range.  A rational surface keeps its weights, so that the graph's height is the
  // surface's own value and the level curve is exactly the surface's.
  const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
  const int k1 = surface->order1, k2 = surface->order2;
  const bool rational = is_rational_kind(surface->kind) && surface->hom_coefs;
  const int width = rational ? 4 : 3;
  std::vector<double> verts(static_cast<size_t>(n1) * n2 * width);
  for (int j = 0; j < n2; ++j) {
    const double y = (greville(surface->knots2, k2, j) - lo[1]) * extent / (hi[1] - lo[1]);
    for (int i = 0; i < n1; ++i) {
      const double x = (greville(surface->knots1, k1, i) - lo[0]) * extent / (hi[0] - lo[0]);
      const int v = j * n1 + i;
      double* out = verts.data() + static_cast<size_t>(v) * width;
      if (rational) {
        const double w = surface->hom_coefs[2 * v + 1];
        out[0] = w * x, out[1] = w * y, out[2] = surface->hom_coefs[2 * v], out[3] = w;
      } else {
        out[0] = x, out[1] = y, out[2] = surface->coefs[v];
      }
    }
  }
  SurfaceHandle graph(create_surface(n1, n2, k1, k2, surface->knots1, surface->knots2,
                                     verts.data(), rational ? 2 : 1, 3, 1));
  if (!graph) return fail(kErrMemory);

  double* p = static_cast<double*>(std::malloc(2 * sizeof(double)));
  if (!p) return fail(kErrMemory);
  p[0] = point[0], p[1] = point[1];
  IsectCurveHandle piece(create_isect_curve(1, 2, 0, p, nullptr, 0));
  if (!piece) {
    std::free(p);
    return fail(kErrMemory);
  }
  const double plane[4] = {0.0, 0.0, 1.0, -level};
  s1313(graph.get(), plane, 1, 1e-15, 0.01 * extent, extent, piece.get(), 2, 0, &st);
  // -185 no piece of two points; 3 a singular start or a march that turned back (no
  // curve); the point budget leaves no true ends.
  if (st == -185 || st == 3 || st == kMarchBudgetSpent || (st >= 0 && !piece->pcurve1))
    return no_piece(point, 2, start, end, status);
  if (st < 0) return fail(st);

  double ps[2], pe[2];
  curve_ends(piece->pcurve1, ps, pe);
  double offset[2];
  for (int j = 0; j < 2; ++j) offset[j] = 2.0 * std::fmax(std::fabs(lo[j]), std::fabs(hi[j]));
  const piece_rules rules{2, lo.data(), hi.data(), offset};
  *status = classify_piece(rules, point, ps, pe, start, end);
}

void s9surmarch(const spline_surface* a, const spline_surface* b, const double* params,
                const int* marks, int count, double** points, int** links, int* total,
                int* status) {
  std::vector<double> lo, hi;
  surface_ranges(a, lo, hi);
  surface_ranges(b, lo, hi);
  const surface_pair problem{a, b};
  pair_by_marching(&problem, march_pair, 4, lo.data(), hi.data(), params, marks, count, points,
                   links, total, "s9surmarch", status);
}

void s9conmarch(const spline_surface* surface, double level, const double* params,
                const int* marks, int count, double** points, int** links, int* total,
                int* status) {
  std::vector<double> lo, hi;
  surface_ranges(surface, lo, hi);
  const level_problem problem{surface, level};
  pair_by_marching(&problem, march_level, 2, lo.data(), hi.data(), params, marks, count, points,
                   links, total, "s9conmarch", status);
}

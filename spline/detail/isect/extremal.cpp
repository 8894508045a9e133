#include "spline/detail/isect/extremal.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "spline/curve_eval.h"
#include "spline/detail/isect/chain_lists.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/newton.h"
#include "spline/isocurve.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/split.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

struct object_view {
  const double* coefs = nullptr;
  int n1 = 1, n2 = 1;
  int dim = 0;
  param_box** box = nullptr;
};

object_view view_of(geom_object* o) {
  object_view v;
  if (o->kind == kPointObject && o->point) {
    v.coefs = o->point->coords;
    v.dim = o->point->dim;
    v.box = &o->point->box;
  } else if (o->kind == kCurveObject && o->curve) {
    v.coefs = o->curve->coefs;
    v.n1 = o->curve->vertex_count;
    v.dim = o->curve->dim;
    v.box = &o->curve->box;
  } else if (o->kind == kSurfaceObject && o->surface) {
    v.coefs = o->surface->coefs;
    v.n1 = o->surface->vertex_count1;
    v.n2 = o->surface->vertex_count2;
    v.dim = o->surface->dim;
    v.box = &o->surface->box;
  }
  return v;
}

double greville(const double* knots, int order, int j) {
  if (order < 2) return knots[j];
  double s = 0.0;
  for (int i = j + 1; i <= j + order - 1; ++i) s += knots[i];
  return s / (order - 1);
}

bool differs(double a, double b) { return !dequal(a, b); }

geom_object* wrap_curve(spline_curve* c, geom_object* origin) {
  geom_object* o = create_geom_object(kCurveObject);
  if (!o) {
    destroy_curve(c);
    return nullptr;
  }
  o->curve = c;
  o->origin = origin;
  return o;
}

geom_object* wrap_surface(spline_surface* s, geom_object* origin) {
  geom_object* o = create_geom_object(kSurfaceObject);
  if (!o) {
    destroy_surface(s);
    return nullptr;
  }
  o->surface = s;
  o->origin = origin;
  return o;
}

void discard(isect_data** data) {
  destroy_isect_data(*data);
  *data = nullptr;
}

// Tests one value found at the given parameters against the running value (as a point
// object) and collects the point for results 1 and 2 (2 discards the earlier points).
int test_value(double value, const double* params, int npar, double* running, double aepsge,
               isect_data** data, int* status) {
  *status = 0;
  geom_object* po = create_geom_object(kPointObject);
  spline_point* pt = po ? create_point(&value, 1, 1) : nullptr;
  if (!pt) {
    destroy_geom_object(po);
    *status = kErrMemory;
    return 0;
  }
  po->point = pt;
  isect_data* temp = nullptr;
  int r = 0;
  s1161(po, running, aepsge, &temp, &r);
  destroy_isect_data(temp);
  destroy_geom_object(po);
  if (r < 0) {
    *status = r;
    return 0;
  }
  if (r == 2) discard(data);
  if (r >= 1) {
    isect_point* p = create_isect_point(npar, params, value);
    if (!p) {
      *status = kErrMemory;
      return 0;
    }
    int st = 0;
    s6idnpt(data, &p, 1, &st);
    if (st < 0) {
      destroy_isect_point(p);
      *status = st;
      return 0;
    }
  }
  return r;
}

// Searches a constant-parameter line (taken over) and lifts its points into the data
// with value inserted at position; the line's own data is handed back in *found when
// asked for, else freed.
int search_line(spline_curve* line, int position, double value, double* running,
                double aepsge, isect_data** data, isect_data** found, int* status) {
  *status = 0;
  if (found) *found = nullptr;
  geom_object* lo = wrap_curve(line, nullptr);
  if (!lo) {
    *status = kErrMemory;
    return 0;
  }
  isect_data* temp = nullptr;
  int r = 0;
  s1161(lo, running, aepsge, &temp, &r);
  destroy_geom_object(lo);
  if (r < 0) {
    destroy_isect_data(temp);
    *status = r;
    return 0;
  }
  if (r == 2) discard(data);
  if (r >= 1) {
    int st = 0;
    s6idput(data, temp, position, value, &st);
    if (st < 0) {
      destroy_isect_data(temp);
      *status = st;
      return 0;
    }
  }
  if (found)
    *found = temp;
  else
    destroy_isect_data(temp);
  return r;
}

// The distinct points of all edge lists, in list order, at most `limit` + 1 of them.
std::vector<isect_point*> edge_points(const edge_table* t, size_t limit) {
  std::vector<isect_point*> pts;
  if (!t) return pts;
  for (int e = 0; e < t->edge_count; ++e)
    for (edge_node* n = t->heads[e]; n; n = n->next)
      if (std::find(pts.begin(), pts.end(), n->point) == pts.end()) {
        pts.push_back(n->point);
        if (pts.size() > limit) return pts;
      }
  return pts;
}

// Parameter rectangle of a curve (one interval) or surface (two).
void piece_range(const geom_object* o, double* lo, double* hi) {
  if (o->kind == kCurveObject) {
    lo[0] = o->curve->knots[o->curve->order - 1];
    hi[0] = o->curve->knots[o->curve->vertex_count];
  } else if (o->kind == kSurfaceObject) {
    const spline_surface* s = o->surface;
    lo[0] = s->knots1[s->order1 - 1];
    hi[0] = s->knots1[s->vertex_count1];
    lo[1] = s->knots2[s->order2 - 1];
    hi[1] = s->knots2[s->vertex_count2];
  }
}

bool single_patch(const geom_object* o) {
  if (o->kind == kCurveObject) return o->curve->order == o->curve->vertex_count;
  if (o->kind == kSurfaceObject)
    return o->surface->order1 == o->surface->vertex_count1 &&
           o->surface->order2 == o->surface->vertex_count2;
  return false;
}

// Row scan of the shape test.
struct row_scan {
  bool simple = true;
  bool max_type = true;
  bool min_type = true;
};

row_scan scan_row(const double* c, int count, int stride, bool patch) {
  row_scan r;
  int start = 0, last = 0, changes = 0;
  for (int i = 0; i + 1 < count; ++i) {
    const double d = c[(i + 1) * stride] - c[i * stride];
    if (d == 0.0) {
      if (!patch) r.simple = false;
      continue;
    }
    const int s = d > 0.0 ? 1 : -1;
    if (start == 0)
      start = s;
    else if (s != last)
      ++changes;
    last = s;
  }
  if (changes >= 2) r.simple = false;
  if (patch) {
    r.max_type = changes == 0 || start >= 0;
    r.min_type = changes == 0 || start <= 0;
  } else {
    r.max_type = false;
    r.min_type = start < 0;
  }
  return r;
}

// First interior knot of full multiplicity k (its first index, from k on).
int discontinuity_knot(const double* t, int k, int n) {
  for (int i = k; i <= n - 1; ++i)
    if (t[i] == t[i + k - 1]) return i;
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------

int interval_halvable(const double* knots, int order, int count) {
  const double a = knots[order - 1], b = knots[count];
  const double m = (a + b) / 2.0;
  auto apart = [](double x, double y) {
    return std::fabs(x - y) > 1e-12 * std::fmax(std::fabs(x), std::fabs(y));
  };
  return apart(m, a) && apart(m, b) ? 1 : 0;
}

double subdivision_value(const double* t, int k, int n) {
  const double a = t[k - 1], b = t[n];
  if (k < n) {
    const double x = t[(k + n) / 2];
    // A knot on either end would give an empty piece.
    if (!dequal(x, a) && !dequal(x, b)) return x;
  }
  return (a + b) / 2.0;
}

void extremal_value_box(const double* c, int n1, int n2, double aepsge, double* greatest,
                        double* least, int* index_greatest, int* index_least) {
  const int total = n1 * n2;
  std::vector<int> corners;
  if (n1 != 1)
    corners = {0, n1 - 1, n1 * (n2 - 1), n1 * n2 - 1};
  else if (n2 != 1)
    corners = {0, n1 * n2 - 1};
  if (corners.empty()) {
    *greatest = *least = c[0];
    *index_greatest = *index_least = 0;
    return;
  }
  double cmax = c[corners[0]], cmin = c[corners[0]];
  int imax = corners[0], imin = corners[0];
  for (int idx : corners) {
    if (c[idx] > cmax) cmax = c[idx], imax = idx;
    if (c[idx] < cmin) cmin = c[idx], imin = idx;
  }
  double g = cmax - 1000.0, l = cmin + 1000.0;
  int ig = -1, il = -1;
  for (int i = 0; i < total; ++i) {
    if (std::find(corners.begin(), corners.end(), i) != corners.end()) continue;
    if (c[i] > g) g = c[i], ig = i;
    if (c[i] < l) l = c[i], il = i;
  }
  if (g + aepsge < cmax) g = cmax, ig = imax;
  if (l - aepsge > cmin) l = cmin, il = imin;
  *greatest = g;
  *least = l;
  *index_greatest = ig;
  *index_least = il;
}

void s1192(geom_object* o, double aepsge, int* status) {
  *status = 0;
  object_view v = view_of(o);
  if (!v.box) {
    *status = kErrKind;
    error_report("s1192", *status, 0);
    return;
  }
  if (v.dim != 1) {
    *status = kErrDimensionNotAccepted;
    error_report("s1192", *status, 0);
    return;
  }
  if (*v.box) return;
  param_box* box = create_param_box(1);
  if (!box) {
    *status = kErrMemory;
    error_report("s1192", *status, 0);
    return;
  }
  extremal_value_box(v.coefs, v.n1, v.n2, aepsge, &box->ext_values1[0], &box->ext_values2[0],
                     &box->ext_index2, &box->ext_index1);
  *v.box = box;
}

void s1190(geom_object* o, double* running, double aepsge, int* status) {
  *status = 0;
  if (o->kind < 0 || o->kind > 2) {
    *status = kErrKind;
    error_report("s1190", *status, 0);
    return;
  }
  object_view v = view_of(o);
  if (!v.box || v.dim != 1) {
    *status = v.box ? kErrDimensionNotAccepted : kErrKind;
    error_report("s1190", *status, 0);
    return;
  }
  int st = 0;
  s1192(o, aepsge, &st);
  if (st < 0) {
    *status = st;
    error_report("s1190", st, 0);
    return;
  }
  const double g = (*v.box)->ext_values1[0];
  const double l = (*v.box)->ext_values2[0];
  if (*running - g > aepsge) {
    *status = 1;
    return;
  }
  if (g - l < aepsge) {
    *status = 2;
    return;
  }
  std::vector<int> corners;
  if (o->kind == kCurveObject)
    corners = {0, v.n1 - 1};
  else if (o->kind == kSurfaceObject)
    corners = {0, v.n1 - 1, v.n1 * (v.n2 - 1), v.n1 * v.n2 - 1};
  for (int idx : corners)
    if (std::fabs(v.coefs[idx] - g) < aepsge) {
      *status = 3;
      return;
    }
}

void extremal_shape_test(const double* c, const double* t1, const double* t2, int k1, int n1,
                         int k2, int n2, int* shape, int* knot_index1, int* knot_index2,
                         int* status) {
  *status = 0;
  *knot_index1 = discontinuity_knot(t1, k1, n1);
  *knot_index2 = n2 >= 2 ? discontinuity_knot(t2, k2, n2) : 0;
  bool simple = *knot_index1 == 0 && *knot_index2 == 0;
  const bool patch = k1 == n1 && k2 == n2;
  bool rows_max = true, rows_min = true, cols_max = true, cols_min = true;
  for (int j = 0; j < n2 && simple; ++j) {
    const row_scan r = scan_row(c + j * n1, n1, 1, patch);
    simple = r.simple;
    rows_max = rows_max && r.max_type;
    rows_min = rows_min && r.min_type;
  }
  if (simple && !rows_max && !rows_min) simple = false;
  if (n2 >= 2) {
    for (int i = 0; i < n1 && simple; ++i) {
      const row_scan r = scan_row(c + i, n2, n1, patch);
      simple = r.simple;
      cols_max = cols_max && r.max_type;
      cols_min = cols_min && r.min_type;
    }
    if (simple && !cols_max && !cols_min) simple = false;
  }
  if (!simple)
    *shape = 2;
  else if (rows_max && cols_max)
    *shape = 1;
  else
    *shape = 0;
}

void s1162_s9num(geom_object* o, int* split_kind, int* status) {
  *status = 0;
  if (o->kind == kPointObject) {
    *split_kind = 0;
  } else if (o->kind == kCurveObject) {
    *split_kind = interval_halvable(o->curve->knots, o->curve->order, o->curve->vertex_count);
  } else if (o->kind == kSurfaceObject) {
    const spline_surface* s = o->surface;
    *split_kind = interval_halvable(s->knots1, s->order1, s->vertex_count1) +
                  2 * interval_halvable(s->knots2, s->order2, s->vertex_count2);
  } else {
    *status = kErrKind;
    error_report("s1162_s9num", *status, 0);
  }
}

void s1162_s9mic(geom_object* o, geom_object* /*other*/, isect_data** data, edge_table* edges,
                 int* status) {
  *status = 0;
  std::vector<isect_point*> pts;
  if (edges)
    for (int e = 0; e < edges->edge_count; ++e)
      for (edge_node* n = edges->heads[e]; n; n = n->next) pts.push_back(n->point);
  int st = 0;
  if (pts.empty()) {
    double lo[2] = {0, 0}, hi[2] = {0, 0}, mid[2];
    piece_range(o, lo, hi);
    const int np = o->kind;
    for (int i = 0; i < np; ++i) mid[i] = (lo[i] + hi[i]) / 2.0;
    isect_point* p = create_isect_point(np, mid, 0.0);
    if (!p) {
      *status = kErrMemory;
      error_report("s1162_s9mic", *status, 0);
      return;
    }
    s6idnpt(data, &p, 1, &st);
    if (st < 0) {
      destroy_isect_point(p);
      *status = st;
      error_report("s1162_s9mic", st, 0);
      return;
    }
    *status = 1;
    return;
  }
  for (size_t i = 0; i + 1 < pts.size(); ++i) {
    isect_point* a = pts[i];
    isect_point* b = pts[i + 1];
    s6idcon(data, &a, &b, &st);
    if (st < 0) {
      *status = st;
      error_report("s1162_s9mic", st, 0);
      return;
    }
  }
}

void s1162_s9con(geom_object* o, double* running, double aepsge, isect_data** data,
                 edge_table* edges, int* repeat_count, int* edge_point_count, int* status) {
  *status = 0;
  if (o->kind != kSurfaceObject || !single_patch(o)) {
    *repeat_count = 0;
    *edge_point_count = 0;
    return;
  }
  const std::vector<isect_point*> pts = edge_points(edges, 10);
  const int count = static_cast<int>(pts.size());
  if (count > 10) {
    *repeat_count = 0;
    *edge_point_count = 10;
    return;
  }
  if (count == 0) {
    *repeat_count = 0;
    *edge_point_count = 0;
    return;
  }
  const int incoming = *edge_point_count;
  *edge_point_count = count;
  if (*repeat_count == 0 || count != incoming) {
    *status = 1;
    *repeat_count = 1;
    return;
  }
  if (*repeat_count == 1) {
    *status = 1;
    *repeat_count = 2;
    return;
  }
  if (count == 1) {
    *status = 3;
    ++*repeat_count;
    return;
  }
  int st = 0;
  double der[3], normal[3];
  int l1 = 0, l2 = 0;
  for (int i = 0; i < count; ++i)
    for (int j = i + 1; j < count; ++j) {
      const double mid[2] = {(pts[i]->params[0] + pts[j]->params[0]) / 2.0,
                             (pts[i]->params[1] + pts[j]->params[1]) / 2.0};
      s1421(o->surface, 0, mid, &l1, &l2, der, normal, &st);
      if (st < 0) {
        *status = st;
        error_report("s1162_s9con", st, 0);
        return;
      }
      if (std::fabs(der[0] - *running) < aepsge) {
        isect_point* a = pts[i];
        isect_point* b = pts[j];
        s6idcon(data, &a, &b, &st);
        if (st < 0) {
          *status = st;
          error_report("s1162_s9con", st, 0);
          return;
        }
      }
    }
  *status = 2;
}

void s1162_s9update(geom_object* o, double* running, double aepsge, isect_data** data,
                    edge_table* edges, int* status) {
  *status = 0;
  int st = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1162_s9update", code, 0);
  };
  geom_object* top = o->origin ? o->origin : o;
  if (s1192(o, aepsge, &st), st < 0) return fail(st);
  const param_box* box = o->kind == kCurveObject ? o->curve->box : o->surface->box;
  const int jmax = box->ext_index2;
  if (o->kind == kCurveObject) {
    const spline_curve* c = o->curve;
    const double a = c->knots[c->order - 1], b = c->knots[c->vertex_count];
    double par = greville(c->knots, c->order, std::max(jmax, 0));
    S1252(c, aepsge, par, &par, &st);
    if (st < 0) return fail(st);
    if (!differs(par, a) || !differs(par, b)) return;
    double value[1];
    int left = 0;
    s1221(top->curve, 0, par, &left, value, &st);
    if (st < 0) return fail(st);
    const int r = test_value(value[0], &par, 1, running, aepsge, data, &st);
    if (st < 0) return fail(st);
    *status = std::max(*status, r);
    return;
  }
  if (o->kind != kSurfaceObject) return fail(kErrKind);
  const spline_surface* s = o->surface;
  double lo[2], hi[2];
  piece_range(o, lo, hi);

  const std::vector<isect_point*> pts = edge_points(edges, 3);
  if (pts.size() == 2) {
    const double* p = pts[0]->params;
    const double* q = pts[1]->params;
    const bool common = (dequal(p[0], lo[0]) && dequal(q[0], lo[0])) ||
                        (dequal(p[0], hi[0]) && dequal(q[0], hi[0])) ||
                        (dequal(p[1], lo[1]) && dequal(q[1], lo[1])) ||
                        (dequal(p[1], hi[1]) && dequal(q[1], hi[1]));
    if (!common) {
      const bool along_v = std::fabs(q[1] - p[1]) > std::fabs(q[0] - p[0]);
      const int idx = along_v ? 1 : 0;
      bool connect = true;
      for (double w : {0.25, 0.75}) {
        const double x = w * p[idx] + (1.0 - w) * q[idx];
        spline_curve* line = nullptr;
        if (along_v)
          s1436(s, x, &line, &st);
        else
          s1437(s, x, &line, &st);
        if (st < 0) return fail(st);
        // A line that goes higher keeps its points (the running value now names them).
        const int r = search_line(line, idx, x, running, aepsge, data, nullptr, &st);
        if (st < 0) return fail(st);
        *status = std::max(*status, r);
        if (r != 1) {
          connect = false;
          break;
        }
      }
      if (connect) {
        isect_point* a = pts[0];
        isect_point* b = pts[1];
        s6idcon(data, &a, &b, &st);
        if (st < 0) return fail(st);
        return;
      }
    }
  }

  // Newton step toward the greatest coefficient.
  const int n1 = s->vertex_count1;
  const int i = std::max(jmax, 0) % n1, j = std::max(jmax, 0) / n1;
  double guess[2] = {greville(s->knots1, s->order1, i), greville(s->knots2, s->order2, j)};
  double target = box->ext_values1[0];
  spline_point* pt = create_point(&target, 1, 1);
  if (!pt) return fail(kErrMemory);
  double res[2] = {guess[0], guess[1]};
  s1173(pt, top->surface, aepsge, lo, hi, guess, res, &st);
  destroy_point(pt);
  if (st < 0) return fail(st);
  if (!differs(res[0], lo[0]) || !differs(res[0], hi[0]) || !differs(res[1], lo[1]) ||
      !differs(res[1], hi[1]))
    return;
  double value[1];
  int l1 = 0, l2 = 0;
  s1424(top->surface, 0, 0, res, &l1, &l2, value, &st);
  if (st < 0) return fail(st);
  const int r = test_value(value[0], res, 2, running, aepsge, data, &st);
  if (st < 0) return fail(st);
  *status = std::max(*status, r);
}

void s1162_s9div(geom_object* o, double* running, double aepsge, int split_kind,
                 int knot_index1, int knot_index2, geom_object** pieces, isect_data** data,
                 edge_table* edges, int repeat_count, int* status) {
  *status = 0;
  int st = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1162_s9div", code, 0);
  };
  geom_object* top = o->origin ? o->origin : o;
  if (s1192(o, aepsge, &st), st < 0) return fail(st);
  if (o->kind == kCurveObject) {
    const spline_curve* c = o->curve;
    const int k = c->order, n = c->vertex_count;
    const double a = c->knots[k - 1], b = c->knots[n];
    const int jmax = c->box->ext_index2;
    double x = 0.0;
    bool chosen = false;
    if (knot_index1 > 0) {
      x = c->knots[knot_index1];
      chosen = differs(x, a) && differs(x, b);
    }
    if (!chosen && jmax > 0 && jmax < n - 1) {
      const double g = greville(c->knots, k, jmax);
      double r = g;
      S1252(c, aepsge, g, &r, &st);
      if (st < 0) return fail(st);
      if (differs(r, a) && differs(r, b)) {
        x = r;
        chosen = true;
      } else if (differs(g, a) && differs(g, b)) {
        x = g;
        chosen = true;
      }
    }
    if (!chosen) x = subdivision_value(c->knots, k, n);
    spline_curve* c1 = nullptr;
    spline_curve* c2 = nullptr;
    s1231(c, x, &c1, &c2, &st);
    if (st < 0) return fail(st);
    pieces[0] = wrap_curve(c1, top);
    pieces[1] = wrap_curve(c2, top);
    if (!pieces[0] || !pieces[1]) return fail(kErrMemory);
    spline_point* end = nullptr;
    double par = x;
    s1438(c1, 1, &end, &par, &st);
    if (st < 0) return fail(st);
    const double value = end->coords[0];
    destroy_point(end);
    const int r = test_value(value, &x, 1, running, aepsge, data, &st);
    if (st < 0) return fail(st);
    *status = std::max(*status, r);
    return;
  }
  if (o->kind != kSurfaceObject) return fail(kErrKind);
  const spline_surface* s = o->surface;
  double lo[2], hi[2];
  piece_range(o, lo, hi);
  const double su = subdivision_value(s->knots1, s->order1, s->vertex_count1);
  const double sv = subdivision_value(s->knots2, s->order2, s->vertex_count2);
  double u = su, v = sv;
  const int n1 = s->vertex_count1, n2 = s->vertex_count2;
  const int jmax = s->box->ext_index2;
  if (knot_index1 > 0 || knot_index2 > 0 || repeat_count > 0) {
    if (repeat_count <= 0) {
      if (knot_index1 > 0) u = s->knots1[knot_index1];
      if (knot_index2 > 0) v = s->knots2[knot_index2];
    }
  } else if (jmax >= 0 && jmax % n1 != 0 && jmax % n1 != n1 - 1 && jmax / n1 != 0 &&
             jmax / n1 != n2 - 1) {
    const int i = jmax % n1, j = jmax / n1;
    double guess[2] = {greville(s->knots1, s->order1, i), greville(s->knots2, s->order2, j)};
    const double g0 = guess[0], g1 = guess[1];
    double target = s->box->ext_values1[0];
    spline_point* pt = create_point(&target, 1, 1);
    if (!pt) return fail(kErrMemory);
    double res[2] = {g0, g1};
    s1173(pt, top->surface, aepsge, lo, hi, guess, res, &st);
    destroy_point(pt);
    if (st < 0) return fail(st);
    const double ilo0 = lo[0] + 0.01 * (hi[0] - lo[0]), ihi0 = hi[0] - 0.01 * (hi[0] - lo[0]);
    const double ilo1 = lo[1] + 0.01 * (hi[1] - lo[1]), ihi1 = hi[1] - 0.01 * (hi[1] - lo[1]);
    auto inner = [&](double a, double b) {
      return a >= ilo0 && a <= ihi0 && b >= ilo1 && b <= ihi1;
    };
    if (inner(res[0], res[1])) {
      u = res[0];
      v = res[1];
    } else if (inner(g0, g1)) {
      u = g0;
      v = g1;
    }
  } else {
    // Per direction: the known edge point nearest to the middle.
    for (int dir = 0; dir < 2; ++dir) {
      const double mid = dir == 0 ? su : sv;
      double cand = lo[dir];
      const int ea = dir == 0 ? 0 : 1, eb = dir == 0 ? 2 : 3;
      if (edges)
        for (int e : {ea, eb})
          if (e < edges->edge_count)
            for (edge_node* nd = edges->heads[e]; nd; nd = nd->next) {
              const double x = nd->point->params[dir];
              if (std::fabs(x - mid) < std::fabs(cand - mid)) cand = x;
            }
      if (dequal(cand, lo[dir]) || dequal(cand, hi[dir])) cand = mid;
      (dir == 0 ? u : v) = cand;
    }
  }

  auto split = [&](const spline_surface* src, int direction, double x, geom_object** first,
                   geom_object** second) {
    spline_surface* a = nullptr;
    spline_surface* b = nullptr;
    s1711(src, direction, x, &a, &b, &st);
    if (st < 0) return false;
    *first = wrap_surface(a, top);
    *second = wrap_surface(b, top);
    if (!*first || !*second) {
      st = kErrMemory;
      return false;
    }
    return true;
  };
  // The line along edge `edge` of the given piece, searched and lifted.
  auto line_search = [&](geom_object* piece, int edge, int position, double value,
                         isect_data** found) {
    spline_curve* line = nullptr;
    double par = value;
    s1435(piece->surface, edge, &line, &par, &st);
    if (st < 0) return false;
    const int r = search_line(line, position, value, running, aepsge, data, found, &st);
    if (st < 0) return false;
    *status = std::max(*status, r);
    return true;
  };

  if (split_kind == 1) {
    if (!split(s, 1, u, &pieces[0], &pieces[1])) return fail(st);
    if (!line_search(pieces[0], 1, 0, u, nullptr)) return fail(st);
  } else if (split_kind == 2) {
    if (!split(s, 2, v, &pieces[0], &pieces[1])) return fail(st);
    if (!line_search(pieces[0], 2, 1, v, nullptr)) return fail(st);
  } else {
    geom_object* h1 = nullptr;
    geom_object* h2 = nullptr;
    if (!split(s, 1, u, &h1, &h2)) {
      destroy_geom_object(h1);
      destroy_geom_object(h2);
      return fail(st);
    }
    isect_data* found = nullptr;
    bool ok = line_search(h1, 1, 0, u, &found);
    if (ok && found && found->point_count > 0) {
      const double x = found->points[0]->params[0];
      const double a = lo[1] + 0.01 * (hi[1] - lo[1]), b = hi[1] - 0.01 * (hi[1] - lo[1]);
      if (x > a && x < b) v = x;
    }
    destroy_isect_data(found);
    ok = ok && split(h1->surface, 2, v, &pieces[0], &pieces[1]) &&
         split(h2->surface, 2, v, &pieces[2], &pieces[3]);
    destroy_geom_object(h1);
    destroy_geom_object(h2);
    if (!ok) return fail(st);
    if (!line_search(pieces[0], 2, 1, v, nullptr)) return fail(st);
    if (!line_search(pieces[2], 2, 1, v, nullptr)) return fail(st);
  }
}

void s1162_s9edge(geom_object** pieces, geom_object* other, int count, isect_data* data,
                  edge_table** tables, int* status) {
  *status = 0;
  for (int p = 0; p < count; ++p) {
    geom_object* piece = pieces[p];
    edge_table* t = tables[p];
    for (int e = 0; e < t->edge_count; ++e) {
      double value = 0.0;
      int param = 1;
      if (piece->kind == kCurveObject) {
        const spline_curve* c = piece->curve;
        value = e == 0 ? c->knots[c->order - 1] : c->knots[c->vertex_count];
      } else {
        double lo[2], hi[2];
        piece_range(piece, lo, hi);
        static const int kParam[4] = {2, 1, 2, 1};
        param = kParam[e];
        value = e == 0 ? lo[1] : e == 1 ? hi[0] : e == 2 ? hi[1] : lo[0];
      }
      int st = 0;
      s6idedg(piece, other, 1, param, value, data, &t->heads[e], &t->point_count, &st);
      if (st < 0) {
        *status = st;
        error_report("s1162_s9edge", st, 0);
        return;
      }
    }
  }
}

void s1162(geom_object* o, double* running, double aepsge, isect_data** data,
           edge_table* edges, int repeat_count, int edge_point_count, int* status) {
  *status = 0;
  int st = 0;
  geom_object* other = nullptr;
  geom_object* pieces[4] = {nullptr, nullptr, nullptr, nullptr};
  int piece_count = 0;
  auto finish = [&](int code) {
    for (geom_object*& p : pieces) {
      destroy_geom_object(p);
      p = nullptr;
    }
    destroy_geom_object(other);
    if (code < 0) {
      *status = code;
      error_report("s1162", code, 0);
    }
  };
  other = create_geom_object(kPointObject);
  if (!other) return finish(kErrMemory);
  int simple = 0;
  s1190(o, running, aepsge, &simple);
  if (simple < 0) return finish(simple);
  if (simple == 1 || simple == 3) return finish(0);
  if (simple == 2) {
    if (o->kind == kCurveObject && edges && edges->edge_count == 2 && edges->heads[0] && edges->heads[1]) {
      isect_point* a = edges->heads[0]->point;
      isect_point* b = edges->heads[1]->point;
      s6idcon(data, &a, &b, &st);
      if (st < 0) return finish(st);
    }
    return finish(0);
  }
  object_view v = view_of(o);
  int shape = 0, ki1 = 0, ki2 = 0;
  if (o->kind == kCurveObject)
    extremal_shape_test(v.coefs, o->curve->knots, o->curve->knots, o->curve->order, v.n1, 1, 1,
                        &shape, &ki1, &ki2, &st);
  else
    extremal_shape_test(v.coefs, o->surface->knots1, o->surface->knots2, o->surface->order1,
                        v.n1, o->surface->order2, v.n2, &shape, &ki1, &ki2, &st);
  if (shape == 0) return finish(0);
  if (shape == 1) {
    s1162_s9update(o, running, aepsge, data, edges, &st);
    if (st < 0) return finish(st);
    *status = st;
    return finish(0);
  }
  int repeat = repeat_count, edge_count = edge_point_count;
  s1162_s9con(o, running, aepsge, data, edges, &repeat, &edge_count, &st);
  if (st < 0) return finish(st);
  if (st == 3) {
    s1162_s9update(o, running, aepsge, data, edges, &st);
    if (st < 0) return finish(st);
    *status = st;
    return finish(0);
  }
  if (st == 2) {
    *status = 2;
    return finish(0);
  }
  int split_kind = 0;
  s1162_s9num(o, &split_kind, &st);
  if (st < 0) return finish(st);
  if (split_kind == 0) {
    s1162_s9mic(o, other, data, edges, &st);
    if (st < 0) return finish(st);
    *status = st;
    return finish(0);
  }
  piece_count = split_kind == 3 ? 4 : 2;
  int result = 0;
  s1162_s9div(o, running, aepsge, split_kind, ki1, ki2, pieces, data, edges, repeat, &result);
  if (result < 0) return finish(result);
  // Each piece's edge table is made just before its search, from the data as it is
  // then: a greater value found in an earlier piece frees the points it held.
  for (int p = 0; p < piece_count; ++p) {
    edge_table* t = create_edge_table(2 * o->kind);
    if (!t) return finish(kErrMemory);
    s1162_s9edge(&pieces[p], other, 1, *data, &t, &st);
    if (st < 0) {
      destroy_edge_table(t);
      return finish(st);
    }
    int r = 0;
    s1162(pieces[p], running, aepsge, data, t, repeat, edge_count, &r);
    destroy_edge_table(t);
    if (r < 0) return finish(r);
    result = std::max(result, r);
  }
  *status = result;
  finish(0);
}

void s1161(geom_object* o, double* running, double aepsge, isect_data** data, int* status) {
  *status = 0;
  int st = 0;
  auto fail = [&](int code) {
    *status = code;
    error_report("s1161", code, 0);
  };
  if (o->kind == kPointObject) {
    if (!o->point || o->point->dim != 1) return fail(kErrDimensionMismatch);
    const double value = o->point->coords[0];
    const double d = value - *running;
    int r = 0;
    if (std::fabs(d) <= aepsge)
      r = 1;
    else if (d > 0.0) {
      r = 2;
      *running = value;
    }
    if (r > 0) {
      isect_point* p = create_isect_point(0, nullptr, value);
      if (!p) return fail(kErrMemory);
      s6idnpt(data, &p, 1, &st);
      if (st < 0) {
        destroy_isect_point(p);
        return fail(st);
      }
    }
    *status = r;
    return;
  }
  if (o->kind < 0 || o->kind > 2) return fail(kErrKind);
  int simple = 0;
  s1190(o, running, aepsge, &simple);
  if (simple < 0) return fail(simple);
  if (simple == 1) return;

  geom_object* other = create_geom_object(kPointObject);
  edge_table* table = create_edge_table(2 * o->kind);
  auto cleanup = [&]() {
    destroy_edge_table(table);
    destroy_geom_object(other);
  };
  if (!other || !table) {
    cleanup();
    return fail(kErrMemory);
  }
  int result = 0;
  for (int e = 0; e < 2 * o->kind; ++e) {
    const int index = o->kind == kCurveObject ? 0 : (e % 2 == 0 ? 1 : 0);
    geom_object* edge = nullptr;
    double par = 0.0;
    if (o->kind == kCurveObject) {
      spline_point* pt = nullptr;
      s1438(o->curve, e, &pt, &par, &st);
      if (st >= 0) {
        edge = create_geom_object(kPointObject);
        if (edge)
          edge->point = pt;
        else
          destroy_point(pt);
      }
    } else {
      spline_curve* c = nullptr;
      s1435(o->surface, e, &c, &par, &st);
      if (st >= 0) edge = wrap_curve(c, nullptr);
    }
    if (st < 0 || !edge) {
      cleanup();
      return fail(st < 0 ? st : kErrMemory);
    }
    isect_data* found = nullptr;
    int r = 0;
    s1161(edge, running, aepsge, &found, &r);
    destroy_geom_object(edge);
    if (r < 0) {
      destroy_isect_data(found);
      cleanup();
      return fail(r);
    }
    if (r == 2) {
      discard(data);
      destroy_edge_table(table);
      table = create_edge_table(2 * o->kind);
      if (!table) {
        destroy_isect_data(found);
        cleanup();
        return fail(kErrMemory);
      }
    }
    if (r >= 1) {
      result = std::max(result, r);
      s6idput(data, found, index, par, &st);
      if (st >= 0) {
        // Earlier edges may hold a corner of this one; only this edge's list is made.
        s6idedg(o, other, 1, index + 1, par, *data, &table->heads[e], &table->point_count,
                &st);
      }
      if (st < 0) {
        destroy_isect_data(found);
        cleanup();
        return fail(st);
      }
    }
    destroy_isect_data(found);
  }
  if (!o->origin) o->origin = o;
  int r = 0;
  s1162(o, running, aepsge, data, table, 0, 0, &r);
  if (r < 0) {
    cleanup();
    return fail(r);
  }
  result = std::max(result, r);
  // The lists are built without an examination pass (see the header).
  s6idlis(o, other, data, &st);
  cleanup();
  if (st < 0) return fail(st);
  *status = result;
}

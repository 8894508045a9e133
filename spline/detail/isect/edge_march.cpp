// Connection of edge points of surface/surface and level-curve sub-problems.

#include "spline/detail/isect/edge_march.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "spline/isocurve.h"
#include "spline/detail/isect/isect_graph.h"
#include "spline/detail/isect/isect_marks.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/march_through.h"
#include "spline/detail/isect/singular_points.h"
#include "spline/detail/isect/subdiv.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

namespace {

constexpr int kMaxUsable = 8;
constexpr int kEnters = 1;
constexpr int kLeaves = -1;
constexpr int kAlong = 0;
constexpr int kSingular = 2;
constexpr int kContradicting = 10;
constexpr int kFirstAlong = 11;  // a first point running along an edge, for the marcher

struct edge_point {
  isect_point* point;
  int mask;        // bit e: edge e of A (or of the one surface); bit 4 + e: edge e of B
  int marker;
  double tangent[3];  // the curve's orientation N_A x N_B (two surfaces)
};

// One usable point in the sorted list.
struct listed {
  int index;  // into the gathered points
  int marker;
};

bool is_direction(int marker) { return marker == kEnters || marker == kLeaves; }

int popcount4(int bits) {
  int n = 0;
  for (int e = 0; e < 4; ++e) n += (bits >> e) & 1;
  return n;
}

// Number of entries of the tables (a point on two edges counts twice).
int table_entries(edge_table* tables[2]) {
  int n = 0;
  for (int t = 0; t < 2; ++t)
    if (tables[t]) n += tables[t]->point_count;
  return n;
}

// The distinct edge points of the tables with their edge masks.
int gather(edge_table* tables[2], std::vector<edge_point>* out) {
  isect_point** pts = nullptr;
  int count = 0, st = 0;
  sh6edgpoint(tables, &pts, &count, &st);
  if (st < 0) return st;
  for (int i = 0; i < count; ++i) {
    edge_point e{pts[i], 0, kAlong, {0.0, 0.0, 0.0}};
    for (int t = 0; t < 2; ++t) {
      if (!tables[t]) continue;
      for (int k = 0; k < tables[t]->edge_count && k < 4; ++k)
        for (const edge_node* n = tables[t]->heads[k]; n; n = n->next)
          if (n->point == pts[i]) e.mask |= 1 << (4 * t + k);
    }
    out->push_back(e);
  }
  std::free(pts);
  return 0;
}

// Merges the direction d of one edge into the point's marker; false when the edges
// contradict each other (marker 10).
bool merge_direction(int d, int* marker, bool* along) {
  if (d == 0) {
    *along = true;
    return true;
  }
  if (*marker == kAlong) {
    *marker = d;
    return true;
  }
  if (*marker != d) {
    *marker = kContradicting;
    return false;
  }
  return true;
}

// The direction of the curve N_A x N_B at an edge point of two surfaces (its marker)
// from the edges the point lies on.  Status 0, negative an error.
int set_direction(const spline_surface* a, const spline_surface* b, edge_point* ep) {
  edge_point& e = *ep;
  double da[9], na[3], db[9], nb[3];
  int l1 = 0, l2 = 0, sa = 0, sb = 0;
  s1421(a, 1, e.point->params, &l1, &l2, da, na, &sa);
  if (sa < 0) return sa;
  s1421(b, 1, e.point->params + 2, &l1, &l2, db, nb, &sb);
  if (sb < 0) return sb;
  if (sa > 0 || sb > 0 || vec_angle(na, nb, 3) < 1e-12) {
    e.marker = kSingular;
    return 0;
  }
  vec_cross(na, nb, e.tangent);
  double ca[3], cb[3];
  int s1 = 0, s2 = 0;
  s6decomp(e.tangent, ca, da + 3, da + 6, na, &s1);
  s6decomp(e.tangent, cb, db + 3, db + 6, nb, &s2);
  if (s1 < 0) return s1;
  if (s2 < 0) return s2;
  if (s1 > 0 || s2 > 0) {
    e.marker = kSingular;
    return 0;
  }
  bool along = false;
  e.marker = kAlong;
  for (int bit = 0; bit < 8; ++bit) {
    if (!(e.mask & (1 << bit))) continue;
    const int edge = bit % 4;
    const double* d = bit < 4 ? da : db;
    const double* c = bit < 4 ? ca : cb;
    const double* tested = edge % 2 == 0 ? d + 3 : d + 6;
    int dir = 0;
    if (vec_angle(e.tangent, tested, 3) >= 0.001) {
      switch (edge) {
        case 0: dir = c[1] > 0.0 ? 1 : -1; break;
        case 1: dir = c[0] > 0.0 ? -1 : 1; break;
        case 2: dir = c[1] > 0.0 ? -1 : 1; break;
        default: dir = c[0] > 0.0 ? 1 : -1; break;
      }
    }
    if (!merge_direction(dir, &e.marker, &along)) break;
  }
  if (along && e.marker != kContradicting) e.marker = kAlong;
  return 0;
}

// Connects p and q as main points; dir > 0 directs the connection from p to q, dir < 0
// from q to p.
int join(isect_data** data, isect_point* p, isect_point* q, int dir) {
  int st = 0;
  sh6tomain(p, &st);
  if (st < 0) return st;
  sh6tomain(q, &st);
  if (st < 0) return st;
  sh6idcon(data, &p, &q, &st);
  if (st < 0) return st;
  st = 0;
  if (dir > 0)
    sh6setdir(p, q, &st);
  else if (dir < 0)
    sh6setdir(q, p, &st);
  return st < 0 ? st : 0;
}

// 1 connected, 0 not, negative for a one-sided connection.
int connected(isect_point* p, isect_point* q) {
  int sp = -1, sq = -1, st = 0;
  sh6getlist(p, q, &sp, &sq, &st);
  if (st < 0) return st;
  return st == 0 ? 1 : 0;
}

// Shared state of one connection run.
struct connector {
  const char* name;
  isect_data** data;
  std::vector<edge_point> pts;
  std::vector<listed> list;  // usable points sorted by marker 1, -1, 0, 2
  int usable = 0;

  const edge_point& entry(int k) const {
    return pts[static_cast<size_t>(list[static_cast<size_t>(k)].index)];
  }
  isect_point* at(int k) const { return entry(k).point; }
  int marker(int k) const { return list[static_cast<size_t>(k)].marker; }

  void count_usable() {
    usable = 0;
    for (const edge_point& e : pts)
      if (e.marker < kContradicting) ++usable;
  }

  void make_list() {
    list.clear();
    for (int m : {kEnters, kLeaves, kAlong, kSingular})
      for (size_t i = 0; i < pts.size(); ++i)
        if (pts[i].marker == m) list.push_back({static_cast<int>(i), m});
    if (!list.empty() && list[0].marker == kAlong) list[0].marker = kFirstAlong;
  }

  // The rules before the sorted list, common to both kinds.  Returns true when they
  // settle the run (with *status set).
  bool common_rules(int* status) {
    if (pts.size() == 2) {
      const int c = connected(pts[0].point, pts[1].point);
      if (c < 0) {
        *status = c;
        return true;
      }
      if (c == 1) usable = 0;
    }
    if (usable == 1 && pts.size() > 2) {
      *status = 0;
      for (const edge_point& e : pts)
        if (is_direction(e.marker)) *status = 1;
      return true;
    }
    if (usable == 1 && pts.size() == 2) {
      const edge_point* dir = nullptr;
      const edge_point* other = nullptr;
      for (const edge_point& e : pts)
        if (is_direction(e.marker) && !dir) dir = &e;
      if (!dir) return true;  // the status keeps its starting value
      for (const edge_point& e : pts)
        if (&e != dir) other = &e;
      const int st = join(data, dir->point, other->point, dir->marker);
      *status = st < 0 ? st : 0;
      return true;
    }
    if (usable < 2) {
      *status = 0;
      return true;
    }
    if (usable > kMaxUsable) {
      *status = 1;
      return true;
    }
    return false;
  }

  // Three usable points: are at least two pairs connected already?  Negative for a
  // one-sided connection.
  int pairs_connected() const {
    int n = 0;
    for (int i = 0; i < 3; ++i)
      for (int j = i + 1; j < 3; ++j) {
        const int c = connected(at(i), at(j));
        if (c < 0) return c;
        n += c;
      }
    return n;
  }

  // Three points, the third singular.  Returns true when settled.
  bool third_singular_rule(int* status) {
    if (usable != 3 || marker(2) != kSingular) return false;
    int c13 = connected(at(0), at(2)), c23 = connected(at(1), at(2));
    if (c13 < 0 || c23 < 0) {
      *status = c13 < 0 ? c13 : c23;
      return true;
    }
    if (c13 == 1 && c23 == 1) {
      *status = 0;
      return true;
    }
    if (c23 == 1 && is_direction(marker(0)) && marker(1) == kAlong) {
      const int st = join(data, at(0), at(2), marker(0));
      if (st < 0) {
        *status = st;
        return true;
      }
      at(2)->kind = 2;
      *status = 0;
      return true;
    }
    return false;
  }

  // Makes the list of usable points, then the rules on it that need no geometry: three
  // points of which two pairs are connected already, and a singular third.  Returns true
  // when settled (status negative on an error, not yet reported).
  bool list_rules(int* status) {
    make_list();
    if (usable == 3) {
      const int n = pairs_connected();
      if (n < 0 || n >= 2) {
        *status = n < 0 ? n : 0;
        return true;
      }
    }
    return third_singular_rule(status);
  }

  // More than four points not ending with a leaving one stay unsettled (status 1); three
  // points (1, -1, 0) are settled by joining the first two.  Returns true when settled
  // (status negative on an error, not yet reported).
  bool order_rules(int* status) {
    const int c = usable;
    if (c > 4 && marker(c - 1) != kLeaves) {
      *status = 1;
      return true;
    }
    if (c == 3 && marker(0) == kEnters && marker(1) == kLeaves && marker(2) == kAlong) {
      const int st = join_and_drop_third();
      *status = st < 0 ? st : 0;
      return true;
    }
    return false;
  }

  // Three points (1, -1, 0): the first two are joined; the third goes unless it lies in
  // a corner (on two edges of one surface).
  int join_and_drop_third() {
    int st = join(data, at(0), at(1), kEnters);
    if (st < 0) return st;
    const int mask = entry(2).mask;
    if (popcount4(mask & 0xF) >= 2 || popcount4((mask >> 4) & 0xF) >= 2) return 0;
    isect_point* third = at(2);
    st = 0;
    remove_point(data, &third, 1, &st);
    return st < 0 ? st : 0;
  }

  // Uses the pairing of a marcher: points is (total) points of npar parameters, the
  // list points first; links[k] the 1-based partner of list point k or 0.
  int apply_pairing(const double* points, const int* links, int total, int npar) {
    const int c = static_cast<int>(list.size());
    std::vector<isect_point*> made(static_cast<size_t>(total), nullptr);
    for (int k = 0; k < c; ++k) made[static_cast<size_t>(k)] = at(k);
    for (int k = c; k < total; ++k) {
      isect_point* p = create_isect_point_geom(npar, points + static_cast<size_t>(npar) * k, 0.0,
                                               1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
      if (!p) return kErrMemory;
      int st = 0;
      sh6idnpt(data, &p, 1, &st);
      if (st < 0) {
        destroy_isect_point(p);
        return st;
      }
      made[static_cast<size_t>(k)] = p;
    }
    for (int i = 0; i < c; ++i) {
      const int j = links[i] - 1;
      if (j < 0 || j >= total) continue;
      const int mi = marker(i);
      int dir = 0;
      if (j >= c) {
        dir = mi == kEnters ? 1 : (mi == kLeaves ? -1 : 0);
      } else {
        if (j < i) continue;  // each pair of list points once
        const int mj = marker(j);
        if (mi == kEnters || mj == kLeaves)
          dir = 1;
        else if (mi == kLeaves || mj == kEnters)
          dir = -1;
      }
      const int st = join(data, made[static_cast<size_t>(i)], made[static_cast<size_t>(j)], dir);
      if (st < 0) return st;
    }
    return 0;
  }

  // The marching rule with a pairing routine's answer.
  template <typename Pairing>
  int march(int npar, Pairing pair_up, int* status) {
    const int c = static_cast<int>(list.size());
    std::vector<double> par(static_cast<size_t>(npar) * c);
    std::vector<int> marks(static_cast<size_t>(c));
    for (int k = 0; k < c; ++k) {
      for (int j = 0; j < npar; ++j) par[static_cast<size_t>(npar * k + j)] = at(k)->params[j];
      marks[static_cast<size_t>(k)] = marker(k);
    }
    double* points = nullptr;
    int* links = nullptr;
    int total = 0, st = 0;
    pair_up(par.data(), marks.data(), c, &points, &links, &total, &st);
    std::unique_ptr<double, decltype(&std::free)> hold_points(points, std::free);
    std::unique_ptr<int, decltype(&std::free)> hold_links(links, std::free);
    if (st < 0) return st;
    if (st == 0) {
      *status = 1;
      return 0;
    }
    if (st == 2) {
      *status = 0;
      return 0;
    }
    st = apply_pairing(points, links, total, npar);
    if (st < 0) return st;
    *status = 0;
    return 0;
  }
};

// The largest range and the eight bounds of the parameters of two surfaces.
double surface_pair_box(const spline_surface* a, const spline_surface* b, double box[8]) {
  const spline_surface* s[2] = {a, b};
  double r = 0.0;
  for (int k = 0; k < 2; ++k) {
    box[4 * k + 0] = s[k]->knots1[s[k]->order1 - 1];
    box[4 * k + 1] = s[k]->knots1[s[k]->vertex_count1];
    box[4 * k + 2] = s[k]->knots2[s[k]->order2 - 1];
    box[4 * k + 3] = s[k]->knots2[s[k]->vertex_count2];
  }
  for (int i = 0; i < 4; ++i) r = std::fmax(r, box[2 * i + 1] - box[2 * i]);
  return r;
}

// Distance between A at the first two and B at the last two parameters.
int pair_distance(const spline_surface* a, const spline_surface* b, const double* p,
                  double* distance) {
  double pa[3], pb[3];
  int l1 = 0, l2 = 0, st = 0;
  s1421(a, 0, p, &l1, &l2, pa, nullptr, &st);
  if (st < 0) return st;
  s1421(b, 0, p + 2, &l1, &l2, pb, nullptr, &st);
  if (st < 0) return st;
  *distance = vec_dist(pa, pb, 3);
  return 0;
}

}  // namespace

void sh1762_s9edgsscon(edge_table* tables[2], const spline_surface* a, const spline_surface* b,
                       isect_data** data, int simple_pair, double aepsge, int* status) {
  const char* name = "sh1762_s9edgsscon";
  auto fail = [&](int code) {
    *status = code;
    error_report(name, code, 0);
  };
  *status = 0;
  if (a->dim != 3 || b->dim != 3) return fail(-200);
  if (table_entries(tables) < 2) return;
  connector run{name, data, {}, {}, 0};
  int st = gather(tables, &run.pts);
  if (st < 0) return fail(st);

  // Directions.
  for (edge_point& e : run.pts) {
    st = set_direction(a, b, &e);
    if (st < 0) return fail(st);
  }

  run.count_usable();
  if (run.common_rules(status)) {
    if (*status < 0) fail(*status);
    return;
  }
  const int c = run.usable;

  // Four points of a simple pair: two entering, two leaving, paired by their
  // directions and distances.
  if (c == 4 && simple_pair) {
    std::vector<const edge_point*> in, out;
    for (const edge_point& e : run.pts) {
      if (e.marker == kEnters) in.push_back(&e);
      if (e.marker == kLeaves) out.push_back(&e);
    }
    if (in.size() != 2 || out.size() != 2) {
      *status = 1;
      return;
    }
    double e1[3], l1p[3], l2p[3];
    int l1 = 0, l2 = 0;
    for (auto [pt, pos] : {std::pair{in[0], e1}, std::pair{out[0], l1p}, std::pair{out[1], l2p}}) {
      s1421(a, 0, pt->point->params, &l1, &l2, pos, nullptr, &st);
      if (st < 0) return fail(st);
    }
    const double d1 = vec_dist(e1, l1p, 3), d2 = vec_dist(e1, l2p, 3);
    const double p1 = vec_dot(in[0]->tangent, out[0]->tangent, 3);
    const double p2 = vec_dot(in[0]->tangent, out[1]->tangent, 3);
    const bool straight = p2 < 0.0 || (p1 >= 0.0 && d1 <= d2);
    st = join(data, in[0]->point, (straight ? out[0] : out[1])->point, 1);
    if (st >= 0) st = join(data, in[1]->point, (straight ? out[1] : out[0])->point, 1);
    if (st < 0) return fail(st);
    *status = 0;
    return;
  }

  if (run.list_rules(status)) {
    if (*status < 0) fail(*status);
    return;
  }
  if (c == 2 && is_direction(run.marker(0))) {
    st = join(data, run.at(0), run.at(1), run.marker(0));
    if (st < 0) return fail(st);
    if (run.marker(1) == kSingular) run.at(1)->kind = 2;
    *status = 0;
    return;
  }
  if (run.order_rules(status)) {
    if (*status < 0) fail(*status);
    return;
  }

  // Three points around a touching place: the singular point between them.
  const bool one_and_two_along =
      c == 3 && is_direction(run.marker(0)) && run.marker(1) == kAlong && run.marker(2) == kAlong;
  const bool three_directed = c == 3 && is_direction(run.marker(0)) &&
                              is_direction(run.marker(1)) && is_direction(run.marker(2));
  if (one_and_two_along || three_directed) {
    double box[8];
    const double r = surface_pair_box(a, b, box);
    double start[4];
    const int first_mean = one_and_two_along ? 1 : 0;
    for (int j = 0; j < 4; ++j) {
      double s = 0.0;
      for (int k = first_mean; k < 3; ++k) s += run.at(k)->params[j];
      start[j] = s / (3 - first_mean);
    }
    double sing[4];
    shsing(a, b, box, start, sing, &st);
    if (st < 0) return fail(st);
    double gap = 0.0;
    if (st == 1) {
      const int e = pair_distance(a, b, sing, &gap);
      if (e < 0) return fail(e);
    }
    if (st == 1 && gap < aepsge) {
      auto same = [&](const isect_point* p) {
        for (int j = 0; j < 4; ++j)
          if (!dequal_off(sing[j], p->params[j], r)) return false;
        return true;
      };
      int equal_to = -1;
      for (int k = 0; k < 3 && equal_to < 0; ++k)
        if (same(run.at(k))) equal_to = k;
      if (one_and_two_along && equal_to > 0) {
        st = join(data, run.at(0), run.at(equal_to), run.marker(0));
        if (st < 0) return fail(st);
        *status = 0;
        return;
      }
      if (equal_to < 0) {
        isect_point* s =
            create_isect_point_geom(4, sing, 0.0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
        if (!s) return fail(kErrMemory);
        bool on_bound = false;
        for (int j = 0; j < 4; ++j)
          on_bound = on_bound || dequal_off(sing[j], box[2 * j], r) ||
                     dequal_off(sing[j], box[2 * j + 1], r);
        isect_point* second = run.at(1);
        isect_point* third = run.at(2);
        const int c23 = connected(second, third);
        if (c23 < 0) {
          destroy_isect_point(s);
          return fail(c23);
        }
        if (one_and_two_along && on_bound && c23 == 1) {
          // On the boundary: it lies on the edge run between the two along-points.
          sh6insert(data, second, third, &s, &st);
          if (st < 0) return fail(st);
          st = join(data, run.at(0), s, run.marker(0));
        } else {
          sh6idnpt(data, &s, 1, &st);
          if (st < 0) {
            destroy_isect_point(s);
            return fail(st);
          }
          st = join(data, run.at(0), s, run.marker(0));
          if (st >= 0) st = join(data, second, s, 0);
          if (st >= 0) st = join(data, third, s, 0);
        }
        if (st < 0) return fail(st);
        s->kind = kSingularPoint;
        *status = 0;
        return;
      }
    }
  }

  int along = 0;
  for (int k = 0; k < c; ++k)
    if (run.marker(k) == kAlong || run.marker(k) == kFirstAlong) ++along;
  if (c != 2 && along >= 2) {
    *status = 1;
    return;
  }

  st = run.march(4, [&](const double* par, const int* marks, int count, double** points,
                        int** links, int* total, int* s) {
    s9surmarch(a, b, par, marks, count, points, links, total, s);
  }, status);
  if (st < 0) return fail(st);
}

void sh1762_s9edgsslone(edge_table* tables[2], const spline_surface* a,
                        const spline_surface* b, isect_data** data, double aepsge,
                        int* status) {
  const char* name = "sh1762_s9edgsslone";
  auto fail = [&](int code) {
    *status = code;
    error_report(name, code, 0);
  };
  *status = 0;
  if (a->dim != 3 || b->dim != 3) return fail(-200);
  std::vector<edge_point> pts;
  int st = gather(tables, &pts);
  if (st < 0) return fail(st);
  if (pts.size() != 1) return;
  edge_point& e = pts[0];
  st = set_direction(a, b, &e);
  if (st < 0) return fail(st);
  if (!is_direction(e.marker)) return;

  double start[4], end[4];
  st = 0;
  s1788(a, b, aepsge, e.point->params, start, end, &st);
  if (st < 0) return fail(st);
  // Only a piece from this point to another place on the pair's boundary is used (the
  // point itself may sit a rounding off the boundary: 13).
  if (st != 11 && st != 13) return;
  double from[3], to[3];
  int l1 = 0, l2 = 0;
  s1421(a, 0, e.point->params, &l1, &l2, from, nullptr, &st);
  if (st < 0) return fail(st);
  s1421(a, 0, end, &l1, &l2, to, nullptr, &st);
  if (st < 0) return fail(st);
  if (vec_dist(from, to, 3) <= aepsge) return;

  isect_point* other = create_isect_point_geom(4, end, 0.0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  if (!other) return fail(kErrMemory);
  st = 0;
  sh6idnpt(data, &other, 1, &st);
  if (st < 0) {
    destroy_isect_point(other);
    return fail(st);
  }
  if (other == e.point) return;
  st = join(data, e.point, other, e.marker);
  if (st < 0) return fail(st);
  *status = 1;
}

void sh1762_s9edgpscon(edge_table* table, double level, const spline_surface* surface, int piece,
                       isect_data** data, double aepsge, int* status) {
  const char* name = "sh1762_s9edgpscon";
  auto fail = [&](int code) {
    *status = code;
    error_report(name, code, 0);
  };
  *status = 1;
  if (surface->dim != 1) return fail(-200);
  connector run{name, data, {}, {}, 0};
  edge_table* tables[2] = {table, nullptr};
  if (table_entries(tables) < 2) return;
  int st = gather(tables, &run.pts);
  if (st < 0) return fail(st);

  const double threshold = run.pts.size() == 2 ? 1e-9 : 1e-5;
  for (edge_point& e : run.pts) {
    double d[3];
    int l1 = 0, l2 = 0;
    s1421(surface, 1, e.point->params, &l1, &l2, d, nullptr, &st);
    if (st < 0) return fail(st);
    const double fu = d[1], fv = d[2], g = std::hypot(fu, fv);
    if (st > 0 || g < 1e-9) {
      e.marker = kSingular;
      continue;
    }
    bool along = false;
    e.marker = kAlong;
    for (int edge = 0; edge < 4; ++edge) {
      if (!(e.mask & (1 << edge))) continue;
      const double comp = edge % 2 == 0 ? fu : fv;
      int dir = 0;
      if (std::fabs(comp / g) >= threshold) dir = (comp > 0.0) == (edge < 2) ? 1 : -1;
      if (!merge_direction(dir, &e.marker, &along)) break;
    }
    if (along && e.marker != kContradicting) e.marker = kAlong;
  }

  run.count_usable();
  if (run.common_rules(status)) {
    if (*status < 0) fail(*status);
    return;
  }
  const int c = run.usable;
  if (run.list_rules(status)) {
    if (*status < 0) fail(*status);
    return;
  }

  if (c == 2 && is_direction(run.marker(0))) {
    isect_point* p = run.at(0);
    isect_point* q = run.at(1);
    st = join(data, p, q, run.marker(0));
    if (st < 0) return fail(st);
    if (run.marker(1) == kSingular) q->kind = kSingularPoint;
    *status = 0;
    const double u0 = p->params[0], v0 = p->params[1], u1 = q->params[0], v1 = q->params[1];
    if (!dequal(u0, u1) && !dequal(v0, v1)) return;
    // The two points share a parameter: a point of the level curve half way between them
    // keeps the connection off the straight line between them.
    const bool cut_v = std::fabs(u0 - u1) <= std::fabs(v0 - v1);
    const double mid = cut_v ? 0.5 * (v0 + v1) : 0.5 * (u0 + u1);
    spline_curve* cut = nullptr;
    if (cut_v)
      s1436(surface, mid, &cut, &st);
    else
      s1437(surface, mid, &cut, &st);
    if (st < 0) return fail(st);
    std::unique_ptr<geom_object, decltype(&destroy_geom_object)> obj(create_geom_object(kCurveObject),
                                                                     destroy_geom_object);
    if (!obj) {
      destroy_curve(cut);
      return fail(kErrMemory);
    }
    obj->curve = cut;
    obj->origin = obj.get();
    const double guess = middle_knot_value(cut->knots, cut->order, cut->vertex_count);
    double found = guess;
    sh6ptobj(&level, obj.get(), aepsge, &guess, &found, &st);
    if (st < 0) return fail(st);
    if (st == 1) {
      const double par[2] = {cut_v ? found : mid, cut_v ? mid : found};
      isect_point* m =
          create_isect_point_geom(2, par, 0.0, 1, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
      if (!m) return fail(kErrMemory);
      sh6insert(data, p, q, &m, &st);
      if (st < 0) return fail(st);
    }
    *status = 0;
    return;
  }
  if (run.order_rules(status)) {
    if (*status < 0) fail(*status);
    return;
  }
  if (c == 2 && piece && !is_direction(run.marker(0))) {
    isect_point* p = run.at(0);
    isect_point* q = run.at(1);
    if (run.entry(0).mask & run.entry(1).mask) {
      const int cn = connected(p, q);
      if (cn < 0) return fail(cn);
      *status = cn == 1 ? 0 : 1;
      return;
    }
    st = join(data, p, q, 0);
    if (st < 0) return fail(st);
    for (int k = 0; k < 2; ++k)
      if (run.marker(k) == kSingular) run.at(k)->kind = 2;
    *status = 0;
    return;
  }
  int singular = 0, along = 0;
  for (int k = 0; k < c; ++k) {
    if (run.marker(k) == kSingular) ++singular;
    if (run.marker(k) == kAlong || run.marker(k) == kFirstAlong) ++along;
  }
  if (singular > 1 || (c != 2 && (!piece || along > 1))) {
    *status = 1;
    return;
  }

  st = run.march(2, [&](const double* par, const int* marks, int count, double** points,
                        int** links, int* total, int* s) {
    s9conmarch(surface, level, par, marks, count, points, links, total, s);
  }, status);
  if (st < 0) return fail(st);
}

// The marchers: s1310 (two surfaces) and s1313 (a surface against an implicit surface)
// share one marching loop; the problem kind supplies the local geometry, the Newton
// iterations, the reach tests and the boundary classification.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "spline/approx.h"
#include "spline/curve_eval.h"
#include "spline/detail/isect/implicit_forms.h"
#include "spline/edit.h"
#include "spline/handles.h"
#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/march.h"
#include "spline/detail/isect/march_internal.h"
#include "spline/detail/isect/newton.h"
#include "spline/isocurve.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"

using namespace march_detail;

void ss_march_point(const double* ev1, const double* ev2, const double* par1,
                    const double* par2, double* space, double* plane1, double* plane2,
                    int* status) {
  std::fill(space, space + 10, 0.0);
  std::fill(plane1, plane1 + 7, 0.0);
  std::fill(plane2, plane2 + 7, 0.0);
  plane1[0] = par1[0], plane1[1] = par1[1];
  plane2[0] = par2[0], plane2[1] = par2[1];
  for (int i = 0; i < 3; ++i) space[i] = 0.5 * (ev1[i] + ev2[i]);
  space[9] = -1.0;
  plane1[6] = plane2[6] = -1.0;
  double a1[3], b1[3], a2[3], b2[3], n1[3], n2[3];
  int f = 0;
  vec_normalize(ev1 + 3, 3, a1, &f);
  vec_normalize(ev1 + 6, 3, b1, &f);
  vec_normalize(ev2 + 3, 3, a2, &f);
  vec_normalize(ev2 + 6, 3, b2, &f);
  vec_cross(a1, b1, n1);
  vec_cross(a2, b2, n2);
  const double d1 = std::fabs(vec_dot(n1, a2, 3)), d2 = std::fabs(vec_dot(n1, b2, 3));
  const double d3 = std::fabs(vec_dot(n2, a1, 3)), d4 = std::fabs(vec_dot(n2, b1, 3));
  const bool first = std::max(d1, d2) <= std::max(d3, d4);
  const bool swapped = first ? d4 > d3 : d2 > d1;
  const double* ef = first ? ev1 : ev2;
  const double* eg = first ? ev2 : ev1;
  const double* A = swapped ? ef + 6 : ef + 3;
  const double* B = swapped ? ef + 3 : ef + 6;
  const double* faa = swapped ? ef + 15 : ef + 9;
  const double* fab = ef + 12;
  const double* fbb = swapped ? ef + 9 : ef + 15;
  const double *C = eg + 3, *D = eg + 6, *guu = eg + 9, *guv = eg + 12, *gvv = eg + 15;
  double e1[3], e2[3];
  vec_cross(A, B, e1);
  vec_cross(C, D, e2);
  const double det = -vec_dot(e2, A, 3);
  if (det == 0.0) {
    *status = 1;
    return;
  }
  const double z = vec_dot(e2, B, 3) / det;
  const double x = -vec_dot(e1, D, 3) / det;
  const double y = vec_dot(e1, C, 3) / det;
  double c1[3], w[3], f2[3];
  for (int i = 0; i < 3; ++i) {
    c1[i] = z * A[i] + B[i];
    f2[i] = faa[i] * z * z + 2.0 * fab[i] * z + fbb[i];
    w[i] = f2[i] - (guu[i] * x * x + 2.0 * guv[i] * x * y + gvv[i] * y * y);
  }
  const double zp = vec_dot(e2, w, 3) / det;
  double t1[3], t2[3];
  vec_cross(w, D, t1);
  vec_cross(C, w, t2);
  const double xp = -vec_dot(t1, A, 3) / det;
  const double yp = -vec_dot(t2, A, 3) / det;
  double c2[3];
  for (int i = 0; i < 3; ++i) c2[i] = zp * A[i] + f2[i];
  double tan[3];
  const double len = vec_normalize(c1, 3, tan, &f);
  if (!f) {
    *status = 1;
    return;
  }
  double kv[3];
  const double ct = vec_dot(c2, tan, 3);
  for (int i = 0; i < 3; ++i) kv[i] = (c2[i] - ct * tan[i]) / (len * len);
  // Parameter-plane derivatives: F's (z, 1) and (z', 0) in its own order, G's (x, y), (x', y').
  double pf[2], qf[2];
  if (swapped) pf[0] = 1.0, pf[1] = z, qf[0] = 0.0, qf[1] = zp;
  else pf[0] = z, pf[1] = 1.0, qf[0] = zp, qf[1] = 0.0;
  const double pg[2] = {x, y}, qg[2] = {xp, yp};
  auto fill_plane = [](double* rec, const double* p, const double* q) {
    int fl = 0;
    const double l = vec_length(p, 2, &fl);
    if (fl) {
      double t[2] = {p[0] / l, p[1] / l};
      const double tq = t[0] * q[0] + t[1] * q[1];
      rec[2] = t[0], rec[3] = t[1];
      rec[4] = (q[0] / l - t[0] * tq / l) / l;
      rec[5] = (q[1] / l - t[1] * tq / l) / l;
    }
    const double k = std::hypot(rec[4], rec[5]);
    rec[6] = k > 0.0 ? 1.0 / k : -1.0;
  };
  fill_plane(first ? plane1 : plane2, pf, qf);
  fill_plane(first ? plane2 : plane1, pg, qg);
  for (int i = 0; i < 3; ++i) space[3 + i] = tan[i], space[6 + i] = kv[i];
  const double k = vec_length(kv, 3, &f);
  if (!f) {
    space[9] = -1.0;
    *status = 1;
    return;
  }
  space[9] = 1.0 / k;
  *status = 0;
}

namespace {

// One point of the march: evaluation blocks and parameter pairs on both objects (the
// second unused against an implicit surface).
struct MState {
  double ev1[33];
  double ev2[21];
  double p1[2];
  double p2[2];
};

struct Range {
  double lo, hi, off;
};

Range make_range(const double* knots, int order, int count) {
  const double lo = knots[order - 1], hi = knots[count];
  return {lo, hi, 3.0 * std::max(std::fabs(lo), std::fabs(hi))};
}

class Problem {
 public:
  virtual ~Problem() = default;
  int planes = 2;
  double threshold = 0.5;
  bool implicit = false;
  Range ranges[4];  // u1, v1, u2, v2
  virtual int evaluate(MState& m) const = 0;
  virtual int local(const MState& m, double* sp, double* pl1, double* pl2) const = 0;
  virtual int iterate(const double* mp, const MState& from, double step, double tol,
                      MState& out) const = 0;
  virtual double reach(const MState& cur, const MState& tgt, const double* tan,
                       const double* pd1, const double* pd2, double step, int* st) const = 0;
  // Direction value of the curve at two points (compared against the threshold).
  virtual double direction(const MState& a, const MState& b, int* st) const = 0;
  virtual int classify(const MState& a, const MState& b) const = 0;
  virtual int clip(const MState& a, const MState& b, double tol, MState& out) const = 0;
  const double* par(const MState& m, int plane) const { return plane == 0 ? m.p1 : m.p2; }
};

class SurfPair : public Problem {
 public:
  const spline_surface *s1, *s2;
  SurfPair(const spline_surface* a, const spline_surface* b) : s1(a), s2(b) {
    ranges[0] = make_range(a->knots1, a->order1, a->vertex_count1);
    ranges[1] = make_range(a->knots2, a->order2, a->vertex_count2);
    ranges[2] = make_range(b->knots1, b->order1, b->vertex_count1);
    ranges[3] = make_range(b->knots2, b->order2, b->vertex_count2);
  }
  int evaluate(MState& m) const override {
    int st = 0;
    eval_block(s1, 2, m.p1, m.ev1, &st);
    if (st >= 0) eval_block(s2, 2, m.p2, m.ev2, &st);
    return st;
  }
  int local(const MState& m, double* sp, double* pl1, double* pl2) const override {
    int st = 0;
    ss_march_point(m.ev1, m.ev2, m.p1, m.p2, sp, pl1, pl2, &st);
    return st;
  }
  int iterate(const double* mp, const MState& from, double step, double tol,
              MState& out) const override {
    int st = 0;
    s9iterate(mp, from.ev1, from.ev2, from.p1, from.p2, s1, s2, step, tol, out.ev1, out.ev2,
              out.p1, out.p2, &st);
    return st;
  }
  double reach(const MState& cur, const MState& tgt, const double* tan, const double* pd1,
               const double* pd2, double step, int* st) const override {
    return close_test_ss(cur.ev1, cur.p1, cur.ev2, cur.p2, tgt.ev1, tgt.p1, tgt.ev2, tgt.p2,
                         tan, pd1, pd2, step, st);
  }
  double direction(const MState& a, const MState& b, int* st) const override {
    *st = 0;
    double v1[3], v2[3];
    int f1 = 0, f2 = 0;
    vec_cross(a.ev1 + 18, a.ev2 + 18, v1);
    vec_cross(b.ev1 + 18, b.ev2 + 18, v2);
    vec_normalize(v1, 3, v1, &f1);
    vec_normalize(v2, 3, v2, &f2);
    const double p = vec_dot(v1, v2, 3);
    if (p == 0.0 && (!f1 || !f2)) return 1.0;
    return p;
  }
  int classify(const MState& a, const MState& b) const override {
    const double ur1[2] = {ranges[0].lo, ranges[0].hi}, vr1[2] = {ranges[1].lo, ranges[1].hi};
    const double ur2[2] = {ranges[2].lo, ranges[2].hi}, vr2[2] = {ranges[3].lo, ranges[3].hi};
    int edge = 0, st = 0;
    double o1[2], o2[2];
    s1330(a.p1, a.p2, b.p1, b.p2, ur1, vr1, ur2, vr2, &edge, o1, o2, &st);
    // A step that starts on one side and crosses another side has left the domain like
    // a step from inside: it is clipped, not taken as it is.
    if (st == 4 && edge != 0) return 2;
    return st;
  }
  int clip(const MState& a, const MState& b, double tol, MState& out) const override {
    const double ur1[2] = {ranges[0].lo, ranges[0].hi}, vr1[2] = {ranges[1].lo, ranges[1].hi};
    const double ur2[2] = {ranges[2].lo, ranges[2].hi}, vr2[2] = {ranges[3].lo, ranges[3].hi};
    int st = 0;
    s9clipit(a.p1, a.p2, b.p1, b.p2, s1, s2, ur1, vr1, ur2, vr2, tol, out.ev1, out.ev2, out.p1,
             out.p2, &st);
    return st;
  }
};

class SurfImplicit : public Problem {
 public:
  const spline_surface* s;
  const double* coefs;
  int kind;
  int der;
  int nidx;
  SurfImplicit(const spline_surface* surf, const double* c, int k) : s(surf), coefs(c), kind(k) {
    planes = 1;
    threshold = 0.75;
    implicit = true;
    der = (k >= 1003 && k <= 1005) ? 3 : 2;
    nidx = der == 3 ? 30 : 18;
    ranges[0] = make_range(surf->knots1, surf->order1, surf->vertex_count1);
    ranges[1] = make_range(surf->knots2, surf->order2, surf->vertex_count2);
    ranges[2] = ranges[0];
    ranges[3] = ranges[1];
  }
  int evaluate(MState& m) const override {
    int st = 0;
    eval_block(s, der, m.p1, m.ev1, &st);
    return st;
  }
  int local(const MState& m, double* sp, double* pl1, double* pl2) const override {
    int st = 0;
    s1306(m.ev1, m.p1, coefs, kind, sp, pl1, &st);
    std::copy(pl1, pl1 + 7, pl2);
    return st;
  }
  int iterate(const double* mp, const MState& from, double step, double tol,
              MState& out) const override {
    int st = 0;
    s9iterimp(mp, from.ev1, from.p1, s, coefs, kind, step, tol, out.ev1, out.p1, &st);
    return st;
  }
  double reach(const MState& cur, const MState& tgt, const double* tan, const double* pd1,
               const double*, double step, int* st) const override {
    return s9adsimp(cur.ev1, cur.p1, coefs, kind, tgt.ev1, tgt.p1, tan, pd1, step, st);
  }
  double direction(const MState& a, const MState& b, int* st) const override {
    double va[6], vb[6], ga[3], gb[3];
    s1331(a.ev1, coefs, kind, 0, va, ga, st);
    if (*st >= 0) s1331(b.ev1, coefs, kind, 0, vb, gb, st);
    if (*st < 0) return 0.0;
    double x[3], y[3];
    int fa = 1, fb = 1;
    if (der == 3) {
      std::copy(ga, ga + 3, x);
      std::copy(gb, gb + 3, y);
      vec_length(x, 3, &fa);
      vec_length(y, 3, &fb);
    } else {
      vec_cross(a.ev1 + nidx, ga, x);
      vec_cross(b.ev1 + nidx, gb, y);
      vec_normalize(x, 3, x, &fa);
      vec_normalize(y, 3, y, &fb);
    }
    double p = vec_dot(x, y, 3);
    if (vec_dot(a.ev1 + nidx, b.ev1 + nidx, 3) < 0.0) p = -p;
    if (p == 0.0 && (!fa || !fb)) return 1.0;
    return p;
  }
  int classify(const MState& a, const MState& b) const override {
    const double ur[2] = {ranges[0].lo, ranges[0].hi}, vr[2] = {ranges[1].lo, ranges[1].hi};
    int edge = 0, st = 0;
    double c[2];
    clip_param_segment(a.p1, b.p1, ur, vr, &edge, c, &st);
    return st;
  }
  int clip(const MState& a, const MState& b, double tol, MState& out) const override {
    const double ur[2] = {ranges[0].lo, ranges[0].hi}, vr[2] = {ranges[1].lo, ranges[1].hi};
    int st = 0;
    s9clipimp(a.p1, b.p1, s, coefs, kind, ur, vr, tol, out.ev1, out.p1, &st);
    return st;
  }
};

// Marched records: space (10 doubles) and parameter planes (7 doubles each).
struct Records {
  std::vector<double> sp, pl1, pl2;
  int count = 0;
  bool reserve(int n) {
    if (n * 10 <= static_cast<int>(sp.size())) return true;
    const int cap = (n / 100 + 1) * 100;
    sp.resize(cap * 10);
    pl1.resize(cap * 7);
    pl2.resize(cap * 7);
    return true;
  }
  double* s(int i) { return sp.data() + 10 * i; }
  double* a(int i) { return pl1.data() + 7 * i; }
  double* b(int i) { return pl2.data() + 7 * i; }
};

void orient(double* sp, double* pl1, double* pl2, const double* ref_tangent) {
  if (vec_dot(sp + 3, ref_tangent, 3) < 0.0) {
    for (int i = 3; i < 6; ++i) sp[i] = -sp[i];
    for (int i = 2; i < 4; ++i) pl1[i] = -pl1[i], pl2[i] = -pl2[i];
  }
}

// Edge tests of a point with its parameter tangent: 0 strictly inwards on every edge it
// lies on (and on at least one), 1 strictly outwards on some edge, 2 inwards or along
// on some edge.
bool on_edge(const Problem& pb, const MState& m, const double* t1, const double* t2, int mode) {
  bool any = false, all_in = true;
  for (int plane = 0; plane < pb.planes; ++plane) {
    const double* p = pb.par(m, plane);
    const double* t = plane == 0 ? t1 : t2;
    for (int d = 0; d < 2; ++d) {
      const Range& r = pb.ranges[2 * plane + d];
      const bool lo = p[d] <= r.lo || dequal_off(p[d], r.lo, r.off);
      const bool hi = p[d] >= r.hi || dequal_off(p[d], r.hi, r.off);
      if (mode == 1) {
        if ((lo && t[d] < 0.0) || (hi && t[d] > 0.0)) return true;
        continue;
      }
      if (mode == 2) {
        if ((lo && t[d] >= 0.0) || (hi && t[d] <= 0.0)) return true;
        continue;
      }
      if (lo || hi) {
        any = true;
        if (!((lo && t[d] > 0.0) || (hi && t[d] < 0.0))) all_in = false;
      }
    }
  }
  return mode == 0 && any && all_in;
}

double par_ahead(const double* from, const double* to, const double* tangent) {
  return (to[0] - from[0]) * tangent[0] + (to[1] - from[1]) * tangent[1];
}

enum Target { kNone, kNext, kPrev, kStart, kPlain };

struct MarchResult {
  Records rec;
  int c1 = 0;       // records at the end of pass 1
  int g1 = 0;       // guide index then
  int g = 0;        // guide index at the end
  bool closed = false;
  int closed_pass = 0;
  bool budget = false;
  bool turned_back = false;
};

// Puts parameters that lie outside the rectangles by no more than rounding (1e-12
// relative to the range's offset) back onto their boundary.  Returns true when one moved.
bool clamp_rounding(const Problem& pb, MState& m) {
  bool moved = false;
  for (int plane = 0; plane < (pb.implicit ? 1 : 2); ++plane) {
    double* p = plane == 0 ? m.p1 : m.p2;
    for (int i = 0; i < 2; ++i) {
      const Range& r = pb.ranges[2 * plane + i];
      const double slack = 1e-12 * (r.off + (r.hi - r.lo));
      if (p[i] < r.lo && p[i] >= r.lo - slack) p[i] = r.lo, moved = true;
      if (p[i] > r.hi && p[i] <= r.hi + slack) p[i] = r.hi, moved = true;
    }
  }
  return moved;
}

// Runs both passes from guide point s (1-based) of the n guide points.
int run_march(const Problem& pb, std::vector<MState>& guides, int n, int s, double epsge,
              double ceiling, MarchResult& res) {
  Records& rec = res.rec;
  rec.reserve(1);
  MState cur = guides[s - 1];
  int st = pb.local(cur, rec.s(0), rec.a(0), rec.b(0));
  if (st < 0) return st;
  if (pb.implicit && st == 2) return 3;
  double start_tan[3] = {rec.s(0)[3], rec.s(0)[4], rec.s(0)[5]};
  MState it;
  st = pb.iterate(rec.s(0), cur, 0.0, epsge, it);
  if (st < 0) return st;
  MState start = cur;
  if (st == 0) {
    const double moved = std::max(vec_dist(it.ev1, cur.ev1, 3),
                                  pb.implicit ? 0.0 : vec_dist(it.ev2, cur.ev2, 3));
    start = it;
    // A start refined off a boundary point may leave the rectangles by rounding; the
    // march could not enter them from there.
    if (clamp_rounding(pb, start)) {
      st = pb.evaluate(start);
      if (st < 0) return st;
    }
    if (moved > epsge) cur = it;
  }
  cur = start;
  st = pb.local(start, rec.s(0), rec.a(0), rec.b(0));
  if (st < 0) return st;
  if (pb.implicit && st == 2) return 3;
  orient(rec.s(0), rec.a(0), rec.b(0), start_tan);
  rec.count = 1;
  int cst = 0;
  const double step0 = s1311(rec.s(0)[9], epsge, ceiling, &cst);
  if (cst < 0) return cst;
  int g = s, gdir = 0;
  bool end_all = false;
  for (int pass = 1; pass <= 2 && !end_all; ++pass) {
    double step = step0;
    if (pass == 2) {
      res.c1 = rec.count;
      res.g1 = g;
      // Pass 1 already ran from one end of the chain to the other: nothing to add.
      const bool through = n >= 2 && ((s == 1 && g == n) || (s == n && g == 1));
      for (int i = 0, j = rec.count - 1; i < j; ++i, --j) {
        std::swap_ranges(rec.s(i), rec.s(i) + 10, rec.s(j));
        std::swap_ranges(rec.a(i), rec.a(i) + 7, rec.a(j));
        std::swap_ranges(rec.b(i), rec.b(i) + 7, rec.b(j));
      }
      for (int i = 0; i < rec.count; ++i) {
        for (int k = 3; k < 6; ++k) rec.s(i)[k] = -rec.s(i)[k];
        for (int k = 2; k < 4; ++k) rec.a(i)[k] = -rec.a(i)[k], rec.b(i)[k] = -rec.b(i)[k];
      }
      for (double& t : start_tan) t = -t;
      if (through) break;
      cur = start;
      gdir = -gdir;
      g = s;
    }
    const int pass_base = pass == 1 ? 0 : res.c1;
    bool end_pass = false;
    while (!end_pass && !end_all) {
      if (rec.count >= kMarchPointBudget) {
        res.budget = true;
        end_all = true;
        break;
      }
      rec.reserve(rec.count + 2);
      const int pi = rec.count - 1;
      Target target = kNone;
      MState tgt;
      double chosen = 0.0;
      {
        const double* ps = rec.s(pi);
        int rs = 0;
        if (gdir >= 0 && g < n) {
          const double d = pb.reach(cur, guides[g], ps + 3, rec.a(pi) + 2, rec.b(pi) + 2, step, &rs);
          if (rs < 0) return rs;
          if (rs == 1) target = kNext, tgt = guides[g], chosen = d, step = std::min(step, d);
        }
        if (gdir <= 0 && g > 1) {
          const double d =
              pb.reach(cur, guides[g - 2], ps + 3, rec.a(pi) + 2, rec.b(pi) + 2, step, &rs);
          if (rs < 0) return rs;
          if (rs == 1 && (target == kNone || d < chosen)) {
            target = kPrev, tgt = guides[g - 2], chosen = d;
            step = std::min(step, d);
          }
        }
        const int beyond = rec.count - pass_base;
        if ((pass == 1 && rec.count > 3) || (pass == 2 && beyond > (pb.implicit ? 3 : 2))) {
          const double d = pb.reach(cur, start, ps + 3, rec.a(pi) + 2, rec.b(pi) + 2, step, &rs);
          if (rs < 0) return rs;
          if (rs == 1) target = kStart, tgt = start, step = std::min(step, d);
        }
      }
      // Attempts until a point is accepted or the pass ends.
      for (;;) {
        double* ps = rec.s(pi);
        double* pa = rec.a(pi);
        double* pbp = rec.b(pi);
        const int ni = rec.count;
        double* cs = rec.s(ni);
        double* ca = rec.a(ni);
        double* cb = rec.b(ni);
        MState cand;
        double dmeas = -1.0;
        auto reduce = [&](double factor_d) {
          double ns;
          if (factor_d >= 0.0) {
            const double r = std::max(1.0, factor_d / epsge);
            ns = std::min(step / (2.0 * std::pow(r, 0.25)), step / 2.0);
          } else {
            ns = 0.1 * step;
          }
          target = kNone;
          if (dequal_off(ns, step, ceiling) || ns <= 0.0) return false;
          step = ns;
          return true;
        };
        if (target != kNone) {
          cand = tgt;
          st = pb.local(cand, cs, ca, cb);
          if (st < 0) return st;
        } else {
          st = pb.iterate(ps, cur, step, epsge, cand);
          if (st < 0) return st;
          if (st == 2) {
            if (!reduce(-1.0)) end_pass = true;
            if (end_pass) break;
            continue;
          }
          st = pb.local(cand, cs, ca, cb);
          if (st < 0) return st;
          target = kPlain;
        }
        orient(cs, ca, cb, ps + 3);
        // Check at the middle of the new segment.
        double mp[6], acc_dummy = 0;
        int acc = 0;
        segment_tangent_angle(ps, cs, 3, mp, mp + 3, &acc);
        (void)acc_dummy;
        MState mid;
        mid.p1[0] = 0.5 * (cur.p1[0] + cand.p1[0]);
        mid.p1[1] = 0.5 * (cur.p1[1] + cand.p1[1]);
        mid.p2[0] = 0.5 * (cur.p2[0] + cand.p2[0]);
        mid.p2[1] = 0.5 * (cur.p2[1] + cand.p2[1]);
        st = pb.evaluate(mid);
        if (st < 0) return st;
        MState mi;
        int ist = st == 2 ? 2 : pb.iterate(mp, mid, 0.0, epsge, mi);
        if (ist < 0) return ist;
        bool ok = ist == 0;
        double ms[10], ma[7], mb[7];
        if (ok) {
          st = pb.local(mi, ms, ma, mb);
          if (st < 0) return st;
          if (pb.implicit && st == 2) {
            ok = false;
          } else {
            dmeas = vec_dist(ms, mp, 3);
            int ds = 0;
            const double dv = pb.direction(cur, cand, &ds);
            if (ds < 0) return ds;
            const double ang = vec_angle(ms + 3, mp + 3, 3);
            const MState& ahead = pb.implicit ? cand : mi;
            ok = dmeas <= epsge && (ang <= 0.01 || step <= epsge) && dv > pb.threshold &&
                 par_ahead(cur.p1, ahead.p1, pa + 2) > 0.0 &&
                 (pb.planes == 1 || par_ahead(cur.p2, ahead.p2, pbp + 2) > 0.0);
          }
        }
        if (!ok) {
          if (!reduce(dmeas)) end_pass = true;
          if (end_pass) break;
          continue;
        }
        // Parameter domain boundary.
        int ca_st = pb.classify(cur, cand);
        const int cb_st = pb.classify(cur, mi);
        if ((ca_st == 0 || ca_st == 4) && on_edge(pb, cur, pa + 2, pbp + 2, 0)) ca_st = 1;
        bool clipped = false;
        if (ca_st == 0 || cb_st == 0) {
          if (pass == 1 && rec.count > 1) --rec.count;
          end_pass = true;
          break;
        }
        if ((ca_st == 1 && cb_st == 1) || (ca_st == 4 && cb_st != 4)) {
          // accepted as it is
        } else if (cb_st == 4) {
          end_pass = true;
          break;
        } else {
          MState cl;
          int used = 0, cst2 = 0;
          if (cb_st == 2 || cb_st == 3) {
            cst2 = pb.clip(cur, mi, epsge, cl);
            if (cst2 < 0) return cst2;
            if (cst2 == 1) used = cb_st;
          }
          if (used == 0 && (ca_st == 2 || ca_st == 3)) {
            cst2 = pb.clip(cur, cand, epsge, cl);
            if (cst2 < 0) return cst2;
            if (cst2 == 1) used = ca_st;
          }
          bool counts = used != 0 && par_ahead(cur.p1, cl.p1, pa + 2) >= 0.0 &&
                        (pb.planes == 1 || par_ahead(cur.p2, cl.p2, pbp + 2) >= 0.0);
          if (counts) {
            int ds = 0;
            const double dv = pb.direction(cur, cl, &ds);
            if (ds < 0) return ds;
            counts = dv > pb.threshold;
          }
          if (!counts) {
            if (!reduce(dmeas)) end_pass = true;
            if (end_pass) break;
            continue;
          }
          double ref[3] = {ps[3], ps[4], ps[5]};
          if (used == 3) {
            --rec.count;
            cs = rec.s(rec.count);
            ca = rec.a(rec.count);
            cb = rec.b(rec.count);
          }
          cand = cl;
          st = pb.local(cand, cs, ca, cb);
          if (st < 0) return st;
          orient(cs, ca, cb, ref);
          target = kPlain;
          clipped = true;
          if (on_edge(pb, cand, ca + 2, cb + 2, 1)) {
            ++rec.count;
            cur = cand;
            end_pass = true;
            break;
          }
          if (used == 2 && on_edge(pb, cand, ca + 2, cb + 2, 2)) {
            if (!reduce(dmeas)) end_pass = true;
            if (end_pass) break;
            continue;
          }
        }
        (void)clipped;
        // Acceptance.
        if (pb.implicit && rec.count >= 2) {
          const double* last = rec.s(rec.count - 1);
          const double* before = rec.s(rec.count - 2);
          double c_new[3], c_old[3];
          vec_diff(cs, last, 3, c_new);
          vec_diff(last, before, 3, c_old);
          if (vec_dot(c_new, c_old, 3) < 0.0) {
            res.turned_back = true;
            return 3;
          }
        }
        ++rec.count;
        cur = cand;
        if (target == kNext) {
          ++g;
          gdir = 1;
          if (g >= n) end_pass = true;
        } else if (target == kPrev) {
          --g;
          gdir = -1;
          if (g <= 1) end_pass = true;
        } else if (target == kStart) {
          res.closed = true;
          res.closed_pass = pass;
          end_all = true;
        }
        step = s1311(cs[9], epsge, ceiling, &cst);
        if (cst < 0) return cst;
        break;
      }
    }
  }
  if (res.c1 == 0) res.c1 = rec.count, res.g1 = g;
  res.g = g;
  return 0;
}

// Largest x, y or z extent of the surface's vertices (the slot-0 box).
double box_extent(const spline_surface* s) {
  const int n = s->vertex_count1 * s->vertex_count2;
  double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
  for (int i = 0; i < n; ++i)
    for (int d = 0; d < 3 && d < s->dim; ++d) {
      lo[d] = std::min(lo[d], s->coefs[i * s->dim + d]);
      hi[d] = std::max(hi[d], s->coefs[i * s->dim + d]);
    }
  double e = 0.0;
  for (int d = 0; d < 3 && d < s->dim; ++d) e = std::max(e, hi[d] - lo[d]);
  return e;
}

double param_sine(const double* ev) {
  int f = 0;
  const double a = vec_length(ev + 3, 3, &f), b = vec_length(ev + 6, 3, &f);
  double n[3];
  vec_cross(ev + 3, ev + 6, n);
  const double c = vec_length(n, 3, &f);
  if (a == 0.0 || b == 0.0 || c == 0.0) return 0.0;
  return c / (a * b);
}

// Start index (1-based) from the usable flags and the chain type; 0 when none.
int choose_start(const std::vector<char>& usable, int n, int type) {
  for (int i = n - 2; i >= 1; --i)
    if (usable[i]) return i + 1;
  if (usable[0] && type != 5 && type != 7) return 1;
  if (usable[n - 1] && type != 6 && type != 7 && type != 3) return n;
  if (usable[0]) return 1;
  if (usable[n - 1]) return n;
  return 0;
}

// Kept records and the curves built from them.
int build_curves(MarchResult& res, int n, int s, int make_curve, double epsge,
                 spline_curve** geometry, spline_curve** pc1, spline_curve** pc2) {
  Records& rec = res.rec;
  const int m = rec.count;
  int first = 0, last = m;
  const int from_start = std::max(res.c1, 1) - 1;
  if (res.closed || n < 2) {
    if (res.closed && res.closed_pass == 2 && n > 1) first = from_start;
  } else if ((s == 1 && res.g1 == n) || (s == n && res.g1 == 1)) {
    last = res.c1;
  } else if ((s == 1 && res.g == n) || (s == n && res.g == 1)) {
    first = from_start;
  }
  const int kept = last - first;
  if (kept < 2) return -185;
  if (make_curve < 1) return 0;
  std::vector<double> params(kept);
  int st = 0;
  s1359(rec.s(first), epsge, 3, kept, 0, params.data(), geometry, &st);
  if (st < 0) return st;
  if (make_curve >= 2) {
    s1359(rec.a(first), epsge, 2, kept, 1, params.data(), pc1, &st);
    if (st < 0) return st;
    if (pc2) {
      s1359(rec.b(first), epsge, 2, kept, 1, params.data(), pc2, &st);
      if (st < 0) return st;
    }
  }
  return 0;
}

// The end of a constant-parameter line test: on an error (reported under routine), a
// failed test or make_curve < 1 (status 1) the line is freed and false is returned;
// otherwise the line becomes the curve's geometry and true is returned.
bool keep_const_line(spline_curve* line, int st, bool ok, int make_curve, const char* routine,
                     isect_curve* curve, int* status) {
  CurveHandle owned(line);
  if (st < 0) {
    *status = st;
    error_report(routine, st, 0);
    return false;
  }
  if (!ok) return false;
  if (make_curve < 1) {
    *status = 1;
    return false;
  }
  curve->geometry = owned.release();
  return true;
}

// The straight parameter curve of a line of constant parameter c on its own surface,
// from lo to hi in the other parameter; the first parameter is the constant one when
// constant_first is set.
spline_curve* const_param_pcurve(double c, double lo, double hi, bool constant_first) {
  double knots[4] = {lo, lo, hi, hi};
  double verts[4];
  if (constant_first) verts[0] = c, verts[1] = lo, verts[2] = c, verts[3] = hi;
  else verts[0] = lo, verts[1] = c, verts[2] = hi, verts[3] = c;
  return create_curve(2, 2, knots, verts, 1, 2, 1);
}

}  // namespace

void s1310(const spline_surface* s1, const spline_surface* s2, isect_curve* curve, double epsge,
           double max_step, int make_curve, int graphics, int* status) {
  (void)graphics;
  *status = 0;
  if (!curve) {
    *status = -150;
    error_report("s1310", -150, 0);
    return;
  }
  if (curve->curve_type == kIsectCurveConstParamLine) {
    destroy_curve(curve->geometry);
    destroy_curve(curve->pcurve1);
    destroy_curve(curve->pcurve2);
    curve->geometry = curve->pcurve1 = curve->pcurve2 = nullptr;
  }
  if (curve->param_count1 != 2 || curve->param_count2 != 2) {
    *status = -123;
    error_report("s1310", -123, 0);
    return;
  }
  if (curve->point_count < 1 || !curve->params1 || !curve->params2) {
    *status = -101;
    error_report("s1310", -101, 0);
    return;
  }
  if (s1->dim != 3 || s2->dim != 3) {
    *status = -104;
    error_report("s1310", -104, 0);
    return;
  }
  double ceiling = std::max(box_extent(s1), box_extent(s2));
  if (max_step > 0.0 && max_step <= ceiling) ceiling = max_step;
  destroy_curve(curve->geometry);
  destroy_curve(curve->pcurve1);
  destroy_curve(curve->pcurve2);
  curve->geometry = curve->pcurve1 = curve->pcurve2 = nullptr;
  SurfPair pb(s1, s2);
  const int type = curve->curve_type;
  int n = curve->point_count;
  std::vector<MState> guides(n + 1);
  for (int i = 0; i < n; ++i) {
    guides[i].p1[0] = curve->params1[2 * i], guides[i].p1[1] = curve->params1[2 * i + 1];
    guides[i].p2[0] = curve->params2[2 * i], guides[i].p2[1] = curve->params2[2 * i + 1];
  }
  if (type == 2 || type == 3) guides[n++] = guides[0];
  guides.resize(n);
  std::vector<char> usable(n, 0);
  for (int i = 0; i < n; ++i) {
    const int st = pb.evaluate(guides[i]);
    if (st < 0) {
      *status = st;
      error_report("s1310", st, 5);
      return;
    }
    double x[3];
    vec_cross(guides[i].ev1 + 18, guides[i].ev2 + 18, x);
    int f = 0;
    vec_length(x, 3, &f);
    usable[i] = param_sine(guides[i].ev1) >= 0.01 && param_sine(guides[i].ev2) >= 0.01 && f;
  }
  int s = choose_start(usable, n, type);
  MarchResult res;
  if (s > 0) {
    if (n > 2) {
      std::vector<MState> reduced;
      reduced.push_back(guides[0]);
      if (s != 1 && s != n) reduced.push_back(guides[s - 1]);
      reduced.push_back(guides[n - 1]);
      s = (s == 1) ? 1 : (s == n ? 2 : 2);
      guides = reduced;
      n = static_cast<int>(guides.size());
    }
    const int st = run_march(pb, guides, n, s, epsge, ceiling, res);
    if (st < 0) {
      *status = st;
      error_report("s1310", st, 70);
      return;
    }
  }
  int st = s > 0 ? build_curves(res, n, s, make_curve, epsge, &curve->geometry, &curve->pcurve1,
                                &curve->pcurve2)
                 : -185;
  if (st == -185) {
    int cs = 0;
    if (curve->point_count > 1) {
      s1310_s9constline(s1, s2, curve, epsge, make_curve, graphics, &cs);
      if (cs < 0) {
        *status = cs;
        error_report("s1310", cs, 70);
        return;
      }
    }
    *status = cs == 1 ? 0 : -185;
    return;
  }
  if (st < 0) {
    *status = st;
    error_report("s1310", st, 70);
    return;
  }
  *status = res.budget ? kMarchBudgetSpent : 0;
}

void s1313(const spline_surface* surface, const double* coefs, int kind, double epsco,
           double epsge, double max_step, isect_curve* curve, int make_curve, int graphics,
           int* status) {
  (void)epsco;
  (void)graphics;
  *status = 0;
  if (!curve) {
    *status = -150;
    error_report("s1313", -150, 0);
    return;
  }
  if (curve->curve_type == kIsectCurveConstParamLine) return;
  const bool on_first = curve->param_count1 == 2 && curve->param_count2 == 0;
  const bool on_second = curve->param_count1 == 0 && curve->param_count2 == 2;
  if (!on_first && !on_second) {
    *status = -123;
    error_report("s1313", -123, 0);
    return;
  }
  const double* params = on_first ? curve->params1 : curve->params2;
  if (curve->point_count < 1 || !params) {
    *status = -101;
    error_report("s1313", -101, 0);
    return;
  }
  if (surface->dim != 3) {
    *status = -104;
    error_report("s1313", -104, 0);
    return;
  }
  double ceiling = box_extent(surface);
  if (max_step > 0.0 && max_step <= ceiling) ceiling = max_step;
  destroy_curve(curve->geometry);
  destroy_curve(curve->pcurve1);
  destroy_curve(curve->pcurve2);
  curve->geometry = curve->pcurve1 = curve->pcurve2 = nullptr;
  SurfImplicit pb(surface, coefs, kind);
  const int type = curve->curve_type;
  int n = curve->point_count;
  std::vector<MState> guides(n + 1);
  for (int i = 0; i < n; ++i) {
    guides[i].p1[0] = params[2 * i], guides[i].p1[1] = params[2 * i + 1];
    guides[i].p2[0] = guides[i].p2[1] = 0.0;
  }
  if (type == 2 || type == 3) guides[n++] = guides[0];
  guides.resize(n);
  std::vector<char> usable(n, 0);
  const bool silhouette = kind >= 1003 && kind <= 1005;
  for (int i = 0; i < n; ++i) {
    int st = pb.evaluate(guides[i]);
    if (st < 0) {
      *status = st;
      error_report("s1313", st, 5);
      return;
    }
    if (silhouette) {
      usable[i] = param_sine(guides[i].ev1) >= 0.01;
    } else {
      double sp[10], pl[7], pl2[7];
      st = pb.local(guides[i], sp, pl, pl2);
      if (st < 0) {
        *status = st;
        error_report("s1313", st, 5);
        return;
      }
      usable[i] = st != 2;
    }
  }
  int s = 0;
  if (silhouette) {
    for (int i = n - 1; i >= 0 && s == 0; --i)
      if (usable[i]) s = i + 1;
  } else {
    s = choose_start(usable, n, type);
  }
  MarchResult res;
  if (s > 0) {
    if (n > 2) {
      std::vector<MState> reduced;
      reduced.push_back(guides[0]);
      if (s != 1 && s != n) reduced.push_back(guides[s - 1]);
      reduced.push_back(guides[n - 1]);
      s = (s == 1) ? 1 : 2;
      guides = reduced;
      n = static_cast<int>(guides.size());
    }
    const int st = run_march(pb, guides, n, s, epsge, ceiling, res);
    if (st == 3) {
      *status = 3;
      return;
    }
    if (st < 0) {
      *status = st;
      error_report("s1313", st, 70);
      return;
    }
  } else {
    // No usable start point: a chain of one singular point is a singular start.
    if (n == 1 && !silhouette) {
      *status = 3;
      return;
    }
  }
  spline_curve* pc = nullptr;
  int st = s > 0 ? build_curves(res, n, s, make_curve, epsge, &curve->geometry, &pc, nullptr)
                 : -185;
  if (st == -185 && curve->point_count > 1 && kind < 1003) {
    int cs = 0;
    s1313_s9constline(surface, coefs, kind, epsge, curve, make_curve, graphics, &cs);
    if (cs < 0) {
      *status = cs;
      error_report("s1313", cs, 70);
      return;
    }
    if (cs == 1) return;
  }
  if (st < 0) {
    destroy_curve(pc);
    *status = st;
    if (st != -185) error_report("s1313", st, 70);
    return;
  }
  if (on_first) curve->pcurve1 = pc;
  else curve->pcurve2 = pc;
  *status = res.budget ? kMarchBudgetSpent : 0;
}

void s1310_s9constline(const spline_surface* s1, const spline_surface* s2, isect_curve* curve,
                       double epsge, int make_curve, int graphics, int* status) {
  (void)graphics;
  (void)epsge;
  *status = 0;
  const double ceiling = std::max(box_extent(s1), box_extent(s2));
  destroy_curve(curve->geometry);
  destroy_curve(curve->pcurve1);
  destroy_curve(curve->pcurve2);
  curve->geometry = curve->pcurve1 = curve->pcurve2 = nullptr;
  if (curve->param_count1 != 2 || curve->param_count2 != 2) {
    *status = -123;
    error_report("s1310_s9constline", -123, 0);
    return;
  }
  const int n = curve->point_count;
  const double* pars[2] = {curve->params1, curve->params2};
  double lo[4], hi[4];
  int lo_at[4];
  for (int k = 0; k < 4; ++k) {
    lo[k] = 1e300, hi[k] = -1e300, lo_at[k] = 0;
    for (int i = 0; i < n; ++i) {
      const double x = pars[k / 2][2 * i + k % 2];
      if (x < lo[k]) lo[k] = x, lo_at[k] = i;
      hi[k] = std::max(hi[k], x);
    }
  }
  const Range ranges[4] = {make_range(s1->knots1, s1->order1, s1->vertex_count1),
                           make_range(s1->knots2, s1->order2, s1->vertex_count2),
                           make_range(s2->knots1, s2->order1, s2->vertex_count1),
                           make_range(s2->knots2, s2->order2, s2->vertex_count2)};
  int kind = 0;
  for (int k = 0; k < 4 && kind == 0; ++k)
    if (dequal_off(lo[k], hi[k], ranges[k].hi - ranges[k].lo)) kind = k + 1;
  if (kind == 0) return;
  const spline_surface* own = kind <= 2 ? s1 : s2;
  const spline_surface* other = kind <= 2 ? s2 : s1;
  const int kc = kind - 1;              // constant parameter
  const int kr = kc % 2 == 0 ? kc + 1 : kc - 1;  // running parameter on the same surface
  const double c = 0.5 * (lo[kc] + hi[kc]);
  spline_curve* full = nullptr;
  int st = 0;
  if (kc % 2 == 0) s1437(own, c, &full, &st);
  else s1436(own, c, &full, &st);
  spline_curve* line = nullptr;
  if (st >= 0) s1712(full, lo[kr], hi[kr], &line, &st);
  destroy_curve(full);
  if (st < 0 || !line) {
    destroy_curve(line);
    *status = st < 0 ? st : -101;
    error_report("s1310_s9constline", *status, 0);
    return;
  }
  // Samples along the line against the other surface.
  const int ko = line->order, nv = line->vertex_count;
  const double* t = line->knots;
  const double olo[2] = {other->knots1[other->order1 - 1], other->knots2[other->order2 - 1]};
  const double ohi[2] = {other->knots1[other->vertex_count1], other->knots2[other->vertex_count2]};
  const double* opar = pars[kind <= 2 ? 1 : 0];
  double guess[2] = {opar[2 * lo_at[kc]], opar[2 * lo_at[kc] + 1]};
  std::vector<double> sx, sp, sd;  // line parameters, other-surface pairs and tangents
  double prev_t = t[ko - 1];
  bool ok = true;
  for (int i = 0; i < nv && ok; ++i) {
    double ti = t[i];
    if (ko >= 2) {
      ti = 0.0;
      for (int j = i + 1; j <= i + ko - 1; ++j) ti += t[j];
      ti /= ko - 1;
    }
    for (double x : {0.5 * (prev_t + ti), ti}) {
      double d[6];
      int left = 0;
      s1221(line, 1, x, &left, d, &st);
      if (st < 0) break;
      spline_point* pt = create_point(d, 3, 1);
      double res[2];
      s1773(pt, other, epsge > 0 ? epsge * 1e-3 : 1e-12, olo, ohi,
            guess, res, &st);
      destroy_point(pt);
      if (st < 0) break;
      guess[0] = res[0], guess[1] = res[1];
      double ev[21];
      eval_block(other, 1, res, ev, &st);
      if (st < 0) break;
      const double dist = vec_dist(d, ev, 3);
      int f1 = 0, f2 = 0;
      vec_length(d + 3, 3, &f1);
      vec_length(ev + 9, 3, &f2);
      if (!dequal_off(dist, 0.0, ceiling) ||
          (f1 && f2 &&
           !dequal(std::fabs(std::acos(std::clamp(
                       vec_dot(d + 3, ev + 9, 3) /
                           (vec_length(d + 3, 3, &f1) * vec_length(ev + 9, 3, &f2)),
                       -1.0, 1.0))),
                   M_PI / 2.0))) {
        ok = false;
        break;
      }
      // Parameter-plane tangent on the other surface from the normal equations.
      const double a11 = vec_dot(ev + 3, ev + 3, 3), a12 = vec_dot(ev + 3, ev + 6, 3);
      const double a22 = vec_dot(ev + 6, ev + 6, 3);
      const double b1 = vec_dot(ev + 3, d + 3, 3), b2 = vec_dot(ev + 6, d + 3, 3);
      const double det = a11 * a22 - a12 * a12;
      double ta = 0.0, tb = 0.0;
      if (det != 0.0) {
        ta = (b1 * a22 - b2 * a12) / det;
        tb = (a11 * b2 - a12 * b1) / det;
        const double l = std::hypot(ta, tb);
        if (l > 0.0) ta /= l, tb /= l;
      }
      sx.push_back(x);
      sp.insert(sp.end(), {res[0], res[1]});
      sd.insert(sd.end(), {ta, tb});
    }
    if (st < 0) break;
    prev_t = ti;
  }
  if (!keep_const_line(line, st, ok, make_curve, "s1310_s9constline", curve, status)) return;
  if (make_curve >= 2) {
    // The line on its own surface.
    spline_curve* own_pc = const_param_pcurve(c, lo[kr], hi[kr], kc % 2 == 0);
    // Hermite curve through the samples on the other surface (all but the first).
    spline_curve* other_pc = nullptr;
    const int m = static_cast<int>(sx.size()) - 1;
    if (m >= 2) {
      // chord[i]: distance between the used samples i and i + 1 (samples i + 1, i + 2).
      std::vector<double> chord(m - 1, 0.0);
      for (int i = 0; i < m - 1; ++i)
        chord[i] = std::hypot(sp[2 * (i + 2)] - sp[2 * (i + 1)],
                              sp[2 * (i + 2) + 1] - sp[2 * (i + 1) + 1]);
      std::vector<double> der(2 * m);
      for (int i = 0; i < m; ++i) {
        double sc;
        if (i == 0) sc = chord[0];
        else if (i == m - 1) sc = chord[m - 2];
        else sc = 0.5 * (chord[i - 1] + chord[i]);
        der[2 * i] = sd[2 * (i + 1)] * sc;
        der[2 * i + 1] = sd[2 * (i + 1) + 1] * sc;
      }
      s1379(sp.data() + 2, der.data(), sx.data() + 1, m, 2, &other_pc, &st);
      if (st < 0) other_pc = nullptr;
    }
    if (own_pc && other_pc) {
      curve->pcurve1 = kind <= 2 ? own_pc : other_pc;
      curve->pcurve2 = kind <= 2 ? other_pc : own_pc;
    } else {
      destroy_curve(own_pc);
      destroy_curve(other_pc);
    }
  }
  *status = 1;
}

void s1313_s9constline(const spline_surface* surface, const double* coefs, int kind,
                       double epsge, isect_curve* curve, int make_curve, int graphics,
                       int* status) {
  (void)graphics;
  (void)epsge;
  *status = 0;
  const double ceiling = box_extent(surface);
  destroy_curve(curve->geometry);
  destroy_curve(curve->pcurve1);
  destroy_curve(curve->pcurve2);
  curve->geometry = curve->pcurve1 = curve->pcurve2 = nullptr;
  const bool on_first = curve->param_count1 == 2 && curve->param_count2 == 0;
  if (!on_first && !(curve->param_count1 == 0 && curve->param_count2 == 2)) {
    *status = -123;
    error_report("s1313_s9constline", -123, 0);
    return;
  }
  const double* pars = on_first ? curve->params1 : curve->params2;
  const int n = curve->point_count;
  double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 2; ++k) {
      lo[k] = std::min(lo[k], pars[2 * i + k]);
      hi[k] = std::max(hi[k], pars[2 * i + k]);
    }
  const Range r[2] = {make_range(surface->knots1, surface->order1, surface->vertex_count1),
                      make_range(surface->knots2, surface->order2, surface->vertex_count2)};
  int kc = -1;
  if (dequal_off(lo[0], hi[0], r[0].hi - r[0].lo)) kc = 0;
  else if (dequal_off(lo[1], hi[1], r[1].hi - r[1].lo)) kc = 1;
  if (kc < 0) return;
  const int kr = 1 - kc;
  const double c = 0.5 * (lo[kc] + hi[kc]);
  spline_curve *full = nullptr, *line = nullptr;
  int st = 0;
  if (kc == 0) s1437(surface, c, &full, &st);
  else s1436(surface, c, &full, &st);
  if (st >= 0) s1712(full, lo[kr], hi[kr], &line, &st);
  destroy_curve(full);
  if (st < 0 || !line) {
    destroy_curve(line);
    *status = st < 0 ? st : -101;
    error_report("s1313_s9constline", *status, 0);
    return;
  }
  const int ko = line->order, nv = line->vertex_count;
  const double* t = line->knots;
  double prev_t = t[ko - 1];
  bool ok = true;
  for (int i = 0; i < nv && ok && st >= 0; ++i) {
    double ti = t[i];
    if (ko >= 2) {
      ti = 0.0;
      for (int j = i + 1; j <= i + ko - 1; ++j) ti += t[j];
      ti /= ko - 1;
    }
    for (double x : {ti, 0.5 * (prev_t + ti)}) {
      double d[6], vals[6], g[3];
      int left = 0;
      s1221(line, 1, x, &left, d, &st);
      if (st >= 0) s1331(d, coefs, kind, 0, vals, g, &st);
      if (st < 0) break;
      const double dist = s1309(d, g, coefs, kind, &st);
      if (st < 0) break;
      int f1 = 0, f2 = 0;
      const double l1 = vec_length(d + 3, 3, &f1), l2 = vec_length(g, 3, &f2);
      if (st == 2 || !dequal_off(std::fabs(dist), 0.0, ceiling) ||
          (f1 && f2 &&
           !dequal(std::acos(std::clamp(vec_dot(d + 3, g, 3) / (l1 * l2), -1.0, 1.0)),
                   M_PI / 2.0))) {
        ok = false;
        break;
      }
    }
    prev_t = ti;
  }
  if (!keep_const_line(line, st, ok, make_curve, "s1313_s9constline", curve, status)) return;
  if (make_curve >= 2) {
    spline_curve* pc = const_param_pcurve(c, lo[kr], hi[kr], kc == 0);
    if (on_first) curve->pcurve1 = pc;
    else curve->pcurve2 = pc;
  }
  *status = 1;
}

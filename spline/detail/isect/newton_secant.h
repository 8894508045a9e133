// Internal: the secant search along a curve parameter shared by the curve-surface and
// the planar curve-curve iterations.  The caller's probe evaluates the signed distance
// of the other object at a curve parameter (projecting onto it), writes the distance
// and tells whether the search must end there (a zero normal or a distance below the
// tolerance).
#pragma once

#include <cmath>

namespace newton_detail {

struct ProbeResult {
  double f = 0.0;     // signed distance
  bool stop = false;  // end the search at this parameter
  int status = 0;     // negative: an error, ends the search
};

struct SecantRules {
  double slow_ratio;     // f1 / f0 at or above this (same sign) counts as a slow approach
  int secant_probes;     // probes of the secant phase
  bool bracket_inside;   // with a sign change, keep the new parameter inside the bracket
  bool clamp_probes;     // clamp the start and the first probes into [start, end]
};

// Runs the search from t with step h; returns the last probed parameter in *result.
// Status 0, 2 when the bracketing gave up, or a probe's negative status.
template <typename Probe>
void secant_search(Probe&& probe, double t, double h, double start, double end, double length,
                   const SecantRules& rules, double* result, int* status) {
  auto clamp_in = [&](double x) { return x < start ? start : (x > end ? end : x); };
  *status = 0;
  if (h == 0.0) h = 1e-15;
  if (rules.clamp_probes) t = clamp_in(t);
  int turns = 0;
  if ((t == start && h < 0.0) || (t == end && h > 0.0)) {
    h = -h;
    turns = 1;
  }
  const double lo = 0.01 * length, hi = 0.1 * length;
  if (std::fabs(h) < lo) h = std::copysign(lo, h);
  if (std::fabs(h) > hi) h = std::copysign(hi, h);

  double t0 = t;
  double last = t0;
  ProbeResult p0 = probe(t0);
  if (p0.status < 0) {
    *status = p0.status;
    return;
  }
  *result = last;
  if (p0.stop || p0.f == 0.0) return;
  double f0 = p0.f;

  double t1 = t0 + h;
  if (rules.clamp_probes) t1 = clamp_in(t1);
  double f1 = 0.0;
  bool bracketed = false;
  for (int probes = 0; probes < 20; ++probes) {
    ProbeResult p1 = probe(t1);
    if (p1.status < 0) {
      *status = p1.status;
      return;
    }
    last = t1;
    *result = last;
    if (p1.stop) return;
    f1 = p1.f;
    const double r = f1 / f0;
    if (r > 1.0000000000001) {  // moving away
      if (turns) return;
      h = -h;
      t1 = t0 + h;
      if (rules.clamp_probes) t1 = clamp_in(t1);
      turns = 1;
      continue;
    }
    if (f0 * f1 > 0.0 && r >= rules.slow_ratio) {  // slow approach: go on
      if (t1 + h >= start && t1 + h <= end)
        t1 += h;
      else if (h > 0.0 && t1 < end)
        t1 = end;
      else if (h < 0.0 && t1 > start)
        t1 = start;
      else
        return;
      continue;
    }
    bracketed = true;
    break;
  }
  if (!bracketed) {
    *status = 2;
    return;
  }

  for (int probes = 0; probes < rules.secant_probes; ++probes) {
    if (std::fabs(f0 - f1) < 1e-15) return;
    const bool opposite = (f0 > 0.0 && f1 < 0.0) || (f0 < 0.0 && f1 > 0.0);
    double t2 = t1 + (t1 - t0) * f1 / (f0 - f1);
    if (opposite && rules.bracket_inside) {
      // A secant point from a very lopsided bracket creeps; bisect such brackets.
      const double small = std::fmin(std::fabs(f0), std::fabs(f1));
      const double big = std::fmax(std::fabs(f0), std::fabs(f1));
      if (big > 6.0 * small) t2 = 0.5 * (t0 + t1);
    }
    if (t2 >= end) {
      t2 = end;
      if (t0 == end || t1 == end) return;
    } else if (t2 <= start) {
      t2 = start;
      if (t0 == start || t1 == start) return;
    }
    ProbeResult p2 = probe(t2);
    if (p2.status < 0) {
      *status = p2.status;
      return;
    }
    last = t2;
    *result = last;
    if (p2.stop) return;
    const double f2 = p2.f;
    if (opposite) {
      if ((f2 > 0.0 && f0 > 0.0) || (f2 < 0.0 && f0 < 0.0)) {
        t0 = t2;
        f0 = f2;
      } else {
        t1 = t2;
        f1 = f2;
      }
    } else if (f0 < 0.0 && f2 > 0.0) {
      if (f0 < f1) {
        t0 = t2;
        f0 = f2;
      } else {
        t1 = t2;
        f1 = f2;
      }
    } else if (f0 > 0.0 && f2 < 0.0) {
      if (f0 > f1) {
        t0 = t2;
        f0 = f2;
      } else {
        t1 = t2;
        f1 = f2;
      }
    } else if (f0 > 0.0) {
      if (f0 > f1) {
        if (f2 >= f0) return;
        t0 = t2;
        f0 = f2;
      } else {
        if (f2 >= f1) return;
        t1 = t2;
        f1 = f2;
      }
    } else if (f0 < 0.0) {
      if (f0 < f1) {
        if (f2 <= f0) return;
        t0 = t2;
        f0 = f2;
      } else {
        if (f2 <= f1) return;
        t1 = t2;
        f1 = f2;
      }
    }
  }
}

}  // namespace newton_detail

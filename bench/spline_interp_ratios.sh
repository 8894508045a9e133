#!/usr/bin/env bash
# Speed of closed-curve interpolation (s1356, periodic cubic: order 4) against
# OpenCASCADE's periodic Geom2dAPI_Interpolate (a cubic too) on the same wall-like
# contours of 100, 400, 1,600 and
# 6,400 points, both in the same spline_bench run; prints per size the median times,
# the ratio OpenCASCADE / ours (aim >= 2) and the growth from 400 to 6,400 points (aim
# <= 20, i.e. linear cost).  The cases run interleaved at random and repeated, so that
# the load of a shared machine falls on both alike.
# Usage: bench/spline_interp_ratios.sh [BUILD_DIR] [REPETITIONS]  (default build/release,
# built with -DKESTROVA_BENCH=ON and OpenCASCADE; 10 repetitions).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
reps="${2:-10}"
bench="$build/bin/spline_bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$bench" --benchmark_filter='BM_(s1356|OpenCascade)_periodic/' \
  --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true --benchmark_out="$work/run.json" \
  --benchmark_out_format=json >/dev/null 2>&1
python3 - "$work/run.json" "$reps" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
median = {}
for b in runs:
    if b.get("aggregate_name") == "median":
        name, size = b["run_name"].rsplit("/", 1)
        median[(name, int(size))] = b["real_time"]  # microseconds
ours, theirs = "BM_s1356_periodic", "BM_OpenCascade_periodic"
print(f"closed cubic interpolation (periodic, both cubic), median of {sys.argv[2]} repetitions (wall time per curve)")
print("points   s1356 us   OpenCASCADE us   OpenCASCADE/s1356 (aim >= 2)")
ok = True
for n in (100, 400, 1600, 6400):
    o, t = median[(ours, n)], median[(theirs, n)]
    ok &= t / o >= 2
    print(f"{n:6d}  {o:9.2f}  {t:15.2f}  {t / o:8.2f}")
growth = median[(ours, 6400)] / median[(ours, 400)]
ok &= growth <= 20
print(f"6400 / 400 points: s1356 {growth:.1f}x (aim <= 20), "
      f"OpenCASCADE {median[(theirs, 6400)] / median[(theirs, 400)]:.1f}x")
print("aims met" if ok else "AIMS NOT MET")
PY

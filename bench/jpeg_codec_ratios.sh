#!/usr/bin/env bash
# Speed of the toolkit's JPEG codec and of the frame extraction against
# libjpeg-turbo and DCMTK, on the same inputs in one run; prints the ratios.
#   1. dicom_bench's codec cases (512 x 512 grey and RGB frames at libjpeg
#      qualities 83 and 95): our decoder and encoder next to TurboJPEG in the
#      same binary, TurboJPEG once with its SIMD and once with
#      JSIMD_FORCENONE=1.
#   2. frame-extract against `dcmj2pnm --all-frames +oj` on a 300-frame
#      512 x 512 JPEG-baseline recording, on every core and on one
#      (taskset -c 0).
# Usage: bench/jpeg_codec_ratios.sh [BUILD_DIR]  (default build/release, built
# with -DKESTROVA_BENCH=ON; needs dump2dcm, dcmcjpeg and dcmj2pnm).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
bench="$build/bin/dicom_bench"
extract="$build/bin/frame-extract"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== JPEG codec, 512 x 512 frames (CPU time per frame; the machine is shared) =="
"$bench" --benchmark_filter='BM_(Our|Turbo)(Encode|Decode)' --benchmark_min_time=1 \
  --benchmark_format=json >"$work/simd.json" 2>/dev/null
JSIMD_FORCENONE=1 "$bench" --benchmark_filter='BM_Turbo(Encode|Decode)' --benchmark_min_time=1 \
  --benchmark_format=json >"$work/nosimd.json" 2>/dev/null
python3 - "$work/simd.json" "$work/nosimd.json" <<'PY'
import json, sys
def times(path):
    return {b["name"]: b["cpu_time"] for b in json.load(open(path))["benchmarks"]}
simd, nosimd = times(sys.argv[1]), times(sys.argv[2])
for ch, kind in ((1, "grey"), (3, "RGB")):
    for q in (83, 95):
        case = f"{ch}/{q}"
        d, td, tdn = simd[f"BM_OurDecode/{case}"], simd[f"BM_TurboDecode/{case}"], nosimd[f"BM_TurboDecode/{case}"]
        e, te = simd[f"BM_OurEncode/{case}"], simd[f"BM_TurboEncode/{case}"]
        print(f"{kind:4} q{q}: decode ours {d:6.2f} ms, turbo {td:5.2f} ms (SIMD) {tdn:5.2f} ms (no SIMD): "
              f"ours/turbo {d/td:4.2f} (aim <= 1.5), ours/turbo-no-SIMD {d/tdn:4.2f} (aim <= 1.0)")
        print(f"{'':4}      encode ours {e:6.2f} ms, turbo {te:5.2f} ms (optimised Huffman): ours/turbo {e/te:4.2f} (aim <= 1.5)")
PY

echo "== frame extraction, 300 frames of 512 x 512, JPEG baseline =="
python3 - "$work/pixels.raw" <<'PY'
import sys, math, random
# An ultrasound-like frame (smooth base and speckle), moved by a few rows and
# columns from frame to frame.
random.seed(1)
side, frames = 512, 300
base = bytes(max(0, min(255, int(110 + 80 * math.sin(0.02 * x) * math.cos(0.015 * y) + random.gauss(0, 10))))
             for y in range(side) for x in range(side))
with open(sys.argv[1], "wb") as out:
    for f in range(frames):
        shift = (f * 7 * side + f * 3) % len(base)
        out.write(base[shift:] + base[:shift])
PY
cat >"$work/rec.dump" <<DUMP
(0002,0010) UI =LittleEndianExplicit
(0008,0016) UI =XRayAngiographicImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.2.1143.99.1]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0008) IS [300]
(0028,0010) US 512
(0028,0011) US 512
(0028,0100) US 8
(0028,0101) US 8
(0028,0102) US 7
(0028,0103) US 0
(7fe0,0010) OB =$work/pixels.raw
DUMP
dump2dcm +E -g "$work/rec.dump" "$work/native.dcm"
dcmcjpeg +eb "$work/native.dcm" "$work/rec.dcm"
python3 - "$extract" "$work" <<'PY'
import os, shutil, subprocess, sys, time
extract, work = sys.argv[1], sys.argv[2]
rec = os.path.join(work, "rec.dcm")
def best(command, runs=3):
    times = []
    for _ in range(runs):
        out = os.path.join(work, "out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        start = time.perf_counter()
        subprocess.run(command(out), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return min(times)
ours = lambda out: [extract, rec, out]
dcmtk = lambda out: ["dcmj2pnm", "--all-frames", "+oj", rec, os.path.join(out, "f")]
one = lambda cmd: (lambda out: ["taskset", "-c", "0"] + cmd(out))
cores = len(os.sched_getaffinity(0))
o, d = best(ours), best(dcmtk)
o1, d1 = best(one(ours)), best(one(dcmtk))
print(f"{cores} cores: frame-extract {o:5.2f} s, dcmj2pnm {d:5.2f} s: dcmj2pnm/frame-extract {d/o:4.2f} (aim >= 4)")
print(f"1 core : frame-extract {o1:5.2f} s, dcmj2pnm {d1:5.2f} s: dcmj2pnm/frame-extract {d1/o1:4.2f} (aim >= 1.5)")
PY

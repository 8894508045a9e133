#!/usr/bin/env bash
# Speed of the toolkit's JPEG codec and of the frame extraction against
# libjpeg-turbo and DCMTK, on the same inputs and the same output format, with
# every output checked; prints medians and ratios.
#   1. dicom_bench's codec cases (512 x 512 grey and RGB frames at libjpeg
#      qualities 83 and 95, the same quantisation tables on both sides, R, G, B
#      components written as such by both encoders): our decoder and encoder
#      next to libjpeg-turbo in the same binary, once with its SIMD and once
#      with JSIMD_FORCENONE=1. The two kinds of process alternate, REPS rounds,
#      the cases in random order within each; medians of CPU time per frame.
#      Each encoder's output is decoded by the other library (size and PSNR
#      against the source) and both decoders' outputs are compared.
#   2. frame-extract (our threads, all cores) against `dcmj2pnm --all-frames
#      +oj +Jq 83` (one thread: DCMTK decodes and writes the frames in turn) on
#      a 300-frame 512 x 512 JPEG-baseline recording, both writing JPEG frame
#      files at the same quality (our quality 100 = libjpeg 83), then both on
#      one core (taskset -c 0); runs alternate, REPS of each, medians. Every
#      frame written by each is decoded by djpeg and compared block by block
#      with dcmdjpeg's decode of the stored stream.
# Usage: bench/jpeg_codec_ratios.sh [BUILD_DIR] [REPS]  (default build/release,
# 5; built with -DKESTROVA_BENCH=ON; needs dump2dcm, dcmcjpeg, dcmdjpeg,
# dcmj2pnm and djpeg).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
reps="${2:-5}"
bench="$build/bin/dicom_bench"
extract="$build/bin/frame-extract"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== JPEG codec, 512 x 512 frames: median CPU time per frame of $reps alternating rounds (the machine is shared) =="
for ((r = 0; r < reps; ++r)); do
  simd=(env "$bench" --benchmark_filter='BM_(Our|Turbo)(Encode|Decode)' --benchmark_min_time=0.2
        --benchmark_enable_random_interleaving=true --benchmark_format=json)
  nosimd=(env JSIMD_FORCENONE=1 "$bench" --benchmark_filter='BM_Turbo(Encode|Decode)' --benchmark_min_time=0.2
          --benchmark_enable_random_interleaving=true --benchmark_format=json)
  if ((r % 2 == 0)); then
    "${simd[@]}" >"$work/simd.$r.json" 2>/dev/null
    "${nosimd[@]}" >"$work/nosimd.$r.json" 2>/dev/null
  else
    "${nosimd[@]}" >"$work/nosimd.$r.json" 2>/dev/null
    "${simd[@]}" >"$work/simd.$r.json" 2>/dev/null
  fi
done
python3 - "$work" "$reps" <<'PY'
import json, statistics, sys
work, reps = sys.argv[1], int(sys.argv[2])
def runs(kind):
    out = {}
    for r in range(reps):
        for b in json.load(open(f"{work}/{kind}.{r}.json"))["benchmarks"]:
            out.setdefault(b["name"], []).append(b)
    return out
simd, nosimd = runs("simd"), runs("nosimd")
med = lambda runs, key="cpu_time": statistics.median(b[key] for b in runs)
ok = True
for ch, kind in ((1, "grey"), (3, "RGB")):
    for q in (83, 95):
        case = f"{ch}/{q}"
        d, td, tdn = med(simd[f"BM_OurDecode/{case}"]), med(simd[f"BM_TurboDecode/{case}"]), med(nosimd[f"BM_TurboDecode/{case}"])
        e, te, ten = med(simd[f"BM_OurEncode/{case}"]), med(simd[f"BM_TurboEncode/{case}"]), med(nosimd[f"BM_TurboEncode/{case}"])
        print(f"{kind:4} q{q}: decode ours {d:6.2f} ms, turbo {td:5.2f} ms (SIMD) {tdn:5.2f} ms (no SIMD): "
              f"ours/turbo {d/td:4.2f} (aim <= 1.5), ours/turbo-no-SIMD {d/tdn:4.2f} (aim <= 1.0)")
        print(f"{'':4}      encode ours {e:6.2f} ms, turbo {te:5.2f} ms (SIMD) {ten:5.2f} ms (no SIMD): "
              f"ours/turbo {e/te:4.2f}, ours/turbo-no-SIMD {e/ten:4.2f} (aim <= 1.5)")
        # What the outputs are worth (the same in every round).
        ob, tb = simd[f"BM_OurEncode/{case}"][0]["bytes"], simd[f"BM_TurboEncode/{case}"][0]["bytes"]
        op, tp = simd[f"BM_OurEncode/{case}"][0]["psnr"], simd[f"BM_TurboEncode/{case}"][0]["psnr"]
        dd = max(simd[f"BM_OurDecode/{case}"][0]["maxdiff"], simd[f"BM_TurboDecode/{case}"][0]["maxdiff"])
        agree = abs(ob / tb - 1) <= 0.02 and abs(op - tp) <= 0.1 and dd <= 1
        ok &= agree
        print(f"{'':4}      outputs: ours {ob/1000:6.1f} kB at {op:5.2f} dB (decoded by turbo), turbo {tb/1000:6.1f} kB at "
              f"{tp:5.2f} dB (decoded by ours); decoders differ by at most {dd:.0f}: "
              + ("agree" if agree else "DISAGREE"))
print("codec outputs agree" if ok else "CODEC OUTPUTS DISAGREE")
PY

echo "== frame extraction, 300 frames of 512 x 512, JPEG baseline, frame files at libjpeg quality 83 =="
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
dcmdjpeg "$work/rec.dcm" "$work/plain.dcm"
python3 - "$extract" "$work" "$reps" <<'PY'
import os, shutil, statistics, subprocess, sys, time
from concurrent.futures import ThreadPoolExecutor
extract, work, reps = sys.argv[1], sys.argv[2], int(sys.argv[3])
rec = os.path.join(work, "rec.dcm")
side, frames = 512, 300

def timed(command, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    start = time.perf_counter()
    subprocess.run(command(out), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start

def alternate(a, b):
    """REPS runs of each, alternating (which goes first alternates too); medians."""
    ta, tb = [], []
    for r in range(reps):
        for which in ((a, ta, "a"), (b, tb, "b")) if r % 2 == 0 else ((b, tb, "b"), (a, ta, "a")):
            which[1].append(timed(which[0], os.path.join(work, "out-" + which[2])))
    return statistics.median(ta), statistics.median(tb)

ours = lambda out: [extract, rec, out]
dcmtk = lambda out: ["dcmj2pnm", "--all-frames", "+oj", "+Jq", "83", rec, os.path.join(out, "f")]
one = lambda cmd: (lambda out: ["taskset", "-c", "0"] + cmd(out))
cores = len(os.sched_getaffinity(0))
o, d = alternate(ours, dcmtk)
pixels = {"ours": [os.path.join(work, "out-a", f"frame.{i}.jpg") for i in range(frames)],
          "dcmj2pnm": [os.path.join(work, "out-b", f"f.{i}.jpg") for i in range(frames)]}
# Every frame file of the last multi-core runs against dcmdjpeg's decode of the stored stream.
plain = open(os.path.join(work, "plain.dcm"), "rb").read()
reference = plain[len(plain) - frames * side * side:]

def worst_block(path, index):
    pgm = path + ".pgm"
    if subprocess.run(["djpeg", "-pnm", "-outfile", pgm, path], stderr=subprocess.DEVNULL).returncode != 0:
        return float("inf")
    data = open(pgm, "rb").read()
    ours = data[len(data) - side * side:]
    ref = reference[index * side * side:(index + 1) * side * side]
    squares = [(a - b) * (a - b) for a, b in zip(ours, ref)]
    worst = 0
    for by in range(0, side, 8):
        sums = [0] * (side // 8)
        for y in range(by, by + 8):
            row = squares[y * side:(y + 1) * side]
            for bx in range(side // 8):
                sums[bx] += sum(row[bx * 8:bx * 8 + 8])
        worst = max(worst, max(sums))
    return (worst / 64) ** 0.5

with ThreadPoolExecutor(max_workers=4) as pool:
    worst = {name: list(pool.map(worst_block, paths, range(frames))) for name, paths in pixels.items()}
o1, d1 = alternate(one(ours), one(dcmtk))
print(f"{cores} cores: frame-extract on its thread pool {o:5.2f} s, dcmj2pnm (one thread) {d:5.2f} s: "
      f"dcmj2pnm/frame-extract {d/o:5.2f} (aim >= 4)")
print(f"1 core : frame-extract {o1:5.2f} s, dcmj2pnm {d1:5.2f} s: dcmj2pnm/frame-extract {d1/o1:4.2f} (aim >= 1.5)")
wo, wd = max(worst["ours"]), max(worst["dcmj2pnm"])
bound = max(12.0, 1.5 * wd)
bad = sum(1 for w in worst["ours"] if w > bound)
print(f"pixels: worst 8x8 block RMS against dcmdjpeg's decode of the stored frames: frame-extract {wo:.2f}, "
      f"dcmj2pnm {wd:.2f}; frames of frame-extract with a block beyond {bound:.1f}: {bad} of {frames}: "
      + ("agree" if bad == 0 else "PIXELS DISAGREE"))
PY

#!/usr/bin/env bash
# Rebuilds the pixel-data fixtures with DCMTK. NAME.raw holds the pixel data
# value as written (native) or as dcmdrle + dcmdump +W give it back (RLE).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# make NAME ROWS COLS FRAMES SPP PHOTO PLANAR BITS STORED HIGH SIGNED VR
make() {
  local name=$1 rows=$2 cols=$3 frames=$4 spp=$5 photo=$6 planar=$7 bits=$8 stored=$9 high=${10} signed=${11} vr=${12}
  python3 - "$tmp/$name.raw" "$rows" "$cols" "$frames" "$spp" "$photo" "$bits" "$stored" "$high" <<'PY'
import sys
path, rows, cols, frames, spp, photo, bits, stored, high = sys.argv[1], *map(int, sys.argv[2:6]), sys.argv[6], *map(int, sys.argv[7:])
samples_per_frame = rows * cols * spp
if photo.endswith('_422'):
    samples_per_frame = ((cols + 1) // 2) * rows * 4
out = bytearray()
seed = 12345
vals = []
for i in range(samples_per_frame * frames):
    seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
    v = (seed >> 8) & ((1 << stored) - 1)
    if i % 7 < 3:
        v = (i // 7) & ((1 << stored) - 1)  # some runs for RLE
    vals.append(v << (high + 1 - stored))
if bits == 8:
    out = bytes(vals)
elif bits == 16:
    for v in vals:
        out += bytes((v & 0xFF, v >> 8))
else:
    # Packed samples; every frame starts on a byte boundary.
    for f in range(frames):
        acc = 0; n = 0
        for v in vals[f * samples_per_frame:(f + 1) * samples_per_frame]:
            acc |= v << n; n += bits
            while n >= 8:
                out.append(acc & 0xFF); acc >>= 8; n -= 8
        if n:
            out.append(acc & 0xFF)
    if len(out) % 2:
        out.append(0)
open(path, 'wb').write(bytes(out))
PY
  cat > "$tmp/$name.dump" <<DUMP
(0002,0010) UI [1.2.840.10008.1.2.1]
(0008,0016) UI [1.2.840.10008.5.1.4.1.1.7]
(0008,0018) UI [1.2.3.4.5.$RANDOM]
(0028,0002) US $spp
(0028,0004) CS [$photo]
$( [ "$spp" -gt 1 ] && echo "(0028,0006) US $planar" )
(0028,0008) IS [$frames]
(0028,0010) US $rows
(0028,0011) US $cols
(0028,0030) DS [0.5\\0.25]
(0028,0100) US $bits
(0028,0101) US $stored
(0028,0102) US $high
(0028,0103) US $signed
(7fe0,0010) $vr =$tmp/$name.raw
DUMP
  dump2dcm -q +E "$tmp/$name.dump" "$name.dcm"
  cp "$tmp/$name.raw" "$name.raw"
}

make mono8        5  7  3 1 MONOCHROME2     0 8  8  7  0 OB
make mono12       4  6  2 1 MONOCHROME2     0 16 12 11 0 OW
make mono12hb15s  4  6  1 1 MONOCHROME2     0 16 12 15 1 OW
make mono16s      3  5  2 1 MONOCHROME2     0 16 16 15 1 OW
make rgb          3  5  2 3 RGB             0 8  8  7  0 OB
make rgbplanar    3  5  2 3 RGB             1 8  8  7  0 OB
make ybr422       2  4  1 3 YBR_FULL_422    0 8  8  7  0 OB
make ybr422odd    2  5  1 3 YBR_FULL_422    0 8  8  7  0 OB
make packed12     3  5  2 1 MONOCHROME2     0 12 12 11 0 OB

# The 16-bit recording in big-endian order.
dcmconv -q +tb mono12.dcm mono12be.dcm

# RLE of DCMTK, and what DCMTK decodes it to.
for name in mono8 mono12 rgb rgbplanar mono16s; do
  dcmcrle -q "$name.dcm" "$name.rle.dcm"
  rm -f "$tmp"/back.dcm*
  dcmdrle -q "$name.rle.dcm" "$tmp/back.dcm"
  dcmdump -q +W "$tmp" "$tmp/back.dcm" > /dev/null
  cp "$tmp"/back.dcm.0.raw "$name.rle.raw"
done

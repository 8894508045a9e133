#!/bin/sh
# Makes the DICOM recordings of the import tests with DCMTK's dump2dcm, dcmconv, dcmcrle,
# dcmcjpeg and dcmcjpls. Run from this folder; the outputs are kept in the repository.
set -e
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 - "$tmp" <<'PY'
import random, struct, sys
d = sys.argv[1]
w, h = 32, 24
def save(name, data): open(f"{d}/{name}", "wb").write(bytes(data))
# smooth 8-bit frames: gentle ramps that move from frame to frame
save("smooth8.raw", [(x * 4 + y * 3 + f * 40) % 256 for f in range(3) for y in range(h) for x in range(w)])
random.seed(7)
save("speckle8.raw", [random.randrange(256) for _ in range(3 * w * h)])
# 12 bits stored in 16: a ramp over the whole range, low byte first
v12 = [min(4095, (x * 128 + y * 20 + f * 300)) for f in range(2) for y in range(h) for x in range(w)]
save("ramp12.raw", b"".join(struct.pack("<H", v) for v in v12))
# colour, pixel-interleaved RGB
save("rgb.raw", [c for f in range(2) for y in range(h) for x in range(w)
                 for c in ((x * 8) % 256, (y * 10) % 256, (f * 100 + 60) % 256)])
save("single.raw", [(x * 8) % 256 for y in range(h) for x in range(w)])
PY

head() {
cat <<DUMP
(0002,0010) UI =LittleEndianExplicit
(0008,0016) UI =XRayAngiographicImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.2.1143.1.$1]
(0028,0010) US 24
(0028,0011) US 32
DUMP
}
grey8() { # uid frames name birth spacing angle raw
  head "$1"
  cat <<DUMP
(0010,0010) PN [$3]
(0010,0030) DA [$4]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0008) IS [$2]
(0028,0100) US 8
(0028,0101) US 8
(0028,0102) US 7
(0028,0103) US 0
(7fe0,0010) OB =$tmp/$7
DUMP
  [ -n "$5" ] && printf "%s\n" "(0028,0030) DS [$5]"
  [ -n "$6" ] && echo "(0018,1510) DS [$6]"
  return 0
}

grey8 1 3 "Doe^John" 19600517 '0.25\0.25' -30.5 smooth8.raw > "$tmp/a.dump"
dump2dcm +E -g "$tmp/a.dump" grey8_smooth.dcm
grey8 2 3 "Roe^Jane" 19710203 '' '' speckle8.raw > "$tmp/b.dump"
dump2dcm +E -g "$tmp/b.dump" grey8_noisy.dcm
dcmconv +tb grey8_smooth.dcm grey8_big_endian.dcm
dcmconv +ti grey8_smooth.dcm grey8_implicit.dcm
dcmcrle grey8_smooth.dcm grey8_rle.dcm
dcmcjpeg +eb grey8_smooth.dcm grey8_jpeg_baseline.dcm
# a compression that the import does not read
dcmcjpls grey8_smooth.dcm grey8_jpegls.dcm

# IVUS-like: one frame, no number of frames, a pixel spacing without decimals
{ head 3; cat <<DUMP
(0010,0010) PN []
(0010,0030) DA [20010101]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0030) DS [1\\1]
(0028,0100) US 8
(0028,0101) US 8
(0028,0102) US 7
(0028,0103) US 0
(7fe0,0010) OB =$tmp/single.raw
DUMP
} > "$tmp/c.dump"
dump2dcm +E -g "$tmp/c.dump" single_frame.dcm

deep() { # uid window?
  head "$1"
  cat <<DUMP
(0010,0010) PN [Deep^Twelve]
(0010,0030) DA [19500101]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0008) IS [2]
(0028,0100) US 16
(0028,0101) US 12
(0028,0102) US 11
(0028,0103) US 0
(7fe0,0010) OW =$tmp/ramp12.raw
DUMP
  if [ -n "$2" ]; then echo "(0028,1050) DS [1500]"; echo "(0028,1051) DS [1000]"; fi
  return 0
}
deep 4 > "$tmp/d.dump"; dump2dcm +E -g "$tmp/d.dump" grey12.dcm
deep 5 w > "$tmp/e.dump"; dump2dcm +E -g "$tmp/e.dump" grey12_window.dcm

{ head 6; cat <<DUMP
(0010,0010) PN [Colour^Frames]
(0010,0030) DA [19800101]
(0028,0002) US 3
(0028,0004) CS [RGB]
(0028,0006) US 0
(0028,0008) IS [2]
(0028,0100) US 8
(0028,0101) US 8
(0028,0102) US 7
(0028,0103) US 0
(7fe0,0010) OB =$tmp/rgb.raw
DUMP
} > "$tmp/f.dump"
dump2dcm +E -g "$tmp/f.dump" rgb.dcm

# One frame as a progressive and as an arithmetic-coded JPEG stream (libjpeg-turbo's
# cjpeg), each held as the one fragment of encapsulated pixel data (img2dcm takes neither
# for what it is, so the file is composed here).
python3 -c "open('$tmp/g.pgm','wb').write(b'P5 32 24 255\n'+bytes((x*4+y*3)%256 for y in range(24) for x in range(32)))"
cjpeg -grayscale -progressive "$tmp/g.pgm" > "$tmp/p.jpg"
cjpeg -grayscale -arithmetic "$tmp/g.pgm" > "$tmp/a.jpg"
wrap_jpeg() { # jpeg out transfer-syntax
python3 - "$@" <<'PY'
import struct, sys
def el(g, e, vr, val):
    if len(val) % 2:
        val += b'\0' if vr in ("UI", "OB") else b' '
    if vr in ("OB", "OW", "UN", "SQ", "UT", "OF"):
        return struct.pack('<HH', g, e) + vr.encode() + b'\0\0' + struct.pack('<I', len(val)) + val
    return struct.pack('<HH', g, e) + vr.encode() + struct.pack('<H', len(val)) + val
def us(g, e, v): return el(g, e, "US", struct.pack('<H', v))
jpeg, out, ts = sys.argv[1:4]
data = open(jpeg, 'rb').read()
if len(data) % 2:
    data += b'\0'
item = lambda b: struct.pack('<HHI', 0xFFFE, 0xE000, len(b)) + b
pixels = (struct.pack('<HH', 0x7FE0, 0x10) + b'OB\0\0' + struct.pack('<I', 0xFFFFFFFF) + item(b'') + item(data)
          + struct.pack('<HHI', 0xFFFE, 0xE0DD, 0))
body = (el(0x10, 0x10, "PN", b"Doe^John") + el(0x10, 0x30, "DA", b"19600517") + us(0x28, 2, 1)
        + el(0x28, 4, "CS", b"MONOCHROME2") + el(0x28, 8, "IS", b"1") + us(0x28, 0x10, 24) + us(0x28, 0x11, 32)
        + us(0x28, 0x100, 8) + us(0x28, 0x101, 8) + us(0x28, 0x102, 7) + us(0x28, 0x103, 0) + pixels)
open(out, 'wb').write(b'\0' * 128 + b'DICM' + el(2, 0x10, "UI", ts.encode()) + body)
PY
}
wrap_jpeg "$tmp/p.jpg" grey8_progressive.dcm 1.2.840.10008.1.2.4.50
wrap_jpeg "$tmp/a.jpg" grey8_arithmetic.dcm 1.2.840.10008.1.2.4.51

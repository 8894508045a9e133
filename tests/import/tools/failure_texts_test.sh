#!/usr/bin/env bash
# The command-line tools tell a file they cannot read as the windows do: the file's name
# and what is wrong with it, the reader's own text on a detail line, exit status 1.
# Usage: failure_texts_test.sh DICOM_DUMP [FRAME_EXTRACT]
set -u
dump="$1"
extract="${2:-}"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
failures=0

# Small DICOM files, explicit VR little endian: a deflated one, a JPEG 2000 one, and
# 8 x 8 pixels that state 2^31 - 1 frames.
python3 - "$dir" <<'PY'
import struct, sys
d = sys.argv[1]
def el(g, e, vr, v):
    if len(v) % 2: v += b"\0" if vr in ("UI", "OB") else b" "
    if vr == "OB":
        return struct.pack("<HH", g, e) + vr.encode() + b"\0\0" + struct.pack("<I", len(v)) + v
    return struct.pack("<HH", g, e) + vr.encode() + struct.pack("<H", len(v)) + v
def dicom(syntax, body):
    return b"\0" * 128 + b"DICM" + el(2, 0x10, "UI", syntax.encode()) + body
grey = (el(0x28, 2, "US", struct.pack("<H", 1)) + el(0x28, 4, "CS", b"MONOCHROME2")
        + el(0x28, 8, "IS", b"2147483647") + el(0x28, 0x10, "US", struct.pack("<H", 8))
        + el(0x28, 0x11, "US", struct.pack("<H", 8)) + el(0x28, 0x100, "US", struct.pack("<H", 8))
        + el(0x28, 0x101, "US", struct.pack("<H", 8)) + el(0x28, 0x102, "US", struct.pack("<H", 7))
        + el(0x7FE0, 0x10, "OB", bytes(64)))
open(f"{d}/deflated.dcm", "wb").write(dicom("1.2.840.10008.1.2.1.99",
    bytes.fromhex("63606060f8ff9f81c1c8d8c4d2cadecd")))
open(f"{d}/j2k.dcm", "wb").write(dicom("1.2.840.10008.1.2.4.90", grey))
open(f"{d}/hostile.dcm", "wb").write(dicom("1.2.840.10008.1.2.1", grey))
PY

# expect NAME STATUS TEXT COMMAND...: the command exits with STATUS and prints TEXT on stderr.
expect() {
  local name="$1" status="$2" text="$3"
  shift 3
  local got rc
  got="$("$@" 2>&1 >/dev/null)"
  rc=$?
  if [ "$rc" != "$status" ] || [ "$got" != "$text" ]; then
    printf 'FAILED %s: exit %s (wanted %s)\n--- got\n%s\n--- wanted\n%s\n' "$name" "$rc" "$status" "$got" "$text"
    failures=$((failures + 1))
  else
    echo "ok $name"
  fi
}

expect "dicom-dump, deflate" 1 'The file "deflated.dcm" uses a compression this workstation does not read (deflate).
Detail: transfer syntax 1.2.840.10008.1.2.1.99 (Attempt to read past the end of the file)' \
  "$dump" "$dir/deflated.dcm"
expect "dicom-dump, missing file" 1 'The file "missing.dcm" cannot be found.
Detail: stream::openFile failure' "$dump" "$dir/missing.dcm"
if [ -n "$extract" ]; then
  mkdir -p "$dir/out"
  expect "frame-extract, JPEG 2000" 1 'The file "j2k.dcm" uses a compression this workstation does not read (JPEG 2000).
Detail: transfer syntax 1.2.840.10008.1.2.4.90' "$extract" "$dir/j2k.dcm" "$dir/out"
  expect "frame-extract, 2^31 - 1 frames" 1 'The file "hostile.dcm" cannot be imported: The number of frames (0028,0008) of the file states 2147483647 frames, but its pixel data of 64 bytes hold 1 frame' \
    "$extract" "$dir/hostile.dcm" "$dir/out"
  [ -z "$(ls -A "$dir/out")" ] || { echo "FAILED: frame-extract wrote frames of a refused file"; failures=$((failures + 1)); }
else
  echo "frame-extract is not built (no benchmarks): its cases are left out"
fi
[ "$failures" = 0 ]

#!/usr/bin/env bash
# Runs a fuzz target of the DICOM toolkit (built by tests/dicom/fuzz/CMakeLists.txt)
# for a bounded time on its corpus kept beside this script.
# Usage: run_fuzz.sh FUZZ_BUILD_DIR TARGET [SECONDS [LIBFUZZER_OPTIONS...]]  (TARGET
# dicomReader or jpegDecoder; default 60 seconds). The options are passed to libFuzzer as
# they are (the CTest lines give the memory limits there). Exits 77 (skipped) when the
# target was not built (no clang).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$1"
target="$2"
seconds="${3:-60}"
shift $(($# < 3 ? $# : 3))
case "$target" in
  dicomReader) corpus="$here/corpus" ;;
  jpegDecoder) corpus="$here/jpeg_corpus" ;;
  *) echo "unknown fuzz target $target" >&2; exit 2 ;;
esac
if [ ! -x "$out/${target}_fuzz" ]; then
  echo "${target}_fuzz is not built (clang with libFuzzer is missing): fuzzing skipped"
  exit 77
fi
# New inputs go to a scratch folder; the corpus in the repository stays small.
mkdir -p "$out/work-$target"
"$out/${target}_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 "$@" \
  "$out/work-$target" "$corpus"

#!/usr/bin/env bash
# Builds the DICOM reader fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for a bounded time on the corpus
# kept beside this script.  Usage: run_fuzz.sh [SECONDS] (default 60).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
seconds="${1:-60}"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ is not installed: fuzzing skipped"
  exit 77
fi
out="${FUZZ_BUILD_DIR:-$root/build/fuzz}"
mkdir -p "$out/work"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "$here/dicomReader_fuzz.cpp" "$root"/dicom/base/*.cpp "$root"/dicom/core/*.cpp \
  -lpthread -o "$out/dicomReader_fuzz"
# New inputs go to a scratch folder; the corpus in the repository stays small.
"$out/dicomReader_fuzz" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
  "$out/work" "$here/corpus"

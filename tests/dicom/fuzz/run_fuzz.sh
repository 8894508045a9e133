#!/usr/bin/env bash
# Builds a fuzz target of the DICOM toolkit with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) and runs it for a bounded time
# on its corpus kept beside this script.
# Usage: run_fuzz.sh [SECONDS] [TARGET]  (default 60 seconds, target
# dicomReader; the target jpegDecoder uses the corpus jpeg_corpus/).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
seconds="${1:-60}"
target="${2:-dicomReader}"
case "$target" in
  dicomReader) corpus="$here/corpus" ;;
  jpegDecoder) corpus="$here/jpeg_corpus" ;;
  *) echo "unknown fuzz target $target" >&2; exit 2 ;;
esac
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ is not installed: fuzzing skipped"
  exit 77
fi
out="${FUZZ_BUILD_DIR:-$root/build/fuzz}"
mkdir -p "$out/work-$target"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -I"$root")
# The toolkit is compiled once for every target, and again only when one of
# its files changes (the targets may run at the same time: one compiles, the
# others wait).
hash="$(cat "$root"/dicom/base/* "$root"/dicom/core/* | sha1sum | cut -c1-16)"
lib="$out/libdicom-fuzz-$hash.a"
(
  flock 9
  if [ ! -f "$lib" ]; then
    objects="$out/obj-$hash"
    mkdir -p "$objects"
    ls "$root"/dicom/base/*.cpp "$root"/dicom/core/*.cpp |
      xargs -P "$(nproc)" -I{} sh -c 'clang++ "$@" -c "{}" -o "'"$objects"'/$(basename "{}" .cpp).o"' _ "${flags[@]}"
    ar rcs "$lib.tmp" "$objects"/*.o && mv "$lib.tmp" "$lib"
    rm -rf "$objects"
  fi
) 9>"$out/.lock"
clang++ "${flags[@]}" -fsanitize=fuzzer "$here/${target}_fuzz.cpp" "$lib" -lpthread -o "$out/${target}_fuzz"
# New inputs go to a scratch folder; the corpus in the repository stays small.
"$out/${target}_fuzz" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
  "$out/work-$target" "$corpus"

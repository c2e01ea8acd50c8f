#!/usr/bin/env bash
# Builds the JPEG header fuzz target with clang (once, then incrementally) and runs
# it for a limited time. Usage: run-fuzz.sh SOURCE_ROOT BUILD_DIR [SECONDS]
set -euo pipefail
root="$1"
build="$2"
seconds="${3:-20}"

cxx="$(command -v clang++-14 || command -v clang++ || true)"
if [[ -z "$cxx" ]]; then
  echo "run-fuzz.sh: clang++ not found (install clang and libclang-rt-14-dev)" >&2
  exit 1
fi
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root/tests/pdf/fuzz" -B "$build" "${generator[@]}" \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" >/dev/null

# Seeds: a baseline and a progressive header, a file with segments before the frame.
corpus="$build/corpus"
mkdir -p "$corpus"
printf '\xff\xd8\xff\xc0\x00\x11\x08\x00\x10\x00\x20\x03\x01\x11\x00\x02\x11\x00\x03\x11\x00\xff\xd9' \
  >"$corpus/seed-baseline"
printf '\xff\xd8\xff\xe0\x00\x04ab\xff\xfe\x00\x03c\xff\xc2\x00\x0b\x08\x01\x00\x02\x00\x01\x01\x11\x00' \
  >"$corpus/seed-progressive"

cd "$build"
exec ./fuzz_jpegheader -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 \
  -print_final_stats=1 "$corpus"

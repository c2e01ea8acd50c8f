#!/usr/bin/env bash
# Export speed of pagora-pdf against two parallel cjpeg processes, and its peak
# memory. Usage: bench/pdf/run.sh [PATH/TO/pagora-pdf]
# Without a path, pagora-pdf is built in Release mode in build-pdf-bench/.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
pages_dir="${PAGORA_BENCH_DIR:-/dev/shm/pagora-bench-pdf}"
runs="${PAGORA_BENCH_RUNS:-3}"

source "$root/bench/common.sh"
tool="$(pagora_pdf "${1:-}")"
require cjpeg /usr/bin/time /usr/bin/python3

# 20 A4 colour pages at 300 dpi, made once.
/usr/bin/python3 "$root/bench/pdf/make_pages.py" "$pages_dir" 20
mapfile -t pages < <(ls "$pages_dir"/page*.bmp | sort)
out="$(mktemp -d /dev/shm/pagora-bench-out.XXXXXX)"
trap 'rm -rf "$out"' EXIT

pagora_times=()
cjpeg_times=()
for ((run = 1; run <= runs; ++run)); do
  start=$(now)
  "$tool" "$out/export.pdf" "${pages[@]}"
  pagora_times+=("$(since "$start")")

  start=$(now)
  printf '%s\n' "${pages[@]}" |
    xargs -P 2 -I{} sh -c 'cjpeg -quality 75 -outfile "$1/$(basename "$2" .bmp).jpg" "$2"' _ "$out" {}
  cjpeg_times+=("$(since "$start")")
done

t_pagora=$(printf '%s\n' "${pagora_times[@]}" | best)
t_cjpeg=$(printf '%s\n' "${cjpeg_times[@]}" | best)
ratio=$(awk -v a="$t_pagora" -v b="$t_cjpeg" 'BEGIN { print a / b }')

peak_kb() { /usr/bin/time -v "$tool" "$out/memory.pdf" "$@" 2>&1 >/dev/null |
  awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'; }
mem20=$(peak_kb "${pages[@]}")
many=()
for ((i = 0; i < 5; ++i)); do many+=("${pages[@]}"); done
mem100=$(peak_kb "${many[@]}")
size100=$(stat -c %s "$out/memory.pdf")
for ((i = 0; i < 45; ++i)); do many+=("${pages[@]}"); done
mem1000=$(peak_kb "${many[@]}")
size1000=$(stat -c %s "$out/memory.pdf")

printf 'pages: 20 x 2480 x 3508 colour BMP (%s), best of %d runs, %d cores\n' \
  "$pages_dir" "$runs" "$(nproc)"
printf 'pagora-pdf (one PDF)           %.2f s   runs: %s\n' "$t_pagora" "${pagora_times[*]}"
printf 'cjpeg -quality 75, 2 processes %.2f s   runs: %s\n' "$t_cjpeg" "${cjpeg_times[*]}"
printf 'ratio pagora-pdf / cjpeg       %.3f   (goal <= 0.90)\n' "$ratio"
printf 'peak memory, 20 pages          %d MiB (PDF %d MiB)\n' "$((mem20 / 1024))" \
  "$(($(stat -c %s "$out/export.pdf") / 1048576))"
printf 'peak memory, 100 pages         %d MiB (PDF %d MiB)\n' "$((mem100 / 1024))" \
  "$((size100 / 1048576))"
printf 'peak memory, 1000 pages        %d MiB (PDF %d MiB)\n' "$((mem1000 / 1024))" \
  "$((size1000 / 1048576))"

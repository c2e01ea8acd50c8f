#!/usr/bin/env bash
# Export speed of pagora-pdf against libjpeg-turbo's own benchmark (tjbench) and two
# parallel cjpeg processes, and its peak memory.
# Usage: bench/pdf/run.sh [PATH/TO/pagora-pdf [PATH/TO/pagora_bench_export]]
# Without a path, pagora-pdf is built in Release mode in build-pdf-bench/. With the
# second, the same export is also timed inside one running process (as the program's
# "Save all to PDF" runs it), without a program's start.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# On disk, like the pages the program exports (its working copies and page files);
# the document goes to memory, so that the disk's speed does not count.
pages_dir="${PAGORA_BENCH_DIR:-/var/tmp/pagora-bench-pdf}"
runs="${PAGORA_BENCH_RUNS:-3}"

source "$root/bench/common.sh"
tool="$(pagora_pdf "${1:-}")"
in_process="${2:-}"
require cjpeg tjbench /usr/bin/time /usr/bin/python3

# 20 A4 colour pages at 300 dpi, made once.
/usr/bin/python3 "$root/bench/pdf/make_pages.py" "$pages_dir" 20
mapfile -t pages < <(ls "$pages_dir"/page*.bmp | sort)
out="$(mktemp -d /dev/shm/pagora-bench-out.XXXXXX)"
trap 'rm -rf "$out"' EXIT

# The encoder alone: pages already in memory, nothing read or written, one tjbench
# per core on two different pages at once; prints their summed megapixels a second.
tjbench_rate() {
  local i
  for i in 0 1; do
    tjbench "${pages[$i]}" 75 -subsamp 420 -componly -nowrite -quiet -benchtime 2 -warmup 0.5 \
      >"$out/tjbench$i.txt" 2>&1 &
  done
  wait
  awk '$1 == "BGR" { sum += $7 } END { print sum }' "$out"/tjbench0.txt "$out"/tjbench1.txt
}

hundred=()
for ((i = 0; i < 5; ++i)); do hundred+=("${pages[@]}"); done

pagora_times=()
pagora100_times=()
start_times=()
inside_times=()
tj_rates=()
cjpeg_times=()
for ((run = 1; run <= runs; ++run)); do
  start=$(now)
  "$tool" "$out/export.pdf" "${pages[@]}"
  pagora_times+=("$(since "$start")")

  start=$(now)
  "$tool" "$out/export100.pdf" "${hundred[@]}"
  pagora100_times+=("$(since "$start")")
  rm -f "$out/export100.pdf"

  tj_rates+=("$(tjbench_rate)")

  # Starting the program alone: libraries loaded, nothing read or written.
  start=$(now)
  for ((i = 0; i < 10; ++i)); do "$tool" --version >/dev/null; done
  start_times+=("$(since "$start")")

  # The export inside a running process: its first run sets up what the later
  # ones reuse, as a program's first export does.
  if [[ -n "$in_process" ]]; then
    read -ra inside <<<"$("$in_process" 3 "$out/inside.pdf" "${pages[@]}")"
    inside_times+=("${inside[@]:1}")
  fi

  start=$(now)
  printf '%s\n' "${pages[@]}" |
    xargs -P 2 -I{} sh -c 'cjpeg -quality 75 -outfile "$1/$(basename "$2" .bmp).jpg" "$2"' _ "$out" {}
  cjpeg_times+=("$(since "$start")")
done

t_pagora=$(printf '%s\n' "${pagora_times[@]}" | best)
t_pagora100=$(printf '%s\n' "${pagora100_times[@]}" | best)
t_cjpeg=$(printf '%s\n' "${cjpeg_times[@]}" | best)
t_start=$(printf '%s\n' "${start_times[@]}" | best | awk '{ print $1 / 10 }')
ratio=$(awk -v a="$t_pagora" -v b="$t_cjpeg" 'BEGIN { print a / b }')
# tjbench's time for the same pages on two cores, from its best rate.
tj_rate=$(printf '%s\n' "${tj_rates[@]}" | sort -g | tail -1)
megapixels=$(awk 'BEGIN { print 2480 * 3508 / 1e6 }')
t_tj=$(awk -v r="$tj_rate" -v m="$megapixels" 'BEGIN { print 20 * m / r }')
ratio_tj=$(awk -v a="$t_pagora" -v b="$t_tj" 'BEGIN { print a / b }')
ratio_tj100=$(awk -v a="$t_pagora100" -v b="$t_tj" 'BEGIN { print a / (5 * b) }')
ratio_tj_export=$(awk -v a="$t_pagora" -v s="$t_start" -v b="$t_tj" 'BEGIN { print (a - s) / b }')
if ((${#inside_times[@]})); then
  t_inside=$(printf '%s\n' "${inside_times[@]}" | best)
  ratio_tj_inside=$(awk -v a="$t_inside" -v b="$t_tj" 'BEGIN { print a / b }')
fi

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
printf 'tjbench q75 4:2:0, 2 processes %.2f s   (%.0f Mpixel/s; runs: %s)\n' "$t_tj" "$tj_rate" \
  "${tj_rates[*]}"
printf 'ratio pagora-pdf / tjbench     %.3f   (goal <= 1.2; includes starting the program)\n' \
  "$ratio_tj"
printf '  less the program'"'"'s start   %.3f   (starting it: %.3f s)\n' "$ratio_tj_export" "$t_start"
if [[ -n "${t_inside:-}" ]]; then
  printf '  inside a running process     %.2f s = %.3f x tjbench   runs: %s\n' "$t_inside" \
    "$ratio_tj_inside" "${inside_times[*]}"
fi
printf '  100 pages                    %.2f s = %.3f x tjbench   runs: %s\n' "$t_pagora100" \
  "$ratio_tj100" "${pagora100_times[*]}"
printf 'cjpeg -quality 75, 2 processes %.2f s   runs: %s\n' "$t_cjpeg" "${cjpeg_times[*]}"
printf 'ratio pagora-pdf / cjpeg       %.3f   (goal <= 0.90)\n' "$ratio"
printf 'peak memory, 20 pages          %d MiB (PDF %d MiB)\n' "$((mem20 / 1024))" \
  "$(($(stat -c %s "$out/export.pdf") / 1048576))"
printf 'peak memory, 100 pages         %d MiB (PDF %d MiB)\n' "$((mem100 / 1024))" \
  "$((size100 / 1048576))"
printf 'peak memory, 1000 pages        %d MiB (PDF %d MiB)\n' "$((mem1000 / 1024))" \
  "$((size1000 / 1048576))"

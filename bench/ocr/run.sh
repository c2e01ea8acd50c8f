#!/usr/bin/env bash
# Searchable PDF speed and word recall: pagora-pdf --ocr eng on 10 A4 300 dpi text pages
# against the tesseract command on the same pages, two at a time, one thread each.
# Usage: bench/ocr/run.sh [PATH/TO/pagora-pdf]
# Without a path, pagora-pdf is built in Release mode in build-pdf-bench/.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
pages_dir="${PAGORA_BENCH_DIR:-/dev/shm/pagora-bench-ocr}"
runs="${PAGORA_BENCH_RUNS:-3}"

source "$root/bench/common.sh"
tool="$(pagora_pdf "${1:-}")"
require tesseract pdftotext /usr/bin/python3

/usr/bin/python3 "$root/bench/ocr/make_text_pages.py" "$pages_dir" 10
mapfile -t pages < <(ls "$pages_dir"/page*.png | sort)
truths=("${pages[@]/%.png/.txt}")
out="$(mktemp -d /dev/shm/pagora-bench-out.XXXXXX)"
trap 'rm -rf "$out"' EXIT

load() { cut -d' ' -f1 /proc/loadavg; }
# Processor seconds (user + system) of the finished children of this shell and theirs,
# into $cpu_now: less disturbed by other work on the machine than wall-clock time.
# `times` runs in this shell, not in a subshell, which would count only its own.
child_cpu() {
  times >"$out/times"
  cpu_now=$(tail -1 "$out/times" | awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/);
    printf "%.3f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }')
}
spent() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a - b }'; }
pagora_times=()
tess_times=()
pagora_cpu=()
tess_cpu=()
run_ratios=()
run_pagora() {
  local start cpu
  start=$(now)
  child_cpu
  cpu=$cpu_now
  "$tool" --ocr eng "$out/searchable.pdf" "${pages[@]}"
  pagora_times+=("$(since "$start")")
  child_cpu
  pagora_cpu+=("$(spent "$cpu_now" "$cpu")")
}
run_tesseract() {
  local start cpu
  start=$(now)
  child_cpu
  cpu=$cpu_now
  printf '%s\n' "${pages[@]}" |
    OMP_THREAD_LIMIT=1 xargs -P 2 -I{} sh -c \
      'tesseract "$2" "$1/$(basename "$2" .png)" -l eng pdf 2>/dev/null' _ "$out" {}
  tess_times+=("$(since "$start")")
  child_cpu
  tess_cpu+=("$(spent "$cpu_now" "$cpu")")
}

loads=("$(load)")
for ((run = 1; run <= runs; ++run)); do
  # Which side goes first alternates, so that a load rising or falling across the
  # runs burdens neither side more.
  if ((run % 2)); then
    run_pagora
    run_tesseract
  else
    run_tesseract
    run_pagora
  fi
  run_ratios+=("$(awk -v a="${pagora_times[-1]}" -v b="${tess_times[-1]}" \
    'BEGIN { printf "%.3f", a / b }')")
  loads+=("$(load)")
done

t_pagora=$(printf '%s\n' "${pagora_times[@]}" | best)
t_tess=$(printf '%s\n' "${tess_times[@]}" | best)
ratio=$(awk -v a="$t_pagora" -v b="$t_tess" 'BEGIN { print a / b }')
# The two sides of one run met the same load: their ratio, the median over the runs.
median_ratio=$(printf '%s\n' "${run_ratios[@]}" | sort -g |
  awk '{ r[NR] = $1 } END { print NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2 }')
# pdftotext ends every page with a form feed: one text for all pages, in order.
pdftotext "$out/searchable.pdf" "$out/pagora.txt"
for page in "${pages[@]}"; do
  pdftotext "$out/$(basename "$page" .png).pdf" -
done >"$out/tesseract.txt"
read -r recall_pagora words_pagora true_words < <(/usr/bin/python3 \
  "$root/bench/ocr/recall.py" "$out/pagora.txt" "${truths[@]}")
read -r recall_tess words_tess _ < <(/usr/bin/python3 \
  "$root/bench/ocr/recall.py" "$out/tesseract.txt" "${truths[@]}")

printf 'pages: 10 x 2480 x 3508 gray PNG text (%s), %d true words, best of %d runs, %d cores\n' \
  "$pages_dir" "$true_words" "$runs" "$(nproc)"
printf 'load average (1 min) before and after each run: %s\n' "${loads[*]}"
printf 'pagora-pdf --ocr eng (one PDF)    %6.2f s   runs: %s   words: %d   recall: %s\n' \
  "$t_pagora" "${pagora_times[*]}" "$words_pagora" "$recall_pagora"
printf 'tesseract ... pdf, 2 processes    %6.2f s   runs: %s   words: %d   recall: %s\n' \
  "$t_tess" "${tess_times[*]}" "$words_tess" "$recall_tess"
printf 'processor seconds per run         pagora-pdf: %s   tesseract: %s\n' "${pagora_cpu[*]}" \
  "${tess_cpu[*]}"
printf 'processor seconds ratio           %s   (all runs; steadier than wall time on a busy machine)\n' \
  "$(awk -v a="${pagora_cpu[*]}" -v b="${tess_cpu[*]}" 'BEGIN {
    n = split(a, p, " "); split(b, t, " "); for (i = 1; i <= n; ++i) { x += p[i]; y += t[i] }
    printf "%.3f", x / y }')"
printf 'ratio per run                     %s   (pagora-pdf first in odd runs, tesseract in even)\n' \
  "${run_ratios[*]}"
printf 'ratio of the best times           %.3f\n' "$ratio"
printf 'ratio pagora-pdf / tesseract      %.3f   median of the runs (goal <= 0.75, recall at least the command'"'"'s)\n' \
  "$median_ratio"

#!/usr/bin/env bash
# Searchable PDF speed: pagora-pdf --ocr eng on 10 A4 300 dpi text pages against the
# tesseract command on the same pages, two at a time, one thread each.
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
out="$(mktemp -d /dev/shm/pagora-bench-out.XXXXXX)"
trap 'rm -rf "$out"' EXIT

pagora_times=()
tess_times=()
for ((run = 1; run <= runs; ++run)); do
  start=$(now)
  "$tool" --ocr eng "$out/searchable.pdf" "${pages[@]}"
  pagora_times+=("$(since "$start")")

  start=$(now)
  printf '%s\n' "${pages[@]}" |
    OMP_THREAD_LIMIT=1 xargs -P 2 -I{} sh -c \
      'tesseract "$2" "$1/$(basename "$2" .png)" -l eng pdf 2>/dev/null' _ "$out" {}
  tess_times+=("$(since "$start")")
done

t_pagora=$(printf '%s\n' "${pagora_times[@]}" | best)
t_tess=$(printf '%s\n' "${tess_times[@]}" | best)
ratio=$(awk -v a="$t_pagora" -v b="$t_tess" 'BEGIN { print a / b }')
words_pagora=$(pdftotext "$out/searchable.pdf" - | wc -w)
words_tess=$(for f in "$out"/page*.pdf; do pdftotext "$f" -; done | wc -w)

printf 'pages: 10 x 2480 x 3508 gray PNG text (%s), best of %d runs, %d cores\n' \
  "$pages_dir" "$runs" "$(nproc)"
printf 'pagora-pdf --ocr eng (one PDF)    %.2f s   runs: %s   words: %d\n' "$t_pagora" \
  "${pagora_times[*]}" "$words_pagora"
printf 'tesseract ... pdf, 2 processes    %.2f s   runs: %s   words: %d\n' "$t_tess" \
  "${tess_times[*]}" "$words_tess"
printf 'ratio pagora-pdf / tesseract      %.3f   (goal <= 0.90)\n' "$ratio"

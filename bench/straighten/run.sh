#!/usr/bin/env bash
# Turned and tilted pages: what pagora-pdf --rotate-pages --deskew costs per A4 300 dpi
# page and what it gives back (words found, skew left), against ocrmypdf's options of
# the same names on the same pages, in the same run.
# Usage: bench/straighten/run.sh [PATH/TO/pagora-pdf]
# Without a path, pagora-pdf is built in Release mode in build-pdf-bench/.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
here="$root/bench/straighten"
pages_dir="${PAGORA_BENCH_DIR:-/dev/shm/pagora-bench-straighten}"
langs="${PAGORA_BENCH_LANGS:-eng+rus}"

source "$root/bench/common.sh"
tool="$(pagora_pdf "${1:-}")"
require pdftotext pdfimages /usr/bin/python3 /usr/bin/time

/usr/bin/python3 "$here/make_fed_pages.py" "$pages_dir"
mapfile -t pages < <(ls "$pages_dir"/page*.png | sort)
count=${#pages[@]}
out="$(mktemp -d /dev/shm/pagora-bench-out.XXXXXX)"
trap 'rm -rf "$out"' EXIT

# Processor seconds (user + system, all threads and children) of a command.
cpu() {
  /usr/bin/time -f '%U %S' -o "$out/time" "$@" >/dev/null 2>"$out/stderr" ||
    { cat "$out/stderr" >&2; return 1; }
  awk '{ printf "%.2f", $1 + $2 }' "$out/time"
}
per_page() { awk -v a="$1" -v b="$2" -v n="$count" 'BEGIN { printf "%.3f", (a - b) / n }'; }

echo "pages: $count x 2480 x 3508 gray PNG, English and Russian text ($pages_dir), $(nproc) cores"
echo
echo "== pagora-pdf, images only: the cost of --rotate-pages --deskew"
plain=$(cpu "$tool" "$out/plain.pdf" "${pages[@]}")
fixed=$(cpu "$tool" --rotate-pages --deskew "$out/fixed.pdf" "${pages[@]}")
echo "plain $plain s CPU, with --rotate-pages --deskew $fixed s CPU:" \
  "$(per_page "$fixed" "$plain") s CPU per page (goal <= 0.5)"
echo
echo "== pagora-pdf --ocr $langs, today (no correction)"
before=$(cpu "$tool" --ocr "$langs" "$out/before.pdf" "${pages[@]}")
/usr/bin/python3 "$here/measure.py" "$out/before.pdf" "${pages[@]}"
echo
echo "== pagora-pdf --ocr $langs --rotate-pages --deskew"
after=$(cpu "$tool" --ocr "$langs" --rotate-pages --deskew "$out/after.pdf" "${pages[@]}")
/usr/bin/python3 "$here/measure.py" "$out/after.pdf" "${pages[@]}"
echo "CPU: $before s without, $after s with the options"

if command -v ocrmypdf >/dev/null; then
  echo
  echo "== ocrmypdf -l $langs (same pages, as one image PDF)"
  /usr/bin/python3 -c 'import sys, img2pdf; open(sys.argv[1], "wb").write(img2pdf.convert(sys.argv[2:]))' \
    "$out/input.pdf" "${pages[@]}"
  o_plain=$(cpu ocrmypdf -q -l "$langs" "$out/input.pdf" "$out/o_plain.pdf")
  o_fixed=$(cpu ocrmypdf -q -l "$langs" --rotate-pages --deskew "$out/input.pdf" "$out/o_fixed.pdf")
  echo "ocrmypdf: $o_plain s CPU without, $o_fixed s with --rotate-pages --deskew:" \
    "$(per_page "$o_fixed" "$o_plain") s CPU per page for the options"
  /usr/bin/python3 "$here/measure.py" "$out/o_fixed.pdf" "${pages[@]}"
  echo
  echo "pagora-pdf --ocr with the options: $after s CPU; ocrmypdf with them: $o_fixed s CPU"
else
  echo "(ocrmypdf is not installed: no comparison)"
fi

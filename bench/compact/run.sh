#!/usr/bin/env bash
# Compact PDFs (pagora-pdf --compact) of ten A4 300 dpi colour document scans: size
# against the default document and OCRmyPDF -O3 of the same pages, CPU time per
# page, tesseract word recall on a 300 dpi rendering against recall on the scans,
# the photographs' PSNR, the readers' checks and the archival checks of
# --compact --pdfa --ocr eng; crops for looking at into $PAGORA_SHOTS.
# Usage: bench/compact/run.sh [PATH/TO/pagora-pdf]
# Without a path, pagora-pdf is built in Release mode in build-pdf-bench/.
# Installs what it needs on Debian (as root) where missing: ocrmypdf img2pdf qpdf
#   pngquant ghostscript poppler-utils tesseract-ocr tesseract-ocr-eng imagemagick
#   python3-pil (pngquant: OCRmyPDF -O3 needs it)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
pages_dir="${PAGORA_BENCH_DIR:-/dev/shm/pagora-bench-compact}"
shots="${PAGORA_SHOTS:-/work/notes/shots/compact}"

source "$root/bench/common.sh"
# The bench's own tools, installed on Debian where missing (as root).
if ! command -v ocrmypdf >/dev/null || ! command -v pngquant >/dev/null ||
   ! /usr/bin/python3 -c "import img2pdf, PIL" 2>/dev/null; then
  if [[ $(id -u) == 0 ]] && command -v apt-get >/dev/null; then
    apt-get install -y ocrmypdf img2pdf pngquant qpdf ghostscript poppler-utils tesseract-ocr \
      tesseract-ocr-eng imagemagick python3-pil >/dev/null
  fi
fi
tool="$(pagora_pdf "${1:-}")"
require ocrmypdf pngquant qpdf gs pdfinfo pdfimages pdftoppm tesseract convert compare /usr/bin/time \
  /usr/bin/python3

/usr/bin/python3 "$root/bench/compact/make_pages.py" "$pages_dir"
mapfile -t pages < <(ls "$pages_dir"/p*.jpg | sort)
out="$(mktemp -d /dev/shm/pagora-bench-compact-out.XXXXXX)"
trap 'rm -rf "$out"' EXIT

size() { stat -c %s "$1"; }
kb() { awk -v b="$1" 'BEGIN { printf "%.0f KB", b / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
cpu() { /usr/bin/time -f "%U %S" "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1 + $2 }'; }

cpu_default=$(cpu "$tool" "$out/default.pdf" "${pages[@]}")
cpu_compact=$(cpu "$tool" --compact "$out/compact.pdf" "${pages[@]}")
"$tool" --compact --ocr eng "$out/compact-ocr.pdf" "${pages[@]}"
"$tool" --compact --pdfa --ocr eng "$out/compact-pdfa.pdf" "${pages[@]}"
/usr/bin/python3 -c 'import sys, img2pdf; open(sys.argv[1], "wb").write(img2pdf.convert(sys.argv[2:]))' \
  "$out/input.pdf" "${pages[@]}"
ocrmypdf -q -O3 -l eng --jobs 2 "$out/input.pdf" "$out/ocrmypdf-O3.pdf"

n=${#pages[@]}
echo "Ten A4 300 dpi colour scans (JPEG quality 85, $(kb "$(cat "${pages[@]}" | wc -c)") of files)"
printf '  %-40s %10s\n' "pagora-pdf (default)" "$(kb "$(size "$out/default.pdf")")"
printf '  %-40s %10s\n' "pagora-pdf --compact" "$(kb "$(size "$out/compact.pdf")")"
printf '  %-40s %10s\n' "pagora-pdf --compact --ocr eng" "$(kb "$(size "$out/compact-ocr.pdf")")"
printf '  %-40s %10s\n' "pagora-pdf --compact --pdfa --ocr eng" "$(kb "$(size "$out/compact-pdfa.pdf")")"
printf '  %-40s %10s\n' "ocrmypdf -O3 -l eng" "$(kb "$(size "$out/ocrmypdf-O3.pdf")")"
echo "  --compact / default:                 $(ratio "$(size "$out/compact.pdf")" "$(size "$out/default.pdf")") (at most 0.1)"
echo "  --compact --ocr / ocrmypdf -O3:       $(ratio "$(size "$out/compact-ocr.pdf")" "$(size "$out/ocrmypdf-O3.pdf")") (below 1)"
echo "CPU seconds per page (whole run, decoding and writing included):"
echo "  default $(awk -v t="$cpu_default" -v n="$n" 'BEGIN { printf "%.2f", t / n }')," \
  "--compact $(awk -v t="$cpu_compact" -v n="$n" 'BEGIN { printf "%.2f", t / n }')"
echo "Layers of page 1 (pdfimages -list: type, size, encoding, bytes):"
pdfimages -list -f 1 -l 1 "$out/compact.pdf" | awk 'NR > 2 { print "  " $3, $4 "x" $5, $9, $15 }'
split=$(pdfimages -list "$out/compact.pdf" | awk 'NR > 2 && $9 == "ccitt" && $6 == "-" { print $1 }' | sort -u | wc -l)
echo "Pages split: $split of $n (the others stored whole)"

# Word recall: the share of each page's printed words (as a bag) that tesseract
# reads, on the scans and on the compact document rendered at 300 dpi.
pdftoppm -r 300 -png "$out/compact.pdf" "$out/render"
mapfile -t renders < <(ls "$out"/render-*.png | sort)
for ((i = 0; i < n; ++i)); do
  tesseract "${pages[i]}" "$out/scan-$i" -l eng quiet
  tesseract "${renders[i]}" "$out/comp-$i" -l eng quiet
done
/usr/bin/python3 - "$out" "$n" "${pages[@]}" <<'PY'
import collections, re, sys
out, n, pages = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
def bag(text):
    return collections.Counter(re.findall(r"[a-z]+", text.lower()))
tot = {"scan": [0, 0], "comp": [0, 0]}
for i, page in enumerate(pages):
    truth = bag(open(page[:-4] + ".txt").read())
    for kind in tot:
        read = bag(open("%s/%s-%d.txt" % (out, kind, i)).read())
        tot[kind][0] += sum((truth & read).values())
        tot[kind][1] += sum(truth.values())
scan = tot["scan"][0] / tot["scan"][1]
comp = tot["comp"][0] / tot["comp"][1]
print("Tesseract word recall: scans %.4f, compact PDF at 300 dpi %.4f, difference %+.4f "
      "(within 0.01)" % (scan, comp, comp - scan))
PY

# The photographs, compact rendering against the scan.
worst=""
for ((i = 0; i < n; ++i)); do
  box=$(cat "${pages[i]%.jpg}.photo")
  [[ -z "$box" ]] && continue
  read -r l t r b <<<"$box"
  geometry="$((r - l))x$((b - t))+$l+$t"
  convert "${pages[i]}" -crop "$geometry" +repage "$out/photo-scan.png"
  convert "${renders[i]}" -crop "$geometry" +repage "$out/photo-compact.png"
  psnr=$(compare -metric PSNR "$out/photo-scan.png" "$out/photo-compact.png" null: 2>&1 || true)
  psnr=${psnr%% *}
  echo "  photo on page $((i + 1)): PSNR $psnr dB"
  worst=$(printf '%s\n%s\n' "$worst" "$psnr" | sed '/^$/d' | sort -g | head -1)
done
echo "Lowest photo PSNR: $worst dB (at least 24)"

echo "Readers:"
for f in compact compact-ocr compact-pdfa; do
  qpdf --check "$out/$f.pdf" >/dev/null && echo "  qpdf --check $f.pdf: clean"
  gs -q -dNOPAUSE -dBATCH -dPDFSTOPONERROR -sDEVICE=nullpage "$out/$f.pdf" 2>&1 | grep . &&
    echo "  Ghostscript complained about $f.pdf" ||
    echo "  Ghostscript renders all $(pdfinfo "$out/$f.pdf" | awk '/^Pages/ { print $2 }') pages of $f.pdf"
  pdftoppm -r 20 -png "$out/$f.pdf" "$out/poppler-$f" 2>&1 | grep . &&
    echo "  poppler complained about $f.pdf" ||
    echo "  poppler renders all $(ls "$out"/poppler-$f-*.png | wc -l) pages of $f.pdf"
done
"$root/bench/compact/pdfa_checks.sh" "$out/compact-pdfa.pdf"

mkdir -p "$shots"
# Page 1 beside its scan: 100 % (300 dpi pixels as they are) and 300 %.
convert "${pages[0]}" -crop 1000x700+180+180 +repage "$out/a.png"
convert "${renders[0]}" -crop 1000x700+180+180 +repage "$out/b.png"
convert "$out/a.png" "$out/b.png" +append "$shots/page1-100-scan-left-compact-right.png"
convert "${pages[0]}" -crop 330x230+240+560 +repage -filter point -resize 300% "$out/a.png"
convert "${renders[0]}" -crop 330x230+240+560 +repage -filter point -resize 300% "$out/b.png"
convert "$out/a.png" "$out/b.png" +append "$shots/page1-300-scan-left-compact-right.png"
read -r l t r b < "${pages[0]%.jpg}.photo"
convert "${pages[0]}" -crop "500x400+$((l + 300))+$((t + 200))" +repage "$out/a.png"
convert "${renders[0]}" -crop "500x400+$((l + 300))+$((t + 200))" +repage "$out/b.png"
convert "$out/a.png" "$out/b.png" +append "$shots/page1-photo-100-scan-left-compact-right.png"
convert "${pages[3]}" -crop 1000x700+1400+120 +repage "$out/a.png"
convert "${renders[3]}" -crop 1000x700+1400+120 +repage "$out/b.png"
convert "$out/a.png" "$out/b.png" +append "$shots/page4-logo-100-scan-left-compact-right.png"
echo "Crops in $shots"

# Streaming: peak memory of --compact for many pages (PAGORA_BENCH_PAGES, 500 unless
# given; 0 skips it).
many="${PAGORA_BENCH_PAGES:-500}"
if ((many > 0)); then
  list=()
  for ((i = 0; i < many; ++i)); do list+=("${pages[i % n]}"); done
  peak=$(/usr/bin/time -v "$tool" --compact "$out/many.pdf" "${list[@]}" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
  echo "$many pages --compact: peak memory $((peak / 1024)) MB for a" \
    "$(($(size "$out/many.pdf") / 1048576)) MB document"
fi

#!/usr/bin/env bash
# Size of archival PDFs: pagora-pdf --pdfa --ocr eng against OCRmyPDF
# (-O1 --output-type pdfa-2 -l eng) on the same ten A4 300 dpi pages, put losslessly
# into a PDF by img2pdf, and against today's pagora-pdf output; the checks the
# archival documents pass; peak memory of --pdfa (and of the default writer) for
# 500 pages. Usage: bench/pdfa/run.sh [PATH/TO/pagora-pdf]
# Without a path, pagora-pdf is built in Release mode in build-pdf-bench/.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
pages_dir="${PAGORA_BENCH_DIR:-/dev/shm/pagora-bench-pdfa}"
many="${PAGORA_BENCH_PAGES:-500}"

source "$root/bench/common.sh"
tool="$(pagora_pdf "${1:-}")"
require ocrmypdf qpdf gs pdfinfo pdfimages /usr/bin/time /usr/bin/python3

/usr/bin/python3 "$root/bench/pdfa/make_pages.py" "$pages_dir"
mapfile -t pages < <(ls "$pages_dir"/p* | sort)
out="$(mktemp -d /dev/shm/pagora-bench-pdfa-out.XXXXXX)"
trap 'rm -rf "$out"' EXIT

size() { stat -c %s "$1"; }
kb() { awk -v b="$1" 'BEGIN { printf "%.0f KB", b / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

"$tool" "$out/default.pdf" "${pages[@]}"
"$tool" --pdfa "$out/pdfa.pdf" "${pages[@]}"
"$tool" --pdfa --ocr eng "$out/searchable.pdf" "${pages[@]}"
"$tool" --pdfa "$out/lineart.pdf" "${pages[0]}"
"$tool" --pdfa "$out/letter.pdf" "$pages_dir/letter.tif"

/usr/bin/python3 - "$out/input.pdf" "${pages[@]}" <<'PY' >/dev/null 2>&1
import sys, img2pdf
with open(sys.argv[1], "wb") as f:
    f.write(img2pdf.convert(sys.argv[2:]))
PY
ocrmypdf -q -O1 --output-type pdfa-2 -l eng --jobs 2 "$out/input.pdf" "$out/ocrmypdf.pdf"
ocrmypdf -q -O1 --output-type pdfa-2 --pdfa-image-compression lossless -l eng --jobs 2 \
  "$out/input.pdf" "$out/ocrmypdf-lossless.pdf"

echo "Ten A4 300 dpi pages: 4 line art, 3 gray scans, a JPEG photo, a drawing, a JPEG form"
printf '  %-44s %10s\n' "pagora-pdf (default, unchanged writer)" "$(kb "$(size "$out/default.pdf")")"
printf '  %-44s %10s\n' "pagora-pdf --pdfa" "$(kb "$(size "$out/pdfa.pdf")")"
printf '  %-44s %10s\n' "pagora-pdf --pdfa --ocr eng" "$(kb "$(size "$out/searchable.pdf")")"
printf '  %-44s %10s\n' "ocrmypdf -O1 --output-type pdfa-2" "$(kb "$(size "$out/ocrmypdf.pdf")")"
printf '  %-44s %10s\n' "ocrmypdf ... --pdfa-image-compression lossless" \
  "$(kb "$(size "$out/ocrmypdf-lossless.pdf")")"
echo "Ratios (below 1: pagora smaller)"
echo "  --pdfa --ocr / ocrmypdf -O1:          $(ratio "$(size "$out/searchable.pdf")" "$(size "$out/ocrmypdf.pdf")")"
echo "  --pdfa --ocr / ocrmypdf lossless:     $(ratio "$(size "$out/searchable.pdf")" "$(size "$out/ocrmypdf-lossless.pdf")")"
echo "  --pdfa / default writer:              $(ratio "$(size "$out/pdfa.pdf")" "$(size "$out/default.pdf")")"
echo "Per page, image streams (pdfimages -list: page, encoding, size):"
paste <(pdfimages -list "$out/searchable.pdf" | awk 'NR > 2 { print "  " $1, $9, $15 }') \
      <(pdfimages -list "$out/ocrmypdf.pdf" | awk 'NR > 2 { print "| ocrmypdf", $9, $15 }')
echo "One line-art page alone (Group 4): dense, 34 lines of 10 pt, $(kb "$(size "$out/lineart.pdf")")" \
  "document, page size $(pdfinfo "$out/lineart.pdf" | awk -F: '/Page size/ { print $2 }' | xargs);" \
  "typical scanned letter, 28 lines of 11 pt, $(kb "$(size "$out/letter.pdf")") document"

# The gray pages (5 to 7) are where the two differ in quality: Ghostscript re-encodes
# them at its own JPEG quality, estimated here from its quantisation tables. The same
# pages encoded at that quality by libjpeg with optimised Huffman tables, as the
# archival writer does, show what our document would be at equal quality.
pdfimages -j -f 5 -l 7 "$out/searchable.pdf" "$out/ours"
pdfimages -j -f 5 -l 7 "$out/ocrmypdf.pdf" "$out/theirs"
/usr/bin/python3 - "$out" "${pages[4]}" "${pages[5]}" "${pages[6]}" <<'PY'
import glob, io, os, re, subprocess, sys, zlib
from PIL import Image
out, grays = sys.argv[1], sys.argv[2:]
STD = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57,
       69, 56, 14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64,
       81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
def quality(jpeg):
    scale = 100.0 * sum(Image.open(jpeg).quantization[0]) / sum(STD)
    return round((200 - scale) / 2 if scale <= 100 else 5000 / scale)
def show(pdf, number):
    return subprocess.run(["qpdf", "--show-object=%s" % number, pdf], capture_output=True,
                          text=True).stdout
def streams(pdf):
    """The gray pages' image streams as stored: bytes, colour, filters."""
    listing = subprocess.run(["pdfimages", "-list", "-f", "5", "-l", "7", pdf],
                             capture_output=True, text=True).stdout.splitlines()[2:]
    found = []
    for row in listing:
        fields = row.split()
        dictionary = show(pdf, fields[10])
        length = re.search(r"/Length (\d+)( 0 R)?", dictionary)
        size = int(show(pdf, length.group(1)).strip() if length.group(2) else length.group(1))
        filters = re.search(r"/Filter (\[[^\]]*\]|/\w+)", dictionary).group(1)
        found.append((size, fields[5], " ".join(filters.strip("[]").split())))
    return found
ours, theirs = streams(out + "/searchable.pdf"), streams(out + "/ocrmypdf.pdf")
ours_q = quality(sorted(glob.glob(out + "/ours-*.jpg"))[0])
theirs_q = round(sum(quality(f) for f in glob.glob(out + "/theirs-*.jpg")) / 3)
ours_bytes, theirs_bytes = sum(s[0] for s in ours), sum(s[0] for s in theirs)
equal = deflated = 0
for page in grays:
    buffer = io.BytesIO()
    Image.open(page).convert("L").save(buffer, "JPEG", quality=theirs_q, optimize=True)
    equal += len(buffer.getvalue())
    deflated += len(zlib.compress(buffer.getvalue(), 9))
ours_total = os.path.getsize(out + "/searchable.pdf")
theirs_total = os.path.getsize(out + "/ocrmypdf.pdf")
print("Gray pages: ours quality %d, %s %s, %d KB; OCRmyPDF quality about %d, %s %s, %d KB"
      % (ours_q, ours[0][1], ours[0][2], ours_bytes / 1024, theirs_q, theirs[0][1],
         theirs[0][2], theirs_bytes / 1024))
print("  ours at quality %d: %d KB; --pdfa --ocr would be %d KB, %.2f x ocrmypdf -O1"
      % (theirs_q, equal / 1024, (ours_total - ours_bytes + equal) / 1024,
         (ours_total - ours_bytes + equal) / theirs_total))
print("  (Flate over those JPEGs, as OCRmyPDF stores them: %d KB; at quality %d it saves %d KB)"
      % (deflated / 1024, ours_q,
         sum(os.path.getsize(f) - len(zlib.compress(open(f, "rb").read(), 9))
             for f in glob.glob(out + "/ours-*.jpg")) / 1024))
PY

echo "Checks of the searchable archival document:"
qpdf --check "$out/searchable.pdf" >/dev/null && echo "  qpdf --check: clean"
gs -q -dNOPAUSE -dBATCH -dPDFSTOPONERROR -sDEVICE=nullpage "$out/searchable.pdf" &&
  echo "  Ghostscript renders all $(pdfinfo "$out/searchable.pdf" | awk '/^Pages/ { print $2 }') pages"
pdfinfo -meta "$out/searchable.pdf" | grep -o '<pdfaid:[a-z]*>[^<]*' | sed 's/^/  /'

peak_kb() { /usr/bin/time -v "$tool" "$@" 2>&1 >/dev/null |
  awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'; }
list=()
for ((i = 0; i < many; ++i)); do list+=("${pages[i % ${#pages[@]}]}"); done
mem_pdfa=$(peak_kb --pdfa "$out/many-pdfa.pdf" "${list[@]}")
size_pdfa=$(size "$out/many-pdfa.pdf")
rm -f "$out/many-pdfa.pdf"
mem_default=$(peak_kb "$out/many-default.pdf" "${list[@]}")
size_default=$(size "$out/many-default.pdf")
echo "$many pages: peak memory --pdfa $((mem_pdfa / 1024)) MB for a $((size_pdfa / 1048576)) MB" \
  "document; default writer $((mem_default / 1024)) MB for $((size_default / 1048576)) MB"

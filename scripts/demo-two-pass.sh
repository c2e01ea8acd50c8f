#!/usr/bin/env bash
# As a user would: the real program under Xvfb scans a two-sided stack through
# the demo scanner's one-sided feeder (10 sheets a pass) with the duplex box on,
# answers "Scan the backs" with the keyboard, then "Save all to PDF".
# Then it compares the order the page files were written in (mtime to the
# nanosecond) with the order of the PDF's pages.
# The demo scanner draws the same picture on every sheet, so pages cannot be
# told apart by their pixels: before saving, the script paints a grey square
# into each working copy (the file the PDF is made from, same base name as its
# page file), 10 levels per write position, and reads it back from each
# embedded image.
# Needs Xvfb, xdotool, ImageMagick's import, poppler-utils, python3-pil.
# Usage: demo-two-pass.sh [build folder]. Screenshots go to the run folder it prints.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
B="${1:-$root/build}/src/app/pagora-pro"
source "$root/scripts/demo-common.sh"
demo_folder
cat > "$D/config/Veldmark/Pagora Pro.conf" <<CONF
[General]
Save=1
ScannerDevice=test:0
ADF=1
Duplex=1
Format=1
Resolution=0
Update=0
FileName=Pagora
Destination=$D/scans
CONF
demo_start 179 "$root/data/sane:" "$B"
pages() { ls "$D/scans" | wc -l; }
windows() { xdotool search --onlyvisible --name "Pagora Pro" 2>/dev/null | wc -l; }
xdotool windowfocus --sync "$W"
shot start
# File, Scan: the fronts.
key alt+f; key c
for i in $(seq 240); do [ "$(pages)" -ge 10 ] && [ "$(windows)" -ge 2 ] && break; sleep 0.5; done
sleep 1; shot question
echo "after the fronts: $(pages) page files, question shown: $([ "$(windows)" -ge 2 ] && echo yes || echo no)"
# Return presses the default button, "Scan the backs".
key Return
for i in $(seq 240); do [ "$(pages)" -ge 20 ] && break; sleep 0.5; done
sleep 3; shot listed
echo "after the backs: $(pages) page files"
# The end of the list: click the first entry, then End.
eval "$(xdotool getwindowgeometry --shell "$W")"
xdotool mousemove $((X + 654)) $((Y + 104)) click 1; sleep 1; key End; shot listed-end
/usr/bin/python3 - "$D" <<'PY'
import os, sys
from PIL import Image
d = sys.argv[1]
scans = os.path.join(d, "scans")
files = sorted(os.listdir(scans), key=lambda n: os.stat(os.path.join(scans, n)).st_mtime_ns)
for i, n in enumerate(files):
    copy = os.path.join(d, "temp", os.path.splitext(n)[0] + ".bmp")
    im = Image.open(copy).convert("RGB")
    im.paste((10 * (i + 1),) * 3, (0, 0, 80, 80))
    im.save(copy, "BMP")
print("marked %d working copies" % len(files))
PY
demo_save_all_pdf "$D/both-sides.pdf"
echo "Save all to PDF: $(pdfinfo "$D/both-sides.pdf" 2>/dev/null | grep Pages)"
mkdir -p "$D/embedded"; pdfimages -png "$D/both-sides.pdf" "$D/embedded/p"
/usr/bin/python3 - "$D" <<'PY'
import os, sys
from PIL import Image
d = sys.argv[1]
scans = os.path.join(d, "scans")
files = sorted(os.listdir(scans), key=lambda n: os.stat(os.path.join(scans, n)).st_mtime_ns)
print("page files in write order:")
for i, n in enumerate(files):
    print("  %2d %s" % (i + 1, n))
order = []
for e in sorted(os.listdir(os.path.join(d, "embedded"))):
    im = Image.open(os.path.join(d, "embedded", e)).convert("L").crop((20, 20, 60, 60))
    mean = sum(im.getdata()) / 1600.0
    order.append(int(round(mean / 10.0)))
print("PDF pages, by write position of their page file:", " ".join(map(str, order)))
n = len(files)
expected = [x for i in range(n // 2) for x in (i + 1, n - i)]
print("expected (front 1, back 1, ...):               ", " ".join(map(str, expected)))
print("PDF order as expected:", "yes" if order == expected else "NO")
PY
kill -TERM $PID; wait $PID; echo "program exit $?"
kill $XVFB

#!/usr/bin/env bash
# As a user would: the real program under Xvfb; one page scanned from the demo
# flatbed, then File, "Add files..." with a 3-page PDF, a 2-frame TIFF and a JPEG;
# the originals' checksums through rename, rotate and delete; "Save all to PDF".
# Needs Xvfb, xdotool, ImageMagick's import, pdfinfo and python3-pil.
# Usage: demo-add-files.sh [build folder]. Screenshots go to the run folder it prints.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
B="${1:-$root/build}/src/app/pagora-pro"
source "$root/scripts/demo-common.sh"
demo_folder in
/usr/bin/python3 - "$D/in" <<'PY'
import sys
from PIL import Image, ImageDraw
d = sys.argv[1]
def page(text, size):
    im = Image.new("RGB", size, (255, 255, 255))
    dr = ImageDraw.Draw(im)
    dr.rectangle([60, 60, size[0] // 2, size[1] // 3], fill=(30, 60, 160))
    dr.text((60, size[1] // 2), text, fill=(0, 0, 0))
    return im
p = [page("PDF page %d" % i, (1240, 1754)) for i in (1, 2, 3)]
p[0].save(d + "/letter.pdf", save_all=True, append_images=p[1:], resolution=150)
t = [page("TIFF frame %d" % i, (800, 600)) for i in (1, 2)]
t[0].save(d + "/two.tif", save_all=True, append_images=t[1:], compression="tiff_lzw")
page("JPEG", (900, 700)).save(d + "/receipt.jpg", quality=90)
PY
cat > "$D/config/Veldmark/Pagora Pro.conf" <<CONF
[General]
Save=1
ADF=0
Format=1
Resolution=0
Update=0
Destination=$D/scans
CONF
(cd "$D/in" && sha256sum letter.pdf two.tif receipt.jpg) > "$D/sums-before.txt"
demo_start 178 "$root/data/sane:" "$B"
bmps() { ls "$D/temp" | grep -c '\.bmp$'; }
xdotool windowfocus --sync "$W"
# File, Scan: one page from the flatbed.
key alt+f; key c
for i in $(seq 120); do [ "$(ls "$D/scans" | wc -l)" -ge 1 ] && break; sleep 0.5; done
sleep 2
# File, "Add files...": the third entry of the File menu.
key alt+f; shot menu; key Down; key Down; shot menu-add; key Return
sleep 2; shot chooser
xdotool type --delay 20 "\"$D/in/letter.pdf\" \"$D/in/two.tif\" \"$D/in/receipt.jpg\""
key Return
for i in $(seq 120); do [ "$(bmps)" -ge 7 ] && break; sleep 0.5; done
sleep 2; shot listed
echo "working copies in TEMP after adding: $(bmps) (1 scanned + 6 added expected)"
echo "page files in the destination: $(ls "$D/scans" | wc -l)"
demo_save_all_pdf "$D/all.pdf"
echo "Save all to PDF: $(pdfinfo "$D/all.pdf" 2>/dev/null | grep Pages)"
# The third PDF page: rename (refused), rotate right, then delete.
xdotool mousemove $((X + 642)) $((Y + 385)) click 1; sleep 1
echo "working copy of letter.pdf (3) as added: $(identify -format '%wx%h' "$D/temp/letter-3.bmp")"
key F2; key ctrl+a; xdotool type --delay 20 "Invoice.pdf"; key Return; shot rename-refused; key Return
pick() { xdotool mousemove $((X + 642)) $((Y + 385)) click 1; sleep 1; }
pick; key ctrl+r; sleep 2; shot rotated
echo "working copy of letter.pdf (3) after rotate right: $(identify -format '%wx%h' "$D/temp/letter-3.bmp")"
pick; key Delete; shot delete-question; key alt+y; sleep 2; shot deleted
echo "list after delete: $(ls "$D/temp" | grep -c '\.bmp$') working copies"
(cd "$D/in" && sha256sum letter.pdf two.tif receipt.jpg) > "$D/sums-after.txt"
if cmp -s "$D/sums-before.txt" "$D/sums-after.txt"; then echo "originals: byte-identical"; else echo "originals: CHANGED"; diff "$D/sums-before.txt" "$D/sums-after.txt"; fi
echo "files in the originals' folder: $(ls "$D/in" | tr '\n' ' ')"
kill -TERM $PID; wait $PID; echo "exit $?"
kill $XVFB

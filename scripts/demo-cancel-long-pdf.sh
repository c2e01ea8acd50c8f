#!/usr/bin/env bash
# As a user would: File, "Add files..." with a 500-page PDF under Xvfb, Cancel
# (Escape) after some seconds; prints how long the cancel took until the pages
# read so far were listed, and checks that every working copy is whole.
# Needs Xvfb, xdotool, ImageMagick and python3-pil. Usage: demo-cancel-long-pdf.sh [build]
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
B="${1:-$root/build}/src/app/pagora-pro"
source "$root/scripts/demo-common.sh"
demo_folder in
/usr/bin/python3 - "$D/in/long.pdf" <<'PY'
import sys
from PIL import Image, ImageDraw
pages = []
for i in range(500):
    im = Image.new("L", (1240, 1754), 255)
    d = ImageDraw.Draw(im); d.rectangle([100, 100, 100 + i, 400], fill=0)
    d.text((120, 500), "page %d" % (i + 1), fill=0)
    pages.append(im)
pages[0].save(sys.argv[1], save_all=True, append_images=pages[1:], resolution=150)
PY
printf '[General]\nUpdate=0\nDestination=%s\n' "$D/scans" > "$D/config/Veldmark/Pagora Pro.conf"
demo_start 179 "$root/data/sane:" "$B"
xdotool windowfocus --sync "$W"
key alt+f; key Down; key Down; key Return; sleep 2
xdotool type --delay 20 "$D/in/long.pdf"; key Return
sleep 12; import -window root "$D/progress.png"
before=$(ls "$D/temp" | grep -c '\.bmp$')
journal=$(ls "$D"/temp/pagora-journal-* 2>/dev/null | head -1)
t0=$(date +%s.%N)
xdotool key Escape
# Listed: the journal names the pages (one line each once they are in the list).
for i in $(seq 400); do
  n=$(grep -c 'long.pdf' "$D"/temp/pagora-journal-* 2>/dev/null | awk -F: '{s+=$NF} END {print s+0}')
  [ "$n" -gt 0 ] && break; sleep 0.025
done
t1=$(date +%s.%N)
sleep 2; import -window root "$D/cancelled.png"
after=$(ls "$D/temp" | grep -c '\.bmp$')
echo "pages written when Cancel was pressed: $before; working copies after: $after; listed: $n"
echo "from Cancel to the pages listed: $(echo "$t1 - $t0" | bc) s"
bad=0; for f in "$D"/temp/*.bmp; do identify "$f" >/dev/null 2>&1 || bad=$((bad+1)); done
echo "unreadable working copies: $bad; other files in TEMP: $(ls -A "$D/temp" | grep -v '\.bmp$' | tr '\n' ' ')"
kill -TERM $PID; wait $PID; echo "exit $?; TEMP after close: [$(ls -A "$D/temp" | tr '\n' ' ')]"
kill $XVFB

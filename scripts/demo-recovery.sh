#!/usr/bin/env bash
# As a user would: the real program under Xvfb with SANE's test scanner; a feeder
# batch started from the File menu; SIGKILL once 3 sheets are listed; start again.
# Needs Xvfb, xdotool and ImageMagick's import. Usage: demo-recovery.sh [build folder]
# Screenshots of the question and of the list go to the run folder it prints.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
B="${1:-$root/build-dev}/src/app/pagora-pro"
D="$(mktemp -d)"; mkdir -p "$D/config/Veldmark" "$D/temp" "$D/scans" "$D/sane"
echo "run folder: $D"
cp "$root"/data/sane/* "$D/sane/"
# Slow sheets (read delay) so the kill lands between sheets, as with a real feeder.
sed -i 's/^read-delay false/read-delay true/; s/^read-delay-duration .*/read-delay-duration 20000/' "$D/sane/test.conf"
cat > "$D/config/Veldmark/Pagora Pro.conf" <<CONF
[General]
Save=1
ADF=1
Format=1
Resolution=0
Update=0
Destination=$D/scans
CONF
export XDG_CONFIG_HOME=$D/config TEMP=$D/temp SANE_CONFIG_DIR=$D/sane: LC_ALL=C.UTF-8 DISPLAY=:177
Xvfb :177 -screen 0 1280x1024x24 >/dev/null 2>&1 & XVFB=$!
sleep 2
"$B" >"$D/run1.log" 2>&1 & PID=$!
for i in $(seq 60); do W=$(xdotool search --name "Pagora Pro" 2>/dev/null | head -1); [ -n "$W" ] && break; sleep 0.5; done
sleep 8   # the scanner search
xdotool windowfocus --sync "$W"; xdotool key alt+f; sleep 0.5; xdotool key c
for i in $(seq 600); do
  n=$(cat "$D"/temp/pagora-journal-*.jsonl 2>/dev/null | wc -l)
  [ "$n" -ge 3 ] && break; sleep 0.05
done
kill -KILL $PID; wait $PID 2>/dev/null
echo "killed after $n journalled pages; page files: $(ls "$D/scans" | wc -l); temp: $(ls "$D/temp" | tr '\n' ' ')"
"$B" >"$D/run2.log" 2>&1 & PID=$!
sleep 6; W=$(xdotool search --name "Pagora Pro" | tail -1); xdotool windowfocus "$W"
import -window root "$D/question.png"
xdotool key Return   # the default button
sleep 3
import -window root "$D/listed.png"
echo "temp now: $(ls "$D/temp" | tr '\n' ' ')"
kill -TERM $PID; wait $PID; echo "SIGTERM: exit $?"   # closes as File, Exit does
echo "after close: temp: [$(ls -A "$D/temp" | tr '\n' ' ')]; settings WWidth: $(grep -c WWidth "$D/config/Veldmark/Pagora Pro.conf")"
kill $XVFB

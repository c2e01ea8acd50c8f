#!/usr/bin/env bash
# As a user would: the real program under Xvfb with SANE's test scanner; a feeder
# batch started from the File menu; SIGKILL once 3 sheets are listed; start again.
# Needs Xvfb, xdotool and ImageMagick's import. Usage: demo-recovery.sh [build folder]
# Screenshots of the question and of the list go to the run folder it prints.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
B="${1:-$root/build-dev}/src/app/pagora-pro"
source "$root/scripts/demo-common.sh"
demo_folder sane
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
demo_start 177 "$D/sane:" "$B" run1.log
xdotool windowfocus --sync "$W"; xdotool key alt+f; sleep 0.5; xdotool key c
for i in $(seq 600); do
  n=$(cat "$D"/temp/pagora-journal-*.jsonl 2>/dev/null | wc -l)
  [ "$n" -ge 3 ] && break; sleep 0.05
done
kill -KILL $PID; wait $PID 2>/dev/null
echo "killed after $n journalled pages; page files: $(ls "$D/scans" | wc -l); temp: $(ls "$D/temp" | tr '\n' ' ')"
"$B" >"$D/run2.log" 2>&1 & PID=$!
sleep 6; W=$(xdotool search --name "Pagora Pro" | tail -1); xdotool windowfocus "$W"
shot question
xdotool key Return   # the default button
sleep 3
shot listed
echo "temp now: $(ls "$D/temp" | tr '\n' ' ')"
kill -TERM $PID; wait $PID; echo "SIGTERM: exit $?"   # closes as File, Exit does
echo "after close: temp: [$(ls -A "$D/temp" | tr '\n' ' ')]; settings WWidth: $(grep -c WWidth "$D/config/Veldmark/Pagora Pro.conf")"
kill $XVFB

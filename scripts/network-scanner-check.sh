#!/usr/bin/env bash
# Measures what a user of a network scanner sees, with the real program, the real
# sane-airscan driver and the eSCL simulator (tests/scanner/escl-sim.py) on
# 127.0.0.1. Not part of the test command; about 4 minutes with the default count.
#
#   scripts/network-scanner-check.sh [runs] [program]
#
# Each scenario runs `runs` times (default 3) with a fresh home and a feeder batch
# at 75 dpi into JPEG page files:
#   pace    3 sheets, 10 s a sheet: from the simulator's "sent" of each sheet to its
#           page file in the destination; limit 1000 ms a page.
#   escape  5 sheets, 5 s a sheet; Escape 1 s after the second page file: every sent
#           sheet is a whole page file, and the scanner is told to drop the job
#           (its "delete") within 1000 ms of the key.
#   button  the same with a mouse click on the window's Stop button.
#   exit    5 sheets, 5 s a sheet; File, Exit 1 s after the second page file: every
#           sent sheet is a whole page file, and the process has ended within
#           2000 ms of the last page file (the time from the key is reported too).
# Each run then closes the program by File, Exit, which must end it within 10 s.
# The stop and exit lines also count the scanner's jobs, the sheets it sent and
# those it began to feed and dropped, against the page files on disk.
# Prints one line of numbers a run and a verdict a scenario; exits non-zero when a
# limit is broken. KEEP=1 keeps the work folder (program logs, simulator events).
# Needs xvfb-run, xdotool, ImageMagick's import, the sane-airscan backend and a
# python3 with PIL; runs itself on a virtual display when there is none.
set -uo pipefail
shopt -s nullglob
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-3}"
app="${2:-$root/build/src/app/pagora-pro}"

if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$runs" "$app"
fi
[[ -x "$app" ]] || { echo "no program at $app (build it first)"; exit 2; }
command -v xdotool >/dev/null || { echo "xdotool is needed (apt-get install xdotool)"; exit 2; }
command -v import >/dev/null || { echo "ImageMagick's import is needed (apt-get install imagemagick)"; exit 2; }
python=""
for candidate in "$(command -v python3)" /usr/bin/python3; do
  if [[ -n $candidate ]] && "$candidate" -c 'import PIL' 2>/dev/null; then
    python=$candidate
    break
  fi
done
[[ -n $python ]] || { echo "a python3 with PIL is needed (apt-get install python3-pil)"; exit 2; }
sim="$root/tests/scanner/escl-sim.py"

work="$(mktemp -d)"
[[ -n "${KEEP:-}" ]] || trap 'rm -rf "$work"' EXIT
echo "work folder: $work"

# Milliseconds since the epoch, without a child process: the page poll runs every 20 ms.
now_ms() {
  local t=${EPOCHREALTIME//[.,]/}
  echo $((t / 1000))
}

# Whether the process still runs (a zombie has ended: it only waits to be reaped).
running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [[ -n $state && $state != Z ]]
}

# Starts the simulator for one run; its events go to $dir/sim.log and it ends when
# the pipe to its stdin is closed (stop_sim). Sets $simpid, $simin and $port.
start_sim() {
  local dir=$1 sheets=$2 seconds=$3
  exec {simin}> >(exec "$python" "$sim" --sheets "$sheets" --seconds "$seconds" >"$dir/sim.log" 2>&1)
  simpid=$!
  port=""
  local deadline=$(($(now_ms) + 10000))
  while [[ -z $port ]] && (($(now_ms) < deadline)); do
    port=$(awk '$1 == "port" {print $2; exit}' "$dir/sim.log")
    [[ -n $port ]] || sleep 0.02
  done
  [[ -n $port ]]
}

stop_sim() {
  exec {simin}>&-
  local deadline=$(($(now_ms) + 5000))
  while running "$simpid" && (($(now_ms) < deadline)); do sleep 0.02; done
  kill "$simpid" 2>/dev/null
}

# A fresh home whose stored settings choose the simulated scanner with its feeder,
# 75 dpi and JPEG page files; SANE sees only sane-airscan, pointed at the simulator.
prepare() {
  local dir=$1
  mkdir -p "$dir/config/Veldmark" "$dir/temp" "$dir/out" "$dir/sane" "$dir/runtime"
  chmod 700 "$dir/runtime"
  echo airscan >"$dir/sane/dll.conf"
  printf '[devices]\n"Sim" = http://127.0.0.1:%s/eSCL, eSCL\n[options]\ndiscovery = disable\n' \
    "$port" >"$dir/sane/airscan.conf"
  cat >"$dir/config/Veldmark/Pagora Pro.conf" <<EOF
[General]
Save=true
Scanner=0
ScannerDevice=airscan:e0:Sim
Destination=$dir/out
ADF=true
Resolution=0
Format=1
Update=false
EOF
}

# Starts the program as a child of this shell; its process id goes to $pid.
start_program() {
  local dir=$1
  QT_MESSAGE_PATTERN="%{time process} %{type} %{category}: %{message}" QT_LOGGING_RULES="pagora.*=true" \
    HOME="$dir" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/runtime" TEMP="$dir/temp" SANE_CONFIG_DIR="$dir/sane" \
    "$app" >"$dir/log" 2>&1 &
  pid=$!
}

# Page files as they appear: appear[k] is when the (k+1)-th was first seen. Hidden
# names are the working files of a page still being written.
declare -a appear
seen=0
poll_pages() {
  local files=("$dir/out"/*)
  local t
  while ((seen < ${#files[@]})); do
    t=${t:-$(now_ms)}
    appear[seen]=$t
    seen=$((seen + 1))
  done
}

# Polls the page files every 20 ms until the command given succeeds or the
# deadline (ms since the epoch) passes.
poll_until() {
  local deadline=$1
  shift
  while true; do
    poll_pages
    "$@" && return 0
    (($(now_ms) > deadline)) && return 1
    sleep 0.02
  done
}

has_pages() { ((seen >= $1)); }
logged() { grep -q -- "$1" "$dir/log"; }
# The window has come back to rest more than $1 times (a command or search ended).
idle_count() { grep -c "state Idle" "$dir/log"; }
idle_more() { (($(idle_count) > $1)); }
sim_said() { grep -q -- "$1" "$dir/sim.log"; }
ended() { ! running "$pid"; }

# File, Scan once the scanner list is read (the command waits for it), then the
# scanner's job must start.
start_scan() {
  poll_until $(($(now_ms) + 15000)) logged "state Idle" || { why="the window never became ready"; return 1; }
  wid=$(xdotool search --sync --onlyvisible --name "Pagora Pro" | head -1)
  xdotool windowfocus --sync "$wid"
  xdotool key --clearmodifiers alt+f
  sleep 0.3
  xdotool key c
  poll_until $(($(now_ms) + 10000)) sim_said "^event job " || { why="File, Scan started no job"; return 1; }
}

# Where the Stop button is, in window coordinates: its icon is the one solid
# dark square in the settings pane on the left.
find_stop_button() {
  import -window "$wid" "$dir/window.png" 2>/dev/null || return 1
  "$python" - "$dir/window.png" <<'EOF'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("L")
w, h = im.size
px = im.load()
pane = min(w, 260)
runs = {}  # (start, length) -> rows where a dark run of that place was found
for y in range(h):
    x = 0
    while x < pane:
        if px[x, y] < 60:
            s = x
            while x < pane and px[x, y] < 60:
                x += 1
            if 8 <= x - s <= 24:
                runs.setdefault((s, x - s), []).append(y)
        else:
            x += 1
for (s, n), rows in runs.items():
    rows.sort()
    # A square: as many consecutive rows as the run is long.
    block = [rows[0]]
    for r in rows[1:]:
        if r == block[-1] + 1:
            block.append(r)
        else:
            block = [r]
        if abs(len(block) - n) <= 1:
            print(s + n // 2, block[0] + n // 2)
            sys.exit(0)
sys.exit(1)
EOF
}

# Checks the page files against what the simulator sent: one whole image a sent
# sheet, each of the job's size and coloured as its sheet (image K is
# RGB(25K, 255-25K, 100)). Prints "ok" or what is wrong.
check_pages() {
  "$python" - "$dir/out" "$dir/sim.log" <<'EOF'
import os, re, sys
from PIL import Image
out, events = sys.argv[1], open(sys.argv[2]).read()
sent = sorted(int(k) for k in re.findall(r"^event sent sheet=(\d+)", events, re.M))
job = re.search(r"^event job .* width=(\d+) height=(\d+)", events, re.M)
names = sorted(os.listdir(out))
hidden = [n for n in names if n.startswith(".")]
files = [n for n in names if not n.startswith(".")]
problems = []
if hidden:
    problems.append("%d working file(s) left" % len(hidden))
if len(files) != len(sent):
    problems.append("%d page file(s) for %d sent sheet(s)" % (len(files), len(sent)))
found = []
for n in files:
    try:
        with Image.open(os.path.join(out, n)) as im:
            im.load()
            if job and im.size != (int(job.group(1)), int(job.group(2))):
                problems.append("%s is %dx%d" % (n, im.size[0], im.size[1]))
            c = im.convert("RGB").getpixel((im.size[0] // 2, im.size[1] // 2))
    except Exception as e:
        problems.append("%s does not decode (%s)" % (n, e))
        continue
    k = round(c[0] / 25)
    want = (min(255, 25 * k), max(0, 255 - 25 * k), 100)
    if all(abs(a - b) <= 12 for a, b in zip(c, want)):
        found.append(k)
    else:
        problems.append("%s has colour %s of no sheet" % (n, c))
if sorted(found) != sent and not problems:
    problems.append("sheets on disk %s, sent %s" % (sorted(found), sent))
print("; ".join(problems) or "ok")
EOF
}

# Times of the simulator's events, in ms since the epoch.
sim_times() { awk -v e="$1" '$1 == "event" && $2 == e { t = $NF; sub("t=", "", t); printf "%.0f\n", t * 1000 }' "$dir/sim.log"; }

# What the scanner saw: jobs, sheets sent and sheets it began to feed for nothing,
# against the page files on disk.
sheet_counts() {
  local jobs sent aborted
  jobs=$(grep -c '^event job ' "$dir/sim.log")
  sent=$(grep -c '^event sent ' "$dir/sim.log")
  aborted=$(grep -c '^event aborted ' "$dir/sim.log")
  echo "$jobs job(s), $sent sent, $aborted aborted in feeding, $seen page file(s)"
}

# Ends the program the way a user would (File, Exit) once the measuring is done;
# prints how long it took, or -1 when it had to be killed after 10 s (the caller
# reaps it: this runs in a subshell).
close_program() {
  running "$pid" || { echo 0; return; }
  xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool key --clearmodifiers alt+f
  sleep 0.3
  local t0
  t0=$(now_ms)
  xdotool key x
  if poll_until $((t0 + 10000)) ended; then
    echo $(($(now_ms) - t0))
  else
    kill -9 "$pid" 2>/dev/null
    echo -1
  fi
}

# Sets up one run: simulator, home, program, the batch started. Returns 1 with $why.
begin_run() {
  local name=$1 sheets=$2 seconds=$3
  dir="$work/$name"
  mkdir -p "$dir"
  appear=()
  seen=0
  why=""
  pid=""
  start_sim "$dir" "$sheets" "$seconds" || { why="the simulator did not start: $(head -3 "$dir/sim.log")"; return 1; }
  prepare "$dir"
  start_program "$dir"
  start_scan
}

end_run() {
  if [[ -n $pid ]]; then
    running "$pid" && kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  stop_sim
  # Anything the program said at warning level or above is worth a look.
  grep -E '^ *[0-9.]+ (warning|critical|fatal) ' "$dir/log" | head -5 | sed 's/^ */    program: /'
}

failures=0
fail() {
  failures=$((failures + 1))
  verdict="FAIL"
}

# Pace: 3 sheets, 10 s a sheet; from each sheet's "sent" to its page file.
pace_ok=0
for i in $(seq 1 "$runs"); do
  verdict="ok"
  if ! begin_run "pace$i" 3 10; then
    echo "pace run $i: $why"; fail; end_run; continue
  fi
  rest=$(idle_count)
  poll_until $(($(now_ms) + 45000)) has_pages 3
  poll_until $(($(now_ms) + 10000)) idle_more "$rest"
  mapfile -t sent < <(sim_times sent)
  numbers=""
  worst=0
  for k in 0 1 2; do
    if [[ -z ${sent[k]:-} || -z ${appear[k]:-} ]]; then
      numbers+=" sheet $((k + 1)): missing;"
      verdict="FAIL"
      continue
    fi
    ms=$((appear[k] - sent[k]))
    ((ms > worst)) && worst=$ms
    numbers+=" sheet $((k + 1)): $ms ms;"
  done
  ((worst > 1000)) && verdict="FAIL"
  pages=$(check_pages)
  [[ $pages == ok ]] || verdict="FAIL"
  exit_ms=$(close_program)
  ((exit_ms < 0)) && verdict="FAIL"
  echo "pace run $i:$numbers pages: $pages; File, Exit after $exit_ms ms: $verdict"
  if [[ $verdict == ok ]]; then pace_ok=$((pace_ok + 1)); else fail; fi
  end_run
done

# Stop during the batch, by Escape or by the Stop button; 5 sheets, 5 s a sheet.
stop_run() {
  local name=$1 how=$2 xy="" t0 key_ms
  verdict="ok"
  if ! begin_run "$name" 5 5; then
    echo "$name: $why"; fail; end_run; return
  fi
  if ! poll_until $(($(now_ms) + 20000)) has_pages 2; then
    echo "$name: no second page within 20 s"; fail; end_run; return
  fi
  local second=${appear[1]}
  if [[ $how == button ]]; then
    xy=$(find_stop_button) || { echo "$name: the Stop button was not found on the window"; fail; end_run; return; }
    how="button at ${xy/ /,}"
  fi
  xdotool windowfocus --sync "$wid" 2>/dev/null
  local rest
  rest=$(idle_count)
  poll_until $((second + 1000)) false
  t0=$(now_ms)
  if [[ $how == button* ]]; then
    # shellcheck disable=SC2086
    xdotool mousemove --window "$wid" $xy click 1
  else
    xdotool key Escape
  fi
  key_ms=$((t0 - second))
  # Stopped: the scanner is told, and the window is ready for the next command.
  poll_until $((t0 + 10000)) sim_said "^event delete "
  local delete
  delete=$(sim_times delete | head -1)
  poll_until $((t0 + 10000)) idle_more "$rest"
  local idle=$? ready_ms=$(($(now_ms) - t0))
  local pages delete_ms
  pages=$(check_pages)
  if [[ -n $delete ]]; then
    delete_ms=$((delete - t0))
    ((delete_ms > 1000)) && verdict="FAIL"
  else
    delete_ms="none"
    verdict="FAIL"
  fi
  [[ $pages == ok ]] || verdict="FAIL"
  local ready="ready again after $ready_ms ms"
  ((idle == 0)) || { ready="still busy 10 s later"; verdict="FAIL"; }
  local exit_ms
  exit_ms=$(close_program)
  ((exit_ms < 0)) && verdict="FAIL"
  echo "$name: $how $key_ms ms after page 2; delete $delete_ms ms after the key; $ready; $(sheet_counts): $pages; File, Exit after $exit_ms ms: $verdict"
  [[ $verdict == ok ]] || fail
  end_run
}

stop_ok=0
for i in $(seq 1 "$runs"); do
  stop_run "escape$i" Escape
  [[ $verdict == ok ]] && stop_ok=$((stop_ok + 1))
done
button_ok=0
for i in $(seq 1 "$runs"); do
  stop_run "button$i" button
  [[ $verdict == ok ]] && button_ok=$((button_ok + 1))
done

# File, Exit during the batch; 5 sheets, 5 s a sheet.
exit_ok=0
for i in $(seq 1 "$runs"); do
  verdict="ok"
  name="exit$i"
  if ! begin_run "$name" 5 5; then
    echo "$name: $why"; fail; end_run; continue
  fi
  if ! poll_until $(($(now_ms) + 20000)) has_pages 2; then
    echo "$name: no second page within 20 s"; fail; end_run; continue
  fi
  second=${appear[1]}
  # The menu opens first, so that Exit itself comes 1 s after the page.
  poll_until $((second + 700)) false
  xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool key --clearmodifiers alt+f
  poll_until $((second + 1000)) false
  t0=$(now_ms)
  xdotool key x
  if poll_until $((t0 + 10000)) ended; then
    gone=$(now_ms)
  else
    gone=""
    kill -9 "$pid" 2>/dev/null
  fi
  wait "$pid" 2>/dev/null
  poll_pages
  last=${appear[seen - 1]}
  pages=$(check_pages)
  left=$(find "$dir/temp" -type f | wc -l)
  [[ $pages == ok ]] || verdict="FAIL"
  if [[ -n $gone ]]; then
    after_last=$((gone - last))
    after_key=$((gone - t0))
    ((after_last > 2000)) && verdict="FAIL"
    timing="ended $after_last ms after the last page file, $after_key ms after the key"
  else
    timing="still running 10 s after the key (killed)"
    verdict="FAIL"
  fi
  ((left != 0)) && { verdict="FAIL"; timing+="; $left file(s) left in the temporary folder"; }
  echo "$name: $timing; $(sheet_counts): $pages: $verdict"
  [[ $verdict == ok ]] && exit_ok=$((exit_ok + 1))
  [[ $verdict == ok ]] || fail
  end_run
done

echo "pace (sent to page file within 1000 ms): $pace_ok of $runs"
echo "Escape (whole pages, scanner told within 1000 ms): $stop_ok of $runs"
echo "Stop button (whole pages, scanner told within 1000 ms): $button_ok of $runs"
echo "File, Exit (whole pages, ended within 2000 ms of the last page): $exit_ok of $runs"
if ((failures == 0)); then echo "verdict: ok"; else echo "verdict: $failures run(s) broke a limit"; fi
((failures == 0))

#!/usr/bin/env bash
# Closes the real program many times in a row, as a user and a session manager would,
# and reports how many runs ended within 2 s. Not part of the test command.
#
#   scripts/exit-stress.sh [exit-runs] [sigterm-runs] [program]
#
# Exit runs (default 50): start with the full demo SANE configuration, scan one page
# with File, Scan, then File, Exit: the process must be gone 2 s after the keystroke.
# SIGTERM runs (default 10): a slowed feeder batch of the demo scanner, SIGTERM once
# three pages are on disk: the process must be gone 2 s after the signal, every page
# file whole (all of one size) and no working copy left.
# Needs xvfb-run and xdotool; runs itself on a virtual display when there is none.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exitRuns="${1:-50}"
termRuns="${2:-10}"
app="${3:-$root/build/src/app/pagora-pro}"

if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$exitRuns" "$termRuns" "$app"
fi
[[ -x "$app" ]] || { echo "no program at $app (build it first)"; exit 2; }
command -v xdotool >/dev/null || { echo "xdotool is needed (apt-get install xdotool)"; exit 2; }

work="$(mktemp -d)"
[[ -n "${KEEP:-}" ]] || trap 'rm -rf "$work"' EXIT
echo "work folder: $work"

now_ms() { date +%s%3N; }

# Whether the process still runs (a zombie has ended: it only waits to be reaped).
running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [[ -n $state && $state != Z ]]
}

# Waits until the process has ended; prints the milliseconds since $2, or -1 after 10 s.
wait_gone() {
  local pid=$1 since=$2
  while running "$pid"; do
    if (($(now_ms) - since > 10000)); then
      kill -9 "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      echo -1
      return
    fi
    sleep 0.02
  done
  wait "$pid" 2>/dev/null
  echo $(($(now_ms) - since))
}

# A fresh home with stored settings: the demo scanner, a destination that exists.
prepare() {
  local dir=$1 adf=$2
  rm -rf "$dir"
  mkdir -p "$dir/config/Veldmark" "$dir/temp" "$dir/out"
  cat >"$dir/config/Veldmark/Pagora Pro.conf" <<EOF
[General]
Save=true
Scanner=0
Destination=$dir/out
ADF=$adf
Update=false
EOF
}

# Starts the program as a child of this shell; its process id goes to $pid.
start_program() {
  local dir=$1 config=$2
  QT_MESSAGE_PATTERN="%{time process} %{category}: %{message}" QT_LOGGING_RULES="pagora.scanner*=true;pagora.app*=true;pagora.mainwindow*=true" HOME="$dir" XDG_CONFIG_HOME="$dir/config" TEMP="$dir/temp" SANE_CONFIG_DIR="$config" \
    "$app" >"$dir/log" 2>&1 &
  pid=$!
}

# File, Scan by keyboard until a scan has started writing pages (the source list
# may still be being read when the window appears).
scan_until_pages() {
  local pid=$1 dir=$2 pages=$3 wid
  wid=$(xdotool search --sync --onlyvisible --name "Pagora Pro" | head -1)
  for n in $(seq 1 600); do
    running "$pid" || return 1
    if (($(find "$dir/out" -type f | wc -l) >= pages)); then
      echo "$wid"
      return 0
    fi
    if ((n % 10 == 1)); then
      xdotool windowfocus --sync "$wid" 2>/dev/null
      xdotool key --clearmodifiers alt+f 2>/dev/null
      sleep 0.3
      xdotool key c 2>/dev/null
    fi
    sleep 0.1
  done
  return 1
}

exitOk=0
for i in $(seq 1 "$exitRuns"); do
  dir="$work/exit$i"
  prepare "$dir" false
  start_program "$dir" "$root/data/sane:"
  if ! wid=$(scan_until_pages "$pid" "$dir" 1); then
    echo "exit run $i: no page scanned"; kill -9 "$pid" 2>/dev/null; continue
  fi
  # The scan is over once the Scan command is back (the window allows Exit anyway).
  xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool key --clearmodifiers alt+f
  sleep 0.3
  t0=$(now_ms)
  xdotool key x
  ms=$(wait_gone "$pid" "$t0")
  wait "$pid" 2>/dev/null
  if ((ms >= 0 && ms <= 2000)); then exitOk=$((exitOk + 1)); fi
  echo "exit run $i: ended after $ms ms"
done

# The demo scanner slowed down: about a second a sheet at 50 dpi.
slow="$work/sane-slow"
mkdir -p "$slow"
cp "$root/data/sane/dll.conf" "$slow/"
sed -e 's/^read-delay false/read-delay true/' \
    -e 's/^read-delay-duration .*/read-delay-duration 50000/' \
    "$root/data/sane/test.conf" >"$slow/test.conf"

termOk=0
for i in $(seq 1 "$termRuns"); do
  dir="$work/term$i"
  prepare "$dir" true
  start_program "$dir" "$slow:"
  if ! scan_until_pages "$pid" "$dir" 3 >/dev/null; then
    echo "SIGTERM run $i: the batch did not start"; kill -9 "$pid" 2>/dev/null; continue
  fi
  t0=$(now_ms)
  kill -TERM "$pid"
  ms=$(wait_gone "$pid" "$t0")
  wait "$pid" 2>/dev/null
  pages=$(find "$dir/out" -type f | wc -l)
  sizes=$(find "$dir/out" -type f -printf '%s\n' | sort -u | wc -l)
  left=$(find "$dir/temp" -type f | wc -l)
  verdict="ok"
  ((ms < 0 || ms > 2000)) && verdict="too slow"
  ((sizes != 1)) && verdict="pages of different sizes"
  ((left != 0)) && verdict="$left file(s) left in the temporary folder"
  [[ $verdict == ok ]] && termOk=$((termOk + 1))
  echo "SIGTERM run $i: ended after $ms ms, $pages page(s) on disk: $verdict"
done

echo "File, Exit: $exitOk of $exitRuns ended within 2 s"
echo "SIGTERM in a feeder batch: $termOk of $termRuns ended within 2 s with whole pages"
((exitOk == exitRuns && termOk == termRuns))

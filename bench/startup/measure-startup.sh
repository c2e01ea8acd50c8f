#!/usr/bin/env bash
# Time from starting pagora-pro to its main window being mapped and painted on a
# virtual X display (Xvfb), with the demo scanner configuration next to every backend
# installed on the machine. Prints each run and the median.
#
#   bash bench/startup/measure-startup.sh [path/to/pagora-pro] [runs] [remembered-device]
#
# remembered-device (e.g. test:0): each run starts with the scanner choices saved and
# that device stored as the last one used, so it is opened before the full search.
#
# "Painted": the window is viewable and a capture of it holds more than 50 colours
# (frame, texts and icons drawn), not an empty rectangle. When the program logs the end
# of scanner discovery (pagora.scanner debug output), the time until the source list
# is filled is printed too, and when the commands (Scan) are enabled.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
app="${1:-$root/build/src/app/pagora-pro}"
runs="${2:-5}"
remembered="${3:-}"
timeout_s=30

for tool in Xvfb xwininfo xdpyinfo import identify; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh --test)" >&2; exit 1; }
done
[[ -x "$app" ]] || { echo "no program at $app" >&2; exit 1; }

display=":$((150 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
work="$(mktemp -d)"
app_pid=""
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do
  DISPLAY="$display" xdpyinfo >/dev/null 2>&1 && break
  sleep 0.05
done

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# hh:mm:ss.zzz to milliseconds since midnight.
day_ms() { awk -F'[:.]' '{print (($1 * 60 + $2) * 60 + $3) * 1000 + $4}' <<<"$1"; }

painted_window() {
  local id
  id=$(DISPLAY="$display" xwininfo -root -tree 2>/dev/null | awk '/"Pagora Pro": \("/ {print $1; exit}')
  [[ -n "$id" ]] || return 1
  DISPLAY="$display" xwininfo -id "$id" 2>/dev/null | grep -q IsViewable || return 1
  local colours
  colours=$(DISPLAY="$display" import -window "$id" png:- 2>/dev/null | identify -format '%k' - 2>/dev/null || echo 0)
  ((colours > 50))
}

results=()
readies=()
for run in $(seq "$runs"); do
  home="$work/home$run"
  mkdir -p "$home/config" "$home/tmp"
  if [[ -n "$remembered" ]]; then
    mkdir -p "$home/config/Veldmark"
    printf '[General]\nSave=1\nScannerDevice=%s\n' "$remembered" >"$home/config/Veldmark/Pagora Pro.conf"
  fi
  start=$(now_ms)
  start_of_day=$(day_ms "$(date +%H:%M:%S.%3N)")
  DISPLAY="$display" QT_QPA_PLATFORM=xcb HOME="$home" XDG_CONFIG_HOME="$home/config" \
    TEMP="$home/tmp" SANE_CONFIG_DIR="$root/data/sane:" \
    QT_LOGGING_RULES="pagora.scanner.debug=true;pagora.session.debug=true" \
    QT_MESSAGE_PATTERN="%{time hh:mm:ss.zzz} %{category}: %{message}" "$app" 2>"$home/log" &
  app_pid=$!
  shown=""
  while (($(now_ms) - start < timeout_s * 1000)); do
    if painted_window; then
      shown=$(($(now_ms) - start))
      break
    fi
    sleep 0.01
  done
  listed=""
  while [[ -n "$shown" ]] && (($(now_ms) - start < timeout_s * 1000)); do
    if grep -q "source list read" "$home/log" 2>/dev/null; then
      listed=$(($(now_ms) - start))
      break
    fi
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.02
    # The binary may not log discovery at all (older builds): stop looking then.
    (($(now_ms) - start > shown + 15000)) && break
  done
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  # The session turns Idle once a source can be used: Scan is enabled. Taken from the
  # time stamp of the program's log line, not from this loop, which looks only every
  # few tens of milliseconds and only once the window is painted.
  ready=""
  stamp=$(awk '/state Idle/ {print $1; exit}' "$home/log" 2>/dev/null || true)
  [[ -z "$stamp" ]] || ready=$(($(day_ms "$stamp") - start_of_day))
  [[ -n "$shown" ]] || { echo "run $run: no painted window within ${timeout_s}s" >&2; exit 1; }
  echo "run $run: window painted after ${shown} ms${ready:+, Scan enabled after ${ready} ms}${listed:+, source list filled after ${listed} ms}"
  results+=("$shown")
  if [[ -n "$ready" ]]; then readies+=("$ready"); fi
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "median: $(median "${results[@]}") ms to a painted window (${runs} runs)"
if ((${#readies[@]} > 0)); then
  echo "median: $(median "${readies[@]}") ms to Scan enabled (${#readies[@]} runs${remembered:+, $remembered remembered})"
fi

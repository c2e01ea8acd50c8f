#!/usr/bin/env bash
# Drives the real program in Russian with the keyboard alone (xdotool keys, no
# mouse): F10 and the menu letters open Preferences, About and "Add files", and
# Exit ends the program. Each opened window is saved as a screenshot.
#
#   scripts/keyboard-check.sh [shots-folder] [program]
#
# Needs xvfb-run, xdotool and ImageMagick's import; runs itself on a virtual
# display when there is none. Not part of the test command.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
shots="${1:-$root/keyboard-shots}"
app="${2:-$root/build/src/app/pagora-pro}"

if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$shots" "$app"
fi
[[ -x "$app" ]] || { echo "no program at $app (build it first)"; exit 2; }
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 2; }
done
mkdir -p "$shots"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A fresh home: Russian chosen, no scanner (an empty SANE configuration).
mkdir -p "$work/config/Veldmark" "$work/temp" "$work/out" "$work/sane"
cat >"$work/config/Veldmark/Pagora Pro.conf" <<EOF
[General]
Lang=Russian
Save=true
Destination=$work/out
Update=false
EOF

HOME="$work" XDG_CONFIG_HOME="$work/config" TEMP="$work/temp" SANE_CONFIG_DIR="$work/sane" \
  "$app" >"$work/log" 2>&1 &
pid=$!

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The id of the visible window whose title is exactly $1, waiting up to 10 s.
window_named() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits up to 10 s until no visible window is titled $1.
window_gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

main=$(window_named "Pagora Pro") || { echo "FAIL: the main window did not appear"; kill "$pid"; exit 1; }
xdotool windowfocus --sync "$main"
import -window root "$shots/keyboard-ru-main.png"
# The File menu as F10 opens it: every entry shows its letter.
xdotool key --clearmodifiers F10
sleep 0.5 # drawn before the picture is taken
import -window root "$shots/keyboard-ru-file-menu.png"
xdotool key --clearmodifiers Escape Escape

# Opens a window from the menus with keys, saves it, closes it with Escape.
# $1: screenshot name, $2: the window's title, the rest: the keys after F10.
open_by_keys() {
  local shot=$1 title=$2 id
  shift 2
  xdotool windowfocus --sync "$main"
  xdotool key --clearmodifiers F10
  xdotool key --clearmodifiers "$@"
  if id=$(window_named "$title"); then
    echo "opened by keys ($*): $title"
    sleep 0.5
    import -window root "$shots/$shot.png"
    xdotool windowfocus --sync "$id" 2>/dev/null
    xdotool key --clearmodifiers Escape
    window_gone "$title" || fail "$title stayed open after Escape"
  else
    fail "F10 $* did not open $title"
    import -window root "$shots/$shot-failed.png"
    xdotool key --clearmodifiers Escape Escape
  fi
}

# Settings is the second menu: Right from File, then its letter Н ("Настройки").
open_by_keys keyboard-ru-preferences "Настройки" Right Cyrillic_en
# Help is the last menu: Left from File wraps to it, then О ("О программе...").
open_by_keys keyboard-ru-about "О программе Pagora Pro" Left Cyrillic_o
# File, Д ("Добавить файлы...").
open_by_keys keyboard-ru-add-files "Добавить файлы" Cyrillic_de

# File, В ("Выход"): the program ends.
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers F10
xdotool key --clearmodifiers Cyrillic_ve
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  fail "F10 В did not end the program"
  kill "$pid"
else
  echo "ended by keys (F10 Cyrillic_ve): Выход"
fi
wait "$pid" 2>/dev/null

if ((failures)); then
  echo "keyboard check: $failures failures; program log:"
  cat "$work/log"
  exit 1
fi
echo "keyboard check: Preferences, About, Add files and Exit reached by keys in Russian"
echo "screenshots: $shots"

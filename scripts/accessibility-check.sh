#!/usr/bin/env bash
# Starts Pagora Pro on a virtual screen with the accessibility bus and dumps its
# main window as a screen reader sees it, in English and in Russian, with the
# Tab sequence. Needs xvfb, at-spi2-core and python3-pyatspi (Debian's python3).
# Usage: scripts/accessibility-check.sh [build folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
app="${1:-$root/build}/src/app/pagora-pro"
status=0
for lang in English Russian; do
  home="$(mktemp -d)"
  mkdir -p "$home/.config/Veldmark" "$home/tmp"
  printf '[General]\nLang=%s\n' "$lang" >"$home/.config/Veldmark/Pagora Pro.conf"
  echo "=== $lang ==="
  HOME="$home" XDG_CONFIG_HOME="$home/.config" TEMP="$home/tmp" \
    SANE_CONFIG_DIR="$root/data/sane" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s '-screen 0 1280x800x24' dbus-run-session -- bash -c '
      /usr/libexec/at-spi-bus-launcher --launch-immediately &
      sleep 1
      "$0" & pid=$!
      /usr/bin/python3 "$1"; rc=$?
      kill $pid; wait $pid 2>/dev/null
      exit $rc' "$app" "$root/scripts/atspi-dump.py" || status=1
  rm -rf "$home"
done
exit $status

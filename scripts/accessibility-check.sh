#!/usr/bin/env bash
# Starts Pagora Pro on a virtual screen with the accessibility bus and dumps its
# windows as a screen reader sees them, in English and in Russian: every control
# (shown or not), the status line's texts and progress bar, the Tab sequence.
# Not part of scripts/test.sh; it needs, besides the test packages:
#   apt-get install xvfb dbus at-spi2-core python3-pyatspi
# Usage: [ATSPI_SCREENSHOT=/path/prefix] scripts/accessibility-check.sh [build folder]
# (with ATSPI_SCREENSHOT, the screen showing the error is kept as prefix-English.png etc.)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
app="${1:-$root/build}/src/app/pagora-pro"
status=0
for lang in English Russian; do
  home="$(mktemp -d)"
  mkdir -p "$home/.config/Veldmark" "$home/tmp"
  printf '[General]\nLang=%s\n' "$lang" >"$home/.config/Veldmark/Pagora Pro.conf"
  echo "=== $lang ==="
  LANG_NAME="$lang" HOME="$home" XDG_CONFIG_HOME="$home/.config" TEMP="$home/tmp" \
    SANE_CONFIG_DIR="$root/data/sane" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s '-screen 0 1280x800x24' dbus-run-session -- bash -c '
      /usr/libexec/at-spi-bus-launcher --launch-immediately &
      sleep 1
      "$0" & pid=$!
      ATSPI_SCREENSHOT="${ATSPI_SCREENSHOT:+$ATSPI_SCREENSHOT-$LANG_NAME.png}" /usr/bin/python3 "$1"; rc=$?
      kill $pid; wait $pid 2>/dev/null
      exit $rc' "$app" "$root/scripts/atspi-dump.py" || status=1
  rm -rf "$home"
done
exit $status

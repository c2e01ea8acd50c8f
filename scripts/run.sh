#!/usr/bin/env bash
# Installs what is missing, makes a Release build and starts Pagora Pro with the
# demo scanner (SANE's test backend) next to any real scanner.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPAGORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build" --parallel "$(nproc)"

# The trailing colon keeps SANE's own folder (/etc/sane.d) in the search path, so
# real scanners keep their configuration next to the demo scanner.
export SANE_CONFIG_DIR="$root/data/sane:"
app="$root/build/src/app/pagora-pro"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found: Pagora Pro is a desktop program and needs one."
  echo "To run it on a virtual display:"
  echo "  SANE_CONFIG_DIR=\"$root/data/sane:\" xvfb-run -a -s '-screen 0 1280x800x24' \"$app\""
  exit 1
fi
exec "$app"

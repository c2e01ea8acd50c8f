# What the benchmark scripts share; sourced once $root is the source folder.

# The pagora-pdf to measure: the path given, or one built in Release mode in
# build-pdf-bench/.
pagora_pdf() {
  if [[ -n "${1:-}" ]]; then
    echo "$1"
    return
  fi
  local build="$root/build-pdf-bench"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPAGORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target pagora-pdf >/dev/null
  echo "$build/src/tools/pagora-pdf"
}

# Ends the script, naming the first of the programs that is missing.
require() {
  local program
  for program in "$@"; do
    command -v "$program" >/dev/null || { echo "$(basename "$0"): $program is missing" >&2; exit 1; }
  done
}

# Wall-clock seconds: now, the fastest of the lines read, the time since a moment.
now() { date +%s.%N; }
best() { sort -g | head -1; }
since() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.3f", a - b }'; }

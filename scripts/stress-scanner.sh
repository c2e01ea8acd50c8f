#!/usr/bin/env bash
# Runs the scanner's stop and close tests (stopDuringBatch: a stop in a feeder
# batch at several moments, and the control destroyed mid-sheet) against SANE's test
# backend many times in a row, each in a fresh process, and reports how many passed.
# A process that hangs (also at exit) counts as failed after 60 s; its thread stacks
# are kept in the build folder. Not part of the test command: about 3 s a run.
#
#   scripts/stress-scanner.sh [runs] [build folder]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-200}"
build="${2:-$root/build}"
test="$build/tests/scanner/tst_sanetwaincontrol"
[[ -x "$test" ]] || { echo "no test program at $test (build tst_sanetwaincontrol first)"; exit 2; }

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
passed=0
for i in $(seq 1 "$runs"); do
  QT_QPA_PLATFORM=offscreen SANE_CONFIG_DIR="$root/data/sane" LC_ALL=C.UTF-8 \
    "$test" stopDuringBatch >"$log" 2>&1 &
  pid=$!
  for _tick in $(seq 1 600); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    # Hung (also at exit): keep where every thread stands, for the report.
    stacks="$root/build/stress-hang-$i.txt"
    if command -v gdb >/dev/null; then
      gdb -p "$pid" -batch -ex "thread apply all bt 30" >"$stacks" 2>&1
    fi
    kill -9 "$pid"
    wait "$pid" 2>/dev/null
    echo "run $i hung; thread stacks in $stacks"
    grep -E "PASS|FAIL|Totals" "$log" | tail -3
    continue
  fi
  if wait "$pid"; then
    passed=$((passed + 1))
  else
    echo "run $i failed:"
    grep -E "FAIL|Loc:|Actual|Expected" "$log" | head -8
  fi
done
echo "$passed of $runs passed"
((passed == runs))

#!/usr/bin/env bash
# Runs the scanner's stop and close tests (stopDuringBatch: a stop in a feeder
# batch at several moments, and the control destroyed mid-sheet) against SANE's test
# backend many times in a row, each in a fresh process, and reports how many passed.
# A process that hangs (also at exit) counts as failed after 60 s. Not part of the
# test command: it takes about 6 s a run.
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
  if QT_QPA_PLATFORM=offscreen SANE_CONFIG_DIR="$root/data/sane" LC_ALL=C.UTF-8 \
    timeout -s KILL 60 "$test" stopDuringBatch >"$log" 2>&1; then
    passed=$((passed + 1))
  else
    echo "run $i failed (exit status $?):"
    grep -E "FAIL|Loc:|Actual|Expected" "$log" | head -8
  fi
done
echo "$passed of $runs passed"
((passed == runs))

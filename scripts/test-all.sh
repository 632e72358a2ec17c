#!/usr/bin/env bash
# `make test`: every build, then every suite. A failed suite does not stop the others, so one run shows
# every failure; the last line says PASSED or FAILED with the counts, and the exit status follows it.
#   test-all.sh SUITE...     (make targets; MAKE names the make to run them with)
set -uo pipefail
make=${MAKE:-make}
start=$SECONDS
output=$(mktemp)
trap 'rm -f "$output"' EXIT
elapsed() { printf '%d min %02d s' $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60)); }
# Where the time went, for the last line: "build 12:40, test-native 0:31, ...".
phases=()
phase_start=$SECONDS
phase_done() {
  local took=$((SECONDS - phase_start))
  phases+=("$1 $((took / 60)):$(printf '%02d' $((took % 60)))")
  phase_start=$SECONDS
}

if ! $make --no-print-directory build; then
  echo "test: FAILED: the build failed, no suite ran ($(elapsed))"
  exit 1
fi
phase_done build
passed=() failed=() counts=() tests=0 failures=0
for suite in "$@"; do
  $make --no-print-directory "$suite" 2>&1 | tee "$output"
  status=${PIPESTATUS[0]}
  # CTest's own summary: "98% tests passed, 3 tests failed out of 120".
  summary=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests* failed out of \([0-9]*\)$/\1 \2/p' "$output" | tail -1)
  if [ -n "$summary" ]; then
    read -r failed_here total_here <<<"$summary"
    tests=$((tests + total_here))
    failures=$((failures + failed_here))
    counts+=("$suite $((total_here - failed_here))/$total_here")
  fi
  if [ "$status" -eq 0 ]; then passed+=("$suite"); else failed+=("$suite"); fi
  phase_done "$suite"
done

by_suite=$(IFS=,; echo "${counts[*]}")
tally="${#passed[@]} of $# suites passed; $((tests - failures)) of $tests tests passed (${by_suite//,/, })"
took=$(IFS=,; echo "${phases[*]}")
if [ ${#failed[@]} -eq 0 ]; then
  echo "test: PASSED: $tally; $(elapsed) (${took//,/, })"
else
  echo "test: FAILED: ${failed[*]}; $tally; $(elapsed) (${took//,/, })"
  exit 1
fi

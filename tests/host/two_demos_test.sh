#!/usr/bin/env bash
# Two stream demos at once on one Wine prefix, each through its own wine-run.sh as `make demo` runs it. The
# shorter one ends first; the longer one must still play to its end: no run stops a server another uses.
# Both summaries are checked.
#   two_demos_test.sh BUILD_DIR HOST_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
host=$2
source "$top/scripts/loopback.sh"

"$top/scripts/wine-run.sh" "$build" "$top/scripts/stream-demo.sh" "$host" 6 >"$work/short.txt" 2>&1 &
short=$!
"$top/scripts/wine-run.sh" "$build" "$top/scripts/stream-demo.sh" "$host" 14 >"$work/long.txt" 2>&1 &
long=$!
declare -A status=([short]=0 [long]=0)
wait "$short" || status[short]=$?
wait "$long" || status[long]=$?

result=0
for run in short long; do
  out=$(tr -d '\r' <"$work/$run.txt")
  if [ "${status[$run]}" -ne 0 ] || ! grep -q '^demo: PASS' <<<"$out" ||
     ! grep -q '^  received    3145728 bytes' <<<"$out" || ! grep -q '^  host        references left 0$' <<<"$out"; then
    echo "FAIL: the $run demo (exit status ${status[$run]}):"
    echo "$out"
    result=1
  fi
done
[ "$result" -ne 0 ] || echo "PASS: both demos played to their end"
exit "$result"

#!/usr/bin/env bash
# A session cut short mid-wait ends as its end would: a signal while the session waits makes qelhost
# delete the control (the library's log ends with the delete), print the summary with "interrupted" (its
# lines ending in LF under Wine), and exit with the status its help gives.
#   interrupt_test.sh QELHOST_EXE CASE
#   int   SIGINT to qelhost.exe itself, as Ctrl-C at a terminal gives it: status 130
#   term  SIGTERM to scripts/run-interruptible.sh, as ./qelhost runs it: status 143
set -euo pipefail
qelhost=$1
case_name=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
export WINELOADER=${WINELOADER:-wine}
source "$top/scripts/loopback.sh"
fail() {
  echo "FAIL ($case_name): $*"
  show_files trace.txt QelVorlaProxy.log
  exit 1
}

printf 'acid 17\nisolated 1\nurl 0 4 http://127.0.0.1:%s/x\ninterval 1\nwait 120\ndelete\n' "$(free_port)" \
  >"$work/session.qel"
case $case_name in
  int) signal=INT expected=130 run=("$WINELOADER" "$qelhost") ;;
  term) signal=TERM expected=143 run=(bash "$top/scripts/run-interruptible.sh" "$work" "$qelhost") ;;
  *) fail "no such case" ;;
esac
(cd "$work" && exec "${run[@]}" session.qel >"$work/trace.txt" 2>&1) &
pid=$!
pids+=($pid)
for _ in $(seq 300); do
  grep -q '^> wait 120' "$work/trace.txt" 2>/dev/null && break
  sleep 0.1
done
grep -q '^> wait 120' "$work/trace.txt" || fail "the session never reached its wait"
kill -"$signal" "$pid"
status=0
timeout 30 tail --pid="$pid" -f /dev/null || fail "qelhost did not end within 30 seconds of SIG$signal"
wait "$pid" || status=$?
[ "$status" -eq "$expected" ] || fail "exit status $status, not $expected"
# Read as written: under Wine the trace's lines end in LF alone, as the shell's tools expect.
grep -Eq '^cell 0: summary: interrupted; port [0-9]+; .*host references left 0$' "$work/trace.txt" ||
  fail "no summary saying interrupted, in lines ending in LF"
grep -q '^cell 0: deleted' "$work/trace.txt" || fail "the control was not deleted"
tr -d '\r' <"$work/QelVorlaProxy.log" | tail -3 | grep -q 'DeleteControl: .*DESTROY' ||
  fail "the log does not end with the delete"
echo "PASS: $case_name"

#!/usr/bin/env bash
# A session script with a bad line: qelhost names the file, the line and what it expected, exits non-zero,
# and does nothing else (no library loaded, nothing printed to standard output). --help answers alone;
# --version names the simulator's version and the library's.
#   bad_script_test.sh QELHOST_EXE
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
qelhost=$1
wine=${WINELOADER:-wine}
source "$top/scripts/loopback.sh"
printf 'acid 17\n# fine so far\nurl 0 PLUG http://media.example.com/live\ndelete\n' >"$work/bad.qel"
status=0
(cd "$work" && "$wine" "$qelhost" bad.qel >"$work/out.txt" 2>"$work/err.txt") || status=$?
expected="qelhost: bad.qel:3: expected a connection type (1 PLUG, 2 DIRECT, 3 MPROXY, 4 HTTP, 5 RTMP) from -2147483648 to 2147483647, found \"PLUG\""
[ "$status" -eq 2 ] || { echo "FAIL: exit status $status"; exit 1; }
[ "$(tr -d '\r' <"$work/err.txt")" = "$expected" ] || { echo "FAIL: stderr: $(cat "$work/err.txt")"; exit 1; }
[ ! -s "$work/out.txt" ] || { echo "FAIL: stdout: $(cat "$work/out.txt")"; exit 1; }
[ ! -e "$work/QelVorlaProxy.log" ] || { echo "FAIL: the library was loaded"; exit 1; }
# --help is no session: it lists the steps and exits 0 without loading the library.
help=$(cd "$work" && "$wine" "$qelhost" --help) || { echo "FAIL: --help exit status $?"; exit 1; }
grep -q "url CONN TYPE URL" <<<"$help" || { echo "FAIL: --help: $help"; exit 1; }
[ ! -e "$work/QelVorlaProxy.log" ] || { echo "FAIL: --help loaded the library"; exit 1; }
version=$(cd "$work" && "$wine" "$qelhost" --version bad.qel | tr -d '\r') || { echo "FAIL: --version exit status $?"; exit 1; }
grep -Eq '^qelhost [0-9.]+ \(commit ([0-9a-f]{12}|unknown)\), the host simulator$' <<<"$version" &&
  grep -Eq '^QelVorlaProxy.dll [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+, loaded from .*QelVorlaProxy.dll$' <<<"$version" ||
  { echo "FAIL: --version: $version"; exit 1; }
echo "PASS"

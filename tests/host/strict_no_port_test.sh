#!/usr/bin/env bash
# qelhost --strict on a plug-in that never reports a port (a DLL without the plug-in's exports, as a C++
# plug-in with mangled names is): the run ends with status 4 and stderr names the failures, the library's
# line and the port that never came.
#   strict_no_port_test.sh HOST_DIR     (qelhost.exe, QelVorlaProxy.dll and QelVorlaLink.dll)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
host_dir=$1
wine=${WINELOADER:-wine}
source "$top/scripts/loopback.sh"
fail() { echo "FAIL: $*"; cat "$work/err.txt" "$work/out.txt"; exit 1; }

cp "$host_dir/qelhost.exe" "$host_dir/QelVorlaProxy.dll" "$work/"
cp "$host_dir/QelVorlaLink.dll" "$work/QelVideoProxy_WMP.dll"
printf 'acid 17\nurl 0 4 http://127.0.0.1:9/stream.bin\ndelete\n' >"$work/session.qel"
status=0
(cd "$work" && "$wine" qelhost.exe --strict session.qel >"$work/out.txt" 2>"$work/err.txt") || status=$?
[ "$status" -eq 4 ] || fail "exit status $status"
err=$(tr -d '\r' <"$work/err.txt")
grep -q '^qelhost: --strict: exit status 4: 2 failures of the player path:$' <<<"$err" || fail "no verdict"
grep -q '^  cell 0: log: VideoHost::StartLocalProxies: Index=0, Failed to create local proxy plugin, ' <<<"$err" ||
  fail "the library's line is not named"
grep -q '^  cell 0: no proxy port reported, though a URL for connection 0 asked the control to play' <<<"$err" ||
  fail "the missing port is not named"
echo "PASS"

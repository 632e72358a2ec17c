#!/usr/bin/env bash
# A player (curl) fetches a page through the local proxy that qelhost's control sets up with the relay:
# the page comes from an HTTP origin on 127.0.0.1, directly or through microsocks with a user name and
# password; with a wrong password the fetch fails and the relay logs why. With a stream source on a port
# nobody listens on, the trace shows the relay's failure with the system's text and --strict ends
# non-zero. Everything runs on loopback and everything started here is stopped here.
#   relay_curl_test.sh QELHOST_EXE direct|socks5|wrong-password|closed-port
set -euo pipefail
qelhost=$1
mode=$2
wine=${WINELOADER:-wine}

source "$(dirname "$0")/../../scripts/loopback.sh"
fail() {
  echo "FAIL: $*"
  echo "--- qelhost trace"; cat "$work/trace.txt" 2>/dev/null || true
  echo "--- shared log"; cat "$work/QelVorlaProxy.log" 2>/dev/null || true
  exit 1
}

mkdir "$work/www"
echo "a page carried by the relay, $mode, $RANDOM" >"$work/www/page.txt"
origin_port=$(free_port)
python3 -m http.server --bind 127.0.0.1 --directory "$work/www" "$origin_port" >"$work/origin.log" 2>&1 &
pids+=($!)
wait_listening "$origin_port" || fail "nothing listens on port $origin_port"

socks_line=""
if [ "$mode" = closed-port ]; then
  origin_port=$(free_port)  # nobody listens there now
elif [ "$mode" != direct ]; then
  socks_port=$(free_port)
  microsocks -i 127.0.0.1 -p "$socks_port" -u viewer -P secret >"$work/socks.log" 2>&1 &
  pids+=($!)
  wait_listening "$socks_port" || fail "nothing listens on port $socks_port"
  password=secret
  [ "$mode" = wrong-password ] && password=not-the-secret
  socks_line="socks5 127.0.0.1:$socks_port viewer $password"
fi

cat >"$work/session.qel" <<SESSION
acid 17
isolated 1
$socks_line
url 0 4 http://127.0.0.1:$origin_port/page.txt
interval 1
wait 6
delete
SESSION

(cd "$work" && exec "$wine" "$qelhost" --strict session.qel >"$work/trace.txt" 2>&1) &
host_pid=$!
pids+=($host_pid)
port=""
for _ in $(seq 300); do
  port=$(sed -n 's/.*talkback 240 Report Proxy Port acid=17 value=\([0-9]*\).*/\1/p' "$work/trace.txt" | head -1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "no port report"

fetched=0
curl --silent --show-error --max-time 10 --output "$work/got.txt" "http://127.0.0.1:$port/page.txt" \
  2>"$work/curl.err" || fetched=$?
status=0
wait "$host_pid" || status=$?

log="$work/QelVorlaProxy.log"
if [ "$mode" = closed-port ]; then
  [ "$fetched" -ne 0 ] || fail "the fetch from a closed port succeeded"
  [ "$status" -eq 4 ] || fail "qelhost --strict ended with $status after a failure"
  grep -Eq "^cell 0: log: Relay [0-9]+ connection [0-9]+.* 127.0.0.1:$origin_port.*\([0-9]+: [^)]+\).* \[QelVideoProxy_Relay\]" \
    <(tr -d '\r' <"$work/trace.txt") || fail "the trace does not show the failure with the system's text"
  grep -q "; 1 failure in the log; host references left 0" "$work/trace.txt" || fail "the summary misses the failure"
elif [ "$mode" = wrong-password ]; then
  [ "$status" -eq 4 ] || fail "qelhost --strict ended with $status after a refused password"
  [ "$fetched" -ne 0 ] || fail "the fetch succeeded with a wrong password"
  grep -q "SOCKS5 proxy 127.0.0.1:$socks_port failed: user name or password refused" "$log" ||
    fail "the refusal is not in the log"
else
  [ "$status" -eq 0 ] || fail "qelhost ended with $status"
  [ "$fetched" -eq 0 ] || fail "curl failed ($fetched): $(cat "$work/curl.err")"
  cmp -s "$work/got.txt" "$work/www/page.txt" || fail "the page arrived changed"
  way="directly"
  [ "$mode" = socks5 ] && way="through SOCKS5 proxy 127.0.0.1:$socks_port"
  grep -q "Relay 1 connection 1: to 127.0.0.1:$origin_port $way" "$log" || fail "the route is not in the log"
  grep -Eq "beat [0-9]+: .* bits=[1-9][0-9]*" "$work/trace.txt" || fail "no heartbeat shows the traffic"
fi
grep -q "host references left 0" "$work/trace.txt" || fail "the host was not let go"
echo "PASS: $mode"

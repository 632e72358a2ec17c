#!/usr/bin/env bash
# A proxy plug-in built from the kit, loaded by the real library (qelhost under Wine) as
# QelVideoProxy_WMP.dll, the one file a plug-in's author installs: a player reads nginx's stream through
# the port the library reports, whole; the heartbeat shows the bytes; the plug-in's lines are in the shared
# log, stamped and whole; the host is let go; and qelhost --strict passes the run, though the stream's
# name holds every word of failure and the other plug-in names are missing (and, from the release's kit
# folder, the optional QelVorlaLink.dll too). Everything started here is stopped here; every wait is
# bounded.
#   example_plays_test.sh PLUGIN_DLL HOST_DIR     (qelhost.exe, QelVorlaProxy.dll, QelVorlaLink.dll if any)
set -euo pipefail
plugin=$1
host_dir=$2
wine=${WINELOADER:-wine}

source "$(dirname "$0")/../../scripts/loopback.sh"
fail() {
  echo "FAIL: $*"
  show_files trace.txt QelVorlaProxy.log nginx/error.log
  exit 1
}

cp "$host_dir/qelhost.exe" "$host_dir/QelVorlaProxy.dll" "$work/"
[ ! -f "$host_dir/QelVorlaLink.dll" ] || cp "$host_dir/QelVorlaLink.dll" "$work/"
cp "$plugin" "$work/QelVideoProxy_WMP.dll"

http_port=$(free_port)
mkdir -p "$work/nginx/www"
stream=Failed-failed-Invalid-invalid-cannot-refused-unreachable-error.bin
head -c 3000000 /dev/urandom >"$work/nginx/www/$stream"
cat >"$work/nginx/nginx.conf" <<CONF
$(nginx_in_folder "$work/nginx")
  server { listen 127.0.0.1:$http_port; root $work/nginx/www; }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" >"$work/nginx/stdout.log" 2>&1 &
pids+=($!)
wait_listening "$http_port" || fail "nginx does not listen"

printf 'acid 17\nisolated 1\nurl 0 4 http://127.0.0.1:%s/%s\ninterval 1\nwait 6\ndelete\n' "$http_port" "$stream" \
  >"$work/session.qel"
(cd "$work" && exec "$wine" qelhost.exe --strict session.qel >"$work/trace.txt" 2>&1) &
host_pid=$!
pids+=($host_pid)
port=$(reported_port) || fail "no port report"

curl --silent --show-error --fail --max-time 20 --output "$work/got.bin" "http://127.0.0.1:$port/$stream" \
  2>"$work/curl.err" || fail "the player got nothing: $(cat "$work/curl.err")"
cmp -s "$work/got.bin" "$work/nginx/www/$stream" || fail "the player got other bytes"

status=0
wait "$host_pid" || status=$?
[ "$status" -eq 0 ] || fail "qelhost --strict ended with $status"
grep -q "host references left 0" "$work/trace.txt" || fail "the host was not let go"
grep -Eq "beat [0-9]+: .* bits=[1-9][0-9]*" "$work/trace.txt" || fail "no heartbeat shows the traffic"
stamp='^[0-9]{2}/[0-9]{2}/[0-9]{2}-[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} '
log=$(tr -d '\r' <"$work/QelVorlaProxy.log")
grep -Eq "${stamp}Example proxy 1: listening on 127\.0\.0\.1:$port\$" <<<"$log" || fail "no listening line"
grep -Eq "${stamp}Example proxy 1: a player to 127\.0\.0\.1:$http_port directly\$" <<<"$log" || fail "no player line"
grep -Eq "${stamp}Example proxy 1: closed, [1-9][0-9]* bytes carried\$" <<<"$log" || fail "no closing line"
echo "PASS: a stream played through the plug-in"

#!/usr/bin/env bash
# The stream demo, run inside the Wine environment that wine-run.sh sets up. On 127.0.0.1 only, it starts
# a stream origin (scripts/stream_origin.py: a WAV stream of a few MB made on the spot, sent at 1 MB a
# second) and a SOCKS5 proxy with a user name and password (microsocks), runs a session whose control
# plays that stream through the relay and the SOCKS5 proxy, and has a player (curl) read the stream
# through the port the control reports. It prints qelhost's trace as the bytes arrive, then a summary; it
# stops everything it started and exits non-zero when anything fails.
#   stream-demo.sh HOST_DIR [SECONDS]
# HOST_DIR holds qelhost.exe and the libraries beside it; SECONDS is how long the session plays
# (DEMO_SECONDS, or 8), long enough for another player to join.
set -euo pipefail
host_dir=$(cd "$1" && pwd)
seconds=${2:-${DEMO_SECONDS:-8}}
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/loopback.sh"
stream_bytes=$((3 * 1024 * 1024))
stream_rate=$((1024 * 1024))  # bytes a second, so the beats see the stream arrive

fail() {
  echo "demo: FAILED: $*"
  echo "--- the shared log"; tr -d '\r' <"$work/QelVorlaProxy.log" 2>/dev/null || true
  exit 1
}
sha256() { sha256sum "$1" | cut -d' ' -f1; }

origin_port=$(free_port)
python3 "$top/scripts/stream_origin.py" "$origin_port" "$stream_bytes" "$stream_rate" "$work/origin.wav" \
  >"$work/origin.log" 2>&1 &
pids+=($!)
socks_port=$(free_port)
microsocks -i 127.0.0.1 -p "$socks_port" -u viewer -P secret >"$work/socks.log" 2>&1 &
pids+=($!)
wait_listening "$origin_port" || fail "the stream origin does not listen on port $origin_port"
wait_listening "$socks_port" || fail "the SOCKS5 proxy does not listen on port $socks_port"

cat >"$work/session.qel" <<SESSION
# The stream demo: play the origin's stream through the relay and the SOCKS5 proxy, beat every second.
acid 17
isolated 1
session 1001 2002
socks5 127.0.0.1:$socks_port viewer secret
url 0 4 http://127.0.0.1:$origin_port/stream.wav
interval 1
wait $seconds
hide
show
delete
SESSION

echo "demo: stream origin http://127.0.0.1:$origin_port/stream.wav ($stream_bytes bytes at $stream_rate a second)," \
  "SOCKS5 proxy 127.0.0.1:$socks_port (user viewer)"
(cd "$work" && exec "$WINELOADER" "$host_dir/qelhost.exe" session.qel >"$work/trace.txt" 2>&1) &
host_pid=$!
pids+=($host_pid)
tail -n +1 -s 0.2 -f --pid="$host_pid" "$work/trace.txt" &
pids+=($!)

port=""
for _ in $(seq 300); do
  port=$(sed -n 's/.*: proxy port \([0-9]*\) reported .*/\1/p' "$work/trace.txt" | head -1)
  [ -n "$port" ] && break
  kill -0 "$host_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$port" ] || fail "no port reported"

player=0
curl --silent --show-error --max-time "$seconds" --output "$work/received.wav" "http://127.0.0.1:$port/stream.wav" \
  2>"$work/player.err" || player=$?
host=0
wait "$host_pid" || host=$?
sleep 0.3  # the trace's last lines reach the screen
[ "$host" -eq 0 ] || fail "qelhost ended with exit status $host"
[ "$player" -eq 0 ] || fail "the player could not read the stream ($player): $(cat "$work/player.err")"

route=$(tr -d '\r' <"$work/QelVorlaProxy.log" | sed -n 's/.*Relay [0-9]* connection [0-9]*: to \(.*\) (connection [0-9]*)$/\1/p' | head -1)
summary=$(sed -n 's/^cell 0: summary: //p' "$work/trace.txt" | tr -d '\r')
received=$(stat -c %s "$work/received.wav")
checksum=$(sha256 "$work/received.wav")
beats=$(sed -n 's/.*; \([0-9]*\) beats\{0,1\}\( ([^)]*)\)\{0,1\};.*/\1\2/p' <<<"$summary")
stops=$(sed -n 's/.*; \([0-9]* stops\{0,1\}\);.*/\1/p' <<<"$summary")
references=$(sed -n 's/.*host references left \([0-9]*\)$/\1/p' <<<"$summary")

echo "demo: summary"
echo "  port        $port, reported by the control (talkback 240)"
echo "  route       player -> relay 127.0.0.1:$port -> ${route:-(none in the log)}"
echo "  received    $received bytes, sha256 $checksum"
echo "  origin      $stream_bytes bytes, sha256 $(sha256 "$work/origin.wav")"
echo "  beats       ${beats:-none}, each an INMS alarm; ${stops:-no stops}"
echo "  host        references left ${references:-unknown}"
[ "$checksum" = "$(sha256 "$work/origin.wav")" ] || fail "the player's bytes differ from the origin's file"
[[ "$route" == "127.0.0.1:$origin_port through SOCKS5 proxy 127.0.0.1:$socks_port" ]] ||
  fail "the stream did not go through the SOCKS5 proxy"
[[ "$beats" =~ ^[1-9] ]] || fail "no heartbeat arrived"
[ "$references" = 0 ] || fail "the host was not let go"
echo "demo: PASS: the player received the origin's file through the relay and the SOCKS5 proxy"

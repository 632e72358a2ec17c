#!/usr/bin/env bash
# The relay behind the real library (qelhost under Wine) in the deployments users have, against Debian's
# real servers on 127.0.0.1 (nginx also on every other address localhost has here, ::1 on Debian), each
# started here with a configuration and a folder of its own:
#   name-based  nginx serves the stream under the name localhost only (any other name: 404); a player reads
#               it from the reported port, and curl reads it using the relay as its HTTP proxy
#   socks5      one microsocks with a user name and password
#   wrong-password  the same with a password microsocks refuses: the player gets nothing, the log says why
#   closed-port the only source on a port nobody listens on: the trace shows why, with the system's text
#   socks-chain two microsocks in a chain with a login; the second one connects to the source
#   plug        tinyproxy as the PLUG hop, reached with HTTP CONNECT
#   failover    connection 0 on a closed port, connection 1 on nginx; the log names both
#   rtmp        ffmpeg publishes to nginx's RTMP module; ffprobe reads the stream through the relay
#   https       nginx serves the stream over TLS (a certificate made here) as an https URL of type 4: curl
#               reads it through the port (--connect-to) and through the relay as its proxy (CONNECT), a
#               CONNECT to another host is refused with 403, ffmpeg plays an HLS playlist with -http_proxy
#   websocket   a WebSocket stream (Debian's python3-websockets) read through the relay: the player's frame
#               after the 101 reaches the source, the source's frames reach the player whole
#   rtsp        an rtsp URL of type 4 carried untouched: ffmpeg publishes (RTSP over TCP) through the relay to
#               ffmpeg's RTSP server, which decodes every frame
#   smuggling   an origin on Python's http.server, which ends a head at a bare CR or a vertical tab and at a
#               field name that is no token: requests that would hide a second request from the relay in
#               their body are refused 400, and nothing of them reaches the origin
# Everything started here is stopped here; every wait is bounded.
#   relay_servers_test.sh QELHOST_EXE CASE
set -euo pipefail
qelhost=$1
case_name=$2
wine=${WINELOADER:-wine}
here=$(dirname "$0")
# Debian's own python3, where python3-websockets lives, whatever python3 comes first on PATH.
debian_python=/usr/bin/python3

source "$(dirname "$0")/../../scripts/loopback.sh"
fail() {
  echo "FAIL ($case_name): $*"
  show_files trace.txt QelVorlaProxy.log nginx/error.log socks1.log socks2.log tinyproxy.log ffmpeg.log \
    publisher.log websocket.log player.log origin.log
  exit 1
}

# nginx in the foreground, one process, files in $work/nginx: the stream under the name localhost, 404 for
# any other name, and an RTMP application "live". It serves HTTP on every address localhost has here, since
# the relay, microsocks and tinyproxy may each reach it at any one of them. With `tls`, the same folder for
# localhost over TLS on $https_port, with a certificate for localhost made here ($work/cert.pem).
start_nginx() {
  local addresses default_listen="" named_listen="" tls_listen="" tls_server="" address
  addresses=$(listen_addresses localhost) && [ -n "$addresses" ] || fail "localhost has no address to listen on"
  http_port=$(free_port $addresses)
  https_port=$(free_port $addresses)
  rtmp_port=$(free_port)
  for address in $addresses; do
    [[ $address == *:* ]] && address="[$address]"
    default_listen+="listen $address:$http_port default_server; "
    named_listen+="listen $address:$http_port; "
    tls_listen+="listen $address:$https_port ssl; "
  done
  mkdir -p "$work/nginx/www"
  head -c 3000000 /dev/urandom >"$work/nginx/www/stream.bin"
  if [ "${1:-}" = tls ]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=localhost \
      -addext subjectAltName=DNS:localhost -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null ||
      fail "openssl made no certificate"
    tls_server="server { $tls_listen server_name localhost; root $work/nginx/www;
    ssl_certificate $work/cert.pem; ssl_certificate_key $work/key.pem; }"
  fi
  cat >"$work/nginx/nginx.conf" <<CONF
load_module /usr/lib/nginx/modules/ngx_rtmp_module.so;
$(nginx_in_folder "$work/nginx")
  server { $default_listen return 404; }
  server { $named_listen server_name localhost; root $work/nginx/www; }
  $tls_server
}
rtmp { server { listen 127.0.0.1:$rtmp_port; application live { live on; } } }
CONF
  nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" >"$work/nginx/stdout.log" 2>&1 &
  pids+=($!)
  wait_listening "$http_port" || fail "nginx does not listen"
  # The point of the case: the name decides, so a player's own Host would get 404.
  [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$http_port/stream.bin")" = 404 ] ||
    fail "nginx answers names other than localhost"
}

# microsocks N with a login, on the port it sets in $socksN.
start_socks() {
  local socks_port
  socks_port=$(free_port)
  microsocks -i 127.0.0.1 -p "$socks_port" -u viewer -P secret >"$work/socks$1.log" 2>&1 &
  pids+=($!)
  wait_listening "$socks_port" || fail "microsocks does not listen"
  printf -v "socks$1" '%s' "$socks_port"
}

# qelhost --strict plays the session in $work/session.qel in the background; sets $port to the reported
# port. A session whose player path failed ends with status 4 (the cases set $strict_status).
strict_status=0
trace_shows=()  # patterns of lines the trace must show once the session has ended
start_session() {
  (cd "$work" && exec "$wine" "$qelhost" --strict session.qel >"$work/trace.txt" 2>&1) &
  host_pid=$!
  pids+=($host_pid)
  port=$(reported_port) || fail "no port report"
}

session() {
  printf 'acid 17\nisolated 1\n%s\ninterval 1\nwait %s\ndelete\n' "$1" "${2:-8}" >"$work/session.qel"
  start_session
}

# curl ARGS... must fetch nginx's stream.bin whole.
plays() {
  rm -f "$work/got.bin"
  curl --silent --show-error --fail --max-time 20 --output "$work/got.bin" "$@" 2>"$work/curl.err" ||
    fail "curl $* failed: $(cat "$work/curl.err")"
  cmp -s "$work/got.bin" "$work/nginx/www/stream.bin" || fail "curl $* got other bytes"
  played=1
}
played=0

# A player whose source cannot be reached is answered 502, and the session counts as failed.
refused_with_502() {
  [ "$(curl -s -o /dev/null -w '%{http_code}' --max-time 20 "http://127.0.0.1:$port/stream.bin")" = 502 ] ||
    fail "the player was not answered 502"
  strict_status=4
}

logged() { grep -q -- "$1" "$work/QelVorlaProxy.log" || fail "the log has no line with: $1"; }
not_logged() { ! grep -q -- "$1" "$work/QelVorlaProxy.log" || fail "the log has a line with: $1"; }

finish() {
  local status=0
  wait "$host_pid" || status=$?
  [ "$status" -eq "$strict_status" ] || fail "qelhost --strict ended with $status, not $strict_status"
  for pattern in "${trace_shows[@]}"; do
    grep -Eq -- "$pattern" <(tr -d '\r' <"$work/trace.txt") || fail "the trace has no line matching: $pattern"
  done
  grep -q "host references left 0" "$work/trace.txt" || fail "the host was not let go"
  [ $played -eq 0 ] || grep -Eq "beat [0-9]+: .* bits=[1-9][0-9]*" "$work/trace.txt" ||
    fail "no heartbeat shows the traffic"
  echo "PASS: $case_name"
}

# Each request a player sends with LINE among its fields, on a connection of its own, hides a second request
# in the body its Content-Length gives: a source that read LINE another way than the relay would take that
# second one for a request of its own, never rewritten. Prints each status line the player got.
send_smuggling() {  # PORT LINE...
  "$debian_python" - "$@" <<'PY'
import socket, sys
hidden = b"GET /admin HTTP/1.1\r\nHost: other.example\r\n\r\n"
for line in sys.argv[2:]:
    line = line.encode().decode("unicode_escape").encode("latin-1")
    request = b"POST /a HTTP/1.1\r\n" + line + b"\r\nContent-Length: %d\r\n\r\n" % len(hidden) + hidden
    answer = b""
    with socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=3) as player:
        player.sendall(request)
        try:  # a refusal ends the connection; an origin that took the request keeps it open
            while chunk := player.recv(4096):
                answer += chunk
        except OSError:
            pass
    print(answer.split(b"\r\n")[0].decode() + (" and another answer" if answer.count(b"HTTP/1.") > 1 else ""))
PY
}

case "$case_name" in
  https) start_nginx tls ;;
  *) start_nginx ;;
esac
source_url="http://localhost:$http_port/stream.bin"
case "$case_name" in
  name-based)
    session "url 0 4 $source_url"
    plays "http://127.0.0.1:$port/stream.bin"
    plays --proxy "http://127.0.0.1:$port" "$source_url"
    logged "Relay 1 connection 1: to localhost:$http_port directly (connection 0)"
    ;;
  socks5 | wrong-password)
    start_socks 1
    password=secret
    [ "$case_name" = wrong-password ] && password=not-the-secret
    session "socks5 127.0.0.1:$socks1 viewer $password
url 0 4 $source_url"
    if [ "$case_name" = socks5 ]; then
      plays "http://127.0.0.1:$port/stream.bin"
      logged "Relay 1 connection 1: to localhost:$http_port through SOCKS5 proxy 127.0.0.1:$socks1 (connection 0)"
    else
      refused_with_502
      logged "hop 1, SOCKS5 proxy 127.0.0.1:$socks1 failed: user name or password refused"
    fi
    ;;
  closed-port)
    hold_closed_port closed || fail "no port could be held closed"
    session "url 0 4 http://127.0.0.1:$closed/stream.bin"
    refused_with_502
    trace_shows+=("^cell 0: log: Relay 1 connection 1: error: cannot reach stream source 127.0.0.1:$closed \(connection 0\): .+ \(error [0-9]+\)"
      "; [1-9][0-9]* failures? in the log; host references left 0")
    ;;
  socks-chain)
    start_socks 1
    start_socks 2
    session "socks5 127.0.0.1:$socks1|127.0.0.1:$socks2 viewer secret
url 0 4 $source_url"
    plays "http://127.0.0.1:$port/stream.bin"
    grep -q "connected to 127.0.0.1:$socks2" "$work/socks1.log" || fail "the first proxy did not reach the second"
    grep -q "connected to localhost:$http_port" "$work/socks2.log" || fail "the second proxy did not reach the source"
    logged "to localhost:$http_port through SOCKS5 proxies 127.0.0.1:$socks1 and 127.0.0.1:$socks2 (connection 0)"
    ;;
  plug)
    tinyproxy_port=$(free_port)
    printf 'Port %s\nListen 127.0.0.1\nTimeout 30\nMaxClients 8\nAllow 127.0.0.1\nLogLevel Info\nLogFile "%s"\nPidFile "%s"\n' \
      "$tinyproxy_port" "$work/tinyproxy.log" "$work/tinyproxy.pid" >"$work/tinyproxy.conf"
    tinyproxy -d -c "$work/tinyproxy.conf" >/dev/null 2>&1 &
    pids+=($!)
    wait_listening "$tinyproxy_port" || fail "tinyproxy does not listen"
    session "plug 127.0.0.1:$tinyproxy_port X-Plug-Ticket:42
url 0 1 $source_url"
    plays "http://127.0.0.1:$port/stream.bin"
    grep -q "CONNECT localhost:$http_port HTTP/1.1" "$work/tinyproxy.log" || fail "tinyproxy saw no CONNECT"
    logged "to localhost:$http_port through PLUG proxy 127.0.0.1:$tinyproxy_port (connection 0)"
    ;;
  failover)
    hold_closed_port closed || fail "no port could be held closed"
    session "url 0 4 http://127.0.0.1:$closed/stream.bin
url 1 4 $source_url"
    # The port is reported at connection 0's URL; the player comes once connection 1 is set too.
    for _ in $(seq 100); do
      grep -q "^> wait" "$work/trace.txt" && break
      sleep 0.1
    done
    plays "http://127.0.0.1:$port/stream.bin"
    logged "Relay 1 connection 1: error: cannot reach stream source 127.0.0.1:$closed (connection 0): "
    logged "Relay 1 connection 1: to localhost:$http_port directly (connection 1)"
    ;;
  rtmp)
    timeout 60 ffmpeg -hide_banner -nostdin -re -f lavfi -i testsrc=size=160x120:rate=10 -c:v flv1 -f flv \
      "rtmp://127.0.0.1:$rtmp_port/live/cam" >"$work/ffmpeg.log" 2>&1 &
    pids+=($!)
    session "url 0 5 rtmp://127.0.0.1:$rtmp_port/live/cam" 15
    sleep 2  # the publisher's first frames reach nginx
    timeout 20 ffprobe -hide_banner -v error -show_entries stream=codec_name,width,height -of csv=p=0 \
      "rtmp://127.0.0.1:$port/live/cam" >"$work/probe.txt" 2>&1 || fail "ffprobe failed: $(cat "$work/probe.txt")"
    [ "$(cat "$work/probe.txt")" = "flv1,160,120" ] || fail "ffprobe found: $(cat "$work/probe.txt")"
    logged "Relay 1 connection 1: to 127.0.0.1:$rtmp_port directly (connection 0)"
    ;;
  https)
    mkdir -p "$work/nginx/www/hls"
    ffmpeg -hide_banner -nostdin -loglevel error -f lavfi -i testsrc=size=160x120:rate=10 -t 3 -c:v mpeg2video \
      -f hls -hls_time 1 -hls_playlist_type vod "$work/nginx/www/hls/index.m3u8" || fail "ffmpeg made no playlist"
    tls_url="https://localhost:$https_port/stream.bin"
    session "url 0 4 $tls_url"
    plays --cacert "$work/cert.pem" --connect-to "localhost:$https_port:127.0.0.1:$port" "$tls_url"
    logged "Relay 1 connection 1: to localhost:$https_port directly (connection 0)"
    plays --cacert "$work/cert.pem" --proxy "http://127.0.0.1:$port" "$tls_url"
    logged "Relay 1 connection 2: tunnel for the player's CONNECT to localhost:$https_port (connection 0)"
    [ "$(curl -s -o /dev/null -w '%{http_connect}' --max-time 20 --proxy "http://127.0.0.1:$port" \
      https://elsewhere.example/)" = 403 ] || fail "a CONNECT to another host was not answered 403"
    logged "Relay 1 connection 3: error: request refused with 403: CONNECT to elsewhere.example:443, which is no"
    # ffmpeg asks for a tunnel for the playlist and for each segment; every frame must decode.
    timeout 30 ffmpeg -hide_banner -nostdin -http_proxy "http://127.0.0.1:$port" \
      -i "https://localhost:$https_port/hls/index.m3u8" -f null - >"$work/ffmpeg.log" 2>&1 || fail "ffmpeg failed"
    grep -Eq "frame= *30 " "$work/ffmpeg.log" || fail "ffmpeg did not decode the playlist's 30 frames"
    logged "Relay 1 connection 4: tunnel for the player's CONNECT to localhost:$https_port (connection 0)"
    # The refused CONNECT is the one failure of the player path.
    strict_status=4
    trace_shows+=("; 1 failure in the log; host references left 0")
    ;;
  websocket)
    ws_addresses=$(listen_addresses localhost)
    ws_port=$(free_port $ws_addresses)
    "$debian_python" "$here/websocket_stream.py" serve "$ws_port" $ws_addresses >"$work/websocket.log" 2>&1 &
    pids+=($!)
    wait_listening "$ws_port" || fail "the WebSocket source does not listen"
    session "url 0 4 http://localhost:$ws_port/live" 5
    timeout 20 "$debian_python" "$here/websocket_stream.py" play "ws://127.0.0.1:$port/live" >"$work/player.log" 2>&1 ||
      fail "the WebSocket player failed: $(cat "$work/player.log")"
    played=1
    logged "Relay 1 connection 1: the source switched protocols: both ways pass byte for byte"
    ;;
  rtsp)
    # ffmpeg's RTSP server takes one client, so nothing may knock at its port before the publisher.
    rtsp_port=$(free_port)
    timeout 60 ffmpeg -hide_banner -nostdin -rtsp_flags listen -i "rtsp://127.0.0.1:$rtsp_port/live/cam" -f null - \
      >"$work/ffmpeg.log" 2>&1 &
    listener=$!
    pids+=($listener)
    wait_bound "$rtsp_port" || fail "ffmpeg's RTSP server does not listen"
    session "url 0 4 rtsp://127.0.0.1:$rtsp_port/live/cam" 8
    timeout 30 ffmpeg -hide_banner -nostdin -re -f lavfi -i testsrc=size=160x120:rate=10 -t 3 -c:v mpeg4 \
      -f rtsp -rtsp_transport tcp "rtsp://127.0.0.1:$port/live/cam" >"$work/publisher.log" 2>&1 ||
      fail "the publisher failed"
    wait "$listener" || fail "ffmpeg's RTSP server failed"
    grep -Eq "frame= *30 " "$work/ffmpeg.log" || fail "the RTSP server did not decode the 30 frames"
    played=1
    logged "Relay 1 connection 1: to 127.0.0.1:$rtsp_port directly (connection 0)"
    not_logged "request refused"
    ;;
  smuggling)
    # Keep-alive, bodies read by their Content-Length as its own header reading finds it, each request
    # logged and answered with what it asked for.
    origin_port=$(free_port)
    python3 - "$origin_port" >"$work/origin.log" 2>&1 <<'PY' &
import http.server, sys
class Origin(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def answer(self):
        self.rfile.read(int(self.headers.get("Content-Length") or 0))
        body = b"page" if self.path == "/a" else f"{self.path} for {self.headers.get('Host')}".encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    do_GET = do_POST = answer
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Origin).serve_forever()
PY
    pids+=($!)
    wait_listening "$origin_port" || fail "http.server does not listen"
    session "url 0 4 http://127.0.0.1:$origin_port/a" 5
    [ "$(curl -s --max-time 20 "http://127.0.0.1:$port/a")" = page ] || fail "the origin's page did not play"
    # Straight to the origin, each of them would reach it: the relay must refuse them all.
    answers=$(send_smuggling "$port" 'X: a\r' 'X\x0b: a' 'X Y: a' 'X\x00: a') || fail "the smuggling player failed"
    [ "$(grep -c "^HTTP/1.1 400 Bad Request$" <<<"$answers")" = 4 ] ||
      fail "not every request was answered 400: $answers"
    sleep 1  # what the origin received is in its log by now
    grep -q '"GET /a HTTP/1.1" 200' "$work/origin.log" || fail "the origin logged no request"
    ! grep -q "/admin" "$work/origin.log" || fail "a hidden request reached the origin"
    [ "$(grep -c "request refused with 400" "$work/QelVorlaProxy.log")" = 4 ] || fail "the log has no 4 refusals"
    strict_status=4
    ;;
  *) fail "no such case" ;;
esac
finish

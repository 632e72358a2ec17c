# For scripts that start servers on 127.0.0.1; source it. It makes a work folder, $work, and at exit stops
# every process listed in $pids (add each with `pids+=($!)`) and removes the folder.
work=$(mktemp -d "${TMPDIR:-/tmp}/qel.XXXXXX")
pids=()
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_all EXIT

# A port nobody listens on now, on each ADDRESS given (127.0.0.1 when none is).
free_port() {
  python3 - "${@:-127.0.0.1}" <<'PY'
import socket, sys
for attempt in range(100):  # a port free on the first address may be taken on another: try the next
    held = []
    try:
        for address in sys.argv[1:]:
            held.append(socket.socket(socket.AF_INET6 if ":" in address else socket.AF_INET))
            held[-1].bind((address, held[0].getsockname()[1] if len(held) > 1 else 0))
        sys.exit(print(held[0].getsockname()[1]))
    except OSError:
        pass
    finally:
        for s in held:
            s.close()
sys.exit("no port is free on every one of " + " ".join(sys.argv[1:]))
PY
}

# A port of 127.0.0.1 nobody listens on, into the variable NAME: a process of $pids holds it bound without
# listening until the script ends, so connecting to it is refused and no other program is handed it meanwhile
# (a port merely found free could go to the next server that asks, and a player meant to fail would play).
hold_closed_port() {  # NAME
  local file holder
  file=$(mktemp "$work/closed-port.XXXXXX")
  python3 -c 'import socket, time
held = socket.socket()
held.bind(("127.0.0.1", 0))
print(held.getsockname()[1], flush=True)
time.sleep(3600)' >"$file" &
  holder=$!
  pids+=($holder)
  until [ -s "$file" ]; do
    kill -0 "$holder" 2>/dev/null || return 1
    sleep 0.05
  done
  printf -v "$1" '%s' "$(cat "$file")"
}

# The addresses a server must listen on to answer every client that reaches it by NAME: each address
# the resolver gives for the name, whatever their order, that a socket can be bound to here. Debian's
# /etc/hosts names localhost for both 127.0.0.1 and ::1, and a client may try ::1 alone; a machine
# without IPv6 may still give ::1 for the name, but no client reaches it there and the resolver puts it
# last.
listen_addresses() {  # NAME
  python3 - "$1" <<'PY'
import socket, sys
for address in dict.fromkeys(info[4][0] for info in socket.getaddrinfo(sys.argv[1], None, 0, socket.SOCK_STREAM)):
    with socket.socket(socket.AF_INET6 if ":" in address else socket.AF_INET) as s:
        try:
            s.bind((address, 0))
            print(address)
        except OSError:
            pass
PY
}

# Succeeds once something listens on PORT, fails after ten seconds.
wait_listening() {
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# Succeeds once a socket listens on PORT, seen in the kernel's table without connecting to it (a server
# that serves one client only would take the knock for its client); fails after ten seconds.
wait_bound() {
  local hex
  hex=$(printf '%04X' "$1")
  for _ in $(seq 100); do
    grep -qE "^ *[0-9]+: [0-9A-F]+:$hex [0-9A-F]+:0000 0A " /proc/net/tcp /proc/net/tcp6 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# The last lines of each of the files FILE... of $work that exist, for a test's failure message.
show_files() {
  for file in "$@"; do
    [ -f "$work/$file" ] && { echo "--- $file"; tail -40 "$work/$file"; }
  done
  return 0
}

# Prints the port qelhost's trace $work/trace.txt reports for ACID 17, once it does; fails after 30 seconds.
reported_port() {
  local port
  for _ in $(seq 300); do
    port=$(sed -n 's/.*talkback 240 Report Proxy Port acid=17 value=\([0-9]*\).*/\1/p' "$work/trace.txt" 2>/dev/null | head -1)
    [ -n "$port" ] && { echo "$port"; return 0; }
    sleep 0.1
  done
  return 1
}

# The settings that keep one nginx in the foreground with every file of its own in DIR: the main block,
# and the lines that open its http block (the caller adds its servers and closes the block). CONNECTIONS,
# 64 unless given, bounds the connections open at once, the listening sockets' included.
nginx_in_folder() {  # DIR [CONNECTIONS]
  cat <<CONF
daemon off;
master_process off;
pid $1/nginx.pid;
error_log $1/error.log;
events { worker_connections ${2:-64}; }
http {
  access_log $1/access.log;
  client_body_temp_path $1/body;
  proxy_temp_path $1/proxy;
  fastcgi_temp_path $1/fastcgi;
  uwsgi_temp_path $1/uwsgi;
  scgi_temp_path $1/scgi;
CONF
}

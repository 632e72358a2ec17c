# For scripts that start servers on 127.0.0.1; source it. It makes a work folder, $work, and at exit stops
# every process listed in $pids (add each with `pids+=($!)`) and removes the folder.
work=$(mktemp -d "${TMPDIR:-/tmp}/qel.XXXXXX")
pids=()
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_all EXIT

# A port nobody listens on now.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# Succeeds once something listens on PORT, fails after ten seconds.
wait_listening() {
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

#!/usr/bin/env bash
# The wall benchmark's run, inside scripts/wine-run.sh (WINELOADER and WINEPREFIX set) as
# scripts/bench-wall.sh starts it. On 127.0.0.1: Debian's nginx serves each cell its own stream, held to
# KIB_A_SECOND by limit_rate. First one host process (qelhost) with one idle cell: its relay listens, no
# player comes. Then one host process with CELLS cells, each with its own relay and one player (curl)
# reading its stream for SECONDS. From /proc it reads the host process's threads, address space and
# resident memory (their peak while the players play) and its CPU time with the Wine server's, and prints
# them per cell beyond the idle cell's, with qelhost --timing's figures for the calls on the host's thread.
# Figures are reported against their targets, never asserted; the run fails only when a player got nothing.
#   wall-bench.sh QELHOST_EXE BUILD [CELLS [SECONDS [KIB_A_SECOND]]]
set -euo pipefail
qelhost=$(realpath "$1")
build=$2
cells=${3:-64}
seconds=${4:-30}
rate=${5:-500}
idle_seconds=10

source "$(dirname "$0")/loopback.sh"

# The release ships the library and the relay stripped of their debug information: the host runs from a
# copy of its folder stripped the same way, so the url command that loads the relay reads what a user's
# does (0.7 MB, not the 15 MB of the build's relay with its debug information).
objcopy=i686-w64-mingw32-objcopy
[ "$build" = win64 ] && objcopy=x86_64-w64-mingw32-objcopy
cp -r "$(dirname "$qelhost")" "$work/host"
for binary in "$work"/host/*.dll "$work"/host/*.exe; do "$objcopy" --strip-all "$binary"; done
qelhost=$work/host/$(basename "$qelhost")
fail() {
  echo "wall-bench: $*" >&2
  show_files idle.txt wall.txt QelVorlaProxy.log nginx/error.log >&2
  exit 1
}

# The host process's figures: "THREADS ADDRESS_SPACE_KIB RESIDENT_KIB". Wine reserves the whole 32-bit
# address space up front, so the space in use is that of the mappings the process may touch: the modules,
# the memory it committed, each thread's stack whole (Wine commits it at once) and Wine's own per thread.
memory() {
  python3 - "$1" <<'PY'
import sys
pid = sys.argv[1]
in_use = 0
with open(f"/proc/{pid}/maps") as maps:
    for line in maps:
        span, perms = line.split()[:2]
        if perms[:3] != "---":
            start, end = (int(x, 16) for x in span.split("-"))
            in_use += end - start
status = dict(line.split(":", 1) for line in open(f"/proc/{pid}/status"))
print(status["Threads"].strip(), in_use // 1024, status["VmRSS"].split()[0])
PY
}
# CPU seconds of the process PID so far (user and system).
cpu() {
  awk -v tick="$(getconf CLK_TCK)" '{sub(/^.*\) /, ""); printf "%.2f\n", ($12 + $13) / tick}' "/proc/$1/stat"
}
# The Wine server of this prefix: it works in a folder named for the prefix's device and inode.
wine_server() {
  local home dir
  home=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
  for dir in /proc/[0-9]*; do
    if [ "$(basename "$(readlink "$dir/cwd" 2>/dev/null)")" = "$home" ] &&
       [[ $(readlink "$dir/exe" 2>/dev/null) == *wineserver* ]]; then
      echo "${dir#/proc/}"
      return 0
    fi
  done
  return 1
}
# CPU seconds of the host process PID and of the Wine server together.
host_cpu() { echo "$(cpu "$1") $(cpu "$(wine_server)")" | awk '{print $1 + $2}'; }
# Waits until FILE, the trace of a host process PID, reports COUNT ports; fails after 60 seconds.
wait_ports() {  # FILE COUNT PID
  for _ in $(seq 600); do
    [ "$(grep -c ': proxy port [0-9]* reported' "$1")" -ge "$2" ] && return 0
    kill -0 "$3" 2>/dev/null || fail "qelhost ended before its $2 ports were reported"
    sleep 0.1
  done
  fail "qelhost did not report its $2 ports within 60 seconds"
}
# Whether a player is still reading.
playing() {
  local player
  for player in "${players[@]}"; do kill -0 "$player" 2>/dev/null && return 0; done
  return 1
}
start_host() {  # NAME OPTION...   runs qelhost on $work/NAME.qel, its trace in $work/NAME.txt
  local name=$1
  shift
  (cd "$work" && exec "$WINELOADER" "$qelhost" "$@" "$name.qel" >"$name.txt" 2>&1) &
  pids+=($!)
  host=$!
}

http_port=$(free_port)
mkdir -p "$work/nginx/www"
# One stream file, sparse, longer than a player reads; every cell reads it under its own name.
truncate -s $((rate * 1024 * (seconds + 30))) "$work/nginx/www/stream.bin"
for cell in $(seq 0 $((cells - 1))); do ln -s stream.bin "$work/nginx/www/cell$cell.bin"; done
cat >"$work/nginx/nginx.conf" <<CONF
$(nginx_in_folder "$work/nginx" $((cells * 2 + 16)))
  server { listen 127.0.0.1:$http_port; root $work/nginx/www; limit_rate ${rate}k; }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" >"$work/nginx/stdout.log" 2>&1 &
pids+=($!)
wait_listening "$http_port" || fail "nginx does not listen"
load_start=$(uptime)

# One idle cell: its figures after a few seconds, its CPU over $idle_seconds.
printf 'acid 100\nurl 0 4 http://127.0.0.1:%s/cell0.bin\ninterval 1\nwait %s\n' "$http_port" \
  $((idle_seconds + 8)) >"$work/idle.qel"
start_host idle --timing
wait_ports "$work/idle.txt" 1 "$host"
sleep 3
read -r idle_threads idle_space idle_resident < <(memory "$host")
idle_cpu_start=$(host_cpu "$host")
sleep "$idle_seconds"
idle_cpu=$(echo "$(host_cpu "$host") $idle_cpu_start" | awk '{print $1 - $2}')
wait "$host" || fail "the idle host ended with $?"

# The wall: every cell its own ACID and stream, then a player each.
{
  echo "interval 1"
  for cell in $(seq 0 $((cells - 1))); do
    printf 'cell %s\nacid %s\nurl 0 4 http://127.0.0.1:%s/cell%s.bin\n' "$cell" $((100 + cell)) "$http_port" "$cell"
  done
  printf 'cell all\nwait %s\n' $((seconds + 20))
} >"$work/wall.qel"
start_host wall --timing
wait_ports "$work/wall.txt" "$cells" "$host"
players=()
while read -r cell port; do
  curl --silent --output /dev/null --max-time "$seconds" --write-out '%{size_download}\n' \
    "http://127.0.0.1:$port/cell$cell.bin" >"$work/player$cell.txt" 2>&1 &
  players+=($!)
done < <(sed -n 's/^cell \([0-9]*\): proxy port \([0-9]*\) reported.*/\1 \2/p' "$work/wall.txt")
pids+=("${players[@]}")
started=$(date +%s.%N)
wall_cpu_start=$(host_cpu "$host")
peak_threads=0 peak_space=0 peak_resident=0
while playing; do
  read -r threads space resident < <(memory "$host")
  peak_threads=$((threads > peak_threads ? threads : peak_threads))
  peak_space=$((space > peak_space ? space : peak_space))
  peak_resident=$((resident > peak_resident ? resident : peak_resident))
  sleep 1
done
wall_cpu=$(echo "$(host_cpu "$host") $wall_cpu_start" | awk '{print $1 - $2}')
played=$(echo "$(date +%s.%N) $started" | awk '{print $1 - $2}')
for player in "${players[@]}"; do wait "$player" || true; done
kill -0 "$host" 2>/dev/null || fail "the host process ended before its players"
wait "$host" || fail "the wall's host ended with $?"
load_end=$(uptime)

wine="the 32-bit build under Wine"
[ "$build" = win32 ] || wine="the 64-bit build under Wine (this machine cannot run 32-bit code)"
echo "wall benchmark: $cells cells in one host process, each one player of its own $rate KiB/s stream for" \
  "$seconds s; $wine"
echo "load at start: $load_start"
echo "load at end:   $load_end"
cat "$work"/player*.txt | awk -v want=$((rate * 1024 * seconds)) -v seconds="$seconds" -v cells="$cells" '
  { n++; mbit = $1 * 8 / seconds / 1e6; sum += mbit; if (n == 1 || mbit < least) least = mbit }
  $1 < want * 0.9 { slow++ }
  END { printf "players: %d of %d; %.2f Mbit/s on average, %.2f the least; %d below 90%% of the rate\n",
               n, cells, sum / n, least, slow }'
awk -v cells="$cells" -v played="$played" -v idle_seconds="$idle_seconds" -v icpu="$idle_cpu" -v wcpu="$wall_cpu" \
    -v it="$idle_threads" -v is="$idle_space" -v ir="$idle_resident" \
    -v wt="$peak_threads" -v ws="$peak_space" -v wr="$peak_resident" 'BEGIN {
  row = "%-30s %14s %16s %24s  %s\n"
  printf row, "", "one idle cell", cells " cells playing", "per cell beyond idle", "target"
  printf row, "threads", it, wt, sprintf("%.2f", (wt - it) / cells), "no thread per connection"
  printf row, "address space (KiB)", is, ws, sprintf("%.0f KiB", (ws - is) / cells), "<= 256 KiB per connection"
  printf row, "resident memory (KiB)", ir, wr, sprintf("%.0f KiB", (wr - ir) / cells), "<= 256 KiB per connection"
  idle_rate = icpu / idle_seconds * 100; wall_rate = wcpu / played * 100
  printf row, "CPU, Wine server too (% core)", sprintf("%.2f", idle_rate), sprintf("%.2f", wall_rate),
         sprintf("%.3f", (wall_rate - idle_rate) / cells), ""
}'
echo "the host's thread, $cells cells (target: the 99th percentile of commands and ticks under 1 ms):"
grep '^timing: ' "$work/wall.txt" | sed 's/^timing: /  /'
echo "the host's thread, one idle cell:"
grep '^timing: ' "$work/idle.txt" | sed 's/^timing: /  /'
awk '$1 == 0 {exit 1}' "$work"/player*.txt || fail "a player received nothing"

#!/usr/bin/env bash
# The relay's throughput beside socat and the origin itself, on 127.0.0.1 only: builds the relay with the
# host simulator (the 32-bit product where the machine can run it, the 64-bit build of the same sources
# elsewhere) and the native origin and players, then runs scripts/relay-bench.py in that build's Wine.
#   bench-relay.sh [MIB_PER_RUN [ROUNDS]]      (defaults 1024 and 3)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=win64
if scripts/can-run-32bit.sh; then preset=win32; fi
for tree in "$preset" bench; do
  [ -f "build/$tree/build.ninja" ] || cmake --preset "$tree" >/dev/null
done
cmake --build "build/$preset" -j2 --target qelhost >/dev/null
cmake --build build/bench -j2 --target relay_load >/dev/null
scripts/wine-run.sh "build/$preset" python3 scripts/relay-bench.py "build/$preset/host/qelhost.exe" \
  build/bench/bench/relay/relay_load "$preset" "${1:-1024}" "${2:-3}"

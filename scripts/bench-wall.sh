#!/usr/bin/env bash
# A video wall in one host process: builds the host simulator with the library and the relay (the 32-bit
# product where the machine can run it, the 64-bit build of the same sources elsewhere) and runs
# scripts/wall-bench.sh in that build's Wine. Run it alone on the build's Wine prefix: the Wine server's CPU
# time counts for the host, and a test run on the same prefix would add its own.
#   bench-wall.sh [CELLS [SECONDS [KIB_A_SECOND]]]      (defaults 64, 30 and 500: about 4 Mbit/s a stream)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$(scripts/host-preset.sh)
JOBS=${JOBS:-2} scripts/build-tree.sh --show "$preset" qelhost
exec scripts/wine-run.sh "build/$preset" bash scripts/wall-bench.sh "build/$preset/host/qelhost.exe" "$preset" "$@"

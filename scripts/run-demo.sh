#!/usr/bin/env bash
# Builds the host simulator and runs the default demo session on the real library under Wine: the 32-bit
# product where the machine can run it, the 64-bit build of the same sources elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=win64
if scripts/can-run-32bit.sh; then preset=win32; fi
[ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" -j2 --target qelhost >/dev/null
script=$(pwd)/${1:-examples/demo.qel}
scripts/wine-run.sh "build/$preset" bash -c 'cd "$0/host" && "$WINELOADER" qelhost.exe "$1"' "build/$preset" "$script"

#!/usr/bin/env bash
# The main job, on the real library under Wine: the 32-bit product where this machine can run it, the
# 64-bit build of the same sources elsewhere (some virtual machines run 64-bit code only).
#   run-demo.sh                      the stream demo (scripts/stream-demo.sh): a stream really flows
#   run-demo.sh SESSION [OPTION...]  qelhost runs SESSION (a path absolute or relative to where you stand)
#                                    in the current folder, so its QelVorlaProxy.log lands there
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
preset=win64
if scripts/can-run-32bit.sh; then preset=win32; fi
[ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" -j2 --target qelhost >/dev/null
host_dir=$(pwd)/build/$preset/host
if [ $# -eq 0 ]; then
  exec scripts/wine-run.sh "build/$preset" scripts/stream-demo.sh "$host_dir"
fi
session=$1
shift
[[ "$session" == /* ]] || session=$here/$session
[ -r "$session" ] || { echo "run-demo: cannot read $session" >&2; exit 2; }
exec scripts/wine-run.sh "build/$preset" bash -c 'cd "$1" && exec "$WINELOADER" "$2" "${@:3}"' _ \
  "$here" "$host_dir/qelhost.exe" "$@" "$session"

#!/usr/bin/env bash
# The main job, on the real library under Wine: the 32-bit product where this machine can run it, the
# 64-bit build of the same sources elsewhere (some virtual machines run 64-bit code only).
#   run-demo.sh                      the stream demo (scripts/stream-demo.sh): a stream really flows
#   run-demo.sh SESSION [OPTION...]  ./qelhost runs SESSION (a path absolute or relative to where you
#                                    stand) in the current folder, so its QelVorlaProxy.log lands there
#   run-demo.sh --help               this text and qelhost's options
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
case ${1:-} in
  "") ;;
  --help | -h)
    sed -n '2,7s/^# \{0,1\}//p' "$0"
    echo
    exec "$top/qelhost" --help ;;
  *) exec "$top/qelhost" "$@" ;;
esac
preset=$("$top/scripts/host-preset.sh")
"$top/scripts/build-tree.sh" --ready-if "$top/build/$preset/host/qelhost.exe" "$preset" qelhost
prefix=${QEL_WINEPREFIX:-$top/build/$preset/wineprefix}
[ -f "$prefix/system.reg" ] || echo "demo: setting up Wine's prefix in $prefix, once (about 15 seconds)" >&2
echo "demo: starting Wine and the stream demo on $preset"
exec "$top/scripts/wine-run.sh" "$top/build/$preset" "$top/scripts/stream-demo.sh" "$top/build/$preset/host"

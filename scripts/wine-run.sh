#!/usr/bin/env bash
# Runs a command (normally ctest) with a Wine prefix kept inside the build tree and one persistent
# wineserver for the whole run, so each test process starts in milliseconds.
#   wine-run.sh BUILD_DIR COMMAND...
# The loader matches the build: the 64-bit one for a 64-bit build, the 32-bit one otherwise.
set -euo pipefail
build_dir=$(cd "$1" && pwd)
shift

if grep -q '^CMAKE_SYSTEM_PROCESSOR:.*=x86_64' "$build_dir/CMakeCache.txt" 2>/dev/null ||
   grep -q 'mingw-x86_64' "$build_dir/CMakeCache.txt" 2>/dev/null; then
  export WINELOADER=/usr/lib/wine/wine64
else
  export WINELOADER=/usr/lib/wine/wine
fi
# With the 64-bit Wine installed every prefix is a 64-bit one that runs 32-bit processes too, and only the
# 64-bit server can serve it; the 32-bit server is for a 32-bit-only installation.
if [ -x /usr/lib/wine/wineserver64 ]; then
  export WINESERVER=/usr/lib/wine/wineserver64
else
  export WINESERVER=/usr/lib/wine/wineserver32
fi
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export TZ=UTC
unset DISPLAY

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$WINELOADER" wineboot --init >/dev/null 2>&1
  "$WINESERVER" -w
fi
# Without a display Wine's desktop process fails to start, and every process that makes a window tries to
# start it again; under load a window creation can then fail. The null graphics driver gives a desktop
# that starts once and stays.
if ! grep -q '"Graphics"="null"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  "$WINELOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$WINESERVER" -w
fi

"$WINESERVER" -p >/dev/null 2>&1 &
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
# Start Wine's own services now, detached from any pipe: started by the first test instead, they would
# inherit its output and CTest would wait on them until its timeout.
"$WINELOADER" cmd /c exit </dev/null >/dev/null 2>&1
"$@"

#!/usr/bin/env bash
# Runs a command (normally ctest) with a Wine prefix kept inside the build tree and a wineserver that stays
# up between the run's processes, so each test process starts in milliseconds.
#   wine-run.sh BUILD_DIR COMMAND...
# Several runs may use one prefix at once (a test run and two demos, say). No run ever stops the server:
# it is started to linger a few seconds after its last client and then exits by itself, so a run that
# ends never takes down another run's processes. Setting up the prefix is done under a lock.
# While a run lasts, a keeper program of its own keeps the server from going down: a server whose linger
# has run out goes down over seconds (its services end, it writes the registry out), and a program that
# starts then waits for it, up to 8 seconds here, or may be cut off with it.
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
# QEL_WINEPREFIX chooses a prefix of your own, for instance one with log settings in its registry.
export WINEPREFIX=${QEL_WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export TZ=UTC
unset DISPLAY

linger_seconds=5

# The first run to get here sets the prefix up while the others wait; a prefix being set up has no other
# clients, so waiting for its server to write the registry out and exit stops nobody else's work.
exec {lock}>"$WINEPREFIX.lock"
flock "$lock"
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
# A crashing program gets no debugger: Wine's would wait for someone to look at it until the test's
# time-out ended it. With an empty debugger command the process ends at once with the fault's code, and
# its test fails in seconds. Both registry views: 64-bit processes read one, 32-bit processes the other.
if grep -q '^"Debugger"="winedbg' "$WINEPREFIX/system.reg" 2>/dev/null; then
  for view in 64 32; do
    "$WINELOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f \
      /reg:$view >/dev/null 2>&1
  done
  "$WINESERVER" -w
fi
flock -u "$lock"
exec {lock}>&-
# Joins the server of a run already going (this one then exits at once), or starts one that lingers.
"$WINESERVER" -p"$linger_seconds" >/dev/null 2>&1 &

# The keeper: a cmd that reads a comment a second until this run's process ($$, which the command below
# becomes) has ended, then the end of its input, and ends. Should its server go down all the same (it was
# going down as the keeper started), another keeper starts on the next server. The first one also starts
# Wine's own services, detached from any pipe: started by the first test instead, they would inherit its
# output and CTest would wait on them until its timeout.
keeper_output=$(mktemp)
run=$$
running() { kill -0 "$run" 2>/dev/null && ! grep -qs '^State:[[:space:]]*Z' "/proc/$run/status"; }
(
  set +e
  while running; do
    "$WINELOADER" cmd /q /k echo up < <(while running && echo rem; do sleep 1; done) >>"$keeper_output" 2>/dev/null
    sleep 0.5
  done
  rm -f "$keeper_output"
) </dev/null >/dev/null 2>&1 &
for _ in $(seq 600); do
  grep -q up "$keeper_output" 2>/dev/null && break
  sleep 0.1
done
exec "$@"

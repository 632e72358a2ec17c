#!/usr/bin/env bash
# Runs a Windows program under Wine ($WINELOADER) in DIR so that SIGTERM ends it as Ctrl-C does: Wine
# hands a program SIGINT as Ctrl-C, which qelhost.exe answers by ending its session as the session's end
# would, but ends it on SIGTERM at once, with no end of its own. Exits with the program's status, or 143
# (the shell's 128 + SIGTERM) when SIGTERM ended a program that then reported its interruption (130).
#   run-interruptible.sh DIR PROGRAM [ARG...]
set -uo pipefail
cd "$1" || exit 1
shift
"$WINELOADER" "$@" &
program=$!
terminated=0
# Ctrl-C at a terminal reaches the program too; a SIGINT sent to this script alone is passed on.
trap 'trapped=1; kill -INT "$program" 2>/dev/null' INT
trap 'trapped=1; terminated=1; kill -INT "$program" 2>/dev/null' TERM
while :; do
  trapped=0
  wait "$program"
  status=$?
  [ "$trapped" = 1 ] || break  # a trap cut the wait short: wait again for the program's own status
done
[ "$terminated" = 1 ] && [ "$status" = 130 ] && exit 143
exit "$status"

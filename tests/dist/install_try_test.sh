#!/usr/bin/env bash
# INSTALL.txt's "A try on Linux under Wine", word for word: its command lines run as written, one after
# the other, from the folder the archive was unpacked in, with a home folder of their own (the try's
# prefix is $HOME/.wine-qel) and no Wine setting of this project's. The log must then be where the .reg
# file says, begun and ended by the control the try creates. Needs a machine that runs 32-bit code.
#   install_try_test.sh ARCHIVE
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
archive=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
fail() { echo "install_try_test: FAIL: $*"; exit 1; }
if ! "$top/scripts/can-run-32bit.sh"; then
  echo "install_try_test: skipped: this machine cannot execute 32-bit code"
  exit 0
fi
work=$(mktemp -d)
export HOME=$work/home
stop_prefix() { WINEPREFIX=$HOME/.wine-qel wineserver -w 2>/dev/null || true; rm -rf "$work"; }
trap stop_prefix EXIT
mkdir -p "$HOME" "$work/unpacked"
unset WINEPREFIX WINESERVER WINELOADER WINEDEBUG WINEDLLOVERRIDES

python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$archive" "$work/unpacked"
note=$(echo "$work"/unpacked/QelVorlaProxy-*/INSTALL.txt)
# The section's command lines: indented by two blanks, between its title and the next title.
commands=$(tr -d '\r' <"$note" | awk '/^A try on Linux under Wine$/ {on = 1; next}
  on && /^-+$/ && seen_title {exit} on && /^[^ -]/ {seen_title = 1} on && /^  [^ ]/ {print substr($0, 3)}')
[ -n "$commands" ] || fail "INSTALL.txt has no commands in its Wine try"
(cd "$work/unpacked" && bash -e -c "$commands") >"$work/try.txt" 2>&1 ||
  fail "the try's commands failed: $(tail -20 "$work/try.txt")"

log=$HOME/.wine-qel/drive_c/Logs/QelVorlaProxy.log
[ -f "$log" ] || fail "no log in C:\\Logs; the try printed: $(tail -20 "$work/try.txt")"
grep -q "================= CREATE =================" "$log" && grep -q "================= DESTROY =================" "$log" ||
  fail "the log holds no control's start and end: $(cat "$log")"
! ls "$work"/unpacked/*/sdk/QelVorlaProxy.log "$work"/unpacked/QelVorlaProxy.log 2>/dev/null ||
  fail "a log landed in the current folder too"
echo "install_try_test: PASS: the log settings reached the library, its log is in C:\\Logs"

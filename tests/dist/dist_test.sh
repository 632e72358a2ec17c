#!/usr/bin/env bash
# The release archive: exactly the files the install note describes, a library without debug sections
# that exports its two entry points and imports system DLLs only, a debug link naming the separate debug
# file with that file's checksum, the log settings in the 32-bit registry view, and the same bytes as an
# archive packed from a second build in another folder.
#   dist_test.sh ARCHIVE SECOND_ARCHIVE
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
archive=$1
second=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "dist_test: FAIL: $*"; exit 1; }

python3 - "$archive" "$work" <<'UNPACK'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    with open(sys.argv[2] + "/names", "w") as names:
        names.write("\n".join(z.namelist()) + "\n")
    z.extractall(sys.argv[2] + "/files")
UNPACK
expected="QelVorlaProxy.dll
QelVorlaProxy.dll.debug
QelVideoProxy_WMP.dll
QelVideoProxy_SS.dll
QelVideoProxy_VFN.dll
QelVorlaProxy-log.reg
INSTALL.txt"
[ "$(cat "$work/names")" = "$expected" ] || fail "the archive holds: $(tr '\n' ' ' <"$work/names")"
files=$work/files

sections() { i686-w64-mingw32-objdump -h "$1" | awk '$2 ~ /^\./ {print $2}'; }
! sections "$files/QelVorlaProxy.dll" | grep -q '^\.debug' || fail "the library carries debug sections"
sections "$files/QelVorlaProxy.dll.debug" | grep -qx '\.debug_info' || fail "the debug file has no .debug_info"
"$top/scripts/check-exports.sh" "$files/QelVorlaProxy.dll" >/dev/null || fail "the library's exports changed"
"$top/scripts/check-imports.sh" "$files" >/dev/null || fail "a binary imports more than system DLLs"

# .gnu_debuglink: the debug file's name, NUL-padded to 4 bytes, then the CRC-32 of its bytes.
i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$work/link" "$files/QelVorlaProxy.dll" "$work/copy.dll" ||
  fail "the library has no debug link"
python3 - "$work/link" "$files/QelVorlaProxy.dll.debug" <<'LINK' || fail "the debug link does not match the debug file"
import struct, sys, zlib
link = open(sys.argv[1], "rb").read()
name = link[:link.index(b"\0")]
crc, = struct.unpack("<I", link[-4:])
sys.exit(0 if name == b"QelVorlaProxy.dll.debug" and crc == zlib.crc32(open(sys.argv[2], "rb").read()) else 1)
LINK

for kind in SS VFN; do
  cmp -s "$files/QelVideoProxy_WMP.dll" "$files/QelVideoProxy_$kind.dll" || fail "the plug-in differs under $kind"
done
grep -q '^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Strovek L.P.\\QelVorlaProxy\]' "$files/QelVorlaProxy-log.reg" ||
  fail "the .reg file does not write the 32-bit view's key"
for value in LogFile LogFileLevel LogMaxSizeK; do
  grep -q "^\"$value\"=" "$files/QelVorlaProxy-log.reg" || fail "the .reg file does not set $value"
done

cmp "$archive" "$second" || fail "two builds of one commit gave different archives"
echo "dist_test: PASS: $(basename "$archive"), $(wc -c <"$archive") bytes, reproduced"

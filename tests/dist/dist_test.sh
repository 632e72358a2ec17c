#!/usr/bin/env bash
# The release archive: exactly the files the install note describes, in one folder named with the
# version, each unpacked readable (0644) and listed with its checksum in SHA256SUMS, the archive's own
# checksum beside it; a library without debug sections that exports its two entry
# points and imports system DLLs only; for the library and the relay a debug link naming the separate
# debug file with that file's checksum; the relay in a folder of its own with a version resource that says
# what it is, whose, and the library's version, and one on the host simulator; the runtime libraries'
# notices as Debian ships them; a crash recipe whose image base and sum lead the debug file to an exported
# function; the log settings under the key the library reads, for reg.exe's 32-bit view; the commit; the plug-in kit (sdk/, built from by sdk_from_archive_test.sh); and the same
# bytes as an archive packed from a second build in another folder.
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
        for entry in z.infolist():
            names.write("%s %o\n" % (entry.filename, entry.external_attr >> 16))
    z.extractall(sys.argv[2] + "/files")
UNPACK
version=$(sed -n 's/^project(QelVorlaProxy VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
folder=QelVorlaProxy-$version
expected=$(sed "s|^|$folder/|" <<'NAMES'
QelVorlaProxy.dll 100644
QelVorlaProxy.dll.debug 100644
relay/QelVideoProxy_WMP.dll 100644
relay/QelVideoProxy_SS.dll 100644
relay/QelVideoProxy_VFN.dll 100644
relay/QelVideoProxy_Relay.dll.debug 100644
QelVorlaProxy-log.reg 100644
INSTALL.txt 100644
sdk/BUILDING.txt 100644
sdk/include/qel_video_proxy_plugin.h 100644
sdk/example/example_proxy.c 100644
sdk/example/version.rc 100644
sdk/example/try.qel 100644
sdk/qelhost.exe 100644
notices/gcc-runtime-libraries.txt 100644
notices/mingw-w64-runtime-and-winpthreads.txt 100644
VERSION.txt 100644
SHA256SUMS 100644
NAMES
)
[ "$(cat "$work/names")" = "$expected" ] || fail "the archive holds: $(tr '\n' ' ' <"$work/names")"
[ "$(cat "$archive.sha256")" = "$(cd "$(dirname "$archive")" && sha256sum "$(basename "$archive")")" ] ||
  fail "the checksum beside the archive is not the archive's"
files=$work/files/$folder
(cd "$files" && sha256sum --quiet -c SHA256SUMS) || fail "a file differs from its SHA256SUMS line"
[ "$(cut -d' ' -f3 "$files/SHA256SUMS")" = "$(grep -v '/SHA256SUMS ' "$work/names" | cut -d' ' -f1 | sed "s|^$folder/||")" ] ||
  fail "SHA256SUMS does not list every other file"

sections() { i686-w64-mingw32-objdump -h "$1" | awk '$2 ~ /^\./ {print $2}'; }
! sections "$files/QelVorlaProxy.dll" | grep -q '^\.debug' || fail "the library carries debug sections"
sections "$files/QelVorlaProxy.dll.debug" | grep -qx '\.debug_info' || fail "the debug file has no .debug_info"
"$top/scripts/check-exports.sh" "$files/QelVorlaProxy.dll" >/dev/null || fail "the library's exports changed"
"$top/scripts/check-imports.sh" "$files" >/dev/null || fail "a binary imports more than system DLLs"

# .gnu_debuglink: the debug file's name, NUL-padded to 4 bytes, then the CRC-32 of its bytes.
debug_link_names() {  # BINARY DEBUG_FILE
  i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$work/link" "$1" "$work/copy.dll" ||
    fail "$1 has no debug link"
  python3 - "$work/link" "$2" <<'LINK' || fail "the debug link of $1 does not match $2"
import os, struct, sys, zlib
link = open(sys.argv[1], "rb").read()
name = link[:link.index(b"\0")]
crc, = struct.unpack("<I", link[-4:])
ok = name == os.path.basename(sys.argv[2]).encode() and crc == zlib.crc32(open(sys.argv[2], "rb").read())
sys.exit(0 if ok else 1)
LINK
}
debug_link_names "$files/QelVorlaProxy.dll" "$files/QelVorlaProxy.dll.debug"
debug_link_names "$files/relay/QelVideoProxy_WMP.dll" "$files/relay/QelVideoProxy_Relay.dll.debug"
sections "$files/relay/QelVideoProxy_Relay.dll.debug" | grep -qx '\.debug_info' || fail "the relay's debug file is empty"

for kind in SS VFN; do
  cmp -s "$files/relay/QelVideoProxy_WMP.dll" "$files/relay/QelVideoProxy_$kind.dll" ||
    fail "the plug-in differs under $kind"
done
# Every executable's version resource, in UTF-16 texts: what the file's properties show.
version_resource() {  # FILE PRODUCT
  python3 - "$1" "$2" "$version" <<'RESOURCE' || fail "the version resource of $1"
import sys
data = open(sys.argv[1], "rb").read()
wanted = ["Strovek L.P.", sys.argv[2], "FileVersion", sys.argv[3]]
missing = [text for text in wanted if text.encode("utf-16-le") not in data]
stand_in = "stand-in".encode("utf-16-le") in data
print("missing %s%s" % (missing, ", says stand-in" if stand_in else "") if missing or stand_in else "", end="")
sys.exit(1 if missing or stand_in else 0)
RESOURCE
}
version_resource "$files/relay/QelVideoProxy_WMP.dll" "QelVorlaProxy relay"
version_resource "$files/QelVorlaProxy.dll" "QelVorlaProxy streaming proxy control"
version_resource "$files/sdk/qelhost.exe" "QelVorlaProxy host simulator"
cmp -s /usr/share/doc/gcc-mingw-w64-base/copyright "$files/notices/gcc-runtime-libraries.txt" ||
  fail "the GCC runtime's notice is not Debian's"
cmp -s /usr/share/doc/mingw-w64-i686-dev/copyright "$files/notices/mingw-w64-runtime-and-winpthreads.txt" ||
  fail "the mingw-w64 notice is not Debian's"

# The crash recipe: the image base INSTALL.txt gives plus an exported function's offset (its RVA) is an
# address the debug file turns into that function.
base=$(tr -d '\r' <"$files/INSTALL.txt" | awk '$1 == "QelVorlaProxy.dll" && $2 ~ /^0x/ {print $2}')
[ "$base" = "0x$(i686-w64-mingw32-objdump -p "$files/QelVorlaProxy.dll" | awk '$1 == "ImageBase" {print $2}')" ] ||
  fail "INSTALL.txt gives the image base ${base:-(none)}"
rva=$(i686-w64-mingw32-objdump -p "$files/QelVorlaProxy.dll" | sed -n 's/^\s*\[ *0\] +base\[ *[0-9]*\] \([0-9a-f]*\) Export RVA$/\1/p')
function=$(i686-w64-mingw32-addr2line -f -e "$files/QelVorlaProxy.dll.debug" "$(printf '0x%x' $((base + 0x$rva)))" | head -1)
[[ "$function" == ControlFactoryX* ]] || fail "image base + offset 0x$rva gives $function, not ControlFactoryX"
grep -q '^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\Strovek L.P.\\QelVorlaProxy\]' "$files/QelVorlaProxy-log.reg" ||
  fail "the .reg file does not name the key the library reads"
for value in LogFile LogFileLevel LogMaxSizeK; do
  grep -q "^\"$value\"=" "$files/QelVorlaProxy-log.reg" || fail "the .reg file does not set $value"
done

grep -q "^commit $(git -C "$top" rev-parse HEAD)" "$files/VERSION.txt" || fail "VERSION.txt: $(cat "$files/VERSION.txt")"

cmp "$archive" "$second" || fail "two builds of one commit gave different archives"
echo "dist_test: PASS: $(basename "$archive"), $(wc -c <"$archive") bytes, reproduced"

#!/usr/bin/env bash
# Packs the release from a win32 build: OUT_DIR/QelVorlaProxy-<version>-win32.zip with the stripped
# library, its debug information in a separate file that the library names (.gnu_debuglink), the relay
# under the three proxy plug-in file names, the log settings as a .reg file and the install note.
# Reproducible: the entries are in a fixed order with a fixed time and mode, so two builds of one commit
# give the same bytes (the build itself leaves out time stamps and folder names, see cmake/).
#   make-dist.sh BUILD_DIR OUT_DIR     prints the archive's path
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
objcopy=i686-w64-mingw32-objcopy
version=$(sed -n 's/^project(QelVorlaProxy VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
# The commit's time, so an archive says when its sources were made, not when it was packed. objcopy
# writes it into the PE headers it rewrites, and the zip entries carry it.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null || echo 315532800)}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# The debug file first: the link carries its checksum.
"$objcopy" --only-keep-debug "$build/src/control/QelVorlaProxy.dll" "$stage/QelVorlaProxy.dll.debug"
(cd "$stage" && "$objcopy" --strip-all --add-gnu-debuglink=QelVorlaProxy.dll.debug \
  "$build/src/control/QelVorlaProxy.dll" QelVorlaProxy.dll)
for kind in WMP SS VFN; do
  "$objcopy" --strip-all "$build/outside/bin/QelVideoProxy_Relay.dll" "$stage/QelVideoProxy_$kind.dll"
done
# Windows tools expect CR LF line ends in the texts.
sed 's/$/\r/' "$top/packaging/QelVorlaProxy-log.reg" >"$stage/QelVorlaProxy-log.reg"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$top/packaging/INSTALL.txt" >"$stage/INSTALL.txt"

archive=$out/QelVorlaProxy-$version-win32.zip
python3 - "$archive" "$SOURCE_DATE_EPOCH" "$stage" <<'PACK'
import os, sys, time, zipfile
archive, epoch, stage = sys.argv[1], int(sys.argv[2]), sys.argv[3]
names = ["QelVorlaProxy.dll", "QelVorlaProxy.dll.debug", "QelVideoProxy_WMP.dll", "QelVideoProxy_SS.dll",
         "QelVideoProxy_VFN.dll", "QelVorlaProxy-log.reg", "INSTALL.txt"]
stamp = time.gmtime(max(epoch, 315532800))[:6]  # a zip entry cannot be older than 1980
with zipfile.ZipFile(archive + ".part", "w") as z:
    for name in names:
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 0
        entry.external_attr = 0
        with open(os.path.join(stage, name), "rb") as f:
            z.writestr(entry, f.read())
os.replace(archive + ".part", archive)
PACK
echo "$archive"

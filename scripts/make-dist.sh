#!/usr/bin/env bash
# Packs the release from a win32 build: OUT_DIR/QelVorlaProxy-<version>-win32.zip, every file in one
# folder QelVorlaProxy-<version>/, with the stripped library and its debug information in a separate file that the library names (.gnu_debuglink), the relay
# in a folder of its own under the three proxy plug-in file names with its debug file, the log settings as
# a .reg file, the install note, the plug-in kit (sdk/), the notices of the runtime libraries linked in
# statically, VERSION.txt with the commit, and SHA256SUMS over every other file. The archive's own
# SHA-256 goes beside it (ARCHIVE.sha256, for sha256sum -c) and to standard error.
# Reproducible: the entries are in a fixed order with a fixed time and mode (0644), so two builds of one
# commit give the same bytes (the build itself leaves out time stamps and folder names, see cmake/).
# A part of the release is staged with `add PATH`, after its file is in "$stage/PATH".
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
files=()
add() { files+=("$@"); }
# Windows tools expect CR LF line ends in the texts.
crlf() { sed 's/$/\r/' "$1" >"$stage/$2"; }

# A stripped binary beside its debug file, which the binary names with the debug file's checksum.
# The debug file first: the link carries its checksum.
split_debug() {  # BINARY FOLDER DEBUG_NAME NAME...
  local binary=$1 folder=$2 debug=$3
  shift 3
  mkdir -p "$stage/$folder"
  "$objcopy" --only-keep-debug "$binary" "$stage/$folder/$debug"
  for name in "$@"; do
    (cd "$stage/$folder" && "$objcopy" --strip-all --add-gnu-debuglink="$debug" "$binary" "$name")
    add "${folder:+$folder/}$name"
  done
  add "${folder:+$folder/}$debug"
}
image_base() { i686-w64-mingw32-objdump -p "$stage/$1" | awk '$1 == "ImageBase" {print "0x" $2}'; }

split_debug "$build/src/control/QelVorlaProxy.dll" "" QelVorlaProxy.dll.debug QelVorlaProxy.dll
split_debug "$build/outside/bin/QelVideoProxy_Relay.dll" relay QelVideoProxy_Relay.dll.debug \
  QelVideoProxy_WMP.dll QelVideoProxy_SS.dll QelVideoProxy_VFN.dll
crlf "$top/packaging/QelVorlaProxy-log.reg" QelVorlaProxy-log.reg
add QelVorlaProxy-log.reg
# The crash recipe's example: the library's image base plus the offset 0x1a2b3.
base=$(image_base QelVorlaProxy.dll)
sed -e "s/@VERSION@/$version/g" -e "s/@IMAGE_BASE@/$base/g" -e "s/@EXAMPLE_ADDRESS@/$(printf '0x%08x' $((base + 0x1a2b3)))/g" \
  -e "s/@RELAY_IMAGE_BASE@/$(image_base relay/QelVideoProxy_WMP.dll)/" -e 's/$/\r/' \
  "$top/packaging/INSTALL.txt" >"$stage/INSTALL.txt"
add INSTALL.txt

# The plug-in kit: its header, the example's sources, the building note, and the host simulator with a
# session to try a plug-in with.
mkdir -p "$stage/sdk/include" "$stage/sdk/example"
cp "$top/sdk/include/qel_video_proxy_plugin.h" "$stage/sdk/include/"
cp "$top/sdk/example/example_proxy.c" "$top/sdk/example/version.rc" "$top/sdk/example/try.qel" "$stage/sdk/example/"
crlf "$top/sdk/BUILDING.txt" sdk/BUILDING.txt
"$objcopy" --strip-all "$build/host/qelhost.exe" "$stage/sdk/qelhost.exe"
add sdk/BUILDING.txt sdk/include/qel_video_proxy_plugin.h sdk/example/example_proxy.c sdk/example/version.rc \
  sdk/example/try.qel sdk/qelhost.exe

# The licences of the runtime libraries linked into every binary, as Debian ships them: libgcc and
# libstdc++ (GCC, with its runtime library exception), the mingw-w64 runtime and winpthreads.
mkdir -p "$stage/notices"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/notices/gcc-runtime-libraries.txt"
cp /usr/share/doc/mingw-w64-i686-dev/copyright "$stage/notices/mingw-w64-runtime-and-winpthreads.txt"
add notices/gcc-runtime-libraries.txt notices/mingw-w64-runtime-and-winpthreads.txt

# The commit the sources came from, at the time of packing: "with uncommitted changes" when the
# checkout differs from it.
commit=$(git -C "$top" rev-parse HEAD 2>/dev/null || echo "unknown (not a git checkout)")
if [ -n "$(git -C "$top" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  commit="$commit, with uncommitted changes"
fi
printf 'QelVorlaProxy %s for Windows (32-bit)\ncommit %s\ncommitted %s\n' "$version" "$commit" \
  "$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')" >"$stage/VERSION.raw"
crlf "$stage/VERSION.raw" VERSION.txt
rm "$stage/VERSION.raw"
add VERSION.txt

(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)
add SHA256SUMS

archive=$out/QelVorlaProxy-$version-win32.zip
python3 - "$archive" "$SOURCE_DATE_EPOCH" "$stage" "QelVorlaProxy-$version/" "${files[@]}" <<'PACK'
import os, sys, time, zipfile
archive, epoch, stage, folder, names = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5:]
stamp = time.gmtime(max(epoch, 315532800))[:6]  # a zip entry cannot be older than 1980
with zipfile.ZipFile(archive + ".part", "w") as z:
    for name in names:
        entry = zipfile.ZipInfo(folder + name, date_time=stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 3  # Unix, so unzip applies the mode below
        entry.external_attr = 0o100644 << 16
        with open(os.path.join(stage, name), "rb") as f:
            z.writestr(entry, f.read())
os.replace(archive + ".part", archive)
PACK
(cd "$out" && sha256sum "$(basename "$archive")" >"$archive.sha256")
echo "dist: SHA-256 $(cut -d' ' -f1 "$archive.sha256")  $(basename "$archive") (also in $archive.sha256)" >&2
echo "$archive"

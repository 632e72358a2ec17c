#!/usr/bin/env bash
# The plug-in kit as an author meets it: the release archive unpacked into an empty folder, the example
# built there with the mingw-w64 commands of sdk/BUILDING.txt from the archive's files alone, then loaded
# by the archive's library through the archive's host simulator under Wine, with a stream played through it.
#   sdk_from_archive_test.sh BUILD_DIR HOST_DIR   (a win32 build; HOST_DIR gives only QelVorlaLink.dll,
#                                                  the host's media-link library, which the release lacks)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
host_dir=$2
kit=$(mktemp -d)
trap 'rm -rf "$kit"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

archive=$("$top/scripts/make-dist.sh" "$build" "$kit/out")
mkdir "$kit/unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$archive" "$kit/unpacked"
release=$(echo "$kit"/unpacked/QelVorlaProxy-*)  # the archive's one folder
example=$release/sdk/example
[ -f "$example/example_proxy.c" ] || fail "the archive has no example"

# The note's own command lines, run as written in the example's folder.
commands=$(tr -d '\r' <"$release/sdk/BUILDING.txt" | sed -n 's/^  \(i686-w64-mingw32-.*\)$/\1/p')
[ "$(wc -l <<<"$commands")" -eq 2 ] || fail "BUILDING.txt does not give the two mingw-w64 commands: $commands"
(cd "$example" && while read -r command; do eval "$command" || exit 1; done <<<"$commands") ||
  fail "the example does not build from the archive"
[ -f "$example/QelVideoProxy_WMP.dll" ] || fail "the build made no QelVideoProxy_WMP.dll"

mkdir "$kit/host"
cp "$release/QelVorlaProxy.dll" "$release/sdk/qelhost.exe" "$host_dir/QelVorlaLink.dll" "$kit/host/"
bash "$top/tests/sdk/example_plays_test.sh" "$example/QelVideoProxy_WMP.dll" "$kit/host"

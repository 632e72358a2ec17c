#!/usr/bin/env bash
# The plug-in kit as an author meets it: the release archive unpacked into an empty folder, the example
# built there with the mingw-w64 commands of sdk/BUILDING.txt from the archive's files alone, once as C and
# once as C++, each then loaded by the archive's library through the archive's host simulator under Wine
# in a folder as the kit leaves it (no media-link library), with a stream played through it and
# qelhost --strict passing the run.
#   sdk_from_archive_test.sh BUILD_DIR     (a win32 build)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
kit=$(mktemp -d)
trap 'rm -rf "$kit"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

archive=$("$top/scripts/make-dist.sh" "$build" "$kit/out")
mkdir "$kit/unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$archive" "$kit/unpacked"
release=$(echo "$kit"/unpacked/QelVorlaProxy-*)  # the archive's one folder
example=$release/sdk/example
[ -f "$example/example_proxy.c" ] || fail "the archive has no example"
mkdir "$kit/host"
cp "$release/QelVorlaProxy.dll" "$release/sdk/qelhost.exe" "$kit/host/"

# The note's own command lines, run as written in the example's folder: the resource, then each compiler.
commands=$(tr -d '\r' <"$release/sdk/BUILDING.txt" | sed -n 's/^  \(i686-w64-mingw32-.*\)$/\1/p')
run() { (cd "$example" && eval "$1") || fail "the example does not build from the archive with: $1"; }
run "$(grep -- '-windres ' <<<"$commands")"
for compiler in gcc g++; do
  build_line=$(grep -- "-$compiler " <<<"$commands") || fail "BUILDING.txt gives no $compiler command: $commands"
  rm -f "$example/QelVideoProxy_WMP.dll"
  run "$build_line"
  [ -f "$example/QelVideoProxy_WMP.dll" ] || fail "the $compiler build made no QelVideoProxy_WMP.dll"
  echo "the example built with $compiler:"
  bash "$top/tests/sdk/example_plays_test.sh" "$example/QelVideoProxy_WMP.dll" "$kit/host"
done

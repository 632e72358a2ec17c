#!/usr/bin/env bash
# Configures and builds one build tree. Runs that want the same tree (two first demos in one clone, a demo
# beside `make test`) take turns on a lock beside it, so no two builds write one tree's files at once.
# When there is work to do it says what it builds, and how long a first build takes; with --show the
# build's own progress follows, otherwise the build is quiet and only a failure prints its output (the
# compiler's messages), with a non-zero exit status.
#   build-tree.sh [--show] [-B BUILD_DIR] PRESET [TARGET...]
set -euo pipefail
show=0
dir=""
while [ $# -gt 0 ]; do
  case $1 in
    --show) show=1; shift ;;
    -B) dir=$2; shift 2 ;;
    *) break ;;
  esac
done
preset=$1
shift
cd "$(dirname "$0")/.."
dir=${dir:-build/$preset}

case $preset in
  win32) what="the 32-bit library" ;;
  win64) what="the 64-bit Windows build" ;;
  native) what="the native build with AddressSanitizer" ;;
  native-tsan) what="the native build with ThreadSanitizer" ;;
  fuzz) what="the fuzzers" ;;
  bench) what="the benchmarks" ;;
  *) what="preset $preset" ;;
esac
[ $# -eq 0 ] || what="$what ($*)"

mkdir -p "$(dirname "$dir")"
exec {lock}>"$dir.lock"
if ! flock -n "$lock"; then
  echo "build: waiting for another build of $dir to finish" >&2
  flock "$lock"
fi

output=$(mktemp)
trap 'rm -f "$output"' EXIT
failed() {
  echo "build: FAILED: $1; the build's output:" >&2
  # The compiler's messages, without ninja's progress lines.
  grep -Ev '^\[[0-9]+/[0-9]+\] ' "$output" >&2 || true
  exit 1
}

if [ ! -f "$dir/build.ninja" ]; then
  echo "build: building $what in $dir, a few minutes the first time" >&2
  cmake --preset "$preset" -B "$dir" >"$output" 2>&1 || failed "configuring $dir"
elif ninja -C "$dir" -n "$@" 2>/dev/null | grep -q '^ninja: no work to do'; then
  exit 0
else
  echo "build: updating $what in $dir" >&2
fi
if [ "$show" = 1 ]; then
  cmake --build "$dir" -j"${JOBS:-2}" ${1:+--target "$@"} 2>&1 | tee "$output" >&2 || failed "building $dir"
else
  cmake --build "$dir" -j"${JOBS:-2}" ${1:+--target "$@"} >"$output" 2>&1 || failed "building $dir"
fi

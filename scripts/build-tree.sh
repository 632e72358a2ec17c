#!/usr/bin/env bash
# Configures and builds one build tree. Runs that want the same tree (two first demos in one clone, a demo
# beside `make test`) take turns on a lock beside it, so no two builds write one tree's files at once.
# When there is work to do it says what it builds, and how long a first build takes; with --show the
# build's own progress follows, otherwise a line at every tenth of the way; a failure prints the
# compiler's messages and ends with a non-zero exit status.
# With --ready-if FILE, a FILE that exists and is newer than every file of the checkout counts as built:
# the script returns at once rather than wait for another build of the tree (./qelhost while `make test`
# builds the test programs).
#   build-tree.sh [--show] [--ready-if FILE] [-B BUILD_DIR] PRESET [TARGET...]
set -euo pipefail
show=0
ready_if=""
dir=""
while [ $# -gt 0 ]; do
  case $1 in
    --show) show=1; shift ;;
    --ready-if) ready_if=$2; shift 2 ;;
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

# FILE exists and no file of the checkout (build output and git's own files aside) is newer.
built_already() {
  [ -n "$ready_if" ] && [ -f "$ready_if" ] &&
    [ -z "$(find . \( -path ./build -o -path ./dist -o -path ./.git \) -prune -o -type f -newer "$ready_if" -print -quit)" ]
}

mkdir -p "$(dirname "$dir")"
exec {lock}>"$dir.lock"
if ! flock -n "$lock"; then
  built_already && exit 0
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
# Ninja's "[DONE/TOTAL] ..." lines as "build: 30% (45 of 150 steps)", once per tenth.
tenths() {
  awk -F'[][/]' '/^\[[0-9]+\/[0-9]+\]/ && $3 > 0 {
    tenth = int($2 * 10 / $3)
    if (tenth > shown) { shown = tenth; printf "build: %d%% (%d of %d steps)\n", tenth * 10, $2, $3; fflush() }
  }'
}
if [ "$show" = 1 ]; then
  cmake --build "$dir" -j"${JOBS:-2}" ${1:+--target "$@"} 2>&1 | tee "$output" >&2 || failed "building $dir"
else
  cmake --build "$dir" -j"${JOBS:-2}" ${1:+--target "$@"} 2>&1 | tee "$output" | tenths >&2 || failed "building $dir"
fi

#!/usr/bin/env bash
# scripts/build-tree.sh on a small project of its own: two first builds of one tree started at once both
# pass (the build's own step fails if another build of the tree runs it at the same time), each says what
# it builds, a program built already need not wait for another build, and a compile error shows the
# compiler's message and a non-zero status.
#   build_tree_test.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/scripts"
cp "$top/scripts/build-tree.sh" "$work/scripts/"
cat >"$work/CMakePresets.json" <<'JSON'
{"version": 3, "configurePresets": [{"name": "native", "generator": "Ninja", "binaryDir": "${sourceDir}/build/native"}]}
JSON
cat >"$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(fixture C)
add_executable(fixture fixture.c)
# Fails when another build of this tree is inside it at the same moment.
add_custom_target(alone ALL COMMAND mkdir inside COMMAND sleep 1 COMMAND rmdir inside)
CMAKE
echo 'int main(void) { return 0; }' >"$work/fixture.c"

"$work/scripts/build-tree.sh" native >"$work/first.txt" 2>&1 &
first=$!
"$work/scripts/build-tree.sh" native >"$work/second.txt" 2>&1 &
second=$!
wait "$first" || fail "the first build failed: $(cat "$work/first.txt")"
wait "$second" || fail "the second build failed: $(cat "$work/second.txt")"
for run in first second; do
  grep -Eq '^build: (building|updating) the native build with AddressSanitizer in build/native' "$work/$run.txt" ||
    fail "the $run build did not say what it builds: $(cat "$work/$run.txt")"
done
grep -q '^build: waiting for another build of build/native' "$work/first.txt" "$work/second.txt" ||
  fail "neither build waited for the other"

# --ready-if: while another build holds the tree, a program newer than every file of the checkout runs
# at once, and one older than a source waits its turn. A build holds the lock for the second of "alone".
ready_if() {  # WHAT_TO_TOUCH_LAST: prints whether --ready-if waited
  "$work/scripts/build-tree.sh" native >/dev/null 2>&1 &
  local holder=$!
  for _ in $(seq 100); do [ -d "$work/build/native/inside" ] && break; sleep 0.05; done
  touch "$1"
  "$work/scripts/build-tree.sh" --ready-if "$work/build/native/fixture" native fixture 2>&1 | grep -c waiting || true
  wait "$holder"
}
[ "$(ready_if "$work/build/native/fixture")" = 0 ] || fail "a program built already waited for another build"
[ "$(ready_if "$work/fixture.c")" = 1 ] || fail "a program older than its source did not wait for the build"

echo 'int main(void) { return missing_name; }' >"$work/fixture.c"
status=0
"$work/scripts/build-tree.sh" native fixture >"$work/broken.txt" 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "a compile error passed"
grep -q "missing_name" "$work/broken.txt" || fail "no compiler message: $(cat "$work/broken.txt")"
grep -q '^build: FAILED: building build/native' "$work/broken.txt" || fail "no failure line: $(cat "$work/broken.txt")"
echo "PASS"

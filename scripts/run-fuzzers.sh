#!/usr/bin/env bash
# Runs every libFuzzer harness of the fuzz build for SECONDS each, starting from the seeds its
# companion program writes. A crash, leak or sanitizer report fails the run. FUZZERS, when set, names the
# harnesses to run (`FUZZERS=http_request_head make fuzz FUZZ_SECONDS=600`).
#   run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build_dir=$1
seconds=$2
found=0
for fuzzer in "$build_dir"/fuzz/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  [ -z "${FUZZERS:-}" ] || [[ " $FUZZERS " == *" $name "* ]] || continue
  found=1
  corpus="$build_dir/corpus/$name"
  mkdir -p "$corpus"
  "$build_dir/fuzz/${name}_seeds" "$corpus"
  echo "fuzz: $name for ${seconds}s from $(ls "$corpus" | wc -l) seeds"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 -artifact_prefix="$build_dir/$name-" "$corpus" 2>"$build_dir/$name.fuzz.log" ||
    { tail -50 "$build_dir/$name.fuzz.log"; echo "fuzz: $name FAILED"; exit 1; }
  grep -E '^stat::number_of_executed_units' "$build_dir/$name.fuzz.log" || true
done
[ $found -eq 1 ] || echo "fuzz: no harness built"

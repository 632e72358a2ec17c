#!/usr/bin/env bash
# Runs every libFuzzer harness of the fuzz build for SECONDS each, starting from the seeds its
# companion program writes, JOBS of them at a time (each harness uses one core). A crash, leak or sanitizer
# report fails the run. FUZZERS, when set, names the harnesses to run
# (`FUZZERS=http_request_head make fuzz FUZZ_SECONDS=600`).
#   run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build_dir=$1
seconds=$2
jobs=${JOBS:-2}

# One harness: its report goes to its log; on failure the log's end is shown.
fuzz_one() {
  local name=$1 corpus="$build_dir/corpus/$1"
  mkdir -p "$corpus"
  "$build_dir/fuzz/${name}_seeds" "$corpus"
  echo "fuzz: $name for ${seconds}s from $(ls "$corpus" | wc -l) seeds"
  if ! "$build_dir/fuzz/${name}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
       -artifact_prefix="$build_dir/$name-" "$corpus" 2>"$build_dir/$name.fuzz.log"; then
    tail -50 "$build_dir/$name.fuzz.log"
    echo "fuzz: $name FAILED"
    return 1
  fi
  echo "fuzz: $name: $(grep -E '^stat::number_of_executed_units' "$build_dir/$name.fuzz.log" || true)"
}

names=()
for fuzzer in "$build_dir"/fuzz/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  [ -z "${FUZZERS:-}" ] || [[ " $FUZZERS " == *" $name "* ]] || continue
  names+=("$name")
done
[ ${#names[@]} -gt 0 ] || { echo "fuzz: no harness built"; exit 0; }

failed=0
running=0
for name in "${names[@]}"; do
  if [ $running -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  fuzz_one "$name" &
  running=$((running + 1))
done
while [ $running -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed

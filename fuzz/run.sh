#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ and runs each for a bounded
# time, starting from its seed corpus in fuzz/corpus/<target>/ (never
# written to: new inputs go to the build folder).
# Usage: fuzz/run.sh [seconds per target, default 60] [build folder, default build/fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${2:-build/fuzz}"
targets=(command_line profile_reader uninstall_string inf_path keyword_search log_format)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_TARGET=host \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZQ_FUZZ=ON >/dev/null
cmake --build "$build" --target zq_fuzzers

passed=0
failed=0
mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  fuzzer="$build/fuzz/${target}_fuzzer"
  work="$build/corpus/$target"
  mkdir -p "$work"
  log="$build/artifacts/$target.log"
  echo "--- fuzzing $target for ${seconds}s"
  if UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$fuzzer" -max_total_time="$seconds" -timeout=20 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E '^#[0-9]+.*DONE|stat::number_of_executed_units' "$log" | tail -2 || true
    passed=$((passed + 1))
  else
    tail -n 60 "$log"
    echo "FAILED: $target (the input is in $build/artifacts/)"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
((failed == 0))

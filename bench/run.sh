#!/usr/bin/env bash
# Builds a benchmark (Release) and runs it: `bench/run.sh [ARGS]` the
# driver-detection benchmark (zq_bench: --rounds N, --dir PARENT, --keep);
# `bench/run.sh large [ARGS]` the large-input one (zq_bench_large: --rounds N,
# --dir PARENT, --keys N, --sections N, --run-keys N, --names N).
set -euo pipefail
cd "$(dirname "$0")/.."
target=zq_bench
if [ "${1:-}" = large ]; then
    target=zq_bench_large
    shift
fi
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZQ_TARGET=host -DZQ_BENCH=ON >/dev/null
cmake --build build/bench --target "$target"
build/bench/bench/"$target" "$@"

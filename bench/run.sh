#!/usr/bin/env bash
# Builds the driver-detection benchmark (Release) and runs it; the
# arguments go to zq_bench (--rounds N, --dir PARENT, --keep).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZQ_TARGET=host -DZQ_BENCH=ON >/dev/null
cmake --build build/bench --target zq_bench
build/bench/bench/zq_bench "$@"

#!/usr/bin/env bash
# Runs clang-tidy (the checks of .clang-tidy) over the sources of the host
# build that are not tests: the core, the simulated machine and the authors'
# tools. Usage: scripts/tidy.sh [BUILD_DIR]   (default build/host, configured)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/host}
# The compile commands carry GCC's warning options; clang need not know them all.
run-clang-tidy -quiet -p "$build" -j "$(nproc)" -extra-arg=-Wno-unknown-warning-option \
  "^$PWD/(app|authoring|base|checks|launch|log|platform|plugin|settings|ui)/" >"$build/tidy.log" 2>&1 || {
  grep -E "warning:|error:" "$build/tidy.log" | sort -u
  echo "tidy: findings above (whole output in $build/tidy.log)"
  exit 1
}
echo "tidy: clean"

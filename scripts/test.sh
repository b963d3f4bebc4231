#!/usr/bin/env bash
# Builds the three presets and runs every test: the host tests on the
# simulated machine, the checks of the 32-bit product exe, and the Win32
# tests of the 64-bit build under Wine. Then the host tests again under the
# address/undefined-behaviour and thread sanitizers, and each fuzz target
# for ZQ_FUZZ_SECONDS (default 60) from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
for preset in host win32 win64; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
for preset in host-asan host-tsan; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
echo "=== fuzz ==="
fuzz/run.sh "${ZQ_FUZZ_SECONDS:-60}" build/fuzz

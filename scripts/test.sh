#!/usr/bin/env bash
# Builds the three presets and runs every test: the host tests on the
# simulated machine, the checks of the 32-bit product exe, and the Win32
# tests of the 64-bit build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
for preset in host win32 win64; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

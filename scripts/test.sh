#!/usr/bin/env bash
# Checks the format of every source, then builds and runs every test: the
# host tests on the simulated machine (and clang-tidy over that build); the
# checks of the 32-bit product exe and, under 32-bit Wine, its Win32-layer
# and end-to-end tests in 64-bit (WOW64) and 32-bit prefixes. Then the host
# tests again under the address/undefined-behaviour and thread sanitizers,
# and each fuzz target for ZQ_FUZZ_SECONDS (default 60) from its seed corpus.
# It ends with the share of the C++ lines that are tests.
#
# On a machine that cannot run i386 programs (or with ZQ_WINE_STAND_IN=1)
# it says so in one line, runs the exe's checks that need no Wine, and runs
# the tests under Wine with the 64-bit build instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
scripts/check-format.sh

build_and_test() {  # preset [ctest option...]
  local preset=$1
  shift
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" "$@"
}

build_and_test host
scripts/tidy.sh build/host
if [[ ${ZQ_WINE_STAND_IN:-0} == 1 ]]; then
  why="ZQ_WINE_STAND_IN=1 asks for the 64-bit stand-in"
elif why=$(scripts/can-run-i386.sh); then
  why=
fi
if [[ -z $why ]]; then
  build_and_test win32
else
  echo "32-bit tests under Wine skipped: $why; the 64-bit build runs them instead"
  build_and_test win32 -LE wine
  build_and_test win64
fi
for preset in host-asan host-tsan; do
  build_and_test "$preset"
done
echo "=== fuzz ==="
fuzz/run.sh "${ZQ_FUZZ_SECONDS:-60}" build/fuzz
scripts/test-share.sh

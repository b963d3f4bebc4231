#!/usr/bin/env bash
# The launcher's main job on Linux: the example package on the simulated
# default machine (32-bit Windows 5.1, service pack 3, driver installed).
# Prints the log file and the journal of the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh host
cmake --preset host >/dev/null
cmake --build --preset host --target zqmerlesetup-sim
build/host/zqmerlesetup-sim "$@"

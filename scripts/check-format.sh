#!/usr/bin/env bash
# Checks every C++ source against .clang-format; prints what differs.
# With --fix, formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(--dry-run --Werror)
[[ ${1:-} == --fix ]] && mode=(-i)
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format "${mode[@]}"
echo "format: clean"

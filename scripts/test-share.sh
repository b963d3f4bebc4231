#!/usr/bin/env bash
# Prints how much of the C++ is test code: the physical lines of the tests'
# and fuzz targets' .cpp and .h files against those of every .cpp and .h in
# the repository. The house keeps it at no more than about a third.
set -euo pipefail
cd "$(dirname "$0")/.."
count_lines() { git ls-files -z -- "$@" | xargs -0 cat | wc -l; }
tests=$(count_lines 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
all=$(count_lines '*.cpp' '*.h')
echo "test share: $(((200 * tests / all + 1) / 2)) % (tests and fuzz targets / all C++: $tests of $all lines)"

#!/bin/sh
# run.sh [--display STATE_DIR] PREFIX PROGRAM [ARGUMENT...]
#
# Runs a Windows program in the given Wine prefix and exits with its exit
# status: a 32-bit program with Wine's 32-bit loader (under WOW64 in a
# 64-bit prefix), a 64-bit one with the 64-bit loader. With --display, on
# the virtual display of xvfb.sh; without, headless. As the test programs'
# cross-compiling emulator it is called without PREFIX and --display: ctest
# gives each test its prefix and display state directory in ZQ_WINE_PREFIX
# and ZQ_WINE_DISPLAY instead.
. "$(dirname "$0")/wine-env.sh"
state=${ZQ_WINE_DISPLAY:-}
if [ "${1:-}" = --display ]; then
  state=$2
  shift 2
fi
if [ -n "${ZQ_WINE_PREFIX:-}" ]; then
  prefix=$ZQ_WINE_PREFIX
else
  prefix=$1
  shift
fi
zq_wine_env "$prefix" "$state" || exit 1
exec "$(zq_wine_loader "$1")" "$@"

#!/bin/sh
# run-in-wine.sh PREFIX PROGRAM [ARGUMENT...]
#
# Runs a Windows program of the 64-bit build in the given Wine prefix and
# exits with its exit status. Used as the test programs' cross-compiling
# emulator. Headless and quiet: no display (a window that waited for a
# click would hang the run), no Mono or Gecko installer prompt, no Wine
# debug output. The kernel here runs no 32-bit code, so the 64-bit loader
# is called directly rather than through the "wine" script.
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
exec /usr/lib/wine/wine64 "$@"

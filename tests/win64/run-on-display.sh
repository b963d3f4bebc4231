#!/bin/sh
# run-on-display.sh PREFIX STATE_DIR PROGRAM [ARGUMENT...]
#
# run-in-wine.sh's twin for programs that show windows: the same quiet
# Wine in the given prefix, on the virtual display that xvfb.sh started
# (its number is in STATE_DIR/display), with a US English user so the
# packages' LangMap entry 0x0409 applies.
prefix=$1
state=$2
shift 2
if [ ! -f "$state/display" ]; then
  echo "run-on-display.sh: no display in $state (xvfb.sh start first)" >&2
  exit 1
fi
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=":$(cat "$state/display")"
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
unset WAYLAND_DISPLAY
exec /usr/lib/wine/wine64 "$@"

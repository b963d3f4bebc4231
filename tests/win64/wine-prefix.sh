#!/bin/sh
# wine-prefix.sh setup|cleanup PREFIX
#
# setup:   a fresh prefix for this test run, with a wineserver that stays up
#          until cleanup, so each test's program starts without booting one.
# cleanup: ends every process of the prefix and its wineserver. The prefix
#          stays on disk for a look at what the tests left there.
#
# The server and the processes wineboot starts must not hold ctest's output
# pipes open, or ctest would wait for them: their output goes to a file.
set -eu
action=$1
prefix=$2
case "$prefix" in
  */wineprefix) ;;
  *) echo "wine-prefix.sh: refusing to work on '$prefix' (must end in /wineprefix)" >&2; exit 2 ;;
esac
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
server=/usr/lib/wine/wineserver

case "$action" in
  setup)
    if [ -d "$prefix" ]; then
      "$server" -k >/dev/null 2>&1 || true   # a server left from an earlier run
      rm -rf "$prefix"
    fi
    mkdir -p "$prefix"
    "$server" -p </dev/null >"$prefix.boot.log" 2>&1
    # A plain wineboot sets a new prefix up once; "-i" in an empty prefix
    # sets it up twice and leaves two service managers running, which then
    # refuse to start any service.
    /usr/lib/wine/wine64 wineboot </dev/null >>"$prefix.boot.log" 2>&1
    # wineboot returns before the new registry is flushed to disk; the
    # running server has it, which is all the tests read.
    echo "wine prefix ready: $prefix"
    ;;
  cleanup)
    "$server" -k >/dev/null 2>&1 || true
    echo "wine prefix closed: $prefix"
    ;;
  *)
    echo "usage: wine-prefix.sh setup|cleanup PREFIX" >&2
    exit 2
    ;;
esac

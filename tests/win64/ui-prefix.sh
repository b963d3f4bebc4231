#!/bin/sh
# ui-prefix.sh setup|cleanup PREFIX STATE_DIR [WINDOWS_VERSION]
#
# A prefix for the tests that show windows, apart from the shared one:
# Wine's desktop takes its display driver when the prefix boots, so a
# prefix booted without a display shows no dialog later. This one boots on
# the virtual display of xvfb.sh (STATE_DIR/display) and, given a version
# (winxp64, win7, ...), reports that Windows version. cleanup ends every
# process of the prefix; the prefix stays for a look at what the tests
# left there.
set -eu
action=$1
prefix=$2
state=$3
version=${4:-}
case "$prefix" in
  */wineprefix) ;;
  *) echo "ui-prefix.sh: refusing to work on '$prefix' (must end in /wineprefix)" >&2; exit 2 ;;
esac
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
unset WAYLAND_DISPLAY
server=/usr/lib/wine/wineserver

case "$action" in
  setup)
    if [ ! -f "$state/display" ]; then
      echo "ui-prefix.sh: no display in $state (xvfb.sh start first)" >&2
      exit 1
    fi
    export DISPLAY=":$(cat "$state/display")"
    if [ -d "$prefix" ]; then
      "$server" -k >/dev/null 2>&1 || true
      rm -rf "$prefix"
    fi
    mkdir -p "$prefix"
    "$server" -p </dev/null >"$prefix.boot.log" 2>&1
    # A plain wineboot sets a new prefix up once; "-i" in an empty prefix
    # sets it up twice and leaves two service managers running, which then
    # refuse to start any service.
    /usr/lib/wine/wine64 wineboot </dev/null >>"$prefix.boot.log" 2>&1
    if [ -n "$version" ]; then
      /usr/lib/wine/wine64 winecfg -v "$version" </dev/null >>"$prefix.boot.log" 2>&1
    fi
    echo "wine prefix ready: $prefix ${version:-(default version)} on $DISPLAY"
    ;;
  cleanup)
    "$server" -k >/dev/null 2>&1 || true
    echo "wine prefix closed: $prefix"
    ;;
  *)
    echo "usage: ui-prefix.sh setup|cleanup PREFIX STATE_DIR [WINDOWS_VERSION]" >&2
    exit 2
    ;;
esac

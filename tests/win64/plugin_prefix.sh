#!/bin/sh
# plugin_prefix.sh setup|cleanup PREFIX [WINDOWS_VERSION]
#
# A prefix of the plug-in tests' own, fresh for each run, with a wineserver
# that stays up until cleanup: .../wineprefix-plugin for the service tests
# (Wine's default Windows version), .../wineprefix-xp reporting Windows 5.2
# for the end-to-end tests (WINDOWS_VERSION winxp64).
#
# The prefix is initialised by the first program run in it, once: winecfg
# with the version, or a plain wineboot. An explicit "wineboot -i" in an
# empty prefix would initialise it a second time, with a second services.exe;
# the prefix's drivers are then re-started for half a minute, and starting a
# service of one's own fails for good (1053, 1055 while the drivers start).
#
# The server and the processes started with it must not hold ctest's output
# pipes open, or ctest would wait for them: their output goes to a file.
set -eu
action=$1
prefix=$2
version=${3:-}
case "$prefix" in
  */wineprefix-plugin|*/wineprefix-xp) ;;
  *) echo "plugin_prefix.sh: refusing to work on '$prefix' (must end in /wineprefix-plugin or /wineprefix-xp)" >&2
     exit 2 ;;
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
    if [ -n "$version" ]; then
      /usr/lib/wine/wine64 winecfg -v "$version" </dev/null >>"$prefix.boot.log" 2>&1
    else
      /usr/lib/wine/wine64 wineboot </dev/null >>"$prefix.boot.log" 2>&1
    fi
    echo "wine prefix ready${version:+ ($version)}: $prefix"
    ;;
  cleanup)
    "$server" -k >/dev/null 2>&1 || true
    echo "wine prefix closed: $prefix"
    ;;
  *)
    echo "usage: plugin_prefix.sh setup|cleanup PREFIX [WINDOWS_VERSION]" >&2
    exit 2
    ;;
esac

#!/bin/sh
# prefix.sh setup|cleanup PREFIX [--arch win64|win32] [--version VERSION]
#                                [--display STATE_DIR] [--language LANG]
#                                [--desktop WIDTHxHEIGHT]
#
# setup:   a fresh prefix (anything left from an earlier run is removed)
#          with a wineserver that stays up until cleanup, so each test's
#          program starts without booting one. --arch win32 makes a 32-bit
#          Windows (WINEARCH=win32), the default a 64-bit one that runs
#          32-bit programs under WOW64; --version makes it report that
#          Windows (winxp, winxp64, win7, ...); --display boots it on the
#          virtual display of xvfb.sh, which it keeps: Wine's desktop takes
#          its display driver when the prefix boots, so a prefix booted
#          headless shows no window later; --language (a host locale such
#          as en_US.UTF-8) makes the prefix's user locale that language: it
#          is kept in the prefix (zq-language), and wine-env.sh sets LANG
#          and LC_ALL to it for the boot and for every later run there;
#          --desktop gives the prefix a Wine desktop of that size, which
#          draws the windows' frames and captions itself (a bare display
#          has no window manager to do it).
# cleanup: ends every process of the prefix and its wineserver. The prefix
#          stays on disk for a look at what the tests left there.
#
# The prefix is initialised by the first program run in it, once: winecfg
# with the version, or a plain wineboot. An explicit "wineboot -i" in an
# empty prefix would initialise it a second time, with a second services.exe
# that then refuses to start any service of one's own (1053, 1055).
#
# The server and the processes started with it must not hold ctest's output
# pipes open, or ctest would wait for them: their output goes to a file.
set -eu
. "$(dirname "$0")/wine-env.sh"
action=${1:-}
prefix=${2:-}
usage="usage: prefix.sh setup|cleanup PREFIX [--arch win64|win32] [--version V] [--display STATE_DIR] [--language LANG] [--desktop WxH]"
shift 2 || { echo "$usage" >&2; exit 2; }
arch=win64 version= state= language= desktop=
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --display) state=$2; shift 2 ;;
    --language) language=$2; shift 2 ;;
    --desktop) desktop=$2; shift 2 ;;
    *) echo "prefix.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
case "$prefix" in
  */wineprefix|*/wineprefix-*) ;;
  *) echo "prefix.sh: refusing to work on '$prefix' (its name must start with wineprefix)" >&2; exit 2 ;;
esac
case "$arch" in
  win64) loader=/usr/lib/wine/wine64 ;;
  win32) loader=/usr/lib/wine/wine; export WINEARCH=win32 ;;
  *) echo "prefix.sh: unknown arch $arch" >&2; exit 2 ;;
esac
server=$(zq_wineserver)

case "$action" in
  setup)
    if [ -d "$prefix" ]; then
      zq_wine_env "$prefix" "$state"
      "$server" -k >/dev/null 2>&1 || true   # a server left from an earlier run
      rm -rf "$prefix"
    fi
    mkdir -p "$prefix"
    [ -z "$language" ] || echo "$language" >"$prefix/zq-language"
    zq_wine_env "$prefix" "$state"
    "$server" -p </dev/null >"$prefix.boot.log" 2>&1
    if [ -n "$version" ]; then
      "$loader" winecfg -v "$version" </dev/null >>"$prefix.boot.log" 2>&1
    else
      "$loader" wineboot </dev/null >>"$prefix.boot.log" 2>&1
    fi
    if [ -n "$desktop" ]; then
      "$loader" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >>"$prefix.boot.log" 2>&1
      "$loader" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop" /f >>"$prefix.boot.log" 2>&1
      # The running desktop was made before the setting: a new server, and
      # the next program that starts makes the new one.
      "$server" -k >/dev/null 2>&1 || true
      "$server" -w
      "$server" -p </dev/null >>"$prefix.boot.log" 2>&1
    fi
    echo "wine prefix ready: $prefix ($arch${version:+, $version}${language:+, $language}${state:+, on $DISPLAY})"
    ;;
  cleanup)
    zq_wine_env "$prefix" "$state"
    "$server" -k >/dev/null 2>&1 || true
    echo "wine prefix closed: $prefix"
    ;;
  *)
    echo "$usage" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Takes the pictures in docs/screenshots/ with the real 32-bit product,
# zqmerlesetup.exe, under Wine as most users run it: a WOW64 process on a
# 64-bit Windows 7, on a virtual X display, in a throwaway prefix that is
# deleted afterwards:
#
#   message-box.png    message 8 (no matching driver installed)
#   copy-dialog.png    the copy dialog while a "zqstage" program runs
#   finish-screen.png  the finish screen
#
#   scripts/screenshots.sh [BUILD_DIR]    (default: build/win32, built)
#
# The finish screen is always left with its box ticked, so its Finish
# button never asks for a restart, not even of the throwaway prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath "${1:-build/win32}")
exe=$build/zqmerlesetup.exe
stage=$build/tests/wine/zqstage.exe
driver=$build/tests/wine/zq_ui_driver.exe
for program in "$exe" "$stage" "$driver"; do
  [ -f "$program" ] || { echo "screenshots.sh: $program is missing; build the win32 preset first" >&2; exit 1; }
done
if [[ $(basename "$build") == win32 ]] && ! why=$(scripts/can-run-i386.sh); then
  echo "screenshots.sh: $why" >&2
  exit 1
fi
. tests/wine/scripts/wine-env.sh
out=$root/docs/screenshots
mkdir -p "$out"

# The tests' own prefix set-up: a 64-bit Windows 7 with a US English user,
# booted on the virtual display, with a Wine desktop large enough for the
# finish screen as this machine's fonts draw it.
work=$(mktemp -d /tmp/zq-screenshots.XXXXXX)
prefix=$work/wineprefix
state=$work/xvfb
finish() {
  tests/wine/scripts/prefix.sh cleanup "$prefix" --display "$state" >/dev/null 2>&1 || true
  tests/wine/scripts/xvfb.sh stop "$state" >/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

tests/wine/scripts/xvfb.sh start "$state"
tests/wine/scripts/prefix.sh setup "$prefix" --arch win64 --version win7 --display "$state" \
  --language en_US.UTF-8 --desktop 1000x740
zq_wine_env "$prefix" "$state"   # the display, for xwd
run() { tests/wine/scripts/run.sh --display "$state" "$prefix" "$@"; }

# The package: the example package's texts, a "zqstage" program that runs
# until released, and the driver set-up file that the driver check finds.
package=$prefix/drive_c/zqshots
mkdir -p "$package"
stage_windows="Z:${stage//\//\\}"
write_package() {  # keyword
  {
    printf '[Version]\r\nLog=127\r\n\r\n[OS_Support]\r\nos_list=601_64\r\n'
    printf 'ServicePack_MajorVersion=0\r\nServicePack_MinorVersion=0\r\n\r\n'
    printf '[CPE.MagicKeywords]\r\n1=%s\r\n\r\n' "$1"
    printf '[Run.x64]\r\n1="%s" wait zq-screenshots-release\r\n\r\n' "$stage_windows"
    printf '[LangMap]\r\n0x0409=English\r\n\r\n'
    sed -n '/^\[English\]/,/^8=/p' examples/package/autorun.inf | sed 's/$/\r/'
  } >"$package/autorun.inf"
}
python3 - "$prefix/drive_c/windows/inf/oem99.inf" <<'PY'
import sys
text = '[Version]\r\nSignature="$Windows NT$"\r\nClass=Printer\r\n\r\n[Strings]\r\nDriverName="ZQ Merle 5400"\r\n'
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PY

drive() { run "$driver" "$@" | tr -d '\r'; }
shoot() {  # name "left top width height"
  read -r left top width height <<<"$2"
  sleep 1  # the window's first paint
  xwd -root -silent | convert xwd:- -crop "${width}x${height}+${left}+${top}" +repage "$out/$1"
  echo "docs/screenshots/$1 (${width}x${height})"
}

# 1. The message box: no installed driver has the package's keyword.
write_package "ZQ Merle 9999"
run "$exe" -f 'C:\zqshots\autorun.inf' &
launcher=$!
shoot message-box.png "$(drive wait message)"
drive ok
wait "$launcher"

# 2 and 3. The copy dialog while the program runs, then the finish screen.
write_package "ZQ Merle 5400"
run "$exe" -f 'C:\zqshots\autorun.inf' &
launcher=$!
shoot copy-dialog.png "$(drive wait copy 12)"
drive release zq-screenshots-release
shoot finish-screen.png "$(drive wait finish)"
drive finish
wait "$launcher"

# Sourced by the Wine scripts (prefix.sh, run.sh, scripts/screenshots.sh):
# the one Wine environment of the tests and the screenshots.
#
#   zq_wine_env PREFIX [DISPLAY_STATE_DIR]
#       quiet Wine in PREFIX: no debug output, no Mono or Gecko installer
#       prompt; in the language prefix.sh --language kept in the prefix
#       (LANG and LC_ALL), if any; with a state directory of xvfb.sh, on
#       its virtual display, without one headless (a window that waited
#       for a click would hang the run).
#   zq_wine_loader PROGRAM
#       prints the Wine loader for a Windows program: Wine's 32-bit loader
#       for an i386 exe (it runs in a 32-bit prefix, and under WOW64 in a
#       64-bit one), the 64-bit loader for an x86-64 exe and for Wine's own
#       programs given by name.
#   zq_wineserver
#       prints the wineserver (the same for both kinds of prefix).

zq_wine_env() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset WAYLAND_DISPLAY
  if [ -f "$1/zq-language" ]; then
    LANG=$(cat "$1/zq-language")
    export LANG LC_ALL="$LANG"
  fi
  if [ -n "${2:-}" ]; then
    if [ ! -f "$2/display" ]; then
      echo "wine-env.sh: no display in $2 (xvfb.sh start first)" >&2
      return 1
    fi
    export DISPLAY=":$(cat "$2/display")"
  else
    unset DISPLAY
  fi
}

# The machine field of a PE file's header: 014c i386, 8664 x86-64; nothing
# for a file that is not there (a program of Wine's own, given by name).
zq_pe_machine() {
  [ -f "$1" ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 0
  od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

zq_wine_loader() {
  if [ "$(zq_pe_machine "$1")" = 014c ]; then
    echo /usr/lib/wine/wine
  else
    echo /usr/lib/wine/wine64
  fi
}

zq_wineserver() {
  echo /usr/lib/wine/wineserver
}

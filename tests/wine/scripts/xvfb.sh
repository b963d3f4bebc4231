#!/bin/sh
# xvfb.sh start|stop STATE_DIR
#
# A virtual X display for the dialog tests. start picks a display number
# that no server uses, starts Xvfb on it and leaves the number in
# STATE_DIR/display and the server's pid in STATE_DIR/xvfb.pid; stop ends
# that server by its pid, and nothing else.
set -eu
action=$1
state=$2
mkdir -p "$state"

is_our_server() {  # pid
  [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' <"/proc/$1/cmdline" | grep -q '^Xvfb '
}

case "$action" in
  start)
    number=90
    while [ "$number" -lt 190 ]; do
      if [ ! -e "/tmp/.X$number-lock" ] && [ ! -e "/tmp/.X11-unix/X$number" ]; then
        setsid Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 &
        pid=$!
        tries=0
        # Up when its socket exists; gone again when another run took the
        # number first.
        while [ "$tries" -lt 100 ] && kill -0 "$pid" 2>/dev/null && [ ! -e "/tmp/.X11-unix/X$number" ]; do
          sleep 0.1
          tries=$((tries + 1))
        done
        if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$number" ]; then
          echo "$number" >"$state/display"
          echo "$pid" >"$state/xvfb.pid"
          echo "Xvfb :$number (pid $pid)"
          exit 0
        fi
        kill "$pid" 2>/dev/null || true
      fi
      number=$((number + 1))
    done
    echo "xvfb.sh: no free display number" >&2
    exit 1
    ;;
  stop)
    if [ -f "$state/xvfb.pid" ]; then
      pid=$(cat "$state/xvfb.pid")
      if is_our_server "$pid"; then
        kill "$pid"
      fi
      rm -f "$state/xvfb.pid" "$state/display"
    fi
    echo "Xvfb stopped"
    ;;
  *)
    echo "usage: xvfb.sh start|stop STATE_DIR" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Runs a command under its own display and its own private D-Bus session bus, then tears both
# down. Used by the tests and by the run script on a machine without a display. The display is
# Xvfb (X11), or with QUARN_TEST_DISPLAY=wayland a headless weston (Wayland, pixman renderer,
# no seat: nothing can type or click there). Both have one 1280x800 monitor, a common laptop
# screen smaller than the window's first size.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 [--own-network] COMMAND [ARG...]" >&2
  exit 2
fi

# Listing a test binary's tests (ctest's discovery, at build time) needs no display.
case " $* " in *" --gtest_list_tests "*)
  [ "$1" = --own-network ] && shift
  exec "$@" ;;
esac

# --own-network: a loopback of its own in a new network namespace, so that fixed ports clash
# with nothing else on this computer; the shared network only where no namespace can be made.
# It gets a folder of X sockets of its own too, or X servers in two such namespaces would both
# take display :0 and its socket file.
if [ "${1:-}" = --own-network ]; then
  shift
  if command -v ip >/dev/null && unshare -rnm true 2>/dev/null; then
    mkdir -p -m 1777 /tmp/.X11-unix
    exec unshare -rnm sh -c 'mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix &&
      ip link set lo up && exec "$0" "$@"' "$0" "$@"
  fi
  echo "note: no network namespace of its own; the ports must be free on 127.0.0.1-3" >&2
fi

tmp=$(mktemp -d /tmp/quarn-display.XXXXXX)
display_pid=""
bus_pid=""
cleanup() {
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Waits (up to 20 s) until `test FLAG PATH` holds; gives up at once if the display server died.
await_display() {
  local name=$1 log=$2 flag=$3 path=$4
  for _ in $(seq 1 400); do
    [ "$flag" "$path" ] && return 0
    kill -0 "$display_pid" 2>/dev/null || { cat "$log" >&2; exit 1; }
    sleep 0.05
  done
  echo "$name did not start" >&2
  exit 1
}

start_xvfb() {
  # Xvfb picks a free display number itself and writes it to the fd we give it.
  exec 3>"$tmp/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
  display_pid=$!
  exec 3>&-
  await_display Xvfb "$tmp/xvfb.log" -s "$tmp/display"
  display=$(head -n1 "$tmp/display")
  # The web engine's sandboxed processes reach the display through its socket file.
  for _ in $(seq 1 200); do
    [ -S "/tmp/.X11-unix/X$display" ] && break
    sleep 0.05
  done
  export DISPLAY=":$display"
  unset WAYLAND_DISPLAY
  export GDK_BACKEND=x11
}

start_weston() {
  # The compositor's socket in a runtime folder of this run's own.
  export XDG_RUNTIME_DIR="$tmp/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  weston --backend=headless-backend.so --use-pixman --width=1280 --height=800 --idle-time=0 \
    --no-config --socket=wayland-quarn >"$tmp/weston.log" 2>&1 &
  display_pid=$!
  await_display weston "$tmp/weston.log" -S "$XDG_RUNTIME_DIR/wayland-quarn"
  export WAYLAND_DISPLAY=wayland-quarn
  unset DISPLAY
  export GDK_BACKEND=wayland
}

case "${QUARN_TEST_DISPLAY:-x11}" in
  x11) start_xvfb ;;
  wayland) start_weston ;;
  *) echo "QUARN_TEST_DISPLAY is x11 or wayland" >&2; exit 2 ;;
esac

dbus-daemon --session --nofork --nopidfile --print-address=4 4>"$tmp/bus" >/dev/null 2>&1 &
bus_pid=$!
for _ in $(seq 1 200); do
  [ -s "$tmp/bus" ] && break
  sleep 0.05
done
[ -s "$tmp/bus" ] || { echo "dbus-daemon did not start" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$tmp/bus")"

# Software rendering: there is no GPU here.
export LIBGL_ALWAYS_SOFTWARE=1
export WEBKIT_DISABLE_DMABUF_RENDERER=1
export GSK_RENDERER=cairo
# No accessibility bus: starting one on demand can stall a window for the bus's time-out.
export NO_AT_BRIDGE=1
export GTK_A11Y=none

set +e
"$@"
status=$?
set -e
exit $status

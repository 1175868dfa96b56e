#!/usr/bin/env bash
# Runs a command under its own Xvfb display and its own private D-Bus session bus, then tears
# both down. Used by the tests and by the run script on a machine without a display.
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
xvfb_pid=""
bus_pid=""
cleanup() {
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display number itself and writes it to the fd we give it.
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 1 200); do
  [ -s "$tmp/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
[ -s "$tmp/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
display=$(head -n1 "$tmp/display")
# The web engine's sandboxed processes reach the display through its socket file.
for _ in $(seq 1 200); do
  [ -S "/tmp/.X11-unix/X$display" ] && break
  sleep 0.05
done
export DISPLAY=":$display"
unset WAYLAND_DISPLAY
export GDK_BACKEND=x11

dbus-daemon --session --nofork --nopidfile --print-address=4 4>"$tmp/bus" >/dev/null 2>&1 &
bus_pid=$!
for _ in $(seq 1 200); do
  [ -s "$tmp/bus" ] && break
  sleep 0.05
done
[ -s "$tmp/bus" ] || { echo "dbus-daemon did not start" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$tmp/bus")"

# Software rendering: there is no GPU under Xvfb.
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

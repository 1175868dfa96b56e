#!/usr/bin/env bash
# Builds what is missing and runs the app against the bundled sample suite server, which is
# started on 127.0.0.1:8795 when nothing answers there. With a display the app runs until you
# quit it. Without one it runs under Xvfb, waits until the server's UI has loaded, saves a
# screenshot, prints its path and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh
BUILD_DIR=build scripts/build.sh >/dev/null

work=$(mktemp -d /tmp/quarn-run.XXXXXX)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

answers() { python3 - "$1" <<'PY'
import sys, urllib.request
try:
    with urllib.request.urlopen(sys.argv[1], timeout=1) as r:
        sys.exit(0 if r.status < 500 else 1)
except urllib.error.HTTPError as e:
    sys.exit(0 if e.code < 500 else 1)
except Exception:
    sys.exit(1)
PY
}

log="$work/server.log"
if answers http://127.0.0.1:8795/static/icon.png; then
  echo "A suite server already answers on 127.0.0.1:8795; using it."
  : >"$log"
else
  echo "Starting the sample suite server on 127.0.0.1:8795 (log: $log)"
  python3 examples/quarn/server.py --host 127.0.0.1 --port 8795 --data "$work/data" >"$log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 100); do
    answers http://127.0.0.1:8795/static/icon.png && break
    sleep 0.1
  done
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$root/build/quillmarsh-quarn" "$@"
  exit 0
fi

shot="$root/out/quillmarsh-quarn.png"
mkdir -p "$root/out"
export QUARN_SHOT="$shot" QUARN_LOG="$log" QUARN_BIN="$root/build/quillmarsh-quarn"
scripts/with-display.sh bash -c '
  "$QUARN_BIN" "$@" >/dev/null 2>&1 &
  app=$!
  # The UI has loaded once the server has answered the page and the app has asked for the
  # overview (which it does right after it starts loading the UI).
  for _ in $(seq 1 600); do
    grep -q "\"GET / HTTP" "$QUARN_LOG" 2>/dev/null && break
    kill -0 $app 2>/dev/null || break
    sleep 0.1
  done
  sleep 6  # let the page render and the intro fade
  import -window root "$QUARN_SHOT"
  kill $app 2>/dev/null
  wait $app 2>/dev/null || true
' bash "$@"
echo "Screenshot: $shot"

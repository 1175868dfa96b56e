#!/bin/sh
# The Debian package as a user gets it: the desktop file and metainfo validate, `cpack -G DEB`
# builds the package from BUILD, lintian finds nothing even when pedantic (a manual page, the
# hardening flags, the desktop entry's keywords), and the program unpacked into a scratch
# folder runs as a user runs it, under the test display and a private bus (with-display.sh):
# against the sample server, with the intro on, it loads the UI, plays the intro sound with the
# player from its own package and quits with status 0 on SIGTERM.
# Usage: check.sh SOURCE BUILD VERSION
set -eu

# The second half, under the display: check.sh --run SOURCE ROOT HOME
if [ "$1" = --run ]; then
  src=$2 root=$3
  export HOME="$4"
  unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_STATE_HOME XDG_CACHE_HOME QUARN_BUNDLE_DIR
  # Generous bounds: the machine may be busy with other builds.
  until_true() {
    timeout 120 sh -c "until $1; do sleep 0.2; done" || { echo "timed out: $2" >&2; return 1; }
  }
  python3 "$src/examples/quarn/server.py" --data "$HOME/server" >"$HOME/server.log" 2>&1 &
  trap "kill $! 2>/dev/null || true" EXIT
  until_true 'curl -sf http://127.0.0.1:8795/static/icon.png >/dev/null' "the sample server"
  "$root/usr/bin/quillmarsh-quarn" 2>"$HOME/app.log" &
  app=$!
  until_true 'curl -sf http://127.0.0.1:8795/api/requests | grep -q "\"path\": \"/\""' \
    "the UI's request"
  log="$HOME/Library/Logs/Quillmarsh/intro-sound.log"
  until_true "grep -q 'play intro-sound.m4a: ' '$log' 2>/dev/null" "the intro sound" ||
    { cat "$HOME/app.log" >&2; exit 1; }
  grep -q 'play intro-sound.m4a: playing$' "$log" || { cat "$log" "$HOME/app.log" >&2; exit 1; }
  kill -TERM $app
  wait $app || { echo "exit status $? on SIGTERM" >&2; cat "$HOME/app.log" >&2; exit 1; }
  exit 0
fi

scratch=$(mktemp -d /tmp/quarn-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
desktop-file-validate "$1/resources/app.quillmarsh.quarn.desktop"
appstreamcli validate --no-net "$1/resources/app.quillmarsh.quarn.metainfo.xml"
(cd "$2" && cpack -G DEB -B "$scratch" >/dev/null)
lintian --pedantic --info --fail-on error,warning,info,pedantic "$scratch/quillmarsh-quarn_$3_"*.deb
dpkg-deb -x "$scratch/quillmarsh-quarn_$3_"*.deb "$scratch/root"
test "$("$scratch/root/usr/bin/quillmarsh-quarn" --version)" = "Quillmarsh Quarn $3"
mkdir "$scratch/home"
"$1/scripts/with-display.sh" --own-network "$0" --run "$1" "$scratch/root" "$scratch/home"

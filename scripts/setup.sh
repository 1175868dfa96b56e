#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, when it is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format clang libclang-rt-dev
  libgtk-4-dev libwebkitgtk-6.0-dev libsoup-3.0-dev nlohmann-json3-dev
  libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  googletest libgtest-dev libgmock-dev
  xvfb xauth xdotool weston evilwm dbus dbus-daemon imagemagick python3 desktop-file-utils
  iproute2 util-linux curl at-spi2-core python3-pyatspi gir1.2-atspi-2.0 hunspell-en-us
  systemd appstream lintian fakeroot dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit tests (also under
# AddressSanitizer and UndefinedBehaviorSanitizer), the integration tests under Xvfb and a
# private D-Bus session bus, and each fuzz target for a few seconds from its seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

BUILD_DIR=build scripts/build.sh
BUILD_DIR=build-sanitize scripts/build.sh -DQUARN_SANITIZE=ON -DQUARN_APP=OFF \
  -DCMAKE_BUILD_TYPE=Debug

status=0
echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure || status=1
echo "== Unit and integration tests"
ctest --test-dir build --output-on-failure || status=1
# So that the fuzz targets keep building and running; scripts/fuzz.sh alone runs them longer.
echo "== Fuzz targets, 5 s each"
scripts/fuzz.sh 5 || status=1
exit $status

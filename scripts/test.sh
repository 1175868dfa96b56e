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

failed=()
rm -f build-sanitize/Testing/Temporary/LastTestsFailed.log build/Testing/Temporary/LastTestsFailed.log
echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure || failed+=("sanitized unit tests")
echo "== Unit and integration tests"
ctest --test-dir build --output-on-failure -LE busy || failed+=("unit and integration tests")
# The launches under a busy loop on every core go last, alone; their failures join the list.
list=build/Testing/Temporary/LastTestsFailed.log
earlier=$(cat "$list" 2>/dev/null || true)
echo "== Integration tests under load"
ctest --test-dir build --output-on-failure -L busy || failed+=("integration tests under load")
{ [ -z "$earlier" ] || printf '%s\n' "$earlier"; cat "$list" 2>/dev/null || true; } > "$list.all"
mv "$list.all" "$list"
[ -s "$list" ] || rm -f "$list"
# So that the fuzz targets keep building and running; scripts/fuzz.sh alone runs them longer.
echo "== Fuzz targets, 5 s each"
scripts/fuzz.sh 5 || failed+=("fuzz targets")

# A CI log may keep only its end: the verdict goes last, with the names of the failed tests.
echo "== Summary"
for dir in build-sanitize build; do
  list=$dir/Testing/Temporary/LastTestsFailed.log
  if [ -s "$list" ]; then
    names=$(cat "$list")
    # Once more, so that their output stands here too and a failure that does not come back
    # shows as one; the verdict stays a failure either way.
    echo "== Failed in $dir, run once more"
    ASAN_OPTIONS=detect_leaks=0 ctest --test-dir "$dir" --rerun-failed --output-on-failure 2>&1 | tail -n 80 || true
    printf '%s\n' "$names" | sed "s|^|!! failed in $dir: |"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  printf '!! failed: %s\n' "${failed[@]}"
  exit 1
fi
echo "all passed"

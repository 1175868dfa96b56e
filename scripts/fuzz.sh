#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/*.cpp), and only those, with clang and libFuzzer, then runs each
# in turn for SECONDS (default 60) on one core, starting from its seeds. Corpora grow in
# build-fuzz/corpus/<target>; an input that breaks a target is saved in build-fuzz/found/.
# scripts/test.sh runs it for a few seconds a target.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null || { echo "needs clang and libFuzzer: run scripts/setup.sh"; exit 1; }
seconds=${1:-60}
shift || true
build=${BUILD_DIR:-build-fuzz}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "${launcher[@]}" -DQUARN_FUZZ=ON -DQUARN_APP=OFF -DQUARN_TESTS=OFF >/dev/null
ninja -C "$build" -j2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=($(cd fuzz && ls *.cpp | sed 's/\.cpp$//'))
status=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/found"
  # libFuzzer's progress lines would bury everything else in a CI log: they go to a file, and
  # only a failure's last lines are shown.
  log="$build/found/$t.log"
  if "$build/fuzz_$t" -max_total_time="$seconds" -workers=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/found/$t-" -print_final_stats=1 "$build/corpus/$t" "fuzz/seeds/$t" \
    >"$log" 2>&1; then
    echo "== $t: $(grep -m1 -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" || echo done)"
  else
    tail -n 40 "$log"
    echo "!! $t found a problem: see $build/found/ and $log"
    status=1
  fi
done
exit $status

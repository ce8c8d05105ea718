#!/usr/bin/env bash
# Builds the fuzz targets (the instruments' reply parsers and the motion data file reader)
# with clang++ and libFuzzer (in build-fuzz at the top of the repository) and runs each for
# the given number of seconds (default 10).
# The corpus each run grows is kept in build-fuzz/corpus/<target>, so later runs go on
# from it; a crash leaves its input in build-fuzz/crashes/.
set -euo pipefail

seconds=${1:-10}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DTRELWICK_FUZZ=ON -DTRELWICK_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target fuzz_targets

mkdir -p "$build/crashes" "$build/logs"
# Each target's own output (long: libFuzzer reports every new input) goes to
# build-fuzz/logs/<target>.log; a failing target's tail is shown here.
passed=0
failed=0
for seeds in "$root"/fuzz/seeds/*/; do
  target=$(basename "$seeds")
  corpus="$build/corpus/$target"
  log="$build/logs/$target.log"
  mkdir -p "$corpus"
  if "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$build/crashes/$target-" "$corpus" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "== $target: ${runs:-?} inputs in $seconds s, no failure"
    passed=$((passed + 1))
  else
    echo "== $target: FAILED (full output in $log)"
    tail -n 60 "$log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

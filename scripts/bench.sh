#!/bin/sh
# Builds trelwick_bench in a Release tree (build-bench at the top of the repository) and
# runs it. Extra arguments go to the benchmark, e.g.
#   scripts/bench.sh --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRELWICK_BENCHMARKS=ON
cmake --build "$build" --target trelwick_bench
exec "$build/bench/trelwick_bench" "$@"

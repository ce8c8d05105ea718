#!/usr/bin/env bash
# Builds the program (Release, in build-run) if needed and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build-run/build.ninja ]; then
  cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRELWICK_BENCHMARKS=OFF >/dev/null
fi
cmake --build build-run --target trelwick >/dev/null
exec build-run/main/trelwick "$@"

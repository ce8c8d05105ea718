#!/usr/bin/env bash
# Builds the program (Release, in build-run) if needed and starts it on the simulated
# stage; with --instruments first, on the real instruments instead. Installs the Debian
# packages the build needs first when some are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ ! -f build-run/build.ninja ]; then
  cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRELWICK_BENCHMARKS=OFF >/dev/null
fi
cmake --build build-run --target trelwick >/dev/null
if [ "${1:-}" = "--instruments" ]; then
  shift
  exec build-run/main/trelwick "$@"
fi
exec build-run/main/trelwick --simulate "$@"

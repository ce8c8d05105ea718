#!/usr/bin/env bash
# Builds the program (Release, in build-run) if needed and starts it; installs the Debian
# packages the build needs first when some are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ ! -f build-run/build.ninja ]; then
  cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRELWICK_BENCHMARKS=OFF >/dev/null
fi
cmake --build build-run --target trelwick >/dev/null
exec build-run/main/trelwick "$@"

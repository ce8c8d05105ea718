#!/usr/bin/env bash
# Runs every test: installs the Debian packages the build needs (when run as root and
# they are missing), checks the documentation's links, then configures, builds and tests
# twice: a GCC build with warnings as errors (benchmarks built too), and a Clang build
# with AddressSanitizer and UndefinedBehaviorSanitizer. The GCC build also makes the
# Debian package and checks it (scripts/package.sh). Then the tests where threads meet run
# under ThreadSanitizer (scripts/test-tsan.sh). Then it fuzzes the parsers, and last
# cross-builds the tree that needs no window for Windows and runs its tests under wine
# (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== The documentation's links =="
python3 scripts/check-links.py --self-test
python3 scripts/check-links.py

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
jobs=$(nproc)
# ccache, where the machine has it, makes a rebuild of an unchanged tree nearly free.
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

echo "== GCC build =="
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELWICK_WERROR=ON \
      -DCMAKE_CXX_COMPILER=g++ "${launcher[@]}"
cmake --build build-test -j "$jobs"
ctest --test-dir build-test -j "$jobs" --timeout 600

echo "== The Debian package, from the GCC build: built, checked, installed in a scratch root =="
scripts/package.sh build-test

echo "== Clang build with AddressSanitizer and UndefinedBehaviorSanitizer =="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-test-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRELWICK_WERROR=ON \
      -DTRELWICK_SANITIZE=ON -DTRELWICK_BENCHMARKS=OFF -DCMAKE_CXX_COMPILER=clang++ \
      "${launcher[@]}"
cmake --build build-test-asan -j "$jobs"
ctest --test-dir build-test-asan -j "$jobs" --timeout 600

echo "== ThreadSanitizer: the operator thread, Stop, the headless service, the Qt front end =="
scripts/test-tsan.sh build-test-tsan

echo "== Fuzz the reply parsers and the motion data file reader, 10 s each =="
scripts/fuzz.sh 10

echo "== Windows: mingw-w64 cross build, its tests under wine =="
scripts/test-windows.sh build-test/sim/trelwick-sim

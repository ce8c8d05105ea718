#!/usr/bin/env bash
# ThreadSanitizer over the tests where threads meet: the operator thread and its queue,
# the Stop state (with its stress test of a million presses), the serial reads a Stop
# cuts short, the device server's headless service, and the Qt window as the operator
# thread's front end. Only those test programs are built (clang++, -fsanitize=thread, in
# build-test-tsan), so the stage takes a few minutes. A report fails the stage.
#
# Usage: scripts/test-tsan.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test-tsan}

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1: the sanitizer's own advice, and a faster build than -O2.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DTRELWICK_WERROR=ON -DTRELWICK_TSAN=ON -DTRELWICK_BENCHMARKS=OFF \
      -DTRELWICK_TANGO_SERVER=OFF -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}"
targets=(platform_tests shell_tests system_io_tests headless_service_tests trelwick_gui_tests)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
# halt_on_error: the first report fails its test; second_deadlock_stack: both stacks of a
# lock-order report. The suppressions name only libraries built without the sanitizer.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
ctest --test-dir "$build" -j "$(nproc)" --timeout 600 \
      -R '^(OperatorThread|StopState|StoppedOperation|Termios|HeadlessService|OperatorFrontEnd)'

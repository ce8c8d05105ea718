#!/bin/bash
# "End program" in a real window, many times (default 1,000): the program in real mode
# under a private X server, a driver error answered with End program through the
# accessibility bus; every run must end by itself with status 0. Prints a closing
# "N passed, N failed" line. Needs Xvfb, dbus-run-session, at-spi2-core, python3-pyatspi.
#   scripts/end-program-stress.sh [build dir] [runs]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
runs=${2:-1000}
exec "$here/tests/system/real_window/run_real_window.sh" "$build/main/trelwick" \
    "$here/tests/system/real_window/end_program_test.py" "$runs"

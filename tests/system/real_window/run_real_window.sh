#!/bin/bash
# Runs the real-window test of the operator program: a private X server, a private D-Bus
# session with the accessibility bus, and the program in simulated mode driven through
# AT-SPI. Exits 77 (CTest's skip) when a tool the test needs is not installed.
#   run_real_window.sh <trelwick executable> <driver script> [arguments of the script]
set -u
exe=$1
script=$2
skip() {
    echo "real-window test skipped: $1"
    exit 77
}
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed"
command -v dbus-run-session >/dev/null 2>&1 || skip "dbus-run-session is not installed"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "at-spi2-core is not installed"
/usr/bin/python3 -c 'import pyatspi' >/dev/null 2>&1 || skip "python3-pyatspi is not installed"
shift 2
# A runtime folder of this run's own: the accessibility bus publishes its address under
# $XDG_RUNTIME_DIR/at-spi (else ~/.cache/at-spi), and two runs side by side would take
# each other's bus there.
runtime=$(mktemp -d /tmp/trelwick-window-runtime.XXXXXX)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
dbus-run-session -- /usr/bin/python3 "$script" "$exe" "$@"

#!/usr/bin/env bash
# Stop in real time over pseudo-terminals, many motions: the program in real mode against
# trelwick-sim, Stop pressed at a random moment of each motion (tests/robust/pty_stop_check.py
# says what is checked). About 40 s a motion, most of it the program's own waits: 100
# motions take about an hour. Prints one JSON line a motion and a summary (median and worst
# press-to-halt, kills seen on the wire), and keeps them in BUILD/pty-stop-results.jsonl.
#
# Builds what it runs in build-pty-stop (or BUILD: a tree with the tests and TANGO).
#   scripts/pty-stop.sh [BUILD [MOTIONS [options of pty_stop_check.py, e.g. --load --seed S]]]
# Needs the TANGO set of packages (scripts/install-deps.sh tango: trelwick-tango and the
# python3-tango client).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-pty-stop}
motions=${2:-100}
shift $(($# < 2 ? $# : 2))

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELWICK_BENCHMARKS=OFF
fi
cmake --build "$build" --target trelwick-tango robust_pty_stop_bench trelwick-sim
results="$build/pty-stop-results.jsonl"
: > "$results"
exec /usr/bin/python3 tests/robust/pty_stop_check.py \
    --tango "$build/tango/trelwick-tango" --bench "$build/tests/robust/robust_pty_stop_bench" \
    --sim "$build/sim/trelwick-sim" --motions "$motions" --results "$results" "$@"

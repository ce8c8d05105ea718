#!/usr/bin/env bash
# Measures what the operator station costs beyond the waits its design prescribes, on the
# simulated stage, and prints every figure of docs/performance-and-robustness.md's
# Performance section:
#   1. bring-up, Move, Home and work-point search in real time at --speed 20 and 1
#      (wall time against the waits asked for and the motion the stage reports);
#   2. CPU per whole Move in virtual time (Qt panels offscreen, and the scripted operator);
#   3. CPU over wall while the program waits (blocking Delay, event-processing delay,
#      motion wait, timed series, angle watch);
#   4. start-up to the main panel shown, and resident memory after bring-up and ten moves,
#      in a real window under Xvfb;
#   8. the same four operations in both wait profiles, each one's time split by what it
#      waited for (in virtual time, and in real time at speed 1).
# Builds a Release tree in build-bench (or $TRELWICK_BENCH_BUILD). Takes about 30 minutes, most of it the runs at
# speed 1; --quick leaves that run out. Installs xvfb when missing and run as root.
set -euo pipefail

# Inside Xvfb (the script calls itself): five start-ups of the program, each timed from
# launch to its first window shown, and its resident memory half a second later.
if [ "${1:-}" = "--startup-runs" ]; then
  exe=$2
  drives=$(mktemp -d)
  err="$drives/startup.err"
  for _ in 1 2 3 4 5; do
    : >"$err"
    start=$(date +%s.%N)
    TRELWICK_REPORT_STARTUP=1 TRELWICK_SIM_ROOT="$drives" QT_QPA_PLATFORM=xcb \
      "$exe" --simulate 2>"$err" &
    pid=$!
    for _ in $(seq 1 200); do grep -q 'first window' "$err" && break; sleep 0.05; done
    sleep 0.5
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    shown=$(sed -n 's/.* at \([0-9.]*\)$/\1/p' "$err")
    kernel=$(sed -n 's/.*shown \([0-9.]*\) s after start (\([0-9.]*\) s of CPU).*/\1 s after process start, \2 s of CPU/p' "$err")
    python3 -c "print('launch to main panel shown: %.3f s (kernel: %s); resident then: %s KiB' % ($shown - $start, '$kernel', '$rss'))"
  done
  rm -rf "$drives"
  exit 0
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build="${TRELWICK_BENCH_BUILD:-$root/build-bench}"
quick=0
[ "${1:-}" = "--quick" ] && quick=1

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRELWICK_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target trelwick-ops-bench trelwick
bench="$build/bench/ops/trelwick-ops-bench"
exe="$build/main/trelwick"

if ! command -v xvfb-run >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q xvfb xauth
  else
    echo "xvfb-run is missing (Debian package xvfb): the real-window figures are left out" >&2
  fi
fi

quiet() { grep -v -e 'does not support' -e 'XDG_RUNTIME_DIR' || true; }

echo "== machine"
echo "cores: $(nproc); $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'); load: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== 1. operations in real time"
QT_QPA_PLATFORM=offscreen "$bench" ops --speed 20 2>&1 | quiet
[ $quick -eq 1 ] || QT_QPA_PLATFORM=offscreen "$bench" ops --speed 1 2>&1 | quiet

echo "== 2. CPU per operation in virtual time"
QT_QPA_PLATFORM=offscreen "$bench" virtual --moves 500 2>&1 | quiet
QT_QPA_PLATFORM=offscreen "$bench" virtual --moves 500 --scripted 2>&1 | quiet

echo "== 3. CPU while waiting (Qt panels offscreen, stage at speed 1)"
QT_QPA_PLATFORM=offscreen "$bench" idle --seconds 10 2>&1 | quiet

echo "== 8. the wait profiles: each operation's time by what it waited for"
QT_QPA_PLATFORM=offscreen "$bench" waits --virtual 2>&1 | quiet
[ $quick -eq 1 ] || QT_QPA_PLATFORM=offscreen "$bench" waits --speed 1 2>&1 | quiet

if command -v xvfb-run >/dev/null; then
  xvfb() { xvfb-run -a -s "-screen 0 1366x768x24" "$@"; }
  echo "== 4. real window under Xvfb"
  xvfb env QT_QPA_PLATFORM=xcb "$bench" memory 2>&1 | quiet
  xvfb "$0" --startup-runs "$exe"
fi

#!/usr/bin/env bash
# The Windows stage of scripts/test.sh: cross-builds every library and test that needs no
# window with mingw-w64 (cmake/mingw-w64-x86_64.cmake), runs the tests under wine in a
# scratch prefix, checks that the test run wrote nothing on the prefix's drive C, and
# runs the Win32 serial backend and the Winsock transport end to end against trelwick-sim
# on the Linux side (its pseudo-terminals mapped to wine's COM2 and COM5).
#
#   scripts/test-windows.sh [TRELWICK_SIM]
#
# TRELWICK_SIM is the Linux trelwick-sim to serve the ports (default: the GCC stage's,
# build-test/sim/trelwick-sim). The cross build goes to build-test-win.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
sim=${1:-build-test/sim/trelwick-sim}
build=build-test-win
jobs=$(nproc)

[ -x "$sim" ] || { echo "no trelwick-sim at $sim (build the Linux tree first)" >&2; exit 1; }

prefix=$(mktemp -d /tmp/trelwick-wine.XXXXXX)
export TRELWICK_WINEPREFIX=$prefix WINEPREFIX=$prefix WINEDEBUG=-all
sim_pid=
finish() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap finish EXIT

echo "== Windows cross build (mingw-w64) =="
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTRELWICK_WERROR=ON "${launcher[@]}"
cmake --build "$build" -j "$jobs"

# The wine server of the prefix, started here so that what it prints when it is ended (a
# dump of its objects) does not reach the log; it stays until finish() ends it. One
# program is run at once, so that wine's own services are up before the tests start
# two at a time (two first programs starting together can hang one of them).
start_wineserver() {
  wineserver -p >/dev/null 2>&1
  timeout 120 scripts/wine-run.sh cmd /c exit 0
}

echo "== Windows tests under wine =="
timeout 120 scripts/wine-run.sh cmd /c exit 0 # makes the prefix once, before the tests
wineserver -w || true
start_wineserver
ctest --test-dir "$build" -j "$jobs" --timeout 300 --output-on-failure

# The tests ran with drive roots of their own: the station's folders on drive C must not
# have been made.
for folder in CVI qel; do
  if [ -e "$prefix/drive_c/$folder" ]; then
    echo "the Windows tests wrote into drive C: $prefix/drive_c/$folder" >&2
    exit 1
  fi
done
echo "Drive C of the wine prefix holds no CVI or qel folder."

echo "== Win32 serial ports and Winsock against trelwick-sim =="
out=$prefix/sim.out
# One gauge under each cam, without noise, so that gauge 1 reads cam 1 alone.
"$sim" --speed 5 --gauge-wiring 1,2,3,4,5 --gauge-noise 0 >"$out" &
sim_pid=$!
for _ in $(seq 100); do
  [ "$(grep -c = "$out" || true)" -ge 3 ] && break
  sleep 0.1
done
declare -A where
while IFS== read -r name value; do where[$name]=$value; done <"$out"
for port in 2 5; do
  timeout 60 scripts/wine-run.sh reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /t REG_SZ \
    /d "${where[TRELWICK_COM$port]}" /f >/dev/null
done
wineserver -k || true # the ports are mapped when the server starts
wineserver -w || true
start_wineserver
TRELWICK_GPIB1_9=${where[TRELWICK_GPIB1_9]} \
  timeout 300 scripts/wine-run.sh "$build/tests/sim/windows_ports_tests.exe"

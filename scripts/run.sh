#!/usr/bin/env bash
# Builds the program (Release, in build-run) if needed and starts it on the simulated
# stage; with --instruments first, on the real instruments instead. Installs only the
# Debian packages building and running need (scripts/install-deps.sh run) when some are
# missing; as a normal user it names the one sudo command that installs them.
#
# The build shows its progress on one line; its whole output goes to build-run/build.log,
# and a failed build prints the compiler's own message and how to see the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run

build=build-run
log=$build/build.log
mkdir -p "$build"
: >"$log"

# Runs a build step with its output in the log, showing ninja's [n/N] count on one line.
show_progress() {
  local line last=-1
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
      local done=${BASH_REMATCH[1]} all=${BASH_REMATCH[2]}
      if [ -t 1 ]; then
        printf '\r  building: %s of %s steps' "$done" "$all"
      elif [ $((done * 10 / all)) -ne "$last" ]; then
        last=$((done * 10 / all))
        echo "  building: $done of $all steps"
      fi
    fi
  done
  [ -t 1 ] && printf '\n'
  return 0
}

failed() {
  echo "The build failed. The compiler said:" >&2
  # Ninja's report of the first failed step: what failed and the compiler's messages,
  # without the long command line that follows FAILED:.
  sed -n '/^FAILED:/,/^ninja: build stopped/p' "$log" | grep -v '^ninja: build stopped' |
    awk 'NR != 2' | head -n 60 >&2
  echo >&2
  echo "The whole log: $log (or build again with: cmake --build $build --target trelwick)" >&2
  exit 1
}

if [ ! -f "$build/build.ninja" ]; then
  echo "Configuring the build in $build (the first build takes a few minutes)"
  launcher=()
  command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRELWICK_TESTS=OFF \
        -DTRELWICK_BENCHMARKS=OFF -DTRELWICK_TANGO_SERVER=OFF "${launcher[@]}" >>"$log" 2>&1 ||
    { tail -n 30 "$log" >&2; echo "Configuring failed; the whole log: $log" >&2; exit 1; }
fi
cmake --build "$build" --target trelwick 2>&1 | show_progress || failed

if [ "${1:-}" = "--instruments" ]; then
  shift
  exec "$build/main/trelwick" "$@"
fi
exec "$build/main/trelwick" --simulate "$@"

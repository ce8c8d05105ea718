#!/usr/bin/env bash
# Installs the Debian packages a job needs, when some are missing: as root directly;
# otherwise it prints the one sudo command that installs them and fails.
#
#   scripts/install-deps.sh [SET ...]
#
# The sets, each for one job (several may be named; none means all):
#   run      build and run the program: the compilers, CMake, Ninja, Qt, and Xvfb for a
#            machine without a display (scripts/run.sh)
#   tango    the device server trelwick-tango, its client tests and a private TANGO
#            database (scripts/tango-db.sh)
#   package  the Debian package and its checks (scripts/package.sh)
#   windows  the mingw-w64 cross build and wine to run what it builds
#            (scripts/test-windows.sh)
#   all      everything the test command (scripts/test.sh) runs: every set above, the
#            tests' libraries, clang for the sanitizer and fuzz builds, the accessibility
#            stack for the real-window test, and python3 for the documents' checks
set -euo pipefail

run_packages=(cmake ninja-build g++ qt6-base-dev qt6-tools-dev qt6-charts-dev
              qt6-serialport-dev libqt6opengl6-dev libgl-dev xvfb xauth)
test_packages=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev dbus at-spi2-core
               python3-pyatspi python3)
tango_packages=(libtango-dev python3-tango libtango-tools tango-test dbconfig-no-thanks
                tango-db mariadb-server-core mariadb-client-core)
package_packages=(dpkg-dev file help2man desktop-file-utils appstream lintian x11-utils)
# GoogleTest for the cross build is built from libgtest-dev's sources.
windows_packages=(g++-mingw-w64-x86-64-posix wine wine64 libgtest-dev)

sets=("$@")
[ ${#sets[@]} -eq 0 ] && sets=(all)
wanted=()
for s in "${sets[@]}"; do
  case "$s" in
    run) wanted+=("${run_packages[@]}") ;;
    tango) wanted+=("${run_packages[@]}" "${tango_packages[@]}") ;;
    package) wanted+=("${run_packages[@]}" "${package_packages[@]}") ;;
    windows) wanted+=("${windows_packages[@]}") ;;
    all) wanted+=("${run_packages[@]}" "${test_packages[@]}" "${tango_packages[@]}"
                  "${package_packages[@]}" "${windows_packages[@]}") ;;
    *) echo "install-deps.sh: unknown set '$s' (run, tango, package, windows, all)" >&2
       exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  case " ${missing[*]} " in *" $p "*) continue ;; esac
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Some Debian packages this needs are missing. Install them with:" >&2
  echo "    sudo apt-get install ${missing[*]}" >&2
  echo "then run this again." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# dbconfig-no-thanks first: tango-db then leaves the machine's own database alone.
for p in "${missing[@]}"; do
  if [ "$p" = dbconfig-no-thanks ]; then
    apt-get install -y -q dbconfig-no-thanks
  fi
done
apt-get install -y -q "${missing[@]}"

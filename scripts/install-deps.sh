#!/usr/bin/env bash
# Installs the Debian packages that building and testing Trelwick needs, when some are
# missing: as root directly, otherwise it names them and fails.
set -euo pipefail

packages=(cmake ninja-build g++ clang libgtest-dev libbenchmark-dev
          qt6-base-dev qt6-tools-dev qt6-charts-dev qt6-serialport-dev
          libqt6opengl6-dev libgl-dev
          libclang-rt-14-dev xvfb dbus at-spi2-core python3-pyatspi
          libtango-dev python3-tango)
# The private TANGO database of the server's tests (scripts/tango-db.sh): MariaDB without a
# system service, Debian's DataBaseds, and tango_admin. dbconfig-no-thanks keeps tango-db
# from creating a system database.
packages+=(dbconfig-no-thanks mariadb-server-core mariadb-client-core tango-db libtango-tools)
# The documentation's link check (scripts/check-links.py).
packages+=(python3)
# The Debian package and its checks (scripts/package.sh).
packages+=(dpkg-dev file help2man desktop-file-utils appstream lintian x11-utils)
# The Windows stage: the mingw-w64 cross compiler, and wine to run what it builds
# (GoogleTest is built from libgtest-dev's sources).
windows_packages=(g++-mingw-w64-x86-64-posix wine wine64)
missing=()
for p in "${packages[@]}" "${windows_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages (install them as root): ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q "${missing[@]}"

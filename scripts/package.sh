#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and checks it: the desktop
# entry and the software-centre metainfo validate, lintian finds no error, the package
# installs with dpkg into a scratch root (its dependencies checked against this machine's
# packages) with its documents whole and their links holding, and the installed trelwick
# answers --version and opens its main panel on the simulated stage under a virtual X
# server, with the installed resource file.
#   scripts/package.sh [build folder]
# The build folder is build-test by default, the GCC build scripts/test.sh makes; one that
# is not configured yet is configured as that script does, and only what the package holds
# is built. The package is left in <build folder>/package/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}

fail() {
  echo "package check FAILED: $*" >&2
  exit 1
}
scripts/install-deps.sh package
if [ ! -f "$build/CPackConfig.cmake" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELWICK_WERROR=ON \
        -DCMAKE_CXX_COMPILER=g++ >/dev/null
fi
out=$(cd "$build" && pwd)/package

# Nothing to do after a full build; otherwise builds the programs and the man pages.
cmake --build "$build" --target trelwick_package_files >/dev/null

echo "-- building the package"
rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; fail "cpack"; }
deb=$(echo "$out"/trelwick_*.deb)
[ -f "$deb" ] || fail "no package in $out"
# The device server's own package, when TANGO was built.
debs=("$deb")
tango_deb=$(echo "$out"/trelwick-tango_*.deb)
if [ -f "$tango_deb" ]; then
  debs+=("$tango_deb")
fi
version=$(dpkg-deb -f "$deb" Version)
echo "   $deb"
dpkg-deb -f "$deb" Depends

echo "-- the changelog and the metainfo name this version ($version)"
[ "$(dpkg-parsechangelog -l packaging/changelog -S Version)" = "$version" ] ||
  fail "packaging/changelog does not start with $version"
grep -q "<release version=\"$version\"" packaging/trelwick.metainfo.xml.in ||
  fail "packaging/trelwick.metainfo.xml.in has no release $version"

echo "-- installing into a scratch root"
# dpkg's own database in the scratch root, holding this machine's package list, so that
# the package's dependencies are checked for real; the files go into the scratch root only.
root=$out/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates"
cp /var/lib/dpkg/status "$admin/status"
dpkg-query -W -f '${binary:Package}\n' | while read -r p; do : >"$admin/info/$p.list"; done
dpkg --root="$root" --log=/dev/null -i "${debs[@]}"
if [ -f "$tango_deb" ]; then
  [ -f "$root/lib/systemd/system/trelwick-tango@.service" ] ||
    fail "trelwick-tango has no systemd unit template"
  if dpkg-deb -c "$deb" | grep -q "usr/bin/trelwick-tango$"; then
    fail "the package trelwick holds the device server too"
  fi
fi

echo "-- desktop-file-validate, appstreamcli validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

echo "-- lintian"
status=0
lintian --fail-on error "${debs[@]}" >"$out/lintian.log" 2>&1 || status=$?
grep -v '^running with root privileges' "$out/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian found errors"

echo "-- the installed documents, and their links"
installed_docs=$root/usr/share/doc/trelwick
for doc in README.md docs/*.md docs/*.png; do
  [ -f "$installed_docs/$doc" ] || fail "$doc is not installed in $installed_docs"
done
python3 scripts/check-links.py "$installed_docs"/README.md "$installed_docs"/docs/*.md ||
  fail "the installed documents' links"

echo "-- the installed programs"
for program in "$root"/usr/bin/*; do
  "$program" --version || fail "$(basename "$program") --version"
done
[ "$("$root/usr/bin/trelwick" --version)" = "trelwick $version" ] || fail "trelwick --version"
[ ! -e "$root/usr/bin/Trelwick.ui" ] || fail "the resource file lies beside the executable"

echo "-- the installed trelwick --simulate opens its main panel under Xvfb"
run=$(mktemp -d)
xvfb_pid=
program_pid=
finish() {
  [ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$run"
}
trap finish EXIT
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$run/display" 2>"$run/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$run/display" ] && break; sleep 0.1; done
[ -s "$run/display" ] || fail "Xvfb did not start: $(cat "$run/xvfb.log")"
display=:$(cat "$run/display")
# Its drives in the scratch folder; no console to answer on, as from the desktop menu.
env -u TRELWICK_SIM_ROOT -u QT_QPA_PLATFORM DISPLAY="$display" HOME="$run" \
    XDG_DATA_HOME="$run/data" "$root/usr/bin/trelwick" --simulate \
    </dev/null >"$run/stdout" 2>"$run/stderr" &
program_pid=$!
shown=
for _ in $(seq 600); do
  kill -0 "$program_pid" 2>/dev/null || break
  # The main panel: titled for the simulated stage, of the program's window class (Qt's 1x1 leader
  # window bears the title too, but no class).
  if DISPLAY="$display" xwininfo -root -children 2>/dev/null |
      grep -q '"Trelwick - simulated stage": ("trelwick" "Trelwick")'; then
    shown=yes
    break
  fi
  sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null ||
  fail "trelwick ended: $(cat "$run/stdout" "$run/stderr")"
[ -n "$shown" ] || fail "no window titled 'Trelwick - simulated stage' within 60 s: $(cat "$run/stderr")"
# A resource file that could not be loaded is reported on standard output.
[ ! -s "$run/stdout" ] || fail "trelwick reported: $(cat "$run/stdout")"
[ -d "$run/data/trelwick/simulated-drives/c/CVI/Trelwick/Log" ] ||
  fail "the simulated drives were not made under XDG_DATA_HOME"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=
echo "   the main panel opened; trelwick ended"
echo "package checks passed: $deb"
